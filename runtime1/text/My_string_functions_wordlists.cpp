#include "runtime1/text/My_string_functions_wordlists.h"

#include <unicode/uchar.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <string_view>
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

// Spellings of up to kShortUnits units are held in the table's own slots and
// compared as two 64-bit numbers; longer ones through a pointer to a copy.
constexpr size_t kShortUnits = 8;

// Masks that keep the first n units of a spelling's two 64-bit halves.
constexpr uint64_t LowMask(size_t n) noexcept { return n >= 4 ? ~uint64_t{0} : (uint64_t{1} << (16 * n)) - 1; }
constexpr uint64_t HighMask(size_t n) noexcept { return n <= 4 ? 0 : LowMask(n - 4); }
constexpr std::array<uint64_t, kShortUnits + 1> kLowMasks = {LowMask(0), LowMask(1), LowMask(2), LowMask(3), LowMask(4),
                                                             LowMask(5), LowMask(6), LowMask(7), LowMask(8)};
constexpr std::array<uint64_t, kShortUnits + 1> kHighMasks = {HighMask(0), HighMask(1), HighMask(2),
                                                              HighMask(3), HighMask(4), HighMask(5),
                                                              HighMask(6), HighMask(7), HighMask(8)};

inline uint64_t HashShort(uint64_t lo, uint64_t hi, size_t n) noexcept {
  return Mix((lo * 0x9E3779B97F4A7C15ULL) ^ (hi * 0xC2B2AE3D27D4EB4FULL) ^ n);
}

inline uint64_t HashBytes(std::string_view s) noexcept {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ (s.size() * 0xFF51AFD7ED558CCDULL);
  size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    uint64_t v;
    std::memcpy(&v, s.data() + i, 8);
    h = (h ^ v) * 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 29;
  }
  uint64_t v = 0;
  for (size_t k = 0; i + k < s.size(); ++k) v |= uint64_t{static_cast<uint8_t>(s[i + k])} << (8 * k);
  return Mix((h ^ v) * 0xC4CEB9FE1A85EC53ULL);
}

// Word types of one text. Every distinct spelling has a slot in an
// open-addressing table that starts with a few slots and doubles as it fills,
// so that the tally of one sentence costs a few small allocations and that of
// a book stays in cache for its frequent words. A slot counts the spelling's
// occurrences; the first time a spelling is met, its collation key decides
// its type, and Total sums the spellings' counts into freq per type.
class TWordTally {
 public:
  // textUnits: the length of the text to be counted, which bounds the units
  // of its spellings; it sizes the first block of spellings.
  explicit TWordTally(size_t textUnits)
      : fTextUnits(textUnits), fBlockSize(std::clamp<size_t>(textUnits, 64, kLargestBlock)) {}

  // Counts one occurrence of the spelling of n units at p, of which
  // `readable` units (at least n) may be read.
  [[gnu::always_inline]] void Count(const char16_t* p, size_t n, size_t readable) {
    TSlot& s = SlotOf(p, n, readable);
    s.count += s.count != UINT32_MAX;
  }

  // Counts as Count does, and notes the slot when it is the spelling's first
  // occurrence since the last Drain (a corpus tally's texts).
  [[gnu::always_inline]] void CountTracked(const char16_t* p, size_t n, size_t readable) {
    TSlot& s = SlotOf(p, n, readable);
    if (s.count == 0) fTouched.push_back(static_cast<uint32_t>(&s - fSlots.data()));
    if (++s.count == UINT32_MAX) [[unlikely]] Spill(s);
  }

  // Calls counted(type, count) for the spellings counted by CountTracked since
  // the last Drain (a type may come more than once, through several spellings
  // or a count too large for a slot), and sets their counts back to 0.
  template <typename Counted>
  void Drain(Counted&& counted) {
    for (uint32_t i : fTouched) {
      TSlot& s = fSlots[i];
      counted(s.type, uint64_t{s.count});
      s.count = 0;
    }
    fTouched.clear();
    for (const auto& [type, extra] : fSpilled) counted(type, extra);
    fSpilled.clear();
  }

  // The type of the spelling w, added (with its type) when new; counts nothing.
  uint32_t TypeOf(View w) { return SlotOf(w.data(), w.size(), w.size()).type; }

