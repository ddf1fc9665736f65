// Columns, string lists, custom sort order, file names and appending to files.
#include "runtime1/text/My_string_functions_lists.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <random>

#include "platform/CaseMapping.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "runtime1/containers/Useful_Classes.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/files/Wingenok.h"
#include "runtime1/text/My_string_functions.h"
#include "runtime1/text/My_string_functions_numbers.h"

namespace qn {

using platform::IntFromObject;
using platform::ObjectFromInt;
using platform::TStringList;

namespace {

bool gSortDescending = false;

std::u16string_view Trimmed(std::u16string_view s) noexcept {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && s[first] <= u' ') ++first;
  while (last > first && s[last - 1] <= u' ') --last;
  return s.substr(first, last - first);
}

bool IsPathDelimiter(char16_t c) noexcept { return c == u'/' || c == u'\\'; }

std::u16string_view AfterLastDelimiter(std::u16string_view s) noexcept {
  for (size_t i = s.size(); i-- > 0;) {
    if (IsPathDelimiter(s[i])) return s.substr(i + 1);
  }
  return s;
}

// "h[:mm[:ss]]" with an optional AM/PM after a blank; false when not a time.
bool TryReadTime(std::u16string_view s, char16_t separator, double& fraction) {
  s = Trimmed(s);
  int32_t parts[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  while (count < 3) {
    size_t start = i;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') ++i;
    if (i == start || i - start > 2) return false;
    parts[count++] = platform::StrToIntDef(s.substr(start, i - start), 0);
    if (i < s.size() && (s[i] == separator || s[i] == u':')) {
      ++i;
      continue;
    }
    break;
  }
  std::u16string rest(Trimmed(s.substr(i)));
  rest = platform::UpperCased(rest);
  int32_t hour = parts[0];
  if (rest == u"PM" || rest == platform::UpperCased(UserDefaultFormatSettings.TimePMString)) {
    if (hour < 12) hour += 12;
  } else if (rest == u"AM" || rest == platform::UpperCased(UserDefaultFormatSettings.TimeAMString)) {
    if (hour == 12) hour = 0;
  } else if (!rest.empty()) {
    return false;
  }
  if (hour > 23 || parts[1] > 59 || parts[2] > 59) return false;
  fraction = (hour * 3600.0 + parts[1] * 60.0 + parts[2]) / 86400.0;
  return true;
}

void SplitInto(TStringList& list, char16_t separator, std::u16string_view s) {
  size_t start = 0;
  for (;;) {
    const size_t p = s.find(separator, start);
    if (p == std::u16string_view::npos) break;
    list.Add(std::u16string(s.substr(start, p - start)));
    start = p + 1;
    if (start < s.size() && s[start] == u'\n' && separator != u'\n') ++start;
  }
  list.Add(std::u16string(s.substr(start)));
}

}  // namespace

// ---------------------------------------------------------------------------
// Tab-separated columns.

std::u16string AddWithTab(std::u16string_view a, std::u16string_view b) {
  return AddToListWithSeparatorIfNeeded(a, b, u"\t");
}

std::u16string AddToListWithSeparatorIfNeeded(std::u16string_view a, std::u16string_view b,
                                              std::u16string_view separator) {
  std::u16string r(a);
  if (!a.empty()) r += separator;
  r += b;
  return r;
}

std::u16string PreTabPart(std::u16string_view s) {
  const size_t tab = s.find(u'\t');
  return tab == std::u16string_view::npos ? std::u16string() : std::u16string(s.substr(0, tab));
}

std::u16string AfterTabPart(std::u16string_view s) {
  const size_t tab = s.find(u'\t');
  return tab == std::u16string_view::npos ? std::u16string() : std::u16string(s.substr(tab + 1));
}

std::u16string PreTabPathAndFilenameOf(std::u16string_view s) { return PreTabPart(s); }

std::u16string PreTabFilenameOf(std::u16string_view s) {
  return std::u16string(AfterLastDelimiter(PreTabPart(s)));
}

int32_t AfterTabIntegerOf(std::u16string_view s) {
  return platform::StrToIntDef(DigitsOnlyOf(AfterTabPart(s)), -1);
}

platform::TDateTime AfterTabDateOf(std::u16string_view s) {
  const std::u16string text(Trimmed(AfterTabPart(s)));
  const size_t blank = text.find(u' ');
  const std::u16string_view datePart = std::u16string_view(text).substr(0, blank);
  platform::TDateTime date = 0;
  if (!platform::TryStrToDate(datePart, date, UserDefaultFormatSettings)) return platform::Now();
  if (blank == std::u16string::npos) return date;
  double fraction = 0;
  if (!TryReadTime(std::u16string_view(text).substr(blank + 1),
                   UserDefaultFormatSettings.TimeSeparator, fraction)) {
    return platform::Now();
  }
  return date >= 0 ? date + fraction : date - fraction;
}

int32_t IndexOfPreTabFnameOnly(const TStringList& list, std::u16string_view s) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (PreTabPathAndFilenameOf(list[i]) == s) return i;
  }
  return -1;
}

