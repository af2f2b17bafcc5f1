// The device configuration database, "QSSrvCfgDB.pdb": a Palm OS database
// that the handheld installs to learn the desktop's address, the port, the
// login name and the stored password. Four records, in this order, each a
// key and a value as zero-terminated texts: IP, PORT, LOGIN, PASS. PASS is
// the password's stored (enciphered) form exactly as the settings file keeps
// it; the clear password is never written.
#pragma once

#include <string>
#include <string_view>

#include "platform/atomic_file.h"

namespace tarvex {

inline constexpr std::string_view kDeviceConfigFileName = "QSSrvCfgDB.pdb";

// A record's key and value must fit a work buffer of this many bytes,
// both terminating zeros included.
inline constexpr std::size_t kDeviceRecordLimit = 1000;

// Writes the database at path (".pdb" is appended when the path holds none;
// the database name is the file name up to its first "."). True when the
// whole database stands at the path; otherwise false with a one-line reason
// in *error, and an earlier file of that name is left as it was. A key and
// value that do not fit kDeviceRecordLimit are refused, not cut.
bool CreateDeviceConfigFile(const std::string& path, std::string_view ip_text,
                            std::string_view port_text, std::string_view login,
                            std::string_view stored_password, std::string* error,
                            SaveCalls& calls = SaveCalls::Default());

}  // namespace tarvex
