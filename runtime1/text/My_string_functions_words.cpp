#include "runtime1/text/My_string_functions_words.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "platform/CaseMapping.h"
#include "platform/StringList.h"
#include "platform/UnitTables.h"
#include "runtime1/containers/Useful_Classes_numberlists.h"

namespace qn {

namespace {

// ---------------------------------------------------------------------------
// One byte of class bits per code unit, from the general categories: the
// platform layer's built-in table (platform/UnitTables.h).

enum : uint8_t {
  kAlnum = platform::kWordAlnum,
  kUpper = platform::kWordUpper,
  kLower = platform::kWordLower,
  kSpace = platform::kWordSpace,
  kPunct = platform::kWordPunct,
};

inline uint8_t ClassOf(char16_t c) noexcept { return platform::kUnitWordClasses[c]; }
inline bool Alnum(char16_t c) noexcept { return (ClassOf(c) & kAlnum) != 0; }
// Above U+0020 and not white space: the "visible" units of several walks.
inline bool Visible(char16_t c) noexcept { return c > 0x20 && (ClassOf(c) & kSpace) == 0; }

using View = std::u16string_view;
constexpr size_t npos = View::npos;

// 1-based position of needle in s at or after from (1-based), 0 when absent or
// when needle is empty, as the platform's substring search answers.
int32_t PosFrom(View needle, View s, int32_t from) noexcept {
  if (needle.empty() || from < 1 || static_cast<size_t>(from) > s.size()) return 0;
  const size_t p = s.find(needle, static_cast<size_t>(from - 1));
  return p == npos ? 0 : static_cast<int32_t>(p + 1);
}
inline int32_t Pos(View needle, View s) noexcept { return PosFrom(needle, s, 1); }

inline int32_t Len(View s) noexcept { return static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)); }

// 1-based substring, clamped to s.
std::u16string Copy(View s, int32_t first, int32_t count) {
  if (first < 1) {
    count += first - 1;
    first = 1;
  }
  if (count <= 0 || first > Len(s)) return {};
  return std::u16string(s.substr(static_cast<size_t>(first - 1), static_cast<size_t>(count)));
}

// Removes code units up to U+0020 at both ends.
View TrimmedControls(View s) noexcept {
  size_t a = 0, b = s.size();
  while (a < b && s[a] <= 0x20) ++a;
  while (b > a && s[b - 1] <= 0x20) --b;
  return s.substr(a, b - a);
}

}  // namespace

// ---------------------------------------------------------------------------
// Character classes.

bool IsLetterOrDigitUnit(char16_t c) noexcept { return Alnum(c); }
bool IsUpperCaseLetterUnit(char16_t c) noexcept { return (ClassOf(c) & kUpper) != 0; }
bool IsLowerCaseLetterUnit(char16_t c) noexcept { return (ClassOf(c) & kLower) != 0; }
bool IsWhiteSpaceUnit(char16_t c) noexcept { return (ClassOf(c) & kSpace) != 0; }
bool IsPunctuationUnit(char16_t c) noexcept { return (ClassOf(c) & kPunct) != 0; }

// ---------------------------------------------------------------------------
// Letter case.

bool IsAllUppercase(View s) noexcept {
  for (char16_t c : s)
    if (IsLowerCaseLetterUnit(c)) return false;
  return true;
}

bool FirstLetterIsCapitalised(View s) noexcept { return !s.empty() && IsUpperCaseLetterUnit(s[0]); }

char16_t FirstCharIsLowerCase(View s) noexcept {
  for (char16_t c : s) {
    switch (u_charType(c)) {
      case U_LOWERCASE_LETTER: return c;
      case U_UPPERCASE_LETTER:
      case U_TITLECASE_LETTER:
      case U_DECIMAL_DIGIT_NUMBER:
      case U_LETTER_NUMBER:
      case U_OTHER_NUMBER:
      case U_CURRENCY_SYMBOL: return 0;
      default: break;
    }
  }
  return 0;
}

