#include <gtest/gtest.h>

#include "log/time_stamp.h"

namespace tarvex {
namespace {

TEST(TimeStampTest, MonthDayTwoDigitYearAndTwentyFourHourTime) {
  EXPECT_EQ(FormatTimeStamp({2005, 10, 12, 16, 46, 38}), "10/12/05 16:46:38");
  EXPECT_EQ(FormatTimeStamp({2010, 1, 2, 0, 5, 9}), "01/02/10 00:05:09");
  EXPECT_EQ(FormatTimeStamp({2123, 12, 31, 23, 59, 59}), "12/31/123 23:59:59");
}

}  // namespace
}  // namespace tarvex
