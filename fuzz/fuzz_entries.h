// The fuzz entries: one plain function per target, taking one input. Each
// libFuzzer target calls its entry, and so does the regression runner
// (built with the normal compiler), which feeds it the seed corpus and every
// input kept in fuzz/regressions/. An entry returns normally for any input;
// a fault aborts (sanitizers, or FuzzCheck for a broken expectation).
//
//   frame          the transport's receives over a socket pair
//   session        one authenticated file-exchange session
//   users_file     QLXUsers.txt      files_file     QLXFiles.txt
//   access_file    QLXAccessCtrl.dat settings_file  the settings file
//   log_file       the activity logs search_results the search result file
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex::fuzz {

using FuzzEntry = void (*)(std::string_view input);

void FuzzFrame(std::string_view input);
void FuzzSession(std::string_view input);
void FuzzUsersFile(std::string_view input);
void FuzzFilesFile(std::string_view input);
void FuzzAccessFile(std::string_view input);
void FuzzSettingsFile(std::string_view input);
void FuzzLogFile(std::string_view input);
void FuzzSearchResults(std::string_view input);

// The entry of a target by its name; null for an unknown name.
FuzzEntry FindFuzzEntry(std::string_view target);

}  // namespace tarvex::fuzz
