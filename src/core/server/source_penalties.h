// SourcePenalties: what failed logins have cost each network source (an
// IPv4 address, an IPv6 /64). After `failures_allowed` failures in a row a
// source is penalised: its new connections are to be closed at accept. The
// penalty lasts `first` and doubles with each further failure, up to
// `longest`; a successful login clears the source. A failed login that
// repeats the source's last failed login byte for byte (same digest) does
// not count again: a device retrying with an old password sends the same
// ciphertext each time and learns nothing new.
//
// An entry is forgotten `longest` after its penalty ended or its last
// failure, whichever is later. The table holds at most `capacity` entries;
// when full, the entry that would be forgotten first makes room.
//
// Times are passed in, so that the rules can be checked without waiting.
// Requires external synchronisation (the server's login loop owns it).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

namespace tarvex {

struct PenaltyRules {
  int failures_allowed = 5;
  std::chrono::milliseconds first{10'000};
  std::chrono::milliseconds longest{600'000};
  std::size_t capacity = 10'000;
};

class SourcePenalties {
 public:
  using Time = std::chrono::steady_clock::time_point;

  explicit SourcePenalties(PenaltyRules rules = {}) : rules_(rules) {}

  // True while connections from the source are to be closed at accept.
  bool IsPenalised(const std::string& source, Time now) const;

  enum class Counted {
    kRepeat,          // the same login as the last failure: not counted
    kCounted,         // counted; no penalty (yet)
    kPenaltyStarted,  // counted, and the source is penalised from now
  };
  // A failed login from the source. `digest` identifies the login's bytes;
  // none for a login that never arrived whole (it always counts).
  Counted Fail(const std::string& source, std::optional<std::uint64_t> digest, Time now);
  // A successful login: the source is clear.
  void Succeed(const std::string& source);

  // For a connection refused while the source is penalised: true the first
  // time in the current penalty, so that it is logged once.
  bool FirstRefusal(const std::string& source, Time now);
  // Failed logins in a row counted against the source.
  int Failures(const std::string& source, Time now) const;
  // How long the source's current penalty lasts in all (0 when none).
  std::chrono::milliseconds PenaltyLength(const std::string& source, Time now) const;

  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    int failures = 0;  // in a row
    Time penalty_end{};
    std::chrono::milliseconds penalty_length{0};
    Time forget_at{};
    std::optional<std::uint64_t> last_digest;
    bool refusal_logged = false;
  };

  // The live entry of the source, or none (an expired one is dropped).
  Entry* Find(const std::string& source, Time now);
  const Entry* Find(const std::string& source, Time now) const;
  void Reindex(const std::string& source, Entry* entry, Time forget_at);
  void Erase(const std::string& source);
  void MakeRoom(Time now);

  PenaltyRules rules_;
  std::unordered_map<std::string, Entry> entries_;
  std::set<std::pair<Time, std::string>> by_forget_;
};

}  // namespace tarvex
