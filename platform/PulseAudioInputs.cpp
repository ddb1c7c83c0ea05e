// The sound server's recording devices through libpulse, and a
// subscription to its source events: the list follows every microphone
// plugged in or removed, which Qt's own notification does not reliably
// report. A lost server is tried again every two seconds, and its return is
// announced like a plug-in. Monitors of outputs are not microphones and are
// left out. The server would convert any source to any rate, but a rate
// above the source's own holds nothing the source heard: a source offers
// its own rate and the usual ones below it.
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "AudioInputs.h"
#include "PulseConnection.h"

namespace quorvel {

namespace {

class PulseAudioInputs final : public QObject, public AudioInputs {
public:
    PulseAudioInputs()
    {
        // Several events in a row (a device and its ports) make one change.
        settle_.setSingleShot(true);
        settle_.setInterval(100);
        QObject::connect(&settle_, &QTimer::timeout, this, [this] {
            if (changed_) changed_();
        });
        retry_.setInterval(2000);
        QObject::connect(&retry_, &QTimer::timeout, this, [this] {
            if (Subscribe()) {
                retry_.stop();
                settle_.start();
            }
        });
        connection_.onLost = [this] { Post([this] { retry_.start(); }); };
        Subscribe();
    }

    ~PulseAudioInputs() override
    {
        connection_.onLost = nullptr;
        PulseConnection::Lock lock(connection_);
        if (connection_.Context() != nullptr) pa_context_set_subscribe_callback(connection_.Context(), nullptr, nullptr);
    }

    std::vector<InputDevice> List() override
    {
        std::vector<InputDevice> list;
        if (!connection_.Connect()) return list;
        PulseConnection::Lock lock(connection_);
        struct Query {
            std::vector<InputDevice>* list;
            PulseConnection* connection;
        } query{&list, &connection_};
        connection_.Finish(pa_context_get_source_info_list(
            connection_.Context(),
            [](pa_context*, const pa_source_info* info, int eol, void* user) {
                auto* q = static_cast<Query*>(user);
                if (eol == 0 && info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
                    const int rate = static_cast<int>(info->sample_spec.rate);
                    q->list->push_back({info->name, info->description != nullptr ? info->description : info->name,
                                        FormatsUpTo(rate), rate});
                }
                q->connection->Signal();
            },
            &query));
        return list;
    }

    void OnChanged(std::function<void()> callback) override { changed_ = std::move(callback); }

private:
    bool Subscribe()
    {
        if (!connection_.Connect()) return false;
        PulseConnection::Lock lock(connection_);
        pa_context_set_subscribe_callback(
            connection_.Context(),
            [](pa_context*, pa_subscription_event_type_t event, std::uint32_t, void* user) {
                const auto type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
                if (type != PA_SUBSCRIPTION_EVENT_NEW && type != PA_SUBSCRIPTION_EVENT_REMOVE) return;
                auto* self = static_cast<PulseAudioInputs*>(user);
                self->Post([self] { self->settle_.start(); });
            },
            this);
        if (pa_operation* op = pa_context_subscribe(connection_.Context(), PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
        return true;
    }

    // From the event thread to the owner's.
    template <typename F>
    void Post(F f)
    {
        QPointer<QObject> self(this);
        QMetaObject::invokeMethod(
            this, [self, f] {
                if (self) f();
            },
            Qt::QueuedConnection);
    }

    PulseConnection connection_;
    std::function<void()> changed_;
    QTimer settle_;
    QTimer retry_;
};

}  // namespace

std::unique_ptr<AudioInputs> MakePulseAudioInputs() { return std::make_unique<PulseAudioInputs>(); }

}  // namespace quorvel
