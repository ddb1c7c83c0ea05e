// quorvel-screenshots SETTINGS DIR: the windows as a shooter sees them, the
// main window just after a shot drawn from a generated recording, the
// library on a made-up afternoon, and a page of its report, saved in DIR.
// Run under xvfb-run (scripts/screenshots) for a real X window.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>

#include "FakeServices.h"
#include "LibraryWindow.h"
#include "MainWindow.h"
#include "ShotSynth.h"

using namespace quorvel;

namespace {

// Three strings of an afternoon: a pre-charged gun's full fill (rising,
// level, falling), then two pellets of ten shots each.
void FillLibrary(const std::string& path)
{
    ShotLibrary library;
    library.Open(path);
    const auto add = [&](std::int64_t id, const char* name, const char* pellet, const char* started,
                         const std::vector<double>& velocities, int flyer) {
        const StringInfo info{id, name, "FX Impact M3", pellet, "", started};
        for (std::size_t i = 0; i < velocities.size(); ++i) {
            StoredShot s;
            s.stringId = id;
            s.number = static_cast<int>(i) + 1;
            s.timeUtc = std::string(started).substr(0, 14) + std::to_string(10 + i / 2) + ":" + std::to_string(10 + i % 50) + "Z";
            s.muzzleVelocity = velocities[i];
            s.averageVelocity = velocities[i] * 0.95;
            s.pelletMass = 1.03;
            s.sampleRate = 96000;
            s.distance = 10;
            s.excluded = static_cast<int>(i) + 1 == flyer;
            library.AddShot(info, s);
        }
    };
    std::vector<double> fill;
    for (int n = 0; n < 40; ++n) {
        const double rise = n < 8 ? (8 - n) * 1.6 : 0;
        const double fall = n > 30 ? (n - 30) * 1.9 : 0;
        fill.push_back(268.0 - rise - fall + 0.45 * std::sin(n * 1.7));
    }
    add(1000, "Full fill, 200 bar", "JSB Hades 15.89 gr", "2026-12-05T13:00:00Z", fill, 0);
    add(2000, "JSB Exact 15.89", "JSB Exact 15.89 gr", "2026-12-05T14:30:00Z",
        {267.2, 267.9, 266.8, 267.5, 268.1, 267.0, 267.6, 267.3, 262.4, 267.8}, 9);
    add(3000, "H&N Baracuda 18", "H&N Baracuda 18.13 gr", "2026-12-05T15:00:00Z",
        {259.1, 261.4, 258.2, 260.8, 257.9, 261.9, 259.6, 258.7, 260.9, 259.3}, 0);
}

// The main window recording a shot, then the analysis window frozen on it as "Analyze >>" does.
void ShootMainAndAnalysis(MainWindow& window, FakeServices& fakes, const std::filesystem::path& out)
{
    synth::Recording r;
    r.length = 6 * kBlockSize;
    r.noise = 0.03;
    r.shots.push_back({kBlockSize + 9000, synth::DelayFor(10, 183.4, 96000), 0.85, 0.5});
    const auto sound = synth::SynthesizeEightBit(r);
    window.StartButton_Click();
    for (int tick = 1; tick <= 25; ++tick) {
        fakes.clock.ms += 50;
        if (tick % 6 == 0) {
            const int block = tick / 6 - 1;
            fakes.device.inner.Deliver(std::span<const std::uint8_t>(sound.data() + block * kBlockSize, kBlockSize));
            window.Recording().Session().signal_Timer();
        }
        window.Scope().DrawTimer_Timer();
        QApplication::processEvents();
    }
    window.grab().save(QString::fromStdString((out / "main-window.png").string()));
    window.cmdAnalyze_Click();
    window.Hosts().Analysis().resize(1000, 600);
    QApplication::processEvents();
    window.Hosts().Analysis().grab().save(QString::fromStdString((out / "analysis-window.png").string()));
    window.Hosts().Analysis().mnuFile_Click(3);
}

// The calibration window counting down, then the results window after a string of a dozen shots.
void ShootCalibrationAndResults(MainWindow& window, const std::filesystem::path& out)
{
    window.cmdTestShot_Click();
    CalibrationWindow& calibration = window.Hosts().Calibration();
    QApplication::processEvents();
    calibration.findChild<QLabel*>("lblBigTime")->setText("07");
    calibration.findChild<QLabel*>("lblSmallTime")->setText(":40");
    calibration.grab().save(QString::fromStdString((out / "calibration.png").string()));
    calibration.cmdStart_Click(1);

    ResultsWindow& results = window.Hosts().Results();
    const double velocities[] = {183.4, 185.1, 181.9, 184.6, 186.2, 182.7, 183.9, 185.8, 184.1, 182.2, 185.3, 184.8};
    for (int i = 1; i < 12; ++i) {
        MeasuredShot shot;
        shot.result.MuzzleVelocity = velocities[i];
        shot.result.PelletMass = 0.547;
        window.Router().Route(shot);
    }
    results.show();
    QApplication::processEvents();
    results.grab().save(QString::fromStdString((out / "results-window.png").string()));
}

// The library comparing two pellets, and the report of one string; the
// shot measured above is taken out again.
void ShootLibrary(MainWindow& window, FakeServices& fakes, const std::filesystem::path& data, const std::filesystem::path& out)
{
    const std::int64_t measured = window.Router().Recorder()->LibraryId();
    window.Library().Finish();
    ShotLibrary stored;
    stored.Open((data / "library.sqlite").string());
    stored.Remove(measured);
    LibraryWindow& library = window.Library().ShowWindow(window.Settings().Record());
    library.resize(1100, 760);
    library.SelectStrings({2000, 3000});
    QApplication::processEvents();
    library.grab().save(QString::fromStdString((out / "library-window.png").string()));
    library.SelectStrings({1000});
    fakes.fileDialogs.answer = (data / "report.pdf").string();
    library.SaveReport();
    const std::string page =
        "pdftoppm -png -r 60 -singlefile '" + fakes.fileDialogs.answer + "' '" + (out / "report-page").string() + "'";
    if (std::system(page.c_str()) != 0) std::fprintf(stderr, "quorvel-screenshots: pdftoppm failed\n");
    library.close();
}

}  // namespace

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

    FakeServices fakes;
    fakes.inputs.devices = {{"builtin", "Built-in Audio Analog Stereo", kRate22050 | kRate44100 | kRate96000},
                            {"usb", "USB PnP Sound Device Mono", kRate22050 | kRate44100}};
    fakes.clock.ms = 20000;
    // The library is a made-up afternoon at the range, not the shots above.
    const std::filesystem::path data = std::filesystem::temp_directory_path() / "quorvel-screenshots";
    std::filesystem::remove_all(data);
    std::filesystem::create_directories(data);
    FillLibrary((data / "library.sqlite").string());
    MainWindow window({fakes.device, fakes.inputs, fakes.clock, fakes.dialogs, fakes.shell, fakes.fileDialogs, fakes.mixer,
                       fakes.output, settings.string(), {}, {}, data.string()});
    if (!window.Form_Load()) return 1;
    window.cmdSettings_Click();
    window.show();
    ShootMainAndAnalysis(window, fakes, out);
    ShootCalibrationAndResults(window, out);
    ShootLibrary(window, fakes, data, out);
    std::filesystem::remove(settings);
    std::filesystem::remove_all(data);
    return 0;
}
