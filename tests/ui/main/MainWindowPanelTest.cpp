// The main window's panel as a shooter handles it, offscreen, with a fake
// recording device: the Enter key in a field, the volume scroll bar on the
// mixer's scale, the scope sweeping behind the recording.
#include <QtTest>

#include "MainWindow.h"
#include "support/MainRig.h"

using namespace quorvel;
using namespace quorvel::test_support;

class MainWindowPanelTest : public QObject {
    Q_OBJECT
private slots:
    void enterKeepsTheFocusAndTheTimerTakesTheLinesAway()
    {
        Rig rig;
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

        rig.window->StartButton_Click();
        rig.Shoot(960);  // 1 m at 100 m/s
        QCOMPARE(rig.Text("lblVel(0)"), QString("100.0  m/s "));
        QVERIFY(rig.Find<QFrame>("trigline(1)")->isVisible());
        auto* scope = rig.Find<ScopeView>("scope");
        QTRY_VERIFY_WITH_TIMEOUT(!scope->TrigLineVisible(0) && !scope->TrigLineVisible(1), 2500);
        rig.window->StartButton_Click();
    }

    void theVolumeScrollBarOnTheMixerScale()
    {
        const std::tuple<int, std::uint32_t, std::uint32_t> levels[] = {{50, 65535, 32750}, {100, 65535, 65500}, {70, 100, 70},
                                                                        {50, 0, 0}};
        for (const auto& [percent, maximum, level] : levels) QCOMPARE(MixerLevel(percent, 0, maximum), level);
        QCOMPARE(MixerPercent(32750, 0, 65535), 50);
        QCOMPARE(MixerPercent(65535, 0, 65535), 100);

        Rig rig(SettingsWith({{"MicVolume=0", "MicVolume=7\nMicVolumeDevice=mic-1"}}), Rig::DefaultDevices(),
                [](Rig& r) { r.mixer.levels["mic-1"] = 65535; });
        auto* volume = rig.Find<QScrollBar>("scrVolume");
        QCOMPARE(volume->value(), 7);  // the saved level is put back on the device
        QCOMPARE(rig.mixer.levels["mic-1"], 655u * 70);
        QCOMPARE(rig.Text("lblVolume"), QString("7"));
        // A click in the track beside the thumb moves one step, not from 7 to 0.
        volume->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(volume->value(), 6);
        volume->setValue(5);
        QCOMPARE(rig.mixer.levels["mic-1"], 32750u);
        QCOMPARE(rig.Text("lblVolume"), QString("5"));
        rig.mixer.levels["mic-1"] = 19660;  // changed elsewhere
        rig.window->Hardware().RefreshVolume();
        QCOMPARE(volume->value(), 3);

        rig.Find<QComboBox>("DevicesBox")->setCurrentIndex(1);  // a device without a level control
        QVERIFY(!volume->isEnabled());
        QCOMPARE(volume->toolTip(), QString("This recording device has no volume control"));
        rig.window->DoEnd();
        QVERIFY(rig.mixer.closed);
        QVERIFY(Slurp(rig.dir / "settings.ini").find("MicVolume=3\nMicVolumeDevice=mic-1\n") != std::string::npos);  // what the bar shows, and whose

        // A level only read from the device is not saved over the file's own.
        Rig untouched(kSettings, Rig::DefaultDevices(), [](Rig& r) { r.mixer.levels["mic-1"] = 24248; });  // 37 %
        QCOMPARE(untouched.Find<QScrollBar>("scrVolume")->value(), 4);
        QCOMPARE(untouched.mixer.levels["mic-1"], 24248u);  // a saved 0 leaves the device's level alone
        untouched.window->DoEnd();
        QVERIFY(Slurp(untouched.dir / "settings.ini").find("MicVolume=0\n") != std::string::npos);
    }

    void theScopeSweepsBehindTheRecording()
    {
        // Ticks (ms after the start) and the stretch each draws; past the right edge it starts again at the left.
        ScopeSweep sweep;
        sweep.Start(1000);
        const std::tuple<double, bool, int, int> ticks[] = {{299, false, 0, 0}, {310, true, 0, 960}, {320, true, 960, 1920},
                                                            {1805, true, 0, 481}};
        for (const auto& [ms, draw, from, to] : ticks) {
            const SweepStretch s = sweep.Next(1000 + ms, 1.0 / 96);
            QCOMPARE(s.draw, draw);
            if (!draw) continue;
            QCOMPARE(s.from, from);
            QCOMPARE(s.to, to);
            QCOMPARE(s.oldCursor, sweep.CursorX());
            sweep.Drawn(s);
        }
        QCOMPARE(sweep.DrawStartTime(), RoundToInt32(1000 + 1805 - 300.0));
        QCOMPARE(ScopeStep(643), 224);
        sweep.Start(9000);  // a new recording sweeps from the left edge again
        QCOMPARE(sweep.Next(9000 + 310, 1.0 / 96).from, 0);

        // While recording the window's timer draws the trace with the panel open.
        Rig rig;
        rig.window->cmdSettings_Click();
        rig.window->StartButton_Click();
        rig.clock.ms += 400;
        rig.window->Scope().DrawTimer_Timer();
        const QImage& picture = rig.Find<ScopeView>("scope")->Picture();
        bool green = false;
        for (int x = 0; x < 40 && !green; ++x) {
            for (int y = 0; y < picture.height(); ++y) green = green || picture.pixelColor(x, y) == QColor(0x11, 0xAA, 0x11);
        }
        QVERIFY(green);
    }
};

QTEST_MAIN(MainWindowPanelTest)
#include "MainWindowPanelTest.moc"
