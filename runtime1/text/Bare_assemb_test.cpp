#include "runtime1/text/Bare_assemb.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace qn {
namespace {

std::u16string W(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

ANSILower_or_upperStr_type Set(const std::string& chars) {
  ANSILower_or_upperStr_type set;
  set.Length = static_cast<uint8_t>(chars.size());
  std::memcpy(set.Chars, chars.data(), chars.size());
  return set;
}

// --- Searching -----------------------------------------------------------------

struct PosCase {
  const char* text;
  int32_t length;  // -1: the whole text
  const char* needle;
  int expected;    // offset of the match, -1 for none
};

TEST(BareAssemb, FastStrPosBothFamilies) {
  const PosCase cases[] = {
      {"hello world", -1, "world", 6},
      {"hello world", -1, "hello world", 0},  // needle exactly as long as the text
      {"hello world", -1, "hello world!", -1},
      {"hello world", -1, "", -1},
      {"hello world", 0, "h", -1},
      {"hello world", 10, "world", -1},  // the match must lie wholly inside the range
      {"hello world", 10, "worl", 6},
      {"abababc", -1, "abc", 4},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", -1, "aab", 33},
      {"xyz", -1, "z", 2},
      {"xyz", 2, "z", -1},
  };
  for (const PosCase& c : cases) {
    const int32_t length = c.length < 0 ? static_cast<int32_t>(std::strlen(c.text)) : c.length;
    const char* hit = FastStrPos(c.text, c.needle, length);
    EXPECT_EQ(hit == nullptr ? -1 : hit - c.text, c.expected) << c.text << " / " << c.needle;
    const std::u16string text = W(c.text);
    const std::u16string needle = W(c.needle);
    const char16_t* hitW = FastStrPosW(text.c_str(), needle.c_str(), length);
    EXPECT_EQ(hitW == nullptr ? -1 : hitW - text.c_str(), c.expected) << c.text << " / " << c.needle;
  }
  EXPECT_EQ(FastStrPos(static_cast<const char*>(nullptr), "a", 3), nullptr);
  EXPECT_EQ(FastStrPos("abc", nullptr, 3), nullptr);
  EXPECT_EQ(FastStrPosW(static_cast<const char16_t*>(nullptr), u"a", 3), nullptr);
  EXPECT_EQ(FastStrPosW(u"abc", nullptr, 3), nullptr);
}

struct IPosCase {
  const char* text;
  const char* lower;
  const char* upper;
  int expected;
};

TEST(BareAssemb, FastStrIPosBothFamilies) {
  const IPosCase cases[] = {
      {"xAbY", "ab", "AB", 1},
      {"xaBY", "ab", "AB", 1},
      {"xy", "ab", "AB", -1},
      {"xAbY", "ab", "ABC", -1},  // the two forms differ in length
      {"AB", "ab", "AB", 0},      // a needle as long as the text is found
      {"xxAb", "ab", "AB", 2},    // a match ending at the last unit is found
      {"q", "q", "Q", 0},
      {"zzzQ", "q", "Q", 3},
      {"", "a", "A", -1},
      {"abc", "", "", -1},
      {"the cat sat on THE MAT, the end", "mat", "MAT", 19},
  };
  for (const IPosCase& c : cases) {
    const int32_t length = static_cast<int32_t>(std::strlen(c.text));
    const char* hit = FastStrIPos(c.text, c.lower, c.upper, length);
    EXPECT_EQ(hit == nullptr ? -1 : hit - c.text, c.expected) << c.text << " / " << c.lower;
    const std::u16string text = W(c.text), lower = W(c.lower), upper = W(c.upper);
    const char16_t* hitW = FastStrIPosW(text.c_str(), lower.c_str(), upper.c_str(), length);
    EXPECT_EQ(hitW == nullptr ? -1 : hitW - text.c_str(), c.expected) << c.text << " / " << c.lower;
  }
  EXPECT_EQ(FastStrIPosW(u"abc", nullptr, u"A", 3), nullptr);
  EXPECT_EQ(FastStrIPosW(u"abc", u"a", nullptr, 3), nullptr);
}

TEST(BareAssemb, FastStrScan) {
  const char* text = "abcdefghijklmnopqrstuvwxyz0123456789";
  EXPECT_EQ(FastStrScan(text, 'a', 0), nullptr);
  EXPECT_EQ(FastStrScan(text, '9', 36), text + 35);
  EXPECT_EQ(FastStrScan(text, '9', 35), nullptr);
  EXPECT_EQ(FastStrScan(text, 'q', 36), text + 16);
  const std::u16string w = W(text) + u"\u0430";
  EXPECT_EQ(FastStrScanW(w.c_str(), u'\u0430', 37), w.c_str() + 36);
  EXPECT_EQ(FastStrScanW(w.c_str(), u'\u0430', 36), nullptr);
  EXPECT_EQ(FastStrScanW(w.c_str(), u'a', 0), nullptr);
  // A unit that shares a byte with the target does not match.
  const std::u16string near = u"\u0161\u6100a";
  EXPECT_EQ(FastStrScanW(near.c_str(), u'a', 3), near.c_str() + 2);
}

// The vector paths must agree with the plain definition at every alignment,
// length and position; random texts over a small alphabet give many partial
// matches.
TEST(BareAssemb, SearchesAgreeWithNaiveReference) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    const int n = static_cast<int>(random() % 90);
    const int m = 1 + static_cast<int>(random() % 6);
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    std::u16string lower(static_cast<size_t>(m), u'\0');
    for (int i = 0; i < n; ++i) text[i] = u"abAB"[random() % 4];
    for (int i = 0; i < m; ++i) lower[i] = u"ab"[random() % 2];
    std::u16string upper = lower;
    for (char16_t& c : upper) c = static_cast<char16_t>(c - 0x20);
    const int offset = static_cast<int>(random() % 3);  // vary the alignment
    const std::u16string shifted = std::u16string(offset, u'#') + text;
    const char16_t* t = shifted.c_str() + offset;

    int exact = -1, caseless = -1;
    for (int i = 0; i + m <= n; ++i) {
      bool e = true, c = true;
      for (int k = 0; k < m; ++k) {
        e = e && t[i + k] == lower[k];
        c = c && (t[i + k] == lower[k] || t[i + k] == upper[k]);
      }
      if (e && exact < 0) exact = i;
      if (c && caseless < 0) caseless = i;
    }
    const char16_t* hit = FastStrPosW(t, lower.c_str(), n);
    ASSERT_EQ(hit == nullptr ? -1 : hit - t, exact) << "round " << round;
    const char16_t* ihit = FastStrIPosW(t, lower.c_str(), upper.c_str(), n);
    ASSERT_EQ(ihit == nullptr ? -1 : ihit - t, caseless) << "round " << round;

    std::string t8(shifted.begin(), shifted.end());
    std::string lower8(lower.begin(), lower.end()), upper8(upper.begin(), upper.end());
    const char* hit8 = FastStrPos(t8.c_str() + offset, lower8.c_str(), n);
    ASSERT_EQ(hit8 == nullptr ? -1 : hit8 - (t8.c_str() + offset), exact) << "round " << round;
    const char* ihit8 = FastStrIPos(t8.c_str() + offset, lower8.c_str(), upper8.c_str(), n);
    ASSERT_EQ(ihit8 == nullptr ? -1 : ihit8 - (t8.c_str() + offset), caseless) << "round " << round;
  }
}

