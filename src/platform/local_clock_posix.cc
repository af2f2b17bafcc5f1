#include "platform/local_clock.h"

#include <time.h>

namespace tarvex {

std::optional<LocalDateTime> ToLocalDateTime(std::int64_t seconds_since_epoch) {
  const auto moment = static_cast<time_t>(seconds_since_epoch);
  struct tm parts {};
  if (localtime_r(&moment, &parts) == nullptr) return std::nullopt;
  LocalDateTime result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  return result;
}

LocalDateTime LocalNow() { return ToLocalDateTime(time(nullptr)).value_or(LocalDateTime{}); }

}  // namespace tarvex
