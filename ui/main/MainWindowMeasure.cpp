// The main window's part in "Measure Recording…": a recording file measured
// as if it were recorded, into a new string in the results window and the
// shot library, and the way in for a shooter with no microphone.
#include <filesystem>

#include "MainWindow.h"
#include "RecordingRun.h"
#include "StringRecorder.h"

namespace quorvel {

namespace {

// What libsndfile reads, by the names recorders give their files.
constexpr const char* kRecordingFilter =
    "Recordings (*.wav *.WAV *.flac *.FLAC *.ogg *.oga *.opus *.mp3 *.MP3 *.aif *.aiff *.caf *.w64 *.rf64 *.au *.snd);;"
    "All files (*)";

}  // namespace

void MainWindow::MeasureRecording(std::string path, QWidget* over)
{
    if (run_ && run_->Running()) return;
    // A field still being typed in counts as typed, as it would for a button.
    fields_.CommitEdits();
    if (path.empty()) path = services_.fileDialogs.OpenFileName(kRecordingFilter);
    if (path.empty()) return;
    std::string error = RegularFileProblem(path);
    std::unique_ptr<AudioStream> stream;
    try {
        if (error.empty()) stream = AudioStream::Open(path, &error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to open it";
    }
    if (!stream) {
        services_.dialogs.Critical("Measure Recording", path + " cannot be measured: " + error);
        return;
    }
    const bool demo = path == services_.demoPath;
    if (!AgreeToMeasure(path, demo)) return;
    // One detector at a time feeds the string.
    if (session_.Recording()) StartButton_Click();

    Settings record = record_;
    const SettingsPanel panel = PanelFromControls();
    TakePanelIntoRecord(panel, record);
    LoadedSettings now{record, panel, units_, sampleTimeMs_, method_, learnt_};
    const MeasureSetup setup = SetupFor(now, stream->SampleRate());
    // The demo was recorded when Quorvel was built; measured now, it is now's string.
    const RecordingStart start = demo ? RecordingStart{services_.clock.NowDays(), false} : StartOf(path, *stream);

    Results().show();
    StringInfo info = StringStartingAt(start.days);
    info.name = std::filesystem::path(path).filename().string();
    router_.NewString(info);
    if (demo && router_.Recorder() != nullptr) demoString_ = router_.Recorder()->Current().id;

    // A finished run may still be on the stack below us (Cancel is answered
    // inside the progress dialog's own event loop): it goes once we are back.
    if (run_) run_.release()->deleteLater();
    run_ = std::make_unique<RecordingRun>(std::move(stream), setup, path, start, over != nullptr ? over : this,
                                          [this](MeasuredShot shot) { router_.Route(shot); });
    connect(run_.get(), &RecordingRun::finished, this, [this](const QString& summary, bool trouble) {
        // The next live shot starts a string of its own, numbered from 1.
        router_.NewStringAtNextShot();
        if (LibraryWindow* window = library_.Window()) window->Reload();
        const std::string text = summary.toStdString();
        trouble ? services_.dialogs.Critical("Measure Recording", text)
                : services_.dialogs.Information("Measure Recording", text);
    });
    run_->Start();
}

bool MainWindow::AgreeToMeasure(const std::string& path, bool demo)
{
    if (demo && demoString_ != 0 &&
        !services_.dialogs.Question("Measure Recording", "The demo recording was measured already: its string is in the "
                                                         "shot library. Measure it again into a new string?")) {
        if (library_.IsOpen()) {
            library_.ShowWindow(record_).SelectStrings({library_.LibraryIdOf(demoString_)});
        }
        return false;
    }
    const int shots = router_.String().Count();
    if (shots == 0 || demo) return true;
    const std::string name = std::filesystem::path(path).filename().string();
    return services_.dialogs.Question(
        "Measure Recording", "The results window shows a string of " + std::to_string(shots) +
                                 (shots == 1 ? " shot" : " shots") + ". Measuring " + name + " shows its shots in a string of their own instead; "
                                 "the shots shown now stay in the shot library. Measure " + name + "?");
}

void MainWindow::StopMeasuringRecording()
{
    if (!run_) return;
    // What was measured is with the library writer already; a progress
    // dialog may still be painting, so the run goes once the loop is back.
    run_->Abandon();
    run_->disconnect(this);
    run_.release()->deleteLater();
}

void MainWindow::ShowNoMicrophone()
{
    const bool demo = !services_.demoPath.empty() && std::filesystem::exists(services_.demoPath);
    lblNoMicrophone.setText(demo ? "No microphone? Click here to measure the demo recording"
                                 : "No microphone? Measure Recording… reads a phone's or recorder's recording");
    lblNoMicrophone.setToolTip(demo ? QString::fromStdString(services_.demoPath) : QString());
    lblNoMicrophone.adjustSize();
    lblNoMicrophone.show();
    LayOutBottom();
}

void MainWindow::lblNoMicrophone_Click()
{
    const bool demo = !services_.demoPath.empty() && std::filesystem::exists(services_.demoPath);
    MeasureRecording(demo ? services_.demoPath : std::string());
}

}  // namespace quorvel
