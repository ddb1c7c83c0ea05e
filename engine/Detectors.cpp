// The detection methods by name, the onset method behind the common
// interface, and the search over a stretch of recording every caller of
// the analysis shares.
#include <vector>

#include "Detection.h"
#include "OnsetDetector.h"
#include "ThresholdDetector.h"

namespace quorvel {

namespace {

OnsetSetup OnsetSetupOf(const DetectionSetup& setup)
{
    OnsetSetup s;
    s.sampleRate = setup.sampleRate;
    s.windowStart = setup.window.start;
    s.windowEnd = setup.window.end;
    s.muzzleVolume = setup.muzzleVolume;
    s.impactVolume = setup.impactVolume;
    s.report = ReportSignature::FromText(setup.learnt).value_or(ReportSignature{});
    return s;
}

// The onset method's events, in the words every method uses.
class OnsetMethod final : public Detector, private OnsetSink {
public:
    explicit OnsetMethod(const DetectionSetup& setup) : detector_(OnsetSetupOf(setup)) {}
    DetectionMethod Method() const override { return DetectionMethod::Onset; }
    void Configure(const DetectionSetup& setup) override
    {
        OnsetSetup s = OnsetSetupOf(setup);
        const OnsetSetup& now = detector_.Setup();
        // Volumes are set as the shooter drags a level or applies a
        // suggestion: the echoes and flight times heard so far stay.
        if (s.sampleRate == now.sampleRate && s.windowStart == now.windowStart && s.windowEnd == now.windowEnd) {
            detector_.SetVolumes(s.muzzleVolume, s.impactVolume);
            return;
        }
        if (s.report.Empty()) s.report = detector_.Learnt();
        detector_ = OnsetDetector(s);
    }
    // What was learnt of the report and the room stays for the next recording.
    void Restart() override { detector_.Restart(); }
    void Rehearse(std::span<const std::uint8_t> recording) override { detector_.Rehearse(recording); }
    void Calibrating(bool on) override { detector_.SetRehearsing(on); }
    void Scan(std::span<const std::uint8_t> samples, DetectionSink& sink) override
    {
        sink_ = &sink;
        detector_.Feed(samples, *this);
    }
    void Finish(DetectionSink& sink) override
    {
        sink_ = &sink;
        detector_.Finish(*this);
    }
    std::string Learnt() const override { return detector_.Learnt().Empty() ? std::string() : detector_.Learnt().ToText(); }

private:
    void Onset(const OnsetEvent& e) override
    {
        Detection d;
        d.muzzle = e.muzzle;
        d.impact = e.impact;
        d.samples = e.impact - e.muzzle;
        d.sigma = e.sigma;
        switch (e.kind) {
        case OnsetEventKind::Muzzle: d.kind = Detection::Kind::Muzzle; break;
        case OnsetEventKind::Shot: d.kind = Detection::Kind::Shot; break;
        case OnsetEventKind::OtherGun: d.kind = Detection::Kind::OtherGun; break;
        case OnsetEventKind::Miss:
            d.kind = Detection::Kind::Miss;
            d.miss = e.reason == OnsetMiss::TooClose     ? ShotOutcome::TooClose
                     : e.reason == OnsetMiss::RateTooLow ? ShotOutcome::RateTooLow
                                                         : ShotOutcome::NoImpact;
            break;
        }
        sink_->Detected(d);
    }

    OnsetDetector detector_;
    DetectionSink* sink_ = nullptr;
};

}  // namespace

std::unique_ptr<Detector> MakeDetector(DetectionMethod method, Clock& clock, const DetectionSetup& setup)
{
    std::unique_ptr<Detector> detector;
    if (method == DetectionMethod::Onset) {
        detector = std::make_unique<OnsetMethod>(setup);
    } else {
        detector = std::make_unique<ThresholdDetector>(clock);
    }
    detector->Configure(setup);
    return detector;
}

RecordingSearch SearchRecording(Detector& detector, std::span<const std::uint8_t> samples, std::size_t blockSize)
{
    struct First final : DetectionSink {
        void Detected(const Detection& d) override
        {
            if (done || d.kind == Detection::Kind::OtherGun) return;
            found.muzzleFound = true;
            found.muzzlePos = d.muzzle;
            if (d.kind == Detection::Kind::Muzzle) return;
            done = true;
            found.impactFound = d.kind == Detection::Kind::Shot;
            found.impactPos = found.impactFound ? d.impact : 0;
            found.samples = found.impactFound ? d.samples : 0;
            found.sigma = d.sigma;
        }
        RecordingSearch found;
        bool done = false;
    } first;
    for (std::size_t at = 0; at < samples.size() && !first.done; at += blockSize) {
        detector.Scan(samples.subspan(at, std::min(blockSize, samples.size() - at)), first);
    }
    return first.found;
}

}  // namespace quorvel
