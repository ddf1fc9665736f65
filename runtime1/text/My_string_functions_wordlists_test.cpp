#include "runtime1/text/My_string_functions_wordlists.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/StringList.h"
#include "platform/YieldHook.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/containers/Useful_Classes.h"

namespace qn {
namespace {

using S = std::u16string;
using Entries = std::vector<std::pair<S, int32_t>>;

Entries EntriesOf(const TStringListWithFreqPointers& list) {
  Entries r;
  for (int32_t i = 0; i < list.Count(); ++i) r.emplace_back(list.Get(i), list.GetOne(i));
  return r;
}

Entries Take(TStringListWithFreqPointers* raw) {
  std::unique_ptr<TStringListWithFreqPointers> list(raw);
  return EntriesOf(*list);
}

// The list as one would build it word by word: a sorted, case-ignoring list
// that adds a word with frequency 1 or increases its frequency.
void CountByInsertion(TStringListWithFreqPointers& list, const S& word) {
  int32_t index = -1;
  if (list.Find(word, index))
    list.SetOne(index, list.GetOne(index) + 1);
  else
    list.AddOne(word, 1);
}

std::unique_ptr<TStringListWithFreqPointers> ReferenceList(const std::vector<S>& items, bool byFrequency) {
  auto list = std::make_unique<TStringListWithFreqPointers>();
  list->SetSorted(true);
  for (const S& w : items) CountByInsertion(*list, w);
  if (byFrequency) list->SortOnFreq();
  return list;
}

// Random text over a small vocabulary that mixes letter case, accents,
// full-width letters and digits, with punctuation and line breaks between.
struct TRandomText {
  S text;
  std::vector<S> words;  // in text order
};

TRandomText RandomText(uint32_t seed, size_t count) {
  static const S vocabulary[] = {u"the",    u"The",        u"THE",  u"cat",        u"\uFF43\uFF41\uFF54",
                                 u"Cat",    u"r\u00E9sum\u00E9", u"RESUME", u"resume", u"Stra\u00DFe",
                                 u"STRASSE", u"42",        u"x9",   u"\u00E9t\u00E9", u"\u00C9T\u00C9",
                                 u"a",      u"zebra",      u"Zebra", u"\u043C\u0438\u0440", u"\u041C\u0418\u0420"};
  static const S gaps[] = {u" ", u"  ", u", ", u". ", u"\r\n", u" - ", u"!\t"};
  std::mt19937 rng(seed);
  TRandomText r;
  for (size_t i = 0; i < count; ++i) {
    const S& w = vocabulary[rng() % std::size(vocabulary)];
    r.words.push_back(w);
    r.text += w;
    r.text += gaps[rng() % std::size(gaps)];
  }
  return r;
}

TEST(WordLists, ExamplesAndWordIdentity) {
  EXPECT_EQ(Take(SimpleTallierOfTxt(u"the cat and the hat", 1, true)),
            (Entries{{u"the", 2}, {u"and", 1}, {u"cat", 1}, {u"hat", 1}}));
  EXPECT_EQ(Take(SimpleTallierOfTxt(u"a bb ccc", 2, false)), (Entries{{u"bb", 1}, {u"ccc", 1}}));
  // Case variants are one entry spelled as first met; full-width letters merge
  // with ordinary ones, "Straße" and "STRASSE" stay apart.
  EXPECT_EQ(Take(SimpleTallierOfTxt(u"The the THE \uFF43\uFF41\uFF54 cat", 1, false)),
            (Entries{{u"\uFF43\uFF41\uFF54", 2}, {u"The", 3}}));
  EXPECT_EQ(Take(SimpleTallierOfTxt(u"Stra\u00DFe STRASSE", 1, false)).size(), 2u);
  EXPECT_TRUE(Take(SimpleTallierOfTxt(u"", 1, false)).empty());
  EXPECT_TRUE(Take(SimpleTallierOfTxt(u" .,; ", 0, true)).empty());
  // Letters and digits only: a combining mark or an apostrophe ends a word.
  EXPECT_EQ(Take(SimpleTallierOfTxt(u"don't", 1, false)), (Entries{{u"don", 1}, {u"t", 1}}));
}

TEST(WordLists, AlphabeticalListIsSortedForLookupsFrequencyListIsNot) {
  std::unique_ptr<TStringListWithFreqPointers> a(SimpleTallierOfTxt(u"b a c a", 1, false));
  EXPECT_TRUE(a->Sorted());
  int32_t index = -1;
  EXPECT_TRUE(a->Find(u"A", index));
  EXPECT_EQ(a->GetOne(index), 2);
  std::unique_ptr<TStringListWithFreqPointers> f(SimpleTallierOfTxt(u"b a c a c c", 1, true));
  EXPECT_FALSE(f->Sorted());
  EXPECT_EQ(f->IndexOf(u"B"), 2);  // a lookup in frequency order still answers right
}

TEST(WordLists, HashCountingMatchesSortedInsertionOnRandomTexts) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const TRandomText t = RandomText(seed, 3000);
    for (bool byFrequency : {false, true}) {
      const auto reference = ReferenceList(t.words, byFrequency);
      EXPECT_EQ(Take(SimpleTallierOfTxt(t.text, 1, byFrequency)), EntriesOf(*reference))
          << "seed " << seed << " byFrequency " << byFrequency;
    }
  }
}

