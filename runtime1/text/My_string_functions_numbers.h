// The string library's numbers for people: sizes, p-values, ordinals and
// decimals; the suite's notation for lists of numbers ("1-3,5"); characters
// given by number ("65,66," "#x41;" "{CHR(65)}").
//
// Strings are UTF-16 with 1-based positions. Numbers are formatted with the
// suite's format settings (UserDefaultFormatSettings: the decimal and
// thousands separators and month names of the user's locale).
//
// Range lists and numbers come from what users type, so every reader here is
// bounded: a list whose expansion would hold more than kMaxNumbersInRangeList
// numbers, or a number that does not fit 32 bits, expands to nothing (an
// empty text or array) instead of exhausting memory; a reversed range ("3-1")
// gives no numbers. Nothing here keeps state; every function may run on any
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

using TArrayOfIntegers = std::vector<int32_t>;

// The most numbers a range list may expand to.
inline constexpr int32_t kMaxNumbersInRangeList = 1'000'000;

// Localizable texts.
extern QN_API std::u16string _QNYes;  // "Yes"
extern QN_API std::u16string _QNNo;   // "No"
extern QN_API std::u16string _QNEtc;  // "etc."

// ---------------------------------------------------------------------------
// Numbers for people.

// x divided by 1000 while above 1000, with K, M, G or Yikes for one, two,
// three or more divisions: 1500 -> "1.5K", 999 -> "999". Not-a-number and
// infinities are written as FloatToStr writes them.
QN_API std::u16string EasiestNRepresentationOfLargeNumber(float x);
// x with decimals decimals (0 .. 18), thousand separators when thousands, and
// "%" appended when percent.
QN_API std::u16string FormattedWithDecimals(double x, int32_t decimals, bool thousands,
                                           bool percent);
// p in fixed notation (17 significant digits, 16 decimals) without trailing
// zeros; within one ten-thousandth (relative) of 0.05 or of a power of ten
// from 0.1 down to 1E-10, p is taken as that value: 0.0500000001 -> "0.05".
QN_API std::u16string PValueStr(long double p);
// "%dst", "%dnd", "%drd" or "%dth" by n mod 10 (11 gives "%dst").
QN_API std::u16string OrdinalFormatOf(int32_t n);
// "<n>Gb" above 2^33 bytes, "<n>Mb" from 8,388,609, "<n>bytes" up to
// 1,048,576, else "<n>Kb" (whole units, rounded down).
QN_API std::u16string ValueToByteStr(int64_t v);
// n in decimal, left-padded with "0" to width characters (at most 4096).
QN_API std::u16string WithLeftZeros(int32_t width, int32_t n);
QN_API std::u16string YesorNo(bool b);
// True for a valid integer, for "", or when every character is a digit
// (ASCII or any Unicode decimal digit), "%", "," or ".".
QN_API bool IsANumber(std::u16string_view s);
// s when it is a valid integer, else its ASCII digits.
QN_API std::u16string DigitsOnlyOf(std::u16string_view s);
QN_API bool ContainsAPercent(std::u16string_view s) noexcept;
// The number formed by the ASCII digits directly after the first "["; 0 when
// there is no "["; raises EConvertError when no digits follow it (or they do
// not fit 32 bits).
QN_API int32_t IntegerInsideSquareBrackets(std::u16string_view s);
// First position at or after from (taken as at least 1) holding an ASCII
// digit; -1 when none.
QN_API int32_t PositionOfNumberInString(std::u16string_view s, int32_t from) noexcept;
// Of two search results (0 = not found): the smaller when both were found,
// else the one found, else 0.
QN_API int32_t NearerOfTwo(int32_t a, int32_t b) noexcept;
// NearerOfTwo of the positions of x and of y in s searched from position from
// (an empty needle or a from outside s finds nothing).
QN_API int32_t PosExNearer(std::u16string_view s, std::u16string_view x, std::u16string_view y,
                           int32_t from) noexcept;
QN_API uint32_t CheckSumOfABufferful(const void* buffer, int32_t byteCount) noexcept;
// The nearer of the occurrences of x and y in a zero-terminated buffer; null
// when neither occurs, or the buffer is null (an empty or null needle finds
// nothing).
QN_API const char* StrPosNearerA(const char* buffer, const char* x, const char* y) noexcept;
QN_API const char16_t* StrPosNearerW(const char16_t* buffer, const char16_t* x,
                                     const char16_t* y) noexcept;

// ---------------------------------------------------------------------------
// Number lists.

