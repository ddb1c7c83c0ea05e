// The analysis window driven by mouse and keys, offscreen, on a recording
// frozen from the main window's fake device, and the autosave after a shot.
#include <QtTest>

#include "AnalysisWindow.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "WaveFile.h"
#include "support/MainRig.h"

using namespace quorvel;
using namespace quorvel::test_support;

namespace {

// Records a 200 m/s shot and freezes it into the analysis window.
AnalysisWindow& Frozen(Rig& rig)
{
    rig.window->StartButton_Click();
    rig.Shoot(4800);
    rig.window->cmdAnalyze_Click();
    AnalysisWindow& analysis = rig.window->Hosts().Analysis();
    analysis.resize(1000, 600);
    analysis.Form_Resize();
    return analysis;
}

template <typename W>
W* In(AnalysisWindow& analysis, const char* name)
{
    return analysis.findChild<W*>(name);
}

}  // namespace

class AnalysisWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aFrozenShotShowsTheDetectedSamples()
    {
        Rig rig;
        AnalysisWindow& analysis = Frozen(rig);
        QVERIFY(analysis.isVisible());
        QVERIFY2(!rig.window->isEnabled(), "the main window takes no input meanwhile");
        QCOMPARE(rig.Text("cmdAnalyze") + rig.Text("StartButton"), QString(" << &Analyze&Start >>"));
        // The ring was unrolled: the shot at ring 30000 is now at waveform 30000 + 57600.
        const RecordingSearch& found = analysis.Model().Found();
        QVERIFY(found.impactFound);
        QCOMPARE(found.impactPos - found.muzzlePos, 4800.0);
        QVERIFY(In<QLabel>(analysis, "lblImpactTrigger")->isVisible());
        QVERIFY(In<QLabel>(analysis, "lblImpactTrigger")->text().contains("Velocity: 200.0 m/s"));
        QCOMPARE(In<QLabel>(analysis, "lblX1(4)")->text(), QString("1500 ms -->|"));

        analysis.mnuFile_Click(3);  // &Close
        QVERIFY(!analysis.isVisible());
        QVERIFY(rig.window->isEnabled());
        QCOMPARE(rig.Text("cmdAnalyze"), QString("&Analyze >>"));
    }

    void draggingALevelLineRewritesTheBoxAndSearchesAgain()
    {
        Rig rig;
        AnalysisWindow& analysis = Frozen(rig);
        auto* zoom = In<ZoomView>(analysis, "picAnalyze");
        const int line1 = zoom->PixelY(127.5 - 60);
        QTest::mousePress(zoom, Qt::LeftButton, {}, QPoint(300, line1 + 30));
        QCOMPARE(analysis.DragLine(), 0);  // far from every line: no drag
        QTest::mouseRelease(zoom, Qt::LeftButton, {}, QPoint(300, line1 + 30));

        QTest::mousePress(zoom, Qt::LeftButton, {}, QPoint(300, line1));
        QCOMPARE(analysis.DragLine(), 1);
        QTest::mouseMove(zoom, QPoint(320, zoom->PixelY(40)));
        QCOMPARE(rig.Text("txtInfo(7)"), QString::number(AnalysisModel::LevelFromY(zoom->UnitsY(zoom->PixelY(40)))));
        QVERIFY(In<QLabel>(analysis, "lblCoords")->text().startsWith("Muzzle Volume: "));
        QTest::mouseRelease(zoom, Qt::LeftButton, {}, QPoint(320, zoom->PixelY(40)));
        QCOMPARE(analysis.DragLine(), 0);
        QVERIFY(!In<QLabel>(analysis, "lblCoords")->isVisible());

        // The impact line dragged above the impact's peak: its marker goes, the muzzle stays.
        QTest::mousePress(zoom, Qt::LeftButton, {}, QPoint(300, zoom->PixelY(127.5 - 30)));
        QCOMPARE(analysis.DragLine(), 3);
        QTest::mouseMove(zoom, QPoint(300, 1));
        QTest::mouseRelease(zoom, Qt::LeftButton, {}, QPoint(300, 1));
        QVERIFY(ParseLeadingNumber(rig.Text("txtInfo(3)").toStdString()) > 120);
        QVERIFY(!analysis.Model().Found().impactFound && analysis.Model().Found().muzzleFound);
        QVERIFY(!In<QLabel>(analysis, "lblImpactTrigger")->isVisible());
        QVERIFY(In<QLabel>(analysis, "lblMuzzleTrigger")->isVisible());
    }

    void keysAndTheOverviewMoveTheZoomWindow()
    {
        Rig rig;
        AnalysisWindow& analysis = Frozen(rig);
        for (int i = 0; i < 3000; ++i) analysis.Form_KeyPress('s');
        QTest::keyClick(&analysis, 'S');
        QCOMPARE(analysis.Model().ZoomWidth(), In<QWidget>(analysis, "picAnalyze")->width() / 10.0);
        const double left = analysis.Model().ZoomLeft();
        QTest::keyClick(&analysis, 'D');
        QVERIFY(analysis.Model().ZoomLeft() > left);

        // Dragging the zoom window in the overview moves it and keeps its width.
        auto* overview = In<OverviewView>(analysis, "picAll");
        for (int i = 0; i < 1000; ++i) analysis.Form_KeyPress('w');
        const double width = analysis.Model().ZoomWidth();
        const double before = analysis.Model().ZoomLeft();
        const int middle = static_cast<int>((before + width / 2) * overview->width() / kRingSamples);
        QTest::mousePress(overview, Qt::LeftButton, {}, QPoint(middle, 20));
        QTest::mouseMove(overview, QPoint(middle - 100, 20));
        QTest::mouseRelease(overview, Qt::LeftButton, {}, QPoint(middle - 100, 20));
        QCOMPARE(analysis.Model().ZoomWidth(), width);
        QVERIFY(analysis.Model().ZoomLeft() < before - 50.0 * kRingSamples / overview->width());
    }

    void filesOpenAndSave()
    {
        // Open cancelled before anything was recorded: the waveform in memory counts as present.
        Rig fresh;
        AnalysisWindow& empty = fresh.window->Hosts().Analysis();
        empty.show();
        empty.Form_Activate();
        QVERIFY(In<QLabel>(empty, "lblNoData")->isVisible());
        empty.mnuFile_Click(0);
        QCOMPARE(empty.windowTitle(), QString("Analyze - "));
        QVERIFY(empty.Model().Present());
        QVERIFY(!In<QLabel>(empty, "lblNoData")->isVisible());

        Rig rig;
        AnalysisWindow& analysis = Frozen(rig);
        // ".wav" is always appended; the question is about the file written.
        const std::string base = (rig.dir / "saved").string();
        rig.fileDialogs.answer = base;
        analysis.mnuFile_Click(1);
        QCOMPARE(fs::file_size(base + ".wav"), std::uintmax_t{144045});
        QVERIFY(rig.dialogs.asked.empty());
        fs::resize_file(base + ".wav", 10);
        rig.dialogs.answerYes = false;
        analysis.mnuFile_Click(1);
        QCOMPARE(rig.dialogs.asked.at(0).text, base + ".wav already exists.\nDo you want to replace it?");
        QCOMPARE(fs::file_size(base + ".wav"), std::uintmax_t{10});
        rig.dialogs.answerYes = true;
        analysis.mnuFile_Click(1);
        QCOMPARE(fs::file_size(base + ".wav"), std::uintmax_t{144045});
        rig.fileDialogs.answer = base + ".wav";
        analysis.mnuFile_Click(1);
        QVERIFY(fs::exists(base + ".wav.wav"));
        QCOMPARE(rig.dialogs.asked.size(), std::size_t{2});

        // A recording at another rate opens with its own times.
        synth::Recording r;
        r.sampleRate = 44100;
        r.length = 100000;
        r.shots.push_back({20000, synth::DelayFor(10, 250, 44100), 0.8, 0.45});
        const std::string other = (rig.dir / "other.wav").string();
        QCOMPARE(synth::WriteRecording(other, synth::Synthesize(r), 44100, synth::FileKind::Wav16), std::string());
        rig.fileDialogs.answer = other;
        analysis.mnuFile_Click(0);
        QCOMPARE(analysis.windowTitle(), QString::fromStdString("Analyze - " + other));
        QCOMPARE(analysis.Model().Rate(), 44100);
        QCOMPARE(analysis.Model().Found().muzzlePos, 20000);
        QCOMPARE(analysis.Model().Found().samples, static_cast<std::int32_t>(synth::DelayFor(10, 250, 44100)));

        // Something that is no recording changes nothing and says why.
        const std::string junk = (rig.dir / "junk.wav").string();
        std::ofstream(junk) << "junk";
        rig.fileDialogs.answer = junk;
        analysis.mnuFile_Click(0);
        QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
        QVERIFY(rig.dialogs.shown[0].text.find("junk.wav") != std::string::npos);
        QCOMPARE(analysis.Model().Rate(), 44100);
        QCOMPARE(analysis.windowTitle(), QString::fromStdString("Analyze - " + other));
    }

    void playbackStreamsTheZoomedStretchInChunks()
    {
        Rig rig;
        AnalysisWindow& analysis = Frozen(rig);
        auto* playAll = analysis.findChild<QAction*>("mnuTools(1)");
        auto* overview = In<OverviewView>(analysis, "picAll");
        rig.output.lag = 4800;  // the sound server plays a chunk behind what it was given
        analysis.PlayRange(10000, 20000);
        QCOMPARE(rig.output.openRate, 96000);
        QVERIFY(!playAll->isEnabled());
        QCOMPARE(In<QTimer>(analysis, "tmrPlay")->interval(), 50);
        for (int tick = 0; tick < 6; ++tick) analysis.tmrPlay_Timer();
        QCOMPARE(rig.output.chunks.size(), std::size_t{3});  // 10000, 14800, 19600; the one from 24400 would be cut off
        const SampleArray& wave = analysis.Model().Waveform();
        QVERIFY(std::equal(rig.output.chunks[2].begin(), rig.output.chunks[2].end(), wave.begin() + 19600));
        // The pointer stays with what is heard, and the last chunk is still heard.
        QVERIFY(analysis.Playing() && overview->PlayPointerVisible());
        QCOMPARE(overview->PlayPointerSample(), 19600);
        rig.output.lag = 0;
        analysis.tmrPlay_Timer();
        QCOMPARE(overview->PlayPointerSample(), 24400);
        QVERIFY(!overview->PlayPointerVisible() && !analysis.Playing() && playAll->isEnabled());

        // To the end: no chunk crosses the end of the waveform; "to" 0 means the end.
        rig.output.chunks.clear();
        analysis.PlayRange(130000, 0);
        while (analysis.Playing()) analysis.tmrPlay_Timer();
        QCOMPARE(rig.output.chunks.size(), std::size_t{2});  // 130000, 134800; 139600 would cross 144000
        // A device that takes chunks more slowly than 50 ms gets them when it has room.
        rig.output.chunks.clear();
        analysis.PlayRange(0, 9000);
        rig.output.room = 100;
        analysis.tmrPlay_Timer();  // the first chunk goes at once
        analysis.tmrPlay_Timer();
        QCOMPARE(rig.output.chunks.size(), std::size_t{1});
        rig.output.room = 1 << 20;
        while (analysis.Playing()) analysis.tmrPlay_Timer();
        QCOMPARE(rig.output.chunks.size(), std::size_t{2});

        // Hiding the window stops the stream and closes the output.
        analysis.PlayRange(0, 100000);
        analysis.mnuFile_Click(3);
        QVERIFY(!analysis.Playing() && !rig.output.open);
    }

    void playAllUsesATemporaryFileAndLeavesNoneBehind()
    {
        Rig rig;
        AnalysisWindow& analysis = Frozen(rig);
        analysis.mnuTools_Click(1);
        QCOMPARE(rig.output.playedFiles, std::vector<std::string>{(rig.dir / "tmp.wav").string()});
        QVERIFY(!fs::exists(rig.dir / "tmp.wav"));
        rig.output.failure = "the sound output cannot be opened";
        analysis.mnuTools_Click(1);
        QVERIFY(!fs::exists(rig.dir / "tmp.wav"));
        QCOMPARE(rig.dialogs.shown.at(0).text, std::string("Cannot play the waveform: the sound output cannot be opened"));
        analysis.PlayRange(0, 5000);
        QVERIFY(!analysis.Playing());  // the window stays usable

        // While the whole waveform plays, no second playback starts; closing
        // the window stops it.
        rig.output.failure.clear();
        rig.output.playTurns = 1000;
        rig.onYield = [&] {
            if (!analysis.isVisible()) return;
            QVERIFY(!analysis.findChild<QAction*>("mnuTools(2)")->isEnabled());
            analysis.mnuTools_Click(1);  // ignored
            analysis.mnuFile_Click(3);
        };
        analysis.mnuTools_Click(1);
        QVERIFY(!analysis.Playing());
        QCOMPARE(rig.output.playedFiles.size(), std::size_t{3});
        QVERIFY(!fs::exists(rig.dir / "tmp.wav"));
        QVERIFY(analysis.findChild<QAction*>("mnuTools(1)")->isEnabled());
    }

    void autosaveWritesTheLineAndTheWaveformOneBlockLater()
    {
        Rig rig(SettingsWith({{"AutoSaveBasic=1", "AutoSaveBasic=1\nAutoSaveExtended=1\nAutoSaveWaveForm=1"}}));
        rig.clock.days = 46362 + (13 * 3600 + 5 * 60 + 9) / 86400.0;
        rig.window->StartButton_Click();
        const auto sound = Rig::ShotSound(4800);
        rig.Record(sound.data());
        rig.Record(sound.data() + kBlockSize);
        QVERIFY2(!fs::exists(rig.dir / "shots.txt"), "nothing is saved in the block of the shot");
        rig.Record(sound.data() + 2 * kBlockSize);
        const std::string line = Slurp(rig.dir / "shots.txt");
        QVERIFY2(line.find(" , 1 , 200.00000 , 10.00 , 0.5470 , 60 , 30 , 4800 , 96000\r\n") != std::string::npos, line.c_str());
        const auto wave = ReadWaveFile((rig.dir / "20261206-130509.wav").string());
        QVERIFY2(wave, wave.Error().c_str());
        QCOMPARE(wave->samples[kRingSamples - 1], rig.window->Recording().Session().Engine().Ring()[BlockStart(3) + kBlockSize - 1]);

        // A folder that cannot take the file: one message, the string goes on.
        fs::remove(rig.dir / "shots.txt");
        fs::create_directories(rig.dir / "shots.txt" / "in-the-way");
        for (int shot = 0; shot < 2; ++shot) {
            rig.clock.ms += 2000;
            for (int k = 0; k < 3; ++k) rig.Record(sound.data() + k * kBlockSize);
        }
        QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
        QVERIFY(rig.dialogs.shown[0].text.find("shots.txt") != std::string::npos);
        QCOMPARE(rig.window->Router().String().Count(), 3);
        rig.window->StartButton_Click();
    }
};

QTEST_MAIN(AnalysisWindowTest)
#include "AnalysisWindowTest.moc"
