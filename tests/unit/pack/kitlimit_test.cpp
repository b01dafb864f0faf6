// The kit-size budget of the resource update.
#include <gtest/gtest.h>

#include "pack/kitlimit.h"

using namespace pack;

namespace {

TEST(KitBudget, TakesUpToTheLimitAndNeverWraps) {
  KitBudget budget(100);
  EXPECT_TRUE(budget.Take(60));
  EXPECT_FALSE(budget.Take(41));
  EXPECT_EQ(budget.used(), 60u);
  EXPECT_TRUE(budget.Take(40));
  EXPECT_FALSE(budget.Take(1));
  EXPECT_TRUE(budget.Take(0));
  KitBudget huge(UINT64_MAX - 5);
  EXPECT_TRUE(huge.Take(UINT64_MAX - 10));
  EXPECT_FALSE(huge.Take(UINT64_MAX));  // would wrap past the limit
  EXPECT_FALSE(huge.Take(6));
}

TEST(KitBudget, LimitsPerPointerSizeAndMessage) {
  EXPECT_EQ(KitResourceLimit(4), kKitLimit32);
  EXPECT_EQ(KitResourceLimit(8), kKitLimit64);
  EXPECT_LT(kKitLimit32 * 2, 2048 * kMegabyte);  // twice the kit must fit in 2 GB
  KitBudget budget(kKitLimit32);
  ASSERT_TRUE(budget.Take(kKitLimit32 - kMegabyte / 2));
  EXPECT_EQ(KitTooLargeText(budget, kMegabyte + 1, "big.bin"),
            "\n-- kit too large: adding 'big.bin' (2 MB) to the " +
                std::to_string(kKitLimit32 / kMegabyte) + " MB recorded so far passes the limit of " +
                std::to_string(kKitLimit32 / kMegabyte) + " MB of kit data that this packer can hold in memory");
}

}  // namespace
