#include "runtime1/text/Myunicodenew.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "runtime1/files/Logging_utilities.h"
#include "runtime1/text/My_string_functions_numbers.h"

namespace qn {
namespace {

template <typename U>
U* NewCopy(const U* text, size_t count) {
  U* buffer = new U[count + 1];
  if (count > 0) std::memcpy(buffer, text, count * sizeof(U));
  buffer[count] = U(0);
  return buffer;
}

// --- Numeric notations ---------------------------------------------------------------

inline bool IsAsciiDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

inline int HexValue(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// An integer written as decimal digits with an optional sign, or as "$" and
// hexadecimal digits (also after a sign); nothing else, not even blanks. Values
// outside the signed 32-bit range are not valid.
std::optional<int64_t> ParseNotationInteger(std::u16string_view s) noexcept {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  int base = 10;
  if (i < s.size() && s[i] == u'$') {
    base = 16;
    ++i;
  }
  if (i == s.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    const int digit = base == 16 ? HexValue(s[i]) : (IsAsciiDigit(s[i]) ? s[i] - u'0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return value;
}

// A value that names a UTF-16 code unit.
inline bool IsCodeUnitValue(int64_t value) noexcept { return value >= 0 && value <= 0xFFFF; }

// Pass 1: "{CHR(n)}" with n as ParseNotationInteger reads it. Each notation
// is decided once, left to right; a produced unit is never read again as part
// of another notation.
bool ReadNotationInteger(std::u16string_view content, char16_t& unit) {
  const std::optional<int64_t> value = ParseNotationInteger(content);
  if (!value || !IsCodeUnitValue(*value)) return false;
  unit = static_cast<char16_t>(*value);
  return true;
}

// Pass 2: "#" and decimal digits.
void DecodeHashNotations(std::u16string& s, int32_t& last) {
  std::u16string out;
  size_t copied = 0;
  for (size_t hash = s.find(u'#'); hash != std::u16string::npos; hash = s.find(u'#', hash + 1)) {
    size_t end = hash + 1;
    while (end < s.size() && IsAsciiDigit(s[end])) ++end;
    if (end == hash + 1) continue;
    const std::optional<int64_t> value =
        ParseNotationInteger(std::u16string_view(s).substr(hash + 1, end - hash - 1));
    if (!value || !IsCodeUnitValue(*value)) continue;
    if (out.empty()) out.reserve(s.size());
    out.append(s, copied, hash - copied);
    out.push_back(static_cast<char16_t>(*value));
    last = static_cast<int32_t>(*value);
    copied = end;
    hash = end - 1;
  }
  if (copied == 0) return;
  out.append(s, copied, std::u16string::npos);
  s.swap(out);
}

// --- Fixed-pitch measurement ------------------------------------------------------------

int32_t CellsOf(UChar32 c) noexcept {
  const int8_t category = u_charType(c);
  if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR) {
    return 0;
  }
  if (c >= 0x1160 && c <= 0x11FF) return 0;  // Hangul jamo that join the syllable before
  const int32_t width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
  return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

// Writes "quit myUnicodeNew, " to the log when the library unloads with
// logging on. The constructor touches the log state so that the log outlives
// this object.
class TMyunicodenewUnit {
 public:
  TMyunicodenewUnit() { (void)GetLogFilename(); }
  ~TMyunicodenewUnit() {
    if (keeping_log) AddToLogFile(u"quit myUnicodeNew, ", false);
  }
  TMyunicodenewUnit(const TMyunicodenewUnit&) = delete;
  TMyunicodenewUnit& operator=(const TMyunicodenewUnit&) = delete;
};

const TMyunicodenewUnit gMyunicodenewUnit;

}  // namespace

// --- Character buffers ------------------------------------------------------------------

char16_t* MyNewPChar(const char16_t* text) {
  if (text == nullptr) return nullptr;
  return NewCopy(text, std::char_traits<char16_t>::length(text));
}

char* MyNewPAnsichar(const char* text) {
  if (text == nullptr) return nullptr;
  return NewCopy(text, std::strlen(text));
}

char16_t* CheckedNewLenPchar(const char16_t* text, int32_t count) {
  if (text == nullptr || count <= 0) return NewCopy<char16_t>(nullptr, 0);
  return NewCopy(text, static_cast<size_t>(count));
}

char* CheckedNewLenPAnsichar(const char* text, int32_t count) {
  if (text == nullptr || count <= 0) return NewCopy<char>(nullptr, 0);
  return NewCopy(text, static_cast<size_t>(count));
}

const char16_t nowt[1] = {u'\0'};
const char nowtAnsi[1] = {'\0'};

void DeletePWideChar(char16_t* buffer) noexcept {
  if (buffer != nowt) delete[] buffer;
}

void DeletePAnsichar(char* buffer) noexcept {
  if (buffer != nowtAnsi) delete[] buffer;
}

void FillWChar(char16_t* buffer, int32_t sizeInBytes, char16_t unit) noexcept {
  if (buffer == nullptr || sizeInBytes < 2) return;
  std::fill_n(buffer, sizeInBytes / 2, unit);
}

// --- Small string helpers --------------------------------------------------------------

int32_t StrScanIndex(std::u16string_view s, char16_t unit, int32_t start) noexcept {
  const size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
  if (from >= s.size()) return 0;
  const size_t at = s.find(unit, from);
  return at == std::u16string_view::npos ? 0 : static_cast<int32_t>(at + 1);
}

std::u16string ExpandTabbedWideString(std::u16string_view s, int32_t n) {
  const size_t spaces = n > 0 ? static_cast<size_t>(n) : 0;
  const size_t tabs = static_cast<size_t>(std::count(s.begin(), s.end(), u'\t'));
  std::u16string out;
  out.reserve(s.size() - tabs + tabs * spaces);
  for (char16_t c : s) {
    if (c == u'\t') {
      out.append(spaces, u' ');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

Search_word_type32 StringToSearch_word_type32(std::u16string_view s) noexcept {
  Search_word_type32 word{};
  size_t count = std::min<size_t>(s.size(), word.size() - 1);
  if (count < s.size() && count > 0 && U16_IS_LEAD(s[count - 1]) && U16_IS_TRAIL(s[count])) {
    --count;  // keep the pair whole
  }
  std::copy_n(s.begin(), count, word.begin());
  return word;
}

std::u16string Search_word_type32ToString(const Search_word_type32* word) {
  if (word == nullptr) return {};
  const auto end = std::find(word->begin(), word->end(), u'\0');
  return std::u16string(word->begin(), end);
}

bool IsHashSymbol(char16_t c) noexcept { return c == kHashWildcardCode; }

bool IsHashOrBrace(char16_t c) noexcept { return c == u'#' || c == u'{'; }

int32_t MyFormatValidNumberStr(std::u16string& s) {
  int32_t last = -1;
  if (s.find(u')') != std::u16string::npos) s = DecodedChrNotations(s, &ReadNotationInteger, false, &last);
  DecodeHashNotations(s, last);
  return last;
}

// --- Text measurement ---------------------------------------------------------------------

TGetTextExtentExPointWFunc MyGetTextExtentExPointW = &FixedPitchTextExtentExPoint;

bool FixedPitchTextExtentExPoint(TDeviceContext DC, const char16_t* lpszStr, int32_t cchString,
                                 int32_t nMaxExtent, int32_t* lpnFit, int32_t* alpDX,
                                 TSize* lpSize) {
  if (DC == nullptr || cchString < 0 || (lpszStr == nullptr && cchString > 0)) return false;
  int64_t extent = 0;
  int32_t fit = 0;
  bool fitting = true;
  for (int32_t i = 0; i < cchString;) {
    UChar32 c = lpszStr[i];
    int32_t units = 1;
    if (U16_IS_LEAD(c) && i + 1 < cchString && U16_IS_TRAIL(lpszStr[i + 1])) {
      c = U16_GET_SUPPLEMENTARY(c, lpszStr[i + 1]);
      units = 2;
    }
    extent += int64_t(CellsOf(c)) * kFixedPitchCellWidth;
    if (lpnFit != nullptr && fitting && extent > nMaxExtent) fitting = false;
    const int32_t clamped = static_cast<int32_t>(std::min<int64_t>(extent, INT32_MAX));
    for (int32_t k = 0; k < units; ++k) {
      if (fitting) {
        if (alpDX != nullptr) alpDX[i + k] = clamped;
        ++fit;
      }
    }
    i += units;
  }
  if (lpnFit != nullptr) *lpnFit = fit;
  if (lpSize != nullptr) {
    lpSize->cx = static_cast<int32_t>(std::min<int64_t>(extent, INT32_MAX));
    lpSize->cy = kFixedPitchCellHeight;
  }
  return true;
}

bool GetTextExtentW(TDeviceContext DC, const char16_t* text, int32_t count, TSize& size) {
  size = TSize{};
  if (count <= 0 || text == nullptr || MyGetTextExtentExPointW == nullptr) return false;
  TSize measured;
  if (!MyGetTextExtentExPointW(DC, text, count, 0, nullptr, nullptr, &measured)) return false;
  size = measured;
  return true;
}

}  // namespace qn
