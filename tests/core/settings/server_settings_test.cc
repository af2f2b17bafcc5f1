#include "core/settings/server_settings.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/cipher/blowfish.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;

class ServerSettingsTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("TSConfig.txt"); }
  TempDir dir_;
};

TEST_F(ServerSettingsTest, PortIsSixteenBitsOfTheStoredDecimalText) {
  {
    ServerSettings settings(Path());
    EXPECT_EQ(settings.GetPort(), 0);
    settings.SetPort(40000);
    EXPECT_EQ(settings.GetPort(), 40000 - 65536);
  }
  EXPECT_EQ(ReadFile(Path()), "PORT=40000\r\n");
}

TEST_F(ServerSettingsTest, PasswordIsStoredZeroPaddedAndEnciphered) {
  ServerSettings settings(Path());
  const KeySchedule schedule = CreateKeySchedule(kSettingsKey);
  for (std::string password : {"", "abcde", "abcdefgh", "fifteen letters"}) {
    ASSERT_TRUE(settings.SetPassword(password));
    std::string stored = settings.GetStoredPassword();
    ASSERT_EQ(stored.size(), password.size() < 8 ? 8u : 16u);
    DecryptBuffer(schedule, stored.data(), stored.size());
    password.resize(stored.size(), '\0');
    EXPECT_EQ(stored, password);
  }
}

TEST_F(ServerSettingsTest, RefusesPasswordsTheStoredFormCannotCarryAndReadsBackTheRest) {
  ServerSettings settings(Path());
  ASSERT_TRUE(settings.SetPassword("kept"));
  const std::string stored = settings.GetStoredPassword();
  // Found by trial: their ciphertexts hold a zero byte (83 00 d4 ...), an LF
  // (... 1d 0a 0e ...) and a CR (... a0 0d 41 ...).
  for (std::string_view password : {"secret13", "secret18", "secret51"}) {
    EXPECT_FALSE(settings.SetPassword(password)) << password;
  }
  EXPECT_FALSE(settings.SetPassword(std::string("a\0b", 3)));
  EXPECT_EQ(settings.GetStoredPassword(), stored);
  EXPECT_EQ(settings.GetPassword(), "kept");

  // Every password that is taken reads back after a reload.
  std::mt19937 random(20050301);
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    std::string password(random() % 16, '\0');
    for (char& c : password) c = static_cast<char>(1 + random() % 255);
    const std::string path = dir_.File(std::to_string(round));
    if (!ServerSettings(path).SetPassword(password)) {
      ++refused;
    } else {
      EXPECT_EQ(ServerSettings(path).GetPassword(), password);
    }
  }
  EXPECT_GT(refused, 0);  // about one in ten
  EXPECT_LT(refused, 100);
}

}  // namespace
}  // namespace tarvex
