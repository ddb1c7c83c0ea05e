#include "FakeRecordingDevice.h"

#include <algorithm>

#include "CaptureRing.h"

namespace quorvel {

int FakeRecordingDevice::Open(int deviceNum, int sampleRate, BlockDoneListener& listener)
{
    ++openCount;
    if (openResult != 0) return openResult;
    openedDevice = deviceNum;
    openedRate = sampleRate;
    listener_ = &listener;
    head_ = 0;
    count_ = 0;
    return 0;
}

void FakeRecordingDevice::Queue(std::span<std::uint8_t> block)
{
    if (listener_ == nullptr || count_ == kMaxQueued) return;
    queue_[static_cast<std::size_t>((head_ + count_) % kMaxQueued)] = block;
    ++count_;
}

void FakeRecordingDevice::Reset()
{
    started_ = false;
    while (count_ > 0 && listener_ != nullptr) {
        head_ = (head_ + 1) % kMaxQueued;
        --count_;
        listener_->BlockDone();
    }
}

void FakeRecordingDevice::Close()
{
    ++closeCount;
    listener_ = nullptr;
    count_ = 0;
    started_ = false;
}

bool FakeRecordingDevice::Deliver(std::span<const std::uint8_t> samples)
{
    if (listener_ == nullptr || !started_ || count_ == 0) {
        ++overruns;
        return false;
    }
    std::span<std::uint8_t> block = queue_[static_cast<std::size_t>(head_)];
    const std::size_t n = std::min(samples.size(), block.size());
    std::copy_n(samples.begin(), n, block.begin());
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(n), block.end(), kSilence);
    head_ = (head_ + 1) % kMaxQueued;
    --count_;
    listener_->BlockDone();
    return true;
}

}  // namespace quorvel
