// Devices downloading at once from one server: the aggregate rate of 1, 8 and
// 32 devices, each on its own link and session, sharing 64 MB per round
// between them (bench_main sets the rates of 8 and 32 against 1).
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "bench_world.h"
#include "client/file_requests.h"

namespace tarvex {
namespace {

constexpr std::size_t kRoundSize = 64u << 20;

void ConcurrentDownload(benchmark::State& state) {
  BenchWorld world;
  if (world.Link() == nullptr) return state.SkipWithError("no server");
  const auto devices = static_cast<std::size_t>(state.range(0));
  const std::size_t each = kRoundSize / devices;
  if (!WritePatternFile(world.FilesDir() + "shared.bin", each)) return state.SkipWithError("cannot write the file");
  std::vector<std::unique_ptr<Connection>> links;
  for (std::size_t d = 0; d < devices; ++d) {
    links.push_back(world.Connect());
    if (!links.back()) return state.SkipWithError("a device could not log in");
  }
  for (auto _ : state) {
    std::atomic<bool> failed = false;
    std::vector<std::thread> threads;
    for (auto& link : links) {
      threads.emplace_back([&, link = link.get()] {
        GetFileReply reply;
        std::size_t received = 0;
        const Status s = RequestGetFile(link, {0, 0, "shared.bin", world.FilesDir()}, &reply,
                                        [&received](std::string_view piece) {
                                          received += piece.size();
                                          return true;
                                        },
                                        kBenchTimeout);
        if (s != 0 || received != each) failed = true;
      });
    }
    for (std::thread& t : threads) t.join();
    if (failed) return state.SkipWithError("a download failed");
  }
  for (auto& link : links) EndSession(link.get(), kBenchTimeout);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * each * devices));
}

BENCHMARK(ConcurrentDownload)
    ->Name("FileService/DownloadAtOnce")
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->ArgName("devices")
    ->Iterations(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
