// concord and collocates: the search request parsed into search words by the
// library's search items, each text searched by the search-and-do engine,
// the hits kept in text order, sorted through the three-level sortable list,
// stopped by the engine's own count or sampled reproducibly; collocates are
// the words around the hits, scored by the library's association measures.
#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <type_traits>
#include <memory>
#include <queue>
#include <string>
#include <unordered_map>

#include "cli/quillon/Commands.h"
#include "cli/quillon/Workers.h"
#include "platform/Bits.h"
#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/StringList.h"
#include "platform/TextDetection.h"
#include "runtime1/containers/SortableLists.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/search/Raw_text_prefilter.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/text/Bare_assemb3.h"
#include "runtime1/search/Search_items.h"
#include "runtime1/search/Text_unit_counter.h"
#include "runtime1/text/My_string_functions_sentences.h"
#include "runtime1/text/My_string_functions_wordlists.h"
#include "runtime2/statistics/maths_routines.h"

namespace quillon {

namespace {

constexpr uint16_t kWordClasses = qn::platform::C1_ALPHA | qn::platform::C1_DIGIT;

struct THit {
  int64_t text = 0;        // the text's position in the list of texts
  int64_t inText = 0;      // the hit's number inside its text, 0-based
  int64_t n = 0;           // number in the whole concordance, 1-based
  uint64_t random = 0;     // sampling key
  int32_t word = 0, sentence = 0, paragraph = 0;
  std::string left, hit, right;
  std::vector<std::string> keys;  // collation keys of the sort levels
};

// ---------------------------------------------------------------------------
// Serialisation for worker processes (length-checked on reading).

void PutInt(std::string& out, int64_t v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }
void PutStr(std::string& out, const std::string& s) {
  PutInt(out, static_cast<int64_t>(s.size()));
  out += s;
}
struct TReader {
  std::string_view rest;
  int64_t Int() {
    if (rest.size() < 8) throw TFatal{kExitCannot, "worker results cut short"};
    int64_t v;
    std::memcpy(&v, rest.data(), 8);
    rest.remove_prefix(8);
    return v;
  }
  std::string Str() {
    const int64_t n = Int();
    if (n < 0 || static_cast<uint64_t>(n) > rest.size()) throw TFatal{kExitCannot, "worker results cut short"};
    std::string s(rest.substr(0, static_cast<size_t>(n)));
    rest.remove_prefix(static_cast<size_t>(n));
    return s;
  }
};

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// ---------------------------------------------------------------------------
// Sort keys.

struct TSortKey {
  char side = 'h';  // 'L', 'R' or 'h' (the hit)
  int32_t distance = 0;
};

std::vector<TSortKey> ParseSortKeys(const std::string& text) {
  std::vector<TSortKey> keys;
  if (text.empty()) return keys;
  for (std::string part : SplitComma(text)) {
    for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    TSortKey k;
    if (part == "HIT") {
      k.side = 'h';
    } else if (part.size() == 2 && (part[0] == 'L' || part[0] == 'R') && part[1] >= '1' && part[1] <= '9') {
      k.side = part[0];
      k.distance = part[1] - '0';
    } else {
      throw TFatal{kExitUsage, "--sort " + text + ": keys are L1..L9, R1..R9 or hit, at most three"};
    }
    keys.push_back(k);
  }
  if (keys.size() > 3) throw TFatal{kExitUsage, "--sort " + text + ": at most three keys"};
  return keys;
}

// The hits as a three-level sortable list: each level compares one key.
class THitSortList : public qn::T3SortYieldingList {
 public:
  explicit THitSortList(size_t levels) : fLevels(levels) {}
  void SetBase(void* p, int32_t) override { fBase = static_cast<THit*>(p); }
  int32_t Compare(void* a) {
    const THit* h = static_cast<THit*>(a);
    const auto level = static_cast<size_t>(current_sort_rec.current_sort_var);
    const int c = h->keys[level].compare(fBase->keys[level]);
    if (c != 0) return c < 0 ? -1 : 1;
    // The last level keeps text order among equal keys.
    if (level + 1 == fLevels && h->n != fBase->n) return h->n < fBase->n ? -1 : 1;
    return 0;
  }
  qn::TCompareFunctOfObject CompareMethod() {
    return qn::TCompareFunctOfObject::Bind<&THitSortList::Compare>(this);
  }

 private:
  size_t fLevels;
  THit* fBase = nullptr;
};

// The hits in the order of the sort levels, text order among equal keys
// (the hits as they are without levels). Only pointers are put in order: a
// hit stays where it is.
std::vector<const THit*> SortedHits(std::deque<THit>& hits, size_t levels) {
  std::vector<const THit*> order;
  order.reserve(hits.size());
  if (levels == 0 || hits.size() < 2) {
    for (const THit& h : hits) order.push_back(&h);
    return order;
  }
  THitSortList list(levels);
  for (THit& h : hits) list.Add(&h);
  list.SetAscending(true, true, true);
  if (levels == 1) list.DoASingleSort(list.CompareMethod(), 0);
  else if (levels == 2) list.DoADoubleSort(list.CompareMethod(), 0, 1);
  else list.DoATrebleSort(list.CompareMethod(), 0, 1, 2);
  for (int32_t i = 0; i < list.Count(); ++i) order.push_back(static_cast<const THit*>(list.List()[i]));
  return order;
}

// ---------------------------------------------------------------------------
// One text searched.

// Words found through the engine's character classes.
struct TWordSpan {
  size_t start, end;
};

// "Lx,Ry": x words to the left, y to the right, each 0 to 25, not both 0.
void ParseLeftRight(const std::string& option, const std::string& text, int32_t& left, int32_t& right) {
  const std::vector<std::string> parts = SplitComma(text);
  bool ok = parts.size() == 2 && parts[0].size() >= 2 && parts[1].size() >= 2 &&
            (parts[0][0] == 'L' || parts[0][0] == 'l') && (parts[1][0] == 'R' || parts[1][0] == 'r') &&
            parts[0].size() <= 3 && parts[1].size() <= 3;
  for (size_t i = 0; ok && i < 2; ++i) {
    for (size_t k = 1; k < parts[i].size(); ++k) ok = ok && parts[i][k] >= '0' && parts[i][k] <= '9';
  }
  if (ok) {
    left = std::stoi(parts[0].substr(1));
    right = std::stoi(parts[1].substr(1));
  }
  if (!ok || left > 25 || right > 25 || left + right == 0) {
    throw TFatal{kExitUsage, option + " " + text + ": expected Lx,Ry with 0 to 25 words on each side"};
  }
}

// Where a search word was found in a text: [start, end) in code units.
struct TPlace {
  int32_t start, end;
  bool avoid;  // found by a word to avoid ("~word")
};

// The places of one list of words in a text, in text order, with the
// greatest end so far (to tell quickly whether any place overlaps a range).
struct TPlaces {
  std::vector<TPlace> places;
  std::vector<int32_t> maxEnd;

  void Sort() {
    std::sort(places.begin(), places.end(),
              [](const TPlace& a, const TPlace& b) { return a.start != b.start ? a.start < b.start : a.end < b.end; });
    maxEnd.resize(places.size());
    int32_t m = INT32_MIN;
    for (size_t i = 0; i < places.size(); ++i) maxEnd[i] = m = std::max(m, places[i].end);
  }
  // Whether a place overlaps [start, end).
  bool Overlaps(int32_t start, int32_t end) const {
    const auto before = std::lower_bound(places.begin(), places.end(), end,
                                         [](const TPlace& p, int32_t e) { return p.start < e; });
    const size_t n = static_cast<size_t>(before - places.begin());
    return n > 0 && maxEnd[n - 1] > start;
  }
};

// Whether a byte of 0x80 or above is among the bytes.
bool AnyBeyondAscii(std::span<const uint8_t> bytes) {
  uint8_t any = 0;
  for (const uint8_t b : bytes) any |= b;
  return (any & 0x80) != 0;
}

// The spacing of the copies of the counts kept as the units are counted
// ahead of the window: the bytes counted on this thread before a part are at
// most this many; 0: the units are counted on this thread, as the window
// passes. Counting ahead pays where the counter's block walk is AVX2 or
// narrower (100 MB, rare word: about 35.6 to 34.9 ms with the walk held to
// AVX2); with the AVX-512 walks the counting is a small part of this
// thread's work, and handing it over cost more than it saved (31.8 against
// 32.7 ms). QUILLON_COUNT_EVERY sets it, so that tests can put copy points
// among small chunks and compare the two ways.
size_t CountAheadEvery() {
  static const size_t every = [] {
    size_t n = qn::TTextUnitCounter::ProcessorLevel() >= 3 ? 0 : size_t{16} << 10;
    if (const char* value = std::getenv("QUILLON_COUNT_EVERY"); value != nullptr) {
      char* end = nullptr;
      const unsigned long long v = std::strtoull(value, &end, 10);
      if (end != value && *end == '\0' && v <= (size_t{64} << 20)) n = static_cast<size_t>(v);
    }
    return n;
  }();
  return every;
}

// A text's bytes as a window gives them, with the text's end (its first zero
// unit, or the end of its bytes) found as they come, and the line ends and
// starts that FindWindows looks for, found in them.
class TStreamedText {
 public:
  TStreamedText(TByteWindow& source, bool wide, size_t lfAt) : fSource(source), fWide(wide), fLfAt(lfAt) {}

  // Makes the bytes up to upTo available and looks at them for the text's
  // end; false on a read error.
  bool Reach(size_t upTo) {
    if (!fSource.Reach(upTo)) return false;
    if (fEnd != kUnknown) return true;
    const size_t available = fSource.Available();
    const size_t to = fWide ? fScanned + ((available - fScanned) & ~size_t{1}) : available;
    if (!fWide && fSource.ZeroKnown()) {
      // Looked for as the bytes were read.
      if (fSource.ZeroByte() < to) fEnd = fSource.ZeroByte();
      fScanned = to;
    } else if (to > fScanned) {
      const size_t zero = TextEnd(fSource.Span(fScanned, to), fWide);
      if (fScanned + zero < to) fEnd = fScanned + zero;
      fScanned = to;
    }
    if (fEnd == kUnknown && fSource.Complete()) fEnd = available;
    return true;
  }
  // Whether the text's end is known; until it is, every byte reached is text.
  bool EndKnown() const { return fEnd != kUnknown; }
  size_t End() const { return fEnd; }
  // min(at, the text's end), for an `at` reached.
  size_t Clamped(size_t at) const { return std::min(at, fEnd); }

