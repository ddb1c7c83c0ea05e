#include "Analyzer.h"

#include <algorithm>
#include <new>
#include <array>
#include <optional>
#include <span>
#include <sstream>

#include "AudioFileReader.h"
#include "CaptureEngine.h"
#include "FakeRecordingDevice.h"
#include "NumberText.h"
#include "Settings.h"
#include "ShippedSettings.h"
#include "ShotDetector.h"

namespace quorvel {

namespace {

std::string JsonString(std::string_view s)
{
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Builds one JSON object, keys in the order they are added.
class JsonLine {
public:
    JsonLine& Text(std::string_view key, std::string_view value) { return Raw(key, JsonString(value)); }
    JsonLine& Number(std::string_view key, double value) { return Raw(key, RoundTripNumber(value)); }
    JsonLine& Integer(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    std::string Str() const { return "{" + body_ + "}"; }

private:
    JsonLine& Raw(std::string_view key, const std::string& value)
    {
        if (!body_.empty()) body_ += ',';
        body_ += JsonString(key) + ":" + value;
        return *this;
    }
    std::string body_;
};

class NoWake final : public HandOverWaker {
public:
    void Wake() noexcept override {}
};

// Everything one file is measured with: the loaded settings with the file's
// own sample rate in force.
struct FileSetup {
    Settings record;
    SettingsPanel panel;
    UnitLabels units;
    double sampleTimeMs = 0;
    TriggerWindow window;
};

FileSetup SetupFor(const LoadedSettings& loaded, int sampleRate)
{
    FileSetup f{loaded.record, loaded.panel, loaded.units, 0, {}};
    f.record.frequency = sampleRate;
    f.sampleTimeMs = SampleTimeMsFor(sampleRate);
    f.window = CalcTriggerWindow(f.panel, f.record, f.sampleTimeMs);
    return f;
}

void PrintShot(std::ostream& out, const std::string& file, const FileSetup& f, const ShotResult& shot, long long muzzle,
               long long impact)
{
    const double energy = MuzzleEnergy(shot.MuzzleVelocity, shot.PelletMass, IsMetric(f.units));
    out << JsonLine()
               .Text("file", file)
               .Text("event", "shot")
               .Integer("shot", shot.ShotNumber)
               .Integer("muzzle_sample", muzzle)
               .Integer("impact_sample", impact)
               .Integer("samples", shot.Samples)
               .Number("avg_velocity", shot.AvgVelocity)
               .Number("muzzle_velocity", shot.MuzzleVelocity)
               .Number("energy", energy)
               .Text("speed_unit", TrimUnit(f.units.SpeedUnit))
               .Text("energy_unit", TrimUnit(f.units.EnergyUnit))
               .Str()
        << '\n';
}

void PrintMiss(std::ostream& out, const std::string& file, std::string_view reason, long long muzzle)
{
    out << JsonLine().Text("file", file).Text("event", "miss").Text("reason", reason).Integer("muzzle_sample", muzzle).Str()
        << '\n';
}

// Replays a recording through the capture ring as if it were being recorded,
// and reports what the detector finds, block by block.
class LiveReplay final : private BlockConsumer {
public:
    LiveReplay(const FileSetup& setup, const std::string& name, std::ostream& out)
        : setup_(setup), name_(name), out_(out), engine_(device_, waker_), detector_(clock_)
    {
        detector_.SetWindow(setup.window);
    }

    // Reads the recording a block at a time; false when it held no sound.
    // With `runOut`, a muzzle report still waiting for its impact when the
    // file ends runs out its window in silence, as a recording would go on,
    // and is reported as a miss rather than lost.
    bool Run(AudioStream& stream, bool runOut)
    {
        const int rate = setup_.record.frequency;
        clock_.ms = 10000;
        engine_.DoStart(setup_.record.deviceNum, rate);
        detector_.ResetForStart();
        std::array<std::uint8_t, kBlockSize> block{};
        long long k = 0;
        for (;; ++k) {
            const std::size_t count = stream.Read(block);
            if (count == 0) break;
            fileBlock_ = k;
            // As if the program had been running for ten seconds when this block ends.
            clock_.ms = 10000 + static_cast<double>(k + 1) * kBlockSize / rate * 1000;
            Deliver(std::span<const std::uint8_t>(block.data(), count));
            if (count < block.size()) break;
        }
        block.fill(kSilence);
        const long long extra = runOut ? setup_.window.end / kBlockSize + 2 : 0;
        for (long long n = 0; n < extra && detector_.State().MuzzleArmed; ++n) {
            ++fileBlock_;
            clock_.ms = 10000 + static_cast<double>(fileBlock_ + 1) * kBlockSize / rate * 1000;
            Deliver(block);
        }
        engine_.DoStop();
        return delivered_;
    }

private:
    void Deliver(std::span<const std::uint8_t> block)
    {
        delivered_ = true;
        device_.Deliver(block);
        while (engine_.HandOver(*this)) {
        }
    }

    long long FileIndex(std::int32_t ringIndex, int currentBlock) const
    {
        // The ring slot of that index was last filled `back` blocks ago.
        const int slot = ringIndex / kBlockSize + 1;
        const int back = (currentBlock - slot + kBlockCount) % kBlockCount;
        return (fileBlock_ - back) * kBlockSize + (ringIndex - BlockStart(slot));
    }

    bool OnBlock(const SampleArray& ring, int block) override
    {
        const MeasureContext context{setup_.record, setup_.sampleTimeMs, setup_.units.SpeedUnit, Switches{}};
        const BlockOutcome o = detector_.OnBlock(ring, block, context);
        switch (o.event) {
        case BlockEvent::None:
            break;
        case BlockEvent::MuzzleSeen:
            openMuzzle_ = FileIndex(o.muzzleLine, block);
            break;
        case BlockEvent::Shot: {
            const ShotResult& shot = detector_.LastShot();
            const long long impact = FileIndex(o.impactLine, block);
            PrintShot(out_, name_, setup_, shot, impact - shot.Samples, impact);
            openMuzzle_.reset();
            break;
        }
        case BlockEvent::TooClose:
        case BlockEvent::NoImpact:
            PrintMiss(out_, name_, o.missText.View(), openMuzzle_.value_or(FileIndex(o.muzzleLine, block)));
            openMuzzle_.reset();
            break;
        }
        return o.freeze;
    }

    const FileSetup& setup_;
    const std::string& name_;
    std::ostream& out_;
    FakeClock clock_;
    FakeRecordingDevice device_;
    NoWake waker_;
    CaptureEngine engine_;
    ShotDetector detector_;
    long long fileBlock_ = 0;
    bool delivered_ = false;
    std::optional<long long> openMuzzle_;  // file index of a muzzle armed in an earlier block
};

// Searches the first five blocks, as the analysis window does; false when
// the recording held no sound.
bool AnalysisSearch(const FileSetup& setup, const std::string& name, AudioStream& stream, std::ostream& out)
{
    SampleArray waveform;
    waveform.fill(kSilence);
    if (stream.Read(std::span<std::uint8_t>(waveform.data(), kRingSamples)) == 0) return false;
    FakeClock clock;
    clock.ms = 10000;
    DetectionState state;
    state.WindowStart = setup.window.start;
    state.WindowEnd = setup.window.end;
    const WaveformSearch found =
        SearchWaveform(state, waveform, setup.record.MuzzleVolume, setup.record.ImpactVolume, clock);
    if (found.impactFound && MeasurableSamples(found.samples)) {
        ShotResult shot = MeasureShot(found.samples, setup.record, setup.sampleTimeMs);
        shot.ShotNumber = 1;
        PrintShot(out, name, setup, shot, found.muzzlePos, found.impactPos);
    } else if (found.muzzleFound) {
        out << JsonLine().Text("file", name).Text("event", "muzzle only").Integer("muzzle_sample", found.muzzlePos).Str()
            << '\n';
    } else {
        out << JsonLine().Text("file", name).Text("event", "none").Str() << '\n';
    }
    return true;
}

void DumpSettings(const LoadedSettings& loaded, std::ostream& out)
{
    FileSetup f = SetupFor(loaded, loaded.record.frequency);
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
    json.Integer("units", s.units)
        .Integer("frequency", s.frequency)
        .Integer("deviceNum", s.deviceNum)
        .Text("datafilename", s.datafilename)
        .Number("SampleTimeMs", f.sampleTimeMs)
        .Integer("WindowStart", f.window.start)
        .Integer("WindowEnd", f.window.end);
    out << json.Str() << '\n';
}

// Measures one opened recording; "" or why it could not be measured.
std::string Analyze(const LoadedSettings& loaded, const std::string& name, AudioStream& stream, bool liveMode,
                    bool runOut, std::ostream& out)
{
    const FileSetup setup = SetupFor(loaded, stream.SampleRate());
    const bool any = liveMode ? LiveReplay(setup, name, out).Run(stream, runOut) : AnalysisSearch(setup, name, stream, out);
    if (!any) return stream.Error().empty() ? "the file holds no sound samples" : stream.Error();
    return {};
}

// Messages stay on one line whatever a file name or a library put in them.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return text;
}

constexpr const char* kUsage =
    "usage: quorvel-analyze [--settings PATH] [--mode live|analysis] [--dump-settings] FILE...\n"
    "       quorvel-analyze --help | --version\n"
    "Measures the shots in recordings with Quorvel's detector; one JSON line per shot or miss.\n"
    "  --settings PATH   the settings to measure with (default: the ones quorvel uses)\n"
    "  --mode live       replay each file block by block as a recording (the default)\n"
    "  --mode analysis   search the first 144000 samples once, as the analysis window does\n"
    "  --dump-settings   print the loaded settings as JSON and exit";

}  // namespace

int RunAnalyzer(const std::vector<std::string>& args, const std::string& defaultSettings, std::ostream& out,
                std::ostream& err)
{
    std::string settingsPath = defaultSettings;
    bool liveMode = true;
    bool dump = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--settings" || a == "--mode") {
            if (i + 1 >= args.size()) {
                err << "quorvel-analyze: " << a << " needs a value\n" << kUsage << '\n';
                return 2;
            }
            const std::string& value = args[++i];
            if (a == "--settings") {
                settingsPath = value;
            } else if (value == "live" || value == "analysis") {
                liveMode = value == "live";
            } else {
                err << "quorvel-analyze: unknown mode '" << value << "' (live or analysis)\n";
                return 2;
            }
        } else if (a == "--dump-settings") {
            dump = true;
        } else if (a == "--help" || a == "-h") {
            out << kUsage << '\n';
            return 0;
        } else if (a == "--version") {
            out << "quorvel-analyze " << QUORVEL_VERSION << '\n';
            return 0;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            err << "quorvel-analyze: unknown option " << a << '\n' << kUsage << '\n';
            return 2;
        } else if (a == "--") {
            files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else {
            files.push_back(a);
        }
    }

