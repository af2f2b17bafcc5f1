#include <gtest/gtest.h>

#include "core/server/source_penalties.h"

namespace tarvex {
namespace {

using std::chrono::seconds;
using Counted = SourcePenalties::Counted;

PenaltyRules Rules(std::size_t capacity = 100) {
  PenaltyRules rules;
  rules.first = seconds(10);
  rules.longest = seconds(40);
  rules.capacity = capacity;
  return rules;
}

TEST(SourcePenaltiesTest, TheFifthFailureStartsAPenaltyThatDoublesToTheLongestAndASuccessClears) {
  SourcePenalties table(Rules());
  const auto t0 = std::chrono::steady_clock::now();
  for (std::uint64_t i = 0; i < 4; ++i) EXPECT_EQ(table.Fail("10.0.0.1", i, t0), Counted::kCounted);
  EXPECT_FALSE(table.IsPenalised("10.0.0.1", t0));
  // A time-out carries no login bytes and always counts.
  EXPECT_EQ(table.Fail("10.0.0.1", std::nullopt, t0), Counted::kPenaltyStarted);
  EXPECT_TRUE(table.IsPenalised("10.0.0.1", t0 + seconds(9)));
  EXPECT_FALSE(table.IsPenalised("10.0.0.2", t0));
  EXPECT_TRUE(table.FirstRefusal("10.0.0.1", t0));
  EXPECT_FALSE(table.FirstRefusal("10.0.0.1", t0 + seconds(1)));  // logged once per penalty
  EXPECT_FALSE(table.IsPenalised("10.0.0.1", t0 + seconds(10)));

  auto t = t0 + seconds(11);
  EXPECT_EQ(table.Fail("10.0.0.1", 7, t), Counted::kPenaltyStarted);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(20));
  EXPECT_TRUE(table.FirstRefusal("10.0.0.1", t));  // a new penalty is logged again
  // The same login byte for byte again does not count.
  EXPECT_EQ(table.Fail("10.0.0.1", 7, t), Counted::kRepeat);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(20));
  EXPECT_EQ(table.Fail("10.0.0.1", 8, t), Counted::kPenaltyStarted);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(40));
  EXPECT_EQ(table.Fail("10.0.0.1", 9, t), Counted::kPenaltyStarted);
  EXPECT_EQ(table.PenaltyLength("10.0.0.1", t), seconds(40));
  EXPECT_EQ(table.Failures("10.0.0.1", t), 8);

  table.Succeed("10.0.0.1");
  EXPECT_FALSE(table.IsPenalised("10.0.0.1", t));
  EXPECT_EQ(table.Fail("10.0.0.1", 9, t), Counted::kCounted);
}

TEST(SourcePenaltiesTest, AFullTableForgetsTheEntryThatExpiresFirstAndOldEntriesAreForgotten) {
  SourcePenalties table(Rules(2));
  const auto t0 = std::chrono::steady_clock::now();
  for (std::uint64_t i = 0; i < 5; ++i) table.Fail("a", i, t0);  // penalised: kept longest
  table.Fail("b", 1, t0 + seconds(1));
  table.Fail("c", 1, t0 + seconds(2));  // the table is full: "b" goes first
  EXPECT_EQ(table.Size(), 2u);
  EXPECT_TRUE(table.IsPenalised("a", t0 + seconds(2)));
  EXPECT_EQ(table.Failures("b", t0 + seconds(2)), 0);
  EXPECT_EQ(table.Failures("c", t0 + seconds(2)), 1);
  // Forgotten the longest penalty after the last failure.
  EXPECT_EQ(table.Failures("c", t0 + seconds(42)), 0);
  EXPECT_EQ(table.Failures("a", t0 + seconds(49)), 5);
}

}  // namespace
}  // namespace tarvex
