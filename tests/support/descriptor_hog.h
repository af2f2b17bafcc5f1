// DescriptorHog: takes every free file descriptor of the test process, so
// that the next accept or open fails with EMFILE. For its life the soft limit
// of open descriptors is lowered (to at most 1024) to keep the hoard small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex::testing {

class DescriptorHog {
 public:
  DescriptorHog();
  ~DescriptorHog();  // gives all back and restores the limit
  DescriptorHog(const DescriptorHog&) = delete;
  DescriptorHog& operator=(const DescriptorHog&) = delete;

  // Gives `count` descriptors back.
  void Free(std::size_t count);

 private:
  std::vector<int> held_;
  std::uint64_t saved_limit_ = 0;
  bool lowered_ = false;
};

}  // namespace tarvex::testing
