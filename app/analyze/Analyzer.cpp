#include "Analyzer.h"
#include "AnalyzerOptions.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <array>
#include <optional>
#include <span>
#include <sstream>

#include "AudioFileReader.h"
#include "JsonLine.h"
#include "LevelSuggestion.h"
#include "ShotRouter.h"
#include "ShotStore.h"
#include "StringRecorder.h"
#include "UtcTime.h"
#include "NumberText.h"
#include "RecordingMeasure.h"
#include "RecordingStart.h"
#include "Settings.h"
#include "ShippedSettings.h"
#include "ThresholdDetector.h"

namespace quorvel {

namespace {

// A place in samples: whole for the threshold method, between samples for the onset method.
JsonLine& Place(JsonLine& json, std::string_view key, double samples)
{
    if (samples == std::floor(samples)) return json.Integer(key, static_cast<long long>(samples));
    return json.Number(key, samples);
}

void PrintShot(std::ostream& out, const std::string& file, const MeasureSetup& f, const MeasuredShot& m)
{
    const ShotResult& shot = m.result;
    const double energy = MuzzleEnergy(shot.MuzzleVelocity, shot.PelletMass, f.units.system);
    JsonLine json;
    json.Text("file", file).Text("event", "shot").Integer("shot", shot.ShotNumber);
    Place(json, "muzzle_sample", m.muzzle);
    Place(json, "impact_sample", m.impact);
    Place(json, "samples", m.samples);
    json.Number("avg_velocity", shot.AvgVelocity).Number("muzzle_velocity", shot.MuzzleVelocity).Number("energy", energy);
    json.Text("speed_unit", TrimUnit(f.units.SpeedUnit)).Text("energy_unit", TrimUnit(f.units.EnergyUnit));
    // How sure the timing is, where the method says.
    if (m.sigma > 0) json.Number("velocity_sd", m.VelocitySigma()).Text("method", MethodName(m.method));
    out << json.Str() << '\n';
}

void PrintMiss(std::ostream& out, const std::string& file, const MeasuredShot& m)
{
    JsonLine json;
    json.Text("file", file).Text("event", "miss").Text("reason", MissText(m.outcome));
    out << Place(json, "muzzle_sample", m.muzzle).Str() << '\n';
}

// Prints what the live replay measures, and sends it along the shot route
// (into a library, when one was given).
class Printer final : public MeasureListener {
public:
    Printer(const MeasureSetup& setup, const std::string& name, std::ostream& out, ShotRouter& router)
        : setup_(setup), name_(name), out_(out), router_(router)
    {
    }
    void Measured(const MeasuredShot& e) override
    {
        MeasuredShot shot = e;
        router_.Route(shot);
        shot.IsShot() ? PrintShot(out_, name_, setup_, shot) : PrintMiss(out_, name_, shot);
    }

private:
    const MeasureSetup& setup_;
    const std::string& name_;
    std::ostream& out_;
    ShotRouter& router_;
};

// Searches the first five blocks, as the analysis window does; false when
// the recording held no sound.
bool AnalysisSearch(const MeasureSetup& setup, const std::string& name, AudioStream& stream, std::ostream& out)
{
    SampleArray waveform;
    waveform.fill(kSilence);
    if (stream.Read(std::span<std::uint8_t>(waveform.data(), kRingSamples)) == 0) return false;
    ManualClock clock;
    const std::unique_ptr<Detector> detector = MakeDetector(setup.Method(), clock, setup.Detection());
    const RecordingSearch found = SearchRecording(*detector, std::span<const std::uint8_t>(waveform.data(), kRingSamples), kBlockSize);
    if (found.impactFound && MeasurableSamples(found.samples)) {
        Detection d;
        d.kind = Detection::Kind::Shot;
        d.muzzle = found.muzzlePos;
        d.impact = found.impactPos;
        d.samples = found.samples;
        d.sigma = found.sigma;
        MeasuredShot shot = MeasureDetection(d, setup.Method(), setup.record, setup.sampleTimeMs, 0);
        shot.result.ShotNumber = 1;
        PrintShot(out, name, setup, shot);
    } else if (found.muzzleFound) {
        JsonLine json;
        json.Text("file", name).Text("event", "muzzle only");
        out << Place(json, "muzzle_sample", found.muzzlePos).Str() << '\n';
    } else {
        out << JsonLine().Text("file", name).Text("event", "none").Str() << '\n';
    }
    return true;
}

void DumpSettings(const LoadedSettings& loaded, std::ostream& out)
{
    MeasureSetup f = SetupFor(loaded, loaded.record.frequency);
    const Settings& s = f.record;
    JsonLine json;
    json.Number("VelocityMin", s.VelocityMin)
        .Number("VelocityMax", s.VelocityMax)
        .Number("distance", s.distance)
        .Number("pelletmass", s.pelletmass)
        .Number("RetainedVelocity", s.RetainedVelocity)
        .Integer("MuzzleVolume", s.MuzzleVolume)
        .Integer("ImpactVolume", s.ImpactVolume)
        .Integer("MicVolume", s.MicVolume)
        .Number("offset", s.offset);
    for (std::size_t i = 0; i < kSwitchKeys.size(); ++i) json.Integer(kSwitchKeys[i], f.panel.switches.on[i] ? 1 : 0);
    json.Integer("units", static_cast<int>(s.units))
        .Integer("frequency", s.frequency)
        .Integer("deviceNum", s.deviceNum)
        .Text("datafilename", s.datafilename)
        .Number("SampleTimeMs", f.sampleTimeMs)
        .Integer("WindowStart", f.window.start)
        .Integer("WindowEnd", f.window.end)
        .Text("method", MethodName(s.method));
    out << json.Str() << '\n';
}

// What the method learns of the report from the calibration shot's
// recording (its first 144000 samples, as the calibration window records).
Expected<std::string> LearnFromCalibration(const LoadedSettings& loaded, const std::string& path)
{
    const auto stream = AudioStream::Open(path);
    if (!stream) return Expected<std::string>::Failure(stream.Error());
    SampleArray samples;
    samples.fill(kSilence);
    const std::size_t read = (*stream)->Read(std::span<std::uint8_t>(samples.data(), kRingSamples));
    const MeasureSetup setup = SetupFor(loaded, (*stream)->SampleRate());
    ManualClock clock;
    const std::unique_ptr<Detector> detector = MakeDetector(setup.Method(), clock, setup.Detection());
    detector->Rehearse(std::span<const std::uint8_t>(samples.data(), read));
    return detector->Learnt();
}

using Mode = AnalyzeMode;

// Suggested trigger volumes from the first five blocks, the stretch the
// analysis window shows; false when the recording held no sound.
bool Suggest(const MeasureSetup& setup, const std::string& name, AudioStream& stream, std::ostream& out)
{
    std::vector<std::uint8_t> samples(kRingSamples);
    samples.resize(stream.Read(samples));
    if (samples.empty()) return false;
    const LevelAdvice advice = SuggestLevels(samples, setup.record.frequency, setup.window);
    JsonLine json;
    json.Text("file", name).Text("event", "levels");
    if (advice.Good()) {
        json.Integer("muzzle_volume", advice.muzzleVolume)
            .Integer("impact_volume", advice.impactVolume)
            .Integer("noise_peak", advice.noisePeak)
            .Integer("muzzle_peak", advice.muzzlePeak)
            .Integer("impact_peak", advice.impactPeak);
        if (!advice.warning.empty()) json.Text("warning", advice.warning);
    } else {
        json.Text("problem", advice.problem);
    }
    out << json.Str() << '\n';
    return true;
}

// Where the analyser's shots go: along the shot route, and into a library
// when one was given, a string per recording or all in one named string.
struct AnalyzerRoute {
    SteadyClock clock;
    ShotLibrary library;
    std::optional<DirectStore> store;
    ShotRouter router{clock};
    bool begun = false;

