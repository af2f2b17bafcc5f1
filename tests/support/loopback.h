// Real TCP links over 127.0.0.1 for tests: a server-side Connection accepted
// from a listener, and a device-side Connection connected to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/transport/connection.h"

namespace tarvex::testing {

struct LoopbackPair {
  std::unique_ptr<Connection> server;  // accepted, as the listener thread gets it
  std::unique_ptr<Connection> client;  // the device side
};

// Listens on 127.0.0.1 (ephemeral port), connects and accepts. With a
// password the server side is keyed as the server keys it (the shared link
// schedule) and the client side as a device keys it (a schedule of its own).
// Throws std::runtime_error on failure.
LoopbackPair MakeLoopbackPair(std::string_view password = {});

// The raw socket under a connection.
const Socket& RawSocket(const Connection& connection);

// Writes all bytes to the socket, unframed.
bool WriteRaw(const Socket& socket, std::string_view bytes);

// Reads raw bytes until n have come, the peer closes, or `seconds` pass
// without data; gives what came.
std::string ReadRaw(const Socket& socket, std::size_t n, int seconds = 5);

}  // namespace tarvex::testing
