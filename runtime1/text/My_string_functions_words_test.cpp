#include "runtime1/text/My_string_functions_words.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Format.h"
#include "runtime1/containers/Useful_Classes_numberlists.h"

namespace qn {
namespace {

using S = std::u16string;

TEST(WordsCase, ClassesAndCaseTests) {
  EXPECT_TRUE(IsAllUppercase(u""));
  EXPECT_TRUE(IsAllUppercase(u"ABC 12!"));
  EXPECT_FALSE(IsAllUppercase(u"ABc"));
  EXPECT_TRUE(FirstLetterIsCapitalised(u"Éa"));
  EXPECT_FALSE(FirstLetterIsCapitalised(u" A"));
  EXPECT_FALSE(FirstLetterIsCapitalised(u""));
  EXPECT_EQ(FirstCharIsLowerCase(u"\"(éa"), u'é');
  EXPECT_EQ(FirstCharIsLowerCase(u"  Abc"), 0);
  EXPECT_EQ(FirstCharIsLowerCase(u"3abc"), 0);
  EXPECT_EQ(FirstCharIsLowerCase(u"$abc"), 0);
  EXPECT_EQ(FirstCharIsLowerCase(u"中x"), u'x');  // Lo is skipped
  EXPECT_EQ(FirstCharIsLowerCase(u""), 0);
  EXPECT_TRUE(NextWordCapitalised(u"a. The", 3));
  EXPECT_FALSE(NextWordCapitalised(u"a. the", 3));
  EXPECT_TRUE(NextWordCapitalised(u"x  ..A", 2));
  EXPECT_FALSE(NextWordCapitalised(u"abc", 9));
  EXPECT_TRUE(IsWhiteSpaceUnit(u'\u00A0'));
  EXPECT_TRUE(IsWhiteSpaceUnit(u'\u2029'));
  EXPECT_TRUE(IsPunctuationUnit(u'«'));
  EXPECT_FALSE(IsPunctuationUnit(u'$'));
  EXPECT_FALSE(IsLetterOrDigitUnit(u'\u0301'));  // a mark is not a letter here
  EXPECT_TRUE(IsLetterOrDigitUnit(u'\u02B0'));   // Lm
}

// The unit classes are filled a category range at a time; every unit's five
// answers must still be those of its own general category (plus the ASCII and
// Latin-1 white space that is not a separator).
TEST(WordsCase, UnitClassesFollowEachUnitsCategory) {
  int letters = 0;
  for (UChar32 c = 0; c < 0x10000; ++c) {
    const int8_t category = u_charType(c);
    const char16_t unit = char16_t(c);
    const bool upper = category == U_UPPERCASE_LETTER, lower = category == U_LOWERCASE_LETTER;
    const bool alnum = upper || lower || category == U_TITLECASE_LETTER || category == U_MODIFIER_LETTER ||
                       category == U_OTHER_LETTER || category == U_DECIMAL_DIGIT_NUMBER;
    const bool space = category == U_SPACE_SEPARATOR || category == U_LINE_SEPARATOR ||
                       category == U_PARAGRAPH_SEPARATOR || (c >= 0x09 && c <= 0x0D) || c == 0x85;
    const bool punct = category == U_CONNECTOR_PUNCTUATION || category == U_DASH_PUNCTUATION ||
                       category == U_START_PUNCTUATION || category == U_END_PUNCTUATION ||
                       category == U_INITIAL_PUNCTUATION || category == U_FINAL_PUNCTUATION ||
                       category == U_OTHER_PUNCTUATION;
    ASSERT_EQ(IsLetterOrDigitUnit(unit), alnum) << "U+" << std::hex << c;
    ASSERT_EQ(IsUpperCaseLetterUnit(unit), upper) << "U+" << std::hex << c;
    ASSERT_EQ(IsLowerCaseLetterUnit(unit), lower) << "U+" << std::hex << c;
    ASSERT_EQ(IsWhiteSpaceUnit(unit), space) << "U+" << std::hex << c;
    ASSERT_EQ(IsPunctuationUnit(unit), punct) << "U+" << std::hex << c;
    letters += alnum;
  }
  EXPECT_GT(letters, 40000);  // the CJK and Hangul ranges among them
  EXPECT_TRUE(IsWhiteSpaceUnit(0xA0) && IsWhiteSpaceUnit(0x3000) && !IsWhiteSpaceUnit(0x200B));
  EXPECT_TRUE(IsPunctuationUnit(u'-') && !IsPunctuationUnit(u'+'));  // math symbols are not punctuation
}

TEST(WordsCase, TitleCaseAndOutputCase) {
  EXPECT_EQ(TitleCase(u"the cat's-whisker", true), u"The Cat'S-Whisker");
  EXPECT_EQ(TitleCase(u"the cat's-whisker", false), u"The cat's-whisker");
  EXPECT_EQ(TitleCase(u"ÉCOLE", false), u"École");
  EXPECT_EQ(TitleCase(u"2nd [x]y_z", true), u"2nd [X]Y_Z");
  EXPECT_EQ(TitleCase(u"", true), u"");
  EXPECT_EQ(OutputConvertedStr(upper_case_output, u"abé"), u"ABÉ");
  EXPECT_EQ(OutputConvertedStr(lower_case_output, u"ABÉ"), u"abé");
  EXPECT_EQ(OutputConvertedStr(title_case_output, u"big DOG"), u"Big Dog");
  EXPECT_EQ(OutputConvertedStr(as_it_comes_output, u"bIg"), u"bIg");
  EXPECT_EQ(CaseInsensitivePos(u"DoG", u"the dog"), 5);
  EXPECT_EQ(CaseInsensitivePos(u"", u"the dog"), 0);
  EXPECT_EQ(CaseInsensitiveUpperedPos(u"DOG", u"the dog"), 5);
  EXPECT_EQ(CaseInsensitiveUpperedPos(u"dog", u"the dog"), 0);
}

TEST(WordsCase, LinguisticCasingInPlace) {
  char16_t w[] = u"istanbul";
  EXPECT_EQ(WinUpperCased(0x041F, w, true), w);
  EXPECT_EQ(S(w), u"İSTANBUL");
  char16_t w2[] = u"ISTANBUL";
  WinLowerCased(0x041F, w2, true);
  EXPECT_EQ(S(w2), u"ıstanbul");
  char16_t w3[] = u"abc";
  EXPECT_EQ(Capitalise(0x0409, w3, true), 4);  // terminator included
  EXPECT_EQ(S(w3), u"ABC");
  char a[] = "caf\xE9";  // windows-1252
  WinUpperCased(0x0409, a, false);
  EXPECT_EQ(std::string(a), "CAF\xC9");
  EXPECT_EQ(WinUpperCased(0x0409, nullptr, true), nullptr);
  EXPECT_EQ(Capitalise(0x0409, nullptr, false), 0);
}

TEST(WordsBoundaries, BoundedAndWholeWord) {
  EXPECT_FALSE(IsBoundedOnRight(u"abc", 3));
  EXPECT_TRUE(IsBoundedOnRight(u"abc", 4));
  EXPECT_FALSE(IsWholeWord(u"abc", 1, 3));
  EXPECT_TRUE(IsWholeWord(u"a bc", 3, 5));
  EXPECT_FALSE(IsBoundedOnLeft(u"abc", 2));
  EXPECT_TRUE(IsBoundedOnLeft(u"a-c", 3));
  EXPECT_FALSE(BoundedAtLeft(u"abc", 0, 1));
  EXPECT_TRUE(BoundedAtLeft(u"abc", 1, 1));
  EXPECT_TRUE(BoundedAtLeft(u"a c", 3, 3));
  EXPECT_FALSE(BoundedAtRight(u"abc", 1, 4));
  EXPECT_TRUE(BoundedAtRight(u"abc", 1, 3));
  EXPECT_TRUE(BoundedAtRight(u"ab c", 1, 2));
  EXPECT_FALSE(BoundedAtRight(u"abc", 1, 2));
  EXPECT_TRUE(BoundedWholeWord(u"x ab.", 3, 4));
  EXPECT_EQ(WholeWordPositionOfXinUpcaseText(1, u"CAT", u"CATS CAT"), 6);
  EXPECT_EQ(WholeWordPositionOfXinUpcaseText(7, u"CAT", u"CATS CAT"), 0);
  EXPECT_EQ(WholeWordPositionOfXinUpcaseText(1, u"", u"CAT"), 0);
}

TEST(WordsBoundaries, WordSearchWithFlags) {
  EXPECT_EQ(PosWordFoundIn(u"aa", u"aaa", {}), 1);
  std::unique_ptr<TQNLongintList> hits(PositionsWordFoundIn(u"aa", u"aaa", {}));
  ASSERT_EQ(hits->Count(), 2);
  EXPECT_EQ(hits->GetAValue(0), 1);
  EXPECT_EQ(hits->GetAValue(1), 2);
  const TMySearchFlags both{myLeftBounded, myRightBounded};
  EXPECT_EQ(PosWordFoundIn(u"cat", u"cats cat", both), 6);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"cats", both), -1);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"xcat", TMySearchFlags{myRightBounded}), 2);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"xcat", TMySearchFlags{myLeftBounded}), -1);
  EXPECT_EQ(PosWordFoundIn(u"", u"a", {}), -1);
  EXPECT_EQ(PosWordFoundIn(u"a", u"", {}), -1);
  std::unique_ptr<TQNLongintList> none(PositionsWordFoundIn(u"", u"a", both));
  EXPECT_EQ(none->Count(), 0);
}

