#include "runtime1/search/Search_engines.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/YieldHook.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/search/Search_parsing.h"

namespace qn {
namespace {

// A field of a packed hit record, by value (a reference to it may be
// misaligned).
template <typename T>
T V(T value) {
  return value;
}

constexpr uint32_t kEnglish = 0x0409;   // code page 1252
constexpr uint32_t kRussian = 0x0419;   // code page 1251
constexpr uint32_t kJapanese = 0x0411;  // code page 932

TSearch_word_format_rec Word(std::u16string typed) {
  const TIgnore_tag_type noTags{};
  return Parsed_SearchWord(noTags, typed);
}

// Collects the hits a search reports; decide says whether each is accepted.
struct Collector {
  std::vector<TSearchFound_Rec> hits;
  std::function<bool(TSearchAndDoEngine&, const TSearchFound_Rec&)> decide;
  std::vector<TSearchStatsRec> counts;

  bool Found(platform::TObject* sender, const TSearchFound_Rec& rec) {
    hits.push_back(rec);
    return decide ? decide(*static_cast<TSearchAndDoEngine*>(sender), rec) : true;
  }
  void Counted(platform::TObject*, const TSearchStatsRec& stats) { counts.push_back(stats); }
  TSearchFoundEvent FoundEvent() { return TSearchFoundEvent::Bind<&Collector::Found>(this); }
  TWordCountEvent CountEvent() { return TWordCountEvent::Bind<&Collector::Counted>(this); }
  std::vector<int32_t> Starts() const {
    std::vector<int32_t> s;
    for (const TSearchFound_Rec& r : hits) s.push_back(V(r.hit_pos_in_characters));
    return s;
  }
};

TEST(SearchAndDo, StopsAtTheWantedNumberOfAcceptedHits) {
  const std::u16string text = u"a cat, a cat, a cat, a cat";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 52, 0, c.FoundEvent(), c.CountEvent());
  TSearch_word_format_rec cat = Word(u"cat");
  cat.n_to_find = 2;
  EXPECT_TRUE(engine.SearchAndDo(&cat));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{2, 9}));
  ASSERT_EQ(c.counts.size(), 1u);

  // A rejected hit does not count toward n_to_find but is still reported.
  Collector picky;
  picky.decide = [&](TSearchAndDoEngine&, const TSearchFound_Rec&) {
    return picky.hits.size() > 1;
  };
  engine.PrepareFirst(text.c_str(), 52, 0, picky.FoundEvent(), TWordCountEvent());
  EXPECT_TRUE(engine.SearchAndDo(&cat));
  EXPECT_EQ(picky.Starts(), (std::vector<int32_t>{2, 9, 16}));
  EXPECT_EQ(engine.HitsFound(), 5);
}

TEST(SearchAndDo, FoundEnoughAndCancel) {
  const std::u16string text = u"the the the";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  c.decide = [](TSearchAndDoEngine& e, const TSearchFound_Rec&) {
    e.FoundEnough();
    return true;
  };
  engine.PrepareFirst(text.c_str(), 22, 0, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec the = Word(u"the");
  EXPECT_TRUE(engine.SearchAndDo(&the));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{0}));

  // Cancel before the search has no effect on it; during it, it stops it.
  Collector all;
  engine.PrepareFirst(text.c_str(), 22, 0, all.FoundEvent(), TWordCountEvent());
  engine.Cancel();
  EXPECT_TRUE(engine.SearchAndDo(&the));
  EXPECT_EQ(all.Starts(), (std::vector<int32_t>{0, 4, 8}));
  Collector cancelling;
  cancelling.decide = [](TSearchAndDoEngine& e, const TSearchFound_Rec&) {
    e.Cancel();
    return true;
  };
  engine.PrepareFirst(text.c_str(), 22, 0, cancelling.FoundEvent(), TWordCountEvent());
  EXPECT_TRUE(engine.SearchAndDo(&the));
  EXPECT_EQ(cancelling.Starts(), (std::vector<int32_t>{0}));
  EXPECT_TRUE(engine.Cancelled());
}