TEST(BareAssemb, EqualAndHowFarEqual) {
  struct Case {
    const char* a;
    const char* b;
    int32_t length;
    bool equal;
    int32_t howFar;
  };
  const Case cases[] = {
      {"abcde", "abXde", 5, false, 2},
      {"abcde", "abcde", 5, true, 0},
      {"abcde", "abcdX", 5, false, 0},  // a difference at the last unit also gives 0
      {"Xbcde", "abcde", 5, false, 4},
      {"abcde", "Xbcde", 0, true, 0},
      {"0123456789abcdefghijklmnopqrstuv", "0123456789abcdefghijklmnopqrstuV", 32, false, 0},
      {"0123456789abcdefghijklmnopqrstuv", "0123456789abcdefgh!jklmnopqrstuv", 32, false, 13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualContentsA(c.a, c.b, c.length), c.equal) << c.a << " " << c.b;
    EXPECT_EQ(HowFarEqualContentsA(c.a, c.b, c.length), c.howFar) << c.a << " " << c.b;
    const std::u16string a = W(c.a), b = W(c.b);
    EXPECT_EQ(EqualContentsW(a.c_str(), b.c_str(), c.length), c.equal) << c.a << " " << c.b;
    EXPECT_EQ(HowFarEqualContentsW(a.c_str(), b.c_str(), c.length), c.howFar) << c.a << " " << c.b;
  }
  // UTF-16 units that differ only in their high byte.
  const std::u16string a = u"xx\u0141yy", b = u"xx\u0241yy";
  EXPECT_EQ(HowFarEqualContentsW(a.c_str(), b.c_str(), 5), 2);
  EXPECT_FALSE(EqualContentsW(a.c_str(), b.c_str(), 5));
}

