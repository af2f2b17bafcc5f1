// CountThreads: how many threads this process runs now, as the kernel counts
// them, for tests that check that a server gives back every thread it took.
#pragma once

namespace tarvex::testing {

// The "Threads:" line of /proc/self/status; -1 when it cannot be read.
int CountThreads();

}  // namespace tarvex::testing