TEST(SearchAndDo, HitRecordAndOverlaps) {
  const std::u16string text = u"aaaa";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 1000, 500, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec aa = Word(u"*aa*");
  EXPECT_TRUE(engine.SearchAndDo(&aa, 7));
  ASSERT_EQ(c.Starts(), (std::vector<int32_t>{0, 1, 2}));
  const TSearchFound_Rec& first = c.hits[0];
  EXPECT_EQ(V(first.start_of_text), text.c_str());
  EXPECT_EQ(V(first.start_of_memory), text.c_str());
  EXPECT_EQ(V(first.where_hit_started), text.c_str());
  EXPECT_FLOAT_EQ(V(first.percent_of_file), 50.0f);
  EXPECT_EQ(V(first.search_number), 7);
  EXPECT_EQ(V(first.FileBytePos), 500u);
  EXPECT_EQ(V(first.exact_hit_len), 2);
  EXPECT_EQ(V(first.hit_characters), 4);  // open at the right: the rest of the word
  EXPECT_EQ(V(c.hits[1].where_hit_started), text.c_str() + 1);
  EXPECT_FLOAT_EQ(V(c.hits[1].percent_of_file), 50.2f);
  // Not in a heading: the heading counts show -1.
  EXPECT_EQ(V(first.count_stats.number[heading_stats]), -1);
  EXPECT_EQ(V(first.count_stats.position[heading_stats]), -1);
  for (const uint8_t b : first.spare) EXPECT_EQ(b, 0);

  // A file size of 0 gives 0 %, not a division by zero.
  Collector z;
  engine.PrepareFirst(text.c_str(), 0, 500, z.FoundEvent(), TWordCountEvent());
  EXPECT_TRUE(engine.SearchAndDo(&aa));
  EXPECT_EQ(V(z.hits.at(0).percent_of_file), 0.0f);
}

TEST(SearchAndDo, RefusesWhatCannotRun) {
  const std::u16string text = u"cat";
  TSearchAndDoEngine engine(true, true, kEnglish);
  TSearch_word_format_rec cat = Word(u"cat");
  EXPECT_FALSE(engine.SearchAndDo(&cat));  // not prepared
  Collector c;
  engine.PrepareFirst(text.c_str(), 3, 0, TSearchFoundEvent(), TWordCountEvent());
  EXPECT_FALSE(engine.SearchAndDo(&cat));  // no found-event: not ready
  engine.PrepareFirst(text.c_str(), 3, 0, c.FoundEvent(), TWordCountEvent());
  EXPECT_FALSE(engine.SearchAndDo(nullptr));
  TSearch_word_format_rec empty;
  EXPECT_FALSE(engine.SearchAndDo(&empty));
  EXPECT_TRUE(engine.SearchAndDo(&cat));

  // A detail array that covers fewer characters than the buffer.
  std::vector<uint16_t> details(4, 0);
  platform::CharTypes1(text.data(), 3, details.data());
  const std::u16string longer = u"cat cat";
  engine.PrepareForConcordancing(u"f.txt", longer.data(), details.data(), details.data() + 4, 14, 7,
                                 0, false, c.FoundEvent(), TWordCountEvent());
  EXPECT_FALSE(engine.SearchAndDo(&cat));
  engine.SetBufferLength(3);
  EXPECT_TRUE(engine.SearchAndDo(&cat));
}

TEST(SearchAndDo, DetailsStartIsSetForTheLeftBoundary) {
  // A left-bounded hit at the very first character, with details the
  // engine built and with details a tool prepared (markup marked).
  const std::u16string text = u"walk <b>walk</b>";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 32, 0, c.FoundEvent(), TWordCountEvent());
  EXPECT_EQ(engine.BufferDetailsStart(), engine.BufferDetails());
  TSearch_word_format_rec walk = Word(u"walk");
  EXPECT_TRUE(engine.SearchAndDo(&walk));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{0, 8}));

  std::vector<uint16_t> details(text.size() + 2, 0);
  platform::CharTypes1(text.data(), text.size(), details.data());
  for (size_t i = 5; i < 8; ++i) details[i] |= 0x0800;
  for (size_t i = 12; i < 16; ++i) details[i] |= 0x0800;
  Collector t;
  engine.PrepareForConcordancing(u"f.txt", text.data(), details.data(),
                                 details.data() + text.size() + 1, 32, 16, 0, false, t.FoundEvent(),
                                 TWordCountEvent());
  EXPECT_EQ(engine.BufferDetailsStart(), details.data());
  EXPECT_TRUE(engine.PreAssigned());
  EXPECT_TRUE(engine.SearchAndDo(&walk));
  EXPECT_EQ(t.Starts(), (std::vector<int32_t>{0, 8}));
}