TEST(BareAssemb, ByteOrderMarks) {
  const unsigned char le[] = {0xFF, 0xFE, 0x41, 0x00};
  const unsigned char be[] = {0xFE, 0xFF, 0x00, 0x41};
  const unsigned char utf8[] = {0xEF, 0xBB, 0xBF, 0x41};
  EXPECT_TRUE(UnicodeSigned(le));
  EXPECT_TRUE(UnicodeSigned(be));
  EXPECT_FALSE(UnicodeSigned(utf8));
  EXPECT_FALSE(UnicodeByteReversed(le));
  EXPECT_TRUE(UnicodeByteReversed(be));
  EXPECT_FALSE(UnicodeByteReversed(utf8));
}

TEST(BareAssemb, Checksums) {
  EXPECT_EQ(My4Checksum("abcd", 4), 0x64636261u);
  EXPECT_EQ(My4Checksum("abcdefgh", 8), 0xCCCAC8C6u);
  EXPECT_EQ(My4Checksum("abcdefg", 7), 0x64636261u);
  EXPECT_EQ(My4Checksum("abc", 3), 0u);
  EXPECT_EQ(My4Checksum("abcd", 0), 0u);
  EXPECT_EQ(My2Checksum("abcd", 2), 0xC6C4u);
  // Both accumulators wrap.
  const unsigned char ones[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
  EXPECT_EQ(My4Checksum(ones, 8), 1u);
  EXPECT_EQ(My2Checksum(ones, 2), 0xFFFEu);
  EXPECT_EQ(My2Checksum(ones, 3), 0u);
}

// --- Cleaning -------------------------------------------------------------------

TEST(BareAssemb, SameLengthCleaners) {
  std::string a = "a\tb\x01\x1F \x7F\x80\r\n";
  ReplaceTabsBySpace(a.data(), static_cast<int32_t>(a.size()));
  EXPECT_EQ(a, "a b\x01\x1F \x7F\x80\r\n");
  ReplaceControlCharsBySpaceA(a.data(), static_cast<int32_t>(a.size()));
  EXPECT_EQ(a, "a b   \x7F\x80  ");

  std::u16string w = u"a\tb\u0001\u001F \u0120\u1F00x";
  ReplaceControlCharsBySpaceW(w.data(), static_cast<int32_t>(w.size()));
  EXPECT_EQ(w, u"a b   \u0120\u1F00x");  // 0x120 and 0x1F00 share a low byte with controls

  std::string r = "x;y;;z;";
  ReplaceCharacterBySpace(r.data(), ';', 6);  // the last ';' is outside the range
  EXPECT_EQ(r, "x y  z;");
  std::u16string rw = u"\u00E9t\u00E9";
  ReplaceCharacterBySpaceW(rw.data(), u'\u00E9', 3);
  EXPECT_EQ(rw, u" t ");

  struct CrCase {
    const char* in;
    const char* out;
  };
  const CrCase crs[] = {
      {"a\r\nb", "a  b"}, {"a\nb", "a\nb"}, {"a\r\r\nb", "a   b"}, {"a\n\rb", "a\n b"}, {"\r", " "}};
  for (const CrCase& c : crs) {
    std::string s = c.in;
    ReplaceCarriageReturnsBySpaceA(s.data(), static_cast<int32_t>(s.size()));
    EXPECT_EQ(s, c.out) << c.in;
    std::u16string sw = W(c.in);
    ReplaceCarriageReturnsBySpaceW(sw.data(), static_cast<int32_t>(sw.size()));
    EXPECT_EQ(sw, W(c.out)) << c.in;
  }
  std::string edge = "ab\r\n";
  ReplaceCarriageReturnsBySpaceA(edge.data(), 3);  // the LF lies outside the range
  EXPECT_EQ(edge, "ab \n");

  std::string blank = "abcdef";
  BlankOutSomeBytesA(blank.data(), 3);
  BlankOutSomeBytesA(blank.data(), -1);
  EXPECT_EQ(blank, "   def");
  std::u16string blankW = u"abcdef";
  BlankOutSomeBytesW(blankW.data(), 2);
  EXPECT_EQ(blankW, u"  cdef");
  ZeroSomeBytesW(blankW.data(), 3);  // code units, not bytes
  EXPECT_EQ(blankW, std::u16string(u"\0\0\0def", 6));
  ZeroSomeBytesW(blankW.data(), 0);
  EXPECT_EQ(blankW[3], u'd');
}

TEST(BareAssemb, CaseRoutines) {
  // In code page 1252: a-grave E0 / C0, e-acute E9 / C9.
  const ANSILower_or_upperStr_type lowers = Set("\xE0\xE9");
  const ANSILower_or_upperStr_type uppers = Set("\xC0\xC9");
  struct Case {
    const char* in;
    const char* cut;
    const char* capitalised;
  };
  const Case cases[] = {
      {"the BBC said", "    BBC     ", "THE BBC SAID"},
      {"hello World", "      World", "HELLO WORLD"},
      {"iPhone", " Phone", "IPHONE"},
      {"\xE9t\xE9 \xC9lan", "    \xC9lan", "\xC9T\xC9 \xC9LAN"},
      {"l'\xC9t\xE9", " '\xC9t\xE9", "L'\xC9T\xC9"},  // apostrophe keeps the word
      {"a_b[c", " _ [ ", "A_B[C"},
      {"x\xFFy", " \xFF ", "X\xFFY"},  // bytes in neither set stay
      {"12ab\tcd", "12  \t  ", "12AB\tCD"},
  };
  for (const Case& c : cases) {
    std::string cut = c.in;
    CutLowercaseWords(cut.data(), lowers, uppers, static_cast<int32_t>(cut.size()));
    EXPECT_EQ(cut, c.cut) << c.in;
    std::string cap = c.in;
    CapitaliseABuffer(cap.data(), lowers, uppers, static_cast<int32_t>(cap.size()));
    EXPECT_EQ(cap, c.capitalised) << c.in;
  }
  // An empty set turns off the mapping above 'z'.
  std::string s = "\xE0z";
  CapitaliseABuffer(s.data(), Set(""), uppers, 2);
  EXPECT_EQ(s, "\xE0Z");
  // A corrupt length byte is clamped to the capacity.
  ANSILower_or_upperStr_type corrupt = Set("\xE0");
  corrupt.Length = 255;
  std::string t = "\xE0";
  CapitaliseABuffer(t.data(), corrupt, corrupt, 1);
  EXPECT_EQ(t, "\xE0");
}

TEST(BareAssemb, SearchAndReplaceFastW) {
  struct Case {
    const char16_t* in;
    const char16_t* needle;
    const char16_t* replacement;
    int32_t length;
    const char16_t* out;
  };
  const Case cases[] = {
      {u"abcabcab", u"ab", u"XY", 8, u"XYcXYcXY"},
      {u"aaaa", u"aa", u"bb", 4, u"bbbb"},
      {u"aaa", u"aa", u"ba", 3, u"baa"},  // resumes after the replaced text
      {u"abcab", u"ab", u"XY", 4, u"XYcab"},
      {u"a.b.", u".", u",", 4, u"a,b,"},
  };
  for (const Case& c : cases) {
    std::u16string s = c.in;
    const int32_t m = static_cast<int32_t>(std::char_traits<char16_t>::length(c.needle));
    SearchAndReplaceFastW(s.data(), c.needle, c.replacement, c.length, m);
    EXPECT_EQ(s, c.out);
  }
}

TEST(BareAssemb, Swap2Strings) {
  struct Case {
    const char16_t* in;
    int32_t a;
    int32_t b;
    const char16_t* out;
  };
  const Case cases[] = {
      {u"abcXY", 3, 2, u"XYabc"}, {u"abcXY", 5, 0, u"abcXY"}, {u"abcXY", 0, 5, u"abcXY"},
      {u"abXY", 2, 2, u"XYab"},   {u"abcdXY", 4, 2, u"XYabcd"}, {u"aXYZ", 1, 3, u"XYZa"},
      {u"abcdefXYZ", 6, 3, u"XYZabcdef"},
  };
  for (const Case& c : cases) {
    std::u16string s = c.in;
    Swap2Strings(s.data(), c.a, c.b);
    EXPECT_EQ(s, c.out) << c.a << "," << c.b;
  }
  std::u16string zero(u"\0bc", 3);
  Swap2Strings(zero.data(), 1, 2);
  EXPECT_EQ(zero, std::u16string(u"\0bc", 3));
}

TEST(BareAssemb, ZeroWidthJoiners) {
  const std::u16string text = u"a\u200Db\u200Cc\u200D";
  uint16_t types[6] = {0x0101, 0x0001, 0x0102, 0x0001, 0x0103, 0x0001};
  SetZeroWidthJoinersToDefined(text.c_str(), types, 5);  // the last joiner is outside
  SetZeroWidthNonJoinersToDefinedAlpha(text.c_str(), types, 6);
  const uint16_t expected[6] = {0x0101, 0x0200, 0x0102, 0x0300, 0x0103, 0x0001};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(types[i], expected[i]) << i;
}

// --- Compaction -------------------------------------------------------------------

TEST(BareAssemb, ClearAndCleanBetweenChars) {
  struct Case {
    const char* in;
    char open;
    char close;
    int32_t span;  // 0: ClearBetweenChars
    bool remove;
    const char* out;
  };
  const Case cases[] = {
      {"a<b>c<d", '<', '>', 0, true, "acd"},
      {"<x><y>z", '<', '>', 0, true, "z"},
      {"a<<b>c", '<', '>', 0, true, "ac"},
      {"a\"b\"c", '"', '"', 0, true, "abc"},  // same byte: every occurrence goes alone
      {"x<abc>y", '<', '>', 5, false, "x     y"},
      {"x<abc>y", '<', '>', 5, true, "xy"},
      {"x<abc>y", '<', '>', 4, true, "xabc>y"},
      {"x<abc>y", '<', '>', 4, false, "xabc>y"},
      {"<a> <bbbbbbb> <c>", '<', '>', 3, true, " bbbbbbb> "},
      {"a<b", '<', '>', 10, false, "ab"},
      {"", '<', '>', 0, true, ""},
  };
  for (const Case& c : cases) {
    const size_t n = std::strlen(c.in);
    std::string buffer(c.in);
    buffer.push_back('#');  // room for the terminator
    if (c.span == 0) {
      ClearBetweenChars(buffer.data(), c.open, c.close, static_cast<int32_t>(n));
    } else {
      CleanBetweenChars(buffer.data(), c.open, c.close, static_cast<int32_t>(n), c.span, c.remove);
    }
    EXPECT_STREQ(buffer.c_str(), c.out) << c.in << " span " << c.span;
  }
}

TEST(BareAssemb, ClearBetweenCharsStaysLinearOnUnmatchedOpenings) {
  // Many openings without a closing byte: each is dropped alone.
  std::string buffer(200000, '<');
  buffer += "x";
  buffer.push_back('\0');
  ClearBetweenChars(buffer.data(), '<', '>', static_cast<int32_t>(buffer.size() - 1));
  EXPECT_STREQ(buffer.c_str(), "x");
}

TEST(BareAssemb, RemoveRedundantSpaceW) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  };
  const Case cases[] = {
      {u"a  b", u"a b"},        {u"   ", u" "},          {u"a b", u"a b"},
      {u"  a   b  ", u" a b "}, {u"a\t\tb", u"a\t\tb"}, {u"", u""},
      {u"x          y", u"x y"}, {u"abcdefghijklmnopq  r", u"abcdefghijklmnopq r"},
  };
  for (const Case& c : cases) {
    std::u16string buffer = std::u16string(c.in) + u'#';
    const int32_t n = static_cast<int32_t>(buffer.size() - 1);
    const int32_t result = RemoveRedundantSpaceW(buffer.data(), n);
    EXPECT_EQ(std::u16string(buffer.c_str()), c.out);
    EXPECT_EQ(result, static_cast<int32_t>(std::char_traits<char16_t>::length(c.out)));
  }
}

