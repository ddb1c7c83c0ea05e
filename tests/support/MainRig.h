// A main window with everything it talks to, fake, for the window tests.
#pragma once

#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "MainWindow.h"
#include "ShotSynth.h"
#include "support/Files.h"

namespace quorvel::test_support {

namespace fs = std::filesystem;

inline const char* const kSettings =
    "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\nRetainedVelocity=90\n"
    "[calibration]\nMuzzleVolume=60\nImpactVolume=30\nMicVolume=0\noffset=0\nAutoSaveBasic=1\nunits=0\n"
    "[hardware]\nfrequency=96000\ndeviceNum=0\n";

// A window with everything it talks to, fake.
struct Rig {
    explicit Rig(const std::string& settings = kSettings, std::vector<InputDevice> devices = DefaultDevices())
    {
        static int counter = 0;
        dir = fs::temp_directory_path() / ("quorvel-main-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(dir);
        if (!settings.empty()) std::ofstream(dir / "settings.ini") << settings;
        inputs.devices = std::move(devices);
        clock.ms = 50000;
        // Waits pass on the fake clock, 10 ms per turn of the event loop.
        const auto yield = [this] {
            clock.ms += 10;
            if (onYield) onYield();
            QCoreApplication::processEvents();
        };
        window = std::make_unique<MainWindow>(
            MainServices{device, inputs, clock, dialogs, shell, fileDialogs, mixer, output, (dir / "settings.ini").string(), yield});
    }
    ~Rig()
    {
        window.reset();
        fs::remove_all(dir);
    }
    static std::vector<InputDevice> DefaultDevices()
    {
        return {{"mic-1", "Mic One", kRate11025 | kRate22050 | kRate44100 | kRate96000},
                {"line-0", "Line In", 0},
                {"usb-2", "USB Mic", kRate22050 | kRate44100}};
    }
    template <typename W>
    W* Find(const char* name) const
    {
        return window->findChild<W*>(name);
    }
    QString Text(const char* name) const
    {
        if (auto* l = Find<QLabel>(name)) return l->text();
        if (auto* e = Find<QLineEdit>(name)) return e->text();
        if (auto* b = Find<QAbstractButton>(name)) return b->text();
        return "<no " + QString(name) + ">";
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
        QTRY_VERIFY(!window->Engine().HandOverWaiting());
    }

    fs::path dir;
    FakeLiveDevice device;
    FakeAudioInputs inputs;
    FakeClock clock;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeFileDialogs fileDialogs;
    FakeMixer mixer;
    FakeSoundOutput output;
    std::function<void()> onYield;
    std::unique_ptr<MainWindow> window;
};

inline std::vector<std::uint8_t> ShotSound(std::int64_t delay)
{
    synth::Recording r;
    r.length = 4 * kBlockSize;
    r.shots.push_back({30000, delay, 0.8, 0.45});
    return synth::SynthesizeEightBit(r);
}

}  // namespace quorvel::test_support
