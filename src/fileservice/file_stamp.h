// GetFileStamp: the time stamp and size that listings and search results
// report for the file at directory + name.
//
// The stamp is the local time of the file's last write as the twelve
// characters "YYYYMMDDhhmm"; twelve "0" characters when that time cannot be
// converted to local time; twelve zero bytes when no file is found. The size
// is the low 32 bits of the file's size, 0 when no file is found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

struct FileStamp {
  std::string stamp;  // always 12 bytes
  std::uint32_t size = 0;
};

FileStamp GetFileStamp(std::string_view name, std::string_view directory);

}  // namespace tarvex
