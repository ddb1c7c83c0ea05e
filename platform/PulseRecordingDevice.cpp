// Records a source of the sound server through libpulse. The stream is made
// with PA_STREAM_DONT_MOVE: when the chosen microphone goes away the server
// must not move the recording to another one (a laptop's built-in
// microphone), which would go on measuring from a microphone the shooter did
// not choose. The stream then dies instead, and the window stops with a
// message. Sound arrives on the connection's event thread and goes straight
// into the queued ring blocks.
#include <QObject>
#include <QPointer>

#include "BlockFiller.h"
#include "LiveRecordingDevice.h"
#include "PulseConnection.h"

namespace quorvel {

namespace {

constexpr const char* kGone = "the recording device is no longer available";

class PulseRecordingDevice final : public QObject, public LiveRecordingDevice {
public:
    PulseRecordingDevice()
    {
        connection_.onLost = [this] { Failed("the sound server is no longer available"); };
    }
    ~PulseRecordingDevice() override { Close(); }

    void UseDevices(std::vector<std::string> ids) override { ids_ = std::move(ids); }
    int Overruns() const override { return filler_.Overruns(); }

    int Open(int deviceNum, int sampleRate, BlockDoneListener& listener) override
    {
        Close();
        if (deviceNum < 0 || deviceNum >= static_cast<int>(ids_.size())) return kNoSuchDevice;
        if (sampleRate < 1 || sampleRate > static_cast<int>(PA_RATE_MAX)) return kFormatNotSupported;
        if (!connection_.Connect()) return 1;
        const std::string& source = ids_[static_cast<std::size_t>(deviceNum)];
        filler_.Prepare(&listener);
        PulseConnection::Lock lock(connection_);
        const pa_sample_spec format{PA_SAMPLE_U8, static_cast<std::uint32_t>(sampleRate), 1};
        stream_ = pa_stream_new(connection_.Context(), "Quorvel recording", &format, nullptr);
        if (stream_ == nullptr) return 1;
        pa_stream_set_state_callback(stream_, &PulseRecordingDevice::StateChanged, this);
        pa_stream_set_read_callback(stream_, &PulseRecordingDevice::Readable, this);
        // A tenth of a second per delivery: a finished block waits at most
        // that long, and the event thread wakes only ten times a second.
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(std::max(512, sampleRate / 10));
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY |
                                                          PA_STREAM_START_CORKED);
        if (pa_stream_connect_record(stream_, source.c_str(), &attr, flags) < 0) {
            DropStream();
            return kNoSuchDevice;
        }
        connection_.WaitFor([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            const int error = pa_context_errno(connection_.Context());
            DropStream();
            return error == PA_ERR_NOENTITY ? kNoSuchDevice : 1;
        }
        return 0;
    }

    void Queue(std::span<std::uint8_t> block) override
    {
        if (stream_ != nullptr) filler_.Queue(block);
    }

    void Start() override
    {
        filler_.SetRunning(true);
        Cork(false);
    }

    void Reset() override
    {
        filler_.SetRunning(false);
        Cork(true);
        filler_.Prepare(nullptr);
    }

    void Close() override
    {
        filler_.SetRunning(false);
        PulseConnection::Lock lock(connection_);
        DropStream();
    }

private:
    void Cork(bool cork)
    {
        PulseConnection::Lock lock(connection_);
        // A stream that died (its microphone went away) takes no more orders.
        if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
        if (pa_operation* op = pa_stream_cork(stream_, cork ? 1 : 0, nullptr, nullptr)) pa_operation_unref(op);
    }

    void DropStream()
    {
        if (stream_ == nullptr) return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    // Event thread: the window hears of it on its own thread.
    void Failed(const char* reason)
    {
        QPointer<QObject> self(this);
        QMetaObject::invokeMethod(
            this,
            [this, self, why = std::string(reason)] {
                if (self && onFailure) onFailure(why);
            },
            Qt::QueuedConnection);
    }

    static void StateChanged(pa_stream* s, void* user)
    {
        auto* self = static_cast<PulseRecordingDevice*>(user);
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) self->Failed(kGone);
        self->connection_.Signal();
    }

    static void Readable(pa_stream* s, std::size_t, void* user)
    {
        auto* self = static_cast<PulseRecordingDevice*>(user);
        const void* data = nullptr;
        std::size_t length = 0;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &length) == 0 && length > 0) {
            if (data != nullptr) {
                self->filler_.Write(static_cast<const std::uint8_t*>(data), length);
            } else {
                // A hole in the stream: silence, so the sample count stays true.
                static const std::array<std::uint8_t, 4096> quiet = [] {
                    std::array<std::uint8_t, 4096> q{};
                    q.fill(kSilence);
                    return q;
                }();
                for (std::size_t done = 0; done < length; done += quiet.size()) {
                    self->filler_.Write(quiet.data(), std::min(quiet.size(), length - done));
                }
            }
            pa_stream_drop(s);
        }
    }

    PulseConnection connection_;
    BlockFiller filler_;
    pa_stream* stream_ = nullptr;  // used under the connection's lock
    std::vector<std::string> ids_;
};

}  // namespace

std::unique_ptr<LiveRecordingDevice> MakePulseRecordingDevice() { return std::make_unique<PulseRecordingDevice>(); }

}  // namespace quorvel
