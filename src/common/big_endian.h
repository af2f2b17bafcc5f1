// Big-endian (network order) packing of the 16- and 32-bit numbers that the
// wire formats and stored formats use. All functions work on raw bytes, so
// they never depend on the host's byte order or alignment.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex {

inline void PutU16(char* out, std::uint16_t value) {
  out[0] = static_cast<char>(value >> 8);
  out[1] = static_cast<char>(value);
}

inline void PutU32(char* out, std::uint32_t value) {
  out[0] = static_cast<char>(value >> 24);
  out[1] = static_cast<char>(value >> 16);
  out[2] = static_cast<char>(value >> 8);
  out[3] = static_cast<char>(value);
}

inline std::uint16_t GetU16(const char* in) {
  const auto* b = reinterpret_cast<const unsigned char*>(in);
  return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

inline std::uint32_t GetU32(const char* in) {
  const auto* b = reinterpret_cast<const unsigned char*>(in);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
         (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
}

inline void AppendU16(std::string& out, std::uint16_t value) {
  char bytes[2];
  PutU16(bytes, value);
  out.append(bytes, 2);
}

inline void AppendU32(std::string& out, std::uint32_t value) {
  char bytes[4];
  PutU32(bytes, value);
  out.append(bytes, 4);
}

// The bytes of one number, as a reply item of its own.
inline std::string BigEndian16(std::uint16_t value) {
  std::string out;
  AppendU16(out, value);
  return out;
}

inline std::string BigEndian32(std::uint32_t value) {
  std::string out;
  AppendU32(out, value);
  return out;
}

}  // namespace tarvex
