// Flag decorations of typed search words.
#include "runtime1/containers/Useful_Classes_search.h"

#include <gtest/gtest.h>

#include <string>

namespace qn {
namespace {

struct FlagCase {
  std::u16string typed;
  std::u16string stripped;
  TMySearchFlags flags;
};

TEST(FlagsFromSW, Decorations) {
  const TMySearchFlags both{myLeftBounded, myRightBounded};
  const FlagCase cases[] = {
      {u"", u"", both},
      {u"cat", u"cat", both},
      {u"*ing", u"ing", {myRightBounded}},
      {u"walk*", u"walk", {myLeftBounded}},
      {u"*ee*", u"ee", {}},
      {u"*", u"", {myRightBounded}},
      {u"**", u"", {}},
      {u"***", u"*", {}},
      {u"==Bank==", u"Bank", {myLeftBounded, myRightBounded, myCaseIsSensitive}},
      {u"==*cat==", u"*cat", {myLeftBounded, myRightBounded, myCaseIsSensitive}},
      {u"==cat*==", u"cat", {myLeftBounded, myCaseIsSensitive}},
      {u"==Bank", u"==Bank", both},
      {u"Bank==", u"Bank==", both},
      {u"=a=", u"=a=", both},
      // The pair needs four characters: shorter texts would overlap.
      {u"==", u"==", both},
      {u"===", u"===", both},
      {u"====", u"", {myLeftBounded, myRightBounded, myCaseIsSensitive}},
      {u"=====", u"=", {myLeftBounded, myRightBounded, myCaseIsSensitive}},
      {u"~the", u"the", {myLeftBounded, myRightBounded, mySW_To_Avoid}},
      {u"~the*", u"the", {myLeftBounded, mySW_To_Avoid}},
      {u"~", u"", {myLeftBounded, myRightBounded, mySW_To_Avoid}},
      // Only the first character is looked at for the leading forms.
      {u"*~the", u"~the", {myRightBounded}},
      {u"~*the", u"*the", {myLeftBounded, myRightBounded, mySW_To_Avoid}},
      {u" *cat", u" *cat", both},
  };
  for (const FlagCase& c : cases) {
    std::u16string s = c.typed;
    const TMySearchFlags flags = FlagsFromSW(s);
    EXPECT_EQ(s, c.stripped) << std::string(c.typed.begin(), c.typed.end());
    EXPECT_EQ(flags.Byte(), c.flags.Byte()) << std::string(c.typed.begin(), c.typed.end());
  }
}

TEST(SWStringPlusFlags, DecorationsAndRoundTrip) {
  EXPECT_EQ(SWStringPlusFlags(u"cat", {myLeftBounded, myRightBounded}), u"cat");
  EXPECT_EQ(SWStringPlusFlags(u"ing", {myRightBounded}), u"*ing");
  EXPECT_EQ(SWStringPlusFlags(u"walk", {myLeftBounded}), u"walk*");
  EXPECT_EQ(SWStringPlusFlags(u"ee", {}), u"*ee*");
  EXPECT_EQ(SWStringPlusFlags(u"Bank", {myLeftBounded, myRightBounded, myCaseIsSensitive}), u"==Bank==");
  EXPECT_EQ(SWStringPlusFlags(u"x", {myLeftBounded, myCaseIsSensitive}), u"==x*==");
  // The word to avoid is not written back.
  EXPECT_EQ(SWStringPlusFlags(u"the", {myLeftBounded, myRightBounded, mySW_To_Avoid}), u"the");

  // Every flag combination the syntax can express comes back.
  for (const TMySearchFlags flags :
       {TMySearchFlags{myLeftBounded, myRightBounded}, TMySearchFlags{myRightBounded},
        TMySearchFlags{myLeftBounded}, TMySearchFlags{},
        TMySearchFlags{myLeftBounded, myRightBounded, myCaseIsSensitive},
        TMySearchFlags{myLeftBounded, myCaseIsSensitive}}) {
    std::u16string s = SWStringPlusFlags(u"word", flags);
    EXPECT_EQ(FlagsFromSW(s).Byte(), flags.Byte());
    EXPECT_EQ(s, u"word");
  }
  // Case-sensitive and open on the left has no form of its own: it is read
  // back left-bounded with the asterisk kept in the word.
  std::u16string s = SWStringPlusFlags(u"word", {myRightBounded, myCaseIsSensitive});
  EXPECT_EQ(s, u"==*word==");
  EXPECT_EQ(FlagsFromSW(s).Byte(), (TMySearchFlags{myLeftBounded, myRightBounded, myCaseIsSensitive}).Byte());
  EXPECT_EQ(s, u"*word");
}

}  // namespace
}  // namespace qn
