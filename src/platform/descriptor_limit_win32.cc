// Windows has no per-process soft limit of sockets or files to raise: a
// process may hold about 16 million handles, and what runs out first is
// memory (non-paged pool) or ephemeral ports. The figure given bounds what
// the server lets wait at once instead: every connection still logging in
// is scanned by each wait of the login loop (WSAPoll over a list), so it is
// kept at a size such a scan handles quickly, and at what a Linux server
// commonly has.
#include "platform/descriptor_limit.h"

namespace tarvex {

std::uint64_t RaiseDescriptorLimit() { return 16384; }

}  // namespace tarvex
