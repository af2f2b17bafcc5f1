// Runs the benchmarks, then prints how our cipher compares with OpenSSL's,
// how fast the enciphered link and the file transfers run next to the cipher
// itself, the latency, listing and search figures against their targets, and
// how logins scale with parallel devices and hold up beside silent
// connections.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Console output as usual, and the counters of every benchmark kept (their
// mean over the runs).
class CounterReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      for (const auto& [name, counter] : run.counters) {
        Mean& mean = counters_[run.benchmark_name()][name];
        mean.sum += counter.value;
        ++mean.count;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The mean of a counter of the first benchmark whose name begins with
  // `prefix`; 0 when none ran.
  double Counter(const std::string& prefix, const std::string& counter) const {
    for (const auto& [name, values] : counters_) {
      if (name.rfind(prefix, 0) != 0) continue;
      auto found = values.find(counter);
      return found == values.end() ? 0.0 : found->second.sum / found->second.count;
    }
    return 0.0;
  }
  double MegabytesPerSecond(const std::string& prefix) const {
    return Counter(prefix, "bytes_per_second") / 1e6;
  }

 private:
  struct Mean {
    double sum = 0;
    int count = 0;
  };
  std::map<std::string, std::map<std::string, Mean>> counters_;
};

void PrintRatio(const CounterReporter& rates, const char* what) {
  const double ours = rates.MegabytesPerSecond(std::string(what) + "/ours/64KiB");
  const double theirs = rates.MegabytesPerSecond(std::string(what) + "/openssl/64KiB");
  if (ours == 0 || theirs == 0) return;
  std::printf("%-14s ours %8.1f MB/s  OpenSSL %8.1f MB/s  ratio ours/OpenSSL %.2f\n", what, ours,
              theirs, ours / theirs);
}

// A transfer next to the cipher's single-core speed (the slower of its two
// directions: each transfer enciphers on one side and deciphers on the other).
void PrintTransfer(const CounterReporter& rates, const char* label, const std::string& prefix,
                   double cipher) {
  const double link = rates.MegabytesPerSecond(prefix);
  if (link == 0 || cipher == 0) return;
  std::printf("%-14s link %8.1f MB/s  cipher %8.1f MB/s  ratio %.2f\n", label, link, cipher, link / cipher);
}

// Logins per second with 8 devices against 1 (target: at least 2x).
void PrintLoginScaling(const CounterReporter& rates, const char* sessions, int think_ms) {
  const std::string name = std::string("LoginRate/") + sessions + "/devices:";
  const std::string think = "/think_ms:" + std::to_string(think_ms) + "/";
  const double one = rates.Counter(name + "1" + think, "items_per_second");
  const double eight = rates.Counter(name + "8" + think, "items_per_second");
  if (one == 0 || eight == 0) return;
  std::printf("Logins (%s, think %d ms)  1 device %7.0f/s  8 devices %7.0f/s  ratio %.2f\n", sessions,
              think_ms, one, eight, eight / one);
}

// Login latency beside 50 silent connections against none (target: within 2x).
void PrintLoginLatency(const CounterReporter& rates) {
  for (const char* p : {"p50_us", "p99_us"}) {
    const double alone = rates.Counter("LoginLatency/silent:0/", p);
    const double beside = rates.Counter("LoginLatency/silent:50/", p);
    if (alone == 0 || beside == 0) continue;
    std::printf("Login latency %s  alone %7.0f us  beside 50 silent %7.0f us  ratio %.2f\n", p, alone,
                beside, beside / alone);
  }
}

// Aggregate download rates of 8 and 32 devices at once against 1 (target for
// 32: at least 1.7x on 2 cores), with devices that take the frames without
// deciphering them, and with devices that decipher.
void PrintDownloadScaling(const CounterReporter& rates) {
  for (const char* deciphering : {"0", "1"}) {
    auto rate = [&](const char* devices) {
      return rates.MegabytesPerSecond(std::string("FileService/DownloadAtOnce/devices:") + devices +
                                      "/deciphering:" + deciphering + "/");
    };
    const double one = rate("1");
    if (one == 0) continue;
    std::printf("%-14s %s 1 device %6.1f MB/s", "DownloadAtOnce", *deciphering == '1' ? "deciphering" : "raw frames ",
                one);
    for (const char* devices : {"8", "32"}) {
      if (const double many = rate(devices); many != 0) {
        std::printf("  %s devices %6.1f MB/s (%.2fx)", devices, many, many / one);
      }
    }
    std::printf("%s\n", *deciphering == '1' ? "" : "  (target for 32: 1.70x)");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CounterReporter reporter(isatty(STDOUT_FILENO) ? CounterReporter::OO_ColorTabular
                                                 : CounterReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n");
  PrintRatio(reporter, "EncryptBuffer");
  PrintRatio(reporter, "DecryptBuffer");
  const double encrypt = reporter.MegabytesPerSecond("EncryptBuffer/ours/64KiB");
  const double decrypt = reporter.MegabytesPerSecond("DecryptBuffer/ours/64KiB");
  const double cipher = encrypt == 0 || decrypt == 0 ? encrypt + decrypt : std::min(encrypt, decrypt);
  PrintTransfer(reporter, "Loopback", "LoopbackTransfer/enciphered/10000B", cipher);
  PrintTransfer(reporter, "Download", "FileService/Download/100MB", cipher);
  PrintTransfer(reporter, "Upload", "FileService/Upload/100MB", cipher);
  PrintDownloadScaling(reporter);
  if (const double median = reporter.Counter("FileService/GetServerInfo", "median_us"); median != 0) {
    std::printf("%-14s median %6.1f us  p99 %6.1f us\n", "GetServerInfo", median,
                reporter.Counter("FileService/GetServerInfo", "p99_us"));
  }
  for (const char* files : {"10000", "100000"}) {
    const double median = reporter.Counter(std::string("FileService/ListDirectory/") + files + "/", "median_ms");
    if (median != 0) std::printf("%-14s %6s files, whole reply: median %.1f ms\n", "ListDirectory", files, median);
  }
  const double device = reporter.Counter("Search/DeviceRoundTrip", "p50_ms");
  const double recollq = reporter.Counter("Search/Recollq", "p50_ms");
  if (device != 0 && recollq != 0) {
    std::printf("%-14s device p50 %5.1f ms p95 %5.1f ms  recollq p50 %5.1f ms p95 %5.1f ms  ratio %.2f "
                "(target: at most 1.15, device under 150 ms)\n",
                "Search", device, reporter.Counter("Search/DeviceRoundTrip", "p95_ms"), recollq,
                reporter.Counter("Search/Recollq", "p95_ms"), device / recollq);
  }
  if (const double pages = reporter.Counter("Search/DeviceNextPages", "p50_ms"); pages != 0) {
    std::printf("%-14s pages 2-5 p50 %5.1f ms p95 %5.1f ms (target: at most 3 ms)\n", "Search", pages,
                reporter.Counter("Search/DeviceNextPages", "p95_ms"));
  }
  PrintLoginScaling(reporter, "core", 0);
  PrintLoginScaling(reporter, "core", 2);
  PrintLoginScaling(reporter, "file", 0);
  PrintLoginLatency(reporter);
  return 0;
}
