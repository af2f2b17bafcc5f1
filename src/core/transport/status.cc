#include "core/transport/status.h"

namespace tarvex {

Status MapSocketStatus(Status c) {
  static constexpr Status kTable[16] = {0, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 22, 21, 4};
  if (c < 16) return kTable[c];
  if (c == 22) return 23;
  return 1;
}

Status MapListenerStatus(Status c) {
  if (c == 0) return 0;
  return c <= 15 ? 8 : 1;
}

}  // namespace tarvex
