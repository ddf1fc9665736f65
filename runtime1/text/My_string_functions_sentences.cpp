#include "runtime1/text/My_string_functions_sentences.h"

#include <unicode/uchar.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/StringList.h"
#include "runtime1/text/My_string_functions.h"
#include "runtime1/text/Sentence_terminators.h"

namespace qn {

namespace {

using View = std::u16string_view;

inline int32_t Len(View s) noexcept { return static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)); }

// Units up to U+0020 removed at both ends.
View Trimmed(View s) noexcept {
  size_t a = 0, b = s.size();
  while (a < b && s[a] <= 0x20) ++a;
  while (b > a && s[b - 1] <= 0x20) --b;
  return s.substr(a, b - a);
}

// Adds the trimmed piece when it is not empty.
void AddTrimmed(platform::TStringList& list, View piece) {
  const View t = Trimmed(piece);
  if (!t.empty()) list.Add(std::u16string(t));
}

// s[p], 1-based, for p inside s.
inline char16_t At(View s, int32_t p) noexcept { return s[static_cast<size_t>(p - 1)]; }

}  // namespace

// ---------------------------------------------------------------------------
// Recorded hits.

TInsertedTextHolder::~TInsertedTextHolder() = default;

TInsertedTextPositionList::TInsertedTextPositionList() : TUsefulBaseList(ClassOf<TInsertedTextHolder>()) {}
TInsertedTextPositionList::~TInsertedTextPositionList() = default;

int32_t TInsertedTextPositionList::AddOne(const TInsertedTextRec& rec) {
  auto holder = std::make_unique<TInsertedTextHolder>(rec);
  const int32_t index = Add(holder.get());
  holder.release();
  return index;
}

TInsertedTextRec TInsertedTextPositionList::GetOne(int32_t index) const noexcept {
  if (index < 0 || index >= Count()) return {};
  const auto* h = dynamic_cast<const TInsertedTextHolder*>(Items(index));
  return h ? h->data : TInsertedTextRec{};
}

int32_t TInsertedTextPositionList::GetAHitStart(int32_t index) const noexcept {
  return GetOne(index).hit_place_in_chars;
}

// ---------------------------------------------------------------------------
// Sentence ends.

bool IsPotentialSentenceTerminator(char16_t c) noexcept {
  if (c < 0x21 || (c >= 0x40 && c <= 0x7D)) return false;
  if (IsBasicSentTerminator(c)) return true;
  return c >= other_sent_terminators[0] && IsOtherSentTerminator(c);
}

namespace {

// Whether c may end a sentence: "!", "." or "?", or a unit from U+0589 on,
// where the terminators of the other scripts lie (IsPotentialSentenceTerminator
// decides).
inline bool MayEndSentence(char16_t c) noexcept { return c == u'.' || c == u'!' || c == u'?' || c >= 0x0589; }

// The first unit in [p, end) that may end a sentence, or end. Texts hold few
// of them, so the scan looks at eight units at a time where it can.
const char16_t* NextPossibleTerminator(const char16_t* p, const char16_t* end) noexcept {
#if defined(__SSE2__)
  const __m128i dot = _mm_set1_epi16(u'.');
  const __m128i bang = _mm_set1_epi16(u'!');
  const __m128i query = _mm_set1_epi16(u'?');
  const __m128i belowOthers = _mm_set1_epi16(0x0588);
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i basic =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, dot), _mm_cmpeq_epi16(x, bang)), _mm_cmpeq_epi16(x, query));
    // Lanes up to U+0588: their saturated difference from U+0588 is zero.
    const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(x, belowOthers), zero);
    const unsigned mask =
        static_cast<unsigned>(_mm_movemask_epi8(basic)) | (static_cast<unsigned>(_mm_movemask_epi8(low)) ^ 0xFFFFu);
    if (mask != 0) return p + (__builtin_ctz(mask) >> 1);
    p += 8;
  }
#endif
  while (p < end && !MayEndSentence(*p)) ++p;
  return p;
}

}  // namespace

