#include "fileservice/file_service.h"

#include "core/settings/server_settings.h"
#include "fileservice/file_session.h"
#include "core/settings/root_dir.h"

namespace tarvex {

FileService::FileService(FileServiceOptions options)
    : options_(std::move(options)), log_(options_.log_file, kServiceLogMaxRecords) {
  // Lines of a log carried over from the original platform are in the
  // handhelds' code page.
  log_.Open(ServerSettings::ReadStoredDeviceCharset());
}

FileService::~FileService() { log_.Save(); }

bool FileService::IsReady() {
  std::optional<std::string> root = ReadRootDir();
  if (root && !root->empty()) return true;
  return SetDefaultRootDir();
}

std::unique_ptr<Session> FileService::CreateSession() {
  auto session = std::make_unique<FileSession>(
      &log_, options_.receive_timeout,
      options_.save_calls != nullptr ? *options_.save_calls : SaveCalls::Default());
  if (received_) session->SetReceivedHandler(&received_);
  return session;
}

}  // namespace tarvex
