// The microphone the shooter chose, kept through plugs and unplugs, its
// level, its real rates, and what a change of rate or device does to a
// shot still waiting for its autosave.
#include <QtTest>

#include "MainWindow.h"
#include "PanelRules.h"
#include "support/MainRig.h"

using namespace quorvel;
using namespace quorvel::test_support;

namespace {
std::vector<InputDevice> Without(std::vector<InputDevice> devices, const std::string& id)
{
    std::erase_if(devices, [&](const InputDevice& d) { return d.id == id; });
    return devices;
}
}  // namespace

class DeviceChoiceTest : public QObject {
    Q_OBJECT
private slots:
    // Unplugged while idle and while recording: nothing else is chosen in
    // its place, Start names it, and it is chosen again when it is back.
    void theChosenMicrophoneStaysChosenWhileAway()
    {
        Rig rig;
        auto* devices = rig.Find<QComboBox>("DevicesBox");
        devices->setCurrentIndex(1);  // USB Mic, by hand
        const auto all = rig.inputs.devices;
        for (const bool recording : {false, true}) {
            if (recording) rig.window->StartButton_Click();
            rig.inputs.devices = Without(all, "usb-2");
            if (recording) rig.device.Fail("the recording device is no longer available");
            rig.inputs.changed();
            QCOMPARE(devices->currentIndex(), -1);
            QCOMPARE(devices->placeholderText(), QString("USB Mic (not connected)"));
            const auto opened = rig.device.inner.openCount;
            rig.window->StartButton_Click();
            QCOMPARE(rig.device.inner.openCount, opened);
            QCOMPARE(rig.dialogs.shown.back().text, std::string("The chosen recording device USB Mic is not connected.\n") +
                                                        kMissingDeviceAdvice);
            rig.inputs.devices = all;
            rig.inputs.changed();
            QCOMPARE(devices->currentText(), QString("USB Mic"));
            rig.window->StartButton_Click();
            QCOMPARE(rig.device.ids.at(static_cast<std::size_t>(rig.device.inner.openedDevice)), std::string("usb-2"));
            rig.window->StartButton_Click();
        }
        // Saved as chosen, even when it is away at the end.
        rig.inputs.devices = Without(all, "usb-2");
        rig.inputs.changed();
        rig.window->DoEnd();
        const std::string saved = Slurp(rig.dir / "settings.ini");
        QVERIFY2(saved.find("deviceNum=1\n") != std::string::npos && saved.find("deviceId=usb-2") != std::string::npos, saved.c_str());

        // The next start looks for it by its identity, wherever it is listed.
        Rig next(SettingsWith({{"deviceNum=0", "deviceNum=1\ndeviceId=usb-2"}}), Without(all, "mic-1"));
        QCOMPARE(next.Find<QComboBox>("DevicesBox")->currentText(), QString("USB Mic"));
        QCOMPARE(next.window->Settings().Record().deviceNum, std::int16_t{0});
        Rig away(SettingsWith({{"deviceNum=0", "deviceNum=0\ndeviceId=usb-2"}}), Without(all, "usb-2"));
        QCOMPARE(away.Find<QComboBox>("DevicesBox")->currentIndex(), -1);
        // An untouched file gets no line it did not have.
        Rig untouched;
        untouched.window->DoEnd();
        QVERIFY(Slurp(untouched.dir / "settings.ini").find("deviceId") == std::string::npos);
    }

    // A level saved for one device is never put on another.
    void aSavedLevelGoesOnlyToItsOwnDevice()
    {
        const auto levels = [](Rig& r) {
            r.mixer.levels["mic-1"] = 65535;
            r.mixer.levels["usb-2"] = 65535;
        };
        struct Row {
            const char* file;
            std::uint32_t mic1, usb2;
        };
        const Row rows[] = {{"MicVolume=3\nMicVolumeDevice=mic-1", 655 * 30, 65535},
                            {"MicVolume=3\nMicVolumeDevice=usb-2", 65535, 65535},
                            {"MicVolume=3", 65535, 65535}};
        for (const Row& row : rows) {
            Rig rig(SettingsWith({{"MicVolume=0", row.file}}), Rig::DefaultDevices(), levels);
            QCOMPARE(rig.mixer.levels["mic-1"], row.mic1);
            QCOMPARE(rig.mixer.levels["usb-2"], row.usb2);
        }
        // Chosen later in the run, the device it was saved for gets it then.
        Rig later(SettingsWith({{"MicVolume=0", "MicVolume=3\nMicVolumeDevice=usb-2"}}), Rig::DefaultDevices(), levels);
        later.Find<QComboBox>("DevicesBox")->setCurrentIndex(1);
        QCOMPARE(later.mixer.levels["usb-2"], 655u * 30);
    }

