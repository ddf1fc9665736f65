#include "platform/IniFile.h"

#include <sys/stat.h>

#include <charconv>
#include <cerrno>
#include <cmath>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"

namespace qn::platform {

namespace {

std::u16string_view Trimmed(std::u16string_view text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && text[start] <= u' ') ++start;
  while (end > start && text[end - 1] <= u' ') --end;
  return text.substr(start, end - start);
}

// Names are matched through their simple upper-case form, the same in every
// locale, so that a settings file reads the same whatever the user's locale.
std::u16string Folded(std::u16string_view name) { return UpperCased(Trimmed(name)); }

// What the file will give back for a name or value: no line breaks (which
// would start a new line, or a new section, when the file is read again) and
// no blanks at either end.
std::u16string AsStored(std::u16string_view text) {
  std::u16string out(Trimmed(text));
  for (char16_t& c : out) {
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  return std::u16string(Trimmed(out));
}

bool IsCommentStart(char16_t c) { return c == u';' || c == u'#'; }

bool FileExists(const std::u16string& fileName) {
  struct stat info;
  const std::string name = FileNameToUtf8(fileName);
  if (::stat(name.c_str(), &info) == 0) return true;
  return errno != ENOENT && errno != ENOTDIR;  // other failures: let the open report them
}

bool EqualsNoCase(std::u16string_view text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and loading
// ---------------------------------------------------------------------------

TMemIniFile::TMemIniFile(std::u16string_view fileName) : fFileName(fileName) {
  Load(kEncodingDefault, true);
}

TMemIniFile::TMemIniFile(std::string_view fileNameUtf8) : fFileName(DecodedUTF8(fileNameUtf8)) {
  Load(kEncodingDefault, true);
}

TMemIniFile::TMemIniFile(std::u16string_view fileName, TTextEncoding encoding)
    : fFileName(fileName), fEncoding(encoding) {
  Load(encoding, false);
}

TMemIniFile::~TMemIniFile() = default;

void TMemIniFile::Load(TTextEncoding encoding, bool detect) {
  Clear();
  if (fFileName.empty() || !FileExists(fFileName)) return;
  const std::vector<uint8_t> bytes = ReadWholeFile(fFileName);
  if (detect) {
    TTextEncoding detected = kEncodingDefault;
    const std::u16string text = DecodeTextBytes(bytes, &detected);
    fEncoding = detected;
    Parse(text);
  } else {
    Parse(DecodeTextBytesAs(bytes, encoding));
  }
}

void TMemIniFile::Parse(std::u16string_view text) {
  Clear();
  TSection* current = nullptr;
  size_t start = 0;
  const size_t size = text.size();
  while (start < size) {
    size_t end = start;
    while (end < size && text[end] != u'\r' && text[end] != u'\n') ++end;
    const std::u16string_view line = Trimmed(text.substr(start, end - start));
    if (end < size) {
      if (text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n') ++end;
      ++end;
    }
    start = end;

    if (line.empty()) continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      // A repeated section continues the first one of its name.
      current = &AddSection(Trimmed(line.substr(1, line.size() - 2)));
      continue;
    }
    if (current == nullptr) {
      fPreamble.emplace_back(line);
      continue;
    }
    const size_t equals = line.find(u'=');
    TLine entry;
    if (IsCommentStart(line.front()) || equals == std::u16string_view::npos ||
        Trimmed(line.substr(0, equals)).empty()) {
      entry.fIsComment = true;
      entry.fValue.assign(line);
    } else {
      entry.fKey.assign(Trimmed(line.substr(0, equals)));
      entry.fValue.assign(Trimmed(line.substr(equals + 1)));
      current->fKeyIndex.try_emplace(Folded(entry.fKey), current->fLines.size());
    }
    current->fLines.push_back(std::move(entry));
  }
}

// ---------------------------------------------------------------------------
// Lookup
// ---------------------------------------------------------------------------

TMemIniFile::TSection* TMemIniFile::FindSection(std::u16string_view section) {
  const auto found = fSectionIndex.find(Folded(section));
  return found == fSectionIndex.end() ? nullptr : &fSections[found->second];
}

const TMemIniFile::TSection* TMemIniFile::FindSection(std::u16string_view section) const {
  const auto found = fSectionIndex.find(Folded(section));
  return found == fSectionIndex.end() ? nullptr : &fSections[found->second];
}

TMemIniFile::TSection& TMemIniFile::AddSection(std::u16string_view section) {
  const std::u16string name = AsStored(section);
  const auto [position, added] = fSectionIndex.try_emplace(Folded(name), fSections.size());
  if (added) {
    fSections.push_back(TSection());
    fSections.back().fName = name;
  }
  return fSections[position->second];
}

const TMemIniFile::TLine* TMemIniFile::FindLine(std::u16string_view section,
                                                std::u16string_view ident) const {
  const TSection* s = FindSection(section);
  if (s == nullptr) return nullptr;
  const auto found = s->fKeyIndex.find(Folded(ident));
  return found == s->fKeyIndex.end() ? nullptr : &s->fLines[found->second];
}

void TMemIniFile::RebuildKeyIndex(TSection& section) {
  section.fKeyIndex.clear();
  for (size_t i = 0; i < section.fLines.size(); ++i) {
    if (!section.fLines[i].fIsComment) section.fKeyIndex.try_emplace(Folded(section.fLines[i].fKey), i);
  }
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

std::u16string TMemIniFile::ReadString(std::u16string_view section, std::u16string_view ident,
                                       std::u16string_view Default) {
  const TLine* line = FindLine(section, ident);
  return line != nullptr ? line->fValue : std::u16string(Default);
}

void TMemIniFile::WriteString(std::u16string_view section, std::u16string_view ident,
                              std::u16string_view value) {
  const std::u16string key = AsStored(ident);
  if (key.empty()) return;  // a line "=value" could never be read back
  TSection& s = AddSection(section);
  const std::u16string folded = Folded(key);
  const auto found = s.fKeyIndex.find(folded);
  if (found != s.fKeyIndex.end()) {
    s.fLines[found->second].fValue = AsStored(value);
    return;
  }
  TLine line;
  line.fKey = key;
  line.fValue = AsStored(value);
  s.fKeyIndex.emplace(folded, s.fLines.size());
  s.fLines.push_back(std::move(line));
}

int32_t TMemIniFile::ReadInteger(std::u16string_view section, std::u16string_view ident,
                                 int32_t Default) {
  const TLine* line = FindLine(section, ident);
  return line != nullptr ? StrToIntDef(line->fValue, Default) : Default;
}

void TMemIniFile::WriteInteger(std::u16string_view section, std::u16string_view ident,
                               int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

int64_t TMemIniFile::ReadInt64(std::u16string_view section, std::u16string_view ident,
                               int64_t Default) {
  const TLine* line = FindLine(section, ident);
  return line != nullptr ? StrToInt64Def(line->fValue, Default) : Default;
}

void TMemIniFile::WriteInt64(std::u16string_view section, std::u16string_view ident, int64_t value) {
  WriteString(section, ident, IntToStr(value));
}

double TMemIniFile::ReadFloat(std::u16string_view section, std::u16string_view ident,
                              double Default) {
  const TLine* line = FindLine(section, ident);
  if (line == nullptr) return Default;
  double value;
  // The fixed form first; then the user's own, for files written by hand.
  if (TryStrToFloat(line->fValue, value, TFormatSettings::Invariant())) return value;
  if (TryStrToFloat(line->fValue, value)) return value;
  return Default;
}

void TMemIniFile::WriteFloat(std::u16string_view section, std::u16string_view ident, double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  WriteString(section, ident, std::u16string(buffer, result.ptr));
}

bool TMemIniFile::ReadBool(std::u16string_view section, std::u16string_view ident, bool Default) {
  const TLine* line = FindLine(section, ident);
  if (line == nullptr) return Default;
  const std::u16string_view value = Trimmed(line->fValue);
  int64_t number;
  if (TryStrToInt64(value, number)) return number != 0;
  if (EqualsNoCase(value, u"true") || EqualsNoCase(value, u"yes") || EqualsNoCase(value, u"on")) {
    return true;
  }
  if (EqualsNoCase(value, u"false") || EqualsNoCase(value, u"no") || EqualsNoCase(value, u"off")) {
    return false;
  }
  return Default;
}

void TMemIniFile::WriteBool(std::u16string_view section, std::u16string_view ident, bool value) {
  WriteString(section, ident, value ? u"1" : u"0");
}

TDateTime TMemIniFile::ReadDateTime(std::u16string_view section, std::u16string_view ident,
                                    TDateTime Default) {
  const TLine* line = FindLine(section, ident);
  if (line == nullptr) return Default;
  // yyyy-mm-dd[ hh:nn[:ss[.zzz]]]
  const std::u16string_view text = Trimmed(line->fValue);
  int32_t fields[7] = {0, 0, 0, 0, 0, 0, 0};
  const char16_t separators[7] = {0, u'-', u'-', u' ', u':', u':', u'.'};
  size_t i = 0;
  int count = 0;
  while (count < 7 && i < text.size()) {
    if (count > 0) {
      if (text[i] != separators[count]) break;
      ++i;
    }
    int32_t value = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && digits < 4) {
      value = value * 10 + (text[i] - u'0');
      ++digits;
      ++i;
    }
    if (digits == 0) return Default;
    fields[count++] = value;
  }
  if (i != text.size() || (count != 3 && count < 5)) return Default;
  TDateTime date, time;
  if (!TryEncodeDate(fields[0], fields[1], fields[2], date)) return Default;
  if (!TryEncodeTime(fields[3], fields[4], fields[5], fields[6], time)) return Default;
  return date < 0 ? date - time : date + time;
}

void TMemIniFile::WriteDateTime(std::u16string_view section, std::u16string_view ident,
                                TDateTime value) {
  WriteString(section, ident,
              FormatDateTime(u"yyyy-mm-dd hh:nn:ss.zzz", value, TFormatSettings::Invariant()));
}

// ---------------------------------------------------------------------------
// Structure
// ---------------------------------------------------------------------------

bool TMemIniFile::SectionExists(std::u16string_view section) const {
  return FindSection(section) != nullptr;
}

bool TMemIniFile::ValueExists(std::u16string_view section, std::u16string_view ident) const {
  return FindLine(section, ident) != nullptr;
}

void TMemIniFile::ReadSections(TStringList& strings) const {
  strings.Clear();
  for (const TSection& s : fSections) strings.Add(s.fName);
}

void TMemIniFile::ReadSection(std::u16string_view section, TStringList& strings) const {
  strings.Clear();
  const TSection* s = FindSection(section);
  if (s == nullptr) return;
  for (const TLine& line : s->fLines) {
    if (!line.fIsComment) strings.Add(line.fKey);
  }
}

void TMemIniFile::ReadSectionValues(std::u16string_view section, TStringList& strings) const {
  strings.Clear();
  const TSection* s = FindSection(section);
  if (s == nullptr) return;
  for (const TLine& line : s->fLines) {
    if (!line.fIsComment) strings.Add(line.fKey + u"=" + line.fValue);
  }
}

void TMemIniFile::EraseSection(std::u16string_view section) {
  const auto found = fSectionIndex.find(Folded(section));
  if (found == fSectionIndex.end()) return;
  fSections.erase(fSections.begin() + static_cast<ptrdiff_t>(found->second));
  fSectionIndex.clear();
  for (size_t i = 0; i < fSections.size(); ++i) fSectionIndex.emplace(Folded(fSections[i].fName), i);
}

void TMemIniFile::DeleteKey(std::u16string_view section, std::u16string_view ident) {
  TSection* s = FindSection(section);
  if (s == nullptr) return;
  const std::u16string folded = Folded(ident);
  // Every line of the key goes, so that a repeated key does not reappear.
  const size_t before = s->fLines.size();
  std::erase_if(s->fLines, [&](const TLine& line) { return !line.fIsComment && Folded(line.fKey) == folded; });
  if (s->fLines.size() != before) RebuildKeyIndex(*s);
}

void TMemIniFile::Clear() {
  fPreamble.clear();
  fSections.clear();
  fSectionIndex.clear();
}

std::u16string TMemIniFile::Text() const {
  std::u16string text;
  for (const std::u16string& line : fPreamble) {
    text += line;
    text += u"\r\n";
  }
  bool first = fPreamble.empty();
  for (const TSection& s : fSections) {
    if (!first) text += u"\r\n";
    first = false;
    text += u'[';
    text += s.fName;
    text += u"]\r\n";
    for (const TLine& line : s.fLines) {
      if (line.fIsComment) {
        text += line.fValue;
      } else {
        text += line.fKey;
        text += u'=';
        text += line.fValue;
      }
      text += u"\r\n";
    }
  }
  return text;
}

void TMemIniFile::GetStrings(TStringList& lines) const { lines.SetText(Text()); }

void TMemIniFile::SetStrings(const TStringList& lines) { Parse(lines.Text()); }

void TMemIniFile::SetText(std::u16string_view text) { Parse(text); }

void TMemIniFile::UpdateFile() {
  if (fFileName.empty()) return;
  const std::vector<uint8_t> bytes = EncodeTextBytes(Text(), fEncoding, true);
  WriteFileSafely(fFileName, bytes);
}

void TMemIniFile::Rename(std::u16string_view fileName, bool reload) {
  fFileName.assign(fileName);
  if (reload) Load(kEncodingDefault, true);
}

}  // namespace qn::platform
