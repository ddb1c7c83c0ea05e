// Adding a shot to a string of 10000 and showing it: statistics, readouts,
// layout and the chart painted, against the plain way (a naive pass for the
// statistics and every point of the chart drawn as a circle and a line).
#include <benchmark/benchmark.h>

#include <cmath>

#include <QApplication>
#include <QPainter>

#include "FakeServices.h"
#include "ResultsWindow.h"

using namespace quorvel;

namespace {

ShotString TenThousandShots()
{
    ShotString s;
    const UnitLabels units = SetUnitLabels(UnitSystem::Metric);
    for (int i = 0; i < 10000; ++i) {
        ShotResult shot;
        shot.MuzzleVelocity = 250 + std::sin(i * 0.37) * 3;
        shot.PelletMass = 0.547;
        shot.ShotNumber = i + 1;
        s.FillData(shot, units);
    }
    return s;
}

void BM_ShotIntoLongString(benchmark::State& state)
{
    const ShotString base = TenThousandShots();
    ManualClock clock;
    ShotRouter router(clock);
    ShotString& string = router.String();
    string = base;
    Settings record;
    record.VelocityMin = 200;
    record.VelocityMax = 300;
    const UnitLabels units = SetUnitLabels(UnitSystem::Metric);
    FakeDialogs dialogs;
    FakeFileDialogs files;
    ResultsWindow window(string, record, units, dialogs, files);
    router.SetListener(&window);
    window.show();
    QApplication::processEvents();
    auto* chart = window.findChild<QWidget*>("picHistory");
    MeasuredShot shot;
    shot.result.MuzzleVelocity = 251.2;
    shot.result.PelletMass = 0.547;
    for (auto _ : state) {
        state.PauseTiming();
        string = base;
        router.SetCount(10000);
        state.ResumeTiming();
        router.Route(shot);
        chart->repaint();
        window.repaint();
    }
}

void BM_ShotIntoLongStringReference(benchmark::State& state)
{
    const ShotString base = TenThousandShots();
    std::vector<double> v(base.Velocities().begin(), base.Velocities().begin() + 10001);
    QImage chart(933, 200, QImage::Format_RGB32);
    for (auto _ : state) {
        double sum = 0;
        double squares = 0;
        for (double x : v) {
            sum += x;
            squares += x * x;
        }
        const double mean = sum / static_cast<double>(v.size());
        benchmark::DoNotOptimize(std::sqrt((squares - mean * sum) / static_cast<double>(v.size() - 1)));
        QPainter p(&chart);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(chart.rect(), QColor(0, 0, 64));
        QPointF previous(0, 100);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const QPointF point(static_cast<double>(i) * 933 / static_cast<double>(v.size()), 300 - v[i]);
            p.setPen(QColor(85, 85, 255));
            p.drawEllipse(point, 1.2, 1.2);
            p.setPen(Qt::white);
            p.drawLine(previous, point);
            previous = point;
        }
    }
}

}  // namespace

BENCHMARK(BM_ShotIntoLongString)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShotIntoLongStringReference)->Unit(benchmark::kMicrosecond);
