#include "runtime1/text/My_string_functions_sentences.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/StringList.h"

namespace qn {
namespace {

using S = std::u16string;
using Lines = std::vector<S>;

Lines LinesOf(platform::TStringList* raw) {
  std::unique_ptr<platform::TStringList> list(raw);
  Lines r;
  for (int32_t i = 0; i < list->Count(); ++i) r.push_back(list->Get(i));
  return r;
}

TEST(SentenceEnds, TerminatorsAndEnds) {
  EXPECT_TRUE(IsPotentialSentenceTerminator(u'.'));
  EXPECT_TRUE(IsPotentialSentenceTerminator(u'!'));
  EXPECT_TRUE(IsPotentialSentenceTerminator(u'\u0964'));  // danda
  EXPECT_FALSE(IsPotentialSentenceTerminator(u' '));
  EXPECT_FALSE(IsPotentialSentenceTerminator(u','));
  EXPECT_FALSE(IsPotentialSentenceTerminator(u'a'));

  struct Case {
    int32_t from;
    S s;
    int32_t end;
  };
  const Case cases[] = {
      {1, u"e.g. this", 4}, {1, u"3.14", 4},   {1, u"Wow!!", 4}, {1, u"...", -1},  {1, u"ok", 2},
      {3, u"ab", -1},       {-5, u"Hi. x", 3}, {1, u"", -1},     {2, u"a. b", 4}, {1, u"A, b; c", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(EndOfSentence(c.from, c.s), c.end) << std::string(c.s.begin(), c.s.end());

  // Long stretches (scanned eight units at a time) with the end in every
  // place relative to those eight, and units on both sides of U+0589.
  for (size_t at = 0; at < 40; ++at) {
    S text(40, u'a');
    text[at] = u'.';
    if (at + 1 < text.size()) text[at + 1] = u' ';
    // A full stop first ends nothing (no letter before it): the text ends it.
    EXPECT_EQ(EndOfSentence(1, text), at == 0 ? 40 : static_cast<int32_t>(at + 1)) << at;
  }
  S mixed = u"абֈ Ա։ more";  // U+0588 is no terminator, U+0589 (Armenian full stop) is
  EXPECT_EQ(EndOfSentence(1, mixed), 6);
  S cjk = u"一丁丂七丄丅丆万丈。 三";
  EXPECT_EQ(EndOfSentence(1, cjk), 10);  // the ideographic full stop, among units that may end a sentence
  S none = u"word ";
  for (int i = 0; i < 30; ++i) none += u"and, more; ";
  EXPECT_EQ(EndOfSentence(1, none), static_cast<int32_t>(none.size()));
  EXPECT_EQ(EndOfSentence(1, S(37, u' ')), -1);
}

TEST(SentenceEnds, StartsOfSentences) {
  EXPECT_EQ(FirstLetterOrDigitPosAfterSentenceEnd(u"", 1), 0);
  EXPECT_EQ(FirstLetterOrDigitPosAfterSentenceEnd(u"..", 1), 2);  // the last position at the latest
  EXPECT_EQ(FirstLetterOrDigitPosAfterSentenceEnd(u". A", 0), 3);
  EXPECT_EQ(FirstLetterOrDigitPosAfterSentenceEnd(u". A", 99), 3);
  EXPECT_FALSE(FirstCharAfterSentenceEndUpperCase(u"ab", 1));
  EXPECT_TRUE(FirstCharAfterSentenceEndUpperCase(u"ab", 2));  // the last position
  EXPECT_TRUE(FirstCharAfterSentenceEndUpperCase(u"ab", 7));
  EXPECT_TRUE(FirstCharAfterSentenceEndUpperCase(u"Ab", 1));
  // A lower-case start is skipped up to the next sentence.
  EXPECT_EQ(FirstValidStartOfSentence(u"  and so. The end.", 1), 11);
  EXPECT_EQ(FirstValidStartOfSentence(u"x y z", 1), 5);
  EXPECT_EQ(FirstValidStartOfSentence(u"abc def", 1), 7);
  EXPECT_EQ(FirstValidStartOfSentence(u"", 1), 0);
  EXPECT_EQ(FirstValidStartOfSentence(u"Ab.\r\n", 6), 5);  // from one past the end
}

TEST(SentenceSplit, ExtractedFromParagraph) {
  EXPECT_EQ(LinesOf(SentencesExtractedFromParagraph(true, 0, u"It is. I am here ")), (Lines{u"It is.", u"I am here"}));
  EXPECT_EQ(LinesOf(SentencesExtractedFromParagraph(false, 0, u"It is 3.5 m. Yes")), (Lines{u"It is 3.5 m."}));
  // A sentence beginning in lower case contributes nothing; minLength counts
  // word characters before the terminator and the length of the sentence.
  EXPECT_EQ(LinesOf(SentencesExtractedFromParagraph(true, 0, u"so. Yes! ok")), (Lines{u"Yes!"}));
  EXPECT_EQ(LinesOf(SentencesExtractedFromParagraph(true, 3, u"No. Yes it is. Go")), (Lines{u"No. Yes it is."}));
  EXPECT_TRUE(LinesOf(SentencesExtractedFromParagraph(true, 0, u"")).empty());
}

TEST(SentenceSplit, WithSeparatorKeepsEveryCharacter) {
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"One. Two", u".", 0x0409, 50)), (Lines{u"One", u"Two"}));
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"One.Two", u".", 0x0409, 50)), (Lines{u"One", u"Two"}));
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"a||b||", u"||", 0x0409, 50)), (Lines{u"a", u"b"}));
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"||  ||x", u"||", 0x0409, 50)), (Lines{u"x"}));
}

