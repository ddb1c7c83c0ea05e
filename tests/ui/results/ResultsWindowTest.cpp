// The results window offscreen: shots and misses reach the readouts, the
// layout keeps every readout readable at any height, the chart has a point
// per shot, and the string can be exported.
#include <QtTest>

#include <QClipboard>

#include <filesystem>
#include <fstream>

#include "FakeServices.h"
#include "ResultsWindow.h"
#include "support/TempFolder.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

struct Rig {
    explicit Rig(bool imperial = false) : units(SetUnitLabels(imperial ? UnitSystem::Imperial : UnitSystem::Metric))
    {
        record.VelocityMin = 100;
        record.VelocityMax = 400;
        record.distance = 10;
        record.RetainedVelocity = 90;
        window = std::make_unique<ResultsWindow>(router.String(), record, units, dialogs, fileDialogs);
        router.SetListener(window.get());
        QObject::connect(window.get(), &ResultsWindow::newString, [this] { router.NewString(); });
    }
    void Shoot(double velocity)
    {
        MeasuredShot shot;
        shot.result.MuzzleVelocity = velocity;
        shot.result.PelletMass = 0.547;
        shot.result.ShotTime = 46362.5;
        router.Route(shot);
    }
    void Miss()
    {
        MeasuredShot miss;
        miss.outcome = ShotOutcome::NoImpact;
        router.Route(miss);
    }
    QLabel* Readout(int i) const { return window->findChild<QLabel*>(QString("lblVelo(%1)").arg(i)); }
    QLabel* Label(const char* name) const { return window->findChild<QLabel*>(name); }

