#include "app/search_engine_process.h"

#include "platform/program_folder.h"
#include "platform/user_store.h"
#include "search/desktop_search_client.h"
#include "search/search_registration.h"

namespace tarvex {

SearchEngineProcess::SearchEngineProcess(const std::string& program)
    : child_(IsWanted() ? SpawnedProcess::Start(program, {},
                                                {std::string(kParentVariable) + "=" +
                                                 std::to_string(OwnProcessId())})
                        : std::nullopt) {}

std::string SearchEngineProcess::DefaultProgram() { return OwnProgramFolder() + "/tarvex-search"; }

bool SearchEngineProcess::IsWanted() {
  const std::string current = ReadUserValue(kSearchUrlKeyPath, kSearchUrlValue).value_or("");
  return current.empty() || IsOwnSearchAddress(current);
}

}  // namespace tarvex
