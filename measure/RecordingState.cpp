#include "RecordingState.h"

namespace quorvel {

namespace {

using S = RecordingState;
using E = RecordingEvent;

// What every state but Restarting, Calibrating and Ending does with the
// events that leave the shooter's hands: the calibration, a file, a freeze.
S Common(S state, E event)
{
    switch (event) {
    case E::Freeze: return S::Frozen;
    case E::Calibrate: return S::Calibrating;
    case E::MeasureFile: return S::MeasuringFile;
    default: return state;
    }
}

}  // namespace

RecordingState Next(RecordingState state, RecordingEvent event)
{
    if (event == E::End) return S::Ending;
    switch (state) {
    case S::Idle:
        return event == E::Start ? S::Recording : Common(state, event);
    case S::Recording:
        if (event == E::Stop) return S::Idle;
        if (event == E::Restart) return S::Restarting;
        return Common(state, event);
    case S::Restarting:
        // Opened again, or it would not open and the recording is over.
        if (event == E::Start) return S::Recording;
        return event == E::Stop ? S::Idle : state;
    case S::Frozen:
        if (event == E::Thaw) return S::Idle;
        return event == E::Start ? S::Recording : Common(state, event);
    case S::Calibrating:
        // Its shot is recorded (Start, Stop) and may open the analysis window.
        if (event == E::Freeze) return S::Frozen;
        return event == E::Calibrated ? S::Idle : state;
    case S::MeasuringFile:
        // One detector at a time feeds the string: nothing starts meanwhile.
        return event == E::FileMeasured ? S::Idle : state;
    case S::Ending:
        return state;
    }
    return state;
}

const char* StateName(RecordingState state)
{
    switch (state) {
    case S::Idle: return "idle";
    case S::Recording: return "recording";
    case S::Restarting: return "restarting";
    case S::Frozen: return "frozen";
    case S::Calibrating: return "calibrating";
    case S::MeasuringFile: return "measuring a file";
    case S::Ending: return "ending";
    }
    return "";
}

}  // namespace quorvel
