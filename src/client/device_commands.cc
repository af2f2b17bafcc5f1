#include "client/device_commands.h"

#include <cstdio>
#include <iostream>
#include <limits>
#include <optional>
#include <vector>

#include "client/desktop_search.h"
#include "client/file_requests.h"
#include "client/progress_bar.h"
#include "platform/atomic_file.h"
#include "platform/file_info.h"
#include "platform/file_reader.h"
#include "platform/path.h"
#include "platform/remove_on_signal.h"
#include "platform/terminal.h"
#include "protocol/codes.h"

namespace tarvex {

int Fail(const std::string& message, int status) {
  std::cerr << "tarvex-device: " << message << '\n';
  return status;
}

int LinkFailure(const char* what, Status status) {
  return Fail(std::string(what) + " failed: link error " + std::to_string(status));
}

namespace {

// A stamp as it can be printed: twelve zero bytes (no file) read as dashes.
std::string PrintableStamp(const std::string& stamp) {
  return stamp.find('\0') == std::string::npos ? stamp : std::string(stamp.size(), '-');
}

// Draws progress on a terminal and nothing elsewhere.
class Progress {
 public:
  void Update(std::uint64_t done, std::uint64_t total) {
    if (!StandardErrorIsTerminal()) return;
    if (!bar_) bar_.emplace(total, std::cerr);
    bar_->Update(done);
  }
  void Finish() {
    if (bar_) bar_->Finish();
  }

