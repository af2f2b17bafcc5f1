// Many devices at once against one server over loopback. Each device uploads
// and downloads files of random sizes and random content, checks every byte by
// SHA-256 on its own end (the server's end is checked on disk), and lists the
// directory and its tracked files between transfers. Nothing may be lost:
// every transfer completes, every tracked download is in QLXFiles.txt, no
// session ends in error and the server gives back every thread it took.
//
// Then the same with a fifth of the devices cutting their links at a random
// point, mid-upload (closing the link, or falling silent until the server
// gives up) or mid-download: the others go on unharmed, no temporary file
// stays behind and no target is ever left partly written.
//
// The seed of a run is printed; TARVEX_LOAD_SEED runs that seed again.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "client/file_requests.h"
#include "datafiles/file_list.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"
#include "support/server/file_service_fixture.h"
#include "support/sha256.h"
#include "support/thread_count.h"

namespace tarvex {
namespace {

using testing::Sha256;
using testing::Sha256OfFile;
namespace fs = std::filesystem;

constexpr int kDevices = 100;
constexpr int kFilesPerDevice = 20;
constexpr int kFilesPerSession = kFilesPerDevice / 2;
constexpr int kCutDevices = kDevices / 5;
// Sanitized builds run several times slower: the same devices and files,
// with smaller files.
#ifdef TARVEX_SANITIZED_BUILD
constexpr std::uint32_t kLargestFile = 128 * 1024;
#else
constexpr std::uint32_t kLargestFile = 1024 * 1024;
#endif
constexpr std::uint32_t kLargestOldFile = 16 * 1024;
// A device on a loaded machine waits long for its replies.
constexpr int kDeviceTimeout = 600;
// How soon the server gives up on a silent device in the test with cuts.
constexpr int kCutReceiveTimeout = 50;

enum class Cut { kNone, kUploadClosed, kUploadSilent, kDownloadClosed };

struct FilePlan {
  std::string name;
  std::uint32_t size = 0;
  bool track = false;
  std::string old_digest;  // of the target made before the run; empty when none
  // What the device saw.
  std::string new_digest;
  bool stored = false;      // the upload was answered with status 0
  bool downloaded = false;  // the download came whole and matched
};

struct DevicePlan {
  std::uint32_t user_id = 0;
  std::uint64_t seed = 0;
  std::vector<FilePlan> files;
  Cut cut = Cut::kNone;
  int cut_file = -1;
  std::uint32_t cut_at = 0;  // bytes of the cut file's content that pass
  int sessions = 0;          // sessions the device logged in to
  std::vector<std::string> failures;
};

std::string UserName(std::uint32_t user_id) {
  char name[16];
  std::snprintf(name, sizeof name, "device%03u", user_id);
  return name;
}

// Each device logs in from a loopback address of its own (127.0.0.2 on), as
// handhelds have addresses of their own: the server bounds what one address
// may hold.
std::string DeviceAddress(std::uint32_t user_id) { return "127.0.0." + std::to_string(user_id + 1); }

// One device working through its plan in two sessions: the second begins by
// waiting until the files tracked in the first are listed.
class LoadDevice {
 public:
  LoadDevice(DevicePlan& plan, std::string dir, std::uint16_t port)
      : plan_(plan), dir_(std::move(dir)), port_(port), random_(plan.seed) {}

  void Run() {
    for (int session = 0; session < 2 && !done_; ++session) RunSession(session);
  }

 private:
  void Fail(const std::string& what) { plan_.failures.push_back(what); }

  void RunSession(int session) {
    LoginOutcome login = LogIn("127.0.0.1", port_, testing::kLogin, testing::kPassword, kFileServiceId,
                               kDeviceTimeout, DeviceAddress(plan_.user_id));
    if (!login.Accepted()) {
      Fail("login refused: " + std::to_string(login.transport) + "/" + std::to_string(login.auth_status));
      done_ = true;
      return;
    }
    ++plan_.sessions;
    link_ = std::move(login.connection);
    const int first = session * kFilesPerSession;
    if (session > 0 && !CheckTracked(first)) return Close();
    for (int f = first; f < first + kFilesPerSession; ++f) {
      FilePlan& file = plan_.files[static_cast<std::size_t>(f)];
      const bool cut_here = f == plan_.cut_file;
      if (!Upload(file, cut_here && plan_.cut != Cut::kDownloadClosed)) return Close();
      if (!Download(file, cut_here)) return Close();
      if (f % 4 == 3 && !CheckListing(f)) return Close();
    }
    if (Status s = EndSession(link_.get(), kDeviceTimeout)) Fail("session end: " + std::to_string(s));
    link_.reset();
  }

