#include "lemmatiser/QN7QuillonLemmatiser.h"

#include <type_traits>

#include "platform/CodePages.h"
#include "platform/YieldHook.h"

namespace qn {

// ---- TShowClass -----------------------------------------------------------------

void TShowClass::ShowALemma(const TLemmaEntryRec* t, bool in_unicode, bool, int32_t, int32_t) {
  if (!HasRoom() || t == nullptr) return;
  std::u16string line = ListTextAsUTF16(t->variantp, in_unicode);
  line += u" (";
  if (t->headwordp != nullptr) line += t->headwordp;
  line += u")";
  StringList.push_back(std::move(line));
}

void TShowClass::ShowAMatch(TMatchEntryRec t, bool in_unicode, bool, int32_t, int32_t) {
  if (!HasRoom()) return;
  StringList.push_back(ListTextAsUTF16(t.searchp, in_unicode));
}

void TShowClass::ShowARelation(TMatchEntryRec t, bool in_unicode, bool consider_affixes,
                               int32_t this_one, int32_t out_of) {
  ShowAMatch(t, in_unicode, consider_affixes, this_one, out_of);
}

void TShowClass::ShowAStop(TMatchEntryRec t, bool in_unicode, bool consider_affixes,
                           int32_t this_one, int32_t out_of) {
  ShowAMatch(t, in_unicode, consider_affixes, this_one, out_of);
}

// ---- state -------------------------------------------------------------------------

TLemmatiserState::TLemmatiserState() {
  // Every list starts case-sensitive; each load sets its case handling anew.
  for (int slot = 0; slot < kLemmatiserSlots; ++slot) {
    lemmas[slot] = std::make_unique<TLemmaList>(true);
    matches[slot] = std::make_unique<TMatchList>(true);
    stops[slot] = std::make_unique<TStopList>(true);
    relations[slot] = std::make_unique<TMatchList>(true);
    lemmas[slot]->ShowProc = THandleLemmaProc::Bind<&TShowClass::ShowALemma>(&collector);
    matches[slot]->ShowProc = THandleMatchProc::Bind<&TShowClass::ShowAMatch>(&collector);
    stops[slot]->ShowProc = THandleMatchProc::Bind<&TShowClass::ShowAMatch>(&collector);
    relations[slot]->ShowProc = THandleMatchProc::Bind<&TShowClass::ShowARelation>(&collector);
  }
}

TLemmatiserState& LemmatiserState() {
  // Destroyed when the library is unloaded (or the program ends): the lists
  // release their entries, then the collector goes.
  static TLemmatiserState state;
  return state;
}

TReadFileTree* ListOf(uint8_t slot, uint8_t kind) {
  if (slot >= kLemmatiserSlots) return nullptr;
  TLemmatiserState& s = LemmatiserState();
  switch (kind) {
    case as_lemma: return s.lemmas[slot].get();
    case as_match: return s.matches[slot].get();
    case as_stop: return s.stops[slot].get();
    case as_relation: return s.relations[slot].get();
    default: return nullptr;
  }
}

namespace {

constexpr QNBool16 Bool16(bool b) noexcept { return b ? QN_TRUE16 : QN_FALSE16; }

// Runs body and gives its result; when it raises, gives the function's
// "nothing" answer instead: a value, or a function called for it. No
// exception leaves an exported function for the host.
template <typename Body, typename Nothing>
auto Guarded(Body&& body, Nothing&& nothing) -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    if constexpr (std::is_invocable_v<Nothing>) {
      return nothing();
    } else {
      return nothing;
    }
  }
}

// The same for a body without a result.
template <typename Body>
void Guarded(Body&& body) {
  try {
    body();
  } catch (...) {
  }
}

// Loads, clears and walks change or walk a list while they call out to the
// host (its yield procedure, its callbacks). A host that calls one of them
// again from there would change a tree under a running operation: such a
// nested call is refused with its "nothing" result. Queries and CancelOne stay
// open, since they change no list.
int gRunning = 0;

class TRunning {
 public:
  TRunning() noexcept : fRefused(gRunning > 0) { ++gRunning; }
  ~TRunning() { --gRunning; }
  bool Refused() const noexcept { return fRefused; }

 private:
  bool fRefused;
};

TLemmaList* LemmaListOf(uint8_t slot) {
  return slot < kLemmatiserSlots ? LemmatiserState().lemmas[slot].get() : nullptr;
}

