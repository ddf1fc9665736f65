#include "runtime1/text/My_string_functions_wordlists.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <numeric>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/StringList.h"
#include "platform/YieldHook.h"
#include "runtime1/containers/Useful_Classes.h"
#include "runtime1/text/My_string_functions_sentences.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

namespace {

using View = std::u16string_view;

constexpr size_t kYieldEvery = 4096;

// ---------------------------------------------------------------------------
// Classes of code units for the walks, one byte per unit, built once.

enum : uint8_t {
  kWordUnit = 0x01,   // a letter or digit of a word list (Lu, Ll, Lt, Lm, Lo, Nd)
  kGramUnit = 0x02,   // a letter or number of an n-gram (L*, Nd, Nl, No)
  kGramShift = 0x04,  // Pc, Pd and the comma: an n-gram window shifts and goes on
  kGramBreak = 0x08,  // other punctuation and marks: an n-gram window ends
};

const std::array<uint8_t, 0x10000>& UnitClasses() {
  static const std::unique_ptr<std::array<uint8_t, 0x10000>> table = [] {
    auto t = std::make_unique<std::array<uint8_t, 0x10000>>();
    for (UChar32 c = 0; c < 0x10000; ++c) {
      uint8_t bits = 0;
      switch (u_charType(c)) {
        case U_UPPERCASE_LETTER:
        case U_LOWERCASE_LETTER:
        case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER:
        case U_OTHER_LETTER:
        case U_DECIMAL_DIGIT_NUMBER: bits = kWordUnit | kGramUnit; break;
        case U_LETTER_NUMBER:
        case U_OTHER_NUMBER: bits = kGramUnit; break;
        case U_CONNECTOR_PUNCTUATION:
        case U_DASH_PUNCTUATION: bits = kGramShift; break;
        case U_NON_SPACING_MARK:
        case U_ENCLOSING_MARK:
        case U_COMBINING_SPACING_MARK:
        case U_START_PUNCTUATION:
        case U_END_PUNCTUATION:
        case U_INITIAL_PUNCTUATION:
        case U_FINAL_PUNCTUATION:
        case U_OTHER_PUNCTUATION: bits = kGramBreak; break;
        default: break;
      }
      if (c == u',') bits = kGramShift;
      (*t)[static_cast<size_t>(c)] = bits;
    }
    return t;
  }();
  return *table;
}

// ---------------------------------------------------------------------------
// Hashing.

inline uint64_t Mix(uint64_t h) noexcept {
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ULL;
  h ^= h >> 32;
  return h;
}

// Equal spellings, four units at a time: words are short, and a call to
// memcmp (or the unit-by-unit traits compare) costs more than the words.
inline bool SameUnits(View a, View b) noexcept {
  const size_t n = a.size();
  if (n != b.size()) return false;
  const char16_t* p = a.data();
  const char16_t* q = b.data();
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t x, y;
    std::memcpy(&x, p + i, 8);
    std::memcpy(&y, q + i, 8);
    if (x != y) return false;
  }
  for (; i < n; ++i) {
    if (p[i] != q[i]) return false;
  }
  return true;
}

inline uint64_t HashUnits(const char16_t* p, size_t n) noexcept {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ (n * 0xFF51AFD7ED558CCDULL);
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t v;
    std::memcpy(&v, p + i, 8);
    h = (h ^ v) * 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 29;
  }
  if (i < n) {
    // The last one to three units, as a little-endian copy would load them
    // (a copy of a variable length is a library call).
    uint64_t v = 0;
    for (size_t k = 0; i + k < n; ++k) v |= uint64_t{p[i + k]} << (16 * k);
    h = (h ^ v) * 0xC4CEB9FE1A85EC53ULL;
  }
  return Mix(h);
}

inline uint64_t HashIds(const uint32_t* ids, size_t n) noexcept {
  uint64_t h = 0x2545F4914F6CDD1DULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ ids[i]) * 0x9E3779B97F4A7C15ULL;
  return Mix(h);
}

// ---------------------------------------------------------------------------
// The tally of words: exact spellings -> word types (the list's identity).

constexpr uint32_t kCompareFlags = platform::NORM_IGNORECASE;
constexpr uint32_t kListLocale = 0;  // a word list compares in the user's default locale

class TWordTally {
 public:
  TWordTally() { fSlots.assign(1024, 0); }

  // The type of the spelling w, added (with its type) when new. A new
  // spelling is copied into the tally's own blocks, side by side with the
  // others, so that looking words up compares against a few hot blocks
  // instead of places scattered over the text.
  uint32_t TypeOf(View w) {
    const uint64_t h = HashUnits(w.data(), w.size());
    size_t i = h & (fSlots.size() - 1);
    const auto h32 = static_cast<uint32_t>(h >> 32);
    while (const uint64_t s = fSlots[i]) {
      const uint32_t id = static_cast<uint32_t>(s) - 1;
      if (static_cast<uint32_t>(s >> 32) == h32 && SameUnits(fSpellings[id], w)) return fSpellingType[id];
      i = (i + 1) & (fSlots.size() - 1);
    }
    const auto id = static_cast<uint32_t>(fSpellings.size());
    const uint32_t type = TypeOfNewSpelling(w, id);
    fSpellings.push_back(Keep(w));
    fSpellingType.push_back(type);
    fSlots[i] = Slot(h32, id);
    if (fSpellings.size() * 2 > fSlots.size()) Grow();
    return type;
  }