    std::string Open(const std::string& path)
    {
        const ShotLibrary::Opened opened = library.Open(path);
        if (opened.status != ShotLibrary::Status::Ok) {
            return opened.message.empty() ? path + ": the library cannot be written" : opened.message;
        }
        store.emplace(library);
        router.SetStore(&*store);
        return {};
    }
    void BeginRecording(const std::string& stringName, const std::string& fileName, double startDays)
    {
        if (!stringName.empty() && begun) return;  // every recording in the one string, numbered on
        begun = true;
        StringInfo info = StringStartingAt(startDays);
        info.name = stringName.empty() ? std::filesystem::path(fileName).filename().string() : stringName;
        router.NewString(info);
    }
    std::string TakeError() { return store ? store->TakeError() : std::string(); }
};

// Measures one opened recording; "" or why it could not be measured (in
// full: a damaged file is measured as far as it can be read).
std::string Analyze(const LoadedSettings& loaded, const std::string& name, AudioStream& stream, Mode mode,
                    bool runOut, std::ostream& out, AnalyzerRoute& route)
{
    const MeasureSetup setup = SetupFor(loaded, stream.SampleRate());
    bool any = false;
    std::int64_t read = 0;
    if (mode == Mode::Live) {
        const RecordingStart start = StartOf(name, stream);
        Printer printer(setup, name, out, route.router);
        RecordingMeasure measure(stream, setup, start.days, printer);
        while (measure.Step(64)) {
        }
        measure.Finish(runOut);
        any = measure.AnySound();
        read = measure.SamplesRead();
    } else {
        any = mode == Mode::Analysis ? AnalysisSearch(setup, name, stream, out) : Suggest(setup, name, stream, out);
    }
    if (!any) return stream.Error().empty() ? "the file holds no sound samples" : stream.Error();
    std::string problem;
    problem = route.TakeError();
    if (problem.empty() && mode == Mode::Live && !stream.Shortfall(read).empty()) {
        problem = "measured up to " + PlaceText(read, stream.SampleRate()) + ", where the file ends though its header promises " +
                  PlaceText(stream.Promised(), stream.SampleRate()) + ": " + stream.Shortfall(read);
    }
    if (problem.empty() && !stream.Error().empty()) {
        problem = mode == Mode::Live
                      ? "measured up to " + PlaceText(read, stream.SampleRate()) + ", where the file stops: " + stream.Error()
                      : "the file stops early: " + stream.Error();
    }
    return problem;
}

// Messages stay on one line whatever a file name or a library put in them.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return text;
}

}  // namespace

