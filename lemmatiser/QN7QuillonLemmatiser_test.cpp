#include "lemmatiser/QN7QuillonLemmatiser.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "quillon/QuillonLemmatiser.h"

namespace qn {
namespace {

const std::u16string kFixture8 =
    platform::DecodedUTF8(QN_SOURCE_DIR "/lemmatiser/testdata/english_lemmas_8bit.txt");
const std::u16string kFixtureLE =
    platform::DecodedUTF8(QN_SOURCE_DIR "/lemmatiser/testdata/english_lemmas_utf16le.txt");

// A temporary list file, removed at the end of the test. Its name carries the
// process id, so that two runs of the suite on one machine never share it.
class TTempFile {
 public:
  TTempFile(const std::string& name, const std::string& bytes)
      : fPath(::testing::TempDir() + "lem_" + std::to_string(::getpid()) + "_" + name) {
    FILE* f = std::fopen(fPath.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  }
  ~TTempFile() { std::remove(fPath.c_str()); }
  std::u16string Name() const { return platform::DecodedUTF8(fPath); }

 private:
  std::string fPath;
};

std::u16string W(const void* p) { return p ? std::u16string(static_cast<const char16_t*>(p)) : u"<null>"; }
std::string A(const void* p) { return p ? std::string(static_cast<const char*>(p)) : "<null>"; }

bool Load(uint8_t slot, const std::u16string& file, uint8_t kind, bool caseSensitive = true,
          bool commas = false, TQNAnnounceNumberAndMessageProc counts = {}) {
  return LoadedOne(slot, file.c_str(), kind, counts, {}, 0x0409, caseSensitive, commas) == QN_TRUE16;
}

TEST(QN7QuillonLemmatiser, LemmaSlotAnswersAToolsQuestions) {
  const uint8_t slot = tt_tallier;
  std::vector<int32_t> counts;
  auto announce = [&](int32_t n, const char16_t*) { counts.push_back(n); };
  const auto method = TAnnounceNumberAndMessageProc::FromCallable(announce);
  ASSERT_TRUE(Load(slot, kFixture8, QN_KIND_LEMMA, true, false, {method.code(), method.context()}));
  EXPECT_EQ(counts, (std::vector<int32_t>{2034, 3667, 3639}));  // lines, entries, pairs
  EXPECT_EQ(LemmaPairEntriesAltogether(slot), 3639);
  EXPECT_EQ(LemmaHeadWordsCount(slot), 2030);
  EXPECT_EQ(W(LemmaHeadWords(slot, 0)), u"abet");
  EXPECT_EQ(LemmaHeadWords(slot, 2030), nullptr);
  EXPECT_EQ(LemmaHeadWords(slot, -1), nullptr);

  // 8-bit list: words go in 8-bit; the headword comes back in the chosen width.
  EXPECT_EQ(A(TallierChangeWord(slot, "went", 1252, QN_FALSE16)), "go");
  EXPECT_EQ(W(TallierChangeWord(slot, u"went", 1252, QN_TRUE16)), u"go");  // converted first
  EXPECT_EQ(A(TallierChangeWord(slot, "walked", 1252, QN_FALSE16)), "");   // not the word itself
  EXPECT_EQ(A(TallierChangeWord(slot, "M_8z", 1252, QN_FALSE16)), "");     // seeds are no variants
  EXPECT_EQ(W(FoundInTheList(slot, "better", false, QN_KIND_LEMMA)), u"good");
  EXPECT_EQ(FoundInTheList(slot, "good", false, QN_KIND_LEMMA), nullptr);

  // A query that must convert its word leaves the other result buffer alone:
  // the 8-bit result handed out first still reads "go" after a UTF-16 query.
  const char* kept = static_cast<const char*>(TallierChangeWord(slot, "went", 1252, QN_FALSE16));
  EXPECT_EQ(W(TallierChangeWord(slot, u"better", 1252, QN_TRUE16)), u"good");
  EXPECT_EQ(W(FoundInTheList(slot, u"saw", true, QN_KIND_LEMMA)), u"see");
  EXPECT_EQ(A(kept), "go");

  // Two calls share one buffer: the first result is overwritten.
  const QNWideChar* first = LemmaVariantsOf(slot, u"be", u", ");
  EXPECT_EQ(W(first), u"am, are, been, is, was, were");
  const QNWideChar* second = LemmaVariantsOf(slot, u"GO", u"/");
  EXPECT_EQ(first, second);
  EXPECT_EQ(W(first), u"gone/went");
  EXPECT_EQ(W(LemmaVariantsOf(slot, u"nothing", u",")), u"");

  EXPECT_EQ(ClearOne(slot, QN_KIND_LEMMA), QN_TRUE16);
  EXPECT_EQ(LemmaHeadWordsCount(slot), 0);
  EXPECT_EQ(A(TallierChangeWord(slot, "went", 0, QN_FALSE16)), "");
}

TEST(QN7QuillonLemmatiser, CaseInsensitiveUTF16LoadAndTheKwickerAndSalientorSlots) {
  ASSERT_TRUE(Load(tt_kwicker, kFixtureLE, QN_KIND_LEMMA, /*caseSensitive=*/false));
  ASSERT_TRUE(Load(tt_salientor, kFixture8, QN_KIND_LEMMA, true));
  EXPECT_EQ(W(KwickerChangeWord(u"WENT", 0, QN_TRUE16)), u"GO");
  EXPECT_EQ(W(KwickerChangeWord(u"went", 0, QN_TRUE16)), u"");  // the list holds the upper case
  EXPECT_EQ(A(SalientorChangeWord("saw", 0, QN_FALSE16)), "see");
  EXPECT_EQ(W(FoundInTheList(tt_kwicker, "RAN", false, QN_KIND_LEMMA)), u"RUN");
  ClearOne(tt_kwicker, QN_KIND_LEMMA);
  ClearOne(tt_salientor, QN_KIND_LEMMA);
}

TEST(QN7QuillonLemmatiser, MatchStopAndRelationSlots) {
  const uint8_t slot = 5;
  const TTempFile phrases("phrases.txt", "in spite of, despite\r\nbe that as it may\r\nZeta\r\nalpha\r\nalpha\r\n");
  ASSERT_TRUE(Load(slot, phrases.Name(), QN_KIND_MATCH, true, /*commas=*/true));
  ASSERT_TRUE(Load(slot, phrases.Name(), QN_KIND_STOP));
  ASSERT_TRUE(Load(slot, phrases.Name(), QN_KIND_RELATION));
  EXPECT_EQ(MatchListWordsCount(slot), 5);  // duplicates included
  EXPECT_EQ(StopListWordsCount(slot), 6);   // the commas split the first line
  EXPECT_EQ(A(FoundInTheList(slot, "in spite of, despite", false, QN_KIND_MATCH)), "in spite of, despite");
  EXPECT_EQ(FoundInTheList(slot, "despite", false, QN_KIND_MATCH), nullptr);
  EXPECT_EQ(A(FoundInTheList(slot, u"despite", true, QN_KIND_STOP)), "despite");
  EXPECT_EQ(A(FoundInTheList(slot, "Zeta", false, QN_KIND_RELATION)), "Zeta");

  EXPECT_EQ(TraversedOne(slot, 100, QN_KIND_MATCH), 4);
  EXPECT_EQ(W(GetAString(0, true, 0)), u"Zeta");  // ordinal: upper case first
  EXPECT_EQ(A(GetAString(3, false, 0)), "in spite of, despite");
  EXPECT_EQ(GetAString(4, true, 0), nullptr);
  EXPECT_EQ(TraversedOne(slot, 0, QN_KIND_STOP), 1);
  EXPECT_EQ(TraversedOne(slot, -1, QN_KIND_RELATION), 0);
  EXPECT_EQ(GetAString(0, true, 0), nullptr);

  // A missing file leaves a match list as it was.
  EXPECT_FALSE(Load(slot, u"/nonexistent/list.txt", QN_KIND_STOP));
  EXPECT_EQ(StopListWordsCount(slot), 6);
  for (uint8_t kind = 1; kind <= 3; ++kind) EXPECT_EQ(ClearOne(slot, kind), QN_TRUE16);
  EXPECT_EQ(StopListWordsCount(slot), 0);
}

TEST(QN7QuillonLemmatiser, LemmaFileWithoutPairsIsNoLoad) {
  const TTempFile bare("bare.txt", "went\r\ngone\r\n");
  ASSERT_TRUE(Load(3, kFixture8, QN_KIND_LEMMA));
  EXPECT_FALSE(Load(3, bare.Name(), QN_KIND_LEMMA));
  EXPECT_EQ(LemmaPairEntriesAltogether(3), 0);
  // A missing lemma file leaves the lemma list empty.
  ASSERT_TRUE(Load(3, kFixture8, QN_KIND_LEMMA));
  EXPECT_FALSE(Load(3, u"/nonexistent/lemmas.txt", QN_KIND_LEMMA));
  EXPECT_EQ(LemmaHeadWordsCount(3), 0);
}

TEST(QN7QuillonLemmatiser, OutOfRangeArgumentsGetNothing) {
  ASSERT_TRUE(Load(7, kFixture8, QN_KIND_LEMMA));
  EXPECT_EQ(LoadedOne(7, kFixture8.c_str(), 4, {}, {}, 0, true, false), QN_FALSE16);
  EXPECT_EQ(ClearOne(7, 4), QN_TRUE16);
  EXPECT_EQ(LemmaHeadWordsCount(7), 2030);  // kind 4 touched nothing
  EXPECT_EQ(TraversedOne(7, 10, 4), 0);

  EXPECT_EQ(LoadedOne(22, kFixture8.c_str(), 0, {}, {}, 0, true, false), QN_FALSE16);
  EXPECT_EQ(LoadedOne(7, nullptr, 0, {}, {}, 0, true, false), QN_FALSE16);
  EXPECT_EQ(ClearOne(255, 0), QN_FALSE16);
  CancelOne(22, 0);
  EXPECT_EQ(FoundInTheList(22, "went", false, 0), nullptr);
  EXPECT_EQ(FoundInTheList(7, nullptr, false, 0), nullptr);
  EXPECT_EQ(FoundInTheList(7, "went", false, 9), nullptr);
  EXPECT_EQ(W(LemmaVariantsOf(22, u"be", u",")), u"");
  EXPECT_EQ(W(LemmaVariantsOf(7, nullptr, u",")), u"");
  EXPECT_EQ(W(LemmaVariantsOf(7, u"go", nullptr)), u"gonewent");
  EXPECT_EQ(LemmaHeadWords(22, 0), nullptr);
  EXPECT_EQ(LemmaHeadWordsCount(22), 0);
  EXPECT_EQ(LemmaPairEntriesAltogether(22), 0);
  EXPECT_EQ(MatchListWordsCount(22), 0);
  EXPECT_EQ(StopListWordsCount(22), 0);
  EXPECT_EQ(TraversedOne(22, 10, 0), 0);
  EXPECT_EQ(TallierChangeWord(22, "went", 0, QN_FALSE16), nullptr);
  EXPECT_EQ(TallierChangeWord(7, nullptr, 0, QN_FALSE16), nullptr);
  int calls = 0;
  auto count = [&](const TLemmaEntryRec*, bool, bool, int32_t, int32_t) { ++calls; };
  const auto method = THandleLemmaProc::FromCallable(count);
  TraverseLemmasDoing(22, {method.code(), method.context()});
  EXPECT_EQ(calls, 0);
  ClearOne(7, 0);
}

TEST(QN7QuillonLemmatiser, CancelReachesALoadThroughTheYieldProcedure) {
  std::string file;
  for (int k = 0; k < 2000; ++k) file.append("w").append(std::to_string(k)).append("\r\n");
  const TTempFile words("many.txt", file);
  struct TState {
    int progressCalls = 0;
  } state;
  // The host's event loop: the first progress report makes it press "cancel".
  TQNShowSomeProgressProc progress{[](void* ctx, int32_t) { ++static_cast<TState*>(ctx)->progressCalls; }, &state};
  TQNYieldProcessProc yield{[](void* ctx) {
                              if (static_cast<TState*>(ctx)->progressCalls > 0) CancelOne(9, QN_KIND_STOP);
                            },
                            &state};
  SetYieldProcedure(yield);
  const QNBool16 loaded = LoadedOne(9, words.Name().c_str(), QN_KIND_STOP, {}, progress, 0x0409, true, false);
  SetYieldProcedure({nullptr, nullptr});
  EXPECT_EQ(loaded, QN_TRUE16);
  EXPECT_GT(StopListWordsCount(9), 0);
  EXPECT_LT(StopListWordsCount(9), 5);
  // A cancel made before a load has no effect on it.
  CancelOne(9, QN_KIND_STOP);
  EXPECT_EQ(LoadedOne(9, words.Name().c_str(), QN_KIND_STOP, {}, {}, 0x0409, true, false), QN_TRUE16);
  EXPECT_EQ(StopListWordsCount(9), 2000);
  ClearOne(9, QN_KIND_STOP);
}

// A failure inside an exported function never reaches the host: each gives
// its "nothing" answer, and a walk its count of lines collected so far.
TEST(QN7QuillonLemmatiser, FailuresGiveTheNothingAnswers) {
  std::string file;
  for (int k = 0; k < 50; ++k) file.append("w").append(std::to_string(k)).append("\r\n");
  const TTempFile words("failing.txt", file);
  ASSERT_EQ(LoadedOne(8, words.Name().c_str(), QN_KIND_MATCH, {}, {}, 0x0409, true, false), QN_TRUE16);
  struct TState {
    int yields = 0;
  } state;
  TQNYieldProcessProc failing{[](void* ctx) {
                                if (++static_cast<TState*>(ctx)->yields > 3) throw std::runtime_error("host");
                              },
                              &state};
  SetYieldProcedure(failing);
  const int32_t shown = TraversedOne(8, 1000, QN_KIND_MATCH);
  EXPECT_LT(shown, 50);
  EXPECT_EQ(GetAString(shown, true, 0), nullptr);  // the count is that of the lines collected
  state.yields = 0;
  EXPECT_EQ(LoadedOne(8, words.Name().c_str(), QN_KIND_STOP, {}, {}, 0x0409, true, false), QN_FALSE16);
  SetYieldProcedure({nullptr, nullptr});
  EXPECT_EQ(ClearOne(8, QN_KIND_STOP), QN_TRUE16);
  EXPECT_EQ(TraversedOne(8, 1000, QN_KIND_MATCH), 50);
  EXPECT_EQ(ClearOne(8, QN_KIND_MATCH), QN_TRUE16);
}

TEST(QN7QuillonLemmatiser, NestedChangesFromTheHostAreRefused) {
  std::string file;
  for (int k = 0; k < 300; ++k) file.append("w").append(std::to_string(k)).append("\r\n");
  const TTempFile words("nested.txt", file);
  struct TNested {
    QNBool16 cleared = 1;
    QNBool16 reloaded = 1;
    int32_t collected = -1;
  } nested;
  TQNYieldProcessProc yield{[](void* ctx) {
                              auto* n = static_cast<TNested*>(ctx);
                              if (n->collected != -1) return;
                              n->cleared = ClearOne(12, QN_KIND_MATCH);
                              n->reloaded = LoadedOne(12, nullptr, QN_KIND_MATCH, {}, {}, 0, true, false);
                              n->collected = TraversedOne(12, 10, QN_KIND_MATCH);
                            },
                            &nested};
  SetYieldProcedure(yield);
  const QNBool16 loaded = LoadedOne(12, words.Name().c_str(), QN_KIND_MATCH, {}, {}, 0x0409, true, false);
  SetYieldProcedure({nullptr, nullptr});
  EXPECT_EQ(loaded, QN_TRUE16);
  EXPECT_EQ(nested.cleared, QN_FALSE16);
  EXPECT_EQ(nested.reloaded, QN_FALSE16);
  EXPECT_EQ(nested.collected, 0);
  EXPECT_EQ(MatchListWordsCount(12), 300);
  EXPECT_EQ(ClearOne(12, QN_KIND_MATCH), QN_TRUE16);  // open again afterwards
}

TEST(QN7QuillonLemmatiser, DescendingFilesCanBeWalkedAndCleared) {
  // Sorted in descending order, the entries form one left-leaning chain far
  // deeper than the walk's initial stack.
  std::string file;
  for (int k = 6000; k > 0; --k) file.append("w").append(std::to_string(100000 + k)).append("\n");
  const TTempFile words("descending.txt", file);
  ASSERT_TRUE(Load(11, words.Name(), QN_KIND_RELATION));
  EXPECT_EQ(TraversedOne(11, 10000, QN_KIND_RELATION), 6000);
  EXPECT_EQ(A(GetAString(0, false, 0)), "w100001");
  EXPECT_EQ(A(GetAString(5999, false, 0)), "w106000");
  EXPECT_EQ(ClearOne(11, QN_KIND_RELATION), QN_TRUE16);
  EXPECT_EQ(TraversedOne(11, 10000, QN_KIND_RELATION), 0);
}

// A host whose yield procedure asks the lists while they are being cleared or
// reloaded: every answer must come from a consistent list, either the old one
// whole or an empty one, never from entries already released.
TEST(QN7QuillonLemmatiser, QueriesFromTheYieldProcedureSeeAConsistentList) {
  std::string lemmas;
  std::string matches;
  for (int k = 0; k < 3000; ++k) {
    lemmas.append("h").append(std::to_string(k)).append(" -> w").append(std::to_string(k)).append("\n");
    matches.append("m").append(std::to_string(k)).append("\n");
  }
  const TTempFile lemmaFile("yield_lemmas.txt", lemmas);
  const TTempFile matchFile("yield_matches.txt", matches);
  const uint8_t slot = 13;
  ASSERT_TRUE(Load(slot, lemmaFile.Name(), QN_KIND_LEMMA));
  ASSERT_TRUE(Load(slot, matchFile.Name(), QN_KIND_MATCH));
  struct TAsking {
    int calls = 0;
    int inconsistent = 0;
    bool busy = false;  // the queries yield too: not asked again from inside them
  } asking;
  TQNYieldProcessProc yield{[](void* ctx) {
                              auto* a = static_cast<TAsking*>(ctx);
                              if (a->busy) return;
                              a->busy = true;
                              const int k = (a->calls++ * 7) % 3000;
                              // Built by appending: g++ 12 warns falsely (-Wrestrict) on
                              // "literal" + std::string here.
                              std::string m = "m";
                              m += std::to_string(k);
                              std::string w = "w";
                              w += std::to_string(k);
                              const std::u16string h = u"h" + platform::DecodedUTF8(std::to_string(k));
                              const std::string found = A(FoundInTheList(slot, m.c_str(), false, QN_KIND_MATCH));
                              if (found != "<null>" && found != m) ++a->inconsistent;
                              const std::u16string head = W(FoundInTheList(slot, w.c_str(), false, QN_KIND_LEMMA));
                              if (head != u"<null>" && head != h) ++a->inconsistent;
                              const std::string changed = A(TallierChangeWord(slot, w.c_str(), 0, QN_FALSE16));
                              if (!changed.empty() && changed != std::string("h").append(std::to_string(k))) ++a->inconsistent;
                              const std::u16string variants = W(LemmaVariantsOf(slot, h.c_str(), u","));
                              if (!variants.empty() && variants != platform::DecodedUTF8(w)) ++a->inconsistent;
                              const int32_t count = LemmaHeadWordsCount(slot);
                              if (count > 0 && W(LemmaHeadWords(slot, count - 1)).empty()) ++a->inconsistent;
                              a->busy = false;
                            },
                            &asking};
  SetYieldProcedure(yield);
  // The clearing of ClearOne, and the clearing at the start of a reload.
  EXPECT_EQ(ClearOne(slot, QN_KIND_MATCH), QN_TRUE16);
  EXPECT_EQ(ClearOne(slot, QN_KIND_LEMMA), QN_TRUE16);
  const int afterClearing = asking.calls;
  SetYieldProcedure({nullptr, nullptr});
  ASSERT_TRUE(Load(slot, lemmaFile.Name(), QN_KIND_LEMMA));
  ASSERT_TRUE(Load(slot, matchFile.Name(), QN_KIND_MATCH));
  SetYieldProcedure(yield);
  EXPECT_TRUE(Load(slot, lemmaFile.Name(), QN_KIND_LEMMA));
  EXPECT_TRUE(Load(slot, matchFile.Name(), QN_KIND_MATCH));
  SetYieldProcedure({nullptr, nullptr});
  EXPECT_GT(afterClearing, 6000);  // the clearing yielded per entry, and was asked each time
  EXPECT_GT(asking.calls, afterClearing);
  EXPECT_EQ(asking.inconsistent, 0);
  EXPECT_EQ(A(TallierChangeWord(slot, "w2999", 0, QN_FALSE16)), "h2999");
  EXPECT_EQ(A(FoundInTheList(slot, "m2999", false, QN_KIND_MATCH)), "m2999");
  ClearOne(slot, QN_KIND_LEMMA);
  ClearOne(slot, QN_KIND_MATCH);
}

// ---- the shared library, bound by name as a tool binds it -------------------------

template <typename F>
F Bind(void* library, const char* name) {
  return reinterpret_cast<F>(dlsym(library, name));
}

TEST(QN7QuillonLemmatiserLibrary, AToolsCallingOrderThroughDlopen) {
  void* library = dlopen(QN_LEMMATISER_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const char* names[] = {"LoadedOne", "ClearOne", "CancelOne", "FoundInTheList", "GetAString",
                         "LemmaVariantsOf", "LemmaHeadWords", "LemmaHeadWordsCount",
                         "LemmaPairEntriesAltogether", "MatchListWordsCount", "StopListWordsCount",
                         "TraverseLemmasDoing", "TraverseMatchesDoing", "TraverseRelationsDoing",
                         "TraverseStopsDoing", "TraversedOne", "TallierChangeWord", "KwickerChangeWord",
                         "SalientorChangeWord", "SetYieldProcedure"};
  for (const char* name : names) EXPECT_NE(dlsym(library, name), nullptr) << name;
  // The shared modules linked into the library stay private to it.
  EXPECT_EQ(dlsym(library, "_ZN2qn17AYieldProcessProcE"), nullptr);

  auto loaded = Bind<TQNLoadedOneFunc>(library, "LoadedOne");
  auto clear = Bind<TQNClearOneFunc>(library, "ClearOne");
  auto found = Bind<TQNFoundInTheListFunc>(library, "FoundInTheList");
  auto getString = Bind<TQNGetAStringFunc>(library, "GetAString");
  auto variants = Bind<TQNLemmaVariantsOfFunc>(library, "LemmaVariantsOf");
  auto headCount = Bind<TQNSlotCountFunc>(library, "LemmaHeadWordsCount");
  auto pairs = Bind<TQNSlotCountFunc>(library, "LemmaPairEntriesAltogether");
  auto stopCount = Bind<TQNSlotCountFunc>(library, "StopListWordsCount");
  auto traverseLemmas = Bind<TQNTraverseLemmasDoingFunc>(library, "TraverseLemmasDoing");
  auto traverseStops = Bind<TQNTraverseMatchesDoingFunc>(library, "TraverseStopsDoing");
  auto traversed = Bind<TQNTraversedOneFunc>(library, "TraversedOne");
  auto tallier = Bind<TQNTallierChangeWordFunc>(library, "TallierChangeWord");
  auto kwicker = Bind<TQNChangeWordFunc>(library, "KwickerChangeWord");

  // Load.
  ASSERT_EQ(loaded(0, kFixtureLE.c_str(), QN_KIND_LEMMA, {}, {}, 0x0409, true, false), QN_TRUE16);
  const TTempFile stops("stops.txt", "the\r\nof\r\nand\r\nthe\r\n");
  ASSERT_EQ(loaded(0, stops.Name().c_str(), QN_KIND_STOP, {}, {}, 0x0409, true, false), QN_TRUE16);
  // Count.
  EXPECT_EQ(pairs(0), 3639);
  EXPECT_EQ(headCount(0), 2030);
  EXPECT_EQ(stopCount(0), 4);
  // Query.
  EXPECT_EQ(W(found(0, "went", false, QN_KIND_LEMMA)), u"go");
  EXPECT_EQ(A(found(0, "of", false, QN_KIND_STOP)), "of");
  EXPECT_EQ(W(variants(0, u"see", u", ")), u"saw, seen");
  // Change words.
  EXPECT_EQ(W(tallier(0, u"ran", 0, QN_TRUE16)), u"run");
  EXPECT_EQ(A(tallier(0, "better", 0, QN_FALSE16)), "good");  // an 8-bit word is converted
  EXPECT_EQ(W(kwicker(u"ran", 0, QN_TRUE16)), u"");  // slot 1 holds nothing
  // Walk.
  struct TWalk {
    int lemmas = 0;
    int firstThis = 0;
    int outOf = 0;
    std::vector<std::string> stops;
  } walk;
  traverseLemmas(0, {[](void* ctx, const TQNLemmaEntryRec* t, bool in_unicode, bool, int32_t this_one, int32_t out_of) {
                       auto* w = static_cast<TWalk*>(ctx);
                       if (w->lemmas++ == 0) w->firstThis = this_one;
                       w->outOf = out_of;
                       EXPECT_TRUE(in_unicode);
                       EXPECT_NE(t->headwordp, nullptr);
                     },
                     &walk});
  EXPECT_EQ(walk.lemmas, 3639);
  EXPECT_EQ(walk.outOf, 3639 + 19);
  EXPECT_GT(walk.firstThis, 1);  // seeds such as "C_8z" come before "abetted"
  traverseStops(0, {[](void* ctx, TQNMatchEntryRec t, bool, bool, int32_t, int32_t) {
                      static_cast<TWalk*>(ctx)->stops.emplace_back(static_cast<const char*>(t.searchp));
                    },
                    &walk});
  EXPECT_EQ(walk.stops, (std::vector<std::string>{"and", "of", "the"}));
  // Collect display lines.
  EXPECT_EQ(traversed(0, 2, QN_KIND_LEMMA), 3);
  EXPECT_EQ(W(getString(0, true, 0)), u"abetted (abet)");
  EXPECT_EQ(A(getString(2, false, 0)), "abhorred (abhor)");
  EXPECT_EQ(getString(3, true, 0), nullptr);
  // Clear.
  EXPECT_EQ(clear(0, QN_KIND_LEMMA), QN_TRUE16);
  EXPECT_EQ(clear(0, QN_KIND_STOP), QN_TRUE16);
  EXPECT_EQ(pairs(0), 0);
  EXPECT_EQ(W(tallier(0, u"ran", 0, QN_TRUE16)), u"");
  EXPECT_EQ(dlclose(library), 0);
}

}  // namespace
}  // namespace qn
