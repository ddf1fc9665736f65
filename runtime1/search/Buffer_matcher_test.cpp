#include "runtime1/search/Buffer_matcher.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CharTypes.h"
#include "runtime1/search/Buffer_matcher_reference.h"
#include "runtime1/text/Bare_assemb3.h"

namespace qn {
namespace {

// A text with its detail array (two spare zero words, as the engine builds it).
struct Doc {
  std::u16string text;
  std::vector<uint16_t> details;
};

// Details from the platform's classes; with tags, every character from a "<"
// to the next ">" carries the markup bit.
Doc MakeDoc(const std::u16string& text, bool tags = false) {
  Doc doc{text, std::vector<uint16_t>(text.size() + 2, 0)};
  platform::CharTypes1(text.data(), text.size(), doc.details.data());
  if (tags) {
    bool inside = false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'<') inside = true;
      if (inside) doc.details[i] |= kDetailInMarkup;
      if (text[i] == u'>') inside = false;
    }
  }
  return doc;
}

// A search word's copies, each exactly L units long (no terminator), so that a
// read past a copy is caught by the sanitizer.
struct Word {
  std::vector<char16_t> lo, up, ti;
  bool caseSensitive = false;
  int32_t L() const { return static_cast<int32_t>(lo.size()); }
};

Word MakeWord(const std::u16string& work, bool caseSensitive = false) {
  Word w;
  w.caseSensitive = caseSensitive;
  if (caseSensitive) {
    w.lo.assign(work.begin(), work.end());
    w.up = w.ti = w.lo;
    return w;
  }
  const std::u16string up = platform::UpperCased(work), lo = platform::LowerCased(work);
  std::u16string ti = lo;
  if (!up.empty()) ti[0] = up[0];
  w.lo.assign(lo.begin(), lo.end());
  w.up.assign(up.begin(), up.end());
  w.ti.assign(ti.begin(), ti.end());
  return w;
}

struct Options {
  bool left = true;
  bool right = true;
  bool skipPunctuation = false;
  bool has15 = false, has17 = false, has19 = false, has21 = false;
};

struct Hit {
  int32_t at;
  int32_t full;
  int32_t exact;
  bool operator==(const Hit&) const = default;
};

TMatchRequest Request(const Doc& doc, const Word& w, const Options& o, int32_t from) {
  TMatchRequest r;
  r.text = doc.text.data() + from;
  r.n = static_cast<int32_t>(doc.text.size()) - from;
  r.details = doc.details.data() + from;
  r.detailsStart = doc.details.data();
  r.detailsEnd = doc.details.data() + doc.text.size() + 1;
  r.upper = w.up.data();
  r.lower = w.lo.data();
  r.title = w.ti.data();
  r.L = w.L();
  r.caseSensitive = w.caseSensitive;
  r.leftBounded = o.left;
  r.rightBounded = o.right;
  r.skipPunctuation = o.skipPunctuation;
  r.has15 = o.has15;
  r.has17 = o.has17;
  r.has19 = o.has19;
  r.has21 = o.has21;
  return r;
}

// Every section-end call, in order: kind (0..3), number, position.
std::vector<std::array<int32_t, 3>> gEnds;
void SentenceEnd(int32_t a, int32_t b) { gEnds.push_back({0, a, b}); }
void ParagraphEnd(int32_t a, int32_t b) { gEnds.push_back({1, a, b}); }
void HeadingEnd(int32_t a, int32_t b) { gEnds.push_back({2, a, b}); }
void SectionEnd(int32_t a, int32_t b) { gEnds.push_back({3, a, b}); }

class Recorder {
 public:
  Recorder() {
    gEnds.clear();
    HandleSentenceEndProc = SentenceEnd;
    HandleParagraphEndProc = ParagraphEnd;
    HandleHeadingEndProc = HeadingEnd;
    HandleSectionEndProc = SectionEnd;
  }
  ~Recorder() { ResetTextSectionHandlers(); }
};

// All hits, as the engine walks a buffer (one character past each hit's
// start), with the real matcher; every call is also made with the reference
// matcher on the same state, and both must agree on everything.
struct TRun {
  std::vector<Hit> hits;
  TSearchStatsRec stats{};
  bool inHeading = false;
};

