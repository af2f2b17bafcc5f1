// SearchEngineProcess: the desktop search engine (tarvex-search) as a child
// of the desktop window, so that a user who only opens the window has a
// working desktop search.
//
// Made when the window opens: when no search address is set, or the one set
// is tarvex-search's own from an earlier run, it starts the program (by
// default tarvex-search beside the running program). Otherwise another
// search engine is set up and nothing is started. Destroying the object
// stops the child (SIGTERM, SIGKILL after a grace period); the engine then
// withdraws its address. The child also stops by itself when this process
// ends without destroying the object (killed, say). Made and used on the
// main thread only, which the child's life is tied to.
#pragma once

#include <optional>
#include <string>

#include "platform/spawned_process.h"

namespace tarvex {

class SearchEngineProcess {
 public:
  explicit SearchEngineProcess(const std::string& program = DefaultProgram());
  ~SearchEngineProcess() = default;
  SearchEngineProcess(const SearchEngineProcess&) = delete;
  SearchEngineProcess& operator=(const SearchEngineProcess&) = delete;

  bool Started() const { return child_.has_value(); }

  // tarvex-search in the running program's folder.
  static std::string DefaultProgram();
  // True when no search engine other than tarvex-search is set up.
  static bool IsWanted();

 private:
  std::optional<SpawnedProcess> child_;
};

}  // namespace tarvex
