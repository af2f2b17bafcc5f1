// The file service end to end: one device and the real server in this
// process over 127.0.0.1 (bench_world.h). A 100 MB download and upload (next
// to the cipher's own speed, printed by bench_main), the round trip of a
// small request, and the listings of directories of 10,000 and 100,000 files.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench_world.h"
#include "client/file_requests.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kTransferSize = 100'000'000;
constexpr int kTimeout = kBenchTimeout;

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void Download(benchmark::State& state) {
  BenchWorld world;
  if (world.Link() == nullptr) return state.SkipWithError("no server");
  if (!WritePatternFile(world.FilesDir() + "download.bin", kTransferSize)) {
    return state.SkipWithError("cannot write the file");
  }
  for (auto _ : state) {
    GetFileReply reply;
    std::size_t received = 0;
    const Status s = RequestGetFile(world.Link(), {0, 0, "download.bin", world.FilesDir()}, &reply,
                                    [&received](std::string_view piece) {
                                      received += piece.size();
                                      return true;
                                    },
                                    kTimeout);
    if (s != 0 || received != kTransferSize) return state.SkipWithError("download failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTransferSize));
}

void Upload(benchmark::State& state) {
  BenchWorld world;
  if (world.Link() == nullptr) return state.SkipWithError("no server");
  const std::string chunk = Pattern(1 << 20);
  for (auto _ : state) {
    std::size_t sent = 0;
    auto source = [&](char* out, std::size_t n) {
      const std::size_t at = sent % chunk.size();
      n = std::min(n, chunk.size() - at);
      std::memcpy(out, chunk.data() + at, n);
      sent += n;
      return static_cast<long>(n);
    };
    std::int32_t reply = -1;
    PutFileRequest request{0, "upload.bin", world.FilesDir(), static_cast<std::uint32_t>(kTransferSize)};
    if (RequestPutFile(world.Link(), request, source, &reply, kTimeout) != 0 || reply != 0) {
      return state.SkipWithError("upload failed");
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTransferSize));
}

void ServerInfoRoundTrip(benchmark::State& state) {
  BenchWorld world;
  if (world.Link() == nullptr) return state.SkipWithError("no server");
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(state.max_iterations));
  std::string tag;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (RequestServerInfo(world.Link(), &tag, kTimeout) != 0) return state.SkipWithError("request failed");
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  state.counters["median_us"] = Percentile(micros, 0.5);
  state.counters["p99_us"] = Percentile(micros, 0.99);
}

// A directory of state.range(0) files, listed whole, till the last item
// arrived at the device.
void ListDirectoryOf(benchmark::State& state) {
  BenchWorld world;
  if (world.Link() == nullptr) return state.SkipWithError("no server");
  const auto count = static_cast<std::size_t>(state.range(0));
  const std::string dir = world.FilesDir() + "many/";
  fs::create_directories(dir);
  // Names in no order, some in capitals, so that the sort has work to do.
  for (std::size_t i = 0; i < count; ++i) {
    testing::WriteFile(dir + (i % 7 == 0 ? "Doc" : "doc") + std::to_string((i * 7919) % count) + ".txt", "x");
  }
  std::vector<ListingEntry> entries;
  std::vector<double> millis;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (RequestListDirectory(world.Link(), dir, &entries, kTimeout) != 0 || entries.size() != count + 1) {
      return state.SkipWithError("listing failed");
    }
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  state.counters["median_ms"] = Percentile(millis, 0.5);
}

BENCHMARK(Download)->Name("FileService/Download/100MB")->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Upload)->Name("FileService/Upload/100MB")->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ServerInfoRoundTrip)->Name("FileService/GetServerInfo")->Iterations(20000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ListDirectoryOf)->Name("FileService/ListDirectory")->Arg(10000)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ListDirectoryOf)->Name("FileService/ListDirectory")->Arg(100000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
