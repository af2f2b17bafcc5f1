#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/tarvexd_commands.h"
#include "core/settings/configuration_checks.h"
#include "core/settings/device_file.h"
#include "core/settings/server_settings.h"
#include "platform/network_addresses.h"

namespace tarvex {

int RunDeviceFile(const TarvexdOptions& options, std::ostream& out, std::ostream& err) {
  // Without --ip, this computer's address when it has exactly one.
  std::optional<std::string> ip;
  std::string ip_hint;
  if (options.ip) {
    ip = ParseIpAddress(*options.ip);
  } else {
    const std::vector<std::string> addresses = NonLoopbackIpv4Addresses();
    if (addresses.size() == 1) ip = addresses.front();
    if (addresses.size() > 1) {
      ip_hint = " (this computer has " + std::to_string(addresses.size()) + " addresses: give --ip)";
    }
  }
  const std::unique_ptr<ServerSettings> settings = ServerSettings::Open(ServerSettings::Access::kReadOnly);
  const DeviceFileResult result = WriteDeviceFile(settings.get(), ip, options.output.value_or(""));
  switch (result.outcome) {
    case DeviceFileResult::Outcome::kRefused:
      err << "tarvexd: " << result.text << (result.text == kNeedIpAddress ? ip_hint : "") << '\n';
      return 2;
    case DeviceFileResult::Outcome::kFailed:
      err << "tarvexd: " << result.text << '\n';
      return 1;
    case DeviceFileResult::Outcome::kWritten:
      break;
  }
  if (!options.ip) out << "Using this computer's IP address " << *ip << '\n';
  out << result.text << '\n';
  return 0;
}

}  // namespace tarvex