// Thousands of types of 1 to 20 units, in pairs that differ in one unit, so that spellings held in the table
// itself and longer ones held apart both occur, case variants of each, and a
// table that grows many times; the text is also cut at every unit of its last
// words, so that words ending at the very end of the view (with nothing
// readable after them) count as the same words.
TEST(WordLists, ManyTypesOfEveryLengthAndTextsCutAnywhere) {
  std::mt19937 rng(7);
  std::vector<S> vocabulary;
  for (size_t i = 0; i < 1500; ++i) {
    S w;
    const size_t length = 1 + i % 20;
    for (size_t k = 0; k < length; ++k) w += static_cast<char16_t>(u'a' + rng() % 25);
    if (i % 7 == 0) w += u'\u00E9';
    vocabulary.push_back(w);
    w[(i / 20) % w.size()] = u'z';  // a word that differs from it in one unit, at every place in turn
    vocabulary.push_back(w);
  }
  std::vector<S> words;
  S text;
  for (size_t i = 0; i < 12000; ++i) {
    S w = vocabulary[rng() % vocabulary.size()];
    if (rng() % 4 == 0) w[0] = static_cast<char16_t>(w[0] - 32);  // a case variant of the same word
    words.push_back(w);
    text += w;
    text += i % 13 == 0 ? u".\r\n" : u" ";
  }
  for (bool byFrequency : {false, true}) {
    EXPECT_EQ(Take(SimpleTallierOfTxt(text, 1, byFrequency)), EntriesOf(*ReferenceList(words, byFrequency)));
  }
  // The same text followed by letters that lie beyond the view.
  const S tail = u" supercalifragilistic Ab";
  std::vector<S> withTail = words;
  withTail.push_back(u"supercalifragilistic");
  const S longer = text + tail + u"cdefghijklmnop";
  for (size_t cut = 0; cut <= 2; ++cut) {
    const std::u16string_view view = std::u16string_view(longer).substr(0, text.size() + tail.size() - cut);
    std::vector<S> expected = withTail;
    expected.push_back(S(u"Ab").substr(0, 2 - cut));
    if (expected.back().empty()) expected.pop_back();
    EXPECT_EQ(Take(SimpleTallierOfTxt(view, 1, false)), EntriesOf(*ReferenceList(expected, false))) << "cut " << cut;
  }
  const std::u16string_view cutInLongWord = std::u16string_view(longer).substr(0, text.size() + 12);
  std::vector<S> expected = words;
  expected.push_back(u"supercalifr");
  EXPECT_EQ(Take(SimpleTallierOfTxt(cutInLongWord, 1, true)), EntriesOf(*ReferenceList(expected, true)));
}

// Every code unit, alone or beside the next one, counted as its general
// category says: letters (Lu, Ll, Lt, Lm, Lo) and decimal digits make words.
TEST(WordLists, EveryCodeUnitCountsAsItsCategorySays) {
  const auto isWordUnit = [](char16_t c) {
    switch (u_charType(c)) {
      case U_UPPERCASE_LETTER:
      case U_LOWERCASE_LETTER:
      case U_TITLECASE_LETTER:
      case U_MODIFIER_LETTER:
      case U_OTHER_LETTER:
      case U_DECIMAL_DIGIT_NUMBER: return true;
      default: return false;
    }
  };
  S text;
  for (uint32_t c = 1; c <= 0xFFFF; ++c) {
    text += static_cast<char16_t>(c);
    if (c % 3 != 0) text += u' ';
  }
  int64_t expected = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isWordUnit(text[i]) && (i == 0 || !isWordUnit(text[i - 1]))) ++expected;
  }
  int64_t counted = 0;
  for (const auto& [word, freq] : Take(SimpleTallierOfTxt(text, 1, false))) counted += freq;
  EXPECT_EQ(counted, expected);
}

TEST(WordLists, MinimumLengthAndAcceptedWords) {
  const TRandomText t = RandomText(11, 2000);
  std::vector<S> longOnes;
  for (const S& w : t.words)
    if (w.size() >= 4) longOnes.push_back(w);
  EXPECT_EQ(Take(SimpleTallierOfTxt(t.text, 4, false)), EntriesOf(*ReferenceList(longOnes, false)));

  int32_t calls = 0;
  auto acceptNoDigits = [&calls](const S& w) {
    ++calls;
    return w.find_first_of(u"0123456789") == S::npos;
  };
  std::vector<S> noDigits;
  for (const S& w : t.words)
    if (w.find_first_of(u"0123456789") == S::npos) noDigits.push_back(w);
  EXPECT_EQ(Take(SimpleTallierOfTxt(t.text, TAcceptWordFunct::FromCallable(acceptNoDigits), true)),
            EntriesOf(*ReferenceList(noDigits, true)));
  EXPECT_EQ(calls, static_cast<int32_t>(t.words.size()));  // asked once per word of the text
  EXPECT_EQ(Take(SimpleTallierOfTxt(t.text, TAcceptWordFunct(), false)).size(),
            Take(SimpleTallierOfTxt(t.text, 1, false)).size());
}

