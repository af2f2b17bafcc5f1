// ReceivedFile: what the file service tells its owner about a file that a
// device uploaded and that was stored whole, so that a desktop program can
// announce it.
#pragma once

#include <functional>
#include <string>

namespace tarvex {

struct ReceivedFile {
  std::string name;       // as the device named it
  std::string directory;  // where it was stored, ending in a separator
  std::string user;       // the device user, else the login name
};

// Called on the session's thread, after the device's file was stored and
// before the reply is sent: it must return at once (post, don't wait).
using ReceivedFileHandler = std::function<void(const ReceivedFile& file)>;

}  // namespace tarvex
