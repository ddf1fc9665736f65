// The search-and-do engine, its word-list variant, the hit list and the
// markup encoder.
#include "runtime1/search/Search_engines.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/CaseMapping.h"
#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Locales.h"
#include "platform/Memory.h"
#include "platform/YieldHook.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/text/Bare_assemb3.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

bool Global_in_heading = false;
int32_t Global_LowestJumpTo = 0;

namespace {

constexpr char16_t kStarCode = 0x001D;
constexpr int32_t kLogCharacters = 50;

// The four case copies of a work form, made as the search-word parser makes
// them.
std::array<std::u16string, 4> CaseCopiesOf(const std::u16string& s) {
  std::array<std::u16string, 4> c;
  c[unchanged_copy] = s;
  c[upper_copy] = platform::UpperCased(s);
  c[lower_copy] = platform::LowerCased(s);
  c[title_copy] = c[lower_copy];
  if (!c[upper_copy].empty() && !c[title_copy].empty()) c[title_copy][0] = c[upper_copy][0];
  return c;
}

// w in the code page, one byte value per code unit; false when the code page
// cannot represent it (the converter would put its default character in).
bool Narrowed(uint32_t codePage, const std::u16string& w, std::u16string& out) {
  out.clear();
  if (w.empty()) return true;
  const int32_t count = static_cast<int32_t>(w.size());
  const int32_t need = platform::WideCharToMultiByte(codePage, platform::WC_COMPOSITECHECK,
                                                     w.data(), count, nullptr, 0);
  if (need <= 0) return false;
  std::string bytes(static_cast<size_t>(need), '\0');
  bool usedDefault = false;
  const int32_t got =
      platform::WideCharToMultiByte(codePage, platform::WC_COMPOSITECHECK, w.data(), count,
                                    bytes.data(), need, nullptr, &usedDefault);
  if (got <= 0 || usedDefault) return false;
  out.reserve(static_cast<size_t>(got));
  for (int32_t i = 0; i < got; ++i)
    out.push_back(static_cast<uint8_t>(bytes[static_cast<size_t>(i)]));
  return true;
}

// Characters of a buffer as text for the log: 8-bit ones decoded with the code
// page.
std::u16string LogText(const void* at, int32_t count, bool unicode, uint32_t codePage) {
  if (count <= 0) return {};
  if (unicode) return std::u16string(static_cast<const char16_t*>(at), static_cast<size_t>(count));
  return platform::Decoded(
      codePage, std::string_view(static_cast<const char*>(at), static_cast<size_t>(count)));
}

// A search-word copy for the log (narrowed copies hold byte values).
std::u16string LogCopy(const std::u16string& copy, bool narrowed, uint32_t codePage) {
  if (!narrowed) return copy;
  std::string bytes;
  for (const char16_t c : copy) bytes.push_back(static_cast<char>(c));
  return platform::Decoded(codePage, bytes);
}

std::u16string Hex6(uint64_t value) { return platform::IntToHex(value, 6); }

// The units before the terminating zero. Whole aligned blocks of 16 bytes
// (of 64 once the text is so aligned) are read, which never cross into another
// page (but may read past the terminator inside the block, which the address
// sanitizer would report: its builds take the plain loop).
#if defined(__SANITIZE_ADDRESS__)
#define QN_PLAIN_LENGTH 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QN_PLAIN_LENGTH 1
#endif
#endif
// At most limit: the text goes on beyond it.
size_t LengthOf(const char16_t* text, size_t limit) {
  size_t i = 0;
#if defined(__SSE2__) && !defined(QN_PLAIN_LENGTH)
  while (i < limit && reinterpret_cast<uintptr_t>(text + i) % 16 != 0) {
    if (text[i] == 0) return i;
    ++i;
  }
  const __m128i zero = _mm_setzero_si128();
  auto zeros = [&](size_t at) {
    return _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(text + at)), zero);
  };
  // Up to a 64-byte boundary, then four blocks with one test: an aligned group
  // of 64 bytes lies in one page too.
  for (; i < limit && reinterpret_cast<uintptr_t>(text + i) % 64 != 0; i += 8) {
    const int mask = _mm_movemask_epi8(zeros(i));
    if (mask != 0) return std::min(limit, i + static_cast<size_t>(__builtin_ctz(mask)) / 2);
  }
  for (; i < limit; i += 32) {
    const __m128i a = zeros(i), b = zeros(i + 8), c = zeros(i + 16), d = zeros(i + 24);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) continue;
    const uint64_t mask = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(a))) |
                          static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(b))) << 16 |
                          static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(c))) << 32 |
                          static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(d))) << 48;
    return std::min(limit, i + static_cast<size_t>(__builtin_ctzll(mask)) / 2);
  }
  return limit;
