// quorvel-range: measures the catalogue's simulated sessions with both
// methods, the shooter's way (calibration shot, suggested volumes, then the
// string), and prints how close each came to the truth.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "LevelSuggestion.h"
#include "OnsetRun.h"
#include "RangeReport.h"
#include "Scoring.h"
#include "Session.h"
#include "ThresholdRun.h"
#include "TimeBlocks.h"
#include "WaveBytes.h"

using namespace quorvel;
using namespace quorvel::range;

namespace {

struct Options {
    std::string writeDir;
    std::string only;
    bool time = false;
    bool detail = false;
    std::uint32_t seedOffset = 0;
};

void WriteSession(const std::string& dir, int index, const Scene& scene, const Session& session)
{
    const std::string stem = dir + "/" + std::to_string(index);
    WriteFile(stem + "-calibration.wav", WaveBytes(session.calibration.samples, scene.rate));
    WriteFile(stem + "-string.wav", WaveBytes(session.string.samples, scene.rate));
    std::string csv = "# " + scene.name + ", distance " + std::to_string(scene.distance) + " m\n";
    csv += "recording,kind,muzzle_sample,impact_sample,flight_s,velocity_ms,snr_db\n";
    char line[200];
    for (const auto* rec : {&session.calibration, &session.string}) {
        const char* which = rec == &session.calibration ? "calibration" : "string";
        for (const ShotTruth& s : rec->shots) {
            std::snprintf(line, sizeof line, "%s,shot,%.3f,%.3f,%.7f,%.3f,%.1f\n", which, s.muzzle, s.impact, s.flight, s.velocity, s.snrDb);
            csv += line;
        }
        for (const NeighbourTruth& n : rec->neighbours) {
            std::snprintf(line, sizeof line, "%s,neighbour,%.3f,%.3f,,,\n", which, n.report, n.impact);
            csv += line;
        }
    }
    WriteFile(stem + "-truth.csv", std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(csv.data()), csv.size()));
}

void PrintDetail(const Recording& truth, const Measurements& thr, const Measurements& onset)
{
    // Measured minus true, in microseconds: the flight time, and each onset alone.
    struct Errors {
        double flight = 1e9, muzzle = 0, impact = 0;
    };
    auto errorOf = [&](const Measurements& all, const ShotTruth& s) {
        for (const MeasuredShot& m : all) {
            if (m.shot && std::abs(m.muzzle - s.muzzle) < 0.003 * truth.rate) {
                const double us = 1e6 / truth.rate;
                return Errors{((m.impact - m.muzzle) / truth.rate - s.flight) * 1e6, (m.muzzle - s.muzzle) * us, (m.impact - s.impact) * us};
            }
        }
        return Errors{};
    };
    for (const MeasuredShot& m : onset) {
        if (!m.shot) continue;
        bool own = false;
        for (const ShotTruth& s : truth.shots) own = own || std::abs(m.muzzle - s.muzzle) < 0.003 * truth.rate;
        if (own) continue;
        const char* what = "unknown";
        for (const NeighbourTruth& n : truth.neighbours) {
            if (std::abs(m.muzzle - n.report) < 0.003 * truth.rate) what = "neighbour's report";
            if (std::abs(m.muzzle - n.impact) < 0.003 * truth.rate) what = "neighbour's impact";
        }
        std::printf("    false shot at %.1f: %s\n", m.muzzle, what);
    }
    for (const ShotTruth& s : truth.shots) {
        bool neighbourInWindow = false;
        for (const NeighbourTruth& n : truth.neighbours) neighbourInWindow = neighbourInWindow || (n.report > s.muzzle && n.report < s.impact + 0.002 * truth.rate);
        const Errors o = errorOf(onset, s);
        std::printf("    muzzle %.1f flight %.1f snr %6.1f dB  threshold %9.1f us  onset %9.1f us (muzzle %+7.1f, impact %+9.1f)%s\n", s.muzzle,
                    s.impact - s.muzzle, s.snrDb, errorOf(thr, s).flight, o.flight, o.muzzle, o.impact,
                    neighbourInWindow ? "  (neighbour in window)" : "");
    }
}

SceneResult Run(const Scene& scene, int index, const Options& options)
{
    const Session session = MakeSession(scene);
    if (!options.writeDir.empty()) WriteSession(options.writeDir, index, scene, session);
    const int rate = scene.rate;
    const TriggerWindow window = CalcTriggerWindow(scene.distance, 50, 400, 1000.0 / rate);
    const LevelAdvice advice = SuggestLevels(session.calibration.samples, rate, window);
    SceneResult r;
    r.scene = scene;
    r.advice = advice.Good() ? (advice.warning.empty() ? "good" : "warned") : "refused: " + advice.problem;
    // A refused suggestion leaves the shipped volumes in force.
    const int muzzle = advice.Good() ? advice.muzzleVolume : 60;
    const int impact = advice.Good() ? advice.impactVolume : 30;
    r.muzzleVolume = muzzle;
    r.impactVolume = impact;
    const Measurements thr = MeasureWithThreshold(session.string.samples, rate, scene.distance, muzzle, impact);
    const ReportSignature report = advice.muzzleAt >= 0 ? LearnReport(session.calibration.samples, rate, advice.muzzleAt) : ReportSignature{};
    const OnsetRun onset = MeasureWithOnsets(session.string.samples, OnsetSetupFor(rate, scene.distance, muzzle, impact, report),
                                             session.calibration.samples);
    r.threshold = Score(session.string, thr, scene.distance);
    r.onset = Score(session.string, onset.measured, scene.distance);
    r.otherGuns = onset.otherGuns;
    r.meanSigmaUs = onset.meanSigma / rate * 1e6;
    if (options.detail) PrintDetail(session.string, thr, onset.measured);
    return r;
}

Options Parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--write") == 0 && i + 1 < argc) o.writeDir = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) o.only = argv[++i];
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) o.seedOffset = static_cast<std::uint32_t>(std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--time") == 0) o.time = true;
        else if (std::strcmp(argv[i], "--detail") == 0) o.detail = true;
        else {
            std::printf("usage: quorvel-range [--write DIR] [--time] [--only NAME] [--seed N] [--detail]\n");
            std::exit(std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ? 0 : 2);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = Parse(argc, argv);
    if (options.time) {
        PrintBlockTimes();
        return 0;
    }
    if (!options.writeDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.writeDir, error);
    }
    std::vector<SceneResult> results;
    int index = 0;
    for (Scene scene : Catalogue()) {
        ++index;
        if (!options.only.empty() && scene.name.find(options.only) == std::string::npos) continue;
        scene.seed += options.seedOffset;
        results.push_back(Run(scene, index, options));
        PrintScene(results.back());
        std::fflush(stdout);
    }
    PrintTables(results);
    return 0;
}