TEST(SearchAndDo, EngineBuiltDetailsOfALongBuffer) {
  // Longer than the blocks the length and the classes are found in, at odd
  // lengths around block ends.
  for (const size_t n : {size_t{16383}, size_t{16384}, size_t{16385}, size_t{40001}}) {
    std::u16string text;
    while (text.size() < n) text += u"word, 12 \u00E9t\u00E9 ";
    text.resize(n);
    TSearchAndDoEngine engine(true, true, kEnglish);
    engine.SetABuffer(text.c_str());
    ASSERT_EQ(engine.BufferLength(), static_cast<int32_t>(n));
    std::vector<uint16_t> expected(n + 2, 0);
    platform::CharTypes1(text.data(), n, expected.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), engine.BufferDetails()));
    EXPECT_EQ(engine.BufferDetailsEnd(), engine.BufferDetails() + n + 1);
  }
  // One engine given longer and shorter texts in turn: the array grows to
  // each longer text once, and every array is the text's classes and two zeros.
  {
    TSearchAndDoEngine engine(true, true, kEnglish);
    for (const size_t n : {size_t{0}, size_t{1}, size_t{7}, size_t{100}, size_t{99}, size_t{101},
                           size_t{70000}, size_t{300}, size_t{70001}, size_t{200003}}) {
      std::u16string text;
      while (text.size() < n) text += u"Qu\u00E9 12, \u0915\u093F. ";
      text.resize(n);
      engine.SetABuffer(text.c_str());
      ASSERT_EQ(engine.BufferLength(), static_cast<int32_t>(n));
      std::vector<uint16_t> expected(n + 2, 0);
      platform::CharTypes1(text.data(), n, expected.data());
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), engine.BufferDetails())) << n;
      EXPECT_EQ(engine.BufferDetailsEnd(), engine.BufferDetails() + n + 1);
    }
  }
  // A shorter buffer next reuses the storage and is classified afresh.
  TSearchAndDoEngine engine(true, true, kEnglish);
  const std::u16string big(20000, u'x'), small = u"a b";
  engine.SetABuffer(big.c_str());
  engine.SetABuffer(small.c_str());
  EXPECT_EQ(engine.BufferLength(), 3);
  EXPECT_EQ(engine.BufferDetails()[3], 0);
  EXPECT_EQ(engine.BufferDetails()[4], 0);
  EXPECT_EQ(engine.BufferDetails()[1], platform::CharType1(u' '));
}

TEST(SearchAndDo, CallersArrayGivenAtCreation) {
  const std::u16string text = u"a cat";
  std::vector<uint16_t> details(text.size() + 2, 0);
  platform::CharTypes1(text.data(), text.size(), details.data());
  TSearchAndDoEngine engine(true, true, kEnglish, details.data());
  EXPECT_TRUE(engine.PreAssigned());
  Collector c;
  engine.PrepareFirst(text.c_str(), 10, 0, c.FoundEvent(), TWordCountEvent());
  EXPECT_EQ(engine.BufferDetails(), details.data());  // kept, not rebuilt
  TSearch_word_format_rec cat = Word(u"cat");
  EXPECT_TRUE(engine.SearchAndDo(&cat));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{2}));
  // The old array for a longer buffer: its end says it is too short.
  const std::u16string longer = u"a cat and a cat";
  engine.SetABuffer(longer.c_str());
  EXPECT_FALSE(engine.SearchAndDo(&cat));
}

TEST(SearchAndDo, CountsReachTheWordCountEvent) {
  const std::u16string text = u"one two three four";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 36, 0, c.FoundEvent(), c.CountEvent());
  TSearch_word_format_rec three = Word(u"three");
  EXPECT_TRUE(engine.SearchAndDo(&three));
  ASSERT_EQ(c.hits.size(), 1u);
  EXPECT_EQ(V(c.hits[0].count_stats.number[word_stats]), 2);  // words started before the hit
  ASSERT_EQ(c.counts.size(), 1u);
  EXPECT_EQ(c.counts[0].number[word_stats], 3);
  // Counts run on across searches until cleared.
  EXPECT_TRUE(engine.SearchAndDo(&three));
  EXPECT_EQ(engine.ThisFileChunk_Stats.number[word_stats], 6);
  engine.ClearChunkTextStats();
  EXPECT_EQ(engine.ThisFileChunk_Stats.number[word_stats], 0);
}

