#include "platform/CodePages.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/CodePageConverters.h"

namespace qn::platform {
namespace {

struct TDecodeCase {
  uint32_t codePage;
  std::string bytes;
  std::u16string text;
};

TEST(CodePages, KnownDecodings) {
  const TDecodeCase cases[] = {
      {1252, "\x80", u"\u20AC"},
      {1252, "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},  // undefined: C1 controls
      {1252, "\x9F\xE9", u"\u0178\u00E9"},
      {1250, "\x8A\xB9", u"\u0160\u0105"},
      {1251, "\xC0\xFF", u"\u0410\u044F"},
      {1253, "\xC1\xF9", u"\u0391\u03C9"},
      {1254, "\xDD\xFD\xF0", u"\u0130\u0131\u011F"},
      {1255, "\xE0\xFA", u"\u05D0\u05EA"},
      {1256, "\xC7\x81", u"\u0627\u067E"},
      {1257, "\xC0\xE8", u"\u0104\u010D"},
      {1258, "\xC3\xD2", u"\u0102\u0309"},
      {874, "\xA1\xDB", u"\u0E01\uF8C1"},
      {437, "\x82\xB0\x1A\x7F", u"\u00E9\u2591\u001A\u007F"},  // ASCII range is ASCII
      {850, "\x9B\xD5", u"\u00F8\u0131"},
      {932, "\x82\xA0\x5C\x7E\xB1", u"\u3042\\~\uFF71"},
      {932, "\x81\x5C\x87\x40\x81\x60", u"\u2015\u2460\uFF5E"},  // the Windows choices
      {932, "\x80\xA0\xFD", u"\u0080\uF8F0\uF8F1"},
      {936, "\xC4\xE3\xBA\xC3\x80", u"\u4F60\u597D\u20AC"},
      {949, "\xB0\xA1\xC7\xD1", u"\uAC00\uD55C"},
      {950, "\xA4\x40\xA4\xA4", u"\u4E00\u4E2D"},
      {65001, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"a\u00E9\u20AC\U0001F600"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decoded(c.codePage, c.bytes), c.text) << c.codePage;
  }
}

TEST(CodePages, InvalidInputBecomesTheReplacementCharacter) {
  const TDecodeCase cases[] = {
      {65001, "\xC0\x80", u"\uFFFD\uFFFD"},            // overlong
      {65001, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {65001, "\xE2\x82", u"\uFFFD"},                  // truncated: one maximal subpart
      {65001, "\x80z", u"\uFFFDz"},
      {65001, "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {932, "a\x82", u"a\uFFFD"},  // lead byte at the end
      {932, "\x85\x40", u"\uFFFD"},
      {20127, "\xE9", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decoded(c.codePage, c.bytes), c.text) << c.codePage;
  }
}

TEST(CodePages, EveryByteOfTheSingleBytePagesSurvivesARoundTrip) {
  for (uint32_t cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u, 437u, 850u,
                      737u, 775u, 852u, 855u, 866u}) {
    ASSERT_TRUE(IsSingleByteCodePage(cp)) << cp;
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::u16string text = Decoded(cp, all);
    ASSERT_EQ(text.size(), 256u) << cp;
    EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos) << cp;
    bool replaced = true;
    std::string back;
    AppendEncoded(cp, text.data(), text.size(), back, &replaced);
    EXPECT_EQ(back, all) << cp;
    EXPECT_FALSE(replaced) << cp;
  }
}

TEST(CodePages, BytesUndefinedInAnOemPageDecodeToTheReplacementCharacter) {
  EXPECT_EQ(Decoded(857, "\xD5\xE7\xF2\xD4"), u"\uFFFD\uFFFD\uFFFD\u00C8");
  EXPECT_EQ(Encoded(857, u"\uFFFD"), "?");
}

struct TEncodeCase {
  uint32_t codePage;
  std::u16string text;
  std::string bytes;
};

TEST(CodePages, KnownEncodingsAndUnmappableCharacters) {
  const TEncodeCase cases[] = {
      {1252, u"\u20AC\u00E9", "\x80\xE9"},
      {1252, u"\u0101\u4E00", "??"},
      {1252, u"a\U0001F600b", "a?b"},  // one "?" for the pair
      {1251, u"\u0416\u00E9", "\xC6?"},
      {1254, u"\u0130", "\xDD"},
      {932, u"\u3042\u20AC\u00E9", "\x82\xA0??"},
      {932, u"\uF8F0\u0080", "\xA0\x80"},
      {936, u"\u4F60\u20AC", "\xC4\xE3\x80"},
      {949, u"\uD55C", "\xC7\xD1"},
      {950, u"\u4E2D", "\xA4\xA4"},
      {65001, u"\u00E9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Encoded(c.codePage, c.text), c.bytes) << c.codePage;
  }
  // Lone surrogates: "?" in code pages, U+FFFD in UTF-8.
  std::u16string lone(1, char16_t(0xDC00));
  EXPECT_EQ(Encoded(1252, lone), "?");
  EXPECT_EQ(Encoded(932, lone), "?");
  EXPECT_EQ(Encoded(65001, lone), "\xEF\xBF\xBD");

  bool replaced = false;
  std::string out = "x";
  AppendEncoded(932, u"\u3042\u20AC", 2, out, &replaced);
  EXPECT_EQ(out, "x\x82\xA0?");
  EXPECT_TRUE(replaced);
}

TEST(CodePages, ActiveCodePageAndUserLocale) {
  EXPECT_EQ(ActiveCodePage(), 1252u);
  EXPECT_EQ(UserDefaultLCID(), 0x0409u);
  EXPECT_EQ(OemCodePage(), 437u);
  EXPECT_EQ(Decoded(CP_ACP, "\x80"), u"\u20AC");
  EXPECT_EQ(Decoded(12345, "\x80"), u"\u20AC");  // unsupported: the active page
  EXPECT_FALSE(SetActiveCodePage(12345));
  EXPECT_EQ(ActiveCodePage(), 1252u);

  ASSERT_TRUE(SetActiveCodePage(1251));
  EXPECT_EQ(Decoded(CP_ACP, "\xC0"), u"\u0410");
  EXPECT_EQ(Encoded(CP_THREAD_ACP, u"\u0410"), "\xC0");
  // A page decoded first and encoded to only later, as the active page.
  EXPECT_EQ(Decoded(1250, "\x8A"), u"\u0160");
  ASSERT_TRUE(SetActiveCodePage(1250));
  EXPECT_EQ(Encoded(CP_ACP, u"\u0160\u017D\u20AC"), "\x8A\x8E\x80");
  ASSERT_TRUE(SetActiveCodePage(932));
  EXPECT_FALSE(IsSingleByteCodePage(CP_ACP));
  EXPECT_EQ(DecodeTableOfCodePage(CP_ACP), nullptr);
  ASSERT_TRUE(SetActiveCodePage(1252));

  SetUserDefaultLCID(0x0400);  // a pseudo identifier: ignored
  EXPECT_EQ(UserDefaultLCID(), 0x0409u);
  SetUserDefaultLCID(0x0419);
  EXPECT_EQ(UserDefaultLCID(), 0x0419u);
  EXPECT_EQ(OemCodePage(), 866u);
  EXPECT_EQ(Decoded(CP_OEMCP, "\x80"), u"\u0410");
  SetUserDefaultLCID(0x0409);
}

TEST(CodePages, Facts) {
  for (uint32_t cp : {874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u,
                      1258u, 65001u, 437u, 850u})
    EXPECT_TRUE(IsCodePageSupported(cp)) << cp;
  EXPECT_FALSE(IsCodePageSupported(1200));
  EXPECT_STREQ(ConverterNameOfCodePage(932), "ibm-943_P15A-2003");
  EXPECT_STREQ(ConverterNameOfCodePage(1252), "ibm-5348_P100-1997");
  EXPECT_EQ(MaxBytesPerChar(65001), 3);
  EXPECT_EQ(MaxBytesPerChar(936), 2);
  EXPECT_EQ(MaxBytesPerChar(1252), 1);
  ASSERT_NE(DecodeTableOfCodePage(1252), nullptr);
  EXPECT_EQ(DecodeTableOfCodePage(1252)[0x80], u'\u20AC');
}

TEST(CodePages, AppendFormsKeepWhatIsThere) {
  std::u16string text = u"ab";
  AppendDecoded(1252, "\x80", 1, text);
  AppendDecoded(65001, "\xC3\xA9", 2, text);
  AppendDecoded(936, "\xC4\xE3", 2, text);
  AppendDecoded(1252, nullptr, 5, text);
  EXPECT_EQ(text, u"ab\u20AC\u00E9\u4F60");
  // UTF-8 longer than the ASCII fast path's eight-byte steps, split sequences.
  std::string long8(37, 'x');
  long8 += "\xE2\x82\xAC";
  long8 += std::string(9, 'y');
  EXPECT_EQ(DecodedUTF8(long8), std::u16string(37, u'x') + u"\u20AC" + std::u16string(9, u'y'));
  EXPECT_EQ(EncodedUTF8(u"\u20AC"), "\xE2\x82\xAC");
}

TEST(CodePages, PlatformStyleEntryPoints) {
  char16_t out[16];
  EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "a\x80", -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "a\x80", -1, out, 16), 3);
  EXPECT_EQ(std::u16string(out), u"a\u20AC");
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, out, 2), 0);  // too small
  EXPECT_EQ(MultiByteToWideChar(65001, MB_ERR_INVALID_CHARS, "a\xC0", 2, out, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "a\xC0", 2, out, 16), 2);
  EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x85\x40", 2, out, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED | MB_COMPOSITE, "a", 1, out, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, 1, out, 16), 0);