int32_t EndOfSentence(int32_t from, View s) noexcept {
  const int32_t n = Len(s);
  if (from > n) return -1;
  // Up to the first letter or digit; nothing ends before it.
  int32_t p = std::max(from, 1);
  while (p <= n && !IsLetterOrDigitUnit(At(s, p))) ++p;
  if (p > n) return -1;
  // Then the first terminator not followed by a letter or digit, or the end.
  const char16_t* const base = s.data();  // position q (1-based) is base[q - 1]
  const char16_t* const last = base + (n - 1);
  for (const char16_t* q = base + (p - 1);; ++q) {
    q = NextPossibleTerminator(q, last);
    if (q >= last) return n;
    if (IsPotentialSentenceTerminator(*q) && !IsLetterOrDigitUnit(q[1])) return static_cast<int32_t>(q - base) + 1;
  }
}

int32_t FirstLetterOrDigitPosAfterSentenceEnd(View s, int32_t from) noexcept {
  const int32_t n = Len(s);
  if (n == 0) return 0;
  int32_t p = std::clamp(from, 1, n);
  while (p < n && !IsLetterOrDigitUnit(At(s, p))) ++p;
  return p;
}

bool FirstCharAfterSentenceEndUpperCase(View s, int32_t pos) noexcept {
  const int32_t n = Len(s);
  if (pos < 1 || pos >= n) return true;
  return !IsLowerCaseLetterUnit(At(s, pos));
}

int32_t FirstValidStartOfSentence(View s, int32_t from) noexcept {
  const int32_t n = Len(s);
  for (;;) {
    const int32_t p = FirstLetterOrDigitPosAfterSentenceEnd(s, from);
    if (FirstCharAfterSentenceEndUpperCase(s, p)) return p;
    from = EndOfSentence(p + 1, s);
    if (from < 0) return n;
  }
}

// ---------------------------------------------------------------------------
// Sentences of a paragraph.

platform::TStringList* SentencesExtractedFromParagraph(bool lastIsEnd, int32_t minLength, View text) {
  auto list = std::make_unique<platform::TStringList>();
  const int32_t n = Len(text);
  int32_t start = 0;  // 1-based start of the pending sentence, 0 for none
  int32_t count = 0;  // word characters since the last cut
  auto cut = [&](int32_t p) {
    const View t = Trimmed(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(p - start + 1)));
    if (static_cast<int64_t>(t.size()) > minLength) list->Add(std::u16string(t));
    count = 0;
    start = 0;
  };
  for (int32_t p = 1; p <= n; ++p) {
    if (p == n && lastIsEnd && start > 0) cut(p);
    const char16_t c = At(text, p);
    switch (u_charType(c)) {
      case U_LOWERCASE_LETTER:
      case U_MODIFIER_LETTER:
      case U_COMBINING_SPACING_MARK:
      case U_ENCLOSING_MARK:
      case U_NON_SPACING_MARK: ++count; break;
      case U_OTHER_LETTER:
      case U_TITLECASE_LETTER:
      case U_UPPERCASE_LETTER:
      case U_DECIMAL_DIGIT_NUMBER:
      case U_LETTER_NUMBER:
      case U_OTHER_NUMBER:
        if (start == 0) start = p;
        ++count;
        break;
      case U_OTHER_PUNCTUATION:
        if (count >= minLength && start > 0 && IsPotentialSentenceTerminator(c) &&
            (p == n || u_charType(At(text, p + 1)) != U_DECIMAL_DIGIT_NUMBER))
          cut(p);
        break;
      default: break;
    }
  }
  return list.release();
}

