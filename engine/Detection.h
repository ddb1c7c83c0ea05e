// What a detection method finds in the sound, and the one interface every
// method has: blocks (or a whole recording) go in, plain events come out,
// positions in samples from the first sample since the last Restart. Live
// measuring, the analysis window, Measure Recording and the analyser all
// drive a method through this; how an event is shown is theirs to decide.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Clock.h"
#include "DetectionMethod.h"
#include "TriggerWindow.h"

namespace quorvel {

// What happened to a shot: one word for it wherever it goes (the string,
// the library, the analyser).
enum class ShotOutcome : std::uint8_t { Shot, NoImpact, TooClose, RateTooLow };

struct Detection {
    enum class Kind : std::uint8_t { Muzzle, Shot, Miss, OtherGun };
    Kind kind = Kind::Muzzle;
    ShotOutcome miss = ShotOutcome::NoImpact;  // why, for a Miss
    double muzzle = 0;  // the muzzle's sample (a fraction where the method times between samples)
    double impact = 0;  // a Shot's impact; another gun's report for OtherGun
    double samples = 0; // a Shot's samples from muzzle to impact
    double sigma = 0;   // their uncertainty, one standard deviation; 0 where the method gives none
};

class DetectionSink {
public:
    virtual void Detected(const Detection& detection) = 0;

protected:
    ~DetectionSink() = default;
};

struct DetectionSetup {
    int sampleRate = 0;
    TriggerWindow window;
    std::int16_t muzzleVolume = 0;
    std::int16_t impactVolume = 0;
    // What the method learnt about the shooter's gun (the onset method's
    // report, as text); empty: it learns from the string's first shots.
    std::string learnt;
};

class Detector {
public:
    virtual ~Detector() = default;
    virtual DetectionMethod Method() const = 0;
    // Volumes, window or rate changed; a muzzle already armed stays armed.
    virtual void Configure(const DetectionSetup& setup) = 0;
    // A new recording: positions count from its first sample, nothing armed.
    virtual void Restart() = 0;
    // The next stretch of sound, right after the last one. Nothing is
    // allocated here: it runs for every block while recording.
    virtual void Scan(std::span<const std::uint8_t> samples, DetectionSink& sink) = 0;
    // The sound has ended: a muzzle still waiting runs out its window in
    // silence, as a recording that went on would, and is reported.
    virtual void Finish(DetectionSink& sink) = 0;
    // The calibration shot's recording, heard before the string: a method
    // that learns (the shooter's report, the room's echoes) learns it here.
    virtual void Rehearse(std::span<const std::uint8_t> /*recording*/) {}
    // The calibration shot is being recorded live: nothing else is shooting,
    // and a method that learns learns from it as it is measured.
    virtual void Calibrating(bool /*on*/) {}
    // What the method has learnt meanwhile, as text for the settings.
    virtual std::string Learnt() const { return {}; }
};

// The clock gives the threshold method its 900 ms hold-off on processing time.
std::unique_ptr<Detector> MakeDetector(DetectionMethod method, Clock& clock, const DetectionSetup& setup);

// What a search over one stretch of recording finds, as the analysis
// window shows it: the first muzzle, and its impact (or none), stopping at
// the first shot or the first muzzle that times out.
struct RecordingSearch {
    bool muzzleFound = false;
    double muzzlePos = 0;
    bool impactFound = false;
    double impactPos = 0;
    double samples = 0;
    double sigma = 0;
};
RecordingSearch SearchRecording(Detector& detector, std::span<const std::uint8_t> samples, std::size_t blockSize);

}  // namespace quorvel
