// The session target's harness: one file-exchange session, authenticated as
// the server would have left it after a login, run over a given socket in
// the session world on the calling thread, logging to the given logs. Every
// session finds the same data files and directories: users 1 "ann" and 2
// "bob", ann's directory holding notes.txt (tracked for her), memo.txt in
// the working directory, and with `restricted` an access list naming the
// root and working directories. What a session writes is undone when it ends, after
// `inspect` (if any) has looked at the world as the session left it.
// The seed generator runs real device exchanges against the same harness.
#pragma once

#include <functional>
#include <string>

#include "fuzz_world.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/socket.h"

namespace tarvex::fuzz {

void RunFuzzedSession(Socket socket, bool restricted, bool enciphered, ServiceLog& service_log,
                      ServerLog& server_log, const std::function<void()>& inspect = {});

// The world the sessions run in (made on first use).
const FuzzWorld& SessionWorldDirs();

}  // namespace tarvex::fuzz