  void Close() {
    done_ = true;
    if (link_) CloseConnection(link_.get());
    link_.reset();
  }

  bool Upload(FilePlan& file, bool cut) {
    Sha256 sha;
    std::uint32_t given = 0;
    const std::uint32_t passing = cut ? plan_.cut_at : file.size;
    auto source = [&](char* out, std::size_t n) -> long {
      if (given >= passing) return -1;
      n = std::min<std::size_t>(n, passing - given);
      for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t word = random_();
        std::memcpy(out + i, &word, std::min<std::size_t>(8, n - i));
      }
      sha.Update(std::string_view(out, n));
      given += static_cast<std::uint32_t>(n);
      return static_cast<long>(n);
    };
    std::int32_t reply = -1;
    const Status s = RequestPutFile(link_.get(), {plan_.user_id, file.name, dir_, file.size}, source, &reply,
                                    kDeviceTimeout);
    if (cut) {
      if (s != kDeviceSideFailure) Fail("the cut upload of " + file.name + " went on: " + std::to_string(s));
      if (plan_.cut == Cut::kUploadSilent) AwaitGivingUp(file);
      return false;
    }
    file.new_digest = sha.Finish();
    if (s != 0 || reply != 0) {
      Fail("upload of " + file.name + ": " + std::to_string(s) + ", reply " + std::to_string(reply));
      return false;
    }
    file.stored = true;
    return true;
  }

  // The device fell silent mid-upload with its link open: the server must
  // give up after its receive time-out, answer with an error and end.
  void AwaitGivingUp(const FilePlan& file) {
    std::string reply(protocol::put_file::kReplyLength, '\0');
    if (ReceiveBytes(link_.get(), reply.data(), reply.size(), kDeviceTimeout) != 0) {
      Fail("no reply to the silent upload of " + file.name);
    } else if (reply.substr(2) == std::string(4, '\0')) {
      Fail("the silent upload of " + file.name + " was answered with success");
    } else if (AwaitSessionOver(link_.get(), kDeviceTimeout) != 0) {
      Fail("the session of the silent upload of " + file.name + " did not end");
    }
  }

  bool Download(FilePlan& file, bool cut) {
    Sha256 sha;
    std::uint32_t taken = 0;
    auto sink = [&](std::string_view piece) {
      sha.Update(piece);
      taken += static_cast<std::uint32_t>(piece.size());
      return !cut || taken < plan_.cut_at;
    };
    GetFileRequest request{plan_.user_id, file.track ? protocol::get_file::kTrack : std::uint16_t{0}, file.name,
                           dir_};
    GetFileReply reply;
    const Status s = RequestGetFile(link_.get(), request, &reply, sink, kDeviceTimeout);
    if (cut) return false;
    if (s != 0 || reply.status != 0 || reply.size != file.size || taken != file.size) {
      Fail("download of " + file.name + ": " + std::to_string(s) + ", status " + std::to_string(reply.status) +
           ", " + std::to_string(taken) + " of " + std::to_string(file.size) + " bytes");
      return false;
    }
    if (sha.Finish() != file.new_digest) {
      Fail("the download of " + file.name + " differs from what was uploaded");
      return false;
    }
    file.downloaded = true;
    return true;
  }

  // The directory lists every file this device stored so far, with its size.
  bool CheckListing(int last) {
    std::vector<ListingEntry> entries;
    if (Status s = RequestListDirectory(link_.get(), dir_, &entries, kDeviceTimeout)) {
      Fail("listing: " + std::to_string(s));
      return false;
    }
    std::map<std::string, std::uint32_t> sizes;
    for (const ListingEntry& e : entries) sizes[e.name] = e.size;
    for (int f = 0; f <= last; ++f) {
      const FilePlan& file = plan_.files[static_cast<std::size_t>(f)];
      auto found = sizes.find(file.name);
      if (found == sizes.end() || found->second != file.size) Fail("listing lacks " + file.name);
    }
    return true;
  }