TEST(BareAssemb, CutDoubleCRLFsW) {
  struct Case {
    const char16_t* in;
    const char16_t* out;  // up to the first zero
  };
  const Case cases[] = {
      {u"\r\n\r\n\r\nx", u"\r\nx"},
      {u"a\r\n\r\nb\r\n\r\n", u"a\r\nb\r\n"},
      {u"a\r\nb", u"a\r\nb"},
      {u"\r\r\n\r\n", u"\r\r\n"},
      {u"\r\n\n\r\n", u"\r\n\n\r\n"},
  };
  for (const Case& c : cases) {
    std::u16string buffer = c.in;
    CutDoubleCRLFsW(buffer.data(), static_cast<int32_t>(buffer.size()));
    EXPECT_EQ(std::u16string(buffer.c_str()), c.out);
  }
  // Nothing removed: not even a terminator is written.
  std::u16string untouched = u"ab\r\ncd";
  CutDoubleCRLFsW(untouched.data(), 6);
  EXPECT_EQ(untouched, u"ab\r\ncd");
}

TEST(BareAssemb, LengthConvertedToUnix) {
  std::string s = "a\r\nb";
  EXPECT_EQ(LengthConvertedToUnix(s.data(), 4), 3);
  EXPECT_EQ(s.substr(0, 3), "a\rb");
  std::string t = "\n\nx\ny\n";
  EXPECT_EQ(LengthConvertedToUnix(t.data(), 6), 2);
  EXPECT_EQ(t.substr(0, 2), "xy");
  EXPECT_EQ(t.substr(2), "x\ny\n");  // the bytes after the new length are not cleared
  std::string u = "abc";
  EXPECT_EQ(LengthConvertedToUnix(u.data(), 0), 0);
}

