// The main window's tie to the shot library: the writer that stores every
// shot and miss as it is measured, the string under way, and the library
// window. Trouble with the library is told in a message box and never stops
// measuring.
#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QPointer>

#include "Dialogs.h"
#include "FileDialogs.h"
#include "LibraryWindow.h"
#include "LibraryWriter.h"
#include "StringRecorder.h"
#include "Settings.h"

namespace quorvel {

class LibraryLink final : public QObject {
    Q_OBJECT
public:
    LibraryLink(Dialogs& dialogs, FileDialogs& fileDialogs, QObject* parent);
    ~LibraryLink() override;

    // Starts storing into `path`; the first string starts at `localDays`.
    void Open(const std::string& path, double localDays);
    bool IsOpen() const { return writer_ != nullptr; }
    const std::string& Path() const { return path_; }
    // Null until Open.
    StringRecorder* Recorder() { return recorder_.get(); }
    // A recorder of its own for another string (a measured recording); null
    // until Open.
    std::unique_ptr<StringRecorder> RecorderFor(const StringInfo& info);
    // "String details…" for the string under way (or that of `recorder`),
    // as a window-modal dialog.
    void EditDetails(QWidget* over, StringRecorder* recorder = nullptr);
    // The library window, in front, in the units and with the settings of now.
    LibraryWindow& ShowWindow(const Settings& settings);
    LibraryWindow* Window() { return window_; }
    // The program ends: waits a little for what is queued and tells of any
    // shot that could not be stored.
    void Finish();

signals:
    // A string's name, gun, pellet or notes were changed by the shooter.
    void detailsEdited(const StringInfo& info);

private:
    Dialogs& dialogs_;
    FileDialogs& fileDialogs_;
    std::string path_;
    std::unique_ptr<LibraryWriter> writer_;
    std::unique_ptr<StringRecorder> recorder_;
    QPointer<LibraryWindow> window_;
};

// Where the library lies: `[library] path=` of the settings file (relative
// to it) when given, else library.sqlite in the data folder.
std::string LibraryPath(const std::string& settingsPath, const std::string& dataFolder);

}  // namespace quorvel