TEST(WordsBoundaries, WalksAndCounts) {
  EXPECT_EQ(BasicWordCount(u"it's 3.5 km"), 5);
  EXPECT_EQ(BasicWordCount(u""), 0);
  EXPECT_TRUE(ContainsAlphanumCharacter(u"..x"));
  EXPECT_FALSE(ContainsAlphanumCharacter(u"...\u0301"));
  EXPECT_TRUE(NextValidCharIsPunctuation(1, u"  \t, x"));
  EXPECT_FALSE(NextValidCharIsPunctuation(1, u"  x,"));
  EXPECT_FALSE(NextValidCharIsPunctuation(1, u"  $"));
  EXPECT_FALSE(NextValidCharIsPunctuation(9, u"a,"));
  EXPECT_TRUE(LastCharIsNotPunctuation(u"abc  "));
  EXPECT_FALSE(LastCharIsNotPunctuation(u"abc."));
  EXPECT_TRUE(LastCharIsNotPunctuation(u"5$"));
  EXPECT_FALSE(LastCharIsNotPunctuation(u"中"));
  EXPECT_EQ(NextOrLastNonSpaceChar(1, u"a b", false), u'b');
  EXPECT_EQ(NextOrLastNonSpaceCharPos(3, u"a b", true), 1);
  EXPECT_EQ(NextOrLastNonSpaceCharPos(3, u"a b", false), -1);
  EXPECT_EQ(NextOrLastNonSpaceChar(1, u"a \u00A0", false), 0);
  EXPECT_EQ(FirstCharPosAboveSpace(u" \t x"), 4);
  EXPECT_EQ(FirstCharPosAboveSpace(u"  "), -1);
  EXPECT_TRUE(HasAffixes(u"a<b>"));
  EXPECT_FALSE(HasAffixes(u"a>b<"));
}