// --- The cleaners against their step-by-step definitions, on random texts long
// enough for the vector paths -----------------------------------------------------

std::string ReferenceCutLowercase(std::string s, const std::string& lowers,
                                  const std::string& uppers) {
  bool flag = false;
  for (char& ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= 0x20) {
      flag = false;
    } else if (c <= 0x40) {
    } else if (c >= 'A' && c <= 'Z') {
      flag = true;
    } else if (flag) {
    } else if (c >= 0x5B && c <= 0x60) {
    } else if (c >= 'a' && c <= 'z') {
      ch = ' ';
    } else if (lowers.find(ch) != std::string::npos) {
      ch = ' ';
    } else if (uppers.find(ch) != std::string::npos) {
      flag = true;
    }
  }
  return s;
}

std::string ReferenceClean(const std::string& s, char open, char close, size_t span, bool remove) {
  std::string out;
  size_t r = 0;
  while (r < s.size()) {
    if (s[r] != open) {
      out += s[r++];
      continue;
    }
    const size_t limit = std::min(span, s.size() - r);
    size_t k = 0;
    while (k < limit && s[r + k] != close) ++k;
    if (k < limit) {
      if (!remove) out.append(k + 1, ' ');
      r += k + 1;
    } else {
      ++r;
    }
  }
  return out;
}

