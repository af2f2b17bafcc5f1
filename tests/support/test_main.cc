// The main of every test program: the socket library stays started for the
// whole run, as the programs themselves keep it, so that tests may use
// sockets outside a server or connection.
#include <gmock/gmock.h>

#include "platform/socket.h"

int main(int argc, char** argv) {
  const tarvex::SocketLibrary sockets;
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
