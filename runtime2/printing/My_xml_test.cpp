#include "runtime2/printing/My_xml.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

TEST(My_xml, OnlyAsciiLettersSurvive) {
  struct Case {
    std::u16string_view in;
    std::u16string_view out;
  };
  const Case cases[] = {
      {u"Word 1 (freq.)", u"Wordfreq"},
      {u"123", u""},
      {u"", u""},
      {u"Log_L", u"LogL"},
      {u"% of texts", u"oftexts"},
      {u"Caf\u00e9 \u0394elta", u"Cafelta"},   // letters outside ASCII are dropped
      {u"AZaz@[`{", u"AZaz"},                  // the neighbours of the letter ranges
      {std::u16string_view(u"\xD83D\xDE00x\0y", 5), u"xy"},  // surrogates and a NUL inside
  };
  for (const Case& c : cases) EXPECT_EQ(LegalXMLElementTypeNamefromString(c.in), c.out);
}

}  // namespace
}  // namespace qn
