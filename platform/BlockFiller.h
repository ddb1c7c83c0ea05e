// Fills the queued ring blocks with sound as it arrives on the device's
// thread, in the order they were queued, and reports each full block. The
// owner's thread queues blocks through a fixed single-producer,
// single-consumer queue; the device's thread never allocates, locks or waits.
// Sound that arrives with no block queued (a burst when recording starts, a
// window thread held up) waits in a spill of two blocks and goes into the
// next blocks in order; only what the spill cannot hold is dropped, counted
// as one overrun per block's worth.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <span>

#include "CaptureRing.h"
#include "RecordingDevice.h"

namespace quorvel {

class BlockFiller {
public:
    // Owner thread, while the device thread is not writing.
    void Prepare(BlockDoneListener* listener)
    {
        listener_ = listener;
        fill_ = 0;
        dropping_ = 0;
        spilled_ = 0;
        head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release);
    }
    // Owner thread.
    bool Queue(std::span<std::uint8_t> block)
    {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kSlots) return false;
        slots_[tail % kSlots] = block;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    void SetRunning(bool running) { running_.store(running, std::memory_order_release); }
    int Overruns() const { return overruns_.load(std::memory_order_relaxed); }

    // Device thread.
    void Write(const std::uint8_t* data, std::size_t length)
    {
        if (!running_.load(std::memory_order_acquire) || listener_ == nullptr) return;
        // What waited in the spill goes first, as far as blocks are queued.
        while (spilled_ > 0) {
            const std::size_t start = (spillHead_ + kSpill - spilled_) % kSpill;
            const std::size_t n = Fill(spill_.data() + start, std::min(spilled_, kSpill - start));
            if (n == 0) break;
            spilled_ -= n;
        }
        std::size_t done = spilled_ > 0 ? 0 : Fill(data, length);
        while (done < length && spilled_ < kSpill) {
            const std::size_t n = std::min({length - done, kSpill - spilled_, kSpill - spillHead_});
            std::memcpy(spill_.data() + spillHead_, data + done, n);
            spillHead_ = (spillHead_ + n) % kSpill;
            spilled_ += n;
            done += n;
        }
        if (done == length) {
            dropping_ = 0;
            return;
        }
        if (dropping_ == 0) overruns_.fetch_add(1, std::memory_order_relaxed);
        dropping_ += length - done;
        if (dropping_ >= static_cast<std::size_t>(kBlockSize)) dropping_ = 0;
    }

private:
    // Copies into the queued blocks while there are any; returns what it took.
    std::size_t Fill(const std::uint8_t* data, std::size_t length)
    {
        std::size_t done = 0;
        while (done < length) {
            const std::uint32_t head = head_.load(std::memory_order_relaxed);
            if (head == tail_.load(std::memory_order_acquire)) break;
            std::span<std::uint8_t>& block = slots_[head % kSlots];
            const std::size_t n = std::min(length - done, block.size() - fill_);
            std::memcpy(block.data() + fill_, data + done, n);
            fill_ += n;
            done += n;
            if (fill_ == block.size()) {
                fill_ = 0;
                head_.store(head + 1, std::memory_order_release);
                listener_->BlockDone();
            }
        }
        return done;
    }

    static constexpr std::size_t kSpill = 2 * static_cast<std::size_t>(kBlockSize);
    static constexpr std::uint32_t kSlots = 8;
    std::array<std::span<std::uint8_t>, kSlots> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
    std::atomic<bool> running_{false};
    std::atomic<int> overruns_{0};
    BlockDoneListener* listener_ = nullptr;
    std::size_t fill_ = 0;
    std::size_t dropping_ = 0;
    std::array<std::uint8_t, kSpill> spill_{};
    std::size_t spillHead_ = 0;  // where the next spilled byte goes
    std::size_t spilled_ = 0;
};

}  // namespace quorvel