// The texts of a corpus counted one after another give the list of all their
// words (first spellings, summed frequencies), each type counting once per
// text number however many pieces the text came in, and after each text the
// types met in it with their frequencies there, as that text's own list.
TEST(CorpusWordTally, TextsAddUpToTheListOfAllTheirWords) {
  TCorpusWordTally corpus;
  std::vector<S> all;
  std::vector<std::vector<S>> perText;
  std::mt19937 rng(3);
  for (uint32_t k = 0; k < 8; ++k) {
    // The later texts bring many new spellings, so that the table grows in the
    // middle of a text whose spellings have already been counted.
    TRandomText t = RandomText(100 + k, 500 + 400 * k);
    for (size_t i = 0; i < 300 * k; ++i) {
      S w = u"w";
      w += static_cast<char16_t>(u'a' + rng() % 26);
      w += static_cast<char16_t>(u'a' + k);
      w += static_cast<char16_t>(u'a' + i % 26);
      w.append(i % 9, u'q');
      t.words.push_back(w);
      t.text += w;
      t.text += u' ';
    }
    all.insert(all.end(), t.words.begin(), t.words.end());
    perText.push_back(t.words);
    // Texts 2 and 5 come in two pieces cut at a word boundary.
    const size_t cut = (k == 2 || k == 5) ? t.text.find(u' ', t.text.size() / 2) + 1 : t.text.size();
    int64_t counted = 0;
    for (const std::u16string_view piece : {std::u16string_view(t.text).substr(0, cut),
                                            std::u16string_view(t.text).substr(cut)}) {
      if (piece.empty()) continue;
      counted += corpus.AddText(piece, 10 + k);
      // The types met in this call are this piece's own list.
      std::unique_ptr<TStringListWithFreqPointers> own(SimpleTallierOfTxt(piece, 1, false));
      ASSERT_EQ(corpus.MetCount(), own->Count()) << "text " << k;
      for (int32_t i = 0; i < corpus.MetCount(); ++i) {
        const int32_t type = corpus.MetType(i);
        int32_t at = -1;
        ASSERT_TRUE(own->Find(S(corpus.Spelling(type)), at));
        EXPECT_EQ(corpus.MetFreq(i), own->GetOne(at)) << "text " << k;
      }
    }
    EXPECT_EQ(counted, static_cast<int64_t>(t.words.size()));
  }
  EXPECT_EQ(corpus.Tokens(), static_cast<int64_t>(all.size()));
  EXPECT_EQ(corpus.TextCount(), 8);
  for (bool byFrequency : {false, true}) {
    EXPECT_EQ(Take(corpus.List(byFrequency)), EntriesOf(*ReferenceList(all, byFrequency)));
  }
  ASSERT_EQ(corpus.TypeCount(), ReferenceList(all, false)->Count());
  std::vector<std::unique_ptr<TStringListWithFreqPointers>> references;
  for (const std::vector<S>& words : perText) references.push_back(ReferenceList(words, false));
  for (int32_t type = 0; type < corpus.TypeCount(); ++type) {
    const S spelling(corpus.Spelling(type));
    EXPECT_EQ(corpus.Find(spelling), type);
    int64_t texts = 0, freq = 0;
    for (const auto& reference : references) {
      int32_t at = -1;
      if (reference->Find(spelling, at)) {
        ++texts;
        freq += reference->GetOne(at);
      }
    }
    EXPECT_EQ(corpus.Texts(type), texts) << "type " << type;
    EXPECT_EQ(corpus.Freq(type), freq) << "type " << type;
  }
}

