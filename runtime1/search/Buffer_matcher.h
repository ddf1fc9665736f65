// The buffer matcher: finds the next occurrence of one search word in a text
// buffer and, in the same pass, counts the words, sentences, paragraphs,
// headings and sections it moves over.
//
// The text is UTF-16 or 8-bit (one byte per character, compared by its
// unsigned value); beside it lies its detail array (runtime1/text/
// Bare_assemb3.h): class flags, the markup bit, or a text-segment marker. The
// search word comes as three copies of equal length in the parsed work form
// (lower, upper, title; all three the same text when case matters), so case is
// never folded while matching.
//
// Matching rules, as the tools' users rely on them:
//   - A hit starts at a character that is not inside markup (unless the
//     search word itself starts with a tag code U+0019). Left-bounded: the
//     character before it is not a letter or digit, or lies in markup, or is a
//     marker; the first character of the text has no character before it.
//   - After the first character, each step onto a run of markup characters
//     passes over the whole run while the search word is not inside markup.
//     The search word is inside markup from its U+0019 up to and including its
//     U+0018; both codes compare literally with the text's tag codes.
//   - U+001A: one whole word: the character met and everything up to the next
//     white character (markup passed over). Inside markup: everything up to the
//     next U+0020, and the search-word unit after it is taken as matched.
//   - U+001B: a run of digits. U+001E: one letter. U+001C: one letter, digit
//     or punctuation character. Before a space of the search word, U+001E and
//     U+001C meet a separator by matching nothing (never at the first unit,
//     where a separator is no match).
//   - U+001D before a space or at the end: the characters up to the next
//     separator (nothing when the character met is one). Inside a word: the
//     characters up to the first one equal to the next unit (which is then
//     taken), stopped without a hit by a code unit at or below U+0020 or the
//     end of the text. The star stays pending: when a later unit fails on a
//     character above U+0020, the star takes that character too and looks for
//     its next unit again from the character after it.
//   - A space of the search word matches a space or, outside markup, any
//     white separator, and then passes the white run after it (the run of
//     separators with skip-punctuation on); outside markup it also matches a
//     punctuation character: with skip-punctuation on that character and the
//     run of separators after it, with it off exactly that character.
//   - Any other unit matches the same code unit in one of the three copies.
//   - A hit needs every unit matched: the end of the text with a unit left is
//     no hit. Right-bounded: the character after the hit is not a letter or
//     digit (or is a marker, or there is none). Not right-bounded: the hit's
//     full length runs on over letters, digits and characters whose detail is
//     exactly 0x0200.
//   - A marker detail has no character class: it is never a letter, digit,
//     punctuation, white or separator for any of the rules above, and a marker
//     never counts as markup. Its character still compares literally.
// Counting, in the scan for a hit's first character only (so every character
// of a buffer is counted once over the calls of one search): a white character
// followed by a non-white one starts a word (the end of the text counts as
// non-white): word number + 1, and the position inside the current sentence,
// paragraph and section (and heading, inside one) + 1. A marker ends its unit:
// the section-end procedure is called with the unit's number and position,
// then number + 1 and position := 1. An even code ends a unit only when the
// text has no markers of the next odd code; 18 starts a heading (and also ends
// one when the text has no code 19). Null procedures are skipped.
//
// Reads stay inside [P, P + n) and the details from P's detail word for as
// many characters (fewer when the detail end says the array is shorter), plus
// the detail word before P when the details start lies before it. Nothing is
// allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Export.h"
#include "runtime1/search/Search_types.h"