  // The type of w, or -1 when neither w nor any spelling equal to it under the
  // list's comparison was counted. Adds nothing.
  int64_t Find(View w) const {
    const uint64_t h = HashUnits(w.data(), w.size());
    size_t i = h & (fSlots.size() - 1);
    const auto h32 = static_cast<uint32_t>(h >> 32);
    while (const uint64_t s = fSlots[i]) {
      const uint32_t id = static_cast<uint32_t>(s) - 1;
      if (static_cast<uint32_t>(s >> 32) == h32 && SameUnits(fSpellings[id], w)) return fSpellingType[id];
      i = (i + 1) & (fSlots.size() - 1);
    }
    std::string key;
    platform::CollationKey(kListLocale, kCompareFlags, w, key);
    const auto it = fTypeOfKey.find(key);
    return it == fTypeOfKey.end() ? -1 : static_cast<int64_t>(it->second);
  }

  // A copy of w that lives as long as the tally.
  View Own(View w) {
    fOwned.emplace_back(w);
    return fOwned.back();
  }

  size_t TypeCount() const noexcept { return fTypeFirst.size(); }
  View Spelling(uint32_t type) const noexcept { return fSpellings[fTypeFirst[type]]; }
  const std::string& Key(uint32_t type) const noexcept { return *fTypeKey[type]; }

  std::vector<int32_t> freq;  // per type

 private:
  uint32_t TypeOfNewSpelling(View w, uint32_t spellingId) {
    platform::CollationKey(kListLocale, kCompareFlags, w, fKey);
    auto [it, added] = fTypeOfKey.try_emplace(fKey, static_cast<uint32_t>(fTypeFirst.size()));
    if (added) {
      fTypeFirst.push_back(spellingId);
      fTypeKey.push_back(&it->first);
      freq.push_back(0);
    }
    return it->second;
  }

  // A slot holds the upper half of the spelling's hash beside its id + 1, so
  // that most mismatches are told apart without a second load; 0 is empty.
  static uint64_t Slot(uint32_t h32, uint32_t id) noexcept { return (uint64_t{h32} << 32) | (id + 1); }

  void Grow() {
    std::vector<uint64_t> slots(fSlots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (uint32_t id = 0; id < fSpellings.size(); ++id) {
      const uint64_t h = HashUnits(fSpellings[id].data(), fSpellings[id].size());
      size_t i = h & mask;
      while (slots[i]) i = (i + 1) & mask;
      slots[i] = Slot(static_cast<uint32_t>(h >> 32), id);
    }
    fSlots.swap(slots);
  }

  std::vector<uint64_t> fSlots;  // Slot(hash, id), 0 = empty
  std::vector<View> fSpellings;
  std::vector<uint32_t> fSpellingType;
  std::unordered_map<std::string, uint32_t> fTypeOfKey;
  std::vector<uint32_t> fTypeFirst;            // per type: its first spelling
  std::vector<const std::string*> fTypeKey;    // per type: its collation key (owned by the map)
  std::deque<std::u16string> fOwned;
  std::string fKey;
  // Blocks holding the spellings.
  std::vector<std::unique_ptr<char16_t[]>> fBlocks;
  char16_t* fBlockNext = nullptr;
  size_t fBlockLeft = 0;

  View Keep(View w) {
    if (fBlockLeft < w.size()) {
      const size_t capacity = std::max<size_t>(w.size(), 1 << 15);
      fBlocks.emplace_back(new char16_t[capacity]);
      fBlockNext = fBlocks.back().get();
      fBlockLeft = capacity;
    }
    std::copy(w.begin(), w.end(), fBlockNext);
    const View kept(fBlockNext, w.size());
    fBlockNext += w.size();
    fBlockLeft -= w.size();
    return kept;
  }
};

// Calls visit(word) for every maximal run of word units, yielding as it goes.
template <typename Visit>
void WalkWords(View text, Visit&& visit) {
  const auto& classes = UnitClasses();
  const size_t n = text.size();
  size_t nextYield = kYieldEvery;
  size_t i = 0;
  while (i < n) {
    while (i < n && !(classes[text[i]] & kWordUnit)) ++i;
    const size_t start = i;
    while (i < n && (classes[text[i]] & kWordUnit)) ++i;
    if (i > start) visit(text.substr(start, i - start));
    if (i >= nextYield) {
      MyYieldProcess();
      nextYield = i + kYieldEvery;
    }
  }
}

void TallyWords(View text, int32_t minLength, TWordTally& tally) {
  const size_t least = static_cast<size_t>(std::max(minLength, 0));
  WalkWords(text, [&](View w) {
    if (w.size() >= least) ++tally.freq[tally.TypeOf(w)];
  });
}

// The types in the order of a word list: alphabetical (by collation key) or by
// descending frequency, ties in code-unit order of the spellings.
std::vector<uint32_t> TypesInListOrder(const TWordTally& tally, bool sortByFrequency) {
  std::vector<uint32_t> order(tally.TypeCount());
  std::iota(order.begin(), order.end(), 0u);
  if (sortByFrequency) {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      if (tally.freq[a] != tally.freq[b]) return tally.freq[a] > tally.freq[b];
      return tally.Spelling(a) < tally.Spelling(b);
    });
  } else {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return tally.Key(a) < tally.Key(b); });
  }
  return order;
}

// A new word list holding the strings with their frequencies in the given
// order: marked sorted when the order is the list's own.
TStringListWithFreqPointers* NewWordList(bool alphabetical) {
  auto* list = new TStringListWithFreqPointers();
  list->SetSorted(alphabetical);
  return list;
}

