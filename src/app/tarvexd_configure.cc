#include <memory>
#include <ostream>
#include <string>

#include "app/tarvexd_commands.h"
#include "core/settings/configuration_checks.h"
#include "core/settings/root_dir.h"
#include "core/settings/server_settings.h"
#include "platform/file_info.h"
#include "platform/terminal.h"

namespace tarvex {
namespace {

bool Refuse(std::ostream& err, std::string_view message) {
  err << "tarvexd: " << message << '\n';
  return false;
}

}  // namespace

int RunConfigure(const TarvexdOptions& options, std::ostream& err) {
  SettingsChange change{options.port, options.login, std::nullopt, std::nullopt, options.charset,
                        options.data_dir, options.root_dir};
  // The first line of standard input, in UTF-8 (a console's read as such).
  if (options.password_stdin) change.password = AskLine("", false).value_or("");
  if (std::optional<std::string> problem = FirstProblem(change)) {
    Refuse(err, *problem);
    return 2;
  }
  const std::optional<std::string> data_dir =
      change.data_dir ? FolderWithSeparator(*change.data_dir) : std::nullopt;
  if (change.port || change.login || change.password || change.charset) {
    // Given together with a new data directory, the credentials belong in
    // the settings file there, which the next start reads.
    std::unique_ptr<ServerSettings> settings;
    if (!data_dir) {
      settings = ServerSettings::Open();
    } else if (std::optional<std::string> path = ServerSettings::FileIn(*data_dir)) {
      settings = std::make_unique<ServerSettings>(*path);
    }
    if (!settings) {
      Refuse(err, "the data directory can be neither read nor set");
      return 1;
    }
    if (int failed = ApplySettingsChange(change, *settings)) {
      Refuse(err, "the settings could not be saved in " + settings->Path() + ": " +
                      SystemErrorText(failed));
      return 1;
    }
  }
  if (change.root_dir && !WriteRootDir(*FolderWithSeparator(*change.root_dir))) {
    Refuse(err, "the root directory could not be stored");
    return 1;
  }
  if (data_dir && !ServerSettings::SetDataDir(*data_dir)) {
    Refuse(err, "the data directory could not be stored");
    return 1;
  }
  return 0;
}

bool AskServerSettings(ServerSettings& settings) {
  for (;;) {
    SettingsChange change;
    change.login = AskLine("Login name: ", false);
    if (!change.login) return false;
    change.password = AskLine("Password: ", true);
    if (!change.password) return false;
    change.password_again = AskLine("Password again: ", true);
    if (!change.password_again) return false;
    change.port = AskLine("Port [9300]: ", false);
    if (!change.port) return false;
    if (change.port->empty()) change.port = std::to_string(kDefaultPort);
    if (std::optional<std::string> problem = FirstProblem(change)) {
      AskLine(*problem + " (press Enter to try again)", false);
      continue;
    }
    change.password_again.reset();
    ApplySettingsChange(change, settings);
    return true;
  }
}

}  // namespace tarvex