namespace {

// Punctuation that never ends a sentence in the class-based split.
bool NeverEndsSentence(char16_t c) noexcept {
  switch (c) {
    case u'"': case u'#': case u'%': case u'&': case u'\'': case u'*': case u',': case u'/':
    case u':': case u';': case u'@': case u'\\': case u'\u00A1': case u'\u00B7': case u'\u00BF':
      return true;
    default: return false;
  }
}

void SplitAtSeparator(platform::TStringList& list, View text, View separator) {
  size_t cursor = 0;
  for (size_t p = text.find(separator); p != View::npos; p = text.find(separator, cursor)) {
    AddTrimmed(list, text.substr(cursor, p - cursor));
    cursor = p + separator.size();
  }
  AddTrimmed(list, text.substr(cursor));
}

void SplitByClasses(platform::TStringList& list, View text, uint32_t locale, int32_t maxTagLength) {
  using namespace platform;
  const size_t n = text.size();
  if (n > static_cast<size_t>(INT32_MAX - 2)) return;
  std::vector<uint16_t> details(n + 2, 0);
  if (n > 0 && !GetStringTypeExNT2000(true, locale, CT_CTYPE1, details.data(), static_cast<int32_t>(n), text.data()))
    return;
  // Tags count as punctuation: each "<" up to (not including) the next ">",
  // when that stretch is at most maxTagLength units. One cursor finds the
  // closing units and one remembers how far the painting went, so a text full
  // of "<" costs one pass.
  if (maxTagLength > 0 && text.find(u'<') != View::npos) {
    size_t nextClose = 0;
    bool closeKnown = false;
    size_t paintedTo = 0;
    for (size_t i = text.find(u'<'); i != View::npos; i = text.find(u'<', i + 1)) {
      if (!closeKnown || nextClose < i) {
        nextClose = text.find(u'>', i);
        if (nextClose == View::npos) nextClose = n + static_cast<size_t>(maxTagLength) + 1;
        closeKnown = true;
      }
      if (nextClose - i > static_cast<size_t>(maxTagLength)) continue;
      for (size_t j = std::max(i, paintedTo); j < nextClose; ++j) details[j] = C1_PUNCT;
      paintedTo = std::max(paintedTo, nextClose);
    }
  }
  details[n + 1] = C1_ALPHA;  // every forward look finds a letter
  // The next letter or digit and the next white space at or after each index.
  std::vector<uint32_t> nextAlnum(n + 2), nextWhite(n + 1);
  nextAlnum[n + 1] = static_cast<uint32_t>(n + 1);
  for (size_t i = n + 1; i-- > 0;)
    nextAlnum[i] = (details[i] & (C1_ALPHA | C1_DIGIT)) ? static_cast<uint32_t>(i) : nextAlnum[i + 1];
  nextWhite[n] = static_cast<uint32_t>(n);  // none inside the text
  for (size_t i = n; i-- > 0;)
    nextWhite[i] = (details[i] & (C1_SPACE | C1_BLANK)) ? static_cast<uint32_t>(i) : nextWhite[i + 1];

  size_t start = 0;
  for (size_t i = 1; i < n; ++i) {
    const char16_t c = text[i];
    if (!(details[i] & C1_PUNCT) || u_charType(c) != U_OTHER_PUNCTUATION) continue;
    if (c > 0xBF && IsPunctNotEndingSent(c)) continue;
    if (NeverEndsSentence(c)) continue;
    if ((IsBasicSentTerminator(c) || IsOtherSentTerminator(c)) && (details[i + 1] & (C1_LOWER | C1_DIGIT)))
      continue;
    const size_t a = nextAlnum[i + 1];
    if (details[a] & C1_LOWER) continue;
    const size_t w = nextWhite[i];
    size_t end = w < a ? w : a - 1;  // inclusive, 0-based
    if (end >= n) end = n - 1;
    if (end >= start) AddTrimmed(list, text.substr(start, end - start + 1));
    start = std::max(start, end + 1);
  }
  if (start < n) AddTrimmed(list, text.substr(start));
}

}  // namespace

platform::TStringList* SentencesFromParagraph(View text, View separator, uint32_t locale, int32_t maxTagLength) {
  auto list = std::make_unique<platform::TStringList>();
  if (!separator.empty())
    SplitAtSeparator(*list, text, separator);
  else
    SplitByClasses(*list, text, locale, maxTagLength);
  return list.release();
}

// ---------------------------------------------------------------------------
// Lines and chunks.

