// The block hand-over's wake-up. The device thread only writes to an
// eventfd (no lock, no allocation); the owner's event loop sees it readable
// and runs the hand-over, the way the old program's 1 ms "signal" timer did.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "RecordingDevice.h"

namespace quorvel {

class SignalWaker final : public QObject, public HandOverWaker {
    Q_OBJECT
public:
    explicit SignalWaker(QObject* parent = nullptr);
    ~SignalWaker() override;
    void Wake() noexcept override;

signals:
    void woken();

private:
    int fd_ = -1;
    QSocketNotifier notifier_;
};

}  // namespace quorvel