TRun Search(const Doc& doc, const Word& w, const Options& o = {}) {
  TRun run;
  Recorder recorder;
  TMatcherMemo memo;
  const int32_t n = static_cast<int32_t>(doc.text.size());
  for (int32_t from = 0; from < n;) {
    const TMatchRequest r = Request(doc, w, o, from);
    TSearchStatsRec refStats = run.stats;
    bool refHeading = run.inHeading;
    int32_t refFull = -7, refExact = -7;
    const auto endsBefore = gEnds.size();
    const int32_t ref = reference::ReferenceFindWanted(r, refStats, refHeading, refFull, refExact);
    const std::vector<std::array<int32_t, 3>> refEnds(gEnds.begin() + static_cast<long>(endsBefore),
                                                      gEnds.end());
    gEnds.resize(endsBefore);
    int32_t full = -7, exact = -7;
    const int32_t at = FindWantedInBuffer(r, run.stats, run.inHeading, full, exact, &memo);
    const std::vector<std::array<int32_t, 3>> ends(gEnds.begin() + static_cast<long>(endsBefore),
                                                   gEnds.end());
    EXPECT_EQ(at, ref) << "from " << from;
    EXPECT_EQ(std::memcmp(&refStats, &run.stats, sizeof refStats), 0) << "from " << from;
    EXPECT_EQ(refHeading, run.inHeading);
    EXPECT_EQ(ends, refEnds);
    if (at < 0 || at != ref) break;
    EXPECT_EQ(full, refFull);
    EXPECT_EQ(exact, refExact);
    run.hits.push_back({from + at, full, exact});
    from += at + 1;
  }
  return run;
}

std::vector<int32_t> Starts(const TRun& run) {
  std::vector<int32_t> s;
  for (const Hit& h : run.hits) s.push_back(h.at);
  return s;
}

Options Open(bool left, bool right) {
  Options o;
  o.left = left;
  o.right = right;
  return o;
}

// --- Cases worked out by hand -------------------------------------------------------

TEST(BufferMatcher, WholeWordsAndWordBeginnings) {
  const Doc doc = MakeDoc(u"walking walk, walked");
  EXPECT_EQ(Search(doc, MakeWord(u"walk")).hits, (std::vector<Hit>{{8, 4, 4}}));
  EXPECT_EQ(Search(doc, MakeWord(u"walk"), Open(true, false)).hits,
            (std::vector<Hit>{{0, 7, 4}, {8, 4, 4}, {14, 6, 4}}));
  // Left-open: word endings; the hit never starts inside a word when bounded.
  EXPECT_EQ(Starts(Search(MakeDoc(u"sing walking"), MakeWord(u"ing"), Open(false, true))),
            (std::vector<int32_t>{1, 9}));
  EXPECT_TRUE(Search(MakeDoc(u"sing walking"), MakeWord(u"ing")).hits.empty());
}

TEST(BufferMatcher, CaseCopies) {
  const Doc doc = MakeDoc(u"The THE the tHe");
  // Each unit may match any of the three copies, so mixed case matches too.
  EXPECT_EQ(Starts(Search(doc, MakeWord(u"the"))), (std::vector<int32_t>{0, 4, 8, 12}));
  EXPECT_TRUE(Search(doc, MakeWord(u"thy")).hits.empty());
  EXPECT_EQ(Starts(Search(doc, MakeWord(u"The", true))), (std::vector<int32_t>{0}));
  EXPECT_EQ(Starts(Search(doc, MakeWord(u"tHe", true))), (std::vector<int32_t>{12}));
}

TEST(BufferMatcher, SpacesAgainstSeparators) {
  const Word w = MakeWord(u"cat dog");
  Options skip;
  skip.skipPunctuation = true;
  EXPECT_TRUE(Search(MakeDoc(u"cat, dog"), w).hits.empty());
  EXPECT_EQ(Search(MakeDoc(u"cat, dog"), w, skip).hits, (std::vector<Hit>{{0, 8, 8}}));
  EXPECT_EQ(Search(MakeDoc(u"cat,dog"), w).hits, (std::vector<Hit>{{0, 7, 7}}));
  EXPECT_EQ(Search(MakeDoc(u"cat,dog"), w, skip).hits, (std::vector<Hit>{{0, 7, 7}}));
  EXPECT_EQ(Search(MakeDoc(u"cat    dog"), w).hits, (std::vector<Hit>{{0, 10, 10}}));
  EXPECT_EQ(Search(MakeDoc(u"cat\t dog"), w).hits, (std::vector<Hit>{{0, 8, 8}}));
  // Skip-punctuation passes a run of separators after a space too.
  EXPECT_EQ(Search(MakeDoc(u"cat -- dog"), w, skip).hits, (std::vector<Hit>{{0, 10, 10}}));
  EXPECT_TRUE(Search(MakeDoc(u"cat -- dog"), w).hits.empty());
  EXPECT_TRUE(Search(MakeDoc(u"catdog"), w).hits.empty());
}