  // FindWindows's LineEnd: the end of the line holding the byte before `at`
  // (just after its line feed, or the text's end). False on a read error.
  bool LineEnd(size_t at, size_t& out) {
    if (!Reach(at + 2)) return false;
    if (EndKnown() && at >= fEnd) {
      out = fEnd;
      return true;
    }
    if (!fWide) {
      if (at > 0 && fSource.Byte(at - 1) == '\n') {
        out = at;
        return true;
      }
      for (size_t from = at;;) {
        const size_t to = EndKnown() ? fEnd : fSource.Available();
        const std::span<const uint8_t> rest = fSource.Span(from, to);
        const void* lf = rest.empty() ? nullptr : std::memchr(rest.data(), '\n', rest.size());
        if (lf != nullptr) {
          out = from + static_cast<size_t>(static_cast<const uint8_t*>(lf) - rest.data()) + 1;
          return true;
        }
        if (EndKnown()) {
          out = fEnd;
          return true;
        }
        from = to;
        if (!Reach(to + TByteWindow::kReadBytes)) return false;
      }
    }
    at = (at + 1) & ~size_t{1};
    if (AfterLineFeed(at)) {
      out = at;
      return true;
    }
    // The next byte '\n' that is the low byte of a whole unit LF.
    for (size_t from = at + fLfAt;;) {
      const size_t to = EndKnown() ? fEnd : fSource.Available();
      if (from < to) {
        const std::span<const uint8_t> rest = fSource.Span(from, to);
        const void* lf = std::memchr(rest.data(), '\n', rest.size());
        if (lf != nullptr) {
          const size_t q = from + static_cast<size_t>(static_cast<const uint8_t*>(lf) - rest.data());
          // (The unit's other byte, and whether it is text, known.)
          if (!Reach(q + 3)) return false;
          const size_t other = q - fLfAt + 1 - fLfAt;
          if (q % 2 == fLfAt && (!EndKnown() || q - fLfAt + 1 < fEnd) && fSource.Byte(other) == 0) {
            out = q - fLfAt + 2;
            return true;
          }
          from = q + 1;
          continue;
        }
      }
      if (EndKnown()) {
        out = fEnd;
        return true;
      }
      from = std::max(from, to);
      if (!Reach(to + TByteWindow::kReadBytes)) return false;
    }
  }
  // FindWindows's LineStart: the start of the line holding byte `at` (0 or
  // just after a line feed), for an `at` reached; false when the line starts
  // before the bytes still held.
  bool LineStart(size_t at, size_t& out) const {
    if (fWide) at &= ~size_t{1};
    const size_t step = fWide ? 2 : 1;
    for (;;) {
      if (at == 0) break;
      if (at < fSource.Held() + step) return false;
      if (AfterLineFeed(at)) break;
      at -= step;
    }
    out = at;
    return true;
  }

 private:
  static constexpr size_t kUnknown = SIZE_MAX;

  // Whether a line feed ends just before byte `at` (a whole unit of one in
  // UTF-16); the bytes before it held.
  bool AfterLineFeed(size_t at) const {
    if (!fWide) return at > 0 && fSource.Byte(at - 1) == '\n';
    return at >= 2 && fSource.Byte(at - 2 + fLfAt) == '\n' && fSource.Byte(at - 1 - fLfAt) == 0;
  }

  TByteWindow& fSource;
  const bool fWide;
  const size_t fLfAt;
  size_t fScanned = 0;     // bytes looked at for the text's end
  size_t fEnd = kUnknown;  // the text's end, once known
};

class TTextSearch {
 public:
  // Words to avoid ("~word") among the items are not sought: a hit where one
  // of them is found is dropped. With context words, a hit counts only where
  // one of them is found within the horizon (when any is not to avoid) and
  // none of those to avoid.
  TTextSearch(const TConcordOptions& options, qn::TSearchWordItems& items, qn::TContextWordItems* context)
      : fOptions(options), fItems(items), fContext(context) {
    // QUILLON_PARTS_LOG: a file the parts of each text searched by parts are
    // written to (appended), to compare the two ways of finding them.
    if (const char* log = std::getenv("QUILLON_PARTS_LOG"); log != nullptr && *log != '\0') {
      fPartsLog = std::fopen(log, "a");
    }
    fSortKeys = ParseSortKeys(options.sort);
    fWantLeft = std::max<int32_t>(fOptions.context, MaxDistance('L'));
    fWantRight = std::max<int32_t>(fOptions.context, MaxDistance('R'));
    if (options.collocates) ParseLeftRight("--span", fOptions.span, spanLeft, spanRight);
    ParseLeftRight("--horizon", fOptions.horizon, fHorizonLeft, fHorizonRight);
    for (int32_t i = 0; i < fItems.Count(); ++i) {
      if (fItems.GetPtr(i)->flags.Contains(qn::mySW_To_Avoid)) fHasAvoid = true;
      else ++fSought;
    }
    if (fSought == 0) throw TFatal{kExitUsage, "SEARCH: \"" + options.search + "\" holds only words to avoid"};
    for (int32_t k = 0; fContext != nullptr && k < fContext->Count(); ++k) {
      if (!fContext->GetPtr(k)->flags.Contains(qn::mySW_To_Avoid)) fContextNeeded = true;
    }
  }

  ~TTextSearch() {
    if (fPartsLog != nullptr) std::fclose(fPartsLog);
  }
  TTextSearch(const TTextSearch&) = delete;
  TTextSearch& operator=(const TTextSearch&) = delete;

  int32_t spanLeft = 5, spanRight = 5;

  // The name the parts log gives the text searched next.
  void LogAs(std::string_view name) {
    if (fPartsLog != nullptr) fLogName.assign(name);
  }

  // What is called for every hit: a callable seen, not owned (it outlives the
  // search it is given to), called without an allocation or a copy.
  class TOnHit {
   public:
    TOnHit() = default;
    template <class F>
      requires(!std::is_same_v<std::remove_cvref_t<F>, TOnHit>)
    TOnHit(F&& f)  // implicit, as a std::function parameter would be
        : fCallable(const_cast<void*>(static_cast<const void*>(&f))),
          fCall([](void* c, int64_t inText, const qn::TSearchFound_Rec& rec) {
            (*static_cast<std::remove_reference_t<F>*>(c))(inText, rec);
          }) {}
    explicit operator bool() const { return fCall != nullptr; }
    void operator()(int64_t inText, const qn::TSearchFound_Rec& rec) const { fCall(fCallable, inText, rec); }

   private:
    void* fCallable = nullptr;
    void (*fCall)(void*, int64_t, const qn::TSearchFound_Rec&) = nullptr;
  };

  // Searches the text; calls onHit for every hit in text order, with the
  // engine's counts. Returns the number of hits; stops at `limit` (0: none).
  // One search word reports its hits straight from the engine, in text order;
  // the hits of several alternatives are gathered and put in order first.
  int64_t Search(const std::u16string& text, int64_t limit, const TOnHit& onHit) {
    fText = &text;
    fStretchStale = true;
    fFound.clear();
    fUnits = fUnitsAtStart;
    fOnHit = onHit;
    fDirect = fSought == 1;
    fHitsInText = 0;
    // One engine for every text: its detail array's storage is kept.
    if (!fEngine) fEngine = std::make_unique<qn::TSearchAndDoEngine>(true, true, qn::platform::UserDefaultLCID());
    qn::TSearchAndDoEngine& engine = *fEngine;
    engine.PrepareFirst(text.c_str(), static_cast<int32_t>(std::min<size_t>(text.size() * 2, INT32_MAX)), 0,
                        qn::TSearchFoundEvent::Bind<&TTextSearch::Found>(this), qn::TWordCountEvent());
    fDetails = engine.BufferDetails();
    // First where the words to avoid are.
    const auto collect = [&](qn::TSearch_word_format_rec* item, TPlaces& into) {
      fCollecting = &into;
      fCollectingAvoid = item->flags.Contains(qn::mySW_To_Avoid);
      item->n_to_find = 0;
      item->hits_found = 0;
      engine.ClearChunkTextStats();
      engine.SearchAndDo(item);
      fCollecting = nullptr;
    };
    fAvoid.places.clear();
    for (int32_t i = 0; fHasAvoid && i < fItems.Count(); ++i) {
      if (fItems.GetPtr(i)->flags.Contains(qn::mySW_To_Avoid)) collect(fItems.GetPtr(i), fAvoid);
    }
    fAvoid.Sort();
    // Then the context words.
    fContextPlaces.places.clear();
    for (int32_t k = 0; fContext != nullptr && k < fContext->Count(); ++k) collect(fContext->GetPtr(k), fContextPlaces);
    fContextPlaces.Sort();
    const bool anyContext = std::any_of(fContextPlaces.places.begin(), fContextPlaces.places.end(),
                                        [](const TPlace& p) { return !p.avoid; });
    for (int32_t i = 0; i < fItems.Count(); ++i) {
      qn::TSearch_word_format_rec* item = fItems.GetPtr(i);
      if (item->flags.Contains(qn::mySW_To_Avoid)) continue;
      if (fContextNeeded && !anyContext) break;  // no context word in this text: no hit
      item->n_to_find = limit > 0 ? static_cast<int32_t>(std::min<int64_t>(limit, INT32_MAX)) : 0;
      item->hits_found = 0;
      engine.ClearChunkTextStats();
      engine.SearchAndDo(item);
    }

    if (!fDirect) {
      // A place found by two alternatives counts once.
      std::sort(fFound.begin(), fFound.end(), [](const qn::TSearchFound_Rec& a, const qn::TSearchFound_Rec& b) {
        return a.hit_pos_in_characters < b.hit_pos_in_characters;
      });
      fFound.erase(std::unique(fFound.begin(), fFound.end(),
                               [](const qn::TSearchFound_Rec& a, const qn::TSearchFound_Rec& b) {
                                 return a.hit_pos_in_characters == b.hit_pos_in_characters;
                               }),
                   fFound.end());
      if (limit > 0 && fFound.size() > static_cast<size_t>(limit)) fFound.resize(static_cast<size_t>(limit));
      if (onHit) {
        for (size_t i = 0; i < fFound.size(); ++i) onHit(static_cast<int64_t>(i), fFound[i]);
      }
      fHitsInText = static_cast<int64_t>(fFound.size());
    }
    fDetails = nullptr;
    fOnHit = TOnHit();
    return fHitsInText;
  }

