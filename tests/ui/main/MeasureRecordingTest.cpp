// "Measure Recording…" driven as a shooter would: from the main window, with
// no microphone at all, cancelled half way, and on files it cannot read.
#include <QtTest>

#include <sys/stat.h>

#include "LibraryWindow.h"
#include "MainWindow.h"
#include "support/MainRig.h"

using namespace quorvel;
using namespace quorvel::test_support;

namespace {

// Shots 10 m away at 210 m/s every 3 s from 1 s on, the third a miss.
void WriteShots(const fs::path& path, int seconds, int rate = 44100, synth::FileKind kind = synth::FileKind::Wav8)
{
    synth::Recording r;
    r.sampleRate = rate;
    r.length = std::int64_t{rate} * seconds;
    for (int k = 0; 1 + 3 * k < seconds; ++k) {
        r.shots.push_back({std::int64_t{rate} * (1 + 3 * k), k == 2 ? 0 : synth::DelayFor(10, 200, rate), 0.8, 0.45});
    }
    QCOMPARE(synth::WriteRecording(path.string(), synth::Synthesize(r), rate, kind), std::string());
}

std::string Stored(const Rig& rig, const std::string& name)
{
    return SqliteQuery(rig.dir / "library.sqlite", "SELECT count(*), group_concat(ifnull(number, '-') || "
                                                   "substr(' x', excluded + 1, 1), ' ') FROM shots JOIN strings s "
                                                   "ON s.id = string_id WHERE s.name = '" + name + "'");
}

}  // namespace

class MeasureRecordingTest : public QObject {
    Q_OBJECT
private slots:
    void aShooterWithoutAMicrophoneMeasuresTheDemo()
    {
        Rig rig(kSettings, {}, [](Rig& r) { WriteShots(r.dir / "demo.wav", 12); });
        rig.clock.days = 46362.5;  // 6 December 2026, noon
        QCOMPARE(rig.dialogs.shown.back().title, std::string("H/W error"));
        // A field typed in but not left counts as typed: 150 % is no retained velocity.
        rig.window->cmdSettings_Click();
        auto* retained = rig.Find<QLineEdit>("txtInfo(2)");
        retained->selectAll();
        QTest::keyClicks(retained, "150");
        auto* line = rig.Find<QLabel>("lblNoMicrophone");
        QVERIFY(!line->isHidden());
        QVERIFY(line->text().contains("demo recording"));
        QTest::mouseClick(line, Qt::LeftButton);
        QVERIFY(rig.window->Files().Run() != nullptr);
        QVERIFY(rig.window->findChild<QProgressDialog*>("dlgMeasureRecording") != nullptr);
        QTRY_VERIFY(!rig.window->Files().Run()->Running());
        QCOMPARE(rig.window->Router().String().Count(), 3);
        QCOMPARE(rig.dialogs.informed.back().text,
                 std::string("Measured 3 shots and 1 miss in demo.wav (0:12.0). They are in the results window and in "
                             "the shot library as the string \"demo.wav\"."));
        QCOMPARE(retained->text(), QString("100"));
        QCOMPARE(rig.window->Hosts().Results().findChild<QLabel*>("lblVelo(0)")->text(), QString("200.0"));
        QVERIFY(rig.dialogs.asked.empty());
        // Measured again only when the shooter wants it, and dated when it is measured.
        rig.dialogs.answerYes = false;
        QTest::mouseClick(line, Qt::LeftButton);
        QVERIFY(!rig.window->Files().Run()->Running());
        QCOMPARE(rig.dialogs.asked.size(), 1u);
        QVERIFY(rig.window->Library().Window() != nullptr);
        // A flyer set aside in the results window is set aside in the file's string.
        QTest::keyClick(&rig.window->Hosts().Results(), Qt::Key_Delete);
        rig.window->DoEnd();
        QCOMPARE(Stored(rig, "demo.wav"), std::string("4|1  2  -  3x\n"));
        QCOMPARE(SqliteQuery(rig.dir / "library.sqlite", "SELECT substr(started_utc, 1, 10) FROM strings WHERE name = 'demo.wav'"),
                 std::string("2026-12-06\n"));
    }

