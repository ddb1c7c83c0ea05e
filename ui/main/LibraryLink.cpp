#include "LibraryLink.h"

#include <filesystem>

#include <QWidget>

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

void LibraryLink::Open(const std::string& path, double localDays)
{
    path_ = path;
    // The writer speaks from its own thread; the message waits for the UI's.
    writer_ = std::make_unique<LibraryWriter>(path, [this](bool trouble, const std::string& message) {
        QMetaObject::invokeMethod(
            this,
            [this, trouble, message] {
                trouble ? dialogs_.Critical("Shot library", message) : dialogs_.Information("Shot library", message);
            },
            Qt::QueuedConnection);
    });
    recorder_ = std::make_unique<StringRecorder>(*writer_);
    recorder_->NewString(localDays);
}

std::unique_ptr<StringRecorder> LibraryLink::RecorderFor(const StringInfo& info)
{
    if (!writer_) return nullptr;
    auto recorder = std::make_unique<StringRecorder>(*writer_);
    recorder->NewString(info);
    return recorder;
}

void LibraryLink::EditDetails(QWidget* over, StringRecorder* recorder)
{
    if (recorder == nullptr) recorder = recorder_.get();
    if (recorder == nullptr) return;
    auto* dialog = new StringDetailsDialog(recorder->Current(), over);
    // The recorder may be gone when the dialog is answered; its string stays.
    connect(dialog, &StringDetailsDialog::accepted, this, [this, dialog] {
        const StringInfo details = dialog->Details();
        if (recorder_ && recorder_->Current().id == details.id) {
            recorder_->SetDetails(details);
        } else if (writer_) {
            writer_->Update(details);
        }
        emit detailsEdited(details);
        if (window_) window_->Reload();
    });
    dialog->open();
}

LibraryWindow& LibraryLink::ShowWindow(const Settings& settings)
{
    if (!window_) {
        window_ = new LibraryWindow(path_, dialogs_, fileDialogs_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &LibraryWindow::detailsChanged, this, [this](const StringInfo& info) {
            if (recorder_ && info.id == recorder_->Current().id) recorder_->SetDetails(info);
            emit detailsEdited(info);
        });
    }
    window_->SetSettings(settings);
    window_->Reload();
    window_->show();
    window_->raise();
    window_->activateWindow();
    return *window_;
}

void LibraryLink::Finish()
{
    if (!writer_) return;
    const int lost = writer_->Finish(std::chrono::seconds(10));
    if (lost > 0) {
        dialogs_.Critical("Shot library", std::to_string(lost) + (lost == 1 ? " shot" : " shots") +
                                              " could not be stored in the shot library " + path_ +
                                              ". They are in the shot data file only if autosave was on.");
    }
    recorder_.reset();
    writer_.reset();
}

std::string LibraryPath(const std::string& settingsPath, const std::string& dataFolder)
{
    namespace fs = std::filesystem;
    std::string error;
    if (const auto ini = LoadIniFile(settingsPath, &error)) {
        const std::string configured = ini->Read("library", "path");
        if (!configured.empty()) {
            const fs::path p(configured);
            return (p.is_absolute() ? p : fs::path(settingsPath).parent_path() / p).string();
        }
    }
    return (fs::path(dataFolder) / "library.sqlite").string();
}

}  // namespace quorvel