bool NextWordCapitalised(View s, int32_t from) noexcept {
  const int32_t n = Len(s);
  if (n == 0 || from > n) return false;
  int32_t p = std::max(from, 1);
  while (p < n && !Alnum(s[static_cast<size_t>(p - 1)])) ++p;
  return IsUpperCaseLetterUnit(s[static_cast<size_t>(p - 1)]);
}

namespace {
// A unit after which TitleCase starts a new word: controls, space, the ASCII
// punctuation below "0", and : ; < = > ? @ [ \ ] ^ _ `.
inline bool StartsWordAfter(char16_t c) noexcept {
  return c < u'0' || (c >= u':' && c <= u'@') || (c >= u'[' && c <= u'`');
}
}  // namespace

std::u16string TitleCase(View s, bool everyWord) {
  std::u16string r = platform::LowerCased(s);
  if (r.empty()) return r;
  r[0] = platform::UpperChar(r[0]);
  if (everyWord) {
    for (size_t i = 1; i < r.size(); ++i)
      if (StartsWordAfter(r[i - 1])) r[i] = platform::UpperChar(r[i]);
  }
  return r;
}

std::u16string OutputConvertedStr(TOutput_results_case outputCase, View s) {
  switch (outputCase) {
    case upper_case_output: return platform::UpperCased(s);
    case title_case_output: return TitleCase(s, true);
    case lower_case_output: return platform::LowerCased(s);
    default: return std::u16string(s);
  }
}

int32_t CaseInsensitivePos(View needle, View s) {
  return Pos(platform::UpperCased(needle), platform::UpperCased(s));
}

int32_t CaseInsensitiveUpperedPos(View upperNeedle, View s) {
  return Pos(upperNeedle, platform::UpperCased(s));
}

namespace {
int32_t MapBuffer(uint32_t locale, void* buffer, bool isUTF16, uint32_t caseFlag) noexcept {
  if (buffer == nullptr) return 0;
  const uint32_t flags = platform::LCMAP_LINGUISTIC_CASING | caseFlag;
  if (isUTF16) {
    auto* w = static_cast<char16_t*>(buffer);
    return platform::LCMapStringW(locale, flags, w, -1, w, INT32_MAX);
  }
  try {
    auto* a = static_cast<char*>(buffer);
    return platform::LCMapStringA(locale, flags, a, -1, a, INT32_MAX);
  } catch (...) {
    return 0;  // the buffer stays as it was
  }
}
}  // namespace

void* WinLowerCased(uint32_t locale, void* buffer, bool isUTF16) noexcept {
  MapBuffer(locale, buffer, isUTF16, platform::LCMAP_LOWERCASE);
  return buffer;
}

void* WinUpperCased(uint32_t locale, void* buffer, bool isUTF16) noexcept {
  MapBuffer(locale, buffer, isUTF16, platform::LCMAP_UPPERCASE);
  return buffer;
}

int32_t Capitalise(uint32_t locale, void* buffer, bool isUTF16) noexcept {
  return MapBuffer(locale, buffer, isUTF16, platform::LCMAP_UPPERCASE);
}

// ---------------------------------------------------------------------------
// Words and boundaries.

bool ContainsAlphanumCharacter(View s) noexcept {
  return std::any_of(s.begin(), s.end(), [](char16_t c) { return Alnum(c); });
}

int32_t BasicWordCount(View s) noexcept {
  int32_t count = 0;
  bool inWord = false;
  for (char16_t c : s) {
    const bool a = Alnum(c);
    if (a && !inWord) ++count;
    inWord = a;
  }
  return count;
}

bool BoundedAtLeft(View s, int32_t first, int32_t /*last*/) noexcept {
  if (first == 1) return true;
  if (first < 1 || first - 1 > Len(s)) return false;
  return !Alnum(s[static_cast<size_t>(first - 2)]);
}

bool BoundedAtRight(View s, int32_t /*first*/, int32_t last) noexcept {
  const int32_t n = Len(s);
  if (last == n) return true;
  if (last < 0 || last > n) return false;
  return !Alnum(s[static_cast<size_t>(last)]);
}