namespace {

template <typename Char>
std::basic_string<Char> ToCRLF(int32_t& insertions, std::basic_string_view<Char> s) {
  std::basic_string<Char> r;
  const size_t n = s.size();
  size_t added = 0;
  // First pass: count, so that the result is allocated once.
  for (size_t i = 0; i < n; ++i) {
    const Char c = s[i];
    if (c == Char('\n')) {
      if (i == 0 || s[i - 1] != Char('\r')) ++added;
    } else if (c == Char('\r')) {
      if (i + 1 < n && s[i + 1] != Char('\n')) ++added;
    }
  }
  insertions = static_cast<int32_t>(std::min<size_t>(added, INT32_MAX));
  if (added == 0) return std::basic_string<Char>(s);
  r.resize(n + added);
  Char* out = r.data();
  size_t from = 0;
  for (size_t i = 0; i < n; ++i) {
    const Char c = s[i];
    if (c != Char('\n') && c != Char('\r')) continue;
    const bool loneLF = c == Char('\n') && (i == 0 || s[i - 1] != Char('\r'));
    const bool loneCR = c == Char('\r') && i + 1 < n && s[i + 1] != Char('\n');
    if (!loneLF && !loneCR) continue;
    out = std::copy(s.data() + from, s.data() + i, out);
    *out++ = Char('\r');
    *out++ = Char('\n');
    from = i + 1;
  }
  std::copy(s.data() + from, s.data() + n, out);
  return r;
}

inline bool IsLineEndUnit(char16_t c) noexcept { return c == u'\r' || c == u'\n'; }

// Line ends in a run of CR and LF: CR LF, a lone CR and a lone LF count one each.
size_t LineEndsIn(View run) noexcept {
  size_t count = 0;
  for (size_t i = 0; i < run.size(); ++i) {
    if (run[i] == u'\r' && i + 1 < run.size() && run[i + 1] == u'\n') ++i;
    ++count;
  }
  return count;
}

std::u16string ReducedLineEnds(View s, size_t keep, bool reduceAlways) {
  std::u16string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != u'\r') {
      r += s[i++];
      continue;
    }
    size_t j = i;
    while (j < s.size() && IsLineEndUnit(s[j])) ++j;
    const View run = s.substr(i, j - i);
    const size_t ends = LineEndsIn(run);
    if (reduceAlways || ends > keep) {
      for (size_t k = 0; k < keep; ++k) r += u"\r\n";
    } else {
      r.append(run);
    }
    i = j;
  }
  return r;
}

}  // namespace

std::u16string UnixStringToWindowsStringW(int32_t& insertions, View s) { return ToCRLF<char16_t>(insertions, s); }

std::string UnixStringToWindowsString(int32_t& insertions, std::string_view s) {
  return ToCRLF<char>(insertions, s);
}

std::u16string StrippedSpacesAtLineStarts(View s) {
  std::u16string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i++];
    r += c;
    if (c == u'\n' && i >= 2 && s[i - 2] == u'\r')
      while (i < s.size() && s[i] == u' ') ++i;
  }
  return r;
}

std::u16string StrippedMultipleLineEnds(View s) { return ReducedLineEnds(s, 1, true); }

std::u16string StrippedMultipleLineEnds(View s, int32_t keep) {
  return ReducedLineEnds(s, static_cast<size_t>(std::max(keep, 1)), false);
}

std::u16string StripWhiteSpaceAndCRLFW(View s, int32_t maxLength) {
  std::u16string r;
  if (maxLength < 1) return r;
  const size_t n = std::min(s.size(), static_cast<size_t>(maxLength));
  r.reserve(n);
  bool inRun = false;
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (c == 0) break;
    if (c <= 0x20) {
      if (!inRun) r += u' ';
      inRun = true;
    } else {
      r += c;
      inRun = false;
    }
  }
  return r;
}

std::u16string RemovedEmptyLinesOf(View s) {
  std::u16string r;
  r.reserve(s.size());
  size_t start = 0;
  while (start < s.size()) {
    size_t end = s.find(u"\r\n", start);
    const size_t next = end == View::npos ? s.size() : end + 2;
    if (end == View::npos) end = s.size();
    const View line = s.substr(start, end - start);
    if (!Trimmed(line).empty()) r.append(s.substr(start, next - start));
    start = next;
  }
  return r;
}

std::u16string StringInNCharacterChunks(View s, View prefix, View mark, int32_t minimum) {
  std::u16string r;
  if (mark.empty()) {
    r.append(prefix);
    r.append(s);
    return r;
  }
  const size_t least = static_cast<size_t>(std::max(minimum, 0));
  size_t start = 0;
  for (;;) {
    if (start + least > s.size()) break;
    const size_t p = s.find(mark, start + least);
    if (p == View::npos) break;
    r.append(prefix);
    r.append(s.substr(start, p - start + 1));
    r += u"\r\n";
    start = p + 1;
  }
  r.append(prefix);
  r.append(s.substr(std::min(start, s.size())));
  return r;
}

// ---------------------------------------------------------------------------
// Replacement.

