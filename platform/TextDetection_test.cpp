#include "platform/TextDetection.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <unicode/utf8.h>

#include "platform/CharTypes.h"

#include "platform/CodePages.h"

namespace qn::platform {
namespace {

struct TSample {
  const char* language;
  std::u16string text;
  std::vector<uint32_t> codePages;  // 8-bit encodings the text has
};

const std::vector<TSample>& Samples() {
  static const std::vector<TSample> samples = {
      {"English",
       u"The quick brown fox jumps over the lazy dog. Corpus linguistics studies language as it is "
       u"used in real texts.\r\n",
       {1252, 437}},
      {"French",
       u"Les chercheurs \u00E9tudient la fr\u00E9quence des mots dans des textes r\u00E9els, \u00E9crits "
       u"\u00E0 diff\u00E9rentes \u00E9poques.",
       {1252, 850}},
      {"German",
       u"Gr\u00F6\u00DFere Textsammlungen zeigen, wie h\u00E4ufig bestimmte W\u00F6rter in der "
       u"Alltagssprache vorkommen.",
       {1252, 850}},
      {"Russian",
       u"\u041A\u043E\u0440\u043F\u0443\u0441\u043D\u0430\u044F \u043B\u0438\u043D\u0433\u0432\u0438"
       u"\u0441\u0442\u0438\u043A\u0430 \u0438\u0437\u0443\u0447\u0430\u0435\u0442 \u044F\u0437\u044B"
       u"\u043A \u043D\u0430 \u043E\u0441\u043D\u043E\u0432\u0435 \u0431\u043E\u043B\u044C\u0448\u0438"
       u"\u0445 \u0441\u043E\u0431\u0440\u0430\u043D\u0438\u0439 \u0442\u0435\u043A\u0441\u0442\u043E"
       u"\u0432.",
       {1251, 866, 20866}},
      {"Greek",
       u"\u0397 \u03B3\u03BB\u03C9\u03C3\u03C3\u03BF\u03BB\u03BF\u03B3\u03AF\u03B1 \u03BC\u03B5\u03BB"
       u"\u03B5\u03C4\u03AC \u03C4\u03B7 \u03B3\u03BB\u03CE\u03C3\u03C3\u03B1 \u03CC\u03C0\u03C9\u03C2 "
       u"\u03C7\u03C1\u03B7\u03C3\u03B9\u03BC\u03BF\u03C0\u03BF\u03B9\u03B5\u03AF\u03C4\u03B1\u03B9.",
       {1253, 737}},
      {"Chinese",
       u"语料库语言学是以大量真实文本为基础来研究语言使用规律的一门学科。研究者把报纸、小说、演讲和日常对话"
       u"等材料收集起来，经过整理和标注以后，就可以借助计算机统计每个词出现的次数，观察它经常和哪些词一起使用，"
       u"并比较不同时代、不同地区和不同文体之间的差别。这样得出的结论不再只依靠个人的直觉，而是建立在可以检验"
       u"的数据之上。近年来，随着网络文本的迅速增长，语料库的规模越来越大，分析的方法也越来越多样，词典编纂、"
       u"语言教学和机器翻译等领域都从中得到了很大的帮助。",
       {936}},
      {"Japanese",
       u"\u30B3\u30FC\u30D1\u30B9\u8A00\u8A9E\u5B66\u306F\u3001\u5B9F\u969B\u306B\u66F8\u304B\u308C\u305F"
       u"\u308A\u8A71\u3055\u308C\u305F\u308A\u3057\u305F\u5927\u91CF\u306E\u8A00\u8A9E\u8CC7\u6599\u3092"
       u"\u3082\u3068\u306B\u3001\u8A00\u8449\u306E\u4F7F\u308F\u308C\u65B9\u3092\u8ABF\u3079\u308B\u5B66"
       u"\u554F\u3067\u3059\u3002",
       {932}},
      {"Korean",
       u"\uB9D0\uBB49\uCE58 \uC5B8\uC5B4\uD559\uC740 \uC2E4\uC81C\uB85C \uC4F0\uC778 \uB9CE\uC740 \uC591"
       u"\uC758 \uAE00\uC744 \uBC14\uD0D5\uC73C\uB85C \uC5B8\uC5B4\uAC00 \uC5B4\uB5BB\uAC8C \uC0AC\uC6A9"
       u"\uB418\uB294\uC9C0\uB97C \uC5F0\uAD6C\uD558\uB294 \uD559\uBB38\uC774\uB2E4.",
       {949}},
      {"Thai",
       u"\u0E20\u0E32\u0E29\u0E32\u0E28\u0E32\u0E2A\u0E15\u0E23\u0E4C\u0E04\u0E25\u0E31\u0E07\u0E02\u0E49"
       u"\u0E2D\u0E21\u0E39\u0E25\u0E28\u0E36\u0E01\u0E29\u0E32\u0E20\u0E32\u0E29\u0E32\u0E08\u0E32\u0E01"
       u"\u0E02\u0E49\u0E2D\u0E04\u0E27\u0E32\u0E21\u0E08\u0E23\u0E34\u0E07\u0E08\u0E33\u0E19\u0E27\u0E19"
       u"\u0E21\u0E32\u0E01",
       {874}},
      {"Arabic",
       u"\u062A\u062F\u0631\u0633 \u0644\u0633\u0627\u0646\u064A\u0627\u062A \u0627\u0644\u0645\u062F"
       u"\u0648\u0646\u0627\u062A \u0627\u0644\u0644\u063A\u0629 \u0643\u0645\u0627 \u062A\u0633\u062A"
       u"\u0639\u0645\u0644 \u0641\u0639\u0644\u0627 \u0641\u064A \u0627\u0644\u0646\u0635\u0648\u0635.",
       {1256}},
      {"Hindi",
       u"\u0915\u0949\u0930\u094D\u092A\u0938 \u092D\u093E\u0937\u093E\u0935\u093F\u091C\u094D\u091E"
       u"\u093E\u0928 \u0935\u093E\u0938\u094D\u0924\u0935\u093F\u0915 \u092A\u093E\u0920\u094B\u0902 "
       u"\u0915\u0947 \u092C\u0921\u093C\u0947 \u0938\u0902\u0917\u094D\u0930\u0939 \u0915\u093E "
       u"\u0905\u0927\u094D\u092F\u092F\u0928 \u0915\u0930\u0924\u093E \u0939\u0948\u0964",
       {}},
  };
  return samples;
}

std::string Utf16Bytes(const std::u16string& text, bool bigEndian) {
  std::string bytes;
  for (char16_t u : text) {
    char lo = char(u & 0xFF), hi = char(u >> 8);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  }
  return bytes;
}

std::string EvenLength(std::string bytes) {
  if (bytes.size() % 2) bytes.push_back(' ');
  return bytes;
}

TEST(TextDetection, RecognisesUtf16InEveryScriptAndByteOrder) {
  for (const auto& sample : Samples()) {
    std::string little = Utf16Bytes(sample.text, false);
    std::string big = Utf16Bytes(sample.text, true);
    EXPECT_EQ(DetectUtf16WithoutMark(little.data(), little.size()), TUtf16Detection::LittleEndian)
        << sample.language;
    EXPECT_EQ(DetectUtf16WithoutMark(big.data(), big.size()), TUtf16Detection::BigEndian) << sample.language;
    EXPECT_TRUE(IsTextUnicode(little.data(), little.size())) << sample.language;
    EXPECT_FALSE(IsTextUnicode(big.data(), big.size())) << sample.language;
    // With a terminating zero unit.
    std::string terminated = little + std::string(2, '\0');
    EXPECT_EQ(DetectUtf16WithoutMark(terminated.data(), terminated.size()), TUtf16Detection::LittleEndian)
        << sample.language;
  }
}

TEST(TextDetection, RejectsEightBitAndUtf8Text) {
  for (const auto& sample : Samples()) {
    for (uint32_t cp : sample.codePages) {
      std::string bytes = EvenLength(Encoded(cp, sample.text));
      ASSERT_EQ(bytes.find('?'), std::string::npos) << sample.language << " " << cp;
      EXPECT_EQ(DetectUtf16WithoutMark(bytes.data(), bytes.size()), TUtf16Detection::NotUtf16)
          << sample.language << " in " << cp;
    }
    std::string utf8 = EvenLength(EncodedUTF8(sample.text));
    EXPECT_EQ(DetectUtf16WithoutMark(utf8.data(), utf8.size()), TUtf16Detection::NotUtf16)
        << sample.language << " in UTF-8";
    // A UTF-8 text whose sample ends inside a sequence is still UTF-8.
    std::string cut = utf8.substr(0, utf8.size() - 2);
    if (cut.size() % 2) cut.pop_back();
    EXPECT_EQ(DetectUtf16WithoutMark(cut.data(), cut.size()), TUtf16Detection::NotUtf16) << sample.language;
  }
  // Classic false positives of a zero-byte-blind test.
  for (const char* text : {"Bush hid the facts", "this app can break", "aaaa aaa aaa aaaaa"}) {
    EXPECT_FALSE(IsTextUnicode(text, std::char_traits<char>::length(text))) << text;
  }
}

// The test as it was before it learnt to skip work (two histograms and both
// byte orders judged unit by unit, always): the reference for the answers.
namespace reference {
constexpr size_t kSampleBytes = 64 * 1024;

// Shannon entropy in bits of a byte histogram over total samples.
double Entropy(const std::array<uint32_t, 256>& histogram, uint32_t total) {
  if (total == 0) return 0.0;
  double entropy = 0.0;
  for (uint32_t count : histogram) {
    if (count == 0) continue;
    double p = double(count) / double(total);
    entropy -= p * std::log2(p);
  }
  return entropy;
}

// True when the bytes are ASCII only, or well-formed UTF-8 with at least one
// multi-byte sequence; a sequence cut off by the end of the sample counts as
// well-formed.
bool LooksLikeUtf8OrAscii(const uint8_t* s, size_t count) {
  size_t i = 0;
  while (i < count) {
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    int32_t window = int32_t(count - i < 4 ? count - i : 4);
    int32_t k = 0;
    UChar32 c;
    U8_NEXT(s + i, k, window, c);
    if (c < 0) {
      // Tolerate only a truncated sequence at the very end of the sample.
      int need = s[i] >= 0xF0 ? 4 : s[i] >= 0xE0 ? 3 : 2;
      if (s[i] >= 0xC2 && s[i] <= 0xF4 && window < need && i + size_t(k) == count) return true;
      return false;
    }
    i += size_t(k);
  }
  return true;
}

struct TOrderEvidence {
  bool plausible = false;
  double score = 0.0;  // 0: no evidence
};

// Judges the units of one byte order. hi/lo give the offsets of the high and
// low byte of a unit.
TOrderEvidence Judge(const uint8_t* s, size_t units, int hi, int lo, uint32_t zeroHigh, uint32_t zeroLow,
                     double highEntropy, double lowEntropy) {
  const uint16_t* flags = CharType1Table();
  size_t bad = 0, privateUse = 0, lowHighBytes = 0;
  for (size_t i = 0; i < units; ++i) {
    char16_t u = char16_t((s[2 * i + size_t(hi)] << 8) | s[2 * i + size_t(lo)]);
    if (u < 0x8000) ++lowHighBytes;
    if (u >= 0xD800 && u <= 0xDFFF) {
      if (u <= 0xDBFF && i + 1 < units) {
        char16_t next = char16_t((s[2 * (i + 1) + size_t(hi)] << 8) | s[2 * (i + 1) + size_t(lo)]);
        if (next >= 0xDC00 && next <= 0xDFFF) {
          ++i;
          continue;
        }
      }
      ++bad;
      continue;
    }
    if (u < 0x20) {
      if (!(u == 0x09 || u == 0x0A || u == 0x0B || u == 0x0C || u == 0x0D || u == 0x1A)) ++bad;
      continue;
    }
    if (u >= 0x7F && u <= 0x9F) {
      ++bad;
      continue;
    }
    if (flags[u] == 0) {  // unassigned or a noncharacter
      ++bad;
      continue;
    }
    if (u >= 0xE000 && u <= 0xF8FF) ++privateUse;
  }
  TOrderEvidence evidence;
  if (bad * 64 > units || privateUse * 50 > units) return evidence;
  evidence.plausible = true;
  if (zeroHigh * 8 >= units && zeroHigh >= 4 * zeroLow) {
    evidence.score = 1.0 + double(zeroHigh) / double(units);
  } else if (units >= 32 && lowEntropy - highEntropy >= 1.0 && lowHighBytes * 8 >= units) {
    evidence.score = (lowEntropy - highEntropy) / 8.0;
  }
  return evidence;
}

TUtf16Detection ReferenceDetect(const void* bytes, size_t count) {
  if (!bytes || count < 2 || (count & 1)) return TUtf16Detection::NotUtf16;
  const uint8_t* s = static_cast<const uint8_t*>(bytes);
  size_t sample = count < kSampleBytes ? count : kSampleBytes;
  size_t units = sample / 2;
  // Terminating zero units say nothing either way (only at the end of the
  // whole buffer, not of a sample cut from its middle).
  if (sample == count)
    while (units > 0 && s[2 * units - 2] == 0 && s[2 * units - 1] == 0) --units;
  if (units == 0) return TUtf16Detection::NotUtf16;

  std::array<uint32_t, 256> even{}, odd{};
  for (size_t i = 0; i < units; ++i) {
    ++even[s[2 * i]];
    ++odd[s[2 * i + 1]];
  }
  // Without a single zero byte, well-formed UTF-8 is UTF-8, and ASCII is
  // ASCII unless one byte of each pair is mostly a control byte: the block
  // number of an alphabetic script (Greek 03, Cyrillic 04, Thai 0E, ...).
  if (even[0] == 0 && odd[0] == 0 && LooksLikeUtf8OrAscii(s, units * 2)) {
    uint32_t evenControls = 0, oddControls = 0;
    for (int b = 1; b < 0x20; ++b) {
      evenControls += even[size_t(b)];
      oddControls += odd[size_t(b)];
    }
    bool ascii = true;
    for (int b = 0x80; b < 0x100 && ascii; ++b) ascii = even[size_t(b)] == 0 && odd[size_t(b)] == 0;
    if (!ascii || (evenControls * 4 < units && oddControls * 4 < units)) return TUtf16Detection::NotUtf16;
  }

  double evenEntropy = Entropy(even, uint32_t(units));
  double oddEntropy = Entropy(odd, uint32_t(units));
  // Little-endian: the high byte is the odd one.
  TOrderEvidence little = Judge(s, units, 1, 0, odd[0], even[0], oddEntropy, evenEntropy);
  TOrderEvidence big = Judge(s, units, 0, 1, even[0], odd[0], evenEntropy, oddEntropy);
  bool littleOk = little.plausible && little.score > 0.0;
  bool bigOk = big.plausible && big.score > 0.0;
  if (littleOk && (!bigOk || little.score >= big.score)) return TUtf16Detection::LittleEndian;
  if (bigOk) return TUtf16Detection::BigEndian;
  return TUtf16Detection::NotUtf16;
}

}  // namespace reference

TEST(TextDetection, AnswersAsTheUnitByUnitTestDid) {
  // Real text in every script and encoding, cut at every few lengths, and
  // random units drawn from mixes that sit near the rules' limits (zero
  // bytes, controls, unassigned and private-use units, lone surrogates,
  // bytes of UTF-8 and of 8-bit text).
  std::vector<std::string> texts;
  for (const auto& sample : Samples()) {
    texts.push_back(Utf16Bytes(sample.text, false));
    texts.push_back(Utf16Bytes(sample.text, true));
    texts.push_back(EncodedUTF8(sample.text));
    for (uint32_t cp : sample.codePages) texts.push_back(Encoded(cp, sample.text));
  }
  for (const std::string& text : texts) {
    for (size_t n = 2; n <= text.size(); n += 2 + n / 8) {
      ASSERT_EQ(DetectUtf16WithoutMark(text.data(), n), reference::ReferenceDetect(text.data(), n)) << text << " " << n;
    }
  }
  const std::vector<std::vector<uint16_t>> mixes = {
      {0x0041, 0x0065, 0x0020, 0x00E9, 0x000D, 0x000A},                  // Latin
      {0x0041, 0x0000, 0x4100, 0x0001, 0x0301, 0x0430, 0x0020},          // zero and control bytes
      {0x4E00, 0x65E5, 0x0020, 0xE000, 0xF8FF, 0x0378, 0xFFFF},          // CJK, private use, unassigned
      {0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0x0041, 0x3000},                  // surrogates
      {0x6261, 0xE963, 0xA9C3, 0x2020, 0x0A0D, 0x7566},                  // 8-bit and UTF-8 byte pairs
      {0x0E01, 0x0E02, 0x0E40, 0x0020, 0x0E30, 0x0080, 0x009F, 0x007F},  // Thai, C1 controls
  };
  std::mt19937 random(41);
  for (int round = 0; round < 20000; ++round) {
    const std::vector<uint16_t>& mix = mixes[random() % mixes.size()];
    const std::vector<uint16_t>& other = mixes[random() % mixes.size()];
    std::string bytes;
    const size_t units = 1 + random() % (round % 50 == 0 ? 40000 : 200);
    const uint32_t otherShare = random() % 40;
    for (size_t k = 0; k < units; ++k) {
      const uint16_t u = random() % 100 < otherShare ? other[random() % other.size()] : mix[random() % mix.size()];
      bytes += char(u & 0xFF);
      bytes += char(u >> 8);
    }
    if (round % 3 == 0) bytes.replace(0, 0, 1, char(random() % 256));  // the other byte order, in effect
    if (bytes.size() % 2) bytes.pop_back();
    ASSERT_EQ(DetectUtf16WithoutMark(bytes.data(), bytes.size()), reference::ReferenceDetect(bytes.data(), bytes.size()))
        << "round " << round;
  }
}

TEST(TextDetection, SignaturesNameTheirEncoding) {
  struct Case {
    std::string bytes;
    TTextEncoding encoding;
  };
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBF", kEncodingUTF8},          {"\xEF\xBB\xBF" "abc", kEncodingUTF8},
      {"\xFF\xFE", kEncodingUTF16LE},           {"\xFF\xFE\xFF\xFE", kEncodingUTF16LE},
      {"\xFE\xFF", kEncodingUTF16BE},           {"\xFE\xFF" "\0a", kEncodingUTF16BE},
      {"\xEF\xBB", kEncodingDefault},           {"\xEF\xBB" "a", kEncodingDefault},
      {"\xFF", kEncodingDefault},                {"", kEncodingDefault},
      {"\xFE\xFE", kEncodingDefault},           {"a\xFF\xFE", kEncodingDefault},
      {std::string("\0\0\xFE\xFF", 4), kEncodingDefault}};
  for (const Case& c : cases) EXPECT_EQ(SignatureEncoding(c.bytes.data(), c.bytes.size()), c.encoding) << c.bytes;
  // A count that cuts the signature short hides it.
  EXPECT_EQ(SignatureEncoding("\xEF\xBB\xBF", 2), kEncodingDefault);
  EXPECT_EQ(SignatureEncoding("\xFF\xFE", 1), kEncodingDefault);
  EXPECT_EQ(SignatureEncoding(nullptr, 4), kEncodingDefault);
  EXPECT_EQ(SignatureLength(kEncodingUTF8), 3u);
  EXPECT_EQ(SignatureLength(kEncodingUTF16LE), 2u);
  EXPECT_EQ(SignatureLength(kEncodingUTF16BE), 2u);
  EXPECT_EQ(SignatureLength(1252), 0u);
  // The readers that ask it keep their old guarantees: one signature of the
  // encoding read is dropped, a second one is text, and a signature of
  // another encoding is not skipped.
  const auto bytes = [](std::string_view s) {
    return std::vector<uint8_t>(s.begin(), s.end());
  };
  EXPECT_EQ(DecodeTextBytesAs(bytes(std::string("\xFF\xFE\xFF\xFE" "a\0", 6)), kEncodingUTF16LE), u"\uFEFFa");
  EXPECT_EQ(DecodeTextBytesAs(bytes(std::string("\xFE\xFF" "\0a", 4)), kEncodingUTF16LE), u"\uFFFE\u6100");
  EXPECT_EQ(DecodeTextBytesAs(bytes("\xEF\xBB\xBF\xEF\xBB\xBF" "a"), kEncodingUTF8), u"\uFEFFa");
  TTextEncoding detected = 0;
  EXPECT_EQ(DecodeTextBytes(bytes(std::string("\xFE\xFF\0a", 4)), &detected), u"a");
  EXPECT_EQ(detected, kEncodingUTF16BE);
  EXPECT_EQ(DecodeTextBytes(bytes("\xEF\xBB" "a"), &detected), DecodeTextBytesAs(bytes("\xEF\xBB" "a"), kEncodingDefault));
  EXPECT_EQ(detected, kEncodingDefault);
  // IsTextUnicode takes FF FE for little-endian UTF-16, never FE FF.
  EXPECT_TRUE(IsTextUnicode("\xFF\xFE" "a", 3));
  EXPECT_FALSE(IsTextUnicode("\xFE\xFF" "a", 3));
}

TEST(TextDetection, EdgeCases) {
  EXPECT_EQ(DetectUtf16WithoutMark(nullptr, 4), TUtf16Detection::NotUtf16);
  EXPECT_EQ(DetectUtf16WithoutMark("", 0), TUtf16Detection::NotUtf16);
  EXPECT_EQ(DetectUtf16WithoutMark("a\0b", 3), TUtf16Detection::NotUtf16);  // odd
  EXPECT_EQ(DetectUtf16WithoutMark("\0\0\0\0", 4), TUtf16Detection::NotUtf16);  // zeros only
  EXPECT_EQ(DetectUtf16WithoutMark("a\0", 2), TUtf16Detection::LittleEndian);
  EXPECT_EQ(DetectUtf16WithoutMark("\0a", 2), TUtf16Detection::BigEndian);
  // UTF-32 and binary data with zero units inside are not UTF-16.
  std::string utf32("a\0\0\0b\0\0\0c\0\0\0d\0\0\0", 16);
  EXPECT_EQ(DetectUtf16WithoutMark(utf32.data(), utf32.size()), TUtf16Detection::NotUtf16);
  std::string binary;
  for (int i = 0; i < 512; ++i) binary.push_back(char((i * 7919) & 0xFF));
  EXPECT_EQ(DetectUtf16WithoutMark(binary.data(), binary.size()), TUtf16Detection::NotUtf16);
  // A byte-order mark answers IsTextUnicode for little-endian only.
  EXPECT_TRUE(IsTextUnicode("\xFF\xFE", 2));
  // A long UTF-16 text is judged by its first 64 KiB; the tail does not matter.
  std::u16string longText;
  while (longText.size() < 40000) longText += Samples()[3].text;
  std::string bytes = Utf16Bytes(longText, false) + std::string(1000, '\x7F');
  EXPECT_EQ(DetectUtf16WithoutMark(bytes.data(), bytes.size()), TUtf16Detection::LittleEndian);
}

}  // namespace
}  // namespace qn::platform
