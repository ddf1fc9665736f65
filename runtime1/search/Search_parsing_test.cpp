// Search requests parsed into search words.
#include "runtime1/search/Search_parsing.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime1/search/testing/SplitByRestarting.h"

namespace qn {
namespace {

using test_support::SplitByRestarting;

constexpr TMySearchFlags kBoth{myLeftBounded, myRightBounded};

std::string Shown(std::u16string_view s) {
  std::string r;
  for (const char16_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      r.push_back(static_cast<char>(c));
    } else {
      char buf[12];
      std::snprintf(buf, sizeof buf, "<%04X>", static_cast<unsigned>(c));
      r += buf;
    }
  }
  return r;
}

std::vector<std::u16string> Lines(const platform::TStringList& list) {
  std::vector<std::u16string> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list[i]);
  return v;
}

TIgnore_tag_type AngleAndSquareTags() {
  TIgnore_tag_type tags{};
  tags[tag_on][0] = u'<';
  tags[tag_off][0] = u'>';
  tags[tag_on][1] = u'[';
  tags[tag_off][1] = u']';
  return tags;
}

struct ParseCase {
  std::u16string typed;
  std::u16string search_text;
  TMySearchFlags flags;
  bool ambiguous;
};

TEST(Parsed_SearchWord, WorkForms) {
  const TIgnore_tag_type none{};
  const ParseCase cases[] = {
      {u"cat", u"cat", kBoth, false},
      {u"*ing", u"ing", {myRightBounded}, true},
      {u"walk*", u"walk", {myLeftBounded}, true},
      {u"*", u"", {myRightBounded}, true},
      {u"**", u"", {}, true},
      {u"==*cat==", u"\u001Dcat", {myLeftBounded, myRightBounded, myCaseIsSensitive}, true},
      {u"==cat*==", u"cat", {myLeftBounded, myCaseIsSensitive}, true},
      {u"b*d", u"b\u001Dd", kBoth, true},
      {u"the * of", u"the \u001A of", kBoth, true},
      {u"the*of", u"the\u001Dof", kBoth, true},
      {u" * * x", u"\u001A \u001A x", kBoth, true},
      {u"==Bank==", u"Bank", {myLeftBounded, myRightBounded, myCaseIsSensitive}, true},
      {u"==Bank", u"==Bank", kBoth, false},
      {u"==", u"==", kBoth, false},
      {u"===", u"===", kBoth, false},
      {u"~the", u"the", {myLeftBounded, myRightBounded, mySW_To_Avoid}, true},
      {u"^at", u"\u001Eat", kBoth, true},
      {u"##", u"\u001B\u001B", kBoth, true},
      {u"c?t", u"c\u001Ct", kBoth, true},
      {u"a}}}b", u"a\u0015}}b", kBoth, true},
      {u"}}}}", u"\u0015\u0015}}", kBoth, true},
      // Quoted symbols come out bare, never as codes.
      {u"\"*\"", u"*", kBoth, true},
      {u"a\"?\"b\"^\"", u"a?b^", kBoth, true},
      {u"\"==\"x", u"==x", kBoth, true},
      {u"c\":\\\"", u"c:\\", kBoth, true},
      {u"\"#\"1", u"#1", kBoth, true},
      {u"x\"}}}\"", u"x}}}", kBoth, true},
      {u"\"/\\\"x", u"/\\x", kBoth, true},
      {u"a\"/\"b", u"a/b", kBoth, true},
      // Line-break symbols at either end; one in the middle stays.
      {u"cat/\\", u"cat\u0013", kBoth, true},
      {u"/\\cat", u"\u0010cat", kBoth, true},
      {u"a/\\b", u"a/\\b", kBoth, false},
      {u"/\\", u"\u0013", kBoth, true},
      // Character references.
      {u"{CHR(65)}b", u"Ab", kBoth, true},
      // Surrounding spaces are trimmed from the search text.
      {u" cat ", u"cat", kBoth, true},
      // An unchanged text holding a wildcard code is still ambiguous.
      {u"a\u001Fb", u"a\u001Fb", kBoth, true},
      {u"a\u0019b", u"a\u0019b", kBoth, false},
  };
  for (const ParseCase& c : cases) {
    std::u16string s = c.typed;
    const TSearch_word_format_rec rec = Parsed_SearchWord(none, s);
    SCOPED_TRACE(Shown(c.typed));
    EXPECT_EQ(Shown(rec.search_text), Shown(c.search_text));
    EXPECT_EQ(rec.flags.Byte(), c.flags.Byte());
    EXPECT_EQ(rec.ambiguous, c.ambiguous);
    EXPECT_EQ(rec.typed_in_text, c.typed);
    EXPECT_FALSE(rec.contains_a_tag);
    EXPECT_FALSE(rec.has_file_based_context_word);
  }
}

