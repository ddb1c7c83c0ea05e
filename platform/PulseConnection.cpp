#include "PulseConnection.h"

#include <pulse/timeval.h>

namespace quorvel {

PulseConnection::PulseConnection() : loop_(pa_threaded_mainloop_new())
{
    pa_threaded_mainloop_set_name(loop_, "quorvel-sound");
    pa_threaded_mainloop_start(loop_);
}

PulseConnection::~PulseConnection()
{
    {
        Lock lock(*this);
        Disconnect();
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

void PulseConnection::Disconnect()
{
    if (context_ == nullptr) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

bool PulseConnection::Ready() { return context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY; }

bool PulseConnection::Connect()
{
    Lock lock(*this);
    if (Ready()) return true;
    Disconnect();
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Quorvel");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "quorvel");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Quorvel", props);
    pa_proplist_free(props);
    if (context_ == nullptr) return false;
    pa_context_set_state_callback(
        context_,
        [](pa_context* c, void* user) {
            auto* self = static_cast<PulseConnection*>(user);
            const pa_context_state_t state = pa_context_get_state(c);
            if ((state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) && self->onLost) self->onLost();
            self->Signal();
        },
        this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        Disconnect();
        return false;
    }
    WaitFor([this] {
        const pa_context_state_t s = pa_context_get_state(context_);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    if (!Ready()) {
        Disconnect();
        return false;
    }
    return true;
}

bool PulseConnection::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        // The wait has no time limit of its own: a timer event wakes it.
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(std::min<long long>(left.count(), 50000)));
        pa_time_event* tick = api->time_new(
            api, &when, [](pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
                pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(user), 0);
            },
            loop_);
        pa_threaded_mainloop_wait(loop_);
        api->time_free(tick);
    }
    return true;
}

void PulseConnection::Finish(pa_operation* op)
{
    if (op == nullptr) return;
    WaitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
    pa_operation_unref(op);
}

}  // namespace quorvel
