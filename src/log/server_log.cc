#include "log/server_log.h"

#include <utility>

#include "log/time_stamp.h"

namespace tarvex {

std::unique_ptr<LogRecord> ServerLog::CreateRecord() const { return NewRecord<ServerLogRecord>(); }

std::unique_ptr<LogRecord> ServerLog::DroppedEventsRecord(std::uint64_t count) const {
  auto record = NewRecord<ServerLogRecord>();
  if (record == nullptr) return nullptr;
  record->SetField(ServerLogRecord::kDateTime, CurrentTimeStamp());
  record->SetField(ServerLogRecord::kModule, "Server");
  record->SetField(ServerLogRecord::kStatus, "2");
  record->SetField(ServerLogRecord::kDescription, DroppedEventsText(count));
  return record;
}

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
