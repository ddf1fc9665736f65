// The piece-by-piece counter against the whole text: the text decoded whole,
// classified by the search-and-do engine, its word starts counted from the
// engine's classes and its sentences and paragraphs counted by walking the
// text with EndOfSentence, as the concordance numbering always did.
#include "runtime1/search/Text_unit_counter.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/TextDetection.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/search/Search_parsing.h"
#include "runtime1/text/Bare_assemb3.h"
#include "runtime1/text/My_string_functions_sentences.h"

namespace qn {
namespace {

using Bytes = std::vector<uint8_t>;

// The whole text's counts before every position.
struct TReference {
  std::u16string text;
  std::vector<uint16_t> details;
  std::vector<int64_t> starts, sentences, paragraphs;  // before position p, p = 0..n (n: through the end)
};

TReference ReferenceOf(const Bytes& bytes, platform::TTextEncoding encoding) {
  TReference r;
  r.text = platform::DecodeTextBytesAs(bytes, encoding);
  if (const size_t nul = r.text.find(u'\0'); nul != std::u16string::npos) r.text.resize(nul);
  const size_t n = r.text.size();
  // The classes the engine gives the text.
  TSearchAndDoEngine engine(true, true, 0x0409);
  engine.PrepareFirst(r.text.c_str(), static_cast<int32_t>(n * 2), 0, TSearchFoundEvent(), TWordCountEvent());
  r.details.assign(engine.BufferDetails(), engine.BufferDetails() + n);
  const auto white = [&](size_t i) { return (r.details[i] & kDetailWhiteSpace) != 0; };
  r.starts.assign(n + 1, 0);
  for (size_t p = 0; p < n; ++p) r.starts[p + 1] = r.starts[p] + ((p == 0 || white(p - 1)) && !white(p) ? 1 : 0);
  // Sentences and paragraphs: a walk with EndOfSentence's ends.
  r.sentences.assign(n + 1, 0);
  r.paragraphs.assign(n + 1, 0);
  int64_t sentences = 0, paragraphs = 0;
  bool paragraphOpen = false, sentenceOpen = false;
  int32_t from = 1;
  int32_t end = n > 0 ? EndOfSentence(from, r.text) : -1;
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = r.text[i];
    if (end >= 1 && i == static_cast<size_t>(end - 1)) {
      ++sentences;
      sentenceOpen = false;
      paragraphOpen = true;
      from = static_cast<int32_t>(i + 2);
      end = from <= static_cast<int32_t>(n) ? EndOfSentence(from, r.text) : -1;
    } else if (c == u'\n' || c == u'\r' || c == 0x2029) {
      if (paragraphOpen) {
        ++paragraphs;
        if (sentenceOpen) ++sentences;
      }
      paragraphOpen = sentenceOpen = false;
    } else if ((r.details[i] & (platform::C1_ALPHA | platform::C1_DIGIT)) != 0) {
      paragraphOpen = sentenceOpen = true;
    } else if (c > 0x20) {
      paragraphOpen = true;
    }
    r.sentences[i + 1] = sentences;
    r.paragraphs[i + 1] = paragraphs;
  }
  return r;
}

// Random text rich in what the counts turn on: white space of every kind,
// terminators (ASCII and others) before letters, digits or space, line
// breaks, apostrophes and hyphens, non-ASCII letters and marks, surrogate
// pairs; long ASCII stretches, so that whole blocks of 64 are met too.
std::u16string RandomText(std::mt19937& random) {
  static const std::vector<std::u16string> kPieces = {
      u"a", u"Word", u"the", u"3", u"3.14", u" ", u"  ", u"\t", u"\n", u"\r\n", u"\r", u"\u00a0", u"\u2029",
      u"\u0085", u"\u3000", u".", u"!", u"?", u"...", u"\u3002", u"\u0964", u"\u061f", u"'", u"-", u"\u2019",
      u"\u00e9t\u00e9", u"Stra\u00dfe", u"\u043c\u0438\u0440", u"\u65e5\u672c", u"e\u0301", u"\U0001F600",
      u"\u0660", u",", u";", u"\"", u"(", u")", u"\u0001", u"\u007f", u"x.y", u"Mr. Smith", u"end.\n\n"};
  std::u16string text;
  const size_t parts = random() % 60;
  for (size_t k = 0; k < parts; ++k) {
    if (random() % 6 == 0) {
      // A long plain stretch.
      const size_t words = random() % 40;
      for (size_t w = 0; w < words; ++w) text += random() % 9 == 0 ? u"and God said. " : u"and the earth ";
    } else {
      text += kPieces[random() % kPieces.size()];
    }
  }
  if (random() % 25 == 0) text.insert(text.begin() + static_cast<std::ptrdiff_t>(random() % (text.size() + 1)), u'\0');
  return text;
}

// Feeds the bytes in pieces of the sizes chosen, checking after each piece
// the counts before the units counted so far, and the totals at the end.
// The vector levels this processor has (4: AVX-512 with VBMI, 3: AVX-512BW,
// 2: AVX2, 1: SSE2, 0: none): every form of the ASCII blocks' masks is
// checked.
std::vector<int> Levels() {
  std::vector<int> levels;
  for (int level = 0; level <= TTextUnitCounter::ProcessorLevel(); ++level) levels.push_back(level);
  return levels;
}

void CheckPieces(const Bytes& bytes, platform::TTextEncoding encoding, const TReference& r,
                 const std::function<size_t()>& pieceSize, const std::string& what, int level = 4) {
  TTextUnitCounter counter(encoding, level);
  const size_t n = r.text.size();
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t size = std::min(bytes.size() - at, std::max<size_t>(1, pieceSize()));
    counter.Add(std::span<const uint8_t>(bytes.data() + at, size));
    at += size;
    const auto p = static_cast<size_t>(counter.Units());
    ASSERT_LE(p, n) << what;
    ASSERT_EQ(counter.WordStarts(), r.starts[p]) << what << " at unit " << p;
    ASSERT_EQ(counter.LastIsWhite(), p == 0 || (r.details[p - 1] & kDetailWhiteSpace) != 0) << what;
    if (p < n) {
      ASSERT_EQ(counter.Ends().SentencesBefore(r.text[p]), r.sentences[p]) << what << " at unit " << p;
      ASSERT_EQ(counter.Ends().ParagraphsBefore(r.text[p]), r.paragraphs[p]) << what << " at unit " << p;
    }
  }
  counter.Finish();
  ASSERT_EQ(counter.Units(), static_cast<int64_t>(n)) << what;
  ASSERT_EQ(counter.WordStarts(), r.starts[n]) << what;
  if (n > 0) {
    EXPECT_EQ(counter.Ends().SentencesBefore(0, true), r.sentences[n]) << what;
    EXPECT_EQ(counter.Ends().ParagraphsBefore(0, true), r.paragraphs[n]) << what;
  }
}