TEST(BufferMatcher, Wildcards) {
  auto found = [](const std::u16string& text, const std::u16string& word) {
    return !Search(MakeDoc(text), MakeWord(word)).hits.empty();
  };
  EXPECT_TRUE(found(u"bad",
                    u"b\x1D"
                    u"d"));
  EXPECT_TRUE(found(u"bread",
                    u"b\x1D"
                    u"d"));
  EXPECT_TRUE(found(u"bd",
                    u"b\x1D"
                    u"d"));  // an empty star
  EXPECT_FALSE(found(u"b d",
                     u"b\x1D"
                     u"d"));
  EXPECT_TRUE(found(u"bad",
                    u"b\x1C"
                    u"d"));
  EXPECT_TRUE(found(u"b.d",
                    u"b\x1C"
                    u"d"));
  EXPECT_FALSE(found(u"b d",
                     u"b\x1C"
                     u"d"));
  EXPECT_TRUE(found(u"bad",
                    u"b\x1E"
                    u"d"));
  EXPECT_FALSE(found(u"b1d",
                     u"b\x1E"
                     u"d"));
  EXPECT_TRUE(found(u"b12d",
                    u"b\x1B"
                    u"d"));
  EXPECT_FALSE(found(u"bd",
                     u"b\x1B"
                     u"d"));
  EXPECT_TRUE(found(u"the end of", u"the \x1A of"));
  EXPECT_TRUE(found(u"the end, of", u"the \x1A of"));
  EXPECT_FALSE(found(u"the of", u"the \x1A of"));
  // A star before a space runs to the next separator.
  EXPECT_EQ(Search(MakeDoc(u"walking on"), MakeWord(u"walk\x1D on")).hits,
            (std::vector<Hit>{{0, 10, 10}}));
  // A pending star takes a failing character and looks again after it:
  // "b*ad" in "bxaxad" (the first "a" is followed by "x", not "d").
  EXPECT_EQ(Search(MakeDoc(u"bxaxad"), MakeWord(u"b\x1D"
                                                u"ad"))
                .hits,
            (std::vector<Hit>{{0, 6, 6}}));
  // ...but a space stops it.
  EXPECT_TRUE(Search(MakeDoc(u"bxa ad"), MakeWord(u"b\x1D"
                                                  u"ad"))
                  .hits.empty());
  // "^" before a space meets a separator by matching nothing.
  EXPECT_EQ(Search(MakeDoc(u"cat dog"), MakeWord(u"cat\x1E dog")).hits,
            (std::vector<Hit>{{0, 7, 7}}));
  EXPECT_TRUE(Search(MakeDoc(u"cat, dog"), MakeWord(u"cat\x1E dog")).hits.empty());
  EXPECT_EQ(Search(MakeDoc(u"cats dog"), MakeWord(u"cat\x1E dog")).hits,
            (std::vector<Hit>{{0, 8, 8}}));
}

TEST(BufferMatcher, EndOfTextNeedsEveryUnit) {
  // Hits that end at the last character of the buffer.
  EXPECT_EQ(Search(MakeDoc(u"x cat    dog"), MakeWord(u"cat dog")).hits,
            (std::vector<Hit>{{2, 10, 10}}));
  EXPECT_EQ(Search(MakeDoc(u"the end of"), MakeWord(u"the \x1A of")).hits,
            (std::vector<Hit>{{0, 10, 10}}));
  Options skip;
  skip.skipPunctuation = true;
  EXPECT_EQ(Search(MakeDoc(u"cat, dog"), MakeWord(u"cat dog"), skip).hits,
            (std::vector<Hit>{{0, 8, 8}}));
  // A partial match is no hit, whatever length it has reached.
  EXPECT_TRUE(Search(MakeDoc(u"b12d"), MakeWord(u"b\x1B"
                                                u"dx"))
                  .hits.empty());
  EXPECT_TRUE(Search(MakeDoc(u"ca"), MakeWord(u"cat")).hits.empty());
  // A one-character word at the very end of a chunk.
  EXPECT_EQ(Starts(Search(MakeDoc(u"b a"), MakeWord(u"a"))), (std::vector<int32_t>{2}));
}

TEST(BufferMatcher, MarkupInTheText) {
  const Doc doc = MakeDoc(u"wa<b>lk <i>walk</i>", true);
  EXPECT_EQ(Search(doc, MakeWord(u"walk")).hits, (std::vector<Hit>{{0, 7, 7}, {11, 4, 4}}));
  // A hit does not start inside markup...
  EXPECT_TRUE(Search(MakeDoc(u"<b>", true), MakeWord(u"b")).hits.empty());
  // ...unless the search word starts with a tag: the tag codes compare
  // literally with the text's tag codes.
  const Doc tagged = MakeDoc(
      u"x \x19"
      u"b\x18"
      u"bold",
      false);
  Doc marked = tagged;
  for (int i = 2; i <= 4; ++i) marked.details[static_cast<size_t>(i)] |= kDetailInMarkup;
  EXPECT_EQ(Search(marked,
                   MakeWord(u"\x19"
                            u"b\x18"
                            u"bold"),
                   Open(false, true))
                .hits,
            (std::vector<Hit>{{2, 7, 7}}));
  // Outside markup in the search word, the tag in the text is passed over.
  EXPECT_EQ(Search(marked, MakeWord(u"x bold")).hits, (std::vector<Hit>{{0, 9, 9}}));
  // Any-word as the last unit inside markup takes the rest and reads no
  // further unit of the copy.
  Doc inTag = MakeDoc(
      u"\x19"
      u"cat dog",
      false);
  for (size_t i = 0; i < inTag.text.size(); ++i) inTag.details[i] |= kDetailInMarkup;
  EXPECT_EQ(Search(inTag,
                   MakeWord(u"\x19"
                            u"cat \x1A"),
                   Open(false, false))
                .hits,
            (std::vector<Hit>{{0, 8, 8}}));
}

