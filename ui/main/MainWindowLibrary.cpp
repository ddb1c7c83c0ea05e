// The main window's part in the shot library: a new string at start and
// at each reset of the shot number, every shot and miss stored as measured,
// flyers and details from the results window, and the library window.
#include <QShortcut>

#include "LibraryWindow.h"
#include "MainWindow.h"
#include "ShotDataFile.h"

namespace quorvel {

void MainWindow::OpenLibrary()
{
    library_.Open(LibraryPath(services_.settingsPath, DataFolder()));
    router_.SetStore(library_.Store());
    library_.Follow(router_.Recorder());
    connect(&library_, &LibraryLink::detailsEdited, this, &MainWindow::FollowEditedDetails);
    // Its shots are gone with it: the next live shot starts afresh.
    connect(&library_, &LibraryLink::liveStringDeleted, this, [this] { router_.NewStringAtNextShot(); });
}

void MainWindow::ConnectResultsToLibrary()
{
    ResultsWindow* results = results_.get();
    connect(results, &ResultsWindow::shotExcluded, this, [this](int number, bool excluded) {
        router_.SetExcluded(number, excluded);
        if (LibraryWindow* window = library_.Window()) QTimer::singleShot(300, window, &LibraryWindow::Reload);
    });
    connect(results, &ResultsWindow::detailsWanted, this, [this, results] { library_.EditDetails(results, router_.Recorder()); });
    connect(results, &ResultsWindow::libraryWanted, this, &MainWindow::ShowLibrary);
}

void MainWindow::FollowEditedDetails(const StringInfo& info, bool recorderId)
{
    // The string under way keeps its new details for the rest of its shots.
    StringRecorder* recorder = router_.Recorder();
    if (recorder == nullptr || (recorderId ? recorder->Current().id : recorder->LibraryId()) != info.id) return;
    StringInfo details = info;
    details.id = recorder->Current().id;
    recorder->SetDetails(details);
}

void MainWindow::ShowLibrary()
{
    if (!library_.IsOpen() || router_.Recorder() == nullptr) return;
    LibraryWindow& window = library_.ShowWindow(record_, ShotDataPath(record_.datafilename, DataFolder()));
    window.SelectStrings({router_.Recorder()->LibraryId()});
}

}  // namespace quorvel
