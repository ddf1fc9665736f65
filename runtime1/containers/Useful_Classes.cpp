#include "runtime1/containers/Useful_Classes.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "platform/Format.h"
#include "platform/Locales.h"
#include "platform/StringList.h"

namespace qn {

namespace {

template <typename T>
constexpr int32_t Sign3(T a, T b) noexcept {
  return (a > b) - (a < b);
}

// Blanks and control characters (up to U+0020) trimmed at both ends.
std::u16string_view Trimmed(std::u16string_view s) noexcept {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return s.substr(b, e - b);
}

template <typename H, typename V>
V HolderValue(const TUsefulBaseListObject* item, V nothing) noexcept {
  return item ? static_cast<const H*>(item)->data : nothing;
}

}  // namespace

// ---------------------------------------------------------------------------
// Comparisons

int32_t CompareLongints(int32_t a, int32_t b) noexcept { return Sign3(a, b); }
int32_t CompareCardinals(uint32_t a, uint32_t b) noexcept { return Sign3(a, b); }
int32_t CompareInt64s(int64_t a, int64_t b) noexcept { return Sign3(a, b); }
int32_t CompareSingles(float a, float b) noexcept { return Sign3(a, b); }
int32_t Compare16BitWords(uint16_t a, uint16_t b) noexcept { return Sign3(a, b); }
int32_t CompareChars(char16_t a, char16_t b) noexcept { return Sign3(a, b); }
int32_t CompareBytes(uint8_t a, uint8_t b) noexcept { return Sign3(a, b); }
int32_t CompareDates(double a, double b) noexcept { return Sign3(b, a); }
int32_t CompareJulianDates(double a, double b) noexcept { return Sign3(b, a); }

int32_t Compare2Strings(std::u16string_view a, std::u16string_view b) noexcept {
  const int c = a.compare(b);  // code unit by code unit, a prefix first
  return (c > 0) - (c < 0);
}

int32_t Compare2CardinalsCard1(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b) noexcept {
  return Sign3(a.card1, b.card1);
}
int32_t Compare2CardinalsCard2(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b) noexcept {
  return Sign3(a.card2, b.card2);
}
int32_t CompareIntAnd2CardinalsCard1(const TIntegerAnd2CardinalsRec& a,
                                     const TIntegerAnd2CardinalsRec& b) noexcept {
  return Sign3(a.value.card1, b.value.card1);
}
int32_t CompareIntAnd2CardinalsCard2(const TIntegerAnd2CardinalsRec& a,
                                     const TIntegerAnd2CardinalsRec& b) noexcept {
  return Sign3(a.value.card2, b.value.card2);
}
int32_t CompareIntAnd2CardinalsFreq(const TIntegerAnd2CardinalsRec& a,
                                    const TIntegerAnd2CardinalsRec& b) noexcept {
  return Sign3(a.freq, b.freq);
}
int32_t CompareIntAnd3CardinalsCard1(const TIntegerAnd3CardinalsRec& a,
                                     const TIntegerAnd3CardinalsRec& b) noexcept {
  return Sign3(a.value.card1, b.value.card1);
}
int32_t CompareIntAnd3CardinalsCard2(const TIntegerAnd3CardinalsRec& a,
                                     const TIntegerAnd3CardinalsRec& b) noexcept {
  return Sign3(a.value.card2, b.value.card2);
}
int32_t CompareIntAnd3CardinalsCard3(const TIntegerAnd3CardinalsRec& a,
                                     const TIntegerAnd3CardinalsRec& b) noexcept {
  return Sign3(a.value.card3, b.value.card3);
}
int32_t CompareIntAnd3CardinalsFreq(const TIntegerAnd3CardinalsRec& a,
                                    const TIntegerAnd3CardinalsRec& b) noexcept {
  return Sign3(static_cast<uint32_t>(a.freq), static_cast<uint32_t>(b.freq));
}

int32_t CrudeStringComparison(std::u16string_view a, std::u16string_view b) noexcept {
  for (size_t i = 0;; ++i) {
    const char16_t x = i < a.size() ? a[i] : u'\0';
    const char16_t y = i < b.size() ? b[i] : u'\0';
    if (x != y) return static_cast<int32_t>(x) - static_cast<int32_t>(y);
    if (x == u'\0') return 0;
  }
}

int32_t ComparePWidechar(uint32_t locale, const char16_t* a, const char16_t* b) {
  const std::u16string_view x = a ? std::u16string_view(a) : std::u16string_view();
  const std::u16string_view y = b ? std::u16string_view(b) : std::u16string_view();
  const int c = platform::CompareStrings(locale, my_default_sort, x, y);
  return (c > 0) - (c < 0);
}

int32_t ComparePAnsichar(uint32_t locale, const char* a, const char* b) {
  const std::string_view x = a ? std::string_view(a) : std::string_view();
  const std::string_view y = b ? std::string_view(b) : std::string_view();
  const int c = platform::CompareStringsA(locale, my_default_sort, x, y);
  return (c > 0) - (c < 0);
}

int32_t LCIDStringComparison(std::u16string_view a, std::u16string_view b, uint32_t locale) {
  // As zero-terminated texts: an embedded zero ends a text.
  const size_t za = a.find(u'\0'), zb = b.find(u'\0');
  if (za != std::u16string_view::npos) a = a.substr(0, za);
  if (zb != std::u16string_view::npos) b = b.substr(0, zb);
  const int c = platform::CompareStrings(locale, my_default_sort, a, b);
  return (c > 0) - (c < 0);
}

int StringListCompareDescFreq(platform::TStringList& list, int32_t index1, int32_t index2) {
  const auto f1 = static_cast<int32_t>(platform::IntFromObject(list.GetObject(index1)));
  const auto f2 = static_cast<int32_t>(platform::IntFromObject(list.GetObject(index2)));
  if (f1 != f2) return f1 > f2 ? -1 : 1;
  return Compare2Strings(list.Get(index1), list.Get(index2));
}

// ---------------------------------------------------------------------------
// Sort callbacks

int32_t SortLongints(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2) {
  return Sign3(HolderValue<TLongIntHolder>(Item1, INT32_MIN), HolderValue<TLongIntHolder>(Item2, INT32_MIN));
}

int32_t SortCardinals(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2) {
  return Sign3(HolderValue<TCardinalHolder>(Item1, 0u), HolderValue<TCardinalHolder>(Item2, 0u));
}

int32_t SortSingles(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2) {
  return Sign3(HolderValue<TSingleHolder>(Item1, -INFINITY), HolderValue<TSingleHolder>(Item2, -INFINITY));
}

int32_t SortInt64s(const TUsefulBaseListObject* Item1, const TUsefulBaseListObject* Item2) {
  return Sign3(HolderValue<TInt64Holder>(Item1, INT64_MIN), HolderValue<TInt64Holder>(Item2, INT64_MIN));
}

int32_t SortIntegerAnd3CardinalsFreq(const TUsefulBaseListObject* Item1,
                                     const TUsefulBaseListObject* Item2) {
  const auto f = [](const TUsefulBaseListObject* item) -> uint32_t {
    return item ? static_cast<uint32_t>(static_cast<const TIntegerAnd3CardinalsHolder*>(item)->data.freq)
                : 0u;
  };
  return Sign3(f(Item1), f(Item2));
}

// ---------------------------------------------------------------------------
// Record swaps

void ExchangeTwoDoubleCardinalRecs(Tdouble_cardinal_rec& a, Tdouble_cardinal_rec& b) noexcept { std::swap(a, b); }
void ExchangeTwoDoubleLongintRecs(T2_longint_rec& a, T2_longint_rec& b) noexcept { std::swap(a, b); }
void ExchangeTwoSmallAndLongRecs(TSmall_and_long_rec& a, TSmall_and_long_rec& b) noexcept { std::swap(a, b); }
void ExchangeTwoPointerAnd2CardinalsRecs(TPointerAnd2CardinalsRec& a, TPointerAnd2CardinalsRec& b) noexcept {
  std::swap(a, b);
}
void ExchangeTwoIndexAndPointerRecs(TIndexAndPointerRec& a, TIndexAndPointerRec& b) noexcept { std::swap(a, b); }

// ---------------------------------------------------------------------------
// Byte divisions and key=value

std::vector<int64_t> ComputedByteDivisions(int64_t total, int32_t n) {
  std::vector<int64_t> result;
  if (n <= 0) return result;
  // The step is held in single precision; the products are exact in extended
  // precision and rounded to the nearest integer, halves to even.
  const float step = static_cast<float>(static_cast<long double>(total) / n);
  result.reserve(static_cast<size_t>(n));
  constexpr long double kLimit = 9223372036854775807.0L;  // beyond it, the float step overshot
  for (int32_t i = 0; i < n; ++i) {
    const long double boundary = std::nearbyintl(static_cast<long double>(i + 1) * step);
    result.push_back(boundary >= kLimit    ? INT64_MAX
                     : boundary <= -kLimit ? INT64_MIN
                                           : static_cast<int64_t>(boundary));
  }
  return result;
}

std::u16string KeyOfKeyPlusValue(std::u16string_view s) {
  const size_t eq = s.find(u'=');
  if (eq == std::u16string_view::npos) return {};
  return std::u16string(Trimmed(s.substr(0, eq)));
}

int32_t ValueOfKeyPlusValue(std::u16string_view s) {
  const size_t eq = s.find(u'=');
  if (eq == std::u16string_view::npos) return 0;
  int32_t value = 0;
  return platform::TryStrToInt(Trimmed(s.substr(eq + 1)), value) ? value : 0;
}

}  // namespace qn