TEST(WordsBoundaries, PalavraSplits) {
  struct Case {
    S in, prefixo, raiz, infixo, sufixo;
  };
  const std::vector<Case> cases = {
      {u"cat", u"", u"cat", u"", u""},
      {u"<N>cat<PL>", u"<N>", u"cat<PL>", u"", u""},
      {u"cat<PL>", u"", u"cat", u"", u"<PL>"},
      {u"ca<x>t", u"", u"cat", u"<x>", u""},
      {u"ca<t", u"", u"ca<t", u"", u""},
      {u"", u"", u"", u"", u""},
  };
  for (const Case& c : cases) {
    const TPalavra w = PalavraFromString(c.in);
    EXPECT_EQ(w.prefixo, c.prefixo);
    EXPECT_EQ(w.raiz, c.raiz);
    EXPECT_EQ(w.infixo, c.infixo);
    EXPECT_EQ(w.sufixo, c.sufixo);
  }
}

TEST(WordsMarkup, TagHelpers) {
  EXPECT_TRUE(IsAnOffTag(u"</p>"));
  EXPECT_FALSE(IsAnOffTag(u"<p>"));
  EXPECT_EQ(SameTagButSwitchedOff(u"<p>"), u"</p>");
  EXPECT_EQ(SameTagButSwitchedOff(u"p"), u"/p");
  EXPECT_EQ(SameTagButSwitchedOff(u""), u"");
  EXPECT_EQ(TagOnNumbered(u"<p>", 3), u"<p \"3\">");
  EXPECT_EQ(TagOnNumbered(u"<p", 3), u"<p");
  EXPECT_EQ(TagOnNumbered(u"<p>", -12), u"<p \"-12\">");
  EXPECT_EQ(Angle_Bracketed(u"<p"), u"<p>");
  EXPECT_EQ(Angle_Bracketed(u"<p>"), u"<p>");
  EXPECT_EQ(Angle_Bracketed(u""), u"<>");
  EXPECT_EQ(Bracketed(u"(a)"), u"(a)");
  EXPECT_EQ(Bracketed(u"a"), u"(a)");
  EXPECT_EQ(UNAngle_Bracketed(u"<p>"), u"p");
  EXPECT_EQ(UNAngle_Bracketed(u">"), u"");
  EXPECT_TRUE(IsAngleBracketed(u"<x>"));
  EXPECT_FALSE(IsAngleBracketed(u"<x"));
}

