// tarvex-search: the desktop search engine behind the server's desktop
// search. It answers the search interface (search_endpoint.h) on 127.0.0.1
// from a Recoll index, keeps that index fresh (index_keeper.h) and publishes
// its address (search_registration.h). It runs until SIGTERM or SIGINT, then
// stops its indexer, withdraws its address and exits 0. One runs per user.
// Everything it creates is private to the user (folders 0700, files 0600),
// and its folder is made so at every start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

struct SearchEngineOptions {
  // Folders to index; empty: the file service's root directory (followed
  // when the setting changes, without a restart) and the
  // user's documents folder.
  std::vector<std::string> folders;
  // An existing Recoll configuration to query; the user's own Recoll setup
  // then keeps its index, and tarvex-search runs no indexer.
  std::optional<std::string> recoll_config;
  // The port to listen on; by default the one of the last run, else any.
  std::optional<std::uint16_t> port;
  bool register_address = true;
  // The process that started the engine as its child (kParentVariable): the
  // engine stops when that process ends, however it ends.
  std::optional<long> parent_pid;
};

// Runs the engine; the exit status (1 when it cannot start).
int RunSearchEngine(const SearchEngineOptions& options);

}  // namespace tarvex
