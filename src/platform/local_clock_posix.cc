#include "platform/local_clock.h"

#include <time.h>

namespace tarvex {

LocalDateTime LocalNow() {
  time_t now = time(nullptr);
  struct tm parts {};
  LocalDateTime result;
  if (localtime_r(&now, &parts) == nullptr) return result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  return result;
}

}  // namespace tarvex