TEST(BufferMatcher, LeftBoundaryAtTheFirstCharacter) {
  const Doc doc = MakeDoc(u"cat cat");
  const Word w = MakeWord(u"cat");
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  TMatchRequest r = Request(doc, w, Options(), 0);
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), 0);
  r.detailsStart = nullptr;  // no start given: P is the first character
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), 0);
  // From inside a word, the character before P is looked at.
  const Doc joined = MakeDoc(u"xcat");
  r = Request(joined, w, Options(), 1);
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), -1);
  r.detailsStart = nullptr;
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), 0);
}

TEST(BufferMatcher, MarkersHaveNoClass) {
  // "walk*" over "walking. x" with the full stop marked as a sentence end:
  // the extension stops at the marker.
  Doc doc = MakeDoc(u"walking. x");
  doc.details[7] = MarkerWord(15);
  Options o = Open(true, false);
  o.has15 = true;
  EXPECT_EQ(Search(doc, MakeWord(u"walk"), o).hits, (std::vector<Hit>{{0, 7, 4}}));
  // A marker is no digit for "#", no character for "?", and a marker after a
  // hit is a right boundary.
  Doc digits = MakeDoc(u"b1d b2d");
  digits.details[1] = MarkerWord(20);
  EXPECT_EQ(Starts(Search(digits, MakeWord(u"b\x1B"
                                           u"d"))),
            (std::vector<int32_t>{4}));
  EXPECT_EQ(Starts(Search(digits, MakeWord(u"b\x1C"
                                           u"d"))),
            (std::vector<int32_t>{4}));
  Doc bounded = MakeDoc(u"catx");
  bounded.details[3] = MarkerWord(14);
  EXPECT_EQ(Starts(Search(bounded, MakeWord(u"cat"))), (std::vector<int32_t>{0}));
}

TEST(BufferMatcher, CountsWordsAndUnits) {
  TRun run = Search(MakeDoc(u"one two  three"), MakeWord(u"zzz"));
  EXPECT_EQ(run.stats.number[word_stats], 2);
  EXPECT_EQ(run.stats.position[sentence_stats], 2);
  EXPECT_EQ(run.stats.position[heading_stats], 0);
  // Trailing white counts one start; a marker is not white.
  EXPECT_EQ(Search(MakeDoc(u"a b "), MakeWord(u"zzz")).stats.number[word_stats], 2);

  // Sentence ends through the procedure, positions restart at 1.
  Recorder recorder;
  Doc doc = MakeDoc(u"aa bb. cc dd. ee");
  doc.details[5] = MarkerWord(15);
  doc.details[12] = MarkerWord(15);
  Options o;
  o.has15 = true;
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  const Word w = MakeWord(u"zzz");
  TMatchRequest r = Request(doc, w, o, 0);
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), -1);
  // The first sentence ends after its first word start (position 0 + 1); after
  // an end the position restarts at 1, so the next one ends at 3.
  EXPECT_EQ(gEnds, (std::vector<std::array<int32_t, 3>>{{0, 0, 1}, {0, 1, 3}}));
  EXPECT_EQ(stats.number[sentence_stats], 2);
  EXPECT_EQ(stats.number[word_stats], 4);
  EXPECT_EQ(stats.position[sentence_stats], 2);
  EXPECT_EQ(stats.out_of[sentence_stats], 2);
  EXPECT_EQ(stats.out_of[word_stats], 0);
}

TEST(BufferMatcher, EvenCodesAndHeadings) {
  Recorder recorder;
  const Word w = MakeWord(u"zzz");
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  // Code 14 ends a sentence only when the text has no code 15.
  Doc doc = MakeDoc(u"a. b");
  doc.details[1] = MarkerWord(14);
  Options o;
  o.has15 = true;
  TMatchRequest r = Request(doc, w, o, 0);
  FindWantedInBuffer(r, stats, heading, full, exact);
  EXPECT_EQ(stats.number[sentence_stats], 0);
  r.has15 = false;
  FindWantedInBuffer(r, stats, heading, full, exact);
  EXPECT_EQ(stats.number[sentence_stats], 1);

  // 18 starts a heading (words inside it count in the heading's position), 19
  // ends it.
  Doc h = MakeDoc(u"x a b cx d");
  h.details[0] = MarkerWord(18);
  h.details[7] = MarkerWord(19);
  TSearchStatsRec hs{};
  bool in = false;
  Options ho;
  ho.has19 = true;
  r = Request(h, w, ho, 0);
  gEnds.clear();
  FindWantedInBuffer(r, hs, in, full, exact);
  EXPECT_FALSE(in);
  EXPECT_EQ(hs.number[heading_stats], 1);
  EXPECT_EQ(gEnds, (std::vector<std::array<int32_t, 3>>{{2, 0, 3}}));
  // Without code 19 in the text, 18 ends the heading at once.
  r.has19 = false;
  h.details[7] = platform::CharType1(u'x');
  hs = TSearchStatsRec{};
  gEnds.clear();
  FindWantedInBuffer(r, hs, in, full, exact);
  EXPECT_EQ(gEnds, (std::vector<std::array<int32_t, 3>>{{2, 0, 0}}));
  EXPECT_FALSE(in);

  // Null procedures are skipped.
  HandleSentenceEndProc = nullptr;
  r = Request(doc, w, Options(), 0);
  stats = TSearchStatsRec{};
  FindWantedInBuffer(r, stats, heading, full, exact);
  EXPECT_EQ(stats.number[sentence_stats], 1);
}

