#include "lemmatiser/myLemmaAndMatchLists.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/YieldHook.h"
#include "platform/testing/NonRegularFiles.h"

namespace qn {
namespace {

std::vector<uint8_t> Bytes8(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Utf16(std::u16string_view text, bool bigEndian = false) {
  std::vector<uint8_t> b = bigEndian ? std::vector<uint8_t>{0xFE, 0xFF} : std::vector<uint8_t>{0xFF, 0xFE};
  for (char16_t c : text) {
    const uint8_t lo = static_cast<uint8_t>(c & 0xFF), hi = static_cast<uint8_t>(c >> 8);
    b.push_back(bigEndian ? hi : lo);
    b.push_back(bigEndian ? lo : hi);
  }
  return b;
}

// What a list reports through its ShowProc, as UTF-16 lines.
template <typename List>
std::vector<std::u16string> Reported(List& list) {
  std::vector<std::u16string> out;
  if constexpr (std::is_base_of_v<TLemmaList, List>) {
    auto show = [&](const TLemmaEntryRec* t, bool in_unicode, bool, int32_t, int32_t) {
      out.push_back(ListTextAsUTF16(t->variantp, in_unicode) + u"=" + t->headwordp);
    };
    list.ShowProc = THandleLemmaProc::FromCallable(show);
    list.Traverse();
  } else {
    auto show = [&](TMatchEntryRec t, bool in_unicode, bool, int32_t, int32_t) {
      out.push_back(ListTextAsUTF16(t.searchp, in_unicode));
    };
    list.ShowProc = THandleMatchProc::FromCallable(show);
    list.Traverse();
  }
  list.ShowProc.Clear();
  return out;
}

using Lines = std::vector<std::u16string>;

// ---- reading list files ------------------------------------------------------------

TEST(ListFileReader, CutsEntriesAtBreaksCommasAndComments) {
  const struct {
    const char* name;
    std::vector<uint8_t> file;
    bool commas;
    Lines expected;
    int32_t lines;
  } cases[] = {
      {"commas separate", Bytes8("alpha,beta ,, gamma"), false, {u"alpha", u"beta", u"gamma"}, 3},
      {"commas belong", Bytes8("alpha,beta ,, gamma"), true, {u"alpha,beta ,, gamma"}, 1},
      {"comment with commas", Bytes8("; x, y, z\r\nkeep"), false, {u"keep"}, 1},
      {"comment after a comma ends its line", Bytes8("a, ;b, c\nd"), false, {u"a", u"d"}, 2},
      {"every kind of break", Bytes8("a\nb\rc\fd\r\ne\n\rf\vg"), false,
       {u"a", u"b", u"c", u"d", u"e", u"f\vg"}, 6},
      {"UTF-16 breaks", Utf16(u"a\vb\u2028c\u2029d\r\ne"), false, {u"a", u"b", u"c", u"d", u"e"}, 5},
      {"big-endian", Utf16(u"zeta\r\n\u00E9t\u00E9", true), false, {u"zeta", u"\u00E9t\u00E9"}, 2},
      {"blank entries and padding", Bytes8("  \t x \t ,\r\n\r\n ,"), false, {u"x"}, 1},
      {"UTF-8 signature is text", Bytes8("\xEF\xBB\xBFone\r\ntwo"), false,
       {u"two", u"\u00EF\u00BB\u00BFone"}, 2},
      {"text ends at NUL", Bytes8(std::string("a\nb\0c\nd", 7)), false, {u"a", u"b"}, 2},
      {"UTF-16 ends at NUL unit", Utf16(std::u16string(u"a\nb\0c", 5)), false, {u"a", u"b"}, 2},
      {"duplicates count as lines", Bytes8("same\nsame\nother"), false, {u"other", u"same"}, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMatchList list(true);
    list.allow_strings_with_commas = c.commas;
    ASSERT_TRUE(list.LoadFromBytes(c.file));
    EXPECT_EQ(Reported(list), c.expected);
    EXPECT_EQ(list.lines, c.lines);
    EXPECT_EQ(list.counter, kSeedCount + static_cast<int32_t>(c.expected.size()));
  }
}

TEST(ListFileReader, MalformedFilesNeverLoseWhatTheyHold) {
  // A final odd byte is not text; a lone byte-order mark is an empty list.
  std::vector<uint8_t> odd = Utf16(u"ab\ncd");
  odd.push_back(0x41);
  TMatchList list(true);
  ASSERT_TRUE(list.LoadFromBytes(odd));
  EXPECT_EQ(Reported(list), (Lines{u"ab", u"cd"}));

  for (auto bom : {std::vector<uint8_t>{0xFF, 0xFE}, std::vector<uint8_t>{0xFE, 0xFF, 0x00}}) {
    TMatchList empty(true);
    ASSERT_TRUE(empty.LoadFromBytes(bom));
    EXPECT_TRUE(empty.using_unicode);
    EXPECT_EQ(empty.lines, 0);
    EXPECT_EQ(empty.counter, kSeedCount);
  }
  TMatchList tiny(true);
  EXPECT_FALSE(tiny.LoadFromBytes(Bytes8("x")));
  EXPECT_EQ(tiny.counter, 0);

  // A giant line and bytes that the code page does not define are stored intact.
  const std::string giant(1 << 20, 'g');
  const std::string undefined = "\x81\x8D\x8F\x90\x9D tail\xFF";
  TMatchList big(true);
  ASSERT_TRUE(big.LoadFromBytes(Bytes8(giant + "\r\n" + undefined + "\r\n\x81")));
  EXPECT_EQ(big.lines, 3);
  EXPECT_NE(big.Found(giant.c_str()), nullptr);
  EXPECT_NE(big.Found(undefined.c_str()), nullptr);
  EXPECT_NE(big.Found("\x81"), nullptr);
}

TEST(ListFileReader, AnnouncesLineCountsWithTheListName) {
  std::vector<std::pair<int32_t, std::u16string>> announced;
  auto announce = [&](int32_t n, const char16_t* mess) { announced.emplace_back(n, mess); };
  const struct {
    std::vector<uint8_t> file;
    std::vector<int32_t> counts;
  } cases[] = {
      {Utf16(u""), {1, 0}},
      {Bytes8("a\nb\nc\n"), {1, 3}},           // LF only: no CR to count
      {Bytes8("a\r\nb\r\n;c\r\n"), {4, 2}},    // CR + 1, then entries accepted
  };
  for (const auto& c : cases) {
    announced.clear();
    TStopList list(true);
    list.SetNLinesProc(TAnnounceNumberAndMessageProc::FromCallable(announce));
    ASSERT_TRUE(list.LoadFromBytes(c.file));
    ASSERT_EQ(announced.size(), c.counts.size());
    for (size_t k = 0; k < c.counts.size(); ++k) {
      EXPECT_EQ(announced[k].first, c.counts[k]);
      EXPECT_EQ(announced[k].second, u"stop list");
    }
  }
  announced.clear();
  TMatchList relation(true);  // relation lists are match lists
  relation.SetNLinesProc(TAnnounceNumberAndMessageProc::FromCallable(announce));
  relation.LoadFromBytes(Bytes8("xy"));
  EXPECT_EQ(announced.at(0).second, u"match list");
}

TEST(ListFileReader, ReportsProgressEvery256AcceptedEntries) {
  std::string file;
  for (int k = 0; k < 600; ++k) file.append("w").append(std::to_string(k)).append("\n");
  std::vector<int32_t> progress;
  auto record = [&](int32_t n) { progress.push_back(n); };
  TMatchList list(true);
  list.SetProgressProc(TShowSomeProgressProc::FromCallable(record));
  list.LoadFromBytes(Bytes8(file));
  EXPECT_EQ(progress, (std::vector<int32_t>{0, 256, 512}));
}

TEST(ListFileReader, UpperCasesTextButNotSeeds) {
  TMatchList list(false);
  list.force_upper_case = true;
  ASSERT_TRUE(list.LoadFromBytes(Utf16(u"stra\u00DFe, caf\u00E9, m_8z")));
  // "m_8z" from the file becomes "M_8Z", an ordinary entry; the seeds are
  // inserted before the text is upper-cased and keep their case.
  EXPECT_EQ(Reported(list), (Lines{u"CAF\u00C9", u"M_8Z", u"STRA\u00DFE"}));
  EXPECT_NE(list.Found(u"m_8z"), nullptr);
}

TEST(ListFileReader, UpperCasesWithTheLocalesCasing) {
  const std::string path = ::testing::TempDir() + "lem_turkish_" + std::to_string(::getpid()) + ".txt";
  const std::vector<uint8_t> bytes = Utf16(u"istanbul");
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  const struct {
    uint32_t lcid;
    std::u16string expected;
  } cases[] = {{0x0409, u"ISTANBUL"}, {0x041F, u"\u0130STANBUL"}};
  for (const auto& c : cases) {
    TMatchList list(false);
    ASSERT_TRUE(list.LoadFromFile({}, {}, c.lcid, true, platform::DecodedUTF8(path)));
    EXPECT_EQ(Reported(list), Lines{c.expected});
  }
  std::remove(path.c_str());
}

TEST(ListFileReader, CancelKeepsWhatWasReadAndSucceeds) {
  std::string file;
  for (int k = 0; k < 100; ++k) file.append("w").append(std::to_string(1000 + k)).append("\n");
  TStopList list(true);
  // The request arrives from the host's yield procedure while entry 41 is read.
  auto yield = [&] {
    if (list.lines == 40) list.cancelled = true;
  };
  const TYieldProcessProc saved = AYieldProcessProc;
  AYieldProcessProc = TYieldProcessProc::FromCallable(yield);
  const bool loaded = list.LoadFromBytes(Bytes8(file));
  AYieldProcessProc = saved;
  EXPECT_TRUE(loaded);
  EXPECT_EQ(list.lines, 41);
  EXPECT_EQ(list.counter, kSeedCount + list.lines);
  // Clear resets the request, so it does not reach the next load.
  list.Clear();
  EXPECT_FALSE(list.cancelled);
  EXPECT_TRUE(list.LoadFromBytes(Bytes8(file)));
  EXPECT_EQ(list.lines, 100);
}

TEST(ListFileReader, FindsKeysWhoseUnitsLieFarApart) {
  TMatchList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Utf16(u"apple\n\uD55C\uAD6D\nzebra\n\uFFFD\n\u00FF")));
  for (const char16_t* key : {u"apple", u"\uD55C\uAD6D", u"zebra", u"\uFFFD", u"\u00FF"})
    EXPECT_NE(list.Found(key), nullptr);
  EXPECT_EQ(list.Found(u"\uD55C"), nullptr);
}

TEST(ListFileReader, SeedsAreKeptOutOfReports) {
  TMatchList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Bytes8("Zoo\nant\nBee\nx_8z\n")));
  // Ordinal order: upper case first; an entry containing "_8z" counts as a seed.
  EXPECT_EQ(Reported(list), (Lines{u"Bee", u"Zoo", u"ant"}));
  EXPECT_EQ(list.counter, kSeedCount + 4);
  EXPECT_TRUE(list.IsASeed(const_cast<char*>("\xC0_8z")));
  EXPECT_EQ(list.BuildPtrArray({}, {}), 3);
}