TEST(TextUnitCounter, CountsAsTheWholeTextInEveryEncodingAndPieceSize) {
  std::mt19937 random(2026);
  const std::vector<std::pair<platform::TTextEncoding, bool>> encodings = {
      {platform::kEncodingUTF8, false}, {platform::kEncodingUTF8, true},     {platform::kEncodingUTF16LE, true},
      {platform::kEncodingUTF16LE, false}, {platform::kEncodingUTF16BE, true}, {1252, false}};
  int checked = 0;
  for (int round = 0; round < 400; ++round) {
    const std::u16string text = RandomText(random);
    for (const auto& [encoding, mark] : encodings) {
      Bytes bytes = platform::EncodeTextBytes(text, encoding, mark);
      // Damaged bytes now and then, so that ill-formed UTF-8 and odd lengths
      // are counted as the decoder takes them.
      if (!bytes.empty() && random() % 4 == 0) {
        for (int k = 0; k < 3; ++k) bytes[random() % bytes.size()] = static_cast<uint8_t>(0x80 + random() % 0x80);
        if (random() % 2 == 0) bytes.pop_back();
      }
      const TReference r = ReferenceOf(bytes, encoding);
      const std::string what = "round " + std::to_string(round) + ", encoding " + std::to_string(encoding);
      for (const size_t fixed : {size_t{1}, size_t{2}, size_t{3}, size_t{64}, size_t{1} << 20}) {
        CheckPieces(bytes, encoding, r, [fixed] { return fixed; }, what + ", pieces of " + std::to_string(fixed));
      }
      CheckPieces(bytes, encoding, r, [&random] { return static_cast<size_t>(random() % 200); },
                  what + ", random pieces");
      for (const int level : Levels()) {
        CheckPieces(bytes, encoding, r, [] { return size_t{1} << 20; }, what + ", level " + std::to_string(level), level);
      }
      ++checked;
    }
  }
  EXPECT_EQ(checked, 400 * 6);
}

