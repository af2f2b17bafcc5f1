#include "datafiles/access_control_list.h"

#include "common/ascii.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/path_case.h"
#include "platform/text_line_reader.h"

namespace tarvex {
namespace {

// The entry count is a signed 16-bit number.
constexpr std::size_t kMaxEntries = 32767;

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

std::string AccessControlList::Folded(std::string path) {
  return PathsIgnoreCase() ? ToUpperAscii(path) : path;
}

bool AccessControlList::LoadAccessList(std::string_view directory, std::string_view legacy_charset) {
  path_ = DataFilePath(directory, kAccessFileName).value_or(std::string());
  TextLineReader reader(path_);
  if (!reader.IsOpen()) {
    // Only a missing file means no restriction; one that is there but cannot
    // be read restricts the session to nothing.
    enabled_ = !reader.Missing();
    load_error_ = enabled_ ? reader.Error() : 0;
    entries_.clear();
    only_blank_lines_ = false;
    return enabled_;
  }
  std::vector<std::string> read;
  std::size_t blank_lines = 0;
  std::string line;
  StoredLineDecoder decode(legacy_charset);
  // The reader has dropped the CR of a CR LF end already; any other CR is
  // part of its entry.
  while (entries_.size() + read.size() < kMaxEntries && reader.ReadLine(&line)) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line = decode(line);
    if (IsBlank(line)) {
      ++blank_lines;
      continue;
    }
    // An entry that cannot be normalised is kept as written; it then matches
    // next to nothing, which is the safe side.
    std::string normalised = NormalisePath(line);
    read.push_back(Folded(normalised.empty() ? line : normalised));
  }
  load_error_ = reader.Error();
  if (load_error_ != 0) {
    enabled_ = true;
    entries_.clear();
    only_blank_lines_ = false;
    return enabled_;
  }
  for (std::string& entry : read) entries_.push_back(std::move(entry));
  only_blank_lines_ = entries_.empty() && blank_lines > 0 && !reader.HitLimit();
  enabled_ = !entries_.empty() || blank_lines > 0 || reader.HitLimit();
  return enabled_;
}

bool AccessControlList::IsPathAllowed(std::string_view path) const {
  if (!enabled_ || only_blank_lines_) return true;
  // An empty path, and one that cannot be normalised, stays empty and is
  // refused: no entry is empty.
  const std::string candidate = Folded(path.empty() ? std::string() : NormalisePath(path));
  if (candidate.empty()) return false;
  for (const std::string& entry : entries_) {
    if (candidate.starts_with(entry)) return true;
  }
  return false;
}

bool AccessControlList::IsDriveAllowed(std::string_view drive_letter) const {
  return !enabled_ || EqualsIgnoreCaseAscii(drive_letter, "C");
}

}  // namespace tarvex
