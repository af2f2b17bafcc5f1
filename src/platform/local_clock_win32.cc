#include "platform/local_clock.h"

#include <windows.h>

#include "platform/local_time_win32.h"

namespace tarvex {
namespace {

// 100-nanosecond intervals from 1601-01-01 (FILETIME) to 1970-01-01.
constexpr std::int64_t kEpochOffset = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

LocalDateTime FromSystemTime(const SYSTEMTIME& time) {
  LocalDateTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  return result;
}

}  // namespace

std::optional<LocalDateTime> FileTimeToLocalDateTime(const FILETIME& utc) {
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &parts)) return std::nullopt;
  return FromSystemTime(parts);
}

std::optional<LocalDateTime> ToLocalDateTime(std::int64_t seconds_since_epoch) {
  if (seconds_since_epoch < -kEpochOffset / kTicksPerSecond ||
      seconds_since_epoch > (INT64_MAX - kEpochOffset) / kTicksPerSecond) {
    return std::nullopt;
  }
  const auto ticks = static_cast<std::uint64_t>(seconds_since_epoch * kTicksPerSecond + kEpochOffset);
  FILETIME utc{};
  utc.dwLowDateTime = static_cast<DWORD>(ticks);
  utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return FileTimeToLocalDateTime(utc);
}

LocalDateTime LocalNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return FromSystemTime(now);
}

}  // namespace tarvex
