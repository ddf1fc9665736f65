// Feeds arbitrary bytes to the lemmatiser's list-file reader as each kind of
// list, and checks what a loaded list must always satisfy.
//
// Input: one control byte, then the file. Control bits: 0-1 the kind (lemma,
// match, stop, relation), 2 case-insensitive (upper-case the text), 3 commas
// belong to entries, 4 Turkish casing instead of English.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "lemmatiser/myLemmaAndMatchLists.h"

namespace {

constexpr size_t kMostFileBytes = 2048;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Walks the list and checks that the reported texts rise strictly in ordinal
// order, that no seed is reported and that positions stay within the tree.
template <typename List>
void CheckWalk(List& list, int32_t reportedAtMost) {
  std::vector<std::u16string> seen;
  auto record = [&](const void* text, bool in_unicode, int32_t this_one, int32_t out_of) {
    Check(in_unicode == list.using_unicode);
    Check(this_one >= 1 && this_one <= out_of && out_of == list.counter);
    Check(!list.IsASeed(const_cast<void*>(text)));
    seen.push_back(in_unicode ? std::u16string(static_cast<const char16_t*>(text))
                              : std::u16string());
    if (!in_unicode) {
      for (const char* p = static_cast<const char*>(text); *p != 0; ++p)
        seen.back().push_back(static_cast<unsigned char>(*p));
    }
  };
  if constexpr (std::is_same_v<List, qn::TLemmaList>) {
    auto show = [&](const qn::TLemmaEntryRec* t, bool u, bool, int32_t n, int32_t of) {
      Check(t->headwordp != nullptr);
      record(t->variantp, u, n, of);
    };
    list.ShowProc = qn::THandleLemmaProc::FromCallable(show);
    list.Traverse();
  } else {
    auto show = [&](qn::TMatchEntryRec t, bool u, bool, int32_t n, int32_t of) { record(t.searchp, u, n, of); };
    list.ShowProc = qn::THandleMatchProc::FromCallable(show);
    list.Traverse();
  }
  list.ShowProc.Clear();
  for (size_t k = 1; k < seen.size(); ++k) Check(seen[k - 1] < seen[k]);
  Check(static_cast<int32_t>(seen.size()) <= reportedAtMost);
  // Everything reported is found again.
  for (const std::u16string& text : seen) {
    if (list.using_unicode) {
      if constexpr (std::is_same_v<List, qn::TLemmaList>) {
        Check(list.FoundVariant(text.c_str()).headwordp != nullptr);
      } else {
        Check(list.Found(text.c_str()) != nullptr);
      }
    }
  }
}

template <typename List>
void Run(List& list, uint8_t control, std::span<const uint8_t> file) {
  list.force_upper_case = (control & 4) != 0;
  list.SetLocale((control & 16) != 0 ? 0x041F : 0x0409);
  list.allow_strings_with_commas = (control & 8) != 0;
  const bool loaded = list.LoadFromBytes(file);
  Check(loaded == (file.size() >= 2));
  if (!loaded) return;
  Check(list.counter >= qn::kSeedCount);
  if constexpr (std::is_same_v<List, qn::TLemmaList>) {
    Check(list.lemma_pair_entries <= list.lines);
    Check(list.counter == qn::kSeedCount + list.lemma_pair_entries);
    CheckWalk(list, list.lemma_pair_entries);
    for (int32_t k = 0; k < list.headwords().Count() && k < 8; ++k)
      list.LemmaVariantsOf(list.headwords().At(k)->text, u", ");
  } else {
    Check(list.counter - qn::kSeedCount <= list.lines);
    CheckWalk(list, list.lines);
  }
  list.Clear();
  Check(list.counter == 0 && list.Root() == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  // A longer file only repeats the same steps over more entries: every input
  // is cut to a size that still holds hundreds of them.
  const std::span<const uint8_t> file(data + 1, std::min<size_t>(size - 1, kMostFileBytes));
  switch (control & 3) {
    case 0: {
      qn::TLemmaList list(true);
      Run(list, control, file);
      break;
    }
    case 2: {
      qn::TStopList list(true);
      Run(list, control, file);
      break;
    }
    default: {
      qn::TMatchList list(true);
      Run(list, control, file);
      break;
    }
  }
  return 0;
}
