// A day at the tracer in a few seconds: the same program reads and sends a thousand times
// without a restart, through the real capture, preparation and host exchange on in-memory
// ports. What it must not do is grow: the resident memory from read 100 on (the first reads
// settle the allocator) stays flat, and every read takes as long as the first ones. The same for
// kovrel-cli answering the recorded read again and again.
//
//   bench_soak [--reads=N] [benchmark flags]     N reads per run (1000 unless given)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli_run.h"
#include "headless_program.h"

namespace {

using kovrel::LensType;
using kovrel::cli::HeadlessProgram;

// The recorded read of tests/data/cli and kovrel-cli's recorded answer to it.
const std::string kStreamPath = KOVREL_CLI_DATA "/offcentre_rect.stream";
const std::string kAnswerPath = KOVREL_CLI_DATA "/offcentre_rect.answer.bin";

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Resident memory of this process in KiB (Linux: the second field of /proc/self/statm, pages).
double residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long total = 0, resident = 0;
  statm >> total >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// Runs `once` (true when it did what it should) `reads` times; reports the time per read and the
// resident growth from the settling read on.
template <typename Once>
void soak(benchmark::State& state, Once once) {
  const int reads = static_cast<int>(state.range(0));
  const int settled = reads >= 1000 ? 100 : reads / 10;  // the read after which growth counts
  for (auto _ : state) {
    double before = residentKiB();
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int n = 1; n <= reads; ++n) {
      if (!once()) {
        state.SkipWithError(("read " + std::to_string(n) + " did not end as recorded").c_str());
        return;
      }
      if (n == settled) before = residentKiB();
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    // The processor time too: on a busy machine the wall clock mostly measures the others.
    const double cpuSpent = 1e6 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.counters["us_per_read"] = spent.count() / reads;
    state.counters["cpu_us_per_read"] = cpuSpent / reads;
    state.counters["rss_growth_KiB"] = residentKiB() - before;
    state.counters["from_read"] = settled;
  }
}

// One program, `reads` reads of the recorded stream, each sent to a host that acknowledges.
void BM_SoakReadAndSend(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = fileBytes(kStreamPath);
  const std::vector<std::uint8_t> expected = fileBytes(kAnswerPath);
  HeadlessProgram program(3.0, 0.0);
  kovrel::oma::Bytes answer;
  soak(state, [&] {
    const bool done = program.read(stream) && program.send(LensType::Same, true, std::nullopt, answer);
    // What the in-memory ports and window record is the fakes' memory, not the program's.
    program.forgetRecordings();
    return done && answer == expected;
  });
}

// kovrel-cli answer on the recorded read, in this process, `reads` times.
void BM_SoakCliAnswers(benchmark::State& state) {
  const std::vector<std::uint8_t> expected = fileBytes(kAnswerPath);
  const std::string expectedText(expected.begin(), expected.end());
  std::istringstream noInput;
  soak(state, [&] {
    std::ostringstream out, err;
    const int status = kovrel::cli::runCli({"answer", kStreamPath}, noInput, out, err);
    return status == kovrel::cli::kExitDone && out.str() == expectedText;
  });
}

}  // namespace

int main(int argc, char** argv) {
  int reads = 1000;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.substr(0, 8) == "--reads=") {
      reads = std::atoi(argv[i] + 8);
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (reads < 1) reads = 1;
  benchmark::RegisterBenchmark("BM_SoakReadAndSend", BM_SoakReadAndSend)
      ->Arg(reads)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_SoakCliAnswers", BM_SoakCliAnswers)
      ->Arg(reads)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  int restCount = static_cast<int>(rest.size());
  rest.push_back(nullptr);  // argv's closing null
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
