// The one way both programs write the device configuration database
// (kDeviceConfigFileName) from the server settings: the window's "Generate
// Device File" dialog and `tarvexd device-file`.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/atomic_file.h"

namespace tarvex {

class ServerSettings;

inline constexpr std::string_view kServerNotConfigured =
    "Tarvex Server is not configured yet. Please configure the server first.";
inline constexpr std::string_view kNeedIpAddress = "Must enter a valid IP Address";
inline constexpr std::string_view kNeedSaveFolder = "Must select a directory to save file to.";
inline constexpr std::string_view kDeviceFileCreated =
    "Device Configuration File successfully created.";
inline constexpr std::string_view kInstallDeviceFile =
    "You must now install configuration file to device.";

struct DeviceFileResult {
  enum class Outcome { kWritten, kRefused, kFailed };
  Outcome outcome;
  // The path written; the refusal's message; or why the write failed.
  std::string text;
};

// Refuses, in this order and writing nothing: settings that are missing or
// not complete (kServerNotConfigured), no address (kNeedIpAddress), no folder
// (kNeedSaveFolder), a folder that does not exist or cannot be written. Then
// writes the database into the folder with this computer's address, the
// port (unsigned, as the listener takes it), the login name and the stored
// password; a failed write leaves an earlier file of that name as it was.
DeviceFileResult WriteDeviceFile(const ServerSettings* settings, const std::optional<std::string>& ip,
                                 std::string_view folder, SaveCalls& calls = SaveCalls::Default());

}  // namespace tarvex