TEST(CorpusWordTally, IdentitySpellingsKeysAndBounds) {
  TCorpusWordTally corpus(2);
  EXPECT_EQ(corpus.TypeCount(), 0);
  EXPECT_EQ(corpus.Find(u"the"), -1);
  EXPECT_EQ(Take(corpus.List(false)), Entries{});
  EXPECT_THROW(corpus.Spelling(0), Exception);

  EXPECT_EQ(corpus.AddText(u"The cat a I saw the CAT", 1), 5);  // "a" and "I" are too short
  EXPECT_EQ(corpus.AddText(u"", 2), 0);
  EXPECT_EQ(corpus.MetCount(), 0);
  // Equal under the list's comparison: one type, spelled as first met.
  EXPECT_EQ(corpus.AddText(u"the \uFF43\uFF41\uFF54 Stra\u00DFe STRASSE", 3), 4);
  EXPECT_EQ(Take(corpus.List(true)),
            (Entries{{u"The", 3}, {u"cat", 3}, {u"STRASSE", 1}, {u"Stra\u00DFe", 1}, {u"saw", 1}}));
  const int32_t the = corpus.Find(u"THE");
  ASSERT_GE(the, 0);
  EXPECT_EQ(corpus.Spelling(the), u"The");
  EXPECT_EQ(corpus.Texts(the), 2);
  EXPECT_EQ(corpus.Texts(corpus.Find(u"saw")), 1);
  EXPECT_EQ(corpus.TextCount(), 3);
  EXPECT_EQ(corpus.Find(u"a"), -1);
  // Keys order the types as the alphabetical list does, and differ between types.
  std::unique_ptr<TStringListWithFreqPointers> alphabetical(corpus.List(false));
  for (int32_t i = 1; i < alphabetical->Count(); ++i) {
    EXPECT_LT(corpus.Key(corpus.Find(alphabetical->Get(i - 1))), corpus.Key(corpus.Find(alphabetical->Get(i))));
  }
  EXPECT_THROW(corpus.Spelling(corpus.TypeCount()), Exception);
  EXPECT_THROW(corpus.Freq(-1), Exception);
  EXPECT_THROW(corpus.MetType(corpus.MetCount()), Exception);
  EXPECT_THROW(corpus.MetFreq(-1), Exception);
}

TEST(NGrams, WindowsWordsAndPunctuation) {
  const TProgressChangedFunct none;
  // The last word of the text completes the last n-gram.
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"the cat sat", 2, 50, none, false)),
            (Entries{{u"cat sat", 1}, {u"the cat", 1}}));
  // Line breaks separate words like spaces.
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"the\r\ncat sat\r\n", 2, 50, none, false)),
            (Entries{{u"cat sat", 1}, {u"the cat", 1}}));
  // A full stop ends a complete window; an incomplete one goes on.
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"Yes. No way. Go on", 2, 50, none, false)),
            (Entries{{u"Go on", 1}, {u"No way", 1}, {u"Yes No", 1}}));
  // Commas and dashes let the window go on.
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"a b, c-d", 2, 50, none, false)),
            (Entries{{u"a b", 1}, {u"b c", 1}, {u"c d", 1}}));
  // Tags inside and between words are passed over; case variants merge.
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"<p>Ca<b>t</b> sat. cat SAT", 2, 50, none, true)),
            (Entries{{u"Cat sat", 2}}));
  // Numbers of all kinds are words here.
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"\u2167 \u00BD 3", 3, 50, none, false)), (Entries{{u"\u2167 \u00BD 3", 1}}));
  EXPECT_TRUE(Take(SimpleNGramListOfTxt(u"a b c", 0, 50, none, false)).empty());
  EXPECT_TRUE(Take(SimpleNGramListOfTxt(u"a b", 3, 50, none, false)).empty());
  EXPECT_TRUE(Take(SimpleNGramListOfTxt(u"a b c", INT32_MAX, 50, none, false)).empty());  // sizes nothing by n
  EXPECT_EQ(Take(SimpleNGramListOfTxt(u"a b a B a", 1, 50, none, true)), (Entries{{u"a", 3}, {u"b", 2}}));
}

TEST(NGrams, CountsMatchSortedInsertionOfJoinedWindows) {
  std::mt19937 rng(7);
  static const S vocabulary[] = {u"the", u"The", u"cat", u"CAT", u"sat", u"on", u"mat", u"\u00E9t\u00E9", u"\u00C9t\u00E9"};
  for (int32_t n : {1, 2, 3}) {
    std::vector<S> words;
    S text;
    for (int i = 0; i < 4000; ++i) {
      words.push_back(vocabulary[rng() % std::size(vocabulary)]);
      text += words.back();
      text += (rng() % 5 == 0) ? u"\r\n" : u" ";
    }
    std::vector<S> grams;
    for (size_t i = 0; i + static_cast<size_t>(n) <= words.size(); ++i) {
      S g = words[i];
      for (int32_t k = 1; k < n; ++k) g += u" " + words[i + static_cast<size_t>(k)];
      grams.push_back(g);
    }
    for (bool byFrequency : {false, true})
      EXPECT_EQ(Take(SimpleNGramListOfTxt(text, n, 50, TProgressChangedFunct(), byFrequency)),
                EntriesOf(*ReferenceList(grams, byFrequency)))
          << "n " << n << " byFrequency " << byFrequency;
  }
}

