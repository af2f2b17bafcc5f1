#include "app/server_setup.h"

#include "core/settings/server_settings.h"
#include "datafiles/file_list.h"
#include "datafiles/user_list.h"
#include "fileservice/file_service.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/app_folder.h"
#include "platform/atomic_file.h"

namespace tarvex {

std::vector<Server::ServiceFactory> DefaultServices() {
  return {[] { return std::make_unique<FileService>(); }};
}

void RemoveStaleSaveFilesAtStartup() {
  // Earlier versions left ".<name>.XXXXXX" behind as well.
  const auto legacy = {kUsersFileName, kFilesFileName, kSettingsFileName, kServerLogFileName,
                       kServiceLogFileName};
  RemoveStaleSaveFiles(CurrentDirectory(), legacy);
  // Taken as stored, with its separator: "C:" without it would be the
  // current folder of drive C, not its root.
  if (std::optional<std::string> data_dir = ServerSettings::GetDataDir()) RemoveStaleSaveFiles(*data_dir, legacy);
}

}  // namespace tarvex
