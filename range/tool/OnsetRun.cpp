#include "OnsetRun.h"

#include <algorithm>

#include "CaptureRing.h"
#include "ThresholdDetector.h"

namespace quorvel::range {

OnsetSetup OnsetSetupFor(int rate, double distance, int muzzleVolume, int impactVolume, const ReportSignature& report)
{
    // The shipped velocity limits, as the threshold method uses them.
    const TriggerWindow window = CalcTriggerWindow(distance, 50, 400, 1000.0 / std::max(rate, 1));
    OnsetSetup setup;
    setup.sampleRate = rate;
    setup.windowStart = window.start;
    setup.windowEnd = window.end;
    setup.muzzleVolume = muzzleVolume;
    setup.impactVolume = impactVolume;
    setup.report = report;
    return setup;
}

namespace {

struct Collect final : OnsetSink {
    void Onset(const OnsetEvent& e) override
    {
        if (e.kind == OnsetEventKind::OtherGun) ++run.otherGuns;
        if (e.kind == OnsetEventKind::Shot) {
            run.measured.push_back({e.muzzle, e.impact, true});
            run.meanSigma += e.sigma;
        }
        if (e.kind == OnsetEventKind::Miss) run.measured.push_back({e.muzzle, 0, false});
    }
    OnsetRun run;
};

}  // namespace

OnsetRun MeasureWithOnsets(std::span<const std::uint8_t> samples, const OnsetSetup& setup,
                           std::span<const std::uint8_t> calibration)
{
    OnsetDetector detector(setup);
    if (!calibration.empty()) detector.Rehearse(calibration);
    Collect collect;
    for (std::size_t at = 0; at < samples.size(); at += kBlockSize) {
        detector.Feed(samples.subspan(at, std::min<std::size_t>(kBlockSize, samples.size() - at)), collect);
    }
    detector.Finish(collect);
    const auto shots = std::count_if(collect.run.measured.begin(), collect.run.measured.end(), [](auto& m) { return m.shot; });
    if (shots > 0) collect.run.meanSigma /= static_cast<double>(shots);
    return collect.run;
}

}  // namespace quorvel::range
