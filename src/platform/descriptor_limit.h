// The process's limit of open descriptors (sockets and files); on Windows,
// which has no such limit to raise, a fixed figure (see its file).
#pragma once

#include <cstdint>

namespace tarvex {

// Raises the soft limit to the hard limit (as far as the system allows) and
// gives the soft limit now in effect; 1024 when it cannot be read.
// Safe to call more than once.
std::uint64_t RaiseDescriptorLimit();

}  // namespace tarvex
