#include "CaptureEngine.h"

namespace quorvel {

CaptureEngine::CaptureEngine(RecordingDevice& device, HandOverWaker& waker) : device_(device), waker_(waker)
{
    ring_.fill(kSilence);
}

int CaptureEngine::DoStart(int deviceNum, int frequency)
{
    stopProcessing_ = false;
    waveform_.fill(0);
    ring_.fill(kSilence);
    if (open_) {
        device_.Close();
        open_ = false;
    }
    // Reports still waiting from an earlier recording belong to no block of this one.
    handled_ = completed_.load(std::memory_order_acquire);
    const int result = device_.Open(deviceNum, frequency, *this);
    if (result != 0) return result;
    open_ = true;
    QueueBlock(1);
    QueueBlock(2);
    currentBlock_ = 1;
    device_.Start();
    return 0;
}

void CaptureEngine::DoStop()
{
    device_.Reset();
    if (open_) device_.Close();
    open_ = false;
}

void CaptureEngine::BlockDone() noexcept
{
    completed_.fetch_add(1, std::memory_order_release);
    waker_.Wake();
}

bool CaptureEngine::HandOverWaiting() const { return completed_.load(std::memory_order_acquire) != handled_; }

bool CaptureEngine::HandOver(BlockConsumer& consumer)
{
    // A consumer that lets the event loop run (a message box) must not see
    // the next block before this one is queued again.
    if (handingOver_ || !HandOverWaiting()) return false;
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(handingOver_);
    ++handled_;
    if (!open_ || stopProcessing_) return true;

    const int n = currentBlock_;
    lastHandedBlock_ = n;
    dataArrived_ = true;
    if (consumer.OnBlock(ring_, n)) return true;
    if (open_) QueueBlock(Wrapped(n + 2));
    currentBlock_ = n + 1 > kBlockCount ? 1 : n + 1;
    return true;
}

void CaptureEngine::QueueBlock(int block) { device_.Queue(BlockOf(ring_, block)); }

void CaptureEngine::UnrollRing() { quorvel::UnrollRing(ring_, currentBlock_, dataArrived_, waveform_); }

}  // namespace quorvel
