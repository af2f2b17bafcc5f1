#include "platform/user_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"
#include "support/user_world.h"

namespace tarvex {
namespace {

// Qt fixes the configuration folder at its first use in a process, so the
// tests of one process share one world (each uses its own organisation).
const testing::TempDir& UserHome() {
  static const testing::TempDir dir;
  static const bool entered = testing::EnterUserWorld(dir.Path());
  EXPECT_TRUE(entered);
  return dir;
}

TEST(UserStoreTest, RoundTripsTextsWithinThe499ByteLimit) {
  const std::string key = "Software\\Round Trip\\App";
  UserHome();
  EXPECT_FALSE(ReadUserValue(key, "V").has_value());
  const std::string text = "/home/a, b \"c\"=d;#e\\f \xc3\xa9";
  ASSERT_TRUE(WriteUserValue(key, "V", text));
  EXPECT_EQ(ReadUserValue(key, "V"), text);
  EXPECT_FALSE(WriteUserValue(key, "V", "\xff"));                   // not UTF-8
  EXPECT_FALSE(WriteUserValue(key, "V", std::string("a\0b", 3)));  // a registry text would end at the NUL
  ASSERT_TRUE(WriteUserValue(key, "V", std::string(499, 'x')));
  EXPECT_EQ(ReadUserValue(key, "V"), std::string(499, 'x'));
  ASSERT_TRUE(WriteUserValue(key, "V", std::string(500, 'x')));
  EXPECT_FALSE(ReadUserValue(key, "V").has_value());
}

TEST(UserStoreTest, MapsTheKeyPathToOrganisationApplicationAndGroups) {
  const testing::TempDir& home = UserHome();
  ASSERT_TRUE(WriteUserValue("Software\\Veldane Software\\QLExchange\\Config", "ROOTDIR", "/r"));
  ASSERT_TRUE(WriteUserValue("Software\\Veldane Software\\TServer", "DATADIR", "/d/"));
  EXPECT_NE(testing::ReadFile(home.File("config/Veldane Software/QLExchange.conf")).find("[Config]\nROOTDIR=/r\n"),
            std::string::npos);
  EXPECT_NE(testing::ReadFile(home.File("config/Veldane Software/TServer.conf")).find("DATADIR=/d/\n"),
            std::string::npos);
  EXPECT_FALSE(ReadUserValue("Software\\Veldane Software\\QLExchange", "ROOTDIR").has_value());
  EXPECT_FALSE(WriteUserValue("Software\\OnlyOrganisation", "V", "x"));
  EXPECT_FALSE(WriteUserValue("Hardware\\Org\\App", "V", "x"));
  EXPECT_FALSE(WriteUserValue("Software\\Org\\App", "A/B", "x"));
}

}  // namespace
}  // namespace tarvex
