// A shooting session in an echoing garage, played in real time into a FIFO
// microphone of the tests' own sound server: the onset method, set up as a
// shooter leaves it after the calibration shot, stores every shot within 1 %
// of its true velocity. Run by with-sound-server.
#include <QtTest>

#include <QScrollBar>

#include "Session.h"
#include "support/LiveSound.h"

using namespace quorvel;
using namespace quorvel::test_support;

namespace {

constexpr int kRate = 48000;  // the FIFO microphone's own rate: no resampler between

range::Scene Garage()
{
    range::Scene s;
    s.name = "garage";
    s.size = {8, 3.5, 2.5};
    s.reflection = {0.85, 0.85, 0.85, 0.85, 0.92, 0.8};
    s.maxOrder = 3;
    s.rt60 = 0.5;
    s.gun = {0.5, 1.5, 1.2};
    s.distance = 7;
    s.micSide = 0.4;
    s.impactDb = 8;
    s.rate = kRate;
    s.seed = 21;
    s.gunSeed = 21 * 31 + 5;
    s.spacingS = 1.5;
    return s;
}

// The settings a shooter starts from at this range: its distance, the onset method.
std::string SettingsFor(const range::Scene& scene)
{
    return SettingsWith({{"distance=10", "distance=" + std::to_string(scene.distance)}, {"frequency=96000", "frequency=48000"}}) +
           "[measuring]\nmethod=onset\n";
}

std::vector<std::int16_t> Sixteen(const std::vector<std::uint8_t>& samples)
{
    std::vector<std::int16_t> out;
    for (std::uint8_t u : samples) out.push_back(static_cast<std::int16_t>((u - 128) * 256));
    return out;
}

}  // namespace

class EchoingRangeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("QUORVEL_PULSE")) QSKIP("needs the private sound server of tests/platform/with-sound-server");
    }

    // The shooter's way: the calibration shot (its volumes applied, its
    // report and echoes learnt), then the string.
    void anEchoingGarageSessionIsStoredWithinOnePercent()
    {
        const range::Scene scene = Garage();
        const range::Session session = range::MakeSession(scene, 6);
        LiveRig rig(SettingsFor(scene));
        QVERIFY2(rig.Choose("mic48000", kRate), "the FIFO microphone is listed");
        QCOMPARE(rig.Text("cmbMethod"), QString("Onset"));
        PacedWriter writer(Runtime() + "/mic48000.fifo", kRate, {});
        QTest::qWait(300);
        QVERIFY(writer.Opened());

        rig.window->cmdTestShot_Click();
        CalibrationWindow& calibration = rig.window->Hosts().Calibration();
        calibration.findChild<QScrollBar*>("scrTimer")->setValue(-1);
        calibration.Form_Activate();
        QTimer fire;  // the shot goes off once the calibration records
        connect(&fire, &QTimer::timeout, this, [&] {
            if (!rig.window->Recording().Session().Recording()) return;
            writer.Play(Sixteen(session.calibration.samples));
            fire.stop();
        });
        fire.start(5);
        calibration.cmdStart_Click(0);
        QVERIFY(rig.window->Hosts().AnalysisVisible());
        AnalysisWindow& analysis = rig.window->Hosts().Analysis();
        auto* apply = analysis.findChild<QPushButton*>("cmdApplySuggestion");
        QVERIFY2(apply->isEnabled(), qPrintable(analysis.findChild<QLabel*>("lblSuggestion")->toolTip()));
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!rig.window->Settings().Learnt().empty());
        const int muzzleVolume = rig.window->Settings().Record().MuzzleVolume;
        const int impactVolume = rig.window->Settings().Record().ImpactVolume;
        analysis.mnuFile_Click(3);

        rig.window->StartButton_Click();
        writer.Play(Sixteen(session.string.samples));
        QTRY_VERIFY_WITH_TIMEOUT(writer.Played(), 60000);
        QTest::qWait(3000);  // the last blocks reach the window
        rig.window->StartButton_Click();
        const int routed = rig.window->Router().String().Count();
        rig.window->DoEnd();

        // The calibration shot is the string's first, as it always was.
        std::vector<range::ShotTruth> truth = session.calibration.shots;
        truth.insert(truth.end(), session.string.shots.begin(), session.string.shots.end());
        QString truths;
        // The onsets show whether the sound server let through what was
        // played: the true spacing of the reports against the stored one.
        for (const range::ShotTruth& t : truth) {
            truths += QString(" %1 m/s (%2 dB) at %3+%4;").arg(t.velocity).arg(t.snrDb).arg(t.muzzle, 0, 'f', 1).arg(t.impact - t.muzzle, 0, 'f', 1);
        }
        const std::string all = SqliteQuery(rig.dir / "library.sqlite", "SELECT kind, average_velocity, method FROM shots ORDER BY id");
        const std::string onsets = SqliteQuery(rig.dir / "library.sqlite", "SELECT muzzle_onset, impact_onset - muzzle_onset FROM shots ORDER BY id");
        const QString table = QString("volumes %1/%2, %3 routed, stored:\n").arg(muzzleVolume).arg(impactVolume).arg(routed) +
                              QString::fromStdString(all) + "onsets:\n" + QString::fromStdString(onsets) + "true:" + truths;
        std::istringstream lines(all);
        std::vector<double> velocities;
        for (std::string line; std::getline(lines, line);) {
            QVERIFY2(line.starts_with("shot|") && line.ends_with("|onset"), qPrintable(table));
            velocities.push_back(std::stod(line.substr(5)));
        }
        QVERIFY2(velocities.size() == truth.size(), qPrintable(table));
        for (std::size_t k = 0; k < velocities.size(); ++k) {
            QVERIFY2(std::abs(velocities[k] / truth[k].velocity - 1) <= 0.01, qPrintable(table));
        }
        QVERIFY(rig.dialogs.shown.empty());
    }
};

QTEST_MAIN(EchoingRangeTest)
#include "EchoingRangeTest.moc"
