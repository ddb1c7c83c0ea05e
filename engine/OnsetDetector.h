// The onset method: times the muzzle report and the impact where each sound
// starts, between samples, instead of where a fixed volume is first passed.
// The muzzle is the report of the shooter's own gun (matched against the
// report learnt from the calibration shot, or from the string's first shot);
// the impact is the first sudden rise inside the impact window that is
// neither an echo of that report nor another gun's report. Samples arrive in
// blocks of any size and give the same events; positions count from the
// first sample fed. Owned by whoever feeds it the sound (live, a file, the
// analysis window); nothing is allocated after construction.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "EchoMap.h"
#include "ImpactLead.h"
#include "ImpactSignature.h"
#include "ReportSignature.h"
#include "Whitener.h"

namespace quorvel {

struct OnsetSetup {
    int sampleRate = 0;
    // The impact window in samples after the muzzle onset, from the distance
    // and the velocity limits (as CalcTriggerWindow gives it).
    std::int64_t windowStart = 0;
    std::int64_t windowEnd = 0;
    // The suggested volumes (distances from silence, 0-127): no report
    // quieter than the muzzle volume starts a shot. The impact needs no
    // volume: it is found by its rise, and a fixed gate there loses quiet
    // impacts without keeping out anything the rise tests let through.
    int muzzleVolume = 60;
    int impactVolume = 30;
    ReportSignature report;  // empty: learnt from the string's first shot
};

enum class OnsetEventKind { Muzzle, Shot, Miss, OtherGun };
enum class OnsetMiss { None, NoImpact, TooClose, RateTooLow };

struct OnsetEvent {
    OnsetEventKind kind = OnsetEventKind::Muzzle;
    double muzzle = 0;  // stream position of the report's onset (fractional samples)
    double impact = 0;  // of the impact's onset, for a Shot; another gun's report for OtherGun
    double sigma = 0;   // one standard deviation of impact - muzzle, in samples
    OnsetMiss reason = OnsetMiss::None;
};

class OnsetSink {
public:
    virtual void Onset(const OnsetEvent& event) = 0;

protected:
    ~OnsetSink() = default;
};

class OnsetDetector {
public:
    explicit OnsetDetector(const OnsetSetup& setup);

    void Feed(std::span<const std::uint8_t> samples, OnsetSink& sink);
    // The sound has ended: a muzzle still waiting for its impact hears
    // silence to the end of its window.
    void Finish(OnsetSink& sink);
    // Forgets everything heard: the report learnt, the echoes, the flight times.
    void Reset();
    // A new recording: positions from 0, nothing armed; what was learnt stays.
    void Restart();
    // Hears the calibration recording first: learns the report (when the
    // setup has none) and where its echoes come back, then starts again at
    // position 0. In a calibration the impact is the strongest rise in the
    // window that is no echo, since nothing else is shooting.
    void Rehearse(std::span<const std::uint8_t> calibration);
    const ReportSignature& Learnt() const { return learnt_; }
    const OnsetSetup& Setup() const { return setup_; }
    // The calibration shot is coming: nothing else is shooting, so the
    // impact is the strongest rise in the window that is no echo (as in
    // Rehearse), and what is heard is learnt.
    void SetRehearsing(bool on) { rehearsing_ = on; }
    // New volumes, nothing else: what was heard and learnt stays.
    void SetVolumes(int muzzle, int impact)
    {
        setup_.muzzleVolume = muzzle;
        setup_.impactVolume = impact;
    }

private:
    enum class Phase { Idle, MuzzleCheck, Armed, ImpactCheck };
    struct Lengths {
        std::int64_t ms, halfMs, reportLook, impactLook, holdOff, shortWin, longWin;
    };