TEST(SentenceParagraphCounter, DecodedUnitsInRunsOfAnyLength) {
  // The same state machine over units already decoded and classified, as
  // the concordance numbering takes them from one hit to the next.
  std::mt19937 random(3);
  for (int round = 0; round < 1500; ++round) {
    const std::u16string text = RandomText(random);
    const TReference r = ReferenceOf(platform::EncodeTextBytes(text, platform::kEncodingUTF16LE, false),
                                     platform::kEncodingUTF16LE);
    const size_t n = r.text.size();
    TSentenceParagraphCounter counter;
    size_t at = 0;
    while (at < n) {
      const size_t count = std::min(n - at, static_cast<size_t>(random() % (round % 2 == 0 ? 4 : 150)));
      counter.Take(r.text.data() + at, r.details.data() + at, count);
      at += count;
      ASSERT_EQ(counter.UnitsTaken(), static_cast<int64_t>(at));
      if (at < n) {
        ASSERT_EQ(counter.SentencesBefore(r.text[at]), r.sentences[at]) << "round " << round << " at " << at;
        ASSERT_EQ(counter.ParagraphsBefore(r.text[at]), r.paragraphs[at]) << "round " << round << " at " << at;
      }
    }
    counter.TakeTextEnd();
    ASSERT_EQ(counter.Sentences(), r.sentences[n]) << "round " << round;
    ASSERT_EQ(counter.Paragraphs(), r.paragraphs[n]) << "round " << round;
  }
}

TEST(TextUnitCounter, AsciiBlocksOfEveryKindOfUnit) {
  // Plain ASCII only, so that nearly every block of 64 is counted from
  // masks: letters, digits, terminators before letters, digits and spaces,
  // line breaks, tabs and other control characters (DEL is white space that
  // still opens a paragraph), in short random runs.
  static const std::vector<std::string> kPieces = {"ab", "Z", "7", " ", " ", "\t", ".", "!", "?", "\n", "\r",
                                                    "\x7f", "\x01", ",", "'", "-", "x.y", "e.g. "};
  std::mt19937 random(29);
  for (int round = 0; round < 600; ++round) {
    std::string text;
    const size_t length = 64 + random() % 1500;
    while (text.size() < length) text += kPieces[random() % kPieces.size()];
    const Bytes bytes(text.begin(), text.end());
    const std::u16string units(text.begin(), text.end());
    for (const int level : Levels()) {
      const std::string what = "ascii round " + std::to_string(round) + ", level " + std::to_string(level);
      for (const platform::TTextEncoding encoding : {platform::kEncodingUTF8, platform::TTextEncoding{1252}}) {
        const TReference r = ReferenceOf(bytes, encoding);
        CheckPieces(bytes, encoding, r, [&random] { return static_cast<size_t>(64 + random() % 300); }, what, level);
      }
      for (const platform::TTextEncoding encoding : {platform::kEncodingUTF16LE, platform::kEncodingUTF16BE}) {
        const Bytes wide = platform::EncodeTextBytes(units, encoding, round % 2 == 0);
        CheckPieces(wide, encoding, ReferenceOf(wide, encoding),
                    [&random] { return static_cast<size_t>(128 + random() % 4000); }, what + " UTF-16", level);
      }
    }
  }
}

// Plain ASCII text rich in what the blocks' masks tell apart, of the
// length given.
std::string RichAscii(std::mt19937& random, size_t length) {
  static const std::vector<std::string> kPieces = {"ab", "Z", "7", " ", " ", "\t", ".", "!", "?", "\n", "\r",
                                                    "\x7f", "\x01", ",", "'", "-", "x.y", "e.g. ", "word "};
  std::string text;
  while (text.size() < length) text += kPieces[random() % kPieces.size()];
  text.resize(length);
  return text;
}

