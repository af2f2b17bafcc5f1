// The other data files, the input being the file: the access list, the
// settings file, the activity logs and the search result file.
#include <algorithm>
#include <string>
#include <vector>

#include "core/settings/server_settings.h"
#include "core/settings/settings_store.h"
#include "common/device_text.h"
#include "datafiles/access_control_list.h"
#include "fuzz_check.h"
#include "fuzz_entries.h"
#include "fuzz_world.h"
#include "log/log_record.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/files.h"
#include "search/search_result_list.h"

namespace tarvex::fuzz {
namespace {

FuzzWorld& World() {
  static FuzzWorld world;
  return world;
}

// The lines of a text file without their LF or CR LF ends.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

// What a normalised path must look like: absolute, no empty, "." or ".."
// segment, and normalising it again changes nothing.
void CheckNormalised(const std::string& path) {
  const std::string normal = NormalisePath(path);
  if (normal.empty()) return;
  FuzzCheck(normal[0] == '/', "a normalised path is not absolute");
  std::string_view rest(normal);
  rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  while (!rest.empty()) {
    const std::string_view segment = rest.substr(0, rest.find('/'));
    FuzzCheck(!segment.empty() && segment != "." && segment != "..", "a normalised path keeps a bad segment");
    rest.remove_prefix(std::min(rest.size(), segment.size() + 1));
  }
  FuzzCheck(NormalisePath(normal) == normal, "normalising twice changes the path");
}

}  // namespace

void FuzzAccessFile(std::string_view input) {
  const std::string dir = World().Scratch() + "/";
  PutFile(dir + std::string(kAccessFileName), std::string(input));
  AccessControlList access;
  const bool enabled = access.LoadAccessList(dir);
  FuzzCheck(enabled == !input.empty(), "the list is enabled unlike its file");
  FuzzCheck(!enabled || !access.IsDriveAllowed("D"), "an enabled list offers another drive");
  FuzzCheck(access.IsDriveAllowed("c"), "the system drive is not offered");
  std::size_t checked = 0;
  for (const std::string& line : SplitLines(input)) {
    if (line.size() > 1000) break;  // the reading may stop here
    if (++checked > 64) break;
    CheckNormalised(line);
    // Each entry allows itself, as the desktop reads it (a line that is not
    // UTF-8 is read in the handhelds' code page); a blank line is no entry.
    const bool blank = line.find_first_not_of(" \t") == std::string::npos;
    if (!blank && line.find('\0') == std::string::npos) {
      const std::string entry = StoredLineDecoder(kDefaultDeviceCharset)(line);
      FuzzCheck(access.IsPathAllowed(entry), "an entry refuses itself");
    }
    access.IsPathAllowed(line + "/../x");
  }
}

void FuzzSettingsFile(std::string_view input) {
  const std::string path = World().Scratch() + "/TSConfig.txt";
  PutFile(path, std::string(input));
  std::vector<std::string> keys;
  for (const std::string& line : SplitLines(input)) {
    if (const std::size_t equals = line.find('='); equals != std::string::npos) keys.push_back(line.substr(0, equals));
  }

  std::vector<std::string> values;
  std::string saved;
  {
    SettingsStore first(path);
    first.LoadSettings();
    for (const std::string& key : keys) values.push_back(first.GetValue(key));
    FuzzCheck(first.SaveSettings() == 0, "the settings cannot be saved");
    saved = GetFile(path);
    SettingsStore second(path);
    second.LoadSettings();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      FuzzCheck(second.GetValue(keys[i]) == values[i], "a setting differs after a save");
    }
    FuzzCheck(second.SaveSettings() == 0 && GetFile(path) == saved, "a second save of the settings differs");
  }

  // The server's view: the stored password deciphers without fault, and
  // values that the setters take read back after a save.
  const std::string login(input.substr(0, std::min<std::size_t>(input.size(), 24)));
  const std::string password(input.substr(std::min<std::size_t>(input.size(), 24), 40));
  bool login_taken = false;
  bool password_taken = false;
  {
    ServerSettings settings(path);
    settings.GetPort();
    settings.GetPassword();
    settings.IsComplete();
    login_taken = settings.SetLogin(login);
    const bool storable = settings.CanStorePassword(password);
    password_taken = settings.SetPassword(password);
    FuzzCheck(password_taken == storable, "CanStorePassword disagrees with SetPassword");
    if (password_taken) FuzzCheck(settings.GetPassword() == password, "a password reads back changed");
    settings.SetPort(static_cast<std::uint16_t>(input.size()));
  }
  ServerSettings reread(path, ServerSettings::Access::kReadOnly);
  if (login_taken) FuzzCheck(reread.GetLogin() == login, "a login name changes in the file");
  if (password_taken) FuzzCheck(reread.GetPassword() == password, "a password changes in the file");
  FuzzCheck(reread.GetPort() == static_cast<std::int16_t>(static_cast<std::uint16_t>(input.size())),
            "the port changes in the file");
}

namespace {

std::vector<std::vector<std::string>> Records(ActivityLog& log) {
  std::vector<std::vector<std::string>> records;
  const int count = log.GetCount();
  for (int i = 0; i < count; ++i) {
    std::shared_ptr<const LogRecord> record = log.GetRecord(i);
    FuzzCheck(record != nullptr, "a counted log record is missing");
    std::vector<std::string> fields;
    for (int f = 0; f < record->FieldCount(); ++f) fields.push_back(record->GetField(f));
    records.push_back(std::move(fields));
  }
  return records;
}

template <typename Log>
void RoundTripLog(const std::string& path, std::string_view file) {
  PutFile(path, std::string(file));
  std::vector<std::vector<std::string>> records;
  std::string saved;
  {
    Log first(path);
    FuzzCheck(first.Open(), "the log does not open");
    records = Records(first);
    FuzzCheck(first.Save(), "the log cannot be saved");
    saved = GetFile(path);
  }
  Log second(path);
  FuzzCheck(second.Open(), "the saved log does not open");
  FuzzCheck(Records(second) == records, "the log records differ after a save");
  FuzzCheck(second.Save() && GetFile(path) == saved, "a second save of the log differs");
}

}  // namespace

void FuzzLogFile(std::string_view input) {
  if (input.empty()) return;
  const std::string path = World().Scratch() + "/log.txt";
  if (input[0] & 1) {
    RoundTripLog<ServerLog>(path, input.substr(1));
  } else {
    RoundTripLog<ServiceLog>(path, input.substr(1));
  }
}

void FuzzSearchResults(std::string_view input) {
  SearchResultList results;
  results.Parse(input);
  ExtractElement(input, "title");
}

}  // namespace tarvex::fuzz