TEST(SearchAndDo, LowestJumpToIsBytesKeptInsideTheBuffer) {
  const std::u16string text = u"cat cat";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 14, 0, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec cat = Word(u"cat");
  Global_LowestJumpTo = 2;  // one UTF-16 character
  EXPECT_TRUE(engine.SearchAndDo(&cat));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{4}));
  Global_LowestJumpTo = 1 << 30;
  c.hits.clear();
  EXPECT_TRUE(engine.SearchAndDo(&cat));
  EXPECT_TRUE(c.hits.empty());
  Global_LowestJumpTo = 0;
}

TEST(SearchAndDo, EightBitBuffersNarrowTheWordOncePerSearch) {
  // "café" typed with a combining accent: five UTF-16 units, four bytes in 1252.
  const std::string text = "un caf\xE9 noir";
  TSearchAndDoEngine engine(false, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 12, 0, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec cafe = Word(u"CAFE\u0301");
  EXPECT_TRUE(engine.SearchAndDo(&cafe));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{3}));
  EXPECT_EQ(V(c.hits.at(0).exact_hit_len), 4);
  EXPECT_TRUE(cafe.copies_converted);
  EXPECT_EQ(cafe.copies[lower_copy], (std::u16string{u'c', u'a', u'f', 0xE9}));
  const auto narrowed = cafe.copies;
  EXPECT_TRUE(engine.SearchAndDo(&cafe));
  EXPECT_EQ(cafe.copies, narrowed);
  EXPECT_EQ(c.hits.size(), 2u);

  // The same record in a UTF-16 engine: its UTF-16 copies come back.
  // The word is matched as typed, with its combining accent.
  const std::u16string wide = u"un cafe\u0301 noir";
  TSearchAndDoEngine unicode(true, true, kEnglish);
  Collector u;
  unicode.PrepareFirst(wide.c_str(), 24, 0, u.FoundEvent(), TWordCountEvent());
  EXPECT_TRUE(unicode.SearchAndDo(&cafe));
  EXPECT_FALSE(cafe.copies_converted);
  EXPECT_EQ(u.Starts(), (std::vector<int32_t>{3}));
}

TEST(SearchAndDo, CopiesNarrowedForAnotherCodePageAreRedone) {
  // "да" narrowed for 1251 is E4 E0; read as 1252 that would be "äà".
  const std::string cyrillic = "\xE4\xE0 \xED\xE5\xF2";  // "да нет" in 1251
  TSearchAndDoEngine russian(false, true, kRussian);
  Collector r;
  russian.PrepareFirst(cyrillic.c_str(), 6, 0, r.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec da = Word(u"\u0434\u0430");
  EXPECT_TRUE(russian.SearchAndDo(&da));
  EXPECT_EQ(r.Starts(), (std::vector<int32_t>{0}));

  const std::string latin = "\xE4\xE0 x";  // "äà x" in 1252
  TSearchAndDoEngine english(false, true, kEnglish);
  Collector e;
  english.PrepareFirst(latin.c_str(), 4, 0, e.FoundEvent(), TWordCountEvent());
  EXPECT_FALSE(english.SearchAndDo(&da));  // 1252 cannot hold the word
  EXPECT_TRUE(e.hits.empty());
}

TEST(SearchAndDo, MultiByteCodePages) {
  // "日本" is four bytes in 932: the whole word is searched, not its first half.
  const std::u16string wide = u"\u65E5 \u65E5\u672C x";
  const std::string text = platform::Encoded(932, wide);
  TSearchAndDoEngine engine(false, true, kJapanese);
  EXPECT_EQ(engine.Codepage, 932);
  Collector c;
  engine.PrepareFirst(text.c_str(), static_cast<int32_t>(text.size()), 0, c.FoundEvent(),
                      TWordCountEvent());
  TSearch_word_format_rec nihon = Word(u"\u65E5\u672C");
  EXPECT_TRUE(engine.SearchAndDo(&nihon));
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{3}));
  EXPECT_EQ(V(c.hits.at(0).exact_hit_len), 4);
}

TEST(SearchAndDo, ReplacingTheBufferDuringAYieldStopsTheSearch) {
  const std::u16string text = u"cat cat cat cat";
  const std::u16string other = u"dog";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 30, 0, c.FoundEvent(), TWordCountEvent());
  int yields = 0;
  auto yield = [&] {
    if (++yields == 3) engine.SetABuffer(other.c_str());  // frees the engine's details
  };
  AYieldProcessProc = TYieldProcessProc::FromCallable(yield);
  TSearch_word_format_rec cat = Word(u"cat");
  EXPECT_TRUE(engine.SearchAndDo(&cat));
  AYieldProcessProc.Clear();
  EXPECT_EQ(c.Starts(), (std::vector<int32_t>{0, 4}));
}