bool BoundedWholeWord(View s, int32_t first, int32_t last) noexcept {
  return BoundedAtLeft(s, first, last) && BoundedAtRight(s, first, last);
}

bool IsBoundedOnLeft(View s, int32_t first) noexcept {
  if (first <= 1 || first - 1 > Len(s)) return true;
  return !Alnum(s[static_cast<size_t>(first - 2)]);
}

bool IsBoundedOnRight(View s, int32_t after) noexcept {
  if (after < 1 || after > Len(s)) return true;
  return !Alnum(s[static_cast<size_t>(after - 1)]);
}

bool IsWholeWord(View s, int32_t first, int32_t after) noexcept {
  return IsBoundedOnLeft(s, first) && IsBoundedOnRight(s, after);
}

int32_t WholeWordPositionOfXinUpcaseText(int32_t from, View x, View text) noexcept {
  int32_t p = PosFrom(x, text, std::max(from, 1));
  while (p > 0) {
    if (IsWholeWord(text, p, p + Len(x))) return p;
    p = PosFrom(x, text, p + 1);
  }
  return 0;
}

namespace {
// Calls found(p) for each counting hit until it returns true.
template <typename F>
void WalkWordHits(View needle, View text, TMySearchFlags flags, F found) {
  if (needle.empty() || text.empty()) return;
  const bool left = flags.Contains(myLeftBounded);
  const bool right = flags.Contains(myRightBounded);
  const int32_t n = Len(needle);
  for (int32_t p = Pos(needle, text); p > 0; p = PosFrom(needle, text, p + 1)) {
    if (left && !BoundedAtLeft(text, p, p + n - 1)) continue;
    if (right && !BoundedAtRight(text, p, p + n - 1)) continue;
    if (found(p)) return;
  }
}
}  // namespace

int32_t PosWordFoundIn(View needle, View text, TMySearchFlags flags) noexcept {
  int32_t result = -1;
  WalkWordHits(needle, text, flags, [&](int32_t p) {
    result = p;
    return true;
  });
  return result;
}

TQNLongintList* PositionsWordFoundIn(View needle, View text, TMySearchFlags flags) {
  auto list = std::make_unique<TQNLongintList>();
  WalkWordHits(needle, text, flags, [&](int32_t p) {
    list->AddOne(p);
    return false;
  });
  return list.release();
}

namespace {

// The first unit at or after i that is a letter, a digit or visible: the one
// that decides NextValidCharIsPunctuation; s.size() when none.
size_t NextDecidingUnit(View s, size_t i) noexcept {
  while (i < s.size() && !Alnum(s[i]) && !Visible(s[i])) ++i;
  return i;
}

// NextValidCharIsPunctuation's answer for the deciding unit at i.
bool DecidesPunctuation(View s, size_t i) noexcept {
  return i < s.size() && !Alnum(s[i]) && IsPunctuationUnit(s[i]);
}

}  // namespace

bool NextValidCharIsPunctuation(int32_t from, View s) noexcept {
  return DecidesPunctuation(s, NextDecidingUnit(s, static_cast<size_t>(std::max(from, 1) - 1)));
}

bool LastCharIsNotPunctuation(View s) noexcept {
  for (size_t i = s.size(); i-- > 0;) {
    switch (u_charType(s[i])) {
      case U_LOWERCASE_LETTER:
      case U_TITLECASE_LETTER:
      case U_UPPERCASE_LETTER:
      case U_DECIMAL_DIGIT_NUMBER:
      case U_LETTER_NUMBER:
      case U_OTHER_NUMBER:
      case U_CURRENCY_SYMBOL: return true;
      case U_CONNECTOR_PUNCTUATION:
      case U_DASH_PUNCTUATION:
      case U_START_PUNCTUATION:
      case U_END_PUNCTUATION:
      case U_INITIAL_PUNCTUATION:
      case U_FINAL_PUNCTUATION:
      case U_OTHER_PUNCTUATION: return false;
      default: break;
    }
  }
  return false;
}