// Texts of a corpus (windows never running from one text into the next)
// give the list of all their n-grams; after each text, the n-grams met in it
// are its own list; a text's spellings are kept although its buffer is gone.
TEST(CorpusNGramTally, TextsAddUpToTheListOfAllTheirWindows) {
  std::mt19937 rng(5);
  static const S vocabulary[] = {u"the", u"The", u"cat", u"CAT",   u"sat", u"on", u"mat", u"\u00E9t\u00E9",
                                 u"\u00C9t\u00E9", u"dog", u"ran", u"off", u"a",   u"b",  u"c"};
  for (int32_t n : {1, 2, 3}) {
    TCorpusNGramTally corpus(n, 50);
    std::vector<S> grams;  // of every text
    for (int64_t k = 0; k < 6; ++k) {
      std::vector<S> words;
      S text;
      for (size_t i = 0; i < 300 + 200 * static_cast<size_t>(k); ++i) {
        // The later texts bring new words, so that the tables grow.
        S w = vocabulary[rng() % std::size(vocabulary)];
        if (rng() % 3 == 0) w += static_cast<char16_t>(u'a' + (k * 7 + rng() % 7) % 26);
        words.push_back(w);
        text += w;
        text += (rng() % 5 == 0) ? u"\r\n" : u" ";
      }
      std::vector<S> own;
      for (size_t i = 0; i + static_cast<size_t>(n) <= words.size(); ++i) {
        S g = words[i];
        for (int32_t j = 1; j < n; ++j) g += u" " + words[i + static_cast<size_t>(j)];
        own.push_back(g);
      }
      grams.insert(grams.end(), own.begin(), own.end());
      {
        S buffer = text;
        EXPECT_EQ(corpus.AddText(buffer, k), static_cast<int64_t>(own.size()));
        std::fill(buffer.begin(), buffer.end(), u'#');
      }
      const auto reference = ReferenceList(own, false);
      ASSERT_EQ(corpus.MetCount(), reference->Count()) << "n " << n << " text " << k;
      for (int32_t i = 0; i < corpus.MetCount(); ++i) {
        int32_t at = -1;
        ASSERT_TRUE(reference->Find(corpus.Text(corpus.MetType(i)), at));
        EXPECT_EQ(corpus.MetFreq(i), reference->GetOne(at));
      }
    }
    EXPECT_EQ(corpus.Tokens(), static_cast<int64_t>(grams.size()));
    EXPECT_EQ(corpus.TextCount(), 6);
    for (bool byFrequency : {false, true}) {
      EXPECT_EQ(Take(corpus.List(byFrequency)), EntriesOf(*ReferenceList(grams, byFrequency)))
          << "n " << n << " byFrequency " << byFrequency;
    }
    for (int32_t g = 0; g < corpus.TypeCount(); ++g) {
      EXPECT_GE(corpus.Texts(g), 1);
      EXPECT_LE(corpus.Texts(g), std::min<int64_t>(6, corpus.Freq(g)));
    }
  }
}

TEST(CorpusNGramTally, PiecesShareATextAndWindowsStopAtTheirEnds) {
  TCorpusNGramTally corpus(2, 10);
  EXPECT_EQ(corpus.AddText(u"the <b>c</b>at sat", 1), 2);  // a word pieced around tags
  EXPECT_EQ(corpus.AddText(u"on the cat", 1), 2);          // no "sat on": the window ends with the piece
  EXPECT_EQ(corpus.AddText(u"THE CAT. Sat on", 2), 2);     // a full stop ends the window
  EXPECT_EQ(Take(corpus.List(true)), (Entries{{u"the cat", 3}, {u"Sat on", 1}, {u"cat sat", 1}, {u"on the", 1}}));
  EXPECT_EQ(corpus.TextCount(), 2);
  EXPECT_EQ(corpus.Tokens(), 6);
  for (int32_t g = 0; g < corpus.TypeCount(); ++g) EXPECT_EQ(corpus.Texts(g), corpus.Text(g) == u"the cat" ? 2 : 1);
  EXPECT_THROW(corpus.Text(corpus.TypeCount()), Exception);
  EXPECT_THROW(corpus.MetFreq(corpus.MetCount()), Exception);

  TCorpusNGramTally none(0, 10);
  EXPECT_EQ(none.AddText(u"the cat sat", 1), 0);
  EXPECT_EQ(none.TypeCount(), 0);
  EXPECT_EQ(Take(none.List(true)), Entries{});
}

TEST(NGrams, ProgressStaysWithinAHundredAndRises) {
  std::vector<int32_t> seen;
  auto record = [&seen](int32_t percent) { seen.push_back(percent); };
  S text;
  for (int i = 0; i < 5000; ++i) {
    text += u'w';
    text += static_cast<char16_t>(u'a' + i % 26);
    text += u' ';
  }
  Take(SimpleNGramListOfTxt(text, 2, 50, TProgressChangedFunct::FromCallable(record), false));
  ASSERT_FALSE(seen.empty());
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_GE(seen[i], 0);
    EXPECT_LE(seen[i], 100);
    if (i > 0) {
      EXPECT_GT(seen[i], seen[i - 1]);
    }
  }
}

