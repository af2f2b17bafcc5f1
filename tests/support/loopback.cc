#include "support/loopback.h"

#include <stdexcept>

#include "client/device_link.h"
#include "core/transport/listener.h"

namespace tarvex::testing {

LoopbackPair MakeLoopbackPair(std::string_view password) {
  auto listener = CreateListener();
  if (Listen(listener.get(), 0, 4, "127.0.0.1") != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  LoopbackPair pair;
  pair.client = ConnectToServer("127.0.0.1", ListeningPort(listener.get()));
  if (!pair.client) throw std::runtime_error("cannot connect to 127.0.0.1");
  KeyDeviceLink(pair.client.get(), password);
  Status code = 0;
  pair.server = AcceptConnection(listener.get(), 50, &code);
  if (code != 0 || !pair.server || !pair.server->Holder()->socket.IsValid()) {
    throw std::runtime_error("no connection accepted");
  }
  if (!password.empty()) EnableCipher(pair.server.get(), password);
  CloseListener(listener.get());
  return pair;
}

const Socket& RawSocket(const Connection& connection) { return connection.Holder()->socket; }

bool WriteRaw(const Socket& socket, std::string_view bytes) {
  while (!bytes.empty()) {
    long sent = SendSome(socket, bytes.data(), bytes.size());
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::string ReadRaw(const Socket& socket, std::size_t n, int seconds) {
  std::string got(n, '\0');
  std::size_t have = 0;
  while (have < n && WaitReadable(socket, seconds) == WaitResult::kReady) {
    long read = ReceiveSome(socket, got.data() + have, n - have);
    if (read <= 0) break;
    have += static_cast<std::size_t>(read);
  }
  got.resize(have);
  return got;
}

}  // namespace tarvex::testing