#else
  while (i < limit && text[i] != 0) ++i;
  return i;
#endif
}

// At least need words of storage, reallocated (not zeroed) only to grow; the
// first keep words are kept. A large area is taken in huge pages: a detail
// array for 100 MB of text would otherwise cost 25,000 page faults when it is
// first written, more than classifying the text.
uint16_t* Grown(std::unique_ptr<uint16_t[]>& storage, size_t& capacity, size_t need,
                size_t keep = 0) {
  if (capacity < need) {
    const size_t grown = std::max(need, capacity + capacity / 2);
    std::unique_ptr<uint16_t[]> larger(new uint16_t[grown]);
    platform::AdviseHugePages(larger.get(), grown * sizeof(uint16_t));
    if (keep > 0) std::memcpy(larger.get(), storage.get(), keep * sizeof(uint16_t));
    storage = std::move(larger);
    capacity = grown;
  }
  return storage.get();
}

}  // namespace

// --- TSearchAndDoEngine ---------------------------------------------------------------

TSearchAndDoEngine::TSearchAndDoEngine(bool ABufferInUnicode, bool ASearchWordsInUnicode,
                                       uint32_t AnLCID, uint16_t* ABufferDetails)
    : fBufferDetails(ABufferDetails),
      fBufferDetailsStart(ABufferDetails),
      fPreAssigned(ABufferDetails != nullptr),
      fSearchWordsInUnicode(ASearchWordsInUnicode),
      fBufferInUnicode(ABufferInUnicode),
      fLCID(AnLCID) {
  Codepage = static_cast<int32_t>(platform::LCIDToCodePage(AnLCID));
}

TSearchAndDoEngine::~TSearchAndDoEngine() = default;

void TSearchAndDoEngine::ReleaseOwnDetails() noexcept {
  if (!fPreAssigned && fBufferDetails != nullptr) {
    fBufferDetails = nullptr;
    fBufferDetailsStart = nullptr;
    fBufferDetailsEnd = nullptr;
  }
  fOwnDetailsPlain = false;  // the storage stays for the next buffer
}

void TSearchAndDoEngine::Classify(const void* text, int32_t count, uint16_t* out) const {
  if (count > 0) {
    if (fBufferInUnicode) {
      platform::GetStringTypeExW(fLCID, platform::CT_CTYPE1, static_cast<const char16_t*>(text),
                                 count, out);
    } else {
      platform::GetStringTypeExA(fLCID, platform::CT_CTYPE1, static_cast<const char*>(text), count,
                                 out);
    }
  }
  out[count] = 0;
  out[count + 1] = 0;
}