  // Searches a text from its bytes (in the encoding the readers decode them
  // in), decoding only the parts around the lines that may hold a hit: the
  // words, sentences and paragraphs before each part are counted from the
  // bytes by the library's counter. Gives the same hits, numbers and
  // contexts as Search over the whole decoded text; returns -1, having
  // called onHit for none, where a hit's context or sort words reach past
  // the part decoded, or most of the text would be decoded anyway: the
  // caller then searches the whole text. Only for search words that never
  // match across a line break, without context words or words to avoid.
  //
  // encoding is the one the text's head tells (TTextReader::WithBytes);
  // when the head cannot tell (decided false), the text is 8-bit of the
  // active code page or UTF-8 by the evidence of all its bytes, which is
  // weighed only when a byte beyond ASCII is met in the bytes counted or
  // decoded: ASCII bytes are the same text in both.
  int64_t SearchByWindows(std::span<const uint8_t> bytes, qn::platform::TTextEncoding encoding, bool decided,
                          const qn::TRawTextPrefilter& filter, int64_t limit, const TOnHit& onHit) {
    const std::span<const uint8_t> all = bytes;
    if (!decided && (!AsciiReadsAlike() || !qn::TTextUnitCounter::Handles(encoding))) {
      encoding = qn::TextFileBytesEncoding(all);
      decided = true;
    }
    if (!qn::TTextUnitCounter::Handles(encoding)) return -1;
    const bool wide = encoding == qn::platform::kEncodingUTF16LE || encoding == qn::platform::kEncodingUTF16BE;
    bytes = bytes.first(TextEnd(bytes, wide));
    // (Where the two readings of an undecided text differ, no byte is ASCII:
    // the text's end and the parts are found alike in both.)
    FindWindows(bytes, encoding, wide, filter);
    LogParts("whole", bytes.size());
    size_t decoded = 0;
    for (const auto& [from, to] : fWindows) decoded += to - from;
    if (decoded > bytes.size() / 2) return -1;

    struct TRestore {
      TTextSearch& s;
      ~TRestore() { s.SetPlace(0, qn::TSentenceParagraphCounter(), true, true); }
    } restore{*this};
    // First the units before each part are counted and every hit's words
    // are seen to lie in its part, without a line written; then the lines
    // are written, each part's counts kept from the first pass.
    bool enough = true;
    const auto checkEach = [&](int64_t, const qn::TSearchFound_Rec& rec) { enough = enough && Sufficient(rec); };
    const TOnHit check = checkEach;
    // The parts decoded are kept for the second pass.
    const auto decode = [&](size_t k, size_t from, size_t to) -> const std::u16string& {
      if (fParts.size() <= k) fParts.resize(k + 1);
      std::u16string& window = fParts[k];
      const std::span<const uint8_t> part = bytes.subspan(from, to - from);
      window = qn::platform::DecodeTextBytesAs(part, encoding);
      // The decoder takes the encoding's signature at the start of the
      // bytes for a mark and skips it; within the text it is a character.
      // (8-bit text has none: its bytes are all text.)
      if (from > 0 && encoding != qn::platform::kEncodingDefault && qn::platform::SignatureEncoding(part) == encoding)
        window.insert(window.begin(), u'\uFEFF');
      return window;
    };
    for (;;) {
      qn::TTextUnitCounter counter(encoding);
      size_t counted = 0;
      int64_t hits = 0;
      bool beyondAscii = false;
      fPlaces.clear();
      for (const auto& [from, to] : fWindows) {
        if (limit > 0 && hits >= limit) break;
        counter.Add(bytes.subspan(counted, from - counted));
        counted = from;
        const std::u16string& window = decode(fPlaces.size(), from, to);
        fPlaces.emplace_back(counter.WordStarts(), counter.Ends());
        if (!decided) beyondAscii = beyondAscii || AnyBeyondAscii(bytes.subspan(from, to - from));
        SetPlace(counter.WordStarts(), counter.Ends(), from == 0, to == bytes.size());
        hits += Search(window, limit > 0 ? limit - hits : 0, check);
        if (!enough) return -1;
      }
      if (decided || !(beyondAscii || counter.MetByteBeyondAscii())) break;
      // The bytes read differ between the two readings: the text's evidence
      // says which is right, and the parts are read again in it if it is not
      // the one they were read in.
      decided = true;
      const qn::platform::TTextEncoding weighed = qn::TextFileBytesEncoding(all);
      if (weighed == encoding) break;
      encoding = weighed;
      if (!qn::TTextUnitCounter::Handles(encoding)) return -1;
    }
    return SearchParts(bytes.size(), limit, onHit);
  }

  // SearchByWindows with the text's bytes taken a window at a time as they
  // are read: the parts are found, the units before each counted and each
  // part decoded and checked as the window passes over them, so that every
  // byte is looked at while it is still in the processor's cache and the
  // text is never held whole. Gives what SearchByWindows gives over all the
  // bytes; -1, having called onHit for none, where it gives -1, and also
  // where the window cannot tell: a line longer than the bytes it holds, a
  // text of undecided encoding with a byte beyond ASCII, a read error, or
  // parts that turn out to be most of the text (a frequent word; dense() is
  // then true). The caller then takes the text another way.
  int64_t SearchByStream(TByteWindow& source, qn::platform::TTextEncoding encoding, bool decided,
                         const qn::TRawTextPrefilter& filter, int64_t limit, const TOnHit& onHit) {
    fDense = false;
    if (!decided && !AsciiReadsAlike()) return -1;
    if (!qn::TTextUnitCounter::Handles(encoding)) return -1;
    const bool wide = encoding == qn::platform::kEncodingUTF16LE || encoding == qn::platform::kEncodingUTF16BE;
    const size_t lfAt = encoding == qn::platform::kEncodingUTF16BE ? 1 : 0;
    TStreamedText t(source, wide, lfAt);
    // As FindWindows cuts and widens them.
    constexpr size_t kPiece = 4096;
    const size_t margin = wide ? 8192 : 4096;
    // The units before the parts are counted this far ahead of the window
    // at a time, and the bytes before them let go.
    constexpr size_t kCountAhead = size_t{16} << 10;
    // Past this much of the text, parts that are more than half of it mark a
    // frequent word.
    constexpr size_t kDenseAfter = size_t{256} << 10;

    struct TRestore {
      TTextSearch& s;
      ~TRestore() { s.SetPlace(0, qn::TSentenceParagraphCounter(), true, true); }
    } restore{*this};
    fWindows.clear();
    fPlaces.clear();
    // The units are counted up to `counted` (the counts before a part start
    // there), `counter` holding the counts of the bytes before `at`. When the
    // reading ahead counts them as it reads (ahead, from `aheadFrom` on),
    // `counter` is moved on only for a part: from the copy of the counts kept
    // at or before the part's start, over the bytes from there; otherwise it
    // keeps up with `counted` itself.
    qn::TTextUnitCounter counter(encoding);
    size_t counted = 0, at = 0, aheadFrom = 0, decoded = 0;
    // (Not UTF-16: its twice as many bytes to read and count kept the
    // read-ahead thread behind, and this one waiting for it: 100 MB of text,
    // rare word, about 65 against 49 ms with the counter walk held to AVX2.)
    bool ahead = !wide && source.CountAhead(counter, CountAheadEvery(), aheadFrom);
    const auto countTo = [&](size_t to) -> bool {
      if (to < at) return false;  // (not met: parts come in text order)
      if (ahead && to >= aheadFrom) {
        const size_t point = source.CountPoint(to);
        if (point > at) {
          if (!source.CountedAt(point, counter)) return false;
          at = point;
        }
      }
      counter.Add(source.Span(at, to));
      at = to;
      return true;
    };
    int64_t hits = 0;
    bool enough = true, beyondAscii = false;
    const auto checkEach = [&](int64_t, const qn::TSearchFound_Rec& rec) { enough = enough && Sufficient(rec); };
    const TOnHit check = checkEach;
    // A part found whole: counted up to, decoded and searched for hits
    // whose lines it may not hold (up to the limit); false when one is met.
    const auto part = [&](size_t from, size_t to) -> bool {
      fWindows.emplace_back(from, to);
      if (limit > 0 && hits >= limit) return true;
      // (Whether the part ends the text: its end and the byte after known.)
      if (!t.Reach(to + 2)) return false;
      if (!countTo(from)) return false;
      counted = from;
      const std::span<const uint8_t> bytes = source.Span(from, to);
      if (fParts.size() <= fPlaces.size()) fParts.resize(fPlaces.size() + 1);
      std::u16string& window = fParts[fPlaces.size()];
      window = qn::platform::DecodeTextBytesAs(bytes, encoding);
      if (from > 0 && encoding != qn::platform::kEncodingDefault && qn::platform::SignatureEncoding(bytes) == encoding)
        window.insert(window.begin(), u'\uFEFF');
      fPlaces.emplace_back(counter.WordStarts(), counter.Ends());
      if (!decided) beyondAscii = beyondAscii || AnyBeyondAscii(bytes);
      SetPlace(counter.WordStarts(), counter.Ends(), from == 0, t.EndKnown() && to == t.End());
      hits += Search(window, limit > 0 ? limit - hits : 0, check);
      if (ahead && limit > 0 && hits >= limit) {
        // No counts are wanted past the limit.
        source.StopCounting();
        ahead = false;
      }
      return enough;
    };
    bool open = false;  // a part found whose end a later piece may move on
    size_t openFrom = 0, openTo = 0;
    size_t start = 0;
    for (;;) {
      if (!t.Reach(start + 2)) return -1;
      if (t.EndKnown() && start >= t.End()) break;
      size_t end = 0;
      if (!t.LineEnd(t.Clamped(start + kPiece), end)) return -1;
      if (filter.MayHoldAHit(source.Span(start, end), encoding)) {
        size_t from = 0, to = 0;
        if (!t.LineStart(start - std::min(start, margin), from)) return -1;
        if (!t.Reach(end + margin + 2) || !t.LineEnd(t.Clamped(end + margin), to)) return -1;
        if (open && from <= openTo) {
          decoded += to - openTo;
          openTo = to;
        } else {
          if (open && !part(openFrom, openTo)) return -1;
          open = true;
          openFrom = from;
          openTo = to;
          decoded += to - from;
        }
      }
      start = end;
      if (start >= kDenseAfter && decoded > start / 2) {
        fDense = true;
        return -1;
      }
      if (open && start > openTo + margin) {
        // No later piece joins the part once a line starts between its end
        // and where the next one's margin would reach back to.
        size_t from = 0;
        if (t.LineStart(start - margin, from) && from > openTo) {
          if (!part(openFrom, openTo)) return -1;
          open = false;
        }
      }
      if (!open && start > counted + margin + kCountAhead) {
        // No later part starts before the line that the margin of the next
        // piece reaches back into: the units before it are counted now, and
        // the bytes before them let go (but the line feed before it, which
        // the search for a line's start looks at).
        size_t from = 0;
        if (t.LineStart(start - margin, from) && from > counted) {
          if (!ahead && (limit <= 0 || hits < limit)) {
            counter.Add(source.Span(at, from));
            at = from;
          }
          counted = from;
          size_t keep = counted - std::min<size_t>(counted, 2);
          if (ahead) {
            // (The bytes from the copy point before it are wanted too.)
            const size_t point = std::max(at, counted >= aheadFrom ? source.CountPoint(counted) : 0);
            keep = std::min(keep, point);
            source.ForgetCounted(point);
          }
          source.Release(keep);
        }
      }
    }
    if (open && !part(openFrom, openTo)) return -1;
    const size_t textEnd = t.End();
    if (decoded > textEnd / 2) {
      fDense = textEnd >= kDenseAfter;  // (not a short text's few lines)
      return -1;
    }
    // (Every byte up to `counted` is looked at for one beyond ASCII, as the
    // bytes counted on this thread are.)
    if (!decided && ahead && !countTo(counted)) return -1;
    if (!decided && (beyondAscii || counter.MetByteBeyondAscii())) return -1;
    LogParts("stream", textEnd);
    return SearchParts(textEnd, limit, onHit);
  }
  // Whether the last SearchByStream gave up for parts that were most of the text.
  bool dense() const { return fDense; }

  // Writes the parts found (fWindows) to the parts log.
  void LogParts(const char* how, size_t textEnd) {
    if (fPartsLog == nullptr) return;
    std::fprintf(fPartsLog, "%s %s %zu", fLogName.c_str(), how, textEnd);
    for (const auto& [from, to] : fWindows) std::fprintf(fPartsLog, " %zu-%zu", from, to);
    std::fprintf(fPartsLog, "\n");
  }

  // The second pass of a search by parts: the lines of the hits of the parts
  // found, decoded and checked (fWindows, fParts, fPlaces), written in order.
  int64_t SearchParts(size_t textEnd, int64_t limit, const TOnHit& onHit) {
    int64_t hits = 0;
    const auto numberEach = [&](int64_t inText, const qn::TSearchFound_Rec& rec) { onHit(hits + inText, rec); };
    const TOnHit numbered = numberEach;
    for (size_t k = 0; k < fPlaces.size(); ++k) {
      const auto [from, to] = fWindows[k];
      SetPlace(fPlaces[k].first, fPlaces[k].second, from == 0, to == textEnd);
      hits += Search(fParts[k], limit > 0 ? limit - hits : 0, onHit ? numbered : onHit);
    }
    return hits;
  }

