// Runs the benchmarks, then prints how our cipher compares with OpenSSL's,
// how fast the enciphered link runs next to the cipher itself, and how
// logins scale with parallel devices and hold up beside silent connections.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Console output as usual, and the counters of every benchmark kept.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      for (const auto& [counter, value] : run.counters) {
        Mean& mean = means_[{run.benchmark_name(), counter}];
        mean.sum += value.value;
        ++mean.count;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Mean of a benchmark's counter over its repetitions, 0 when it did not run.
  double Counter(const std::string& name, const std::string& counter) const {
    auto found = means_.find({name, counter});
    return found == means_.end() ? 0.0 : found->second.sum / found->second.count;
  }
  double MegabytesPerSecond(const std::string& name) const { return Counter(name, "bytes_per_second") / 1e6; }

 private:
  struct Mean {
    double sum = 0;
    int count = 0;
  };
  std::map<std::pair<std::string, std::string>, Mean> means_;
};

void PrintRatio(const RateReporter& rates, const char* what) {
  const double ours = rates.MegabytesPerSecond(std::string(what) + "/ours/64KiB");
  const double theirs = rates.MegabytesPerSecond(std::string(what) + "/openssl/64KiB");
  if (ours == 0 || theirs == 0) return;
  std::printf("%-14s ours %8.1f MB/s  OpenSSL %8.1f MB/s  ratio ours/OpenSSL %.2f\n", what, ours,
              theirs, ours / theirs);
}

}  // namespace

// Logins per second with 8 devices against 1 (target: at least 2x).
void PrintLoginScaling(const RateReporter& rates, const char* sessions, int think_ms) {
  const std::string think = "/think_ms:" + std::to_string(think_ms) + "/real_time";
  const std::string name = std::string("LoginRate/") + sessions + "/devices:";
  const double one = rates.Counter(name + "1" + think, "items_per_second");
  const double eight = rates.Counter(name + "8" + think, "items_per_second");
  if (one == 0 || eight == 0) return;
  std::printf("Logins (%s, think %d ms)  1 device %7.0f/s  8 devices %7.0f/s  ratio %.2f\n", sessions,
              think_ms, one, eight, eight / one);
}

// Login latency beside 50 silent connections against none (target: within 2x).
void PrintLoginLatency(const RateReporter& rates) {
  const std::string quiet = "LoginLatency/silent:0/real_time";
  const std::string busy = "LoginLatency/silent:50/real_time";
  for (const char* p : {"p50_us", "p99_us"}) {
    const double alone = rates.Counter(quiet, p);
    const double beside = rates.Counter(busy, p);
    if (alone == 0 || beside == 0) continue;
    std::printf("Login latency %s  alone %7.0f us  beside 50 silent %7.0f us  ratio %.2f\n", p, alone,
                beside, beside / alone);
  }
}

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
  PrintLoginScaling(reporter, "core", 0);
  PrintLoginScaling(reporter, "core", 2);
  PrintLoginScaling(reporter, "file", 0);
  PrintLoginLatency(reporter);
  return 0;
}
