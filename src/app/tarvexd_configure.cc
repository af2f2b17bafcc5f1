#include <istream>
#include <ostream>
#include <string>

#include "app/server_setup.h"
#include "app/tarvexd_commands.h"
#include "common/join_texts.h"
#include "core/settings/configuration_checks.h"
#include "core/settings/server_settings.h"
#include "fileservice/root_dir.h"
#include "platform/file_info.h"
#include "platform/terminal.h"

namespace tarvex {
namespace {

bool Refuse(std::ostream& err, std::string_view message) {
  err << "tarvexd: " << message << '\n';
  return false;
}

}  // namespace

int RunConfigure(const TarvexdOptions& options, std::istream& in, std::ostream& err) {
  std::optional<std::string> password;
  if (options.password_stdin) {
    std::string line;
    if (!std::getline(in, line)) line.clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    password = line;
  }
  // Every check first, in the order of the configuration dialog.
  std::optional<std::string> data_dir;
  std::optional<std::string> root_dir;
  std::optional<std::string_view> problem;
  if (options.port) problem = CheckPortText(*options.port);
  if (!problem && options.login) problem = CheckLoginName(*options.login);
  if (!problem && password) problem = CheckPasswordLength(*password);
  if (!problem && options.charset) problem = CheckDeviceCharset(*options.charset);
  if (!problem && options.data_dir) {
    data_dir = FolderWithSeparator(*options.data_dir);
    if (!data_dir) problem = kInvalidDirectory;
  }
  std::string folder_problem;
  if (!problem && data_dir && !StatPath(*data_dir).is_directory) {
    folder_problem = "the data directory " + *data_dir + " does not exist";
    problem = folder_problem;
  }
  if (!problem && options.root_dir) {
    root_dir = FolderWithSeparator(*options.root_dir);
    if (!root_dir) problem = kInvalidDirectory;
  }
  if (problem) {
    Refuse(err, *problem);
    return 2;
  }

  if (options.port || options.login || password || options.charset) {
    // Given together with a new data directory, the credentials belong in
    // the settings file there, which the next start reads.
    std::unique_ptr<ServerSettings> settings;
    if (data_dir) {
      settings = std::make_unique<ServerSettings>(
          DataFilePath(*data_dir, kSettingsFileName).value_or(std::string(kSettingsFileName)));
    } else {
      settings = OpenServerSettings();
    }
    if (!settings) {
      Refuse(err, "the data directory can be neither read nor set");
      return 1;
    }
    if (password && !settings->CanStorePassword(*password)) {
      Refuse(err, kPasswordNotStorable);
      return 2;
    }
    // In the order of the configuration dialog.
    if (options.port) settings->SetPort(PortFromText(*options.port));
    if (options.login) settings->SetLogin(*options.login);
    if (password) settings->SetPassword(*password);
    if (options.charset) settings->SetDeviceCharset(*options.charset);
    if (int failed = settings->SaveSettings()) {
      Refuse(err, "the settings could not be saved in " + settings->Path() + ": " +
                      SystemErrorText(failed));
      return 1;
    }
  }
  if (root_dir && !WriteRootDir(*root_dir)) {
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
    std::optional<std::string> login = AskLine("Login name: ", false);
    if (!login) return false;
    std::optional<std::string> password = AskLine("Password: ", true);
    if (!password) return false;
    std::optional<std::string> again = AskLine("Password again: ", true);
    if (!again) return false;
    std::optional<std::string> port = AskLine("Port [9300]: ", false);
    if (!port) return false;
    if (port->empty()) port = "9300";

    std::optional<std::string_view> problem = CheckPortText(*port);
    // Taken whole, as on the command line: "9300abc" is no port.
    if (!problem && port->find_first_not_of("0123456789") != std::string::npos) problem = kInvalidPort;
    if (!problem) problem = CheckLoginName(*login);
    if (!problem) problem = CheckPasswordLength(*password);
    if (!problem && *password != *again) problem = "The passwords do not match.";
    if (!problem && !settings.CanStorePassword(*password)) problem = kPasswordNotStorable;
    if (problem) {
      std::string message(*problem);
      AskLine(message + " (press Enter to try again)", false);
      continue;
    }
    settings.SetPort(PortFromText(*port));
    settings.SetLogin(*login);
    settings.SetPassword(*password);
    settings.SaveSettings();
    return true;
  }
}

}  // namespace tarvex