std::u16string FromColumnedWidestringToVerticalTabbed(std::u16string_view s, char16_t separator) {
  std::u16string r(s);
  std::replace(r.begin(), r.end(), separator, u'\v');
  return r;
}

std::unique_ptr<TStringList> FromColumnedWidestringListToVerticalTabbed(std::u16string_view s,
                                                                        char16_t separator) {
  auto list = std::make_unique<TStringList>();
  list->SetText(FromColumnedWidestringToVerticalTabbed(s, separator));
  return list;
}

void SetSortDescendingAndSort(bool descending, TStringList& list,
                              platform::TStringListSortCompare comparison) {
  gSortDescending = descending;
  list.CustomSort(comparison);
}

int StringListCompareStringsFilenamePreTab(TStringList& list, int32_t a, int32_t b) {
  const std::u16string x = platform::UpperCased(PreTabFilenameOf(list[a]));
  const std::u16string y = platform::UpperCased(PreTabFilenameOf(list[b]));
  return gSortDescending ? Compare2Strings(y, x) : Compare2Strings(x, y);
}

int StringListCompareStringsDateAfterTab(TStringList& list, int32_t a, int32_t b) {
  const double x = AfterTabDateOf(list[a]);
  const double y = AfterTabDateOf(list[b]);
  const int r = x < y ? -1 : (x > y ? 1 : 0);
  return gSortDescending ? -r : r;
}

int StringListCompareStringsIntegerAfterTab(TStringList& list, int32_t a, int32_t b) {
  const int r = CompareLongints(AfterTabIntegerOf(list[a]), AfterTabIntegerOf(list[b]));
  return gSortDescending ? -r : r;
}

// ---------------------------------------------------------------------------
// Strings and string lists.

std::unique_ptr<TStringList> StringListFromString(char16_t separator, std::u16string_view s) {
  auto list = std::make_unique<TStringList>();
  SplitInto(*list, separator, s);
  return list;
}

std::unique_ptr<TStringList> StringListFromString(std::u16string_view s) {
  return StringListFromString(u'\r', s);
}

int32_t StringToStringListAllowDoubleQuotes(char16_t separator, std::u16string_view s,
                                            TStringList& list) {
  list.Clear();
  if (s.empty()) return 0;
  size_t start = 0;
  for (size_t p = s.find(separator); p != std::u16string_view::npos; p = s.find(separator, start)) {
    list.Add(std::u16string(s.substr(start, p - start)));
    start = p + 1;
  }
  list.Add(std::u16string(s.substr(start)));
  return list.Count();
}

int32_t StringToStringList(char16_t separator, std::u16string_view s, TStringList& list) {
  list.Clear();
  if (s.empty()) return 0;
  std::u16string item;
  bool quoted = false;
  bool justClosed = false;  // the last character closed a quoted stretch
  for (const char16_t c : s) {
    if (c == u'"') {
      if (quoted) {
        list.Add(std::move(item));
        item.clear();
        justClosed = true;
      } else {
        justClosed = false;
      }
      quoted = !quoted;
      continue;
    }
    if (c == separator) {
      if (!justClosed) {
        list.Add(std::move(item));
        item.clear();
      }
      justClosed = false;
      continue;
    }
    item.push_back(c);
    justClosed = false;
  }
  // The last item, unless a closing quote has just ended it.
  if (!justClosed) list.Add(std::move(item));
  return quoted ? -list.Count() : list.Count();
}