TEST(ListFileReader, CopyOfPointerConvertsIntoTheListsEncoding) {
  TMatchList wide(true);
  wide.LoadFromBytes(Utf16(u"caf\u00E9"));
  const char* word8 = "caf\xE9";
  const void* converted = wide.CopyOfPointer(word8, false);
  EXPECT_EQ(std::u16string_view(static_cast<const char16_t*>(converted)), u"caf\u00E9");
  EXPECT_NE(wide.Found(converted), nullptr);
  const std::string longWord(400, 'x');
  EXPECT_EQ(TextLength(wide.CopyOfPointer(longWord.c_str(), false), true), 255u);
  EXPECT_EQ(wide.CopyOfPointer(u"same", true), static_cast<const void*>(u"same"));

  TMatchList narrow(true);
  narrow.LoadFromBytes(Bytes8("caf\xE9"));
  EXPECT_EQ(std::string_view(static_cast<const char*>(narrow.CopyOfPointer(u"caf\u00E9", true))),
            "caf\xE9");
}

// ---- lemma lists -------------------------------------------------------------------

TEST(LemmaList, PairsHeadwordsAndVariants) {
  TLemmaList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Bytes8("GO -> GOES, WENT, GONE\r\nGOING\r\n")));
  EXPECT_EQ(list.lemma_pair_entries, 4);
  EXPECT_EQ(list.lines, 4);
  EXPECT_EQ(std::u16string_view(list.LemmaVariantsOf(u"go", u", ")), u"GOES, WENT, GONE, GOING");
  EXPECT_EQ(std::u16string_view(list.LemmaVariantsOf(u"COME", u", ")), u"");
  EXPECT_EQ(Reported(list), (Lines{u"GOES=GO", u"GOING=GO", u"GONE=GO", u"WENT=GO"}));
  const TLemmaEntryRec found = list.FoundVariant("WENT");
  EXPECT_EQ(std::u16string_view(found.headwordp), u"GO");
  const TLemmaEntryRec seed = list.FoundVariant("M_8z");
  EXPECT_STREQ(static_cast<const char*>(seed.variantp), "M_8z");
  EXPECT_EQ(seed.headwordp, nullptr);
  const TLemmaEntryRec absent = list.FoundVariant("COME");
  EXPECT_STREQ(static_cast<const char*>(absent.variantp), "COME");
  EXPECT_EQ(absent.headwordp, nullptr);
}

