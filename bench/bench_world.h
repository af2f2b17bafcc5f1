// BenchWorld: a private world for a benchmark of the file service end to end:
// the real server in this process on a loopback port, a logged-in device,
// and a folder for the benchmark's files.
//
// The files live on /dev/shm when it exists, so that the figures are those of
// the protocol rather than of the disk (an upload is fsync'ed before it
// replaces its target).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/server/server.h"
#include "core/transport/connection.h"
#include "support/temp_dir.h"

namespace tarvex {

// Receive time-out of the benchmarks' devices, in tenths.
inline constexpr int kBenchTimeout = 100;

class BenchWorld {
 public:
  BenchWorld();
  ~BenchWorld();
  BenchWorld(const BenchWorld&) = delete;
  BenchWorld& operator=(const BenchWorld&) = delete;

  // The first device's link; none when the world could not be made.
  Connection* Link() const { return link_.get(); }
  // Another logged-in device; none when the login failed.
  std::unique_ptr<Connection> Connect() const;
  // Where the benchmark's files go, ending in "/".
  const std::string& FilesDir() const { return files_dir_; }

 private:
  testing::TempDir root_;
  std::unique_ptr<testing::TempDir> shm_;
  std::string files_dir_;
  std::uint16_t port_ = 0;
  std::unique_ptr<Server> server_;
  std::unique_ptr<Connection> link_;
};

// Bytes that do not repeat within a cipher block.
std::string Pattern(std::size_t n);

// Writes `size` bytes of Pattern into path, through the one save facility;
// false when it could not.
bool WritePatternFile(const std::string& path, std::size_t size);

}  // namespace tarvex
