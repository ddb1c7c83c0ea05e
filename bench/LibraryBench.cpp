// The shot library: the library window opening on 100,000 shots in 2,000
// strings (statistics included), against the plain way of asking SQL for
// each string's figures in turn; and what storing a shot costs the UI
// thread, against writing it there (a transaction with synchronous=FULL).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <QApplication>

#include "support/TempFolder.h"
#include "FakeServices.h"
#include "LibraryWindow.h"
#include "ImportJob.h"
#include "LibraryWriter.h"

using namespace quorvel;

namespace {

std::string BigLibrary()
{
    static const std::string path = [] {
        const auto p = test_support::FolderFor("bench") / "library.sqlite";
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(p.string() + suffix);
        std::vector<StoredString> strings;
        for (int s = 0; s < 2000; ++s) {
            StoredString string;
            string.info = {1'700'000'000'000 + s * 3'600'000LL, "String " + std::to_string(s), "HW100", "JSB", "",
                           "2026-01-01T10:00:00Z"};
            for (int n = 1; n <= 50; ++n) {
                StoredShot shot;
                shot.stringId = string.info.id;
                shot.number = n;
                const int second = s * 50 + n;  // one shot a second, all different
                char time[32];
                std::snprintf(time, sizeof time, "2026-01-%02dT%02d:%02d:%02dZ", 1 + second / 86400, second / 3600 % 24,
                              second / 60 % 60, second % 60);
                shot.timeUtc = time;
                shot.muzzleVelocity = 250 + std::sin(s * 50 + n) * 2;
                shot.averageVelocity = *shot.muzzleVelocity - 3;
                shot.pelletMass = 0.547;
                shot.sampleRate = 96000;
                shot.excluded = n == 17;
                string.shots.push_back(shot);
            }
            strings.push_back(std::move(string));
        }
        ShotLibrary library;
        library.Open(p.string());
        library.Import(strings);
        return p.string();
    }();
    return path;
}

void BM_LibraryWindowOpens(benchmark::State& state)
{
    const std::string path = BigLibrary();
    FakeDialogs dialogs;
    FakeFileDialogs files;
    Settings settings;
    for (auto _ : state) {
        LibraryWindow window(path, dialogs, files);
        window.SetSettings(settings);
        window.Reload();
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.SelectedIds());
    }
}
BENCHMARK(BM_LibraryWindowOpens)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same figures the window shows, read the library's way: one pass over all shots.
void BM_LibraryStringsRead(benchmark::State& state)
{
    const std::string path = BigLibrary();
    for (auto _ : state) {
        ShotLibrary library;
        library.Open(path, false);
        benchmark::DoNotOptimize(library.Strings());
    }
}
BENCHMARK(BM_LibraryStringsRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference: each string's statistics from SQL, one query per string.
void BM_LibraryReferenceQueries(benchmark::State& state)
{
    const std::string path = BigLibrary();
    for (auto _ : state) {
        sql::Database db;
        db.Open(path, sql::Database::Mode::ReadOnly);
        sql::Statement ids(db, "SELECT id FROM strings ORDER BY started_utc DESC");
        sql::Statement figures(db, "SELECT count(*), avg(muzzle_velocity), min(muzzle_velocity), max(muzzle_velocity), "
                                   "avg(muzzle_velocity * muzzle_velocity) FROM shots WHERE string_id = ? AND kind = "
                                   "'shot' AND excluded = 0");
        double sum = 0;
        while (ids.Step()) {
            figures.Bind(1, ids.Int(0));
            if (figures.Step()) sum += figures.Real(1) + std::sqrt(std::max(0.0, figures.Real(4) - figures.Real(1) * figures.Real(1)));
            figures.Reset();
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_LibraryReferenceQueries)->Unit(benchmark::kMillisecond)->UseRealTime();

StoredShot OneShot(int n)
{
    StoredShot shot;
    shot.stringId = 1;
    shot.number = n;
    shot.timeUtc = "2026-12-06T10:00:00Z";
    shot.muzzleVelocity = 250;
    shot.averageVelocity = 247;
    shot.sampleRate = 96000;
    return shot;
}

// What the block hand-over pays: the shot handed to the writer's thread.
void BM_StoreShotOnTheUiThread(benchmark::State& state)
{
    const auto path = test_support::FolderFor("bench") / "store.sqlite";
    std::filesystem::remove(path);
    LibraryWriter writer(path.string(), [](bool, const std::string&) {});
    const StringInfo info{1, "bench", "", "", "", "2026-12-06T10:00:00Z"};
    int n = 0;
    for (auto _ : state) writer.Store(info, OneShot(++n));
    const bool stored = writer.WaitIdle(std::chrono::steady_clock::now() + std::chrono::seconds(60));
    state.counters["stored"] = stored && writer.Finish().kept == 0 ? 1 : 0;
    std::filesystem::remove(path);
}
BENCHMARK(BM_StoreShotOnTheUiThread)->Unit(benchmark::kMicrosecond)->Iterations(200);

// The reference: the same shot written on the calling thread, its own transaction, flushed to disk.
void BM_StoreShotWrittenInPlace(benchmark::State& state)
{
    const auto path = test_support::FolderFor("bench") / "inplace.sqlite";
    std::filesystem::remove(path);
    ShotLibrary library;
    library.Open(path.string());
    const StringInfo info{1, "bench", "", "", "", "2026-12-06T10:00:00Z"};
    int n = 0;
    for (auto _ : state) library.AddShot(info, OneShot(++n));
    std::filesystem::remove(path);
}
BENCHMARK(BM_StoreShotWrittenInPlace)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A shot data file imported into a library of 100,000 shots: read,
// checked, each line looked up and stored, in one transaction; against the
// same without the index on the shots' time (each lookup a scan).
void Import(benchmark::State& state, bool indexed, int lines)
{
    const auto dir = test_support::FolderFor("bench-import");
    std::filesystem::create_directories(dir);
    std::string text;
    for (int n = 0; n < lines; ++n) {
        char line[64];
        std::snprintf(line, sizeof line, "2025-%02d-%02d %02d:%02d:%02d , %d , 25%d.5\r\n", 1 + n / 28 / 86400 % 12,
                      1 + n / 86400 % 28, n / 3600 % 24, n / 60 % 60, n % 60, 1 + n % 40, n % 10);
        text += line;
    }
    const auto file = dir / "shots.txt";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    Settings settings;
    settings.RetainedVelocity = 100;
    for (auto _ : state) {
        state.PauseTiming();
        const auto library = dir / "library.sqlite";
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(library.string() + suffix);
        std::filesystem::copy_file(BigLibrary(), library);
        state.ResumeTiming();
        if (indexed) {
            ImportJob job(library.string(), file.string(), settings);
            while (!job.Done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            state.counters["added"] = job.Outcome().added;
        } else {
            ShotLibrary l;
            l.Open(library.string());
            sql::Database db;
            db.Open(library.string(), sql::Database::Mode::ReadWrite);
            db.Exec("DROP INDEX shots_by_time");
            state.counters["added"] = l.Import(ReadShotDataFile(text, settings).strings).value;
        }
    }
    std::filesystem::remove_all(dir);
}
void BM_Import50000Lines(benchmark::State& state) { Import(state, true, 50000); }
// The reference, on the calling thread as the import was, takes 2,000 lines
// only: each line scans every shot, so 50,000 would take minutes.
void BM_Import2000LinesWithoutTheIndex(benchmark::State& state) { Import(state, false, 2000); }
BENCHMARK(BM_Import50000Lines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import2000LinesWithoutTheIndex)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