TStringListWithFreqPointers* ListOfTally(const TWordTally& tally, bool sortByFrequency) {
  std::unique_ptr<TStringListWithFreqPointers> list(NewWordList(!sortByFrequency));
  std::vector<uint32_t> order = TypesInListOrder(tally, sortByFrequency);
  list->SetCapacity(static_cast<int32_t>(order.size()));
  for (uint32_t t : order) {
    if (tally.freq[t] <= 0) continue;
    list->AppendInOrder(std::u16string(tally.Spelling(t)), platform::ObjectFromInt(tally.freq[t]));
  }
  return list.release();
}

}  // namespace

// ---------------------------------------------------------------------------
// Word lists.

TStringListWithFreqPointers* SimpleTallierOfTxt(View text, int32_t minLength, bool sortByFrequency) {
  TWordTally tally;
  TallyWords(text, minLength, tally);
  return ListOfTally(tally, sortByFrequency);
}

TStringListWithFreqPointers* SimpleTallierOfTxt(View text, TAcceptWordFunct accept, bool sortByFrequency) {
  TWordTally tally;
  std::u16string word;
  WalkWords(text, [&](View w) {
    if (accept.Assigned()) {
      word.assign(w);
      if (!accept(word)) return;
    }
    ++tally.freq[tally.TypeOf(w)];
  });
  return ListOfTally(tally, sortByFrequency);
}

// ---------------------------------------------------------------------------
// N-grams.

namespace {

// N-grams counted by the types of their words; each keeps the spellings of its
// first occurrence for display.
class TNGramTally {
 public:
  explicit TNGramTally(size_t n) : fN(n) { fSlots.assign(1024, 0); }

  // Counts the window (n word types, n spellings); true when it is new.
  bool Count(const uint32_t* types, const View* spellings) {
    const uint64_t h = HashIds(types, fN);
    const auto h32 = static_cast<uint32_t>(h >> 32);
    size_t i = h & (fSlots.size() - 1);
    while (uint32_t s = fSlots[i]) {
      const uint32_t e = s - 1;
      if (fHash[e] == h32 && std::equal(types, types + fN, fTypes.data() + size_t(e) * fN)) {
        if (fFreq[e] < INT32_MAX) ++fFreq[e];
        return false;
      }
      i = (i + 1) & (fSlots.size() - 1);
    }
    const auto e = static_cast<uint32_t>(fFreq.size());
    fTypes.insert(fTypes.end(), types, types + fN);
    fSpellings.insert(fSpellings.end(), spellings, spellings + fN);
    fHash.push_back(h32);
    fFreq.push_back(1);
    fSlots[i] = e + 1;
    if (fFreq.size() * 2 > fSlots.size()) Grow();
    return true;
  }

  size_t Count() const noexcept { return fFreq.size(); }
  int32_t Freq(size_t e) const noexcept { return fFreq[e]; }

  std::u16string Text(size_t e) const {
    std::u16string r;
    const View* w = fSpellings.data() + e * fN;
    size_t length = fN - 1;
    for (size_t k = 0; k < fN; ++k) length += w[k].size();
    r.reserve(length);
    for (size_t k = 0; k < fN; ++k) {
      if (k) r += u' ';
      r.append(w[k]);
    }
    return r;
  }

  // Frees the counting tables once the texts are made.
  void ReleaseIndex() {
    std::vector<uint32_t>().swap(fSlots);
    std::vector<uint32_t>().swap(fTypes);
    std::vector<uint32_t>().swap(fHash);
    std::vector<View>().swap(fSpellings);
  }

 private:
  void Grow() {
    std::vector<uint32_t> slots(fSlots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (uint32_t e = 0; e < fFreq.size(); ++e) {
      size_t i = HashIds(fTypes.data() + size_t(e) * fN, fN) & mask;
      while (slots[i]) i = (i + 1) & mask;
      slots[i] = e + 1;
    }
    fSlots.swap(slots);
  }

  size_t fN;
  std::vector<uint32_t> fSlots;
  std::vector<uint32_t> fTypes;  // fN per entry
  std::vector<View> fSpellings;  // fN per entry
  std::vector<uint32_t> fHash;
  std::vector<int32_t> fFreq;
};

// Where a tag that starts at a "<" ends: behind its ">" when that comes at
// most maxTagLength units on, else at the next unit at or below U+0020 (or the
// end). Both searches keep a cursor that only moves forwards, so a text full
// of "<" costs one pass.
class TTagSkipper {
 public:
  TTagSkipper(View text, int32_t maxTagLength) : fText(text), fMax(static_cast<size_t>(std::max(maxTagLength, 0))) {}

  size_t After(size_t lt) {
    if (!fCloseKnown || fNextClose < lt) {
      fNextClose = fText.find(u'>', lt);
      if (fNextClose == View::npos) fNextClose = fText.size() + fMax + 1;
      fCloseKnown = true;
    }
    if (fNextClose - lt <= fMax) return fNextClose + 1;
    if (fNextLow <= lt) {
      fNextLow = lt + 1;
      while (fNextLow < fText.size() && fText[fNextLow] > 0x20) ++fNextLow;
    }
    return fNextLow;
  }

