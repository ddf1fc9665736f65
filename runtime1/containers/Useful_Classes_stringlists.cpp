#include "runtime1/containers/Useful_Classes_stringlists.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "runtime1/containers/Useful_Classes.h"

namespace qn {

namespace {

using platform::TObject;
using platform::TStringList;

// Adds S with a new holder as its object. When a sorted list ignores S as a
// duplicate, the holder is not attached and is freed here.
template <typename H, typename... A>
int32_t AddWithHolder(TStringList& list, std::u16string S, A&&... args) {
  auto holder = std::make_unique<H>(std::forward<A>(args)...);
  const int32_t index = list.AddObject(std::move(S), holder.get());
  if (index >= 0 && index < list.Count() && list.GetObject(index) == holder.get()) holder.release();
  return index;
}

// The entry's object as holder type H, or nullptr (index outside the list,
// no object).
template <typename H>
H* HolderAt(const TIndexCheckStringlist& list, int32_t index) noexcept {
  if (!list.IndexAssignedOK(index)) return nullptr;
  return static_cast<H*>(list.GetObject(index));
}

// The same where an entry may hold objects of another type.
template <typename H>
H* CheckedHolderAt(const TIndexCheckStringlist& list, int32_t index) noexcept {
  if (!list.IndexAssignedOK(index)) return nullptr;
  return dynamic_cast<H*>(list.GetObject(index));
}

// Sets the record of entry index, attaching a holder when it has none.
template <typename H, typename V>
void SetHolderValue(TIndexCheckStringlist& list, int32_t index, const V& value) {
  if (!list.IndexAssignedOK(index)) return;
  if (auto* h = static_cast<H*>(list.GetObject(index))) {
    h->data = value;
    return;
  }
  auto holder = std::make_unique<H>(value);
  list.PutObject(index, holder.get());
  holder.release();
}

int32_t IntOfObject(const TObject* object) noexcept {
  return static_cast<int32_t>(platform::IntFromObject(object));
}

}  // namespace

// ---------------------------------------------------------------------------
// TIndexCheckStringlist

TIndexCheckStringlist::TIndexCheckStringlist() = default;
TIndexCheckStringlist::TIndexCheckStringlist(bool ownsObjects) : TStringList(ownsObjects) {}
TIndexCheckStringlist::~TIndexCheckStringlist() = default;

void TIndexCheckStringlist::ReverseTheSort() {
  for (int32_t i = 0, j = Count() - 1; i < j; ++i, --j) Exchange(i, j);
}

// ---------------------------------------------------------------------------
// TStringListWithALongint

TStringListWithALongint::TStringListWithALongint() : TIndexCheckStringlist(true) {}
TStringListWithALongint::~TStringListWithALongint() = default;

int32_t TStringListWithALongint::AddOne(std::u16string S, int32_t m) {
  return AddWithHolder<TLongIntHolder>(*this, std::move(S), m);
}

int32_t TStringListWithALongint::GetOne(int32_t index) const noexcept {
  const auto* h = HolderAt<TLongIntHolder>(*this, index);
  return h ? h->data : 0;
}

void TStringListWithALongint::SetOne(int32_t index, int32_t m) {
  SetHolderValue<TLongIntHolder>(*this, index, m);
}

int32_t TStringListWithALongint::HighestFrequency() const noexcept {
  int32_t highest = 0;
  for (int32_t i = 0; i < Count(); ++i) highest = std::max(highest, GetOne(i));
  return highest;
}

void TStringListWithALongint::SetTextStr(std::u16string_view text) {
  Clear();
  auto addLine = [this](std::u16string_view line) {
    const size_t tab = line.find(u'\t');
    int32_t value = 0;
    if (tab != std::u16string_view::npos && tab > 0 &&
        platform::TryStrToInt(line.substr(tab + 1), value)) {
      AddOne(std::u16string(line.substr(0, tab)), value);
    } else {
      AddOne(std::u16string(line), -1);
    }
  };
  const std::u16string& lineBreak = LineBreak();
  size_t p = 0;
  if (lineBreak != u"\r\n" && !lineBreak.empty()) {
    while (p < text.size()) {
      const size_t q = text.find(lineBreak, p);
      if (q == std::u16string_view::npos) {
        addLine(text.substr(p));
        break;
      }
      addLine(text.substr(p, q - p));
      p = q + lineBreak.size();
    }
    return;
  }
  // CR LF, CR or LF each end a line; a final line break adds no empty line.
  while (p < text.size()) {
    size_t q = p;
    while (q < text.size() && text[q] != u'\r' && text[q] != u'\n') ++q;
    addLine(text.substr(p, q - p));
    if (q < text.size() && text[q] == u'\r') ++q;
    if (q < text.size() && text[q] == u'\n') ++q;
    p = q;
  }
}

void TStringListWithALongint::SortOnFreq() {
  CustomSort([this](int32_t i, int32_t j) { return CompareLongints(GetOne(j), GetOne(i)); });
}

// ---------------------------------------------------------------------------
// TStringListWithASingle

TStringListWithASingle::TStringListWithASingle() : TIndexCheckStringlist(true) {}
TStringListWithASingle::~TStringListWithASingle() = default;

int32_t TStringListWithASingle::AddOne(std::u16string S, float m) {
  return AddWithHolder<TSingleHolder>(*this, std::move(S), m);
}

float TStringListWithASingle::GetOne(int32_t index) const noexcept {
  const auto* h = HolderAt<TSingleHolder>(*this, index);
  return h ? h->data : 0.0f;
}

void TStringListWithASingle::SetOne(int32_t index, float m) { SetHolderValue<TSingleHolder>(*this, index, m); }

void TStringListWithASingle::SortOnFreq() {
  CustomSort([this](int32_t i, int32_t j) { return CompareSingles(GetOne(j), GetOne(i)); });
}

// ---------------------------------------------------------------------------
// TStringListWithIntAndSingle

TStringListWithIntAndSingle::TStringListWithIntAndSingle() : TIndexCheckStringlist(true) {}
TStringListWithIntAndSingle::~TStringListWithIntAndSingle() = default;

int32_t TStringListWithIntAndSingle::AddOne(std::u16string S, const TIntegerAndSingleRec& rec) {
  return AddWithHolder<TIntegerAndSingleHolder>(*this, std::move(S), rec);
}

TIntegerAndSingleRec TStringListWithIntAndSingle::GetOne(int32_t index) const noexcept {
  const auto* h = HolderAt<TIntegerAndSingleHolder>(*this, index);
  return h ? h->data : TIntegerAndSingleRec{};
}

void TStringListWithIntAndSingle::SetOne(int32_t index, const TIntegerAndSingleRec& rec) {
  SetHolderValue<TIntegerAndSingleHolder>(*this, index, rec);
}

void TStringListWithIntAndSingle::SortOnInt(bool ascending) {
  CustomSort([this, ascending](int32_t i, int32_t j) {
    const TIntegerAndSingleRec a = GetOne(ascending ? i : j), b = GetOne(ascending ? j : i);
    const int32_t c = CompareLongints(a.int_, b.int_);
    return c != 0 ? c : CompareSingles(b.s, a.s);
  });
}

void TStringListWithIntAndSingle::SortOnSingle(bool ascending) {
  CustomSort([this, ascending](int32_t i, int32_t j) {
    const TIntegerAndSingleRec a = GetOne(ascending ? i : j), b = GetOne(ascending ? j : i);
    const int32_t c = CompareSingles(a.s, b.s);
    return c != 0 ? c : CompareLongints(b.int_, a.int_);
  });
}

void TStringListWithIntAndSingle::SortOnStrings(bool ascending) {
  // The direction is the reverse of what the name says; tools rely on it.
  CustomSort([this, ascending](int32_t i, int32_t j) {
    const int32_t x = ascending ? j : i, y = ascending ? i : j;
    const int32_t c = Compare2Strings(Get(x), Get(y));
    return c != 0 ? c : CompareSingles(GetOne(x).s, GetOne(y).s);
  });
}

// ---------------------------------------------------------------------------
// TStringListWith2LongintList

TStringListWith2LongintList::TStringListWith2LongintList() : TIndexCheckStringlist(true) {}
TStringListWith2LongintList::~TStringListWith2LongintList() = default;

int32_t TStringListWith2LongintList::AddOne(std::u16string S, const T2_longint_rec& rec) {
  return AddWithHolder<T2LongIntHolder>(*this, std::move(S), rec);
}

int32_t TStringListWith2LongintList::AddOrIncOne(std::u16string S, const T2_longint_rec& m) {
  int32_t index = fIndex.IndexOf(*this, S);
  if (index < 0) {
    index = AddWithHolder<T2LongintList>(*this, std::move(S));
    fIndex.Appended(*this, index);
  }
  T2LongintList* list = GetList(index);
  if (list == nullptr) return -1;
  list->AddOne(m);
  return index;
}

T2LongintList* TStringListWith2LongintList::GetList(int32_t index) const noexcept {
  return CheckedHolderAt<T2LongintList>(*this, index);
}

T2_longint_rec TStringListWith2LongintList::GetOne(int32_t index) const noexcept {
  const auto* h = CheckedHolderAt<T2LongIntHolder>(*this, index);
  return h ? h->data : T2_longint_rec{};
}

void TStringListWith2LongintList::SetOne(int32_t index, const T2_longint_rec& rec) noexcept {
  if (auto* h = CheckedHolderAt<T2LongIntHolder>(*this, index)) h->data = rec;
}

void TStringListWith2LongintList::AddToOneFreq(int32_t index, int32_t freq, T2LongintField which) noexcept {
  auto* h = CheckedHolderAt<T2LongIntHolder>(*this, index);
  if (h == nullptr) return;
  int32_t& field = which == t2_long1 ? h->data.long1 : h->data.long0;
  field = static_cast<int32_t>(static_cast<uint32_t>(field) + static_cast<uint32_t>(freq));
}

void TStringListWith2LongintList::IncOne(int32_t index, T2LongintField which) noexcept {
  AddToOneFreq(index, 1, which);
}

int32_t TStringListWith2LongintList::Repeateds(T2LongintField which) const noexcept {
  int32_t n = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    const T2_longint_rec rec = GetOne(i);
    if ((which == t2_long1 ? rec.long1 : rec.long0) > 1) ++n;
  }
  return n;
}

