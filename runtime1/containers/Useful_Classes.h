// The typed list family: lists of numbers, pairs, triples and quadruples of
// numbers, values with frequencies and strings with attached values, each a
// thin class over the base lists (Useful_Classes_base.h) or the platform
// string list, with one holder object per record.
//
// This header gives the whole family:
//   Useful_Classes_records.h      item records, holders, the string record
//   Useful_Classes_numberlists.h  lists over the base lists (TQNLongintList, ...)
//   Useful_Classes_stringlists.h  string lists with an object per entry
//   Useful_Classes_search.h       the flag decorations of typed search words
//   Useful_Classes_filelist.h     the folder-efficient file list
//   Useful_Classes_simplesearch.h the simple search list
// and declares the free functions: the comparisons every sort uses, the sort
// callbacks of the base lists, record swaps, byte divisions and key=value
// helpers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_numberlists.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/containers/Useful_Classes_filelist.h"
#include "runtime1/containers/Useful_Classes_search.h"
#include "runtime1/containers/Useful_Classes_simplesearch.h"
#include "runtime1/containers/Useful_Classes_stringlists.h"

namespace qn {

namespace platform {
class TStringList;
}

// ---------------------------------------------------------------------------
// Comparisons: -1, 0 or 1 unless stated.

QN_API int32_t CompareLongints(int32_t a, int32_t b) noexcept;
QN_API int32_t CompareCardinals(uint32_t a, uint32_t b) noexcept;
QN_API int32_t CompareInt64s(int64_t a, int64_t b) noexcept;
// NaN compares equal to everything, so a sort over NaNs stays an order.
QN_API int32_t CompareSingles(float a, float b) noexcept;
QN_API int32_t Compare16BitWords(uint16_t a, uint16_t b) noexcept;
QN_API int32_t CompareChars(char16_t a, char16_t b) noexcept;
QN_API int32_t CompareBytes(uint8_t a, uint8_t b) noexcept;
// Descending: -1 when a is later than b, so sorting puts the latest first.
QN_API int32_t CompareDates(double a, double b) noexcept;
QN_API int32_t CompareJulianDates(double a, double b) noexcept;
// Code unit by code unit; 0 only for identical strings; a prefix comes first.
QN_API int32_t Compare2Strings(std::u16string_view a, std::u16string_view b) noexcept;
QN_API int32_t Compare2CardinalsCard1(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b) noexcept;
QN_API int32_t Compare2CardinalsCard2(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b) noexcept;
QN_API int32_t CompareIntAnd2CardinalsCard1(const TIntegerAnd2CardinalsRec& a,
                                            const TIntegerAnd2CardinalsRec& b) noexcept;
QN_API int32_t CompareIntAnd2CardinalsCard2(const TIntegerAnd2CardinalsRec& a,
                                            const TIntegerAnd2CardinalsRec& b) noexcept;
// Signed.
QN_API int32_t CompareIntAnd2CardinalsFreq(const TIntegerAnd2CardinalsRec& a,
                                           const TIntegerAnd2CardinalsRec& b) noexcept;
QN_API int32_t CompareIntAnd3CardinalsCard1(const TIntegerAnd3CardinalsRec& a,
                                            const TIntegerAnd3CardinalsRec& b) noexcept;
QN_API int32_t CompareIntAnd3CardinalsCard2(const TIntegerAnd3CardinalsRec& a,
                                            const TIntegerAnd3CardinalsRec& b) noexcept;
QN_API int32_t CompareIntAnd3CardinalsCard3(const TIntegerAnd3CardinalsRec& a,
                                            const TIntegerAnd3CardinalsRec& b) noexcept;
// freq compared as unsigned.
QN_API int32_t CompareIntAnd3CardinalsFreq(const TIntegerAnd3CardinalsRec& a,
                                           const TIntegerAnd3CardinalsRec& b) noexcept;
// The two texts as zero-terminated text (an embedded zero ends a text): the
// difference of the first differing code units, 0 when equal.
QN_API int32_t CrudeStringComparison(std::u16string_view a, std::u16string_view b) noexcept;
// The locale-aware comparison with the flags my_default_sort: -1, 0 or 1. A
// null text is empty.
QN_API int32_t ComparePWidechar(uint32_t locale, const char16_t* a, const char16_t* b);
QN_API int32_t ComparePAnsichar(uint32_t locale, const char* a, const char* b);
QN_API int32_t LCIDStringComparison(std::u16string_view a, std::u16string_view b, uint32_t locale);
// For string lists whose objects hold integers: descending by the integer,
// ties ascending by Compare2Strings.
QN_API int StringListCompareDescFreq(platform::TStringList& list, int32_t index1, int32_t index2);

// Sort callbacks for TUsefulBaseListSorts::Sort, comparing two holders'
// values ascending (an empty slot counts as the smallest value).
QN_API int32_t SortLongints(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2);
QN_API int32_t SortCardinals(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2);
QN_API int32_t SortSingles(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2);
QN_API int32_t SortInt64s(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2);
// TIntegerAnd3CardinalsHolder by freq, compared as unsigned.
QN_API int32_t SortIntegerAnd3CardinalsFreq(const TUsefulBaseListObject* Item1,
                                            const TUsefulBaseListObject* Item2);

// Swaps two records.
QN_API void ExchangeTwoDoubleCardinalRecs(Tdouble_cardinal_rec& a, Tdouble_cardinal_rec& b) noexcept;
QN_API void ExchangeTwoDoubleLongintRecs(T2_longint_rec& a, T2_longint_rec& b) noexcept;
QN_API void ExchangeTwoSmallAndLongRecs(TSmall_and_long_rec& a, TSmall_and_long_rec& b) noexcept;
QN_API void ExchangeTwoPointerAnd2CardinalsRecs(TPointerAnd2CardinalsRec& a,
                                                TPointerAnd2CardinalsRec& b) noexcept;
QN_API void ExchangeTwoIndexAndPointerRecs(TIndexAndPointerRec& a, TIndexAndPointerRec& b) noexcept;

// n boundaries that split total bytes into n parts: element i is (i + 1) times
// total / n (held as a 32-bit float), rounded half to even. Empty for n <= 0.
QN_API std::vector<int64_t> ComputedByteDivisions(int64_t total, int32_t n);

// For "key = value": the trimmed text before the first '=' (empty without
// one), and the trimmed text after it as an integer (0 without '=' or when it
// is not an integer).
QN_API std::u16string KeyOfKeyPlusValue(std::u16string_view s);
QN_API int32_t ValueOfKeyPlusValue(std::u16string_view s);

}  // namespace qn
