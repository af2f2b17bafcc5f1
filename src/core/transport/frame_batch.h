// FrameBatch: the items of one reply, each still a frame of its own with
// exactly the bytes SendBytes would send for it, collected and written with
// as few send calls as possible: a send whenever kFlushSize bytes have
// gathered, and one by Flush. In plain mode the items are collected as they
// are. Each item is copied once into the batch (or read straight into it by
// AddFrom) and enciphered there in place.
//
// After a failed send, later items are dropped and Flush returns the status
// of that send (the codes of SendBytes). Items still collected when the batch
// is destroyed are never sent. Used by one thread, like its connection.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/transport/connection.h"

namespace tarvex {

class FrameBatch {
 public:
  static constexpr std::size_t kFlushSize = 64 * 1024;
  // Fills up to n bytes at `out`; gives how many it wrote, 0 at the end of
  // its data, below 0 on failure.
  using Fill = std::function<long(char* out, std::size_t n)>;

  explicit FrameBatch(Connection* connection) : connection_(connection) {}
  FrameBatch(const FrameBatch&) = delete;
  FrameBatch& operator=(const FrameBatch&) = delete;

  void Add(std::string_view item);
  // Adds one item of at most n bytes (n up to kMaxFramePayload) that `fill`
  // writes straight into the frame. Gives the item's length; 0 (nothing
  // added) when `fill` gave 0, below 0 (nothing added) when it failed or a
  // send of the batch has failed.
  long AddFrom(std::size_t n, const Fill& fill);
  // Sends what is collected; 0 or the status of the first failed send.
  Status Flush();
  Status Failure() const { return status_; }

 private:
  long Append(std::size_t n, bool keep_empty, const Fill& fill);
  void FlushWhenFull();

  Connection* connection_;
  std::string buffer_;
  Status status_ = 0;
};

}  // namespace tarvex