TEST(BufferMatcher, NothingToDo) {
  const Doc doc = MakeDoc(u"cat");
  const Word w = MakeWord(u"cat");
  TSearchStatsRec stats{};
  stats.number[word_stats] = 5;
  bool heading = true;
  int32_t full = -1, exact = -1;
  TMatchRequest r = Request(doc, w, Options(), 0);
  r.L = 0;
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), -1);
  r = Request(doc, w, Options(), 0);
  r.detailsEnd = r.details + 1;  // an array covering no character
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), -1);
  EXPECT_EQ(stats.number[word_stats], 5);
  EXPECT_TRUE(heading);
  EXPECT_EQ(full, -1);
  // A detail array shorter than n bounds the search.
  const Doc longer = MakeDoc(u"ab cat");
  r = Request(longer, w, Options(), 0);
  r.detailsEnd = r.details + 4;
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), -1);
}

TEST(BufferMatcher, EightBitBuffersCompareUnsignedBytes) {
  // "café" in windows-1252: the é is 0xE9, a negative char.
  const std::string text = "un caf\xE9 noir";
  std::vector<uint16_t> details(text.size() + 2, 0);
  platform::CharTypes1OfBytes(1252, text.data(), text.size(), details.data());
  const std::vector<char16_t> lo = {u'c', u'a', u'f', 0xE9}, up = {u'C', u'A', u'F', 0xC9};
  TMatchRequest r;
  r.text = text.data();
  r.n = static_cast<int32_t>(text.size());
  r.details = r.detailsStart = details.data();
  r.detailsEnd = details.data() + text.size() + 1;
  r.lower = lo.data();
  r.upper = up.data();
  r.title = up.data();
  r.L = 4;
  r.leftBounded = r.rightBounded = true;
  r.bufferIsUnicode = false;
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact), 3);
  EXPECT_EQ(full, 4);
  TSearchStatsRec refStats{};
  bool refHeading = false;
  EXPECT_EQ(reference::ReferenceFindWanted(r, refStats, refHeading, full, exact), 3);
}

TEST(BufferMatcher, SixteenBitFormSaturatesLongHits) {
  const Doc doc = MakeDoc(std::u16string(70000, u'a'));
  const Word w = MakeWord(u"a");
  uint16_t full = 0, exact = 0;
  TSearchStatsRec stats{};
  bool heading = false;
  const void* hit = NewFindWantedInBuffer(
      doc.text.data(), 70000, doc.details.data(), doc.details.data(), doc.details.data() + 70001,
      w.up.data(), w.lo.data(), w.ti.data(), 1, false, true, false, true, false, false, full, exact,
      stats, heading, false, false, false, false);
  EXPECT_EQ(hit, doc.text.data());
  EXPECT_EQ(full, 65535);
  EXPECT_EQ(exact, 1);
  int32_t full32 = 0, exact32 = 0;
  TMatchRequest r = Request(doc, w, Open(true, false), 0);
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full32, exact32), 0);
  EXPECT_EQ(full32, 70000);
}

TEST(BufferMatcher, LongRunsWithoutBlanks) {
  // Each of these is quadratic when every candidate rescans the run; with the
  // run memory a search over 200,000 letters is immediate.
  const Doc doc = MakeDoc(std::u16string(200000, u'a'));
  TMatcherMemo memo;
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  const Word star = MakeWord(
      u"a\x1D"
      u"b");
  TMatchRequest r = Request(doc, star, Open(false, false), 0);
  EXPECT_EQ(FindWantedInBuffer(r, stats, heading, full, exact, &memo), -1);
  // Every "a" is a hit of "*a*", each extended to the end of the run.
  const Word a = MakeWord(u"a");
  memo.Reset();
  int32_t hits = 0;
  for (int32_t from = 0; from < 200000; ++hits) {
    r = Request(doc, a, Open(false, false), from);
    const int32_t at = FindWantedInBuffer(r, stats, heading, full, exact, &memo);
    if (at < 0) break;
    ASSERT_EQ(full, 200000 - from - at);
    from += at + 1;
  }
  EXPECT_EQ(hits, 200000);
}