    void ratesAndDevices()
    {
        Rig rig(SettingsWith({{"frequency=96000", "frequency=44100"}, {"deviceNum=0", "deviceNum=3"}}));
        auto* devices = rig.Find<QComboBox>("DevicesBox");
        auto* rates = rig.Find<QComboBox>("cmbFreq");
        QCOMPARE(devices->currentIndex(), 0);  // a saved position beyond the list picks the first device
        QCOMPARE(rates->currentText(), QString("44100"));  // the saved rate survives the rebuilt list
        QVERIFY(rig.Text("lclCalls").startsWith("44100 Hz 8-bit mono.\nDraw Timer:50 ms\n5 x 28800 fixed 653.06 ms buffer(s)\n0.0227"));
        // Typed rates apply keystroke by keystroke, with no completion from the list.
        rates->lineEdit()->clear();
        QTest::keyClicks(rates->lineEdit(), "500");
        QCOMPARE(rig.window->Settings().Record().frequency, 44100);
        QTest::keyClicks(rates->lineEdit(), "0");
        QCOMPARE(rig.window->Settings().Record().frequency, 5000);
        QTest::keyClicks(rates->lineEdit(), "0");
        QCOMPARE(rates->currentText(), QString("50000"));

        devices->setCurrentIndex(1);  // USB Mic: 44100 and 22050 only
        QCOMPARE(rates->count(), 2);
        QCOMPARE(rig.window->Settings().Record().frequency, 44100);
        QVERIFY(!rig.Find<QLabel>("lblErr")->isHidden());
        QCOMPARE(rig.Text("lblErr"), QString("96KHz not available\nAccuracy not optimal"));
        QCOMPARE(rig.window->Settings().Record().deviceNum, std::int16_t{1});

        // A device plugged in ahead of the chosen one keeps the choice.
        rig.inputs.devices.insert(rig.inputs.devices.begin(), InputDevice{"new-0", "New Mic", kRate96000});
        rig.inputs.changed();
        QCOMPARE(devices->currentText(), QString("USB Mic"));
        QCOMPARE(rig.window->Settings().Record().deviceNum, std::int16_t{2});
        QCOMPARE(rig.device.ids.at(2), std::string("usb-2"));
    }

    // Only what the source records itself is offered; nothing above it.
    void theRatesAreTheDevicesOwn()
    {
        QCOMPARE(OfferedRates(FormatsUpTo(48000), 48000), (std::vector<std::string>{"48000", "44100", "22050"}));
        QCOMPARE(OfferedRates(FormatsUpTo(96000), 96000), (std::vector<std::string>{"96000", "44100", "22050"}));
        QCOMPARE(OfferedRates(FormatsUpTo(192000), 192000), (std::vector<std::string>{"192000", "96000", "44100", "22050"}));
        QCOMPARE(OfferedRates(FormatsUpTo(44100), 44100), (std::vector<std::string>{"44100", "22050"}));
        QCOMPARE(OfferedRates(FormatsUpTo(16000), 16000), std::vector<std::string>{});
        Rig rig(kSettings, {{"hw-48", "Headset", FormatsUpTo(48000), 48000}});
        QCOMPARE(rig.Find<QComboBox>("cmbFreq")->itemText(0), QString("48000"));
        QVERIFY(!rig.Find<QLabel>("lblErr")->isHidden());
    }

    // A typed rate waits until the field is left while recording; a shot's
    // autosave waiting for the next block is done on its own sound first.
    void aChangeWhileRecordingWaitsForTheFieldAndFinishesTheShot()
    {
        Rig rig(SettingsWith({{"AutoSaveBasic=1", "AutoSaveBasic=1\nAutoSaveWaveForm=1"}}));
        rig.window->StartButton_Click();
        rig.Shoot(4800);  // autosave pending for the next block
        auto* rate = rig.Find<QComboBox>("cmbFreq");
        rate->lineEdit()->selectAll();
        QTest::keyClicks(rate->lineEdit(), "44100");
        QCOMPARE(rig.device.inner.openCount, 1);
        QCOMPARE(rig.window->Settings().Record().frequency, 96000);
        emit rate->lineEdit()->editingFinished();
        QCOMPARE(rig.device.inner.openCount, 2);
        QCOMPARE(rig.device.inner.openedRate, 44100);
        std::vector<fs::path> waves;
        for (const auto& e : fs::directory_iterator(rig.dir)) {
            if (e.path().extension() == ".wav") waves.push_back(e.path());
        }
        QCOMPARE(waves.size(), 1u);
        const std::string wave = Slurp(waves[0]);
        QVERIFY2(wave.find_first_not_of('\x7f', 44) < wave.size() - 1, "the saved waveform holds the shot, not silence");
        QVERIFY(Slurp(rig.dir / "shots.txt").find(" , 1 , 200") != std::string::npos);
    }
};

QTEST_MAIN(DeviceChoiceTest)
#include "DeviceChoiceTest.moc"
