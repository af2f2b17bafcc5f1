// NextField: takes the first quoted field off the front of a record line.
//
// A field opens with a double quote and closes with a double quote that ends
// the line, or is followed by a carriage return, a line feed or a comma; the
// line then loses the field (and the comma), or becomes empty. Two double
// quotes stand for one; a double quote before any other character is kept.
// A line shorter than 2 characters, or not opening with a double quote, gives
// an empty field and stays as it is. A field that is never closed is the
// rest of the line, which also stays as it is, so every further call gives
// the same field again.
#pragma once

#include <string>

namespace tarvex {

std::string NextField(std::string* line);

}  // namespace tarvex
