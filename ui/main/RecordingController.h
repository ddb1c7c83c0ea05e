// The live recording's controller: it owns the measuring session and the
// recording state, opens and closes the device, starts the recording again
// when another device or rate is chosen, and stops it when the device
// fails. It holds no control; the window follows its signals. Every
// decision goes by the state table (RecordingState.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QObject>

#include "MeasuringSession.h"
#include "RecordingState.h"

namespace quorvel {

// The device and rate the shooter chose, as the controller opens them.
struct RecordingChoice {
    int deviceNum = 0;
    std::int32_t rate = 0;
    double sampleTimeMs = 0;
    std::string deviceId;
    bool missing = false;  // chosen, but not connected now
    std::string name;      // the chosen device's name, for the message
};

class RecordingController final : public QObject {
    Q_OBJECT
public:
    // `choose` takes any field still being typed in, then names the choice;
    // `view` shows what the session measures.
    RecordingController(LiveRecordingDevice& device, Clock& clock, Dialogs& dialogs, ShotRouter& router,
                        SessionListener& view, std::function<RecordingChoice()> choose, QObject* parent);

    RecordingState State() const { return state_; }
    bool Ending() const { return state_ == RecordingState::Ending; }
    MeasuringSession& Session() { return session_; }

    // The Start button: starts when the state allows, else stops.
    void Toggle();
    bool Start();
    void Stop();
    // Another device or rate was chosen: a recording under way is started
    // again on it (the string goes on), or stopped with the message of a
    // failed start.
    void FollowChoice(const std::string& deviceId, std::int32_t rate);
    // The ring's sound goes to the analysis window, and back.
    void Freeze();
    void Thaw() { Apply(RecordingEvent::Thaw); }
    // The calibration's shot went to the analysis window by itself.
    void AnalysisOpened();
    void Calibrate();
    void Calibrated();
    // A recording file is measured meanwhile: the live recording stops.
    void MeasureFile();
    void FileMeasured() { Apply(RecordingEvent::FileMeasured); }
    // Microphones came or went; the list follows once no recording holds it.
    void DevicesChanged();
    void End();

signals:
    // About to open the device: the results window is up before the first shot.
    void opening();
    // The device opened or closed.
    void recordingChanged(bool recording);
    // A start was refused or the device would not open.
    void startFailed();
    void devicesChanged();
    // The recording froze: the window opens the analysis window on the ring.
    void frozen();

private:
    bool Open();
    void Close();
    void Apply(RecordingEvent event) { state_ = Next(state_, event); }
    void DeviceFailed(const QString& reason);

    Dialogs& dialogs_;
    MeasuringSession session_;
    std::function<RecordingChoice()> choose_;
    RecordingState state_ = RecordingState::Idle;
    std::string deviceId_;  // what the recording records from, at what rate
    std::int32_t rate_ = 0;
    bool devicesChanged_ = false;  // while recording; the list follows at stop
};

}  // namespace quorvel