TEST(LemmaList, RejectsMalformedPairs) {
  const struct {
    const char* name;
    std::u16string file;
    Lines pairs;
    int32_t lines;
    int32_t headwords;
  } cases[] = {
      {"variant equals headword", u"be -> be, was", {u"was=be"}, 1, 1},
      {"arrow first forgets the headword", u"be -> was\n-> x\nwere\nGO -> WENT", {u"WENT=GO", u"was=be"}, 2, 2},
      {"headword without variant", u"be ->\nwas, were", {u"was=be", u"were=be"}, 2, 1},
      {"variant before any headword", u"orphan\nbe -> was", {u"was=be"}, 1, 1},
      {"variant under two headwords", u"axe -> axes\naxis -> axes", {u"axes=axe"}, 2, 2},
      {"arrow inside the variant", u"a -> b -> c", {u"b -> c=a"}, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLemmaList list(true);
    ASSERT_TRUE(list.LoadFromBytes(Utf16(c.file)));
    EXPECT_EQ(Reported(list), c.pairs);
    EXPECT_EQ(list.lines, c.lines);
    EXPECT_EQ(list.lemma_pair_entries, static_cast<int32_t>(c.pairs.size()));
    EXPECT_EQ(list.headwords().Count(), c.headwords);
    EXPECT_EQ(list.LoadedOK(), !c.pairs.empty());
  }
  TLemmaList twoHeads(true);
  twoHeads.LoadFromBytes(Utf16(u"axe -> axes\naxis -> axes"));
  EXPECT_EQ(std::u16string_view(twoHeads.LemmaVariantsOf(u"axis", u",")), u"");
}

// Headwords met in descending order (each one before all those already listed)
// are read back in ascending order, found without regard to case, and kept
// once.
TEST(LemmaList, HeadwordsArrivingInDescendingOrder) {
  THeadwordList list;
  constexpr int kCount = 2000;
  std::vector<std::u16string> words;
  for (int i = kCount - 1; i >= 0; --i) {
    std::u16string w = u"w";
    for (int k = 1000; k > 0; k /= 10) w += static_cast<char16_t>(u'a' + (i / k) % 10);
    words.push_back(w);
    list.FindOrAdd(w).holders.clear();
    // Positions asked for while the list grows follow it.
    if (i % 500 == 0) {
      ASSERT_EQ(list.Count(), kCount - i);
      ASSERT_EQ(list.At(0)->text, w);
    }
  }
  ASSERT_EQ(list.Count(), kCount);
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(list.At(i)->text, words[static_cast<size_t>(kCount - 1 - i)]) << i;
  }
  EXPECT_EQ(list.At(kCount), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.Find(u"WABCD"), list.At(123));
  THeadwordEntry* first = list.Find(u"waaaa");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(&list.FindOrAdd(u"WAAAA"), first);
  EXPECT_EQ(list.Count(), kCount);
  EXPECT_EQ(list.Find(u"wzzzz"), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.At(0), nullptr);
}

