// Middle characters, number separators, section handlers, small buffer routines.
#include "runtime1/text/Bare_assemb3.h"

#include <algorithm>

#include "runtime1/text/Bare_assemb.h"

namespace qn {

namespace {

// Outcome of a neighbour search: no usable neighbour, or the class it gives.
enum class TNeighbour : uint8_t { None, Letter, Digit };

TNeighbour Classify(uint16_t detail) noexcept {
  if ((detail & kDetailLetterOrDigit) == 0) return TNeighbour::None;
  return (detail & platform::C1_DIGIT) != 0 ? TNeighbour::Digit : TNeighbour::Letter;
}

// The nearest non-markup word left of i (down to index 0).
TNeighbour LeftNeighbour(const uint16_t* details, int32_t i) noexcept {
  for (int32_t j = i - 1; j >= 0; --j) {
    const uint16_t d = details[j];
    if (IsMarkerWord(d)) return TNeighbour::None;
    if ((d & kDetailInMarkup) == 0) return Classify(d);
  }
  return TNeighbour::None;
}

// The nearest non-markup word right of i (up to index n - 1).
TNeighbour RightNeighbour(const uint16_t* details, int32_t i, int32_t n) noexcept {
  for (int32_t j = i + 1; j < n; ++j) {
    const uint16_t d = details[j];
    if (IsMarkerWord(d)) return TNeighbour::None;
    if ((d & kDetailInMarkup) == 0) return Classify(d);
  }
  return TNeighbour::None;
}

// Reclassifies the occurrence at i when its neighbours allow it.
void HandleOccurrence(uint16_t* details, int32_t i, int32_t n, bool atRight, bool atLeft) noexcept {
  if ((details[i] & kDetailInMarkup) != 0) return;
  bool digit = false;
  if (!atLeft) {
    const TNeighbour left = LeftNeighbour(details, i);
    if (left == TNeighbour::None) return;
    digit = left == TNeighbour::Digit;
  }
  if (!atRight) {
    const TNeighbour right = RightNeighbour(details, i, n);
    if (right == TNeighbour::None) return;
    digit = digit || right == TNeighbour::Digit;
  }
  details[i] = digit ? kDetailAsDigit : kDetailAsLetter;
}

// One vectorised scan of the buffer per allowable; neighbours are examined
// only at hits.
template <typename U, typename Scan>
void HandleOneAllowable(const U* text, uint16_t* details, U unit, int32_t n, bool atRight,
                        bool atLeft, Scan scan) noexcept {
  const U* p = text;
  const U* const end = text + n;
  while (p < end) {
    const U* hit = scan(p, unit, static_cast<int32_t>(end - p));
    if (hit == nullptr) return;
    HandleOccurrence(details, static_cast<int32_t>(hit - text), n, atRight, atLeft);
    p = hit + 1;
  }
}

bool IsNumberSeparator(char16_t c, bool spacesAllowed) noexcept {
  return c == u'.' || c == u',' || c == u'\u00B7' || (spacesAllowed && c == u' ');
}

template <typename U>
int32_t RemoveUnit(U* buffer, U unit, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return 0;
  U* const end = std::remove(buffer, buffer + length, unit);
  *end = U(0);
  return static_cast<int32_t>(end - buffer);
}

}  // namespace

void HandleMiddleChars(const void* buffer, uint16_t* details, const char16_t* wide_allowables,
                       uint16_t numAllowables, int32_t numChars, bool isUnicode,
                       bool allow_middles_at_right, bool allow_middles_at_left) noexcept {
  if (numAllowables == 0 || numChars <= 0 || buffer == nullptr || details == nullptr ||
      wide_allowables == nullptr) {
    return;
  }
  for (uint16_t k = 0; k < numAllowables; ++k) {
    const char16_t allowable = wide_allowables[k];
    if (isUnicode) {
      HandleOneAllowable(static_cast<const char16_t*>(buffer), details, allowable, numChars,
                         allow_middles_at_right, allow_middles_at_left,
                         [](const char16_t* p, char16_t u, int32_t len) {
                           return FastStrScanW(p, u, len);
                         });
    } else {
      HandleOneAllowable(static_cast<const char*>(buffer), details,
                         static_cast<char>(allowable & 0xFF), numChars, allow_middles_at_right,
                         allow_middles_at_left,
                         [](const char* p, char u, int32_t len) { return FastStrScan(p, u, len); });
    }
  }
}

void HandleMiddleCharsInNumbers(bool isUnicode, bool spacesAllowed, const void* buffer,
                                uint16_t* details, int32_t numChars) noexcept {
  if (buffer == nullptr || details == nullptr || numChars < 3) return;
  const auto* wide = static_cast<const char16_t*>(buffer);
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  for (int32_t i = 0; i + 2 < numChars; ++i) {
    if ((details[i] & platform::C1_DIGIT) == 0 || (details[i + 1] & platform::C1_DIGIT) != 0 ||
        (details[i + 2] & platform::C1_DIGIT) == 0) {
      continue;
    }
    // In 8-bit text the middle dot is the byte 0xB7 (as in the Latin code pages).
    const char16_t c = isUnicode ? wide[i + 1] : static_cast<char16_t>(bytes[i + 1]);
    if (IsNumberSeparator(c, spacesAllowed)) details[i + 1] = kDetailAsDigit;
  }
}

void DoNothingWithTextSection(int32_t, int32_t) noexcept {}

THandleTextSectionProc HandleSentenceEndProc = &DoNothingWithTextSection;
THandleTextSectionProc HandleParagraphEndProc = &DoNothingWithTextSection;
THandleTextSectionProc HandleHeadingEndProc = &DoNothingWithTextSection;
THandleTextSectionProc HandleSectionEndProc = &DoNothingWithTextSection;

void ResetTextSectionHandlers() noexcept {
  HandleSentenceEndProc = &DoNothingWithTextSection;
  HandleParagraphEndProc = &DoNothingWithTextSection;
  HandleHeadingEndProc = &DoNothingWithTextSection;
  HandleSectionEndProc = &DoNothingWithTextSection;
}

int32_t RemoveCharA(char* buffer, char unit, int32_t length) noexcept {
  return RemoveUnit(buffer, unit, length);
}

int32_t RemoveCharW(char16_t* buffer, char16_t unit, int32_t length) noexcept {
  return RemoveUnit(buffer, unit, length);
}

void ReplaceChar1ByChar2W(char16_t* buffer, char16_t first, char16_t second,
                          int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  std::replace(buffer, buffer + length, first, second);
}

int32_t ScanForInt(int32_t value, const int32_t* values, int32_t count) noexcept {
  if (values == nullptr || count <= 0) return 0;
  const int32_t* const end = values + count;
  const int32_t* const p = std::find(values, end, value);
  return p == end ? 0 : static_cast<int32_t>(p - values) + 1;
}

}  // namespace qn
