// SPDX-License-Identifier: GPL-3.0-or-later
// A count with its noun in agreeing number: "1 document", "2 documents".
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

inline std::string CountOf(long long count, std::string_view singular, std::string_view plural) {
  return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

}  // namespace tarvex
