// Logins against a real server on a loopback port: logins per second with 1
// and with 8 devices (each from a loopback address of its own) logging in and
// ending their sessions at once; the latency of one device's login and
// session end alone, beside 1,000 silent connections from one source, and
// beside 40 silent connections from each of 16 sources; and the password
// guesses one source gets checked per second over 30 s, with 1 and with 8
// connections at once.
//
// "core" sessions end at the device's end code and log nothing, so they
// measure the login path itself; "file" sessions are the file-exchange
// service's, with their log entries. On loopback a login costs processor
// time only, which devices and server share here; with "think_ms" each
// device takes that long before it sends its request, as a handheld on a
// slow link does, so the run shows whether logins wait for one another.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <memory>
#include <thread>
#include <vector>

#include "client/device_link.h"
#include "client/file_requests.h"
#include "core/server/server.h"
#include "fileservice/file_service.h"
#include "core/settings/root_dir.h"
#include "log/server_log.h"
#include "support/server/server_fixture.h"

namespace tarvex {
namespace {

constexpr char kLogin[] = "benchuser";
constexpr char kPassword[] = "bench password";
constexpr int kReplyTimeout = 50;
constexpr int kLoginsPerDevice = 25;

// The shortest session there is: it answers the end code and closes.
class EndingSession : public Session {
 public:
  Status Prepare() override { return 0; }
  Status Run() override {
    std::uint16_t code = 0;
    Status s = ReceiveHeader(connection.get(), &code, kReplyTimeout);
    SendHeader(connection.get(), protocol::kSessionOver);
    CloseConnection(connection.get());
    return s;
  }
};

class EndingService : public Service {
 public:
  std::uint16_t GetServiceId() const override { return protocol::kFileServiceId; }
  const std::string& GetServiceName() const override { return name_; }
  ActivityLog* GetServiceLog() override { return nullptr; }
  bool Configure() override { return false; }
  bool IsReady() override { return true; }
  std::unique_ptr<Session> CreateSession() override { return std::make_unique<EndingSession>(); }

 private:
  std::string name_ = "Ending";
};

enum class Sessions { kCore, kFile };

// One private world for the whole run: the per-user store is read through
// paths fixed at its first use.
struct LoginWorld {
  LoginWorld() {
    if (!testing::EnterPrivateWorld(root, &data_dir) || !WriteRootDir(root.File("exchange"))) data_dir.clear();
  }
  testing::TempDir root;
  std::string data_dir;  // empty when the world could not be made
};

const std::string& BenchDataDir() {
  static LoginWorld world;
  return world.data_dir;
}

// A started server in the private world; none when it could not start.
class BenchServer {
 public:
  explicit BenchServer(Sessions sessions, ServerOptions options = {}) {
    const std::string& data_dir = BenchDataDir();
    port_ = testing::FindFreePort();
    if (data_dir.empty() || port_ == 0 || !testing::WriteServerSettings(data_dir, port_, kLogin, kPassword)) {
      return;
    }
    options.listen_address = "127.0.0.1";
    options.login_timeout = 3000;  // silent connections stay for the whole run
    server_ = std::make_unique<Server>(options);
    Server::ServiceFactory factory = [] { return std::make_unique<EndingService>(); };
    if (sessions == Sessions::kFile) factory = [] { return std::make_unique<FileService>(); };
    if (!server_->InitServer({factory}) || !server_->StartServer()) server_.reset();
  }

  bool Started() const { return server_ != nullptr; }

  // Logs in and ends the session; true when both went as they should. The
  // devices key their links with a schedule made once, so that their own
  // key expansion does not take the server's share of the processors.
  bool LogInAndEnd(std::chrono::milliseconds think = std::chrono::milliseconds(0),
                   const std::string& from = "127.0.0.1") const {
    std::unique_ptr<Connection> link = ConnectToServer("127.0.0.1", port_, from);
    if (!link) return false;
    EnableCipher(link.get(), device_key_);
    if (think.count() > 0) std::this_thread::sleep_for(think);
    std::uint16_t status = 1;
    return SendBytes(link.get(), MakeLoginRequest(protocol::kFileServiceId, kLogin, kPassword)) == 0 &&
           ReceiveAuthReply(link.get(), &status, kReplyTimeout) == 0 && status == kAuthAccepted &&
           EndSession(link.get(), kReplyTimeout) == 0;
  }

  // One password guess from `from`: a link keyed with the guess and its
  // login request; waits up to a second for the server's answer (a close or
  // a reply).
  void Guess(const std::string& guess, const std::string& from) const {
    std::unique_ptr<Connection> link = ConnectToServer("127.0.0.1", port_, from);
    if (!link) return;
    EnableCipher(link.get(), std::make_shared<const KeySchedule>(CreateKeySchedule(guess)));
    std::uint16_t status = 1;
    if (SendBytes(link.get(), MakeLoginRequest(protocol::kFileServiceId, kLogin, guess)) == 0) {
      ReceiveAuthReply(link.get(), &status, 10);
    }
  }

