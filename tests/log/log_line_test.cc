#include <gtest/gtest.h>

#include "log/log_line.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "log/time_stamp.h"

namespace tarvex {
namespace {

TEST(LogLineTest, OnlyTheLastFieldKeepsItsCommas) {
  ServerLogRecord record;
  ASSERT_TRUE(ParseLine("10/12/05 16:46:38,Server,,0,Server Started", &record));
  EXPECT_EQ(record.GetField(0), "10/12/05 16:46:38");
  EXPECT_EQ(record.GetField(1), "Server");
  EXPECT_EQ(record.GetField(2), "");
  EXPECT_EQ(record.GetField(3), "0");
  EXPECT_EQ(record.GetField(4), "Server Started");

  record.SetField(4, "a, b, c");
  EXPECT_EQ(FormatLine(record), "10/12/05 16:46:38,Server,,0,a, b, c\n");

  ServiceLogRecord service;
  ASSERT_TRUE(ParseLine("t,Error,Sent a, b,ann", &service));
  EXPECT_EQ(service.GetField(2), "Sent a");
  EXPECT_EQ(service.GetField(3), " b,ann");

  ServerLogRecord short_line;
  EXPECT_FALSE(ParseLine("t,Server,,0", &short_line));
  EXPECT_FALSE(ParseLine("", &short_line));
  EXPECT_EQ(short_line.GetField(5), "");  // beyond the record
}

TEST(TimeStampTest, MonthDayTwoDigitYearAndTwentyFourHourTime) {
  EXPECT_EQ(FormatTimeStamp({2005, 10, 12, 16, 46, 38}), "10/12/05 16:46:38");
  EXPECT_EQ(FormatTimeStamp({2010, 1, 2, 0, 5, 9}), "01/02/10 00:05:09");
  EXPECT_EQ(FormatTimeStamp({2123, 12, 31, 23, 59, 59}), "12/31/123 23:59:59");
}

}  // namespace
}  // namespace tarvex