  // The type of w, or -1 when neither w nor any spelling equal to it under the
  // list's comparison was counted. Adds nothing.
  int64_t Find(View w) const {
    if (w.empty()) return -1;
    if (!fSlots.empty()) {
      const TProbe probe = Probe(w.data(), w.size(), w.size());
      for (size_t i = probe.h & fMask; fSlots[i].length != 0; i = (i + 1) & fMask) {
        if (Matches(fSlots[i], probe, w.data())) return fSlots[i].type;
      }
    }
    std::string key;
    platform::CollationKey(kListLocale, kCompareFlags, w, key);
    return TypeOfKey(key);
  }

  // Sums the spellings' counts into freq (saturating at INT32_MAX); once,
  // after the counting.
  void Total() {
    freq.assign(fTypes.size(), 0);
    for (const TSlot& s : fSlots) {
      if (s.length != 0) {
        freq[s.type] = static_cast<int32_t>(std::min<int64_t>(int64_t{freq[s.type]} + s.count, INT32_MAX));
      }
    }
  }

  // A copy of w that lives as long as the tally.
  View Own(View w) { return Keep(w); }

  size_t TypeCount() const noexcept { return fTypes.size(); }
  View Spelling(uint32_t type) const noexcept { return fTypes[type].spelling; }
  std::string_view Key(uint32_t type) const noexcept {
    const size_t start = type == 0 ? 0 : fTypes[type - 1].keyEnd;
    return std::string_view(fKeys).substr(start, fTypes[type].keyEnd - start);
  }

  std::vector<int32_t> freq;  // per type, after Total

 private:
  struct TSlot {
    uint64_t lo = 0;  // short spelling: units 0-3, zero-padded; long: address of its copy
    uint64_t hi = 0;  // short spelling: units 4-7, zero-padded; long: 0
    uint32_t h32 = 0;  // upper half of the hash (long spellings)
    uint32_t length = 0;  // units; 0 = empty slot
    uint32_t type = 0;
    uint32_t count = 0;
  };
  static_assert(sizeof(TSlot) == 32);

  struct TProbe {
    uint64_t lo, hi, h;
    size_t n;
  };

  [[gnu::always_inline]] static TProbe Probe(const char16_t* p, size_t n, size_t readable) noexcept {
    TProbe probe{0, 0, 0, n};
    if (n <= kShortUnits) {
      if (readable >= kShortUnits) {
        std::memcpy(&probe.lo, p, 8);
        std::memcpy(&probe.hi, p + 4, 8);
      } else {
        char16_t units[kShortUnits] = {};
        for (size_t k = 0; k < n; ++k) units[k] = p[k];
        std::memcpy(&probe.lo, units, 8);
        std::memcpy(&probe.hi, units + 4, 8);
      }
      probe.lo &= kLowMasks[n];
      probe.hi &= kHighMasks[n];
      probe.h = HashShort(probe.lo, probe.hi, n);
    } else {
      probe.h = HashUnits(p, n);
    }
    return probe;
  }

