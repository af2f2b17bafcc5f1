#include "log/server_log.h"

#include <utility>

#include "log/time_stamp.h"

namespace tarvex {

std::unique_ptr<LogRecord> ServerLog::CreateRecord() const { return NewRecord<ServerLogRecord>(); }

bool ServerLog::LogEvent(std::string module, std::string user, std::string description,
                         std::string status) {
  ServerLogRecord record;
  record.SetField(ServerLogRecord::kDateTime, CurrentTimeStamp());
  record.SetField(ServerLogRecord::kModule, std::move(module));
  record.SetField(ServerLogRecord::kUser, std::move(user));
  record.SetField(ServerLogRecord::kStatus, std::move(status));
  record.SetField(ServerLogRecord::kDescription, std::move(description));
  return AddRecord(record);
}

}  // namespace tarvex
