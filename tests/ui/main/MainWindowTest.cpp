// The main window driven as a shooter would, offscreen, with a fake
// recording device and fake sound-server device list.
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "MainWindow.h"
#include "PanelRules.h"
#include "ShotSynth.h"
#include "support/MainRig.h"

using namespace quorvel;
namespace fs = std::filesystem;

using namespace quorvel::test_support;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpFillsThePanelAndListsTheDevices()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        QCOMPARE(rig.window->windowTitle(), QString("quorvel"));
        QCOMPARE(rig.Text("txtInfo(0)"), QString("10"));
        QCOMPARE(rig.Text("txtInfo(6)"), QString("5"));
        QCOMPARE(rig.Text("txtInfo(1)"), QString("0.547"));
        QCOMPARE(rig.Text("txtInfo(7)"), QString("60"));
        QCOMPARE(rig.Text("txtInfo(3)"), QString("30"));
        QCOMPARE(rig.Text("lblInfo(3)"), QString("m"));
        QCOMPARE(rig.Text("lblInfo(9)"), QString("m/s"));
        QCOMPARE(rig.Text("lblInfo(4)"), QString("g"));
        auto* devices = rig.Find<QComboBox>("DevicesBox");
        QCOMPARE(devices->count(), 2);  // the line input records none of the rates
        QCOMPARE(devices->itemText(1), QString("USB Mic"));
        auto* rates = rig.Find<QComboBox>("cmbFreq");
        QCOMPARE(rates->count(), 3);
        QCOMPARE(rates->itemText(0), QString("96000"));
        QCOMPARE(rates->itemText(2), QString("22050"));
        QCOMPARE(rig.Text("lclCalls"), QString("96000 Hz 8-bit mono.\nDraw Timer:10 ms\n5 x 28800 fixed 300.00 ms buffer(s)\n"
                                               "0.0104 ms resolution"));
        QCOMPARE(rig.Text("debug2"), QString("Window: T+25.0000 - 200.0000 ms\n                T+ 2400 - 19200 samples"));
        QCOMPARE(rig.Text("lblX1(0)"), QString("|<- 0 ms"));
        QCOMPARE(rig.Text("lblX1(1)"), QString("1500 ms ->|"));
        QVERIFY(rig.Find<QCheckBox>("chkSaveExt")->isEnabled());  // autosave is on in the file
        QVERIFY(!rig.Find<QLineEdit>("txtInfo(6)")->isEnabled());
        // The panel starts hidden.
        QVERIFY(!rig.window->PanelOpen());
        QCOMPARE(rig.Text("cmdSettings"), QString("&Settings  >>"));
        QCOMPARE(rig.window->size(), QSize(457, 273));
        QVERIFY(rig.dialogs.shown.empty());
    }

    void startUpFailures()
    {
        Rig missing("");
        QVERIFY(!missing.window->Form_Load());
        QCOMPARE(missing.dialogs.shown.size(), std::size_t{1});
        QCOMPARE(missing.dialogs.shown[0].title, std::string("Error"));
        QCOMPARE(missing.dialogs.shown[0].text, (missing.dir / "settings.ini").string() + " not found !!!\nCan't continue");

        Rig noHardware(kSettings, {{"line-0", "Line In", 0}});
        QVERIFY(noHardware.window->Form_Load());
        QCOMPARE(noHardware.dialogs.shown.at(0).title, std::string("H/W error"));
        QCOMPARE(noHardware.dialogs.shown.at(0).text, std::string("Cannot detect any suitable recording hardware !\nInitDevices() failed"));
        QCOMPARE(noHardware.Text("lblX1(1)"), QString("-1000 ms"));
    }

    void aShotFillsTheMeasuringLabelsAndMarksTheTriggers()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        QTest::mouseClick(rig.Find<QPushButton>("StartButton"), Qt::LeftButton);
        QCOMPARE(rig.Text("StartButton"), QString("S&top"));
        QVERIFY(rig.device.inner.IsOpen());
        QCOMPARE(rig.device.inner.openedRate, 96000);
        for (int i = 0; i < 9; ++i) QVERIFY(!rig.Find<QLineEdit>(qPrintable(QString("txtInfo(%1)").arg(i)))->isEnabled());
        QVERIFY(rig.Find<QLabel>("lclCalls")->isHidden());

        const auto sound = ShotSound(4800);
        rig.Record(sound.data());
        rig.Record(sound.data() + kBlockSize);
        QCOMPARE(rig.Text("lblVel(0)"), QString("200.0  m/s "));
        QCOMPARE(rig.Text("lblVel(1)"), QString("4800  = 50.0000 ms"));
        QCOMPARE(rig.Text("lblVel(2)"), QString("0.0104 ms"));
        QCOMPARE(rig.Text("lblVel(3)"), QString("200.04 - 199.96 m/s "));
        QCOMPARE(rig.Text("lblVel(5)"), QString("1"));
        QCOMPARE(rig.Text("lblPBUF"), QString("2"));
        // The results window opened with the recording and took the shot.
        QVERIFY(rig.window->ResultsOpen());
        const auto readout = [&](int i) { return rig.window->Results().findChild<QLabel*>(QString("lblVelo(%1)").arg(i))->text(); };
        QCOMPARE(readout(0), QString("210.0"));
        QCOMPARE(readout(1), QString("012.1"));
        QCOMPARE(readout(3), QString("001"));
        auto* scope = rig.Find<ScopeView>("scope");
        QVERIFY(scope->TrigLineVisible(0) && scope->TrigLineVisible(1));
        QCOMPARE(scope->TrigLineX(0), 30000);
        QCOMPARE(scope->TrigLineX(1), 34800);
        auto* muzzleBox = rig.Find<QLineEdit>("txtInfo(7)");
        QCOMPARE(muzzleBox->palette().color(QPalette::Base), QColor(255, 0, 0));
        auto* timer = rig.Find<QTimer>("tmrRemoveTrigLines");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1500);
        rig.window->tmrRemoveTrigLines_Timer();
        QVERIFY(!scope->TrigLineVisible(0) && !scope->TrigLineVisible(1));
        QVERIFY(muzzleBox->palette().color(QPalette::Base) != QColor(255, 0, 0));

        QTest::mouseClick(rig.Find<QPushButton>("StartButton"), Qt::LeftButton);
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QVERIFY(!rig.device.inner.IsOpen());
        QVERIFY(rig.Find<QLineEdit>("txtInfo(0)")->isEnabled());
        QVERIFY(!rig.Find<QLineEdit>("txtInfo(6)")->isEnabled());
    }

    void theStringOutlivesAClosedResultsWindow()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.window->StartButton_Click();
        const auto sound = ShotSound(4800);
        rig.Record(sound.data());
        rig.Record(sound.data() + kBlockSize);
        rig.window->Results().close();
        QTRY_VERIFY(!rig.window->ResultsOpen());
        // A miss and the next shot load it again, with fresh readouts but the same string.
        const auto miss = ShotSound(0);
        rig.clock.ms += 1000;
        rig.Record(miss.data());
        rig.Record(miss.data() + kBlockSize);
        QVERIFY(rig.window->ResultsOpen());
        auto* velocity = rig.window->Results().findChild<QLabel*>("lblVelo(0)");
        QCOMPARE(velocity->text(), QString("###.##"));
        QCOMPARE(rig.window->Results().findChild<QLabel*>("lblMistage")->text(), QString("no impact"));
        rig.clock.ms += 1000;
        rig.Record(sound.data());
        rig.Record(sound.data() + kBlockSize);
        QCOMPARE(rig.window->String().Count(), 2);
        QCOMPARE(velocity->text(), QString("210.0"));
        QCOMPARE(rig.window->Results().findChild<QLabel*>("lblVelo(3)")->text(), QString("002"));
        // A click on the shot counter starts the numbering again.
        QTest::mouseClick(rig.window->Results().findChild<QLabel*>("lblVelo(3)"), Qt::LeftButton);
        QCOMPARE(rig.window->Detector().State().ShotCount, 0);
        rig.window->StartButton_Click();
    }

    void aFreezeStopsRecordingAndKeepsTheTriggerLines()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.Find<QCheckBox>("chkFreeze(0)")->setChecked(true);
        rig.window->StartButton_Click();
        const auto sound = ShotSound(5000);
        for (int k = 0; k < 3; ++k) rig.Record(sound.data() + k * kBlockSize);
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QVERIFY(!rig.device.inner.IsOpen());
        QVERIFY(rig.Find<ScopeView>("scope")->TrigLineVisible(0));
        QVERIFY(!rig.Find<QTimer>("tmrRemoveTrigLines")->isActive());
        QVERIFY(rig.Find<QCheckBox>("chkFreeze(0)")->styleSheet().contains("255, 0, 0"));
        QCOMPARE(rig.window->Engine().Waveform()[kRingSamples - 1], rig.window->Engine().Ring()[BlockStart(3) + kBlockSize - 1]);
    }

    void deviceProblemsAreReported()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.device.inner.openResult = 4;
        rig.window->StartButton_Click();
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QCOMPARE(rig.dialogs.shown.at(0).title, std::string("H/W error"));
        QCOMPARE(rig.dialogs.shown.at(0).text, std::string("Cannot open wavein device for recording!\nWaveInOpen() failed with errorcode: 4"));

        rig.device.inner.openResult = 0;
        rig.window->StartButton_Click();
        const auto sound = ShotSound(4800);
        rig.Record(sound.data());
        rig.Record(sound.data() + kBlockSize);
        rig.device.Fail("the recording device is no longer available");
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QCOMPARE(rig.dialogs.shown.at(1).text, std::string("Recording stopped: the recording device is no longer available.\n"
                                                            "The shots measured so far are kept."));
        QCOMPARE(rig.Text("lblVel(5)"), QString("1"));
    }

    void leavingAFieldCorrectsItSilently()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.window->cmdSettings_Click();
        rig.Type("txtInfo(0)", "0.5");
        QCOMPARE(rig.Text("txtInfo(0)"), QString("1"));
        QCOMPARE(rig.Text("txtInfo(6)"), QString("0.5"));
        QCOMPARE(rig.window->Record().distance, 1.0);
        QCOMPARE(rig.Text("debug2"), QString("Window: T+2.5000 - 20.0000 ms\n                T+ 240 - 1920 samples"));

        rig.Type("txtInfo(4)", "350");
        rig.Type("txtInfo(5)", "300");
        QCOMPARE(rig.Text("txtInfo(5)"), QString("350"));
        rig.Type("txtInfo(3)", "200");
        QCOMPARE(rig.Text("txtInfo(3)"), QString("127"));
        rig.Type("txtInfo(3)", "-5");
        QCOMPARE(rig.Text("txtInfo(3)"), QString("0"));
        rig.Type("txtInfo(3)", "100.5");
        QCOMPARE(rig.Text("txtInfo(3)"), QString("100.5"));
        QCOMPARE(rig.window->Record().ImpactVolume, std::int16_t{100});
        rig.Type("txtInfo(2)", "0");
        QCOMPARE(rig.Text("txtInfo(2)"), QString("1"));
        rig.Type("txtInfo(2)", "150");
        QCOMPARE(rig.Text("txtInfo(2)"), QString("100"));
        rig.Type("txtInfo(8)", "-3.5");
        QCOMPARE(rig.Text("txtInfo(8)"), QString("-3.5"));
        QCOMPARE(rig.window->Record().offset, -3.5);
        rig.Type("txtInfo(1)", "abc");
        QCOMPARE(rig.Text("txtInfo(1)"), QString("0.01"));
    }

    void switchingUnitsAndBack()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.Type("txtInfo(4)", "200");
        rig.Type("txtInfo(1)", "1.037");
        rig.Find<QRadioButton>("optUnits(1)")->setChecked(true);
        QCOMPARE(rig.Text("txtInfo(0)"), QString("32.8"));
        QCOMPARE(rig.Text("txtInfo(4)"), QString("656"));
        QCOMPARE(rig.Text("txtInfo(5)"), QString("1312"));
        QCOMPARE(rig.Text("txtInfo(1)"), QString("16.0"));
        QCOMPARE(rig.Text("txtInfo(8)"), QString("0.0"));
        QCOMPARE(rig.Text("txtInfo(6)"), QString("16.404"));
        QCOMPARE(rig.Text("lblInfo(13)"), QString("feet"));
        QCOMPARE(rig.Text("lblInfo(21)"), QString("fps"));
        QCOMPARE(rig.Text("lblInfo(4)"), QString("grain"));
        rig.Find<QRadioButton>("optUnits(0)")->setChecked(true);
        QCOMPARE(rig.Text("txtInfo(0)"), QString("10.0"));
        QCOMPARE(rig.Text("txtInfo(4)"), QString("200"));
        QCOMPARE(rig.Text("txtInfo(1)"), QString("1.0370"));
        QCOMPARE(rig.Text("txtInfo(2)"), QString("90"));
        QCOMPARE(rig.Text("txtInfo(7)"), QString("60"));
        QCOMPARE(rig.Text("lblInfo(3)"), QString("m"));
    }

    void ratesAndDevices()
    {
        Rig rig(std::string(kSettings).replace(std::string(kSettings).find("frequency=96000"), 15, "frequency=44100")
                    .replace(std::string(kSettings).find("deviceNum=0"), 11, "deviceNum=3"));
        QVERIFY(rig.window->Form_Load());
        auto* devices = rig.Find<QComboBox>("DevicesBox");
        auto* rates = rig.Find<QComboBox>("cmbFreq");
        QCOMPARE(devices->currentIndex(), 0);  // a saved position beyond the list picks the first device
        QCOMPARE(rates->currentText(), QString("44100"));  // the saved rate survives the rebuilt list
        QCOMPARE(rig.window->Record().frequency, 44100);
        QVERIFY(rig.Text("lclCalls").startsWith("44100 Hz 8-bit mono.\nDraw Timer:10 ms\n5 x 28800 fixed 653.06 ms buffer(s)\n0.0227"));

        rates->setEditText("500");
        QCOMPARE(rig.window->Record().frequency, 44100);
        rates->setEditText("48000");
        QCOMPARE(rig.window->Record().frequency, 48000);

        devices->setCurrentIndex(1);  // USB Mic: 44100 and 22050 only
        QCOMPARE(rates->count(), 2);
        QCOMPARE(rates->itemText(0), QString("44100"));
        QCOMPARE(rig.window->Record().frequency, 44100);
        QVERIFY(!rig.Find<QLabel>("lblErr")->isHidden());
        QCOMPARE(rig.Text("lblErr"), QString("96KHz not available\nAccuracy not optimal"));
        QCOMPARE(rig.window->Record().deviceNum, std::int16_t{1});

        // A device plugged in ahead of the chosen one keeps the choice.
        rig.inputs.devices.insert(rig.inputs.devices.begin(), InputDevice{"new-0", "New Mic", kRate96000});
        rig.inputs.changed();
        QCOMPARE(devices->currentText(), QString("USB Mic"));
        QCOMPARE(rig.window->Record().deviceNum, std::int16_t{2});
        QCOMPARE(rig.device.ids.at(2), std::string("usb-2"));
    }

    void exitWritesWhatThePanelShows()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.Type("txtInfo(8)", "1.5");
        rig.Find<QRadioButton>("optUnits(1)")->setChecked(true);
        QSignalSpy ended(rig.window.get(), &MainWindow::ended);
        QTest::mouseClick(rig.Find<QPushButton>("cmdExit"), Qt::LeftButton);
        QCOMPARE(ended.count(), 1);
        const std::string saved = Slurp(rig.dir / "settings.ini");
        QVERIFY(saved.find("distance=32.8\n") != std::string::npos);
        QVERIFY(saved.find("offset=4.9\n") != std::string::npos);
        QVERIFY(saved.find("units=1\n") != std::string::npos);
        QVERIFY(saved.find("AutoSaveBasic=1\n") != std::string::npos);
        rig.window->close();  // the close box after Exit does not save twice
        QCOMPARE(ended.count(), 1);

        Rig unwritable;
        QVERIFY(unwritable.window->Form_Load());
        fs::remove_all(unwritable.dir);
        unwritable.window->close();
        QCOMPARE(unwritable.dialogs.shown.at(0).title, std::string("Error"));
        QVERIFY(unwritable.dialogs.shown.at(0).text.find((unwritable.dir / "settings.ini").string()) != std::string::npos);
    }

    void switchesAndCredits()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        auto* autosave = rig.Find<QCheckBox>("chkAutosave");
        auto* extended = rig.Find<QCheckBox>("chkSaveExt");
        extended->setChecked(true);
        autosave->setChecked(false);
        QVERIFY(!extended->isEnabled() && !extended->isChecked());
        QVERIFY(!rig.Find<QCheckBox>("chkSaveWaveform")->isEnabled());
        autosave->setChecked(true);
        QVERIFY(extended->isEnabled() && !extended->isChecked());

        QTest::mouseClick(rig.Find<QLabel>("lblCredit(0)"), Qt::LeftButton);
        QTest::mouseClick(rig.Find<QLabel>("lblCredit(1)"), Qt::LeftButton);
        QCOMPARE(rig.shell.opened, (std::vector<std::string>{kContactUrl, kHomeUrl}));

        rig.window->cmdSettings_Click();
        QVERIFY(rig.window->PanelOpen());
        QCOMPARE(rig.Text("cmdSettings"), QString("  <<  &Settings"));
        QCOMPARE(rig.window->size(), QSize(679, 693));
        QCOMPARE(rig.Find<QFrame>("Line1")->y(), 693 - 80);
    }

    void loadingShowsTheFileAsWritten()
    {
        std::string imperial = kSettings;
        imperial.replace(imperial.find("units=0"), 7, "units=1");
        imperial.replace(imperial.find("AutoSaveBasic=1"), 15, "AutoSaveBasic=0\nAutoSaveExtended=1");
        imperial.replace(imperial.find("deviceNum=0"), 11, "deviceNum=-4");
        Rig rig(imperial);
        QVERIFY(rig.window->Form_Load());
        QCOMPARE(rig.Text("txtInfo(0)"), QString("10"));  // no conversion while loading
        QCOMPARE(rig.Text("txtInfo(5)"), QString("400"));
        QCOMPARE(rig.Text("lblInfo(3)"), QString("feet"));
        QCOMPARE(rig.Text("lblInfo(11)"), QString("fps"));
        QCOMPARE(rig.Text("lblInfo(4)"), QString("grain"));
        QVERIFY(rig.Find<QRadioButton>("optUnits(1)")->isChecked());
        auto* extended = rig.Find<QCheckBox>("chkSaveExt");
        QVERIFY(extended->isChecked() && !extended->isEnabled());  // set after the autosave box disabled it
        QCOMPARE(rig.Find<QComboBox>("DevicesBox")->currentIndex(), 0);
    }

    void enterKeepsTheFocusAndTheTimerTakesTheLinesAway()
    {
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.window->cmdSettings_Click();
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        auto* distance = rig.Find<QLineEdit>("txtInfo(0)");
        distance->setFocus();
        QTRY_VERIFY(distance->hasFocus());
        QCOMPARE(distance->palette().color(QPalette::Base), QColor(0xFF, 0xE0, 0xC0));
        distance->setText("0.2");
        QTest::keyClick(distance, Qt::Key_Return);
        QCOMPARE(distance->text(), QString("1"));
        QVERIFY(distance->hasFocus());
        QCOMPARE(distance->palette().color(QPalette::Base), QColor(0xFF, 0xE0, 0xC0));

        // Typed rates apply keystroke by keystroke, with no completion from the list.
        auto* rates = rig.Find<QComboBox>("cmbFreq");
        rates->lineEdit()->clear();
        QTest::keyClicks(rates->lineEdit(), "4800");
        QCOMPARE(rig.window->Record().frequency, 4800);
        QTest::keyClicks(rates->lineEdit(), "0");
        QCOMPARE(rig.window->Record().frequency, 48000);
        QCOMPARE(rates->currentText(), QString("48000"));

        rig.window->StartButton_Click();
        const auto sound = ShotSound(480);  // 1 m at 100 m/s, 48000 samples/s
        rig.Record(sound.data());
        rig.Record(sound.data() + kBlockSize);
        QCOMPARE(rig.Text("lblVel(0)"), QString("100.0  m/s "));
        auto* scope = rig.Find<ScopeView>("scope");
        QVERIFY(scope->TrigLineVisible(0));
        QVERIFY(rig.Find<QFrame>("trigline(1)")->isVisible());
        QVERIFY(rig.Find<QFrame>("bufSeparator(4)") != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!scope->TrigLineVisible(0) && !scope->TrigLineVisible(1), 2500);
        rig.window->StartButton_Click();
    }

    void theVolumeScrollBarOnTheMixerScale()
    {
        QCOMPARE(MixerLevel(50, 0, 65535), 32750u);
        QCOMPARE(MixerLevel(100, 0, 65535), 65500u);
        QCOMPARE(MixerLevel(70, 0, 100), 70u);
        QCOMPARE(MixerLevel(50, 0, 0), 0u);  // a control with no range takes 0
        QCOMPARE(MixerPercent(32750, 0, 65535), 50);
        QCOMPARE(MixerPercent(65535, 0, 65535), 100);

        std::string saved = kSettings;
        saved.replace(saved.find("MicVolume=0"), 11, "MicVolume=7");
        Rig rig(saved);
        rig.mixer.levels["mic-1"] = 65535;
        QVERIFY(rig.window->Form_Load());
        auto* volume = rig.Find<QScrollBar>("scrVolume");
        QCOMPARE(volume->value(), 7);  // the saved level is put back on the device
        QCOMPARE(rig.mixer.levels["mic-1"], 655u * 70);
        QCOMPARE(rig.Text("lblVolume"), QString("7"));
        volume->setValue(5);
        QCOMPARE(rig.mixer.levels["mic-1"], 32750u);
        QCOMPARE(rig.Text("lblVolume"), QString("5"));
        rig.mixer.levels["mic-1"] = 19660;  // changed elsewhere
        rig.window->RefreshVolume();
        QCOMPARE(volume->value(), 3);

        rig.Find<QComboBox>("DevicesBox")->setCurrentIndex(1);  // a device without a level control
        QVERIFY(!volume->isEnabled());
        QCOMPARE(volume->toolTip(), QString("This recording device has no volume control"));
        rig.window->DoEnd();
        QVERIFY(rig.mixer.closed);
        QVERIFY(Slurp(rig.dir / "settings.ini").find("MicVolume=3\n") != std::string::npos);  // what the bar shows

        // A level only read from the device is not saved over the file's own.
        Rig untouched;
        untouched.mixer.levels["mic-1"] = 24248;  // 37 %
        QVERIFY(untouched.window->Form_Load());
        QCOMPARE(untouched.Find<QScrollBar>("scrVolume")->value(), 4);
        QCOMPARE(untouched.mixer.levels["mic-1"], 24248u);  // a saved 0 leaves the device's level alone
        untouched.window->DoEnd();
        QVERIFY(Slurp(untouched.dir / "settings.ini").find("MicVolume=0\n") != std::string::npos);
    }

    void theScopeSweepsBehindTheRecording()
    {
        ScopeSweep sweep;
        sweep.Start(1000);
        const double t = 1.0 / 96000 * 1000;
        QVERIFY(!sweep.Next(1000 + 299, t).draw);  // the first 300 ms draw nothing
        SweepStretch s = sweep.Next(1000 + 310, t);
        QVERIFY(s.draw);
        QCOMPARE(s.from, 0);
        QCOMPARE(s.to, 960);
        sweep.Drawn(s);
        s = sweep.Next(1000 + 320, t);
        QCOMPARE(s.from, 960);
        QCOMPARE(s.oldCursor, 960);
        sweep.Drawn(s);
        s = sweep.Next(1000 + 300 + 1500 + 5, t);  // past the right edge
        QCOMPARE(s.from, 0);
        QCOMPARE(s.to, 480 + 1);
        QCOMPARE(sweep.DrawStartTime(), RoundToInt32(1000 + 1805 - 300.0));
        QCOMPARE(ScopeStep(643), 224);
        sweep.Start(9000);  // a new recording sweeps from the left edge again
        QCOMPARE(sweep.Next(9000 + 310, t).from, 0);

        // While recording the window's timer draws the trace with the panel open.
        Rig rig;
        QVERIFY(rig.window->Form_Load());
        rig.window->cmdSettings_Click();
        rig.window->StartButton_Click();
        rig.clock.ms += 400;
        rig.window->DrawTimer_Timer();
        const QImage& picture = rig.Find<ScopeView>("scope")->Picture();
        bool green = false;
        for (int x = 0; x < 40 && !green; ++x) {
            for (int y = 0; y < picture.height(); ++y) green = green || picture.pixelColor(x, y) == QColor(0x11, 0xAA, 0x11);
        }
        QVERIFY(green);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
