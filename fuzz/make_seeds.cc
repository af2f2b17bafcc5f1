// fuzz_seeds <corpus folder>: writes the seed corpora of the fuzz targets
// from real exchanges. A device (the client library) talks to the session
// harness over a relay that records what the device sends; those request
// streams seed the session and frame targets, and the data files and logs
// the sessions leave behind seed the file targets.
#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "client/desktop_search.h"
#include "client/device_link.h"
#include "client/file_requests.h"
#include "core/settings/server_settings.h"
#include "datafiles/access_control_list.h"
#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "fed_socket.h"
#include "fuzz_check.h"
#include "fuzz_world.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "protocol/codes.h"
#include "searchengine/result_page.h"
#include "session_harness.h"

namespace tarvex::fuzz {
namespace {

constexpr int kTimeout = 50;

Socket SocketPair(Socket* other) {
  int fds[2];
  FuzzCheck(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0, "socketpair failed");
  *other = Socket(fds[1]);
  return Socket(fds[0]);
}

void SendAll(const Socket& socket, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t sent = send(static_cast<int>(socket.Descriptor()), data, n, MSG_NOSIGNAL);
    if (sent <= 0) return;
    data += sent;
    n -= static_cast<std::size_t>(sent);
  }
}

// Runs `exchange` as a device against one harness session; gives the bytes
// the device sent. `inspect` sees the world as the session left it.
std::string Record(bool restricted, const std::function<void(Connection*)>& exchange,
                   const std::function<void()>& inspect = {}) {
  // One pair of logs for every recorded session: their files seed the log target.
  const FuzzWorld& world = SessionWorldDirs();
  static ServiceLog service_log(world.Top() + "/" + std::string(kServiceLogFileName));
  static ServerLog server_log(world.Top() + "/" + std::string(kServerLogFileName));
  Socket relay_device;
  Socket device = SocketPair(&relay_device);
  Socket relay_session;
  Socket session = SocketPair(&relay_session);
  std::thread server([&session, restricted, &inspect] {
    RunFuzzedSession(std::move(session), restricted, false, service_log, server_log, inspect);
    service_log.Save();
    server_log.Save();
  });
  std::string recorded;
  std::thread relay([&] {
    bool from_device = true;
    bool from_session = true;
    char buffer[65536];
    while (from_device || from_session) {
      pollfd fds[2] = {{static_cast<int>(relay_device.Descriptor()), static_cast<short>(from_device ? POLLIN : 0), 0},
                       {static_cast<int>(relay_session.Descriptor()), static_cast<short>(from_session ? POLLIN : 0), 0}};
      if (poll(fds, 2, 10000) <= 0) break;
      if (fds[0].revents != 0) {
        const ssize_t got = recv(static_cast<int>(relay_device.Descriptor()), buffer, sizeof buffer, 0);
        if (got <= 0) {
          from_device = false;
          ShutdownSend(relay_session);
        } else {
          recorded.append(buffer, static_cast<std::size_t>(got));
          SendAll(relay_session, buffer, static_cast<std::size_t>(got));
        }
      }
      if (fds[1].revents != 0) {
        const ssize_t got = recv(static_cast<int>(relay_session.Descriptor()), buffer, sizeof buffer, 0);
        if (got <= 0) {
          from_session = false;
          ShutdownSend(relay_device);
        } else {
          SendAll(relay_device, buffer, static_cast<std::size_t>(got));
        }
      }
    }
  });
  {
    std::unique_ptr<Connection> link = MakeConnection(std::move(device));
    exchange(link.get());
    EndSession(link.get(), kTimeout);
    CloseConnection(link.get());
  }
  server.join();
  relay.join();
  return recorded;
}

// Paths relative to the harness's working directory, so that a seed does
// the same in every world.
constexpr char kAnnDirectory[] = "../root/ann/";

void Upload(Connection* link) {
  const std::string content = "Quarterly figures\r\n1,2,3\r\n";
  std::size_t at = 0;
  std::int32_t status = -1;
  RequestPutFile(link, {1, "report.txt", kAnnDirectory, static_cast<std::uint32_t>(content.size())},
                 [&](char* out, std::size_t n) {
                   const std::size_t k = std::min(n, content.size() - at);
                   content.copy(out, k, at);
                   at += k;
                   return static_cast<long>(k);
                 },
                 &status, kTimeout);
  FuzzCheck(status == 0, "the seed upload was not stored");
}

void Download(Connection* link) {
  GetFileReply reply;
  RequestGetFile(link, {1, protocol::get_file::kTrack, "notes.txt", kAnnDirectory}, &reply,
                 [](std::string_view) { return true; }, kTimeout);
  FuzzCheck(reply.status == 0, "the seed download was refused");
}

void Tracked(Connection* link) {
  std::vector<TrackedFile> files;
  RequestTrackedFiles(link, 1, &files, kTimeout);
}

void Users(Connection* link) {
  std::vector<DeviceUser> users;
  RequestUsers(link, &users, kTimeout);
  AddUserReply added;
  RequestAddUser(link, "carol", "new handheld", &added, kTimeout);
  std::optional<std::string> path;
  RequestUserDirectory(link, 3, &path, kTimeout);
}

void Listings(Connection* link) {
  std::vector<ListingEntry> entries;
  RequestListDirectory(link, "../root/", &entries, kTimeout);
  RequestListDirectory(link, kAnnDirectory, &entries, kTimeout);
  std::vector<std::string> drives;
  RequestListDrives(link, &drives, kTimeout);
}

void Info(Connection* link) {
  std::string tag;
  RequestServerInfo(link, &tag, kTimeout);
}

void Search(Connection* link) {
  SearchReply reply;
  RequestSearch(link, "budget", 10, 0, &reply, kTimeout);
}

void Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::filesystem::create_directories(folder);
  PutFile(folder + "/" + name, bytes);
  std::printf("%s/%s (%zu bytes)\n", folder.c_str(), name.c_str(), bytes.size());
}

