// One connection to the sound server through libpulse, with its own event
// thread. Callers lock it around every call into libpulse and wait for
// operations with a time limit, so a hung server can never freeze the
// window. Shared by the device list and the recording device.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <pulse/pulseaudio.h>

namespace quorvel {

class PulseConnection {
public:
    PulseConnection();
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects (again) when not connected; false when the server cannot be reached.
    bool Connect();
    bool Ready();
    pa_context* Context() { return context_; }
    pa_threaded_mainloop* Loop() { return loop_; }

    // Holds the event thread's lock for a scope.
    class Lock {
    public:
        explicit Lock(PulseConnection& c) : loop_(c.loop_) { pa_threaded_mainloop_lock(loop_); }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    // With the lock held: waits until `done` or the time limit; callbacks
    // wake the wait with Signal().
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(2));
    void Signal() { pa_threaded_mainloop_signal(loop_, 0); }
    // With the lock held: runs an operation to its end (or the time limit).
    void Finish(pa_operation* op);

    // Called on the event thread when the connection fails or ends.
    std::function<void()> onLost;

private:
    void Disconnect();

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

}  // namespace quorvel