TEST(TextComparison, BagOfWords) {
  TFreqDifference d = BagOfWordsSimilar(u"a a a b", u"a b", 1, 1, 1);
  EXPECT_EQ(d.wd, u"A");
  EXPECT_EQ(d.first_text_freq, 3);
  EXPECT_EQ(d.second_text_freq, 1);
  d = BagOfWordsSimilar(u"a a a b", u"a b", 2, 1, 1);
  EXPECT_EQ(d.wd, u"");
  EXPECT_EQ(d.first_text_freq, 0);
  EXPECT_EQ(d.second_text_freq, 0);
  // A word absent from the other text counts 0 there, whichever list is
  // walked: here the first text has more types.
  d = BagOfWordsSimilar(u"x y y y z", u"x", 1, 2, 1);
  EXPECT_EQ(d.wd, u"Y");
  EXPECT_EQ(d.first_text_freq, 3);
  EXPECT_EQ(d.second_text_freq, 0);
  // Words rarer than minFrequency are skipped; shorter than minLength never listed.
  EXPECT_EQ(BagOfWordsSimilar(u"ab ab ab c c c", u"ab", 1, 1, 2).wd, u"AB");
  EXPECT_EQ(BagOfWordsSimilar(u"q q q w", u"w", 1, 4, 1).wd, u"");
}

TEST(TextComparison, TypesAndTokens) {
  TStringListWithFreqPointers* list1 = nullptr;
  S last;
  TTypeAndTokenDifferences r = TypeAndTokenDifferences2Strings(u"a b c", u"a b d", list1, 100, 100, last);
  EXPECT_EQ(r, (TTypeAndTokenDifferences{2, 2}));
  EXPECT_EQ(last, u"d");
  ASSERT_NE(list1, nullptr);
  EXPECT_EQ(list1->Count(), 3);
  // The kept list serves the next comparison; case variants are shared words.
  r = TypeAndTokenDifferences2Strings(u"ignored now", u"A B C c", list1, 100, 100, last);
  EXPECT_EQ(r, (TTypeAndTokenDifferences{0, 1}));
  delete list1;
  list1 = nullptr;
  // Too different in length, or in tokens: not compared.
  EXPECT_EQ(TypeAndTokenDifferences2Strings(u"a", u"a b c d e f g", list1, 100, 10, last), TTypeAndTokenDifferences{});
  EXPECT_EQ(list1, nullptr);
  EXPECT_EQ(TypeAndTokenDifferences2Strings(u"a b", u"c d", list1, 10, 100, last), TTypeAndTokenDifferences{});
  delete list1;
  list1 = nullptr;
  // Empty and word-less pairs: nothing differs, and nothing divides by zero.
  EXPECT_EQ(TypeAndTokenDifferences2Strings(u"", u"", list1, 10, 10, last), (TTypeAndTokenDifferences{0, 0}));
  EXPECT_EQ(TypeAndTokenDifferences2Strings(u"...", u"!!!", list1, 10, 100, last), (TTypeAndTokenDifferences{0, 0}));
  delete list1;
}

class TextComparisonFiles : public test_support::TTempFolderTest {};

TEST_F(TextComparisonFiles, TypesAndTokensOfFiles) {
  test_support::WriteBytes(fDir / "one.txt", "<p>a b c</p>");
  test_support::WriteBytes(fDir / "two.txt", "<p>a b d</p>");
  test_support::WriteBytes(fDir / "same.txt", "a b c");
  const S one = test_support::Wide(fDir / "one.txt"), two = test_support::Wide(fDir / "two.txt");
  S last = u"old";
  TTypeAndTokenDifferences r = TypeAndTokenDifferences2Files(one, two, u'<', u'>', 10, 100, 100, last);
  EXPECT_EQ(r, (TTypeAndTokenDifferences{2, 2}));
  EXPECT_EQ(last, u"d");
  // maxLengthPercent 0: only identical texts are answered.
  r = TypeAndTokenDifferences2Files(one, two, u'<', u'>', 10, 100, 0, last);
  EXPECT_EQ(r, TTypeAndTokenDifferences{});
  EXPECT_EQ(last, u"");
  TStringListWithFreqPointers* list1 = nullptr;
  r = TypeAndTokenDifferences2Files(list1, u"a b c\r\n", test_support::Wide(fDir / "same.txt"), 10, 0, 10, last);
  EXPECT_EQ(r, (TTypeAndTokenDifferences{0, 0}));
  delete list1;
}

// Repeated chunks as a sequential search finds them: for each chunk, every
// later occurrence searched from the chunk's end.
std::vector<std::pair<S, T2_longint_rec>> ReferenceChunks(int32_t chunkLength, int32_t minFrequency,
                                                          int32_t maxItems, const S& text) {
  TStringListWith2LongintList list;
  list.SetSorted(true);
  int32_t repeateds = 0;
  for (size_t start = 0; start + static_cast<size_t>(chunkLength) <= text.size(); start += static_cast<size_t>(chunkLength)) {
    S c = text.substr(start, static_cast<size_t>(chunkLength));
    while (!c.empty() && c.front() <= 0x20) c.erase(0, 1);
    while (!c.empty() && c.back() <= 0x20) c.pop_back();
    if (c.size() <= 100) continue;
    for (size_t p = text.find(c, start + static_cast<size_t>(chunkLength)); p != S::npos; p = text.find(c, p + 1)) {
      const int32_t before = list.Count();
      const int32_t index = list.AddOne(c, T2_longint_rec{1, static_cast<int32_t>(p + 1)});
      if (list.Count() == before) {
        list.IncOne(index, t2_long0);
        if (list.GetOne(index).long0 == 2) ++repeateds;
      }
      if (list.Count() >= maxItems && repeateds >= maxItems) break;
    }
  }
  if (list.Count() > 1) list.SortOnFreq();
  std::vector<std::pair<S, T2_longint_rec>> r;
  for (int32_t i = 0; i < list.Count(); ++i)
    if (list.GetOne(i).long0 >= minFrequency) r.emplace_back(list.Get(i), list.GetOne(i));
  return r;
}