 private:
  View fText;
  size_t fMax;
  size_t fNextClose = 0;
  bool fCloseKnown = false;
  size_t fNextLow = 0;
};

}  // namespace

TStringListWithFreqPointers* SimpleNGramListOfTxt(View text, int32_t n, int32_t maxTagLength,
                                                  TProgressChangedFunct progress, bool sortByFrequency) {
  if (n < 1) return NewWordList(!sortByFrequency);
  const size_t N = static_cast<size_t>(n);
  const auto& classes = UnitClasses();
  const size_t len = text.size();
  TWordTally words;
  TNGramTally grams(N);
  TTagSkipper tags(text, maxTagLength);
  std::vector<uint32_t> windowTypes;
  std::vector<View> windowSpellings;
  windowTypes.reserve(N);
  windowSpellings.reserve(N);
  std::u16string scratch;
  int32_t lastPercent = -1;
  size_t nextYield = kYieldEvery;

  auto emit = [&](size_t at) {
    if (grams.Count(windowTypes.data(), windowSpellings.data()) && progress.Assigned()) {
      const auto percent = static_cast<int32_t>(len ? (static_cast<uint64_t>(at) * 100) / len : 100);
      if (percent != lastPercent) {
        lastPercent = percent;
        progress(percent);
      }
    }
  };
  auto shift = [&] {
    windowTypes.erase(windowTypes.begin());
    windowSpellings.erase(windowSpellings.begin());
  };
  // Passes over everything up to the next letter or number.
  auto skipAhead = [&](size_t i) {
    while (i < len && !(classes[text[i]] & kGramUnit)) i = text[i] == u'<' ? tags.After(i) : i + 1;
    return i;
  };

  size_t i = skipAhead(0);
  while (i < len) {
    // A word: runs of letters and numbers, tags inside it passed over.
    const size_t start = i;
    bool pieced = false;
    for (;;) {
      const size_t runStart = i;
      while (i < len && (classes[text[i]] & kGramUnit)) ++i;
      if (pieced) scratch.append(text.substr(runStart, i - runStart));
      if (i >= len || text[i] != u'<') break;
      const size_t after = tags.After(i);
      if (!pieced) {
        scratch.assign(text.substr(start, i - start));
        pieced = true;
      }
      i = after;
    }
    View word = pieced ? View(scratch) : text.substr(start, i - start);
    if (!word.empty()) {
      if (pieced) word = words.Own(word);
      windowTypes.push_back(words.TypeOf(word));
      windowSpellings.push_back(word);
      const uint8_t ending = i < len ? classes[text[i]] : 0;
      if (windowTypes.size() == N) {
        emit(i);
        if (ending & kGramBreak) {
          windowTypes.clear();
          windowSpellings.clear();
        } else {
          shift();
        }
      }
    }
    if (i >= nextYield) {
      MyYieldProcess();
      nextYield = i + kYieldEvery;
    }
    i = skipAhead(i);
  }

  std::unique_ptr<TStringListWithFreqPointers> list(NewWordList(!sortByFrequency));
  const size_t count = grams.Count();
  std::vector<std::u16string> texts(count);
  for (size_t e = 0; e < count; ++e) texts[e] = grams.Text(e);
  grams.ReleaseIndex();
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  if (sortByFrequency) {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      if (grams.Freq(a) != grams.Freq(b)) return grams.Freq(a) > grams.Freq(b);
      return texts[a] < texts[b];
    });
  } else {
    std::vector<std::string> keys(count);
    for (size_t e = 0; e < count; ++e) platform::CollationKey(kListLocale, kCompareFlags, texts[e], keys[e]);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  }
  list->SetCapacity(static_cast<int32_t>(std::min<size_t>(count, INT32_MAX)));
  for (uint32_t e : order) list->AppendInOrder(std::move(texts[e]), platform::ObjectFromInt(grams.Freq(e)));
  return list.release();
}

// ---------------------------------------------------------------------------
// Comparing two texts.

TFreqDifference BagOfWordsSimilar(View text1, View text2, int32_t maxDifference, int32_t minFrequency,
                                  int32_t minLength) {
  TFreqDifference result;
  const std::u16string upper1 = platform::UpperCased(text1), upper2 = platform::UpperCased(text2);
  TWordTally tally1, tally2;
  TallyWords(upper1, minLength, tally1);
  TallyWords(upper2, minLength, tally2);
  const bool firstIsLonger = tally1.TypeCount() > tally2.TypeCount();
  const TWordTally& walked = firstIsLonger ? tally1 : tally2;
  const TWordTally& other = firstIsLonger ? tally2 : tally1;
  for (uint32_t t : TypesInListOrder(walked, true)) {
    const int32_t f = walked.freq[t];
    if (f < minFrequency) continue;
    const int64_t o = other.Find(walked.Spelling(t));
    const int32_t g = o < 0 ? 0 : other.freq[static_cast<size_t>(o)];
    if (std::abs(static_cast<int64_t>(f) - g) > maxDifference) {
      result.wd = std::u16string(walked.Spelling(t));
      result.first_text_freq = firstIsLonger ? f : g;
      result.second_text_freq = firstIsLonger ? g : f;
      return result;
    }
  }
  return result;
}

