// The shape of a per-user store key path, the same on every platform:
// "Software\<organisation>\<application>[\<group>...]" ("Software" in any
// case), no part empty or holding "/"; a value name is not empty and holds
// neither "/" nor "\". Used by the user_store implementations only.
#pragma once

#include <string_view>
#include <vector>

namespace tarvex {

// The parts after "Software" (organisation, application, groups); empty when
// the key path does not have that shape.
std::vector<std::string_view> SplitUserKeyPath(std::string_view key_path);

bool IsUserValueName(std::string_view value_name);

}  // namespace tarvex
