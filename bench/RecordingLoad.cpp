// quorvel-recording-load [SECONDS]: what the main window costs on a real
// sound server. Prints the time from process start to the window shown, and
// the CPU share of one core over SECONDS idle and SECONDS recording with the
// scope sweeping (from /proc/self/stat). Run by `make bench` through
// tests/platform/with-sound-server, recording the null sink's monitor.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include "support/TempFolder.h"
#include "FakeServices.h"
#include "MainWindow.h"

using namespace quorvel;

namespace {

// Field `n` (1-based, as in proc(5)) of /proc/self/stat, in clock ticks.
double StatField(int n)
{
    std::ifstream in("/proc/self/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));  // field 3 onwards
    std::string f;
    for (int i = 3; i <= n && fields >> f; ++i) {
        if (i == n) return std::stod(f);
    }
    return 0;
}

double Ticks() { return static_cast<double>(::sysconf(_SC_CLK_TCK)); }

double CpuSeconds() { return (StatField(14) + StatField(15)) / Ticks(); }

double MillisecondsSinceProcessStart()
{
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    return (uptime - StatField(22) / Ticks()) * 1000;
}

// Times any of the process's threads was woken, summed over its threads.
double Wakeups()
{
    double total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stod(line.substr(24));
        }
    }
    return total;
}

struct Load {
    double share = 0;      // % of one core
    double wakeups = 0;    // per second
};

Load Share(double seconds, const std::function<void()>& during)
{
    const double cpu0 = CpuSeconds();
    const double woken0 = Wakeups();
    QElapsedTimer wall;
    wall.start();
    during();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000;
    return {(CpuSeconds() - cpu0) / elapsed * 100, (Wakeups() - woken0) / elapsed};
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    const auto dir = test_support::FolderFor("load");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "settings.ini") << "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\n"
                                           "RetainedVelocity=90\n[calibration]\nMuzzleVolume=60\nImpactVolume=30\n"
                                           "[hardware]\nfrequency=96000\ndeviceNum=0\n";
    SteadyClock clock;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeFileDialogs fileDialogs;
    std::unique_ptr<Mixer> mixerOwned = MakePulseMixer();
    Mixer& mixer = *mixerOwned;
    FakeSoundOutput output;
    const auto inputs = MakePulseAudioInputs();
    const auto device = MakePulseRecordingDevice();
    MainWindow window({*device, *inputs, clock, dialogs, shell, fileDialogs, mixer, output, (dir / "settings.ini").string()});
    if (!window.Form_Load()) return 1;
    window.show();
    QApplication::processEvents();
    const double startup = MillisecondsSinceProcessStart();

    auto* devices = window.findChild<QComboBox*>("DevicesBox");
    for (int i = 0; i < devices->count(); ++i) {
        if (devices->itemText(i).contains("shotmic") || devices->itemText(i).contains("Remapped")) devices->setCurrentIndex(i);
    }
    window.findChild<QComboBox*>("cmbFreq")->setEditText("96000");
    window.cmdSettings_Click();  // the scope only sweeps with the panel open

    const Load idle = Share(seconds, [] {});
    const Load recording = Share(seconds, [&] { window.StartButton_Click(); });
    const int blocks = window.Recording().Session().Engine().LastHandedBlock();
    window.StartButton_Click();
    // The same with the onset method chosen in the panel, then without the scope.
    auto* method = window.findChild<QComboBox*>("cmbMethod");
    method->setCurrentIndex(1);
    emit method->activated(1);
    const Load onset = Share(seconds, [&] { window.StartButton_Click(); });
    window.StartButton_Click();
    window.cmdSettings_Click();
    const Load hidden = Share(seconds, [&] { window.StartButton_Click(); });
    window.StartButton_Click();
    std::printf("start-up to window shown: %.0f ms\n", startup);
    std::printf("CPU, window idle:        %.2f %% of one core over %.0f s, %.0f wake-ups/s\n", idle.share, seconds,
                idle.wakeups);
    std::printf("CPU, recording + scope:  %.2f %% of one core over %.0f s, %.0f wake-ups/s (last block %d, %zu messages)\n",
                recording.share, seconds, recording.wakeups, blocks, dialogs.shown.size());
    std::printf("recording costs:         %.2f %% of one core above idle (threshold method)\n", recording.share - idle.share);
    std::printf("                         %.2f %% of one core above idle (onset method), %.0f wake-ups/s\n",
                onset.share - idle.share, onset.wakeups);
    std::printf("                         %.2f %% of one core above idle (onset method, scope hidden), %.0f wake-ups/s\n",
                hidden.share - idle.share, hidden.wakeups);
    for (const auto& m : dialogs.shown) std::printf("message: %s\n", MessageLine(m.title, m.text).c_str());
    std::filesystem::remove_all(dir);
    window.DoEnd();
    return 0;
}
