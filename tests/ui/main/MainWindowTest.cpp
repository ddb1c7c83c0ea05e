// The main window driven as a shooter would, offscreen, with a fake
// recording device and fake sound-server device list.
#include <QtTest>

#include "AboutText.h"
#include "MainWindow.h"
#include "PanelRules.h"
#include "support/MainRig.h"

using namespace quorvel;
using namespace quorvel::test_support;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpFillsThePanelAndListsTheDevices()
    {
        Rig rig;
        QCOMPARE(rig.window->windowTitle(), QString("Quorvel"));
        QCOMPARE(rig.Mismatch({{"txtInfo(0)", "10"}, {"txtInfo(6)", "5"}, {"txtInfo(1)", "0.547"}, {"txtInfo(7)", "60"},
                               {"txtInfo(3)", "30"}, {"lblInfo(3)", "m"}, {"lblInfo(9)", "m/s"}, {"lblInfo(4)", "g"},
                               {"cmdSettings", "Sett&ings  >>"}, {"lblX1(0)", "|<- 0 ms"}, {"lblX1(1)", "1500 ms ->|"},
                               {"lclCalls", "96000 Hz 8-bit mono.\nDraw Timer:50 ms\n5 x 28800 fixed 300.00 ms buffer(s)\n"
                                            "0.0104 ms resolution"},
                               {"debug2", "Window: T+25.0000 - 200.0000 ms\n                T+ 2400 - 19200 samples"}}),
                 QString());
        auto* devices = rig.Find<QComboBox>("DevicesBox");
        QCOMPARE(devices->count(), 2);  // the line input records none of the rates
        QCOMPARE(devices->itemText(1), QString("USB Mic"));
        auto* rates = rig.Find<QComboBox>("cmbFreq");
        QCOMPARE(rates->count(), 3);
        QCOMPARE(rates->itemText(2), QString("22050"));
        QVERIFY(rig.Find<QCheckBox>("chkSaveExt")->isEnabled());  // autosave is on in the file
        QVERIFY(!rig.Find<QLineEdit>("txtInfo(6)")->isEnabled());
        QVERIFY(rig.Find<QGroupBox>("frmSettings(0)")->isHidden());  // the panel starts hidden
        QCOMPARE(rig.window->size(), QSize(457, 273));
        QVERIFY(rig.dialogs.shown.empty());

        Rig missing("");
        QVERIFY(!missing.loaded);
        QCOMPARE(missing.dialogs.shown.at(0).title, std::string("Error"));
        QCOMPARE(missing.dialogs.shown.at(0).text, (missing.dir / "settings.ini").string() + " not found !!!\nCan't continue");

        Rig garbage("\x01\x02 no settings here");  // the shipped settings, and one message
        QCOMPARE(garbage.dialogs.shown.at(0).title, std::string("Settings"));
        QCOMPARE(garbage.Text("cmbFreq") + garbage.Text("txtInfo(0)"), QString("9600010"));

        Rig noHardware(kSettings, {{"line-0", "Line In", 0}});
        QCOMPARE(noHardware.dialogs.shown.at(0).text, std::string("Cannot detect any suitable recording hardware !\nInitDevices() failed\n") +
                                                           kNoHardwareAdvice);
        QCOMPARE(noHardware.Text("lblX1(1)"), QString("-1000 ms"));
        // A microphone plugged in later finishes what start-up could not.
        noHardware.inputs.devices.push_back({"late", "Late Mic", kRate96000});
        noHardware.inputs.changed();
        QCOMPARE(noHardware.Text("lblX1(1)"), QString("1500 ms ->|"));
    }

    void aShotFillsTheMeasuringLabelsAndMarksTheTriggers()
    {
        Rig rig;
        QTest::mouseClick(rig.Find<QPushButton>("StartButton"), Qt::LeftButton);
        QCOMPARE(rig.Text("StartButton"), QString("S&top"));
        QCOMPARE(rig.device.inner.openedRate, 96000);
        for (int i = 0; i < 9; ++i) QVERIFY(!rig.Find<QLineEdit>(QString("txtInfo(%1)").arg(i))->isEnabled());
        QVERIFY(rig.Find<QLabel>("lclCalls")->isHidden());

        rig.Shoot(4800);
        QCOMPARE(rig.Mismatch({{"lblVel(0)", "200.0  m/s "}, {"lblVel(1)", "4800  = 50.0000 ms"}, {"lblVel(2)", "0.0104 ms"},
                               {"lblVel(3)", "200.04 - 199.96 m/s "}, {"lblVel(5)", "1"}, {"lblPBUF", "2"}}),
                 QString());
        // The results window opened with the recording and took the shot.
        const auto readout = [&](int i) { return rig.window->Hosts().Results().findChild<QLabel*>(QString("lblVelo(%1)").arg(i))->text(); };
        QCOMPARE(readout(0) + readout(1) + readout(3), QString("210.0012.1001"));
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
        rig.clock.days = 46362.5;
        rig.window->StartButton_Click();
        rig.Shoot(4800);
        rig.window->Hosts().Results().close();
        QTRY_VERIFY(!rig.window->Hosts().ResultsOpen());
        // A miss and the next shot load it again, with fresh readouts but the same string.
        rig.clock.ms += 1000;
        rig.Shoot(0);
        QVERIFY(rig.window->Hosts().ResultsOpen());
        auto* velocity = rig.window->Hosts().Results().findChild<QLabel*>("lblVelo(0)");
        QCOMPARE(velocity->text(), QString("###.##"));
        QCOMPARE(rig.window->Hosts().Results().findChild<QLabel*>("lblMistage")->text(), QString("no impact"));
        rig.clock.ms += 1000;
        rig.Shoot(4800);
        QCOMPARE(rig.window->Router().String().Count(), 2);
        QCOMPARE(velocity->text(), QString("210.0"));
        QCOMPARE(rig.window->Hosts().Results().findChild<QLabel*>("lblVelo(3)")->text(), QString("002"));
        // The Delete key sets the newest shot aside as a flyer.
        QTest::keyClick(&rig.window->Hosts().Results(), Qt::Key_Delete);
        QCOMPARE(rig.window->Hosts().Results().findChild<QLabel*>("lblVelo(2)")->text(), QString("210.0"));
        // A click on the shot counter starts the numbering again, and a new
        // string, even in the same second.
        const auto first = rig.window->Router().Recorder()->Current().id;
        QTest::mouseClick(rig.window->Hosts().Results().findChild<QLabel*>("lblVelo(3)"), Qt::LeftButton);
        QCOMPARE(rig.window->Router().Count(), 0);
        QVERIFY(rig.window->Router().Recorder()->Current().id != first);
        rig.clock.ms += 1000;
        rig.Shoot(4800);
        rig.window->StartButton_Click();
        // Every shot and miss is in the library, as any SQLite tool reads it.
        QTest::mouseClick(rig.Find<QLabel>("lblLibrary"), Qt::LeftButton);
        QVERIFY(rig.window->Library().Window() != nullptr);
        rig.window->DoEnd();
        QCOMPARE(SqliteQuery(rig.dir / "library.sqlite", "SELECT count(DISTINCT string_id), "
                             "group_concat(ifnull(number, '-') || kind || excluded, ' ') FROM shots"),
                 std::string("2|1shot0 -no impact0 2shot1 1shot0\n"));
    }

    void aFreezeStopsRecordingAndKeepsTheTriggerLines()
    {
        Rig rig;
        rig.Find<QCheckBox>("chkFreeze(0)")->setChecked(true);
        rig.window->StartButton_Click();
        const auto sound = Rig::ShotSound(5000);
        for (int k = 0; k < 3; ++k) rig.Record(sound.data() + k * kBlockSize);
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QVERIFY(!rig.device.inner.IsOpen());
        QVERIFY(rig.Find<ScopeView>("scope")->TrigLineVisible(0));
        QVERIFY(!rig.Find<QTimer>("tmrRemoveTrigLines")->isActive());
        QVERIFY(rig.Find<QCheckBox>("chkFreeze(0)")->styleSheet().contains("255, 0, 0"));
        QCOMPARE(rig.window->Recording().Session().Engine().Waveform()[kRingSamples - 1], rig.window->Recording().Session().Engine().Ring()[BlockStart(3) + kBlockSize - 1]);
    }

    void deviceProblemsAreReported()
    {
        Rig rig;
        rig.device.inner.openResult = 4;
        rig.window->StartButton_Click();
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QCOMPARE(rig.dialogs.shown.at(0).title, std::string("H/W error"));
        QCOMPARE(rig.dialogs.shown.at(0).text, "Cannot open wavein device for recording!\nWaveInOpen() failed with errorcode: 4\n" +
                                                   OpenFailureAdvice(4, 96000));

        rig.device.inner.openResult = 0;
        rig.window->StartButton_Click();
        rig.Shoot(4800);
        rig.device.Fail("the recording device is no longer available");
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QCOMPARE(rig.dialogs.shown.at(1).text, std::string("Recording stopped: the recording device is no longer available.\n"
                                                            "The shots measured so far are kept."));
        QCOMPARE(rig.Text("lblVel(5)"), QString("1"));

        // A device that goes quiet says nothing: three blocks' time (at least 2 s) without one stops it.
        rig.window->StartButton_Click();
        rig.clock.ms += 1900;
        QTest::qWait(600);
        QCOMPARE(rig.Text("StartButton"), QString("S&top"));
        rig.clock.ms += 200;
        QTRY_COMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QCOMPARE(rig.dialogs.shown.at(2).text, std::string("Recording stopped: the recording device stopped delivering sound.\n"
                                                            "The shots measured so far are kept."));
    }

    void leavingAFieldCorrectsItSilently()
    {
        Rig rig;
        rig.window->cmdSettings_Click();
        const std::tuple<const char*, const char*, const char*> typed[] = {
            {"txtInfo(0)", "0.5", "1"},     {"txtInfo(4)", "350", "350"},   {"txtInfo(5)", "300", "350"},
            {"txtInfo(3)", "200", "127"},   {"txtInfo(3)", "-5", "0"},      {"txtInfo(3)", "100.5", "100.5"},
            {"txtInfo(2)", "0", "1"},       {"txtInfo(2)", "150", "100"},   {"txtInfo(8)", "-3.5", "-3.5"},
            {"txtInfo(1)", "abc", "0.01"},
        };
        for (const auto& [field, text, shown] : typed) {
            rig.Type(field, text);
            QCOMPARE(rig.Text(field), QString(shown));
        }
        QCOMPARE(rig.Text("txtInfo(6)"), QString("0.5"));
        QCOMPARE(rig.window->Settings().Record().distance, 1.0);
        QCOMPARE(rig.window->Settings().Record().ImpactVolume, std::int16_t{100});
        QCOMPARE(rig.window->Settings().Record().offset, -3.5);
        // 1 m between 350 and 350 m/s.
        QCOMPARE(rig.Text("debug2"), QString("Window: T+2.8571 - 2.8571 ms\n                T+ 274 - 274 samples"));
    }

    void switchingUnitsAndBack()
    {
        Rig rig;
        // The labels follow the units; the values' conversion is the settings' own test.
        rig.Find<QRadioButton>("optUnits(1)")->setChecked(true);
        QCOMPARE(rig.Mismatch({{"txtInfo(0)", "32.8"}, {"txtInfo(6)", "16.404"}, {"lblInfo(13)", "feet"},
                               {"lblInfo(21)", "fps"}, {"lblInfo(4)", "grain"}}),
                 QString());
        // Leaving the fields as shown keeps the values they were switched from.
        rig.Type("txtInfo(0)", "32.8");
        rig.Type("txtInfo(1)", "8.4");
        QCOMPARE(rig.window->Settings().Record().distance, 10 * FeetPerMetre);
        QCOMPARE(rig.window->Settings().Record().pelletmass, 0.547 * GrainsPerGram);
        rig.Find<QRadioButton>("optUnits(0)")->setChecked(true);
        QCOMPARE(rig.Mismatch({{"txtInfo(0)", "10.0"}, {"txtInfo(5)", "400"}, {"lblInfo(3)", "m"}}), QString());

        // Loading shows the file as written: no conversion, imperial labels.
        Rig imperial(SettingsWith({{"units=0", "units=1"}, {"AutoSaveBasic=1", "AutoSaveBasic=0\nAutoSaveExtended=1"},
                                   {"deviceNum=0", "deviceNum=-4"}}));
        QCOMPARE(imperial.Mismatch({{"txtInfo(0)", "10"}, {"txtInfo(5)", "400"}, {"lblInfo(3)", "feet"},
                                    {"lblInfo(11)", "fps"}, {"lblInfo(4)", "grain"}}),
                 QString());
        QVERIFY(imperial.Find<QRadioButton>("optUnits(1)")->isChecked());
        auto* extended = imperial.Find<QCheckBox>("chkSaveExt");
        QVERIFY(extended->isChecked() && !extended->isEnabled());  // set after the autosave box disabled it
        QCOMPARE(imperial.Find<QComboBox>("DevicesBox")->currentIndex(), 0);
    }

    void aChangeOfRateOrDeviceWhileRecordingStartsAgainOnTheNewChoice()
    {
        Rig rig;
        rig.window->StartButton_Click();
        rig.Shoot(4800);
        // The wheel over the rate box: recording goes on at 44100, where 4800 samples are 91.9 m/s.
        rig.Find<QComboBox>("cmbFreq")->setCurrentIndex(1);
        QCOMPARE(rig.device.inner.openedRate, 44100);
        QCOMPARE(rig.device.inner.openCount, 2);
        QCOMPARE(rig.Text("StartButton"), QString("S&top"));
        rig.clock.ms += 1000;
        rig.Shoot(4800);
        QCOMPARE(rig.Text("lblVel(0)"), QString("91.9  m/s "));
        QCOMPARE(rig.window->Router().String().Count(), 2);
        // Another device: recording follows it, at that device's best rate.
        rig.Find<QComboBox>("DevicesBox")->setCurrentIndex(1);
        QCOMPARE(rig.device.inner.openCount, 3);
        QCOMPARE(rig.device.inner.openedDevice, 1);
        QCOMPARE(rig.device.inner.openedRate, 44100);
        // A rate the device refuses stops the recording with the message of a failed start.
        rig.device.inner.openResult = kFormatNotSupported;
        rig.Find<QComboBox>("cmbFreq")->setCurrentIndex(1);
        QCOMPARE(rig.Text("StartButton"), QString("&Start >>"));
        QCOMPARE(rig.dialogs.shown.at(0).text, std::string("Cannot open wavein device for recording!\n"
                                                            "WaveInOpen() failed with errorcode: 32\n"
                                                            "The device does not record 8-bit mono at 22050 Hz: choose one of "
                                                            "the rates it offers under Settings >> Hardware."));
    }

    void exitWritesWhatThePanelShows()
    {
        Rig rig;
        rig.Type("txtInfo(8)", "1.5");
        rig.Find<QRadioButton>("optUnits(1)")->setChecked(true);
        QSignalSpy ended(rig.window.get(), &MainWindow::ended);
        QTest::mouseClick(rig.Find<QPushButton>("cmdExit"), Qt::LeftButton);
        QCOMPARE(ended.count(), 1);
        const std::string saved = Slurp(rig.dir / "settings.ini");
        for (const char* line : {"distance=32.8\n", "offset=4.9\n", "units=1\n", "AutoSaveBasic=1\n"}) {
            QVERIFY2(saved.find(line) != std::string::npos, line);
        }
        rig.window->close();  // the close box after Exit does not save twice
        QCOMPARE(ended.count(), 1);

        Rig unwritable;
        fs::remove_all(unwritable.dir);
        unwritable.window->close();
        QCOMPARE(unwritable.dialogs.shown.at(0).title, std::string("Error"));
        QVERIFY(unwritable.dialogs.shown.at(0).text.find((unwritable.dir / "settings.ini").string()) != std::string::npos);
    }

    void switchesAndCredits()
    {
        Rig rig;
        auto* autosave = rig.Find<QCheckBox>("chkAutosave");
        auto* extended = rig.Find<QCheckBox>("chkSaveExt");
        extended->setChecked(true);
        autosave->setChecked(false);
        QVERIFY(!extended->isEnabled() && !extended->isChecked());
        QVERIFY(!rig.Find<QCheckBox>("chkSaveWaveform")->isEnabled());
        autosave->setChecked(true);
        QVERIFY(extended->isEnabled() && !extended->isChecked());

        // The contact label opens the About box, the other the README shipped with the program.
        QTest::mouseClick(rig.Find<QLabel>("lblCredit(0)"), Qt::LeftButton);
        QCOMPARE(rig.dialogs.informed.size(), std::size_t{1});
        const std::string about = rig.dialogs.informed[0].text;
        for (const std::string& part : {std::string("Quorvel ") + QuorvelVersion(), std::string("Licence"),
                                       (rig.dir / "settings.ini").string(), (rig.dir / "shots.txt").string(),
                                       (rig.dir / "library.sqlite").string(), std::string(QUORVEL_BUGS)}) {
            QVERIFY2(about.find(part) != std::string::npos, part.c_str());
        }
        QTest::mouseClick(rig.Find<QLabel>("lblCredit(1)"), Qt::LeftButton);
        QCOMPARE(rig.shell.opened, std::vector<std::string>{"file://" + (rig.dir / "README.md").string()});
        QVERIFY(rig.dialogs.shown.empty());
        rig.shell.opens = false;  // no xdg-open
        QTest::mouseClick(rig.Find<QLabel>("lblCredit(1)"), Qt::LeftButton);
        QVERIFY(rig.dialogs.shown.at(0).text.find((rig.dir / "README.md").string()) != std::string::npos);
        fs::remove(rig.dir / "README.md");
        QTest::mouseClick(rig.Find<QLabel>("lblCredit(1)"), Qt::LeftButton);
        QCOMPARE(rig.shell.opened.size(), std::size_t{2});
        QVERIFY(rig.dialogs.shown.at(1).text.find("README") != std::string::npos);

        rig.window->cmdSettings_Click();
        QVERIFY(!rig.Find<QGroupBox>("frmSettings(0)")->isHidden());
        QCOMPARE(rig.Text("cmdSettings"), QString("  <<  Sett&ings"));
        QCOMPARE(rig.window->size(), QSize(679, 693));
        QCOMPARE(rig.Find<QFrame>("Line1")->y(), 693 - 80);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