TEST(TextUnitCounter, UnitsBeyondAsciiAndZeroAtEveryPositionOfTheBlocks) {
  // A unit that is not plain ASCII (or a zero, which ends the text) at each
  // position of the first block of a run, of the blocks after it and of the
  // last bytes: the block holding it is left to the unit-by-unit path, the
  // blocks before and after it are counted from masks, at every level.
  // UTF-16 units whose low byte is ASCII and high byte is not zero must not
  // pass for ASCII.
  std::mt19937 random(53);
  const std::string base = RichAscii(random, 64 * 4 + 17);
  const std::vector<std::string> utf8 = {std::string(1, '\0'), "\xc3\xa9", "\x80", "\xe2\x80\xa9", "\xc2\xa0"};
  const std::vector<uint8_t> cp1252 = {0x00, 0xE9, 0x85, 0xA0};
  const std::u16string wideUnits = {0x0000, 0x00E9, 0x2029, 0x0141, 0x0A00, 0x2E00, 0x00A0, 0x3002};
  int checked = 0;
  for (size_t at = 0; at < base.size(); ++at) {
    const std::string what = "at " + std::to_string(at);
    for (const std::string& odd : utf8) {
      std::string text = base;
      text.replace(at, 1, odd);
      const Bytes bytes(text.begin(), text.end());
      const TReference r = ReferenceOf(bytes, platform::kEncodingUTF8);
      for (const int level : Levels()) {
        CheckPieces(bytes, platform::kEncodingUTF8, r, [] { return size_t{1} << 20; },
                    what + " UTF-8 level " + std::to_string(level), level);
      }
      ++checked;
    }
    for (const uint8_t odd : cp1252) {
      Bytes bytes(base.begin(), base.end());
      bytes[at] = odd;
      const TReference r = ReferenceOf(bytes, 1252);
      for (const int level : Levels()) {
        CheckPieces(bytes, 1252, r, [] { return size_t{1} << 20; }, what + " 1252 level " + std::to_string(level),
                    level);
      }
      ++checked;
    }
    for (const char16_t odd : wideUnits) {
      std::u16string units(base.begin(), base.end());
      units[at] = odd;
      for (const platform::TTextEncoding encoding : {platform::kEncodingUTF16LE, platform::kEncodingUTF16BE}) {
        const Bytes bytes = platform::EncodeTextBytes(units, encoding, false);
        const TReference r = ReferenceOf(bytes, encoding);
        for (const int level : Levels()) {
          CheckPieces(bytes, encoding, r, [] { return size_t{1} << 20; },
                      what + " UTF-16 " + std::to_string(encoding) + " level " + std::to_string(level), level);
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, static_cast<int>(base.size() * (utf8.size() + cp1252.size() + 2 * wideUnits.size())));
}

TEST(TextUnitCounter, TwoPiecesSplitAtEveryOffset) {
  // The same text in two pieces cut at every byte: a run of blocks may start
  // at any offset of the bytes, with any unit (or part of one) held or
  // carried from the piece before.
  std::mt19937 random(59);
  std::string text = RichAscii(random, 400);
  text.replace(230, 1, "\xe2\x80\x94");  // an em dash between the blocks
  const std::u16string units = platform::DecodeTextBytesAs(Bytes(text.begin(), text.end()), platform::kEncodingUTF8);
  for (const platform::TTextEncoding encoding :
       {platform::kEncodingUTF8, platform::kEncodingUTF16LE, platform::kEncodingUTF16BE}) {
    const Bytes bytes = platform::EncodeTextBytes(units, encoding, false);
    const TReference r = ReferenceOf(bytes, encoding);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
      for (const int level : Levels()) {
        bool first = true;
        CheckPieces(bytes, encoding, r,
                    [&first, cut] {
                      const size_t size = first ? cut : size_t{1} << 20;
                      first = false;
                      return size;
                    },
                    "encoding " + std::to_string(encoding) + " cut at " + std::to_string(cut) + " level " +
                        std::to_string(level),
                    level);
      }
    }
  }
}

TEST(TextUnitCounter, Avx512BlocksOverLongRuns) {
  // Long texts counted by the AVX-512 forms, in pieces of any size: runs of
  // thousands of blocks, each counted with the classes of the units before
  // its own taken from the bytes one unit earlier; now and then a unit
  // beyond ASCII ends a run.
  if (TTextUnitCounter::ProcessorLevel() < 3) {
    GTEST_SKIP() << "this processor lacks AVX-512BW: the counter's levels 3 and 4 are not checked here";
  }
  if (TTextUnitCounter::ProcessorLevel() < 4) {
    std::cout << "this processor lacks AVX-512 VBMI: the counter's level 4 is not checked here\n";
  }
  std::mt19937 random(61);
  for (int round = 0; round < 24; ++round) {
    const int level = 3 + round % 2 <= TTextUnitCounter::ProcessorLevel() ? 3 + round % 2 : 3;
    std::string text = RichAscii(random, 200000 + random() % 1000);
    for (int k = 0; k < round / 2; ++k) {
      text.replace(random() % text.size(), 1, (round / 2) % 2 == 0 ? "\xc3\xa9" : "\xe2\x80\xa9");
    }
    const Bytes bytes(text.begin(), text.end());
    const std::u16string units = platform::DecodeTextBytesAs(bytes, platform::kEncodingUTF8);
    const std::string what = "long round " + std::to_string(round) + " level " + std::to_string(level);
    CheckPieces(bytes, platform::kEncodingUTF8, ReferenceOf(bytes, platform::kEncodingUTF8),
                [&random] { return static_cast<size_t>(1 + random() % 70000); }, what, level);
    for (const platform::TTextEncoding encoding : {platform::kEncodingUTF16LE, platform::kEncodingUTF16BE}) {
      const Bytes wide = platform::EncodeTextBytes(units, encoding, round % 3 == 0);
      CheckPieces(wide, encoding, ReferenceOf(wide, encoding),
                  [&random] { return static_cast<size_t>(1 + random() % 140000); }, what + " UTF-16", level);
    }
  }
}

TEST(TextUnitCounter, StatesCarriedAcrossBlockEdges) {
  // Each flag of the sentence and paragraph walk set in one block and met
  // by what ends it blocks later, and the units that decide one another
  // (a terminator and the unit after it, a line break after a held unit)
  // on both sides of every block edge, with ASCII blocks and blocks that
  // hold other units next to each other.
  static const std::vector<std::string> kEnds = {".", "!", "?", ".a", ".1", ". ", "\n", "\r\n", "\n\n",
                                                 "\x7f\n", "\t\n", "?\n", "\xc3\xa9.", ".\xc3\xa9"};
  int checked = 0;
  for (const std::string& end : kEnds) {
    for (size_t at = 40; at < 200; ++at) {
      for (const size_t filler : {size_t{0}, size_t{1}, size_t{2}}) {
        // "word" runs, or spaces, or a single letter then spaces up to the edge.
        std::string text;
        while (text.size() < at) text += filler == 0 ? "word " : (filler == 1 ? " " : (text.empty() ? "w" : " "));
        text.resize(at);
        text += end;
        text += std::string(130, filler == 1 ? ' ' : 'x');
        text += "\n";
        const Bytes bytes(text.begin(), text.end());
        const TReference r = ReferenceOf(bytes, platform::kEncodingUTF8);
        const std::string what = "end " + std::to_string(&end - kEnds.data()) + " at " + std::to_string(at) + ", filler " +
                                 std::to_string(filler);
        for (const int level : Levels()) {
          CheckPieces(bytes, platform::kEncodingUTF8, r, [] { return size_t{1} << 20; }, what, level);
          CheckPieces(bytes, platform::kEncodingUTF8, r, [] { return size_t{64}; }, what + " in 64s", level);
          const std::u16string units = platform::DecodeTextBytesAs(bytes, platform::kEncodingUTF8);
          const Bytes wide = platform::EncodeTextBytes(units, platform::kEncodingUTF16BE, false);
          CheckPieces(wide, platform::kEncodingUTF16BE, ReferenceOf(wide, platform::kEncodingUTF16BE),
                      [] { return size_t{1} << 20; }, what + " UTF-16", level);
          ++checked;
        }
      }
    }
  }
  EXPECT_EQ(checked, static_cast<int>(kEnds.size() * 160 * 3 * Levels().size()));
}

TEST(TextUnitCounter, SignatureSplitAcrossPiecesAndShortTexts) {
  // A signature only: no unit. Part of one: the bytes are text.
  const std::vector<std::pair<Bytes, platform::TTextEncoding>> cases = {
      {{0xEF, 0xBB, 0xBF}, platform::kEncodingUTF8},
      {{0xEF, 0xBB}, platform::kEncodingUTF8},
      {{0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 'a'}, platform::kEncodingUTF8},
      {{0xFF, 0xFE}, platform::kEncodingUTF16LE},
      {{0xFF}, platform::kEncodingUTF16LE},
      {{0xFE, 0xFF, 0x00, 'a', 0x00}, platform::kEncodingUTF16BE},
      {{'a', 0x00, 'b'}, platform::kEncodingUTF8},
      {{}, platform::kEncodingUTF8}};
  for (const auto& [bytes, encoding] : cases) {
    const TReference r = ReferenceOf(bytes, encoding);
    CheckPieces(bytes, encoding, r, [] { return size_t{1}; }, "short text");
    CheckPieces(bytes, encoding, r, [] { return size_t{100}; }, "short text");
  }
}

TEST(TextUnitCounter, WordStartsAreTheEnginesWordNumbers) {
  // The engine's word count at a hit, with one more for a text that starts
  // with a word, is the number of word starts up to and including the hit's
  // first unit: what the counter's count is, taken just past that unit.
  std::mt19937 random(11);
  const TIgnore_tag_type noTags{};
  int hits = 0;
  for (int round = 0; round < 200; ++round) {
    const std::u16string text = RandomText(random);
    std::u16string typed = round % 2 == 0 ? u"the" : u"a*";
    TSearch_word_format_rec word = Parsed_SearchWord(noTags, typed);
    TSearchAndDoEngine engine(true, true, 0x0409);
    std::vector<std::pair<int32_t, int32_t>> found;  // position, engine count
    auto onHit = [&](platform::TObject*, const TSearchFound_Rec& rec) {
      found.emplace_back(rec.hit_pos_in_characters, rec.count_stats.number[word_stats]);
      return true;
    };
    engine.PrepareFirst(text.c_str(), static_cast<int32_t>(text.size() * 2), 0, TSearchFoundEvent::FromCallable(onHit),
                        TWordCountEvent());
    const bool firstIsWord = !text.empty() && text[0] != 0 && (engine.BufferDetails()[0] & kDetailWhiteSpace) == 0;
    engine.SearchAndDo(&word);
    for (const auto& [at, count] : found) {
      const Bytes upTo = platform::EncodeTextBytes(text.substr(0, static_cast<size_t>(at) + 1), platform::kEncodingUTF16LE, false);
      TTextUnitCounter counter(platform::kEncodingUTF16LE);
      counter.Add(upTo);
      ASSERT_EQ(counter.WordStarts(), count + (firstIsWord ? 1 : 0)) << "round " << round << " hit at " << at;
      ++hits;
    }
  }
  EXPECT_GT(hits, 200);
}

TEST(TextUnitCounter, TellsWhetherAByteBeyondAsciiWasCounted) {
  // Until one is, 8-bit and UTF-8 text count alike: a caller that does not
  // yet know which of the two a text is relies on the answer.
  std::mt19937 random(41);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const size_t length = 1 + random() % 700;
    while (text.size() < length) text += random() % 5 == 0 ? ". " : "word ";
    const bool high = round % 3 != 0;
    const size_t at = random() % text.size();
    if (high) text[at] = round % 2 == 0 ? '\xE9' : '\x80';
    const Bytes bytes(text.begin(), text.end());
    for (const platform::TTextEncoding encoding : {platform::kEncodingUTF8, platform::TTextEncoding{1252}}) {
      for (const int level : Levels()) {
        TTextUnitCounter counter(encoding, level);
        const size_t piece = 1 + random() % 200;
        for (size_t from = 0; from < bytes.size(); from += piece) {
          const size_t to = std::min(bytes.size(), from + piece);
          counter.Add(std::span<const uint8_t>(bytes).subspan(from, to - from));
          ASSERT_EQ(counter.MetByteBeyondAscii(), high && at < to)
              << "round " << round << ", encoding " << encoding << ", level " << level << ", bytes to " << to;
        }
      }
    }
  }
}

TEST(SentenceParagraphCounter, RunsAsLongAsTheGapsBetweenHitsAndBothEndsAtOnce) {
  // Runs of 5 to 20 units, as between the hits of a frequent word: their last
  // units are looked at in a block that starts before the run, and an event
  // there before the run must not count again (nor one in the run be missed).
  // EndsBefore gives what SentencesBefore and ParagraphsBefore give.
  std::mt19937 random(11);
  for (int round = 0; round < 800; ++round) {
    const std::u16string text = RandomText(random);
    const TReference r = ReferenceOf(platform::EncodeTextBytes(text, platform::kEncodingUTF16LE, false),
                                     platform::kEncodingUTF16LE);
    const size_t n = r.text.size();
    TSentenceParagraphCounter counter;
    for (size_t at = 0; at < n;) {
      const size_t count = std::min(n - at, 5 + static_cast<size_t>(random() % 16));
      counter.Take(r.text.data() + at, r.details.data() + at, count);
      at += count;
      const bool atEnd = at == n;
      const char16_t next = atEnd ? u'\0' : r.text[at];
      int64_t sentences = -1, paragraphs = -1;
      counter.EndsBefore(next, atEnd, sentences, paragraphs);
      ASSERT_EQ(sentences, counter.SentencesBefore(next, atEnd)) << "round " << round << " at " << at;
      ASSERT_EQ(paragraphs, counter.ParagraphsBefore(next, atEnd)) << "round " << round << " at " << at;
      if (!atEnd) {
        ASSERT_EQ(sentences, r.sentences[at]) << "round " << round << " at " << at;
        ASSERT_EQ(paragraphs, r.paragraphs[at]) << "round " << round << " at " << at;
      }
    }
    counter.TakeTextEnd();
    ASSERT_EQ(counter.Sentences(), r.sentences[n]) << "round " << round;
    ASSERT_EQ(counter.Paragraphs(), r.paragraphs[n]) << "round " << round;
  }
}

TEST(SentenceParagraphCounter, EveryAsciiUnitAfterATerminator) {
  // A full stop ends a sentence unless a letter or digit follows it: every
  // unit below U+0080 after one, taken as the numbering takes it (the stop
  // held, decided by the next unit) and after it, against EndOfSentence.
  for (char16_t c = 1; c < 0x80; ++c) {
    const std::u16string text = std::u16string(u"Ab cd.") + c + u"ef gh";
    const TReference r = ReferenceOf(platform::EncodeTextBytes(text, platform::kEncodingUTF16LE, false),
                                     platform::kEncodingUTF16LE);
    ASSERT_EQ(r.text, text);
    TSentenceParagraphCounter counter;
    counter.Take(r.text.data(), r.details.data(), 6);
    EXPECT_EQ(counter.SentencesBefore(c), r.sentences[6]) << "unit " << static_cast<int>(c);
    counter.Take(r.text.data() + 6, r.details.data() + 6, text.size() - 6);
    counter.TakeTextEnd();
    EXPECT_EQ(counter.Sentences(), r.sentences[text.size()]) << "unit " << static_cast<int>(c);
    EXPECT_EQ(counter.Paragraphs(), r.paragraphs[text.size()]) << "unit " << static_cast<int>(c);
  }
}

TEST(TextUnitCounter, EncodingsItCannotCount) {
  EXPECT_TRUE(TTextUnitCounter::Handles(platform::kEncodingUTF8));
  EXPECT_TRUE(TTextUnitCounter::Handles(1252));
  EXPECT_FALSE(TTextUnitCounter::Handles(932));
  TTextUnitCounter counter(932);
  const Bytes bytes = {'a', ' ', 'b'};
  counter.Add(bytes);
  counter.Finish();
  EXPECT_EQ(counter.Units(), 0);
}

}  // namespace
}  // namespace qn
