// One authenticated file-exchange session: the input is [flags][request
// stream]. The session runs in the fuzz world with its data and root
// directories there, every data file reset to the same small contents before
// each input, so that an input does the same thing in any process.
//
// Flag bit 0 makes the session restricted (an access list naming the root
// and working directories); bit 1 turns the cipher on, the harness then
// framing the stream as a device would (bits 2-6 choose the frame size, bit
// 7 adds empty frames). The session's receive time-out is the shortest; the
// stream ends after the input, so no receive ever waits.
#include <filesystem>
#include <memory>
#include <string>

#include "core/cipher/blowfish.h"
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

namespace tarvex::fuzz {
namespace {

// The world of the session target.
class SessionWorld {
 public:
  SessionWorld() : jail_(world_) {
    FuzzCheck(ServerSettings::SetDataDir(world_.DataDir() + "/"), "cannot store the data directory");
    FuzzCheck(WriteRootDir(world_.RootDir()), "cannot store the root directory");
  }

  // The data files and directories as every input finds them.
  void Reset(bool restricted) {
    const std::string data = world_.DataDir() + "/";
    const std::string root = world_.RootDir() + "/";
    EmptyDirectory(world_.RootDir());
    EmptyDirectory(world_.WorkDir());
    EmptyDirectory(world_.Scratch());
    // Each input starts with empty logs: logs that grew over the run would
    // make every input load and save up to a thousand records.
    std::filesystem::remove(world_.Top() + "/" + std::string(kServiceLogFileName));
    std::filesystem::remove(world_.Top() + "/" + std::string(kServerLogFileName));
    std::filesystem::create_directories(root + "ann");
    PutFile(root + "ann/notes.txt", "Meeting at nine.\r\n");
    PutFile(world_.WorkDir() + "/memo.txt", "memo");
    PutFile(data + std::string(kUsersFileName), "\"1\",\"ann\"\r\n\"2\",\"bob\"\r\n");
    PutFile(data + std::string(kFilesFileName), "\"1\",\"notes.txt\",\"" + root + "ann/\"\r\n");
    const std::string access = data + std::string(kAccessFileName);
    if (restricted) {
      PutFile(access, world_.RootDir() + "\n" + world_.WorkDir() + "\n");
    } else {
      std::filesystem::remove(access);
    }
  }

  SaveCalls& Jail() { return jail_; }
  int NextSession() { return ++sessions_; }
  const FuzzWorld& Dirs() const { return world_; }

 private:
  FuzzWorld world_;
  JailSaveCalls jail_;
  int sessions_ = 0;
};

SessionWorld& World() {
  static SessionWorld world;
  return world;
}

}  // namespace

void RunFuzzedSession(Socket socket, bool restricted, bool enciphered) {
  SessionWorld& world = World();
  world.Reset(restricted);
  // Logs of this session alone, written to the world at its end: records
  // kept from one input to the next would read as leaks to libFuzzer, and
  // make every input pay for a full leak scan.
  ServiceLog service_log(world.Dirs().Top() + "/" + std::string(kServiceLogFileName));
  ServerLog server_log(world.Dirs().Top() + "/" + std::string(kServerLogFileName));
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

const FuzzWorld& SessionWorldDirs() { return World().Dirs(); }

void FuzzSession(std::string_view input) {
  if (input.empty()) return;
  const auto flags = static_cast<unsigned char>(input[0]);
  const std::string_view stream = input.substr(1);
  const bool enciphered = (flags & 2) != 0;
  std::string wire(stream);
  if (enciphered) {
    const std::size_t selector = (flags >> 2) & 31;
    wire = Frame(FuzzLinkSchedule(), stream, 1 + selector * selector * 32, (flags & 0x80) != 0);
  }
  FedSocket fed(std::move(wire));
  RunFuzzedSession(fed.TakeReader(), (flags & 1) != 0, enciphered);
}

}  // namespace tarvex::fuzz