    void whileRecordingAndCancelled()
    {
        Rig rig;
        const fs::path longer = rig.dir / "range day.wav";
        WriteShots(longer, 60);
        rig.window->StartButton_Click();
        rig.Shoot(4800);
        rig.fileDialogs.answer = longer.string();
        QTest::mouseClick(rig.Find<QLabel>("lblMeasureRecording"), Qt::LeftButton);
        QVERIFY2(!rig.window->Recording().Session().Recording(), "one detector at a time");
        QVERIFY(rig.window->Files().Run() != nullptr);
        rig.window->Files().Run()->SetSliceBlocks(1);
        // Cancelled after the first two shots: they stay, the rest is not measured.
        for (int turn = 0; turn < 1000 && rig.window->Router().String().Count() < 2; ++turn) QCoreApplication::processEvents();
        QCOMPARE(rig.window->Router().String().Count(), 2);
        QTest::mouseClick(rig.window->Files().Run()->Progress()->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(!rig.window->Files().Run()->Running());
        QVERIFY(rig.dialogs.informed.back().text.find("cancelled at 0:0") != std::string::npos);
        QVERIFY(rig.dialogs.informed.back().text.find("The 2 shots and 0 misses measured up to there are kept.") !=
                std::string::npos);
        QCOMPARE(rig.dialogs.asked.at(0).text, std::string("The results window shows a string of 1 shot. Measuring range "
                                                           "day.wav shows its shots in a string of their own instead; the "
                                                           "shots shown now stay in the shot library. Measure range day.wav?"));
        // The next live shot starts a string of its own, numbered from 1.
        rig.window->StartButton_Click();
        rig.clock.ms += 1000;
        rig.Shoot(4800);
        rig.window->StartButton_Click();
        QCOMPARE(rig.window->Router().String().Count(), 1);
        QCOMPARE(rig.Text("lblVel(5)"), QString("1"));

        rig.window->DoEnd();
        QCOMPARE(Stored(rig, "range day.wav"), std::string("2|1  2 \n"));
    }

    void damagedAndRefusedFilesAreSaidSo()
    {
        Rig rig;
        // Half a FLAC file: measured up to where it breaks off, and said so.
        const fs::path whole = rig.dir / "whole.flac";
        WriteShots(whole, 20, 48000, synth::FileKind::Flac16);
        const std::string bytes = Slurp(whole);
        std::ofstream(rig.dir / "half.flac", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
        rig.window->Files().Measure((rig.dir / "half.flac").string());
        QTRY_VERIFY(!rig.window->Files().Run()->Running());
        QCOMPARE(rig.dialogs.shown.back().title, std::string("Measure Recording"));
        QVERIFY(rig.dialogs.shown.back().text.find("half.flac cannot be read past 0:") == 0);

        // A WAVE cut off (a recorder stopped mid-file): measured, and said so.
        WriteShots(rig.dir / "long.wav", 20);
        const std::string wave = Slurp(rig.dir / "long.wav");
        std::ofstream(rig.dir / "cut.wav", std::ios::binary) << wave.substr(0, wave.size() / 2);
        rig.window->Files().Measure((rig.dir / "cut.wav").string());
        QTRY_VERIFY(!rig.window->Files().Run()->Running());
        QVERIFY2(rig.dialogs.shown.back().text.starts_with("cut.wav ends at 0:09.9 though its header promises 0:20.0: the "
                                                           "file holds less than its header promises."),
                 rig.dialogs.shown.back().text.c_str());

        // What is no recording changes nothing; a FIFO is refused before it could hold the window.
        ::mkfifo((rig.dir / "pipe.wav").c_str(), 0600);
        rig.window->Files().Measure((rig.dir / "pipe.wav").string());
        QVERIFY(rig.dialogs.shown.back().text.find("pipe.wav cannot be measured: it is not a regular file") != std::string::npos);
        const int strings = rig.window->Router().String().Count();
        std::ofstream(rig.dir / "notes.wav") << "not a recording\n";
        rig.window->Files().Measure((rig.dir / "notes.wav").string());
        QVERIFY(rig.dialogs.shown.back().text.find("notes.wav cannot be measured: ") != std::string::npos);
        QCOMPARE(rig.window->Router().String().Count(), strings);
    }

    // A large import runs beside the recording: no block waits for it, and
    // a shot measured meanwhile reaches the library too.
    void anImportWhileRecordingLosesNoBlock()
    {
        Rig rig;
        std::ofstream lines(rig.dir / "old shots.txt", std::ios::binary);
        for (int n = 0; n < 50000; ++n) {
            lines << "2025-0" << 1 + n / 10000 << "-1" << n % 10 << " 1" << n / 3600 % 10 << ":" << n / 60 % 60 / 10
                  << n / 60 % 10 << ":" << n % 60 / 10 << n % 10 << " , " << 1 + n % 40 << " , 25" << n % 10 << ".5\r\n";
        }
        lines.close();
        rig.window->StartButton_Click();
        QTest::mouseClick(rig.Find<QLabel>("lblLibrary"), Qt::LeftButton);
        rig.fileDialogs.answer = (rig.dir / "old shots.txt").string();
        QTest::mouseClick(rig.window->Library().Window()->findChild<QPushButton*>("cmdImport"), Qt::LeftButton);
        const auto quiet = std::vector<std::uint8_t>(kBlockSize, kSilence);
        int during = 0;
        for (; rig.window->Library().Window()->Importing() && during < 100; ++during) rig.Record(quiet.data());
        rig.Shoot(4800);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Library().Window()->Importing(), 30000);
        QVERIFY2(during > 0, "the import was over before a block arrived");
        QCOMPARE(rig.device.Overruns(), 0);
        rig.window->DoEnd();
        QCOMPARE(SqliteQuery(rig.dir / "library.sqlite", "SELECT count(*) FROM shots WHERE samples = 4800; "
                                                         "SELECT count(*) > 40000 FROM shots"),
                 std::string("1\n1\n"));
    }

    // The string under way deleted in the library window: the next shot
    // starts a new one, in the library and the results window; Undo brings
    // the deleted one back whole.
    void theStringUnderWayDeletedStartsAfresh()
    {
        Rig rig;
        rig.window->StartButton_Click();
        for (int k = 0; k < 2; ++k) {
            rig.clock.ms += 1000;
            rig.Shoot(4800);
        }
        QTRY_COMPARE(SqliteQuery(rig.dir / "library.sqlite", "SELECT count(*) FROM shots"), std::string("2\n"));
        QTest::mouseClick(rig.Find<QLabel>("lblLibrary"), Qt::LeftButton);
        LibraryWindow* library = rig.window->Library().Window();
        QTest::mouseClick(library->findChild<QPushButton*>("cmdDelete"), Qt::LeftButton);
        rig.clock.ms += 1000;
        rig.Shoot(4800);
        QCOMPARE(rig.window->Router().String().Count(), 1);
        QCOMPARE(rig.Text("lblVel(5)"), QString("1"));
        QTest::mouseClick(library->findChild<QPushButton*>("cmdUndo"), Qt::LeftButton);
        rig.window->DoEnd();
        QCOMPARE(SqliteQuery(rig.dir / "library.sqlite", "SELECT group_concat(n) FROM (SELECT count(*) AS n FROM shots "
                                                         "GROUP BY string_id ORDER BY string_id)"),
                 std::string("2,1\n"));
    }
};

QTEST_MAIN(MeasureRecordingTest)
#include "MeasureRecordingTest.moc"