void TSearchAndDoEngine::SetABuffer(const void* b) {
  ReleaseOwnDetails();
  fBuffer = b;
  if (b == nullptr) {
    fBuffer_Characters = 0;
    fBufferDetailsEnd = nullptr;
    return;
  }
  // Lengths are 32-bit: a longer text is searched up to that limit.
  constexpr size_t kMaxCharacters = INT32_MAX - 2;
  if (fBufferInUnicode && !fPreAssigned) {
    // Length and classes in one pass, as far as the storage reaches; a text
    // longer than any before has the rest of its length found first, so that
    // the array grows once, to its size, instead of block after block (each
    // time copied and faulted in again).
    const char16_t* text = static_cast<const char16_t*>(b);
    size_t n = 0;
    for (;;) {
      const size_t upTo = std::min(fOwnCapacity < 2 ? 0 : fOwnCapacity - 2, kMaxCharacters);
      if (n < upTo) n += platform::CharTypes1UpToZero(text + n, upTo - n, fOwnStorage.get() + n);
      if (n < upTo || n == kMaxCharacters) break;
      const size_t total = n + LengthOf(text + n, kMaxCharacters - n);
      if (total == n) break;
      Grown(fOwnStorage, fOwnCapacity, total + 2, n);
    }
    fBuffer_Characters = static_cast<int32_t>(n);
    fBufferDetails = Grown(fOwnStorage, fOwnCapacity, n + 2, n);  // room for the two zeros
    fBufferDetails[n] = 0;
    fBufferDetails[n + 1] = 0;
    fBufferDetailsEnd = fBufferDetails + n + 1;
    fOwnDetailsPlain = true;
    fBufferDetailsStart = fBufferDetails;
    return;
  }
  const size_t length = fBufferInUnicode ? LengthOf(static_cast<const char16_t*>(b), kMaxCharacters)
                                         : std::strlen(static_cast<const char*>(b));
  fBuffer_Characters = static_cast<int32_t>(std::min<size_t>(length, kMaxCharacters));
  if (!fPreAssigned) {
    fBufferDetails = Grown(fOwnStorage, fOwnCapacity, static_cast<size_t>(fBuffer_Characters) + 2);
    Classify(b, fBuffer_Characters, fBufferDetails);
    fBufferDetailsEnd = fBufferDetails + fBuffer_Characters + 1;
    fOwnDetailsPlain = true;
  } else if (fBufferDetailsEnd == nullptr && fBufferDetails != nullptr) {
    // A caller's array given without its end (at creation) is taken to
    // cover the buffer; an end the caller set is kept and checked.
    fBufferDetailsEnd = fBufferDetails + fBuffer_Characters + 1;
  }
  fBufferDetailsStart = fBufferDetails;
}

void TSearchAndDoEngine::PrepareFirst(const void* ABuffer, int32_t AComplete_file_Size,
                                      uint32_t ABufferStartPosInFile,
                                      TSearchFoundEvent ASearchFoundEvent,
                                      TWordCountEvent AWordCountEvent) {
  FileBytePos = ABufferStartPosInFile;
  fSearchFoundEvent = ASearchFoundEvent;
  fWordCountEvent = AWordCountEvent;
  SetABuffer(ABuffer);
  fComplete_file_size = AComplete_file_Size;
  fReady = fSearchFoundEvent.Assigned();
}

void TSearchAndDoEngine::PrepareForConcordancing(
    std::u16string_view AFilename, const void* AStartOfText, uint16_t* ABufferDetails,
    uint16_t* ABufferDetailsEnd, int32_t AComplete_file_Size, int32_t ABuffer_Characters,
    uint32_t ABufferStartPosInFile, bool ASkipPunctuation, TSearchFoundEvent ASearchFoundEvent,
    TWordCountEvent AWordCountEvent) {
  fFilename = AFilename;
  fComplete_file_size = AComplete_file_Size;
  fSkipPunctuation = ASkipPunctuation;
  FileBytePos = ABufferStartPosInFile;
  fSearchFoundEvent = ASearchFoundEvent;
  fWordCountEvent = AWordCountEvent;
  fPreAssigned = false;
  SetABuffer(nullptr);
  fBuffer = AStartOfText;
  fBufferDetailsEnd = ABufferDetailsEnd;
  fBufferDetails = ABufferDetails;
  fBufferDetailsStart = ABufferDetails;
  fPreAssigned = ABufferDetails != nullptr;
  fBuffer_Characters = ABuffer_Characters < 0 ? 0 : ABuffer_Characters;
  fReady = fSearchFoundEvent.Assigned();
}

