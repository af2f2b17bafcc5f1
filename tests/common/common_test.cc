#include <gtest/gtest.h>

#include <string>

#include "common/ascii.h"
#include "common/join_texts.h"

namespace tarvex {
namespace {

TEST(JoinTextsTest, JoinsAndRefusesWhatExceedsTheSignedSixteenBitLength) {
  EXPECT_EQ(JoinTexts({"/data/", "QLXUsers.txt"}), "/data/QLXUsers.txt");
  std::string half(kMaxJoinedLength / 2, 'a');
  EXPECT_TRUE(JoinTexts({half, half}).has_value());
  EXPECT_FALSE(JoinTexts({half, half, "x"}).has_value());
}

TEST(AsciiTest, FoldsOnlyAsciiLettersAndParsesLikeAtoi) {
  EXPECT_EQ(ToUpperAscii("ab\xe9z1"), "AB\xe9Z1");
  EXPECT_TRUE(EqualsIgnoreCaseAscii("Ann", "aNN"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii("Ann", "Anne"));
  EXPECT_EQ(ParseDecimal("  -12ab"), -12);
  EXPECT_EQ(ParseDecimal("+7"), 7);
  EXPECT_EQ(ParseDecimal("x1"), 0);
}

}  // namespace
}  // namespace tarvex
