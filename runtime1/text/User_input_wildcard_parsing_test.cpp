#include "runtime1/text/User_input_wildcard_parsing.h"

#include <gtest/gtest.h>

#include <string>

namespace qn {
namespace {

TEST(WildcardTables, Values) {
  EXPECT_EQ(any_string_symbol_str, u"}}}");
  EXPECT_EQ(any_word_symbol_char, u" * ");
  EXPECT_EQ(crlf_symbol_string, u"/\\");
  EXPECT_EQ(tag_wildcards_converters[not_type][replacement_char], u"\u001F");
  EXPECT_EQ(tag_wildcards_converters[hash_type][original_char], u"#");
  EXPECT_EQ(tag_wildcards_converters[hash_type][replacement_char], u"\u001B");
  EXPECT_EQ(quoted_wildcard_symbols[3], u"\"==\"");
  EXPECT_EQ(quoted_wildcard_symbols[5], u"\":\\\"");
  EXPECT_EQ(quoted_wildcard_symbols[10], u"\"/\\\"");
}

TEST(ParseTranslate, Table) {
  struct Case {
    std::u16string text;
    std::u16string symbol;
    char16_t code;
    std::u16string expected;
    bool result;
  };
  const Case cases[] = {
      {u"a?b?c", u"?", u'\u001C', u"a\u001Cb\u001Cc", true},
      {u"abc", u"#", u'\u001B', u"abc", false},
      {u"a}}}b", u"}}}", u'\u0015', u"a\u0015}}b", true},
      {u"}}}}", u"}}}", u'\u0015', u"\u0015\u0015}}", true},
      {u"}}}}}}", u"}}}", u'\u0015', u"\u0015\u0015\u0015\u0015}}", true},
      {u"a * b", u" * ", u'\u001A', u"a\u001A* b", true},
      {u"", u"?", u'\u001C', u"", false},
      {u"abc", u"", u'x', u"abc", false},
      {u"aaa", u"a", u'a', u"aaa", false},  // a code equal to the symbol's start
      // A mark that completes an occurrence further left: the search from the
      // left finds it again.
      {u"aab", u"ab", u'b', u"bbb", true},
  };
  for (Case c : cases) {
    const bool r = Parse_Translate(c.text, c.symbol, c.code);
    EXPECT_EQ(c.text, c.expected);
    EXPECT_EQ(r, c.result);
  }
}

TEST(ParseRetainRestore, RoundTrip) {
  std::u16string text = u"a\"*\"b";
  Parse_Retain(text, kQuotedSymbolsPrivateBase);
  EXPECT_EQ(text, u"a\uE002b");
  Parse_Restore(text, kQuotedSymbolsPrivateBase);
  EXPECT_EQ(text, u"a*b");

  // Every symbol, each between quotes; unquoted symbols are not retained.
  std::u16string all;
  for (const auto q : quoted_wildcard_symbols) all += std::u16string(q) + u" ";
  all += u"* ?";
  std::u16string work = all;
  Parse_Retain(work, kQuotedSymbolsPrivateBase);
  std::u16string expected;
  for (int i = 0; i < kQuotedWildcardSymbolsCount; ++i) {
    expected.push_back(static_cast<char16_t>(0xE000 + i));
    expected += u" ";
  }
  expected += u"* ?";
  EXPECT_EQ(work, expected);
  // The translation between retain and restore leaves quoted symbols alone.
  EXPECT_TRUE(Parse_Translate(work, u"*", u'\u001D'));
  Parse_Restore(work, kQuotedSymbolsPrivateBase);
  EXPECT_EQ(work, u"^ / * == ? :\\ < > # }}} /\\ \u001D ?");
}

TEST(ParseRetainRestore, OddArguments) {
  std::u16string text = u"\"*\"";
  Parse_RetainOne(text, 0x110000, u"\"*\"");
  EXPECT_EQ(text, u"\"*\"");
  Parse_RetainOne(text, 0xE000, u"");
  EXPECT_EQ(text, u"\"*\"");
  // A code equal to the quote itself: what it completes is replaced too.
  text = u"\"*\"*\"";
  Parse_RetainOne(text, u'"', u"\"*\"");
  EXPECT_EQ(text, u"\"");
  // A symbol holding its own code is put back once, not for ever.
  text = u"xAx";
  Parse_RestoreOne(text, u'A', u" \"AA\" ");
  EXPECT_EQ(text, u"xAAx");
  text = u"abc";
  Parse_Restore(text, kQuotedSymbolsPrivateBase);
  EXPECT_EQ(text, u"abc");
}

TEST(TagWildcardConverted, Table) {
  struct Case {
    std::u16string text;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"<*>", u"<\u001D>"},
      {u"<\"*\">", u"<*>"},
      {u"~x", u"\u001Fx"},
      {u"<?#>", u"<\u001C\u001B>"},
      {u"**", u"\u001D*"},                 // only the first occurrence
      {u"\"*\"*", u"**"},                  // a quoted form wins; the bare one stays
      {u"^~?#*", u"\u001E\u001F\u001C\u001B\u001D"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(TagWildcardConverted(c.text), c.expected);
}

}  // namespace
}  // namespace qn