void TSearchAndDoEngine::HandleAllowables(std::u16string_view wide_allowables,
                                          bool allow_middles_at_right, bool allow_middles_at_left) {
  MyYieldProcess();
  if (fBuffer == nullptr || fBufferDetails == nullptr) return;
  int32_t n = fBuffer_Characters;
  // Never write past an array that covers fewer characters.
  if (fBufferDetailsEnd != nullptr)
    n = static_cast<int32_t>(std::min<std::ptrdiff_t>(n, fBufferDetailsEnd - fBufferDetails - 1));
  if (n <= 0) return;
  fOwnDetailsPlain = false;
  const uint16_t count = static_cast<uint16_t>(std::min<size_t>(wide_allowables.size(), 0xFFFF));
  HandleMiddleChars(fBuffer, fBufferDetails, wide_allowables.data(), count, n, fBufferInUnicode,
                    allow_middles_at_right, allow_middles_at_left);
}

void TSearchAndDoEngine::SetLCID(uint32_t lcid) {
  if (lcid == fLCID) return;
  fLCID = lcid;
  fOwnDetailsPlain = false;  // 8-bit classes depend on the code page
  Codepage = static_cast<int32_t>(platform::LCIDToCodePage(lcid));
}

void TSearchAndDoEngine::SetArrayOfTagsFound(const TTagsFoundArray& anArrayOfTagsFound) {
  Arr_OfTextMarkersFound = anArrayOfTagsFound;
}

void TSearchAndDoEngine::ClearChunkTextStats() noexcept { ThisFileChunk_Stats = TSearchStatsRec{}; }

void TSearchAndDoEngine::Cancel() {
  fCancelled = true;
  MyYieldProcess();
}

void TSearchAndDoEngine::SetSearchFoundEvent(TSearchFoundEvent e) noexcept {
  fSearchFoundEvent = e;
  fReady = e.Assigned();
}

void TSearchAndDoEngine::SetBufferDetails(uint16_t* details) noexcept {
  if (details == fBufferDetails) return;
  fOwnDetailsPlain = false;
  fBufferDetails = details;
  fPreAssigned = details != nullptr;
}

bool TSearchAndDoEngine::PrepareCopies(TSearch_word_format_rec& item, int32_t& L) {
  const bool caseSensitive = item.flags.Contains(myCaseIsSensitive);
  if (fBufferInUnicode) {
    if (item.copies_converted) {
      item.copies = CaseCopiesOf(item.search_text);
      item.copies_converted = false;
    }
    if (caseSensitive) {
      item.copies[upper_copy] = item.copies[lower_copy] = item.copies[title_copy] =
          item.copies[unchanged_copy];
    }
    if (item.search_text.size() > INT32_MAX / 2) return false;
    L = static_cast<int32_t>(item.search_text.size());
  } else {
    std::array<std::u16string, 4> wide =
        item.copies_converted ? CaseCopiesOf(item.search_text) : item.copies;
    if (caseSensitive)
      wide[upper_copy] = wide[lower_copy] = wide[title_copy] = wide[unchanged_copy];
    std::array<std::u16string, 4> narrow;
    for (size_t i = 0; i < 4; ++i) {
      if (!Narrowed(static_cast<uint32_t>(Codepage), wide[i], narrow[i])) return false;
    }
    if (narrow[0].empty() || narrow[0].size() > INT32_MAX / 2) return false;
    for (size_t i = 1; i < 4; ++i) {
      if (narrow[i].size() != narrow[0].size()) return false;
    }
    item.copies = std::move(narrow);
    item.copies_converted = true;
    L = static_cast<int32_t>(item.copies[unchanged_copy].size());
  }
  for (const sw_copy_type c : {upper_copy, lower_copy, title_copy}) {
    if (item.copies[c].size() < static_cast<size_t>(L)) return false;
  }
  return L > 0;
}

bool TSearchAndDoEngine::SearchAndDo(TSearch_word_format_rec* item, int32_t item_num) {
  current_search_number = item_num;
  return SearchAndDo(item);
}