    Settings record;
    UnitLabels units;
    ManualClock clock;
    ShotRouter router{clock};
    const ShotString& string = router.String();
    FakeDialogs dialogs;
    FakeFileDialogs fileDialogs;
    std::unique_ptr<ResultsWindow> window;
};

}  // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void loadsWithHeadingsAndZeroReadouts()
    {
        Rig rig;
        QCOMPARE(rig.window->windowTitle(), QString("Quorvel - Shooting"));
        const std::pair<const char*, const char*> texts[] = {
            {"lblVelo(0)", "000.0"}, {"lblVelo(3)", "000"}, {"lblLabel(0)", "Muzzle Velocity (m/s)"},
            {"lblLabel(1)", "Muzzle Energy (J)"}, {"lblLabel(3)", "Shot Num"}, {"lblLabel(9)", "Total Energy (J)"},
            {"lblLabel(15)", "ShotString"}, {"lblScale(0)", "400 m/s "}, {"lblScale(1)", "100 m/s "}};
        for (const auto& [name, text] : texts) QCOMPARE(rig.Label(name)->text(), QString(text));
        QCOMPARE(rig.Readout(3)->toolTip(), QString("Shot counter (double click to reset)"));
        rig.record.RetainedVelocity = 100;
        rig.window->Form_Activate();
        QCOMPARE(rig.Label("lblLabel(0)")->text(), QString("Average Velocity for 10.0 (m/s)"));
        // A 657-pixel window: the velocity digits at 109.5 pt.
        QCOMPARE(rig.Readout(0)->font().pointSizeF(), 109.5);
        QCOMPARE(rig.Readout(5)->font().pointSizeF(), 26.28);
    }

    void shotsAndMissesReachTheReadouts()
    {
        Rig rig;
        rig.Shoot(250);
        rig.Shoot(252);
        rig.Shoot(254);
        for (int i = 0; i < 10; ++i) QCOMPARE(rig.Readout(i)->text(), QString::fromStdString(rig.string.Text(static_cast<std::size_t>(i))));
        QCOMPARE(rig.window->Chart().PointCount(), 3);
        // The newest shot sits on the chart's right edge, the first on the left; 250 m/s halfway up.
        QCOMPARE(rig.window->Chart().PixelOf(2).x(), rig.window->Chart().width() * 1.0);
        QCOMPARE(rig.window->Chart().PixelOf(0).x(), 0.0);
        QCOMPARE(rig.window->Chart().PixelOf(0).y(), rig.window->Chart().height() * 0.5);

        const QRect shown = rig.Readout(0)->geometry();
        rig.Miss();
        QCOMPARE(rig.Readout(0)->text(), QString("###.##"));
        QVERIFY(rig.Readout(0)->width() > shown.width());
        QCOMPARE(rig.Readout(0)->palette().color(QPalette::Window), QColor(192, 0, 0));
        auto* banner = rig.Label("lblMistage");
        QVERIFY(!banner->isHidden());
        QCOMPARE(banner->text(), QString("no impact"));
        auto* timer = rig.window->findChild<QTimer*>("errTimer");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);
        rig.window->errTimer_Timer();
        QCOMPARE(rig.Readout(0)->text(), QString("254.0"));
        QCOMPARE(rig.Readout(0)->geometry(), shown);  // centred again, not left in the wide box
        QCOMPARE(rig.Readout(0)->palette().color(QPalette::Window), QColor(0, 0, 64));
        QVERIFY(banner->isHidden());

        QTest::mouseClick(rig.Readout(3), Qt::RightButton);  // the context menu's button keeps the string
        QCOMPARE(rig.string.Count(), 3);
        QTest::mouseClick(rig.Readout(3), Qt::LeftButton);
        QCOMPARE(rig.Readout(0)->text(), QString("000.0"));
        QCOMPARE(rig.Readout(3)->text(), QString("000"));
        QCOMPARE(rig.window->Chart().PointCount(), 0);
        QCOMPARE(rig.string.Count(), 0);
    }

    void everyReadoutStaysInsideAndUnclippedAtAnyHeight_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("imperial");
        for (const bool imperial : {false, true}) {
            const char* units = imperial ? " imperial" : " metric";
            QTest::addRow("small%s", units) << QSize(700, 493) << imperial;
            QTest::addRow("designed%s", units) << QSize(933, 657) << imperial;
            QTest::addRow("large%s", units) << QSize(1400, 986) << imperial;
        }
    }
    // Headings too: "Total Energy (J)" over a total under 100 J reads whole.
    void everyReadoutStaysInsideAndUnclippedAtAnyHeight()
    {
        QFETCH(QSize, size);
        QFETCH(bool, imperial);
        Rig rig(imperial);
        for (double v : {231.4, 229.9, 233.8, 230.2}) rig.Shoot(v);
        rig.window->resize(size);
        rig.window->Form_Resize();
        for (int i = 0; i < 10; ++i) {
            QLabel* r = rig.Readout(i);
            const QFontMetrics metrics(r->font());
            QVERIFY2(rig.window->rect().contains(r->geometry()), qPrintable(QString("readout %1 outside").arg(i)));
            QVERIFY2(r->width() >= metrics.horizontalAdvance(r->text()), qPrintable(QString("readout %1 clipped").arg(i)));
            QVERIFY2(r->height() >= metrics.height(), qPrintable(QString("readout %1 cut off").arg(i)));
            QLabel* h = rig.Label(qPrintable(QString("lblLabel(%1)").arg(i)));
            QVERIFY2(rig.window->rect().contains(h->geometry()), qPrintable(QString("heading %1 outside").arg(i)));
            QVERIFY2(h->width() >= QFontMetrics(h->font()).horizontalAdvance(h->text()),
                     qPrintable(QString("heading \"%1\" clipped").arg(h->text())));
        }
        const QWidget* chart = rig.window->findChild<QWidget*>("picHistory");
        QCOMPARE(chart->geometry().bottom(), size.height() - 1);
        QVERIFY(chart->y() > rig.Readout(2)->geometry().bottom());
    }

    void exportWritesTheStringOrSaysWhyNot()
    {
        Rig rig;
        rig.Shoot(250);
        const test_support::TempFolder folder("export");
        const fs::path& dir = folder.Path();
        rig.fileDialogs.answer = (dir / "string.csv").string();
        rig.window->ExportCsv();
        std::ifstream in(dir / "string.csv");
        QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}), rig.string.Table(',', rig.units));
        QVERIFY(rig.dialogs.shown.empty());

        rig.fileDialogs.answer = (dir / "no-such-folder" / "string.csv").string();
        rig.window->ExportCsv();
        QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
        QVERIFY(rig.dialogs.shown[0].text.find("no-such-folder") != std::string::npos);

        rig.window->CopyString();
        QVERIFY(QApplication::clipboard()->text().startsWith("Shot\tTime\t"));
        fs::remove_all(dir);
    }
};

QTEST_MAIN(ResultsWindowTest)
#include "ResultsWindowTest.moc"