TEST(WordsMarkup, TagValuesAndExtraction) {
  bool found = true;
  EXPECT_EQ(SimpleTagValue(u"t", u"x<t> v </t>", found), u" v ");
  EXPECT_TRUE(found);
  EXPECT_EQ(TrimmedSimpleTagValue(u"t", u"x<t> v\r\n</t>", found), u"v");
  EXPECT_EQ(SimpleTagValue(u"t", u"</t><t>v", found), u"");
  EXPECT_FALSE(found);
  EXPECT_EQ(ExtractMarkupDataFromText(u"a[[b]]c", u"[[", u"]]"), u"b");
  EXPECT_EQ(ExtractMarkupDataFromText(u"a[[b", u"[[", u"]]"), u"");
  EXPECT_EQ(ExtractMarkupDataFromText(u"ab]]", u"[[", u"]]"), u"");
  EXPECT_EQ(ParaDivHeadingEndToCRLF(u"a</P>b</div>c</Head>d"), u"a\r\nb\r\nc\r\nd");
  EXPECT_EQ(PrecedingContext(u"abcdef", 10, 4), u"abc");
  EXPECT_EQ(PrecedingContext(u"abcdef", 2, 4), u"bc");
  EXPECT_EQ(PrecedingContext(u"abcdef", 0, 4), u"");
  EXPECT_EQ(PrecedingContext(u"abc", 2, 10), u"");  // nothing stands directly before 10
  EXPECT_EQ(PrecedingContext(u"abc", 9, 4), u"abc");
}

TEST(WordsMarkup, WithoutMarkupAndMarkupOnly) {
  EXPECT_EQ(WithoutMarkup(u"a<b>c", 10), u"ac");
  EXPECT_EQ(WithoutMarkup(u"x < y and z > w", 3), u"x < y and z > w");
  EXPECT_EQ(WithoutMarkup(u"a<b", 5), u"a");
  EXPECT_EQ(WithoutMarkup(u"a<bcdefgh", 2), u"a<bcdefgh");
  EXPECT_EQ(WithoutMarkup(u"a<b>c", 0), u"a<b>c");
  EXPECT_EQ(WithoutMarkup(u"<<b>c", 2), u"<c");  // the first opener spans 3, the second 2
  EXPECT_EQ(WithoutMarkup(u"[a]b[c]", u'[', u']', 2), u"b");
  EXPECT_EQ(MarkupWithoutText(u"<a<b>"), u"<a<b><b>");
  EXPECT_EQ(MarkupWithoutText(u"x<p>y</p>z<q"), u"<p></p>");
  // Long runs of openers without a closer stay linear.
  const S many(200000, u'<');
  EXPECT_EQ(WithoutMarkup(many, 5).size(), many.size() - 5);
}

