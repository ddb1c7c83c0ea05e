// The measuring session: records through the capture engine, hands each
// finished block to the live detector on the UI thread, carries out what the
// block set off (the autosave, a freeze) and tells the window what to show.
// It also notices a device that stops delivering sound. It owns no control:
// the window reads the outcome and shows it.
#pragma once

#include <string>

#include <QObject>
#include <QTimer>

#include "CaptureEngine.h"
#include "Clock.h"
#include "Dialogs.h"
#include "LiveRecordingDevice.h"
#include "ShotAutosave.h"
#include "ShotDetector.h"
#include "SignalWaker.h"

namespace quorvel {

// What the session needs from the window, block by block.
class SessionListener {
public:
    virtual MeasureContext Context() const = 0;
    virtual AutosaveTarget AutosaveTo() const = 0;
    virtual void BlockHanded(int block) = 0;
    virtual void Show(const BlockOutcome& outcome) = 0;
    // The block froze the recording: stop and open the analysis window.
    virtual void Freeze() = 0;
    // The device failed or went quiet while recording; the session has not stopped.
    virtual void DeviceFailed(const std::string& reason) = 0;
    // The autosave wrote this shot's waveform.
    virtual void WaveformSaved(int /*shotNumber*/, const std::string& /*path*/) {}

protected:
    ~SessionListener() = default;
};

class MeasuringSession final : public QObject, private BlockConsumer {
    Q_OBJECT
public:
    MeasuringSession(LiveRecordingDevice& device, Clock& clock, Dialogs& dialogs, SessionListener& listener,
                     QObject* parent);
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

    CaptureEngine& Engine() { return engine_; }
    const CaptureEngine& Engine() const { return engine_; }
    ShotDetector& Detector() { return detector_; }
    const ShotDetector& Detector() const { return detector_; }
    int Frequency() const { return frequency_; }
    int DeviceNum() const { return deviceNum_; }

private:
    bool OnBlock(const SampleArray& ring, int block) override;
    void Watch();

    LiveRecordingDevice& device_;
    Clock& clock_;
    Dialogs& dialogs_;
    SessionListener& listener_;
    SignalWaker signal_;
    CaptureEngine engine_;
    ShotDetector detector_;
    QTimer watchdog_;
    double lastBlockMs_ = 0;
    double blockMs_ = 0;
    int frequency_ = 0;
    int deviceNum_ = -1;
    bool autosaveFailed_ = false;  // the message is shown once, until a save works again
};

}  // namespace quorvel
