// Runs the benchmarks, then prints how our cipher compares with OpenSSL's,
// how fast the enciphered link runs next to the cipher itself, and how a
// device's desktop search compares with the search engine's own query tool.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "search_bench.h"

namespace {

// Console output as usual, and the bytes/second of every benchmark kept.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      auto found = run.counters.find("bytes_per_second");
      if (found == run.counters.end()) continue;
      Rate& rate = rates_[run.benchmark_name()];
      rate.sum += found->second.value;
      ++rate.count;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Mean bytes/second of a benchmark, 0 when it did not run.
  double MegabytesPerSecond(const std::string& name) const {
    auto found = rates_.find(name);
    return found == rates_.end() ? 0.0 : found->second.sum / found->second.count / 1e6;
  }

 private:
  struct Rate {
    double sum = 0;
    int count = 0;
  };
  std::map<std::string, Rate> rates_;
};

void PrintRatio(const RateReporter& rates, const char* what) {
  const double ours = rates.MegabytesPerSecond(std::string(what) + "/ours/64KiB");
  const double theirs = rates.MegabytesPerSecond(std::string(what) + "/openssl/64KiB");
  if (ours == 0 || theirs == 0) return;
  std::printf("%-14s ours %8.1f MB/s  OpenSSL %8.1f MB/s  ratio ours/OpenSSL %.2f\n", what, ours,
              theirs, ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter(isatty(STDOUT_FILENO) ? RateReporter::OO_ColorTabular
                                              : RateReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n");
  PrintRatio(reporter, "EncryptBuffer");
  PrintRatio(reporter, "DecryptBuffer");
  const double link = reporter.MegabytesPerSecond("LoopbackTransfer/enciphered/10000B/real_time");
  const double cipher = reporter.MegabytesPerSecond("EncryptBuffer/ours/64KiB");
  if (link != 0 && cipher != 0) {
    std::printf("%-14s link %8.1f MB/s  cipher %8.1f MB/s (encrypt)\n", "Loopback", link, cipher);
  }
  const tarvex::SearchFigures& search = tarvex::RecordedSearchFigures();
  if (search.device.p50 != 0 && search.recollq.p50 != 0) {
    std::printf("%-14s device p50 %6.1f ms p95 %6.1f ms  recollq p50 %6.1f ms p95 %6.1f ms  "
                "ratio p50 %.2f (target: at most 1.30 and under 150 ms)\n",
                "Search", search.device.p50, search.device.p95, search.recollq.p50, search.recollq.p95,
                search.device.p50 / search.recollq.p50);
  }
  return 0;
}
