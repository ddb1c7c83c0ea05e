// The calibration shot on the fake clock: countdown texts, the recording
// and the analysis window, and every way of leaving early.
#include <QtTest>

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

    Shot()
    {
        rig.window->Form_Load();
        rig.onYield = [this] {
            const QString big = Label("lblBigTime");
            if (seconds.isEmpty() || seconds.back() != big) seconds << big;
            const QString small = Label("lblSmallTime");
            if (hundredths.isEmpty() || hundredths.back() != small) hundredths << small;
        };
        rig.window->cmdTestShot_Click();
        window = &rig.window->Calibration();
    }
    QString Label(const char* name) const { return window ? window->findChild<QLabel*>(name)->text() : QString(); }
    void SetSeconds(int s) { window->findChild<QScrollBar*>("scrTimer")->setValue(s); }
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
        shot.SetSeconds(3);
        QCOMPARE(shot.Label("lblBigTime"), QString("3"));
        const double before = shot.rig.clock.ms;
        shot.window->cmdStart_Click(0);
        QCOMPARE(shot.seconds.mid(0, 3), (QStringList{"02", "01", "00"}));
        QCOMPARE(shot.hundredths.mid(0, 10), (QStringList{":00", ":90", ":80", ":70", ":60", ":50", ":40", ":30", ":20", ":10"}));
        QVERIFY(shot.rig.clock.ms - before >= 3000 + 1500);  // three seconds, then 1.5 s of recording
        QCOMPARE(shot.rig.device.inner.openCount, 1);
        QVERIFY(!shot.rig.device.inner.IsOpen());
        QVERIFY(shot.rig.window->AnalysisVisible());
        QCOMPARE(shot.rig.Text("cmdAnalyze"), QString(" << &Analyze"));
        QVERIFY(!shot.window->isVisible());
        QVERIFY(shot.window->findChild<QPushButton*>("cmdStart(0)")->isEnabled());
        QVERIFY(!shot.window->findChild<QLabel*>("lblFire")->isVisible());
        // The analysis window is in front; closing it gives the main window back.
        QVERIFY(!shot.rig.window->isEnabled());
        shot.rig.window->Analysis().mnuFile_Click(3);
        QVERIFY(shot.rig.window->isEnabled());
    }

    void theFireShowsWhileRecordingAndASecondShotWaits()
    {
        Shot shot;
        bool fireWhileRecording = false;
        bool secondOpened = false;
        shot.rig.onYield = [&] {
            if (shot.rig.window->Engine().Recording()) {
                fireWhileRecording = fireWhileRecording || shot.window->findChild<QLabel*>("lblFire")->isVisible();
            } else if (!secondOpened && shot.rig.clock.ms > 50500) {
                secondOpened = true;
                shot.rig.window->cmdTestShot_Click();  // ignored while counting
            }
        };
        shot.SetSeconds(1);
        shot.window->cmdStart_Click(0);
        QVERIFY(fireWhileRecording);
        QVERIFY(secondOpened);
        QCOMPARE(shot.rig.device.inner.openCount, 1);
    }

    void aZeroCountdownStillRunsOneSecond()
    {
        Shot shot;
        shot.SetSeconds(0);
        shot.window->cmdStart_Click(0);
        QVERIFY(shot.seconds.contains("-01"));
        QCOMPARE(shot.rig.device.inner.openCount, 1);
    }

    void cancelAndTheCloseBoxMakeNoRecording()
    {
        for (int way = 0; way < 2; ++way) {
            Shot shot;
            shot.rig.onYield = [&shot, way] {
                if (shot.rig.clock.ms > 50000 + 1200 && shot.window->isVisible()) {
                    if (way == 0) {
                        QTest::mouseClick(shot.window->findChild<QPushButton*>("cmdStart(1)"), Qt::LeftButton);
                    } else {
                        shot.window->close();
                    }
                }
            };
            shot.window->cmdStart_Click(0);
            QVERIFY(!shot.window->isVisible());
            QCOMPARE(shot.rig.device.inner.openCount, 0);
            QVERIFY(!shot.rig.window->AnalysisVisible());
            QVERIFY(shot.rig.window->isEnabled());
            QVERIFY2(shot.rig.clock.ms < 50000 + 1300, "a cancelled countdown stops at once");
        }
    }

    void exitDuringTheCountdownOrTheFiringEndsInOrder()
    {
        for (const bool duringFiring : {false, true}) {
            Shot shot;
            QSignalSpy ended(shot.rig.window.get(), &MainWindow::ended);
            shot.rig.onYield = [&] {
                const bool now = duringFiring ? shot.rig.window->Engine().Recording() : shot.rig.clock.ms > 52000;
                if (now && ended.isEmpty()) shot.rig.window->DoEnd();
            };
            shot.window->cmdStart_Click(0);
            QCOMPARE(ended.count(), 1);
            QCOMPARE(shot.rig.device.inner.openCount, duringFiring ? 1 : 0);
            QVERIFY(!shot.rig.device.inner.IsOpen());
            QVERIFY(!shot.rig.window->AnalysisVisible());
            QVERIFY(Slurp(shot.rig.dir / "settings.ini").find("AutoSaveWaveForm=") != std::string::npos);
            QVERIFY2(shot.rig.clock.ms < 50000 + 13000, "the waits gave up");
        }
    }
};

QTEST_MAIN(CalibrationTest)
#include "CalibrationTest.moc"
