#include "runtime2/printing/Help_file_includes.h"

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/testing/TestFiles.h"

namespace qn {
namespace {

using test_support::TTempFolderTest;
using test_support::Wide;
using test_support::WriteBytes;

std::u16string NameIn(int32_t n, std::u16string_view text) {
  platform::TStringList lines;
  lines.SetTextStr(text);
  return NameFromNumberInLines(n, lines);
}

TEST(NameFromNumberInLines, Matches) {
  const std::u16string_view file = (
      u"; help topics\r\n"
      u"  \tIntro_topic   =   12  \r\n"
      u"Topic_name=123\r\n"
      u"Other topic = 7 trailing words\r\n"
      u"Leading = 0042\r\n"
      u"No_digits = x12\r\n"
      u"Arabic_digits = \u0661\u0662\r\n"
      u"Too_big = 99999999999\r\n"
      u"Tab_after = \t5\r\n"
      u"Second_equals = 8 = 9\r\n"
      u"Intro_again = 12\r\n"
      u"   = 77\r\n");
  struct Case {
    int32_t n;
    std::u16string_view name;
  };
  const Case cases[] = {
      {12, u"Intro_topic"},  // the first line with the number wins
      {120, u""},
      {123, u"Topic_name"},  // the name ends at "=" when no blank comes first
      {7, u"Other"},
      {42, u"Leading"},
      {0, u""},
      {11, u""},       // digits outside ASCII do not read as a number
      {-1, u""},
      {5, u""},        // only blanks are skipped after "="
      {8, u"Second_equals"},
      {9, u""},
      {77, u""},       // a matching line without a name
      {2147483647, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(NameIn(c.n, file), c.name) << c.n;
  EXPECT_EQ(NameIn(1, u""), u"");
}

class NameFromNumberFile : public TTempFolderTest {};

TEST_F(NameFromNumberFile, ReadsEveryEncoding) {
  WriteBytes(fDir / "ansi.h", "Caf\xE9_topic = 3\r\nIntro_topic = 12\r\n");
  WriteBytes(fDir / "utf8.h", "\xEF\xBB\xBF" "Caf\xC3\xA9_topic = 3\n");
  WriteBytes(fDir / "utf16.h", std::string("\xFF\xFE" "A\0=\0" "4\0", 8));
  EXPECT_EQ(NameFromNumber(12, Wide(fDir / "ansi.h")), u"Intro_topic");
  EXPECT_EQ(NameFromNumber(3, Wide(fDir / "ansi.h")), u"Caf\u00e9_topic");  // active code page 1252
  EXPECT_EQ(NameFromNumber(3, Wide(fDir / "utf8.h")), u"Caf\u00e9_topic");
  EXPECT_EQ(NameFromNumber(4, Wide(fDir / "utf16.h")), u"A");
  EXPECT_EQ(NameFromNumber(120, Wide(fDir / "ansi.h")), u"");
  EXPECT_THROW(NameFromNumber(1, Wide(fDir / "missing.h")), Exception);
}

}  // namespace
}  // namespace qn