TEST(SearchAndDo, ErrorsNameTheFileAndTheWord) {
  const std::u16string text = u"cat";
  std::vector<uint16_t> details(5, 0);
  platform::CharTypes1(text.data(), 3, details.data());
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  c.decide = [](TSearchAndDoEngine&, const TSearchFound_Rec&) -> bool {
    throw Exception(std::string("boom"));
  };
  engine.PrepareForConcordancing(u"corpus.txt", text.data(), details.data(), details.data() + 4, 6,
                                 3, 0, false, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec cat = Word(u"cat");
  try {
    engine.SearchAndDo(&cat);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "problem searching corpus.txt for \"cat\"");
  }
}

TEST(SearchAndDo, MiddleCharactersJoinWords) {
  const std::u16string text = u"don't";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 10, 0, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec don = Word(u"don");
  EXPECT_TRUE(engine.SearchAndDo(&don));
  EXPECT_EQ(c.hits.size(), 1u);
  engine.HandleAllowables(u"'", false, false);
  EXPECT_TRUE(engine.SearchAndDo(&don));
  EXPECT_EQ(c.hits.size(), 1u);
}

TEST(SearchAndDo, LogLines) {
  const std::filesystem::path log = std::filesystem::temp_directory_path() /
                                    ("search_engines_test_" + std::to_string(getpid()) + ".log");
  std::filesystem::remove(log);
  SetLogFilename(log.u16string());
  keeping_log = true;
  const std::u16string text = u"a\tcat";
  TSearchAndDoEngine engine(true, true, kEnglish);
  Collector c;
  engine.PrepareFirst(text.c_str(), 10, 0x10, c.FoundEvent(), TWordCountEvent());
  TSearch_word_format_rec cat = Word(u"cat");
  engine.SearchAndDo(nullptr);
  engine.SearchAndDo(&cat);
  TAdditionalSearchAndDoEngine quiet(true, true, kEnglish);
  Collector q;
  quiet.PrepareFirst(text.c_str(), 10, 0, q.FoundEvent(), TWordCountEvent());
  quiet.SearchAndDo(&cat);
  keeping_log = false;
  SetLogFilename(u"");

  std::ifstream in(log, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(log);
  std::u16string logged;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    logged += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                    (static_cast<uint8_t>(bytes[i + 1]) << 8));
  EXPECT_NE(logged.find(u"item = nil: True and buffer = nil: False "), std::u16string::npos);
  EXPECT_NE(
      logged.find(u"seeking \r\n\"CAT\"\r\n\"cat\"\r\n\"Cat\"\r\nand file begins \"a\tcat...\""),
      std::u16string::npos);
  EXPECT_NE(logged.find(
                u"(1) \"cat\" at chunk 000010+000002= byte 000014\tdone: 000000\tto go: 000005\t"),
            std::u16string::npos);
  EXPECT_NE(logged.find(u"% words = 1"), std::u16string::npos);
  // The additional engine logs nothing: one seeking line only.
  EXPECT_EQ(logged.find(u"seeking", logged.find(u"seeking") + 1), std::u16string::npos);
}

TEST(TallySearchAndDo, OneEntryAtATime) {
  TTallySearchAndDo tally(true, true, kEnglish);
  tally.SetSearchWord(u"walk", TMySearchFlags{myLeftBounded});
  auto found = [&](const char16_t* entry) {
    tally.SetABuffer(entry);
    return tally.QuickSearchFoundIgnoringTags();
  };
  EXPECT_TRUE(found(u"walking"));
  EXPECT_TRUE(found(u"WALKED"));
  EXPECT_FALSE(found(u"sleepwalk"));
  EXPECT_FALSE(found(u"wal"));
  EXPECT_FALSE(found(u""));
  tally.SetSearchWord(u"Walk", TMySearchFlags{myCaseIsSensitive, myLeftBounded, myRightBounded});
  EXPECT_TRUE(found(u"Walk"));
  EXPECT_FALSE(found(u"walk"));
  EXPECT_FALSE(found(u"Walks"));
  // A trailing star is left to the open right end.
  tally.SetSearchWord(u"wa\x1D", TMySearchFlags{myLeftBounded});
  EXPECT_TRUE(found(u"wa"));

  TTallySearchAndDo bytes(false, true, kEnglish);
  bytes.SetSearchWord(u"caf\u00E9", TMySearchFlags{myLeftBounded, myRightBounded});
  bytes.SetABuffer("CAF\xC9");
  EXPECT_TRUE(bytes.QuickSearchFoundIgnoringTags());
  bytes.SetABuffer("cafe");
  EXPECT_FALSE(bytes.QuickSearchFoundIgnoringTags());
}