int32_t NextOrLastNonSpaceCharPos(int32_t pos, View s, bool backwards) noexcept {
  const int32_t n = Len(s);
  if (backwards) {
    for (int32_t p = std::min(pos - 1, n); p >= 1; --p)
      if (Visible(s[static_cast<size_t>(p - 1)])) return p;
  } else {
    for (int32_t p = std::max(pos + 1, 1); p <= n; ++p)
      if (Visible(s[static_cast<size_t>(p - 1)])) return p;
  }
  return -1;
}

char16_t NextOrLastNonSpaceChar(int32_t pos, View s, bool backwards) noexcept {
  const int32_t p = NextOrLastNonSpaceCharPos(pos, s, backwards);
  return p > 0 ? s[static_cast<size_t>(p - 1)] : char16_t(0);
}

int32_t FirstCharPosAboveSpace(View s) noexcept {
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] > 0x20) return static_cast<int32_t>(i + 1);
  return -1;
}

bool HasAffixes(View s) noexcept {
  const size_t a = s.find(u'<');
  return a != npos && s.find(u'>', a + 1) != npos;
}

TPalavra PalavraFromString(View s) {
  TPalavra w;
  const int32_t n = Len(s);
  const int32_t a = Pos(u"<", s);
  const int32_t b = a > 0 ? PosFrom(u">", s, a) : 0;
  if (a == 1 && b > 0) {
    w.prefixo = Copy(s, 1, b);
    w.raiz = Copy(s, b + 1, n);
  } else if (b == n && b > 0) {
    w.raiz = Copy(s, 1, a - 1);
    w.sufixo = Copy(s, a, n);
  } else if (b == 0) {
    w.raiz = std::u16string(s);
  } else {
    w.raiz = Copy(s, 1, a - 1);
    w.raiz += Copy(s, b + 1, n);
    w.infixo = Copy(s, a, b - a + 1);
  }
  return w;
}

// ---------------------------------------------------------------------------
// Tags and markup.

bool IsAnOffTag(View s) noexcept { return s.starts_with(u"</"); }

std::u16string SameTagButSwitchedOff(View tag) {
  if (tag.empty()) return {};
  std::u16string r;
  r.reserve(tag.size() + 1);
  if (tag[0] == u'<') {
    r += u"</";
    r += tag.substr(1);
  } else {
    r += u'/';
    r += tag;
  }
  return r;
}

std::u16string TagOnNumbered(View tag, int32_t n) {
  if (!tag.ends_with(u'>')) return std::u16string(tag);
  std::u16string r(tag.substr(0, tag.size() - 1));
  r += u" \"";
  for (char c : std::to_string(n)) r += static_cast<char16_t>(c);
  r += u"\">";
  return r;
}

bool IsAngleBracketed(View s) noexcept { return s.starts_with(u'<') && s.ends_with(u'>'); }

namespace {
std::u16string Enclosed(View s, char16_t open, char16_t close) {
  std::u16string r;
  r.reserve(s.size() + 2);
  if (!s.starts_with(open)) r += open;
  r += s;
  if (!s.ends_with(close)) r += close;
  return r;
}
}  // namespace

std::u16string Angle_Bracketed(View s) { return Enclosed(s, u'<', u'>'); }
std::u16string Bracketed(View s) { return Enclosed(s, u'(', u')'); }

std::u16string UNAngle_Bracketed(View s) {
  if (s.starts_with(u'<')) s.remove_prefix(1);
  if (s.ends_with(u'>')) s.remove_suffix(1);
  return std::u16string(s);
}

std::u16string SimpleTagValue(View tagName, View text, bool& found) {
  std::u16string open(u"<");
  open += tagName;
  open += u'>';
  std::u16string close(u"</");
  close += tagName;
  close += u'>';
  const int32_t a = Pos(open, text);
  const int32_t b = Pos(close, text);
  found = a > 0 && a < b;
  if (!found) return {};
  return Copy(text, a + Len(open), b - a - Len(open));
}

std::u16string TrimmedSimpleTagValue(View tagName, View text, bool& found) {
  const std::u16string value = SimpleTagValue(tagName, text, found);
  return std::u16string(TrimmedControls(value));
}

