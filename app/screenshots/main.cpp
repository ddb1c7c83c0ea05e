// quorvel-screenshots DIR: the main window as a shooter sees it just after a
// shot, drawn from a generated recording, saved as DIR/main-window.png.
// Run under xvfb-run (scripts/screenshots) for a real X window.
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>

#include "MainWindow.h"
#include "ShotSynth.h"

using namespace quorvel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorvel-screenshots SETTINGS.ini OUTPUT_DIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[2];
    const std::filesystem::path settings = out / "screenshot-settings.ini";
    std::filesystem::copy_file(argv[1], settings, std::filesystem::copy_options::overwrite_existing);

    FakeLiveDevice device;
    FakeAudioInputs inputs;
    inputs.devices = {{"builtin", "Built-in Audio Analog Stereo", kRate22050 | kRate44100 | kRate96000},
                      {"usb", "USB PnP Sound Device Mono", kRate22050 | kRate44100}};
    FakeClock clock;
    clock.ms = 20000;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeFileDialogs fileDialogs;
    FakeMixer mixer;
    FakeSoundOutput output;
    MainWindow window({device, inputs, clock, dialogs, shell, fileDialogs, mixer, output, settings.string()});
    if (!window.Form_Load()) return 1;
    window.cmdSettings_Click();
    window.show();

    synth::Recording r;
    r.length = 6 * kBlockSize;
    r.noise = 0.03;
    r.shots.push_back({kBlockSize + 9000, synth::DelayFor(10, 183.4, 96000), 0.85, 0.5});
    const auto sound = synth::SynthesizeEightBit(r);
    window.StartButton_Click();
    for (int tick = 1; tick <= 25; ++tick) {
        clock.ms += 50;
        if (tick % 6 == 0) {
            const int block = tick / 6 - 1;
            device.inner.Deliver(std::span<const std::uint8_t>(sound.data() + block * kBlockSize, kBlockSize));
            window.Session().signal_Timer();
        }
        window.Scope().DrawTimer_Timer();
        QApplication::processEvents();
    }
    window.grab().save(QString::fromStdString((out / "main-window.png").string()));
    // The analysis window on the recording, frozen as "Analyze >>" does.
    window.cmdAnalyze_Click();
    window.Analysis().resize(1000, 600);
    QApplication::processEvents();
    window.Analysis().grab().save(QString::fromStdString((out / "analysis-window.png").string()));
    window.Analysis().mnuFile_Click(3);

    // The calibration window, counting down.
    window.cmdTestShot_Click();
    CalibrationWindow& calibration = window.Calibration();
    QApplication::processEvents();
    calibration.findChild<QLabel*>("lblBigTime")->setText("07");
    calibration.findChild<QLabel*>("lblSmallTime")->setText(":40");
    calibration.grab().save(QString::fromStdString((out / "calibration.png").string()));
    calibration.cmdStart_Click(1);

    // The results window after a string of a dozen shots and a miss.
    ResultsWindow& results = window.Results();
    const double velocities[] = {183.4, 185.1, 181.9, 184.6, 186.2, 182.7, 183.9, 185.8, 184.1, 182.2, 185.3, 184.8};
    for (int i = 1; i < 12; ++i) {
        ShotResult shot;
        shot.MuzzleVelocity = velocities[i];
        shot.PelletMass = 0.547;
        shot.ShotNumber = i + 1;
        results.FillData(shot);
    }
    results.show();
    QApplication::processEvents();
    results.grab().save(QString::fromStdString((out / "results-window.png").string()));
    std::filesystem::remove(settings);
    return 0;
}