TTypeAndTokenDifferences TypeAndTokenDifferences2Strings(View text1, View text2, TStringListWithFreqPointers*& list1,
                                                         int32_t maxTokenPercent, int32_t maxLengthPercent,
                                                         std::u16string& lastWord) {
  TTypeAndTokenDifferences result;
  const auto length1 = static_cast<double>(text1.size()), length2 = static_cast<double>(text2.size());
  if (length1 + length2 == 0) return {0, 0};
  const double lengthDifference = std::max(std::abs(length1 - length2), 1.0);
  if (lengthDifference / (length1 + length2) * 200.0 > maxLengthPercent) return result;

  if (list1 == nullptr) list1 = SimpleTallierOfTxt(text1, 1, false);
  TWordTally tally2;
  TallyWords(text2, 1, tally2);
  std::vector<bool> shared(tally2.TypeCount(), false);
  int64_t tokenTotal = 0, tokenDifference = 0, sharedTypes = 0;
  for (int32_t i = 0; i < list1->Count(); ++i) {
    const int32_t f1 = list1->GetOne(i);
    tokenTotal += f1;
    const int64_t t = tally2.Find(list1->Get(i));
    if (t < 0) {
      tokenDifference += f1;
      lastWord = list1->Get(i);
    } else {
      tokenDifference += std::abs(static_cast<int64_t>(tally2.freq[static_cast<size_t>(t)]) - f1);
      if (!shared[static_cast<size_t>(t)]) ++sharedTypes;
      shared[static_cast<size_t>(t)] = true;
    }
  }
  int64_t newTypes = 0;
  int64_t lastNew = -1;  // the unshared type of text2 that comes last in its list
  for (uint32_t t = 0; t < tally2.TypeCount(); ++t) {
    if (shared[t]) continue;
    ++newTypes;
    tokenDifference += tally2.freq[t];
    tokenTotal += tally2.freq[t];
    if (lastNew < 0 || tally2.Key(static_cast<uint32_t>(lastNew)) < tally2.Key(t)) lastNew = t;
  }
  if (lastNew >= 0) lastWord = std::u16string(tally2.Spelling(static_cast<uint32_t>(lastNew)));
  const int64_t types = list1->Count() + newTypes;
  if (types == 0 || tokenTotal == 0) return {0, 0};
  const double sharedPercent = static_cast<double>(sharedTypes) * 100.0 / static_cast<double>(types);
  const double tokenPercent = static_cast<double>(tokenDifference) * 100.0 / static_cast<double>(tokenTotal);
  if (tokenPercent <= maxTokenPercent || sharedPercent >= 100.0 - maxTokenPercent) {
    result.tokens = static_cast<int32_t>(std::min<int64_t>(tokenDifference, INT32_MAX));
    result.types = static_cast<int32_t>(std::min<int64_t>(types - sharedTypes, INT32_MAX));
  }
  return result;
}

TTypeAndTokenDifferences TypeAndTokenDifferences2Files(TStringListWithFreqPointers*& list1, View text1,
                                                       View fileName2, int32_t maxTokenPercent,
                                                       int32_t maxLengthPercent, int32_t maxTagLength,
                                                       std::u16string& lastWord) {
  lastWord.clear();
  const std::u16string text2 = MarkupFreeTextFromAFile(fileName2, maxTagLength);
  if (text1 == View(text2)) return {0, 0};
  if (maxLengthPercent == 0) return {};
  return TypeAndTokenDifferences2Strings(text1, text2, list1, maxTokenPercent, maxLengthPercent, lastWord);
}

TTypeAndTokenDifferences TypeAndTokenDifferences2Files(View fileName1, View fileName2, char16_t open, char16_t close,
                                                       int32_t maxTagLength, int32_t maxTokenPercent,
                                                       int32_t maxLengthPercent, std::u16string& lastWord) {
  platform::TStringList file1;
  file1.LoadFromFile(fileName1);
  const std::u16string text1 = WithoutMarkup(file1.Text(), open, close, maxTagLength);
  TStringListWithFreqPointers* list1 = nullptr;
  std::unique_ptr<TStringListWithFreqPointers> owner;
  try {
    const TTypeAndTokenDifferences r = TypeAndTokenDifferences2Files(list1, text1, fileName2, maxTokenPercent,
                                                                     maxLengthPercent, maxTagLength, lastWord);
    owner.reset(list1);
    return r;
  } catch (...) {
    delete list1;
    throw;
  }
}

// ---------------------------------------------------------------------------
// Repeated chunks of characters.

namespace {

constexpr size_t kLeastChunk = 101;  // only chunks longer than 100 units are looked for

// Every position (0-based) of each of the given strings (all at least
// kLeastChunk units long) in text, in ascending order, found in one pass: a
// rolling hash of the first kLeastChunk units selects candidates, which are
// then compared whole.
std::vector<std::vector<uint32_t>> PositionsOfStrings(View text, const std::vector<View>& strings) {
  constexpr uint64_t kBase = 0x100000001B3ULL;
  std::vector<std::vector<uint32_t>> positions(strings.size());
  if (text.size() < kLeastChunk || strings.empty()) return positions;
  auto prefixHash = [&](const char16_t* p) {
    uint64_t h = 0;
    for (size_t k = 0; k < kLeastChunk; ++k) h = h * kBase + p[k];
    return h;
  };
  std::unordered_multimap<uint64_t, uint32_t> byPrefix;
  byPrefix.reserve(strings.size() * 2);
  for (uint32_t s = 0; s < strings.size(); ++s) byPrefix.emplace(prefixHash(strings[s].data()), s);
  uint64_t top = 1;  // kBase^(kLeastChunk - 1)
  for (size_t k = 1; k < kLeastChunk; ++k) top *= kBase;
  uint64_t h = prefixHash(text.data());
  size_t nextYield = kYieldEvery * 16;
  for (size_t p = 0;; ++p) {
    const auto range = byPrefix.equal_range(h);
    for (auto it = range.first; it != range.second; ++it) {
      const View s = strings[it->second];
      if (text.size() - p >= s.size() && text.compare(p, s.size(), s) == 0)
        positions[it->second].push_back(static_cast<uint32_t>(p));
    }
    if (p + kLeastChunk >= text.size()) break;
    h = (h - text[p] * top) * kBase + text[p + kLeastChunk];
    if (p >= nextYield) {
      MyYieldProcess();
      nextYield = p + kYieldEvery * 16;
    }
  }
  return positions;
}

}  // namespace

