// The shared link key schedule: one schedule for the whole process, keyed by
// the configured password, shared by every connection keyed with it.
//
// GetLinkKeySchedule is safe to call from any thread. A connection holds the
// schedule it was keyed with by shared ownership, so the schedule stays valid
// until the last such connection is released, even after
// ReleaseLinkKeySchedule or a change of password.
#pragma once

#include <memory>
#include <string_view>

#include "core/cipher/blowfish.h"

namespace tarvex {

// The schedule for this key: the existing one when the key is unchanged
// (same length, same bytes), otherwise a new one that replaces it.
std::shared_ptr<const KeySchedule> GetLinkKeySchedule(std::string_view key);

// Drops the process's reference to the shared schedule and its key copy.
void ReleaseLinkKeySchedule();

}  // namespace tarvex
