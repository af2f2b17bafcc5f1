#include <gtest/gtest.h>

#include <filesystem>

#include "core/settings/configuration_checks.h"
#include "core/settings/device_file.h"
#include "core/settings/server_settings.h"
#include "platform/file_info.h"
#include "platform/path.h"
#include "support/faulty_save_calls.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;

TEST(ConfigurationTest, FirstProblemFollowsOneOrderAndAddressesParseStrictly) {
  TempDir dir;
  const std::string missing = "the data directory " + WithTrailingSeparator(dir.File("none")) + " does not exist";
  const std::pair<SettingsChange, std::string_view> refused[] = {
      {{.port = "", .login = "", .password = ""}, kPortRequired},
      {{.port = "0", .login = "", .password = ""}, kInvalidPort},
      {{.port = "32768", .login = "palm", .password = "secret42"}, kInvalidPort},
      {{.port = "9300abc", .login = "palm", .password = "secret42"}, kInvalidPort},
      {{.port = "32767", .login = "", .password = "abcd"}, kInvalidLogin},
      {{.login = "palm\nPORT=1", .password = "abcd"}, kLoginHasControl},
      {{.login = "palm", .password = "abcd", .charset = "NO-SUCH-PAGE"}, kInvalidPassword},
      {{.password = "secret42", .password_again = "secret24"}, kPasswordsDiffer},
      {{.password = "secret13"}, kPasswordNotStorable},  // its ciphertext holds a zero byte
      {{.charset = "NO-SUCH-PAGE", .data_dir = ""}, kUnknownCharset},
      {{.data_dir = dir.File("none"), .root_dir = ""}, missing},
      {{.data_dir = ""}, kInvalidDirectory},
      {{.data_dir = dir.Path(), .root_dir = ""}, kInvalidDirectory},
  };
  for (const auto& [settings_change, message] : refused) {
    EXPECT_EQ(FirstProblem(settings_change).value_or("none"), message);
  }
  EXPECT_EQ(FirstProblem({"1", "p", "12345", "12345", "SHIFT_JIS", dir.Path(), "/r"}), std::nullopt);
  EXPECT_EQ(ParseIpAddress("192.168.001.20"), "192.168.1.20");
  for (const char* malformed : {"10.0.0.256", "10.0.0", "10.0.0.2.", "1000.0.0.2", "10..0.2"}) {
    EXPECT_FALSE(ParseIpAddress(malformed)) << malformed;
  }
}

TEST(ConfigurationTest, AnAppliedChangeIsSavedInTheDialogsOrderLeavingTheRest) {
  TempDir dir;
  testing::WriteFile(dir.File("TSConfig.txt"), "LOGIN=old\r\nOTHER=kept\r\n");
  ServerSettings settings(dir.File("TSConfig.txt"));
  ASSERT_EQ(ApplySettingsChange({.port = "32767", .charset = "SHIFT_JIS"}, settings), 0);
  EXPECT_EQ(ReadFile(dir.File("TSConfig.txt")), "LOGIN=old\r\nOTHER=kept\r\nPORT=32767\r\nCHARSET=SHIFT_JIS\r\n");
  ASSERT_EQ(ApplySettingsChange({.login = "palm", .password = "abcde"}, settings), 0);
  EXPECT_EQ(ServerSettings(dir.File("TSConfig.txt")).GetPassword(), "abcde");
}

TEST(DeviceFileTest, RefusesInOrderWritingNothingThenWritesTheStoredCredentials) {
  TempDir dir;
  ServerSettings settings(dir.File("TSConfig.txt"));
  const std::string out = dir.File("out");
  std::filesystem::create_directory(out);
  const auto refusal = [&](const ServerSettings* given, std::optional<std::string> ip, std::string_view folder) {
    const DeviceFileResult result = WriteDeviceFile(given, ip, folder);
    EXPECT_EQ(result.outcome, DeviceFileResult::Outcome::kRefused) << result.text;
    return result.text;
  };
  EXPECT_EQ(refusal(nullptr, "10.0.0.2", out), kServerNotConfigured);
  settings.SetPort(40000);  // read back negative; the handheld takes it unsigned
  settings.SetLogin("palm");
  EXPECT_EQ(refusal(&settings, "10.0.0.2", out), kServerNotConfigured);
  ASSERT_TRUE(settings.SetPassword("abcde"));
  EXPECT_EQ(refusal(&settings, std::nullopt, out), kNeedIpAddress);
  EXPECT_EQ(refusal(&settings, "10.0.0.2", ""), kNeedSaveFolder);
  EXPECT_EQ(refusal(&settings, "10.0.0.2", dir.File("none")), "the folder " + dir.File("none") + " does not exist");
  EXPECT_TRUE(std::filesystem::is_empty(out));

  testing::FaultySaveCalls full(testing::FaultySaveCalls::Step::kWrite, testing::kDiskFull);
  const DeviceFileResult failed = WriteDeviceFile(&settings, "10.0.0.2", out, full);
  EXPECT_EQ(failed.outcome, DeviceFileResult::Outcome::kFailed);
  EXPECT_NE(failed.text.find(SystemErrorText(testing::kDiskFull)), std::string::npos) << failed.text;

  const DeviceFileResult written = WriteDeviceFile(&settings, "10.0.0.2", out);
  ASSERT_EQ(written.outcome, DeviceFileResult::Outcome::kWritten) << written.text;
  EXPECT_EQ(written.text, JoinPath(out, "QSSrvCfgDB.pdb"));
  const std::string bytes = ReadFile(written.text);
  const std::string records("IP\0" "10.0.0.2\0PORT\0" "40000\0LOGIN\0palm\0PASS\0", 39);
  EXPECT_NE(bytes.find(records + settings.GetStoredPassword() + '\0'), std::string::npos);
  EXPECT_EQ(bytes.find("abcde"), std::string::npos);
}

}  // namespace
}  // namespace tarvex