TStringListWith2LongintList* RepeatedXCharChunks(int32_t chunkLength, int32_t minFrequency, int32_t maxItems,
                                                 View text, TProgressChangedFunct progress) {
  auto list = std::make_unique<TStringListWith2LongintList>();
  list->SetSorted(true);
  if (chunkLength < 1 || text.size() > UINT32_MAX) return list.release();
  const size_t L = static_cast<size_t>(chunkLength);
  const size_t chunks = text.size() / L;

  // The distinct trimmed chunks worth looking for, and each chunk's string.
  std::vector<View> strings;
  std::vector<int64_t> stringOfChunk(chunks, -1);
  {
    std::unordered_map<View, uint32_t> seen;
    for (size_t k = 0; k < chunks; ++k) {
      View c = text.substr(k * L, L);
      while (!c.empty() && c.front() <= 0x20) c.remove_prefix(1);
      while (!c.empty() && c.back() <= 0x20) c.remove_suffix(1);
      if (c.size() < kLeastChunk) continue;
      auto [it, added] = seen.try_emplace(c, static_cast<uint32_t>(strings.size()));
      if (added) strings.push_back(c);
      stringOfChunk[k] = it->second;
    }
  }
  const std::vector<std::vector<uint32_t>> positions = PositionsOfStrings(text, strings);

  // Chunk by chunk as a sequential search would go; an entry's count grows by
  // the number of later occurrences, up to the early stop. Only the first two
  // hits of a chunk can change what the stop looks at (the number of entries
  // and of entries counted more than once), so the rest are added at once.
  int32_t repeateds = 0;
  int32_t lastPercent = -1;
  auto stop = [&] { return list->Count() >= maxItems && repeateds >= maxItems; };
  for (size_t k = 0; k < chunks; ++k) {
    if (progress.Assigned()) {
      const auto percent = static_cast<int32_t>((static_cast<uint64_t>(k * L) * 100) / text.size());
      if (percent != lastPercent) progress(lastPercent = percent);
    }
    if (stringOfChunk[k] < 0) continue;
    const std::vector<uint32_t>& at = positions[static_cast<size_t>(stringOfChunk[k])];
    const auto first = std::lower_bound(at.begin(), at.end(), static_cast<uint32_t>((k + 1) * L));
    const auto hits = static_cast<int64_t>(at.end() - first);
    if (hits == 0) continue;
    const View s = strings[static_cast<size_t>(stringOfChunk[k])];
    const int32_t before = list->Count();
    const int32_t index = list->AddOne(std::u16string(s), T2_longint_rec{1, static_cast<int32_t>(*first + 1)});
    int64_t rest = hits - 1;
    if (list->Count() == before) {
      list->IncOne(index, t2_long0);
      if (list->GetOne(index).long0 == 2) ++repeateds;
    }
    if (stop() || rest == 0) continue;
    list->IncOne(index, t2_long0);
    if (list->GetOne(index).long0 == 2) ++repeateds;
    --rest;
    if (stop() || rest == 0) continue;
    const int64_t total = list->GetOne(index).long0 + rest;
    list->SetOne(index, T2_longint_rec{static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX)),
                                       list->GetOne(index).long1});
  }
  if (progress.Assigned() && lastPercent != 100) progress(100);
  if (list->Count() > 1) list->SortOnFreq();
  for (int32_t i = list->Count() - 1; i >= 0; --i)
    if (list->GetOne(i).long0 < minFrequency) list->Delete(i);
  return list.release();
}

// ---------------------------------------------------------------------------
// Occurrences across files.

TListOfOccurrences::TListOfOccurrences() = default;
TListOfOccurrences::~TListOfOccurrences() = default;

TStringlistWithListOfOccurrences::TStringlistWithListOfOccurrences() : TIndexCheckStringlist(true) {
  SetSorted(true);
}
TStringlistWithListOfOccurrences::~TStringlistWithListOfOccurrences() = default;

int32_t TStringlistWithListOfOccurrences::AddOrIncOneByFreq(View S, int32_t file_number, int32_t freq) {
  int32_t index = -1;
  if (!Find(S, index)) {
    auto occurrences = std::make_unique<TListOfOccurrences>();
    index = AddObject(std::u16string(S), occurrences.get());
    if (GetObject(index) == occurrences.get()) occurrences.release();
  }
  TListOfOccurrences* list = GetAListOfOccurrences(index);
  if (list == nullptr) return index;
  const int32_t pair = list->LongIndexOf(file_number, t2_long0);
  if (pair >= 0)
    list->AddToOneFreq(pair, freq, t2_long1);
  else
    list->AddOne(T2_longint_rec{file_number, freq});
  return index;
}

TListOfOccurrences* TStringlistWithListOfOccurrences::GetAListOfOccurrences(int32_t i) const noexcept {
  if (!IndexAssignedOK(i)) return nullptr;
  return dynamic_cast<TListOfOccurrences*>(GetObject(i));
}

int32_t TStringlistWithListOfOccurrences::Repeateds() const noexcept {
  int32_t count = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (const TListOfOccurrences* list = GetAListOfOccurrences(i); list && list->Count() > 1) ++count;
  return count;
}

