#include "bench_world.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "client/device_link.h"
#include "client/file_requests.h"
#include "fileservice/file_service.h"
#include "core/settings/root_dir.h"
#include "platform/atomic_file.h"
#include "support/server/server_fixture.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<testing::TempDir> SharedMemoryDir() {
  if (!fs::is_directory("/dev/shm")) return nullptr;
  const char* saved = std::getenv("TMPDIR");
  const std::string previous = saved ? saved : "";
  setenv("TMPDIR", "/dev/shm", 1);
  auto dir = std::make_unique<testing::TempDir>();
  if (saved) setenv("TMPDIR", previous.c_str(), 1); else unsetenv("TMPDIR");
  return dir;
}

}  // namespace

BenchWorld::BenchWorld() : shm_(SharedMemoryDir()) {
  std::string data_dir;
  port_ = testing::FindFreePort();
  if (!testing::EnterPrivateWorld(root_, &data_dir) || port_ == 0 ||
      !testing::WriteServerSettings(data_dir, port_, testing::kLogin, testing::kPassword) ||
      !WriteRootDir(root_.File("exchange"))) {
    return;
  }
  files_dir_ = (shm_ ? shm_->Path() : root_.Path()) + "/files/";
  fs::create_directories(files_dir_);
  ServerOptions options;
  options.listen_address = "127.0.0.1";
  server_ = std::make_unique<Server>(options);
  if (!server_->InitServer({[] { return std::make_unique<FileService>(); }}) || !server_->StartServer()) return;
  link_ = Connect();
}

BenchWorld::~BenchWorld() {
  if (link_) EndSession(link_.get(), kBenchTimeout);
}

std::unique_ptr<Connection> BenchWorld::Connect() const {
  if (!server_ || !server_->IsRunning()) return nullptr;
  LoginOutcome login = LogIn("127.0.0.1", port_, testing::kLogin, testing::kPassword, kFileServiceId, kBenchTimeout);
  if (!login.Accepted()) return nullptr;
  return std::move(login.connection);
}

std::string Pattern(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  return bytes;
}

bool WritePatternFile(const std::string& path, std::size_t size) {
  const std::string chunk = Pattern(1 << 20);
  AtomicFile file(path);
  for (std::size_t done = 0; done < size; done += chunk.size()) {
    file.Write(std::string_view(chunk).substr(0, std::min(chunk.size(), size - done)));
  }
  return file.Commit();
}

}  // namespace tarvex
