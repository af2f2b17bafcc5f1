// The record lists, QLXUsers.txt and QLXFiles.txt: the input is the file.
// It is loaded, walked and saved; the saved file loaded again must walk the
// same and save to the same bytes, and hold a line for every line the input
// held. A record made from the input's first bytes, when the list takes it,
// must come back from the file unchanged; its texts are made as the server
// makes every text it stores, read from the device's code page into UTF-8.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/big_endian.h"
#include "common/device_text.h"
#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "fuzz_check.h"
#include "fuzz_entries.h"
#include "fuzz_world.h"

namespace tarvex::fuzz {
namespace {

FuzzWorld& World() {
  static FuzzWorld world;
  return world;
}

// A text of the input as the server would store it.
std::string Stored(std::string_view bytes) { return DeviceText(kDefaultDeviceCharset).FromDevice(bytes); }

// The lines a file holds as the list reads them.
std::size_t CountLines(std::string_view file) {
  const auto feeds = static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n'));
  return feeds + (!file.empty() && file.back() != '\n' ? 1 : 0);
}

// Texts for a new record: pieces of the input, cut at zero bytes.
std::string Piece(std::string_view input, std::size_t from, std::size_t n) {
  if (from >= input.size()) return {};
  std::string_view piece = input.substr(from, n);
  return std::string(piece.substr(0, piece.find('\0')));
}

struct UserRow {
  std::uint32_t id;
  std::string name;
  bool operator==(const UserRow&) const = default;
};

std::vector<UserRow> WalkUsers(UserList& list) {
  std::vector<UserRow> rows;
  for (UserRecord* u = list.FindFirstUser(); u != nullptr; u = list.FindNextUser()) {
    rows.push_back({u->GetUserId(), u->GetUserName()});
  }
  FuzzCheck(static_cast<std::size_t>(list.CountMatching()) == std::min(rows.size(), kMaxRecords),
            "the user count differs from the walk");
  return rows;
}

struct FileRow {
  std::uint32_t user_id;
  std::string name;
  std::string directory;
  bool operator==(const FileRow&) const = default;
};

std::vector<FileRow> WalkFiles(FileList& list) {
  std::vector<FileRow> rows;
  for (FileRecord* f = list.FindFirstFile(); f != nullptr; f = list.FindNextFile()) {
    rows.push_back({f->GetUserId(), f->GetFileName(), f->GetDirectory()});
  }
  return rows;
}

}  // namespace

void FuzzUsersFile(std::string_view input) {
  const std::string dir = World().Scratch() + "/";
  const std::string path = dir + std::string(kUsersFileName);
  PutFile(path, std::string(input));

  UserList first(dir);
  FuzzCheck(first.Load(), "the users file does not load");
  std::vector<UserRow> rows = WalkUsers(first);
  const std::uint32_t next_id = first.NextUserId();
  for (const UserRow& row : rows) FuzzCheck(next_id == 0 || row.id < next_id, "a new id repeats one");
  const UserRow added{next_id, Stored(Piece(input, 0, 60))};
  if (next_id != 0 && first.Add(std::make_unique<UserRecord>(added.id, added.name))) rows.push_back(added);
  FuzzCheck(first.Save(), "the users file cannot be saved");
  const std::string saved = GetFile(path);
  FuzzCheck(CountLines(saved) >= CountLines(input), "the users file lost a line");

  UserList second(dir);
  FuzzCheck(second.Load(), "the saved users file does not load");
  FuzzCheck(WalkUsers(second) == rows, "the users differ after a save");
  FuzzCheck(second.Save() && GetFile(path) == saved, "a second save of the users file differs");
}

void FuzzFilesFile(std::string_view input) {
  const std::string dir = World().Scratch() + "/";
  const std::string path = dir + std::string(kFilesFileName);
  PutFile(path, std::string(input));

  FileList first(dir);
  FuzzCheck(first.Load(), "the files list does not load");
  std::vector<FileRow> rows = WalkFiles(first);
  const std::uint32_t user = input.size() >= 4 ? GetU32(input.data()) % 4 : 1;
  const FileRow added{user, Stored(Piece(input, 4, 40)), Stored(Piece(input, 44, 80))};
  if (first.Add(std::make_unique<FileRecord>(added.user_id, added.name, added.directory))) {
    rows.push_back(added);
  }
  // FindFile gives the first record of the user with that name.
  for (const FileRow& row : rows) {
    const FileRecord* found = first.FindFile(row.user_id, row.name);
    FuzzCheck(found != nullptr && found->GetUserId() == row.user_id, "a tracked file is not found");
  }
  first.SetUserFilter(user);
  const auto own = static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(),
                                                          [&](const FileRow& r) { return r.user_id == user; }));
  FuzzCheck(static_cast<std::size_t>(first.CountMatching()) == std::min(own, kMaxRecords),
            "the filtered count differs");
  FuzzCheck(first.Save(), "the files list cannot be saved");
  const std::string saved = GetFile(path);
  FuzzCheck(CountLines(saved) >= CountLines(input), "the files list lost a line");

  FileList second(dir);
  FuzzCheck(second.Load(), "the saved files list does not load");
  FuzzCheck(WalkFiles(second) == rows, "the tracked files differ after a save");
  FuzzCheck(second.Save() && GetFile(path) == saved, "a second save of the files list differs");
}

}  // namespace tarvex::fuzz
