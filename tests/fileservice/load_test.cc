// Many devices at once against one server over loopback. Each device uploads
// and downloads files of random sizes whose bytes follow from the run's seed,
// so that every byte is checked on the device's end without keeping the
// files. Nothing may be lost: every transfer completes, no
// temporary file stays behind and the server gives back every thread it took.
// (What a cut link leaves behind is the upload test's.)
//
// The seed of a run is printed; TARVEX_LOAD_SEED runs that seed again.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "client/file_requests.h"
#include "support/server/file_service_fixture.h"
#include "support/thread_count.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

constexpr int kDevices = 100;
constexpr int kFilesPerDevice = 20;
// Sanitized builds run several times slower: the same devices and files,
// with smaller files.
#ifdef TARVEX_SANITIZED_BUILD
constexpr std::uint32_t kLargestFile = 128 * 1024;
#else
constexpr std::uint32_t kLargestFile = 1024 * 1024;
#endif
// A device on a loaded machine waits long for its replies.
constexpr int kDeviceTimeout = 600;

struct FilePlan {
  std::string name;
  std::uint32_t size = 0;
  std::uint64_t seed = 0;  // of its content
};

// Bytes `at` to `at + n` of the content of the file with `seed`: each mixes
// the seed with the byte's word, so that a piece out of place, or from
// another file, differs.
void FillContent(std::uint64_t seed, std::uint64_t at, char* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i, ++at) {
    const std::uint64_t word = (seed ^ (at >> 3)) * 0x9E3779B97F4A7C15ull;
    out[i] = static_cast<char>((word ^ (word >> 29)) >> (8 * (at & 7)));
  }
}

// One device uploading and downloading its files in one session, from a
// loopback address of its own (127.0.0.2 on), as handhelds have addresses of
// their own: the server bounds what one address may hold. What went wrong,
// if anything.
std::string RunDevice(std::uint32_t number, std::vector<FilePlan>& files, const std::string& dir,
                      std::uint16_t port) {
  LoginOutcome login = LogIn("127.0.0.1", port, testing::kLogin, testing::kPassword, kFileServiceId,
                             kDeviceTimeout, "127.0.0." + std::to_string(number + 2));
  if (!login.Accepted()) return "login: " + std::to_string(login.transport) + "/" + std::to_string(login.auth_status);
  Connection* link = login.connection.get();
  for (FilePlan& file : files) {
    std::uint32_t done = 0;
    auto source = [&](char* out, std::size_t n) -> long {
      n = std::min<std::size_t>(n, file.size - done);
      FillContent(file.seed, done, out, n);
      done += static_cast<std::uint32_t>(n);
      return static_cast<long>(n);
    };
    std::int32_t stored = -1;
    Status s = RequestPutFile(link, {0, file.name, dir, file.size}, source, &stored, kDeviceTimeout);
    if (s != 0 || stored != 0) {
      return "upload of " + file.name + ": " + std::to_string(s) + "/" + std::to_string(stored);
    }
    done = 0;
    bool same = true;
    std::string expected;
    auto sink = [&](std::string_view piece) {
      expected.resize(piece.size());
      FillContent(file.seed, done, expected.data(), piece.size());
      same = same && piece == expected;
      done += static_cast<std::uint32_t>(piece.size());
      return true;
    };
    GetFileReply reply;
    s = RequestGetFile(link, {0, 0, file.name, dir}, &reply, sink, kDeviceTimeout);
    if (s != 0 || reply.status != 0 || done != file.size || !same) {
      return "download of " + file.name + ": " + std::to_string(s) + "/" + std::to_string(reply.status) + ", " +
             std::to_string(done) + " of " + std::to_string(file.size) + " bytes" + (same ? "" : ", differing");
    }
  }
  const Status s = EndSession(link, kDeviceTimeout);
  return s == 0 ? "" : "session end: " + std::to_string(s);
}

class LoadTest : public testing::ExchangeFixture {};

TEST_F(LoadTest, HundredDevicesTransferAtOnceAndNothingIsLost) {
  // The thread count is taken once the server is idle after a first session:
  // the service log's writer starts with its first event and stays.
  Start(300);
  const int before = testing::CountThreads();
  auto warm_up = Device();
  std::int32_t reply = -1;
  ASSERT_EQ(RequestPutFile(warm_up.get(), {0, "warm-up.bin", dir_, 0}, nullptr, &reply, kDeviceTimeout), 0);
  ASSERT_EQ(EndSession(warm_up.get(), kDeviceTimeout), 0);
  ASSERT_TRUE(testing::WaitUntil([&] { return testing::CountThreads() <= before + 1; }));
  const int idle_threads = testing::CountThreads();
  fs::remove(dir_ + "warm-up.bin");

  const char* given = std::getenv("TARVEX_LOAD_SEED");
  const std::uint64_t seed = given ? std::strtoull(given, nullptr, 10) : std::random_device()();
  std::printf("load seed: %llu\n", static_cast<unsigned long long>(seed));
  SCOPED_TRACE("load seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<std::uint32_t> size(0, kLargestFile);
  std::vector<std::vector<FilePlan>> plans(kDevices);
  for (int d = 0; d < kDevices; ++d) {
    for (int f = 0; f < kFilesPerDevice; ++f) {
      plans[static_cast<std::size_t>(d)].push_back(
          {"d" + std::to_string(d) + "-" + std::to_string(f) + ".bin", size(random), random()});
    }
  }

  std::vector<std::string> failures(kDevices);
  std::vector<std::thread> threads;
  for (std::uint32_t d = 0; d < kDevices; ++d) {
    threads.emplace_back([&, d] { failures[d] = RunDevice(d, plans[d], dir_, port_); });
  }
  for (std::thread& t : threads) t.join();

  // Every session has ended and given its thread back.
  EXPECT_TRUE(testing::WaitUntil([&] { return testing::CountThreads() == idle_threads; },
                                 std::chrono::seconds(60)))
      << testing::CountThreads() << " threads, " << idle_threads << " when idle";
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
  }
  for (std::size_t d = 0; d < kDevices; ++d) EXPECT_EQ(failures[d], "") << "device " << d;
}

}  // namespace
}  // namespace tarvex
