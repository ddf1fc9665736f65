// The word-level core of the string library: character classes, letter case,
// word boundaries, words with tags attached, the angle-bracket markup of corpus
// texts (<p>, </p>, ...) and the small cleaning functions the tools apply to
// typed input and to lines of text.
//
// Conventions shared by every function here:
//   - strings are UTF-16 code units; surrogate pairs are not combined;
//   - positions are 1-based; a plain search result is 0 when nothing is found,
//     and the functions documented with "-1" return -1 for "none";
//   - every function returns a new value and leaves its arguments alone,
//     except the three Win...Cased / Capitalise routines, which change the
//     caller's zero-terminated buffer in place;
//   - odd input (empty strings, positions outside the string) gives an empty
//     or unchanged result, never an error.
//
// Character classes come from the Unicode general category of the single code
// unit (see the predicates below). Upper- and lower-casing of whole strings is
// the locale-independent simple case mapping, so results keep the input's
// length; WinLowerCased, WinUpperCased and Capitalise use the platform's
// linguistic casing for a locale.
//
// Nothing here keeps state; every function may run on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_records.h"  // T2StringsAndIntegerRec
#include "runtime1/text/My_search_flags.h"

namespace qn {

class TQNLongintList;

// ---------------------------------------------------------------------------
// Records and enumerations.

// A word split around the first tag attached to it: the tag in front of it,
// the word itself, a tag inside it and a tag after it.
struct TPalavra {
  std::u16string prefixo;
  std::u16string raiz;
  std::u16string infixo;
  std::u16string sufixo;
};

struct TStringAndIntegerRec {
  std::u16string s;
  int32_t i = 0;
};

struct TTwoStringHalves {
  std::u16string before;
  std::u16string after;
};

// How a column of results shows its words.
enum TOutput_results_case : uint8_t {
  upper_case_output,
  title_case_output,
  lower_case_output,
  as_it_comes_output,
};

// States of a comment stripper, declared for callers.
enum Tstrip_states : uint8_t {
  ss_normal,
  ss_brace_comment,
  ss_bracketstar_comment,
  ss_quote,
  ss_compiler_directive,
  ss_double_slash,
};

// Called for each stretch found by the first FindAndStudyStringInText; true
// stops the walk.
using TStudyStringProc = bool (*)(const TStringAndIntegerRec& found, void* userValue);
// Called for each stretch found by the second FindAndStudyStringInText with
// the text before it, the stretch, its position and how far into the text it
// lies in percent; true stops the walk.
using TStudyStringMethod = platform::TMethod<bool(const std::u16string& context,
                                                  const std::u16string& stretch,
                                                  int32_t position, int32_t percent)>;
// Asked about each unclosed start tag that OpenWithoutCloseTagInText finds;
// true accepts it.
using TOpenTagMethod = platform::TMethod<bool(const T2StringsAndIntegerRec& candidate)>;

// ---------------------------------------------------------------------------
// Character classes of one code unit (Unicode general category).

// Lu, Ll, Lt, Lm, Lo or Nd.
QN_API bool IsLetterOrDigitUnit(char16_t c) noexcept;
// Lu.
QN_API bool IsUpperCaseLetterUnit(char16_t c) noexcept;
// Ll.
QN_API bool IsLowerCaseLetterUnit(char16_t c) noexcept;
// U+0009..U+000D, U+0020, U+0085, U+00A0, Zs, Zl, Zp.
QN_API bool IsWhiteSpaceUnit(char16_t c) noexcept;
// Pc, Pd, Ps, Pe, Pi, Pf, Po.
QN_API bool IsPunctuationUnit(char16_t c) noexcept;

// ---------------------------------------------------------------------------
// Letter case.

// False as soon as one code unit is a lower-case letter (true for "").
QN_API bool IsAllUppercase(std::u16string_view s) noexcept;
// s is not empty and starts with an upper-case letter.
QN_API bool FirstLetterIsCapitalised(std::u16string_view s) noexcept;
// The first lower-case letter of s, skipping modifier and other letters, marks,
// punctuation, separators, other symbols and controls; U+0000 when an
// upper-case or title-case letter, a number or a currency symbol comes first,
// or when there is none.
QN_API char16_t FirstCharIsLowerCase(std::u16string_view s) noexcept;
// Whether the first letter or digit at or after from (the last code unit at
// the latest) is an upper-case letter. False for "" and a from beyond the end.
QN_API bool NextWordCapitalised(std::u16string_view s, int32_t from) noexcept;
// s lower-cased with its first code unit upper-cased; with everyWord also every
// code unit that follows one below "0" or one of : ; < = > ? @ [ \ ] ^ _ `.
QN_API std::u16string TitleCase(std::u16string_view s, bool everyWord);
// s in the case a results column asks for (title case: every word).
QN_API std::u16string OutputConvertedStr(TOutput_results_case outputCase, std::u16string_view s);
// Position of needle in s ignoring case (both upper-cased), 0 when absent.
QN_API int32_t CaseInsensitivePos(std::u16string_view needle, std::u16string_view s);
// The same for a needle that is upper-case already.
QN_API int32_t CaseInsensitiveUpperedPos(std::u16string_view upperNeedle, std::u16string_view s);
// Change a zero-terminated buffer in place with the locale's linguistic casing
// (char16_t text when isUTF16, else 8-bit text in the locale's code page) and
// return the buffer. A null buffer is returned as it is.
QN_API void* WinLowerCased(uint32_t locale, void* buffer, bool isUTF16) noexcept;
QN_API void* WinUpperCased(uint32_t locale, void* buffer, bool isUTF16) noexcept;
// Upper-cases like WinUpperCased and returns the number of units the mapping
// handled, terminator included (0 for a null buffer).
QN_API int32_t Capitalise(uint32_t locale, void* buffer, bool isUTF16) noexcept;

// ---------------------------------------------------------------------------
// Words and boundaries.

QN_API bool ContainsAlphanumCharacter(std::u16string_view s) noexcept;
// The number of maximal runs of letters or digits.
QN_API int32_t BasicWordCount(std::u16string_view s) noexcept;
// first = 1, or s[first-1] exists and is not a letter or digit.
QN_API bool BoundedAtLeft(std::u16string_view s, int32_t first, int32_t last) noexcept;
// last = length(s), or s[last+1] exists and is not a letter or digit.
QN_API bool BoundedAtRight(std::u16string_view s, int32_t first, int32_t last) noexcept;
QN_API bool BoundedWholeWord(std::u16string_view s, int32_t first, int32_t last) noexcept;
// True unless s[first-1] exists and is a letter or digit.
QN_API bool IsBoundedOnLeft(std::u16string_view s, int32_t first) noexcept;
// after is the position just behind a word: true unless s[after] exists and is
// a letter or digit.
QN_API bool IsBoundedOnRight(std::u16string_view s, int32_t after) noexcept;
QN_API bool IsWholeWord(std::u16string_view s, int32_t first, int32_t after) noexcept;
// The first whole-word occurrence of x in text at or after from
// (case-sensitive), 0 when none.
QN_API int32_t WholeWordPositionOfXinUpcaseText(int32_t from, std::u16string_view x,
                                                std::u16string_view text) noexcept;
// The first occurrence of needle (hits may overlap) that is bounded as flags
// ask (myLeftBounded, myRightBounded); -1 when needle or text is empty or no
// occurrence counts.
QN_API int32_t PosWordFoundIn(std::u16string_view needle, std::u16string_view text,
                              TMySearchFlags flags) noexcept;
// Every such occurrence in order, in a new list the caller owns.
QN_API TQNLongintList* PositionsWordFoundIn(std::u16string_view needle, std::u16string_view text,
                                            TMySearchFlags flags);
// From position from forwards: false at a letter or digit; at the first code
// unit above U+0020 that is not white space, whether it is punctuation; false
// at the end.
QN_API bool NextValidCharIsPunctuation(int32_t from, std::u16string_view s) noexcept;
// From the end backwards: true at a cased letter, a number or a currency
// symbol, false at punctuation, skipping everything else; false when none.
QN_API bool LastCharIsNotPunctuation(std::u16string_view s) noexcept;
// The nearest position below (backwards) or above pos whose code unit is above
// U+0020 and not white space; -1 when none.
QN_API int32_t NextOrLastNonSpaceCharPos(int32_t pos, std::u16string_view s, bool backwards) noexcept;
// Its code unit, U+0000 when none.
QN_API char16_t NextOrLastNonSpaceChar(int32_t pos, std::u16string_view s, bool backwards) noexcept;
// The first code unit above U+0020, -1 when none.
QN_API int32_t FirstCharPosAboveSpace(std::u16string_view s) noexcept;
// s holds a "<" and a ">" after it.
QN_API bool HasAffixes(std::u16string_view s) noexcept;
// Splits off the first tag of a word (in front, at the end, or inside).
QN_API TPalavra PalavraFromString(std::u16string_view s);

// ---------------------------------------------------------------------------
// Tags and markup (case-sensitive; first occurrences).

// Starts with "</".
QN_API bool IsAnOffTag(std::u16string_view s) noexcept;
// <p> -> </p>; any other non-empty string gets "/" in front.
QN_API std::u16string SameTagButSwitchedOff(std::u16string_view tag);
// <p>, 3 -> <p "3">; a tag not ending in ">" stays as it is.
QN_API std::u16string TagOnNumbered(std::u16string_view tag, int32_t n);
QN_API bool IsAngleBracketed(std::u16string_view s) noexcept;
QN_API std::u16string Angle_Bracketed(std::u16string_view s);
QN_API std::u16string Bracketed(std::u16string_view s);
QN_API std::u16string UNAngle_Bracketed(std::u16string_view s);
// The text between <tagName> and </tagName> (found true), or "" (found false).
QN_API std::u16string SimpleTagValue(std::u16string_view tagName, std::u16string_view text,
                                     bool& found);
// The same without code units up to U+0020 at both ends.
QN_API std::u16string TrimmedSimpleTagValue(std::u16string_view tagName, std::u16string_view text,
                                            bool& found);
// The text between the end of startMark and the next endMark, "" when either
// is absent.
QN_API std::u16string ExtractMarkupDataFromText(std::u16string_view text,
                                                std::u16string_view startMark,
                                                std::u16string_view endMark);
// The text without stretches open..close spanning at most maxSpan code units
// (an opening character without a close swallows the rest when that is short
// enough); unchanged when maxSpan < 1. Linear time.
QN_API std::u16string WithoutMarkup(std::u16string_view text, char16_t open, char16_t close,
                                    int32_t maxSpan);
QN_API std::u16string WithoutMarkup(std::u16string_view text, int32_t maxSpan);
// Every stretch open..close, concatenated; each opening character starts a
// stretch of its own, so nested openers give overlapping stretches.
QN_API std::u16string MarkupWithoutText(std::u16string_view text, char16_t open, char16_t close);
QN_API std::u16string MarkupWithoutText(std::u16string_view text);
// The file's text (as a string list loads it) without its < > markup.
QN_API std::u16string MarkupFreeTextFromAFile(std::u16string_view fileName, int32_t maxSpan);
// </p>, </div> and </head> (any case) replaced by CR LF.
QN_API std::u16string ParaDivHeadingEndToCRLF(std::u16string_view s);
// Up to n code units directly before position pos.
QN_API std::u16string PrecedingContext(std::u16string_view text, int32_t n, int32_t pos);
// Walks the open..close stretches of text, calling proc for each with its
// running number; returns how many stretches were passed to proc.
QN_API int32_t FindAndStudyStringInText(std::u16string_view text, std::u16string_view open,
                                        std::u16string_view close, void* userValue,
                                        TStudyStringProc proc);
// The same walk with the context before each stretch; returns the number of
// stretches passed to the callback.
QN_API int32_t FindAndStudyStringInText(std::u16string_view text, std::u16string_view open,
                                        std::u16string_view close, TStudyStringMethod callback,
                                        int32_t contextLength);
// The number of < > stretches, stopping once it exceeds limit.
QN_API int32_t NumberOfTagsWithinChunk(std::u16string_view text, int32_t limit);
QN_API int32_t NumberOfTagsWithinChunk(std::u16string_view text);
// The first start tag of text whose end tag never occurs in it ("" when none).
// The first two arguments are not consulted.
QN_API std::u16string OpenWithoutCloseTagInText(std::u16string_view ignored1,
                                                std::u16string_view ignored2,
                                                std::u16string_view text, bool skipPercent,
                                                bool onlyUpperCase, int32_t contextLength,
                                                TOpenTagMethod callback = {});

// ---------------------------------------------------------------------------
// Small cleaning functions.

QN_API std::u16string StrippedOfChar(std::u16string_view s, char16_t c);
QN_API std::u16string StrippedOfChars(std::u16string_view s, std::u16string_view set);
QN_API std::u16string StrippedOfCommas(std::u16string_view s);
// "&File" -> "File", "&&" -> "&".
QN_API std::u16string StrippedOfSingleAmpersands(std::u16string_view s);
// Runs of U+0020 reduced to one.
QN_API std::u16string StrippedDoubleSpaces(std::u16string_view s);
// "word , next" -> "word, next".
QN_API std::u16string StrippedSpacesBeforePunctuation(std::u16string_view s);
// Without white space at both ends.
QN_API std::u16string WideTrimSpaceOnly(std::u16string_view s);
QN_API std::u16string DoubleQuotesAdded(std::u16string_view s);
QN_API std::u16string DoubleQuotesRemoved(std::u16string_view s);
QN_API std::u16string RemovedInitialChar(std::u16string_view s, char16_t c);
QN_API std::u16string BackwardsStr(std::u16string_view s);
// "abc" -> "a b c ".
QN_API std::u16string InterspersedWithSpaces(std::u16string_view s);
// The first n code units, with U+2026 after them when withEllipsis and s was cut.
QN_API std::u16string FirstXCharactersOfString(std::u16string_view s, int32_t n, bool withEllipsis);
// s split around the first occurrence of mark (taken as one code unit long).
QN_API TTwoStringHalves StringHalvesSplitAtMark(std::u16string_view mark, std::u16string_view s);
// The part after the first "=", "" when none.
QN_API std::u16string ValueString(std::u16string_view s);
// The nearest CR or LF at or before pos, -1 when none.
QN_API int32_t BeginningOfSameLine(std::u16string_view s, int32_t pos) noexcept;
// The first byte c of a zero-terminated 8-bit buffer outside "..." and '...'
// (a quote preceded by a backslash does not close); null when c is only inside
// quotes or the buffer ends inside a quoted stretch.
QN_API const char* FirstCharInBufferNotInQuotes(const char* buffer, char c) noexcept;

}  // namespace qn
