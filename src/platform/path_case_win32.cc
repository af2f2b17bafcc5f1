#include "platform/path_case.h"

namespace tarvex {

bool PathsIgnoreCase() { return true; }

}  // namespace tarvex