TEST(Parsed_SearchWord, LeavesTheUntrimmedWorkFormInS) {
  std::u16string s = u" *ab* ";
  const TSearch_word_format_rec rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(s, u" \u001Dab\u001D ");
  EXPECT_EQ(rec.search_text, u"\u001Dab\u001D");
}

TEST(Parsed_SearchWord, ContextWord) {
  std::u16string s = u"cat context:=dog";
  TSearch_word_format_rec rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.search_text, u"cat");
  EXPECT_EQ(rec.sw_context_needed, u"dog");
  EXPECT_TRUE(rec.has_file_based_context_word);
  EXPECT_TRUE(rec.ambiguous);
  EXPECT_EQ(rec.typed_in_text, u"cat context:=dog");

  // Nothing after the marker: an empty context word. The marker needs its space.
  s = u"walk* context:=";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.search_text, u"walk");
  EXPECT_EQ(rec.flags.Byte(), TMySearchFlags{myLeftBounded}.Byte());
  EXPECT_TRUE(rec.has_file_based_context_word);
  EXPECT_EQ(rec.sw_context_needed, u"");
  s = u"cat,context:=dog";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_FALSE(rec.has_file_based_context_word);
  EXPECT_EQ(rec.search_text, u"cat,context:=dog");
  // The first marker cuts; the context word is kept raw.
  s = u"a context:=b* context:=c";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.search_text, u"a");
  EXPECT_EQ(rec.sw_context_needed, u"b* context:=c");
}

TEST(Parsed_SearchWord, Markup) {
  TIgnore_tag_type angle{};
  angle[tag_on][0] = u'<';
  angle[tag_off][0] = u'>';
  const TIgnore_tag_type two = AngleAndSquareTags();
  struct {
    const TIgnore_tag_type& tags;
    std::u16string typed, work;
    bool tag;
  } const cases[] = {
      {angle, u"<b>bold", u"\u0019b\u0018bold", true},
      {angle, u"bold>", u"bold>", false},  // a closing delimiter alone
      {angle, u"<bold", u"\u0019bold", false},  // opening without closing: encoded, but no pair
      {angle, u"<a>[b]", u"\u0019a\u0018[b]", true},
      {two, u"[x]", u"\u0019x\u0018", true},
      {two, u"a>b[c", u"a>b\u0019c", false},
      // The running flag carries over from pair to pair: pair 2's closer is
      // encoded after pair 1 opened, and a pair whose closer is absent clears it.
      {two, u"<a>]", u"\u0019a\u0018\u0018", true},
      {two, u"<a>[b", u"\u0019a\u0018\u0019b", false},
      {two, u"<b>bold", u"\u0019b\u0018bold", false},
      // Quoted delimiters stay literal.
      {two, u"\"<\"b\">\"", u"<b>", false},
  };
  for (const auto& c : cases) {
    std::u16string s = c.typed;
    const TSearch_word_format_rec rec = Parsed_SearchWord(c.tags, s);
    SCOPED_TRACE(Shown(c.typed));
    EXPECT_EQ(Shown(rec.search_text), Shown(c.work));
    EXPECT_EQ(rec.contains_a_tag, c.tag);
  }
  // A pair with no opener still closes while an earlier pair's flag runs.
  TIgnore_tag_type closerOnly{};
  closerOnly[tag_on][0] = u'<';
  closerOnly[tag_off][0] = u'>';
  closerOnly[tag_off][5] = u'|';
  std::u16string s = u"<a>|";
  EXPECT_EQ(Parsed_SearchWord(closerOnly, s).search_text, u"\u0019a\u0018\u0018");
}

TEST(Parsed_SearchWord, PrivateUseCharactersOfTheTextStay) {
  const TIgnore_tag_type none{};
  std::u16string s = u"x\uE002y";
  EXPECT_EQ(Parsed_SearchWord(none, s).search_text, u"x\uE002y");
  // Quoted symbols beside private-use characters of every placeholder code.
  std::u16string all = u"\"*\"";
  for (char16_t c = 0xE000; c <= 0xE00A; ++c) all.push_back(c);
  s = all;
  std::u16string want = u"*";
  want.append(all, 3);
  EXPECT_EQ(Parsed_SearchWord(none, s).search_text, want);
  // A private-use character made by a character reference.
  s = u"x{CHR(57346)}\"*\"";
  EXPECT_EQ(Parsed_SearchWord(none, s).search_text, u"x\uE002*");
}

