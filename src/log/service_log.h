// ServiceLog: the activity log of the file-exchange service, kept in
// "QLXLog.txt" (1000 records). Every LogEvent reaches the file within the
// log's save interval; the owner saves it once more before destroying it.
//
// ServiceLogRecord fields: 0 time stamp, 1 status ("Success" or "Error"),
// 2 description, 3 user. A comma in a description is stored as "?" (it is
// not the last field), so every line reads back into the fields it had.
// The window shows the fields as the columns "Date/Time" 120, "Status" 75,
// "Description" 250 and "User" 75.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "log/activity_log.h"
#include "log/log_record.h"

namespace tarvex {

class ServiceLogRecord : public LogRecord {
 public:
  static constexpr int kDateTime = 0;
  static constexpr int kStatus = 1;
  static constexpr int kDescription = 2;
  static constexpr int kUser = 3;
  static constexpr std::int16_t kFieldCount = 4;

  ServiceLogRecord() : LogRecord(kFieldCount) {}
};

inline constexpr std::string_view kServiceLogFileName = "QLXLog.txt";
inline constexpr std::int16_t kServiceLogMaxRecords = 1000;

class ServiceLog : public ActivityLog {
 public:
  explicit ServiceLog(std::string file_name = std::string(kServiceLogFileName),
                      std::int16_t max_records = kServiceLogMaxRecords,
                      SaveCalls& calls = SaveCalls::Default())
      : ActivityLog(std::move(file_name), max_records, calls) {}

  std::unique_ptr<LogRecord> CreateRecord() const override;
  std::unique_ptr<LogRecord> DroppedEventsRecord(std::uint64_t count) const override;

  // Adds a record stamped with the current local time.
  bool LogEvent(std::string description, std::string user, std::string status);

 protected:
  void DefineColumns() override;
};

}  // namespace tarvex
