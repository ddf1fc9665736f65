#include "platform/StringList.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Locales.h"
#include "platform/QuickSort.h"
#include "platform/Streams.h"
#include "platform/TextDetection.h"

namespace qn::platform {

// ---------------------------------------------------------------------------
// Text bytes
// ---------------------------------------------------------------------------

namespace {

// The units of UTF-16 bytes into `into`'s storage. In the host's order from
// bytes aligned for units this is one copy into the storage (no zero-fill of
// it first, which a text of megabytes would pay for again).
void DecodeUtf16(std::span<const uint8_t> bytes, bool bigEndian, std::u16string& into) {
  const size_t count = bytes.size() / 2;
  if (bigEndian == (std::endian::native == std::endian::big) &&
      reinterpret_cast<uintptr_t>(bytes.data()) % alignof(char16_t) == 0) {
    into.assign(reinterpret_cast<const char16_t*>(bytes.data()), count);
    return;
  }
  into.resize(count);
  UnitsFromBytes(into.data(), bytes.data(), count, bigEndian);
}

}  // namespace

std::u16string DecodeTextBytes(std::span<const uint8_t> bytes, TTextEncoding* detected) {
  const TTextEncoding encoding = SignatureEncoding(bytes);
  if (detected != nullptr) *detected = encoding;
  return DecodeTextBytesAs(bytes, encoding);
}

std::u16string DecodeTextBytesAs(std::span<const uint8_t> bytes, TTextEncoding encoding) {
  std::u16string text;
  DecodeTextBytesAs(bytes, encoding, text);
  return text;
}

void DecodeTextBytesAs(std::span<const uint8_t> bytes, TTextEncoding encoding, std::u16string& into) {
  // Only the one signature of the encoding is skipped; a second is text.
  if (SignatureEncoding(bytes) == encoding) bytes = bytes.subspan(SignatureLength(encoding));
  switch (encoding) {
    case kEncodingUTF16LE:
      DecodeUtf16(bytes, false, into);
      return;
    case kEncodingUTF16BE:
      DecodeUtf16(bytes, true, into);
      return;
    default: {
      into.clear();
      const uint32_t codePage = encoding == kEncodingUTF8 ? CP_UTF8 : encoding == kEncodingDefault ? CP_ACP : encoding;
      AppendDecoded(codePage, reinterpret_cast<const char*>(bytes.data()), bytes.size(), into);
      return;
    }
  }
}

std::vector<uint8_t> EncodeTextBytes(std::u16string_view text, TTextEncoding encoding,
                                     bool writeBOM) {
  std::vector<uint8_t> bytes;
  switch (encoding) {
    case kEncodingUTF8: {
      const std::string utf8 = EncodedUTF8(text);
      if (writeBOM) bytes = {0xEF, 0xBB, 0xBF};
      bytes.insert(bytes.end(), utf8.begin(), utf8.end());
      return bytes;
    }
    case kEncodingUTF16LE:
    case kEncodingUTF16BE: {
      const bool big = encoding == kEncodingUTF16BE;
      bytes.reserve(2 * text.size() + 2);
      if (writeBOM) {
        bytes.push_back(big ? 0xFE : 0xFF);
        bytes.push_back(big ? 0xFF : 0xFE);
      }
      const size_t at = bytes.size();
      bytes.resize(at + 2 * text.size());
      UnitsToBytes(bytes.data() + at, text.data(), text.size(), big);
      return bytes;
    }
    default: {
      const std::string encoded = Encoded(encoding == kEncodingDefault ? CP_ACP : encoding, text);
      bytes.assign(encoded.begin(), encoded.end());
      return bytes;
    }
  }
}

// ---------------------------------------------------------------------------
// TStringList: entries
// ---------------------------------------------------------------------------

namespace {

[[noreturn]] void RaiseSortedListError() {
  throw EStringListError(std::string("Operation not allowed on sorted list"));
}

}  // namespace

TStringList::TStringList() = default;

TStringList::TStringList(bool ownsObjects) : fOwnsObjects(ownsObjects) {}

TStringList::~TStringList() { FreeItems(fItems); }

TStringList::TItem TStringList::NewItem(std::u16string s, TObject* object) {
  return TItem{new std::u16string(std::move(s)), object};
}

void TStringList::FreeString(TItem& item) noexcept { delete std::exchange(item.fString, nullptr); }

void TStringList::FreeItems(std::vector<TItem>& items) noexcept {
  for (TItem& item : items) {
    FreeString(item);
    if (fOwnsObjects) DestroyObject(std::exchange(item.fObject, nullptr));
  }
  items.clear();
}

void TStringList::DestroyObject(TObject* object) noexcept { delete object; }

void TStringList::CheckIndex(int32_t index, bool allowEnd) const {
  const int32_t limit = allowEnd ? Count() : Count() - 1;
  if (index < 0 || index > limit) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
}

const std::u16string& TStringList::Get(int32_t index) const {
  CheckIndex(index);
  return *fItems[static_cast<size_t>(index)].fString;
}

void TStringList::Put(int32_t index, std::u16string s) {
  if (fSettings.sorted) RaiseSortedListError();
  CheckIndex(index);
  *fItems[static_cast<size_t>(index)].fString = std::move(s);
  ++fRevision;
}

TObject* TStringList::GetObject(int32_t index) const {
  CheckIndex(index);
  return fItems[static_cast<size_t>(index)].fObject;
}

void TStringList::PutObject(int32_t index, TObject* object) {
  CheckIndex(index);
  fItems[static_cast<size_t>(index)].fObject = object;
}

int32_t TStringList::Add(std::u16string s) { return AddObject(std::move(s), nullptr); }

int32_t TStringList::AddObject(std::u16string s, TObject* object) {
  int32_t index = Count();
  if (fSettings.sorted) {
    if (Find(s, index)) {
      switch (fSettings.duplicates) {
        case TDuplicates::dupIgnore: return index;
        case TDuplicates::dupError:
          throw EStringListError(std::string("String list does not allow duplicates"));
        case TDuplicates::dupAccept: break;
      }
    }
  }
  InsertItem(index, std::move(s), object);
  return index;
}

int32_t TStringList::AppendInOrder(std::u16string s, TObject* object) {
  const int32_t index = Count();
  InsertItem(index, std::move(s), object);
  return index;
}

void TStringList::AddStrings(const TStringList& other) {
  if (&other == this) {
    // Adding a list to itself: work from a copy of the entries.
    std::vector<std::pair<std::u16string, TObject*>> copy;
    for (const TItem& item : other.fItems) copy.emplace_back(*item.fString, item.fObject);
    for (auto& [s, object] : copy) AddObject(std::move(s), object);
    return;
  }
  fItems.reserve(fItems.size() + other.fItems.size());
  for (const TItem& item : other.fItems) AddObject(*item.fString, item.fObject);
}

void TStringList::Insert(int32_t index, std::u16string s) { InsertObject(index, std::move(s), nullptr); }

void TStringList::InsertObject(int32_t index, std::u16string s, TObject* object) {
  if (fSettings.sorted) RaiseSortedListError();
  CheckIndex(index, true);
  InsertItem(index, std::move(s), object);
}

void TStringList::InsertItem(int32_t index, std::u16string s, TObject* object) {
  if (fItems.size() >= static_cast<size_t>(INT32_MAX)) {
    throw EListError(std::string("List capacity out of bounds"));
  }
  TItem item = NewItem(std::move(s), object);
  try {
    fItems.insert(fItems.begin() + index, item);
  } catch (...) {
    FreeString(item);
    throw;
  }
  ++fRevision;
}

TObject* TStringList::EraseItem(int32_t index) noexcept {
  TItem& item = fItems[static_cast<size_t>(index)];
  TObject* object = item.fObject;
  FreeString(item);
  fItems.erase(fItems.begin() + index);
  ++fRevision;
  return object;
}

void TStringList::Delete(int32_t index) {
  CheckIndex(index);
  TObject* object = EraseItem(index);
  // Destroyed after it left the list, so that its destructor sees a consistent list.
  if (fOwnsObjects) DestroyObject(object);
}

int32_t TStringList::DeleteIf(const std::function<bool(int32_t index)>& remove) {
  std::vector<bool> removed(fItems.size());
  size_t count = 0;
  for (size_t i = 0; i < fItems.size(); ++i) {
    if (remove(static_cast<int32_t>(i))) {
      removed[i] = true;
      ++count;
    }
  }
  if (count == 0) return 0;
  std::vector<TObject*> objects;
  if (fOwnsObjects) objects.reserve(count);
  size_t kept = 0;
  for (size_t i = 0; i < fItems.size(); ++i) {
    if (removed[i]) {
      FreeString(fItems[i]);
      if (fOwnsObjects) objects.push_back(fItems[i].fObject);
    } else {
      fItems[kept++] = fItems[i];
    }
  }
  fItems.resize(kept);
  ++fRevision;
  // Destroyed after they left the list, so that their destructors see a consistent list.
  for (TObject* object : objects) DestroyObject(object);
  return static_cast<int32_t>(count);
}

void TStringList::Clear() {
  std::vector<TItem> old;
  old.swap(fItems);
  ++fRevision;
  FreeItems(old);
}

void TStringList::Exchange(int32_t index1, int32_t index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(fItems[static_cast<size_t>(index1)], fItems[static_cast<size_t>(index2)]);
  ++fRevision;
}

void TStringList::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  if (fSettings.sorted) RaiseSortedListError();
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  const auto first = fItems.begin();
  ++fRevision;
  if (curIndex < newIndex) {
    std::rotate(first + curIndex, first + curIndex + 1, first + newIndex + 1);
  } else {
    std::rotate(first + newIndex, first + curIndex, first + curIndex + 1);
  }
}