// The headword of word in a slot's lemma list, in the buffer the flag selects;
// an empty text when the word is no variant. The word is expected in the
// list's encoding; one flagged as the other encoding is converted first, so
// that it is never read with the wrong width.
const void* ChangeWord(uint8_t slot, const void* word, QNBool16 in_unicode) {
  const bool wide = in_unicode != 0;
  TLemmaList* list = LemmaListOf(slot);
  if (word == nullptr || list == nullptr) return nullptr;
  const TLemmaEntryRec found = list->FoundVariant(list->CopyOfPointer(word, wide));
  if (found.headwordp == nullptr) return wide ? static_cast<const void*>(PutResultW(u""))
                                              : static_cast<const void*>(PutResultA(""));
  const std::u16string_view headword(found.headwordp);
  if (wide) return PutResultW(headword);
  return PutResultAEncoded(headword);
}

}  // namespace

}  // namespace qn

// ---- the exported functions ------------------------------------------------------------

using namespace qn;

extern "C" {

QNBool16 LoadedOne(uint8_t slot, const QNWideChar* file_name, uint8_t kind,
                   TQNAnnounceNumberAndMessageProc line_count, TQNShowSomeProgressProc progress,
                   uint32_t lcid, bool case_sensitive, bool commas_in_entries) {
  return Guarded(
      [&]() -> QNBool16 {
        const TRunning running;
        TReadFileTree* list = ListOf(slot, kind);
        if (running.Refused() || list == nullptr || file_name == nullptr) return QN_FALSE16;
        const std::u16string_view name(file_name);
        const bool upper = !case_sensitive;
        if (kind == as_lemma) {
          auto* lemmas = static_cast<TLemmaList*>(list);
          lemmas->Clear();
          const bool ok =
              lemmas->LoadFromFile(FromC(line_count), FromC(progress), lcid, upper, name) &&
              lemmas->LoadedOK();
          if (ok) lemmas->TellTotalLines(lemmas->lemma_pair_entries);
          return Bool16(ok);
        }
        if (kind == as_match) list->allow_strings_with_commas = commas_in_entries;
        return Bool16(list->LoadFromFile(FromC(line_count), FromC(progress), lcid, upper, name) &&
                      list->LoadedOK());
      },
      QN_FALSE16);
}

QNBool16 ClearOne(uint8_t slot, uint8_t kind) {
  return Guarded(
      [&]() -> QNBool16 {
        const TRunning running;
        if (running.Refused() || slot >= kLemmatiserSlots) return QN_FALSE16;
        TReadFileTree* list = ListOf(slot, kind);
        if (list == nullptr) return QN_TRUE16;
        list->Clear();  // the whole list, whatever its kind
        return QN_TRUE16;
      },
      QN_FALSE16);
}

void CancelOne(uint8_t slot, uint8_t kind) {
  Guarded([&] {
    if (TReadFileTree* list = ListOf(slot, kind)) list->cancelled = true;
  });
}

const void* FoundInTheList(uint8_t slot, const void* word, bool word_in_unicode, uint8_t kind) {
  return Guarded(
      [&]() -> const void* {
        TReadFileTree* list = ListOf(slot, kind);
        if (list == nullptr || word == nullptr) return nullptr;
        const void* key = list->CopyOfPointer(word, word_in_unicode);
        if (kind == as_lemma) return static_cast<TLemmaList*>(list)->FoundVariant(key).headwordp;
        return static_cast<TMatchList*>(list)->Found(key);
      },
      nullptr);
}

const void* GetAString(int32_t n, bool in_unicode, int32_t /*code_page*/) {
  return Guarded(
      [&]() -> const void* {
        const auto& lines = LemmatiserState().collector.StringList;
        if (n < 0 || static_cast<size_t>(n) >= lines.size()) return nullptr;
        const std::u16string_view line = std::u16string_view(lines[static_cast<size_t>(n)]);
        if (in_unicode) return PutResultW(line);
        return PutResultAEncoded(line);
      },
      nullptr);
}

const QNWideChar* LemmaVariantsOf(uint8_t slot, const QNWideChar* headword,
                                  const QNWideChar* separated_with) {
  return Guarded(
      [&]() -> const QNWideChar* {
        TLemmaList* list = LemmaListOf(slot);
        if (list == nullptr || headword == nullptr) return PutResultW(u"");
        return list->LemmaVariantsOf(
            headword, separated_with != nullptr ? separated_with : std::u16string_view());
      },
      [] { return PutResultW(u""); });
}

const QNWideChar* LemmaHeadWords(uint8_t slot, int32_t n) {
  return Guarded(
      [&]() -> const QNWideChar* {
        TLemmaList* list = LemmaListOf(slot);
        if (list == nullptr) return nullptr;
        const THeadwordEntry* entry = list->headwords().At(n);
        return entry != nullptr ? entry->text.c_str() : nullptr;
      },
      nullptr);
}

int32_t LemmaHeadWordsCount(uint8_t slot) {
  return Guarded(
      [&] {
        TLemmaList* list = LemmaListOf(slot);
        return list != nullptr ? list->headwords().Count() : 0;
      },
      0);
}

int32_t LemmaPairEntriesAltogether(uint8_t slot) {
  return Guarded(
      [&] {
        TLemmaList* list = LemmaListOf(slot);
        return list != nullptr ? list->lemma_pair_entries : 0;
      },
      0);
}

int32_t MatchListWordsCount(uint8_t slot) {
  return Guarded(
      [&] {
        TReadFileTree* list = ListOf(slot, as_match);
        return list != nullptr ? list->lines : 0;
      },
      0);
}

int32_t StopListWordsCount(uint8_t slot) {
  return Guarded(
      [&] {
        TReadFileTree* list = ListOf(slot, as_stop);
        return list != nullptr ? list->lines : 0;
      },
      0);
}

void TraverseLemmasDoing(uint8_t slot, TQNHandleLemmaProc proc) {
  Guarded([&] {
    const TRunning running;
    if (running.Refused()) return;
    if (TLemmaList* list = LemmaListOf(slot)) {
      list->ShowProc = FromC(proc);
      list->Traverse();
    }
  });
}

namespace {
void TraverseMatchKind(uint8_t slot, uint8_t kind, TQNHandleMatchProc proc) {
  Guarded([&] {
    const TRunning running;
    if (running.Refused()) return;
    if (auto* list = static_cast<TMatchList*>(ListOf(slot, kind))) {
      list->ShowProc = FromC(proc);
      list->Traverse();
    }
  });
}
}  // namespace

void TraverseMatchesDoing(uint8_t slot, TQNHandleMatchProc proc) {
  TraverseMatchKind(slot, as_match, proc);
}

void TraverseRelationsDoing(uint8_t slot, TQNHandleMatchProc proc) {
  TraverseMatchKind(slot, as_relation, proc);
}

void TraverseStopsDoing(uint8_t slot, TQNHandleStopProc proc) {
  TraverseMatchKind(slot, as_stop, proc);
}

int32_t TraversedOne(uint8_t slot, int32_t max_to_show, uint8_t kind) {
  // What was collected before a failure is still there to be read.
  const auto collected = [] {
    return Guarded(
        [] { return static_cast<int32_t>(LemmatiserState().collector.StringList.size()); }, 0);
  };
  return Guarded(
      [&]() -> int32_t {
        const TRunning running;
        if (running.Refused() || slot >= kLemmatiserSlots) return 0;
        TLemmatiserState& s = LemmatiserState();
        TShowClass& collector = s.collector;
        collector.Clear();
        collector.max_To_Show = max_to_show;
        switch (kind) {
          case as_lemma:
            s.lemmas[slot]->ShowProc = THandleLemmaProc::Bind<&TShowClass::ShowALemma>(&collector);
            s.lemmas[slot]->Traverse();
            break;
          case as_match:
          case as_stop: {
            TMatchList* list = kind == as_match ? s.matches[slot].get() : s.stops[slot].get();
            list->ShowProc = THandleMatchProc::Bind<&TShowClass::ShowAMatch>(&collector);
            list->Traverse();
            break;
          }
          case as_relation:
            s.relations[slot]->ShowProc =
                THandleMatchProc::Bind<&TShowClass::ShowARelation>(&collector);
            s.relations[slot]->Traverse();
            break;
          default:
            return 0;
        }
        return static_cast<int32_t>(collector.StringList.size());
      },
      collected);
}

const void* TallierChangeWord(uint8_t slot, const void* word, int32_t /*code_page*/,
                              QNBool16 in_unicode) {
  return Guarded([&] { return ChangeWord(slot, word, in_unicode); }, nullptr);
}

const void* KwickerChangeWord(const void* word, int32_t /*code_page*/, QNBool16 in_unicode) {
  return Guarded([&] { return ChangeWord(tt_kwicker, word, in_unicode); }, nullptr);
}

const void* SalientorChangeWord(const void* word, int32_t /*code_page*/, QNBool16 in_unicode) {
  return Guarded([&] { return ChangeWord(tt_salientor, word, in_unicode); }, nullptr);
}

void SetYieldProcedure(TQNYieldProcessProc proc) {
  // The host's procedure is called directly at every step; with none, a step
  // costs one test.
  AYieldProcessProc = TYieldProcessProc(proc.code, proc.context);
}

}  // extern "C"