std::u16string ReferenceRemoveRedundantSpace(const std::u16string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u' ' && !out.empty() && out.back() == u' ' && i > 0 && s[i - 1] == u' ') continue;
    out += s[i];
  }
  return out;
}

std::u16string ReferenceCutDoubleCRLFs(const std::u16string& s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, 4, u"\r\n\r\n") == 0) {
      i += 2;
    } else {
      out += s[i++];
    }
  }
  return out;
}

template <typename S>
S ReferenceCarriageReturns(S s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\r') continue;
    s[i] = ' ';
    if (i + 1 < s.size() && s[i + 1] == '\n') s[i + 1] = ' ';
  }
  return s;
}

// The cleaners have 256-bit forms on processors with AVX2 (packing kept bytes
// faster with AVX-512) and 128-bit forms everywhere; each test below runs at
// every level this processor has, so the forms it does not pick by itself are
// checked too.
class EveryKernelLevel : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (bare_detail::LimitKernelLevel(GetParam()) != GetParam()) {
      GTEST_SKIP() << "this processor has no kernels of level " << GetParam();
    }
  }
  void TearDown() override { bare_detail::LimitKernelLevel(2); }
};

std::string KernelLevelName(const ::testing::TestParamInfo<int>& info) {
  static const char* const kNames[] = {"Sse2", "Avx2", "Avx512"};
  return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(BareAssemb, EveryKernelLevel, ::testing::Values(2, 1, 0),
                         KernelLevelName);

TEST_P(EveryKernelLevel, CleanersAgreeWithDefinitionsOnRandomText) {
  std::mt19937 random(99);
  // Letters above 'z' in several rows and columns of the byte table, some in
  // the caller's sets and some not; every other round the sets also name
  // bytes between 'z' and 0x80.
  const std::string alphabet8 = "  aaabBZz1_<>\n\r\xE0\xC0\xFF\t\x9A\x8A\xE1\x80{~";
  const std::string lowerSets[] = {"\xE0\x9A", "\xE0\x9A{"};
  const std::string upperSets[] = {"\xC0\x8A", "\xC0\x8A~"};
  for (int round = 0; round < 2000; ++round) {
    const std::string& lowerChars = lowerSets[round % 2];
    const std::string& upperChars = upperSets[round % 2];
    const ANSILower_or_upperStr_type lowers = Set(lowerChars), uppers = Set(upperChars);
    // Up to several 64-byte blocks; some texts are nearly all letters, so that
    // words and sections run across block boundaries.
    const size_t n = random() % 700;
    const size_t letters = round % 3 == 0 ? 1 + random() % 60 : 0;
    std::string text(n, ' ');
    for (char& c : text) {
      c = letters != 0 && random() % letters != 0 ? "aZb\xE0"[random() % 4]
                                                   : alphabet8[random() % alphabet8.size()];
    }

    std::string controls = text;
    ReplaceControlCharsBySpaceA(controls.data(), static_cast<int32_t>(n));
    std::string expectedControls = text;
    for (char& c : expectedControls) c = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    ASSERT_EQ(controls, expectedControls) << "round " << round;
    std::string crs = text;
    ReplaceCarriageReturnsBySpaceA(crs.data(), static_cast<int32_t>(n));
    ASSERT_EQ(crs, ReferenceCarriageReturns(text)) << "round " << round;

    std::string cut = text;
    CutLowercaseWords(cut.data(), lowers, uppers, static_cast<int32_t>(n));
    ASSERT_EQ(cut, ReferenceCutLowercase(text, lowerChars, upperChars)) << "round " << round;

    std::string capitalised = text;
    CapitaliseABuffer(capitalised.data(), lowers, uppers, static_cast<int32_t>(n));
    std::string upper = text;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
      const size_t k = lowerChars.find(c);
      if (k != std::string::npos) c = upperChars[k];
    }
    ASSERT_EQ(capitalised, upper) << "round " << round;

    const size_t span = 1 + random() % (round % 2 == 0 ? 12 : 200);
    const bool remove = random() % 2 == 0;
    std::string cleaned = text + '#';
    CleanBetweenChars(cleaned.data(), '<', '>', static_cast<int32_t>(n), static_cast<int32_t>(span), remove);
    ASSERT_EQ(std::string(cleaned.c_str()), ReferenceClean(text, '<', '>', span, remove)) << "round " << round;
    std::string cleared = text + '#';
    ClearBetweenChars(cleared.data(), '<', '>', static_cast<int32_t>(n));
    ASSERT_EQ(std::string(cleared.c_str()), ReferenceClean(text, '<', '>', n + 1, true)) << "round " << round;

    std::string unix = text;
    const int32_t kept = LengthConvertedToUnix(unix.data(), static_cast<int32_t>(n));
    std::string expected = text;
    expected.erase(std::remove(expected.begin(), expected.end(), '\n'), expected.end());
    ASSERT_EQ(unix.substr(0, static_cast<size_t>(kept)), expected) << "round " << round;
    // Nothing past the new length changes.
    ASSERT_EQ(unix.substr(static_cast<size_t>(kept)), text.substr(static_cast<size_t>(kept)))
        << "round " << round;

    std::u16string w(n, u' ');
    // U+0D0A and U+0120 hold the bytes of CR, LF and space without being them.
    for (char16_t& c : w) c = u" \r\nab\u0D0A\u0120"[random() % 7];
    std::u16string crsW = w;
    ReplaceCarriageReturnsBySpaceW(crsW.data(), static_cast<int32_t>(n));
    ASSERT_EQ(crsW, ReferenceCarriageReturns(w)) << "round " << round;
    std::u16string controlsW = w;
    ReplaceControlCharsBySpaceW(controlsW.data(), static_cast<int32_t>(n));
    std::u16string expectedControlsW = w;
    for (char16_t& c : expectedControlsW) c = c < 0x20 ? u' ' : c;
    ASSERT_EQ(controlsW, expectedControlsW) << "round " << round;
    std::u16string spaced = w + u'#';
    const int32_t newLength = RemoveRedundantSpaceW(spaced.data(), static_cast<int32_t>(n));
    const std::u16string collapsed = ReferenceRemoveRedundantSpace(w);
    ASSERT_EQ(spaced.substr(0, static_cast<size_t>(newLength)), collapsed) << "round " << round;
    ASSERT_EQ(spaced[static_cast<size_t>(newLength)], u'\0');
    std::u16string crlf = w;
    CutDoubleCRLFsW(crlf.data(), static_cast<int32_t>(n));
    const std::u16string reduced = ReferenceCutDoubleCRLFs(w);
    if (reduced.size() == n) {
      ASSERT_EQ(crlf, w) << "round " << round;  // untouched
    } else {
      ASSERT_EQ(crlf.substr(0, reduced.size() + 1), reduced + u'\0') << "round " << round;
    }
  }
}