std::vector<std::pair<S, T2_longint_rec>> ChunksOf(TStringListWith2LongintList* raw) {
  std::unique_ptr<TStringListWith2LongintList> list(raw);
  std::vector<std::pair<S, T2_longint_rec>> r;
  for (int32_t i = 0; i < list->Count(); ++i) r.emplace_back(list->Get(i), list->GetOne(i));
  return r;
}

TEST(RepeatedChunks, MatchesASequentialSearch) {
  std::mt19937 rng(3);
  S paragraph;
  for (int i = 0; i < 130; ++i) paragraph += char16_t(u'a' + rng() % 3);
  for (int round = 0; round < 4; ++round) {
    S text;
    for (int k = 0; k < 30; ++k) {
      text += (rng() % 3 == 0) ? paragraph : S(130, char16_t(u'x' + rng() % 2));
      text += S(rng() % 40, u' ');
      if (rng() % 4 == 0) text += u"AbC";
    }
    for (int32_t maxItems : {1, 2, 1000}) {
      for (int32_t chunkLength : {120, 140, 200}) {
        EXPECT_EQ(ChunksOf(RepeatedXCharChunks(chunkLength, 1, maxItems, text, TProgressChangedFunct())),
                  ReferenceChunks(chunkLength, 1, maxItems, text))
            << round << " " << maxItems << " " << chunkLength;
      }
    }
    EXPECT_EQ(ChunksOf(RepeatedXCharChunks(150, 3, 1000, text, TProgressChangedFunct())),
              ReferenceChunks(150, 3, 1000, text));
  }
  EXPECT_TRUE(ChunksOf(RepeatedXCharChunks(0, 1, 10, u"abc", TProgressChangedFunct())).empty());
  EXPECT_TRUE(ChunksOf(RepeatedXCharChunks(-3, 1, 10, S(500, u'a'), TProgressChangedFunct())).empty());
}

