#include <gtest/gtest.h>

#include <string>

#include "common/ascii.h"
#include "common/big_endian.h"
#include "common/join_texts.h"

namespace tarvex {
namespace {

TEST(JoinTextsTest, JoinsAndRefusesWhatExceedsTheSignedSixteenBitLength) {
  EXPECT_EQ(JoinTexts({"/data/", "QLXUsers.txt"}), "/data/QLXUsers.txt");
  EXPECT_EQ(JoinTexts({"one"}), "one");
  std::string half(kMaxJoinedLength / 2, 'a');
  EXPECT_TRUE(JoinTexts({half, half}).has_value());
  EXPECT_FALSE(JoinTexts({half, half, "x"}).has_value());
}

TEST(BigEndianTest, PacksMostSignificantByteFirst) {
  std::string out;
  AppendU16(out, 0x0102);
  AppendU32(out, 0xA0B0C0D0u);
  ASSERT_EQ(out, std::string("\x01\x02\xA0\xB0\xC0\xD0", 6));
  EXPECT_EQ(GetU16(out.data()), 0x0102);
  EXPECT_EQ(GetU32(out.data() + 2), 0xA0B0C0D0u);
}

TEST(AsciiTest, FoldsOnlyAsciiLettersAndParsesLikeAtoi) {
  EXPECT_EQ(ToUpperAscii("ab\xe9z1"), "AB\xe9Z1");
  EXPECT_TRUE(EqualsIgnoreCaseAscii("Ann", "aNN"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii("Ann", "Anne"));
  EXPECT_EQ(ParseDecimal("  -12ab"), -12);
  EXPECT_EQ(ParseDecimal("+7"), 7);
  EXPECT_EQ(ParseDecimal("x1"), 0);
  EXPECT_EQ(ParseDecimal(""), 0);
}

}  // namespace
}  // namespace tarvex
