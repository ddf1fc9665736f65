#include "lemmatiser/myLemmaAndMatchLists.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/Streams.h"
#include "platform/TextDetection.h"
#include "platform/YieldHook.h"

namespace qn {

// ---- result buffers --------------------------------------------------------------

namespace {
char gResultA[kResultBufferUnits];
char16_t gResultW[kResultBufferUnits];
// A query word given in the other encoding than its list's is converted into
// these, never into the result buffers, so that a query does not change a
// result an earlier call handed out.
char gQueryA[kResultBufferUnits];
char16_t gQueryW[kResultBufferUnits];

template <typename Char>
void PutCut(Char* buffer, std::basic_string_view<Char> text) noexcept {
  const size_t n = std::min(text.size(), kResultBufferUnits - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = Char(0);
}
}  // namespace

char* ResultBufferA() noexcept { return gResultA; }
char16_t* ResultBufferW() noexcept { return gResultW; }

const char* PutResultA(std::string_view text) noexcept {
  PutCut(gResultA, text);
  return gResultA;
}

const char* PutResultAEncoded(std::u16string_view text) {
  text = text.substr(0, kResultBufferUnits);
  // ASCII is the same in every code page of the platform: copied as it is.
  size_t n = 0;
  while (n < text.size() && n < kResultBufferUnits - 1 && text[n] < 0x80) {
    gResultA[n] = static_cast<char>(text[n]);
    ++n;
  }
  if (n == text.size() || n == kResultBufferUnits - 1) {
    gResultA[n] = '\0';
    return gResultA;
  }
  return PutResultA(platform::Encoded(platform::CP_ACP, text));
}

const char16_t* PutResultW(std::u16string_view text) noexcept {
  PutCut(gResultW, text);
  return gResultW;
}

// ---- texts -------------------------------------------------------------------------

namespace {

template <typename Char>
void* NewTextOf(std::basic_string_view<Char> text) {
  Char* copy = static_cast<Char*>(::operator new((text.size() + 1) * sizeof(Char)));
  std::copy_n(text.data(), text.size(), copy);
  copy[text.size()] = Char(0);
  return copy;
}

std::string_view ViewA(const void* text) noexcept {
  return text != nullptr ? std::string_view(static_cast<const char*>(text)) : std::string_view();
}
std::u16string_view ViewW(const void* text) noexcept {
  return text != nullptr ? std::u16string_view(static_cast<const char16_t*>(text))
                         : std::u16string_view();
}

// The first field of every list item points to its text.
const void* ItemText(const void* item) noexcept { return *static_cast<const void* const*>(item); }

void* NewCopyA(const void* a) { return NewTextOf(ViewA(a)); }
void* NewCopyW(const void* a) { return NewTextOf(ViewW(a)); }

// Ordinal comparisons of the items' texts: the difference of the first
// differing code units taken as unsigned values.
int32_t CompareItemsA(const void* a, const void* b) {
  const auto* x = static_cast<const unsigned char*>(ItemText(a));
  const auto* y = static_cast<const unsigned char*>(ItemText(b));
  while (*x != 0 && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int32_t>(*x) - static_cast<int32_t>(*y);
}

int32_t CompareItemsW(const void* a, const void* b) {
  const auto* x = static_cast<const char16_t*>(ItemText(a));
  const auto* y = static_cast<const char16_t*>(ItemText(b));
  while (*x != 0 && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int32_t>(*x) - static_cast<int32_t>(*y);
}

// Line breaks: LF, FF, CR in 8-bit text; also VT, LS and PS in UTF-16 text.
inline bool IsBreak(char c) noexcept { return c == '\n' || c == '\f' || c == '\r'; }
inline bool IsBreak(char16_t c) noexcept {
  return (c >= u'\n' && c <= u'\r') || c == u'\u2028' || c == u'\u2029';
}

// Trimming of characters at or below U+0020. An 8-bit text is trimmed on its
// bytes: in the code pages of the platform a byte at or below 0x20 is always
// that character and never part of a longer one, so this equals trimming the
// decoded text, and bytes the code page does not define stay intact.
template <typename Char>
std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> s) noexcept {
  using U = std::make_unsigned_t<Char>;
  size_t b = 0;
  size_t e = s.size();
  while (b < e && static_cast<U>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<U>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

// The headword and variant of an entry: "headword -> variant" sets the
// remembered headword; an entry without the arrow is a variant of it.
template <typename Char>
std::basic_string_view<Char> SplitLemmaEntry(std::basic_string_view<Char> s,
                                             std::basic_string<Char>& last_headword) {
  const Char arrow[] = {Char('-'), Char('>')};
  const size_t at = s.find(std::basic_string_view<Char>(arrow, 2));
  if (at == std::basic_string_view<Char>::npos) return s;
  last_headword.assign(Trimmed(s.substr(0, at)));
  return Trimmed(s.substr(at + 2));
}

// Streams larger than this are refused rather than read: counts of a list are 32-bit.
constexpr int64_t kMaxListFileBytes = std::numeric_limits<int32_t>::max();

}  // namespace

void* NewListText(std::string_view text) { return NewTextOf(text); }
void* NewListText(std::u16string_view text) { return NewTextOf(text); }
void DeleteListText(const void* text) noexcept { ::operator delete(const_cast<void*>(text)); }

size_t TextLength(const void* text, bool in_unicode) noexcept {
  return in_unicode ? ViewW(text).size() : ViewA(text).size();
}

std::u16string ListTextAsUTF16(const void* text, bool in_unicode) {
  if (in_unicode) return std::u16string(ViewW(text));
  return platform::Decoded(platform::CP_ACP, ViewA(text));
}

bool HasAffixes(const void* text, bool in_unicode) noexcept {
  // '<' and '>' are single bytes in every code page of the platform (never the
  // second byte of a double-byte character), so the 8-bit text is scanned as it is.
  if (in_unicode) {
    const std::u16string_view s = ViewW(text);
    const size_t open = s.find(u'<');
    return open != s.npos && s.find(u'>', open + 1) != s.npos;
  }
  const std::string_view s = ViewA(text);
  const size_t open = s.find('<');
  return open != s.npos && s.find('>', open + 1) != s.npos;
}

const std::u16string_view kSeedTexts[kSeedCount] = {
    u"M_8z", u"F_8z", u"S_8z", u"C_8z", u"U_8z", u"\u00C0_8z", u"}_8z", u"P_8z", u"\u00E0_8z", u"J_8z",
    u"T_8z", u"m_8z", u"f_8z", u"s_8z", u"c_8z", u"u_8z", u"p_8z", u"j_8z", u"t_8z"};

// ---- TReadFileTree ---------------------------------------------------------------

TReadFileTree::TReadFileTree(bool aCase_sensitive)
    : TGeneral_Tree(TCompare2FunctOfObject::Bind<&TReadFileTree::CompareItems>(this)),
      force_upper_case(!aCase_sensitive) {
  SetUsingUnicode(false);
}

TReadFileTree::~TReadFileTree() = default;

int32_t TReadFileTree::CompareItems(void* a, void* b) { return basiccomparefunct(a, b); }

void TReadFileTree::SetUsingUnicode(bool value) {
  using_unicode = value;
  newfunct = value ? &NewCopyW : &NewCopyA;
  deletefunct = &DeleteListText;
  basiccomparefunct = value ? &CompareItemsW : &CompareItemsA;
}

void TReadFileTree::Clear() {
  lines = 0;
  cancelled = false;
  // Each load tells by this flag whether it accepted anything.
  This_list_has_data = false;
  TGeneral_Tree::Clear();
}

bool TReadFileTree::IsASeed(void* a) {
  if (a == nullptr) return false;
  return using_unicode ? ViewW(a).find(u"_8z") != std::u16string_view::npos
                       : ViewA(a).find("_8z") != std::string_view::npos;
}

bool TReadFileTree::IsASeedItem(void* item) {
  return item != nullptr && IsASeed(const_cast<void*>(ItemText(item)));
}

std::string_view TReadFileTree::KeyOf(const void* text) const noexcept {
  const size_t units = TextLength(text, using_unicode);
  return {static_cast<const char*>(text), units * (using_unicode ? 2 : 1)};
}

void TReadFileTree::RefreshIndex() {
  if (fIndexGeneration == ReleaseGeneration()) return;
  fIndex.clear();  // its keys may point into released texts: they are not read
  fIndexGeneration = ReleaseGeneration();
}

anything_ptr TReadFileTree::AddIndexed(void* item) {
  RefreshIndex();
  const bool complete = static_cast<int64_t>(fIndex.size()) == counter;
  // A record of its own rather than the tree's shared current: the insertion
  // yields, and what runs from there may fill current.
  anything added{item, nullptr, nullptr};
  const anything_ptr node = Add_OnePtr(added);
  if (node != nullptr && complete) {
    try {
      fIndex.emplace(KeyOf(ItemText(item)), item);
    } catch (...) {
      // Without room for the index the tree answers lookups by descent.
    }
  }
  return node;
}

void* TReadFileTree::FindItem(const void* text) {
  RefreshIndex();
  if (static_cast<int64_t>(fIndex.size()) == counter) {
    MyYieldProcess();
    const auto found = fIndex.find(KeyOf(text));
    return found != fIndex.end() ? found->second : nullptr;
  }
  const void* probe = text;  // an item whose first field is the text
  const anything sought{&probe, nullptr, nullptr};
  const anything_ptr node = WhereIs(sought);
  return node != nullptr ? node->this_ : nullptr;
}

void TReadFileTree::TellTotalLines(int32_t n) {
  if (fSetNLinesProc.Assigned()) fSetNLinesProc(n, name_of_process.data());
}

const void* TReadFileTree::CopyOfPointer(const void* p, bool p_in_unicode) {
  if (p == nullptr || p_in_unicode == using_unicode) return p;
  if (using_unicode) {
    // No code page needs more than 4 bytes for a code unit: 1,024 bytes give
    // more than the 255 units kept.
    const std::string_view bytes = ViewA(p);
    PutCut(gQueryW, std::u16string_view(
                        platform::Decoded(platform::CP_ACP, bytes.substr(0, 4 * kResultBufferUnits))));
    return gQueryW;
  }
  const std::u16string_view text = ViewW(p).substr(0, kResultBufferUnits);
  PutCut(gQueryA, std::string_view(platform::Encoded(platform::CP_ACP, text)));
  return gQueryA;
}

bool TReadFileTree::LoadFromFile(TAnnounceNumberAndMessageProc aSetNLinesProc,
                                 TShowSomeProgressProc aProgressProc, uint32_t anLCID,
                                 bool aForceUpperCase, std::u16string_view Filename) {
  std::error_code error;
  const std::filesystem::path path(platform::EncodedUTF8(Filename));
  if (Filename.empty() || !std::filesystem::exists(path, error)) return false;
  SetLocale(anLCID);
  force_upper_case = aForceUpperCase;
  fSetNLinesProc = aSetNLinesProc;
  fProgressProc = aProgressProc;
  Clear();  // the whole list: a lemma list's headwords point into the entries
  platform::TFileStream file(Filename, platform::fmOpenRead | platform::fmShareDenyNone);
  return LoadFromStream(file);
}

void TReadFileTree::SetLocale(uint32_t anLCID) {
  fLCID = anLCID;
  fCodepage = static_cast<int32_t>(platform::LCIDToCodePage(anLCID));
}

bool TReadFileTree::LoadFromStream(platform::TStream& Stream) {
  const int64_t size = Stream.Remaining();
  if (size > kMaxListFileBytes) throw Exception("file read error : list file too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size > 0 ? size : 0));
  if (!bytes.empty()) Stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return LoadFromBytes(bytes);
}

bool TReadFileTree::LoadFromBytes(std::span<const uint8_t> bytes) {
  lines = 0;
  if (bytes.size() < 2) return false;
  const platform::TTextEncoding signature = platform::SignatureEncoding(bytes);
  const bool little = signature == platform::kEncodingUTF16LE;
  const bool big = signature == platform::kEncodingUTF16BE;
  SetUsingUnicode(little || big);
  Seed_Tree();
  if (using_unicode) {
    // The code units after the mark; a final odd byte is not part of the text.
    const size_t count = (bytes.size() - 2) / 2;
    std::u16string text(count, u'\0');
    platform::UnitsFromBytes(text.data(), bytes.data() + 2, count, big);
    text.resize(std::min(text.find(u'\0'), text.size()));  // the text ends at its first NUL
    TellTotalLines(static_cast<int32_t>(std::count(text.begin(), text.end(), u'\r')) + 1);
    Parse(text);
  } else {
    // The whole stream is the text, a UTF-8 signature included.
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text.resize(std::min(text.find('\0'), text.size()));
    TellTotalLines(static_cast<int32_t>(std::count(text.begin(), text.end(), '\r')) + 1);
    Parse(text);
  }
  TellTotalLines(lines);
  return true;
}

template <typename Char>
void TReadFileTree::Parse(std::basic_string<Char>& text) {
  if (force_upper_case && !text.empty()) {
    if constexpr (sizeof(Char) == 2) {
      platform::UpperCaseInPlaceForLCID(fLCID, text.data(), text.size());
    } else {
      platform::UpperCaseBytesInPlaceForLCID(fLCID, text.data(), text.size());
    }
  }
  lines = 0;
  const Char* p = text.data();
  const Char* const end = p + text.size();
  while (p < end && !cancelled) {
    MyYieldProcess();
    const Char* q = p;
    while (q < end && !IsBreak(*q) && !(*q == Char(',') && !allow_strings_with_commas)) ++q;
    const bool endsAtComma = q < end && *q == Char(',');
    if (!endsAtComma && lines % 256 == 0 && fProgressProc.Assigned()) fProgressProc(lines);
    const std::basic_string_view<Char> entry =
        Trimmed(std::basic_string_view<Char>(p, static_cast<size_t>(q - p)));
    if (!entry.empty()) {
      if (entry.front() == Char(';')) {
        while (q < end && !IsBreak(*q)) ++q;  // a comment runs to the end of its line
      } else if (Offer(entry)) {
        ++lines;
      }
    }
    if (q < end) q += (*q == Char('\r') && q + 1 < end && q[1] == Char('\n')) ? 2 : 1;
    p = q;
  }
}

// ---- THeadwordList ------------------------------------------------------------------

bool THeadwordList::TTextOrder::operator()(std::u16string_view a, std::u16string_view b) const {
  return platform::CompareText(a, b) < 0;
}

THeadwordEntry* THeadwordList::At(int32_t n) const noexcept {
  if (n < 0 || static_cast<size_t>(n) >= fEntries.size()) return nullptr;
  if (fPositionsStale || fPositions.size() != fEntries.size()) {
    try {
      fPositions.clear();
      fPositions.reserve(fEntries.size());
      for (const auto& [text, entry] : fEntries) fPositions.push_back(entry.get());
      fPositionsStale = false;
    } catch (...) {
      fPositions.clear();
      return nullptr;
    }
  }
  return fPositions[static_cast<size_t>(n)];
}

THeadwordEntry* THeadwordList::Find(std::u16string_view s) const {
  const auto it = fEntries.find(s);
  return it != fEntries.end() ? it->second.get() : nullptr;
}

THeadwordEntry& THeadwordList::FindOrAdd(std::u16string_view s) {
  if (fLast != nullptr && fLast->text == s) return *fLast;
  auto at = fEntries.lower_bound(s);
  if (at != fEntries.end() && !fEntries.key_comp()(s, at->first)) {
    fLast = at->second.get();
  } else {
    auto entry = std::make_unique<THeadwordEntry>();
    entry->text.assign(s);
    THeadwordEntry* added = entry.get();
    fEntries.emplace_hint(at, std::u16string_view(added->text), std::move(entry));
    fPositionsStale = true;
    fLast = added;
  }
  return *fLast;
}

void THeadwordList::Clear() noexcept {
  fEntries.clear();
  fPositions.clear();
  fPositionsStale = false;
  fLast = nullptr;
}

void THeadwordList::Swap(THeadwordList& other) noexcept {
  fEntries.swap(other.fEntries);
  fPositions.swap(other.fPositions);
  std::swap(fPositionsStale, other.fPositionsStale);
  std::swap(fLast, other.fLast);
}

// ---- TLemmaList -------------------------------------------------------------------------

TLemmaList::TLemmaList(bool aCase_sensitive) : TReadFileTree(aCase_sensitive) {
  SetHundredWideChar(name_of_process, LemmaMatchStopnames_of_processes[as_lemma]);
}

TLemmaList::~TLemmaList() {
  // Entries first (they point into the headword list), while Do_Deleting is ours.
  try {
    TGeneral_Tree::Clear();
  } catch (...) {
  }
}

void TLemmaList::Clear() {
  // Both views of the pairs are emptied before any entry is released: the
  // release yields once per entry, and a query made from there must find an
  // empty list, not holders of released entries or entries whose headwords
  // are gone. The headword texts go last, after the entries that point at them.
  THeadwordList released;
  released.Swap(fHeadwords);
  lemma_pair_entries = 0;
  // A new file starts without a headword: bare variants at its top belong to
  // no headword rather than to the last one of an earlier file.
  last_replaceA.clear();
  last_replaceW.clear();
  try {
    TReadFileTree::Clear();
  } catch (...) {
    // Interrupted (by the yield procedure): the entries left point at the
    // headwords about to go, so they go too, without yielding, before the
    // error passes on.
    const TYieldProcessProc host = AYieldProcessProc;
    AYieldProcessProc = {};
    try {
      TGeneral_Tree::Clear();
    } catch (...) {
    }
    AYieldProcessProc = host;
    throw;
  }
}

void TLemmaList::SetUsingUnicode(bool value) { TReadFileTree::SetUsingUnicode(value); }

void TLemmaList::Seed_Tree() {
  ForEachSeedText([this](const void* text) {
    auto entry = std::make_unique<TLemmaEntryRec>();
    entry->variantp = newfunct(text);
    entry->headwordp = nullptr;
    if (AddIndexed(entry.get()) != nullptr) {
      entry.release();
    } else {
      DeleteListText(entry->variantp);
    }
  });
  lemma_pair_entries = 0;
}

bool TLemmaList::FormatIsOKW(std::u16string_view s) {
  const std::u16string_view variant = SplitLemmaEntry(s, last_replaceW);
  const std::u16string_view headword = last_replaceW;
  if (variant.empty() || headword.empty() || variant == headword) return false;
  return AcceptPair(headword, NewText(variant));
}

bool TLemmaList::FormatIsOKA(std::string_view s) {
  // "->" and the trimmed blanks are single bytes in every code page of the
  // platform, so the 8-bit entry is split on its bytes and stays 8-bit.
  const std::string_view variant = SplitLemmaEntry(s, last_replaceA);
  const std::string_view headword = last_replaceA;
  if (variant.empty() || headword.empty() || variant == headword) return false;
  return AcceptPair(platform::Decoded(platform::CP_ACP, headword), NewText(variant));
}

bool TLemmaList::AcceptPair(std::u16string_view headword, const void* variantCopy) {
  This_list_has_data = true;
  auto entry = std::make_unique<TLemmaEntryRec>();
  entry->variantp = variantCopy;
  entry->headwordp = nullptr;
  try {
    THeadwordEntry& listed = fHeadwords.FindOrAdd(headword);
    entry->headwordp = listed.text.c_str();
    listed.holders.reserve(listed.holders.size() + 1);  // no failure after the insertion
    MyYieldProcess();
    if (AddIndexed(entry.get()) != nullptr) {
      listed.holders.emplace_back(entry.release());
      ++lemma_pair_entries;
    } else {
      // The variant is listed already (under this or another headword): the
      // first pair stands.
      anything unlisted{entry.release(), nullptr, nullptr};
      anything_ptr node = &unlisted;
      Do_Deleting(node);
    }
  } catch (...) {
    DeleteListText(entry ? entry->variantp : nullptr);
    throw;
  }
  return true;
}

void TLemmaList::Do_In_Order(anything_ptr& item) {
  if (!ShowProc.Assigned() || item == nullptr) return;
  const auto* entry = static_cast<const TLemmaEntryRec*>(item->this_);
  if (entry == nullptr || entry->variantp == nullptr || entry->headwordp == nullptr) return;
  if (IsASeed(const_cast<void*>(entry->variantp))) return;
  ShowProc(entry, using_unicode, ConsiderAffixes(entry->variantp), going, counter);
}

void TLemmaList::Do_Deleting(anything_ptr& item) {
  if (item == nullptr || item->this_ == nullptr) return;
  auto* entry = static_cast<TLemmaEntryRec*>(item->this_);
  item->this_ = nullptr;
  deletefunct(entry->variantp);
  delete entry;
}

TLemmaEntryRec TLemmaList::FoundVariant(const void* x) {
  TLemmaEntryRec probe{x, nullptr};
  if (x == nullptr) return probe;
  const void* item = FindItem(x);
  if (item == nullptr) return probe;
  return *static_cast<const TLemmaEntryRec*>(item);
}

const char16_t* TLemmaList::LemmaVariantsOf(std::u16string_view headword,
                                            std::u16string_view separated_with) {
  std::u16string joined;
  const THeadwordEntry* listed = fHeadwords.Find(headword);
  if (listed != nullptr) {
    const size_t limit = kResultBufferUnits - 1;
    for (size_t k = 0; k < listed->holders.size() && joined.size() < limit; ++k) {
      joined += ListTextAsUTF16(listed->holders[k].data->variantp, using_unicode);
      if (k + 1 < listed->holders.size()) joined += separated_with;
    }
  }
  return PutResultW(joined);
}

// ---- TMatchList, TStopList ----------------------------------------------------------------

TMatchList::TMatchList(bool aCase_sensitive) : TReadFileTree(aCase_sensitive) {
  SetHundredWideChar(name_of_process, LemmaMatchStopnames_of_processes[as_match]);
}

TMatchList::~TMatchList() {
  try {
    TGeneral_Tree::Clear();
  } catch (...) {
  }
}

void TMatchList::Seed_Tree() {
  ForEachSeedText([this](const void* text) { Accept(newfunct(text)); });
}

bool TMatchList::Accept(void* textCopy) {
  auto entry = std::make_unique<TMatchEntryRec>();
  entry->searchp = textCopy;
  bool added = false;
  try {
    added = AddIndexed(entry.get()) != nullptr;
  } catch (...) {
    DeleteListText(textCopy);
    throw;
  }
  if (added) {
    entry.release();
  } else {
    anything unlisted{entry.release(), nullptr, nullptr};
    anything_ptr node = &unlisted;
    Do_Deleting(node);
  }
  return added;
}

bool TMatchList::FormatIsOKA(std::string_view s) {
  if (s.empty()) return false;
  This_list_has_data = true;
  Accept(NewText(s));
  return true;
}

bool TMatchList::FormatIsOKW(std::u16string_view s) {
  if (s.empty()) return false;
  This_list_has_data = true;
  Accept(NewText(s));
  return true;
}

void TMatchList::Do_In_Order(anything_ptr& item) {
  if (!ShowProc.Assigned() || item == nullptr) return;
  const auto* entry = static_cast<const TMatchEntryRec*>(item->this_);
  if (entry == nullptr || entry->searchp == nullptr) return;
  if (IsASeed(const_cast<void*>(entry->searchp))) return;
  ShowProc(*entry, using_unicode, ConsiderAffixes(entry->searchp), going, counter);
}

void TMatchList::Do_Deleting(anything_ptr& item) {
  if (item == nullptr || item->this_ == nullptr) return;
  auto* entry = static_cast<TMatchEntryRec*>(item->this_);
  item->this_ = nullptr;
  deletefunct(entry->searchp);
  delete entry;
}

const void* TMatchList::Found(const void* x) {
  if (x == nullptr) return nullptr;
  const void* item = FindItem(x);
  return item != nullptr ? static_cast<const TMatchEntryRec*>(item)->searchp : nullptr;
}

TStopList::TStopList(bool aCase_sensitive) : TMatchList(aCase_sensitive) {
  SetHundredWideChar(name_of_process, LemmaMatchStopnames_of_processes[as_stop]);
}

}  // namespace qn
