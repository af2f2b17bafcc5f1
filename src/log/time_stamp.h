// The time stamp of a log record: month/day/two-digit year and the time of
// day on a 24-hour clock, "MM/DD/YY hh:mm:ss" (12 October 2005 at 4:46:38 pm
// is "10/12/05 16:46:38"). The year is printed as year minus 2000.
#pragma once

#include <string>

#include "platform/local_clock.h"

namespace tarvex {

std::string FormatTimeStamp(const LocalDateTime& when);

// The stamp of the current local date and time.
std::string CurrentTimeStamp();

}  // namespace tarvex