  // Where a hit's line lies in the text: the hit [start, end), its context
  // [leftFrom, start) and [end, rightTo), and its numbers. The words on each
  // side, as far as the context and the sort keys reach, are left in fLeft
  // and fRight.
  struct TLine {
    size_t start, end, leftFrom, rightTo;
    int32_t word, sentence, paragraph;
  };
  TLine Locate(const qn::TSearchFound_Rec& rec) {
    const std::u16string& text = *fText;
    TLine line{};
    line.start = static_cast<size_t>(std::max(rec.hit_pos_in_characters, 0));
    line.end = std::min(text.size(), line.start + static_cast<size_t>(std::max(rec.hit_characters, 0)));
    // The engine counts a word where white space gives way to something
    // else, so the first word of a text is counted only after white space.
    // A part of a text starts after a line break: its first word is counted
    // the same way, after the words before it.
    line.word = static_cast<int32_t>(fWordBase) + rec.count_stats.number[qn::word_stats] +
                ((text.empty() || (fDetails[0] & qn::kDetailWhiteSpace) != 0) ? 0 : 1);
    CountUnitsUpTo(line.start);
    const bool atEnd = line.start >= text.size();
    const char16_t next = atEnd ? u'\0' : text[line.start];
    int64_t sentences = 0, paragraphs = 0;
    fUnits.EndsBefore(next, atEnd, sentences, paragraphs);
    line.sentence = static_cast<int32_t>(sentences + 1);
    line.paragraph = static_cast<int32_t>(paragraphs + 1);
    // N words each side; fewer are there: the context runs to the text's edge.
    const auto context = static_cast<size_t>(fOptions.context);
    if (fSortKeys.empty()) {
      // Only the context's edges are wanted.
      if (context == 0) {
        line.leftFrom = line.start;
        line.rightTo = line.end;
      } else {
        line.leftFrom = NthWordStartLeft(line.start, context);
        line.rightTo = NthWordEndRight(line.end, context);
      }
      return line;
    }
    fLeft.clear();
    fRight.clear();
    WordsLeft(line.start, fWantLeft, fLeft);
    WordsRight(line.end, fWantRight, fRight);
    line.leftFrom = fLeft.size() >= context ? (context > 0 ? fLeft[context - 1].start : line.start) : 0;
    line.rightTo = fRight.size() >= context ? (context > 0 ? fRight[context - 1].end : line.end) : text.size();
    return line;
  }

  // Writes a hit's line, number n in the concordance, straight to out.
  void WriteLine(const qn::TSearchFound_Rec& rec, int64_t n, std::string_view file, TTableWriter& out) {
    const TLine line = Locate(rec);
    const std::u16string_view view(*fText);
    out.StrAgain(file);
    out.Int(n);
    out.Int(line.word);
    out.IntPair(line.sentence, line.paragraph);
    // Neighbouring hits' contexts overlap: the text is cleaned once, as the
    // lines move on through it.
    if (fStretchStale) {
      out.StartStretch(fStretch, view);
      fStretchStale = false;
    }
    fStretch.Keep(line.leftFrom);
    out.CleanField(fStretch, view, line.leftFrom, line.start);
    out.CleanField(fStretch, view, line.start, line.end);
    out.CleanField(fStretch, view, line.end, line.rightTo);
    out.EndRow();
  }

  // The KWIC fields of a hit (valid inside onHit).
  void Fill(const qn::TSearchFound_Rec& rec, THit& hit) {
    const std::u16string& text = *fText;
    const TLine line = Locate(rec);
    const size_t start = line.start, end = line.end;
    hit.word = line.word;
    hit.sentence = line.sentence;
    hit.paragraph = line.paragraph;
    const std::u16string_view view(text);
    Clean(view.substr(line.leftFrom, start - line.leftFrom), hit.left);
    Clean(view.substr(start, end - start), hit.hit);
    Clean(view.substr(end, line.rightTo - end), hit.right);
    const std::vector<TWordSpan>& left = fLeft;
    const std::vector<TWordSpan>& right = fRight;
    hit.keys.clear();
    std::string key;
    for (const TSortKey& k : fSortKeys) {
      std::u16string_view word;
      if (k.side == 'h') {
        word = std::u16string_view(text).substr(start, end - start);
      } else {
        const auto& words = k.side == 'L' ? left : right;
        if (static_cast<size_t>(k.distance) <= words.size()) {
          const TWordSpan& w = words[static_cast<size_t>(k.distance) - 1];
          word = std::u16string_view(text).substr(w.start, w.end - w.start);
        }
      }
      WordKey(word, key);
      hit.keys.push_back(key);
    }
  }

  // The words of the span around a hit (collocates).
  void SpanWords(const qn::TSearchFound_Rec& rec, std::vector<TWordSpan>& left, std::vector<TWordSpan>& right) {
    const size_t start = static_cast<size_t>(std::max(rec.hit_pos_in_characters, 0));
    const size_t end = std::min(fText->size(), start + static_cast<size_t>(std::max(rec.hit_characters, 0)));
    left.clear();
    right.clear();
    WordsLeft(start, spanLeft, left);
    WordsRight(end, spanRight, right);
  }
  std::u16string_view WordAt(const TWordSpan& w) const {
    return std::u16string_view(*fText).substr(w.start, w.end - w.start);
  }

 private:
  bool Found(qn::platform::TObject*, const qn::TSearchFound_Rec& rec) {
    const int32_t start = rec.hit_pos_in_characters;
    const int32_t end = start + std::max(rec.hit_characters, 1);
    if (fCollecting != nullptr) {
      fCollecting->places.push_back({start, end, fCollectingAvoid});
      return true;
    }
    // A hit where a word to avoid is found, or without its context: not
    // counted, so the engine's stop counts only the hits that are.
    if (!fAvoid.places.empty() && fAvoid.Overlaps(start, end)) return false;
    if (fContext != nullptr && !InContext(start, end)) return false;
    if (fDirect) {
      if (fOnHit) fOnHit(fHitsInText, rec);
      ++fHitsInText;
    } else {
      fFound.push_back(rec);
    }
    return true;
  }
  bool IsWord(size_t i) const { return (fDetails[i] & kWordClasses) != 0; }

  // Where the text searched lies in the whole text: the word starts before
  // it, the sentence and paragraph state there, and whether it starts or
  // ends where the whole text does.
  void SetPlace(int64_t wordBase, const qn::TSentenceParagraphCounter& units, bool atStart, bool atEnd) {
    fWordBase = wordBase;
    fUnitsAtStart = units;
    fAtTextStart = atStart;
    fAtTextEnd = atEnd;
  }

  // Whether the words a hit's line wants (its context, and the words of its
  // sort keys) all lie inside the text searched, when that is a part of the
  // whole: fewer words found, or a word at the part's very edge, may mean
  // the line needs text beyond it.
  bool Sufficient(const qn::TSearchFound_Rec& rec) {
    const size_t n = fText->size();
    const size_t start = std::min(n, static_cast<size_t>(std::max(rec.hit_pos_in_characters, 0)));
    const size_t end = std::min(n, start + static_cast<size_t>(std::max(rec.hit_characters, 0)));
    const auto context = static_cast<size_t>(fOptions.context);
    if (fSortKeys.empty()) {
      if (context == 0) return true;
      if (!fAtTextStart && NthWordStartLeft(start, context) == 0) return false;
      if (!fAtTextEnd && NthWordEndRight(end, context) == n) return false;
      return true;
    }
    fLeft.clear();
    fRight.clear();
    WordsLeft(start, fWantLeft, fLeft);
    WordsRight(end, fWantRight, fRight);
    if (!fAtTextStart && (fLeft.size() < static_cast<size_t>(fWantLeft) || (!fLeft.empty() && fLeft.back().start == 0)))
      return false;
    if (!fAtTextEnd && (fRight.size() < static_cast<size_t>(fWantRight) || (!fRight.empty() && fRight.back().end == n)))
      return false;
    return true;
  }

  // Whether a line feed ends just before byte `at` (a whole unit of one in UTF-16).
  static bool AfterLineFeed(std::span<const uint8_t> bytes, size_t at, bool wide, size_t lfAt) {
    if (!wide) return at > 0 && bytes[at - 1] == '\n';
    return at >= 2 && bytes[at - 2 + lfAt] == '\n' && bytes[at - 1 - lfAt] == 0;
  }
  // The start of the line holding byte `at` (0 or just after a line feed).
  static size_t LineStart(std::span<const uint8_t> bytes, size_t at, bool wide, size_t lfAt) {
    if (wide) at &= ~size_t{1};
    const size_t step = wide ? 2 : 1;
    while (at > 0 && !AfterLineFeed(bytes, at, wide, lfAt)) at -= step;
    return at;
  }
  // The end of the line holding the byte before `at`: just after its line
  // feed, or the text's end.
  static size_t LineEnd(std::span<const uint8_t> bytes, size_t at, bool wide, size_t lfAt) {
    if (at >= bytes.size()) return bytes.size();
    if (!wide) {
      if (at > 0 && bytes[at - 1] == '\n') return at;
      const void* lf = std::memchr(bytes.data() + at, '\n', bytes.size() - at);
      return lf == nullptr ? bytes.size() : static_cast<size_t>(static_cast<const uint8_t*>(lf) - bytes.data()) + 1;
    }
    at = (at + 1) & ~size_t{1};
    if (AfterLineFeed(bytes, at, wide, lfAt)) return at;
    // The next byte '\n' that is the low byte of a whole unit LF.
    for (size_t from = at + lfAt; from < bytes.size();) {
      const void* lf = std::memchr(bytes.data() + from, '\n', bytes.size() - from);
      if (lf == nullptr) break;
      const auto q = static_cast<size_t>(static_cast<const uint8_t*>(lf) - bytes.data());
      if (q % 2 == lfAt && q - lfAt + 1 < bytes.size() && bytes[q - lfAt + 1 - lfAt] == 0) return q - lfAt + 2;
      from = q + 1;
    }
    return bytes.size();
  }

  // The parts of the text to decode: each line piece whose bytes may hold a
  // hit, widened by a margin of whole lines for the hits' context on each
  // side; parts that meet are joined.
  void FindWindows(std::span<const uint8_t> bytes, qn::platform::TTextEncoding encoding, bool wide,
                   const qn::TRawTextPrefilter& filter) {
    // Small pieces, so that a rare word's lines are a small share of the text.
    constexpr size_t kPiece = 4096;
    // Enough for the widest context (100 words) in all but unusual texts;
    // a line whose words reach further is found, and the whole text read.
    const size_t margin = wide ? 8192 : 4096;
    const size_t lfAt = encoding == qn::platform::kEncodingUTF16BE ? 1 : 0;
    fWindows.clear();
    size_t start = 0;
    while (start < bytes.size()) {
      const size_t end = LineEnd(bytes, std::min(bytes.size(), start + kPiece), wide, lfAt);
      if (filter.MayHoldAHit(bytes.subspan(start, end - start), encoding)) {
        const size_t from = LineStart(bytes, start - std::min(start, margin), wide, lfAt);
        const size_t to = LineEnd(bytes, std::min(bytes.size(), end + margin), wide, lfAt);
        if (!fWindows.empty() && from <= fWindows.back().second) {
          fWindows.back().second = to;
        } else {
          fWindows.emplace_back(from, to);
        }
      }
      start = end;
    }
  }