TEST(BufferMatcher, PendingStarOverLongWordsAgreesWithTheReference) {
  // "a*bc" over "abab...": every candidate's star fails on each "a" and looks
  // again, up to the end of the word; the chains of stops are shared, not
  // walked again per candidate. The same words then end in a hit, or are
  // broken by blanks, and every result must be the reference's.
  std::u16string abab;
  for (int i = 0; i < 1500; ++i) abab += u"ab";
  const Word w = MakeWord(
      u"a\x1D"
      u"bc");
  for (const std::u16string& text :
       {abab, abab + u"c", abab + u"c " + abab + u"c", abab.substr(0, 1000) + u" " + abab + u"x",
        u"ab" + abab + u"bc" + abab}) {
    for (const Options& o : {Open(false, false), Open(true, true), Open(true, false)}) {
      const TRun run = Search(MakeDoc(text), w, o);
      if (testing::Test::HasFailure()) return;
      if (text.size() == abab.size()) {
        EXPECT_TRUE(run.hits.empty());
      }
    }
  }
  // Each "a" of "ab...abc" is a hit ending at the one "c".
  const TRun run = Search(MakeDoc(abab + u"c"), w, Open(false, false));
  ASSERT_EQ(run.hits.size(), 1500u);
  EXPECT_EQ(run.hits.back(), (Hit{2998, 3, 3}));

  // A million characters without a blank, with the memo: immediate.
  std::u16string million;
  while (million.size() < 1000000) million += u"ab";
  const Doc big = MakeDoc(million);
  TMatcherMemo memo;
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  EXPECT_EQ(FindWantedInBuffer(Request(big, w, Open(false, false), 0), stats, heading, full,
                               exact, &memo),
            -1);
}

TEST(BufferMatcher, WordsOfManyStarsAgreeWithTheReference) {
  // "a*a*...*a*bc" over "abab...": the stars before the last each take one
  // "b"; the last one fails on every later "a" up to the end of the word. Ten
  // and twelve stars, so that stars past any small fixed number are met.
  auto manyStars = [](int stars) {
    std::u16string w = u"a";
    for (int i = 1; i < stars; ++i)
      w += u"\x1D"
           u"a";
    return w + u"\x1D"
               u"bc";
  };
  std::u16string abab;
  for (int i = 0; i < 600; ++i) abab += u"ab";
  for (const int stars : {10, 12}) {
    const Word w = MakeWord(manyStars(stars));
    for (const std::u16string& text :
         {abab, abab + u"c", abab + u"c " + abab + u"c", abab.substr(0, 500) + u" " + abab + u"x",
          u"ab" + abab + u"bc" + abab, abab.substr(0, 30) + u"c" + abab.substr(0, 30) + u"c"}) {
      for (const Options& o : {Open(false, false), Open(true, true), Open(true, false)}) {
        const TRun run = Search(MakeDoc(text), w, o);
        if (testing::Test::HasFailure()) return;
      }
    }
    // Every "a" with at least as many "a" after it as the word has before its
    // "bc" is a hit ending at the one "c".
    const TRun run = Search(MakeDoc(abab + u"c"), w, Open(false, false));
    ASSERT_EQ(run.hits.size(), static_cast<size_t>(600 - (stars - 1)));
    EXPECT_EQ(run.hits.back().exact, 1200 + 1 - run.hits.back().at);
  }

  // Random words of nine to fourteen stars over short words of two or three
  // letters, one memo kept across each search.
  std::mt19937 random(2026);
  const char16_t textUnits[] = {u'a', u'b', u'c', u'b', u' ', u','};
  const char16_t afterStar[] = {u'a', u'b', u'c', u'a', u'b', 0x1C, 0x1B, u' '};
  int withHits = 0;
  for (int round = 0; round < 400; ++round) {
    std::u16string text;
    const size_t n = 40 + random() % 300;
    const int alphabet = 2 + static_cast<int>(random() % 2);
    for (size_t i = 0; i < n; ++i) {
      text += random() % 24 == 0 ? textUnits[random() % std::size(textUnits)]
                                 : static_cast<char16_t>(u'a' + random() % alphabet);
    }
    std::u16string word(1, static_cast<char16_t>(u'a' + random() % alphabet));
    const int stars = 9 + static_cast<int>(random() % 6);
    for (int i = 0; i < stars; ++i) {
      word += char16_t{0x1D};
      word += afterStar[random() % (i + 1 < stars ? 5 : std::size(afterStar))];
    }
    Options o;
    o.left = random() % 2;
    o.right = random() % 2;
    o.skipPunctuation = random() % 2;
    SCOPED_TRACE(testing::Message() << "round " << round);
    const TRun run = Search(MakeDoc(text), MakeWord(word, random() % 2 == 0), o);
    if (testing::Test::HasFailure()) break;
    withHits += !run.hits.empty();
  }
  EXPECT_GT(withHits, 40);

  // Two hundred thousand characters without a blank: without a memo for the
  // last star every "a" would walk to the end.
  std::u16string longRun;
  while (longRun.size() < 200000) longRun += u"ab";
  const Doc big = MakeDoc(longRun);
  TMatcherMemo memo;
  TSearchStatsRec stats{};
  bool heading = false;
  int32_t full = 0, exact = 0;
  EXPECT_EQ(FindWantedInBuffer(Request(big, MakeWord(manyStars(12)), Open(false, false), 0), stats,
                               heading, full, exact, &memo),
            -1);
}

