// The raw-bytes test against the engine itself: wherever the engine finds a
// hit, the test must say the bytes may hold one, in every encoding.
#include "runtime1/search/Raw_text_prefilter.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "runtime1/search/Search_engines.h"

namespace qn {
namespace {

using Bytes = std::vector<uint8_t>;

TSearch_word_format_rec Word(std::u16string typed) {
  const TIgnore_tag_type noTags{};
  return Parsed_SearchWord(noTags, typed);
}

TRawTextPrefilter FilterOf(const std::vector<std::u16string>& typed, int level = 3) {
  TRawTextPrefilter f(level);
  for (const std::u16string& t : typed) f.Add(Word(t));
  return f;
}

// Hits of the word in the text, found by the engine classifying the text.
int EngineHits(const std::u16string& text, TSearch_word_format_rec word) {
  int hits = 0;
  auto count = [&hits](platform::TObject*, const TSearchFound_Rec&) {
    ++hits;
    return true;
  };
  TSearchAndDoEngine engine(true, true, 0x0409);
  engine.PrepareFirst(text.c_str(), static_cast<int32_t>(text.size() * 2), 0, TSearchFoundEvent::FromCallable(count),
                      TWordCountEvent());
  engine.SearchAndDo(&word);
  return hits;
}

struct TEncoded {
  Bytes bytes;
  platform::TTextEncoding encoding;
};

// The text as a file would hold it, in each encoding it can be held in.
std::vector<TEncoded> Encodings(const std::u16string& text) {
  std::vector<TEncoded> all;
  for (const platform::TTextEncoding e :
       {platform::kEncodingUTF8, platform::kEncodingUTF16LE, platform::kEncodingUTF16BE}) {
    all.push_back({platform::EncodeTextBytes(text, e, e != platform::kEncodingUTF8), e});
  }
  // The active code page (1252), when it holds the whole text.
  const Bytes eightBit = platform::EncodeTextBytes(text, platform::kEncodingDefault, false);
  if (platform::DecodeTextBytesAs(eightBit, platform::kEncodingDefault) == text) {
    all.push_back({eightBit, platform::kEncodingDefault});
  }
  return all;
}

TEST(RawTextPrefilter, NeverRulesOutATextTheEngineFindsAHitIn) {
  // Short texts of few characters, so that hits, near misses and absences
  // all come up often; words with wildcards, spaces, case and non-ASCII.
  const std::u16string alphabet = u"abAB\u00e9\u00c9 .,\r\n";
  const std::vector<std::u16string> words = {u"ab",    u"ba",     u"a",      u"aab",  u"ab*",    u"*ba",
                                             u"a*b",   u"a?b",    u"^b",     u"ab ba", u"\u00e9a", u"a\u00e9b",
                                             u"ab#",   u"b, a"};
  std::mt19937 random(7);
  int ruledOut = 0, hitsSeen = 0;
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    const size_t length = random() % 24;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    for (const std::u16string& typed : words) {
      const int hits = EngineHits(text, Word(typed));
      const TRawTextPrefilter filter = FilterOf({typed});
      for (const TEncoded& e : Encodings(text)) {
        const bool may = filter.MayHoldAHit(e.bytes, e.encoding);
        if (hits > 0) {
          ++hitsSeen;
          ASSERT_TRUE(may) << "word " << std::string(typed.begin(), typed.end()) << " encoding " << e.encoding;
        }
        if (!may) ++ruledOut;
      }
    }
  }
  // Both answers came up, many times.
  EXPECT_GT(hitsSeen, 10000);
  EXPECT_GT(ruledOut, 10000);
}

TEST(RawTextPrefilter, RulesOutTextsWithoutTheWordInEveryEncoding) {
  const TRawTextPrefilter filter = FilterOf({u"abednego"});
  const std::u16string without = u"Shadrach, Meshach, and Abed-nego. \u00c9l dijo: \u00abno\u00bb.\r\n";
  for (const TEncoded& e : Encodings(without)) EXPECT_FALSE(filter.MayHoldAHit(e.bytes, e.encoding)) << e.encoding;
  for (const char16_t* with : {u"\u00e9 abednego", u"ABEDNEGO", u"x Abednego."}) {
    for (const TEncoded& e : Encodings(with)) EXPECT_TRUE(filter.MayHoldAHit(e.bytes, e.encoding)) << e.encoding;
  }
  // Any alternative may hold the hit.
  const TRawTextPrefilter two = FilterOf({u"abednego", u"meshach"});
  for (const TEncoded& e : Encodings(without)) EXPECT_TRUE(two.MayHoldAHit(e.bytes, e.encoding)) << e.encoding;
  // No word: nothing to find.
  EXPECT_FALSE(TRawTextPrefilter().MayHoldAHit(Encodings(without)[0].bytes, platform::kEncodingUTF8));
}

TEST(RawTextPrefilter, CaseMattersOnlyWhereTheWordSaysSo) {
  TSearch_word_format_rec exact = Word(u"Abednego");
  exact.flags.Include(myCaseIsSensitive);
  TRawTextPrefilter filter;
  filter.Add(exact);
  for (const TEncoded& e : Encodings(u"abednego ABEDNEGO")) {
    EXPECT_EQ(EngineHits(u"abednego ABEDNEGO", exact), 0);
    EXPECT_FALSE(filter.MayHoldAHit(e.bytes, e.encoding)) << e.encoding;
  }
  for (const TEncoded& e : Encodings(u"Abednego")) EXPECT_TRUE(filter.MayHoldAHit(e.bytes, e.encoding));
}

TEST(RawTextPrefilter, SaysMayHoldWhereItCannotTell) {
  const Bytes none = platform::EncodeTextBytes(u"nothing here", platform::kEncodingUTF8, false);
  // Words without a run of plain units: a lone wildcard, markup.
  for (const char16_t* typed : {u"*", u"^", u"#"}) {
    const TRawTextPrefilter f = FilterOf({typed});
    EXPECT_TRUE(f.AlwaysMayHold());
    EXPECT_TRUE(f.MayHoldAHit(none, platform::kEncodingUTF8));
  }
  // A word without ASCII units cannot be sought in the bytes of UTF-8, but
  // can in UTF-16.
  const TRawTextPrefilter greek = FilterOf({u"\u03bb\u03cc\u03b3\u03bf\u03c2"});
  EXPECT_TRUE(greek.MayHoldAHit(none, platform::kEncodingUTF8));
  EXPECT_FALSE(greek.MayHoldAHit(platform::EncodeTextBytes(u"nothing", platform::kEncodingUTF16LE, true),
                                 platform::kEncodingUTF16LE));
  // A code page in which a byte below 0x80 may be part of another character.
  const TRawTextPrefilter plain = FilterOf({u"abednego"});
  EXPECT_FALSE(plain.MayHoldAHit(none, 1252));
  EXPECT_TRUE(plain.MayHoldAHit(none, 932));
  // Copies narrowed to a code page are no longer the text's units.
  TSearch_word_format_rec narrowed = Word(u"abednego");
  narrowed.copies_converted = true;
  TRawTextPrefilter n;
  n.Add(narrowed);
  EXPECT_TRUE(n.MayHoldAHit(none, platform::kEncodingUTF8));
}

TEST(RawTextPrefilter, MalformedUtf8NeverDecodesToAscii) {
  // The test relies on it: an ASCII character of the decoded text comes only
  // from the same byte. Overlong forms of "a" and cut sequences.
  const Bytes malformed = {0xC1, 0xA1, 0xE0, 0x81, 0xA1, 0xF0, 0x80, 0x81, 0xA1, 0xC3, 0xE2, 0x82, 0xF0, 0x9F};
  for (const char16_t c : platform::DecodeTextBytesAs(malformed, platform::kEncodingUTF8)) EXPECT_GE(c, 0x80);
  EXPECT_FALSE(FilterOf({u"a"}).MayHoldAHit(malformed, platform::kEncodingUTF8));
}

// The vector levels this processor has (3: AVX-512BW, 2: AVX2, 1: SSE2,
// 0: none): every form of the search is checked.
std::vector<int> Levels() {
  std::vector<int> levels;
  for (int level = 0; level <= TRawTextPrefilter::ProcessorLevel(); ++level) levels.push_back(level);
  return levels;
}

TEST(RawTextPrefilter, FindsRunsAcrossTheBlocksOfTheSearch) {
  // The word at every offset of a text longer than the widest step of the
  // search (64 bytes, 32 units), and cut at its end, at every level.
  for (const int level : Levels()) {
    const TRawTextPrefilter filter = FilterOf({u"abednego"}, level);
    for (size_t at = 0; at < 200; ++at) {
      std::u16string text(at, u'x');
      text += u"Abednego";
      text += std::u16string(at % 5, u'y');
      for (const TEncoded& e : Encodings(text)) {
        ASSERT_TRUE(filter.MayHoldAHit(e.bytes, e.encoding)) << at << " level " << level;
      }
      text.resize(at + 7);
      for (const TEncoded& e : Encodings(text)) {
        ASSERT_FALSE(filter.MayHoldAHit(e.bytes, e.encoding)) << at << " level " << level;
      }
    }
  }
}

TEST(RawTextPrefilter, EveryLevelFindsExactlyTheTextsHoldingTheRun) {
  // Texts of the word's own letters in both cases, so that its rarest
  // letters stand at their distance at many places of every block: the
  // answer is whether the word occurs in any mixture of cases, at every
  // level and in every encoding, the word (or all of it but its last letter)
  // near the end of the bytes too.
  if (TRawTextPrefilter::ProcessorLevel() < 3) {
    std::cout << "this processor lacks AVX-512BW: the prefilter's level 3 is not checked here\n";
  }
  const std::u16string letters = u"abednegoABEDNEGO x";
  std::mt19937 random(17);
  int found = 0, ruledOut = 0;
  for (int round = 0; round < 1500; ++round) {
    std::u16string text;
    const size_t length = random() % 300;
    for (size_t i = 0; i < length; ++i) text += letters[random() % letters.size()];
    if (round % 3 != 0) {
      std::u16string word = u"abednego";
      for (char16_t& c : word) c = random() % 2 == 0 ? c : static_cast<char16_t>(c - 0x20);
      if (round % 5 == 0) word.pop_back();
      const size_t at = round % 2 == 0 ? text.size() : random() % (text.size() + 1);
      text.insert(at, word);
    }
    std::u16string lower = text;
    for (char16_t& c : lower) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    const bool holds = lower.find(u"abednego") != std::u16string::npos;
    (holds ? found : ruledOut) += 1;
    for (const int level : Levels()) {
      const TRawTextPrefilter filter = FilterOf({u"abednego"}, level);
      for (const TEncoded& e : Encodings(text)) {
        ASSERT_EQ(filter.MayHoldAHit(e.bytes, e.encoding), holds)
            << "round " << round << " level " << level << " encoding " << e.encoding;
      }
    }
  }
  EXPECT_GT(found, 300);
  EXPECT_GT(ruledOut, 300);
}

TEST(RawTextPrefilter, PositionsWhoseUnitsAreNoCasePair) {
  // Copies whose units at a position are not one letter in two cases (here
  // at the rarest position, made so by hand): each of the three units is
  // looked for, at every level and in every encoding, the unit sought at
  // any offset of the steps.
  TSearch_word_format_rec word = Word(u"abednego");
  word.copies[upper_copy][1] = u'#';
  word.copies[title_copy][1] = u'@';
  word.copies[title_copy][6] = u'!';  // the next rarest: "g", "G" or "!"
  const std::u16string letters = u"abednegoABEDNEGO#@!x ";
  const auto holds = [&word](const std::u16string& text) {
    for (size_t i = 0; i + 8 <= text.size(); ++i) {
      bool all = true;
      for (size_t j = 0; all && j < 8; ++j) {
        const char16_t c = text[i + j];
        all = c == word.copies[lower_copy][j] || c == word.copies[upper_copy][j] || c == word.copies[title_copy][j];
      }
      if (all) return true;
    }
    return false;
  };
  std::mt19937 random(23);
  int found = 0, ruledOut = 0;
  for (int round = 0; round < 1500; ++round) {
    std::u16string text;
    const size_t length = random() % 300;
    for (size_t i = 0; i < length; ++i) text += letters[random() % letters.size()];
    if (round % 2 == 0) {
      std::u16string run = round % 4 == 0 ? u"a#edne!o" : u"A@EDNEGo";
      if (round % 8 == 0) run[1] = u'B';  // a capital is not among the units there
      text.insert(random() % (text.size() + 1), run);
    }
    const bool expected = holds(text);
    (expected ? found : ruledOut) += 1;
    for (const int level : Levels()) {
      TRawTextPrefilter filter(level);
      filter.Add(word);
      for (const TEncoded& e : Encodings(text)) {
        ASSERT_EQ(filter.MayHoldAHit(e.bytes, e.encoding), expected)
            << "round " << round << " level " << level << " encoding " << e.encoding;
      }
    }
  }
  EXPECT_GT(found, 300);
  EXPECT_GT(ruledOut, 300);
}

TEST(RawTextPrefilter, NearMissesAnywhereInALongTextAreRuledOut) {
  // Long texts full of near misses (the word's rarest letters at their
  // distance, the rest wrong; the word cut short), with the word itself at
  // one place or none: only a text holding it may hold a hit.
  const TRawTextPrefilter filter = FilterOf({u"abednego"});
  const std::vector<std::u16string> misses = {u"xbxxxgx ", u"abednegx ", u"bednego ", u"Abedneg\r\n", u"ABEDNEG0 "};
  std::mt19937 random(3);
  for (int round = 0; round < 400; ++round) {
    std::u16string text;
    while (text.size() < 300) text += misses[random() % misses.size()];
    const bool with = round % 2 == 0;
    if (with) text.insert(random() % text.size(), u" abednego ");
    for (const TEncoded& e : Encodings(text)) {
      ASSERT_EQ(filter.MayHoldAHit(e.bytes, e.encoding), with) << "round " << round << " encoding " << e.encoding;
      for (const int level : Levels()) {
        ASSERT_EQ(FilterOf({u"abednego"}, level).MayHoldAHit(e.bytes, e.encoding), with)
            << "round " << round << " encoding " << e.encoding << " level " << level;
      }
    }
  }
}

}  // namespace
}  // namespace qn
