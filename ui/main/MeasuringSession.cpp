#include "MeasuringSession.h"

namespace quorvel {

MeasuringSession::MeasuringSession(LiveRecordingDevice& device, Clock& clock, Dialogs& dialogs, ShotRouter& router,
                                   SessionListener& listener, QObject* parent)
    : QObject(parent), device_(device), clock_(clock), dialogs_(dialogs), router_(router), listener_(listener),
      signal_(this), engine_(device, signal_), detector_(MakeDetector(DetectionMethod::Threshold, clock, {}))
{
    setObjectName("session");
    signal_.setObjectName("signal");
    watchdog_.setParent(this);
    watchdog_.setObjectName("deviceWatchdog");
    watchdog_.setInterval(500);
    connect(&signal_, &SignalWaker::woken, this, &MeasuringSession::signal_Timer);
    connect(&watchdog_, &QTimer::timeout, this, &MeasuringSession::Watch);
    device_.onFailure = [this](const std::string& reason) {
        if (engine_.Recording()) emit deviceFailed(QString::fromStdString(reason));
    };
}

MeasuringSession::~MeasuringSession()
{
    device_.onFailure = nullptr;
    End();
}

void MeasuringSession::Configure(DetectionMethod method, const DetectionSetup& setup)
{
    setup_ = setup;
    if (detector_->Method() == method) {
        detector_->Configure(setup);
    } else {
        detector_ = MakeDetector(method, clock_, setup);
        detector_->Calibrating(calibrating_);
    }
}

void MeasuringSession::SetCalibrating(bool on)
{
    calibrating_ = on;
    detector_->Calibrating(on);
}

int MeasuringSession::Start(int deviceNum, int frequency, double sampleTimeMs)
{
    detector_->Restart();
    const int result = engine_.DoStart(deviceNum, frequency);
    if (result != 0) return result;
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
        emit deviceFailed("the recording device stopped delivering sound");
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
    // A block arriving while an action waits is that action's: the
    // threshold method does not scan it, as it never did. A method that
    // follows the sound through hears it all the same: a gap would be a
    // splice in the sound, and a shot fired in it would be lost.
    if (pending_ != PendingAction::None) {
        if (FinishPending()) return true;
        if (detector_->Method() == DetectionMethod::Threshold) return false;
    }
    // The volumes are read as each block is scanned, as they always were: a
    // volume changed in the analysis window counts from the next block.
    const Settings& s = listener_.Context().settings;
    if (s.MuzzleVolume != setup_.muzzleVolume || s.ImpactVolume != setup_.impactVolume) {
        setup_.muzzleVolume = s.MuzzleVolume;
        setup_.impactVolume = s.ImpactVolume;
        detector_->Configure(setup_);
    }
    detector_->Scan(BlockOf(ring, block), *this);
    return false;
}

void MeasuringSession::Detected(const Detection& d)
{
    if (d.kind == Detection::Kind::OtherGun) return;
    const MeasureContext c = listener_.Context();
    if (d.kind == Detection::Kind::Muzzle) {
        listener_.Show(ViewOf(d, nullptr, c.switches, c.settings, c.sampleTimeMs, c.speedUnit));
        return;
    }
    MeasuredShot shot = MeasureDetection(d, detector_->Method(), c.settings, c.sampleTimeMs, clock_.NowDays());
    router_.Route(shot);
    const ShotView view = ViewOf(d, &shot, c.switches, c.settings, c.sampleTimeMs, c.speedUnit);
    if (!view.notice.Empty()) router_.Notice(view.notice.Str());
    pending_ = view.pending;
    pendingFollowsShot_ = view.pendingFollowsShot;
    listener_.Show(view);
}

bool MeasuringSession::FinishPending()
{
    const PendingAction action = std::exchange(pending_, PendingAction::None);
    const bool autosaveTicked = listener_.Context().switches[Switch::AutoSave];
    // A freeze after "no impact" saves nothing: the last shot is already saved.
    if (autosaveTicked && (action == PendingAction::Autosave || (action == PendingAction::Freeze && pendingFollowsShot_))) {
        AutoSaveShot();
    }
    if (action != PendingAction::Freeze) return false;
    engine_.SetStopProcessing(true);
    emit freezeWanted();
    return true;
}

void MeasuringSession::AutoSaveShot()
{
    const AutosaveTarget target = listener_.AutosaveTo();
    if (target.waveform) engine_.UnrollRing();
    const std::string failure = router_.Autosave(target, engine_.Waveform(), frequency_, clock_.NowDays());
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
