// Directory and drive listings, ListDirectory (108) and ListDrives (109).
#include "fileservice/listing.h"

#include <algorithm>

#include "common/ascii.h"
#include "common/big_endian.h"
#include "fileservice/file_session.h"
#include "fileservice/file_stamp.h"
#include "platform/directory.h"
#include "platform/mounts.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

namespace layout = protocol::listing;

constexpr char kParent[] = "..";

// The listing header [u16 14][u32 0][value as received][u32 count].
std::string ListingHeader(const std::string& block, std::uint32_t count) {
  std::string header;
  AppendU16(header, layout::kHeaderLength);
  AppendU32(header, 0);
  header.append(block, layout::kValue, 4);
  AppendU32(header, count);
  return header;
}

bool IsParent(const DirEntry& entry) { return entry.is_directory && entry.name == kParent; }

}  // namespace

bool StandsBefore(const DirEntry& a, const DirEntry& b) {
  // ".." leads, whatever names sort below it.
  if (IsParent(a) != IsParent(b)) return IsParent(a);
  if (a.is_directory != b.is_directory) return a.is_directory;
  return CompareIgnoreCaseAscii(a.name, b.name) < 0;
}

void InsertSorted(std::vector<DirEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(), StandsBefore);
}

std::vector<DirEntry> ListDirectoryEntries(const std::string& path, const AccessControlList& access) {
  const bool allowed = access.IsPathAllowed(path);
  std::vector<DirEntry> entries = {{kParent, true}};
  std::vector<DirectoryItem> items;
  ReadDirectory(path, &items);
  entries.reserve(items.size() + 1);
  for (DirectoryItem& item : items) {
    if (item.name.front() == '.') continue;
    // Outside the allowed paths only the directories that lead into them
    // show, tested as directory paths (with their separator).
    if (!allowed && (!item.is_directory || !access.IsPathAllowed(path + item.name + "/"))) continue;
    entries.push_back({std::move(item.name), item.is_directory});
  }
  InsertSorted(entries);
  return entries;
}

std::vector<DirEntry> ListDriveRoots(const AccessControlList& access) {
  std::vector<DirEntry> drives;
  for (DriveRoot& drive : DriveRoots()) {
    if (access.IsDriveAllowed(drive.letter)) drives.push_back({std::move(drive.root), true});
  }
  return drives;
}

Status FileSession::ListDirectory() {
  std::string block;
  if (Status s = ReceiveBlock(connection.get(), &block, receive_timeout_)) return s;
  if (block.size() < layout::kDirectoryBlockLength) return 1;
  const std::string_view field(block.data() + layout::kPath, layout::kPathWidth);
  const std::size_t end = field.find('\0');
  if (end == std::string_view::npos) return 1;
  if (!data_dir_) return 1;
  const std::string path = LocateIncoming(field.substr(0, end), "").directory;

  const std::vector<DirEntry> entries = ListDirectoryEntries(path, access_);
  FrameBatch reply(connection.get());
  reply.Add(ListingHeader(block, static_cast<std::uint32_t>(entries.size())));
  const std::string device_path = ToDevice(path, UINT16_MAX);
  const std::string path_length = BigEndian16(static_cast<std::uint16_t>(device_path.size()));
  for (const DirEntry& entry : entries) {
    if (reply.Failure() != 0) break;
    const FileStamp stamp = GetFileStamp(entry.name, path);
    const std::string name = ToDevice(entry.name, UINT16_MAX);
    reply.Add(BigEndian16(entry.is_directory ? 1 : 0));
    reply.Add(stamp.stamp);
    reply.Add(BigEndian32(stamp.size));
    reply.Add(BigEndian16(static_cast<std::uint16_t>(name.size())));
    if (!name.empty()) reply.Add(name);
    reply.Add(path_length);
    if (!device_path.empty()) reply.Add(device_path);
  }
  return reply.Flush();
}

Status FileSession::ListDrives() {
  std::string block;
  if (Status s = ReceiveBlock(connection.get(), &block, receive_timeout_)) return s;
  if (block.size() < layout::kDrivesBlockLength) return 1;
  if (!data_dir_) return 1;

  const std::vector<DirEntry> drives = ListDriveRoots(access_);
  FrameBatch reply(connection.get());
  reply.Add(ListingHeader(block, static_cast<std::uint32_t>(drives.size())));
  for (const DirEntry& drive : drives) {
    const std::string name = ToDevice(drive.name, UINT16_MAX);
    reply.Add(BigEndian16(0));
    reply.Add(BigEndian16(static_cast<std::uint16_t>(name.size())));
    reply.Add(name);
  }
  return reply.Flush();
}

}  // namespace tarvex
