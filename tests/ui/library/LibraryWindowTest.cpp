#include <QtTest>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "FakeServices.h"
#include "LibraryWindow.h"
#include "support/Files.h"
#include "support/TempFolder.h"

using namespace quorvel;
using namespace quorvel::test_support;
namespace fs = std::filesystem;

namespace {

// A library of three strings and a window on it, metric.
struct Rig {
    Rig()
    {
        ShotLibrary library;
        library.Open(File("library.sqlite"));
        // A: tight, with a flyer; B: wider and slower; C: a pre-charged gun's curve.
        AddString(library, 1, "JSB 8.44", "2026-12-01T10:00:00Z", {250.1, 250.9, 249.8, 250.4, 250.6, 249.9, 250.2, 262.0});
        AddString(library, 2, "H&N FTT", "2026-12-02T10:00:00Z", {245.0, 248.5, 243.2, 247.9, 244.1, 249.0, 246.2, 242.8});
        AddString(library, 3, "Fill curve", "2026-12-03T10:00:00Z", {240, 244, 247, 248, 249, 248.5, 249.5, 248, 246, 241});
        library.SetExcluded(1, 8, true, "flyer");
        Settings s;
        s.units = UnitSystem::Metric;
        s.RetainedVelocity = 100;
        window = std::make_unique<LibraryWindow>(File("library.sqlite"), dialogs, fileDialogs);
        window->SetSettings(s);
        window->Reload();
    }
    ~Rig() { window.reset(); }
    std::string File(const char* name) const { return (dir / name).string(); }
    static void AddString(ShotLibrary& library, std::int64_t id, const std::string& name, const std::string& started,
                          std::initializer_list<double> velocities)
    {
        StringInfo info{id, name, "HW100", "", "", started};
        int n = 0;
        for (double v : velocities) {
            StoredShot s;
            s.stringId = id;
            s.number = ++n;
            s.timeUtc = started;
            s.muzzleVelocity = s.averageVelocity = v;
            s.pelletMass = 0.547;
            s.method = "onset";  // timed to 2 samples in 4000
            s.muzzleOnset = 1000;
            s.impactOnset = 5000;
            s.timingSd = 2;
            library.AddShot(info, s);
        }
    }
    QAbstractItemModel* Strings() const { return window->findChild<QTableView*>("tblStrings")->model(); }
    QString Cell(int row, int column) const { return Strings()->index(row, column).data().toString(); }
    void Click(const char* button) { QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton); }

    test_support::TempFolder folder{"libwin"};
    const fs::path& dir = folder.Path();
    FakeDialogs dialogs;
    FakeFileDialogs fileDialogs;
    std::unique_ptr<LibraryWindow> window;
};

}  // namespace

class LibraryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void stringsAreListedSortedFilteredAndCompared()
    {
        Rig rig;
        QCOMPARE(rig.Strings()->rowCount(), 3);
        QCOMPARE(rig.Cell(0, StringsModel::Name), QString("Fill curve"));  // newest first
        QCOMPARE(rig.Cell(2, StringsModel::Shots), QString("7 (+1)"));
        QCOMPARE(rig.Cell(2, StringsModel::Average), QString("250.27"));
        // Sorted by the SD as a number, filtered by any text.
        rig.window->findChild<QTableView*>("tblStrings")->sortByColumn(StringsModel::Sd, Qt::AscendingOrder);
        QCOMPARE(rig.Cell(0, StringsModel::Name), QString("JSB 8.44"));
        rig.window->findChild<QLineEdit*>("txtFilter")->setText("h&n");
        QCOMPARE(rig.Strings()->rowCount(), 1);
        rig.window->findChild<QLineEdit*>("txtFilter")->clear();

        // One string: its shots, the chart scaled to them, intervals and plateau.
        rig.window->SelectStrings({3});
        QCOMPARE(rig.window->findChild<QTableWidget*>("tblShots")->rowCount(), 10);
        const auto [low, high] = rig.window->Chart().VelocityRange();
        QVERIFY(low > 235 && low < 240 && high > 249.5 && high < 255);
        QVERIFY2(rig.window->StatisticsShown().contains("90 % CI"), qPrintable(rig.window->StatisticsShown()));
        QVERIFY2(rig.window->StatisticsShown().contains("shots 3\u20138: 6 shots, average 248.3 m/s, ES 2.5 m/s"),
                 qPrintable(rig.window->StatisticsShown()));

        // Two: overlaid, and compared in words.
        rig.window->SelectStrings({1, 2});
        QCOMPARE(rig.window->Chart().Series().size(), 2u);
        const QString words = rig.window->StatisticsShown();
        QVERIFY2(words.contains("lower SD than B: strong evidence of a difference") && words.contains("faster than B by 4.4 m/s"), qPrintable(words));
    }

    void flyersDeletionAndUndo()
    {
        Rig rig;
        rig.window->SelectStrings({2});
        rig.window->findChild<QTableWidget*>("tblShots")->selectRow(7);
        rig.window->findChild<QLineEdit*>("txtReason")->setText("dropped pellet");
        rig.Click("cmdExclude");
        QCOMPARE(SqliteQuery(rig.File("library.sqlite"), "SELECT number, exclude_reason FROM shots WHERE excluded"),
                 std::string("8|flyer\n8|dropped pellet\n"));
        auto* shots = rig.window->findChild<QTableWidget*>("tblShots");
        QCOMPARE(shots->item(7, 4)->text() + "|" + shots->item(7, 5)->text(), QString("yes|dropped pellet"));
        QCOMPARE(rig.window->findChild<QPushButton*>("cmdExclude")->text(), QString("I&nclude shot"));
        // Taken back with the same button.
        rig.window->findChild<QTableWidget*>("tblShots")->selectRow(7);
        rig.Click("cmdExclude");
        QCOMPARE(SqliteQuery(rig.File("library.sqlite"), "SELECT count(*) FROM shots WHERE excluded"), std::string("1\n"));

        rig.dialogs.answerYes = false;
        rig.Click("cmdDelete");
        QCOMPARE(rig.Strings()->rowCount(), 3);
        rig.dialogs.answerYes = true;
        rig.Click("cmdDelete");
        QCOMPARE(rig.Strings()->rowCount(), 2);
        QCOMPARE(SqliteQuery(rig.File("library.sqlite"), "SELECT count(*) FROM shots WHERE string_id = 2"), std::string("0\n"));
        rig.Click("cmdUndo");
        QCOMPARE(SqliteQuery(rig.File("library.sqlite"), "SELECT count(*) FROM shots WHERE string_id = 2"), std::string("8\n"));
        QCOMPARE(rig.window->SelectedIds(), std::vector<std::int64_t>{2});
    }

    // Shots stored by another program show without a click, whole; the
    // window fits a 1280 x 720 screen.
    void followsTheLibraryAndFitsTheScreen()
    {
        Rig rig;
        rig.window->show();
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().size().expandedTo(rig.window->size()) ==
                QGuiApplication::primaryScreen()->availableGeometry().size());
        QVERIFY(rig.window->minimumSizeHint().width() <= 1240 && rig.window->minimumSizeHint().height() <= 640);
        rig.window->SelectStrings({3});
        ShotLibrary other;
        other.Open(rig.File("library.sqlite"));
        Rig::AddString(other, 4, "Analysed elsewhere", "2026-12-04T10:00:00Z", {251, 252});
        QTRY_COMPARE_WITH_TIMEOUT(rig.Strings()->rowCount(), 4, 3000);
        QCOMPARE(rig.window->SelectedIds(), std::vector<std::int64_t>{3});
        Rig::AddString(other, 3, "Fill curve", "2026-12-03T10:00:00Z", {250});
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->findChild<QTableWidget*>("tblShots")->rowCount(), 11, 3000);
    }

    // CSV, PDF and PNG of what is selected; the old shot data file imported once.
    void exportsAndImport()
    {
        Rig rig;
        rig.window->SelectStrings({1});
        rig.fileDialogs.answer = rig.File("a.csv");
        rig.Click("cmdCsv");
        const std::string csv = Slurp(rig.File("a.csv"));
        QVERIFY(csv.starts_with("string,gun,pellet,shot,local_time,muzzle_velocity,average_velocity,velocity_unit,"
                                "energy,energy_unit,excluded,exclude_reason,method,velocity_sd\r\n"));
        QVERIFY2(csv.find("JSB 8.44,HW100,,8,2026-12-01T") != std::string::npos && csv.find(",262,262,m/s,") != std::string::npos &&
                     csv.find(",yes,flyer,onset,0.131\r\n") != std::string::npos,
                 csv.c_str());
        rig.fileDialogs.answer = rig.File("r.pdf");
        rig.Click("cmdReport");
        const std::string report = PipeOutput("pdftotext '" + rig.File("r.pdf") + "' -");
        QVERIFY2(report.find("JSB 8.44") != std::string::npos && report.find("(90 % CI 250.0 to 250.6)") != std::string::npos &&
                     report.find("262.00") != std::string::npos && report.find("18.77 yes") != std::string::npos,
                 report.c_str());
        rig.fileDialogs.answer = rig.File("c.png");
        rig.Click("cmdChart");
        const QImage chart(QString::fromStdString(rig.File("c.png")));
        QCOMPARE(chart.size(), QSize(2000, 1200));

        std::ofstream(rig.File("shots.txt"), std::ios::binary)
            << "2026-11-30 14:00:01 , 1 , 251,25000\r\n"
               "2026-11-30 14:00:31 , 2 , 252.50000 , 10,00 , 0,5470 , 60 , 30 , 3802 , 96000\r\n"
               "not a shot\r\n"
               "2026-12-01 09:00:00 , 1 , 249,00000\r\n";
        rig.fileDialogs.answer = rig.File("shots.txt");
        rig.window->SetShotDataPath(rig.File("shots.txt"));
        rig.Click("cmdImport");
        QCOMPARE(rig.fileDialogs.openedAt, rig.File("shots.txt"));
        QTRY_VERIFY(!rig.window->Importing());
        QVERIFY2(rig.dialogs.informed.back().text.starts_with("Imported 3 shots from " + rig.File("shots.txt") + " in 2 strings (one per day). Line 3 was no shot line and was left out."), rig.dialogs.informed.back().text.c_str());
        rig.Click("cmdImport");
        QTRY_VERIFY(!rig.window->Importing());
        QVERIFY2(rig.dialogs.informed.back().text.find("Imported 0 shots") == 0, rig.dialogs.informed.back().text.c_str());
        // A FIFO would hold the import forever: refused at once.
        ::mkfifo(rig.File("fifo.txt").c_str(), 0600);
        rig.fileDialogs.answer = rig.File("fifo.txt");
        rig.Click("cmdImport");
        QVERIFY(!rig.window->Importing());
        QVERIFY(rig.dialogs.shown.back().text.find("not a regular file") != std::string::npos);
        QCOMPARE(SqliteQuery(rig.File("library.sqlite"), "SELECT count(*), group_concat(average_velocity) FROM shots "
                                                         "WHERE string_id > 3"),
                 std::string("3|251.25,252.5,249.0\n"));
        QCOMPARE(rig.Strings()->rowCount(), 5);
    }
};

QTEST_MAIN(LibraryWindowTest)
#include "LibraryWindowTest.moc"