std::u16string StringListToString(char16_t separator, const TStringList& list, int32_t from,
                                  int32_t maxLength) {
  std::u16string r;
  for (int32_t i = std::max(from, 0); i < list.Count(); ++i) {
    if (list[i].empty()) continue;
    if (!r.empty()) r.push_back(separator);
    r += list[i];
    if (static_cast<int64_t>(r.size()) >= maxLength) {
      bool remain = false;
      for (int32_t j = i + 1; j < list.Count() && !remain; ++j) remain = !list[j].empty();
      if (remain) {
        r.push_back(u' ');
        r += _QNEtc;
        break;
      }
    }
  }
  return r;
}

std::u16string StringListToString(char16_t separator, const TStringList& list) {
  return StringListToString(separator, list, 0, INT32_MAX);
}

std::unique_ptr<TStringList> CommaSeparatedStrings(std::u16string_view s) {
  auto list = std::make_unique<TStringList>();
  size_t start = 0;
  for (size_t p = s.find(u','); p != std::u16string_view::npos; p = s.find(u',', start)) {
    list->Add(std::u16string(Trimmed(s.substr(start, p - start))));
    start = p + 1;
  }
  // The last item is trimmed like the others ("a, b, c" ends in "c", not
  // " c"); nothing is added when only blanks follow the last comma.
  const std::u16string_view last = Trimmed(s.substr(std::min(start, s.size())));
  if (!last.empty()) list->Add(std::u16string(last));
  return list;
}

void ArrayOfStringlists(const TStringList& list, char16_t separator, TArrayOfStringLists& lists) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (list[i].empty()) continue;
    auto items = std::make_unique<TStringList>();
    StringToStringList(separator, list[i], *items);
    lists.push_back(std::move(items));
  }
}

std::unique_ptr<TStringList> StringlistFromStringWithHexColourWords(std::u16string_view s) {
  auto list = std::make_unique<TStringList>();
  size_t pos = 0;
  for (;;) {
    const size_t a = s.find(u"<#", pos);
    if (a == std::u16string_view::npos) break;
    const size_t b = s.find(u'>', a + 2);
    if (b == std::u16string_view::npos) break;  // not a tag: the rest is text
    list->Add(std::u16string(s.substr(pos, a - pos)));
    int64_t value = 0;
    std::u16string hex(1, u'$');
    hex.append(s.substr(a + 2, b - a - 2));
    platform::TryStrToInt64(hex, value);
    const size_t space = s.find(u' ', b + 1);
    if (space == std::u16string_view::npos) {
      pos = s.size();
      break;
    }
    list->AddObject(std::u16string(s.substr(b + 1, space - b)),
                    ObjectFromInt(static_cast<intptr_t>(value)));
    pos = space + 1;
  }
  if (pos < s.size()) list->Add(std::u16string(s.substr(pos)));
  return list;
}

void FormatStringListWithPOintersAsSingles(TStringList& list, std::u16string_view text) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    const auto bits = static_cast<uint32_t>(IntFromObject(list.GetObject(i)));
    const float value = std::bit_cast<float>(bits);
    std::u16string line = list[i];
    line += text;
    line += std::isfinite(value)
                ? platform::FormatWith(UserDefaultFormatSettings, u"%0.n", static_cast<double>(value))
                : platform::FloatToStr(value, UserDefaultFormatSettings);
    list.Put(i, std::move(line));
  }
}

std::u16string StringListAsStringWithPointersFormattedAs(const TStringList& list,
                                                         std::u16string_view format) {
  std::u16string r;
  for (int32_t i = 0; i < list.Count(); ++i) {
    r += list[i];
    r += platform::FormatWith(UserDefaultFormatSettings, format,
                              static_cast<int64_t>(IntFromObject(list.GetObject(i))));
  }
  return r;
}

