// A device's desktop search, round trip: device -> tarvexd -> tarvex-search
// -> Recoll, over an index of kDocuments documents, next to the same query
// run by Recoll's query tool directly. The corpus and its index are built
// under the build folder on the first run and reused afterwards.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "client/desktop_search.h"
#include "client/device_link.h"
#include "platform/spawned_process.h"
#include "support/server/server_fixture.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDocuments = 5000;
constexpr char kQuery[] = "orchard";  // in one document of ten
constexpr std::uint32_t kResults = 10;
constexpr char kLogin[] = "bench";
constexpr char kPassword[] = "bench-secret";
constexpr int kTimeout = 300;

const std::string kData = std::string(TARVEX_BENCH_DATA) + "/search";
const std::string kCorpus = kData + "/corpus";  // documents and index, kept between runs

// Deterministic words: syllables drawn by a linear congruential generator.
class Words {
 public:
  std::string Next() {
    static const char* kSyllables[] = {"ka", "lo", "mi", "ne", "su", "ta", "ri", "po", "ve", "da",
                                       "an", "el", "or", "un", "is", "by", "fe", "gu", "ho", "zi"};
    const int length = 2 + static_cast<int>(Draw() % 3);
    std::string word;
    for (int i = 0; i < length; ++i) word += kSyllables[Draw() % 20];
    return word;
  }
  std::uint32_t Draw() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }

 private:
  std::uint32_t state_ = 12345;
};

// Writes the corpus and indexes it, unless a previous run left both.
bool BuildIndex(const std::vector<std::string>& env) {
  const std::string done = kCorpus + "/index-complete-" + std::to_string(kDocuments);
  if (fs::exists(done)) return true;
  fs::remove_all(kCorpus);
  fs::create_directories(kCorpus + "/docs");
  fs::create_directories(kCorpus + "/recoll");
  Words words;
  for (int i = 0; i < kDocuments; ++i) {
    std::ofstream out(kCorpus + "/docs/note" + std::to_string(i) + ".txt");
    const int count = 150 + static_cast<int>(words.Draw() % 150);
    for (int w = 0; w < count; ++w) {
      out << (i % 10 == 3 && w == count / 2 ? kQuery : words.Next()) << (w % 12 == 11 ? ".\n" : " ");
    }
  }
  std::ofstream(kCorpus + "/recoll/recoll.conf")
      << "topdirs = " << kCorpus << "/docs\nthrQSizes = -1 -1 -1\nloglevel = 1\nnoaspell = 1\n";
  std::fprintf(stderr, "search bench: indexing %d documents (once)...\n", kDocuments);
  const SpawnResult indexed =
      RunSpawned("recollindex", {"-c", kCorpus + "/recoll"}, env, std::chrono::minutes(20));
  if (indexed.status != 0) {
    std::fprintf(stderr, "search bench: recollindex failed: %s\n", indexed.err.c_str());
    return false;
  }
  std::ofstream(done) << "ok\n";
  return true;
}

bool WaitFor(SpawnedProcess& child, const std::string& text) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (child.Errors().find(text) == std::string::npos) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The whole chain, started once for all the benchmarks of this file.
class SearchWorld {
 public:
  static SearchWorld* Get() {
    static std::unique_ptr<SearchWorld> world = [] {
      auto made = std::make_unique<SearchWorld>();
      return made->Start() ? std::move(made) : nullptr;
    }();
    return world.get();
  }
  ~SearchWorld() {
    link_.reset();
    server_.reset();  // each stops its program
    engine_.reset();
  }

  Connection* Link() { return link_.get(); }
  const std::vector<std::string>& Env() const { return env_; }
  std::string RecollConfig() const { return kCorpus + "/recoll"; }

 private:
  bool Start() {
    const std::string world = kData + "/world";
    fs::remove_all(world);
    for (const char* d : {"config", "share", "run", "home"}) fs::create_directories(world + "/" + d);
    env_ = {"XDG_CONFIG_HOME=" + world + "/config", "XDG_DATA_HOME=" + world + "/share",
            "XDG_RUNTIME_DIR=" + world + "/run", "HOME=" + world + "/home"};
    if (!BuildIndex(env_)) return false;

    engine_ = SpawnedProcess::Start(TARVEX_SEARCH_PATH, {"--recoll-config", RecollConfig()}, env_, nullptr,
                                    SpawnOptions::Captured());
    const std::string port = std::to_string(testing::FindFreePort());
    const SpawnResult configured = RunSpawned(TARVEXD_PATH,
                                              {"configure", "--port", port, "--login", kLogin,
                                               "--password-stdin", "--root-dir", world + "/exchange"},
                                              env_, std::chrono::seconds(30), std::string(kPassword) + "\n");
    server_ = SpawnedProcess::Start(TARVEXD_PATH, {"--listen-address", "127.0.0.1"}, env_, nullptr,
                                    SpawnOptions::Captured());
    if (configured.status != 0 || !WaitFor(*engine_, "Registered") || !WaitFor(*server_, "Server Started")) {
      std::fprintf(stderr, "search bench: the chain did not start:\n%s%s%s", configured.err.c_str(),
                   engine_->Errors().c_str(), server_->Errors().c_str());
      return false;
    }
    LoginOutcome login = LogIn("127.0.0.1", static_cast<std::uint16_t>(std::stoi(port)), kLogin, kPassword,
                               kFileServiceId, kTimeout);
    if (!login.Accepted()) return false;
    link_ = std::move(login.connection);
    // One search first, so that both measurements start from a warm cache.
    SearchReply reply;
    return RequestSearch(Link(), kQuery, kResults, 0, &reply, kTimeout) == 0 && reply.status == protocol::SearchStatus::kOk;
  }

