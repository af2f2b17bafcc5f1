// How file paths compare on this platform: whether two paths that differ
// only in the case of their letters name the same file.
#pragma once

namespace tarvex {

// False where file systems are case-sensitive (Linux: "/home/ann/SHARE" and
// "/home/ann/share" are different directories); true where they fold case
// (Windows, whose NTFS ignores it). Callers that compare paths for access
// fold ASCII case only when this is true.
bool PathsIgnoreCase();

}  // namespace tarvex
