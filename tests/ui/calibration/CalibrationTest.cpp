// The calibration shot on the fake clock: countdown texts, the recording
// and the analysis window, and every way of leaving early.
#include <QtTest>

#include "AnalysisWindow.h"
#include "CalibrationWindow.h"
#include "MainWindow.h"
#include "support/MainRig.h"

using namespace quorvel;
using namespace quorvel::test_support;

namespace {

struct Shot {
    Rig rig;
    QStringList seconds;      // every text of the seconds display, in order
    QStringList hundredths;
    CalibrationWindow* window = nullptr;

    explicit Shot(const std::string& settings = kSettings) : rig(settings)
    {
        rig.onYield = [this] {
            const QString big = Label("lblBigTime");
            if (seconds.isEmpty() || seconds.back() != big) seconds << big;
            const QString small = Label("lblSmallTime");
            if (hundredths.isEmpty() || hundredths.back() != small) hundredths << small;
        };
        rig.window->cmdTestShot_Click();
        window = &rig.window->Hosts().Calibration();
    }
    QString Label(const char* name) const { return window ? window->findChild<QLabel*>(name)->text() : QString(); }
    void SetSeconds(int s) { window->findChild<QScrollBar*>("scrTimer")->setValue(-s); }
};

}  // namespace

class CalibrationTest : public QObject {
    Q_OBJECT
private slots:
    void aCountdownThenFireThenTheAnalysis()
    {
        Shot shot;
        QVERIFY(shot.window->isVisible());
        QVERIFY(!shot.rig.window->isEnabled());
        QCOMPARE(shot.window->windowTitle(), QString("Calibration Shot"));
        QVERIFY(shot.Label("Label1").endsWith("\nAfter countdown you have 1.5 seconds to fire."));
        QCOMPARE(shot.Label("lblBigTime"), QString("10"));
        // The upper arrow and the Up key give more time, the lower arrow less.
        auto* seconds = shot.window->findChild<QScrollBar*>("scrTimer");
        seconds->triggerAction(QAbstractSlider::SliderSingleStepSub);  // what the upper arrow does
        QCOMPARE(shot.Label("lblBigTime"), QString("11"));
        QTest::keyClick(seconds, Qt::Key_Up);
        QCOMPARE(shot.window->Seconds(), 12);
        seconds->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(shot.Label("lblBigTime"), QString("11"));
        shot.SetSeconds(3);
        QCOMPARE(shot.Label("lblBigTime"), QString("3"));
        const double before = shot.rig.clock.ms;
        shot.window->cmdStart_Click(0);
        QCOMPARE(shot.seconds.mid(0, 3), (QStringList{"02", "01", "00"}));
        QCOMPARE(shot.hundredths.mid(0, 10), (QStringList{":00", ":90", ":80", ":70", ":60", ":50", ":40", ":30", ":20", ":10"}));
        QVERIFY(shot.rig.clock.ms - before >= 3000 + 1500);  // three seconds, then 1.5 s of recording
        QCOMPARE(shot.rig.device.inner.openCount, 1);
        QVERIFY(!shot.rig.device.inner.IsOpen());
        QVERIFY(shot.rig.window->Hosts().AnalysisVisible());
        QCOMPARE(shot.rig.Text("cmdAnalyze"), QString(" << &Analyze"));
        QVERIFY(!shot.window->isVisible());
        QVERIFY(shot.window->findChild<QPushButton*>("cmdStart(0)")->isEnabled());
        QVERIFY(!shot.window->findChild<QLabel*>("lblFire")->isVisible());
        // The analysis window is in front; closing it gives the main window back.
        QVERIFY(!shot.rig.window->isEnabled());
        shot.rig.window->Hosts().Analysis().mnuFile_Click(3);
        QVERIFY(shot.rig.window->isEnabled());
    }

    // A zero countdown still runs one second; "FIRE" shows while recording;
    // a second calibration shot cannot start meanwhile.
    void theFireShowsWhileRecordingAndASecondShotWaits()
    {
        Shot shot;
        bool fireWhileRecording = false;
        bool secondOpened = false;
        shot.rig.onYield = [&] {
            if (shot.rig.window->Recording().Session().Engine().Recording()) {
                fireWhileRecording = fireWhileRecording || shot.window->findChild<QLabel*>("lblFire")->isVisible();
            } else if (!secondOpened && shot.rig.clock.ms > 50500) {
                secondOpened = true;
                shot.rig.window->cmdTestShot_Click();  // ignored while counting
            }
            const QString big = shot.Label("lblBigTime");
            if (shot.seconds.isEmpty() || shot.seconds.back() != big) shot.seconds << big;
        };
        shot.SetSeconds(0);
        shot.window->cmdStart_Click(0);
        QVERIFY(fireWhileRecording && secondOpened);
        QVERIFY(shot.seconds.contains("-01"));
        QCOMPARE(shot.rig.device.inner.openCount, 1);
    }

