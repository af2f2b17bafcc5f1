// A private world for a server run inside a test or benchmark process: the
// per-user store, the application folder, the runtime and home directories
// all under one temporary directory, DATADIR pointing into it, and a free
// loopback port. Changes this process's environment and working directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace tarvex::testing {

// A port from 20000 to 32767 on 127.0.0.1 that was free a moment ago; 0
// when none was found.
std::uint16_t FindFreePort();

// Points XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and HOME into
// `root`, enters the application folder there and stores `root`/data/ as
// DATADIR. The data directory (ending in "/"), or none on failure.
std::optional<std::string> EnterServerWorld(const TempDir& root);

// Writes TSConfig.txt in the data directory; false when the password
// cannot be stored.
bool WriteServerSettings(const std::string& data_dir, std::uint16_t port, const std::string& login,
                         const std::string& password);

}  // namespace tarvex::testing