  // Whether the hit [start, end) has one of its context words within the
  // horizon (when it wants any) and none of its context words to avoid. A
  // context word must lie wholly within the horizon and outside the hit.
  bool InContext(int32_t start, int32_t end) {
    fLeft.clear();
    fRight.clear();
    WordsLeft(static_cast<size_t>(start), fHorizonLeft, fLeft);
    WordsRight(static_cast<size_t>(end), fHorizonRight, fRight);
    const auto from = static_cast<int32_t>(
        fHorizonLeft == 0 ? static_cast<size_t>(start)
                          : (fLeft.size() == static_cast<size_t>(fHorizonLeft) ? fLeft.back().start : 0));
    const auto to = static_cast<int32_t>(
        fHorizonRight == 0 ? static_cast<size_t>(end)
                           : (fRight.size() == static_cast<size_t>(fHorizonRight) ? fRight.back().end : fText->size()));
    const auto& places = fContextPlaces.places;
    auto p = std::lower_bound(places.begin(), places.end(), from,
                              [](const TPlace& q, int32_t f) { return q.start < f; });
    bool wanted = false;
    for (; p != places.end() && p->start < to; ++p) {
      if (p->end > to || (p->start < end && p->end > start)) continue;
      if (p->avoid) return false;
      wanted = true;
    }
    return wanted || !fContextNeeded;
  }

  // The sentences and paragraphs that end before a place, counted from the
  // start of the text as far as the hits go (they come in text order), so a
  // text is gone through only up to its last hit, by the library's counter
  // (the one that counts the texts' bytes read without being searched).
  void CountUnitsUpTo(size_t to) {
    const std::u16string& t = *fText;
    to = std::min(to, t.size());
    if (to < UnitsTaken()) fUnits = fUnitsAtStart;  // not in text order after all: count again
    const size_t at = UnitsTaken();
    fUnits.Take(t.data() + at, fDetails + at, to - at);
  }
  // Units of the text searched taken by fUnits.
  size_t UnitsTaken() const { return static_cast<size_t>(fUnits.UnitsTaken() - fUnitsAtStart.UnitsTaken()); }
  // Bit k set when unit at + k is part of a word, for k < count (at most 64).
  [[gnu::always_inline]] uint64_t WordBits(size_t at, size_t count) const {
    const uint16_t* const d = fDetails + at;
    uint64_t bits = 0;
#if defined(__SSE2__)
    if (count == 64) {
      const __m128i classes = _mm_set1_epi16(static_cast<int16_t>(kWordClasses)), zero = _mm_setzero_si128();
      for (int k = 0; k < 4; ++k) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * k + 8));
        const __m128i none = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(a, classes), zero),
                                             _mm_cmpeq_epi16(_mm_and_si128(b, classes), zero));
        bits |= static_cast<uint64_t>(~static_cast<unsigned>(_mm_movemask_epi8(none)) & 0xFFFFu) << (16 * k);
      }
      return bits;
    }
#endif
    for (size_t k = 0; k < count; ++k) {
      if ((d[k] & kWordClasses) != 0) bits |= uint64_t{1} << k;
    }
    return bits;
  }
  // Where the count-th word before `from` starts (a word `from` cuts counts
  // as one); 0 when there are fewer. Word starts are counted 64 units at a
  // time.
  size_t NthWordStartLeft(size_t from, size_t count) const {
    size_t i = std::min(from, fText->size());
    while (i > 0) {
      const size_t len = std::min<size_t>(64, i);
      const size_t base = i - len;
      const uint64_t words = WordBits(base, len);
      uint64_t starts = words & ~(words << 1);
      if (base > 0 && IsWord(base - 1)) starts &= ~uint64_t{1};  // a word from before goes on
      const size_t found = qn::platform::BitsSet(starts);
      if (found >= count) {
        for (size_t k = 1; k < count; ++k) starts &= ~(uint64_t{1} << (63 - std::countl_zero(starts)));
        return base + static_cast<size_t>(63 - std::countl_zero(starts));
      }
      count -= found;
      i = base;
    }
    return 0;
  }
  // Where the count-th word after `from` ends (a word `from` cuts counts as
  // one); the text's end when there are fewer.
  size_t NthWordEndRight(size_t from, size_t count) const {
    const size_t n = fText->size();
    size_t i = from;
    while (i < n) {
      const size_t len = std::min<size_t>(64, n - i);
      const uint64_t words = WordBits(i, len);
      uint64_t ends = words & ~(words >> 1);
      if (len == 64 && i + 64 < n && IsWord(i + 64)) ends &= ~(uint64_t{1} << 63);  // the word goes on
      const size_t found = qn::platform::BitsSet(ends);
      if (found >= count) {
        for (size_t k = 1; k < count; ++k) ends &= ends - 1;
        return i + static_cast<size_t>(std::countr_zero(ends)) + 1;
      }
      count -= found;
      i += len;
    }
    return n;
  }
  // The first `count` words before `from`, nearest first; fewer at the
  // text's start. Scanned 64 units at a time, a word's edges read off the bits.
  void WordsLeft(size_t from, int32_t count, std::vector<TWordSpan>& out) const {
    const auto wanted = static_cast<size_t>(std::max(count, 0));
    size_t i = std::min(from, fText->size());
    size_t end = 0;
    bool inWord = false;
    while (out.size() < wanted && i > 0) {
      const size_t len = std::min<size_t>(64, i);
      const size_t base = i - len;
      const uint64_t words = WordBits(base, len);
      size_t k = len;  // units [base, base + k) are still to be looked at
      for (;;) {
        const uint64_t below = k == 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1;
        const uint64_t edge = (inWord ? ~words : words) & below;
        if (edge == 0) break;
        const auto top = static_cast<size_t>(63 - __builtin_clzll(edge));
        if (!inWord) {
          end = base + top + 1;
        } else {
          out.push_back({base + top + 1, end});
          if (out.size() == wanted) return;
        }
        inWord = !inWord;
        k = top + 1;
      }
      i = base;
    }
    if (inWord && out.size() < wanted) out.push_back({0, end});
  }
  // The first `count` words after `from`, nearest first; fewer at the text's end.
  void WordsRight(size_t from, int32_t count, std::vector<TWordSpan>& out) const {
    const auto wanted = static_cast<size_t>(std::max(count, 0));
    const size_t n = fText->size();
    size_t i = from;
    size_t start = 0;
    bool inWord = false;
    while (out.size() < wanted && i < n) {
      const size_t len = std::min<size_t>(64, n - i);
      const uint64_t valid = len == 64 ? ~uint64_t{0} : (uint64_t{1} << len) - 1;
      const uint64_t words = WordBits(i, len);
      size_t k = 0;  // units [i + k, i + len) are still to be looked at
      for (;;) {
        const uint64_t edge = (inWord ? ~words & valid : words) & (~uint64_t{0} << k);
        if (edge == 0) break;
        k = static_cast<size_t>(__builtin_ctzll(edge));
        if (!inWord) {
          start = i + k;
        } else {
          out.push_back({start, i + k});
          if (out.size() == wanted) return;
        }
        inWord = !inWord;
      }
      i += len;
    }
    if (inWord && out.size() < wanted) out.push_back({start, n});
  }
  int32_t MaxDistance(char side) const {
    int32_t d = 0;
    for (const TSortKey& k : fSortKeys) {
      if (k.side == side) d = std::max(d, k.distance);
    }
    return d;
  }
  // The text as UTF-8 in out, every run of white space made one space, trimmed.
  static void Clean(std::u16string_view s, std::string& out) {
    out.resize(s.size() * 3);
    out.resize(static_cast<size_t>(CleanedUtf8(s, out.data()) - out.data()));
  }

  const TConcordOptions& fOptions;
  qn::TSearchWordItems& fItems;
  std::vector<TSortKey> fSortKeys;
  int32_t fWantLeft = 0, fWantRight = 0;  // words looked for on each side of a hit
  const std::u16string* fText = nullptr;
  const uint16_t* fDetails = nullptr;
  std::vector<qn::TSearchFound_Rec> fFound;
  TOnHit fOnHit;
  std::vector<TWordSpan> fLeft, fRight;
  bool fDirect = true;
  int64_t fHitsInText = 0;
  int32_t fSought = 0;        // search words that are not words to avoid
  bool fHasAvoid = false;
  TPlaces fAvoid;             // where the words to avoid are, in the text searched
  qn::TContextWordItems* fContext;  // context words, or null
  bool fContextNeeded = false;       // some context word is not to avoid
  int32_t fHorizonLeft = 5, fHorizonRight = 5;
  TPlaces fContextPlaces;            // where the context words are
  TPlaces* fCollecting = nullptr;  // places being gathered, or null for hits
  bool fCollectingAvoid = false;
  qn::TSentenceParagraphCounter fUnits;         // sentence and paragraph ends so far
  qn::TSentenceParagraphCounter fUnitsAtStart;  // the same before the text searched
  TCleanedStretch fStretch;    // the text searched, cleaned for the lines written
  bool fStretchStale = true;   // fStretch not yet started on the text searched
  int64_t fWordBase = 0;                        // word starts before the text searched
  bool fAtTextStart = true, fAtTextEnd = true;  // the text searched starts, ends the whole text
  std::vector<std::u16string> fParts;           // the parts of a text decoded
  // The word starts and the sentence and paragraph state before each part.
  std::vector<std::pair<int64_t, qn::TSentenceParagraphCounter>> fPlaces;
  std::vector<std::pair<size_t, size_t>> fWindows;  // the parts' bytes [from, to)
  std::unique_ptr<qn::TSearchAndDoEngine> fEngine;
  bool fDense = false;  // the last SearchByStream met a frequent word
  FILE* fPartsLog = nullptr;
  std::string fLogName;
};