  char bytes[16];
  bool used = false;
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"e\u0301", 2, bytes, 16, nullptr, &used), 2);
  EXPECT_EQ(std::string(bytes, 2), "e?");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(1252, WC_COMPOSITECHECK, u"e\u0301", 2, bytes, 16, nullptr, &used), 1);
  EXPECT_EQ(bytes[0], '\xE9');
  EXPECT_FALSE(used);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"\u4E00", 1, bytes, 16, "*", &used), 1);
  EXPECT_EQ(bytes[0], '*');
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u4E00\u20AC", 2, bytes, 16, "*", &used), 3);
  EXPECT_EQ(std::string(bytes, 3), "\x88\xEA*");
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"\u20AC", -1, nullptr, 0), 4);
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"\u20AC", -1, bytes, 3), 0);
}

TEST(CodePages, ConvertersAreSafeOnSeveralThreads) {
  std::string sjis;
  for (int i = 0; i < 2000; ++i) sjis += "\x82\xA0\x88\xEA" "a";
  std::u16string expected;
  for (int i = 0; i < 2000; ++i) expected += u"\u3042\u4E00a";
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      int good = 0;
      for (int round = 0; round < 20; ++round) {
        good += Decoded(932, sjis) == expected;
        good += Encoded(932, expected) == sjis;
      }
      ok[size_t(t)] = good;
    });
  }
  for (auto& thread : threads) thread.join();
  for (int good : ok) EXPECT_EQ(good, 40);
}

// A single-byte page's encoding table is made when the page is first encoded
// to, possibly by several threads at once: all must get the whole table. (No
// other test of this program encodes to 1257 first.)
TEST(CodePages, SingleBytePageFirstEncodedOnSeveralThreads) {
  const std::u16string text = u"\u0100\u0161\u017D \u201E\u00E6\u4E00x";
  const std::string expected = "\xC2\xF0\xDE \x84\xBF?x";  // Baltic: A macron, s and Z caron, ...
  std::vector<std::thread> threads;
  std::vector<std::string> results(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] { results[size_t(t)] = Encoded(1257, text); });
  }
  for (auto& thread : threads) thread.join();
  for (const std::string& result : results) EXPECT_EQ(result, expected);
  char byte[4] = {};
  EXPECT_EQ(EncodeOneChar(1257, 0x017E, byte), 1);  // z caron
  EXPECT_EQ(byte[0], '\xFE');
  EXPECT_EQ(EncodeOneChar(1257, 0x4E00, byte), 0);
  EXPECT_EQ(EncodeOneChar(1257, 0x1F600, byte), 0);
}

}  // namespace
}  // namespace qn::platform
