#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

#include "AudioInputs.h"

namespace quorvel {

namespace {

// Qt's PulseAudio backend says yes to every rate for 8-bit mono, so a rate
// also has to lie in the device's own range.
std::uint32_t Formats(const QAudioDevice& device)
{
    struct Rate {
        int hz;
        std::uint32_t bit;
    };
    static constexpr Rate kRates[] = {{11025, kRate11025}, {22050, kRate22050}, {44100, kRate44100}, {96000, kRate96000}};
    std::uint32_t formats = 0;
    for (const Rate& r : kRates) {
        QAudioFormat f;
        f.setSampleRate(r.hz);
        f.setChannelCount(1);
        f.setSampleFormat(QAudioFormat::UInt8);
        if (r.hz >= device.minimumSampleRate() && r.hz <= device.maximumSampleRate() && device.isFormatSupported(f)) {
            formats |= r.bit;
        }
    }
    return formats;
}

class QtAudioInputs final : public AudioInputs {
public:
    QtAudioInputs()
    {
        QObject::connect(&devices_, &QMediaDevices::audioInputsChanged, &devices_, [this] {
            if (changed_) changed_();
        });
    }
    std::vector<InputDevice> List() override
    {
        std::vector<InputDevice> list;
        for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
            list.push_back({d.id().toStdString(), d.description().toStdString(), Formats(d)});
        }
        return list;
    }
    void OnChanged(std::function<void()> callback) override { changed_ = std::move(callback); }

private:
    QMediaDevices devices_;
    std::function<void()> changed_;
};

}  // namespace

std::unique_ptr<AudioInputs> MakeQtAudioInputs() { return std::make_unique<QtAudioInputs>(); }

}  // namespace quorvel
