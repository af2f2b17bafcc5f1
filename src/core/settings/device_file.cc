#include "core/settings/device_file.h"

#include <utility>

#include "core/settings/server_settings.h"
#include "datafiles/device_config_file.h"
#include "platform/file_info.h"
#include "platform/path.h"

namespace tarvex {

DeviceFileResult WriteDeviceFile(const ServerSettings* settings, const std::optional<std::string>& ip,
                                 std::string_view folder, SaveCalls& calls) {
  using Outcome = DeviceFileResult::Outcome;
  const auto refuse = [](std::string message) { return DeviceFileResult{Outcome::kRefused, std::move(message)}; };
  if (settings == nullptr || !settings->IsComplete()) return refuse(std::string(kServerNotConfigured));
  if (!ip) return refuse(std::string(kNeedIpAddress));
  if (folder.empty()) return refuse(std::string(kNeedSaveFolder));
  const std::string directory(folder);
  if (!StatPath(directory).is_directory) return refuse("the folder " + directory + " does not exist");
  if (!IsWritable(directory)) return refuse("the folder " + directory + " cannot be written");

  std::string path = WithTrailingSeparator(directory) + std::string(kDeviceConfigFileName);
  const std::string port = std::to_string(static_cast<std::uint16_t>(settings->GetPort()));
  std::string error;
  if (!CreateDeviceConfigFile(path, *ip, port, settings->GetLogin(), settings->GetStoredPassword(), &error,
                              calls)) {
    return {Outcome::kFailed, std::move(error)};
  }
  return {Outcome::kWritten, std::move(path)};
}

}  // namespace tarvex