bool TSearchAndDoEngine::SearchAndDo(TSearch_word_format_rec* item) {
  if (!fReady || fBuffer == nullptr || item == nullptr || item->search_text.empty()) {
    if (keeping_log) {
      AddToLogFile(platform::Format(u"item = nil: %s and buffer = nil: %s ",
                                    std::u16string(item == nullptr ? u"True" : u"False"),
                                    std::u16string(fBuffer == nullptr ? u"True" : u"False")));
    }
    return false;
  }
  const int32_t length = fBuffer_Characters;
  if (fBufferDetails == nullptr || fBufferDetailsEnd == nullptr ||
      fBufferDetailsEnd - fBufferDetails - 1 < length) {
    if (keeping_log) AddToLogFile(u"detail array shorter than the buffer: search not run");
    return false;
  }
  fCancelled = false;
  fChega = false;
  const int32_t wanted = item->n_to_find < 1 ? INT32_MAX : item->n_to_find;
  int32_t L = 0;
  if (!PrepareCopies(*item, L)) {
    if (keeping_log) {
      AddToLogFile(platform::Format(u"search word \"%s\" cannot be searched in code page %d",
                                    item->typed_in_text, Codepage));
    }
    return false;
  }

  const size_t unit = fBufferInUnicode ? sizeof(char16_t) : 1;
  const char* base = static_cast<const char*>(fBuffer);
  int32_t start = 0;
  if (Global_LowestJumpTo > 0) {
    const int32_t jump = Global_LowestJumpTo / static_cast<int32_t>(unit);
    start = std::min(jump, length);
  }

  const bool logging = keeping_log && !IsAdditionalEngine;
  const bool narrowed = !fBufferInUnicode;
  const uint32_t codePage = static_cast<uint32_t>(Codepage);
  if (logging) {
    std::u16string line = u"seeking \r\n";
    for (const sw_copy_type c : {upper_copy, lower_copy, title_copy})
      line += u"\"" + LogCopy(item->copies[c], narrowed, codePage) + u"\"\r\n";
    line += u"and file begins \"" +
            LogText(base + static_cast<size_t>(start) * unit,
                    std::min(kLogCharacters, length - start), fBufferInUnicode, codePage) +
            u"...\"";
    AddToLogFile(line);
  }

  // What the search runs over; a yield or an event that changes any of it
  // stops the search.
  const void* const buffer = fBuffer;
  const uint16_t* const details = fBufferDetails;
  const uint16_t* const detailsEnd = fBufferDetailsEnd;
  auto unchanged = [&] {
    return fBuffer == buffer && fBufferDetails == details && fBufferDetailsEnd == detailsEnd &&
           fBuffer_Characters == length;
  };

  TMatchRequest r;
  r.upper = item->copies[upper_copy].data();
  r.lower = item->copies[lower_copy].data();
  r.title = item->copies[title_copy].data();
  r.L = L;
  r.caseSensitive = item->flags.Contains(myCaseIsSensitive);
  r.leftBounded = item->flags.Contains(myLeftBounded);
  r.rightBounded = item->flags.Contains(myRightBounded);
  r.bufferIsUnicode = fBufferInUnicode;
  r.has15 = Arr_OfTextMarkersFound.At(ts_sentence_end2) > 0;
  r.has17 = Arr_OfTextMarkersFound.At(ts_paragraph_end2) > 0;
  r.has19 = Arr_OfTextMarkersFound.At(ts_heading_end) > 0;
  r.has21 = Arr_OfTextMarkersFound.At(ts_section_end2) > 0;

  TSearchFound_Rec found{};
  TMatcherMemo memo;
  try {
    int32_t position = start;
    uint32_t accepted = 0;
    for (;;) {
      MyYieldProcess();
      if (!unchanged()) break;
      const int32_t i = position;
      const int32_t remaining = length - i;
      if (remaining < 1) break;
      r.text = base + static_cast<size_t>(i) * unit;
      r.n = remaining;
      r.details = details + i;
      r.detailsStart = fBufferDetailsStart;
      r.detailsEnd = detailsEnd;
      r.skipPunctuation = fSkipPunctuation;
      int32_t full = 0, exact = 0;
      const int32_t at =
          FindWantedInBuffer(r, ThisFileChunk_Stats, Global_in_heading, full, exact, &memo);
      if (at < 0) break;
      const int32_t hit = i + at;
      const uint64_t byteInFile = static_cast<uint64_t>(hit) * unit + FileBytePos;

      found.start_of_text = buffer;
      found.start_of_memory = buffer;
      found.where_hit_started = base + static_cast<size_t>(hit) * unit;
      found.percent_of_file =
          fComplete_file_size > 0
              ? static_cast<float>(static_cast<double>(byteInFile) * 100.0 / fComplete_file_size)
              : 0.0f;
      found.hit_pos_in_wchar_kinds = hit;
      found.FileBytePos = FileBytePos;
      found.exact_hit_len = exact;
      found.hit_characters = full;
      found.search_number = current_search_number;
      found.hit_pos_in_characters = hit;
      found.count_stats = ThisFileChunk_Stats;
      if (!Global_in_heading) {
        found.count_stats.number[heading_stats] = -1;
        found.count_stats.position[heading_stats] = -1;
      }
      fHits_found = static_cast<int32_t>(static_cast<uint32_t>(fHits_found) + 1);
      ++accepted;
      if (logging) {
        std::u16string shown =
            LogText(found.where_hit_started, std::min(kLogCharacters, length - hit),
                    fBufferInUnicode, codePage);
        for (char16_t& c : shown) {
          if (c == 0x18)
            c = u'>';
          else if (c == 0x19)
            c = u'<';
          else if (c < 0x20)
            c = u' ';
        }
        AddToLogFile(u"(" + platform::IntToStr(fHits_found) + u") \"" + shown + u"\" at chunk " +
                     Hex6(FileBytePos) + u"+" + Hex6(static_cast<uint64_t>(hit)) + u"= byte " +
                     Hex6(byteInFile) + u"\tdone: " + Hex6(static_cast<uint64_t>(i)) +
                     u"\tto go: " + Hex6(static_cast<uint64_t>(remaining)) + u"\t" +
                     platform::Format(u"%g", static_cast<double>(found.percent_of_file)) + u"%" +
                     u" words = " + platform::IntToStr(found.count_stats.number[word_stats]));
      }
      if (!fSearchFoundEvent(this, found)) --accepted;
      position = hit + 1;
      if (accepted >= static_cast<uint32_t>(wanted) || fChega || fCancelled) break;
    }
  } catch (const std::exception&) {
    throw Exception(u"problem searching " + fFilename + u" for \"" + item->typed_in_text + u"\"");
  }
  if (fWordCountEvent.Assigned()) fWordCountEvent(this, ThisFileChunk_Stats);
  return true;
}

