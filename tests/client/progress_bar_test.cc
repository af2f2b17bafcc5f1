#include <gtest/gtest.h>

#include "client/progress_bar.h"

namespace tarvex {
namespace {

TEST(ProgressBarTest, ShowsBytesRateAndTimeLeftOrDashesWithoutARate) {
  EXPECT_EQ(FormatProgress(50'000'000, 100'000'000, 5.0),
            "[##########..........] 50.0 MB / 100.0 MB  10.0 MB/s  0:05 left");
  EXPECT_EQ(FormatProgress(0, 0, 0.0), "[####################] 0.0 MB / 0.0 MB  --- MB/s  --:-- left");
}

}  // namespace
}  // namespace tarvex
