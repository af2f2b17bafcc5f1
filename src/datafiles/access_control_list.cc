#include "datafiles/access_control_list.h"

#include "common/ascii.h"
#include "common/join_texts.h"
#include "datafiles/text_line_reader.h"
#include "platform/files.h"

namespace tarvex {
namespace {

// The entry count is a signed 16-bit number.
constexpr std::size_t kMaxEntries = 32767;

}  // namespace

bool AccessControlList::LoadAccessList(std::string_view directory, std::string_view legacy_charset) {
  path_ = JoinTexts({directory, kAccessFileName}).value_or(std::string());
  TextLineReader reader(path_);
  if (!reader.IsOpen()) {
    enabled_ = false;
    return enabled_;
  }
  std::string line;
  StoredLineDecoder decode(legacy_charset);
  // The reader has dropped the CR of a CR LF end already; any other CR is
  // part of its entry.
  while (entries_.size() < kMaxEntries && reader.ReadLine(&line)) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line = decode(line);
    // An entry that cannot be normalised is kept as written; it then matches
    // next to nothing, which is the safe side.
    std::string normalised = line.empty() ? std::string() : NormalisePath(line);
    entries_.push_back(ToUpperAscii(normalised.empty() ? line : normalised));
  }
  enabled_ = !entries_.empty() || reader.HitLimit();
  return enabled_;
}

bool AccessControlList::IsPathAllowed(std::string_view path) const {
  if (!enabled_) return true;
  // An empty path, and one that cannot be normalised, stays empty: only the
  // empty entry allows it.
  const std::string candidate = ToUpperAscii(path.empty() ? std::string() : NormalisePath(path));
  for (const std::string& entry : entries_) {
    if (candidate.starts_with(entry)) return true;
  }
  return false;
}

bool AccessControlList::IsDriveAllowed(std::string_view drive_letter) const {
  return !enabled_ || EqualsIgnoreCaseAscii(drive_letter, "C");
}

}  // namespace tarvex
