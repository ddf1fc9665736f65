#include "platform/FileMasks.h"

#include <gtest/gtest.h>

#include <string>

namespace qn::platform {
namespace {

struct TMaskCase {
  std::u16string name, mask;
  bool matches;
};

TEST(FileMasks, SingleMasks) {
  const TMaskCase cases[] = {
      {u"report.txt", u"*.txt", true},
      {u"REPORT.TXT", u"*.txt", true},
      {u"report.txt", u"*.doc", false},
      {u"report.txt", u"report.???", true},
      {u"report.tx", u"report.???", false},
      {u"a", u"?", true},
      {u"ab", u"?", false},
      {u"", u"?", false},
      {u"", u"*", true},
      {u"", u"", true},
      {u"x", u"", false},
      {u"abc", u"a*c", true},
      {u"ac", u"a*c", true},
      {u"abxc", u"a*c", true},
      {u"abcd", u"a*c", false},
      {u"abc", u"abc*", true},
      {u"abc", u"*?*", true},
      {u"mississippi", u"*sip*", true},
      {u"mississippi", u"m*iss*ppi", true},
      {u"mississippi", u"m*iss*ppix", false},
      {u"aaa", u"*a*a*a*", true},
      {u"aa", u"*a*a*a*", false},
      {u"r\u00E9sum\u00E9.TXT", u"R\u00C9SUM\u00C9.txt", true},  // case folded beyond ASCII
      {u"\u0434\u043E\u043A.txt", u"\u0414\u041E\u041A.*", true},
      {u"stra\u00DFe", u"STRASSE", false},  // one unit never matches two
      {u"a;b", u"a;b", true},                 // ";" is ordinary in a single mask
      {u"a b", u"a b", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.mask), c.matches)
        << std::string(c.name.begin(), c.name.end()) << " / " << std::string(c.mask.begin(), c.mask.end());
  }
}

TEST(FileMasks, MaskListsAsTheFileDialogsWriteThem) {
  const TMaskCase cases[] = {
      {u"x.txt", u"*.txt;*.doc", true},
      {u"x.doc", u"*.txt;*.doc", true},
      {u"x.doc", u"*.txt; *.doc", true},  // leading spaces of an element are skipped
      {u"x.htm", u"*.txt;*.doc", false},
      {u"x.doc", u"*.txt;", false},
      {u"anything", u"*.*", true},
      {u"noext", u"*.*", true},
      {u"noext", u"*.x;*.*", false},  // only the whole mask "*.*" is special
      {u"a;b", u"a;b", false},
      {u"b", u"a;b", true},
      {u"", u"*", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathMatchSpec(c.name, c.mask), c.matches)
        << std::string(c.name.begin(), c.name.end()) << " / " << std::string(c.mask.begin(), c.mask.end());
  }
}

TEST(FileMasks, PathologicalMasksFinish) {
  // Exponential backtracking would never finish these.
  std::u16string name(20000, u'a');
  std::u16string mask;
  for (int i = 0; i < 30; ++i) mask += u"*a";
  EXPECT_FALSE(MatchesWildcard(name, mask + u"*b"));
  EXPECT_TRUE(MatchesWildcard(name, mask + u"*"));
  EXPECT_TRUE(MatchesWildcard(name + u"b", mask + u"*b"));
}

}  // namespace
}  // namespace qn::platform