TEST(SearchFoundList, OffsetOrderFollowsTheReversedCompare) {
  static const char16_t text[] = u"0123456789";
  TSearchFoundList list;
  for (const int offset : {3, 9, 0, 5}) {
    TSearchFound_Rec rec{};
    rec.start_of_memory = text;
    rec.where_hit_started = text + offset;
    list.Add(new TSearchFoundHolder(rec));
  }
  auto order = [&] {
    list.DoASingleSort(list.CompareMethod(), 0);
    std::vector<const void*> o;
    for (int32_t i = 0; i < list.Count(); ++i)
      o.push_back(V(static_cast<TSearchFoundHolder*>(list.Get(i))->data().where_hit_started));
    return o;
  };
  // Compare answers -1 for a greater offset, so the list's default direction
  // gives the hits in text order and an ascending sort gives the last first.
  EXPECT_EQ(order(), (std::vector<const void*>{text + 0, text + 3, text + 5, text + 9}));
  list.SetAscending(true, true, true);
  EXPECT_EQ(order(), (std::vector<const void*>{text + 9, text + 5, text + 3, text + 0}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add(new TSearchFoundHolder(TSearchFound_Rec{}));  // freed by the destructor
}

TEST(CleanToTagOnOff, EncodesPairsInOnePass) {
  EXPECT_EQ(CleanToTagOnOff(u"<b>bold</b>"),
            u"\x19"
            u"b\x18"
            u"bold\x19/b\x18");
  // Every "<" with a ">" after it; the ">" found from each.
  EXPECT_EQ(CleanToTagOnOff(u"<a<b>"),
            u"\x19"
            u"a\x19"
            u"b\x18");
  EXPECT_EQ(CleanToTagOnOff(u"a>b<c"), u"a>b<c");
  EXPECT_EQ(CleanToTagOnOff(u"<x> <y"), u"\x19x\x18 <y");
  std::u16string many(100000, u'<');
  many += u'>';
  const std::u16string encoded = CleanToTagOnOff(many);
  EXPECT_EQ(encoded, std::u16string(100000, 0x19) + u'\x18');
}

TEST(RuntimePack, ExportsTheMatcherAndTheGlobals) {
  void* pack = dlopen(QN_PACK1_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pack, nullptr) << dlerror();
  using Matcher =
      const void* (*)(const void*, int32_t, const uint16_t*, const uint16_t*, const uint16_t*,
                      const char16_t*, const char16_t*, const char16_t*, uint16_t, bool, bool, bool,
                      bool, bool, bool, uint16_t&, uint16_t&, TSearchStatsRec&, bool&, bool, bool,
                      bool, bool);
  auto find = reinterpret_cast<Matcher>(dlsym(pack,
                                              "_ZN2qn21NewFindWantedInBufferEPKviPKtS3_S3_PKDsS5_"
                                              "S5_tbbbbbbRtS6_RNS_15TSearchStatsRecERbbbbb"));
  ASSERT_NE(find, nullptr);
  EXPECT_NE(dlsym(pack, "_ZN2qn17Global_in_headingE"), nullptr);
  EXPECT_NE(dlsym(pack, "_ZN2qn19Global_LowestJumpToE"), nullptr);
  EXPECT_NE(dlsym(pack, "_ZN2qn18TSearchAndDoEngineC1EbbjPt"), nullptr);
  const std::u16string text = u"a walk";
  std::vector<uint16_t> details(text.size() + 2, 0);
  platform::CharTypes1(text.data(), text.size(), details.data());
  const std::u16string up = u"WALK", lo = u"walk", ti = u"Walk";
  uint16_t full = 0, exact = 0;
  TSearchStatsRec stats{};
  bool heading = false;
  const void* hit = find(text.data(), 6, details.data(), details.data(), details.data() + 7,
                         up.data(), lo.data(), ti.data(), 4, false, true, true, true, false, false,
                         full, exact, stats, heading, false, false, false, false);
  EXPECT_EQ(hit, text.data() + 2);
  EXPECT_EQ(full, 4);
  EXPECT_EQ(stats.number[word_stats], 1);
  dlclose(pack);
}

}  // namespace
}  // namespace qn
