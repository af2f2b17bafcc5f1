// The local wall clock: the current date and time in the user's time zone,
// broken into calendar fields. Safe to call from any thread.
#pragma once

#include <cstdint>
#include <optional>

namespace tarvex {

struct LocalDateTime {
  int year = 0;    // e.g. 2005
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-60 (a leap second may read as 60)
};

LocalDateTime LocalNow();

// A moment given in seconds since the epoch, in local time; none when it
// cannot be converted.
std::optional<LocalDateTime> ToLocalDateTime(std::int64_t seconds_since_epoch);

}  // namespace tarvex