TEST(Parsed_SearchWord, CaseCopies) {
  std::u16string s = u"\u00E9COLE";
  TSearch_word_format_rec rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.copies[unchanged_copy], u"\u00E9COLE");
  EXPECT_EQ(rec.copies[upper_copy], u"\u00C9COLE");
  EXPECT_EQ(rec.copies[lower_copy], u"\u00E9cole");
  EXPECT_EQ(rec.copies[title_copy], u"\u00C9cole");

  // 1:1 mapping: every copy as long as the lower copy, codes untouched.
  s = u"stra\u00DFe \u0149*";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.copies[upper_copy], u"STRA\u00DFE \u0149");
  for (const auto& copy : rec.copies) EXPECT_EQ(copy.size(), rec.copies[lower_copy].size());
  s = u"a*b";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.copies[upper_copy], u"A\u001DB");
  EXPECT_EQ(rec.copies[title_copy], u"A\u001Db");

  // A supplementary first letter is title-cased whole.
  s = u"\U00010428\U00010428";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.copies[title_copy], u"\U00010400\U00010428");

  s = u"*";
  rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  for (const auto& copy : rec.copies) EXPECT_EQ(copy, u"");
}

TEST(UnParsed_SearchWord, OnlyDecorationsAreRead) {
  std::u16string s = u"b*d";
  TSearch_word_format_rec rec = UnParsed_SearchWord(s);
  EXPECT_EQ(rec.search_text, u"b*d");
  EXPECT_EQ(rec.flags.Byte(), kBoth.Byte());
  EXPECT_FALSE(rec.ambiguous);

  s = u" ==x?==";
  rec = UnParsed_SearchWord(s);
  EXPECT_EQ(rec.search_text, u" ==x?==");
  EXPECT_FALSE(rec.ambiguous);

  s = u"*ing context:=dog ";
  rec = UnParsed_SearchWord(s);
  EXPECT_EQ(s, u"ing context:=dog ");
  EXPECT_EQ(rec.search_text, s);
  EXPECT_EQ(rec.flags.Byte(), TMySearchFlags{myRightBounded}.Byte());
  EXPECT_TRUE(rec.ambiguous);
  EXPECT_FALSE(rec.has_file_based_context_word);
  EXPECT_EQ(rec.copies[upper_copy], u"ING CONTEXT:=DOG ");
  EXPECT_EQ(rec.copies[title_copy], u"Ing context:=dog ");
}

TEST(DoMainParse_Translates, ReportsAnyString) {
  std::u16string s = u"^#*?";
  EXPECT_FALSE(DoMainParse_Translates(s));
  EXPECT_EQ(s, u"\u001E\u001B\u001D\u001C");
  s = u"x}}}";
  EXPECT_TRUE(DoMainParse_Translates(s));
  EXPECT_EQ(s, u"x\u0015}}");
}

TEST(SplitSWList, Alternatives) {
  struct {
    std::u16string request;
    std::vector<std::u16string> alternatives;
  } const cases[] = {
      {u"", {}},
      {u"cat/dog", {u"cat", u"dog"}},
      {u"a/b/c", {u"a", u"b", u"c"}},
      {u"/cat", {u"/cat"}},
      {u"cat/", {u"cat/"}},
      {u"/", {u"/"}},
      {u"a//b", {u"a", u"/b"}},
      {u"a/ b", {u"a", u" b"}},
      {u"a\"/\"b", {u"a\"/\"b"}},
      {u"x/\"y\"/z", {u"x/\"y\"/z"}},
      {u"\"a\"/b/c", {u"\"a\"/b", u"c"}},
      {u"cat/\\", {u"cat", u"\\"}},
      {u"/\\cat", {u"/\\cat"}},
      {u"a/b/", {u"a", u"b/"}},
  };
  for (const auto& c : cases) {
    std::u16string s = c.request;
    const auto list = SplitSWList(s, true);
    EXPECT_EQ(Lines(*list), c.alternatives) << Shown(c.request);
    EXPECT_TRUE(s.empty());
  }
  std::u16string s = u"cat/dog";
  EXPECT_EQ(Lines(*SplitSWList(s, false)), std::vector<std::u16string>{u"cat/dog"});
  EXPECT_TRUE(s.empty());
  s.clear();
  EXPECT_EQ(SplitSWList(s, false)->Count(), 0);

  // A slash split off alone keeps its own text whole when parsed unsplit.
  s = u"cat/dog";
  const TSearch_word_format_rec rec = Parsed_SearchWord(TIgnore_tag_type{}, s);
  EXPECT_EQ(rec.search_text, u"cat/dog");
}

TEST(SplitSWList, SameAlternativesAsRestartingFromTheLeft) {
  std::mt19937 rng(15);
  const char16_t alphabet[] = {u'/', u'/', u'"', u'a', u'\\', u' '};
  for (int round = 0; round < 5000; ++round) {
    std::u16string s(rng() % 14, u'a');
    for (char16_t& c : s) c = alphabet[rng() % std::size(alphabet)];
    std::u16string copy = s;
    ASSERT_EQ(Lines(*SplitSWList(copy, true)), SplitByRestarting(s)) << Shown(s);
  }
}

}  // namespace
}  // namespace qn