TEST(BufferMatcher, StarChainsAgreeWithTheReferenceOnRandomLongWords) {
  // Words of two or three letters with an odd blank or comma, and search
  // words with several stars whose chains meet, cross and hand over to the
  // next star; one memo is kept across each search as the engine keeps it.
  std::mt19937 random(1612);
  const char16_t textUnits[] = {u'a', u'b', u'c', u'a', u'b', u'B', u'1', u' ', u','};
  const char16_t wordUnits[] = {u'a', u'b', u'c', 0x1D, 0x1D, 0x1C, 0x1B, u' '};
  auto pick = [&](const auto& units) { return units[random() % std::size(units)]; };
  int rounds = 0, withHits = 0;
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    const size_t n = 20 + random() % 200;
    const int alphabet = 2 + static_cast<int>(random() % 2);
    for (size_t i = 0; i < n; ++i)
      text += random() % 16 == 0 ? pick(textUnits) : static_cast<char16_t>(u'a' + random() % alphabet);
    std::u16string word(1, static_cast<char16_t>(u'a' + random() % alphabet));
    const size_t L = 2 + random() % 5;
    while (word.size() < L) word += pick(wordUnits);
    if (word.find(char16_t{0x1D}) == std::u16string::npos) word.insert(1, 1, char16_t{0x1D});
    Options o;
    o.left = random() % 2;
    o.right = random() % 2;
    o.skipPunctuation = random() % 2;
    SCOPED_TRACE(testing::Message() << "round " << round);
    const TRun run = Search(MakeDoc(text), MakeWord(word, random() % 2 == 0), o);
    if (testing::Test::HasFailure()) break;
    ++rounds;
    withHits += !run.hits.empty();
  }
  EXPECT_EQ(rounds, 3000);
  EXPECT_GT(withHits, 500);
}

// --- Reads stay inside the buffer ------------------------------------------------------