TEST(SentenceSplit, ByCharacterClasses) {
  const uint32_t en = 0x0409;
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"Mr. smith came. He left.", u"", en, 50)),
            (Lines{u"Mr. smith came.", u"He left."}));
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"It costs 3.5 dollars. Yes?No.", u"", en, 50)),
            (Lines{u"It costs 3.5 dollars.", u"Yes?", u"No."}));
  // A comma or colon never ends a sentence; a tag counts as punctuation, so
  // its lower-case letters do not stop the cut, and it stays with the
  // sentence before it. A longer tag keeps its classes.
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"One, two: three.<p>Four.", u"", en, 50)),
            (Lines{u"One, two: three.<p>", u"Four."}));
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"One, two: three.<p>Four.", u"", en, 1)),
            (Lines{u"One, two: three.<p>Four."}));
  EXPECT_TRUE(LinesOf(SentencesFromParagraph(u"", u"", en, 50)).empty());
  EXPECT_EQ(LinesOf(SentencesFromParagraph(u"  Alone  ", u"", en, 50)), (Lines{u"Alone"}));
}

TEST(SentenceSplit, HostileTextStaysLinear) {
  // A million "<" without ">" and a long run of full stops: each must take one
  // pass, not one pass per unit (a quadratic scan would take minutes here).
  const S lt(1000000, u'<');
  const S dots = u"A" + S(200000, u'.') + u" B";
  const auto t0 = std::chrono::steady_clock::now();
  const Lines a = LinesOf(SentencesFromParagraph(lt, u"", 0x0409, 50));
  const Lines b = LinesOf(SentencesFromParagraph(dots, u"", 0x0409, 50));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(a, (Lines{lt}));
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[1], u"B");
  EXPECT_LT(seconds, 20.0);  // a generous ceiling that only a quadratic walk exceeds
}

TEST(Lines, UnixToWindows) {
  int32_t ins = -7;
  EXPECT_EQ(UnixStringToWindowsStringW(ins, u"a\nb"), u"a\r\nb");
  EXPECT_EQ(ins, 1);
  EXPECT_EQ(UnixStringToWindowsStringW(ins, u"a\r\nb"), u"a\r\nb");
  EXPECT_EQ(ins, 0);
  EXPECT_EQ(UnixStringToWindowsStringW(ins, u"\na\rb\r"), u"\r\na\r\nb\r");  // a final CR stays
  EXPECT_EQ(ins, 2);
  EXPECT_EQ(UnixStringToWindowsStringW(ins, u"\r\r\n\n"), u"\r\n\r\n\r\n");
  EXPECT_EQ(ins, 2);
  EXPECT_EQ(UnixStringToWindowsString(ins, "x\ny\n"), "x\r\ny\r\n");
  EXPECT_EQ(ins, 2);
  EXPECT_EQ(UnixStringToWindowsString(ins, ""), "");
  EXPECT_EQ(ins, 0);
}

TEST(Lines, Stripping) {
  EXPECT_EQ(StrippedSpacesAtLineStarts(u"a\r\n   b\n c\r\n"), u"a\r\nb\n c\r\n");
  EXPECT_EQ(StrippedMultipleLineEnds(u"a\r\n\r\n\r\nb\r\rc\n\nd"), u"a\r\nb\r\nc\n\nd");
  EXPECT_EQ(StrippedMultipleLineEnds(u"a\r\n\r\n\r\nb\r\n\r\nc", 2), u"a\r\n\r\nb\r\n\r\nc");
  EXPECT_EQ(StrippedMultipleLineEnds(u"a\r\r\rb", 0), u"a\r\nb");  // keep < 1 keeps one
  EXPECT_EQ(StripWhiteSpaceAndCRLFW(u"a \r\n\tb  c", 100), u"a b c");
  EXPECT_EQ(StripWhiteSpaceAndCRLFW(u"abcdef", 3), u"abc");
  EXPECT_EQ(StripWhiteSpaceAndCRLFW(S(u"ab\0cd", 5), 5), u"ab");
  EXPECT_EQ(StripWhiteSpaceAndCRLFW(u"abc", 0), u"");
  EXPECT_EQ(RemovedEmptyLinesOf(u"a\r\n\r\n  \t\r\nb\r\n"), u"a\r\nb\r\n");
  EXPECT_EQ(RemovedEmptyLinesOf(u"\r\na\r\n  "), u"a\r\n");
  EXPECT_EQ(RemovedEmptyLinesOf(u"a"), u"a");
}