int RunAnalyzer(const std::vector<std::string>& args, const std::string& defaultSettings, std::ostream& out,
                std::ostream& err)
{
    Options o;
    o.settingsPath = defaultSettings;
    if (const auto status = ReadOptions(args, o, out, err)) return *status;

    const SettingsLoadResult settings = LoadSettings(o.settingsPath);
    if (!settings.ok) {
        err << OneLine("quorvel-analyze: " + settings.message) << '\n';
        return 2;
    }
    if (!settings.message.empty()) err << OneLine("quorvel-analyze: " + settings.message) << '\n';
    LoadedSettings loaded = settings.loaded;
    if (o.method) loaded.record.method = *o.method;
    if (!o.calibration.empty()) {
        const Expected<std::string> learnt = LearnFromCalibration(loaded, o.calibration);
        if (!learnt) {
            err << OneLine("quorvel-analyze: " + o.calibration + ": " + learnt.Error()) << '\n';
            return 2;
        }
        loaded.record.learnt = *learnt;
    }
    if (o.dump) {
        DumpSettings(loaded, out);
        return 0;
    }
    if (o.files.empty()) {
        err << kUsage << '\n';
        return 2;
    }
    AnalyzerRoute route;
    if (!o.library.empty()) {
        if (const std::string why = route.Open(o.library); !why.empty()) {
            err << OneLine("quorvel-analyze: " + why) << '\n';
            return 2;
        }
    }
    int status = 0;
    for (const std::string& name : o.files) {
        std::string error;
        try {
            const auto stream = AudioStream::Open(name);
            error = stream.Error();
            if (stream) {
                route.BeginRecording(o.stringName, name, StartOf(name, **stream).days);
                error = Analyze(loaded, name, **stream, o.mode, true, out, route);
            }
        } catch (const std::bad_alloc&) {
            error = "not enough memory to measure it";
        }
        out.flush();
        if (error.empty()) continue;
        err << OneLine("quorvel-analyze: " + name + ": " + error) << '\n';
        status = 2;
    }
    return status;
}

bool AnalyzeBytes(const std::string& name, const std::vector<unsigned char>& bytes, AnalyzeMode mode, std::ostream& out,
                  std::ostream& err)
{
    const auto stream = AudioStream::OpenBytes(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
    std::string error = stream.Error();
    AnalyzerRoute route;
    if (stream) error = Analyze(LoadSettingsFrom(IniDocument(kShippedSettings)), name, **stream, mode, false, out, route);
    if (error.empty()) return true;
    err << OneLine("quorvel-analyze: " + name + ": " + error) << '\n';
    return false;
}

}  // namespace quorvel
