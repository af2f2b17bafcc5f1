#include "support/descriptor_hog.h"

#include <algorithm>

#ifdef _WIN32

namespace tarvex::testing {

// Windows has no limit of open descriptors to lower, so the hog holds
// nothing there; the tests that need it are Linux-only (tests/CMakeLists.txt).
DescriptorHog::DescriptorHog() = default;
DescriptorHog::~DescriptorHog() = default;
void DescriptorHog::Free(std::size_t) {}

}  // namespace tarvex::testing

#else

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tarvex::testing {

DescriptorHog::DescriptorHog() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    saved_limit_ = limit.rlim_cur;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 1024);
    lowered_ = setrlimit(RLIMIT_NOFILE, &limit) == 0;
  }
  for (;;) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    held_.push_back(fd);
  }
}

void DescriptorHog::Free(std::size_t count) {
  for (; count > 0 && !held_.empty(); --count) {
    ::close(held_.back());
    held_.pop_back();
  }
}

DescriptorHog::~DescriptorHog() {
  Free(held_.size());
  if (lowered_) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(saved_limit_);
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace tarvex::testing

#endif
