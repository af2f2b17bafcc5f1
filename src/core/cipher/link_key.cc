#include "core/cipher/link_key.h"

#include <mutex>
#include <string>

namespace tarvex {
namespace {

struct LinkKey {
  std::mutex mutex;
  std::shared_ptr<const KeySchedule> schedule;
  std::string key_copy;
};

LinkKey& Shared() {
  static LinkKey link_key;
  return link_key;
}

}  // namespace

std::shared_ptr<const KeySchedule> GetLinkKeySchedule(std::string_view key) {
  LinkKey& shared = Shared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  if (shared.schedule && shared.key_copy == key) return shared.schedule;
  shared.schedule = std::make_shared<const KeySchedule>(CreateKeySchedule(key));
  shared.key_copy.assign(key);
  return shared.schedule;
}

void ReleaseLinkKeySchedule() {
  LinkKey& shared = Shared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  shared.schedule.reset();
  shared.key_copy.clear();
}

}  // namespace tarvex