void ForceItemsToInclude(TStringList& list, int32_t n) {
  const std::u16string item = platform::IntToStr(n);
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (list[i] == item) return;
  }
  for (int32_t i = 0; i < list.Count(); ++i) {
    const int64_t here = platform::StrToInt64Def(list[i], INT64_MIN);
    const int64_t before = i == 0 ? INT64_MIN : platform::StrToInt64Def(list[i - 1], INT64_MIN);
    if (here > n && before < n) {
      list.Insert(i, item);
      return;
    }
  }
  list.Add(item);
}

int32_t RandomReduceStringlist(TStringList& list, int32_t n) {
  const int32_t keep = std::max(n, 0);
  const int32_t count = list.Count();
  if (count <= keep) return count;
  // Choose the lines to delete by a partial shuffle, then delete them all in
  // one pass.
  std::vector<int32_t> indexes(static_cast<size_t>(count));
  std::iota(indexes.begin(), indexes.end(), 0);
  std::mt19937 random(std::random_device{}());
  const int32_t remove = count - keep;
  for (int32_t k = 0; k < remove; ++k) {
    std::uniform_int_distribution<int32_t> pick(k, count - 1);
    std::swap(indexes[static_cast<size_t>(k)], indexes[static_cast<size_t>(pick(random))]);
  }
  std::vector<bool> chosen(static_cast<size_t>(count));
  for (int32_t k = 0; k < remove; ++k) chosen[static_cast<size_t>(indexes[static_cast<size_t>(k)])] = true;
  list.DeleteIf([&chosen](int32_t i) { return chosen[static_cast<size_t>(i)]; });
  return list.Count();
}

void ReverseAStringList(TStringList& list) {
  const int32_t count = list.Count();
  if (count < 2) return;
  for (int32_t i = 0; i < count; ++i) list.PutObject(i, ObjectFromInt(-static_cast<intptr_t>(i)));
  for (int32_t i = 0, j = count - 1; i < j; ++i, --j) list.Exchange(i, j);
}

void StringListRemoveLinesMeetingCondition(
    TStringList& list, const std::function<bool(const std::u16string&)>& condition) {
  list.DeleteIf([&](int32_t i) { return condition(list[i]); });
}

std::unique_ptr<TStringList> StringListRemovingAnyLines(const TStringList& list,
                                                        TConvertLineProc callback, void* user) {
  auto result = std::make_unique<TStringList>();
  for (int32_t i = 0; i < list.Count(); ++i) {
    TConvertedStringAnd2BooleansRec verdict;
    if (callback != nullptr) callback(list[i], verdict, user);
    if (verdict.chuck) continue;
    result->AddObject(verdict.convert_it ? verdict.converted : list[i], list.GetObject(i));
  }
  return result;
}

void TrimAStringlist(TStringList& list, bool keepOneBlank,
                     const std::function<void(int32_t)>& progress, bool& carryOn) {
  // The walk decides on every line as if the blank ones went at once (the
  // line after a deleted one is the next in the list, its position that of
  // the deleted one), and the blank lines go together at the end, also when
  // progress raises or stops the walk: deleting them one by one would move
  // the rest of the list each time.
  const int32_t count = list.Count();
  std::vector<bool> blank(static_cast<size_t>(std::max(count, 0)));
  const auto deleteBlank = [&] { list.DeleteIf([&blank](int32_t i) { return blank[static_cast<size_t>(i)]; }); };
  int32_t kept = 0;  // lines before r that stay: r's position in the list as it would be
  try {
    for (int32_t r = 0; carryOn && r < count - 1; ++r) {
      const std::u16string& line = list[r];
      const std::u16string_view trimmed = Trimmed(line);
      const int32_t left = count - r;  // lines from r on
      if (trimmed.empty()) {
        if (!keepOneBlank || Trimmed(list[r + 1]).empty()) {
          blank[static_cast<size_t>(r)] = true;
          if (progress) progress(static_cast<int32_t>(int64_t{kept} * 100 / std::max(kept + left - 1, 1)));
          continue;
        }
      } else if (trimmed.size() < line.size()) {
        std::u16string shortened(trimmed);
        shortened.push_back(u' ');
        list.Put(r, std::move(shortened));
        if (progress) progress(static_cast<int32_t>(int64_t{kept} * 100 / (kept + left)));
      }
      ++kept;
    }
  } catch (...) {
    deleteBlank();
    throw;
  }
  deleteBlank();
}