std::u16string ExtractMarkupDataFromText(View text, View startMark, View endMark) {
  const int32_t a = Pos(startMark, text);
  if (a == 0) return {};
  const int32_t b = PosFrom(endMark, text, a);
  if (b == 0) return {};
  const int32_t start = a + Len(startMark);
  return Copy(text, start, b - start);
}

std::u16string WithoutMarkup(View text, char16_t open, char16_t close, int32_t maxSpan) {
  if (maxSpan < 1) return std::u16string(text);
  std::u16string r;
  r.reserve(text.size());
  const size_t n = text.size();
  // The first closing unit at or after the cursor; only ever moves forwards.
  size_t nextClose = 0;
  bool closeKnown = false;
  size_t i = 0;
  while (i < n) {
    const size_t o = text.find(open, i);
    if (o == npos) {
      r.append(text.substr(i));
      break;
    }
    r.append(text.substr(i, o - i));
    if (!closeKnown || nextClose < o) {
      nextClose = text.find(close, o);
      if (nextClose == npos) nextClose = n;  // one behind the end
      closeKnown = true;
    }
    if (nextClose - o <= static_cast<size_t>(maxSpan)) {
      i = nextClose + 1;  // drop open..close (or the rest)
    } else {
      r += text[o];
      i = o + 1;
    }
  }
  return r;
}

std::u16string WithoutMarkup(View text, int32_t maxSpan) { return WithoutMarkup(text, u'<', u'>', maxSpan); }

std::u16string MarkupWithoutText(View text, char16_t open, char16_t close) {
  std::u16string r;
  for (size_t a = text.find(open); a != npos; a = text.find(open, a + 1)) {
    const size_t b = text.find(close, a + 1);
    if (b == npos) break;  // no later opener has a close either
    r.append(text.substr(a, b - a + 1));
  }
  return r;
}

std::u16string MarkupWithoutText(View text) { return MarkupWithoutText(text, u'<', u'>'); }

std::u16string MarkupFreeTextFromAFile(View fileName, int32_t maxSpan) {
  platform::TStringList list;
  list.LoadFromFile(fileName);
  return WithoutMarkup(list.Text(), u'<', u'>', maxSpan);
}

std::u16string ParaDivHeadingEndToCRLF(View s) {
  std::u16string r(s);
  for (View tag : {View(u"</P>"), View(u"</DIV>"), View(u"</HEAD>")}) {
    const std::u16string upper = platform::UpperCased(r);
    std::u16string next;
    next.reserve(r.size());
    size_t from = 0;
    for (size_t p = upper.find(tag); p != npos; p = upper.find(tag, from)) {
      next.append(r, from, p - from);
      next += u"\r\n";
      from = p + tag.size();
    }
    next.append(r, from, npos);
    r.swap(next);
  }
  return r;
}

std::u16string PrecedingContext(View text, int32_t n, int32_t pos) {
  if (n <= 0) return {};
  const int32_t last = std::min(pos - 1, Len(text));
  const int32_t first = std::max(1, pos - n);
  return Copy(text, first, last - first + 1);
}

namespace {
// Calls visit(a, stretch) for each open..close stretch until it returns true;
// returns the number of visits.
template <typename F>
int32_t WalkStretches(View text, View open, View close, F visit) {
  int32_t count = 0;
  int32_t cursor = 1;
  while (true) {
    const int32_t a = PosFrom(open, text, cursor);
    if (a == 0) break;
    const int32_t b = PosFrom(close, text, a);
    if (b == 0) break;
    const int32_t end = b + Len(close) - 1;
    ++count;
    if (visit(a, Copy(text, a, end - a + 1))) break;
    cursor = end + 1;
  }
  return count;
}
}  // namespace

int32_t FindAndStudyStringInText(View text, View open, View close, void* userValue,
                                 TStudyStringProc proc) {
  int32_t number = 0;
  return WalkStretches(text, open, close, [&](int32_t, std::u16string stretch) {
    TStringAndIntegerRec rec;
    rec.s = std::move(stretch);
    rec.i = ++number;
    return proc != nullptr && proc(rec, userValue);
  });
}

