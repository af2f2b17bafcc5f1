// Sha256: an incremental SHA-256 digest, for tests that check every byte of a
// transfer on both ends without keeping the bytes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tarvex::testing {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::string_view bytes);
  // The 32-byte digest of everything given so far; starts over afterwards.
  std::string Finish();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// The digest of `bytes`.
std::string Sha256Of(std::string_view bytes);
// The digest of a file's content; none ("") when it cannot be read.
std::string Sha256OfFile(const std::string& path);

}  // namespace tarvex::testing
