// Numbers for people, range lists, characters given by number.
#include "runtime1/text/My_string_functions_numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/CaseMapping.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "runtime1/files/Wingenok.h"
#include "runtime1/text/Bare_assemb.h"

namespace qn {

std::u16string _QNYes = u"Yes";
std::u16string _QNNo = u"No";
std::u16string _QNEtc = u"etc.";

namespace {

bool IsAsciiDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

std::u16string Ascii(const char* s) { return std::u16string(s, s + std::strlen(s)); }

std::u16string_view Trimmed(std::u16string_view s) noexcept {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && s[first] <= u' ') ++first;
  while (last > first && s[last - 1] <= u' ') --last;
  return s.substr(first, last - first);
}

// 1-based search from position from; 0 when not found, the needle is empty or
// from lies outside s.
int32_t PosEx(std::u16string_view needle, std::u16string_view s, int32_t from) noexcept {
  if (needle.empty() || from < 1 || static_cast<size_t>(from) > s.size()) return 0;
  const size_t p = s.find(needle, static_cast<size_t>(from - 1));
  return p == std::u16string_view::npos ? 0 : static_cast<int32_t>(p) + 1;
}

// Rounds a string of decimal digits (most significant first) to keep digits;
// returns true when the rounding carried out of the first digit.
bool RoundDigits(std::string& digits, size_t keep) {
  if (digits.size() <= keep) return false;
  const bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (!up) return false;
  for (size_t i = keep; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

// p written with 16 decimals after rounding to 17 significant digits, as the
// fixed format of the platform writes long values.
std::u16string FixedSeventeenSixteen(double p, char16_t decimalSeparator) {
  if (p == 0) return u"0." + std::u16string(16, u'0');
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.16e", std::fabs(p));  // d.dddddddddddddddde±x
  std::string digits;
  const char* e = std::strchr(buffer, 'e');
  for (const char* c = buffer; c < e; ++c) {
    if (*c != '.') digits.push_back(*c);
  }
  int exponent = std::atoi(e + 1);
  // Place the point: value = 0.digits x 10^(exponent + 1).
  int pointAt = exponent + 1;  // digits before the point
  std::string intPart;
  std::string fraction;
  if (pointAt <= 0) {
    fraction = std::string(static_cast<size_t>(-pointAt), '0') + digits;
  } else if (static_cast<size_t>(pointAt) >= digits.size()) {
    intPart = digits + std::string(static_cast<size_t>(pointAt) - digits.size(), '0');
  } else {
    intPart = digits.substr(0, static_cast<size_t>(pointAt));
    fraction = digits.substr(static_cast<size_t>(pointAt));
  }
  if (fraction.size() > 16) {
    std::string all = intPart + fraction;
    const size_t keep = intPart.size() + 16;
    if (RoundDigits(all, keep)) all.insert(all.begin(), '1');
    intPart = all.substr(0, all.size() - 16);
    fraction = all.substr(all.size() - 16);
  }
  fraction.resize(16, '0');
  if (intPart.empty()) intPart.push_back('0');
  std::u16string out = p < 0 ? u"-" : u"";
  out += Ascii(intPart.c_str());
  out.push_back(decimalSeparator);
  out += Ascii(fraction.c_str());
  return out;
}

bool Near(long double p, long double target) noexcept {
  return std::fabs(p - target) <= target * 1e-4L;
}

// Leftmost occurrence of a zero-terminated needle in a zero-terminated text.
// The comparison stops at the first difference, so it never reads past the
// text's terminating zero (which differs from every unit of the needle).
template <typename C>
const C* FindZ(const C* text, const C* needle) noexcept {
  if (needle == nullptr || needle[0] == 0) return nullptr;
  for (const C* p = text; *p != 0; ++p) {
    size_t k = 0;
    while (needle[k] != 0 && p[k] == needle[k]) ++k;
    if (needle[k] == 0) return p;
  }
  return nullptr;
}

template <typename C>
const C* Nearer(const C* a, const C* b) noexcept {
  if (a == nullptr) return b;
  if (b == nullptr) return a;
  return a < b ? a : b;
}

// Appends n to r with a "," first when r ends with a digit.
void AppendNumber(std::u16string& r, int64_t n) {
  if (!r.empty() && IsAsciiDigit(r.back())) r.push_back(u',');
  r += platform::IntToStr(n);
}

std::u16string Abbreviated(const std::vector<int64_t>& values) {
  std::u16string r;
  int64_t previous = 0;
  int64_t runStart = 0;
  // Closes the open run ending at last: a run of two is written "a,b".
  auto closeRun = [&](int64_t last) {
    if (last - runStart == 1) r.back() = u',';
    r += platform::IntToStr(last);
  };
  for (size_t k = 0; k < values.size(); ++k) {
    const int64_t v = values[k];
    const bool isLast = k + 1 == values.size();
    const bool inRun = !r.empty() && r.back() == u'-';
    if (k > 0 && v == previous + 1) {
      if (!inRun) {
        runStart = previous;
        r.push_back(u'-');
      }
      if (isLast) closeRun(v);
    } else {
      if (inRun) closeRun(previous);
      AppendNumber(r, v);
    }
    previous = v;
  }
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Numbers for people.

std::u16string EasiestNRepresentationOfLargeNumber(float x) {
  if (!std::isfinite(x)) return platform::FloatToStr(x, UserDefaultFormatSettings);
  int divisions = 0;
  while (x > 1000) {
    x /= 1000;
    ++divisions;
  }
  static const char16_t* const kPatterns[] = {u"%0.n", u"%.1nK", u"%.1nM", u"%.1nG", u"%.1nYikes"};
  return platform::FormatWith(UserDefaultFormatSettings, kPatterns[std::min(divisions, 4)],
                              static_cast<double>(x));
}

std::u16string FormattedWithDecimals(double x, int32_t decimals, bool thousands, bool percent) {
  std::u16string picture = thousands ? u"###0," : u"###0";
  const int32_t places = std::clamp(decimals, 0, 18);
  if (places > 0) {
    picture.push_back(u'.');
    picture.append(static_cast<size_t>(places), u'0');
  }
  std::u16string result = platform::FormatFloat(picture, x, UserDefaultFormatSettings);
  if (percent) result.push_back(u'%');
  return result;
}

std::u16string PValueStr(long double p) {
  if (!std::isfinite(p)) return platform::FloatToStr(static_cast<double>(p), UserDefaultFormatSettings);
  if (Near(p, 0.05L)) {
    p = 0.05L;
  } else {
    long double power = 1.0L;
    for (int k = 1; k <= 10; ++k) {
      power /= 10;
      if (Near(p, power)) {
        p = power;
        break;
      }
    }
  }
  std::u16string s = FixedSeventeenSixteen(static_cast<double>(p),
                                           UserDefaultFormatSettings.DecimalSeparator);
  while (!s.empty() && s.back() == u'0') s.pop_back();
  return s;
}

std::u16string OrdinalFormatOf(int32_t n) {
  switch (n % 10) {
    case 1: return u"%dst";
    case 2: return u"%dnd";
    case 3: return u"%drd";
    default: return u"%dth";
  }
}

std::u16string ValueToByteStr(int64_t v) {
  if (v > 8589934592LL) return platform::IntToStr(v / (1LL << 30)) + u"Gb";
  if (v >= 8388609) return platform::IntToStr(v / (1LL << 20)) + u"Mb";
  if (v <= 1048576) return platform::IntToStr(v) + u"bytes";
  return platform::IntToStr(v / 1024) + u"Kb";
}

std::u16string WithLeftZeros(int32_t width, int32_t n) {
  std::u16string s = platform::IntToStr(n);
  const size_t target = static_cast<size_t>(std::clamp(width, 0, 4096));
  if (s.size() < target) s.insert(0, target - s.size(), u'0');
  return s;
}

std::u16string YesorNo(bool b) { return b ? _QNYes : _QNNo; }

bool IsANumber(std::u16string_view s) {
  int32_t value;
  if (s.empty() || platform::TryStrToInt(s, value)) return true;
  for (const char16_t c : s) {
    if (!(IsADigitChar(c) || c == u'%' || c == u',' || c == u'.')) return false;
  }
  return true;
}

std::u16string DigitsOnlyOf(std::u16string_view s) {
  int32_t value;
  if (platform::TryStrToInt(s, value)) return std::u16string(s);
  std::u16string digits;
  for (const char16_t c : s) {
    if (IsAsciiDigit(c)) digits.push_back(c);
  }
  return digits;
}

bool ContainsAPercent(std::u16string_view s) noexcept {
  return s.find(u'%') != std::u16string_view::npos;
}

int32_t IntegerInsideSquareBrackets(std::u16string_view s) {
  const size_t open = s.find(u'[');
  if (open == std::u16string_view::npos) return 0;
  size_t end = open + 1;
  while (end < s.size() && IsAsciiDigit(s[end])) ++end;
  return platform::StrToInt(s.substr(open + 1, end - open - 1));
}

int32_t PositionOfNumberInString(std::u16string_view s, int32_t from) noexcept {
  for (size_t i = static_cast<size_t>(std::max(from, 1)) - 1; i < s.size(); ++i) {
    if (IsAsciiDigit(s[i])) return static_cast<int32_t>(i) + 1;
  }
  return -1;
}

int32_t NearerOfTwo(int32_t a, int32_t b) noexcept {
  if (a > 0 && b > 0) return std::min(a, b);
  return a > 0 ? a : (b > 0 ? b : 0);
}

int32_t PosExNearer(std::u16string_view s, std::u16string_view x, std::u16string_view y,
                    int32_t from) noexcept {
  return NearerOfTwo(PosEx(x, s, from), PosEx(y, s, from));
}

uint32_t CheckSumOfABufferful(const void* buffer, int32_t byteCount) noexcept {
  if (buffer == nullptr) return 0;
  return My4Checksum(buffer, byteCount);
}

const char* StrPosNearerA(const char* buffer, const char* x, const char* y) noexcept {
  if (buffer == nullptr) return nullptr;
  return Nearer(FindZ(buffer, x), FindZ(buffer, y));
}

const char16_t* StrPosNearerW(const char16_t* buffer, const char16_t* x,
                              const char16_t* y) noexcept {
  if (buffer == nullptr) return nullptr;
  return Nearer(FindZ(buffer, x), FindZ(buffer, y));
}

// ---------------------------------------------------------------------------
// Number lists.

std::u16string HumanAbbreviatedNumberListString(const platform::TStringList& list) {
  std::vector<int64_t> values;
  values.reserve(static_cast<size_t>(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i) {
    int32_t v;
    if (platform::TryStrToInt(list[i], v)) values.push_back(v);
  }
  return Abbreviated(values);
}

std::u16string HumanAbbreviatedNumberListString(const TArrayOfIntegers& integers, int32_t offset) {
  const std::unique_ptr<platform::TStringList> list = TArrayOfIntegersToStringlist(integers, offset);
  return HumanAbbreviatedNumberListString(*list);
}

std::unique_ptr<platform::TStringList> TArrayOfIntegersToStringlist(
    const TArrayOfIntegers& integers, int32_t offset) {
  auto list = std::make_unique<platform::TStringList>();
  list->SetCapacity(static_cast<int32_t>(integers.size()));
  for (const int32_t v : integers) {
    list->Add(platform::IntToStr(static_cast<int64_t>(v) + offset));
  }
  return list;
}

bool ExpandRangeList(std::u16string_view s, TArrayOfIntegers& numbers) {
  numbers.clear();
  constexpr int64_t kMaxValue = 2147483647;
  int64_t current = 0;
  bool hasCurrent = false;
  auto fail = [&numbers] {
    numbers.clear();
    return false;
  };
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (IsAsciiDigit(c)) {
      current = current * 10 + (c - u'0');
      if (current > kMaxValue) return fail();
      hasCurrent = true;
      ++i;
    } else if (c == u',') {
      if (hasCurrent) numbers.push_back(static_cast<int32_t>(current));
      if (static_cast<int64_t>(numbers.size()) > kMaxNumbersInRangeList) return fail();
      current = 0;
      hasCurrent = false;
      ++i;
    } else if (c == u'-') {
      const int64_t start = hasCurrent ? current : 0;
      int64_t end = 0;
      ++i;
      while (i < s.size() && IsAsciiDigit(s[i])) {
        end = end * 10 + (s[i] - u'0');
        if (end > kMaxValue) return fail();
        ++i;
      }
      if (end >= start) {
        if (end - start + 1 + static_cast<int64_t>(numbers.size()) > kMaxNumbersInRangeList) {
          return fail();
        }
        for (int64_t v = start; v <= end; ++v) numbers.push_back(static_cast<int32_t>(v));
      }
      current = 0;
      hasCurrent = false;
    } else {
      ++i;  // anything else is ignored
    }
  }
  if (hasCurrent) numbers.push_back(static_cast<int32_t>(current));
  if (static_cast<int64_t>(numbers.size()) > kMaxNumbersInRangeList) return fail();
  return true;
}

std::u16string HumanAbbreviatedNumberListStringExpanded(std::u16string_view s) {
  TArrayOfIntegers numbers;
  ExpandRangeList(s, numbers);
  std::u16string r;
  for (const int32_t v : numbers) {
    if (!r.empty()) r.push_back(u',');
    r += platform::IntToStr(v);
  }
  return r;
}

void HumanAbbreviatedNumberListStringAsIntegers(std::u16string_view s, int32_t offset,
                                                TArrayOfIntegers& integers) {
  ExpandRangeList(s, integers);
  for (int32_t& v : integers) v = static_cast<int32_t>(static_cast<int64_t>(v) - offset);
}

std::u16string HumanAbbreviatedNumberListStringToMonths(std::u16string_view s) {
  std::u16string r(s);
  for (int month = 1; month <= 12; ++month) {
    const std::u16string number = WithLeftZeros(2, month);
    const size_t p = r.find(number);
    if (p != std::u16string::npos) {
      r.replace(p, 2, UserDefaultFormatSettings.ShortMonthNames[static_cast<size_t>(month - 1)]);
    }
  }
  return r;
}

std::u16string ANumberInHumanString(std::u16string_view s, int32_t n) {
  TArrayOfIntegers numbers;
  if (n < 1 || !ExpandRangeList(s, numbers) || numbers.empty()) return u"";
  const size_t index = std::min(static_cast<size_t>(n), numbers.size()) - 1;
  return platform::IntToStr(numbers[index]);
}

void ConvertStringToRangeOfBoolean(std::u16string_view s, bool zeroBased,
                                   std::vector<bool>& flags) {
  std::fill(flags.begin(), flags.end(), false);
  if (flags.empty()) return;
  const int64_t last = static_cast<int64_t>(flags.size()) - 1;
  auto index = [&](int32_t n) {
    return std::clamp<int64_t>(zeroBased ? int64_t{n} : int64_t{n} - 1, 0, last);
  };
  auto setRange = [&](int64_t from, int64_t to) {
    for (int64_t i = from; i <= to; ++i) flags[static_cast<size_t>(i)] = true;
  };
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(u',', start);
    if (comma == std::u16string_view::npos) comma = s.size();
    const std::u16string_view item = Trimmed(s.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) continue;
    int32_t a;
    int32_t b;
    if (item[0] == u'-') {
      if (platform::TryStrToInt(item.substr(1), b)) setRange(0, index(b));
      continue;
    }
    const size_t dash = item.find(u'-');
    if (dash == std::u16string_view::npos) {
      if (platform::TryStrToInt(item, a)) flags[static_cast<size_t>(index(a))] = true;
    } else if (platform::TryStrToInt(item.substr(0, dash), a) &&
               platform::TryStrToInt(item.substr(dash + 1), b) && index(b) >= index(a)) {
      setRange(index(a), index(b));
    }
  }
}

// ---------------------------------------------------------------------------
// Characters given by number.

std::u16string PwdToNumStr(std::u16string_view s) {
  std::u16string r;
  r.reserve(s.size() * 4);
  for (const char16_t c : s) {
    r += platform::IntToStr(c);
    r.push_back(u',');
  }
  return r;
}

std::u16string FromNumStr(std::u16string_view s) {
  std::u16string r;
  size_t start = 0;
  for (size_t comma = s.find(u','); comma != std::u16string_view::npos;
       comma = s.find(u',', start)) {
    int32_t v;
    if (platform::TryStrToInt(s.substr(start, comma - start), v) && v >= 0 && v <= 0xFFFF) {
      r.push_back(static_cast<char16_t>(v));
    }
    start = comma + 1;
  }
  return r;
}

std::u16string ToHexNumStr(std::u16string_view s) {
  std::u16string r;
  r.reserve(s.size() * 3);
  for (const char16_t c : s) {
    r += platform::IntToHex(c, 2);
    r.push_back(u',');
  }
  return r;
}

std::u16string FromHexNumStr(std::u16string_view s) {
  std::u16string r;
  for (size_t i = 0; i + 1 < s.size(); i += 3) {
    const int high = HexValue(s[i]);
    const int low = HexValue(s[i + 1]);
    if (high >= 0 && low >= 0) r.push_back(static_cast<char16_t>(high * 16 + low));
  }
  return r;
}

std::u16string BracedNumberStrToDigitalformat(std::u16string_view s) {
  std::u16string r = platform::UpperCased(s);
  if (!r.empty() && r.front() == u'X') r.front() = u'$';
  if (!r.empty() && r.back() == u'H') {
    r.pop_back();
    r.insert(r.begin(), u'$');
  }
  return r;
}

std::u16string QNFormattedWorkStringToReadableString(std::u16string_view s, int32_t limit) {
  std::u16string r;
  r.reserve(s.size());
  for (const char16_t c : s) {
    if (static_cast<int32_t>(c) < limit) {
      r += u"{CHR(" + platform::IntToStr(c) + u")}";
    } else {
      r.push_back(c);
    }
  }
  return r;
}

namespace {

// Position of "{CHR(" at or after from, the letters in any case; npos if none.
size_t FindChrOpening(std::u16string_view s, size_t from) noexcept {
  static constexpr std::u16string_view kOpening = u"{CHR(";
  for (size_t i = s.find(u'{', from); i != std::u16string_view::npos; i = s.find(u'{', i + 1)) {
    if (s.size() - i < kOpening.size()) return std::u16string_view::npos;
    bool match = true;
    for (size_t k = 1; k < kOpening.size() && match; ++k) {
      char16_t c = s[i + k];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
      match = c == kOpening[k];
    }
    if (match) return i;
  }
  return std::u16string_view::npos;
}

// Pass 1 of QNFormattedReadableStringToWorkString: the content goes through
// BracedNumberStrToDigitalformat and must then be an integer in 0 .. 65535.
bool ReadBracedNumber(std::u16string_view content, char16_t& unit) {
  int32_t v;
  if (!platform::TryStrToInt(BracedNumberStrToDigitalformat(content), v) || v < 0 || v > 0xFFFF) {
    return false;
  }
  unit = static_cast<char16_t>(v);
  return true;
}

bool IsHexMark(char16_t c) noexcept { return HexSignalStr.find(c) != std::u16string_view::npos; }

// Reads a "#" notation whose digits start at rest[0] (the "#" itself already
// taken): the value and the number of units of rest it covers; false when
// rest does not continue a valid notation.
bool ReadHashNotation(std::u16string_view rest, char16_t& value, size_t& used) noexcept {
  size_t i = 0;
  while (i < rest.size() && IsHexMark(rest[i])) ++i;
  const bool hex = i > 0;
  const size_t digitsStart = i;
  uint32_t v = 0;
  while (i < rest.size() && (hex ? HexValue(rest[i]) >= 0 : IsAsciiDigit(rest[i]))) {
    v = v * (hex ? 16 : 10) + static_cast<uint32_t>(hex ? HexValue(rest[i]) : rest[i] - u'0');
    if (v > 0xFFFF) return false;
    ++i;
  }
  if (i == digitsStart) return false;
  if (i < rest.size() && rest[i] == u';') ++i;
  value = static_cast<char16_t>(v);
  used = i;
  return true;
}

// Pass 2: always the first "#" of the changing text. In one pass: the text
// before the first "#" is final; a notation's result is final too unless it
// is itself "#", which then begins the next notation.
std::u16string DecodeHashNotations(const std::u16string& s) {
  size_t hash = s.find(u'#');
  if (hash == std::u16string::npos) return s;
  std::u16string out(s, 0, hash);
  size_t pos = hash + 1;  // just after the current "#"
  for (;;) {
    char16_t value;
    size_t used;
    const std::u16string_view rest = std::u16string_view(s).substr(pos);
    if (!ReadHashNotation(rest, value, used)) {
      out.push_back(u'#');
      out.append(rest);
      return out;
    }
    pos += used;
    if (value == u'#') continue;
    out.push_back(value);
    hash = s.find(u'#', pos);
    if (hash == std::u16string::npos) {
      out.append(s, pos, std::u16string::npos);
      return out;
    }
    out.append(s, pos, hash - pos);
    pos = hash + 1;
  }
}

}  // namespace

std::u16string DecodedChrNotations(std::u16string_view s, TChrNotationReader read,
                                   bool endAtEmptyContent, int32_t* last) {
  constexpr size_t npos = std::u16string_view::npos;
  constexpr size_t kOpeningLength = 5;  // "{CHR("
  // Built in one pass: a replaced notation lies before the cursor, so the
  // text from the cursor on is always the untouched input.
  std::u16string out;
  out.reserve(s.size());
  size_t copied = 0;  // s[0, copied) is in out
  size_t cursor = 0;
  // The first ")}" and the first "{" at or after the current content's start,
  // kept while they still lie ahead: openings move forward only, so neither
  // search reads a part of s twice.
  size_t close = 0;
  bool closeKnown = false;
  size_t brace = 0;
  bool braceKnown = false;
  for (;;) {
    const size_t open = FindChrOpening(s, cursor);
    if (open == npos) break;
    const size_t from = open + kOpeningLength;
    if (!closeKnown || close < from) {
      close = s.find(u")}", from);
      closeKnown = true;
    }
    if (close == npos) break;
    if (close == from && endAtEmptyContent) break;
    if (!braceKnown || brace < from) {
      brace = s.find(u'{', from);
      braceKnown = true;
    }
    // A content holding a "{" is no number (it holds the next opening when
    // many share one ")}"), and is not handed to the reader.
    char16_t unit = 0;
    if (close > from && brace > close && read(s.substr(from, close - from), unit)) {
      out.append(s.substr(copied, open - copied));
      out.push_back(unit);
      if (last != nullptr) *last = unit;
      copied = close + 2;
      cursor = close + 2;
    } else {
      cursor = open + 1;
    }
  }
  out.append(s.substr(copied));
  return out;
}

std::u16string QNFormattedReadableStringToWorkString(std::u16string_view s) {
  return DecodeHashNotations(DecodedChrNotations(s, &ReadBracedNumber, true));
}

}  // namespace qn
