#include "FileMeasuring.h"

#include <filesystem>

#include "ShotDataFile.h"
#include "StringRecorder.h"

namespace quorvel {

namespace {

// What libsndfile reads, by the names recorders give their files.
constexpr const char* kRecordingFilter =
    "Recordings (*.wav *.WAV *.flac *.FLAC *.ogg *.oga *.opus *.mp3 *.MP3 *.aif *.aiff *.caf *.w64 *.rf64 *.au *.snd);;"
    "All files (*)";

Expected<std::unique_ptr<AudioStream>> OpenRecording(const std::string& path)
{
    using Opening = Expected<std::unique_ptr<AudioStream>>;
    if (const Problem problem = RegularFileProblem(path); !problem.empty()) return Opening::Failure(problem);
    try {
        return AudioStream::Open(path);
    } catch (const std::bad_alloc&) {
        return Opening::Failure("not enough memory to open it");
    }
}

}  // namespace

FileMeasuring::FileMeasuring(FileMeasuringParts parts, QObject* parent) : QObject(parent), parts_(std::move(parts))
{
    setObjectName("fileMeasuring");
}

bool FileMeasuring::DemoPresent() const
{
    return !parts_.demoPath.empty() && std::filesystem::exists(parts_.demoPath);
}

void FileMeasuring::Measure(std::string path, QWidget* over)
{
    if (run_ && run_->Running()) return;
    // A field still being typed in counts as typed, as it would for a button.
    const SettingsPanel panel = parts_.panel();
    if (path.empty()) path = parts_.fileDialogs.OpenFileName(kRecordingFilter);
    if (path.empty()) return;
    auto opened = OpenRecording(path);
    if (!opened) {
        parts_.dialogs.Critical("Measure Recording", path + " cannot be measured: " + opened.Error());
        return;
    }
    std::unique_ptr<AudioStream> stream = std::move(*opened);
    const bool demo = path == parts_.demoPath;
    if (!Agree(path, demo)) return;
    // One detector at a time feeds the string.
    parts_.recording.MeasureFile();

    const SettingsModel& s = parts_.settings;
    const LoadedSettings now{s.WithPanel(panel), panel, s.Units(), s.SampleTimeMs()};
    const MeasureSetup setup = SetupFor(now, stream->SampleRate());
    // The demo was recorded when Quorvel was built; measured now, it is now's string.
    const RecordingStart start = demo ? RecordingStart{parts_.clock.NowDays(), false} : StartOf(path, *stream);

    parts_.hosts.Results().show();
    StringInfo info = StringStartingAt(start.days);
    info.name = std::filesystem::path(path).filename().string();
    parts_.router.NewString(info);
    if (demo && parts_.router.Recorder() != nullptr) demoString_ = parts_.router.Recorder()->Current().id;

    // A finished run may still be on the stack below us (Cancel is answered
    // inside the progress dialog's own event loop): it goes once we are back.
    if (run_) run_.release()->deleteLater();
    run_ = std::make_unique<RecordingRun>(std::move(stream), setup, path, start, over != nullptr ? over : &parts_.main,
                                          [this](MeasuredShot shot) { parts_.router.Route(shot); });
    connect(run_.get(), &RecordingRun::finished, this, &FileMeasuring::Finished);
    run_->Start();
}

void FileMeasuring::Finished(const QString& summary, bool trouble)
{
    parts_.recording.FileMeasured();
    // The next live shot starts a string of its own, numbered from 1.
    parts_.router.NewStringAtNextShot();
    if (LibraryWindow* window = parts_.library.Window()) window->Reload();
    const std::string text = summary.toStdString();
    trouble ? parts_.dialogs.Critical("Measure Recording", text) : parts_.dialogs.Information("Measure Recording", text);
}

bool FileMeasuring::Agree(const std::string& path, bool demo)
{
    Dialogs& dialogs = parts_.dialogs;
    if (demo && demoString_ != 0 &&
        !dialogs.Question("Measure Recording", "The demo recording was measured already: its string is in the "
                                               "shot library. Measure it again into a new string?")) {
        if (parts_.library.IsOpen()) {
            parts_.library.ShowWindow(parts_.settings.Record()).SelectStrings({parts_.library.LibraryIdOf(demoString_)});
        }
        return false;
    }
    const int shots = parts_.router.String().Count();
    if (shots == 0 || demo) return true;
    const std::string name = std::filesystem::path(path).filename().string();
    return dialogs.Question("Measure Recording", "The results window shows a string of " + std::to_string(shots) +
                                                     (shots == 1 ? " shot" : " shots") + ". Measuring " + name +
                                                     " shows its shots in a string of their own instead; the shots "
                                                     "shown now stay in the shot library. Measure " + name + "?");
}

void FileMeasuring::Abandon()
{
    if (!run_) return;
    // What was measured is with the library writer already; a progress
    // dialog may still be painting, so the run goes once the loop is back.
    run_->Abandon();
    run_->disconnect(this);
    run_.release()->deleteLater();
}

}  // namespace quorvel
