#include <ostream>
#include <string>

#include "app/tarvexd_commands.h"
#include "common/join_texts.h"
#include "core/settings/configuration_checks.h"
#include "core/settings/server_settings.h"
#include "datafiles/device_config_file.h"
#include "platform/file_info.h"
#include "platform/network_addresses.h"

namespace tarvex {
namespace {

int Refuse(std::ostream& err, std::string_view message) {
  err << "tarvexd: " << message << '\n';
  return 2;
}

}  // namespace

int RunDeviceFile(const TarvexdOptions& options, std::ostream& out, std::ostream& err) {
  // The checks of the device-file dialog, in its order; nothing is written
  // until all of them pass.
  std::optional<std::string> ip;
  if (options.ip) {
    ip = ParseIpAddress(*options.ip);
  } else {
    const std::vector<std::string> addresses = NonLoopbackIpv4Addresses();
    if (addresses.size() == 1) {
      ip = addresses.front();
      out << "Using this computer's IP address " << *ip << '\n';
    } else if (addresses.size() > 1) {
      return Refuse(err, std::string(kNeedIpAddress) + " (this computer has " +
                             std::to_string(addresses.size()) + " addresses: give --ip)");
    }
  }
  if (!ip) return Refuse(err, kNeedIpAddress);
  if (!options.output || options.output->empty()) return Refuse(err, kNeedSaveFolder);
  const FileInfo folder = StatPath(*options.output);
  if (!folder.found || !folder.is_directory) {
    return Refuse(err, "the folder " + *options.output + " does not exist");
  }
  if (!IsWritable(*options.output)) {
    return Refuse(err, "the folder " + *options.output + " cannot be written");
  }

  const std::optional<std::string> data_dir = ServerSettings::GetDataDir();
  std::optional<std::string> settings_path;
  if (data_dir) settings_path = DataFilePath(*data_dir, kSettingsFileName);
  if (!settings_path) {
    return Refuse(err, "Tarvex Server is not configured yet: run tarvexd configure first");
  }
  const ServerSettings settings(*settings_path, ServerSettings::Access::kReadOnly);
  if (!settings.IsComplete()) {
    return Refuse(err, "Tarvex Server is not configured yet: run tarvexd configure first");
  }

  const std::string path = WithTrailingSeparator(*options.output) + std::string(kDeviceConfigFileName);
  // The listener takes the port unsigned, and so does the handheld.
  const std::string port = std::to_string(static_cast<std::uint16_t>(settings.GetPort()));
  std::string error;
  if (!CreateDeviceConfigFile(path, *ip, port, settings.GetLogin(), settings.GetStoredPassword(),
                              &error)) {
    err << "tarvexd: " << error << '\n';
    return 1;
  }
  out << path << '\n';
  return 0;
}

}  // namespace tarvex
