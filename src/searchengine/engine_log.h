// The search engine's log: one line per event on standard error, stamped
// with the local time ("tarvex-search: 2024-05-01 09:30:12 Index ready").
// Safe for concurrent use.
#pragma once

#include <string_view>

namespace tarvex {

void EngineLog(std::string_view text);

}  // namespace tarvex
