// A Windows file time (UTC) in local time, the way file stamps are shown.
// Used by the *_win32.cc files only.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/local_clock.h"

namespace tarvex {

// FileTimeToLocalFileTime, then the calendar fields; none when Windows
// cannot convert it.
std::optional<LocalDateTime> FileTimeToLocalDateTime(const FILETIME& utc);

}  // namespace tarvex