// Three pages, the outer two inaccessible: text or details placed at either
// edge of the middle page fault on any read beyond their range.
class GuardedPages {
 public:
  GuardedPages() {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* p = mmap(nullptr, 3 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    base_ = static_cast<char*>(p);
    mprotect(base_, page_, PROT_NONE);
    mprotect(base_ + 2 * page_, page_, PROT_NONE);
  }
  ~GuardedPages() {
    if (base_ != nullptr) munmap(base_, 3 * page_);
  }
  bool ok() const { return base_ != nullptr; }
  template <typename U>
  U* AtEnd(const U* data, size_t count) {
    char* start = base_ + 2 * page_ - count * sizeof(U);
    std::memcpy(start, data, count * sizeof(U));
    return reinterpret_cast<U*>(start);
  }
  template <typename U>
  U* AtStart(const U* data, size_t count) {
    std::memcpy(base_ + page_, data, count * sizeof(U));
    return reinterpret_cast<U*>(base_ + page_);
  }

 private:
  size_t page_ = 0;
  char* base_ = nullptr;
};

TEST(BufferMatcher, ReadsStayInsideBufferAndDetails) {
  GuardedPages textPages, detailPages;
  ASSERT_TRUE(textPages.ok() && detailPages.ok());
  const std::u16string words[] = {u"cat",
                                  u"c\x1D",
                                  u"\x1D"
                                  u"t",
                                  u"cat\x1E",
                                  u"ca\x1C",
                                  u"c\x1B",
                                  u"cat \x1A",
                                  u"\x1A",
                                  u"\x1E cat",
                                  u"cat ",
                                  u"\x19"
                                  u"cat \x1A",
                                  u"c\x1D"
                                  u"x",
                                  u"a\x1D"
                                  u"t x"};
  const std::u16string texts[] = {u"cat", u"a cat", u"cat.",  u"cat  ", u"xcat",
                                  u"c12", u"<cat",  u". cat", u"ca"};
  for (const std::u16string& text : texts) {
    Doc doc = MakeDoc(text, true);
    const size_t n = text.size();
    for (const bool atStart : {false, true}) {
      const char16_t* t =
          atStart ? textPages.AtStart(text.data(), n) : textPages.AtEnd(text.data(), n);
      // Exactly n detail words: no spare words at all.
      const uint16_t* d = atStart ? detailPages.AtStart(doc.details.data(), n)
                                  : detailPages.AtEnd(doc.details.data(), n);
      for (const std::u16string& word : words) {
        const Word w = MakeWord(word);
        for (int flags = 0; flags < 8; ++flags) {
          TMatchRequest r;
          r.text = t;
          r.n = static_cast<int32_t>(n);
          r.details = r.detailsStart = d;
          r.detailsEnd = flags & 4 ? nullptr : d + n + 1;
          r.lower = w.lo.data();
          r.upper = w.up.data();
          r.title = w.ti.data();
          r.L = w.L();
          r.leftBounded = flags & 1;
          r.rightBounded = flags & 2;
          r.skipPunctuation = flags & 4;
          TSearchStatsRec stats{}, refStats{};
          bool heading = false, refHeading = false;
          int32_t full = 0, exact = 0, refFull = 0, refExact = 0;
          const int32_t at = FindWantedInBuffer(r, stats, heading, full, exact);
          EXPECT_EQ(at, reference::ReferenceFindWanted(r, refStats, refHeading, refFull, refExact));
          if (at >= 0) {
            EXPECT_EQ(full, refFull);
          }
        }
      }
    }
  }
}

// --- Random comparisons with the reference ------------------------------------------------

TEST(BufferMatcher, AgreesWithTheReferenceOnRandomInput) {
  std::mt19937 random(20261209);
  const char16_t textUnits[] = {u'a', u'b',  u'B',      u'c',      u'1', u'2', u' ',
                                u' ', u'\t', u'.',      u',',      u'-', u'<', u'>',
                                0x19, 0x18,  u'\u00E9', u'\u00C9', u'\r'};
  const char16_t wordUnits[] = {u'a', u'b', u'B', u'c', u'1', u' ', u'.',      0x18,
                                0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, u'\u00E9', u'-'};
  auto pick = [&](const auto& units) { return units[random() % std::size(units)]; };
  int roundsWithHits = 0, wildcardExtras = 0;
  for (int round = 0; round < 20000; ++round) {
    std::u16string text;
    const size_t n = 1 + random() % 24;
    for (size_t i = 0; i < n; ++i) text += pick(textUnits);
    Doc doc = MakeDoc(text, random() % 2 == 0);
    const int markers = static_cast<int>(random() % 3);
    for (int m = 0; m < markers; ++m)
      doc.details[random() % n] = MarkerWord(static_cast<uint16_t>(13 + random() % 10));
    if (random() % 8 == 0) doc.details[random() % n] = platform::C1_DEFINED;
    std::u16string word;
    const size_t L = 1 + random() % 5;
    for (size_t i = 0; i < L; ++i) word += pick(wordUnits);
    const Word w = MakeWord(word, random() % 4 == 0);
    Options o;
    o.left = random() % 2;
    o.right = random() % 2;
    o.skipPunctuation = random() % 2;
    o.has15 = random() % 2;
    o.has17 = random() % 2;
    o.has19 = random() % 2;
    o.has21 = random() % 2;
    SCOPED_TRACE(testing::Message() << "round " << round);
    const TRun run = Search(doc, w, o);
    if (testing::Test::HasFailure()) break;
    roundsWithHits += !run.hits.empty();
    for (const Hit& h : run.hits) wildcardExtras += h.exact > w.L();
  }
  // The comparison is worth something only if many rounds find hits, some of
  // them longer than the search word.
  EXPECT_GT(roundsWithHits, 2000);
  EXPECT_GT(wildcardExtras, 200);
}

// Longer texts, so that they are scanned eight characters at a time, dense in
// the search word's letters (possible first characters after letters,
// digits, markup and markers, at every place in a block), and search words
// whose first units are literal, with any bounds: the same hits and counts as
// the reference.
TEST(BufferMatcher, BlockScanAgreesWithTheReferenceOnLongTexts) {
  std::mt19937 random(20261210);
  // Pieces of text: the word and near misses, and what may stand around them.
  const std::u16string textUnits[] = {u"the", u"The", u"THE", u"th", u"t", u"he", u"other", u"x7",
                                      u"e\u00E9", u" ",  u" ",   u"  ",  u"\n", u".",  u"<",     u">",
                                      u"\u0019", u"\u0018", u"\u00A0"};
  const std::u16string words[] = {u"the", u"th", u"t", u"he", u"the\u001D", u"th\u001E", u"t\u001B",
                                  u"the the", u"e.", u"\u0019t", u"h\u001A"};
  auto pick = [&](const auto& units) { return units[random() % std::size(units)]; };
  int roundsWithHits = 0, hits = 0;
  for (int round = 0; round < 6000; ++round) {
    std::u16string text;
    const size_t length = 16 + random() % 150;
    while (text.size() < length) text += pick(textUnits);
    const size_t n = text.size();
    Doc doc = MakeDoc(text, random() % 2 == 0);
    const int markers = static_cast<int>(random() % 3);
    for (int m = 0; m < markers; ++m)
      doc.details[random() % n] = MarkerWord(static_cast<uint16_t>(13 + random() % 10));
    const Word w = MakeWord(pick(words), random() % 4 == 0);
    Options o;
    o.left = random() % 4 != 0;
    o.right = random() % 2;
    o.skipPunctuation = random() % 2;
    o.has15 = random() % 2;
    SCOPED_TRACE(testing::Message() << "round " << round);
    const TRun run = Search(doc, w, o);
    if (testing::Test::HasFailure()) break;
    roundsWithHits += !run.hits.empty();
    hits += static_cast<int>(run.hits.size());
  }
  EXPECT_GT(roundsWithHits, 3000);
  EXPECT_GT(hits, 10000);
}

}  // namespace
}  // namespace qn
