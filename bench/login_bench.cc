// Logins against a real server on a loopback port: logins per second with 1
// and with 8 devices logging in and ending their sessions at once, and the
// latency of one device's login and session end while 50 silent connections
// hold logins open.
//
// "core" sessions end at the device's end code and log nothing, so they
// measure the login path itself; "file" sessions are the file-exchange
// service's, with their log entries. On loopback a login costs processor
// time only, which devices and server share here; with "think_ms" each
// device takes that long before it sends its request, as a handheld on a
// slow link does, so the run shows whether logins wait for one another.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "client/device_link.h"
#include "client/file_requests.h"
#include "core/server/server.h"
#include "fileservice/file_service.h"
#include "fileservice/root_dir.h"
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
  explicit BenchServer(Sessions sessions) {
    const std::string& data_dir = BenchDataDir();
    port_ = testing::FindFreePort();
    if (data_dir.empty() || port_ == 0 || !testing::WriteServerSettings(data_dir, port_, kLogin, kPassword)) {
      return;
    }
    ServerOptions options;
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
  bool LogInAndEnd(std::chrono::milliseconds think = std::chrono::milliseconds(0)) const {
    std::unique_ptr<Connection> link = ConnectToServer("127.0.0.1", port_);
    if (!link) return false;
    EnableCipher(link.get(), device_key_);
    if (think.count() > 0) std::this_thread::sleep_for(think);
    std::uint16_t status = 1;
    return SendBytes(link.get(), MakeLoginRequest(protocol::kFileServiceId, kLogin, kPassword)) == 0 &&
           ReceiveAuthReply(link.get(), &status, kReplyTimeout) == 0 && status == kAuthAccepted &&
           EndSession(link.get(), kReplyTimeout) == 0;
  }

  // Opens connections that never send a byte into *links; true once the
  // server is logging all of them in (within ten seconds).
  bool OpenSilent(std::size_t count, std::vector<std::unique_ptr<Connection>>* links) {
    for (std::size_t i = 0; i < count; ++i) links->push_back(ConnectToServer("127.0.0.1", port_));
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server_->PendingLogins() < count) {
      if (std::chrono::steady_clock::now() > limit) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
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
      threads.emplace_back([&] {
        for (int i = 0; i < kLoginsPerDevice; ++i) {
          if (!server.LogInAndEnd(think)) failed = true;
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
  std::vector<std::unique_ptr<Connection>> silent;
  if (!server.OpenSilent(static_cast<std::size_t>(state.range(0)), &silent)) {
    state.SkipWithError("the silent connections were not all accepted");
    return;
  }
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!server.LogInAndEnd()) {
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
BENCHMARK(LoginLatency)->Arg(0)->Arg(50)->ArgName("silent")->UseRealTime();

}  // namespace
}  // namespace tarvex