int32_t Replace1With2In(char16_t c1, char16_t c2, std::u16string& s) noexcept {
  int32_t count = 0;
  for (char16_t& c : s)
    if (c == c1) {
      c = c2;
      ++count;
    }
  return count;
}

int32_t Replace1With2In(char c1, char c2, std::string& s) noexcept {
  int32_t count = 0;
  for (char& c : s)
    if (c == c1) {
      c = c2;
      ++count;
    }
  return count;
}

int32_t Replace2With4In(char16_t c1, char16_t c2, char16_t r1, char16_t r2, std::u16string& s) noexcept {
  const int32_t first = Replace1With2In(c1, r1, s);
  return first + Replace1With2In(c2, r2, s);
}

void ReplaceAnyOfTheseWithChar(View chars, View s, char16_t r, TStringAndIntegerRec& result) {
  std::u16string out(s);
  for (char16_t c : chars) result.i += Replace1With2In(c, r, out);
  result.s = std::move(out);
}

namespace {

// The byte folding of the case-ignoring replacement: the same table for both
// sides of every comparison.
std::array<unsigned char, 256> ByteFold() {
  std::array<unsigned char, 256> fold{};
  for (int b = 0; b < 256; ++b) fold[static_cast<size_t>(b)] = static_cast<unsigned char>(b);
  const uint32_t cp = platform::ActiveCodePage();
  if (platform::IsSingleByteCodePage(cp)) {
    std::array<char, 256> bytes{};
    for (int b = 0; b < 256; ++b) bytes[static_cast<size_t>(b)] = static_cast<char>(b);
    platform::UpperCaseBytesInPlace(cp, bytes.data(), bytes.size(),
                                    platform::CaseVariantOfLCID(platform::UserDefaultLCID()));
    for (int b = 0; b < 256; ++b) fold[static_cast<size_t>(b)] = static_cast<unsigned char>(bytes[static_cast<size_t>(b)]);
  } else {
    for (int b = 'a'; b <= 'z'; ++b) fold[static_cast<size_t>(b)] = static_cast<unsigned char>(b - 'a' + 'A');
  }
  return fold;
}

}  // namespace

std::string AnsiStringReplace(std::string_view s, std::string_view old, std::string_view new_, TReplaceFlags flags) {
  if (s.empty() || old.empty()) return std::string(s);
  const bool all = (flags & rfReplaceAll) != 0;
  std::string r;
  r.reserve(s.size());
  if (!(flags & rfIgnoreCase)) {
    size_t from = 0;
    for (size_t p = s.find(old); p != std::string_view::npos; p = s.find(old, from)) {
      r.append(s.substr(from, p - from));
      r.append(new_);
      from = p + old.size();
      if (!all) break;
    }
    r.append(s.substr(from));
    return r;
  }
  const std::array<unsigned char, 256> fold = ByteFold();
  auto folded = [&fold](std::string_view t) {
    std::string f(t);
    for (char& c : f) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
    return f;
  };
  const std::string fs = folded(s), fo = folded(old);
  const std::string_view fsv(fs);
  size_t from = 0;
  for (size_t p = fsv.find(fo); p != std::string_view::npos; p = fsv.find(fo, from)) {
    r.append(s.substr(from, p - from));
    r.append(new_);
    from = p + old.size();
    if (!all) break;
  }
  r.append(s.substr(from));
  return r;
}

std::u16string CopyStringsReplacing(View text, View old, View new_, const TInsertedTextPositionList& hits,
                                    TRightOrLeft side) {
  std::u16string r;
  r.reserve(text.size());
  const int64_t n = static_cast<int64_t>(text.size());
  const int64_t oldLen = static_cast<int64_t>(old.size());
  int64_t cursor = 1;  // the first unit not yet copied
  for (int32_t i = 0; i < hits.Count(); ++i) {
    int64_t start = hits.GetAHitStart(i);
    if (side == at_right) start -= oldLen;
    if (start < cursor || start < 1 || start + oldLen - 1 > n) continue;
    r.append(text.substr(static_cast<size_t>(cursor - 1), static_cast<size_t>(start - cursor)));
    r.append(new_);
    cursor = start + oldLen;
  }
  if (cursor <= n) r.append(text.substr(static_cast<size_t>(cursor - 1)));
  return r;
}

}  // namespace qn