void TStringList::Assign(const TStringList& source) {
  if (&source == this) return;
  Clear();
  fOwnsObjects = false;  // the objects still belong to source
  fItems.reserve(source.fItems.size());
  // The capacity is reserved: a push_back cannot fail after NewItem.
  for (const TItem& item : source.fItems) fItems.push_back(NewItem(*item.fString, item.fObject));
  fSettings = source.fSettings;
  ++fRevision;
}

void TStringList::SetCapacity(int32_t capacity) {
  if (capacity > 0) fItems.reserve(static_cast<size_t>(capacity));
}

// ---------------------------------------------------------------------------
// TStringList: search and order
// ---------------------------------------------------------------------------

int TStringList::CompareStrings(std::u16string_view s1, std::u16string_view s2) const {
  return ::qn::platform::CompareStrings(fSettings.locale, fSettings.caseSensitive ? 0 : NORM_IGNORECASE, s1,
                                       s2);
}

bool TStringList::Find(std::u16string_view s, int32_t& index) const {
  if (!fSettings.sorted) {
    index = IndexOf(s);
    return index >= 0;
  }
  // Lower bound: the first entry not below s, so that among equal entries
  // (duplicates accepted) the first is found.
  int32_t lo = 0;
  int32_t hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const int c = CompareStrings(*fItems[static_cast<size_t>(mid)].fString, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      if (c == 0) found = true;
      hi = mid - 1;
    }
  }
  index = lo;
  return found;
}

