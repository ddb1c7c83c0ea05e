// The main window with what it talks to, for the window tests.
#pragma once

#include <QtTest>

#include <filesystem>
#include <fstream>

#include "FakeServices.h"
#include "MainWindow.h"
#include "ShotSynth.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace quorvel::test_support {

namespace fs = std::filesystem;

inline const std::string kSettings =
    "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\nRetainedVelocity=90\n"
    "[calibration]\nMuzzleVolume=60\nImpactVolume=30\nMicVolume=0\noffset=0\nAutoSaveBasic=1\nunits=0\n"
    "[hardware]\nfrequency=96000\ndeviceNum=0\n";

// The shipped settings with some values changed: {"frequency=96000", "frequency=44100"}, ...
inline std::string SettingsWith(std::initializer_list<std::pair<std::string, std::string>> changes)
{
    std::string text = kSettings;
    for (const auto& [from, to] : changes) text.replace(text.find(from), from.size(), to);
    return text;
}

// The sound server's own services, for the tests on the tests' private server.
struct RealServices {
    std::unique_ptr<LiveRecordingDevice> device = MakePulseRecordingDevice();
    std::unique_ptr<AudioInputs> inputs = MakePulseAudioInputs();
    std::unique_ptr<Mixer> mixer = MakePulseMixer();
    std::unique_ptr<SoundOutput> output = MakeQtSoundOutput();
    SteadyClock clock;
};

// A main window with fakes for everything it talks to (or the real services),
// loaded as the program starts it; `beforeLoad` prepares the fakes first.
struct Rig : FakeServices {
    explicit Rig(const std::string& settings = kSettings, std::vector<InputDevice> devices = DefaultDevices(),
                 const std::function<void(Rig&)>& beforeLoad = {}, RealServices* real = nullptr)
    {
        if (!settings.empty()) std::ofstream(dir / "settings.ini") << settings;
        std::ofstream(dir / "README.md") << "# Quorvel\n";
        inputs.devices = std::move(devices);
        clock.ms = 50000;
        // Waits pass on the fake clock, 10 ms per turn of the event loop.
        const auto yield = [this] {
            clock.ms += 10;
            if (onYield) onYield();
            QCoreApplication::processEvents();
        };
        window = std::make_unique<MainWindow>(
            real ? MainServices{*real->device, *real->inputs, real->clock, dialogs, shell, fileDialogs, *real->mixer,
                                *real->output, (dir / "settings.ini").string()}
                 : MainServices{device, inputs, clock, dialogs, shell, fileDialogs, mixer, output,
                                (dir / "settings.ini").string(), yield, (dir / "README.md").string(), {},
                                (dir / "demo.wav").string()});
        if (beforeLoad) beforeLoad(*this);
        loaded = window->Form_Load();
    }
    ~Rig() { window.reset(); }
    static std::vector<InputDevice> DefaultDevices()
    {
        return {{"mic-1", "Mic One", kRate11025 | kRate22050 | kRate44100 | kRate96000},
                {"line-0", "Line In", 0},
                {"usb-2", "USB Mic", kRate22050 | kRate44100}};
    }
    template <typename W>
    W* Find(const QString& name) const
    {
        return window->findChild<W*>(name);
    }
    QString Text(const QString& name) const
    {
        if (auto* l = Find<QLabel>(name)) return l->text();
        if (auto* e = Find<QLineEdit>(name)) return e->text();
        if (auto* b = Find<QAbstractButton>(name)) return b->text();
        if (auto* c = Find<QComboBox>(name)) return c->currentText();
        return "<no " + name + ">";
    }
    // Every control of the table shows its text; the first that does not is named.
    QString Mismatch(std::initializer_list<std::pair<const char*, const char*>> expected) const
    {
        for (const auto& [name, text] : expected) {
            if (Text(name) != text) return QString("%1 shows \"%2\", not \"%3\"").arg(name, Text(name), text);
        }
        return {};
    }
    void Type(const char* field, const QString& text)
    {
        QLineEdit* edit = Find<QLineEdit>(field);
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // Records one block of sound and lets the window hand it over.
    void Record(const std::uint8_t* samples)
    {
        clock.ms += 300;
        device.inner.Deliver(std::span<const std::uint8_t>(samples, kBlockSize));
        QTRY_VERIFY(!window->Recording().Session().Engine().HandOverWaiting());
    }
    // A shot `delay` samples long, recorded over two blocks.
    void Shoot(std::int64_t delay)
    {
        const auto sound = ShotSound(delay);
        Record(sound.data());
        Record(sound.data() + kBlockSize);
    }
    static std::vector<std::uint8_t> ShotSound(std::int64_t delay)
    {
        synth::Recording r;
        r.length = 4 * kBlockSize;
        r.shots.push_back({30000, delay, 0.8, 0.45});
        return synth::SynthesizeEightBit(r);
    }

    TempFolder folder{"main"};
    const fs::path& dir = folder.Path();
    std::function<void()> onYield;
    std::unique_ptr<MainWindow> window;
    bool loaded = false;
};

}  // namespace quorvel::test_support
