// SPDX-License-Identifier: GPL-3.0-or-later
// The control socket: a local (Unix-domain) stream socket through which
// other programs of the same user talk to the running server (`tarvexd
// status`, a second start of the window). It lies in a folder private to the
// user (mode 0700, owned by the user) beside the single-instance lock:
// $XDG_RUNTIME_DIR/tarvex-server/control, or /tmp/tarvex-server-<uid>/control
// where XDG_RUNTIME_DIR is unset. The socket itself has mode 0600.
//
// Only the holder of the single-instance lock listens, so a socket file left
// by a process that crashed is replaced without asking.
#pragma once

#include <string>

#include "platform/socket.h"

namespace tarvex {

// Where the control socket of this user's server lies.
std::string ControlSocketPath();

// Makes the private folder (refusing one that is not a directory owned by
// the user), replaces any socket file at `path` and listens there.
// Invalid on failure, *error (when given) the system's error number.
Socket ListenControlSocket(const std::string& path, int* error = nullptr);

// Accepts one waiting client; invalid on failure.
Socket AcceptControlClient(const Socket& listener);

// Connects to the control socket at `path`; invalid when nothing listens.
Socket ConnectControlSocket(const std::string& path);

// Removes the socket file (when the server ends).
void RemoveControlSocket(const std::string& path);

}  // namespace tarvex
