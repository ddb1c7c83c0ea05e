#include "MeasuringSession.h"

namespace quorvel {

MeasuringSession::MeasuringSession(LiveRecordingDevice& device, Clock& clock, Dialogs& dialogs,
                                   SessionListener& listener, QObject* parent)
    : QObject(parent), device_(device), clock_(clock), dialogs_(dialogs), listener_(listener), signal_(this),
      engine_(device, signal_), detector_(clock)
{
    setObjectName("session");
    signal_.setObjectName("signal");
    watchdog_.setParent(this);
    watchdog_.setObjectName("deviceWatchdog");
    watchdog_.setInterval(500);
    connect(&signal_, &SignalWaker::woken, this, &MeasuringSession::signal_Timer);
    connect(&watchdog_, &QTimer::timeout, this, &MeasuringSession::Watch);
    device_.onFailure = [this](const std::string& reason) {
        if (engine_.Recording()) listener_.DeviceFailed(reason);
    };
}

MeasuringSession::~MeasuringSession()
{
    device_.onFailure = nullptr;
    End();
}

int MeasuringSession::Start(int deviceNum, int frequency, double sampleTimeMs)
{
    detector_.ResetForStart();
    const int result = engine_.DoStart(deviceNum, frequency);
    if (result != 0) return result;
    deviceNum_ = deviceNum;
    frequency_ = frequency;
    blockMs_ = kBlockSize * sampleTimeMs;
    lastBlockMs_ = clock_.NowMs();
    watchdog_.start();
    return 0;
}

void MeasuringSession::Stop()
{
    watchdog_.stop();
    engine_.DoStop();
}

void MeasuringSession::End()
{
    Stop();
    engine_.SetStopProcessing(true);
}

void MeasuringSession::Watch()
{
    // A device that vanishes does not always say so: no block for three
    // blocks' time (at least 2 s) means it has stopped delivering.
    if (engine_.Recording() && clock_.NowMs() - lastBlockMs_ > std::max(2000.0, 3 * blockMs_)) {
        listener_.DeviceFailed("the recording device stopped delivering sound");
    }
}

void MeasuringSession::signal_Timer()
{
    // One block per tick; if more are waiting, come back after the event
    // loop has had its turn.
    if (engine_.HandOver(*this) && engine_.HandOverWaiting()) signal_.Wake();
}

void MeasuringSession::HandOverFinished()
{
    while (engine_.Recording() && engine_.HandOver(*this)) {
    }
}

bool MeasuringSession::OnBlock(const SampleArray& ring, int block)
{
    lastBlockMs_ = clock_.NowMs();
    listener_.BlockHanded(block);
    const BlockOutcome outcome = detector_.OnBlock(ring, block, listener_.Context());
    if (outcome.autosave) AutoSaveShot();
    if (outcome.freeze) {
        engine_.SetStopProcessing(true);
        listener_.Freeze();
        return true;
    }
    listener_.Show(outcome);
    return false;
}

bool MeasuringSession::FinishPending()
{
    const BlockOutcome o = detector_.CarryOutPending(listener_.Context().switches);
    if (o.autosave) AutoSaveShot();
    if (!o.freeze) return false;
    engine_.SetStopProcessing(true);
    listener_.Freeze();
    return true;
}

void MeasuringSession::AutoSaveShot()
{
    const AutosaveTarget target = listener_.AutosaveTo();
    if (target.waveform) engine_.UnrollRing();
    std::string waveform;
    const std::string failure =
        AutosaveShot(detector_.LastShot(), target, engine_.Waveform(), frequency_, clock_.NowDays(), &waveform);
    if (!waveform.empty()) listener_.WaveformSaved(detector_.LastShot().ShotNumber, waveform);
    if (failure.empty()) {
        autosaveFailed_ = false;
        return;
    }
    // Once, not at every shot; the shot itself is in the string either way.
    // The message waits until this block is handed over.
    if (!autosaveFailed_) {
        QTimer::singleShot(0, this, [this, failure] {
            dialogs_.Critical("Error", failure + kLineBreak + "The shot is kept in the string.");
        });
    }
    autosaveFailed_ = true;
}

}  // namespace quorvel