// The search words of SEARCH in items; the context words after its first
// " context:=" in context (null when there are none). The context words are
// a request of their own, so that they apply to every alternative and may
// have alternatives too ("bank/shore context:=river/~money").
void PrepareItems(const TConcordOptions& options, qn::TSearchWordItems& items,
                  std::unique_ptr<qn::TContextWordItems>& context) {
  std::string search = options.search;
  // The parser wants single spaces.
  std::string collapsed;
  for (char c : search) {
    if (c == ' ' && !collapsed.empty() && collapsed.back() == ' ') continue;
    collapsed.push_back(c);
  }
  while (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
  while (!collapsed.empty() && collapsed.front() == ' ') collapsed.erase(0, 1);
  if (collapsed.empty()) throw TFatal{kExitUsage, "SEARCH: empty search word"};
  constexpr std::string_view kContext = " context:=";
  if (collapsed.rfind(kContext.substr(1), 0) == 0) throw TFatal{kExitUsage, "SEARCH: empty search word"};
  const size_t at = collapsed.find(kContext);
  if (at != std::string::npos) {
    std::string words = collapsed.substr(at + kContext.size());
    while (!words.empty() && words.front() == ' ') words.erase(0, 1);
    collapsed.resize(at);
    context = std::make_unique<qn::TContextWordItems>(items.ignore_tags, items.TheLCID(), true);
    if (!words.empty()) context->AddedSearchWords(Utf16(words));
    if (context->Count() == 0) throw TFatal{kExitUsage, "SEARCH: \"" + search + "\" gives no context word"};
    for (int32_t i = 0; i < context->Count(); ++i) {
      if (context->GetPtr(i)->search_text.empty()) {
        throw TFatal{kExitUsage, "SEARCH: \"" + search + "\" holds an empty context word"};
      }
    }
    if (collapsed.empty()) throw TFatal{kExitUsage, "SEARCH: empty search word"};
  }
  items.AddedSearchWords(Utf16(collapsed));
  if (items.Count() == 0) throw TFatal{kExitUsage, "SEARCH: \"" + search + "\" gives no search word"};
  for (int32_t i = 0; i < items.Count(); ++i) {
    if (items.GetPtr(i)->search_text.empty()) throw TFatal{kExitUsage, "SEARCH: \"" + search + "\" holds an empty alternative"};
  }
}

// ---------------------------------------------------------------------------
// concord

// Small enough that a rare word's pieces are few of the text's, and that a
// piece stays in the processor's cache while it is tested, decoded and searched.
constexpr size_t kCountPieceBytes = size_t{1} << 16;

struct TConcordResult {
  std::vector<int64_t> perText;  // hits per text (index = position in the texts list)
  std::vector<uint8_t> read;     // 1 for a text that was read
  std::deque<THit> hits;         // kept hits (all, the first max, or the sample)
};

void PutHit(std::string& out, const THit& h) {
  PutInt(out, h.text);
  PutInt(out, h.inText);
  PutInt(out, h.n);
  PutInt(out, static_cast<int64_t>(h.random));
  PutInt(out, h.word);
  PutInt(out, h.sentence);
  PutInt(out, h.paragraph);
  PutStr(out, h.left);
  PutStr(out, h.hit);
  PutStr(out, h.right);
  PutInt(out, static_cast<int64_t>(h.keys.size()));
  for (const std::string& k : h.keys) PutStr(out, k);
}

// Keeps the `size` hits with the smallest random keys.
struct TSampler {
  size_t size;
  std::vector<THit> heap;
  static bool Less(const THit& a, const THit& b) { return a.random < b.random; }
  bool Wants(uint64_t random) const { return heap.size() < size || random < heap.front().random; }
  void Add(THit&& h) {
    if (heap.size() < size) {
      heap.push_back(std::move(h));
      std::push_heap(heap.begin(), heap.end(), Less);
    } else {
      std::pop_heap(heap.begin(), heap.end(), Less);
      heap.back() = std::move(h);
      std::push_heap(heap.begin(), heap.end(), Less);
    }
  }
};

// Bytes [offset, offset + size) of a worker's file, read in order a block at
// a time.
class TWorkerBytes {
 public:
  TWorkerBytes(TStreamedWorkers& workers, int w, uint64_t offset, uint64_t size)
      : fWorkers(&workers), fWorker(w), fNext(offset), fEnd(offset + size) {}
  bool AtEnd() const { return fUsed == fHave && fNext == fEnd; }
  // The next `size` bytes (valid until the next call).
  const char* Take(size_t size) {
    if (fHave - fUsed < size) Fill(size);
    const char* const at = fBlock.data() + fUsed;
    fUsed += size;
    return at;
  }
  int64_t Int() {
    int64_t v;
    std::memcpy(&v, Take(8), 8);
    return v;
  }
  void Str(std::string& s) {
    const int64_t size = Int();
    if (size < 0 || static_cast<uint64_t>(size) > fEnd - fNext + (fHave - fUsed)) {
      throw TFatal{kExitCannot, "worker results cut short"};
    }
    s.assign(Take(static_cast<size_t>(size)), static_cast<size_t>(size));
  }
  void Hit(THit& h) {
    h.text = Int();
    h.inText = Int();
    h.n = Int();
    h.random = static_cast<uint64_t>(Int());
    h.word = static_cast<int32_t>(Int());
    h.sentence = static_cast<int32_t>(Int());
    h.paragraph = static_cast<int32_t>(Int());
    Str(h.left);
    Str(h.hit);
    Str(h.right);
    const int64_t keys = Int();
    if (keys < 0 || keys > 3) throw TFatal{kExitCannot, "worker results differ"};
    h.keys.resize(static_cast<size_t>(keys));
    for (std::string& k : h.keys) Str(k);
  }

 private:
  void Fill(size_t size) {
    constexpr size_t kBlock = size_t{1} << 20;
    if (size > fEnd - fNext + (fHave - fUsed)) throw TFatal{kExitCannot, "worker results cut short"};
    std::memmove(fBlock.data(), fBlock.data() + fUsed, fHave - fUsed);
    fHave -= fUsed;
    fUsed = 0;
    if (fBlock.size() < std::max(size, kBlock)) fBlock.resize(std::max(size, kBlock));
    const size_t more = static_cast<size_t>(std::min<uint64_t>(fBlock.size() - fHave, fEnd - fNext));
    fWorkers->Read(fWorker, fNext, more, fBlock.data() + fHave);
    fNext += more;
    fHave += more;
  }

  TStreamedWorkers* fWorkers;
  int fWorker;
  uint64_t fNext, fEnd;
  std::string fBlock;
  size_t fHave = 0, fUsed = 0;  // fBlock[fUsed, fHave) is read and not yet taken
};

// A concordance made by worker processes. After each text a worker sends a
// record: the text, whether it was read, its hits, where its lines lie in its
// file, and the problems met reading it. Lines in text order are kept in the
// file as they are found, each as [4-byte size][its fields after the file and
// the number]: the parent writes them text by text with their numbers in the
// whole concordance, which only then are known. Sorted or sampled hits are
// kept by the worker (sorted there) and put in its file at the end, with a
// last record (text -1) saying where; the parent then merges them.
class TConcordWorker {
 public:
  // Without rows: not a worker.
  TConcordWorker(const TOutputOptions& output, const std::vector<std::string>& columns, TWorkerOutput* rows)
      : fRows(rows) {
    if (rows == nullptr) return;
    // A table of the same format and columns, held in memory only: a line is
    // written into it and taken out at once.
    TOutputOptions held = output;
    held.output.clear();
    fTable = std::make_unique<TTableWriter>(held, columns);
    fStart = fTable->Held();
    fTextStart = rows->Offset();
    KeepProblems(&fProblems);
  }
  ~TConcordWorker() {
    if (fRows != nullptr) KeepProblems(nullptr);
  }
  TConcordWorker(const TConcordWorker&) = delete;
  TConcordWorker& operator=(const TConcordWorker&) = delete;

  void AddLine(TTextSearch& search, const qn::TSearchFound_Rec& rec) {
    search.WriteLine(rec, 0, std::string_view("", 0), *fTable);
    const std::string_view tail = fTable->TailOfRow(fStart);
    if (tail.size() > UINT32_MAX) throw TFatal{kExitCannot, "a concordance line too long"};
    const auto size = static_cast<uint32_t>(tail.size());
    char* const at = fRows->Room(4 + tail.size());
    std::memcpy(at, &size, 4);
    std::memcpy(at + 4, tail.data(), tail.size());
    fRows->Wrote(4 + tail.size());
    fTable->Drop(fStart);
  }

  void EndText(int64_t index, bool read, int64_t hits) {
    std::string record;
    PutInt(record, index);
    PutInt(record, read ? 1 : 0);
    PutInt(record, hits);
    PutInt(record, static_cast<int64_t>(fTextStart));
    PutInt(record, static_cast<int64_t>(fRows->Offset() - fTextStart));
    std::string problems;
    for (const TKeptProblem& kept : fProblems) problems += kept.line;
    PutStr(record, problems);
    fProblems.clear();
    fRows->Send(record);
    fTextStart = fRows->Offset();
  }

  // The hits kept, in the order the parent wants them, and the last record.
  void EndHits(const std::vector<const THit*>& hits) {
    std::string one;
    for (const THit* h : hits) {
      one.clear();
      PutHit(one, *h);
      std::memcpy(fRows->Room(one.size()), one.data(), one.size());
      fRows->Wrote(one.size());
    }
    EndText(-1, false, static_cast<int64_t>(hits.size()));
  }

  struct TRecord {
    int64_t index = 0, read = 0, hits = 0, offset = 0, bytes = 0;
    std::string problems;
  };
  static bool Next(TStreamedWorkers& workers, int w, std::string& bytes, TRecord& record) {
    if (!workers.Next(w, bytes)) return false;
    TReader r{bytes};
    record.index = r.Int();
    record.read = r.Int();
    record.hits = r.Int();
    record.offset = r.Int();
    record.bytes = r.Int();
    record.problems = r.Str();
    if (record.index < -1 || record.hits < 0 || record.offset < 0 || record.bytes < 0 || !r.rest.empty()) {
      throw TFatal{kExitCannot, "worker results differ"};
    }
    return true;
  }

  // The parent's side: the texts' records in text order, up to `max` hits
  // (0: all), the problems printed as they come, the hits per text and the
  // texts read put in `all`; with `lines`, the texts' lines written there.
  // True when the run stopped at `max`.
  static bool TakeTexts(TStreamedWorkers& workers, int jobs, const std::vector<TTextRef>& texts, int64_t max,
                        TTableWriter* lines, TConcordResult& all) {
    std::string bytes;
    TRecord record;
    int64_t found = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
      if (max > 0 && found >= max) return true;
      const int w = static_cast<int>(i % static_cast<size_t>(jobs));
      if (!Next(workers, w, bytes, record)) {
        workers.Finish();  // raises TFatal when the worker failed
        throw TFatal{kExitCannot, "worker results cut short"};
      }
      if (record.index != static_cast<int64_t>(i)) throw TFatal{kExitCannot, "worker results differ"};
      if (!record.problems.empty()) {
        std::fputs(record.problems.c_str(), stderr);
        SetInputFailed();
      }
      // A worker stops at `max` hits of its own texts, which may be more than
      // are still wanted here.
      const int64_t take = max > 0 ? std::min(record.hits, max - found) : record.hits;
      all.perText[i] = take;
      all.read[i] = record.read != 0 ? 1 : 0;
      if (lines != nullptr) {
        TWorkerBytes rows(workers, w, static_cast<uint64_t>(record.offset), static_cast<uint64_t>(record.bytes));
        for (int64_t k = 0; k < take; ++k) {
          uint32_t size = 0;
          std::memcpy(&size, rows.Take(4), 4);
          const char* const fields = rows.Take(size);
          lines->StrAgain(texts[i].display);
          lines->Int(found + k + 1);
          lines->PassFields(std::string_view(fields, size), kLineFieldsAfterNumber);
          lines->EndRow();
        }
        workers.Release(w, static_cast<uint64_t>(record.offset), static_cast<uint64_t>(record.bytes));
      }
      found += take;
    }
    return max > 0 && found >= max;
  }

  // Where worker w's kept hits lie (its last record; the records of texts
  // past the stop before it are passed over).
  static TWorkerBytes KeptHits(TStreamedWorkers& workers, int w, int64_t& count) {
    std::string bytes;
    TRecord record;
    do {
      if (!Next(workers, w, bytes, record)) {
        workers.Finish();
        throw TFatal{kExitCannot, "worker results cut short"};
      }
    } while (record.index != -1);
    count = record.hits;
    return TWorkerBytes(workers, w, static_cast<uint64_t>(record.offset), static_cast<uint64_t>(record.bytes));
  }

 private:
  // word, sentence, paragraph, left, hit, right
  static constexpr size_t kLineFieldsAfterNumber = 6;

  TWorkerOutput* fRows;
  std::unique_ptr<TTableWriter> fTable;
  size_t fStart = 0;
  uint64_t fTextStart = 0;
  std::vector<TKeptProblem> fProblems;
};

// Whether hit a comes before hit b in the sorted concordance: by the sort
// levels' keys, then in text order (as THitSortList orders them).
bool SortedBefore(const THit& a, const THit& b) {
  for (size_t level = 0; level < a.keys.size() && level < b.keys.size(); ++level) {
    const int c = a.keys[level].compare(b.keys[level]);
    if (c != 0) return c < 0;
  }
  return a.n < b.n;
}

