// A deliberately plain second matcher, for the tests and the fuzz target only:
// every rule of Buffer_matcher.h written out in the most direct way, with no
// run memory, no shortcuts for literal first units and no attention to speed.
// It first looks for the hit, trying every start in turn, and only then counts
// the characters up to it, so the two halves of the job are checked
// separately. The real matcher must agree with it on the hit, both lengths,
// every count and every section-end call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime1/search/Buffer_matcher.h"
#include "runtime1/text/Bare_assemb3.h"

namespace qn::reference {

class TReferenceMatcher {
 public:
  explicit TReferenceMatcher(const TMatchRequest& r) : r_(r) {}

  int32_t Find(TSearchStatsRec& stats, bool& inHeading, int32_t& hitCharacters,
               int32_t& exactHitLen) {
    if (r_.L <= 0 || r_.n <= 0 || r_.text == nullptr || r_.details == nullptr ||
        r_.lower == nullptr || (!r_.caseSensitive && (r_.upper == nullptr || r_.title == nullptr)))
      return -1;
    n_ = r_.n;
    if (r_.detailsEnd != nullptr) {
      const long covered = static_cast<long>(r_.detailsEnd - r_.details) - 1;
      if (covered <= 0) return -1;
      if (covered < n_) n_ = static_cast<int32_t>(covered);
    }
    for (int32_t k = 0; k < n_; ++k) {
      text_.push_back(r_.bufferIsUnicode ? static_cast<const char16_t*>(r_.text)[k]
                                         : static_cast<const uint8_t*>(r_.text)[k]);
      details_.push_back(r_.details[k]);
    }

    int32_t hit = -1;
    for (int32_t s = 0; s < n_ && hit < 0; ++s) {
      if (InMarkup(s) && r_.lower[0] != 0x19) continue;
      if (r_.leftBounded && HasCharacterBefore(s)) {
        const uint16_t before = s > 0 ? Detail(s - 1) : r_.details[-1];
        if (WordCharacter(before) && (before & 0x0800) == 0) continue;
      }
      const int32_t end = MatchUnits(0, s, false, TStar());
      if (end < 0) continue;
      if (r_.rightBounded && end < n_ && WordCharacter(Detail(end))) continue;
      int32_t full = end;
      if (!r_.rightBounded) {
        while (full < n_ && (WordCharacter(Detail(full)) || Detail(full) == 0x0200)) ++full;
      }
      hit = s;
      exactHitLen = end - s;
      hitCharacters = full - s;
    }
    Count(hit >= 0 ? hit : n_ - 1, stats, inHeading);
    return hit;
  }

 private:
  struct TStar {
    bool pending = false;
    int32_t at = 0;  // the star's unit
    bool inMarkup = false;
  };

  // Details beyond the characters read as 0.
  uint16_t Detail(int32_t k) const { return k < n_ ? details_[static_cast<size_t>(k)] : 0; }
  char16_t Char(int32_t k) const { return text_[static_cast<size_t>(k)]; }
  static bool Marker(uint16_t d) { return (d & 0x8000) != 0; }
  static bool White(uint16_t d) { return !Marker(d) && (d & 0x0068) != 0; }
  static bool Separator(uint16_t d) { return !Marker(d) && (d & 0x0078) != 0; }
  static bool WordCharacter(uint16_t d) { return !Marker(d) && (d & 0x0104) != 0; }
  bool InMarkup(int32_t k) const { return !Marker(Detail(k)) && (Detail(k) & 0x0800) != 0; }
  bool HasCharacterBefore(int32_t s) const {
    return s > 0 || (r_.detailsStart != nullptr && r_.detailsStart < r_.details);
  }
  bool Same(char16_t c, int32_t j) const {
    if (c == r_.lower[j]) return true;
    if (r_.caseSensitive) return false;
    return c == r_.upper[j] || c == r_.title[j];
  }
  bool NextUnitIsSpace(int32_t j) const { return j + 1 < r_.L && r_.lower[j + 1] == u' '; }

