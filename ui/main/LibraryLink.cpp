#include "LibraryLink.h"

#include <filesystem>

#include <QCoreApplication>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include "IniFile.h"
#include "LibraryWindow.h"
#include "StringDetailsDialog.h"

namespace quorvel {

LibraryLink::LibraryLink(Dialogs& dialogs, FileDialogs& fileDialogs, QObject* parent)
    : QObject(parent), dialogs_(dialogs), fileDialogs_(fileDialogs)
{
}

LibraryLink::~LibraryLink()
{
    delete window_.data();
}

void LibraryLink::Open(const std::string& path, ShotRouter& router)
{
    path_ = path;
    router_ = &router;
    // The writer speaks from its own thread; the message waits for the UI's.
    writer_ = std::make_unique<LibraryWriter>(path, [this](bool trouble, const std::string& message) {
        QMetaObject::invokeMethod(
            this,
            [this, trouble, message] {
                trouble_ = trouble ? message : std::string();
                trouble ? dialogs_.Critical("Shot library", message) : dialogs_.Information("Shot library", message);
            },
            Qt::QueuedConnection);
    });
    router.SetStore(writer_.get());
}

void LibraryLink::Serve(ResultsWindow& results, std::function<void()> showLibrary)
{
    connect(&results, &ResultsWindow::shotExcluded, this, [this](int number, bool excluded) {
        if (router_ != nullptr) router_->SetExcluded(number, excluded);
        if (window_) QTimer::singleShot(300, window_, &LibraryWindow::Reload);
    });
    connect(&results, &ResultsWindow::detailsWanted, this, [this, &results] { EditDetails(&results); });
    connect(&results, &ResultsWindow::libraryWanted, this, std::move(showLibrary));
}

void LibraryLink::FollowEditedDetails(const StringInfo& info, bool recorderId)
{
    StringRecorder* recorder = router_ != nullptr ? router_->Recorder() : nullptr;
    if (recorder == nullptr || (recorderId ? recorder->Current().id : recorder->LibraryId()) != info.id) return;
    StringInfo details = info;
    details.id = recorder->Current().id;
    recorder->SetDetails(details);
}

void LibraryLink::EditDetails(QWidget* over)
{
    StringRecorder* recorder = router_ != nullptr ? router_->Recorder() : nullptr;
    if (recorder == nullptr) return;
    auto* dialog = new StringDetailsDialog(recorder->Current(), over);
    // The string may no longer be under way when the dialog is answered:
    // its details go to it all the same, by its own id.
    connect(dialog, &StringDetailsDialog::accepted, this, [this, dialog] {
        const StringInfo details = dialog->Details();
        if (writer_) writer_->Update(details);
        FollowEditedDetails(details, true);
        if (window_) window_->Reload();
    });
    dialog->open();
}

LibraryWindow& LibraryLink::ShowWindow(const Settings& settings, const std::string& shotDataPath)
{
    if (!window_) {
        window_ = new LibraryWindow(path_, dialogs_, fileDialogs_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &LibraryWindow::detailsChanged, this,
                [this](const StringInfo& info) { FollowEditedDetails(info, false); });
        connect(window_, &LibraryWindow::stringsDeleted, this, [this](const std::vector<std::int64_t>& ids) {
            // Its shots are gone with it: the next live shot starts afresh.
            const StringRecorder* live = router_ != nullptr ? router_->Recorder() : nullptr;
            if (live != nullptr && std::find(ids.begin(), ids.end(), live->LibraryId()) != ids.end()) {
                router_->NewStringAtNextShot();
            }
        });
    }
    window_->SetSettings(settings);
    window_->SetShotDataPath(shotDataPath);
    window_->Reload();
    window_->show();
    window_->raise();
    window_->activateWindow();
    return *window_;
}

void LibraryLink::ShowLive(const Settings& settings, const std::string& shotDataPath)
{
    if (!IsOpen() || router_ == nullptr || router_->Recorder() == nullptr) return;
    ShowWindow(settings, shotDataPath).SelectStrings({router_->Recorder()->LibraryId()});
}

void LibraryLink::Finish()
{
    if (!writer_) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    QPointer<QProgressDialog> waiting;
    while (!hurry_ && !writer_->WaitIdle(std::chrono::steady_clock::now() + std::chrono::milliseconds(50)) &&
           std::chrono::steady_clock::now() < until) {
        if (!waiting) {
            const std::string text = "Storing " + std::to_string(writer_->Waiting()) + " shots in the shot library " + path_ +
                                     (trouble_.empty() ? "" : " (" + trouble_ + ")") +
                                     "… Exit again to end now: they are kept for the next start.";
            waiting = new QProgressDialog(QString::fromStdString(text), QString(), 0, 0);
            waiting->setObjectName("dlgStoringShots");
            waiting->setWindowTitle("Shot library");
            waiting->setAttribute(Qt::WA_DeleteOnClose);
            waiting->show();
            std::fputs((MessageLine("Shot library", text) + "\n").c_str(), stderr);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (waiting) waiting->close();
    const LibraryWriter::Ended ended = writer_->Finish();
    if (!ended.message.empty()) std::fputs((MessageLine("Shot library", ended.message) + "\n").c_str(), stderr);
    if (router_ != nullptr) router_->SetStore(nullptr);
    writer_.reset();
}

std::int64_t LibraryLink::LibraryIdOf(std::int64_t recorderId) const
{
    return writer_ ? writer_->LibraryId(recorderId) : recorderId;
}

std::string LibraryPath(const std::string& settingsPath, const std::string& dataFolder)
{
    namespace fs = std::filesystem;
    if (const auto ini = LoadIniFile(settingsPath)) {
        const std::string configured = ini->Read("library", "path");
        if (!configured.empty()) {
            const fs::path p(configured);
            return (p.is_absolute() ? p : fs::path(settingsPath).parent_path() / p).string();
        }
    }
    return (fs::path(dataFolder) / "library.sqlite").string();
}

}  // namespace quorvel
