// Status codes of the three transport layers. Every operation returns a
// 16-bit status, 0 for success.
#pragma once

#include <cstdint>

namespace tarvex {

using Status = std::uint16_t;

// Socket layer.
namespace socket_status {
inline constexpr Status kOk = 0;
inline constexpr Status kOutOfMemory = 1;
inline constexpr Status kWaitFailed = 3;
inline constexpr Status kShortSend = 4;
inline constexpr Status kShortReceive = 6;
inline constexpr Status kAcceptFailed = 7;
inline constexpr Status kLibraryFailed = 10;
inline constexpr Status kNoHolder = 12;
inline constexpr Status kSocketFailed = 14;
inline constexpr Status kNoConnection = 15;
}  // namespace socket_status

// Message layer (connection operations).
namespace message_status {
inline constexpr Status kOk = 0;
inline constexpr Status kNoConnection = 2;
inline constexpr Status kOutOfMemory = 3;
inline constexpr Status kNoHolder = 5;
inline constexpr Status kSendFailed = 12;     // mapped short send
inline constexpr Status kReceiveFailed = 14;  // mapped short receive
}  // namespace message_status

// Results of AcceptConnection.
namespace accept_status {
inline constexpr Status kOk = 0;
inline constexpr Status kNoListener = 2;
inline constexpr Status kNothingCame = 5;
inline constexpr Status kWaitFailed = 6;
inline constexpr Status kNoConnectionObject = 7;
// A device waits, but descriptors or memory ran out; it stays queued.
inline constexpr Status kOutOfResources = 8;
}  // namespace accept_status

// Maps a socket-layer code to the message layer (enciphered mode).
Status MapSocketStatus(Status socket_code);

// Maps a socket-layer code to the listener level (Listen, CloseListener).
Status MapListenerStatus(Status socket_code);

}  // namespace tarvex