TEST(LemmaList, HeadwordsIgnoreCaseButVariantsDoNot) {
  TLemmaList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Utf16(u"Go -> Went\nGO -> WENT\nbe -> was")));
  EXPECT_EQ(list.headwords().Count(), 2);
  EXPECT_EQ(list.headwords().At(0)->text, u"be");
  EXPECT_EQ(list.headwords().At(1)->text, u"Go");  // the form first met stays
  EXPECT_EQ(list.headwords().At(2), nullptr);
  EXPECT_EQ(std::u16string_view(list.LemmaVariantsOf(u"gO", u"|")), u"Went|WENT");
  EXPECT_EQ(list.lemma_pair_entries, 3);
}

TEST(LemmaList, VariantsAreCutTo255Units) {
  std::u16string file = u"many -> ";
  for (int k = 0; k < 100; ++k) {
    file.push_back(u'v');
    file.push_back(static_cast<char16_t>(u'a' + k % 26));
    file.push_back(static_cast<char16_t>(u'a' + k / 26));
    file.append(u", ");
  }
  TLemmaList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Utf16(file)));
  const std::u16string_view joined = list.LemmaVariantsOf(u"many", u", ");
  EXPECT_EQ(joined.size(), 255u);
  EXPECT_EQ(joined.substr(0, 9), u"vaa, vba,");
}

