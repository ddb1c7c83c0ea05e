// Source volumes through libpulse, synchronously: each call runs the
// client's own main loop until its operation is done (a fraction of a
// millisecond on a local server), with a time limit so a hung server cannot
// freeze the window.
#include <chrono>

#include <pulse/pulseaudio.h>

#include "Mixer.h"

namespace quorvel {

namespace {

class PulseMixer final : public Mixer {
public:
    ~PulseMixer() override { Close(); }

    bool HasControl(const std::string& id) override { return Info(id).has_value(); }

    bool SetLevel(const std::string& id, std::uint32_t level) override
    {
        const auto info = Info(id);
        if (!info) return false;
        pa_cvolume volume;
        const auto v = static_cast<pa_volume_t>((static_cast<std::uint64_t>(std::min(level, kMixerMaximum)) * PA_VOLUME_NORM +
                                                 kMixerMaximum / 2) / kMixerMaximum);
        pa_cvolume_set(&volume, info->channels, v);
        bool ok = false;
        struct Result {
            bool* ok;
            bool done = false;
        } result{&ok};
        pa_operation* op = pa_context_set_source_volume_by_name(
            context_, id.c_str(), &volume,
            [](pa_context*, int success, void* user) {
                auto* r = static_cast<Result*>(user);
                *r->ok = success != 0;
                r->done = true;
            },
            &result);
        Run(op, [&] { return result.done; });
        return ok;
    }

    std::optional<std::uint32_t> Level(const std::string& id) override
    {
        const auto info = Info(id);
        if (!info) return std::nullopt;
        const std::uint64_t raw = (static_cast<std::uint64_t>(info->average) * kMixerMaximum + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM;
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(raw, kMixerMaximum));
    }

    void Close() override
    {
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
        if (loop_ != nullptr) {
            pa_mainloop_free(loop_);
            loop_ = nullptr;
        }
    }

private:
    struct SourceInfo {
        std::uint8_t channels = 1;
        pa_volume_t average = 0;
    };

    bool Connect()
    {
        if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
        Close();
        loop_ = pa_mainloop_new();
        context_ = pa_context_new(pa_mainloop_get_api(loop_), "quorvel");
        if (context_ == nullptr || pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
            Close();
            return false;
        }
        const auto ready = [this] {
            const pa_context_state_t s = pa_context_get_state(context_);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        };
        Iterate(ready);
        if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
            Close();
            return false;
        }
        return true;
    }

    template <typename Done>
    void Iterate(Done done)
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < limit) pa_mainloop_iterate(loop_, 0, nullptr);
    }

    template <typename Done>
    void Run(pa_operation* op, Done done)
    {
        if (op == nullptr) return;
        Iterate([&] { return done() || pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        pa_operation_unref(op);
    }

    std::optional<SourceInfo> Info(const std::string& id)
    {
        if (!Connect()) return std::nullopt;
        struct Result {
            std::optional<SourceInfo> info;
            bool done = false;
        } result;
        pa_operation* op = pa_context_get_source_info_by_name(
            context_, id.c_str(),
            [](pa_context*, const pa_source_info* info, int eol, void* user) {
                auto* r = static_cast<Result*>(user);
                if (eol != 0) {
                    r->done = true;
                    return;
                }
                if (info != nullptr) r->info = SourceInfo{info->volume.channels, pa_cvolume_avg(&info->volume)};
            },
            &result);
        Run(op, [&] { return result.done; });
        return result.info;
    }

    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

}  // namespace

std::unique_ptr<Mixer> MakePulseMixer() { return std::make_unique<PulseMixer>(); }

}  // namespace quorvel
