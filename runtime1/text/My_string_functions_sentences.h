// Sentences, lines and replacement: where sentences end, how a paragraph
// splits into sentences, line-end conversion and cleaning, cutting a text into
// chunks, and replacing characters or substrings (also at hit positions that
// a search recorded earlier).
//
// Conventions (those of the rest of the string library):
//   - strings are UTF-16 code units, surrogate pairs not combined; 8-bit
//     strings hold text in the active code page;
//   - positions are 1-based; a position outside the string reads as "nothing
//     there": it is clamped (below 1 to 1, beyond the end to the length) where
//     a function starts a scan, and never indexes outside the string;
//   - letters and digits are those of My_string_functions_words (Lu, Ll, Lt,
//     Lm, Lo, Nd);
//   - odd input gives an empty or unchanged result, never an error.
//
// Every function runs in time linear in its input, also on hostile text (a
// run of "<" without ">", a run of punctuation). Nothing here keeps state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_base.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/text/My_string_functions_words.h"  // TStringAndIntegerRec

namespace qn {

namespace platform {
class TStringList;
}

// ---------------------------------------------------------------------------
// Recorded hits.

// One recorded hit: which conversion it belongs to, its number, and its place
// and length in code units.
struct TInsertedTextRec {
  int32_t text_convert_num = 0;
  int32_t hit_number = 0;
  int32_t hit_place_in_chars = 0;
  int32_t exact_hit_len = 0;
  friend bool operator==(const TInsertedTextRec&, const TInsertedTextRec&) = default;
};

// Owns one TInsertedTextRec.
class QN_API TInsertedTextHolder : public TDataHolder<TInsertedTextRec> {
 public:
  using TDataHolder::TDataHolder;
  ~TInsertedTextHolder() override;
};

// Recorded hits in hit order; owns its holders.
class QN_API TInsertedTextPositionList : public TUsefulBaseList {
 public:
  TInsertedTextPositionList();
  ~TInsertedTextPositionList() override;

