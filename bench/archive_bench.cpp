// The archive never slows a read and its history answers at once. Targets: keeping one read
// (its preparation, the file's text, the atomic write forced to the disk) within 5 ms; with
// 100,000 kept reads the history's first screen (the newest 50) within 200 ms and a job filter
// within 50 ms. The archive is generated once per run in a temporary folder: 100,000 files of a
// real read over 25 months, each with its own job and time. Both the warm index (a history
// opened again) and the cold rebuild (no index: the files read again) are reported.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "archive/archive_keeper.h"
#include "archive/archive_store.h"
#include "capture_rig.h"
#include "common/tracer_stream.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 100000;
constexpr int kMonths = 25;

SharedState capturedRead() {
  testing::CaptureRig rig;
  rig.start();
  rig.burst(toolkit::buildStream(toolkit::offCentre(toolkit::superellipse(26, 17, 6), 2, -1), {}, 1, 42));
  rig.state.filterscope = 3;
  return rig.state;
}

WallTime fixedTime() { return {2026, 12, 7, 14, 30, 12}; }

fs::path freshFolder(const char* name) {
  std::random_device random;
  fs::path folder;
  do folder = fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(random()));
  while (!fs::create_directory(folder));
  return folder;
}

// The archive of 100,000 reads, made once; removed when the run ends.
struct GeneratedArchive {
  fs::path root;
  GeneratedArchive() : root(freshFolder("kovrel-archive-bench") / "trazados") {
    KeptRead kept = keptReadOf(capturedRead(), 0, 3, fixedTime());
    const std::string whole = writeKeptRead(kept);
    const std::string tail = whole.substr(whole.find("HBOX="));
    // Newest month first: by the end its folder has settled and its index may be trusted.
    int job = kFiles;
    for (int m = kMonths - 1; m >= 0; --m) {
      const int year = 2025 + (m + 11) / 12, month = (m + 11) % 12 + 1;
      char name[16];
      std::snprintf(name, sizeof name, "%04d-%02d", year, month);
      fs::create_directories(root / name);
      for (int i = kFiles / kMonths - 1; i >= 0; --i, --job) {
        kept.job = std::to_string(job);
        kept.time = {year, month, 1 + i / 160, 8 + i % 160 / 16, (i % 16) * 3, i % 60};
        const std::string text =
            "JOB=" + kept.job + "\r\n_KOVREL=1\r\n_FECHA=" + wallTimeText(kept.time) + "\r\n" + tail;
        std::ofstream(root / name / ArchiveStore::fileNameFor(kept), std::ios::binary) << text;
      }
    }
  }
  ~GeneratedArchive() {
    std::error_code ignored;
    fs::remove_all(root.parent_path(), ignored);
  }
};

GeneratedArchive& archive() {
  static GeneratedArchive generated;
  return generated;
}

void BM_KeepOneRead(benchmark::State& state) {
  const SharedState read = capturedRead();
  const fs::path folder = freshFolder("kovrel-keep-bench");
  ArchiveStore store(folder / "trazados", fixedTime);
  ArchiveKeeper keeper(store);
  for (auto _ : state) benchmark::DoNotOptimize(keeper.readFinished(read, 0, 3));
  state.counters["files"] = static_cast<double>(state.iterations());
  fs::remove_all(folder);
}
BENCHMARK(BM_KeepOneRead)->Unit(benchmark::kMillisecond)->Iterations(200);

// Every month listed once and its index written, as a history opened before leaves them.
void warmIndex(const fs::path& root) {
  ArchiveStore warm(root, fixedTime);
  warm.list({"x", "", ""}, 0, 50);  // no job matches: every month is read
  warm.saveIndex();
}

void firstScreen(benchmark::State& state, bool indexKept) {
  const fs::path root = archive().root;
  if (indexKept) warmIndex(root);
  std::size_t shown = 0;
  for (auto _ : state) {
    if (!indexKept) {
      state.PauseTiming();
      fs::remove_all(root / ".indice");
      state.ResumeTiming();
    }
    ArchiveStore store(root, fixedTime);  // a history window opened
    shown = store.list({}, 0, 50).entries.size();
    if (!indexKept) store.saveIndex();
  }
  state.counters["entries"] = static_cast<double>(shown);
}
void BM_FirstScreenWarmIndex(benchmark::State& state) { firstScreen(state, true); }
void BM_FirstScreenColdRebuild(benchmark::State& state) { firstScreen(state, false); }

// The operator types digits in an open history: every month already in memory (the history
// reads them all once its first screen is up).
void BM_JobFilterOpenHistory(benchmark::State& state) {
  warmIndex(archive().root);
  ArchiveStore store(archive().root, fixedTime);
  store.list({"x", "", ""}, 0, 50);
  std::size_t found = 0;
  int digits = 0;
  for (auto _ : state) {
    found = store.list({std::to_string(1234 + digits++ % 100), "", ""}, 0, 50).entries.size();
  }
  state.counters["entries"] = static_cast<double>(found);
}

// A job filter as the first thing a history opened does: every month's index read.
void jobFilterFresh(benchmark::State& state, bool indexKept) {
  const fs::path root = archive().root;
  if (indexKept) warmIndex(root);
  std::size_t found = 0;
  for (auto _ : state) {
    if (!indexKept) {
      state.PauseTiming();
      fs::remove_all(root / ".indice");
      state.ResumeTiming();
    }
    ArchiveStore store(root, fixedTime);
    found = store.list({"98765", "", ""}, 0, 50).entries.size();
    if (!indexKept) store.saveIndex();
  }
  state.counters["entries"] = static_cast<double>(found);
}
void BM_JobFilterFreshWarmIndex(benchmark::State& state) { jobFilterFresh(state, true); }
void BM_JobFilterFreshColdRebuild(benchmark::State& state) { jobFilterFresh(state, false); }
// Warm first (the index written once), the cold rebuilds last: each leaves only what it read.
BENCHMARK(BM_FirstScreenWarmIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JobFilterOpenHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JobFilterFreshWarmIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstScreenColdRebuild)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_JobFilterFreshColdRebuild)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kovrel

BENCHMARK_MAIN();