int32_t FindAndStudyStringInText(View text, View open, View close, TStudyStringMethod callback,
                                 int32_t contextLength) {
  int32_t number = 0;
  const int64_t length = std::max<int64_t>(1, Len(text));
  return WalkStretches(text, open, close, [&](int32_t a, std::u16string stretch) {
    ++number;
    if (!callback.Assigned()) return false;
    const int32_t percent = static_cast<int32_t>(int64_t{a} * 100 / length);
    return callback(PrecedingContext(text, contextLength, a), stretch, a, percent);
  });
}

int32_t NumberOfTagsWithinChunk(View text, int32_t limit) {
  int32_t count = 0;
  WalkStretches(text, u"<", u">", [&](int32_t, const std::u16string&) { return ++count > limit; });
  return count;
}

int32_t NumberOfTagsWithinChunk(View text) {
  return WalkStretches(text, u"<", u">", [](int32_t, const std::u16string&) { return false; });
}

std::u16string OpenWithoutCloseTagInText(View, View, View text, bool skipPercent,
                                         bool onlyUpperCase, int32_t contextLength,
                                         TOpenTagMethod callback) {
  // Whether a tag's end tag occurs in the text, remembered per tag: a chunk
  // repeats the same few tags many times.
  //
  // An end tag "</x>" occurs in the text exactly where a "</" is followed by
  // "x>" up to the first ">" after it (x holds no ">"), so every end tag the
  // text holds is gathered in one pass, when the first start tag is looked
  // at, instead of searching the whole text once per distinct tag.
  std::unordered_map<View, bool> closed;
  std::unordered_set<View> endTags;
  bool endTagsGathered = false;
  const auto gatherEndTags = [&] {
    size_t gt = 0;
    bool gtKnown = false;
    for (size_t p = text.find(u"</"); p != npos; p = text.find(u"</", p + 1)) {
      if (!gtKnown || gt < p) {
        gt = text.find(u'>', p);
        gtKnown = true;
      }
      if (gt == npos) break;
      endTags.insert(text.substr(p, gt - p + 1));
    }
    endTagsGathered = true;
  };
  size_t cursor = 0;
  size_t b = 0;  // the first ">" at or after the current "<", kept while ahead
  bool bKnown = false;
  while (true) {
    const size_t a = text.find(u'<', cursor);
    if (a == npos) break;
    cursor = a + 1;
    if (!bKnown || b < a) {
      b = text.find(u'>', a);
      bKnown = true;
    }
    if (b == npos) break;
    const View candidate = text.substr(a, b - a + 1);
    if (IsAnOffTag(candidate)) continue;
    if (onlyUpperCase && !IsAllUppercase(UNAngle_Bracketed(candidate))) continue;
    if (skipPercent && candidate.find(u'%') != npos) continue;
    auto it = closed.find(candidate);
    if (it == closed.end()) {
      if (!endTagsGathered) gatherEndTags();
      it = closed.emplace(candidate, endTags.count(SameTagButSwitchedOff(candidate)) != 0).first;
    }
    if (it->second) continue;
    if (callback.Assigned()) {
      T2StringsAndIntegerRec rec;
      rec.s1 = std::u16string(candidate);
      rec.s2 = PrecedingContext(text, contextLength, static_cast<int32_t>(a + 1));
      rec.int_ = static_cast<int32_t>(a + 1);
      if (!callback(rec)) continue;
    }
    return std::u16string(candidate);
  }
  return {};
}

// ---------------------------------------------------------------------------
// Small cleaning functions.

std::u16string StrippedOfChar(View s, char16_t c) {
  std::u16string r;
  r.reserve(s.size());
  for (char16_t u : s)
    if (u != c) r += u;
  return r;
}

std::u16string StrippedOfChars(View s, View set) {
  std::u16string r;
  r.reserve(s.size());
  for (char16_t u : s)
    if (set.find(u) == npos) r += u;
  return r;
}

std::u16string StrippedOfCommas(View s) { return StrippedOfChar(s, u','); }

