// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal and journal form of a log record, as tarvexd echoes it:
//   "2026-12-07 16:27:15 Server ann: Begin Session Successful - SessionID [1]"
// (date, time, module, user when there is one, description). For the
// journal (JOURNAL_STREAM set, systemd reading standard error) each line
// starts with its syslog priority, "<3>" for a failure and "<6>" otherwise,
// so that `journalctl -p err` finds the failures.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

class LogRecord;

// True for a record that tells of a failure: a file-service record with
// status "Error", a server record whose description tells of a failure,
// an error or a refusal.
bool IsFailureRecord(const LogRecord& record);

// "MM/DD/YY hh:mm:ss" as "20YY-MM-DD hh:mm:ss"; any other text unchanged.
std::string IsoTimeStamp(std::string_view stamp);

// The line for a record (without a line end); "" for a record of neither log.
std::string EchoLine(const LogRecord& record, bool journal);

}  // namespace tarvex