int32_t TStringList::IndexOf(std::u16string_view s) const {
  if (fSettings.sorted) {
    int32_t index;
    return Find(s, index) ? index : -1;
  }
  for (int32_t i = 0; i < Count(); ++i) {
    if (CompareStrings(*fItems[static_cast<size_t>(i)].fString, s) == 0) return i;
  }
  return -1;
}

int32_t TStringList::IndexOfObject(const TObject* object) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (fItems[static_cast<size_t>(i)].fObject == object) return i;
  }
  return -1;
}

int32_t TStringList::IndexOfName(std::u16string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const std::u16string& s = *fItems[static_cast<size_t>(i)].fString;
    const size_t separator = s.find(fSettings.nameValueSeparator);
    if (separator != std::u16string::npos &&
        CompareStrings(std::u16string_view(s).substr(0, separator), name) == 0) {
      return i;
    }
  }
  return -1;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == fSettings.sorted) return;
  if (sorted) Sort();
  fSettings.sorted = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == fSettings.caseSensitive) return;
  fSettings.caseSensitive = caseSensitive;
  ++fRevision;
  if (fSettings.sorted) Sort();
}

void TStringList::SetLocale(uint32_t lcid) {
  if (lcid == fSettings.locale) return;
  fSettings.locale = lcid;
  ++fRevision;
  if (fSettings.sorted) Sort();
}

void TStringList::Sort() {
  // Sorting the entries directly (not through indexes) lets the library sort
  // move strings without copying them; equal entries keep their order.
  ++fRevision;
  std::stable_sort(fItems.begin(), fItems.end(), [this](const TItem& a, const TItem& b) {
    return CompareStrings(*a.fString, *b.fString) < 0;
  });
}

void TStringList::CustomSort(TStringListSortCompare compare) {
  if (compare == nullptr) return;
  CustomSort([this, compare](int32_t i, int32_t j) { return compare(*this, i, j); });
}

void TStringList::CustomSort(const std::function<int(int32_t, int32_t)>& compare) {
  ++fRevision;
  if (Count() > 1) QuickSort(0, Count() - 1, compare);
}

