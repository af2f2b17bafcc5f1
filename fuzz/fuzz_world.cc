#include "fuzz_world.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "fuzz_check.h"

namespace tarvex::fuzz {
namespace fs = std::filesystem;

namespace {

std::string BaseDirectory() {
  std::error_code error;
  if (fs::is_directory("/dev/shm", error)) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

}  // namespace

FuzzWorld::FuzzWorld() {
  std::string name = BaseDirectory() + "/tarvex-fuzz.XXXXXX";
  FuzzCheck(mkdtemp(name.data()) != nullptr, "cannot make the private world");
  top_ = fs::canonical(name).string();
  for (const char* sub : {"config", "share", "home", "data", "root", "work", "scratch"}) {
    fs::create_directories(top_ + "/" + sub);
  }
  setenv("XDG_CONFIG_HOME", (top_ + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (top_ + "/share").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", top_.c_str(), 1);
  setenv("HOME", (top_ + "/home").c_str(), 1);
  setenv("TMPDIR", Scratch().c_str(), 1);
  FuzzCheck(chdir(WorkDir().c_str()) == 0, "cannot enter the working directory");
}

FuzzWorld::~FuzzWorld() {
  std::error_code error;
  fs::current_path(fs::path(top_).parent_path(), error);
  fs::remove_all(top_, error);
}

bool FuzzWorld::Holds(const std::string& path) const {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) return false;
  // The deepest existing directory decides; what follows it is only names.
  fs::path existing = absolute.lexically_normal().parent_path();
  while (!existing.empty() && !fs::exists(existing, error)) existing = existing.parent_path();
  const fs::path resolved = fs::weakly_canonical(existing, error);
  if (error) return false;
  const std::string text = resolved.string();
  if (text != top_ && !text.starts_with(top_ + "/")) return false;
  // The last name must not climb out again.
  const std::string last = absolute.filename().string();
  return last != ".." && last != ".";
}

void PutFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string GetFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tarvex::fuzz