  // Appends a copy of rec; returns its index.
  int32_t AddOne(const TInsertedTextRec& rec);
  // hit_place_in_chars of entry index (0-based), 0 outside the list.
  int32_t GetAHitStart(int32_t index) const noexcept;
  // A copy of entry index, all zero outside the list.
  TInsertedTextRec GetOne(int32_t index) const noexcept;
};

// Whether a recorded place marks the start (at_left) or the position just
// after the end (at_right) of a hit.
enum TRightOrLeft : uint8_t { at_left, at_right };

// ---------------------------------------------------------------------------
// Sentence ends.

// "!", "." and "?", and the further terminators of the other scripts; never a
// code unit below U+0021 or in U+0040..U+007D.
QN_API bool IsPotentialSentenceTerminator(char16_t c) noexcept;

// The first position p at or after from where a letter or digit has been met
// (at p or earlier in the scan), s[p] is a terminator or the last unit, and
// s[p + 1] is not a letter or digit. -1 when from is beyond the end or no
// position qualifies. «e.g. this» ends at 4, "3.14" nowhere but its end, and
// «Wow!!» at 4, where the run of "!" begins.
QN_API int32_t EndOfSentence(int32_t from, std::u16string_view s) noexcept;
// The first letter or digit at or after from, the last position at the
// latest; 0 for an empty string.
QN_API int32_t FirstLetterOrDigitPosAfterSentenceEnd(std::u16string_view s, int32_t from) noexcept;
// False only when s[pos] is a lower-case letter and pos is not the last
// position (a position outside the string is not lower-case).
QN_API bool FirstCharAfterSentenceEndUpperCase(std::u16string_view s, int32_t pos) noexcept;
// The first letter or digit at or after from that can start a sentence (not a
// lower-case letter unless it is the last unit), skipping sentences that begin
// in lower case; the length of s when none is found.
QN_API int32_t FirstValidStartOfSentence(std::u16string_view s, int32_t from) noexcept;

// ---------------------------------------------------------------------------
// Sentences of a paragraph. Both return a new list that the caller owns.

// Sentences start at an upper-case, title-case or caseless letter or a number
// and end at a terminator (other punctuation, Po) that follows at least
// minLength word characters and is not followed by a digit; with lastIsEnd the
// end of the text ends a pending sentence too. Each sentence, trimmed of units
// up to U+0020, is kept when longer than minLength.
QN_API platform::TStringList* SentencesExtractedFromParagraph(bool lastIsEnd, int32_t minLength,
                                                              std::u16string_view text);

// With a separator: the pieces between its occurrences, trimmed, the empty
// ones dropped («One.Two» with "." gives "One" and "Two"). Without one: split
// by the character classes of the locale, where a terminator followed by a
// lower-case letter or digit, or whose next word starts in lower case, ends no
// sentence, and tags (a "<" with its ">" at most maxTagLength units on) count
// as punctuation.
QN_API platform::TStringList* SentencesFromParagraph(std::u16string_view text, std::u16string_view separator,
                                                     uint32_t locale, int32_t maxTagLength);

// ---------------------------------------------------------------------------
// Lines and chunks.

// Every LF without a CR before it gets one, every CR without an LF after it
// (other than a final CR) gets one; insertions receives the number of code
// units added.
QN_API std::u16string UnixStringToWindowsStringW(int32_t& insertions, std::u16string_view s);
QN_API std::string UnixStringToWindowsString(int32_t& insertions, std::string_view s);
// s without the spaces (U+0020) that directly follow each CR LF.
QN_API std::u16string StrippedSpacesAtLineStarts(std::u16string_view s);
// Every run of CR and LF units that begins with a CR becomes one CR LF.
QN_API std::u16string StrippedMultipleLineEnds(std::u16string_view s);
// Such runs holding more than keep line ends (CR LF, a lone CR and a lone LF
// count one each) become keep CR LFs; keep below 1 counts as 1.
QN_API std::u16string StrippedMultipleLineEnds(std::u16string_view s, int32_t keep);
// At most maxLength units of s (up to a zero unit), each run of units up to
// U+0020 turned into one space; "" when maxLength < 1.
QN_API std::u16string StripWhiteSpaceAndCRLFW(std::u16string_view s, int32_t maxLength);
// s without its blank lines: lines (cut at CR LF) made only of units up to
// U+0020 go together with their CR LF; the other lines keep theirs.
QN_API std::u16string RemovedEmptyLinesOf(std::u16string_view s);
// s cut after the first unit of each occurrence of mark that lies at least
// minimum units after the current chunk's start; each chunk is written as
// prefix, chunk, CR LF, and the rest as prefix and rest. An empty mark gives
// prefix and s.
QN_API std::u16string StringInNCharacterChunks(std::u16string_view s, std::u16string_view prefix,
                                               std::u16string_view mark, int32_t minimum);

// ---------------------------------------------------------------------------
// Replacement.

// Every c1 in s becomes c2; the number of replacements.
QN_API int32_t Replace1With2In(char16_t c1, char16_t c2, std::u16string& s) noexcept;
QN_API int32_t Replace1With2In(char c1, char c2, std::string& s) noexcept;
// Every c1 becomes r1, then every c2 becomes r2 (so a c1 turned into c2 is
// replaced again); the total.
QN_API int32_t Replace2With4In(char16_t c1, char16_t c2, char16_t r1, char16_t r2, std::u16string& s) noexcept;
// result.s receives s with every unit that occurs in chars replaced by r;
// result.i grows by the number of replacements.
QN_API void ReplaceAnyOfTheseWithChar(std::u16string_view chars, std::u16string_view s, char16_t r,
                                      TStringAndIntegerRec& result);

// Options of AnsiStringReplace.
enum TReplaceFlag : uint8_t { rfReplaceAll = 0x01, rfIgnoreCase = 0x02 };
using TReplaceFlags = uint8_t;

// old replaced by new in an 8-bit string, left to right, the first occurrence
// only or (rfReplaceAll) every one. With rfIgnoreCase both sides are compared
// after the same folding: the user's locale's upper-casing in a single-byte
// active code page, a-z only in a multi-byte one (where folding bytes would
// touch trail bytes). Embedded zero bytes are ordinary bytes. s comes back
// unchanged when s or old is empty.
QN_API std::string AnsiStringReplace(std::string_view s, std::string_view old, std::string_view new_,
                                     TReplaceFlags flags);

// text with the occurrences of old recorded in hits replaced by new. Each
// entry's place is the 1-based start of an occurrence, or (side at_right) the
// position just after it. Entries out of order, overlapping an earlier one,
// before position 1 or reaching past the end are skipped.
QN_API std::u16string CopyStringsReplacing(std::u16string_view text, std::u16string_view old,
                                           std::u16string_view new_, const TInsertedTextPositionList& hits,
                                           TRightOrLeft side);

}  // namespace qn
