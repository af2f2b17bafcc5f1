#include "fileservice/file_stamp.h"

#include <cstdio>

#include "common/join_texts.h"
#include "platform/file_info.h"
#include "protocol/layouts.h"

namespace tarvex {

FileStamp GetFileStamp(std::string_view name, std::string_view directory) {
  FileStamp result;
  result.stamp.assign(protocol::kStampLength, '\0');
  const std::optional<std::string> path = JoinTexts({directory, name});
  if (!path) return result;
  const FileInfo info = StatPath(*path);
  if (!info.found) return result;
  result.size = static_cast<std::uint32_t>(info.size);
  if (!info.modified) {
    result.stamp.assign(protocol::kStampLength, '0');
    return result;
  }
  const LocalDateTime& when = *info.modified;
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%.4d%.2d%.2d%.2d%.2d", when.year,
                                   when.month, when.day, when.hour, when.minute);
  if (length != static_cast<int>(protocol::kStampLength)) {
    // A year beyond four digits cannot be told in the field.
    result.stamp.assign(protocol::kStampLength, '0');
    return result;
  }
  result.stamp.assign(text, protocol::kStampLength);
  return result;
}

}  // namespace tarvex
