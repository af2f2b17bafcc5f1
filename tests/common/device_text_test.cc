// The conversion rules at the device boundary that the end-to-end tests do
// not reach cheaply: cuts inside a multi-byte code page, the code pages
// refused, and readings a lookup must still try.
#include <gtest/gtest.h>

#include <string>

#include "common/device_text.h"

namespace tarvex {
namespace {

TEST(DeviceTextRulesTest, CutsNeverSplitACharacterOfTheCodePageOrOfUtf8) {
  DeviceText japanese("SHIFT_JIS");
  // "日本語" is six bytes in Shift-JIS: five leave room for two characters.
  EXPECT_EQ(japanese.ToDeviceCut("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 5), "\x93\xFA\x96\x7B");
  DeviceText western("WINDOWS-1252");
  // Not representable, so it goes out as UTF-8, cut before the last
  // three-byte character.
  EXPECT_EQ(western.ToDeviceCut("a\xE6\x97\xA5\xE6\x9C\xAC", 6), "a\xE6\x97\xA5");
  // Shown only: each missing character is one '?', a broken byte too.
  EXPECT_EQ(western.ToDeviceForDisplay("\xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC\xFF!", 100), "\xE9??" "?!");
}

TEST(DeviceTextRulesTest, UnusableCodePagesFallBackToTheDefault) {
  for (const char* name : {"NO-SUCH-PAGE", "UTF-16", "", "EBCDIC-US"}) {
    EXPECT_FALSE(TextCodec::IsUsableCharset(name)) << name;
    EXPECT_EQ(DeviceText(name).Charset(), kDefaultDeviceCharset) << name;
  }
  EXPECT_TRUE(TextCodec::IsUsableCharset("SHIFT_JIS"));
  EXPECT_TRUE(TextCodec::IsUsableCharset("cp1250"));
}

TEST(DeviceTextRulesTest, LookupsTryTheConvertedTextThenTheRawBytesThenTheCodePageReading) {
  DeviceText western("WINDOWS-1252");
  EXPECT_EQ(western.IncomingCandidates("caf\xE9"), (std::vector<std::string>{"caf\xC3\xA9", "caf\xE9"}));
  // Valid UTF-8 is taken as UTF-8 first; its code-page reading comes last.
  EXPECT_EQ(western.IncomingCandidates("\xC3\xA9"),
            (std::vector<std::string>{"\xC3\xA9", "\xC3\x83\xC2\xA9"}));
  EXPECT_EQ(western.IncomingCandidates("plain"), (std::vector<std::string>{"plain"}));
  // A stored name whose file was never UTF-8 is found by its device bytes.
  EXPECT_EQ(western.StoredCandidates("caf\xC3\xA9"), (std::vector<std::string>{"caf\xC3\xA9", "caf\xE9"}));
}

}  // namespace
}  // namespace tarvex