void TStringlistWithListOfOccurrences::SortAllOccurrencesFreqDescending() {
  // Totals are computed once and looked up by the entry's list, which travels
  // with its string through the sort's exchanges.
  std::unordered_map<const platform::TObject*, int64_t> totalOf;
  for (int32_t i = 0; i < Count(); ++i) {
    const TListOfOccurrences* list = GetAListOfOccurrences(i);
    totalOf[GetObject(i)] = list ? list->TotalOf(t2_long1) : 0;
  }
  SetSorted(false);  // no longer in the order lookups need
  CustomSort([this, &totalOf](int32_t a, int32_t b) {
    const int64_t ta = totalOf[GetObject(a)], tb = totalOf[GetObject(b)];
    if (ta != tb) return ta > tb ? -1 : 1;
    return -Compare2Strings(Get(a), Get(b));
  });
}

void TStringlistWithListOfOccurrences::SortAllOccurrencesFileAscending() {
  SetSorted(false);  // no longer in the order lookups need
  CustomSort([this](int32_t a, int32_t b) {
    const TListOfOccurrences* la = GetAListOfOccurrences(a);
    const TListOfOccurrences* lb = GetAListOfOccurrences(b);
    const int32_t fa = la && la->Count() > 0 ? la->GetADouble(0).long0 : INT32_MAX;
    const int32_t fb = lb && lb->Count() > 0 ? lb->GetADouble(0).long0 : INT32_MAX;
    if (fa != fb) return fa < fb ? -1 : 1;
    return -Compare2Strings(Get(a), Get(b));
  });
}

// ---------------------------------------------------------------------------
// Sentences that recur across files.

namespace {

// Counts, in one pass over a text, the occurrences of each of a set of
// patterns (letter case counting, overlapping occurrences included): an
// Aho-Corasick automaton whose per-state visits are summed along the failure
// links.
class TPatternCounter {
 public:
  explicit TPatternCounter(const std::vector<std::u16string>& patterns) {
    size_t total = 1;
    for (const auto& p : patterns) total += p.size();
    fFail.reserve(total);
    fFirstChild.reserve(total);
    fNextSibling.reserve(total);
    fUnit.reserve(total);
    NewNode(0);
    size_t capacity = 1024;
    while (capacity < total * 2) capacity *= 2;
    fSlots.assign(capacity, TSlot{});
    fTerminal.reserve(patterns.size());
    for (const auto& p : patterns) {
      uint32_t node = 0;
      for (char16_t c : p) {
        uint32_t next = Child(node, c);
        if (next == kNone) {
          next = NewNode(c);
          fNextSibling[next] = fFirstChild[node];
          fFirstChild[node] = next;
          Insert(node, c, next);
        }
        node = next;
      }
      fTerminal.push_back(node);
    }
    // Failure links in breadth-first order.
    fOrder.reserve(fFail.size());
    fOrder.push_back(0);
    for (size_t k = 0; k < fOrder.size(); ++k) {
      const uint32_t u = fOrder[k];
      for (uint32_t v = fFirstChild[u]; v != kNone; v = fNextSibling[v]) {
        fOrder.push_back(v);
        if (u == 0) {
          fFail[v] = 0;
          continue;
        }
        uint32_t f = fFail[u];
        uint32_t g = Child(f, fUnit[v]);
        while (g == kNone && f != 0) {
          f = fFail[f];
          g = Child(f, fUnit[v]);
        }
        fFail[v] = g == kNone ? 0 : g;
      }
    }
  }

  // The number of occurrences of each pattern in text, in pattern order.
  std::vector<int64_t> Count(std::u16string_view text) const {
    std::vector<int64_t> visits(fFail.size(), 0);
    uint32_t state = 0;
    for (char16_t c : text) {
      uint32_t next = Child(state, c);
      while (next == kNone && state != 0) {
        state = fFail[state];
        next = Child(state, c);
      }
      state = next == kNone ? 0 : next;
      ++visits[state];
    }
    for (size_t k = fOrder.size(); k-- > 1;) visits[fFail[fOrder[k]]] += visits[fOrder[k]];
    std::vector<int64_t> counts;
    counts.reserve(fTerminal.size());
    for (uint32_t t : fTerminal) counts.push_back(t == 0 ? 0 : visits[t]);
    return counts;
  }

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  struct TSlot {
    uint64_t key = UINT64_MAX;
    uint32_t child = kNone;
  };

  static uint64_t KeyOf(uint32_t node, char16_t c) noexcept { return (uint64_t{node} << 16) | c; }

  uint32_t NewNode(char16_t c) {
    fFail.push_back(0);
    fFirstChild.push_back(kNone);
    fNextSibling.push_back(kNone);
    fUnit.push_back(c);
    return static_cast<uint32_t>(fFail.size() - 1);
  }

  uint32_t Child(uint32_t node, char16_t c) const noexcept {
    const uint64_t key = KeyOf(node, c);
    size_t i = Mix(key) & (fSlots.size() - 1);
    while (fSlots[i].key != UINT64_MAX) {
      if (fSlots[i].key == key) return fSlots[i].child;
      i = (i + 1) & (fSlots.size() - 1);
    }
    return kNone;
  }

  void Insert(uint32_t node, char16_t c, uint32_t child) noexcept {
    const uint64_t key = KeyOf(node, c);
    size_t i = Mix(key) & (fSlots.size() - 1);
    while (fSlots[i].key != UINT64_MAX) i = (i + 1) & (fSlots.size() - 1);
    fSlots[i] = TSlot{key, child};
  }

  std::vector<uint32_t> fFail, fFirstChild, fNextSibling, fOrder, fTerminal;
  std::vector<char16_t> fUnit;
  std::vector<TSlot> fSlots;
};

}  // namespace

TRepeatedChunks::TRepeatedChunks()
    : display_index(std::make_unique<TQNLongintList>()),
      fnames(std::make_unique<TFolderEfficientFileStringlist>()),
      chunks_list(std::make_unique<TStringlistWithListOfOccurrences>()) {}

