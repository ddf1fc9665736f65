#include "runtime1/search/Search_items.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/containers/Useful_Classes_search.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/text/My_string_functions_numbers.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

namespace {

constexpr char16_t kTab = u'\t';
constexpr int32_t kAbbreviatedCount = 10;

std::u16string Decimal(int64_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

// A decimal field of a stream record: an optional sign, then the value of the
// leading digits (0 when there are none). nullopt when the value does not fit
// 32 bits.
std::optional<int32_t> FieldNumber(std::u16string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    v = v * 10 + (s[i] - u'0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(v);
}

struct TStreamEntry {
  std::u16string typed;
  int32_t hits = -1;
  int32_t language = -1;
};

// "typed<TAB>hits<TAB>language", split at the last two TABs; a record with one
// TAB keeps the text before it and takes no number.
TStreamEntry SplitStreamRecord(const std::u16string& s) {
  TStreamEntry e;
  const size_t last = s.rfind(kTab);
  if (last == std::u16string::npos) {
    e.typed = s;
    return e;
  }
  const size_t before = last == 0 ? std::u16string::npos : s.rfind(kTab, last - 1);
  if (before == std::u16string::npos) {
    e.typed = s.substr(0, last);
    return e;
  }
  e.typed = s.substr(0, before);
  const std::u16string_view view(s);
  e.hits = FieldNumber(view.substr(before + 1, last - before - 1)).value_or(-1);
  const std::optional<int32_t> lang = FieldNumber(view.substr(last + 1));
  // A language number is 16 bits wide; one that does not fit is missing too.
  e.language = lang && *lang <= std::numeric_limits<int16_t>::max() ? *lang : -1;
  return e;
}

}  // namespace

// ---------------------------------------------------------------------------
// TSWHolder, TSWList

TSWHolder::~TSWHolder() = default;

TSWList::~TSWList() { TSWList::Clear(); }

int32_t TSWList::AddHolder(std::unique_ptr<TSWHolder> holder) {
  const int32_t index = Add(static_cast<platform::TObject*>(holder.get()));
  holder.release();
  return index;
}

void TSWList::Notify(void* item, TListNotification action) {
  if (action == TListNotification::lnDeleted && item != nullptr) delete static_cast<platform::TObject*>(item);
}

// ---------------------------------------------------------------------------
// TBaseSearchItems: creation

TBaseSearchItems::TBaseSearchItems()
    : fPlainSWS(std::make_unique<TSimpleSearchlist>(DefaultSimpleSearchSettings())) {}

TBaseSearchItems::TBaseSearchItems(const TIgnore_tag_type& Aignore_tags, uint32_t AnLCID,
                                   bool aSplit_SWs_at_slashes)
    : TBaseSearchItems() {
  ignore_tags = Aignore_tags;
  fLCID = AnLCID;
  fSplitting_at_slashes = aSplit_SWs_at_slashes;
}

TBaseSearchItems::~TBaseSearchItems() = default;

TSWHolder* TBaseSearchItems::CheckedHolder(int32_t i) const {
  if (i < 0 || i >= fSWList.Count()) TPointerList::Error(i);
  return fSWList.Items(i);
}

// ---------------------------------------------------------------------------
// The typed-text index

int32_t TBaseSearchItems::LookUp(std::u16string_view s) {
  if (!fIndexValid) {
    fTypedIndex.clear();
    fTypedIndex.reserve(static_cast<size_t>(fSWList.Count()));
    for (int32_t i = 0; i < fSWList.Count(); ++i) fTypedIndex.try_emplace(fSWList.Items(i)->data.typed_in_text, i);
    fIndexValid = true;
  }
  const auto it = fTypedIndex.find(std::u16string(s));
  if (it == fTypedIndex.end()) return -1;
  // A record changed through GetPtr may no longer hold the text: look again.
  if (it->second < fSWList.Count() && fSWList.Items(it->second)->data.typed_in_text == s) return it->second;
  InvalidateIndex();
  return LookUp(s);
}

void TBaseSearchItems::IndexAppended(int32_t index) {
  if (fIndexValid) fTypedIndex.try_emplace(fSWList.Items(index)->data.typed_in_text, index);
}

int32_t TBaseSearchItems::TypeInIndexOf(std::u16string_view s) {
  MyYieldProcess();
  return LookUp(s);
}

int32_t TBaseSearchItems::IndexOf(const TSearch_word_format_rec& s) {
  const int32_t i = TypeInIndexOf(s.typed_in_text);
  if (i < 0) return -1;
  const TSWHolder* h = Holder(i);
  return h != nullptr && h->data.Langnum == s.Langnum ? i : -1;
}

// ---------------------------------------------------------------------------
// Adding

std::unique_ptr<platform::TStringList> TBaseSearchItems::TypeInParts(std::u16string_view s) const {
  std::u16string collapsed = StrippedDoubleSpaces(s);
  return SplitSWList(collapsed, fSplitting_at_slashes);
}

std::vector<int32_t> TBaseSearchItems::fAddedSearchWordsIndices(std::u16string_view s) {
  std::vector<int32_t> result;
  const std::unique_ptr<platform::TStringList> parts = TypeInParts(s);
  for (int32_t k = parts->Count() - 1; k >= 0; --k) {
    std::u16string alternative = parts->Get(k);
    TSearch_word_format_rec rec =
        fFormatPreChecked ? UnParsed_SearchWord(alternative) : Parsed_SearchWord(ignore_tags, alternative);
    if (keeping_log) {
      AddToLogFile(u"\"" + rec.typed_in_text + u"\" = \"" + rec.search_text + u"\"");
    }
    if (rec.search_text.empty()) continue;
    const int32_t existing = TypeInIndexOf(rec.typed_in_text);
    result.push_back(existing >= 0 ? existing : AddOneSW(rec));
  }
  return result;
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(std::u16string_view s) {
  return fAddedSearchWordsIndices(s);
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(std::u16string_view s, int16_t Language) {
  std::vector<int32_t> r = fAddedSearchWordsIndices(s);
  for (const int32_t i : r) {
    if (TSWHolder* h = Holder(i)) h->data.Langnum = Language;
  }
  return r;
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(std::u16string_view s, bool auto_lemma) {
  std::vector<int32_t> r = fAddedSearchWordsIndices(s);
  for (const int32_t i : r) {
    if (TSWHolder* h = Holder(i)) h->data.auto_lemma_added = auto_lemma;
  }
  return r;
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(std::u16string_view s, int32_t max_to_get) {
  std::vector<int32_t> r = fAddedSearchWordsIndices(s);
  for (const int32_t i : r) {
    if (TSWHolder* h = Holder(i)) h->data.n_to_find = max_to_get;
  }
  return r;
}

int32_t TBaseSearchItems::AddOneSW(const TSearch_word_format_rec& anItem) {
  const int32_t index = fSWList.AddHolder(std::make_unique<TSWHolder>(anItem));
  IndexAppended(index);
  return index;
}

int32_t TBaseSearchItems::EnsureContains(const TSearch_word_format_rec& arec) {
  const int32_t i = IndexOf(arec);
  return i >= 0 ? i : AddOneSW(arec);
}

std::vector<int32_t> TBaseSearchItems::InsertSearchWordsAtTop(std::u16string_view s, bool use_any_lemmas) {
  const std::vector<int32_t> r = AddedSearchWords(s, use_any_lemmas);
  const int32_t n = static_cast<int32_t>(r.size());
  // The entries themselves, so that the moves cannot make an index stale.
  std::vector<const TSWHolder*> entries;
  entries.reserve(r.size());
  for (const int32_t i : r) entries.push_back(Holder(i));
  for (int32_t k = 0; k < n; ++k) {
    if (entries[k] == nullptr) continue;
    // Positions 0..k-1 already hold entries 0..k-1; one found there again is
    // a duplicate in r and stays.
    const int32_t now = fSWList.IndexOf(entries[k]);
    if (now > k) {
      fSWList.Move(now, k);
      InvalidateIndex();
    }
  }
  std::vector<int32_t> result(r.size(), -1);
  for (int32_t k = 0; k < n; ++k) {
    if (entries[k] != nullptr) result[k] = fSWList.IndexOf(entries[k]);
  }
  return result;
}

void TBaseSearchItems::MoveToTop(int32_t old_index) {
  if (old_index <= 0 || old_index >= Count()) return;
  fSWList.Move(old_index, 0);
  InvalidateIndex();
}

// ---------------------------------------------------------------------------
// Reading entries

TSearch_word_format_rec TBaseSearchItems::GetSWR(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr ? h->data : TSearch_word_format_rec{};
}

TSearch_word_format_rec* TBaseSearchItems::GetPtr(int32_t i) {
  TSWHolder* h = Holder(i);
  if (h == nullptr) return nullptr;
  InvalidateIndex();  // the caller may change the typed text through it
  return &h->data;
}

void TBaseSearchItems::PutSWR(int32_t i, const TSearch_word_format_rec& rec) {
  TSWHolder* h = Holder(i);
  if (h == nullptr) return;
  h->data = rec;
  InvalidateIndex();
}

TMySearchFlags TBaseSearchItems::GetAFlag(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr ? h->data.flags : TMySearchFlags{};
}

void TBaseSearchItems::SetAFlag(int32_t i, TMySearchFlags value) {
  if (TSWHolder* h = Holder(i)) h->data.flags = value;
}

bool TBaseSearchItems::GetAutoLemmaAdded(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr && h->data.auto_lemma_added;
}

void TBaseSearchItems::SetAutoLemmaAdded(int32_t i, bool value) { CheckedHolder(i)->data.auto_lemma_added = value; }

int32_t TBaseSearchItems::GetHitsFound(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr ? h->data.hits_found : 0;
}

void TBaseSearchItems::SetHitsFound(int32_t i, int32_t value) { CheckedHolder(i)->data.hits_found = value; }

int16_t TBaseSearchItems::GetLanguage(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr ? h->data.Langnum : int16_t{0};
}

void TBaseSearchItems::SetLanguage(int32_t i, int16_t value) { CheckedHolder(i)->data.Langnum = value; }

int32_t TBaseSearchItems::GetNToFind(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr ? h->data.n_to_find : 0;
}

void TBaseSearchItems::SetNToFind(int32_t i, int32_t value) { CheckedHolder(i)->data.n_to_find = value; }

bool TBaseSearchItems::GetSearchFound(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr && h->data.achou_suficiente;
}

void TBaseSearchItems::SetSearchFound(int32_t i, bool value) {
  if (TSWHolder* h = Holder(i)) h->data.achou_suficiente = value;
}

int32_t TBaseSearchItems::GetSpacesInSW(int32_t i) const {
  const TSWHolder* h = Holder(i);
  return h != nullptr ? h->data.spaces_in_sw : 0;
}

std::vector<TSearch_word_format_rec> TBaseSearchItems::CopyOfArrayOFSWItems(std::span<const int32_t> from) const {
  std::vector<TSearch_word_format_rec> result;
  result.reserve(from.size());
  for (const int32_t i : from) result.push_back(GetSWR(i));
  return result;
}

std::u16string TBaseSearchItems::AllTypedSearchWordsAsOne(bool abbreviated) const {
  const int32_t n = abbreviated ? std::min(Count(), kAbbreviatedCount) : Count();
  std::u16string s;
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0) s += u'/';
    s += fSWList.Items(i)->data.typed_in_text;
  }
  if (abbreviated && Count() > kAbbreviatedCount) {
    s += u' ';
    s += _QNEtc;
  }
  return s;
}

std::unique_ptr<platform::TStringList> TBaseSearchItems::TypedInWordsAsStringlist() const {
  auto list = std::make_unique<platform::TStringList>();
  list->SetCapacity(Count());
  for (int32_t i = 0; i < Count(); ++i) list->Add(fSWList.Items(i)->data.typed_in_text);
  return list;
}

int32_t TBaseSearchItems::SearchesPlannedCount() const {
  return TypeInParts(AllTypedSearchWordsAsOne(false))->Count();
}

// ---------------------------------------------------------------------------
// Counters and clearing

void TBaseSearchItems::Clear() {
  fPlainSWS->Clear();
  fSWList.Clear();
  fTypedIndex.clear();
  fIndexValid = true;
  fFrom_a_file = false;
}

void TBaseSearchItems::ClearOne(int32_t n) {
  if (n < 0 || n >= Count()) return;
  if (n == Count() - 1 && fIndexValid) {
    // The last entry: no index above it shifts. The map holds the lowest index
    // of each text, so it names n only when no lower entry has the text.
    const auto it = fTypedIndex.find(fSWList.Items(n)->data.typed_in_text);
    if (it != fTypedIndex.end() && it->second == n) fTypedIndex.erase(it);
  } else {
    InvalidateIndex();
  }
  fSWList.Delete(n);
}

void TBaseSearchItems::IncrementHits(int32_t n) {
  if (TSWHolder* h = Holder(n)) ++h->data.hits_found;
}

void TBaseSearchItems::ClearHits() {
  for (int32_t i = 0; i < Count(); ++i) fSWList.Items(i)->data.hits_found = 0;
}

void TBaseSearchItems::SetHits(std::span<const int32_t> a) {
  const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(Count()), a.size()));
  for (int32_t k = 0; k < n; ++k) fSWList.Items(k)->data.hits_found = a[k];
}

int64_t TBaseSearchItems::TotalHits() const {
  int64_t total = 0;
  for (int32_t i = 0; i < Count(); ++i) total += fSWList.Items(i)->data.hits_found;
  return total;
}

TSimpleSearchlist& TBaseSearchItems::ComputePlainSearchWords() {
  fPlainSWS->Clear();
  for (int32_t i = 0; i < Count(); ++i) {
    TSimpleSearch_rec r;
    r.seek = fSWList.Items(i)->data.typed_in_text;
    r.n_wanted = 1;
    r.flags = FlagsFromSW(r.seek);
    fPlainSWS->AddOne(r);
  }
  return *fPlainSWS;
}

// ---------------------------------------------------------------------------
// Persistence

bool TBaseSearchItems::SaveToFile(std::u16string_view Filename) const {
  const std::unique_ptr<platform::TStringList> lines = TypedInWordsAsStringlist();
  lines->SetLineBreak(u"\r\n");
  lines->SetWriteBOM(true);
  lines->SaveToFile(Filename, platform::kEncodingUTF16LE);
  return true;
}

bool TBaseSearchItems::LoadFromFile(std::u16string_view Filename, int32_t n_wanted) {
  platform::TStringList lines;
  lines.LoadFromFile(Filename);  // raises before anything changes
  fSWList.Clear();
  fTypedIndex.clear();
  fIndexValid = true;
  bool any = false;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    if (lines[i].empty()) continue;
    if (!AddedSearchWords(lines[i], n_wanted).empty()) any = true;
  }
  fFrom_a_file = any;
  return any;
}

bool TBaseSearchItems::SaveToStream(platform::TStream& Stream) const {
  std::vector<std::u16string> records;
  records.reserve(static_cast<size_t>(Count()));
  for (int32_t i = 0; i < Count(); ++i) {
    const TSearch_word_format_rec& d = fSWList.Items(i)->data;
    std::u16string r = d.typed_in_text;
    r += kTab;
    r += Decimal(d.hits_found);
    r += kTab;
    r += Decimal(d.Langnum);
    // The reader refuses longer records and everything after them.
    if (r.size() > static_cast<size_t>(std::max(global_string_safety_limit, 0))) return false;
    records.push_back(std::move(r));
  }
  try {
    // One write, so that a failing stream is not left with half a list.
    platform::TMemoryStream image;
    platform::Put<int32_t>(image, static_cast<int32_t>(records.size()));
    for (const std::u16string& r : records) WriteAString(image, r);
    Stream.WriteBuffer(image.Bytes().data(), image.Size());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TBaseSearchItems::ReadFromStream(platform::TStream& Stream) {
  try {
    const int32_t n = platform::Get<int32_t>(Stream);
    if (n < 0) return false;
    for (int32_t k = 0; k < n; ++k) {
      const TStreamEntry e = SplitStreamRecord(ReadAString(Stream));
      const std::vector<int32_t> indices = fAddedSearchWordsIndices(e.typed);
      for (const int32_t i : indices) {
        TSWHolder* h = Holder(i);
        if (h == nullptr) continue;
        if (e.hits >= 0) h->data.hits_found = e.hits;
        if (e.language >= 0) h->data.Langnum = static_cast<int16_t>(e.language);
      }
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// ---------------------------------------------------------------------------
// TSearchWordItems

TSearchWordItems::TSearchWordItems() = default;

TSearchWordItems::TSearchWordItems(const TIgnore_tag_type& Aignore_tags, uint32_t AnLCID,
                                   bool aSplit_SWs_at_slashes)
    : TBaseSearchItems(Aignore_tags, AnLCID, aSplit_SWs_at_slashes) {}

TSearchWordItems::~TSearchWordItems() = default;

bool TSearchWordItems::GetHasContextWord(int32_t index) {
  const TSWHolder* h = Holder(index);
  if (h == nullptr || !h->data.has_file_based_context_word) return false;
  HasAnyContextWords = true;
  return true;
}

std::vector<int32_t> TSearchWordItems::fAddedSearchWordsIndices(std::u16string_view s) {
  if (TypeInIndexOf(s) >= 0) return {};
  std::vector<int32_t> r = TBaseSearchItems::fAddedSearchWordsIndices(s);
  if (!r.empty() && GetHasContextWord(0)) {
    if (!ftempCWItems) ftempCWItems = std::make_unique<TContextWordItems>(ignore_tags, TheLCID(), true);
    if (!ftempEngine) ftempEngine = std::make_unique<TSearchAndDoEngine>(false, true, TheLCID(), nullptr);
  }
  return r;
}

// ---------------------------------------------------------------------------
// The other lists

TContextWordItems::~TContextWordItems() = default;
TExclusionWordItems::~TExclusionWordItems() = default;
TTagContextWordItems::~TTagContextWordItems() = default;

}  // namespace qn
