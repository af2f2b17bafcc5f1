// Enciphered transfer over loopback: one thread sends 10000-byte pieces with
// SendBytes, the benchmark thread takes them with ReceiveBytes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "core/transport/listener.h"

namespace tarvex {
namespace {

constexpr std::string_view kPassword = "bench password";
constexpr std::size_t kPiece = 10000;
constexpr int kPiecesPerIteration = 32;

// Sends pieces as they are asked for, so it never blocks on a receiver that
// has stopped reading.
class Sender {
 public:
  explicit Sender(Connection* connection) : connection_(connection), thread_([this] { Run(); }) {}
  ~Sender() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  void Ask(int pieces) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      asked_ += pieces;
    }
    wake_.notify_one();
  }
  bool Failed() const { return failed_; }

 private:
  void Run() {
    const std::string piece(kPiece, 'x');
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || asked_ > 0; });
      if (stop_) return;
      int pieces = asked_;
      asked_ = 0;
      lock.unlock();
      for (int i = 0; i < pieces; ++i) {
        if (SendBytes(connection_, piece) != 0) failed_ = true;
      }
      lock.lock();
    }
  }

  Connection* connection_;
  std::mutex mutex_;
  std::condition_variable wake_;
  int asked_ = 0;
  bool stop_ = false;
  std::atomic<bool> failed_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

void LoopbackTransfer(benchmark::State& state) {
  auto listener = CreateListener();
  if (Listen(listener.get(), 0, 4, "127.0.0.1") != 0) {
    state.SkipWithError("cannot listen on 127.0.0.1");
    return;
  }
  auto device = MakeConnection(ConnectTcp("127.0.0.1", ListeningPort(listener.get())));
  Status code = 0;
  auto server = AcceptConnection(listener.get(), 50, &code);
  if (code != 0 || !server) {
    state.SkipWithError("no connection accepted");
    return;
  }
  EnableCipher(server.get(), kPassword);
  EnableCipher(device.get(), std::make_shared<const KeySchedule>(CreateKeySchedule(kPassword)));

  std::string piece(kPiece, '\0');
  {
    Sender sender(device.get());
    for (auto _ : state) {
      sender.Ask(kPiecesPerIteration);
      for (int i = 0; i < kPiecesPerIteration; ++i) {
        if (ReceiveBytes(server.get(), piece.data(), kPiece, 50) != 0) {
          state.SkipWithError("receive failed");
          CloseConnection(server.get());  // unblocks the sender
          break;
        }
      }
    }
    if (sender.Failed()) state.SkipWithError("send failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPiecesPerIteration *
                          static_cast<std::int64_t>(kPiece));
  CloseConnection(device.get());
  CloseConnection(server.get());
  CloseListener(listener.get());
}

BENCHMARK(LoopbackTransfer)->Name("LoopbackTransfer/enciphered/10000B")->UseRealTime();

}  // namespace
}  // namespace tarvex
