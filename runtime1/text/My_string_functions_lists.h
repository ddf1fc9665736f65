// The string library's lists and columns: lines of tab-separated columns and
// their sort comparisons, conversions between strings and string lists, a
// user-defined sort order, file-name helpers, appending lines to text files,
// and small list utilities.
//
// Strings are UTF-16 with 1-based positions. String lists are the platform's
// TStringList; their object slots often hold integers (ObjectFromInt). Lists
// a function makes are returned as unique_ptr: the caller owns them.
//
// File names in lines are split at "/" or "\" (both count as path
// delimiters here, since lists saved on other systems hold either).
//
// State: the sort direction of the three column comparisons is one
// process-wide flag, set by SetSortDescendingAndSort; two column sorts must not
// run at once. Everything else works on its arguments only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

using TArrayOfStringLists = std::vector<std::unique_ptr<platform::TStringList>>;

// A line callback's verdict: replace the line by converted, or drop it.
struct TConvertedStringAnd2BooleansRec {
  std::u16string converted;
  bool convert_it = false;
  bool chuck = false;
};

// The characters a file name may not hold: " ' * . / : < > ? \ |
inline constexpr std::u16string_view InvalidFilenameChars = u"\"'*./:<>?\\|";

// ---------------------------------------------------------------------------
// Tab-separated columns.

// a, a TAB when a is not empty, then b.
QN_API std::u16string AddWithTab(std::u16string_view a, std::u16string_view b);
// a, the separator when a is not empty, then b.
QN_API std::u16string AddToListWithSeparatorIfNeeded(std::u16string_view a, std::u16string_view b,
                                                     std::u16string_view separator);
// The text before / after the first TAB; "" when there is no TAB.
QN_API std::u16string PreTabPart(std::u16string_view s);
QN_API std::u16string AfterTabPart(std::u16string_view s);
QN_API std::u16string PreTabPathAndFilenameOf(std::u16string_view s);
// The file-name part (after the last path delimiter) of PreTabPart(s).
QN_API std::u16string PreTabFilenameOf(std::u16string_view s);
// The ASCII digits of AfterTabPart(s) as an integer; -1 when that fails.
QN_API int32_t AfterTabIntegerOf(std::u16string_view s);
// AfterTabPart(s) read as a date with an optional time ("h:mm[:ss]" with the
// settings' time separator, optionally AM/PM) in the suite's format settings;
// the current date and time when it cannot be read.
QN_API platform::TDateTime AfterTabDateOf(std::u16string_view s);
// Index of the first line whose PreTabPathAndFilenameOf equals s exactly; -1.
QN_API int32_t IndexOfPreTabFnameOnly(const platform::TStringList& list, std::u16string_view s);
// s with every separator replaced by U+000B.
QN_API std::u16string FromColumnedWidestringToVerticalTabbed(std::u16string_view s,
                                                             char16_t separator);
QN_API std::unique_ptr<platform::TStringList> FromColumnedWidestringListToVerticalTabbed(
    std::u16string_view s, char16_t separator);

// Stores the direction and sorts list with comparison (one of the three below).
QN_API void SetSortDescendingAndSort(bool descending, platform::TStringList& list,
                                     platform::TStringListSortCompare comparison);
// By the upper-cased PreTabFilenameOf of both lines, code unit by code unit.
QN_API int StringListCompareStringsFilenamePreTab(platform::TStringList& list, int32_t a, int32_t b);
// By AfterTabDateOf, earlier first (later first when descending).
QN_API int StringListCompareStringsDateAfterTab(platform::TStringList& list, int32_t a, int32_t b);
// By AfterTabIntegerOf, smaller first (larger first when descending).
QN_API int StringListCompareStringsIntegerAfterTab(platform::TStringList& list, int32_t a, int32_t b);

// ---------------------------------------------------------------------------
// Strings and string lists.

// The pieces of s between separators; an LF directly after a separator is
// skipped; the last piece is always added ("a," gives "a" and "").
QN_API std::unique_ptr<platform::TStringList> StringListFromString(char16_t separator,
                                                                   std::u16string_view s);
QN_API std::unique_ptr<platform::TStringList> StringListFromString(std::u16string_view s);
// Clears list and adds the pieces of s between separators; the count (0 for "").
QN_API int32_t StringToStringListAllowDoubleQuotes(char16_t separator, std::u16string_view s,
                                                   platform::TStringList& list);
// Clears list and splits s with double quotes: a quoted stretch is one item
// (its separators end items too, its quotes are dropped; "" is an empty item);
// a separator right after a closing quote adds nothing. Returns the number of
// items, negated when a quoted stretch is left open; 0 for "".
QN_API int32_t StringToStringList(char16_t separator, std::u16string_view s,
                                  platform::TStringList& list);
// The non-empty lines from index from on joined with separator; once the text
// reaches maxLength characters while lines remain, " " + _QNEtc ends it.
QN_API std::u16string StringListToString(char16_t separator, const platform::TStringList& list,
                                         int32_t from, int32_t maxLength);