    void Advance(OnsetSink& sink);
    bool StepIdle();
    bool StepMuzzle(OnsetSink& sink);
    bool StepArmed(OnsetSink& sink);
    bool StepImpact();
    bool LoudRise(std::int64_t at) const;
    // The rise from a split at `onsetPos`, the millisecond after against the
    // 3 ms before, when it is one.
    std::optional<double> Confirmed(std::int64_t onsetPos);
    // Fits the flattening filter to the room's tail just before the band
    // where the string's impacts come.
    void FitToRoom();
    // The split of the look `x` (as Split) taken on the samples flattened.
    double FlatSplit(std::int64_t from, std::int64_t count, std::int64_t before);
    // A candidate: the 0.5 ms from `at` rises out of what came before.
    bool Rises(std::int64_t at);
    // Mean square over [from, to) of the sample-to-sample differences, or
    // (flat) of the samples with the report's colour (or the room's, once
    // fitted to it) flattened out.
    double Level(bool flat, std::int64_t from, std::int64_t to);
    // A room still ringing with the report this loud over the background:
    // its tail and echoes are the report's colour, so rises there are
    // measured with that colour flattened out.
    bool Ringing(double before) const;
    void OtherGun(double onset, double peak, OnsetSink& sink);
    void CountRival(const ReportSignature& heard, std::int64_t at);
    void Arm(std::span<const float> x, std::int64_t from, double at, double onset, const ReportSignature& heard, OnsetSink& sink);
    bool IsEcho(std::span<const float> x, std::int64_t from, double onset) const;
    // The window just ended without an impact of the shooter's.
    void Release();
    // True when a rise in a window followed in doubt passes the muzzle
    // volume: it is then checked as a report first.
    bool LoudAfter(std::int64_t onsetPos);
    bool TakeOver(std::span<const float> x, std::int64_t from, double at, double onset, const ReportSignature& heard, OnsetSink& sink);
    // Back to weighing the rise as a possible impact.
    bool Resume();
    // A rise in the impact window that passed every test.
    struct Rise {
        double impact = 0, sigma = 0;
        double strength = 0;  // the millisecond after against the three before
        double peak = 0;
    };
    // Where the rise that set the candidate off starts, in x (which begins
    // at `from`, `before` samples ahead of the gate).
    double Split(std::span<const float> x, std::int64_t from, std::int64_t before) const;
    void Weigh(const Rise& rise, std::int64_t onsetPos);
    void Accept(double impact, double sigma, OnsetSink& sink);
    // The window is over: the rise taken, the impact's signature found near
    // the usual flight time, or a miss. False while the signature still
    // waits for the end of the band to arrive.
    bool Conclude(OnsetSink& sink);
    // The band around the usual flight time, inside the impact window, in
    // stream positions, moved to where the signature's onsets fall (leadBy_
    // after the impacts').
    void MatchBand(std::int64_t& first, std::int64_t& last) const;
    // The signature's onset in that band, when it is there.
    std::optional<double> Matched(std::int64_t first, std::int64_t last, double& sigma);
    // The rise taken so far is a clear one before the band starting at
    // `first`, and rings like the string's impacts.
    bool ClearlyEarlier(std::int64_t first);
    // Learns the impact waiting to be learnt once its signature has arrived.
    void LearnSignature();
    // Lines up what came before a signature's onset at `anchor`, and once
    // the impact shows it starts earlier, moves the string's flights there.
    void HearLead(double anchor);
    double SameGunLimit() const;
    double UsualFlight() const;
    bool NearUsualFlight(double flight) const;
    bool CloseToUsualFlight(double flight) const;  // only once the string has settled
    bool InUsualBand(std::int64_t pos) const;
    void RememberFlight(double impact);
    // Whether a miss's flight repeats an earlier miss's (and remembers it).
    bool RepeatsMissed(double flight);
    // Copies stream samples [from, from + count) from the ring, centred, into scratch_.
    std::span<const float> Take(std::int64_t from, std::int64_t count) { return Copy(from, count, scratch_); }
    std::span<const float> Copy(std::int64_t from, std::int64_t count, std::vector<float>& into) const;
    std::uint8_t Sample(std::int64_t pos) const { return ring_[static_cast<std::size_t>(pos) & mask_]; }
    // The muzzle volume as the loud-sample scan takes it.
    std::int16_t MuzzleGate() const { return static_cast<std::int16_t>(std::clamp(setup_.muzzleVolume, 0, 128)); }
    // Sum of squared sample-to-sample differences over [from, to).
    double Energy(std::int64_t from, std::int64_t to) const { return Between(cumulative_, from, to); }
    // What a running sum gathered over [from, to).
    double Between(const std::vector<std::int64_t>& running, std::int64_t from, std::int64_t to) const;
    // Mean square of the samples over [from, to), about the card's centre.
    double Loudness(std::int64_t from, std::int64_t to) const;