std::u16string FolderNamesAsText(const TStringList& list, int32_t maxIndex) {
  std::u16string r;
  const int32_t last = std::min(list.Count() - 1, maxIndex);
  for (int32_t i = 0; i <= last; ++i) {
    std::u16string_view path = list[i];
    if (!path.empty() && IsPathDelimiter(path.back())) path.remove_suffix(1);
    if (!r.empty()) r.push_back(u'+');
    r += AfterLastDelimiter(path);
  }
  return r;
}

TNotifyStringlist::TNotifyStringlist(std::function<void(int32_t)> onTellContagem)
    : OnTellContagem(std::move(onTellContagem)) {}

TNotifyStringlist::~TNotifyStringlist() = default;

void TNotifyStringlist::SetTextStr(std::u16string_view text) {
  Clear();
  const bool ownBreak = LineBreak() != u"\r\n" && !LineBreak().empty();
  int32_t count = 0;
  auto added = [&](std::u16string_view line) {
    Add(std::u16string(line));
    ++count;
    if ((count & 0xFF) == 0xFF && OnTellContagem) OnTellContagem(count);
  };
  size_t start = 0;
  while (start < text.size()) {
    size_t end;
    size_t next;
    if (ownBreak) {
      end = text.find(LineBreak(), start);
      next = end == std::u16string_view::npos ? text.size() : end + LineBreak().size();
    } else {
      end = text.find_first_of(u"\r\n", start);
      next = end == std::u16string_view::npos
                 ? text.size()
                 : end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }
    if (end == std::u16string_view::npos) end = text.size();
    added(text.substr(start, end - start));
    start = next;
  }
  if (OnTellContagem) OnTellContagem(count);
}

// ---------------------------------------------------------------------------
// Custom sort order.

std::unique_ptr<TStringList> CustomSortPreparedStringlist(std::u16string_view order) {
  const std::unique_ptr<TStringList> items = CommaSeparatedStrings(order);
  auto prepared = std::make_unique<TStringList>();
  intptr_t rank = 0;
  for (int32_t i = 0; i < items->Count(); ++i) {
    if (!(*items)[i].empty()) prepared->AddObject((*items)[i], ObjectFromInt(rank++));
  }
  prepared->CustomSort([&prepared](int32_t a, int32_t b) {
    const std::u16string& x = (*prepared)[a];
    const std::u16string& y = (*prepared)[b];
    if (x.size() != y.size()) return x.size() > y.size() ? -1 : 1;
    return static_cast<int>(CrudeStringComparison(x, y));
  });
  return prepared;
}

std::u16string NormalisedLineForCustomSort(std::u16string_view line, const TStringList& prepared) {
  std::u16string result(line);
  std::vector<bool> claimed(line.size(), false);
  for (int32_t k = 0; k < prepared.Count(); ++k) {
    const std::u16string& item = prepared[k];
    if (item.empty()) continue;
    const intptr_t code = std::min<intptr_t>(64 + IntFromObject(prepared.GetObject(k)), 0xFFFF);
    for (size_t p = line.find(item); p != std::u16string_view::npos; p = line.find(item, p + 1)) {
      const auto first = claimed.begin() + static_cast<std::ptrdiff_t>(p);
      const auto last = first + static_cast<std::ptrdiff_t>(item.size());
      if (std::find(first, last, true) != last) continue;  // a longer item owns a part
      std::fill(first, last, true);
      std::fill(result.begin() + static_cast<std::ptrdiff_t>(p),
                result.begin() + static_cast<std::ptrdiff_t>(p + item.size()),
                static_cast<char16_t>(code));
      p += item.size() - 1;
    }
  }
  return result;
}

