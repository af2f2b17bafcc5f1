// CVLDException: the system's one exception type. The desktop search client
// throws it (code 1) for a search address it cannot use, and catches it
// itself; it never leaves RunQuery.
#pragma once

#include <cstdint>
#include <exception>

namespace tarvex {

class CVLDException : public std::exception {
 public:
  explicit CVLDException(std::uint32_t code) : code_(code) {}
  std::uint32_t Code() const { return code_; }
  const char* what() const noexcept override { return "CVLDException"; }

 private:
  std::uint32_t code_;
};

// The code thrown for a malformed or non-HTTP search address.
inline constexpr std::uint32_t kBadSearchAddressCode = 1;

}  // namespace tarvex
