// Colours of numbered search hits: hits cycle through five colour schemes,
// so that neighbouring hits of different search words stand apart.
#pragma once

#include <cstdint>

#include "platform/Export.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// The display theme's ordinary text colour, which hit number 0 (and every
// fifth) is shown in; a host with a theme sets it.
extern QN_API TColor Global_BaseTextColour;

// The scheme of hit number n is n mod 5, counted so that negative numbers
// also fall in 0..4.
QN_API int32_t HitColourScheme(int32_t n) noexcept;
// Text, selected text, background and selected background of hit n: the
// scheme's paper and ink colours, (paper, ink, ink, paper), and for scheme 2
// (paper, paper, ink, ink).
QN_API TMyCanvasColourRec SearchFoundColoursFromNumber(int32_t n) noexcept;
// The same colours, shown in bold.
QN_API TMyCanvasColourRecAndTypeface SearchFoundColoursAndFontStyleFromNumber(int32_t n) noexcept;
// The text colour of hit n: blue, green, dark blue, violet for schemes 1 to 4,
// Global_BaseTextColour for scheme 0.
QN_API TColor TextColourFromNumber(int32_t n) noexcept;

}  // namespace qn