std::unique_ptr<TStringList> CustomLinesSorted(const TStringList& lines,
                                               const TStringList& prepared) {
  std::vector<std::u16string> keys;
  keys.reserve(static_cast<size_t>(lines.Count()));
  for (int32_t i = 0; i < lines.Count(); ++i) keys.push_back(NormalisedLineForCustomSort(lines[i], prepared));
  std::vector<int32_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&keys](int32_t a, int32_t b) {
    return CrudeStringComparison(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]) < 0;
  });
  auto sorted = std::make_unique<TStringList>();
  sorted->SetCapacity(lines.Count());
  for (const int32_t i : order) sorted->AddObject(lines[i], ObjectFromInt(i));
  return sorted;
}

// ---------------------------------------------------------------------------
// File names and files.

std::u16string AcceptableFilename(std::u16string_view s) {
  std::u16string r(s);
  for (char16_t& c : r) {
    if (c == u'<') {
      c = u'(';
    } else if (c == u'>') {
      c = u')';
    } else if (InvalidFilenameChars.find(c) != std::u16string_view::npos) {
      c = u'_';
    }
  }
  return r;
}

std::u16string FilenameWithInsertion(std::u16string_view fileName, std::u16string_view insertion,
                                     bool beforeExtension) {
  std::u16string r(fileName);
  size_t at = r.size();
  if (beforeExtension) {
    const size_t nameStart = r.size() - AfterLastDelimiter(r).size();
    const size_t dot = r.rfind(u'.');
    if (dot != std::u16string::npos && dot >= nameStart) at = dot;
  }
  r.insert(at, insertion);
  return r;
}

std::u16string BothSlashesExtractFilename(std::u16string_view s) {
  return std::u16string(AfterLastDelimiter(s));
}

TFilenamesStringlist::~TFilenamesStringlist() = default;

bool TFilenamesStringlist::IsAnExistingFilename(std::u16string_view name) {
  if (name.empty()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(platform::FileNameToUtf8(name), error);
}

std::u16string TFilenamesStringlist::FilenameInLine(std::u16string_view line) const {
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find(u'\t', start);
    const std::u16string_view field =
        line.substr(start, tab == std::u16string_view::npos ? std::u16string_view::npos : tab - start);
    if (IsAnExistingFilename(field)) return std::u16string(field);
    if (tab == std::u16string_view::npos) return u"";
    start = tab + 1;
  }
}

void TFilenamesStringlist::ReduceToExistingFilenames() {
  // Lines without an existing file go together at the end (also when a
  // replacement raises), not one by one.
  std::vector<bool> without(static_cast<size_t>(Count()));
  const auto deleteWithout = [&] {
    DeleteIf([&without](int32_t i) { return without[static_cast<size_t>(i)]; });
  };
  try {
    for (int32_t i = Count() - 1; i >= 0; --i) {
      std::u16string name = FilenameInLine(Get(i));
      if (name.empty()) {
        without[static_cast<size_t>(i)] = true;
      } else {
        Put(i, std::move(name));
      }
    }
  } catch (...) {
    deleteWithout();
    throw;
  }
  deleteWithout();
}

std::u16string GetTextFromFile(std::u16string_view fileName) {
  if (!TFilenamesStringlist::IsAnExistingFilename(fileName)) return u"";
  TStringList list;
  list.LoadFromFile(fileName);
  return list.Text();
}

void AnsiAppendToTextFile(std::u16string_view fileName, const TStringList& lines) {
  platform::TFileStream stream(fileName, platform::fmOpenReadWrite | platform::fmShareDenyNone);
  stream.Seek(0, platform::TSeekOrigin::soEnd);
  std::string bytes;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    bytes += ConvertedFromWideString(std::u16string_view(lines[i]));
    bytes += "\r\n";
  }
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void UnicodeAppendToTextFile(std::u16string_view fileName, const TStringList& lines) {
  std::u16string text;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    text += lines[i];
    text += u"\r\n";
  }
  AddToFileOfChar(fileName, text);
}

}  // namespace qn
