// One authenticated file-exchange session: the input is [flags][request
// stream]. The session runs in the fuzz world with its data and root
// directories there, on the fuzzer's thread over a fed socket. The world's
// tree is built once; after each input the harness undoes what the session
// wrote (WorldSnapshot), so that an input does the same thing in any process
// and after any other input.
//
// Flag bit 0 makes the session restricted (an access list naming the root
// and working directories); bit 1 turns the cipher on, the harness then
// framing the stream as a device would (bits 2-6 choose the frame size, bit
// 7 adds empty frames). The session's receive time-out is the shortest; the
// stream ends after the input, so no receive ever waits.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/settings/server_settings.h"
#include "datafiles/access_control_list.h"
#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "fed_socket.h"
#include "fileservice/file_session.h"
#include "core/settings/root_dir.h"
#include "fuzz_check.h"
#include "fuzz_entries.h"
#include "fuzz_world.h"
#include "jail_save_calls.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "session_harness.h"
#include "world_snapshot.h"

namespace tarvex::fuzz {
namespace {

// The world of the session target.
class SessionWorld {
 public:
  SessionWorld()
      : jail_(world_),
        access_(world_.DataDir() + "/" + std::string(kAccessFileName),
                world_.RootDir() + "\n" + world_.WorkDir() + "\n") {
    FuzzCheck(ServerSettings::SetDataDir(world_.DataDir() + "/"),
              "cannot store the data directory");
    FuzzCheck(WriteRootDir(world_.RootDir()), "cannot store the root directory");
    const std::string data = world_.DataDir() + "/";
    const std::string root = world_.RootDir() + "/";
    std::filesystem::create_directories(root + "ann");
    PutFile(root + "ann/notes.txt", "Meeting at nine.\r\n");
    PutFile(world_.WorkDir() + "/memo.txt", "memo");
    PutFile(data + std::string(kUsersFileName), "\"1\",\"ann\"\r\n\"2\",\"bob\"\r\n");
    PutFile(data + std::string(kFilesFileName), "\"1\",\"notes.txt\",\"" + root + "ann/\"\r\n");
    snapshot_.emplace(world_.Top());
  }

  // The access list as the input asks for it.
  void SetRestricted(bool restricted) {
    if (!restricted) {
      std::error_code ignored;
      std::filesystem::remove(access_.Path(), ignored);
    } else if (!access_.Intact()) {
      access_.Put();
    }
  }
  // Undoes what the last session wrote.
  void Restore() { snapshot_->Restore(jail_.TakeWritten()); }

  SaveCalls& Jail() { return jail_; }
  int NextSession() { return ++sessions_; }
  const FuzzWorld& Dirs() const { return world_; }

 private:
  FuzzWorld world_;
  JailSaveCalls jail_;
  KeptFile access_;
  std::optional<WorldSnapshot> snapshot_;  // of the tree as built, without the access list
  int sessions_ = 0;
};

SessionWorld& World() {
  static SessionWorld world;
  return world;
}

// The logs of the fuzzed sessions, kept for the whole run so that their
// writer threads start once, not once an input. Each keeps its newest
// record only: an input then frees as many records as it adds, where a
// growing log would read as a leak to libFuzzer after every input.
struct FuzzLogs {
  explicit FuzzLogs(const FuzzWorld& world)
      : service(world.Top() + "/" + std::string(kServiceLogFileName), 1),
        server(world.Top() + "/" + std::string(kServerLogFileName), 1) {}
  ServiceLog service;
  ServerLog server;
};

}  // namespace

void RunFuzzedSession(Socket socket, bool restricted, bool enciphered, ServiceLog& service_log,
                      ServerLog& server_log, const std::function<void()>& inspect) {
  SessionWorld& world = World();
  world.SetRestricted(restricted);
  {
    FileSession session(&service_log, /*receive_timeout=*/0, world.Jail());
    session.connection = MakeConnection(std::move(socket));
    if (enciphered) EnableCipher(session.connection.get(), kFuzzLinkKey);
    session.user = "fuzz";
    session.log = &server_log;
    session.session_number = world.NextSession();
    session.Prepare();
    FuzzCheck(session.IsRestricted() == restricted, "the access list was not applied");
    session.Run();
  }
  if (inspect) inspect();
  world.Restore();
}

const FuzzWorld& SessionWorldDirs() { return World().Dirs(); }

void FuzzSession(std::string_view input) {
  if (input.empty()) return;
  const auto flags = static_cast<unsigned char>(input[0]);
  const std::string_view stream = input.substr(1);
  const bool enciphered = (flags & 2) != 0;
  std::string wire(stream);
  if (enciphered) {
    const std::size_t selector = (flags >> 2) & 31;
    wire = Frame(stream, 1 + selector * selector * 32, (flags & 0x80) != 0);
  }
  FedSocket fed(std::move(wire));
  // Made after the world, so that they are gone before it is.
  static FuzzLogs logs(SessionWorldDirs());
  RunFuzzedSession(fed.TakeReader(), (flags & 1) != 0, enciphered, logs.service, logs.server);
}

}  // namespace tarvex::fuzz