QN_API std::u16string StringListToString(char16_t separator, const platform::TStringList& list);
// The comma-separated items, each trimmed of characters up to U+0020; the text
// after the last comma is added (untrimmed) when not empty.
QN_API std::unique_ptr<platform::TStringList> CommaSeparatedStrings(std::u16string_view s);
// For each non-empty line, a new list of the line split with StringToStringList.
QN_API void ArrayOfStringlists(const platform::TStringList& list, char16_t separator,
                               TArrayOfStringLists& lists);
// Text with "<#hex>" colour tags: the text before each tag is a line without
// object; the word after the tag, up to and including the next space, is a
// line whose object is the tag's value (no space after it: the word is
// dropped); text after the last tagged word is the last line.
QN_API std::unique_ptr<platform::TStringList> StringlistFromStringWithHexColourWords(
    std::u16string_view s);
// Each line becomes line + text + its object read as a 32-bit float ("%0.n").
QN_API void FormatStringListWithPOintersAsSingles(platform::TStringList& list,
                                                  std::u16string_view text);
// Each line followed by its object formatted as an integer with format.
QN_API std::u16string StringListAsStringWithPointersFormattedAs(const platform::TStringList& list,
                                                                std::u16string_view format);
// Inserts the decimal n into a list of ascending integers unless present.
QN_API void ForceItemsToInclude(platform::TStringList& list, int32_t n);
// Deletes uniformly random lines until at most n remain; the count.
QN_API int32_t RandomReduceStringlist(platform::TStringList& list, int32_t n);
// Reverses the lines; objects become 0, -1, -2, ... in the order before.
QN_API void ReverseAStringList(platform::TStringList& list);
QN_API void StringListRemoveLinesMeetingCondition(
    platform::TStringList& list, const std::function<bool(const std::u16string&)>& condition);
// Fills a verdict for each line; user is handed through.
using TConvertLineProc = void (*)(const std::u16string& line,
                                  TConvertedStringAnd2BooleansRec& verdict, void* user);
QN_API std::unique_ptr<platform::TStringList> StringListRemovingAnyLines(
    const platform::TStringList& list, TConvertLineProc callback, void* user);
// Walks the lines but the last while carryOn: a blank line is deleted (with
// keepOneBlank only when the next line is blank too); a line that trimming
// shortens becomes the trimmed text and one space; progress(percent) for
// changed lines.
QN_API void TrimAStringlist(platform::TStringList& list, bool keepOneBlank,
                            const std::function<void(int32_t)>& progress, bool& carryOn);
// The last folder name of each path in lines 0 .. maxIndex, joined with "+".
QN_API std::u16string FolderNamesAsText(const platform::TStringList& list, int32_t maxIndex);

// A string list that reports the running line count while its whole text is
// assigned: after lines 255, 511, 767, ... and once with the final count.
class QN_API TNotifyStringlist : public platform::TStringList {
 public:
  explicit TNotifyStringlist(std::function<void(int32_t)> onTellContagem);
  ~TNotifyStringlist() override;
  void SetTextStr(std::u16string_view text) override;
  std::function<void(int32_t)> OnTellContagem;
};

// ---------------------------------------------------------------------------
// Custom sort order ("a,b,c,ch,d").

// The non-empty items with their ranks as objects, longer items first.
QN_API std::unique_ptr<platform::TStringList> CustomSortPreparedStringlist(std::u16string_view order);
// line with each occurrence of an item (longer items first, an occurrence that
// overlaps one already claimed skipped) replaced by as many characters
// 64 + rank as the item is long.
QN_API std::u16string NormalisedLineForCustomSort(std::u16string_view line,
                                                  const platform::TStringList& prepared);
// The lines sorted by their normalised forms (equal forms keep their order);
// each object is the line's index in lines.
QN_API std::unique_ptr<platform::TStringList> CustomLinesSorted(const platform::TStringList& lines,
                                                                const platform::TStringList& prepared);

// ---------------------------------------------------------------------------
// File names and files.

// "<" -> "(", ">" -> ")", the other InvalidFilenameChars -> "_".
QN_API std::u16string AcceptableFilename(std::u16string_view s);
// insertion before the extension of the name part (beforeExtension) or at the end.
QN_API std::u16string FilenameWithInsertion(std::u16string_view fileName,
                                            std::u16string_view insertion, bool beforeExtension);
QN_API std::u16string BothSlashesExtractFilename(std::u16string_view s);

// Lines of TAB-separated fields, some of them file names.
class QN_API TFilenamesStringlist : public platform::TStringList {
 public:
  ~TFilenamesStringlist() override;
  // The first field of line naming an existing file; "" when none.
  std::u16string FilenameInLine(std::u16string_view line) const;
  static bool IsAnExistingFilename(std::u16string_view name);
  // Each line replaced by its FilenameInLine, or deleted when there is none.
  void ReduceToExistingFilenames();
};

// The file's lines joined by CR LF (encoding by byte-order mark, else the
// active code page); "" when the file does not exist.
QN_API std::u16string GetTextFromFile(std::u16string_view fileName);
// Appends each line in the active code page with CR LF to an existing file
// (EFOpenError when it is missing).
QN_API void AnsiAppendToTextFile(std::u16string_view fileName, const platform::TStringList& lines);
// Appends each line with CR LF to a UTF-16 file (created with FF FE when new).
QN_API void UnicodeAppendToTextFile(std::u16string_view fileName, const platform::TStringList& lines);

}  // namespace qn