  static bool Matches(const TSlot& s, const TProbe& probe, const char16_t* p) noexcept {
    if (s.length != probe.n) return false;
    if (probe.n <= kShortUnits) return s.lo == probe.lo && s.hi == probe.hi;
    return s.h32 == static_cast<uint32_t>(probe.h >> 32) &&
           SameUnits(View(reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(s.lo)), probe.n), View(p, probe.n));
  }

  // The slot of the spelling, made when new. Finding is inlined into the
  // walks; making a slot is not.
  [[gnu::always_inline]] TSlot& SlotOf(const char16_t* p, size_t n, size_t readable) {
    if (fSlots.empty()) [[unlikely]] Start();
    const TProbe probe = Probe(p, n, readable);
    size_t i = probe.h & fMask;
    for (; fSlots[i].length != 0; i = (i + 1) & fMask) {
      if (Matches(fSlots[i], probe, p)) return fSlots[i];
    }
    return NewSlot(p, probe, i);
  }

  [[gnu::noinline]] TSlot& NewSlot(const char16_t* p, const TProbe& probe, size_t i) {
    const size_t n = probe.n;
    if (n > UINT32_MAX) throw Exception(u"word too long");
    if ((fUsed + 1) * 2 > fSlots.size()) {
      Resize(fSlots.size() * 2);
      for (i = probe.h & fMask; fSlots[i].length != 0; i = (i + 1) & fMask) {
      }
    }
    ++fUsed;
    const View kept = Keep(View(p, n));
    TSlot& s = fSlots[i];
    s.length = static_cast<uint32_t>(n);
    s.h32 = static_cast<uint32_t>(probe.h >> 32);
    s.lo = n > kShortUnits ? reinterpret_cast<uintptr_t>(kept.data()) : probe.lo;
    s.hi = probe.hi;
    s.type = TypeOfNewSpelling(kept);
    s.count = 0;
    return s;
  }

  // A slot's count about to overflow: all but one of it moves aside.
  [[gnu::noinline]] void Spill(TSlot& s) {
    fSpilled[s.type] += UINT32_MAX - 1;
    s.count = 1;
  }

  void Resize(size_t size) {
    std::vector<TSlot> slots(size);
    const size_t mask = size - 1;
    for (const TSlot& s : fSlots) {
      if (s.length == 0) continue;
      const uint64_t h = s.length <= kShortUnits
                             ? HashShort(s.lo, s.hi, s.length)
                             : HashUnits(reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(s.lo)), s.length);
      size_t i = h & mask;
      while (slots[i].length != 0) i = (i + 1) & mask;
      slots[i] = s;
    }
    fSlots.swap(slots);
    fMask = mask;
    if (!fTouched.empty()) {
      // The noted slots have moved.
      fTouched.clear();
      for (size_t i = 0; i < fSlots.size(); ++i) {
        if (fSlots[i].length != 0 && fSlots[i].count != 0) fTouched.push_back(static_cast<uint32_t>(i));
      }
    }
  }

  uint32_t TypeOfNewSpelling(View kept) {
    platform::CollationKey(kListLocale, kCompareFlags, kept, fKey);
    const size_t mask = fKeySlots.size() - 1;
    size_t i = HashBytes(fKey) & mask;
    for (; fKeySlots[i] != 0; i = (i + 1) & mask) {
      if (Key(fKeySlots[i] - 1) == fKey) return fKeySlots[i] - 1;
    }
    const auto type = static_cast<uint32_t>(fTypes.size());
    fKeys += fKey;
    fTypes.push_back({kept, fKeys.size()});
    fKeySlots[i] = type + 1;
    if (fTypes.size() * 2 > fKeySlots.size()) {
      std::vector<uint32_t> slots(fKeySlots.size() * 2, 0);
      const size_t m = slots.size() - 1;
      for (uint32_t t = 0; t < fTypes.size(); ++t) {
        size_t k = HashBytes(Key(t)) & m;
        while (slots[k] != 0) k = (k + 1) & m;
        slots[k] = t + 1;
      }
      fKeySlots.swap(slots);
    }
    return type;
  }

  int64_t TypeOfKey(std::string_view key) const {
    if (fKeySlots.empty()) return -1;
    const size_t mask = fKeySlots.size() - 1;
    for (size_t i = HashBytes(key) & mask; fKeySlots[i] != 0; i = (i + 1) & mask) {
      if (Key(fKeySlots[i] - 1) == key) return fKeySlots[i] - 1;
    }
    return -1;
  }

  // A copy of w in the tally's blocks, which start at most as long as the
  // text and double.
  View Keep(View w) {
    if (fBlockLeft < w.size()) {
      const size_t capacity = std::max(w.size(), fBlockSize);
      fBlockSize = std::min<size_t>(fBlockSize * 2, kLargestBlock);
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

  // The tables' first sizes, from the length of the text: a text of n units
  // has at most n / 2 + 1 words, most texts far fewer types; a few doublings
  // later a book's tables are as large as they need to be.
  void Start() {
    const size_t types = std::clamp<size_t>(fTextUnits / 8, 8, 512);
    const size_t slots = std::bit_ceil(types * 2);
    Resize(slots);
    fKeySlots.assign(slots, 0);
    fTypes.reserve(types);
    fKeys.reserve(types * 8);
    fKey.reserve(64);
  }

  static constexpr size_t kLargestBlock = size_t{1} << 15;

  size_t fTextUnits;
  std::vector<TSlot> fSlots;  // empty until the first word
  size_t fMask = 0;
  size_t fUsed = 0;
  std::vector<uint32_t> fKeySlots;  // type + 1 by the hash of its key; 0 = empty
  struct TType {
    View spelling;  // its first spelling
    size_t keyEnd;  // where its collation key ends in fKeys
  };
  std::vector<TType> fTypes;
  std::string fKeys;  // every type's collation key, one after another
  std::string fKey;
  std::vector<uint32_t> fTouched;  // slots counted by CountTracked since the last Drain
  std::unordered_map<uint32_t, uint64_t> fSpilled;  // type -> counts moved out of its slots
  std::vector<std::unique_ptr<char16_t[]>> fBlocks;
  char16_t* fBlockNext = nullptr;
  size_t fBlockLeft = 0;
  size_t fBlockSize;  // units of the next block
};

// Bit k set when p[k] is a word unit, for the 64 units at p. Eight units at a
// time that are all below U+0080 are judged by comparisons (a letter A-Z or
// a-z, a digit 0-9: the word units among them); others by the table.
inline uint64_t WordUnitBits64(const char16_t* p, const uint8_t* classes) noexcept {
  uint64_t bits = 0;
#if defined(__SSE2__)
  const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  const __m128i caseBit = _mm_set1_epi16(0x20);
  const __m128i beforeA = _mm_set1_epi16(u'a' - 1), afterZ = _mm_set1_epi16(u'z' + 1);
  const __m128i before0 = _mm_set1_epi16(u'0' - 1), after9 = _mm_set1_epi16(u'9' + 1);
  for (size_t g = 0; g < 64; g += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + g));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, nonAscii), zero)) == 0xFFFF) {
      const __m128i folded = _mm_or_si128(x, caseBit);
      const __m128i letter = _mm_and_si128(_mm_cmpgt_epi16(folded, beforeA), _mm_cmplt_epi16(folded, afterZ));
      const __m128i digit = _mm_and_si128(_mm_cmpgt_epi16(x, before0), _mm_cmplt_epi16(x, after9));
      const auto lanes = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(_mm_or_si128(letter, digit), zero)));
      bits |= static_cast<uint64_t>(lanes & 0xFF) << g;
    } else {
      for (size_t k = g; k < g + 8; ++k) bits |= static_cast<uint64_t>(classes[p[k]] & kWordUnit) << k;
    }
  }
