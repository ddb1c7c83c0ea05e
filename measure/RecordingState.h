// What the live recording is doing, and what may come next. The recording
// controller asks this table before it acts, so no decision hangs on a
// button's caption, and the table is tested without a window.
#pragma once

namespace quorvel {

enum class RecordingState {
    Idle,           // no sound is taken
    Recording,      // blocks flow and shots are measured
    Restarting,     // the device is opened again on another device or rate
    Frozen,         // the ring's sound is in the analysis window
    Calibrating,    // the calibration window has the device for its timed shot
    MeasuringFile,  // a recording file is measured into the string
    Ending,         // the program is on its way out; nothing starts again
};

enum class RecordingEvent {
    Start,         // the device opened
    Stop,          // the device closed: the shooter, a failure, or before something else
    Restart,       // another device or rate while recording
    Freeze,        // the ring's sound goes to the analysis window
    Thaw,          // the analysis window was put away
    Calibrate,     // the calibration window took over
    Calibrated,    // and gave the main window back
    MeasureFile,   // Measure Recording began
    FileMeasured,  // and finished or was cancelled
    End,
};

// The state after `event`; the same state when the event means nothing there.
RecordingState Next(RecordingState state, RecordingEvent event);
// Whether the device may be opened: the Start button, or the calibration's shot.
inline bool MayStart(RecordingState state)
{
    return Next(state, RecordingEvent::Start) != state || state == RecordingState::Calibrating;
}
const char* StateName(RecordingState state);

}  // namespace quorvel