TEST(WordsMarkup, StretchWalks) {
  std::vector<TStringAndIntegerRec> seen;
  auto proc = [](const TStringAndIntegerRec& r, void* user) {
    static_cast<std::vector<TStringAndIntegerRec>*>(user)->push_back(r);
    return r.s == u"<stop>";
  };
  EXPECT_EQ(FindAndStudyStringInText(u"a<x>b<y>c<stop>d<z>", u"<", u">", &seen, proc), 3);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].s, u"<x>");
  EXPECT_EQ(seen[1].s, u"<y>");
  EXPECT_EQ(seen[2].s, u"<stop>");
  // Each stretch carries its running number.
  EXPECT_EQ(seen[0].i, 1);
  EXPECT_EQ(seen[1].i, 2);
  EXPECT_EQ(seen[2].i, 3);

  std::vector<std::pair<S, int32_t>> calls;
  auto method = [&](const S& context, const S& stretch, int32_t position, int32_t percent) {
    calls.push_back({context + u"|" + stretch, position * 1000 + percent});
    return false;
  };
  EXPECT_EQ(FindAndStudyStringInText(u"abcd[[x]]ef[[y]]", u"[[", u"]]",
                                     TStudyStringMethod::FromCallable(method), 2),
            2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].first, u"cd|[[x]]");
  EXPECT_EQ(calls[0].second, 5 * 1000 + 5 * 100 / 16);
  EXPECT_EQ(calls[1].first, u"ef|[[y]]");

  EXPECT_EQ(NumberOfTagsWithinChunk(u"<a><b><c><d>"), 4);
  EXPECT_EQ(NumberOfTagsWithinChunk(u"<a><b><c><d>", 1), 2);
  EXPECT_EQ(NumberOfTagsWithinChunk(u"<a"), 0);
}

TEST(WordsMarkup, OpenWithoutClose) {
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<p>text</p><q>more", false, false, 5), u"<q>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<p>text</p>", false, false, 5), u"");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<q a=1>x</q>", false, false, 5), u"<q a=1>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<x>a<%y>b<Z>", true, true, 5), u"<Z>");
  int32_t asked = 0;
  auto accept = [&](const T2StringsAndIntegerRec& r) {
    ++asked;
    return r.s1 == u"<b>" && r.s2 == u"a" && r.int_ == 5;
  };
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<a>a<b>", false, false, 1,
                                      TOpenTagMethod::FromCallable(accept)),
            u"<b>");
  EXPECT_EQ(asked, 2);
}

// Many distinct tags, each closed, and one left open at the end; end tags that
// only begin a longer stretch, or hold a "<", count only where they stand whole.
TEST(WordsMarkup, OpenWithoutCloseAmongManyClosedTags) {
  std::u16string text;
  for (int i = 0; i < 3000; ++i) {
    std::u16string name = u"t";
    name += static_cast<char16_t>(u'a' + i % 26);
    name += platform::IntToStr(i);
    text.append(u"<").append(name).append(u">w</").append(name).append(u">");
  }
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", text, false, false, 5), u"");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", text + u"<last>", false, false, 5), u"<last>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<a<b>x</a<b>", false, false, 5), u"<b>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<a>x</a </b>", false, false, 5), u"<a>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"</a><a><b></b", false, false, 5), u"<b>");
}

// Blanks and tabs alternating: each blank is decided by the first visible
// unit after the whole run of white space.
TEST(WordsCleaning, SpacesBeforePunctuationAmongTabs) {
  std::u16string run;
  std::u16string tabs;
  for (int i = 0; i < 5000; ++i) {
    run += u" \t";
    tabs += u'\t';
  }
  EXPECT_EQ(StrippedSpacesBeforePunctuation(u"a" + run + u","), u"a" + tabs + u",");
  EXPECT_EQ(StrippedSpacesBeforePunctuation(u"a" + run + u"b"), u"a" + run + u"b");
  EXPECT_EQ(StrippedSpacesBeforePunctuation(u"a" + run), u"a" + run);
  EXPECT_EQ(StrippedSpacesBeforePunctuation(u"a \t, b \t. c \td"), u"a\t, b\t. c \td");
}