#else
  for (size_t k = 0; k < 64; ++k) bits |= static_cast<uint64_t>(classes[p[k]] & kWordUnit) << k;
#endif
  return bits;
}

// Calls visit(start, length) for every maximal run of word units, yielding as
// it goes. The units' classes are gathered 64 at a time into a mask without a
// branch, and the words are read off the mask's edges, so that the walk takes
// one unpredictable branch per word instead of one per unit.
template <typename Visit>
void WalkWords(View text, Visit&& visit) {
  const uint8_t* classes = UnitClasses().data();
  const char16_t* p = text.data();
  const size_t n = text.size();
  size_t nextYield = kYieldEvery;
  size_t start = 0;
  bool inWord = false;
  uint64_t carry = 0;  // 1 when the unit before the block is a word unit
  for (size_t base = 0; base < n; base += 64) {
    const size_t m = std::min<size_t>(64, n - base);
    uint64_t bits = 0;
    if (m == 64) {
      bits = WordUnitBits64(p + base, classes);
    } else {
      for (size_t k = 0; k < m; ++k) bits |= static_cast<uint64_t>(classes[p[base + k]] & kWordUnit) << k;
    }
    uint64_t edges = bits ^ ((bits << 1) | carry);
    if (m < 64) edges &= (uint64_t{1} << m) - 1;
    while (edges != 0) {
      const auto k = static_cast<size_t>(std::countr_zero(edges));
      edges &= edges - 1;
      if (!inWord) {
        start = base + k;
      } else {
        visit(start, base + k - start);
      }
      inWord = !inWord;
    }
    carry = bits >> 63;
    if (base + m >= nextYield) {
      MyYieldProcess();
      nextYield = base + m + kYieldEvery;
    }
  }
  if (inWord) visit(start, n - start);
}

void TallyWords(View text, int32_t minLength, TWordTally& tally) {
  const size_t least = static_cast<size_t>(std::max(minLength, 0));
  const char16_t* p = text.data();
  const size_t n = text.size();
  WalkWords(text, [&](size_t start, size_t length) {
    if (length >= least) tally.Count(p + start, length, n - start);
  });
  tally.Total();
}

