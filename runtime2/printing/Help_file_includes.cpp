#include "runtime2/printing/Help_file_includes.h"

#include <cstdint>

#include "runtime1/files/Wingenok.h"

namespace qn {

namespace {

std::u16string_view Trimmed(std::u16string_view line) noexcept {
  size_t first = 0;
  size_t end = line.size();
  while (first < end && line[first] <= u' ') ++first;
  while (end > first && line[end - 1] <= u' ') --end;
  return line.substr(first, end - first);
}

// The run of decimal digits as a number; false for an empty run, a digit
// outside ASCII, or a number too large for 32 bits.
bool ReadsAsNumber(std::u16string_view digits, int32_t& value) noexcept {
  if (digits.empty()) return false;
  int64_t v = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
    if (v > INT32_MAX) return false;
  }
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

std::u16string NameFromNumberInLines(int32_t n, const platform::TStringList& lines) {
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::u16string_view line = Trimmed(lines[i]);
    const size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) continue;
    size_t start = equals + 1;
    while (start < line.size() && line[start] == u' ') ++start;
    size_t end = start;
    while (end < line.size() && IsADigitChar(line[end])) ++end;
    int32_t number = 0;
    if (!ReadsAsNumber(line.substr(start, end - start), number) || number != n) continue;
    size_t nameEnd = 0;
    while (nameEnd < line.size() && line[nameEnd] > u' ' && line[nameEnd] != u'=') ++nameEnd;
    return std::u16string(line.substr(0, nameEnd));
  }
  return {};
}

std::u16string NameFromNumber(int32_t n, std::u16string_view fileName) {
  platform::TStringList lines;
  lines.LoadFromFile(fileName);
  return NameFromNumberInLines(n, lines);
}

}  // namespace qn
