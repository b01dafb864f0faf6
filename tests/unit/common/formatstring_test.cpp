// FormatToString and its per-thread growing scratch buffer.
#include "formatstring.h"

#include <gtest/gtest.h>

#include <string>

#include "testutil.h"
#include "threadstate.h"

// The formats here are built per width at run time on purpose.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wformat-security"
#endif

namespace {

template <class Ch>
std::basic_string<Ch> Repeat(Ch c, size_t n) {
  return std::basic_string<Ch>(n, c);
}

const char* StringFormat(char) { return "%s"; }
const wchar_t* StringFormat(wchar_t) { return L"%" TEST_WIDE_S; }

template <class Ch>
class FormatToStringTest : public ::testing::Test {};
using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(FormatToStringTest, Widths);

TYPED_TEST(FormatToStringTest, ScratchBufferGrowsByDoublingWithATenCharacterMargin) {
  using Ch = TypeParam;
  struct Case {
    size_t length;
    int scratch;  // size after formatting a text of this length on a fresh thread
  } cases[] = {{0, 128}, {1, 128}, {118, 128}, {119, 256}, {246, 256}, {247, 512},
               {1000, 1024}, {1014, 1024}, {1015, 2048}, {100000, 131072}};
  for (const Case& c : cases) {
    bool ran = RunOnNewThread([&] {
      EXPECT_EQ(FormatScratchSize(Ch()), 0);
      std::basic_string<Ch> text = Repeat(Ch('x'), c.length);
      EXPECT_EQ(FormatToString(StringFormat(Ch()), text.c_str()), text) << c.length;
      EXPECT_EQ(FormatScratchSize(Ch()), c.scratch) << c.length;
      // Later, shorter texts reuse the buffer; it never shrinks, and the earlier text leaves
      // nothing behind.
      EXPECT_EQ(FormatToString(StringFormat(Ch()), Str<Ch>("ab").c_str()), Str<Ch>("ab"));
      EXPECT_EQ(FormatScratchSize(Ch()), c.scratch);
    });
    EXPECT_TRUE(ran);
  }
}

TYPED_TEST(FormatToStringTest, EmptyFormatGivesEmptyText) {
  using Ch = TypeParam;
  RunOnNewThread([] {
    EXPECT_EQ(FormatToString(Str<Ch>("").c_str()), std::basic_string<Ch>());
    EXPECT_EQ(FormatScratchSize(Ch()), 128);
  });
}

TYPED_TEST(FormatToStringTest, ArgumentsAreFormattedOnEveryRetry) {
  // The arguments are read again after each growth, so a long text with mixed conversions
  // must come out whole and in order.
  using Ch = TypeParam;
  RunOnNewThread([] {
    std::basic_string<Ch> big = Repeat(Ch('y'), 5000);
    std::basic_string<Ch> format =
        Str<Ch>("%d|%") + Str<Ch>(std::is_same<Ch, char>::value ? "s" : TEST_WIDE_S) +
        Str<Ch>("|%08X|%c");
    std::basic_string<Ch> out = FormatToString(format.c_str(), -42, big.c_str(), 0xBEEFu, 'z');
    EXPECT_EQ(out, Str<Ch>("-42|") + big + Str<Ch>("|0000BEEF|z"));
    EXPECT_EQ(FormatScratchSize(Ch()), 8192);
  });
}

// Slot blocks are never released; keeping them here keeps leak checkers quiet.
ClientThreadState* g_slotBlocks[2];

TEST(FormatToString, ThreadStateInATlsSlot) {
  // The alternative home of per-thread state: a platform TLS slot with a zero-filled block.
  UseTlsSlots = true;
  ClientThreadState* state = g_slotBlocks[0] = CurrentThreadState();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state, CurrentThreadState());
  EXPECT_EQ(FormatToString("%d-%s", 7, std::string(200, 'q').c_str()),
            "7-" + std::string(200, 'q'));
  EXPECT_EQ(state->scratchSizeNarrow, 256);
  ClientThreadState* other = nullptr;
  RunOnNewThread([&] { other = g_slotBlocks[1] = CurrentThreadState(); });
  EXPECT_NE(other, state);
  UseTlsSlots = false;
  EXPECT_NE(CurrentThreadState(), state);
}

}  // namespace
