#include <sys/resource.h>

#include "platform/descriptor_limit.h"

namespace tarvex {

std::uint64_t RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur == RLIM_INFINITY) return UINT64_C(1) << 20;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace tarvex
