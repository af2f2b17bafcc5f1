// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/log_echo.h"

#include "common/ascii.h"
#include "log/server_log.h"
#include "log/service_log.h"

namespace tarvex {
namespace {

constexpr char kServiceModule[] = "QLX";

bool Contains(std::string_view text, std::string_view word) {
  return ToUpperAscii(std::string(text)).find(ToUpperAscii(std::string(word))) != std::string::npos;
}

}  // namespace

bool IsFailureRecord(const LogRecord& record) {
  if (dynamic_cast<const ServiceLogRecord*>(&record) != nullptr) {
    return record.GetField(ServiceLogRecord::kStatus) == "Error";
  }
  if (dynamic_cast<const ServerLogRecord*>(&record) != nullptr) {
    // The server log marks nearly everything "2", so the description decides.
    const std::string description = record.GetField(ServerLogRecord::kDescription);
    for (std::string_view word : {"fail", "error", "invalid", "refuse"}) {
      if (Contains(description, word)) return true;
    }
  }
  return false;
}

std::string IsoTimeStamp(std::string_view stamp) {
  // "MM/DD/YY hh:mm:ss"
  if (stamp.size() != 17 || stamp[2] != '/' || stamp[5] != '/' || stamp[8] != ' ') return std::string(stamp);
  return "20" + std::string(stamp.substr(6, 2)) + "-" + std::string(stamp.substr(0, 2)) + "-" +
         std::string(stamp.substr(3, 2)) + std::string(stamp.substr(8));
}

std::string EchoLine(const LogRecord& record, bool journal) {
  std::string time, module, user, description;
  if (dynamic_cast<const ServerLogRecord*>(&record) != nullptr) {
    time = record.GetField(ServerLogRecord::kDateTime);
    module = record.GetField(ServerLogRecord::kModule);
    user = record.GetField(ServerLogRecord::kUser);
    description = record.GetField(ServerLogRecord::kDescription);
  } else if (dynamic_cast<const ServiceLogRecord*>(&record) != nullptr) {
    time = record.GetField(ServiceLogRecord::kDateTime);
    module = kServiceModule;
    user = record.GetField(ServiceLogRecord::kUser);
    description = record.GetField(ServiceLogRecord::kDescription);
  } else {
    return "";
  }
  std::string line;
  if (journal) line = IsFailureRecord(record) ? "<3>" : "<6>";
  line += IsoTimeStamp(time) + " " + module;
  if (!user.empty()) line += " " + user;
  line += ": " + description;
  return line;
}

}  // namespace tarvex
