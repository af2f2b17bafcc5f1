#include "fuzz_entries.h"

namespace tarvex::fuzz {

FuzzEntry FindFuzzEntry(std::string_view target) {
  struct Named {
    std::string_view name;
    FuzzEntry entry;
  };
  static constexpr Named kEntries[] = {
      {"frame", FuzzFrame},           {"session", FuzzSession},
      {"users_file", FuzzUsersFile},  {"files_file", FuzzFilesFile},
      {"access_file", FuzzAccessFile}, {"settings_file", FuzzSettingsFile},
      {"log_file", FuzzLogFile},      {"search_results", FuzzSearchResults},
  };
  for (const Named& named : kEntries) {
    if (named.name == target) return named.entry;
  }
  return nullptr;
}

}  // namespace tarvex::fuzz
