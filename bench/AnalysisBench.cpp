// The analysis window at 1280 x 800: a full redraw of both views against
// a reference that draws every sample as a polyline, and one step of a
// level drag (search, texts, redraw).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>

#include "FakeServices.h"
#include "AnalysisWindow.h"
#include "ShotSynth.h"

using namespace quorvel;

namespace {

class BenchHost final : public AnalysisHost {
public:
    void SetMainEnabled(bool) override {}
    void AnalysisClosed(bool) override {}
    void MeasureRecordingFile() override {}
    bool Ending() const override { return false; }
};

SettingsModel BenchSettings()
{
    LoadedSettings loaded;
    loaded.record.distance = 10;
    loaded.record.VelocityMin = 50;
    loaded.record.VelocityMax = 400;
    loaded.record.MuzzleVolume = 60;
    loaded.record.ImpactVolume = 30;
    SettingsModel model;
    model.Load(loaded);
    return model;
}

struct Bench {
    Bench() : settings(BenchSettings()), window(host, settings, clock, dialogs, files, output, "/tmp", [] {})
    {
        synth::Recording r;
        r.length = kRingSamples;
        r.noise = 0.03;
        r.shots.push_back({50000, 5000, 0.8, 0.45});
        const auto sound = synth::SynthesizeEightBit(r);
        SampleArray wave;
        std::copy(sound.begin(), sound.end(), wave.begin());
        wave[kRingSamples] = kSilence;
        window.SetWaveform(wave, 96000, true);
        window.resize(1280, 800);
        window.show();
        window.Form_Activate();
        QApplication::processEvents();
    }
    BenchHost host;
    SettingsModel settings;
    ManualClock clock;
    FakeDialogs dialogs;
    FakeFileDialogs files;
    FakeSoundOutput output;
    AnalysisWindow window;
};

void BM_AnalysisRedraw(benchmark::State& state)
{
    Bench b;
    auto* overview = b.window.findChild<QWidget*>("picAll");
    auto* zoom = b.window.findChild<QWidget*>("picAnalyze");
    for (auto _ : state) {
        overview->repaint();
        zoom->repaint();
    }
}

void BM_AnalysisRedrawReference(benchmark::State& state)
{
    Bench b;
    const SampleArray& wave = b.window.Model().Waveform();
    QImage overview(1256, 72, QImage::Format_RGB32);
    QImage zoom(1256, 600, QImage::Format_RGB32);
    const int zoomFirst = static_cast<int>(b.window.Model().ZoomLeft());
    const int zoomCount = static_cast<int>(b.window.Model().ZoomWidth());
    for (auto _ : state) {
        for (QImage* image : {&overview, &zoom}) {
            const bool whole = image == &overview;
            const int first = whole ? 0 : zoomFirst;
            const int count = whole ? kRingSamples : zoomCount;
            QPainter p(image);
            p.fillRect(image->rect(), Qt::white);
            QPolygonF line;
            line.reserve(count);
            for (int i = 0; i < count; ++i) {
                line << QPointF(static_cast<double>(i) * image->width() / count,
                                wave[static_cast<std::size_t>(first + i)] * (image->height() - 1) / 255.0);
            }
            p.drawPolyline(line);
        }
        benchmark::DoNotOptimize(zoom.bits());
    }
}

void BM_LevelDragStep(benchmark::State& state)
{
    Bench b;
    int level = 25;
    for (auto _ : state) {
        level = level == 25 ? 35 : 25;
        b.settings.SetVolumes(60, static_cast<std::int16_t>(level));
        b.window.Form_Activate();
        b.window.DrawZoomArray();
        b.window.findChild<QWidget*>("picAnalyze")->repaint();
        b.window.findChild<QWidget*>("picAll")->repaint();
    }
}

}  // namespace

BENCHMARK(BM_AnalysisRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalysisRedrawReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LevelDragStep)->Unit(benchmark::kMicrosecond);
