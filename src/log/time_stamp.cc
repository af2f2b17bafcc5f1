#include "log/time_stamp.h"

#include <cstdio>

namespace tarvex {

std::string FormatTimeStamp(const LocalDateTime& when) {
  // Wide enough for any int in every field, so the text is never cut.
  char text[96];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", when.month, when.day,
                when.year - 2000, when.hour, when.minute, when.second);
  return text;
}

std::string CurrentTimeStamp() { return FormatTimeStamp(LocalNow()); }

}  // namespace tarvex
