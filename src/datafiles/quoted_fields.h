// The strict form of a record line: fields between double quotes, separated
// by single commas, nothing before the first or after the last. Inside a
// field two double quotes stand for one; a double quote before any other
// character is kept as it is. A text can be written into a field so that it
// reads back unchanged when it holds no line feed and no double quote that
// ends the text or stands before a comma, a double quote, a CR or an LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// Splits a line (its CR LF or LF end, if any, already removed) into its
// fields; false when the line is not of the strict form.
bool SplitQuotedFields(std::string_view line, std::vector<std::string>* fields);

// Whether a text reads back unchanged from a field (see above).
bool IsQuotableText(std::string_view text);

// A whole decimal number of up to ten digits that fits 32 bits.
bool ParseRecordId(std::string_view field, std::uint32_t* id);

}  // namespace tarvex
