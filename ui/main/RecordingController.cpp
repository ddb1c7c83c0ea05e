#include "RecordingController.h"

#include "PanelRules.h"

namespace quorvel {

RecordingController::RecordingController(LiveRecordingDevice& device, Clock& clock, Dialogs& dialogs, ShotRouter& router,
                                         SessionListener& view, std::function<RecordingChoice()> choose, QObject* parent)
    : QObject(parent), dialogs_(dialogs), session_(device, clock, dialogs, router, view, this), choose_(std::move(choose))
{
    setObjectName("recordingController");
    connect(&session_, &MeasuringSession::freezeWanted, this, &RecordingController::Freeze);
    connect(&session_, &MeasuringSession::deviceFailed, this, &RecordingController::DeviceFailed);
}

void RecordingController::Toggle()
{
    if (state_ == RecordingState::Recording) {
        Stop();
    } else {
        Start();
    }
}

bool RecordingController::Start()
{
    if (!MayStart(state_) || !Open()) return false;
    Apply(RecordingEvent::Start);
    return true;
}

void RecordingController::Stop()
{
    Close();
    Apply(RecordingEvent::Stop);
}

bool RecordingController::Open()
{
    const RecordingChoice choice = choose_();
    if (choice.missing) {
        emit startFailed();
        dialogs_.Critical("H/W error", "The chosen recording device " + choice.name + " is not connected." + kLineBreak +
                                           kMissingDeviceAdvice);
        return false;
    }
    emit opening();
    const int result = session_.Start(choice.deviceNum, choice.rate, choice.sampleTimeMs);
    if (result != 0) {
        emit startFailed();
        dialogs_.Critical("H/W error", std::string("Cannot open wavein device for recording!") + kLineBreak +
                                           "WaveInOpen() failed with errorcode: " + std::to_string(result) + kLineBreak +
                                           OpenFailureAdvice(result, choice.rate));
        return false;
    }
    deviceId_ = choice.deviceId;
    rate_ = choice.rate;
    emit recordingChanged(true);
    return true;
}

void RecordingController::Close()
{
    session_.Stop();
    emit recordingChanged(false);
    if (devicesChanged_) DevicesChanged();
}

void RecordingController::FollowChoice(const std::string& deviceId, std::int32_t rate)
{
    // Never measure with a sample time that is not the device's.
    if (state_ == RecordingState::Restarting || !session_.Recording()) return;
    if (deviceId == deviceId_ && rate == rate_) return;
    // A shot's autosave or freeze still waiting for the next block belongs
    // to this recording: done now, on its own sound, never on the next one's.
    if (session_.FinishPending()) return;
    const RecordingState before = state_;
    Apply(RecordingEvent::Restart);
    Close();
    const bool opened = Open();
    // The calibration's own shot goes on as the calibration's.
    state_ = before == RecordingState::Calibrating ? before : Next(state_, opened ? RecordingEvent::Start : RecordingEvent::Stop);
}

void RecordingController::DeviceFailed(const QString& reason)
{
    if (!session_.Recording()) return;
    Stop();
    dialogs_.Critical("H/W error", "Recording stopped: " + reason.toStdString() + "." + kLineBreak +
                                       "The shots measured so far are kept.");
}

void RecordingController::Freeze()
{
    Stop();
    Apply(RecordingEvent::Freeze);
    emit frozen();
}

void RecordingController::Calibrate()
{
    Stop();
    Apply(RecordingEvent::Calibrate);
    session_.SetCalibrating(true);
}

void RecordingController::Calibrated()
{
    session_.SetCalibrating(false);
    Apply(RecordingEvent::Calibrated);
}

void RecordingController::AnalysisOpened()
{
    session_.SetCalibrating(false);
    Apply(RecordingEvent::Freeze);
}

void RecordingController::MeasureFile()
{
    if (session_.Recording()) Stop();
    Apply(RecordingEvent::MeasureFile);
}

void RecordingController::DevicesChanged()
{
    if (session_.Recording()) {
        devicesChanged_ = true;
        return;
    }
    devicesChanged_ = false;
    emit devicesChanged();
}

void RecordingController::End()
{
    if (Ending()) return;
    Close();
    Apply(RecordingEvent::End);
    session_.End();
}

}  // namespace quorvel
