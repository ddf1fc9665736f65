// A cheap, exact test on the raw bytes of a text, before it is decoded: can
// the text hold a hit of any of a request's search words at all?
//
// A hit of a search word matches each of its plain units (not a wildcard, a
// space or a tag code) against one of the word's case copies, and a run of
// plain units against that many consecutive characters, as long as the
// detail array holds no markup and no markers; that is so for every text the
// search-and-do engine classifies itself (PrepareFirst, SetABuffer). So a
// text in which the longest such run never occurs, in any mixture of the
// copies' units, holds no hit. In UTF-8, and in a single-byte code page whose
// bytes below 0x80 are ASCII and whose other bytes are not, an ASCII unit is
// exactly one byte of the same value, so the run can be sought in the bytes
// themselves; in UTF-16 it is sought unit by unit in the file's byte order.
//
// The answer "cannot hold a hit" is exact; "may hold one" only means the text
// must be decoded and searched. A search word with no usable run, an
// encoding or code page the test does not know, or copies already narrowed
// to a code page always give "may hold one".
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Export.h"
#include "platform/StringList.h"
#include "runtime1/search/Search_parsing.h"

namespace qn {

class QN_API TRawTextPrefilter {
 public:
  // The bytes are searched with the widest vector instructions the
  // processor has, up to widestLevel (3: AVX-512BW, 2: AVX2, 1: SSE2,
  // 0: none), so that tests and benchmarks can run every form on one
  // machine; all answer alike.
  explicit TRawTextPrefilter(int widestLevel = 3) noexcept;
  // The widest level this processor has.
  static int ProcessorLevel() noexcept;

  // Adds a search word whose hits are wanted (not a word to avoid).
  void Add(const TSearch_word_format_rec& item);
  // Whether the text of these bytes, decoded in encoding (kEncodingDefault:
  // the active code page; kEncodingUTF8; kEncodingUTF16LE or BE; or a code
  // page number), may hold a hit of one of the words added. The bytes are
  // taken whole: a byte-order mark, a final odd byte of UTF-16 and the bytes
  // after a zero unit can only make the answer "may hold one". With no word
  // added: false.
  bool MayHoldAHit(std::span<const uint8_t> bytes, platform::TTextEncoding encoding) const;
  // Whether some word added can never be ruled out this way.
  bool AlwaysMayHold() const noexcept { return fAlways; }

  // One run of plain units: at each position the units it may match. The
  // run is sought first by its two rarest positions (in running text), whose
  // units seldom stand at that distance from each other by chance.
  struct TRun {
    std::vector<std::array<char16_t, 3>> units;
    size_t rare = 0;      // the rarest position
    size_t nextRare = 0;  // the next rarest (rare itself in a run of one unit)
  };

 private:
  std::vector<TRun> fWide;   // the longest run of each word, any units
  std::vector<TRun> fBytes;  // the longest run of ASCII units of each word
  bool fAlways = false;      // a word without any run
  bool fAlwaysInBytes = false;  // a word without a run of ASCII units
  int fLevel = 0;               // the vector instructions used
};

}  // namespace qn
