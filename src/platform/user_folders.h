// The user's home directory.
#pragma once

#include <string>

namespace tarvex {

// $HOME, or the password database's entry when HOME is unset; "" if neither.
std::string HomeDirectory();

}  // namespace tarvex
