// WaitUntil: polls a condition every 10 ms, for tests that wait on another
// thread or process. Every wait has a limit.
#pragma once

#include <chrono>
#include <functional>

namespace tarvex::testing {

// Waits until `condition` holds or `limit` passes; the last result.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace tarvex::testing