std::u16string StrippedOfSingleAmpersands(View s) {
  std::u16string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'&') {
      if (i + 1 < s.size() && s[i + 1] == u'&') {
        r += u'&';
        ++i;
      }
      continue;
    }
    r += s[i];
  }
  return r;
}

std::u16string StrippedDoubleSpaces(View s) {
  std::u16string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == u' ' && i > 0 && s[i - 1] == u' ')) r += s[i];
  return r;
}

std::u16string StrippedSpacesBeforePunctuation(View s) {
  std::u16string r;
  r.reserve(s.size());
  // Whether the next unit after a run of spaces that is neither white space
  // nor a letter or digit is punctuation: decided once per run. The deciding
  // unit found for one run also decides every later run before it, so runs
  // separated only by other white space (blanks and tabs alternating) do not
  // each search the rest of the text.
  size_t deciding = 0;
  bool known = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u' ') {
      r += s[i];
      continue;
    }
    size_t j = i;
    while (j < s.size() && s[j] == u' ') ++j;
    if (!known || deciding < j) {
      deciding = NextDecidingUnit(s, j);
      known = true;
    }
    if (!DecidesPunctuation(s, deciding)) r.append(j - i, u' ');
    i = j - 1;
  }
  return r;
}

std::u16string WideTrimSpaceOnly(View s) {
  size_t a = 0, b = s.size();
  while (a < b && IsWhiteSpaceUnit(s[a])) ++a;
  while (b > a && IsWhiteSpaceUnit(s[b - 1])) --b;
  return std::u16string(s.substr(a, b - a));
}

std::u16string DoubleQuotesAdded(View s) {
  const View inner = TrimmedControls(s);
  std::u16string r;
  r.reserve(inner.size() + 2);
  r += u'"';
  r += inner;
  r += u'"';
  return r;
}

std::u16string DoubleQuotesRemoved(View s) { return StrippedOfChar(TrimmedControls(s), u'"'); }

std::u16string RemovedInitialChar(View s, char16_t c) {
  if (s.starts_with(c)) s.remove_prefix(1);
  return std::u16string(s);
}

std::u16string BackwardsStr(View s) { return std::u16string(s.rbegin(), s.rend()); }

std::u16string InterspersedWithSpaces(View s) {
  std::u16string r;
  r.reserve(2 * s.size());
  for (char16_t c : s) {
    r += c;
    r += u' ';
  }
  return r;
}

std::u16string FirstXCharactersOfString(View s, int32_t n, bool withEllipsis) {
  if (n >= Len(s)) return std::u16string(s);
  std::u16string r(s.substr(0, static_cast<size_t>(std::max(n, 0))));
  if (withEllipsis) r += u'\u2026';
  return r;
}

TTwoStringHalves StringHalvesSplitAtMark(View mark, View s) {
  TTwoStringHalves h;
  const int32_t p = Pos(mark, s);
  if (p == 0) {
    h.before = std::u16string(s);
  } else {
    h.before = Copy(s, 1, p - 1);
    h.after = Copy(s, p + 1, Len(s));
  }
  return h;
}

std::u16string ValueString(View s) {
  const size_t p = s.find(u'=');
  return p == npos ? std::u16string() : std::u16string(s.substr(p + 1));
}

int32_t BeginningOfSameLine(View s, int32_t pos) noexcept {
  for (int32_t p = std::min(pos, Len(s)); p >= 1; --p) {
    const char16_t c = s[static_cast<size_t>(p - 1)];
    if (c == u'\r' || c == u'\n') return p;
  }
  return -1;
}

const char* FirstCharInBufferNotInQuotes(const char* buffer, char c) noexcept {
  if (buffer == nullptr) return nullptr;
  char quote = 0;  // the quote that opened the current stretch, 0 outside
  for (const char* p = buffer; *p != 0; ++p) {
    if (quote != 0) {
      if (*p == quote && p[-1] != '\\') quote = 0;
    } else if (*p == '"' || *p == '\'') {
      quote = *p;
    } else if (*p == c) {
      return p;
    }
  }
  return nullptr;
}

}  // namespace qn