    // A shot fired during the calibration recording with volumes that miss
    // it: Apply puts the suggested ones into the main window, and the
    // analysis window finds the shot at its onsets with them.
    void theSuggestedVolumesFindTheCalibrationShot()
    {
        Shot shot(SettingsWith({{"MuzzleVolume=60", "MuzzleVolume=127"}}));
        const auto sound = Rig::ShotSound(4800);
        int delivered = 0;
        shot.rig.onYield = [&] {
            auto& device = shot.rig.device.inner;
            if (device.IsOpen() && delivered < 4 && device.QueuedCount() > 0 && !shot.rig.window->Recording().Session().Engine().HandOverWaiting()) {
                device.Deliver(std::span<const std::uint8_t>(sound.data() + delivered++ * kBlockSize, kBlockSize));
            }
        };
        shot.SetSeconds(0);
        shot.window->cmdStart_Click(0);
        AnalysisWindow& analysis = shot.rig.window->Hosts().Analysis();
        QVERIFY(!analysis.Model().Found().muzzleFound);
        const LevelAdvice& advice = analysis.Advice().Advice();
        QVERIFY2(advice.Good(), advice.problem.c_str());
        QVERIFY(analysis.findChild<QLabel*>("lblSuggestion")->text().startsWith("Suggested: Muzzle Volume"));
        QTest::mouseClick(analysis.findChild<QPushButton*>("cmdApplySuggestion"), Qt::LeftButton);
        QCOMPARE(shot.rig.Text("txtInfo(7)"), QString::number(advice.muzzleVolume));
        QCOMPARE(shot.rig.Text("txtInfo(3)"), QString::number(advice.impactVolume));
        const RecordingSearch& found = analysis.Model().Found();
        QVERIFY(found.impactFound);
        QCOMPARE(found.impactPos - found.muzzlePos, 4800.0);
        QCOMPARE(static_cast<std::int64_t>(found.muzzlePos), advice.muzzleAt);
        QCOMPARE(shot.rig.window->Settings().Record().MuzzleVolume, advice.muzzleVolume);
    }

    void everyWayOfLeavingEarlyEndsInOrder()
    {
        enum Way { Cancel, CloseBox, ExitCounting, ExitFiring };
        for (const Way way : {Cancel, CloseBox, ExitCounting, ExitFiring}) {
            Shot shot;
            QSignalSpy ended(shot.rig.window.get(), &MainWindow::ended);
            shot.rig.onYield = [&] {
                const bool firing = shot.rig.window->Recording().Session().Engine().Recording();
                if (!shot.window->isVisible() || !ended.isEmpty()) return;
                if (way == ExitFiring ? firing : shot.rig.clock.ms > 50000 + 1200) {
                    if (way == Cancel) QTest::mouseClick(shot.window->findChild<QPushButton*>("cmdStart(1)"), Qt::LeftButton);
                    if (way == CloseBox) shot.window->close();
                    if (way >= ExitCounting) shot.rig.window->DoEnd();
                }
            };
            shot.window->cmdStart_Click(0);
            QVERIFY(!shot.window->isVisible());
            QCOMPARE(shot.rig.device.inner.openCount, way == ExitFiring ? 1 : 0);
            QVERIFY(!shot.rig.device.inner.IsOpen());
            QVERIFY(!shot.rig.window->Hosts().AnalysisVisible());
            QCOMPARE(ended.count(), way >= ExitCounting ? 1 : 0);
            if (way < ExitCounting) QVERIFY2(shot.rig.clock.ms < 50000 + 1300, "a cancelled countdown stops at once");
            if (way < ExitCounting) QVERIFY(shot.rig.window->isEnabled());
            if (way >= ExitCounting) QVERIFY(Slurp(shot.rig.dir / "settings.ini").find("AutoSaveWaveForm=") != std::string::npos);
            QVERIFY2(shot.rig.clock.ms < 50000 + 13000, "the waits gave up");
        }
    }
};

QTEST_MAIN(CalibrationTest)
#include "CalibrationTest.moc"
