// The real sound path: the main window records from the test's own
// sound server. Run by with-sound-server.
#include <QtTest>

#include <QProcess>
#include <QScrollBar>

#include <atomic>
#include <chrono>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/LiveSound.h"

using namespace quorvel;
using namespace quorvel::test_support;

namespace {

// A FIFO microphone of the server, plugged in for one test.
struct PluggedMicrophone {
    explicit PluggedMicrophone(const std::string& name) : fifo(Runtime() + "/" + name + ".fifo")
    {
        ::mkfifo(fifo.c_str(), 0600);
        for (int attempt = 0; attempt < 8 && module.isEmpty(); ++attempt) {
            QProcess pactl;
            pactl.start("pactl", {"load-module", "module-pipe-source", QString::fromStdString("source_name=" + name),
                                  QString::fromStdString("file=" + fifo), "format=s16le", "rate=48000", "channels=1"});
            pactl.waitForFinished(5000);
            module = QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
            if (module.isEmpty()) QTest::qWait(300);  // the first load sometimes fails
        }
    }
    ~PluggedMicrophone() { Unplug(); }
    void Unplug()
    {
        if (!module.isEmpty()) QProcess::execute("pactl", {"unload-module", module});
        module.clear();
    }
    std::string fifo;
    QString module;
};

// Samples the server turns into exactly the 8-bit values of a generated shot.
std::vector<std::int16_t> Shot(int rate, std::int64_t delay)
{
    synth::Recording r;
    r.sampleRate = rate;
    r.length = delay + rate / 2;
    r.shots.push_back({rate / 10, delay, 0.8, 0.45});
    std::vector<std::int16_t> out;
    for (std::uint8_t u : synth::SynthesizeEightBit(r)) out.push_back(static_cast<std::int16_t>((u - 128) * 256));
    return out;
}

}  // namespace

class AudioPathTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("QUORVEL_PULSE")) QSKIP("needs the private sound server of tests/platform/with-sound-server");
    }

    // The exact sample count through the server at two rates; at 96000 the
    // shot also freezes into the analysis window on its own samples.
    void aFifoMicrophoneGivesTheExactSampleCount_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("48000") << 48000;
        QTest::newRow("96000, frozen") << 96000;
    }
    void aFifoMicrophoneGivesTheExactSampleCount()
    {
        QFETCH(int, rate);
        LiveRig rig;
        QVERIFY2(rig.Choose(QString("mic%1").arg(rate), rate), "the FIFO microphone is listed");
        const bool freeze = rate == 96000;
        rig.window->findChild<QCheckBox*>("chkFreeze(0)")->setChecked(freeze);
        const std::int64_t delay = synth::DelayFor(10, 187.3, rate);
        PacedWriter writer(qEnvironmentVariable("QUORVEL_PULSE").toStdString() + "/mic" + std::to_string(rate) + ".fifo",
                           rate, Shot(rate, delay));
        QTest::qWait(300);
        QVERIFY(writer.Opened());
        rig.window->StartButton_Click();
        QCOMPARE(rig.window->findChild<QPushButton*>("StartButton")->text(), QString("S&top"));
        // The shot goes in once the server delivers sound, however long a
        // loaded machine takes to start the stream.
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Recording().Session().Engine().DataArrived(), 10000);
        writer.Shoot();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("lblVel(5)"), QString("1"), 10000);
        // PipeWire runs its graph at 48 kHz: a 96 kHz source goes through
        // its resampler twice, which moves an onset by up to a sample.
        const std::int32_t slack = rate == 96000 && qEnvironmentVariable("QUORVEL_SOUND_SERVER") == "pipewire" ? 1 : 0;
        const std::int32_t samples = rig.window->Router().Last().result.Samples;
        QVERIFY2(std::abs(samples - static_cast<std::int32_t>(delay)) <= slack, qPrintable(rig.Text("lblVel(1)")));
        QCOMPARE(rig.window->Router().Last().result.SampleRate, rate);
        if (freeze) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.window->Hosts().AnalysisVisible(), 10000);
            QCOMPARE(rig.window->Hosts().Analysis().windowTitle(), QString("Analyze - Shot detected"));
            const RecordingSearch& found = rig.window->Hosts().Analysis().Model().Found();
            QCOMPARE(found.impactPos - found.muzzlePos, static_cast<double>(samples));
            QCOMPARE(rig.window->findChild<QPushButton*>("StartButton")->text(), QString("&Start >>"));
            rig.window->Hosts().Analysis().mnuFile_Click(3);
        } else {
            rig.window->StartButton_Click();
        }
        QVERIFY(rig.dialogs.shown.empty());
    }

    // The list follows microphones plugged in and removed; one removed while
    // recording stops the recording: the server must not move it to another
    // microphone (here mic48000 and the others are there to be moved to).
    void aMicrophoneRemovedWhileRecordingStopsItAndLeavesTheList()
    {
        ::signal(SIGPIPE, SIG_IGN);
        LiveRig rig;
        auto* devices = rig.Find<QComboBox>("DevicesBox");
        const auto listed = [devices](const QString& part) { return devices->findText(part, Qt::MatchContains) >= 0; };
        PluggedMicrophone microphone("plugged");
        QVERIFY(!microphone.module.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(listed("plugged"), 5000);
        PacedWriter writer(microphone.fifo, 48000, {});
        QVERIFY(rig.Choose("plugged", 48000));
        rig.window->StartButton_Click();
        QTest::qWait(600);
        QCOMPARE(rig.Text("StartButton"), QString("S&top"));
        microphone.Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("StartButton"), QString("&Start >>"), 5000);
        QVERIFY2(!rig.dialogs.shown.empty() && rig.dialogs.shown[0].text.rfind("Recording stopped: ", 0) == 0,
                 rig.dialogs.shown.empty() ? "no message" : rig.dialogs.shown[0].text.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(!listed("plugged"), 5000);
        QVERIFY(listed("mic48000"));
    }

    void theVolumeScrollBarDrivesTheServersSourceVolume()
    {
        LiveRig rig;
        QVERIFY(rig.Choose("mic48000", 48000));
        // The server would make up 96 kHz from this 48 kHz source: not offered.
        QCOMPARE(rig.Find<QComboBox>("cmbFreq")->itemText(0), QString("48000"));
        QVERIFY(!rig.Find<QLabel>("lblErr")->isHidden());
        auto* volume = rig.window->findChild<QScrollBar*>("scrVolume");
        QVERIFY(volume->isEnabled());
        volume->setValue(5);
        QProcess pactl;
        pactl.start("pactl", {"get-source-volume", "mic48000"});
        QVERIFY(pactl.waitForFinished(5000));
        const QString level = QString::fromUtf8(pactl.readAllStandardOutput());
        QVERIFY2(level.contains("32750") && level.contains("50%"), qPrintable(level));
        QCOMPARE(rig.Text("lblVolume"), QString("5"));

        QCOMPARE(QProcess::execute("pactl", {"set-source-volume", "mic48000", "30%"}), 0);
        rig.window->Hardware().RefreshVolume();  // what the window does when it is activated again
        QCOMPARE(volume->value(), 3);
        QCOMPARE(rig.Text("lblVolume"), QString("3"));
        QCOMPARE(QProcess::execute("pactl", {"set-source-volume", "mic48000", "100%"}), 0);
    }

    void theAnalysisWindowPlaysIntoTheSoundServer()
    {
        // One window records the null sink's monitor; another plays a shot
        // from its analysis window into that sink: the shot arrives whole.
        LiveRig recorder;
        QVERIFY(recorder.Choose("Remapped", 96000));
        LiveRig player;
        const std::int64_t delay = synth::DelayFor(10, 230.0, 96000);
        synth::Recording r;
        r.length = kRingSamples;
        r.shots.push_back({40000, delay, 0.8, 0.45});
        const fs::path wav = player.dir / "played.wav";
        QCOMPARE(synth::WriteRecording(wav.string(), synth::Synthesize(r), 96000, synth::FileKind::Wav8), std::string());
        AnalysisWindow& analysis = player.window->Hosts().Analysis();
        player.fileDialogs.answer = wav.string();
        analysis.mnuFile_Click(0);
        QCOMPARE(analysis.Model().Found().samples, static_cast<std::int32_t>(delay));

        recorder.window->StartButton_Click();
        // On a busy machine the recording and the playback each take their
        // time to start: the shot must not be played before one listens.
        QTRY_VERIFY_WITH_TIMEOUT(recorder.window->Recording().Session().Recording(), 10000);
        QTest::qWait(600);
        analysis.PlayRange(30000, 60000);
        QVERIFY(analysis.Playing());
        QTRY_VERIFY_WITH_TIMEOUT(!analysis.Playing(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Text("lblVel(5)"), QString("1"), 15000);
        const std::int32_t samples = recorder.window->Router().Last().result.Samples;
        QVERIFY2(std::abs(samples - delay) <= 2, qPrintable(QString("%1 samples for a delay of %2").arg(samples).arg(delay)));
        recorder.window->StartButton_Click();
        QVERIFY(player.dialogs.shown.empty());
    }
};

QTEST_MAIN(AudioPathTest)
#include "AudioPathTest.moc"