std::string Byte(int value) { return std::string(1, static_cast<char>(value)); }

}  // namespace

int MakeSeeds(const std::string& corpus) {
  const FuzzWorld& world = SessionWorldDirs();
  const std::string session = corpus + "/session";
  const std::string upload = Record(false, Upload);
  const std::string download = Record(false, Download);
  Write(session, "upload", Byte(0) + upload);
  Write(session, "download", Byte(0) + download);
  Write(session, "tracked", Byte(0) + Record(false, Tracked));
  // The data files as the user requests left them.
  std::string users_file;
  Write(session, "users", Byte(0) + Record(false, Users, [&] {
          users_file = GetFile(world.DataDir() + "/" + std::string(kUsersFileName));
        }));
  Write(session, "listings", Byte(0) + Record(false, Listings));
  Write(session, "info", Byte(0) + Record(false, Info));
  Write(session, "search", Byte(0) + Record(false, Search));
  std::string files_file;
  const std::string all = Record(
      false,
      [](Connection* link) {
        Info(link);
        Users(link);
        Upload(link);
        Download(link);
        Tracked(link);
        Listings(link);
        Search(link);
      },
      [&] { files_file = GetFile(world.DataDir() + "/" + std::string(kFilesFileName)); });
  Write(session, "all", Byte(0) + all);
  Write(session, "all-restricted", Byte(1) + Record(true, [](Connection* link) {
          Listings(link);
          Download(link);
          Tracked(link);
        }));
  // Enciphered: frames of 1 + 4 * 4 * 32 bytes, and of 1 byte after empty ones.
  Write(session, "all-enciphered", Byte(2 | (4 << 2)) + all);
  Write(session, "upload-enciphered-small", Byte(2 | 0x80) + upload);

  // The frame layer: a login, then the request stream of a whole session.
  const std::string login = MakeLoginRequest(protocol::kFileServiceId, "fuzz", kFuzzLinkKey);
  const std::string ops = Byte(4) + Byte(0) + Byte(1) + Byte(2 + 5 * 3) + Byte(3 + 5 * 20) + Byte(0);
  const std::string frame = corpus + "/frame";
  const std::string program = Byte(static_cast<int>(ops.size()) - 1) + ops;
  Write(frame, "login-plain", Byte(0) + program + login + download);
  Write(frame, "login-framed", Byte(2 | (2 << 2)) + program + login + all);
  Write(frame, "login-framed-empty", Byte(3 | 0x80) + program + login + upload);
  const std::string wire = Frame(login + all, 700, false);
  Write(frame, "login-raw", Byte(1) + program + wire);

  // The data files.
  Write(corpus + "/users_file", "after-add", users_file);
  Write(corpus + "/users_file", "odd-lines",
        "\"1\",\"ann\"\r\n\"7\",\"x\"\"y\"\r\n9,plain\n\"12\",\"a,b\",\"extra\"\n\"3\",\"bob\"");
  Write(corpus + "/files_file", "after-download", files_file);
  Write(corpus + "/files_file", "odd-lines",
        "\"1\",\"a.txt\",\"/home/ann/\"\r\n\"2\",\"b \"\"q\"\" .pdb\",\"C:\\\\\"\n\"x\",\"y\",\"z\"\r\n");
  Write(corpus + "/access_file", "entries", "/home/ann/Documents\n/srv/share/\r\n/tmp/../var//log\n");
  Write(corpus + "/access_file", "with-blank", "/data\n\n./relative\n");
  {
    const std::string path = world.Scratch() + "/TSConfig.txt";
    {
      ServerSettings settings(path);
      settings.SetPort(9300);
      settings.SetLogin("admin");
      settings.SetPassword("secret");
    }
    Write(corpus + "/settings_file", "server", GetFile(path));
    Write(corpus + "/settings_file", "odd-lines", "PORT=40000\r\nLOGIN\nLOGIN=a=b\nPWD=\x01\x02\r\r\n=x\n");
  }
  Write(corpus + "/log_file", "service", Byte(0) + GetFile(world.Top() + "/QLXLog.txt"));
  Write(corpus + "/log_file", "server", Byte(1) + GetFile(world.Top() + "/TSServerLog.txt"));

  std::vector<EngineHit> hits = {
      {"file:///home/ann/Documents/minutes.txt", "text/plain", "Minutes", "minutes.txt", "",
       "1 : the budget for\n2 : next year"},
      {"https://example.org/budget", "text/html", "Budget & plans", "", "", "3 : <b>budget</b>"},
      {"file:///docs/mail/inbox", "message/rfc822", "Re: budget", "inbox", "12", ""},
  };
  Write(corpus + "/search_results", "page", RenderResultPage(3, hits));
  Write(corpus + "/search_results", "empty", RenderResultPage(0, {}));
  return 0;
}

}  // namespace tarvex::fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  return tarvex::fuzz::MakeSeeds(std::filesystem::absolute(argv[1]).string());
}
