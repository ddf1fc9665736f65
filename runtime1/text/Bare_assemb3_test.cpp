#include "runtime1/text/Bare_assemb3.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CharTypes.h"

namespace qn {
namespace {

// Details of a UTF-16 text as the engine prepares them: classes, then two
// spare zero words.
std::vector<uint16_t> DetailsOf(const std::u16string& text) {
  std::vector<uint16_t> d(text.size() + 2, 0);
  platform::CharTypes1(text.data(), text.size(), d.data());
  return d;
}

struct MiddleCase {
  const char16_t* text;
  const char16_t* allowables;
  bool atRight;
  bool atLeft;
  size_t index;        // position of the character examined
  bool changed;        // whether its word is reclassified
  uint16_t expected;   // the new word when changed
};

TEST(HandleMiddleChars, Table) {
  const MiddleCase cases[] = {
      {u"don't stop", u"'", false, false, 3, true, kDetailAsLetter},
      {u"rock 'n roll", u"'", false, false, 5, false, 0},
      {u"rock 'n roll", u"'", false, true, 5, true, kDetailAsLetter},
      {u"a well-known b", u"-", false, false, 6, true, kDetailAsLetter},
      {u"x 1-2 y", u"-", false, false, 3, true, kDetailAsDigit},
      {u"x a-1 y", u"-", false, false, 3, true, kDetailAsDigit},
      {u"x 1-a y", u"-", false, false, 3, true, kDetailAsDigit},
      {u"x a-b y", u"-", false, false, 3, true, kDetailAsLetter},
      // Two adjacent middle characters of the same kind stay separators.
      {u"x a''b y", u"'", false, false, 3, false, 0},
      {u"x a''b y", u"'", false, false, 4, false, 0},
      // An apostrophe made a letter lets a following hyphen join.
      {u"x a'-b y", u"'-", false, false, 3, false, 0},
      {u"x -'b y", u"'-", false, true, 2, true, kDetailAsLetter},
      {u"x -'b y", u"-'", false, true, 2, false, 0},
      {u"x -'b y", u"-'", false, true, 3, true, kDetailAsLetter},
      // Both checks off: every occurrence outside markup becomes a letter.
      {u" - ", u"-", true, true, 1, true, kDetailAsLetter},
      // The ends of the buffer are reached like any other place.
      {u"x-y", u"-", false, false, 1, true, kDetailAsLetter},
      {u"'t", u"'", false, false, 0, false, 0},
      {u"'t", u"'", false, true, 0, true, kDetailAsLetter},
      {u"ab'", u"'", false, false, 2, false, 0},
      {u"ab'", u"'", true, false, 2, true, kDetailAsLetter},
      {u"a'bc", u"'", false, false, 1, true, kDetailAsLetter},
      {u"ab'c", u"'", false, false, 2, true, kDetailAsLetter},
  };
  for (const MiddleCase& c : cases) {
    const std::u16string text(c.text);
    const std::u16string allow(c.allowables);
    std::vector<uint16_t> d = DetailsOf(text);
    const uint16_t before = d[c.index];
    HandleMiddleChars(text.data(), d.data(), allow.data(), static_cast<uint16_t>(allow.size()),
                      static_cast<int32_t>(text.size()), true, c.atRight, c.atLeft);
    const std::string label(text.begin(), text.end());
    EXPECT_EQ(d[c.index], c.changed ? c.expected : before) << label << " at " << c.index;
    EXPECT_EQ(d[text.size()], 0) << label;
    EXPECT_EQ(d[text.size() + 1], 0) << label;
  }
}

TEST(HandleMiddleChars, MarkupIsSteppedOverAndMarkersStop) {
  const std::u16string text = u"a<b>'c";
  std::vector<uint16_t> d = DetailsOf(text);
  for (size_t i = 1; i <= 3; ++i) d[i] |= kDetailInMarkup;
  HandleMiddleChars(text.data(), d.data(), u"'", 1, 6, true, false, false);
  EXPECT_EQ(d[4], kDetailAsLetter);

  // The allowable itself inside a tag is left alone.
  const std::u16string tagged = u"a'b";
  d = DetailsOf(tagged);
  d[1] |= kDetailInMarkup;
  const uint16_t inTag = d[1];
  HandleMiddleChars(tagged.data(), d.data(), u"'", 1, 3, true, false, false);
  EXPECT_EQ(d[1], inTag);

  // A marker word between the allowable and a letter stops the search.
  const std::u16string marked = u"a.'b";
  d = DetailsOf(marked);
  d[1] = MarkerWord(kMarkerSentenceEnd);
  const uint16_t apostrophe = d[2];
  HandleMiddleChars(marked.data(), d.data(), u"'", 1, 4, true, false, false);
  EXPECT_EQ(d[2], apostrophe);
  d[1] = MarkerWord(kMarkerSectionEnd) | kDetailInMarkup;  // a marker is never stepped over
  HandleMiddleChars(marked.data(), d.data(), u"'", 1, 4, true, false, false);
  EXPECT_EQ(d[2], apostrophe);
}

TEST(HandleMiddleChars, EightBitBuffersCompareLowByte) {
  const std::string text = "don\x92t";  // right single quote in code page 1252
  std::vector<uint16_t> d(text.size() + 2, 0);
  platform::CharTypes1OfBytes(1252, text.data(), text.size(), d.data());
  const char16_t allow[] = {u'\u2019', u'\x92'};  // only the second has low byte 0x92
  HandleMiddleChars(text.data(), d.data(), allow, 1, 5, false, false, false);
  EXPECT_NE(d[3], kDetailAsLetter);
  HandleMiddleChars(text.data(), d.data(), allow + 1, 1, 5, false, false, false);
  EXPECT_EQ(d[3], kDetailAsLetter);
}

TEST(HandleMiddleChars, NothingForEmptyInput) {
  const std::u16string text = u"a-b";
  std::vector<uint16_t> d = DetailsOf(text);
  const std::vector<uint16_t> before = d;
  HandleMiddleChars(text.data(), d.data(), u"-", 0, 3, true, false, false);
  HandleMiddleChars(text.data(), d.data(), u"-", 1, 0, true, false, false);
  HandleMiddleChars(text.data(), d.data(), u"-", 1, -5, true, false, false);
  HandleMiddleChars(nullptr, d.data(), u"-", 1, 3, true, false, false);
  EXPECT_EQ(d, before);
  // The count limits the reach: with 2 characters "b" is not seen.
  HandleMiddleChars(text.data(), d.data(), u"-", 1, 2, true, false, false);
  EXPECT_EQ(d, before);
}

TEST(HandleMiddleChars, LongBufferWithManyHits) {
  // Hits across the vector scan's block boundaries.
  std::u16string text;
  for (int i = 0; i < 1000; ++i) text += (i % 7 == 0) ? u"a-" : u"b";
  std::vector<uint16_t> d = DetailsOf(text);
  HandleMiddleChars(text.data(), d.data(), u"-", 1, static_cast<int32_t>(text.size()), true,
                    false, false);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'-') {
      EXPECT_EQ(d[i], i + 1 < text.size() ? kDetailAsLetter : platform::CharType1(u'-')) << i;
    }
  }
}

