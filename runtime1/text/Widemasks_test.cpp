#include "runtime1/text/Widemasks.h"

#include <gtest/gtest.h>

#include <string>

namespace qn {
namespace {

TEST(BuildAMask, SplitsAsTyped) {
  struct Case {
    const char16_t* text;
    TMaskList expected;
  };
  const Case cases[] = {
      {u"", {}},
      {u"   \t ", {}},
      {u"*.txt;*.htm", {u"*.txt", u"*.htm"}},
      {u"*.txt; *.doc", {u"*.txt", u" *.doc"}},
      {u"a;;b;", {u"a", u"", u"b"}},
      {u";a", {u"", u"a"}},
      {u"*.txt\r\n*.htm", {u"*.txt", u"*.htm"}},
      {u"  *.txt\r\n*.htm\r\n  ", {u"*.txt", u"*.htm"}},
      {u"a\rb", {u"a\rb"}},
      {u";", {u""}},
  };
  for (const Case& c : cases) {
    TMaskList masks = {u"old"};
    BuildAMask(masks, c.text);
    EXPECT_EQ(masks, c.expected) << std::u16string(c.text).size();
  }
}

TEST(MatchesMask, Table) {
  struct Case {
    const char16_t* name;
    const char16_t* mask;
    bool matches;
  };
  const Case cases[] = {
      {u"", u"*", false},
      {u"", u"", false},
      {u"a.txt", u"*.txt", true},
      {u"A.TXT", u"*.txt", true},
      {u"a.txt", u"*.htm", false},
      {u"a.txt", u"?.txt", true},
      {u"ab.txt", u"?.txt", false},
      {u"readme", u"*.*", true},
      // Several patterns in one mask.
      {u"a.htm", u"*.txt;*.htm", true},
      {u"a.doc", u"*.txt;*.htm", false},
      // Letter case outside ASCII.
      {u"ÉCOLE.TXT", u"école.*", true},
      {u"ΣΟΦΙΑ.txt", u"σοφια*", true},
      {u"ДОМ.txt", u"дом.TXT", true},
      {u"straße", u"STRASSE", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches)
        << std::u16string(c.name).size() << " / " << std::u16string(c.mask).size();
  }
}

TEST(WhereInAMask, FirstNonEmptyMatch) {
  TMaskList masks;
  BuildAMask(masks, u"");
  EXPECT_EQ(WhereInAMask(u"a.txt", masks), -1);
  BuildAMask(masks, u"*.txt;*.htm");
  EXPECT_EQ(WhereInAMask(u"A.HTM", masks), 1);
  EXPECT_EQ(WhereInAMask(u"a.doc", masks), -1);
  EXPECT_EQ(WhereInAMask(u"", masks), -1);
  BuildAMask(masks, u";;*;x*");
  EXPECT_EQ(WhereInAMask(u"xyz", masks), 2);  // the empty elements are skipped
  BuildAMask(masks, u"Ä*;ä*");
  EXPECT_EQ(WhereInAMask(u"äpfel", masks), 0);
}

TEST(MatchesMask, AbsurdMasksStayCheap) {
  // 10,000-character masks of many stars against long names: the matcher
  // must answer (correctly) without backtracking blow-up.
  std::u16string mask;
  for (int i = 0; i < 5000; ++i) mask += u"*a";
  mask += u"b";
  const std::u16string name(10000, u'a');
  EXPECT_FALSE(MatchesMask(name, mask));
  EXPECT_TRUE(MatchesMask(name + u"b", mask));
  const std::u16string longSemis(10000, u';');
  EXPECT_FALSE(MatchesMask(u"a", longSemis));
  TMaskList masks;
  BuildAMask(masks, longSemis);
  EXPECT_EQ(masks.size(), 10000u);
  EXPECT_EQ(WhereInAMask(u"a", masks), -1);
}

}  // namespace
}  // namespace qn
