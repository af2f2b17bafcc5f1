// FedSocket: one end of a local socket pair whose peer has sent the given
// bytes and then shut its sending side, so that a reader gets exactly those
// bytes and then the end of the stream, never a wait. What the reader's side
// sends back is discarded. Bytes beyond what the socket buffers at once are
// written by a helper thread, joined (after the reader's end is closed) on
// destruction.
//
// Frame builds the stream, enciphered with kFuzzLinkKey, whose deciphered
// bytes are the given ones: frames of `chunk` plain bytes (the last one
// shorter), with an empty frame before each when `empty_frames` is set. One
// thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <thread>

#include "platform/socket.h"

namespace tarvex::fuzz {

// The key of the enciphered links of the fuzz targets.
inline constexpr char kFuzzLinkKey[] = "fuzzpass";

class FedSocket {
 public:
  explicit FedSocket(std::string bytes);
  ~FedSocket();
  FedSocket(const FedSocket&) = delete;
  FedSocket& operator=(const FedSocket&) = delete;

  // The reading end, handed over once (to a Connection).
  Socket TakeReader() { return std::move(reader_); }

 private:
  Socket reader_;
  Socket peer_;
  std::string bytes_;
  std::thread writer_;
};

std::string Frame(std::string_view plain, std::size_t chunk, bool empty_frames);

}  // namespace tarvex::fuzz
