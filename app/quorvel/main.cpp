// quorvel: the main window on the sound server's recording devices.
#include <csignal>
#include <filesystem>

#include <QApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include "AudioInputs.h"
#include "Clock.h"
#include "Dialogs.h"
#include "LiveRecordingDevice.h"
#include "MainWindow.h"
#include "Mixer.h"
#include "SoundOutput.h"
#include "Shell.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &c, 1);
}

std::string ProgramFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("quorvel");

    quorvel::SteadyClock clock;
    quorvel::QtDialogs dialogs;
    quorvel::QtShell shell;
    quorvel::QtFileDialogs fileDialogs;
    const auto mixerOwned = quorvel::MakePulseMixer();
    quorvel::Mixer& mixer = *mixerOwned;
    const auto outputOwned = quorvel::MakeQtSoundOutput();
    quorvel::SoundOutput& output = *outputOwned;
    const auto inputs = quorvel::MakePulseAudioInputs();
    const auto device = quorvel::MakePulseRecordingDevice();
    // The README lies where the build and the package both put it, beside
    // the program's own share folder.
    const std::string readme = ProgramFolder() + "/../share/quorvel/README.md";
    quorvel::MainWindow window({*device, *inputs, clock, dialogs, shell, fileDialogs, mixer, output,
                                ProgramFolder() + "/settings.ini", {}, readme});
    QObject::connect(&window, &quorvel::MainWindow::ended, &app, [] { QCoreApplication::exit(0); });

    // SIGTERM and SIGINT take the same orderly way out as "Exit".
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe);
    QSocketNotifier terminate(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&terminate, &QSocketNotifier::activated, &window, [&] {
        char c = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[1], &c, 1);
        window.DoEnd();
    });
    std::signal(SIGTERM, OnTerminate);
    std::signal(SIGINT, OnTerminate);

    if (!window.Form_Load()) return 1;
    if (window.Ended()) return 0;  // a signal during a start-up message already ended it
    window.show();
    return QApplication::exec();
}
