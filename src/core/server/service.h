// Service and Session: the bases of every service that devices open sessions
// on, and of the sessions themselves.
//
// The server registers services at initialisation and hands each its server
// log. For every device that logs in to a service, the server asks it for a
// new Session, fills in the link, the user, the server log and the session
// number, calls Prepare, enters the session in its activity registry and
// then calls Run, both on the device's own thread; the
// session is destroyed when Run returns. Sessions of several devices run at
// once, so CreateSession may be called from several threads at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/server/session_activity.h"
#include "core/transport/connection.h"

namespace tarvex {

class ActivityLog;
class ServerLog;

class Session {
 public:
  Session() = default;
  virtual ~Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The whole exchange with the device; the result ends the session thread.
  virtual Status Run() = 0;
  // Called once, on the session's thread, before Run.
  virtual Status Prepare() = 0;

  // Filled in by the server before Prepare.
  std::unique_ptr<Connection> connection;
  std::string user;  // the login name as received, at most 15 characters
  ServerLog* log = nullptr;
  std::int32_t session_number = 0;
  // Where the session reports what it is doing; set by the server before
  // Run (a session run without a server reports nothing).
  ActivityReporter activity;
};

class Service {
 public:
  Service() = default;
  virtual ~Service() = default;
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  virtual std::uint16_t GetServiceId() const = 0;
  virtual const std::string& GetServiceName() const = 0;
  virtual ActivityLog* GetServiceLog() = 0;
  // Opens the service's configuration; true when the user confirmed it.
  virtual bool Configure() = 0;
  // Asked before the server starts; the server does not start while false.
  virtual bool IsReady() = 0;
  // A new session, or none.
  virtual std::unique_ptr<Session> CreateSession() = 0;

  void SetServerLog(ServerLog* log) { server_log_ = log; }
  ServerLog* GetServerLog() const { return server_log_; }

 private:
  ServerLog* server_log_ = nullptr;
};

}  // namespace tarvex
