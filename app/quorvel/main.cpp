// quorvel: the main window on the sound server's recording devices.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include <QApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include "AboutText.h"
#include "AudioInputs.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Instance.h"
#include "LiveRecordingDevice.h"
#include "Locations.h"
#include "MainWindow.h"
#include "Mixer.h"
#include "Shell.h"
#include "SoundOutput.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &c, 1);
}

constexpr const char* kUsage =
    "usage: quorvel [--settings PATH] [--new-instance] [--record]\n"
    "       quorvel --help | --version\n"
    "  --settings PATH   read and save the settings in PATH (the shot data and waveforms go beside it)\n"
    "  --new-instance    start another window even when Quorvel is running already\n"
    "  --record          start recording at once, as \"Start >>\" does\n"
    "Without --settings: settings.ini beside the program when it is there, else\n"
    "$XDG_CONFIG_HOME/quorvel/settings.ini (normally ~/.config/quorvel/), with the shot\n"
    "data, waveforms and the shot library in $XDG_DATA_HOME/quorvel/ (normally\n"
    "~/.local/share/quorvel/).\n"
    "\n"
    "Getting started: open \"Settings >>\" and choose the microphone under Hardware (Device, Frequency,\n"
    "Volume); fire a \"Calibration Shot >>\" and Apply the muzzle and impact volumes the analysis\n"
    "window suggests. No microphone? The line at the bottom of the window measures the demo\n"
    "recording (share/quorvel/demo-recording.wav beside the program's folder); Ctrl+M measures\n"
    "any recording. The README lies beside it (share/quorvel/README.md).\n"
    "Report a problem at " QUORVEL_BUGS "\n";

struct Options {
    std::string settings;
    bool newInstance = false;
    bool record = false;
    int exitNow = -1;  // set when the options alone decide
};

Options ReadOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            o.exitNow = 0;
        } else if (a == "--version") {
            std::printf("quorvel %s\n", quorvel::QuorvelVersion());
            o.exitNow = 0;
        } else if (a == "--new-instance") {
            o.newInstance = true;
        } else if (a == "--record") {
            o.record = true;
        } else if (a == "--settings" && i + 1 < argc) {
            o.settings = argv[++i];
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "quorvel: unknown option %s\n%s", a.c_str(), kUsage);
            o.exitNow = 2;
        }  // single-dash options are Qt's own (-platform, ...)
        if (o.exitNow >= 0) break;
    }
    return o;
}

// Two names for one file (a link, a relative path) are the same settings.
bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) || a == b;
}

// A signal is only noted in its handler; the event loop runs `terminate`.
std::unique_ptr<QSocketNotifier> WatchSignals(std::function<void()>& terminate)
{
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe);
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [&terminate] {
        char c = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[1], &c, 1);
        terminate();
    });
    std::signal(SIGTERM, OnTerminate);
    std::signal(SIGINT, OnTerminate);
    return notifier;
}

std::unique_ptr<quorvel::Instance> MakeInstance()
{
    std::string unguarded;
    auto instance = quorvel::MakeLocalSocketInstance(quorvel::InstanceSocketPath(&unguarded));
    if (!unguarded.empty()) std::fprintf(stderr, "quorvel: %s: a second Quorvel would not be noticed\n", unguarded.c_str());
    return instance;
}

// False when another Quorvel runs already: its window came to the front
// (recording, when asked), and this start ends.
bool ClaimInstance(quorvel::Instance& instance, const Options& options, const quorvel::FileLocations& where,
                   quorvel::Dialogs& dialogs)
{
    const quorvel::Instance::Claimed claimed = instance.Claim(options.record);
    if (claimed.first) return true;
    std::fprintf(stderr, "quorvel: Quorvel is running already; its window was brought to the front%s\n",
                 options.record ? " and records" : "");
    if (!options.settings.empty() && !SameFile(where.settingsFile, claimed.runningSettings)) {
        dialogs.Critical("Quorvel", "Quorvel is running already, with the settings " + claimed.runningSettings +
                                        "; its window was brought to the front. The settings " + where.settingsFile +
                                        " are not used: close Quorvel and start it again with them, or start it "
                                        "with --new-instance to run both.");
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = ReadOptions(argc, argv);
    if (options.exitNow >= 0) return options.exitNow;
    QApplication app(argc, argv);
    QApplication::setApplicationName("quorvel");
    QApplication::setDesktopFileName("quorvel");

    // SIGTERM and SIGINT take the same orderly way out as "Exit"; before the
    // window exists (a message about the settings' folder) they just end.
    std::function<void()> terminate = [] { QCoreApplication::exit(1); };
    const auto signalWatch = WatchSignals(terminate);

    quorvel::QtDialogs dialogs;
    const quorvel::FileLocations where = quorvel::LocateFiles(quorvel::CurrentEnvironment(options.settings));
    if (const std::string problem = quorvel::PrepareFiles(where); !problem.empty()) {
        dialogs.Critical("Error", problem + quorvel::kLineBreak + "Can't continue");
        return 1;
    }
    std::unique_ptr<quorvel::Instance> instance = MakeInstance();
    if (!options.newInstance && !ClaimInstance(*instance, options, where, dialogs)) return 0;

    quorvel::SteadyClock clock;
    quorvel::QtShell shell;
    quorvel::QtFileDialogs fileDialogs;
    const auto mixer = quorvel::MakePulseMixer();
    const auto output = quorvel::MakeQtSoundOutput();
    const auto inputs = quorvel::MakePulseAudioInputs();
    const auto device = quorvel::MakePulseRecordingDevice();
    const auto env = quorvel::CurrentEnvironment(options.settings);
    // The README lies where the build and the package both put it.
    const std::string readme = env.programFolder + "/../share/quorvel/README.md";
    const std::string demo = env.programFolder + "/../share/quorvel/demo-recording.wav";
    quorvel::MainWindow window({*device, *inputs, clock, dialogs, shell, fileDialogs, *mixer, *output, where.settingsFile,
                                {}, readme, where.dataFolder, demo});
    QObject::connect(&window, &quorvel::MainWindow::ended, &app, [] { QCoreApplication::exit(0); });
    instance->onRaise = [&window, &where](bool record) {
        std::fprintf(stderr, "quorvel: a second start brought the window to the front%s\n", record ? " to record" : "");
        window.showNormal();
        window.raise();
        window.activateWindow();
        // Started as a shortcut to the firing line: it records, as asked.
        if (record && window.Recording().State() != quorvel::RecordingState::Recording && window.isEnabled()) {
            window.StartButton_Click();
        }
        return where.settingsFile;
    };

    terminate = [&window] { window.DoEnd(); };

    if (!window.Form_Load()) return 1;
    if (window.Recording().Ending()) return 0;  // a signal during a start-up message already ended it
    window.show();
    if (options.record && window.Recording().State() != quorvel::RecordingState::Recording) window.StartButton_Click();
    return QApplication::exec();
}