TEST(WordsCleaning, SmallFunctions) {
  EXPECT_EQ(StrippedOfChar(u"a,b,c", u','), u"abc");
  EXPECT_EQ(StrippedOfChars(u"a,b;c", u",;"), u"abc");
  EXPECT_EQ(StrippedOfCommas(u",a,"), u"a");
  EXPECT_EQ(StrippedOfSingleAmpersands(u"&File"), u"File");
  EXPECT_EQ(StrippedOfSingleAmpersands(u"&&"), u"&");
  EXPECT_EQ(StrippedOfSingleAmpersands(u"a&&&b&"), u"a&b");
  EXPECT_EQ(StrippedDoubleSpaces(u"  a   b \t c"), u" a b \t c");
  EXPECT_EQ(StrippedSpacesBeforePunctuation(u"word , next"), u"word, next");
  EXPECT_EQ(StrippedSpacesBeforePunctuation(u"a  \t. b $"), u"a\t. b $");
  EXPECT_EQ(WideTrimSpaceOnly(u"\u00A0 a b\u3000"), u"a b");
  EXPECT_EQ(WideTrimSpaceOnly(u" \t "), u"");
  EXPECT_EQ(DoubleQuotesAdded(u" a b\r\n"), u"\"a b\"");
  EXPECT_EQ(DoubleQuotesRemoved(u" \"a\" b\" "), u"a b");
  EXPECT_EQ(RemovedInitialChar(u"#a", u'#'), u"a");
  EXPECT_EQ(RemovedInitialChar(u"a#", u'#'), u"a#");
  EXPECT_EQ(BackwardsStr(u"abc"), u"cba");
  EXPECT_EQ(InterspersedWithSpaces(u"abc"), u"a b c ");
  EXPECT_EQ(FirstXCharactersOfString(u"abcdef", 3, true), u"abc\u2026");
  EXPECT_EQ(FirstXCharactersOfString(u"abcdef", 3, false), u"abc");
  EXPECT_EQ(FirstXCharactersOfString(u"abc", 3, true), u"abc");
  EXPECT_EQ(FirstXCharactersOfString(u"abc", -1, false), u"");
  const TTwoStringHalves h = StringHalvesSplitAtMark(u"=", u"key=value");
  EXPECT_EQ(h.before, u"key");
  EXPECT_EQ(h.after, u"value");
  const TTwoStringHalves h2 = StringHalvesSplitAtMark(u"::", u"a::b");
  EXPECT_EQ(h2.after, u":b");  // the mark counts as one code unit
  const TTwoStringHalves h3 = StringHalvesSplitAtMark(u"#", u"ab");
  EXPECT_EQ(h3.before, u"ab");
  EXPECT_EQ(h3.after, u"");
  EXPECT_EQ(ValueString(u"a=b=c"), u"b=c");
  EXPECT_EQ(ValueString(u"abc"), u"");
  EXPECT_EQ(BeginningOfSameLine(u"ab\r\ncd", 6), 4);
  EXPECT_EQ(BeginningOfSameLine(u"ab\r\ncd", 3), 3);
  EXPECT_EQ(BeginningOfSameLine(u"abcd", 3), -1);
  EXPECT_EQ(BeginningOfSameLine(u"ab\n", 99), 3);
}

TEST(WordsCleaning, FirstCharOutsideQuotes) {
  const char* b1 = "a \"x,y\" , z";
  EXPECT_EQ(FirstCharInBufferNotInQuotes(b1, ','), b1 + 8);
  const char* b2 = "'it\\'s,' ,";
  EXPECT_EQ(FirstCharInBufferNotInQuotes(b2, ','), b2 + 9);
  EXPECT_EQ(FirstCharInBufferNotInQuotes("\"a,b", ','), nullptr);
  EXPECT_EQ(FirstCharInBufferNotInQuotes("abc", ','), nullptr);
  EXPECT_EQ(FirstCharInBufferNotInQuotes(nullptr, ','), nullptr);
}

TEST(WordsMarkup, MarkupFreeTextFromAFile) {
  const std::string path = testing::TempDir() + "markup_free_" + std::to_string(::getpid()) + ".txt";
  {
    std::ofstream f(path, std::ios::binary);
    f << "\xEF\xBB\xBF<p>caf\xC3\xA9</p>\nx<long tag here>y";
  }
  const std::u16string name(path.begin(), path.end());
  EXPECT_EQ(MarkupFreeTextFromAFile(name, 5), u"café\r\nx<long tag here>y\r\n");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace qn
