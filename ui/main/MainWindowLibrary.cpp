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
    library_.Open(LibraryPath(services_.settingsPath, DataFolder()), services_.clock.NowDays());
    connect(&library_, &LibraryLink::detailsEdited, this, &MainWindow::FollowEditedDetails);
    connect(&library_, &LibraryLink::liveStringDeleted, this, [this] {
        // Its shots are gone with it: the next live shot starts afresh.
        library_.Recorder()->NewString(services_.clock.NowDays());
        session_.Detector().SetShotCount(0);
        freshStringNext_ = true;
    });
}

void MainWindow::StoreInLibrary(const BlockOutcome& o)
{
    StringRecorder* recorder = library_.Recorder();
    if (recorder == nullptr) return;
    if (o.fillData) recorder->Shot(session_.Detector().LastShot(), record_.units == 0);
    if (o.event == BlockEvent::NoImpact) recorder->Miss(ShotKind::NoImpact, services_.clock.NowDays(), record_, {});
    if (o.event == BlockEvent::TooClose) recorder->Miss(ShotKind::MaxVelocity, services_.clock.NowDays(), record_, {});
}

void MainWindow::WaveformSaved(int shotNumber, const std::string& path)
{
    if (StringRecorder* recorder = library_.Recorder()) recorder->WaveformSaved(shotNumber, path);
}

void MainWindow::ConnectResultsToLibrary()
{
    ResultsWindow* results = results_.get();
    connect(results, &ResultsWindow::newString, this, [this] {
        resultsShowFile_ = false;
        fileRecorder_.reset();
        if (StringRecorder* recorder = library_.Recorder()) recorder->NewString(services_.clock.NowDays());
    });
    connect(results, &ResultsWindow::shotExcluded, this, [this](int number, bool excluded) {
        if (StringRecorder* recorder = resultsShowFile_ ? fileRecorder_.get() : library_.Recorder()) {
            recorder->SetExcluded(number, excluded);
        }
        if (LibraryWindow* window = library_.Window()) QTimer::singleShot(300, window, &LibraryWindow::Reload);
    });
    connect(results, &ResultsWindow::detailsWanted, this,
            [this, results] { library_.EditDetails(results, resultsShowFile_ ? fileRecorder_.get() : nullptr); });
    connect(results, &ResultsWindow::libraryWanted, this, &MainWindow::ShowLibrary);
}

void MainWindow::FollowEditedDetails(const StringInfo& info)
{
    if (fileRecorder_ && library_.LibraryId(fileRecorder_.get()) == info.id) {
        StringInfo details = info;
        details.id = fileRecorder_->Current().id;  // the recorder keeps its own id
        fileRecorder_->NewString(details);
    }
}

void MainWindow::ShowLibrary()
{
    if (!library_.IsOpen() || library_.Recorder() == nullptr) return;
    LibraryWindow& window = library_.ShowWindow(record_, ShotDataPath(record_.datafilename, DataFolder()));
    window.SelectStrings({library_.LibraryId(resultsShowFile_ && fileRecorder_ ? fileRecorder_.get() : library_.Recorder())});
}

}  // namespace quorvel
