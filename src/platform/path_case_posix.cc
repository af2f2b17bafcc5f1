#include "platform/path_case.h"

namespace tarvex {

bool PathsIgnoreCase() { return false; }

}  // namespace tarvex
