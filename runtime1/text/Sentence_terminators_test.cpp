#include "runtime1/text/Sentence_terminators.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qn {
namespace {

template <size_t N>
bool StrictlyAscending(const std::array<char16_t, N>& table) {
  return std::adjacent_find(table.begin(), table.end(),
                            [](char16_t a, char16_t b) { return a >= b; }) == table.end();
}

TEST(SentenceTerminators, TablesAreStrictlyAscendingAndDisjoint) {
  EXPECT_TRUE(StrictlyAscending(basic_sent_terminators));
  EXPECT_TRUE(StrictlyAscending(other_sent_terminators));
  EXPECT_TRUE(StrictlyAscending(punct_not_ending_sent));
  for (char16_t c : other_sent_terminators) {
    EXPECT_FALSE(IsPunctNotEndingSent(c)) << std::hex << int(c);
    EXPECT_GT(c, 0xBF);
  }
  for (char16_t c : punct_not_ending_sent) EXPECT_GT(c, 0xBF);
}

TEST(SentenceTerminators, Membership) {
  struct Case {
    char16_t c;
    bool basic, other, notEnding;
  };
  const Case cases[] = {
      {u'.', true, false, false},      {u'!', true, false, false},
      {u'?', true, false, false},      {u',', false, false, false},
      {u'\u0589', false, true, false}, {u'\u3002', false, true, false},  // first; ideographic stop
      {u'\uFF61', false, true, false}, {u'\u0964', false, true, false},  // last; danda
      {u'\u203D', false, true, false}, {u'\u2E2E', false, true, false},
      {u'\u037E', false, false, true}, {u'\uFF65', false, false, true},  // first; last
      {u'\u0703', false, false, true}, {u'\u070D', false, false, true},  // a range's ends
      {u'\u070E', false, false, false}, {u'\u2020', false, false, true},
      {u'\u2039', false, false, false}, {u'\u3001', false, false, true},
      {u'\u0000', false, false, false}, {u'\uFFFF', false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsBasicSentTerminator(c.c), c.basic) << std::hex << int(c.c);
    EXPECT_EQ(IsOtherSentTerminator(c.c), c.other) << std::hex << int(c.c);
    EXPECT_EQ(IsPunctNotEndingSent(c.c), c.notEnding) << std::hex << int(c.c);
  }
}

}  // namespace
}  // namespace qn