TEST(LemmaList, EightBitListsReportEightBitVariantsAndWideHeadwords) {
  TLemmaList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Bytes8("caf\xE9 -> caf\xE9s\r\n<un>do -> undid")));
  std::vector<std::tuple<std::string, std::u16string, bool, bool, int32_t, int32_t>> seen;
  auto show = [&](const TLemmaEntryRec* t, bool in_unicode, bool affixes, int32_t n, int32_t of) {
    seen.emplace_back(static_cast<const char*>(t->variantp), t->headwordp, in_unicode, affixes, n, of);
  };
  list.ShowProc = THandleLemmaProc::FromCallable(show);
  list.Traverse();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(std::get<0>(seen[0]), "caf\xE9s");
  EXPECT_EQ(std::get<1>(seen[0]), u"caf\u00E9");
  EXPECT_FALSE(std::get<2>(seen[0]));
  EXPECT_EQ(std::get<5>(seen[0]), kSeedCount + 2);
  EXPECT_EQ(std::get<1>(seen[1]), u"<un>do");
  EXPECT_FALSE(std::get<3>(seen[1]));  // the variant "undid" has no affix notation
  // Positions count the seeds: 19 seeds and 2 entries, in ordinal order.
  EXPECT_LT(std::get<4>(seen[0]), std::get<4>(seen[1]));
}

TEST(LemmaList, ClearForgetsEverythingOfTheLastFile) {
  TLemmaList list(true);
  ASSERT_TRUE(list.LoadFromBytes(Bytes8("be -> was")));
  list.Clear();
  EXPECT_EQ(list.counter, 0);
  EXPECT_EQ(list.headwords().Count(), 0);
  EXPECT_EQ(list.lemma_pair_entries, 0);
  EXPECT_FALSE(list.LoadedOK());
  // Bare variants at the top of the next file belong to no headword.
  ASSERT_TRUE(list.LoadFromBytes(Bytes8("were")));
  EXPECT_EQ(list.lemma_pair_entries, 0);
  EXPECT_FALSE(list.LoadedOK());
}

