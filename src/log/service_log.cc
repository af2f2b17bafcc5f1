#include "log/service_log.h"

#include <utility>

#include "log/time_stamp.h"

namespace tarvex {

std::unique_ptr<LogRecord> ServiceLog::CreateRecord() const {
  return NewRecord<ServiceLogRecord>();
}

std::unique_ptr<LogRecord> ServiceLog::DroppedEventsRecord(std::uint64_t count) const {
  auto record = NewRecord<ServiceLogRecord>();
  if (record == nullptr) return nullptr;
  record->SetField(ServiceLogRecord::kDateTime, CurrentTimeStamp());
  record->SetField(ServiceLogRecord::kStatus, "Error");
  record->SetField(ServiceLogRecord::kDescription, DroppedEventsText(count));
  return record;
}

bool ServiceLog::LogEvent(std::string description, std::string user, std::string status) {
  ServiceLogRecord record;
  record.SetField(ServiceLogRecord::kDateTime, CurrentTimeStamp());
  record.SetField(ServiceLogRecord::kStatus, std::move(status));
  record.SetField(ServiceLogRecord::kDescription, std::move(description));
  record.SetField(ServiceLogRecord::kUser, std::move(user));
  return AddRecord(record);
}

void ServiceLog::DefineColumns() {
  AddColumn("Date/Time", 120);
  AddColumn("Status", 75);
  AddColumn("Description", 250);
  AddColumn("User", 75);
}

}  // namespace tarvex