  // The files tracked in the earlier session are listed once it has saved
  // them (after its end code), with their sizes and directory.
  bool CheckTracked(int before) {
    std::set<std::string> expected;
    for (int f = 0; f < before; ++f) {
      const FilePlan& file = plan_.files[static_cast<std::size_t>(f)];
      if (file.track) expected.insert(file.name);
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<TrackedFile> tracked;
    for (;;) {
      if (Status s = RequestTrackedFiles(link_.get(), plan_.user_id, &tracked, kDeviceTimeout)) {
        Fail("tracked files: " + std::to_string(s));
        return false;
      }
      std::set<std::string> listed;
      for (const TrackedFile& t : tracked) listed.insert(t.name);
      if (listed == expected) break;
      if (std::chrono::steady_clock::now() > limit) {
        Fail("tracked files: " + std::to_string(listed.size()) + " listed, " + std::to_string(expected.size()) +
             " tracked");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (const TrackedFile& t : tracked) {
      auto plan = std::find_if(plan_.files.begin(), plan_.files.end(),
                               [&](const FilePlan& f) { return f.name == t.name; });
      if (plan == plan_.files.end() || t.directory != dir_ || t.size != plan->size) Fail("tracked " + t.name + " listed wrongly");
    }
    return true;
  }

  DevicePlan& plan_;
  const std::string dir_;
  const std::uint16_t port_;
  std::unique_ptr<Connection> link_;
  std::mt19937_64 random_;
  bool done_ = false;
};

// Service-log events as they are added, counted by status and user, and the
// sessions the server log saw begin and end.
struct EventCounts {
  std::mutex mutex;
  int successes = 0;
  std::map<std::string, std::vector<std::string>> errors;  // by user
  std::atomic<int> begun{0}, ended{0}, failed_starts{0};
};

class LoadTest : public testing::ExchangeFixture {
 protected:
  // Starts the server, and takes the thread count once it is idle after a
  // first session: the service log's writer starts with its first event and
  // stays.
  void StartIdleServer(int receive_timeout) {
    Start(receive_timeout);
    const int before = testing::CountThreads();
    auto warm_up = Device();
    std::int32_t reply = -1;
    ASSERT_EQ(RequestPutFile(warm_up.get(), {0, "warm-up.bin", dir_, 0}, nullptr, &reply, kDeviceTimeout), 0);
    ASSERT_EQ(EndSession(warm_up.get(), kDeviceTimeout), 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return testing::CountThreads() <= before + 1; }));
    idle_threads_ = testing::CountThreads();
    fs::remove(dir_ + "warm-up.bin");

    server_->GetService(0)->GetServiceLog()->SetChangeCallback([this](const std::shared_ptr<const LogRecord>& r) {
      std::lock_guard<std::mutex> lock(events_.mutex);
      if (r->GetField(ServiceLogRecord::kStatus) == "Error") {
        events_.errors[r->GetField(ServiceLogRecord::kUser)].push_back(r->GetField(ServiceLogRecord::kDescription));
      } else {
        ++events_.successes;
      }
    });
    server_->Log().SetChangeCallback([this](const std::shared_ptr<const LogRecord>& r) {
      const std::string& description = r->GetField(ServerLogRecord::kDescription);
      if (description.starts_with("Begin Session Successful")) ++events_.begun;
      if (description.starts_with("End Session")) ++events_.ended;
      if (description.starts_with("Begin Session FAILED")) ++events_.failed_starts;
    });
  }

  // Plans every device: its user (in QLXUsers.txt), its files, a quarter of
  // them made beforehand with old content, and the cuts.
  void Plan(int cut_devices) {
    const char* given = std::getenv("TARVEX_LOAD_SEED");
    seed_ = given ? std::strtoull(given, nullptr, 10) : std::random_device()();
    std::printf("load seed: %llu\n", static_cast<unsigned long long>(seed_));
    std::mt19937_64 random(seed_);
    std::uniform_int_distribution<std::uint32_t> size(0, kLargestFile);
    std::uniform_int_distribution<std::uint32_t> old_size(0, kLargestOldFile);
    std::string users;
    plans_.resize(kDevices);
    for (int d = 0; d < kDevices; ++d) {
      DevicePlan& plan = plans_[static_cast<std::size_t>(d)];
      plan.user_id = static_cast<std::uint32_t>(d + 1);
      plan.seed = random();
      users += "\"" + std::to_string(plan.user_id) + "\",\"" + UserName(plan.user_id) + "\"\n";
      for (int f = 0; f < kFilesPerDevice; ++f) {
        FilePlan file;
        file.name = UserName(plan.user_id) + "-" + std::to_string(f) + ".bin";
        file.size = size(random);
        file.track = random() % 2 == 0;
        if (random() % 4 == 0) {
          std::string old(old_size(random), '\0');
          for (char& c : old) c = static_cast<char>(random());
          testing::WriteFile(dir_ + file.name, old);
          file.old_digest = testing::Sha256Of(old);
        }
        plan.files.push_back(std::move(file));
      }
    }
    testing::WriteFile(data_dir_ + "QLXUsers.txt", users);

    std::vector<int> order(kDevices);
    for (int d = 0; d < kDevices; ++d) order[static_cast<std::size_t>(d)] = d;
    std::shuffle(order.begin(), order.end(), random);
    for (int i = 0; i < cut_devices; ++i) {
      DevicePlan& plan = plans_[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])];
      plan.cut = static_cast<Cut>(1 + random() % 3);
      plan.cut_file = static_cast<int>(random() % kFilesPerDevice);
      FilePlan& file = plan.files[static_cast<std::size_t>(plan.cut_file)];
      // Large enough to be cut in the middle of its content.
      file.size = std::max<std::uint32_t>(file.size, 64 * 1024);
      plan.cut_at = static_cast<std::uint32_t>(random() % file.size);
    }
  }

