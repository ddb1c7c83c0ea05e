// quorvel-bench: Google Benchmark with a QApplication, so the window
// benchmarks run offscreen beside the core ones.
#include <cstdlib>

#include <benchmark/benchmark.h>

#include <QApplication>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
