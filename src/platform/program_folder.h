// The folder the running program was started from. The system's programs are
// installed side by side, so one program finds another there.
#pragma once

#include <string>

namespace tarvex {

// The folder of this process's program file, without a trailing separator;
// "" when it cannot be told.
std::string OwnProgramFolder();

}  // namespace tarvex