namespace qn {

// One matcher call, 32-bit lengths throughout.
struct TMatchRequest {
  const void* text = nullptr;              // P: first character to examine
  int32_t n = 0;                           // characters from P to the end of the buffer
  const uint16_t* details = nullptr;       // P's detail word
  const uint16_t* detailsStart = nullptr;  // the text's first detail word; null: P is the first
  const uint16_t* detailsEnd = nullptr;  // start of the array + its characters + 1; null: n counts
  const char16_t* upper = nullptr;       // the three copies, L units each
  const char16_t* lower = nullptr;
  const char16_t* title = nullptr;
  int32_t L = 0;
  bool caseSensitive = false;
  bool leftBounded = false;
  bool rightBounded = false;
  bool bufferIsUnicode = true;
  bool skipPunctuation = false;
  bool has15 = false;  // the text holds markers of code 15, 17, 19, 21
  bool has17 = false;
  bool has19 = false;
  bool has21 = false;
};

// Runs remembered between the calls of one search, so that the calls over a
// long run of word characters (no blank for megabytes) do not scan the run again
// for every candidate: the ends of runs found so far, by kind of run, and the
// next stopping point of each star, and the outcome of each star's chain of
// stops (see the matcher), for every star of the search word. A memo serves
// one search word over one buffer; it notices a different buffer end or
// search word and starts afresh, and Reset makes it forget in any case (the
// search-and-do engine resets it at the start of every search). Its storage is
// sized once per search word, by the word's number of stars, and kept: a memo
// reused for other words allocates only for a word with more stars than any
// before.
struct TMatcherMemo {
  struct TRun {
    const uint16_t* from = nullptr;  // the run of one kind holds on [from, end)
    const uint16_t* end = nullptr;
  };
  static constexpr int kRunKinds = 7;
  // The stops one star inside a word meets over a candidate, from a later
  // stop on to the last one, and what came of them: the hit's end, or null.
  struct TChain {
    const uint16_t* from = nullptr;
    const uint16_t* last = nullptr;
    const uint16_t* end = nullptr;
  };
  // A chain met over one candidate, kept until the candidate's outcome is
  // known (character indexes from the call's first character).
  struct TLearned {
    int32_t star = 0;
    int32_t from = 0;
    int32_t last = 0;
  };
  TRun runs[kRunKinds];
  std::vector<TRun> stars;  // one per star of the search word, by order
  std::vector<TChain> chains;
  std::vector<TLearned> learned;  // scratch of one call, one per star
  const uint16_t* limit = nullptr;
  const char16_t* lower = nullptr;
  int32_t L = 0;
  bool caseSensitive = false;
  bool skipPunctuation = false;

  // Forgets everything, keeping the storage.
  void Reset() noexcept;
  // Forgets everything and makes room for a search word of starCount stars.
  void Prepare(size_t starCount);
};

// Finds the next hit from r.text on. Returns its character index from r.text
// (or -1) and sets hitCharacters (with the right-end extension) and
// exactHitLen (without it) for a hit; updates the counts and the in-heading
// flag as described above. With L <= 0, n <= 0 or a missing text, details or
// copy it returns -1 at once, changing nothing. memo may be null.
QN_API int32_t FindWantedInBuffer(const TMatchRequest& r, TSearchStatsRec& stats, bool& inHeading,
                                  int32_t& hitCharacters, int32_t& exactHitLen,
                                  TMatcherMemo* memo = nullptr);

// The form the suite's tools call by name: 16-bit lengths. A hit length above
// 65,535 is given as 65,535. skipMarkup is accepted and changes nothing
// (markup is marked in the detail array). Returns the hit's first character
// or null.
QN_API const void* NewFindWantedInBuffer(const void* P, int32_t n, const uint16_t* details,
                                         const uint16_t* detailsStart, const uint16_t* detailsEnd,
                                         const char16_t* upperCopy, const char16_t* lowerCopy,
                                         const char16_t* titleCopy, uint16_t L, bool caseSensitive,
                                         bool leftBounded, bool rightBounded, bool bufferIsUnicode,
                                         bool skipPunctuation, bool skipMarkup,
                                         uint16_t& hitCharacters, uint16_t& exactHitLen,
                                         TSearchStatsRec& stats, bool& inHeading, bool has15,
                                         bool has17, bool has19, bool has21);

}  // namespace qn