TEST(Lines, Chunks) {
  EXPECT_EQ(StringInNCharacterChunks(u"ab cd ef", u"> ", u" ", 0), u"> ab \r\n> cd \r\n> ef");
  EXPECT_EQ(StringInNCharacterChunks(u"ab cd ef gh", u"", u" ", 3), u"ab cd \r\nef gh");
  EXPECT_EQ(StringInNCharacterChunks(u"a--b", u"", u"--", 0), u"a-\r\n-b");
  EXPECT_EQ(StringInNCharacterChunks(u"abc", u"# ", u"", 1), u"# abc");
  EXPECT_EQ(StringInNCharacterChunks(u"", u"#", u"x", 1), u"#");
}

TEST(Replacement, CharacterReplacement) {
  S s = u"a-b-c";
  EXPECT_EQ(Replace1With2In(u'-', u'+', s), 2);
  EXPECT_EQ(s, u"a+b+c");
  std::string a = "x.y.";
  EXPECT_EQ(Replace1With2In('.', ',', a), 2);
  EXPECT_EQ(a, "x,y,");
  s = u"ab";
  EXPECT_EQ(Replace2With4In(u'a', u'b', u'b', u'c', s), 3);  // a -> b, then both b -> c
  EXPECT_EQ(s, u"cc");
  TStringAndIntegerRec r{u"", 5};
  ReplaceAnyOfTheseWithChar(u",;", u"a,b;c,", u' ', r);
  EXPECT_EQ(r.s, u"a b c ");
  EXPECT_EQ(r.i, 8);
}

TEST(Replacement, AnsiStringReplace) {
  EXPECT_EQ(AnsiStringReplace("aXbxc", "x", "yy", rfReplaceAll | rfIgnoreCase), "ayybyyc");
  EXPECT_EQ(AnsiStringReplace("aXbxc", "x", "yy", 0), "aXbyyc");
  EXPECT_EQ(AnsiStringReplace("axbxc", "x", "", rfReplaceAll), "abc");
  EXPECT_EQ(AnsiStringReplace("aaa", "aa", "b", rfReplaceAll), "ba");  // continues behind the occurrence
  EXPECT_EQ(AnsiStringReplace("", "x", "y", rfReplaceAll), "");
  EXPECT_EQ(AnsiStringReplace("abc", "", "y", rfReplaceAll), "abc");
  // An embedded zero byte is an ordinary byte: nothing after it is lost.
  const std::string withZero("a\0xb", 4);
  EXPECT_EQ(AnsiStringReplace(withZero, "x", "yz", rfReplaceAll), std::string("a\0yzb", 5));
}

TEST(Replacement, AnsiIgnoreCaseFoldsBothSidesAlike) {
  const uint32_t saved = platform::ActiveCodePage();
  ASSERT_TRUE(platform::SetActiveCodePage(1252));
  // "é" (E9) and "É" (C9) in windows-1252: a non-ASCII "old" matches its own
  // spelling and the other case.
  EXPECT_EQ(AnsiStringReplace("caf\xE9 CAF\xC9", "\xE9", "e", rfReplaceAll | rfIgnoreCase), "cafe CAFe");
  EXPECT_EQ(AnsiStringReplace("caf\xE9", "\xC9", "E", rfIgnoreCase), "cafE");
  platform::SetActiveCodePage(saved);
}

TEST(Replacement, CopyStringsReplacing) {
  TInsertedTextPositionList hits;
  hits.AddOne({0, 1, 2, 1});
  hits.AddOne({0, 2, 4, 1});
  EXPECT_EQ(hits.GetAHitStart(1), 4);
  EXPECT_EQ(hits.GetAHitStart(2), 0);
  EXPECT_EQ(hits.GetOne(-1), TInsertedTextRec{});
  EXPECT_EQ(CopyStringsReplacing(u"a-b-c", u"-", u"+", hits, at_left), u"a+b+c");
  TInsertedTextPositionList after;  // places just after each hyphen
  after.AddOne({0, 1, 3, 1});
  after.AddOne({0, 2, 5, 1});
  EXPECT_EQ(CopyStringsReplacing(u"a-b-c", u"-", u"==", after, at_right), u"a==b==c");
  // Places out of order, overlapping, before the start or past the end are
  // skipped instead of writing outside the result.
  TInsertedTextPositionList bad;
  for (int32_t place : {4, 2, 4, 0, -3, 99}) bad.AddOne({0, 0, place, 1});
  EXPECT_EQ(CopyStringsReplacing(u"a-b-c", u"-", u"+", bad, at_left), u"a-b+c");
  EXPECT_EQ(CopyStringsReplacing(u"a-b-c", u"-b-", u"!", bad, at_left), u"a!c");
  TInsertedTextPositionList none;
  EXPECT_EQ(CopyStringsReplacing(u"abc", u"b", u"x", none, at_left), u"abc");
}

}  // namespace
}  // namespace qn
