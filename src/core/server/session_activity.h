// SPDX-License-Identifier: GPL-3.0-or-later
// SessionActivity: what each running session is doing, for a person to see
// (`tarvexd status`, the window's transfers view). The server enters a session
// when its login succeeds and ends it when its thread finishes; the session
// reports through its ActivityReporter what it is doing (receiving or sending
// a file, listing, searching, idle) and how many bytes of a transfer are done.
//
// Safe for concurrent use. A session thread never waits long on it: progress
// is one atomic store, other reports hold a mutex for a few copies, and
// readers copy under the same mutex without calling out. An ended session is
// kept (with its end time) for `keep_ended`, so a finished transfer stays
// visible for a moment, then dropped.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

enum class SessionDoing { kIdle, kReceiving, kSending, kListing, kSearching };

// "idle", "receiving NAME", "sending NAME", "listing", "searching".
std::string DescribeDoing(SessionDoing doing, const std::string& name);

// One session as a reader sees it.
struct SessionInfo {
  std::int32_t session_id = 0;
  std::string user;     // the device user once known, else the login name
  std::string address;  // the device's IPv4 address, "" when unknown
  SessionDoing doing = SessionDoing::kIdle;
  // The current transfer, or the last one while idle (name empty when the
  // session has made none).
  std::string name;
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  double rate = 0;  // bytes a second over the transfer so far
  // When the last transfer ended; none while one runs or before the first.
  std::optional<std::chrono::system_clock::time_point> transfer_ended;
  // When the session ended; none while it runs.
  std::optional<std::chrono::system_clock::time_point> ended;
};

class SessionActivity;

// A session's handle on the registry; used by the session's thread only. A
// default-made reporter reports nothing (a session that runs without a
// server).
class ActivityReporter {
 public:
  ActivityReporter() = default;

  // The device user the session's requests name.
  void SetUser(const std::string& user);
  // A new activity; a transfer gives the file name and its size in bytes.
  void Begin(SessionDoing doing, const std::string& name = "", std::uint64_t total = 0);
  // Bytes of the transfer done so far.
  void Progress(std::uint64_t done);
  // The activity ended; the session is idle.
  void Finish();

 private:
  friend class SessionActivity;
  struct Slot;
  ActivityReporter(SessionActivity* registry, Slot* slot) : registry_(registry), slot_(slot) {}
  SessionActivity* registry_ = nullptr;
  Slot* slot_ = nullptr;
};

class SessionActivity {
 public:
  explicit SessionActivity(std::chrono::milliseconds keep_ended = std::chrono::seconds(5));
  ~SessionActivity();
  SessionActivity(const SessionActivity&) = delete;
  SessionActivity& operator=(const SessionActivity&) = delete;

  // Enters a running session; the reporter is valid until End(session_id).
  ActivityReporter Begin(std::int32_t session_id, const std::string& user, const std::string& address);
  // The session ended; it is kept for keep_ended, then dropped.
  void End(std::int32_t session_id);

  // Every session known, running ones and those ended within keep_ended, in
  // the order of their ids.
  std::vector<SessionInfo> Snapshot() const;
  // Sessions running now.
  std::size_t RunningCount() const;
  // Grows with every report (progress included): a reader that polls can
  // skip a refresh when it has not changed.
  std::uint64_t Changes() const { return changes_.load(std::memory_order_relaxed); }

 private:
  friend class ActivityReporter;
  using ReporterSlot = ActivityReporter::Slot;

  void Touch() { changes_.fetch_add(1, std::memory_order_relaxed); }
  void DropExpired(std::chrono::steady_clock::time_point now);

  const std::chrono::milliseconds keep_ended_;
  mutable std::mutex mutex_;
  std::map<std::int32_t, std::unique_ptr<ReporterSlot>> sessions_;
  std::atomic<std::uint64_t> changes_{0};
};

}  // namespace tarvex
