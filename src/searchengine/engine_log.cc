#include "searchengine/engine_log.h"

#include <cstdio>
#include <iostream>
#include <mutex>

#include "platform/local_clock.h"

namespace tarvex {

void EngineLog(std::string_view text) {
  static std::mutex mutex;
  const LocalDateTime now = LocalNow();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  std::lock_guard<std::mutex> lock(mutex);
  std::cerr << "tarvex-search: " << stamp << ' ' << text << std::endl;
}

}  // namespace tarvex