int RunConcordance(TConcordOptions& options, TInputOptions& input, const TOutputOptions& output,
                   std::vector<TTextRef>& texts, qn::TSearchWordItems& items, qn::TContextWordItems* context) {
  if (options.max < 0 || options.sample < 0 || options.context < 0 || options.context > 100) {
    throw TFatal{kExitUsage, "--max, --sample: expected a positive number; --context: 0 to 100"};
  }
  const std::vector<TSortKey> sortKeys = ParseSortKeys(options.sort);
  static const std::vector<std::string> kColumns{"file", "n", "word", "sentence", "paragraph", "left", "hit", "right"};
  const auto writeHit = [](TTableWriter& out, const THit& h, const std::string& file) {
    out.Str(file);
    out.Int(h.n);
    out.Int(h.word);
    out.Int(h.sentence);
    out.Int(h.paragraph);
    out.Str(h.left);
    out.Str(h.hit);
    out.Str(h.right);
    out.EndRow();
  };
  // Lines in text order from one process are written as they are found,
  // without being kept.
  std::unique_ptr<TTableWriter> stream;
  const bool inTextOrder = sortKeys.empty() && options.sample == 0 && !options.count;
  if (input.jobs <= 1 && inTextOrder) {
    stream = std::make_unique<TTableWriter>(output, kColumns);
  }
  // A search word without spaces, any-word stars or line-break symbols never
  // matches across a line break, so its hits can be counted in pieces of the
  // text cut after line breaks: the memory of a piece serves the whole text.
  bool countInPieces = options.count && context == nullptr;
  for (int32_t i = 0; i < items.Count(); ++i) {
    const std::u16string& work = items.GetPtr(i)->search_text;
    if (work.find_first_of(u" \u0010\u0013\u001A") != std::u16string::npos) countInPieces = false;
  }
  // Texts, and pieces of texts counted, whose bytes cannot hold a hit of any
  // word sought are not decoded (words to avoid and context words only ever
  // take hits away).
  qn::TRawTextPrefilter filter;
  for (int32_t i = 0; i < items.Count(); ++i) {
    if (!items.GetPtr(i)->flags.Contains(qn::mySW_To_Avoid)) filter.Add(*items.GetPtr(i));
  }
  const qn::TRawTextPrefilter* const prefilter = filter.AlwaysMayHold() ? nullptr : &filter;
  // Lines of a text are searched in parts, decoded around the lines whose
  // bytes may hold a hit, where no hit can cross a line break (as for
  // counting in pieces), and no context word or word to avoid asks about
  // text further away.
  bool byParts = !options.count && context == nullptr && prefilter != nullptr;
  for (int32_t i = 0; i < items.Count(); ++i) {
    const qn::TSearch_word_format_rec& item = *items.GetPtr(i);
    if (item.flags.Contains(qn::mySW_To_Avoid) ||
        item.search_text.find_first_of(u" \u0010\u0013\u001A") != std::u16string::npos)
      byParts = false;
  }
  // A worker (rows not null) sends a record per text, and keeps its lines in
  // text order in `rows`, or its sorted or sampled hits until the end
  // (TConcordWorker).
  const auto work = [&](int w, int n, TWorkerOutput* rows) {
    TConcordWorker worker(output, kColumns, rows);
    TConcordResult result;
    result.perText.assign(texts.size(), 0);
    result.read.assign(texts.size(), 0);
    TTextSearch search(options, items, context);
    TTextReader reader;
    TProgress progress(output.quiet || w > 0, texts);
    TSampler sampler{static_cast<size_t>(options.sample), {}};
    std::u16string text;
    int64_t found = 0;
    // Texts still to be searched with their bytes held whole after a frequent
    // word was met in a text searched a window at a time.
    // (QUILLON_STREAM=0: never, so that the two ways can be compared.)
    constexpr int kDenseRest = 15;
    const char* const streamed = std::getenv("QUILLON_STREAM");
    const bool neverStream = streamed != nullptr && std::strcmp(streamed, "0") == 0;
    int streamRest = 0;
    THit h;  // filled for every hit, its strings' room kept from hit to hit
    for (size_t i = static_cast<size_t>(w); i < texts.size(); i += static_cast<size_t>(n)) {
      const TTextRef& ref = texts[i];
      if (options.max > 0 && found >= options.max) break;
      if (countInPieces) {
        // Only the number of hits: the text is searched piece by piece.
        int64_t count = 0;
        const bool read = reader.ReadPieces(ref, PieceBytes(kCountPieceBytes), [&](const std::u16string& piece) {
          if (options.max > 0 && found + count >= options.max) return;
          count += search.Search(piece, options.max > 0 ? options.max - found - count : 0, TTextSearch::TOnHit());
        }, prefilter);
        if (read) {
          result.perText[i] = count;
          result.read[i] = 1;
          found += count;
        }
      } else {
        const int64_t limit = options.max > 0 ? options.max - found : 0;
        const auto keep = [&](int64_t inText, const qn::TSearchFound_Rec& rec) {
          if (rows != nullptr && inTextOrder) {
            worker.AddLine(search, rec);
            return;
          }
          if (stream) {
            search.WriteLine(rec, found + inText + 1, ref.display, *stream);
            return;
          }
          h.text = static_cast<int64_t>(i);
          h.inText = inText;
          h.random = Mix(options.seed ^ Mix(static_cast<uint64_t>(ref.number) * 0x100000001B3ull + static_cast<uint64_t>(inText)));
          if (options.sample > 0 && !sampler.Wants(h.random)) return;
          search.Fill(rec, h);
          // (In text order among this process's hits; numbered in the whole
          // concordance once every text's hits are known.)
          h.n = static_cast<int64_t>(result.hits.size());
          if (options.sample > 0) sampler.Add(THit(h));
          else result.hits.push_back(h);
        };
        const TTextSearch::TOnHit onHit = options.count ? TTextSearch::TOnHit() : TTextSearch::TOnHit(keep);
        // Parts of the text around the lines that may hold a hit, when they
        // are enough; else the whole text.
        int64_t count = -1;
        bool read = true, wholeFromHeld = false, decoded = true;
        // First with the text's bytes taken a window at a time as they are
        // read, unless the word was frequent in a text just before (its
        // parts most of the text): then with the text's bytes held whole.
        search.LogAs(ref.display);
        if (byParts && streamRest == 0 && !neverStream) {
          reader.Stream(ref, [&](TByteWindow& bytes, qn::platform::TTextEncoding encoding, bool decided) {
            count = search.SearchByStream(bytes, encoding, decided, *prefilter, limit, onHit);
            if (search.dense()) streamRest = kDenseRest;
          });
        } else if (streamRest > 0) {
          --streamRest;
        }
        if (byParts && count < 0) {
          read = reader.WithBytes(ref, [&](std::span<const uint8_t> bytes, qn::platform::TTextEncoding encoding,
                                           bool decided) {
            count = search.SearchByWindows(bytes, encoding, decided, *prefilter, limit, onHit);
            if (count >= 0) return;
            // The parts are not enough (a frequent word): the whole text,
            // decoded from the bytes held instead of read again.
            wholeFromHeld = true;
            decoded = reader.Decode(ref, bytes, text, prefilter);
            if (decoded) count = search.Search(text, limit, onHit);
          });
          read = read && decoded;
        }
        if (read && count < 0 && !wholeFromHeld) {
          read = reader.Read(ref, text, prefilter);
          if (read) count = search.Search(text, limit, onHit);
        }
        if (read) {
          result.perText[i] = count;
          result.read[i] = 1;
          found += count;
        }
      }
      if (rows != nullptr) worker.EndText(static_cast<int64_t>(i), result.read[i] != 0, result.perText[i]);
      for (int k = 0; k < n; ++k) progress.Done(ref);
    }
    if (options.sample > 0) {
      result.hits.assign(std::make_move_iterator(sampler.heap.begin()), std::make_move_iterator(sampler.heap.end()));
    }
    if (rows != nullptr) worker.EndHits(SortedHits(result.hits, options.sample > 0 ? 0 : sortKeys.size()));
    return result;
  };

  TConcordResult all;
  all.perText.assign(texts.size(), 0);
  all.read.assign(texts.size(), 0);
  // A sample with --max is taken from the hits before the stop, which a
  // worker cannot tell: one process takes it.
  const size_t wanted = options.sample > 0 && options.max > 0 ? 1 : static_cast<size_t>(std::max(input.jobs, 1));
  const int jobs = static_cast<int>(std::min(wanted, std::max<size_t>(texts.size(), 1)));
  // Sorted hits from workers, each worker's already sorted: merged as they
  // are written.
  std::unique_ptr<TStreamedWorkers> workers;
  std::vector<TWorkerBytes> sortedHits;
  if (jobs <= 1) {
    all = work(0, 1, nullptr);
  } else {
    if (inTextOrder) stream = std::make_unique<TTableWriter>(output, kColumns);
    workers = std::make_unique<TStreamedWorkers>(jobs, [&](int w, int n, TWorkerOutput& rows) { work(w, n, &rows); });
    const bool stoppedEarly = TConcordWorker::TakeTexts(*workers, jobs, texts, options.max, stream.get(), all);
    if (inTextOrder || options.count) {
      // (The workers, which may have read on past the stop, are not waited for.)
      if (stoppedEarly) workers->Stop();
      else workers->Finish();
      workers.reset();
    } else {
      for (int w = 0; w < jobs; ++w) {
        int64_t count = 0;
        TWorkerBytes hits = TConcordWorker::KeptHits(*workers, w, count);
        if (options.sample > 0) {
          // At most the sample's size from each worker.
          for (int64_t k = 0; k < count; ++k) {
            THit h;
            hits.Hit(h);
            all.hits.push_back(std::move(h));
          }
        } else {
          sortedHits.push_back(std::move(hits));
        }
      }
    }
  }
  // Numbers in the whole concordance: hits of the texts before, plus the place.
  std::vector<int64_t> before(texts.size() + 1, 0);
  int64_t textsWithHits = 0, textsRead = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    before[i + 1] = before[i] + all.perText[i];
    if (all.perText[i] > 0) ++textsWithHits;
    textsRead += all.read[i];
  }
  int64_t total = before[texts.size()];
  bool stopped = false;
  if (options.max > 0 && total >= options.max) {
    stopped = true;
    total = options.max;
  }
  const auto number = [&](THit& h) {
    if (h.text < 0 || static_cast<size_t>(h.text) >= texts.size()) throw TFatal{kExitCannot, "worker results differ"};
    h.n = before[static_cast<size_t>(h.text)] + h.inText + 1;
  };
  for (THit& h : all.hits) number(h);
  // Each worker kept its own sample: keep the smallest keys of them all.
  if (options.sample > 0 && all.hits.size() > static_cast<size_t>(options.sample)) {
    std::nth_element(all.hits.begin(), all.hits.begin() + options.sample, all.hits.end(), TSampler::Less);
    all.hits.resize(static_cast<size_t>(options.sample));
  }
  // (One process's hits are in text order already.)
  const auto byNumber = [](const THit& a, const THit& b) { return a.n < b.n; };
  if (!std::is_sorted(all.hits.begin(), all.hits.end(), byNumber)) std::sort(all.hits.begin(), all.hits.end(), byNumber);
  if (options.max > 0 && all.hits.size() > static_cast<size_t>(options.max)) all.hits.resize(static_cast<size_t>(options.max));
  if (stopped) {
    // Texts past the stop do not count (workers may have read further than
    // one process would have).
    textsWithHits = textsRead = 0;
    int64_t seen = 0;
    for (size_t i = 0; i < texts.size() && seen < total; ++i) {
      if (all.perText[i] > 0) ++textsWithHits;
      textsRead += all.read[i];
      seen += all.perText[i];
    }
  }

  if (options.count) {
    TTableWriter out(output, {"search", "hits", "texts"});
    out.Str(options.search);
    out.Int(total);
    out.Int(textsWithHits);
    out.EndRow();
    out.Finish();
  } else if (!sortedHits.empty()) {
    // The workers' sorted hits merged: the first of each worker's in a heap.
    TTableWriter out(output, kColumns);
    std::vector<THit> first(sortedHits.size());
    std::vector<size_t> heap;
    const auto later = [&](size_t a, size_t b) { return SortedBefore(first[b], first[a]); };
    const auto next = [&](size_t w) {
      if (sortedHits[w].AtEnd()) return false;
      sortedHits[w].Hit(first[w]);
      number(first[w]);
      return true;
    };
    for (size_t w = 0; w < sortedHits.size(); ++w) {
      if (next(w)) heap.push_back(w);
    }
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
      std::pop_heap(heap.begin(), heap.end(), later);
      const size_t w = heap.back();
      // Hits past the stop were kept by workers that read on.
      if (first[w].n <= total) writeHit(out, first[w], texts[static_cast<size_t>(first[w].text)].display);
      if (next(w)) std::push_heap(heap.begin(), heap.end(), later);
      else heap.pop_back();
    }
    out.Finish();
  } else {
    if (!stream) stream = std::make_unique<TTableWriter>(output, kColumns);
    for (const THit* h : SortedHits(all.hits, sortKeys.size())) {
      writeHit(*stream, *h, texts[static_cast<size_t>(h->text)].display);
    }
    stream->Finish();
  }
  if (workers) workers->Finish();
  std::string summary = "quillon: concord: " + Counted(total, "hit") + " in " + Counted(textsWithHits, "text") + "; " +
                        Counted(textsRead, "text") + " read";
  if (stopped) summary += "; stopped at " + std::to_string(options.max);
  if (options.sample > 0 && !options.count) {
    summary += "; showing " + std::to_string(all.hits.size()) + " (sample, seed " + std::to_string(options.seed) + ")";
  }
  std::fprintf(stderr, "%s\n", summary.c_str());
  return AnyInputFailed() ? kExitSomeInputsFailed : kExitOk;
}

