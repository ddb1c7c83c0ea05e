// What a detection shows in the main window and sets off for the next
// block, as the window has always shown it: the measuring labels, the
// trigger lines (at ring indexes), the red volume boxes and the timer that
// takes them away, the freeze switch that turns red and the analysis
// window's caption. Free of any toolkit; MainWindow only carries it out.
#pragma once

#include <cstdint>
#include <string_view>

#include "CaptureRing.h"
#include "Detection.h"
#include "MeasuredShot.h"
#include "NumberText.h"
#include "Settings.h"

namespace quorvel {

// The captions of the measuring-data labels lblVel(0) to lblVel(5) for a shot.
struct MeasuringLabels {
    LabelText averageVelocity;  // lblVel(0)
    LabelText elapsedSamples;   // lblVel(1)
    LabelText resolution;       // lblVel(2)
    LabelText accuracy;         // lblVel(3)
    LabelText shotNumber;       // lblVel(5)
};
// The threshold method shows the described texts; a method that times
// between samples shows its samples to two decimals and its accuracy as one
// standard deviation of the velocity ("± 0.31 m/s").
MeasuringLabels MakeMeasuringLabels(const MeasuredShot& shot, double distance, double sampleTimeMs, std::string_view speedUnit);

// What the block after a shot is for: 0 nothing (it is scanned), 1 a
// freeze for analysis, 2 the autosave.
enum class PendingAction : std::int16_t { None = 0, Freeze = 1, Autosave = 2 };

struct ShotView {
    std::int32_t muzzleLine = -1;  // show trigline(0) at this ring index; -1 leaves it
    std::int32_t impactLine = -1;  // show trigline(1)
    bool muzzleBoxRed = false;     // txtInfo(7)
    bool impactBoxRed = false;     // txtInfo(3)
    bool startTrigLineTimer = false;
    bool showLabels = false;
    MeasuringLabels labels;
    LabelText notice;         // a shot at the maximum velocity: "Max. Velocity" besides the shot
    int freezeSwitch = -1;    // chkFreeze index whose text turns red
    LabelText freezeCaption;  // the analysis window's
    PendingAction pending = PendingAction::None;
    bool pendingFollowsShot = false;  // a freeze after a shot also autosaves it
};

// The view of a Muzzle detection (`shot` null) or of a measured shot or
// miss, with the switches and the settings in force.
ShotView ViewOf(const Detection& detection, const MeasuredShot* shot, const Switches& switches, const Settings& settings,
                double sampleTimeMs, std::string_view speedUnit);

// The caption of debug2 for a trigger window.
std::string WindowCaption(const TriggerWindow& window);

}  // namespace quorvel