// The comparison sees entries by index, so the sort moves entries in the list
// itself and follows the pivot entry by its index as it is exchanged.
void TStringList::QuickSort(int32_t lo, int32_t hi,
                            const std::function<int(int32_t, int32_t)>& compare) {
  struct TSorter {
    std::vector<TItem>& items;
    const std::function<int(int32_t, int32_t)>& compare;
    int32_t pivot = 0;
    bool BeginPartition(int32_t, int32_t, int32_t middle) {
      pivot = middle;
      return true;
    }
    bool ItemBeforePivot(int32_t i) { return compare(i, pivot) < 0; }
    bool PivotBeforeItem(int32_t j) { return compare(j, pivot) > 0; }
    void Exchange(int32_t i, int32_t j) {
      std::swap(items[static_cast<size_t>(i)], items[static_cast<size_t>(j)]);
      if (pivot == i) {
        pivot = j;
      } else if (pivot == j) {
        pivot = i;
      }
    }
  };
  TSorter sorter{fItems, compare};
  BoundedQuickSort<TQuickSortScans::kStopAtEnds>(lo, hi, sorter);
}

// ---------------------------------------------------------------------------
// TStringList: text
// ---------------------------------------------------------------------------

std::u16string TStringList::GetTextStr() const {
  size_t length = 0;
  for (const TItem& item : fItems) length += item.fString->size() + fSettings.lineBreak.size();
  std::u16string text;
  text.reserve(length);
  for (const TItem& item : fItems) {
    text += *item.fString;
    text += fSettings.lineBreak;
  }
  return text;
}

void TStringList::SetTextStr(std::u16string_view text) {
  Clear();
  if (text.empty()) return;
  if (fSettings.lineBreak != u"\r\n" && !fSettings.lineBreak.empty()) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(fSettings.lineBreak, start);
      if (end == std::u16string_view::npos) end = text.size();
      Add(std::u16string(text.substr(start, end - start)));
      start = end + fSettings.lineBreak.size();
    }
    return;
  }
  // Lines end at CR LF, LF or CR.
  size_t start = 0;
  const size_t size = text.size();
  while (start < size) {
    size_t end = start;
    while (end < size && text[end] != u'\r' && text[end] != u'\n') ++end;
    Add(std::u16string(text.substr(start, end - start)));
    if (end < size) {
      if (text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n') ++end;
      ++end;
    }
    start = end;
  }
}

namespace {

std::u16string Quoted(std::u16string_view s, char16_t quote) {
  std::u16string out;
  out.reserve(s.size() + 2);
  out += quote;
  for (char16_t c : s) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
  return out;
}

// Reads a quoted entry starting at text[pos] (the opening quote): doubled
// quotes stand for one; the entry ends at the closing quote or the end of the
// text. pos is left after the closing quote.
std::u16string ExtractQuoted(std::u16string_view text, size_t& pos, char16_t quote) {
  std::u16string out;
  ++pos;
  while (pos < text.size()) {
    if (text[pos] == quote) {
      if (pos + 1 < text.size() && text[pos + 1] == quote) {
        out += quote;
        pos += 2;
        continue;
      }
      ++pos;
      return out;
    }
    out += text[pos++];
  }
  return out;
}

bool IsBlank(char16_t c) { return c >= 1 && c <= u' '; }

}  // namespace

std::u16string TStringList::DelimitedText() const {
  return DelimitedTextWith(fSettings.delimiter, fSettings.quoteChar);
}

std::u16string TStringList::DelimitedTextWith(char16_t delimiter, char16_t quoteChar) const {
  std::u16string text;
  for (size_t i = 0; i < fItems.size(); ++i) {
    const std::u16string& s = *fItems[i].fString;
    bool quote;
    if (fSettings.strictDelimiter) {
      quote = s.find(quoteChar) != std::u16string::npos ||
              s.find(delimiter) != std::u16string::npos || s.find(u'\0') != std::u16string::npos ||
              (!s.empty() && (s.front() <= u' ' || s.back() <= u' '));
    } else {
      quote = s.empty() || std::any_of(s.begin(), s.end(), [delimiter, quoteChar](char16_t c) {
                return c <= u' ' || c == quoteChar || c == delimiter;
              });
    }
    if (i > 0) text += delimiter;
    if (quote) {
      text += Quoted(s, quoteChar);
    } else {
      text += s;
    }
  }
  return text;
}

