// "Measure Recording…" as the main window offers it: a file chosen and
// checked, the shooter asked before a string shown is replaced, the live
// recording stopped, and a run that measures the file into a string of its
// own along the shot route. The demo recording is the way in for a shooter
// with no microphone.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "LibraryLink.h"
#include "RecordingController.h"
#include "RecordingRun.h"
#include "SettingsModel.h"
#include "WindowHosts.h"

namespace quorvel {

struct FileMeasuringParts {
    QWidget& main;
    SettingsModel& settings;
    // The panel as it stands, every field typed in taken first.
    std::function<SettingsPanel()> panel;
    RecordingController& recording;
    ShotRouter& router;
    WindowHosts& hosts;
    LibraryLink& library;
    Clock& clock;
    Dialogs& dialogs;
    FileDialogs& fileDialogs;
    std::string demoPath;
};

class FileMeasuring final : public QObject {
    Q_OBJECT
public:
    FileMeasuring(FileMeasuringParts parts, QObject* parent);

    // Measures `path` (asked for when empty) into a new string, with a
    // progress dialog over `over` (the main window when null).
    void Measure(std::string path = {}, QWidget* over = nullptr);
    // The demo recording when it was shipped, else the file dialog.
    void MeasureDemo() { Measure(DemoPresent() ? parts_.demoPath : std::string()); }
    bool DemoPresent() const;
    const std::string& DemoPath() const { return parts_.demoPath; }
    // The program ends: a run under way stops without a word.
    void Abandon();
    RecordingRun* Run() { return run_.get(); }

private:
    // Whether to go on: a demo measured already, or a string shown that a
    // recording's own string is about to replace.
    bool Agree(const std::string& path, bool demo);
    void Finished(const QString& summary, bool trouble);

    FileMeasuringParts parts_;
    std::unique_ptr<RecordingRun> run_;
    std::int64_t demoString_ = 0;  // the demo's string (its recorder id), once measured in this run
};

}  // namespace quorvel