  std::vector<std::string> env_;
  std::optional<SpawnedProcess> engine_;
  std::optional<SpawnedProcess> server_;
  std::unique_ptr<Connection> link_;
};

// The chain, or none when it could not be started (the benchmark is then
// skipped with that reason).
SearchWorld* WorldOrSkip(benchmark::State& state) {
  SearchWorld* world = SearchWorld::Get();
  if (world == nullptr) state.SkipWithError("the search chain could not be started");
  return world;
}

// A query of its own for each round (the engine keeps results of recent
// queries): the benchmark's word, less one that no document holds.
std::string FreshQuery(int round) { return std::string(kQuery) + " -qx" + std::to_string(round); }

// Per-round-trip times of a benchmark; p50 and p95 become its counters.
void ReportPercentiles(benchmark::State& state, std::vector<double> millis) {
  std::sort(millis.begin(), millis.end());
  state.counters["p50_ms"] = millis[millis.size() / 2];
  state.counters["p95_ms"] = millis[std::min(millis.size() - 1, millis.size() * 95 / 100)];
}

void DeviceSearchRoundTrip(benchmark::State& state) {
  SearchWorld* world = WorldOrSkip(state);
  if (world == nullptr) return;
  std::vector<double> millis;
  int round = 0;
  for (auto _ : state) {
    const std::string query = FreshQuery(++round);
    const auto start = Clock::now();
    SearchReply reply;
    const Status status = RequestSearch(world->Link(), query, kResults, 0, &reply, kTimeout);
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (status != 0 || reply.status != protocol::SearchStatus::kOk || reply.items.size() != kResults) {
      state.SkipWithError("the search failed");
      return;
    }
    state.counters["total"] = reply.total;
  }
  ReportPercentiles(state, millis);
}

void RecollqDirect(benchmark::State& state) {
  SearchWorld* world = WorldOrSkip(state);
  if (world == nullptr) return;
  // The very query tarvex-search runs (searchengine/recoll_query.cc).
  std::vector<std::string> args = {"-c", world->RecollConfig(), "-E", "-n", "0-" + std::to_string(kResults),
                                   "-p", "2", "-F", "url mtype title filename ipath abstract", "--", ""};
  std::vector<std::string> env = world->Env();
  env.push_back("LANG=C.UTF-8");
  env.push_back("LC_ALL=C.UTF-8");
  std::vector<double> millis;
  int round = 0;
  for (auto _ : state) {
    args.back() = "-mime:inode/directory " + FreshQuery(++round);
    const auto start = Clock::now();
    const SpawnResult run = RunSpawned("recollq", args, env, std::chrono::seconds(30));
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (run.status != 0) {
      state.SkipWithError("recollq failed");
      return;
    }
  }
  ReportPercentiles(state, millis);
}

// Pages 2 to 5 of a query whose first page the device has just read, each
// round with a query of its own.
void DeviceNextPages(benchmark::State& state) {
  SearchWorld* world = WorldOrSkip(state);
  if (world == nullptr) return;
  std::vector<double> millis;
  int round = 0;
  for (auto _ : state) {
    const std::string query = FreshQuery(1000 + ++round);
    SearchReply first;
    if (RequestSearch(world->Link(), query, kResults, 0, &first, kTimeout) != 0 || first.status != protocol::SearchStatus::kOk) {
      state.SkipWithError("the search failed");
      return;
    }
    for (std::uint32_t page = 1; page < 5; ++page) {
      const auto start = Clock::now();
      SearchReply reply;
      const Status status = RequestSearch(world->Link(), query, kResults, page * kResults, &reply, kTimeout);
      millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (status != 0 || reply.status != protocol::SearchStatus::kOk || reply.items.size() != kResults) {
        state.SkipWithError("a later page failed");
        return;
      }
    }
  }
  ReportPercentiles(state, millis);
}

BENCHMARK(RecollqDirect)->Name("Search/Recollq")->Iterations(60)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DeviceSearchRoundTrip)
    ->Name("Search/DeviceRoundTrip")
    ->Iterations(60)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DeviceNextPages)->Name("Search/DeviceNextPages")->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace tarvex
