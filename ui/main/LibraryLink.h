// The main window's tie to the shot library: the writer that stores every
// shot and miss the shot route measures, the string under way as the
// library sees it (flyers, details, its deletion), and the library window.
// Trouble with the library is told in a message box and never stops
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
#include "ResultsWindow.h"
#include "Settings.h"
#include "ShotRouter.h"

namespace quorvel {

class LibraryLink final : public QObject {
    Q_OBJECT
public:
    LibraryLink(Dialogs& dialogs, FileDialogs& fileDialogs, QObject* parent);
    ~LibraryLink() override;

    // Starts storing what `router` routes into `path`.
    void Open(const std::string& path, ShotRouter& router);
    bool IsOpen() const { return writer_ != nullptr; }
    const std::string& Path() const { return path_; }
    // Where shots are stored; null until Open.
    ShotStore* Store() { return writer_.get(); }
    // The results window's flyers, details and "Library…" reach the library;
    // `showLibrary` opens its window.
    void Serve(ResultsWindow& results, std::function<void()> showLibrary);
    // "String details…" for the string under way, as a window-modal dialog.
    void EditDetails(QWidget* over);
    // The library window, in front, in the units and with the settings of now.
    LibraryWindow& ShowWindow(const Settings& settings, const std::string& shotDataPath = {});
    // The same with the string under way selected; nothing before Open.
    void ShowLive(const Settings& settings, const std::string& shotDataPath);
    LibraryWindow* Window() { return window_; }
    // The program ends. While shots still wait for a locked or full
    // library it says so and waits a few seconds, or until Hurry; then what
    // still waits is kept in the pending file beside the library, and
    // stderr says so. No box holds the end up.
    void Finish();
    // Exit or a signal came again while Finish waits: end now.
    void Hurry() { hurry_ = true; }
    // The library's id of a recorder's string (see StringIds).
    std::int64_t LibraryIdOf(std::int64_t recorderId) const;

private:
    // A string's name, gun, pellet or notes were changed by the shooter: in
    // the details dialog (`recorderId`: the id is a recorder's) or in the
    // library window (the library's). The string under way keeps them.
    void FollowEditedDetails(const StringInfo& info, bool recorderId);

    Dialogs& dialogs_;
    FileDialogs& fileDialogs_;
    std::string path_;
    std::unique_ptr<LibraryWriter> writer_;
    ShotRouter* router_ = nullptr;
    QPointer<LibraryWindow> window_;
    std::string trouble_;  // what the writer last said was wrong
    bool hurry_ = false;
};

// Where the library lies: `[library] path=` of the settings file (relative
// to it) when given, else library.sqlite in the data folder.
std::string LibraryPath(const std::string& settingsPath, const std::string& dataFolder);

}  // namespace quorvel