// --- TAdditionalSearchAndDoEngine ---------------------------------------------------------

TAdditionalSearchAndDoEngine::TAdditionalSearchAndDoEngine(bool ABufferInUnicode,
                                                           bool ASearchWordsInUnicode,
                                                           uint32_t AnLCID,
                                                           uint16_t* ABufferDetails)
    : TSearchAndDoEngine(ABufferInUnicode, ASearchWordsInUnicode, AnLCID, ABufferDetails) {
  IsAdditionalEngine = true;
}

// --- TTallySearchAndDo ------------------------------------------------------------------------

void TTallySearchAndDo::SetSearchWord(std::u16string_view aSearchWord, TMySearchFlags AFlags) {
  flags = AFlags;
  if (AFlags.Contains(myCaseIsSensitive)) {
    search_text = lo_copy = title_copy = std::u16string(aSearchWord);
  } else {
    search_text = platform::UpperCased(aSearchWord);
    lo_copy = platform::LowerCased(aSearchWord);
    title_copy = TitleCase(aSearchWord, true);
  }
  fNarrowedOk = false;
  if (!fBufferInUnicode) {
    const uint32_t codePage = static_cast<uint32_t>(Codepage);
    fNarrowedOk =
        Narrowed(codePage, search_text, fNarrowed[0]) &&
        Narrowed(codePage, lo_copy, fNarrowed[1]) && Narrowed(codePage, title_copy, fNarrowed[2]) &&
        fNarrowed[0].size() == fNarrowed[1].size() && fNarrowed[0].size() == fNarrowed[2].size();
  }
}