void TStringList::SetDelimitedText(std::u16string_view text) {
  Clear();
  size_t pos = 0;
  const size_t size = text.size();
  if (fSettings.strictDelimiter) {
    if (size == 0) return;
    for (;;) {
      std::u16string entry;
      if (pos < size && text[pos] == fSettings.quoteChar) {
        entry = ExtractQuoted(text, pos, fSettings.quoteChar);
      }
      while (pos < size && text[pos] != fSettings.delimiter) entry += text[pos++];
      Add(std::move(entry));
      if (pos >= size) return;
      ++pos;  // the delimiter; a final one stands before an empty entry
    }
  }
  while (pos < size && IsBlank(text[pos])) ++pos;
  while (pos < size) {
    std::u16string entry;
    if (text[pos] == fSettings.quoteChar) {
      entry = ExtractQuoted(text, pos, fSettings.quoteChar);
    } else {
      const size_t start = pos;
      while (pos < size && text[pos] > u' ' && text[pos] != fSettings.delimiter) ++pos;
      entry.assign(text.substr(start, pos - start));
    }
    Add(std::move(entry));
    while (pos < size && IsBlank(text[pos])) ++pos;
    if (pos < size && text[pos] == fSettings.delimiter) {
      ++pos;
      while (pos < size && IsBlank(text[pos])) ++pos;
      if (pos >= size) Add(std::u16string());  // a final delimiter ends an empty entry
    } else if (pos < size && text[pos] == u'\0') {
      ++pos;  // a NUL separates like a blank
    }
  }
}

std::u16string TStringList::CommaText() const { return DelimitedTextWith(u',', u'"'); }

void TStringList::SetCommaText(std::u16string_view text) {
  const char16_t delimiter = fSettings.delimiter;
  const char16_t quote = fSettings.quoteChar;
  fSettings.delimiter = u',';
  fSettings.quoteChar = u'"';
  try {
    SetDelimitedText(text);
  } catch (...) {
    fSettings.delimiter = delimiter;
    fSettings.quoteChar = quote;
    throw;
  }
  fSettings.delimiter = delimiter;
  fSettings.quoteChar = quote;
}

// ---------------------------------------------------------------------------
// TStringList: name=value
// ---------------------------------------------------------------------------

std::u16string TStringList::Names(int32_t index) const {
  const std::u16string& s = Get(index);
  const size_t separator = s.find(fSettings.nameValueSeparator);
  return separator == std::u16string::npos ? std::u16string() : s.substr(0, separator);
}

std::u16string TStringList::ValueFromIndex(int32_t index) const {
  const std::u16string& s = Get(index);
  const size_t separator = s.find(fSettings.nameValueSeparator);
  return separator == std::u16string::npos ? std::u16string() : s.substr(separator + 1);
}

void TStringList::SetValueFromIndex(int32_t index, std::u16string_view value) {
  const std::u16string& s = Get(index);
  const size_t separator = s.find(fSettings.nameValueSeparator);
  std::u16string line = separator == std::u16string::npos ? s : s.substr(0, separator);
  line += fSettings.nameValueSeparator;
  line += value;
  if (fSettings.sorted) {
    TObject* object = EraseItem(index);  // the object moves to the new line
    AddObject(std::move(line), object);
  } else {
    Put(index, std::move(line));
  }
}

std::u16string TStringList::Values(std::u16string_view name) const {
  const int32_t index = IndexOfName(name);
  return index >= 0 ? ValueFromIndex(index) : std::u16string();
}

void TStringList::SetValue(std::u16string_view name, std::u16string_view value) {
  const int32_t index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  if (index >= 0) {
    SetValueFromIndex(index, value);
    return;
  }
  std::u16string line(name);
  line += fSettings.nameValueSeparator;
  line += value;
  Add(std::move(line));
}

// ---------------------------------------------------------------------------
// TStringList: files and streams
// ---------------------------------------------------------------------------

namespace {

std::vector<uint8_t> RestOfStream(TStream& stream) {
  const int64_t count = stream.Remaining();
  std::vector<uint8_t> bytes;
  if (count <= 0) return bytes;
  if (static_cast<uint64_t>(count) > bytes.max_size()) throw std::bad_alloc();
  bytes.resize(static_cast<size_t>(count));
  stream.ReadBuffer(bytes.data(), count);
  return bytes;
}

}  // namespace

void TStringList::LoadFromFile(std::u16string_view fileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  TTextEncoding encoding;
  const std::u16string text = DecodeTextBytes(bytes, &encoding);
  SetTextStr(text);
  fSettings.encoding = encoding;
}