  void RunDevices() {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (DevicePlan& plan : plans_) {
      threads.emplace_back([this, &plan] { LoadDevice(plan, dir_, port_).Run(); });
    }
    for (std::thread& t : threads) t.join();
    std::printf("%d devices done in %.1f s\n", kDevices,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }

  // What must hold once every device is done, cut or not.
  void ExpectNothingLost() {
    SCOPED_TRACE("load seed " + std::to_string(seed_));
    // Every session has ended and given its thread back.
    EXPECT_TRUE(testing::WaitUntil([&] { return testing::CountThreads() == idle_threads_; },
                                   std::chrono::seconds(60)))
        << testing::CountThreads() << " threads, " << idle_threads_ << " when idle";
    int sessions = 0;
    for (const DevicePlan& plan : plans_) sessions += plan.sessions;
    EXPECT_EQ(events_.failed_starts.load(), 0);
    EXPECT_EQ(events_.begun.load(), sessions);
    EXPECT_EQ(events_.ended.load(), sessions);

    for (const auto& entry : fs::directory_iterator(dir_)) {
      EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }

    FileList tracked(data_dir_);
    ASSERT_TRUE(tracked.Load());
    for (const DevicePlan& plan : plans_) {
      SCOPED_TRACE(UserName(plan.user_id));
      if (plan.cut == Cut::kNone) {
        EXPECT_EQ(plan.failures, std::vector<std::string>{});
        EXPECT_EQ(plan.sessions, 2);
        EXPECT_EQ(events_.errors.count(UserName(plan.user_id)), 0u) << events_.errors[UserName(plan.user_id)][0];
      }
      int records = 0;
      for (FileRecord* r = tracked.FindFirstFile(); r != nullptr; r = tracked.FindNextFile()) {
        if (r->GetUserId() == plan.user_id) ++records;
      }
      int expected_records = 0;
      for (int f = 0; f < kFilesPerDevice; ++f) {
        const FilePlan& file = plan.files[static_cast<std::size_t>(f)];
        const bool reached = plan.cut == Cut::kNone || f < plan.cut_file;
        EXPECT_EQ(file.downloaded, reached) << file.name;
        // Every target holds its old content or its new, never a part.
        const std::string digest = Sha256OfFile(dir_ + file.name);
        if (file.stored) {
          EXPECT_EQ(digest, file.new_digest) << file.name;
        } else {
          EXPECT_EQ(digest, file.old_digest) << file.name << " holds neither old nor new content";
        }
        if (file.track && file.downloaded) {
          ++expected_records;
          FileRecord* record = tracked.FindFile(plan.user_id, file.name);
          EXPECT_TRUE(record != nullptr && record->GetDirectory() == dir_) << file.name << " not tracked";
        }
      }
      // A cut download may have gone out whole before the device left.
      const FilePlan* cut = plan.cut == Cut::kDownloadClosed ? &plan.files[static_cast<std::size_t>(plan.cut_file)]
                                                             : nullptr;
      const bool maybe_one_more = cut != nullptr && cut->track && tracked.FindFile(plan.user_id, cut->name);
      EXPECT_EQ(records, expected_records + (maybe_one_more ? 1 : 0));
    }
  }

  std::uint64_t seed_ = 0;
  std::vector<DevicePlan> plans_;
  int idle_threads_ = 0;
  EventCounts events_;
};

TEST_F(LoadTest, HundredDevicesTransferAtOnceAndNothingIsLost) {
  ASSERT_NO_FATAL_FAILURE(StartIdleServer(300));
  Plan(0);
  RunDevices();
  ExpectNothingLost();
  std::lock_guard<std::mutex> lock(events_.mutex);
  // An upload and a download each, in every build: the log's lock is held
  // only to link a record, so no event is given up.
  EXPECT_EQ(events_.successes, kDevices * kFilesPerDevice * 2);
  for (const auto& [user, errors] : events_.errors) ADD_FAILURE() << user << ": " << errors[0];
}

TEST_F(LoadTest, DevicesThatCutTheirLinksHarmNoOtherAndLeaveNoPartialFile) {
  ASSERT_NO_FATAL_FAILURE(StartIdleServer(kCutReceiveTimeout));
  Plan(kCutDevices);
  RunDevices();
  ExpectNothingLost();
}

}  // namespace
}  // namespace tarvex