    const SettingsLoadResult settings = LoadSettings(settingsPath);
    if (!settings.ok) {
        err << OneLine("quorvel-analyze: " + settings.message) << '\n';
        return 2;
    }
    if (!settings.message.empty()) err << OneLine("quorvel-analyze: " + settings.message) << '\n';
    if (dump) {
        DumpSettings(settings.loaded, out);
        return 0;
    }
    if (files.empty()) {
        err << kUsage << '\n';
        return 2;
    }
    int status = 0;
    for (const std::string& name : files) {
        std::string error;
        try {
            if (const auto stream = AudioStream::Open(name, &error)) {
                error = Analyze(settings.loaded, name, *stream, liveMode, true, out);
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

bool AnalyzeBytes(const std::string& name, const std::vector<unsigned char>& bytes, bool liveMode, std::ostream& out,
                  std::ostream& err)
{
    std::string error;
    const auto stream = AudioStream::OpenBytes(std::span<const std::uint8_t>(bytes.data(), bytes.size()), &error);
    if (stream) error = Analyze(LoadSettingsFrom(IniDocument(kShippedSettings)), name, *stream, liveMode, false, out);
    if (error.empty()) return true;
    err << OneLine("quorvel-analyze: " + name + ": " + error) << '\n';
    return false;
}

}  // namespace quorvel
