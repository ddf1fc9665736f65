#include "runtime1/definitions/Language_utils.h"

#include <gtest/gtest.h>

#include <limits>

namespace qn {
namespace {

TEST(Language_utils, FiveSchemesOfHitColours) {
  EXPECT_EQ(SearchFoundColoursFromNumber(0), (TMyCanvasColourRec{0xFFFFFF, 0x006400, 0x006400, 0xFFFFFF}));
  EXPECT_EQ(SearchFoundColoursFromNumber(1), (TMyCanvasColourRec{0xF0FAFF, 0x8B0000, 0x8B0000, 0xF0FAFF}));
  EXPECT_EQ(SearchFoundColoursFromNumber(2), (TMyCanvasColourRec{0xFFFFFF, 0xFFFFFF, 0x800080, 0x800080}));
  EXPECT_EQ(SearchFoundColoursFromNumber(3), (TMyCanvasColourRec{0xF0FAFF, 0x000080, 0x000080, 0xF0FAFF}));
  EXPECT_EQ(SearchFoundColoursFromNumber(4), (TMyCanvasColourRec{0xFFFFFF, 0x800000, 0x800000, 0xFFFFFF}));
  EXPECT_EQ(SearchFoundColoursFromNumber(7), SearchFoundColoursFromNumber(2));
  const auto styled = SearchFoundColoursAndFontStyleFromNumber(13);
  EXPECT_EQ(styled.colourset, SearchFoundColoursFromNumber(3));
  EXPECT_EQ(styled.default_typeface, TTypefaceSet{tf_bold});
  EXPECT_EQ(styled.highlight_typeface, TTypefaceSet{tf_bold});
}

TEST(Language_utils, NegativeHitNumbersStayInsideTheSchemes) {
  EXPECT_EQ(HitColourScheme(-1), 4);
  EXPECT_EQ(HitColourScheme(-5), 0);
  EXPECT_EQ(HitColourScheme(std::numeric_limits<int32_t>::min()), 2);  // -2147483648 = -429496730 * 5 + 2
  EXPECT_EQ(SearchFoundColoursFromNumber(-1), SearchFoundColoursFromNumber(4));
  EXPECT_EQ(SearchFoundColoursFromNumber(-3), SearchFoundColoursFromNumber(2));
  EXPECT_EQ(TextColourFromNumber(-4), TextColourFromNumber(1));
}

TEST(Language_utils, TextColours) {
  EXPECT_EQ(TextColourFromNumber(1), 0xFF0000);
  EXPECT_EQ(TextColourFromNumber(2), 0x006400);
  EXPECT_EQ(TextColourFromNumber(3), 0x8B0000);
  EXPECT_EQ(TextColourFromNumber(4), 0xD30094);
  const TColor saved = Global_BaseTextColour;
  Global_BaseTextColour = 0x123456;
  EXPECT_EQ(TextColourFromNumber(0), 0x123456);
  EXPECT_EQ(TextColourFromNumber(10), 0x123456);
  Global_BaseTextColour = saved;
}

}  // namespace
}  // namespace qn