// --- Guard page ------------------------------------------------------------------

// A buffer whose last unit lies directly before an inaccessible page: any read
// or write past the range faults.
class GuardedBuffer {
 public:
  GuardedBuffer() {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    base_ = static_cast<char*>(p);
    mprotect(base_ + page_, page_, PROT_NONE);
  }
  ~GuardedBuffer() {
    if (base_ != nullptr) munmap(base_, 2 * page_);
  }
  bool ok() const { return base_ != nullptr; }
  // `bytes` copied so that they end exactly at the guard.
  template <typename U>
  U* Place(const std::basic_string<U>& content) {
    char* start = base_ + page_ - content.size() * sizeof(U);
    std::memcpy(start, content.data(), content.size() * sizeof(U));
    return reinterpret_cast<U*>(start);
  }

 private:
  size_t page_ = 0;
  char* base_ = nullptr;
};

TEST_P(EveryKernelLevel, NothingReadsOrWritesPastTheRange) {
  GuardedBuffer guard;
  ASSERT_TRUE(guard.ok());
  const ANSILower_or_upperStr_type lowers = Set("\xE0"), uppers = Set("\xC0");
  // Texts whose interesting part sits at the very end, at lengths around the
  // vector widths.
  for (int n = 1; n <= 140; ++n) {
    std::string a(static_cast<size_t>(n) - 1, 'x');
    a += '\r';
    std::u16string w(a.begin(), a.end());
    const int32_t len = n;

    char* pa = guard.Place(a);
    EXPECT_EQ(FastStrPos(pa, "x\r", len) != nullptr, n >= 2);
    EXPECT_EQ(FastStrPos(pa, "\ry", len), nullptr);
    EXPECT_EQ(FastStrIPos(pa, "x\r", "X\r", len) != nullptr, n >= 2);
    EXPECT_EQ(FastStrIPos(pa, "xy", "XY", len), nullptr);
    EXPECT_EQ(FastStrScan(pa, '\r', len), pa + n - 1);
    EXPECT_EQ(FastStrScan(pa, 'q', len), nullptr);
    EXPECT_TRUE(EqualContentsA(pa, a.c_str(), len));
    EXPECT_EQ(HowFarEqualContentsA(pa, a.c_str(), len), 0);
    My4Checksum(pa, len);
    My2Checksum(pa, len / 2);
    ReplaceCharacterBySpace(pa, 'x', len);
    pa = guard.Place(a);
    ReplaceTabsBySpace(pa, len);
    ReplaceControlCharsBySpaceA(pa, len);
    pa = guard.Place(a);
    ReplaceCarriageReturnsBySpaceA(pa, len);
    EXPECT_EQ(pa[n - 1], ' ');
    BlankOutSomeBytesA(pa, len);
    CutLowercaseWords(pa, lowers, uppers, len);
    CapitaliseABuffer(pa, lowers, uppers, len);
    pa = guard.Place(a);
    EXPECT_EQ(LengthConvertedToUnix(pa, len), n);

    char16_t* pw = guard.Place(w);
    EXPECT_EQ(FastStrPosW(pw, u"x\r", len) != nullptr, n >= 2);
    EXPECT_EQ(FastStrPosW(pw, u"\ry", len), nullptr);
    EXPECT_EQ(FastStrIPosW(pw, u"x\r", u"X\r", len) != nullptr, n >= 2);
    EXPECT_EQ(FastStrIPosW(pw, u"xy", u"XY", len), nullptr);
    EXPECT_EQ(FastStrScanW(pw, u'\r', len), pw + n - 1);
    EXPECT_EQ(FastStrScanW(pw, u'q', len), nullptr);
    EXPECT_TRUE(EqualContentsW(pw, w.c_str(), len));
    EXPECT_EQ(HowFarEqualContentsW(pw, w.c_str(), len), 0);
    ReplaceCharacterBySpaceW(pw, u'x', len);
    pw = guard.Place(w);
    ReplaceControlCharsBySpaceW(pw, len);
    pw = guard.Place(w);
    ReplaceCarriageReturnsBySpaceW(pw, len);
    EXPECT_EQ(pw[n - 1], u' ');
    BlankOutSomeBytesW(pw, len);
    ZeroSomeBytesW(pw, len);
    pw = guard.Place(w);
    SearchAndReplaceFastW(pw, u"x\r", u"yy", len, 2);
    Swap2Strings(pw, len / 2, len - len / 2);
    pw = guard.Place(w);
    CutDoubleCRLFsW(pw, len);
    std::u16string crlfs;
    while (static_cast<int>(crlfs.size()) < n + 2) crlfs += u"\r\n";
    pw = guard.Place(crlfs);
    CutDoubleCRLFsW(pw, static_cast<int32_t>(crlfs.size()));
    EXPECT_EQ(std::u16string(pw, 3), std::u16string(u"\r\n\0", 3));
    uint16_t types[160] = {};
    const std::u16string joiners(static_cast<size_t>(n), u'\u200D');
    SetZeroWidthJoinersToDefined(guard.Place(joiners), types, len);
    SetZeroWidthNonJoinersToDefinedAlpha(guard.Place(joiners), types, len);
    EXPECT_EQ(types[n - 1], kBareC1Defined);

    // The routines that zero-terminate may use the one unit after the range.
    std::string withRoom = a + '#';
    pa = guard.Place(withRoom);
    ClearBetweenChars(pa, 'x', '\r', len);
    pa = guard.Place(withRoom);
    CleanBetweenChars(pa, 'q', '\r', len, 3, false);
    EXPECT_EQ(pa[n], '\0');
    std::u16string spaces(static_cast<size_t>(n), u' ');
    spaces += u'#';
    pw = guard.Place(spaces);
    EXPECT_EQ(RemoveRedundantSpaceW(pw, len), 1);
    std::u16string noSpaces(static_cast<size_t>(n), u'x');
    noSpaces += u'#';
    pw = guard.Place(noSpaces);
    EXPECT_EQ(RemoveRedundantSpaceW(pw, len), n);
    EXPECT_EQ(pw[n], u'\0');
  }
}

}  // namespace
}  // namespace qn
