#include "runtime1/definitions/Language_utils.h"

#include <array>

namespace qn {

TColor Global_BaseTextColour = 0x000000;

namespace {

struct TScheme {
  TColor ink;
  TColor paper;
};

constexpr std::array<TScheme, 5> kSchemes = {{
    {0x006400, 0xFFFFFF},
    {0x8B0000, 0xF0FAFF},
    {0x800080, 0xFFFFFF},
    {0x000080, 0xF0FAFF},
    {0x800000, 0xFFFFFF},
}};

constexpr std::array<TColor, 5> kTextColours = {0, 0xFF0000, 0x006400, 0x8B0000, 0xD30094};

}  // namespace

int32_t HitColourScheme(int32_t n) noexcept { return ((n % 5) + 5) % 5; }

TMyCanvasColourRec SearchFoundColoursFromNumber(int32_t n) noexcept {
  const int32_t scheme = HitColourScheme(n);
  const TScheme& s = kSchemes[static_cast<size_t>(scheme)];
  if (scheme == 2) return {s.paper, s.paper, s.ink, s.ink};
  return {s.paper, s.ink, s.ink, s.paper};
}

TMyCanvasColourRecAndTypeface SearchFoundColoursAndFontStyleFromNumber(int32_t n) noexcept {
  return {SearchFoundColoursFromNumber(n), TTypefaceSet{tf_bold}, TTypefaceSet{tf_bold}};
}

TColor TextColourFromNumber(int32_t n) noexcept {
  const int32_t scheme = HitColourScheme(n);
  return scheme == 0 ? Global_BaseTextColour : kTextColours[static_cast<size_t>(scheme)];
}

}  // namespace qn