// ---------------------------------------------------------------------------
// collocates

struct TCollocate {
  std::string spelling;  // UTF-8, as first met
  int64_t firstText = INT64_MAX;
  int64_t left = 0, right = 0, corpus = 0;
};

// Hashes a spelling held or only viewed alike, so that a view finds it.
struct TSpellingHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view s) const noexcept { return std::hash<std::u16string_view>{}(s); }
};

struct TCollocateResult {
  int64_t hits = 0, tokens = 0, texts = 0, textsWithHits = 0;
  std::unordered_map<std::string, TCollocate> words;  // by collation key
};

void AddCollocate(TCollocateResult& r, const std::string& key, const std::string& spelling, int64_t text,
                  int64_t left, int64_t right, int64_t corpus) {
  TCollocate& c = r.words[key];
  if (text < c.firstText) {
    c.firstText = text;
    c.spelling = spelling;
  }
  c.left += left;
  c.right += right;
  c.corpus += corpus;
}

std::string SerialisedCollocates(const TCollocateResult& r) {
  std::string out;
  PutInt(out, r.hits);
  PutInt(out, r.tokens);
  PutInt(out, r.texts);
  PutInt(out, r.textsWithHits);
  PutInt(out, static_cast<int64_t>(r.words.size()));
  for (const auto& [key, c] : r.words) {
    PutStr(out, key);
    PutStr(out, c.spelling);
    PutInt(out, c.firstText);
    PutInt(out, c.left);
    PutInt(out, c.right);
    PutInt(out, c.corpus);
  }
  return out;
}

void MergeCollocates(std::string_view bytes, TCollocateResult& into) {
  TReader r{bytes};
  into.hits += r.Int();
  into.tokens += r.Int();
  into.texts += r.Int();
  into.textsWithHits += r.Int();
  const int64_t n = r.Int();
  if (n < 0 || static_cast<uint64_t>(n) > bytes.size()) throw TFatal{kExitCannot, "worker results cut short"};
  for (int64_t i = 0; i < n; ++i) {
    const std::string key = r.Str();
    const std::string spelling = r.Str();
    const int64_t first = r.Int(), left = r.Int(), right = r.Int(), corpus = r.Int();
    AddCollocate(into, key, spelling, first, left, right, corpus);
  }
}

int RunCollocates(TConcordOptions& options, TInputOptions& input, const TOutputOptions& output,
                  std::vector<TTextRef>& texts, qn::TSearchWordItems& items, qn::TContextWordItems* context) {
  static const std::vector<std::string> kSorts{"mi", "mi3", "t", "z", "dice", "ll"};
  const auto sortIt = std::find(kSorts.begin(), kSorts.end(), options.statSort);
  if (sortIt == kSorts.end()) throw TFatal{kExitUsage, "--sort " + options.statSort + ": expected mi, mi3, t, z, dice or ll"};
  if (options.minFreq < 1) throw TFatal{kExitUsage, "--min-freq: expected at least 1"};
  TTextSearch probe(options, items, context);  // checks --span
  const int32_t spanLeft = probe.spanLeft, spanRight = probe.spanRight;

  const auto work = [&](int w, int n) {
    TCollocateResult result;
    TTextSearch search(options, items, context);
    TTextReader reader;
    TProgress progress(output.quiet || w > 0, texts);
    std::u16string text;
    std::string key;
    std::vector<TWordSpan> left, right;
    std::unordered_map<std::u16string, TCollocate*, TSpellingHash, std::equal_to<>> bySpelling;
    for (size_t i = static_cast<size_t>(w); i < texts.size(); i += static_cast<size_t>(n)) {
      const TTextRef& ref = texts[i];
      if (reader.Read(ref, text)) {
        ++result.texts;
        // The corpus frequencies, by the library's word list.
        std::unique_ptr<qn::TStringListWithFreqPointers> list(qn::SimpleTallierOfTxt(text, 1, false));
        // Each spelling (in the text's word list or a span) gets its
        // collation key once; its entry is then found by the spelling itself.
        const auto entryOf = [&](std::u16string_view word) -> TCollocate& {
          auto at = bySpelling.find(word);
          if (at == bySpelling.end()) {
            WordKey(word, key);
            at = bySpelling.emplace(std::u16string(word), &result.words[key]).first;
          }
          TCollocate& c = *at->second;
          if (ref.number < c.firstText) {
            c.firstText = ref.number;
            c.spelling = Utf8(word);
          }
          return c;
        };
        for (int32_t k = 0; k < list->Count(); ++k) {
          const int32_t f = list->GetOne(k);
          result.tokens += f;
          entryOf(list->Get(k)).corpus += f;
        }
        const auto addSpanWord = [&](std::u16string_view word, int64_t left, int64_t right) {
          TCollocate& c = entryOf(word);
          c.left += left;
          c.right += right;
        };
        const int64_t hits = search.Search(text, 0, [&](int64_t, const qn::TSearchFound_Rec& rec) {
          search.SpanWords(rec, left, right);
          for (const TWordSpan& s : left) addSpanWord(search.WordAt(s), 1, 0);
          for (const TWordSpan& s : right) addSpanWord(search.WordAt(s), 0, 1);
        });
        result.hits += hits;
        if (hits > 0) ++result.textsWithHits;
      }
      for (int k = 0; k < n; ++k) progress.Done(ref);
    }
    return result;
  };
  TCollocateResult all;
  if (input.jobs <= 1) {
    all = work(0, 1);
  } else {
    const std::vector<std::string> parts = RunInWorkers(input.jobs, texts, [&](int w, int n) {
      return SerialisedCollocates(work(w, n));
    });
    for (const std::string& p : parts) MergeCollocates(p, all);
  }

  struct TRow {
    const TCollocate* c;
    std::string shown;
    int64_t together;
    double mi, mi3, t, z, dice, ll;
  };
  const auto clamp = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); };
  const int32_t N = clamp(all.tokens), fx = clamp(all.hits), S = spanLeft + spanRight;
  const auto measure = [](auto f) {
    try {
      return static_cast<double>(f());
    } catch (const qn::Exception&) {
      return std::nan("");
    }
  };
  std::vector<TRow> rows;
  for (const auto& [key, c] : all.words) {
    const int64_t together = c.left + c.right;
    if (together < options.minFreq) continue;
    const int32_t fxy = clamp(together), fy = clamp(std::max(c.corpus, together));
    TRow row{&c, Utf8(Lowered(Utf16(c.spelling))), together, 0, 0, 0, 0, 0, 0};
    row.mi = measure([&] { return qn::SpecificMutualInformation(fx, fy, fxy, N); });
    row.mi3 = measure([&] { return qn::MI3(fx, fy, fxy, N); });
    row.t = measure([&] { return qn::T_Score(fx, fy, fxy, N); });
    row.z = measure([&] { return qn::Z_Score(fx, fy, fxy, N, S); });
    row.dice = measure([&] { return qn::Dice_Coefficient(fxy, fx, fy); });
    row.ll = measure([&] { return qn::Log_Likelihood_SameCorpus_Everts(fx, fy, fxy, N, S); });
    rows.push_back(std::move(row));
  }
  const auto score = [&](const TRow& r) {
    const double v[] = {r.mi, r.mi3, r.t, r.z, r.dice, r.ll};
    const double s = v[sortIt - kSorts.begin()];
    return std::isnan(s) ? -HUGE_VAL : s;
  };
  std::sort(rows.begin(), rows.end(), [&](const TRow& a, const TRow& b) {
    const double sa = score(a), sb = score(b);
    return sa != sb ? sa > sb : a.shown < b.shown;
  });
  if (options.top > 0 && rows.size() > static_cast<size_t>(options.top)) rows.resize(static_cast<size_t>(options.top));
  TTableWriter out(output, {"collocate", "together", "left", "right", "frequency", "node_freq", "mi", "mi3", "t",
                            "z", "dice", "log_likelihood"});
  for (const TRow& r : rows) {
    out.Str(r.shown);
    out.Int(r.together);
    out.Int(r.c->left);
    out.Int(r.c->right);
    out.Int(r.c->corpus);
    out.Int(all.hits);
    out.Num(r.mi, 3);
    out.Num(r.mi3, 3);
    out.Num(r.t, 3);
    out.Num(r.z, 3);
    out.Num(r.dice, 3);
    out.Num(r.ll, 3);
    out.EndRow();
  }
  out.Finish();
  std::fprintf(stderr, "quillon: collocates: %s in %s; %s read, %s, %s\n", Counted(all.hits, "hit").c_str(),
               Counted(all.textsWithHits, "text").c_str(), Counted(all.texts, "text").c_str(),
               Counted(all.tokens, "token").c_str(), Counted(static_cast<int64_t>(rows.size()), "collocate").c_str());
  return AnyInputFailed() ? kExitSomeInputsFailed : kExitOk;
}

}  // namespace

int RunConcord(TConcordOptions& options, TInputOptions& input, const TOutputOptions& output) {
  ApplyInputOptions(input);
  ParseSortKeys(options.collocates ? std::string() : options.sort);
  qn::TIgnore_tag_type noTags{};
  qn::TSearchWordItems items(noTags, qn::platform::UserDefaultLCID(), true);
  std::unique_ptr<qn::TContextWordItems> context;
  PrepareItems(options, items, context);
  if (options.collocates) {
    const std::string sort = options.sort;
    options.sort.clear();
    options.statSort = sort.empty() ? "ll" : sort;
  }
  TTextSearch probe(options, items, context.get());  // checks the options it takes
  std::vector<TTextRef> texts;
  ListTexts(options.paths, input, 0, texts);
  NumberAndShard(texts, input);
  if (options.collocates) return RunCollocates(options, input, output, texts, items, context.get());
  return RunConcordance(options, input, output, texts, items, context.get());
}

}  // namespace quillon