  // The end of the text matched by units j.. from k on, or -1.
  int32_t MatchUnits(int32_t j, int32_t k, bool inMarkup, TStar star) const {
    if (j == r_.L) return k;
    const char16_t w = r_.lower[j];
    if (w == 0x19) inMarkup = true;
    if (j > 0 && !inMarkup) {
      while (k < n_ && InMarkup(k)) ++k;
    }
    if (k >= n_) return -1;
    const char16_t c = Char(k);
    const uint16_t d = Detail(k);
    int32_t after = -1;
    int32_t nextUnit = j + 1;

    if (w == 0x1A) {
      after = k + 1;
      if (inMarkup) {
        while (after < n_ && Char(after) != u' ') ++after;
        if (j + 1 < r_.L) {
          nextUnit = j + 2;
          if (r_.lower[j + 1] == 0x19) inMarkup = true;
          if (r_.lower[j + 1] == 0x18) inMarkup = false;
        }
      } else {
        while (after < n_ && (InMarkup(after) || !White(Detail(after)))) ++after;
      }
    } else if (w == 0x1D) {
      if (j + 1 == r_.L || r_.lower[j + 1] == u' ') {
        if (Separator(d)) {
          after = k;
        } else {
          after = k + 1;
          while (after < n_ && !Separator(Detail(after))) ++after;
        }
      } else {
        TStar now;
        now.pending = true;
        now.at = j;
        now.inMarkup = inMarkup;
        return LookForUnitAfterStar(now, k);
      }
    } else if (w == 0x1E || w == 0x1C) {
      if (NextUnitIsSpace(j) && Separator(d)) {
        if (j > 0) after = k;
      } else {
        const uint16_t wanted = w == 0x1E ? 0x0100 : 0x0114;
        if (!Marker(d) && (d & wanted) != 0) after = k + 1;
      }
    } else if (w == 0x1B) {
      if (!Marker(d) && (d & 0x0004) != 0) {
        after = k + 1;
        while (after < n_ && !Marker(Detail(after)) && (Detail(after) & 0x0004) != 0) ++after;
      }
    } else if (w == u' ') {
      const bool asSpace = Same(c, j) || (!inMarkup && White(d));
      if (asSpace || (!inMarkup && Separator(d))) {
        after = k + 1;
        if (asSpace || r_.skipPunctuation) {
          while (after < n_ &&
                 (r_.skipPunctuation ? Separator(Detail(after)) : White(Detail(after))))
            ++after;
        }
      }
    } else if (Same(c, j)) {
      after = k + 1;
    }

    if (after >= 0) {
      if (w == 0x18) inMarkup = false;
      return MatchUnits(nextUnit, after, inMarkup, star);
    }
    // No match: a pending star swallows the character and tries again after it.
    if (!star.pending || c <= u' ') return -1;
    return LookForUnitAfterStar(star, k + 1);
  }

  // The star at star.at takes characters from k on until one equals the unit
  // after it; a character at or below U+0020, or the end, stops it.
  int32_t LookForUnitAfterStar(TStar star, int32_t k) const {
    const int32_t u = star.at + 1;
    for (int32_t p = k; p < n_; ++p) {
      if (Same(Char(p), u)) {
        bool inMarkup = star.inMarkup;
        if (r_.lower[u] == 0x19) inMarkup = true;
        if (r_.lower[u] == 0x18) inMarkup = false;
        return MatchUnits(u + 1, p + 1, inMarkup, star);
      }
      if (Char(p) <= u' ') return -1;
    }
    return -1;
  }

  // Counts characters 0..last.
  void Count(int32_t last, TSearchStatsRec& stats, bool& inHeading) const {
    bool heading = inHeading;
    uint32_t number[5], position[5];
    for (int i = 0; i < 5; ++i) {
      number[i] = static_cast<uint32_t>(stats.number[i]);
      position[i] = static_cast<uint32_t>(stats.position[i]);
    }
    const bool oddExists[4] = {r_.has15, r_.has17, r_.has19, r_.has21};
    THandleTextSectionProc* const procs[4] = {&HandleSentenceEndProc, &HandleParagraphEndProc,
                                              &HandleHeadingEndProc, &HandleSectionEndProc};
    for (int32_t k = 0; k <= last; ++k) {
      const uint16_t d = Detail(k);
      if (Marker(d)) {
        const int code = d & 0x07FF;
        if (code < 14 || code > 21) continue;
        const int unit = (code - 14) / 2;  // sentence, paragraph, heading, section
        const int kind = unit + 1;         // its text_stats_type
        if (code == 18) heading = true;
        const bool ends = code % 2 == 1 || !oddExists[unit];
        if (!ends) continue;
        if (*procs[unit] != nullptr)
          (*procs[unit])(static_cast<int32_t>(number[kind]), static_cast<int32_t>(position[kind]));
        number[kind] += 1;
        position[kind] = 1;
        if (unit == 2) heading = false;
      } else if (White(d) && !White(Detail(k + 1))) {
        number[0] += 1;
        position[1] += 1;
        position[2] += 1;
        position[4] += 1;
        if (heading) position[3] += 1;
      }
    }
    for (int i = 0; i < 5; ++i) stats.number[i] = static_cast<int32_t>(number[i]);
    for (int i = 1; i < 5; ++i)
      stats.position[i] = stats.out_of[i] = static_cast<int32_t>(position[i]);
    inHeading = heading;
  }

  const TMatchRequest& r_;
  int32_t n_ = 0;
  std::u16string text_;
  std::vector<uint16_t> details_;
};

inline int32_t ReferenceFindWanted(const TMatchRequest& r, TSearchStatsRec& stats, bool& inHeading,
                                   int32_t& hitCharacters, int32_t& exactHitLen) {
  return TReferenceMatcher(r).Find(stats, inHeading, hitCharacters, exactHitLen);
}

}  // namespace qn::reference