TEST(LemmaList, ReloadAndClearThroughTheBaseForgetTheHeadwords) {
  const std::string dir = ::testing::TempDir() + std::to_string(::getpid()) + "_";
  const std::string first = dir + "lemma_reload_first.txt";
  const std::string second = dir + "lemma_reload_second.txt";
  for (const auto& [path, text] : {std::pair{first, "go -> went\nbe -> was\n"}, {second, "see -> saw\n"}}) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    std::fclose(f);
  }
  TLemmaList list(true);
  ASSERT_TRUE(list.LoadFromFile({}, {}, 0x0409, false, platform::DecodedUTF8(first)));
  ASSERT_EQ(list.headwords().Count(), 2);
  // A reload through the reader's own LoadFromFile starts from an empty list.
  ASSERT_TRUE(list.LoadFromFile({}, {}, 0x0409, false, platform::DecodedUTF8(second)));
  EXPECT_EQ(list.headwords().Count(), 1);
  EXPECT_EQ(std::u16string_view(list.LemmaVariantsOf(u"go", u",")), u"");
  EXPECT_EQ(std::u16string_view(list.LemmaVariantsOf(u"see", u",")), u"saw");
  EXPECT_EQ(list.lemma_pair_entries, 1);
  // Clearing through any base clears the whole list.
  TGeneral_Tree& asTree = list;
  asTree.Clear();
  EXPECT_EQ(list.counter, 0);
  EXPECT_EQ(list.headwords().Count(), 0);
  EXPECT_EQ(list.lemma_pair_entries, 0);
  EXPECT_EQ(list.lines, 0);
  ASSERT_TRUE(list.LoadFromFile({}, {}, 0x0409, false, platform::DecodedUTF8(first)));
  TReadFileTree& asReader = list;
  asReader.Clear();
  EXPECT_EQ(list.headwords().Count(), 0);
  EXPECT_EQ(std::u16string_view(list.LemmaVariantsOf(u"be", u",")), u"");
  std::remove(first.c_str());
  std::remove(second.c_str());
}

// A list file name that is a named pipe nobody writes, or an endless device,
// raises the reader's open error at once instead of holding the caller.
TEST(ListFileReader, PipesAndDevicesRaiseAtOnce) {
  const std::string pipe = ::testing::TempDir() + "lemma_list_pipe_" + std::to_string(::getpid()) + ".txt";
  ASSERT_TRUE(test_support::MakeNamedPipe(pipe));
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(test_support::ReturnsWithoutAWriter(pipe, [&] {
      TLemmaList lemmas(true);
      EXPECT_THROW(lemmas.LoadFromFile({}, {}, 0x0409, false, platform::DecodedUTF8(path)),
                   EFOpenError);
      TStopList stops(true);
      EXPECT_THROW(stops.LoadFromFile({}, {}, 0x0409, false, platform::DecodedUTF8(path)),
                   EFOpenError);
    }));
  }
  std::remove(pipe.c_str());
}

TEST(LemmaList, LoadsTheShippedFixtureInEveryEncoding) {
  for (const char* name : {"english_lemmas_8bit.txt", "english_lemmas_utf16le.txt",
                           "english_lemmas_utf16be.txt"}) {
    SCOPED_TRACE(name);
    std::vector<int32_t> announced;
    auto announce = [&](int32_t n, const char16_t*) { announced.push_back(n); };
    TLemmaList list(true);
    const std::string path = std::string(QN_SOURCE_DIR) + "/lemmatiser/testdata/" + name;
    ASSERT_TRUE(list.LoadFromFile(TAnnounceNumberAndMessageProc::FromCallable(announce), {}, 0x0409,
                                  false, platform::DecodedUTF8(path)));
    EXPECT_EQ(list.lines, 3667);
    EXPECT_EQ(list.lemma_pair_entries, 3639);
    EXPECT_EQ(list.headwords().Count(), 2030);
    EXPECT_EQ(announced, (std::vector<int32_t>{2034, 3667}));
    const bool wide = list.using_unicode;
    EXPECT_EQ(wide, std::string(name) != "english_lemmas_8bit.txt");
    for (auto [variant, headword] : {std::pair{"went", u"go"}, {"better", u"good"}, {"was", u"be"}}) {
      const std::u16string wideVariant = platform::DecodedUTF8(variant);
      const TLemmaEntryRec e = list.FoundVariant(wide ? static_cast<const void*>(wideVariant.c_str()) : variant);
      ASSERT_NE(e.headwordp, nullptr) << variant;
      EXPECT_EQ(std::u16string_view(e.headwordp), headword);
    }
  }
  TLemmaList missing(true);
  EXPECT_FALSE(missing.LoadFromFile({}, {}, 0x0409, false, u"/nonexistent/lemmas.txt"));
}

}  // namespace
}  // namespace qn
