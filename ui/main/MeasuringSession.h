// The measuring session: records through the capture engine, hands each
// finished block to the detection method on the UI thread, sends what it
// measured along the shot route, carries out what a shot set off for the
// next block (the autosave, a freeze) and tells the window what to show.
// It also notices a device that stops delivering sound. It owns no control.
#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QTimer>

#include "CaptureEngine.h"
#include "Clock.h"
#include "Detection.h"
#include "Dialogs.h"
#include "LiveRecordingDevice.h"
#include "ShotAutosave.h"
#include "ShotRouter.h"
#include "ShotView.h"
#include "SignalWaker.h"

namespace quorvel {

// What the detector and the view read besides the sound, refreshed by the owner.
struct MeasureContext {
    const Settings& settings;
    double sampleTimeMs;
    std::string_view speedUnit;
    Switches switches;
};

// What the session needs from the window, block by block.
class SessionListener {
public:
    virtual MeasureContext Context() const = 0;
    virtual AutosaveTarget AutosaveTo() const = 0;
    virtual void BlockHanded(int block) = 0;
    virtual void Show(const ShotView& view) = 0;

protected:
    ~SessionListener() = default;
};

class MeasuringSession final : public QObject, private BlockConsumer, private DetectionSink {
    Q_OBJECT
public:
    MeasuringSession(LiveRecordingDevice& device, Clock& clock, Dialogs& dialogs, ShotRouter& router,
                     SessionListener& listener, QObject* parent);
    ~MeasuringSession() override;

    // Opens device `deviceNum` at `frequency`; 0, or the device's error code.
    int Start(int deviceNum, int frequency, double sampleTimeMs);
    void Stop();
    bool Recording() const { return engine_.Recording(); }
    // Hands over every block already finished, so none recorded before a
    // change of device or rate is lost or measured with the new rate.
    void HandOverFinished();
    // The "signal" wake-up: one block per turn of the event loop.
    void signal_Timer();
    void AutoSaveShot();
    // Carries out an autosave or freeze a shot left for the next block;
    // true when that froze the recording.
    bool FinishPending();
    // The program ends: nothing more is processed.
    void End();
    // The method and its parameters (a rate, a setting or the method changed).
    void Configure(DetectionMethod method, const DetectionSetup& setup);
    // The calibration shot is being recorded (see Detector::Calibrating).
    void SetCalibrating(bool on);

    CaptureEngine& Engine() { return engine_; }
    const CaptureEngine& Engine() const { return engine_; }
    Detector& Method() { return *detector_; }
    PendingAction Pending() const { return pending_; }

signals:
    // The block froze the recording: stop and open the analysis window.
    void freezeWanted();
    // The device failed or went quiet while recording; the session has not stopped.
    void deviceFailed(const QString& reason);

private:
    bool OnBlock(const SampleArray& ring, int block) override;
    void Detected(const Detection& detection) override;
    void Watch();

    LiveRecordingDevice& device_;
    Clock& clock_;
    Dialogs& dialogs_;
    ShotRouter& router_;
    SessionListener& listener_;
    SignalWaker signal_;
    CaptureEngine engine_;
    std::unique_ptr<Detector> detector_;
    DetectionSetup setup_;
    QTimer watchdog_;
    double lastBlockMs_ = 0;
    double blockMs_ = 0;
    int frequency_ = 0;
    PendingAction pending_ = PendingAction::None;
    bool pendingFollowsShot_ = false;
    bool calibrating_ = false;
    bool autosaveFailed_ = false;  // the message is shown once, until a save works again
};

}  // namespace quorvel