void TStringList::LoadFromFile(std::string_view fileNameUtf8) {
  LoadFromFile(std::u16string_view(DecodedUTF8(fileNameUtf8)));
}

void TStringList::LoadFromStream(TStream& stream) {
  const std::vector<uint8_t> bytes = RestOfStream(stream);
  TTextEncoding encoding;
  const std::u16string text = DecodeTextBytes(bytes, &encoding);
  SetTextStr(text);
  fSettings.encoding = encoding;
}

void TStringList::LoadFromFile(std::u16string_view fileName, TTextEncoding encoding) {
  const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  SetTextStr(DecodeTextBytesAs(bytes, encoding));
  fSettings.encoding = encoding;
}

void TStringList::LoadFromStream(TStream& stream, TTextEncoding encoding) {
  const std::vector<uint8_t> bytes = RestOfStream(stream);
  SetTextStr(DecodeTextBytesAs(bytes, encoding));
  fSettings.encoding = encoding;
}

void TStringList::SaveToFile(std::u16string_view fileName) const { SaveToFile(fileName, fSettings.encoding); }

void TStringList::SaveToFile(std::string_view fileNameUtf8) const {
  SaveToFile(std::u16string_view(DecodedUTF8(fileNameUtf8)), fSettings.encoding);
}

void TStringList::SaveToFile(std::u16string_view fileName, TTextEncoding encoding) const {
  const std::vector<uint8_t> bytes = EncodeTextBytes(GetTextStr(), encoding, fSettings.writeBOM);
  WriteFileSafely(fileName, bytes);
}

void TStringList::SaveToStream(TStream& stream) const { SaveToStream(stream, fSettings.encoding); }

void TStringList::SaveToStream(TStream& stream, TTextEncoding encoding) const {
  const std::vector<uint8_t> bytes = EncodeTextBytes(GetTextStr(), encoding, fSettings.writeBOM);
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// ---------------------------------------------------------------------------
// TStringListIndex

bool TStringListIndex::KeyOf(const TStringList& list, std::u16string_view s) {
  return CollationKey(list.Locale(), list.CaseSensitive() ? 0 : NORM_IGNORECASE, s, fKey);
}

void TStringListIndex::Add(int32_t index) {
  fNext.push_back(-1);
  if (!KeyOf(*fList, fList->Get(index))) {
    fUnkeyed.push_back(index);
    return;
  }
  const auto [it, added] = fChains.try_emplace(fKey, TChain{index, index});
  if (!added) {
    fNext[static_cast<size_t>(it->second.last)] = index;
    it->second.last = index;
  }
}

void TStringListIndex::Rebuild(const TStringList& list) {
  fList = &list;
  fChains.clear();
  fNext.clear();
  fUnkeyed.clear();
  fRevision = list.Revision();
  try {
    fNext.reserve(static_cast<size_t>(list.Count()));
    for (int32_t i = 0; i < list.Count(); ++i) Add(i);
  } catch (...) {
    fList = nullptr;  // half built: rebuilt at the next search
    throw;
  }
}

int32_t TStringListIndex::IndexOf(const TStringList& list, std::u16string_view s) {
  if (list.Sorted()) return list.IndexOf(s);
  if (fList != &list || fRevision != list.Revision()) Rebuild(list);
  // Without a collator there are no keys, and the list compares code units.
  if (!KeyOf(list, s)) return list.IndexOf(s);
  int32_t found = -1;
  const auto it = fChains.find(fKey);
  if (it != fChains.end()) {
    for (int32_t i = it->second.first; i >= 0; i = fNext[static_cast<size_t>(i)]) {
      if (list.CompareStrings(list.Get(i), s) == 0) {
        found = i;
        break;
      }
    }
  }
  for (const int32_t i : fUnkeyed) {
    if (found >= 0 && i > found) break;
    if (list.CompareStrings(list.Get(i), s) == 0) return i;
  }
  return found;
}

void TStringListIndex::Appended(const TStringList& list, int32_t index) {
  if (fList != &list || list.Sorted() || fRevision + 1 != list.Revision() ||
      index != list.Count() - 1 || fNext.size() != static_cast<size_t>(index)) {
    fList = nullptr;  // rebuilt at the next search
    return;
  }
  try {
    Add(index);
  } catch (...) {
    fList = nullptr;
    throw;
  }
  fRevision = list.Revision();
}

}  // namespace qn::platform
