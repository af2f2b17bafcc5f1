// FileService: the file-exchange service (id 3, "Quillet Exchange") that
// devices open sessions on. It owns the service log ("QLXLog.txt", 1000
// records, opened at construction, saved at destruction and whenever a
// session ends) and answers readiness by the ROOTDIR setting: ready when it
// is set and not empty, otherwise when the default could be written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/server/service.h"
#include "fileservice/received_file.h"
#include "log/service_log.h"
#include "platform/atomic_file.h"
#include "protocol/codes.h"

namespace tarvex {

inline constexpr char kFileServiceName[] = "Quillet Exchange";

struct FileServiceOptions {
  // Time-out of every receive of a session, in tenths of a second; also how
  // long a send waits for a device that takes no byte.
  int receive_timeout = 300;
  std::string log_file = std::string(kServiceLogFileName);
  // The system calls under every upload; none for the real ones.
  SaveCalls* save_calls = nullptr;
};

class FileService : public Service {
 public:
  explicit FileService(FileServiceOptions options = {});
  ~FileService() override;

  std::uint16_t GetServiceId() const override { return protocol::kFileServiceId; }
  const std::string& GetServiceName() const override { return name_; }
  ActivityLog* GetServiceLog() override { return &log_; }
  // Runs the configuration handler the desktop program installs; false
  // without one.
  bool Configure() override { return configure_ ? configure_() : false; }
  bool IsReady() override;
  std::unique_ptr<Session> CreateSession() override;

  void SetConfigureHandler(std::function<bool()> handler) { configure_ = std::move(handler); }
  // Told of every upload stored whole. Set it before the server starts: the
  // sessions read it without a lock.
  void SetReceivedHandler(ReceivedFileHandler handler) { received_ = std::move(handler); }

 private:
  FileServiceOptions options_;
  ServiceLog log_;
  const std::string name_ = kFileServiceName;
  std::function<bool()> configure_;
  ReceivedFileHandler received_;
};

}  // namespace tarvex