struct NumberCase {
  const char16_t* text;
  bool spaces;
  const char* digits;  // 'd' where the word must carry the digit bit afterwards
};

TEST(HandleMiddleCharsInNumbers, Table) {
  const NumberCase cases[] = {
      {u"1.2.3", false, "ddddd"},
      {u"3.14", false, "dddd"},
      {u"1,000", false, "ddddd"},
      {u"0\u00B75", false, "ddd"},
      {u"1. 2", false, "d..d"},
      {u"1. 2", true, "d..d"},
      {u"12 345", true, "dddddd"},
      {u"12 345", false, "dd.ddd"},
      {u"1-2", false, "d.d"},
      {u"a.1", false, "..d"},
      {u"1.", false, "d."},
  };
  for (const NumberCase& c : cases) {
    const std::u16string text(c.text);
    std::vector<uint16_t> d = DetailsOf(text);
    HandleMiddleCharsInNumbers(true, c.spaces, text.data(), d.data(),
                               static_cast<int32_t>(text.size()));
    std::string got;
    for (size_t i = 0; i < text.size(); ++i) {
      got.push_back((d[i] & platform::C1_DIGIT) != 0 ? 'd' : '.');
      if (c.digits[i] == 'd' && !platform::IsDigitChar(text[i])) {
        EXPECT_EQ(d[i], kDetailAsDigit);
      }
    }
    EXPECT_EQ(got, c.digits) << std::string(text.begin(), text.end());
  }
}

TEST(HandleMiddleCharsInNumbers, EightBitMiddleDot) {
  const std::string text = "0\xB7" "5";
  std::vector<uint16_t> d(5, 0);
  platform::CharTypes1OfBytes(1252, text.data(), 3, d.data());
  HandleMiddleCharsInNumbers(false, false, text.data(), d.data(), 3);
  EXPECT_EQ(d[1], kDetailAsDigit);
}

int gLastNumber = 0;
int gLastEnd = 0;
void Record(int32_t number, int32_t endsAt) {
  gLastNumber = number;
  gLastEnd = endsAt;
}

TEST(SectionHandlers, DefaultDoesNothingAndCanBeReplaced) {
  EXPECT_EQ(HandleSentenceEndProc, &DoNothingWithTextSection);
  EXPECT_EQ(HandleSectionEndProc, &DoNothingWithTextSection);
  HandleParagraphEndProc = &Record;
  HandleParagraphEndProc(4, 120);
  EXPECT_EQ(gLastNumber, 4);
  EXPECT_EQ(gLastEnd, 120);
  ResetTextSectionHandlers();
  EXPECT_EQ(HandleParagraphEndProc, &DoNothingWithTextSection);
}

TEST(BufferRoutines, RemoveReplaceScan) {
  char16_t w[] = u"banana\u00FF";
  EXPECT_EQ(RemoveCharW(w, u'a', 6), 3);
  EXPECT_EQ(std::u16string(w), u"bnn");
  char16_t untouched[] = u"xy";
  EXPECT_EQ(RemoveCharW(untouched, u'x', 0), 0);
  EXPECT_EQ(untouched[0], u'x');
  char16_t none[] = u"abc\u00FF";
  EXPECT_EQ(RemoveCharW(none, u'z', 3), 3);
  EXPECT_EQ(none[3], 0);

  char a[] = "a.b.c.";
  EXPECT_EQ(RemoveCharA(a, '.', 6), 3);
  EXPECT_STREQ(a, "abc");

  char16_t r[] = u"a-b-c";
  ReplaceChar1ByChar2W(r, u'-', u'+', 3);
  EXPECT_EQ(std::u16string(r), u"a+b-c");

  const int32_t v[] = {3, 7, 7};
  EXPECT_EQ(ScanForInt(7, v, 3), 2);
  EXPECT_EQ(ScanForInt(3, v, 3), 1);
  EXPECT_EQ(ScanForInt(7, v, 1), 0);
  EXPECT_EQ(ScanForInt(7, v, 0), 0);
  EXPECT_EQ(ScanForInt(9, v, 3), 0);
}

}  // namespace
}  // namespace qn
