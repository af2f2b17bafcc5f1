// The text-file form of a log record: its fields joined by ",", one line per
// record. Fields are written as they stand, without quoting, so only the last
// field of a record may safely hold commas: on reading, each field but the
// last ends at the next comma and the last takes the rest of the line.
#pragma once

#include <string>
#include <string_view>

#include "log/log_record.h"

namespace tarvex {

// Field 0, then "," and each further field, then "\n"; "" for a record
// without fields.
std::string FormatLine(const LogRecord& record);

// Fills the fields of *record from a line without its line end. Fails when
// the record has no fields or the line holds fewer than FieldCount()-1
// commas; fields set before the failure stay set.
bool ParseLine(std::string_view line, LogRecord* record);

}  // namespace tarvex
