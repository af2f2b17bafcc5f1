// Devices downloading at once from one server: the aggregate rate of 1, 8 and
// 32 devices, each on its own link and session, sharing 64 MB per round
// between them (bench_main sets the rates of 8 and 32 against 1).
//
// The devices run on the server's processors here, so they take the reply's
// frames off the socket without deciphering them: a deciphering device costs
// as much processor time as the server spends enciphering, and the figure
// would then be the devices' rather than the server's. "deciphering:1" runs
// the same with devices that decipher and count every byte, for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "bench_world.h"
#include "client/file_requests.h"
#include "common/big_endian.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

constexpr std::size_t kRoundSize = 64u << 20;

// Reads the raw stream of frames and skips their bodies.
class FrameSkipper {
 public:
  explicit FrameSkipper(const Socket& socket) : socket_(socket), buffer_(1 << 16, '\0') {}

  // Skips frames until `plain` bytes of content have passed; false when the
  // link failed or went quiet.
  bool SkipPlain(std::size_t plain) {
    namespace frame = protocol::frame;
    char header[frame::kHeaderLength];
    while (plain > 0) {
      if (!Take(header, sizeof header)) return false;
      const std::size_t length = GetU32(header + frame::kPlainLength);
      if (length > plain || !Take(nullptr, GetU32(header + frame::kPaddedLength))) return false;
      plain -= length;
    }
    return true;
  }

 private:
  // Takes n bytes of the stream into `out` (none: drops them).
  bool Take(char* out, std::size_t n) {
    while (n > 0) {
      if (start_ == end_) {
        if (WaitReadable(socket_, kBenchTimeout / 10) != WaitResult::kReady) return false;
        const long got = ReceiveSome(socket_, buffer_.data(), buffer_.size());
        if (got <= 0) return false;
        start_ = 0;
        end_ = static_cast<std::size_t>(got);
      }
      const std::size_t k = std::min(n, end_ - start_);
      if (out != nullptr) std::copy_n(buffer_.data() + start_, k, out), out += k;
      start_ += k;
      n -= k;
    }
    return true;
  }

  const Socket& socket_;
  std::string buffer_;
  std::size_t start_ = 0, end_ = 0;
};

// The GetFile request as any device sends it, and its reply taken without
// deciphering: the block, the name, the directory and `size` bytes.
bool DownloadUndeciphered(Connection* link, const std::string& name, const std::string& dir, std::size_t size) {
  namespace layout = protocol::get_file;
  std::string block(layout::kBlockLength, '\0');
  PutU16(block.data(), layout::kBlockLength);
  PutU16(block.data() + layout::kNameLength, static_cast<std::uint16_t>(name.size()));
  PutU16(block.data() + layout::kDirectoryLength, static_cast<std::uint16_t>(dir.size()));
  if (SendHeader(link, protocol::request::kGetFile) != 0 || SendBytes(link, block) != 0 ||
      SendBytes(link, name) != 0 || SendBytes(link, dir) != 0) {
    return false;
  }
  FrameSkipper reply(link->Holder()->socket);
  return reply.SkipPlain(block.size() + name.size() + dir.size() + size);
}

bool DownloadDeciphered(Connection* link, const std::string& name, const std::string& dir, std::size_t size) {
  GetFileReply reply;
  std::size_t received = 0;
  const Status s = RequestGetFile(link, {0, 0, name, dir}, &reply,
                                  [&received](std::string_view piece) {
                                    received += piece.size();
                                    return true;
                                  },
                                  kBenchTimeout);
  return s == 0 && received == size;
}

void DownloadAtOnce(benchmark::State& state) {
  BenchWorld world;
  if (world.Link() == nullptr) return state.SkipWithError("no server");
  const auto devices = static_cast<std::size_t>(state.range(0));
  const auto download = state.range(1) != 0 ? DownloadDeciphered : DownloadUndeciphered;
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
        if (!download(link, "shared.bin", world.FilesDir(), each)) failed = true;
      });
    }
    for (std::thread& t : threads) t.join();
    if (failed) return state.SkipWithError("a download failed");
  }
  for (auto& link : links) EndSession(link.get(), kBenchTimeout);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * each * devices));
}

BENCHMARK(DownloadAtOnce)
    ->Name("FileService/DownloadAtOnce")
    ->ArgsProduct({{1, 8, 32}, {0, 1}})
    ->ArgNames({"devices", "deciphering"})
    ->Iterations(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