void TStringListWith2LongintList::SortOnFreq() {
  CustomSort([this](int32_t i, int32_t j) {
    const T2_longint_rec a = GetOne(i), b = GetOne(j);
    const int32_t c = CompareLongints(b.long0, a.long0);
    return c != 0 ? c : CompareLongints(a.long1, b.long1);
  });
}

// ---------------------------------------------------------------------------
// TStringListWithLongintList

TStringListWithLongintList::TStringListWithLongintList() : TIndexCheckStringlist(true) {}
TStringListWithLongintList::~TStringListWithLongintList() = default;

int32_t TStringListWithLongintList::AddOrIncOne(std::u16string S, int32_t m) {
  int32_t index = fIndex.IndexOf(*this, S);
  if (index < 0) {
    index = AddWithHolder<TQNLongintList>(*this, std::move(S));
    fIndex.Appended(*this, index);
  }
  TQNLongintList* list = GetOne(index);
  if (list == nullptr) return 0;
  if (list->IndexOf(m) < 0) list->AddOne(m);
  return list->Count();
}

TQNLongintList* TStringListWithLongintList::GetOne(int32_t index) const noexcept {
  return CheckedHolderAt<TQNLongintList>(*this, index);
}

// ---------------------------------------------------------------------------
// TStringListWithFreqPointers

