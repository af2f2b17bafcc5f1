#include "app/server_setup.h"

#include "common/join_texts.h"
#include "core/settings/server_settings.h"
#include "fileservice/file_service.h"

namespace tarvex {

std::vector<Server::ServiceFactory> DefaultServices() {
  return {[] { return std::make_unique<FileService>(); }};
}

std::optional<std::string> ResolveDataDirectory() {
  std::optional<std::string> data_dir = ServerSettings::GetDataDir();
  if (data_dir) return data_dir;
  if (!ServerSettings::SetDefaultDataDir()) return std::nullopt;
  return ServerSettings::GetDataDir();
}

std::unique_ptr<ServerSettings> OpenServerSettings() {
  std::optional<std::string> data_dir = ResolveDataDirectory();
  if (!data_dir) return nullptr;
  std::optional<std::string> path = JoinTexts({*data_dir, "TSConfig.txt"});
  if (!path) return nullptr;
  return std::make_unique<ServerSettings>(*path);
}

}  // namespace tarvex