TRepeatedChunks::~TRepeatedChunks() = default;

void TRepeatedChunks::SetSettings(bool ainclude_unterminated_sentences, int32_t atag_span, int32_t amin_hits,
                                  int32_t amin_sent_len, TProgressChangedFunct athis, TProgressChangedFunct aoverall,
                                  TTellCountEvent arunning_total) {
  include_unterminated_sentences = ainclude_unterminated_sentences;
  tag_span = atag_span;
  min_hits = amin_hits;
  min_sentence_length = amin_sent_len;
  this_reporting = athis;
  overall_reporting = aoverall;
  running_total_reporting = arunning_total;
}

int32_t TRepeatedChunks::LoadATextFile(std::u16string_view filename) {
  if (processing) return -1;  // refused while a walk runs
  std::error_code ec;
  if (filename.empty() || !std::filesystem::is_regular_file(std::filesystem::path(platform::EncodedUTF8(filename)), ec))
    return -1;
  const int32_t index = fnames->Add(std::u16string(filename));
  txt = MarkupFreeTextFromAFile(filename, tag_span);
  return index;
}

void TRepeatedChunks::AddToRepeatedSentencesInTxt(int32_t file_number, int32_t total_files) {
  if (!chunks_list) throw Exception("list not assigned");
  if (processing) return;  // refused while a walk runs
  processing = true;
  try {
    if (overall_reporting.Assigned() && total_files > 0)
      overall_reporting(static_cast<int32_t>(
          std::clamp<int64_t>(static_cast<int64_t>(file_number) * 100 / total_files, 0, 100)));
    AddedToRepeatedSentencesInTxt(file_number, txt);
    if (running_total_reporting.Assigned()) running_total_reporting(chunks_list->Count());
  } catch (...) {
    processing = false;
    throw;
  }
  processing = false;
}

int32_t TRepeatedChunks::AddedToRepeatedSentencesInTxt(int32_t file_number, std::u16string_view tagless) {
  if (!chunks_list) throw Exception("chunks_list not assigned");
  const int32_t before = chunks_list->Count();
  const bool walking = processing;
  if (!walking) processing = true;  // called directly: the walk runs until Stop
  // The distinct sentences of the text's paragraphs in order; spellings equal
  // under the list's comparison are handled once, as the first met.
  std::vector<std::u16string> sentences;
  std::unordered_set<std::string> handled;
  std::string key;
  const int32_t n = static_cast<int32_t>(std::min<size_t>(tagless.size(), INT32_MAX));
  int32_t lastPercent = -1;
  int32_t cursor = FirstValidStartOfSentence(tagless, 1);
  while (processing && n > 0 && cursor >= 1 && cursor <= n) {
    const size_t crlf = tagless.find(u"\r\n", static_cast<size_t>(cursor - 1));
    const size_t end = crlf == std::u16string_view::npos ? tagless.size() : crlf;
    std::u16string_view paragraph = tagless.substr(static_cast<size_t>(cursor - 1), end - static_cast<size_t>(cursor - 1));
    while (!paragraph.empty() && paragraph.front() <= 0x20) paragraph.remove_prefix(1);
    while (!paragraph.empty() && paragraph.back() <= 0x20) paragraph.remove_suffix(1);
    if (!paragraph.empty()) {
      std::unique_ptr<platform::TStringList> found(
          SentencesExtractedFromParagraph(include_unterminated_sentences, min_sentence_length, paragraph));
      for (int32_t i = 0; i < found->Count(); ++i) {
        platform::CollationKey(kListLocale, kCompareFlags, found->Get(i), key);
        if (!handled.insert(key).second) continue;
        sentences.push_back(found->Get(i));
        if (this_reporting.Assigned() && n > 100000) {
          const auto percent = static_cast<int32_t>(static_cast<int64_t>(cursor) * 100 / n);
          if (percent != lastPercent) this_reporting(lastPercent = percent);
        }
      }
    }
    MyYieldProcess();  // Stop takes effect here
    if (crlf == std::u16string_view::npos) break;
    const int32_t next = FirstValidStartOfSentence(tagless, static_cast<int32_t>(crlf) + 2);
    if (next <= cursor) break;
    cursor = next;
  }
  if (!walking) processing = false;
  if (sentences.empty()) return 0;
  const std::vector<int64_t> counts = TPatternCounter(sentences).Count(tagless);
  for (size_t s = 0; s < sentences.size(); ++s)
    if (counts[s] >= min_hits)
      chunks_list->AddOrIncOneByFreq(sentences[s], file_number,
                                     static_cast<int32_t>(std::min<int64_t>(counts[s], INT32_MAX)));
  return chunks_list->Count() - before;
}

void TRepeatedChunks::Stop() noexcept { processing = false; }

void TRepeatedChunks::SortDescendingFreq() {
  if (chunks_list) chunks_list->SortAllOccurrencesFreqDescending();
}

void TRepeatedChunks::SortAScendingFilenumbers() {
  if (chunks_list) chunks_list->SortAllOccurrencesFileAscending();
}

std::u16string TRepeatedChunks::GetAFilename(int32_t i) const {
  if (!fnames || i < 0 || i >= fnames->Count()) return {};
  return fnames->GetFullFilename(i);
}

void TRepeatedChunks::Clear() {
  if (processing) return;  // refused while a walk runs
  txt.clear();
  if (display_index) display_index->Clear();
  if (fnames) fnames->Clear();
  if (chunks_list) chunks_list->Clear();
}

}  // namespace qn