// The types in the order of a word list: alphabetical (by collation key) or by
// descending frequency, ties in code-unit order of the spellings.
template <typename Freq>
std::vector<uint32_t> TypesInListOrder(const TWordTally& tally, const std::vector<Freq>& freq, bool sortByFrequency) {
  std::vector<uint32_t> order(tally.TypeCount());
  std::iota(order.begin(), order.end(), 0u);
  if (sortByFrequency) {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      if (freq[a] != freq[b]) return freq[a] > freq[b];
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

std::vector<uint32_t> TypesInListOrder(const TWordTally& tally, bool sortByFrequency) {
  return TypesInListOrder(tally, tally.freq, sortByFrequency);
}

// freq: per type, as the tally's own or a corpus's.
template <typename Freq>
TStringListWithFreqPointers* ListOfTally(const TWordTally& tally, const std::vector<Freq>& freq,
                                         bool sortByFrequency) {
  std::unique_ptr<TStringListWithFreqPointers> list(NewWordList(!sortByFrequency));
  std::vector<uint32_t> order = TypesInListOrder(tally, freq, sortByFrequency);
  list->SetCapacity(static_cast<int32_t>(std::min<size_t>(order.size(), INT32_MAX)));
  for (uint32_t t : order) {
    if (freq[t] <= 0) continue;
    const auto f = static_cast<int32_t>(std::min<int64_t>(freq[t], INT32_MAX));
    list->AppendInOrder(std::u16string(tally.Spelling(t)), platform::ObjectFromInt(f));
  }
  return list.release();
}

TStringListWithFreqPointers* ListOfTally(const TWordTally& tally, bool sortByFrequency) {
  return ListOfTally(tally, tally.freq, sortByFrequency);
}

}  // namespace

// ---------------------------------------------------------------------------
// Word lists.

TStringListWithFreqPointers* SimpleTallierOfTxt(View text, int32_t minLength, bool sortByFrequency) {
  TWordTally tally(text.size());
  TallyWords(text, minLength, tally);
  return ListOfTally(tally, sortByFrequency);
}

TStringListWithFreqPointers* SimpleTallierOfTxt(View text, TAcceptWordFunct accept, bool sortByFrequency) {
  TWordTally tally(text.size());
  std::u16string word;
  const char16_t* p = text.data();
  WalkWords(text, [&](size_t start, size_t length) {
    if (accept.Assigned()) {
      word.assign(p + start, length);
      if (!accept(word)) return;
    }
    tally.Count(p + start, length, text.size() - start);
  });
  tally.Total();
  return ListOfTally(tally, sortByFrequency);
}

// ---------------------------------------------------------------------------
// What a corpus's list keeps beside its tally, per entry (word type or
// n-gram, numbered as the tally numbers them): the frequency over the corpus,
// the number of texts, and the entries met in the text being counted with
// their frequencies there.

namespace {

struct TCorpusCounts {
  std::vector<int64_t> freq, texts, lastText;
  std::vector<uint64_t> metFreq;  // in the last text counted; 0 for the entries not met there
  std::vector<uint32_t> met;      // the entries met in the last text counted
  int64_t tokens = 0;
  int64_t textCount = 0;
  int64_t lastTextNumber = 0;

  // Before a text (or a later piece of the same text) is counted.
  void BeginText(int64_t textNumber) {
    for (uint32_t e : met) metFreq[e] = 0;
    met.clear();
    if (textCount == 0 || textNumber != lastTextNumber) ++textCount;
    lastTextNumber = textNumber;
  }
  // Room for the entries below count.
  void Grow(size_t count) {
    if (metFreq.size() < count) metFreq.resize(count, 0);
  }
  void Meet(uint32_t e, uint64_t count) {
    if (metFreq[e] == 0) met.push_back(e);
    metFreq[e] += count;
  }
  // Adds what the text met to the corpus's counts (saturating); the words or
  // n-grams counted in it.
  int64_t EndText(int64_t textNumber) {
    const size_t count = metFreq.size();
    if (freq.size() < count) {
      freq.resize(count, 0);
      texts.resize(count, 0);
      lastText.resize(count, 0);
    }
    int64_t counted = 0;
    for (uint32_t e : met) {
      const auto f = static_cast<int64_t>(std::min<uint64_t>(metFreq[e], INT64_MAX));
      if (__builtin_add_overflow(freq[e], f, &freq[e])) freq[e] = INT64_MAX;
      if (__builtin_add_overflow(counted, f, &counted)) counted = INT64_MAX;
      if (texts[e] == 0 || lastText[e] != textNumber) {
        ++texts[e];
        lastText[e] = textNumber;
      }
    }
    if (__builtin_add_overflow(tokens, counted, &tokens)) tokens = INT64_MAX;
    return counted;
  }
  int32_t MetCount() const noexcept { return static_cast<int32_t>(met.size()); }
  int32_t MetEntry(int32_t i, const char16_t* what) const {
    if (i < 0 || static_cast<size_t>(i) >= met.size()) throw Exception(what);
    return static_cast<int32_t>(met[static_cast<size_t>(i)]);
  }
  int64_t MetFreq(int32_t i, const char16_t* what) const {
    return static_cast<int64_t>(std::min<uint64_t>(metFreq[static_cast<size_t>(MetEntry(i, what))], INT64_MAX));
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// The word list of a corpus.

struct TCorpusWordTally::TImpl {
  size_t minLength = 0;
  std::unique_ptr<TWordTally> tally;  // made with the first text, whose length sizes its first tables
  TCorpusCounts counts;               // per type

  void CheckType(int32_t type) const {
    if (type < 0 || !tally || static_cast<size_t>(type) >= tally->TypeCount()) throw Exception(u"no such word type");
  }
};

TCorpusWordTally::TCorpusWordTally(int32_t minLength) : fImpl(std::make_unique<TImpl>()) {
  fImpl->minLength = static_cast<size_t>(std::max(minLength, 0));
}

TCorpusWordTally::~TCorpusWordTally() = default;

int64_t TCorpusWordTally::AddText(View text, int64_t textNumber) {
  TImpl& m = *fImpl;
  m.counts.BeginText(textNumber);
  if (!m.tally) m.tally = std::make_unique<TWordTally>(text.size());
  TWordTally& tally = *m.tally;
  const char16_t* p = text.data();
  const size_t n = text.size();
  const size_t least = m.minLength;
  // The visit is inlined into the walk (it is one hash lookup per word).
  WalkWords(text, [&](size_t start, size_t length) __attribute__((always_inline)) {
    if (length >= least) tally.CountTracked(p + start, length, n - start);
  });
  m.counts.Grow(tally.TypeCount());
  tally.Drain([&](uint32_t type, uint64_t count) { m.counts.Meet(type, count); });
  return m.counts.EndText(textNumber);
}

int32_t TCorpusWordTally::TypeCount() const noexcept {
  return fImpl->tally ? static_cast<int32_t>(std::min<size_t>(fImpl->tally->TypeCount(), INT32_MAX)) : 0;
}

View TCorpusWordTally::Spelling(int32_t type) const {
  fImpl->CheckType(type);
  return fImpl->tally->Spelling(static_cast<uint32_t>(type));
}

std::string_view TCorpusWordTally::Key(int32_t type) const {
  fImpl->CheckType(type);
  return fImpl->tally->Key(static_cast<uint32_t>(type));
}

int64_t TCorpusWordTally::Freq(int32_t type) const {
  fImpl->CheckType(type);
  return fImpl->counts.freq[static_cast<size_t>(type)];
}

int64_t TCorpusWordTally::Texts(int32_t type) const {
  fImpl->CheckType(type);
  return fImpl->counts.texts[static_cast<size_t>(type)];
}

int64_t TCorpusWordTally::Tokens() const noexcept { return fImpl->counts.tokens; }

int64_t TCorpusWordTally::TextCount() const noexcept { return fImpl->counts.textCount; }

int32_t TCorpusWordTally::Find(View word) const {
  if (!fImpl->tally) return -1;
  const int64_t t = fImpl->tally->Find(word);
  return t < 0 || t > INT32_MAX ? -1 : static_cast<int32_t>(t);
}

int32_t TCorpusWordTally::MetCount() const noexcept { return fImpl->counts.MetCount(); }

int32_t TCorpusWordTally::MetType(int32_t i) const {
  return fImpl->counts.MetEntry(i, u"index outside the words met");
}

int64_t TCorpusWordTally::MetFreq(int32_t i) const {
  return fImpl->counts.MetFreq(i, u"index outside the words met");
}

TStringListWithFreqPointers* TCorpusWordTally::List(bool sortByFrequency) const {
  if (!fImpl->tally) return NewWordList(!sortByFrequency);
  return ListOfTally(*fImpl->tally, fImpl->counts.freq, sortByFrequency);
}

// ---------------------------------------------------------------------------
// N-grams.

namespace {

// N-grams counted by the types of their words; each keeps the spellings of its
// first occurrence for display.
class TNGramTally {
 public:
  // textUnits sizes the first tables, as for the word tally.
  TNGramTally(size_t n, size_t textUnits) : fN(n) {
    const size_t entries = std::clamp<size_t>(textUnits / 8, 8, 512);
    fSlots.assign(std::bit_ceil(entries * 2), 0);
    const size_t words = std::min(entries * std::min<size_t>(n, 8), textUnits / 2 + 1);  // n may be any size
    fTypes.reserve(words);
    fSpellings.reserve(words);
    fHash.reserve(entries);
    fFreq.reserve(entries);
  }

  // Counts the window (n word types, n spellings); true when it is new.
  bool Count(const uint32_t* types, const View* spellings) {
    bool added = false;
    const uint32_t e = Entry(types, spellings, added);
    if (!added && fFreq[e] < INT32_MAX) ++fFreq[e];
    return added;
  }

  // The entry of the window, made (with frequency 1 and the spellings given)
  // when new; counts nothing else.
  uint32_t Entry(const uint32_t* types, const View* spellings, bool& added) {
    const uint64_t h = HashIds(types, fN);
    const auto h32 = static_cast<uint32_t>(h >> 32);
    size_t i = h & (fSlots.size() - 1);
    while (uint32_t s = fSlots[i]) {
      const uint32_t e = s - 1;
      if (fHash[e] == h32 && std::equal(types, types + fN, fTypes.data() + size_t(e) * fN)) {
        added = false;
        return e;
      }
      i = (i + 1) & (fSlots.size() - 1);
    }
    if (fFreq.size() >= UINT32_MAX - 1) throw Exception(u"too many n-grams");
    const auto e = static_cast<uint32_t>(fFreq.size());
    fTypes.insert(fTypes.end(), types, types + fN);
    fSpellings.insert(fSpellings.end(), spellings, spellings + fN);
    fHash.push_back(h32);
    fFreq.push_back(1);
    fSlots[i] = e + 1;
    if (fFreq.size() * 2 > fSlots.size()) Grow();
    added = true;
    return e;
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

  // Gives entry e other spellings (equal ones that outlive the text).
  void Respell(uint32_t e, const View* spellings) {
    std::copy(spellings, spellings + fN, fSpellings.begin() + static_cast<ptrdiff_t>(size_t(e) * fN));
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

namespace {

// The list of n-grams with the given texts and frequencies (freq(e)), in
// frequency order (ties in code-unit order of the texts) or alphabetical.
template <typename Freq>
TStringListWithFreqPointers* ListOfNGrams(std::vector<std::u16string>& texts, Freq&& freq, bool sortByFrequency) {
  std::unique_ptr<TStringListWithFreqPointers> list(NewWordList(!sortByFrequency));
  const size_t count = texts.size();
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  if (sortByFrequency) {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      if (freq(a) != freq(b)) return freq(a) > freq(b);
      return texts[a] < texts[b];
    });
  } else {
    std::vector<std::string> keys(count);
    for (size_t e = 0; e < count; ++e) platform::CollationKey(kListLocale, kCompareFlags, texts[e], keys[e]);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  }
  list->SetCapacity(static_cast<int32_t>(std::min<size_t>(count, INT32_MAX)));
  for (uint32_t e : order) list->AppendInOrder(std::move(texts[e]), platform::ObjectFromInt(freq(e)));
  return list.release();
}

// Calls emit(types, spellings, at) for every window of N words of the text
// (their word types in words, their spellings, the position after the last
// one). Spellings of words pieced together around tags are kept in words.
template <typename Emit>
void WalkNGrams(View text, size_t N, int32_t maxTagLength, TWordTally& words, Emit&& emit) {
  const auto& classes = UnitClasses();
  const size_t len = text.size();
  TTagSkipper tags(text, maxTagLength);
  std::vector<uint32_t> windowTypes;
  std::vector<View> windowSpellings;
  // A window never holds more words than the text has (n may be any size).
  windowTypes.reserve(std::min(N, len / 2 + 1));
  windowSpellings.reserve(std::min(N, len / 2 + 1));
  std::u16string scratch;
  size_t nextYield = kYieldEvery;

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
        emit(windowTypes.data(), windowSpellings.data(), i);
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
}

}  // namespace

TStringListWithFreqPointers* SimpleNGramListOfTxt(View text, int32_t n, int32_t maxTagLength,
                                                  TProgressChangedFunct progress, bool sortByFrequency) {
  if (n < 1) return NewWordList(!sortByFrequency);
  const size_t N = static_cast<size_t>(n);
  const size_t len = text.size();
  TWordTally words(text.size());
  TNGramTally grams(N, len);
  int32_t lastPercent = -1;
  WalkNGrams(text, N, maxTagLength, words, [&](const uint32_t* types, const View* spellings, size_t at) {
    if (grams.Count(types, spellings) && progress.Assigned()) {
      const auto percent = static_cast<int32_t>(len ? (static_cast<uint64_t>(at) * 100) / len : 100);
      if (percent != lastPercent) {
        lastPercent = percent;
        progress(percent);
      }
    }
  });

  const size_t count = grams.Count();
  std::vector<std::u16string> texts(count);
  for (size_t e = 0; e < count; ++e) texts[e] = grams.Text(e);
  grams.ReleaseIndex();
  return ListOfNGrams(texts, [&](size_t e) { return grams.Freq(e); }, sortByFrequency);
}

// ---------------------------------------------------------------------------
// The n-gram list of a corpus.

struct TCorpusNGramTally::TImpl {
  size_t n = 0;
  int32_t maxTagLength = 0;
  std::unique_ptr<TWordTally> words;  // made with the first text, as the grams
  std::unique_ptr<TNGramTally> grams;
  TCorpusCounts counts;  // per n-gram

  void CheckGram(int32_t gram) const {
    if (gram < 0 || !grams || static_cast<size_t>(gram) >= grams->Count()) throw Exception(u"no such n-gram");
  }
};

TCorpusNGramTally::TCorpusNGramTally(int32_t n, int32_t maxTagLength) : fImpl(std::make_unique<TImpl>()) {
  fImpl->n = static_cast<size_t>(std::max(n, 0));
  fImpl->maxTagLength = maxTagLength;
}

TCorpusNGramTally::~TCorpusNGramTally() = default;

int64_t TCorpusNGramTally::AddText(View text, int64_t textNumber) {
  TImpl& m = *fImpl;
  m.counts.BeginText(textNumber);
  if (m.n == 0) return 0;
  if (!m.words) {
    m.words = std::make_unique<TWordTally>(text.size());
    m.grams = std::make_unique<TNGramTally>(m.n, text.size());
  }
  TWordTally& words = *m.words;
  TNGramTally& grams = *m.grams;
  std::vector<View> owned(m.n);
  WalkNGrams(text, m.n, m.maxTagLength, words, [&](const uint32_t* types, const View* spellings, size_t) {
    bool added = false;
    const uint32_t e = grams.Entry(types, spellings, added);
    if (added) {
      // The text goes away after this call: the new n-gram keeps copies.
      for (size_t k = 0; k < m.n; ++k) owned[k] = words.Own(spellings[k]);
      grams.Respell(e, owned.data());
      m.counts.Grow(grams.Count());
    }
    m.counts.Meet(e, 1);
  });
  return m.counts.EndText(textNumber);
}

int32_t TCorpusNGramTally::TypeCount() const noexcept {
  return fImpl->grams ? static_cast<int32_t>(std::min<size_t>(fImpl->grams->Count(), INT32_MAX)) : 0;
}

std::u16string TCorpusNGramTally::Text(int32_t gram) const {
  fImpl->CheckGram(gram);
  return fImpl->grams->Text(static_cast<size_t>(gram));
}

int64_t TCorpusNGramTally::Freq(int32_t gram) const {
  fImpl->CheckGram(gram);
  return fImpl->counts.freq[static_cast<size_t>(gram)];
}

int64_t TCorpusNGramTally::Texts(int32_t gram) const {
  fImpl->CheckGram(gram);
  return fImpl->counts.texts[static_cast<size_t>(gram)];
}

int64_t TCorpusNGramTally::Tokens() const noexcept { return fImpl->counts.tokens; }

int64_t TCorpusNGramTally::TextCount() const noexcept { return fImpl->counts.textCount; }

int32_t TCorpusNGramTally::MetCount() const noexcept { return fImpl->counts.MetCount(); }

int32_t TCorpusNGramTally::MetType(int32_t i) const {
  return fImpl->counts.MetEntry(i, u"index outside the n-grams met");
}

int64_t TCorpusNGramTally::MetFreq(int32_t i) const {
  return fImpl->counts.MetFreq(i, u"index outside the n-grams met");
}

TStringListWithFreqPointers* TCorpusNGramTally::List(bool sortByFrequency) const {
  const size_t count = fImpl->grams ? fImpl->grams->Count() : 0;
  std::vector<std::u16string> texts(count);
  for (size_t e = 0; e < count; ++e) texts[e] = fImpl->grams->Text(e);
  const auto freq = [this](size_t e) {
    return static_cast<int32_t>(std::min<int64_t>(fImpl->counts.freq[e], INT32_MAX));
  };
  return ListOfNGrams(texts, freq, sortByFrequency);
}

// ---------------------------------------------------------------------------
// Comparing two texts.

TFreqDifference BagOfWordsSimilar(View text1, View text2, int32_t maxDifference, int32_t minFrequency,
                                  int32_t minLength) {
  TFreqDifference result;
  const std::u16string upper1 = platform::UpperCased(text1), upper2 = platform::UpperCased(text2);
  TWordTally tally1(upper1.size()), tally2(upper2.size());
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
  TWordTally tally2(text2.size());
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
