// SPDX-License-Identifier: GPL-3.0-or-later
// The control socket: a local stream socket through which other programs of
// the same user talk to the running server (`tarvexd status`, a second start
// of the window).
//
// On Linux it is a Unix-domain socket in a folder private to the user (mode
// 0700, owned by the user) beside the single-instance lock:
// $XDG_RUNTIME_DIR/tarvex-server/control, or /tmp/tarvex-server-<uid>/control
// where XDG_RUNTIME_DIR is unset. The socket itself has mode 0600.
//
// On Windows (where Wine offers no Unix-domain sockets) it is a TCP listener
// on 127.0.0.1 at a port the system picks; the path names a rendezvous file,
// %LOCALAPPDATA%\Tarvex Server\control, that only this user may open and
// that holds the port and a random secret. A client sends the secret first;
// a connection without it is closed at its accept.
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

// Accepts one waiting client of the listener made for `path`; invalid on
// failure (on Windows also when the client does not send the secret within
// a second).
Socket AcceptControlClient(const Socket& listener, const std::string& path);

// Connects to the control socket at `path`; invalid when nothing listens.
Socket ConnectControlSocket(const std::string& path);

// Removes the socket (or rendezvous) file (when the server ends).
void RemoveControlSocket(const std::string& path);

}  // namespace tarvex