TStringListWithFreqPointers::TStringListWithFreqPointers() : TIndexCheckStringlist(false) {}
TStringListWithFreqPointers::~TStringListWithFreqPointers() = default;

int32_t TStringListWithFreqPointers::AddOne(std::u16string S, int32_t freq) {
  return AddObject(std::move(S), platform::ObjectFromInt(freq));
}

int32_t TStringListWithFreqPointers::GetOne(int32_t index) const noexcept {
  return IndexAssignedOK(index) ? IntOfObject(GetObject(index)) : 0;
}

void TStringListWithFreqPointers::SetOne(int32_t index, int32_t freq) {
  if (IndexAssignedOK(index)) PutObject(index, platform::ObjectFromInt(freq));
}

void TStringListWithFreqPointers::SortOnFreq() { CustomSort(StringListCompareDescFreq); }

// ---------------------------------------------------------------------------
// TMySaveStringList

TMySaveStringList::TMySaveStringList(bool saving_objects_as_integer)
    : TIndexCheckStringlist(false), save_Objects_too(saving_objects_as_integer) {}
TMySaveStringList::~TMySaveStringList() = default;

void TMySaveStringList::SaveToStream(platform::TStream& stream) const {
  platform::Put<int32_t>(stream, Count());
  for (int32_t i = 0; i < Count(); ++i) {
    if (save_Objects_too) platform::Put<int32_t>(stream, IntOfObject(GetObject(i)));
    WriteAString(stream, Get(i));
  }
}

void TMySaveStringList::LoadFromStream(platform::TStream& stream) {
  const int32_t n = platform::Get<int32_t>(stream);
  const int32_t entryBytes = save_Objects_too ? 8 : 4;  // the least one entry takes
  if (n < 0 || n > stream.Remaining() / entryBytes) RaiseFileReadError("LoadFromStream");
  // Read everything first, so that a malformed entry leaves the list as it was.
  std::vector<std::pair<std::u16string, int32_t>> entries;
  entries.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const int32_t object = save_Objects_too ? platform::Get<int32_t>(stream) : 0;
    entries.emplace_back(ReadAString(stream), object);
  }
  if (n <= std::numeric_limits<int32_t>::max() - Count()) SetCapacity(Count() + n);
  for (auto& [text, object] : entries)
    AddObject(std::move(text), save_Objects_too ? platform::ObjectFromInt(object) : nullptr);
}

void TMySaveStringList::SaveToFile(std::u16string_view fileName) const {
  platform::TMemoryStream image;
  SaveToStream(image);
  platform::WriteFileSafely(fileName, image.Bytes());
}

void TMySaveStringList::SaveToFile(std::string_view fileNameUtf8) const {
  platform::TMemoryStream image;
  SaveToStream(image);
  platform::WriteFileSafely(fileNameUtf8, image.Bytes());
}

void TMySaveStringList::LoadFromFile(std::u16string_view fileName) {
  platform::TFileStream file(fileName, platform::fmOpenRead | platform::fmShareDenyNone);
  LoadFromStream(file);
}

void TMySaveStringList::LoadFromFile(std::string_view fileNameUtf8) {
  platform::TFileStream file(fileNameUtf8, platform::fmOpenRead | platform::fmShareDenyNone);
  LoadFromStream(file);
}

}  // namespace qn
