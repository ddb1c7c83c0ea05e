// From a block's notification to the measuring labels and the scope updated
// on screen, against a scope that draws every sample of the block as a
// polyline.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QPainter>

#include "support/TempFolder.h"
#include "FakeServices.h"
#include "MainWindow.h"
#include "ShotSynth.h"

using namespace quorvel;

namespace {

struct BenchWindow : FakeServices {
    BenchWindow()
    {
        dir = test_support::FolderFor("bench-window");
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "settings.ini") << "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\n"
                                               "RetainedVelocity=90\n[calibration]\nMuzzleVolume=60\nImpactVolume=30\n"
                                               "[hardware]\nfrequency=96000\ndeviceNum=0\n";
        inputs.devices = {{"mic", "Mic", kRate96000 | kRate44100}};
        clock.ms = 20000;
        window = std::make_unique<MainWindow>(MainServices{device, inputs, clock, dialogs, shell, fileDialogs, mixer, output, (dir / "settings.ini").string()});
        window->Form_Load();
        window->cmdSettings_Click();
        window->show();
        QApplication::processEvents();
        synth::Recording r;
        r.length = 10 * kBlockSize;
        for (int k = 0; k < 3; ++k) r.shots.push_back({k * 3 * kBlockSize + 5000, 5200 + k * 30, 0.8, 0.45});
        sound = synth::SynthesizeEightBit(r);
    }
    std::filesystem::path dir;
    std::unique_ptr<MainWindow> window;
    std::vector<std::uint8_t> sound;
};

// One block: its report, the hand-over with the scan and the labels, the
// scope's 6 ticks of 50 ms that draw it, and the repaint.
void BM_BlockToScreen(benchmark::State& state)
{
    BenchWindow b;
    b.window->StartButton_Click();
    long block = 0;
    for (auto _ : state) {
        const long k = block++ % 10;
        b.device.inner.Deliver(std::span<const std::uint8_t>(b.sound.data() + k * kBlockSize, kBlockSize));
        b.window->Recording().Session().signal_Timer();
        for (int tick = 0; tick < 6; ++tick) {
            b.clock.ms += 50;
            b.window->Scope().DrawTimer_Timer();
        }
        QApplication::processEvents();
    }
    b.window->StartButton_Click();
}

void BM_BlockToScreenReference(benchmark::State& state)
{
    BenchWindow b;
    QImage picture(643, 68, QImage::Format_RGB32);
    long block = 0;
    for (auto _ : state) {
        const std::uint8_t* s = b.sound.data() + (block++ % 10) * kBlockSize;
        QPainter p(&picture);
        p.fillRect(picture.rect(), Qt::black);
        p.setPen(Qt::green);
        QPointF previous(0, s[0] * 67 / 255.0);
        for (int i = 1; i < kBlockSize; ++i) {
            const QPointF point(i * 643.0 / kRingSamples, s[i] * 67 / 255.0);
            p.drawLine(previous, point);
            previous = point;
        }
        benchmark::DoNotOptimize(picture.bits());
    }
}

}  // namespace

BENCHMARK(BM_BlockToScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockToScreenReference)->Unit(benchmark::kMicrosecond);
