#include "datafiles/record_file_lock.h"

#include <functional>
#include <map>
#include <string>

#include "platform/files.h"

namespace tarvex {
namespace {

std::mutex& MutexForPath(std::string_view path) {
  std::string key = NormalisePath(path);
  if (key.empty()) key = path;
  static std::mutex registry_mutex;
  static std::map<std::string, std::mutex, std::less<>> registry;  // nodes never move
  std::lock_guard<std::mutex> guard(registry_mutex);
  return registry.try_emplace(std::move(key)).first->second;
}

}  // namespace

RecordFileLock::RecordFileLock(std::string_view path) : lock_(MutexForPath(path)) {}

}  // namespace tarvex
