// ServerLog: the server's activity log, written by the server core and by
// the sessions, kept in "TSServerLog.txt" (500 records). Every LogEvent
// reaches the file within the log's save interval. It defines no columns of
// its own: its window shows a fixed set.
//
// ServerLogRecord fields: 0 time stamp, 1 module ("Server" for the server
// core, "QLX" for the file-exchange service), 2 user (empty for server
// events), 3 status ("0" or "2"), 4 description (may hold commas, since it is
// the last field of the line).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "log/activity_log.h"
#include "log/log_record.h"

namespace tarvex {

class ServerLogRecord : public LogRecord {
 public:
  static constexpr int kDateTime = 0;
  static constexpr int kModule = 1;
  static constexpr int kUser = 2;
  static constexpr int kStatus = 3;
  static constexpr int kDescription = 4;
  static constexpr std::int16_t kFieldCount = 5;

  ServerLogRecord() : LogRecord(kFieldCount) {}
};

inline constexpr std::string_view kServerLogFileName = "TSServerLog.txt";
inline constexpr std::int16_t kServerLogMaxRecords = 500;

class ServerLog : public ActivityLog {
 public:
  explicit ServerLog(std::string file_name = std::string(kServerLogFileName),
                     std::int16_t max_records = kServerLogMaxRecords,
                     SaveCalls& calls = SaveCalls::Default())
      : ActivityLog(std::move(file_name), max_records, calls) {}

  std::unique_ptr<LogRecord> CreateRecord() const override;
  std::unique_ptr<LogRecord> DroppedEventsRecord(std::uint64_t count) const override;

  // Adds a record stamped with the current local time. Note the argument
  // order: description comes before status, though it is stored after it.
  bool LogEvent(std::string module, std::string user, std::string description,
                std::string status);

 protected:
  void DefineColumns() override {}
};

}  // namespace tarvex