    OnsetSetup setup_;
    Lengths len_{};
    std::vector<std::uint8_t> ring_;
    Whitener white_;                        // the report being followed (or the room's tail) flattened, over the ring
    std::vector<std::int64_t> cumulative_;  // running sum of squared sample-to-sample differences, per ring slot
    std::vector<std::int64_t> loudness_;    // running sum of squared samples, twice their distance from the centre
    std::vector<float> scratch_;
    std::vector<float> flat_;               // the room's tail to fit, or a look to flatten
    std::int64_t refitAt_ = -1;             // where the filter is fitted to the room, in this window
    std::vector<float> report_;             // the muzzle report being followed, centred
    std::size_t reportLength_ = 0;          // how much of report_ it fills
    std::size_t mask_ = 0;
    int previous_ = 128;                    // the last sample fed
    std::int64_t end_ = 0;                  // samples fed so far
    std::int64_t scan_ = 0;                 // next sample to look at
    std::int64_t idleFrom_ = 0;             // the muzzle scan's earliest sample
    Phase phase_ = Phase::Idle;
    std::int64_t gate_ = 0;                 // the sample that set off the check in progress
    double muzzle_ = 0;
    double muzzleSigma_ = 0;
    double impactAt_ = 0;
    std::int64_t holdOffUntil_ = 0;
    std::int64_t releasedUntil_ = 0;        // where a hold-off cut short by a window that ended in vain would have ended
    std::int64_t lastOtherGun_ = -1;
    double lastOtherGunPeak_ = 0;
    double background_ = 0;                 // mean squared difference before the muzzle
    ReportSignature learnt_;
    ReportSignature candidate_;             // the first shot's report, while learning
    bool rateTooLow_ = false;
    bool unheld_ = false;                   // a rate or window beyond what is held: every window a miss
    bool doubtful_ = false;                 // the muzzle being followed is a little unlike the learnt report
    bool hasty_ = false;                    // it came soon after a window that ended in vain
    bool takingOver_ = false;               // a loud rise in a window followed in doubt is being checked as a report
    std::int64_t riseGate_ = 0;             // that rise's gate, to weigh it after all
    std::int64_t triedUntil_ = 0;           // loud samples before this were checked already
    double mismatch_ = 0;                   // how unlike
    EchoMap echoes_;
    ImpactSignature signature_;
    ImpactLead lead_;
    double leadBy_ = 0;                     // samples the impact starts before its signature's onset
    std::vector<float> band_;               // the band around the usual flight time, for the signature
    double toLearn_ = -1, toLearnSigma_ = 0; // a signature onset learnt once its end has arrived
    bool rehearsing_ = false;
    double bestRise_ = 0;                   // while rehearsing: the strongest rise so far
    double bestImpact_ = 0, bestSigma_ = 0;
    double pendingImpact_ = 0, pendingSigma_ = 0, pendingStrength_ = 0, pendingPeak_ = 0;  // the rise taken so far
    std::int64_t pendingUntil_ = 0;          // unless a much stronger one comes before this
    std::array<double, 5> flights_{};       // the last shots' muzzle-to-impact samples
    int flightsHeard_ = 0;
    std::array<double, 4> missed_{};        // the flights of the last misses far from the usual time
    int missedHeard_ = 0;
    std::array<double, 8> mismatches_{};    // how unlike the learnt report the last muzzles were
    int muzzlesHeard_ = 0;
    struct Rival {
        ReportSignature report;
        int count = 0;
        std::int64_t last = 0;  // where it was last counted
    };
    std::array<Rival, 4> rivals_{};         // other guns heard since the learnt one was last taken
};

}  // namespace quorvel
