#include "datafiles/device_config_file.h"

#include "platform/path.h"
#include "datafiles/palm_database_writer.h"

namespace tarvex {

bool CreateDeviceConfigFile(const std::string& path, std::string_view ip_text,
                            std::string_view port_text, std::string_view login,
                            std::string_view stored_password, std::string* error,
                            SaveCalls& calls) {
  std::string full_path = path;
  if (full_path.find(".pdb") == std::string::npos) full_path += ".pdb";
  std::string name = Basename(full_path, "/\\");
  name = name.substr(0, name.find('.'));

  const std::pair<std::string_view, std::string_view> records[] = {
      {"IP", ip_text}, {"PORT", port_text}, {"LOGIN", login}, {"PASS", stored_password}};
  PalmDatabaseWriter writer(calls);
  writer.BeginDatabase(name, full_path);
  for (const auto& [key, value] : records) {
    if (key.size() + value.size() + 2 > kDeviceRecordLimit) {
      *error = "the " + std::string(key) + " value is too long for the device configuration file";
      return false;
    }
    std::string record;
    record.append(key).append(1, '\0').append(value).append(1, '\0');
    writer.AppendRecord(record);
  }
  if (!writer.FinishDatabase()) {
    *error = writer.Error();
    return false;
  }
  return true;
}

}  // namespace tarvex