bool TTallySearchAndDo::QuickSearchFoundIgnoringTags() {
  const std::u16string* upper = &search_text;
  const std::u16string* lower = &lo_copy;
  const std::u16string* title = &title_copy;
  if (!fBufferInUnicode) {
    if (!fNarrowedOk) return false;
    upper = &fNarrowed[0];
    lower = &fNarrowed[1];
    title = &fNarrowed[2];
  }
  size_t L = std::min({upper->size(), lower->size(), title->size()});
  if (L > 0 && (*lower)[L - 1] == kStarCode) --L;
  const int32_t n = fBuffer_Characters;
  if (L == 0 || fBuffer == nullptr || static_cast<size_t>(n) < L) return false;

  // The engine's own array is the one wanted when nothing has changed it since
  // SetABuffer built it; otherwise the text is classified again.
  uint16_t* details = fBufferDetails;
  if (!fOwnDetailsPlain || fBufferDetails == nullptr) {
    details = Grown(fScratchDetails, fScratchCapacity, static_cast<size_t>(n) + 2);
    Classify(fBuffer, n, details);
  }
  TMatchRequest r;
  r.text = fBuffer;
  r.n = n;
  r.details = r.detailsStart = details;
  r.detailsEnd = details + n + 1;
  r.upper = upper->data();
  r.lower = lower->data();
  r.title = title->data();
  r.L = static_cast<int32_t>(L);
  r.caseSensitive = flags.Contains(myCaseIsSensitive);
  r.leftBounded = flags.Contains(myLeftBounded);
  r.rightBounded = flags.Contains(myRightBounded);
  r.bufferIsUnicode = fBufferInUnicode;
  r.skipPunctuation = fSkipPunctuation;
  r.has15 = Arr_OfTextMarkersFound.At(ts_sentence_end2) > 0;
  r.has17 = Arr_OfTextMarkersFound.At(ts_paragraph_end2) > 0;
  r.has19 = Arr_OfTextMarkersFound.At(ts_heading_end) > 0;
  r.has21 = Arr_OfTextMarkersFound.At(ts_section_end2) > 0;
  TSearchStatsRec scratch{};
  int32_t full = 0, exact = 0;
  return FindWantedInBuffer(r, scratch, Global_in_heading, full, exact) >= 0;
}

// --- TSearchFoundList -----------------------------------------------------------------------

namespace {
int64_t OffsetKey(const void* P) {
  const TSearchFound_Rec& d = static_cast<const TSearchFoundHolder*>(P)->data();
  return static_cast<const char*>(d.where_hit_started) -
         static_cast<const char*>(d.start_of_memory);
}
}  // namespace

TSearchFoundList::~TSearchFoundList() { TSearchFoundList::Clear(); }

void TSearchFoundList::Clear() {
  for (int32_t i = 0; i < Count(); ++i) delete static_cast<TSearchFoundHolder*>(Get(i));
  T3SortYieldingList::Clear();
}

void TSearchFoundList::SetBase(void* P, int32_t /*SortVar*/) { fBase = OffsetKey(P); }

int32_t TSearchFoundList::Compare(void* a) {
  const int64_t key = OffsetKey(a);
  if (key == fBase) return 0;
  return key > fBase ? -1 : 1;
}

// --- Markup -------------------------------------------------------------------------------------

std::u16string CleanToTagOnOff(std::u16string_view s) {
  std::u16string out(s);
  size_t close = 0;  // the first ">" after the current "<", or s.size()
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'<') continue;
    if (close <= i) {
      close = i + 1;
      while (close < s.size() && s[close] != u'>') ++close;
    }
    if (close >= s.size()) break;  // no ">" after this "<" nor after any later one
    out[i] = 0x19;
    out[close] = 0x18;
  }
  return out;
}

}  // namespace qn