  // Opens `count` connections from `from` that never send a byte into
  // *links; true once the server holds `pending` logins in all (within ten
  // seconds).
  bool OpenSilent(std::size_t count, const std::string& from, std::size_t pending,
                  std::vector<std::unique_ptr<Connection>>* links) {
    for (std::size_t i = 0; i < count; ++i) links->push_back(ConnectToServer("127.0.0.1", port_, from));
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server_->PendingLogins() < pending) {
      if (std::chrono::steady_clock::now() > limit) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  // Entries of the server log with this description.
  int Logged(const std::string& description) const {
    int n = 0;
    for (int i = 0; i < server_->Log().GetCount(); ++i) {
      auto record = server_->Log().GetRecord(i);
      if (record && record->GetField(4) == description) ++n;
    }
    return n;
  }

 private:
  const std::shared_ptr<const KeySchedule> device_key_ =
      std::make_shared<const KeySchedule>(CreateKeySchedule(kPassword));
  std::uint16_t port_ = 0;
  std::unique_ptr<Server> server_;
};

void LoginRate(benchmark::State& state, Sessions sessions) {
  BenchServer server(sessions);
  if (!server.Started()) {
    state.SkipWithError("the server did not start");
    return;
  }
  const int devices = static_cast<int>(state.range(0));
  const std::chrono::milliseconds think(state.range(1));
  for (auto _ : state) {
    std::atomic<bool> failed = false;
    std::vector<std::thread> threads;
    for (int d = 0; d < devices; ++d) {
      threads.emplace_back([&, from = "127.0.0." + std::to_string(d + 2)] {
        for (int i = 0; i < kLoginsPerDevice; ++i) {
          if (!server.LogInAndEnd(think, from)) failed = true;
        }
      });
    }
    for (auto& t : threads) t.join();
    if (failed) {
      state.SkipWithError("a login failed");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * devices * kLoginsPerDevice);
}

void LoginLatency(benchmark::State& state) {
  BenchServer server(Sessions::kCore);
  if (!server.Started()) {
    state.SkipWithError("the server did not start");
    return;
  }
  // 0: alone; 1: beside 1,000 silent connections from one source (of which
  // it holds 16); 2: beside 40 from each of 16 sources.
  std::vector<std::unique_ptr<Connection>> silent;
  bool opened = true;
  if (state.range(0) == 1) {
    opened = server.OpenSilent(1000, "127.0.1.1", kMaxPendingPerSource, &silent);
  } else if (state.range(0) == 2) {
    for (std::size_t source = 1; source <= 16 && opened; ++source) {
      opened = server.OpenSilent(40, "127.0.1." + std::to_string(source), source * kMaxPendingPerSource, &silent);
    }
  }
  if (!opened) {
    state.SkipWithError("the silent connections were not all accepted");
    return;
  }
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!server.LogInAndEnd(std::chrono::milliseconds(0), "127.0.0.2")) {
      state.SkipWithError("a login failed");
      break;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    micros.push_back(std::chrono::duration<double, std::micro>(took).count());
  }
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  auto percentile = [&](double p) {
    return micros[static_cast<std::size_t>(p * static_cast<double>(micros.size() - 1))];
  };
  state.counters["p50_us"] = percentile(0.50);
  state.counters["p99_us"] = percentile(0.99);
}

BENCHMARK_CAPTURE(LoginRate, core, Sessions::kCore)
    ->ArgsProduct({{1, 8}, {0, 2}})
    ->ArgNames({"devices", "think_ms"})
    ->UseRealTime();
BENCHMARK_CAPTURE(LoginRate, file, Sessions::kFile)
    ->ArgsProduct({{1, 8}, {0}})
    ->ArgNames({"devices", "think_ms"})
    ->UseRealTime();
// Guesses the server checked for one source over 30 s (each one a logged
// invalid login; a repeat, a refused connection or one it dropped is none).
void PasswordGuesses(benchmark::State& state) {
  BenchServer server(Sessions::kCore);
  if (!server.Started()) {
    state.SkipWithError("the server did not start");
    return;
  }
  const int connections = static_cast<int>(state.range(0));
  constexpr auto kSpan = std::chrono::seconds(30);
  const std::string from = "127.0.2.1";
  // The log file keeps the entries of earlier runs.
  const std::string invalid = "Invalid Login Name and/or password from " + from;
  for (auto _ : state) {
    const int before = server.Logged(invalid);
    std::atomic<int> tried = 0;
    const auto end = std::chrono::steady_clock::now() + kSpan;
    std::vector<std::thread> threads;
    for (int c = 0; c < connections; ++c) {
      threads.emplace_back([&] {
        while (std::chrono::steady_clock::now() < end) server.Guess("guess " + std::to_string(tried++), from);
      });
    }
    for (auto& t : threads) t.join();
    const int checked = server.Logged(invalid) - before;
    state.counters["attempts"] = tried.load();
    state.counters["checked"] = checked;
    state.counters["checked_per_s"] = checked / 30.0;
    state.counters["after_5_per_min"] = std::max(0, checked - 5) * 2.0;  // 30 s
  }
}

BENCHMARK(LoginLatency)->Arg(0)->Arg(1)->Arg(2)->ArgName("beside")->UseRealTime();
BENCHMARK(PasswordGuesses)->Arg(1)->Arg(8)->ArgName("connections")->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tarvex