// The integers among the lines, in the order given, written compactly: runs
// of three or more consecutive numbers as "a-b", everything else separated by
// ",": 1,2,3,5 -> "1-3,5"; 1,2,5 -> "1,2,5"; 5,4 -> "5,4". Lines that are not
// integers are skipped.
QN_API std::u16string HumanAbbreviatedNumberListString(const platform::TStringList& list);
QN_API std::u16string HumanAbbreviatedNumberListString(const TArrayOfIntegers& integers,
                                                       int32_t offset);
// A new list (the caller owns it) with each integer + offset as a line.
QN_API std::unique_ptr<platform::TStringList> TArrayOfIntegersToStringlist(
    const TArrayOfIntegers& integers, int32_t offset);

// The numbers of a range list in order, ranges expanded: "1-3,5" -> 1,2,3,5.
// Digits form numbers; "," ends an item; "a-b" is a range ("-b" starts at 0)
// that gives nothing when b < a; other characters are ignored. False (and no
// numbers) when the list would give more than kMaxNumbersInRangeList numbers
// or holds a number above 2147483647.
QN_API bool ExpandRangeList(std::u16string_view s, TArrayOfIntegers& numbers);
// The expanded numbers joined with ",": "1-3,5" -> "1,2,3,5"; "3-1" -> "".
QN_API std::u16string HumanAbbreviatedNumberListStringExpanded(std::u16string_view s);
// integers replaced by the expanded numbers, each decreased by offset.
QN_API void HumanAbbreviatedNumberListStringAsIntegers(std::u16string_view s, int32_t offset,
                                                       TArrayOfIntegers& integers);
// The first occurrence of each of "01" .. "12", in that order, replaced by the
// short month name.
QN_API std::u16string HumanAbbreviatedNumberListStringToMonths(std::u16string_view s);
// The n-th (1-based) number of the expanded list as text; the last one when n
// exceeds the count; "" when there is none or n < 1.
QN_API std::u16string ANumberInHumanString(std::u16string_view s, int32_t n);
// Clears flags, then sets the entries the comma-separated items name: "n",
// "-n" (0 .. n) or "a-b" (a .. b, nothing when b < a). With zeroBased an item
// n names entry n, else entry n - 1; entries are clamped into the array, so a
// huge range costs no more than the array's size. Integers as the platform
// reads them (decimal, or hexadecimal after "$").
QN_API void ConvertStringToRangeOfBoolean(std::u16string_view s, bool zeroBased,
                                          std::vector<bool>& flags);

// ---------------------------------------------------------------------------
// Characters given by number.

// Each code unit as decimal followed by ",": "AB" -> "65,66,".
QN_API std::u16string PwdToNumStr(std::u16string_view s);
// The inverse: each number followed by "," becomes that code unit; numbers
// that are not integers in 0 .. 65535 are skipped; text after the last ","
// is ignored.
QN_API std::u16string FromNumStr(std::u16string_view s);
// Each code unit as hexadecimal (at least two digits) followed by ",".
QN_API std::u16string ToHexNumStr(std::u16string_view s);
// s read in groups of three characters, the first two of each a hexadecimal
// byte that becomes a code unit (groups that are not hexadecimal are skipped).
QN_API std::u16string FromHexNumStr(std::u16string_view s);
// s upper-cased; a leading "X" becomes "$"; a trailing "H" is removed and "$"
// put in front: "x41" and "41h" both give "$41".
QN_API std::u16string BracedNumberStrToDigitalformat(std::u16string_view s);
// Every code unit below limit written as "{CHR(<decimal>)}".
QN_API std::u16string QNFormattedWorkStringToReadableString(std::u16string_view s, int32_t limit);
// The inverse notations: "{CHR(65)}", "{chr(x41)}", "#65", "#x41;" -> "A".
// See the implementation for the exact two passes.
QN_API std::u16string QNFormattedReadableStringToWorkString(std::u16string_view s);

// Reads the content of a "{CHR(" ... ")}" notation (never empty): true with
// the code unit it names, false when it names none.
using TChrNotationReader = bool (*)(std::u16string_view content, char16_t& unit);
// Decodes "{CHR(" content ")}" notations, the one pass shared by the readers
// of notations. From a cursor at the start: the next "{CHR(" (the letters in
// any case) and the first ")}" after it; the pass ends when either is
// missing, and at an empty content when endAtEmptyContent (otherwise an empty
// content names no unit). A notation whose content names a unit becomes that
// unit and the cursor moves past it, so a produced unit is never read again;
// any other notation stays, and the cursor moves one place past its "{", as a
// notation may begin inside it. last, when given, receives each unit
// produced. Linear in the length of s: no content holding a "{" names a
// unit, so each part of s is read a bounded number of times however many
// openings share one ")}".
QN_API std::u16string DecodedChrNotations(std::u16string_view s, TChrNotationReader read,
                                          bool endAtEmptyContent, int32_t* last = nullptr);

}  // namespace qn
