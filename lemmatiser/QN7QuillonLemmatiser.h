// The lemmatiser library module: the process-wide lists and display collector
// behind the exported C functions of quillon/QuillonLemmatiser.h.
//
// The library keeps, for each of the kLemmatiserSlots tool slots, a lemma, a
// match, a stop and a relation list (88 lists), one display collector shared
// by all slots, and the two shared result buffers of myLemmaAndMatchLists. The
// lists and the collector are made on first use and released when the library
// is unloaded (or the program that links it statically ends). All of it is
// unprotected process-wide state, used from one thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lemmatiser/myLemmaAndMatchLists.h"
#include "quillon/QuillonLemmatiser.h"
#include "runtime1/definitions/LemmaStopMatchTypes.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// One slot per tool ordinal.
inline constexpr int kLemmatiserSlots = static_cast<int>(tool_type_last) + 1;
static_assert(kLemmatiserSlots == QN_SLOT_COUNT);

// Collects a list's entries as display lines. A line is added only while the
// collector holds no more than max_To_Show lines, so a walk collects at most
// max_To_Show + 1 of them and always runs to its end.
class TShowClass {
 public:
  void Clear() noexcept { StringList.clear(); }

  // "variant (headword)"; an 8-bit variant is decoded through the active code page.
  void ShowALemma(const TLemmaEntryRec* t, bool in_unicode, bool consider_affixes, int32_t this_one,
                  int32_t out_of);
  // The entry's text, decoded the same way.
  void ShowAMatch(TMatchEntryRec t, bool in_unicode, bool consider_affixes, int32_t this_one,
                  int32_t out_of);
  void ShowARelation(TMatchEntryRec t, bool in_unicode, bool consider_affixes, int32_t this_one,
                     int32_t out_of);
  void ShowAStop(TMatchEntryRec t, bool in_unicode, bool consider_affixes, int32_t this_one,
                 int32_t out_of);

  std::vector<std::u16string> StringList;
  int32_t max_To_Show = 0;

 private:
  bool HasRoom() const noexcept {
    return static_cast<int64_t>(StringList.size()) <= static_cast<int64_t>(max_To_Show);
  }
};

// The library's lists and collector.
struct TLemmatiserState {
  TLemmatiserState();
  TShowClass collector;
  std::array<std::unique_ptr<TLemmaList>, kLemmatiserSlots> lemmas;
  std::array<std::unique_ptr<TMatchList>, kLemmatiserSlots> matches;
  std::array<std::unique_ptr<TStopList>, kLemmatiserSlots> stops;
  std::array<std::unique_ptr<TMatchList>, kLemmatiserSlots> relations;
};

// The process's one state, made on first use.
TLemmatiserState& LemmatiserState();

// The reader of a slot's list of a kind; null for a slot or kind out of range.
TReadFileTree* ListOf(uint8_t slot, uint8_t kind);

}  // namespace qn