 private:
  std::optional<ProgressBar> bar_;
};

int Get(Connection* link, const Command& command) {
  GetFileRequest request;
  request.directory = ServerDirectory(command.operands[0]);
  request.name = command.operands[1];
  request.user_id = command.user_id;
  if (command.Has("--track")) request.track_flag = protocol::get_file::kTrack;
  const std::string target = command.Has("-o") ? command.options.at("-o") : Basename(request.name, "/\\");

  // The download goes to a temporary file that replaces the target only
  // once all of it has arrived.
  AtomicFile file(target);
  if (!file.IsOpen()) return Fail("cannot write " + target + ": " + SystemErrorText(file.Error()));
  // Interrupted (Ctrl-C, a stop, the terminal closed), it leaves no part.
  RemoveOnSignal interrupted(file.TemporaryPath());
  GetFileReply reply;
  std::uint64_t done = 0;
  Progress progress;
  const Status s = RequestGetFile(
      link, request, &reply,
      [&](std::string_view piece) {
        done += piece.size();
        progress.Update(done, reply.size);
        return file.Write(piece);
      },
      kDeviceTimeout);
  progress.Finish();
  if (s == kDeviceSideFailure) {
    CloseConnection(link);  // the rest of the content is still on its way
    return Fail("cannot write " + target + ": " + SystemErrorText(file.Error()));
  }
  if (s != 0) return LinkFailure("get", s);
  if (reply.status != protocol::get_file::kSending) {
    return Fail("get failed: the server cannot send " + request.directory + request.name + " (status " +
                std::to_string(reply.status) + ": " + DescribeGetFileStatus(reply.status) + ")");
  }
  if (!file.Commit()) return Fail("cannot write " + target + ": " + SystemErrorText(file.Error()));
  std::cout << target << " (" << reply.size << " bytes)\n";
  return 0;
}

int Put(Connection* link, const Command& command) {
  const std::string& source = command.operands[0];
  PutFileRequest request;
  request.directory = ServerDirectory(command.operands[1]);
  request.name = command.Has("--name") ? command.options.at("--name") : Basename(source, "/\\");
  request.user_id = command.user_id;
  FileReader file(source);
  if (!file.IsOpen()) {
    return Fail("cannot read " + source + ": " +
                (file.NotRegular() ? std::string("not a regular file") : SystemErrorText(file.Error())));
  }
  if (file.Size() > std::numeric_limits<std::uint32_t>::max()) {
    return Fail("cannot send " + source + ": files of 4 GiB or more do not fit the protocol");
  }
  request.size = static_cast<std::uint32_t>(file.Size());
  std::uint64_t done = 0;
  Progress progress;
  std::int32_t reply = 0;
  const Status s = RequestPutFile(
      link, request,
      [&](char* out, std::size_t n) {
        const long got = file.Read(out, n);
        if (got > 0) done += static_cast<std::uint64_t>(got);
        progress.Update(done, request.size);
        return got;
      },
      &reply, kDeviceTimeout);
  progress.Finish();
  if (s == kDeviceSideFailure) {
    CloseConnection(link);  // the server still waits for the rest of the content
    return Fail("cannot read " + source + ": it changed or failed while being sent");
  }
  if (s != 0) return LinkFailure("put", s);
  if (reply != 0) {
    return Fail("put failed: the server did not store " + request.directory + request.name + " (status " +
                std::to_string(reply) + ": " + DescribePutFileStatus(reply) + ")");
  }
  std::cout << request.directory << request.name << " (" << request.size << " bytes)\n";
  return 0;
}

// Why the desktop answered a search with a status other than 0.
std::string DescribeSearchStatus(protocol::SearchStatus status) {
  switch (status) {
    case protocol::SearchStatus::kNoSearchAddress: return "no desktop search engine is set up on the desktop";
    case protocol::SearchStatus::kBadSearchAddress: return "the desktop's search engine address is not an HTTP address";
    case protocol::SearchStatus::kSearchFailed: return "the desktop's search engine did not answer";
    default: return "unknown status";
  }
}

int Search(Connection* link, const Command& command) {
  const auto number = [&command](const char* option, std::uint32_t fallback) {
    return command.Has(option) ? static_cast<std::uint32_t>(std::stoul(command.options.at(option))) : fallback;
  };
  SearchReply reply;
  Status s =
      RequestSearch(link, command.operands[0], number("--count", 10), number("--start", 0), &reply, kDeviceTimeout);
  if (s != 0) return LinkFailure("search", s);
  if (reply.status != protocol::SearchStatus::kOk) {
    return Fail("search failed: " + DescribeSearchStatus(reply.status) + " (" +
                std::to_string(static_cast<std::uint32_t>(reply.status)) + ")");
  }
  std::cout << reply.total << '\n';
  for (const FoundItem& item : reply.items) {
    std::cout << CategoryName(item.category) << '\t' << PrintableStamp(item.stamp) << '\t' << item.size << '\t'
              << item.directory << item.name << '\t' << item.snippet << '\n';
  }
  return 0;
}

}  // namespace

int RunCommand(Connection* link, const Command& command) {
  const std::string& verb = command.verb;
  const std::vector<std::string>& operands = command.operands;
  if (verb == "get") return Get(link, command);
  if (verb == "put") return Put(link, command);
  if (verb == "search") return Search(link, command);
  if (verb == "info") {
    std::string tag;
    if (Status s = RequestServerInfo(link, &tag, kDeviceTimeout)) return LinkFailure("info", s);
    std::cout << tag << '\n';
  } else if (verb == "users") {
    std::vector<DeviceUser> users;
    if (Status s = RequestUsers(link, &users, kDeviceTimeout)) return LinkFailure("users", s);
    for (const DeviceUser& user : users) std::cout << user.id << ' ' << user.name << '\n';
  } else if (verb == "add-user") {
    AddUserReply reply;
    Status s = RequestAddUser(link, operands[0], operands.size() == 2 ? operands[1] : "", &reply, kDeviceTimeout);
    if (s != 0) return LinkFailure("add-user", s);
    if (reply.duplicate) return Fail("a user named \"" + operands[0] + "\" exists already");
    if (reply.id == 0) return Fail("the server did not add the user \"" + operands[0] + "\"");
    std::cout << reply.id << '\n';
  } else if (verb == "ls") {
    const std::string path = ServerDirectory(operands[0]);
    std::vector<ListingEntry> entries;
    if (Status s = RequestListDirectory(link, path, &entries, kDeviceTimeout)) return LinkFailure("ls", s);
    for (const ListingEntry& entry : entries) {
      char size[16];
      std::snprintf(size, sizeof size, "%10u", static_cast<unsigned>(entry.size));
      std::cout << (entry.is_directory ? 'd' : '-') << ' ' << PrintableStamp(entry.stamp) << ' ' << size << ' '
                << entry.name << '\n';
    }
  } else if (verb == "drives") {
    std::vector<std::string> drives;
    if (Status s = RequestListDrives(link, &drives, kDeviceTimeout)) return LinkFailure("drives", s);
    for (const std::string& drive : drives) std::cout << drive << '\n';
  } else if (verb == "tracked") {
    std::vector<TrackedFile> files;
    if (Status s = RequestTrackedFiles(link, command.user_id, &files, kDeviceTimeout)) return LinkFailure("tracked", s);
    for (const TrackedFile& f : files) {
      std::cout << PrintableStamp(f.stamp) << ' ' << f.size << ' ' << f.directory << f.name << '\n';
    }
  } else {
    std::optional<std::string> path;
    Status s = RequestUserDirectory(link, command.user_id, &path, kDeviceTimeout);
    if (s != 0) return LinkFailure("user-dir", s);
    if (!path) return Fail("the server has no directory for user " + operands[0]);
    std::cout << *path << '\n';
  }
  return 0;
}

}  // namespace tarvex