TEST(Occurrences, AddCountSortAndDelete) {
  TStringlistWithListOfOccurrences list;
  EXPECT_EQ(list.AddOrIncOneByFreq(u"Beta", 1, 2), 0);
  list.AddOrIncOneByFreq(u"alpha", 2, 1);
  list.AddOrIncOneByFreq(u"ALPHA", 2, 4);  // case variants add up in one entry
  list.AddOrIncOneByFreq(u"beta", 3, 1);
  list.AddOrIncOneByFreq(u"gamma", 0, 6);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Repeateds(), 1);  // only Beta occurs in two files
  ASSERT_NE(list.GetAListOfOccurrences(0), nullptr);
  EXPECT_EQ(list.GetAListOfOccurrences(0)->Count(), 1);
  EXPECT_EQ(list.GetAListOfOccurrences(0)->GetADouble(0), (T2_longint_rec{2, 5}));
  EXPECT_EQ(list.GetAListOfOccurrences(3), nullptr);
  EXPECT_EQ(list.GetAListOfOccurrences(-1), nullptr);
  list.SortAllOccurrencesFreqDescending();
  EXPECT_EQ(list.Get(0), u"gamma");
  EXPECT_EQ(list.Get(1), u"alpha");  // 5 against Beta's 3
  EXPECT_EQ(list.Get(2), u"Beta");
  list.SortAllOccurrencesFileAscending();
  EXPECT_EQ(list.Get(0), u"gamma");
  EXPECT_EQ(list.Get(1), u"Beta");
  EXPECT_EQ(list.Get(2), u"alpha");
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.AddOrIncOneByFreq(u"BETA", 1, 1), 0);  // found after the sorts too
  EXPECT_EQ(list.GetAListOfOccurrences(0)->GetADouble(0), (T2_longint_rec{1, 3}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

// Sentence counts as one would take them: each distinct sentence (case
// ignored, first spelling) counted in the whole text with overlaps.
int64_t CountOverlapping(const S& text, const S& s) {
  int64_t n = 0;
  for (size_t p = text.find(s); p != S::npos; p = text.find(s, p + 1)) ++n;
  return n;
}

TEST(RecurringSentences, CountsMatchAScanPerSentence) {
  TRepeatedChunks chunks;
  chunks.SetSettings(true, 50, 2, 3, {}, {}, {});
  // All sentences once: nothing is added.
  EXPECT_EQ(chunks.AddedToRepeatedSentencesInTxt(0, u"One is here. Two is there.\r\nThree comes last."), 0);
  EXPECT_EQ(chunks.chunks_list->Count(), 0);

  std::mt19937 rng(5);
  static const S sentences[] = {u"The cat sat.", u"THE CAT SAT.", u"It rained all day!", u"Is it so?",
                                u"No it is not.", u"Was it a cat I saw?"};
  S text;
  for (int i = 0; i < 300; ++i) {
    text += sentences[rng() % std::size(sentences)];
    text += (rng() % 4 == 0) ? u"\r\n" : u" ";
  }
  text += u"Last words without a line break";  // the end of the text ends the last paragraph
  const int32_t added = chunks.AddedToRepeatedSentencesInTxt(7, text);
  EXPECT_GT(added, 0);
  EXPECT_EQ(added, chunks.chunks_list->Count());
  for (int32_t i = 0; i < chunks.chunks_list->Count(); ++i) {
    const S& s = chunks.chunks_list->Get(i);
    const TListOfOccurrences* occ = chunks.chunks_list->GetAListOfOccurrences(i);
    ASSERT_NE(occ, nullptr);
    ASSERT_EQ(occ->Count(), 1);
    EXPECT_EQ(occ->GetADouble(0).long0, 7);
    EXPECT_EQ(occ->GetADouble(0).long1, CountOverlapping(text, s)) << std::string(s.begin(), s.end());
  }
  // Case variants are one entry, spelled and counted as the first met.
  EXPECT_EQ(chunks.chunks_list->IndexOf(u"the cat sat."), chunks.chunks_list->IndexOf(u"THE CAT SAT."));
}

class RecurringSentencesFiles : public test_support::TTempFolderTest {};

TEST_F(RecurringSentencesFiles, FilesProgressSortsAndRefusals) {
  test_support::WriteBytes(fDir / "a.txt", "<p>Hello there. Hello there.</p> A B C.\r\nYes indeed. Yes indeed.\r\n");
  test_support::WriteBytes(fDir / "b.txt", "Yes indeed. Yes indeed. Yes indeed.\r\nOnce only.");
  TRepeatedChunks chunks;
  std::vector<int32_t> overall, totals;
  auto onOverall = [&overall](int32_t p) { overall.push_back(p); };
  auto onTotal = [&totals](int32_t c) { totals.push_back(c); };
  chunks.SetSettings(false, 10, 2, 2, {}, TProgressChangedFunct::FromCallable(onOverall),
                     TTellCountEvent::FromCallable(onTotal));
  EXPECT_EQ(chunks.LoadATextFile(test_support::Wide(fDir / "missing.txt")), -1);
  ASSERT_EQ(chunks.LoadATextFile(test_support::Wide(fDir / "a.txt")), 0);
  EXPECT_EQ(chunks.txt.find(u"<p>"), S::npos);
  chunks.AddToRepeatedSentencesInTxt(0, 2);
  ASSERT_EQ(chunks.LoadATextFile(test_support::Wide(fDir / "b.txt")), 1);
  chunks.AddToRepeatedSentencesInTxt(1, 0);  // no overall report without a file count
  EXPECT_EQ(overall, (std::vector<int32_t>{0}));
  EXPECT_EQ(totals, (std::vector<int32_t>{2, 2}));
  EXPECT_FALSE(chunks.processing);
  chunks.SortDescendingFreq();
  ASSERT_EQ(chunks.chunks_list->Count(), 2);
  EXPECT_EQ(chunks.chunks_list->Get(0), u"Yes indeed.");  // 2 + 3
  EXPECT_EQ(chunks.chunks_list->Repeateds(), 1);
  chunks.SortAScendingFilenumbers();
  EXPECT_EQ(chunks.chunks_list->Get(0), u"Yes indeed.");  // ties by descending string
  EXPECT_EQ(chunks.GetAFilename(1), test_support::Wide(fDir / "b.txt"));
  EXPECT_EQ(chunks.GetAFilename(2), u"");

  // While a walk runs, a handler may Stop it but not pull the text away.
  TRepeatedChunks walker;
  int32_t stops = 0;
  auto handler = [&] {
    walker.Clear();
    EXPECT_EQ(walker.LoadATextFile(test_support::Wide(fDir / "b.txt")), -1);
    walker.Stop();
    ++stops;
  };
  walker.SetSettings(true, 10, 1, 1, {}, {}, {});
  walker.txt = u"First one.\r\nSecond one.\r\nThird one.";
  const TYieldProcessProc saved = AYieldProcessProc;
  AYieldProcessProc = TYieldProcessProc::FromCallable(handler);
  walker.AddToRepeatedSentencesInTxt(0, 1);
  AYieldProcessProc = saved;
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(walker.chunks_list->Count(), 1);  // the walk ended after the first paragraph
  EXPECT_EQ(walker.txt.size(), 35u);
  walker.chunks_list.reset();
  EXPECT_THROW(walker.AddToRepeatedSentencesInTxt(0, 1), Exception);
  EXPECT_THROW(walker.AddedToRepeatedSentencesInTxt(0, u"A b."), Exception);
}

}  // namespace
}  // namespace qn
