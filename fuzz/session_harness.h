// The session target's harness: one file-exchange session, authenticated as
// the server would have left it after a login, run over a given socket in
// the session world. Before each session the world's data files and
// directories are reset: users 1 "ann" and 2 "bob", ann's directory holding
// notes.txt (tracked for her), memo.txt in the working directory, and with
// `restricted` an access list naming the root and working directories.
// The seed generator runs real device exchanges against the same harness.
#pragma once

#include <string>

#include "fuzz_world.h"
#include "platform/socket.h"

namespace tarvex::fuzz {

void RunFuzzedSession(Socket socket, bool restricted, bool enciphered);

// The world the sessions run in (made on first use). Each session leaves
// its service and server logs in Top() (QLXLog.txt, TSServerLog.txt).
const FuzzWorld& SessionWorldDirs();

}  // namespace tarvex::fuzz
