// Text-section scanning support: the character-detail word, the refinement
// of detail arrays for characters that join the parts of a word or of a
// number, the four procedure variables through which the matcher reports the
// ends of sentences, paragraphs, headings and sections, and a few small
// in-place buffer routines.
//
// A detail array holds one 16-bit word per buffer character, at the same
// index. Its low bits are the CT_CTYPE1 class flags (platform/CharTypes.h);
// the buffer's preparer adds the markup bit (the character lies inside a tag)
// or replaces a word by a text-segment marker (top bit set, code in the low
// 11 bits). The owner allocates two spare zero words after the last
// character; the routines here never read beyond the count they are given.
//
// Ends of the buffer: a middle character next to either end of the buffer is
// treated like one anywhere else. The neighbour searches reach the first and
// the last character, so in "x-y" with the hyphen allowable the hyphen joins
// x and y, and a trailing "-" (no right neighbour) keeps its class.
//
// The section-end variables are process-wide and read without a lock by
// every matcher call: assign them before a search starts, not during one.
// The other routines touch only their arguments.
#pragma once

#include <cstdint>

#include "platform/CharTypes.h"
#include "platform/Export.h"

namespace qn {

// --- The character-detail word --------------------------------------------------

inline constexpr uint16_t kDetailInMarkup = 0x0800;  // inside a tag
inline constexpr uint16_t kDetailMarker = 0x8000;    // a text-segment marker, not a class
inline constexpr uint16_t kDetailMarkerCodeMask = 0x07FF;

// Marker codes (in the low 11 bits of a marker word).
inline constexpr uint16_t kMarkerSentenceEnd = 14;    // and 15
inline constexpr uint16_t kMarkerSentenceEnd2 = 15;
inline constexpr uint16_t kMarkerParagraphEnd = 16;   // and 17
inline constexpr uint16_t kMarkerParagraphEnd2 = 17;
inline constexpr uint16_t kMarkerHeadingStart = 18;
inline constexpr uint16_t kMarkerHeadingEnd = 19;
inline constexpr uint16_t kMarkerSectionEnd = 20;     // and 21
inline constexpr uint16_t kMarkerSectionEnd2 = 21;

// Masks in use.
inline constexpr uint16_t kDetailLetterOrDigit = platform::C1_ALPHA | platform::C1_DIGIT;  // 0x0104
inline constexpr uint16_t kDetailSeparator =
    platform::C1_SPACE | platform::C1_PUNCT | platform::C1_CNTRL | platform::C1_BLANK;   // 0x0078
inline constexpr uint16_t kDetailWhiteSpace =
    platform::C1_SPACE | platform::C1_CNTRL | platform::C1_BLANK;                        // 0x0068

// The classes given to reclassified characters.
inline constexpr uint16_t kDetailAsLetter =
    platform::C1_DEFINED | platform::C1_ALPHA | platform::C1_LOWER;  // 0x0302
inline constexpr uint16_t kDetailAsDigit = platform::C1_DEFINED | platform::C1_DIGIT;  // 0x0204

inline constexpr bool IsMarkerWord(uint16_t detail) noexcept { return (detail & kDetailMarker) != 0; }
inline constexpr uint16_t MarkerCode(uint16_t detail) noexcept {
  return static_cast<uint16_t>(detail & kDetailMarkerCodeMask);
}
inline constexpr uint16_t MarkerWord(uint16_t code) noexcept {
  return static_cast<uint16_t>(kDetailMarker | (code & kDetailMarkerCodeMask));
}

// --- Middle characters ------------------------------------------------------------

// Reclassifies the middle characters of a buffer of numChars characters
// (UTF-16 when isUnicode, else 8-bit, where an allowable is compared by its
// low 8 bits). For each of the numAllowables characters of wide_allowables in
// turn, every occurrence outside markup becomes a letter (0x0302) when its
// nearest non-markup neighbours on both sides are letters or digits, or a
// digit (0x0204) when either of them is a digit. A marker word or the end of
// the buffer stops a neighbour search with failure. allow_middles_at_left
// (at_right) skips the check on that side. Changes take effect at once, so a
// character reclassified for an earlier allowable is a neighbour for later
// ones. Nothing happens for no allowables, no characters or null pointers.
QN_API void HandleMiddleChars(const void* buffer, uint16_t* details, const char16_t* wide_allowables,
                              uint16_t numAllowables, int32_t numChars, bool isUnicode,
                              bool allow_middles_at_right, bool allow_middles_at_left) noexcept;

// Marks as digits (0x0204) the separators inside numbers: a ".", ",", U+00B7
// or (when spacesAllowed) a space with a digit directly on each side. The
// scan runs left to right over the updated words, so "1.2.3" becomes one run.
QN_API void HandleMiddleCharsInNumbers(bool isUnicode, bool spacesAllowed, const void* buffer,
                                       uint16_t* details, int32_t numChars) noexcept;

// --- Section handlers ----------------------------------------------------------------

// Called with the running number of the sentence, paragraph, heading or section
// that has just ended and the position where it ends.
using THandleTextSectionProc = void (*)(int32_t aNumber, int32_t aEnds_at);

// The procedure the four variables hold until a tool assigns its own.
QN_API void DoNothingWithTextSection(int32_t aNumber, int32_t aEnds_at) noexcept;

extern QN_API THandleTextSectionProc HandleSentenceEndProc;
extern QN_API THandleTextSectionProc HandleParagraphEndProc;
extern QN_API THandleTextSectionProc HandleHeadingEndProc;
extern QN_API THandleTextSectionProc HandleSectionEndProc;

// Puts the do-nothing procedure back into all four variables.
QN_API void ResetTextSectionHandlers() noexcept;

// --- Small buffer routines --------------------------------------------------------------

// Removes every occurrence of unit from the first length units, compacting in
// place; when length is above 0 a zero unit is written at the new end (which
// is inside the range when anything was removed, else at index length: the
// buffer needs length + 1 units then). Returns the new length.
QN_API int32_t RemoveCharA(char* buffer, char unit, int32_t length) noexcept;
QN_API int32_t RemoveCharW(char16_t* buffer, char16_t unit, int32_t length) noexcept;

// Every first within the first length units becomes second.
QN_API void ReplaceChar1ByChar2W(char16_t* buffer, char16_t first, char16_t second,
                                 int32_t length) noexcept;

// 1-based position of the first of the first count elements equal to value;
// 0 when none is (or count is 0 or less).
QN_API int32_t ScanForInt(int32_t value, const int32_t* values, int32_t count) noexcept;

}  // namespace qn
