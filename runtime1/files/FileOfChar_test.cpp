#include "runtime1/files/FileOfChar.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/IniFile.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "platform/YieldHook.h"
#include "platform/testing/NonRegularFiles.h"
#include "platform/testing/TestFiles.h"

namespace qn {
namespace {

using ByteVec = std::vector<uint8_t>;

ByteVec B(std::initializer_list<int> v) {
  ByteVec r;
  for (int x : v) r.push_back(static_cast<uint8_t>(x));
  return r;
}
ByteVec B(std::string_view s) { return ByteVec(s.begin(), s.end()); }

ByteVec Utf16Bytes(std::u16string_view text, bool big, bool mark) {
  ByteVec r;
  if (mark) r = big ? B({0xFE, 0xFF}) : B({0xFF, 0xFE});
  for (char16_t u : text) {
    const uint8_t lo = u & 0xFF, hi = u >> 8;
    r.push_back(big ? hi : lo);
    r.push_back(big ? lo : hi);
  }
  return r;
}

class FileOfCharTest : public testing::Test {
 protected:
  void SetUp() override { platform::SetActiveCodePage(1252); }
  void TearDown() override {
    platform::SetActiveCodePage(1252);
    for (const std::string& p : fPaths) std::remove(p.c_str());
  }
  std::u16string Make(const ByteVec& bytes) {
    const std::string path = testing::TempDir() + "foc_" + std::to_string(fPaths.size()) + "_" +
                             std::to_string(::getpid()) + ".txt";
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.close();
    fPaths.push_back(path);
    return std::u16string(path.begin(), path.end());
  }
  std::u16string Missing() {
    const std::string path = testing::TempDir() + "foc_missing_" + std::to_string(::getpid());
    std::remove(path.c_str());
    fPaths.push_back(path);
    return std::u16string(path.begin(), path.end());
  }
  static ByteVec Read(std::u16string_view name) { return platform::ReadWholeFile(name); }

  std::vector<std::string> fPaths;
};

const std::u16string kText = u"Grüße, café\r\nздравствуй 日本\r\n";

TEST_F(FileOfCharTest, BufferTypeQuickAndThorough) {
  struct Case {
    ByteVec bytes;
    TFileContentsSet quick, thorough;
  };
  const std::vector<Case> cases = {
      {B({0xEF, 0xBB, 0xBF, 0x41}), {_8_bit, _UTF8}, {_UTF8}},
      {B({0xFF, 0xFE, 0x41, 0x00}), {_16_bit}, {_16_bit}},
      {B({0xFE, 0xFF, 0x00, 0x41}), {_16_bit_reversed}, {_16_bit_reversed}},
      {B("ABCD"), {_8_bit}, {_8_bit}},
      {B({0x63, 0x61, 0x66, 0xC3, 0xA9}), {_8_bit}, {_UTF8}},
      {B({0x63, 0x61, 0x66, 0xE9, 0x20}), {_8_bit}, {_8_bit}},
      {B({0xFF, 0xFE, 0x41, 0x00, 0x42}), {_16_bit}, {_8_bit}},  // odd: not UTF-16
      {B({0x00, 0x41, 0x42, 0x43, 0x44}), {_8_bit}, {_8_bit}},
      {B({0x50, 0x4B, 0x03, 0x04, 0xFF, 0xFE}), {_Zip}, {_Zip}},
      {B({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1}), {_Storage}, {_Storage}},
      {B({0xDB, 0xA5, 0x2D, 0x00, 0xEF, 0xBB}), {_early_Word}, {_early_Word}},
      {Utf16Bytes(u"Hello, world. This is text.", false, false), {_8_bit}, {_16_bit}},
      {Utf16Bytes(u"Hello, world. This is text.", true, false), {_8_bit}, {_16_bit_reversed}},
      {B("abc"), {}, {}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(FileBufferType(c.bytes.data(), c.bytes.size(), false), c.quick) << "case " << i;
    EXPECT_EQ(FileBufferType(c.bytes.data(), c.bytes.size(), true), c.thorough) << "case " << i;
    // The file form answers the same as the buffer form.
    const std::u16string name = Make(c.bytes);
    EXPECT_EQ(FileContentsType(name, false), c.quick) << "file case " << i;
    EXPECT_EQ(FileContentsType(name, true), c.thorough) << "file case " << i;
  }
}

TEST_F(FileOfCharTest, ThoroughFileDetectionWalksLongAsciiRunsInBlocks) {
  ByteVec ascii(200000, 'a');
  ByteVec utf8 = ascii;
  utf8.push_back(0xC3);
  utf8.push_back(0xA9);
  ByteVec eight = ascii;
  eight.push_back(0xE9);
  eight.push_back(' ');
  // The sequence straddles the first 64 KiB block.
  ByteVec straddle(65535, 'b');
  for (uint8_t b : {0xE2, 0x82, 0xAC, 0x78}) straddle.push_back(b);
  for (const ByteVec* b : {&utf8, &eight, &straddle, &ascii}) {
    EXPECT_EQ(FileContentsType(Make(*b), true), FileBufferType(b->data(), b->size(), true));
  }
  EXPECT_EQ(FileContentsType(Make(straddle), true), TFileContentsSet({_UTF8}));
}

// Only the system's refusals mean "cannot tell": an error of the host's yield
// procedure (or exhausted memory) is no answer about the file and reaches the
// caller instead of an empty set.
TEST_F(FileOfCharTest, DetectionLetsErrorsThatAreNotAboutTheFileThrough) {
  struct THostError : std::runtime_error {
    THostError() : std::runtime_error("host") {}
  };
  auto failing = [] { throw THostError(); };
  AYieldProcessProc = TYieldProcessProc::FromCallable(failing);
  const std::u16string name = Make(ByteVec(200000, 'a'));  // long enough to yield
  EXPECT_THROW(FileContentsType(name, true), THostError);
  AYieldProcessProc.Clear();
  EXPECT_EQ(FileContentsType(name, true), TFileContentsSet({_8_bit}));
}

TEST_F(FileOfCharTest, ShortAndMissingFiles) {
  for (const ByteVec& b : {ByteVec{}, B({0x41}), B({0xFF, 0xFE}), B({0xEF, 0xBB, 0xBF})}) {
    const std::u16string name = Make(b);
    EXPECT_TRUE(FileContentsType(name, false).Empty());
    EXPECT_TRUE(FileContentsType(name, true).Empty());
  }
  EXPECT_THROW(FileContentsType(Missing(), true), EFOpenError);
  EXPECT_THROW(TextFileInUnicode(Missing()), EFOpenError);
  EXPECT_EQ(TextFileContents(Missing()), u"");
  EXPECT_FALSE(ConvertATextFileAnsiToUTF16(Missing(), 0x0409));
}

TEST_F(FileOfCharTest, Comparison) {
  EXPECT_EQ(FileContentsComparison({_8_bit}, {_UTF8}), -1);
  EXPECT_EQ(FileContentsComparison({}, {}), 0);
  EXPECT_EQ(FileContentsComparison({_8_bit, _UTF8}, {_UTF8}), 1);
  EXPECT_EQ(FileContentsComparison({_16_bit_reversed}, {_Zip, _Storage}), 1);
  EXPECT_EQ(TFileContentsSet({_8_bit, _16_bit_reversed}).Byte(), 0x41);
}

TEST_F(FileOfCharTest, UnicodeTests) {
  EXPECT_TRUE(StringIsInUnicode(B({0xFF, 0xFE, 0x41, 0x00}).data(), 4));
  EXPECT_TRUE(StringIsInUnicode(B({0xFE, 0xFF, 0x00, 0x41}).data(), 4));
  EXPECT_FALSE(StringIsInUnicode(B({0xFF, 0xFE, 0x41}).data(), 3));
  EXPECT_FALSE(StringIsInUnicode(B("plain text here").data(), 15));
  EXPECT_TRUE(TextFileInUnicode(Make(Utf16Bytes(u"Some text in UTF-16 without a mark.", false, false))));
  EXPECT_TRUE(TextFileInUnicode(Make(Utf16Bytes(u"Some text in UTF-16 without a mark.", true, false))));
  EXPECT_FALSE(TextFileInUnicode(Make(B("Some plain 8-bit text, caf\xE9."))));
  EXPECT_FALSE(TextFileInUnicode(Make({})));
}

TEST_F(FileOfCharTest, ReadsEveryEncoding) {
  const std::string utf8 = platform::EncodedUTF8(kText);
  ByteVec signedUtf8 = B({0xEF, 0xBB, 0xBF});
  signedUtf8.insert(signedUtf8.end(), utf8.begin(), utf8.end());
  EXPECT_EQ(TextFileContents(Make(signedUtf8)), kText);
  EXPECT_EQ(TextFileContents(Make(B(utf8))), kText);
  EXPECT_EQ(TextFileContents(Make(Utf16Bytes(kText, false, true))), kText);
  EXPECT_EQ(TextFileContents(Make(Utf16Bytes(kText, true, true))), kText);
  EXPECT_EQ(TextFileContents(Make(Utf16Bytes(kText, false, false))), kText);
  EXPECT_EQ(TextFileContents(Make(Utf16Bytes(kText, true, false))), kText);

  EXPECT_EQ(TextFileContents(Make(B("Gr\xFC\xDF" "e, caf\xE9\r\n"))), u"Grüße, café\r\n");
  platform::SetActiveCodePage(1251);
  EXPECT_EQ(TextFileContents(Make(B("\xE7\xE4\xF0\xE0\xE2\xF1\xF2\xE2\xF3\xE9\n"))), u"здравствуй\r\n");
  platform::SetActiveCodePage(932);
  EXPECT_EQ(TextFileContents(Make(B("\x93\xFA\x96\x7B\x8C\xEA"))), u"日本語\r\n");
}

TEST_F(FileOfCharTest, LineBreaksAndTerminators) {
  EXPECT_EQ(TextFileContents(Make(B({0x61, 0x0A, 0x62}))), u"a\r\nb\r\n");
  EXPECT_EQ(TextFileContents(Make(B("a\rb\r\n\nc\r"))), u"a\r\nb\r\n\r\nc\r\n");
  EXPECT_EQ(TextFileContents(Make(B({0x61, 0x62, 0x00, 0x63, 0x64}))), u"ab\r\n");
  EXPECT_EQ(TextFileContents(Make({})), u"");
  EXPECT_EQ(TextFileContents(Make(B("x"))), u"x\r\n");
  // An odd-length UTF-16 file: the dangling byte is dropped.
  ByteVec odd = Utf16Bytes(u"ab", false, true);
  odd.push_back(0x63);
  EXPECT_EQ(TextFileContents(Make(odd)), u"ab\r\n");
}

TEST_F(FileOfCharTest, EightBitIsNotReadAsUtf8ByItsShape) {
  // E9 20 61 62 walks like a 3-byte lead and one byte, but it is not UTF-8.
  EXPECT_EQ(TextFileContents(Make(B({0xE9, 0x20, 0x61, 0x62}))), u"é ab\r\n");
  EXPECT_EQ(TextFileContents(Make(B({0xC3, 0xA9}))), u"é\r\n");
  // Mostly UTF-8 with one stray byte later: UTF-8, the stray byte alone is lost.
  EXPECT_EQ(TextFileContents(Make(B("caf\xC3\xA9 cr\xC3\xA8me \xE9t\xC3\xA9"))), u"café crème \uFFFDté\r\n");
  // Mostly 8-bit with one accidental UTF-8 pair: 8-bit.
  EXPECT_EQ(TextFileContents(Make(B("\xE9t\xE9 \xC3\xA9 \xE0"))), u"été Ã© à\r\n");
  // A signed file keeps everything around an ill-formed sequence.
  EXPECT_EQ(TextFileContents(Make(B("\xEF\xBB\xBF" "a\xE9" "bc"))), u"a\uFFFDbc\r\n");
}

TEST_F(FileOfCharTest, FastReaderAgreesWithTheListOnRandomBytes) {
  // TextOfFileBytes decodes 8-bit and UTF-8 text in one fused pass; the list
  // decodes and then splits. Both must give the same text for any bytes.
  std::mt19937 random(5);
  const std::vector<uint8_t> alphabet = {'a', ' ', '\r', '\n', '\t', 0x00, 0xC3, 0xA9, 0xE9, 0xE2,
                                         0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0xFF, 0xED, 0xA0};
  for (uint32_t cp : {1252u, 1251u, 932u}) {
    platform::SetActiveCodePage(cp);
    for (int round = 0; round < 3000; ++round) {
      ByteVec bytes(random() % 40);
      for (uint8_t& b : bytes) b = alphabet[random() % alphabet.size()];
      if (round % 3 == 0 && bytes.size() >= 3) bytes[0] = 0xEF, bytes[1] = 0xBB, bytes[2] = 0xBF;
      platform::TMemoryViewStream stream(bytes);
      TPossiblyDodgyTextStringlist list;
      list.LoadFromStream(stream);
      ASSERT_EQ(TextOfFileBytes(bytes), list.Text()) << "code page " << cp << " round " << round;
    }
  }
}

TEST_F(FileOfCharTest, EncodingDecidedAloneAgreesWithTheReaderAndDecodesPieceByPiece) {
  // A long text read piece by piece (pieces cut after line feeds) in the
  // encoding TextFileBytesEncoding names gives the reader's text.
  std::mt19937 random(11);
  const std::vector<uint8_t> alphabet = {'a', 'b', ' ', '\n', '\n', 0x00, 0xC3, 0xA9, 0xE9, 0xE2, 0x82, 0xAC};
  const auto piecewise = [](const ByteVec& bytes, platform::TTextEncoding encoding) {
    const bool wide = encoding == platform::kEncodingUTF16LE || encoding == platform::kEncodingUTF16BE;
    std::u16string text;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); i += wide ? 2 : 1) {
      const bool lf = wide ? i + 1 < bytes.size() &&
                                 bytes[encoding == platform::kEncodingUTF16LE ? i : i + 1] == '\n' &&
                                 bytes[encoding == platform::kEncodingUTF16LE ? i + 1 : i] == 0
                           : bytes[i] == '\n';
      if (!lf && i + (wide ? 2 : 1) < bytes.size()) continue;
      const size_t end = std::min(bytes.size(), i + (wide ? 2 : 1));
      text += platform::DecodeTextBytesAs(std::span<const uint8_t>(bytes).subspan(start, end - start), encoding);
      start = end;
    }
    return text.substr(0, text.find(u'\0'));
  };
  for (int round = 0; round < 2000; ++round) {
    ByteVec bytes(random() % 60);
    for (uint8_t& b : bytes) b = alphabet[random() % alphabet.size()];
    if (round % 4 == 1 && bytes.size() >= 3) bytes[0] = 0xEF, bytes[1] = 0xBB, bytes[2] = 0xBF;
    if (round % 4 == 2) {
      std::u16string wide;
      for (uint8_t b : bytes) wide.push_back(b == 0 ? u'x' : static_cast<char16_t>(b < 0x80 ? b : 0xE9));
      bytes = Utf16Bytes(wide, round % 8 == 2, round % 16 != 2);
    }
    platform::TTextEncoding used = 0;
    std::u16string whole = DecodedTextFileBytes(bytes, &used);
    whole = whole.substr(0, whole.find(u'\0'));
    ASSERT_EQ(TextFileBytesEncoding(bytes), used) << "round " << round;
    ASSERT_EQ(piecewise(bytes, used), whole) << "round " << round;
  }
}

TEST_F(FileOfCharTest, DecodingIntoAStringInUseGivesTheReadersText) {
  // One string decoded into text after text, in every encoding, from bytes
  // aligned for UTF-16 units and not (one byte further on): each time the
  // reader's text and encoding, whatever the string held before (longer or
  // shorter text, or nothing).
  std::mt19937 random(23);
  const std::vector<uint8_t> alphabet = {'a', 'b', ' ', '\n', 0x00, 0xC3, 0xA9, 0xE9, 0xE2, 0x82, 0xAC, 0xFF};
  std::u16string into;
  std::vector<uint8_t> room;
  for (int round = 0; round < 3000; ++round) {
    ByteVec bytes(random() % (round % 50 == 0 ? 5000 : 80));
    for (uint8_t& b : bytes) b = alphabet[random() % alphabet.size()];
    if (round % 5 == 1 && bytes.size() >= 3) bytes[0] = 0xEF, bytes[1] = 0xBB, bytes[2] = 0xBF;
    if (round % 5 >= 2) {
      std::u16string wide;
      for (uint8_t b : bytes) wide.push_back(b == 0 ? u'x' : static_cast<char16_t>(b < 0x80 ? b : 0x20AC));
      if (round % 3 == 0) wide.push_back(u'\0');
      bytes = Utf16Bytes(wide, round % 5 == 3, round % 5 != 4);
      if (round % 7 == 0) bytes.push_back('z');  // an odd byte at the end
    }
    const size_t shift = static_cast<size_t>(round % 2);
    room.assign(bytes.size() + shift, 0);
    std::copy(bytes.begin(), bytes.end(), room.begin() + static_cast<std::ptrdiff_t>(shift));
    const std::span<const uint8_t> at(room.data() + shift, bytes.size());
    platform::TTextEncoding expectedEncoding = 0, used = 0;
    const std::u16string expected = DecodedTextFileBytes(bytes, &expectedEncoding);
    DecodeTextFileBytesInto(at, into, &used);
    ASSERT_EQ(into, expected) << "round " << round;
    ASSERT_EQ(used, expectedEncoding) << "round " << round;
    // The platform decoder into a string in use, in the encoding found.
    std::u16string again = round % 4 == 0 ? std::u16string(300, u'q') : std::u16string();
    platform::DecodeTextBytesAs(at, used, again);
    ASSERT_EQ(again, platform::DecodeTextBytesAs(bytes, used)) << "round " << round;
  }
}

TEST_F(FileOfCharTest, EncodingEvidenceEndsAtTheFirstZeroByte) {
  // Long runs of ASCII, so that the evidence is sought block by block: UTF-8
  // sequences after the first zero byte are not evidence, those before it are;
  // and the decision agrees with the reader's for random mixtures.
  const std::string ascii(37, 'a');
  const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC ", latin = "caf\xE9 ";
  const auto bytesOf = [](const std::string& text) { return ByteVec(text.begin(), text.end()); };
  EXPECT_EQ(TextFileBytesEncoding(bytesOf(ascii + utf8 + ascii)), platform::kEncodingUTF8);
  EXPECT_EQ(TextFileBytesEncoding(bytesOf(ascii + std::string(1, '\0') + utf8 + utf8)), platform::kEncodingDefault);
  EXPECT_EQ(TextFileBytesEncoding(bytesOf(ascii + utf8 + std::string(1, '\0') + latin + latin + latin)),
            platform::kEncodingUTF8);
  // Three ill-formed bytes against two sequences before the zero.
  EXPECT_EQ(TextFileBytesEncoding(bytesOf(ascii + latin + latin + latin + utf8 + std::string(1, '\0') + utf8 + utf8)),
            platform::kEncodingDefault);
  std::mt19937 random(5);
  const std::vector<std::string> parts = {ascii, utf8, latin, std::string(1, '\0'), "\xC3", "b\n"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (size_t k = random() % 8; k > 0; --k) text += parts[random() % parts.size()];
    const ByteVec bytes = bytesOf(text);
    platform::TTextEncoding used = 0;
    DecodedTextFileBytes(bytes, &used);
    ASSERT_EQ(TextFileBytesEncoding(bytes), used) << "round " << round;
  }
}

TEST_F(FileOfCharTest, EncodingFromTheHeadAndPiecewiseEvidenceAgreeWithTheWholeText) {
  // Texts of ASCII stretches long enough to be walked several blocks at a
  // time, UTF-8 sequences, 8-bit letters, lone lead bytes, zero bytes and
  // line feeds; some with a signature, some UTF-16. The head (the first 64
  // KiB, or all) decides what it can, and the evidence gathered piece by
  // piece, pieces cut after line feeds, decides the rest as the whole-text
  // decision does; each piece reports where the text ends and whether it met
  // a byte of 0x80 or above.
  std::mt19937 random(23);
  const std::vector<std::string> parts = {std::string(150, 'a'), std::string(40, 'b'), "caf\xC3\xA9 ", "\xE2\x82\xAC",
                                          "caf\xE9 ", "\xC3", "\n", "x\n", std::string(1, '\0'), "\xF0\x9F\x98\x80"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (size_t k = random() % 12; k > 0; --k) text += parts[random() % parts.size()];
    if (round % 5 == 1) text = "\xEF\xBB\xBF" + text;
    ByteVec bytes(text.begin(), text.end());
    if (round % 7 == 3) {
      std::u16string wide;
      for (const char c : text) wide.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
      bytes = Utf16Bytes(wide, round % 2 == 0, round % 3 != 0);
    }
    const platform::TTextEncoding whole = TextFileBytesEncoding(bytes);
    bool decided = false;
    const platform::TTextEncoding head = TextFileHeadEncoding(bytes, bytes.size(), decided);
    if (decided) {
      ASSERT_EQ(head, whole) << "round " << round;
      continue;
    }
    ASSERT_EQ(head, platform::kEncodingDefault);
    TUtf8Evidence evidence;
    size_t start = 0, textEnd = bytes.size();
    bool anyHigh = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != '\n' && i + 1 < bytes.size()) continue;
      const std::span<const uint8_t> piece(bytes.data() + start, i + 1 - start);
      const bool endedBefore = evidence.ended;
      bool high = false;
      const size_t taken = evidence.Add(piece, &high);
      if (endedBefore) {
        EXPECT_EQ(taken, 0u);
        EXPECT_FALSE(high);
      } else {
        if (taken < piece.size()) textEnd = std::min(textEnd, start + taken);
        bool expectHigh = false;
        for (size_t k = 0; k < taken; ++k) expectHigh = expectHigh || piece[k] >= 0x80;
        ASSERT_EQ(high, expectHigh) << "round " << round;
        anyHigh = anyHigh || high;
      }
      start = i + 1;
    }
    const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    ASSERT_EQ(textEnd, static_cast<size_t>(zero - bytes.begin())) << "round " << round;
    ASSERT_EQ(evidence.ended, zero != bytes.end());
    ASSERT_EQ(evidence.Encoding(), whole) << "round " << round;
    if (!anyHigh) {
      EXPECT_EQ(whole, platform::kEncodingDefault);
    }
  }
  // A head of 64 KiB of ASCII says nothing of what follows; the parity of the
  // whole, not of the head, rules UTF-16 without a mark out.
  ByteVec head(65536, 'a');
  bool decided = true;
  EXPECT_EQ(TextFileHeadEncoding(head, 1000001, decided), platform::kEncodingDefault);
  EXPECT_FALSE(decided);
  const ByteVec wide = Utf16Bytes(std::u16string(40000, u'a'), false, false);
  EXPECT_EQ(TextFileHeadEncoding(std::span<const uint8_t>(wide).first(65536), wide.size(), decided),
            platform::kEncodingUTF16LE);
  EXPECT_TRUE(decided);
  EXPECT_EQ(TextFileHeadEncoding(std::span<const uint8_t>(wide).first(65536), wide.size() + 1, decided),
            platform::kEncodingDefault);
  EXPECT_FALSE(decided);
}

// The general reader (the list: decode, then split lines) as the reference
// for the fused one.
std::u16string ListText(const ByteVec& bytes) {
  platform::TMemoryViewStream stream(bytes);
  TPossiblyDodgyTextStringlist list;
  list.LoadFromStream(stream);
  return list.Text();
}

ByteVec Repeated(char c, size_t n) { return ByteVec(n, static_cast<uint8_t>(c)); }

ByteVec Joined(std::initializer_list<ByteVec> parts) {
  ByteVec r;
  for (const ByteVec& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

TEST_F(FileOfCharTest, BlockWalkKeepsEveryByteAroundBlockEdges) {
  // Runs of plain bytes are read in blocks of 8 or 16; what follows a run must
  // be read the same whichever byte of a block it falls on.
  const std::u16string a15(15, u'a'), a16(16, u'a'), a32(32, u'a');
  struct Case {
    ByteVec bytes;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      // A run ending exactly at a block edge, then a sequence.
      {Joined({Repeated('a', 16), B("\xC3\xA9")}), a16 + u"é\r\n"},
      {Joined({Repeated('a', 32), B("\xE2\x82\xAC" "b")}), a32 + u"€b\r\n"},
      // A sequence straddling a block edge.
      {Joined({Repeated('a', 15), B("\xE2\x82\xAC" "b")}), a15 + u"€b\r\n"},
      {Joined({Repeated('a', 15), B("\xF0\x9F\x98\x80" "b")}), a15 + u"\U0001F600b\r\n"},
      {Joined({Repeated('a', 15), B("\xC3\xA9")}), a15 + u"é\r\n"},
      // Ill-formed bytes right after a run: one U+FFFD each part, the rest kept.
      {Joined({Repeated('a', 16), B("\xFF" "\xC3\xA9\xC3\xA9")}), a16 + u"\uFFFDéé\r\n"},
      {Joined({Repeated('a', 16), B("\xE2\x82" "b\xC3\xA9\xC3\xA9\xC3\xA9")}), a16 + u"\uFFFDbééé\r\n"},
      {Joined({Repeated('a', 16), B("\xED\xA0\x80\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9")}),
       a16 + u"\uFFFD\uFFFD\uFFFDéééé\r\n"},
      // The last bytes a truncated sequence (a signature makes it UTF-8).
      {Joined({B("\xEF\xBB\xBF"), Repeated('a', 13), B("\xE2\x82")}), std::u16string(13, u'a') + u"\uFFFD\r\n"},
      {Joined({B("\xEF\xBB\xBF"), Repeated('a', 16), B("\xF0\x9F\x98")}), a16 + u"\uFFFD\r\n"},
      {Joined({Repeated('a', 16), B("\xC3\xA9\xC3\xA9\xC3")}), a16 + u"éé\uFFFD\r\n"},
      // Line ends at and across block edges.
      {Joined({Repeated('a', 15), B("\r\nb")}), a15 + u"\r\nb\r\n"},
      {Joined({Repeated('a', 16), B("\r")}), a16 + u"\r\n"},
      {Joined({Repeated('a', 16), B("\n\n")}), a16 + u"\r\n\r\n"},
      {Joined({Repeated('a', 16), B({0x00}), B("bc\xC3\xA9")}), a16 + u"\r\n"},
      // 8-bit text: the deciding bytes after a long run.
      {Joined({Repeated('a', 20), B("\xE9t\xE9 \xC3\xA9 \xE0")}), std::u16string(20, u'a') + u"été Ã© à\r\n"},
      {Joined({Repeated('a', 20), B("caf\xC3\xA9 cr\xC3\xA8me \xE9")}),
       std::u16string(20, u'a') + u"café crème \uFFFD\r\n"},
      {Joined({Repeated('a', 31), B("\xE9\r\n\xE9")}), std::u16string(31, u'a') + u"é\r\né\r\n"},
  };
  for (size_t k = 0; k < cases.size(); ++k) {
    EXPECT_EQ(TextOfFileBytes(cases[k].bytes), cases[k].text) << "case " << k;
    EXPECT_EQ(ListText(cases[k].bytes), cases[k].text) << "case " << k;
  }
  EXPECT_EQ(TextFileContents(Make(cases[3].bytes)), cases[3].text);
}

TEST_F(FileOfCharTest, FastReaderAgreesWithTheListAtEveryOffset) {
  // Each piece after runs of every length up to three blocks, followed by
  // nothing (so it ends the file), by a short tail and by a long run.
  const std::vector<ByteVec> pieces = {
      B("\xC3\xA9"), B("\xE2\x82\xAC"), B("\xF0\x9F\x98\x80"), B("\xD0\xB7\xD0\xB4"), B({0xFF}),
      B("\xE2\x82"), B("\xF0\x9F\x98"), B("\xED\xA0\x80"), B("\xC0\xAF"), B({0x80}), B({0xE9}),
      B("\xE9t\xE9"), B("\r"), B("\n"), B("\r\n"), B("\n\r"), B({0x00}), B("\t\x0B\x0C"), B("\xC3\r\n")};
  const std::vector<ByteVec> tails = {{}, B("bc"), Repeated('y', 21), B("\xC3\xA9 z")};
  for (uint32_t cp : {1252u, 1251u}) {
    platform::SetActiveCodePage(cp);
    for (const bool sign : {false, true}) {
      for (size_t run = 0; run <= 48; ++run) {
        for (size_t p = 0; p < pieces.size(); ++p) {
          for (size_t t = 0; t < tails.size(); ++t) {
            const ByteVec bytes =
                Joined({sign ? B("\xEF\xBB\xBF") : ByteVec{}, Repeated('x', run), pieces[p], tails[t]});
            ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes))
                << "code page " << cp << " signed " << sign << " run " << run << " piece " << p << " tail " << t;
          }
        }
      }
    }
  }
  // Longer random text, mostly plain bytes, so that runs of every length and
  // sequences at every offset meet.
  platform::SetActiveCodePage(1252);
  std::mt19937 random(17);
  const std::vector<uint8_t> rare = {'\r', '\n', 0x00, 0xC3, 0xA9, 0xE9, 0xE2, 0x82, 0xAC,
                                     0xF0, 0x9F, 0x98, 0x80, 0xFF, 0xED, 0xA0, 0xD0};
  for (int round = 0; round < 2000; ++round) {
    ByteVec bytes(random() % 200);
    for (uint8_t& b : bytes)
      b = random() % 6 == 0 ? rare[random() % rare.size()] : static_cast<uint8_t>('a' + random() % 26);
    ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes)) << "round " << round;
  }
}

TEST_F(FileOfCharTest, Utf16ReaderAgreesWithTheListInBothByteOrders) {
  // UTF-16 is copied a block of units at a time and stops at units below 0E;
  // the general reader (decode, then split) is the reference. Units whose
  // other byte is a line end or zero, or whose top bit is set, check that
  // each unit is judged whole and in the right byte order.
  const std::vector<char16_t> rare = {u'\r', u'\n', 0x0000, 0x0D00, 0x0A00, 0x0D0A, 0x0A0D, 0x000E,
                                      0x000D | 0x8000, 0xFF0A, 0xD800, 0xDC00, 0xFEFF, 0xFFFE, 0x00E9, 0x4E00};
  std::mt19937 random(23);
  for (int round = 0; round < 6000; ++round) {
    std::u16string units(random() % 60, u'a');
    for (char16_t& u : units)
      u = random() % 5 == 0 ? rare[random() % rare.size()] : static_cast<char16_t>(u'a' + random() % 26);
    const bool big = round % 2 == 1, mark = round % 4 < 2;
    ByteVec bytes = Utf16Bytes(units, big, mark);
    if (round % 7 == 0) bytes.push_back(0x41);  // an odd final byte
    ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes)) << "round " << round;
    // The file reader decodes in the text's own storage.
    if (round % 20 == 0) {
      ASSERT_EQ(TextFileContents(Make(bytes)), ListText(bytes)) << "round " << round;
    }
  }
  // Files longer than the head that decides their encoding, with and without
  // lone line ends (decoded in place, or into a larger text).
  for (int round = 0; round < 8; ++round) {
    std::u16string units(70000 + round, u'a');
    for (size_t i = 0; i < units.size(); ++i) {
      const uint32_t r = random() % 50;
      units[i] = r == 0 ? u'\r' : r < 10 ? u' ' : r < 12 ? u'é' : static_cast<char16_t>(u'a' + r % 26);
      if (r == 0 && i + 1 < units.size()) units[++i] = u'\n';
    }
    if (round >= 4) units[60000 + round] = u'\n';  // a lone LF beyond the head
    ByteVec bytes = Utf16Bytes(units, round % 2 == 1, round % 4 < 2);
    if (round == 5) bytes.push_back(0x20);
    const std::u16string expected = ListText(bytes);
    ASSERT_GT(expected.size(), 70000u);
    EXPECT_EQ(TextFileContents(Make(bytes)), expected) << "round " << round;
    EXPECT_EQ(TextOfFileBytes(bytes), expected) << "round " << round;
  }
  // Runs of every length up to three blocks before each rare unit, so that
  // it falls on every place of a block.
  for (const bool big : {false, true}) {
    for (const bool mark : {false, true}) {
      for (size_t run = 0; run <= 26; ++run) {
        for (char16_t u : rare) {
          for (const std::u16string_view tail : {u"", u"\n", u"bc", u"\r\nxyzxyzxyz"}) {
            const ByteVec bytes = Utf16Bytes(std::u16string(run, u'x') + u + std::u16string(tail), big, mark);
            ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes)) << big << mark << " run " << run << " unit " << int(u);
          }
        }
      }
    }
  }
  // A second mark is text: only the first is dropped.
  EXPECT_EQ(TextOfFileBytes(B({0xFF, 0xFE, 0xFF, 0xFE, 0x41, 0x00})), u"\uFEFFA\r\n");
  EXPECT_EQ(TextOfFileBytes(B({0xFE, 0xFF, 0xFE, 0xFF, 0x00, 0x41, 0x00, 0x0D})), u"\uFEFFA\r\n");
  // Line ends of every kind become CR LF; the text ends at its first zero.
  EXPECT_EQ(TextFileContents(Make(Utf16Bytes(u"a\rb\nc\r\nd\n\re", false, true))),
            u"a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  EXPECT_EQ(TextFileContents(Make(Utf16Bytes(std::u16string(u"ab\0cd", 5), true, true))), u"ab\r\n");
  EXPECT_EQ(TextFileContents(Make(B({0xFF, 0xFE}))), u"");
}

TEST_F(FileOfCharTest, EightBitReaderWeighsUtf8EvidenceAsTheListDoes) {
  // The 8-bit decoder stops weighing the evidence for UTF-8 once the
  // continuation bytes left could not make up for the ill-formed bytes met.
  // Texts near the balance (8-bit letters that begin no sequence, quotes that
  // are continuation bytes, well-formed pairs and triples, stray bytes), in
  // pieces of random length so that every byte falls on every place of a
  // block, must be read as the general reader reads them, in a code page
  // that is Latin-1 from A0 up and in one that is not.
  const std::vector<ByteVec> pieces = {B("\xE9"), B("\xE0 "), B("\x93q\x94"), B("\xC3\xA9"), B("\xE2\x82\xAC"),
                                       B("\xD0\xB7"), B("\x80"), B("\xBF\xBF"), B("\xF0\x9F\x98\x80"), B("\r\n"),
                                       B("\n"), B("\r"), B("\xE9\r\n")};
  std::mt19937 random(31);
  for (uint32_t cp : {1252u, 1251u}) {
    platform::SetActiveCodePage(cp);
    for (int round = 0; round < 3000; ++round) {
      ByteVec bytes;
      const size_t count = random() % 120;
      for (size_t k = 0; k < count; ++k) {
        const ByteVec run(random() % 20, static_cast<uint8_t>('a' + random() % 26));
        bytes.insert(bytes.end(), run.begin(), run.end());
        // Late pieces lean towards UTF-8 in some rounds, so that the end of
        // the text can overturn its start.
        const size_t p = (round % 3 == 0 && k > count / 2) ? 3 + random() % 3 : random() % pieces.size();
        bytes.insert(bytes.end(), pieces[p].begin(), pieces[p].end());
      }
      ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes)) << "code page " << cp << " round " << round;
    }
  }
  // The weighing decides only when the first 64 KiB (which choose the way
  // the text is decoded first) mislead: 8-bit-looking starts, then enough
  // UTF-8 to come near the balance or tip it.
  platform::SetActiveCodePage(1252);
  for (int round = 0; round < 24; ++round) {
    ByteVec bytes;
    while (bytes.size() < 70000) {
      const ByteVec run(random() % 400, 'a');
      bytes.insert(bytes.end(), run.begin(), run.end());
      const ByteVec& piece = pieces[std::vector<size_t>{0, 1, 2, 3, 6}[random() % 5]];
      bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    const size_t late = 100 + random() % 500;
    for (size_t k = 0; k < late; ++k) {
      const ByteVec& piece = pieces[random() % 8 == 0 ? 0 : 3 + random() % 3];
      bytes.insert(bytes.end(), piece.begin(), piece.end());
      bytes.push_back(' ');
    }
    ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes)) << "round " << round;
  }
}

TEST_F(FileOfCharTest, WholeFileDecidesWhenItsStartMisleads) {
  // The reader guesses the encoding from the first 64 KiB and decodes at
  // once; the rest of the file can overturn the guess, and the text must then
  // be what the whole file says.
  ByteVec utf8Start;
  for (const ByteVec word = B("caf\xC3\xA9 "); utf8Start.size() < 70000;) utf8Start.insert(utf8Start.end(), word.begin(), word.end());
  ByteVec eightBitRest;
  for (const ByteVec word = B("\xE9t\xE9 \xE0 "); eightBitRest.size() < 200000;)
    eightBitRest.insert(eightBitRest.end(), word.begin(), word.end());
  const ByteVec looksUtf8 = Joined({utf8Start, eightBitRest});
  const std::string looksUtf8Chars(looksUtf8.begin(), looksUtf8.end());
  const std::u16string asEightBit = platform::Decoded(1252, looksUtf8Chars) + u"\r\n";
  EXPECT_EQ(TextOfFileBytes(looksUtf8), asEightBit);
  EXPECT_EQ(ListText(looksUtf8), asEightBit);
  EXPECT_EQ(TextFileContents(Make(looksUtf8)), asEightBit);

  // A long ASCII start (no evidence either way), then UTF-8.
  const ByteVec asciiStart = Repeated('a', 70000);
  ByteVec utf8Rest;
  for (const ByteVec word = B("\xD0\xB7\xD0\xB4 \xE6\x97\xA5 "); utf8Rest.size() < 1000;)
    utf8Rest.insert(utf8Rest.end(), word.begin(), word.end());
  const ByteVec laterUtf8 = Joined({asciiStart, utf8Rest, B("\xE9")});
  const std::u16string utf8Text =
      platform::DecodedUTF8(std::string(utf8Rest.begin(), utf8Rest.end()));
  const std::u16string asUtf8 = std::u16string(70000, u'a') + utf8Text + u"\uFFFD\r\n";
  EXPECT_EQ(TextOfFileBytes(laterUtf8), asUtf8);
  EXPECT_EQ(ListText(laterUtf8), asUtf8);

  // A zero ends the text and the evidence: 8-bit bytes after it do not count.
  const ByteVec zeroThenEightBit = Joined({asciiStart, B("\xC3\xA9"), B({0x00}), eightBitRest});
  EXPECT_EQ(TextOfFileBytes(zeroThenEightBit), std::u16string(70000, u'a') + u"é\r\n");
}

TEST_F(FileOfCharTest, FileReaderDecodingInItsOwnStorageAgreesWithTheList) {
  // TextFileContents reads 8-bit and UTF-8 files into the text's storage and
  // decodes them there (8-bit text backwards over its bytes, UTF-8 forwards
  // from the back), with room for the lone line ends guessed from the head.
  // Random files of words, accented letters in both encodings, CJK (UTF-8 of
  // three bytes a unit), stray bytes, zeros and line ends of every kind, from
  // a few bytes to several heads long, some whose line ends change style
  // after the head (so that the guessed room is too small), must be read as
  // the general reader reads their bytes.
  const std::vector<ByteVec> pieces = {B("word"), B("\xE9t\xE9"), B("\x93q\x94"), B("\xC3\xA9"), B("\xE6\x97\xA5"),
                                       B("\xF0\x9F\x98\x80"), B("\xD0\xB7"), B({0x80}), B({0xFF}), B("\r\n"),
                                       B("\n"), B("\r"), B("\n\r"), B("\r\r\n"), B(" "), B({0x00}), B("\xE2\x82")};
  std::mt19937 random(41);
  for (uint32_t cp : {1252u, 1251u}) {
    platform::SetActiveCodePage(cp);
    for (int round = 0; round < 240; ++round) {
      // Weights of the pieces for this file: mostly one kind of text.
      std::vector<uint32_t> weight(pieces.size());
      for (uint32_t& w : weight) w = random() % 8 == 0 ? 40 : random() % 4;
      weight[0] += 30;
      weight[14] += 30;
      uint32_t total = 0;
      for (uint32_t w : weight) total += w;
      const auto pick = [&](uint32_t r) {
        size_t k = 0;
        for (r %= total; r >= weight[k]; ++k) r -= weight[k];
        return k;
      };
      const size_t size = round % 4 == 0 ? random() % 300000 : random() % 2000;
      ByteVec bytes;
      if (round % 10 == 3) bytes = B("\xEF\xBB\xBF");
      while (bytes.size() < size) {
        size_t k = pick(random());
        if (k == 15 && random() % 20 != 0) k = 0;  // zeros are rare: they end the text
        // Past the head, some files change to lone line feeds.
        if (round % 8 == 4 && bytes.size() > 70000 && random() % 3 == 0) k = 10;
        bytes.insert(bytes.end(), pieces[k].begin(), pieces[k].end());
      }
      ASSERT_EQ(TextFileContents(Make(bytes)), ListText(bytes)) << "code page " << cp << " round " << round;
      ASSERT_EQ(TextOfFileBytes(bytes), ListText(bytes)) << "code page " << cp << " round " << round;
      std::remove(fPaths.back().c_str());
    }
  }
  // Text that is all line ends: each lone one takes two units.
  platform::SetActiveCodePage(1252);
  for (const ByteVec& end : {B("\n"), B("\r"), B("\r\n")}) {
    ByteVec bytes;
    for (int k = 0; k < 40000; ++k) bytes.insert(bytes.end(), end.begin(), end.end());
    bytes.push_back(0xE9);
    EXPECT_EQ(TextFileContents(Make(bytes)), ListText(bytes));
  }
}

// Bytes as ICU decodes them in a code page (for UTF-8 a U+FFFD for each
// maximal ill-formed part), up to the first zero, every line end made CR LF
// and the last line ended: what the readers must give.
std::u16string LinesReference(const ByteVec& bytes, uint32_t codePage) {
  std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  view = view.substr(0, view.find('\0'));
  const std::u16string text = platform::Decoded(codePage, view);
  std::u16string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') {
      lines += text[i];
      continue;
    }
    lines += u"\r\n";
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
  }
  if (!lines.empty() && lines.back() != u'\n') lines += u"\r\n";
  return lines;
}

TEST_F(FileOfCharTest, Utf8DecoderFormsAgreeAtEveryLengthAndSplit) {
  // The vector forms of the UTF-8 decoder take windows of ASCII and two- and
  // three-byte sequences whole and leave everything else to the plain one;
  // the reader decodes a piece at a time and carries a cut character or a
  // CR to the next piece. Random texts of every length (runs of ASCII so
  // that windows are taken, and cut at every point into pieces) with
  // well-formed sequences at window edges, the E0 and ED limits, four-byte
  // sequences, truncated and stray bytes, and line ends of every kind:
  // every form, at every piece size, gives ICU's text and the same
  // evidence as the plain decoder over the whole.
  const std::vector<ByteVec> pieces = {
      B("abcdefghijklmnopqrstuvwxyz0123"), B("word "), B("\xC3\xA9"), B("\xD0\xB7"), B("\xDF\xBF"), B("\xC2\x80"),
      B("\xE6\x97\xA5"), B("\xE0\xA4\x85"), B("\xE0\xA0\x80"), B("\xED\x9F\xBF"), B("\xEF\xBF\xBD"),
      B("\xE0\x9F\xBF"), B("\xED\xA0\x80"), B("\xF0\x9F\x98\x80"), B("\xF4\x90\x80\x80"), B("\xE2\x82"),
      B("\xC3"), B({0x80}), B({0xBF}), B({0xC0, 0xAF}), B({0xC1}), B({0xF5}), B({0xFF}), B("\r\n"), B("\n"),
      B("\r"), B("\n\r"), B({0x01}), B({0x00})};
  std::mt19937 random(97);
  const int best = file_detail::LimitUtf8DecoderLevel(2);
  if (best < 2) std::printf("note: this processor runs the UTF-8 decoder forms up to level %d only\n", best);
  for (int round = 0; round < 400; ++round) {
    // Each text leans to a few of the pieces.
    std::vector<uint32_t> weight(pieces.size());
    for (uint32_t& w : weight) w = random() % 3 == 0 ? random() % 12 : 0;
    weight[0] += 6;
    weight[1] += 6;
    weight.back() = random() % 6 == 0 ? 1 : 0;  // a zero ends the text
    uint32_t total = 0;
    for (uint32_t w : weight) total += w;
    const size_t length = round < 100 ? static_cast<size_t>(round) : 100 + random() % 300;
    ByteVec bytes;
    while (bytes.size() < length) {
      uint32_t r = random() % total;
      size_t k = 0;
      while (r >= weight[k]) r -= weight[k++];
      // A run of ASCII of random length puts the next piece anywhere in a
      // window.
      const ByteVec& piece = pieces[k];
      bytes.insert(bytes.end(), piece.begin(), k == 0 ? piece.begin() + 1 + random() % piece.size() : piece.end());
    }
    bytes.resize(length);
    const std::u16string expected = LinesReference(bytes, platform::CP_UTF8);
    file_detail::LimitUtf8DecoderLevel(0);
    size_t valid = 0, invalid = 0;
    ASSERT_EQ(file_detail::Utf8LinesInPieces(bytes, length + 1, &valid, &invalid), expected) << "round " << round;
    for (int level = 0; level <= best; ++level) {
      file_detail::LimitUtf8DecoderLevel(level);
      for (size_t piece = 1; piece <= length + 1; ++piece) {
        size_t v = 0, iv = 0;
        ASSERT_EQ(file_detail::Utf8LinesInPieces(bytes, piece, &v, &iv), expected)
            << "round " << round << " level " << level << " piece " << piece;
        ASSERT_EQ(v, valid) << "round " << round << " level " << level << " piece " << piece;
        ASSERT_EQ(iv, invalid) << "round " << round << " level " << level << " piece " << piece;
      }
    }
  }
  file_detail::LimitUtf8DecoderLevel(2);
}

TEST_F(FileOfCharTest, EightBitReaderAgreesAtEveryLengthAndSplit) {
  // 8-bit text is decoded a block at a time, a piece at a time, with CR LF
  // pairs cut at block and piece edges: random texts of line ends of every
  // kind, letters the code page's table changes and those it keeps, at every
  // piece size, give ICU's text.
  const std::vector<ByteVec> pieces = {B("abcdefghijklmnopqrstuvwxyz0123"), B("\xE9t\xE9"), B("\x93q\x94"),
                                       B({0x80, 0x9F, 0xA0, 0xFF}), B("\r\n"), B("\n"), B("\r"), B("\n\r"),
                                       B({0x01}), B({0x00})};
  std::mt19937 random(53);
  for (uint32_t cp : {1252u, 1251u}) {
    platform::SetActiveCodePage(cp);
    for (int round = 0; round < 150; ++round) {
      const size_t length = round < 60 ? static_cast<size_t>(round) : 60 + random() % 200;
      ByteVec bytes;
      while (bytes.size() < length) {
        size_t k = random() % pieces.size();
        if (k + 1 == pieces.size() && random() % 4 != 0) k = 0;
        const ByteVec& piece = pieces[k];
        bytes.insert(bytes.end(), piece.begin(), k == 0 ? piece.begin() + 1 + random() % piece.size() : piece.end());
      }
      bytes.resize(length);
      const std::u16string expected = LinesReference(bytes, cp);
      for (size_t piece = 1; piece <= length + 1; ++piece) {
        ASSERT_EQ(file_detail::EightBitLinesInPieces(bytes, piece), expected)
            << "code page " << cp << " round " << round << " piece " << piece;
      }
    }
  }
}

TEST_F(FileOfCharTest, DodgyListLoadsAndRecovers) {
  TPossiblyDodgyTextStringlist list;
  EXPECT_FALSE(list.SignedUTF8);
  list.LoadFromFile(Make(B({0xEF, 0xBB, 0xBF, 0xC3, 0xA9})));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], u"é");
  EXPECT_TRUE(list.SignedUTF8);
  list.LoadFromFile(Make(B("ab")));  // two bytes leave the flag alone
  EXPECT_TRUE(list.SignedUTF8);
  list.LoadFromFile(Make(B("x\ny\r\n")));
  EXPECT_FALSE(list.SignedUTF8);
  EXPECT_EQ(list.Text(), u"x\r\ny\r\n");

  const std::string utf8 = platform::EncodedUTF8(kText);
  const std::u16string name = Make(B(utf8));
  list.LoadFromFile(name);
  EXPECT_EQ(list.Text(), kText);
  EXPECT_EQ(list.Text(), TextFileContents(name));
  EXPECT_EQ(list.Encoding(), platform::kEncodingUTF8);

  // Text handed in as 8-bit decoding of UTF-8 bytes is decoded again.
  TPossiblyDodgyTextStringlist fresh;
  fresh.SetTextStr(u"cafÃ©\nok");
  ASSERT_EQ(fresh.Count(), 2);
  EXPECT_EQ(fresh[0], u"café");
  fresh.SetTextStr(u"é ab");
  EXPECT_EQ(fresh[0], u"é ab");
  // A character the code page lacks cannot come from 8-bit bytes: the text
  // is kept whole instead of losing it to "?".
  fresh.SetTextStr(u"cafÃ© Ж");
  EXPECT_EQ(fresh[0], u"cafÃ© Ж");
  fresh.SetTextStr(u"\u4E2DÃ©");
  EXPECT_EQ(fresh[0], u"\u4E2DÃ©");
  fresh.SignedUTF8 = true;
  fresh.SetTextStr(u"cafÃ©");
  EXPECT_EQ(fresh[0], u"cafÃ©");
  // A load in a stated encoding takes the text as it decodes.
  const std::u16string stated = Make(B("caf\xC3\xA9"));
  fresh.SignedUTF8 = false;
  fresh.LoadFromFile(stated, 1252);
  EXPECT_EQ(fresh[0], u"cafÃ©");
  fresh.LoadFromFile(stated, platform::kEncodingUTF8);
  EXPECT_EQ(fresh[0], u"café");
  fresh.SignedUTF8 = true;
  fresh.SetLineBreak(u"|");
  fresh.SetTextStr(u"a|b||c");
  EXPECT_EQ(fresh.Count(), 4);
}

TEST_F(FileOfCharTest, ConvertAnsiToUtf16) {
  const std::u16string ru = Make(B("\xE4\xE0\r\n\xED\xE5\xF2"));
  EXPECT_TRUE(ConvertATextFileAnsiToUTF16(ru, 0x0419));
  EXPECT_EQ(Read(ru), Utf16Bytes(u"да\r\nнет\r\n", false, true));

  const std::u16string jp = Make(B("\x93\xFA\x96\x7B"));
  EXPECT_TRUE(ConvertATextFileAnsiToUTF16(jp, 0x0411));
  EXPECT_EQ(Read(jp), Utf16Bytes(u"日本\r\n", false, true));

  // Unsigned UTF-8 is read as UTF-8, as the readers do, not in the locale's
  // code page.
  const std::u16string unsignedUtf8 = Make(B("\xD0\x94\xD0\xB0\r\ncaf\xC3\xA9"));
  EXPECT_EQ(TextFileContents(unsignedUtf8), u"Да\r\ncafé\r\n");
  EXPECT_TRUE(ConvertATextFileAnsiToUTF16(unsignedUtf8, 0x0419));
  EXPECT_EQ(Read(unsignedUtf8), Utf16Bytes(u"Да\r\ncafé\r\n", false, true));

  const std::u16string signedUtf8 = Make(B("\xEF\xBB\xBF\xD0\xB4\xD0\xB0"));
  EXPECT_TRUE(ConvertATextFileAnsiToUTF16(signedUtf8, 0x0409));
  EXPECT_EQ(Read(signedUtf8), Utf16Bytes(u"да\r\n", false, true));

  const ByteVec be = Utf16Bytes(u"already unicode text", true, true);
  const std::u16string already = Make(be);
  EXPECT_TRUE(ConvertATextFileAnsiToUTF16(already, 0x0409));
  EXPECT_EQ(Read(already), be);

  const std::u16string empty = Make({});
  EXPECT_TRUE(ConvertATextFileAnsiToUTF16(empty, 0x0409));
  EXPECT_EQ(Read(empty), B({0xFF, 0xFE}));
}

TEST_F(FileOfCharTest, Writers) {
  const std::u16string name = Make(B("old"));
  EXPECT_FALSE(SavedTextAsStream(u"", name));
  EXPECT_EQ(Read(name), B("old"));
  EXPECT_TRUE(SavedTextAsStream(u"ab", name));
  EXPECT_EQ(Read(name), B({0xFF, 0xFE, 0x61, 0x00, 0x62, 0x00}));

  const std::u16string fresh = Missing();
  AddToFileOfChar(fresh, u"a");
  EXPECT_EQ(Read(fresh), B({0xFF, 0xFE, 0x61, 0x00}));
  AddToFileOfChar(fresh, u"b");
  EXPECT_EQ(Read(fresh), B({0xFF, 0xFE, 0x61, 0x00, 0x62, 0x00}));
  AddToFileOfChar(fresh, u"");
  EXPECT_EQ(Read(fresh).size(), 6u);
  AddToFileOfChar(u"", u"x");  // nothing happens

  const std::u16string odd = Make(B({0xFF, 0xFE, 0x61, 0x00, 0x7A}));
  AddToFileOfChar(odd, u"\u4E2D");
  EXPECT_EQ(Read(odd), B({0xFF, 0xFE, 0x61, 0x00, 0x2D, 0x4E}));
}

TEST_F(FileOfCharTest, FailedWritesKeepTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const std::string dir = testing::TempDir() + "foc_ro_" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0755);
  const std::string file = dir + "/t.txt";
  {
    std::ofstream f(file, std::ios::binary);
    f << "keep";
  }
  ::chmod(dir.c_str(), 0555);  // no new file can be made beside it
  const std::u16string name(file.begin(), file.end());
  EXPECT_THROW(SavedTextAsStream(u"new", name), Exception);
  EXPECT_EQ(Read(name), B("keep"));
  ::chmod(dir.c_str(), 0755);
  std::remove(file.c_str());
  ::rmdir(dir.c_str());
}

// Writes beyond a file-size limit fail (EFBIG) for every user, root included.
using FileSizeLimit = test_support::TFileSizeLimit;

TEST_F(FileOfCharTest, WritesThatFailLeaveTheFileAsItWas) {
  const ByteVec old = B({0xFF, 0xFE, 0x61, 0x00, 0x7A});
  const std::u16string appended = Make(old);
  const std::u16string replaced = Make(old);
  const std::u16string created = Missing();
  {
    FileSizeLimit limit(16);
    EXPECT_THROW(AddToFileOfChar(appended, u"0123456789"), Exception);
    EXPECT_THROW(SavedTextAsStream(u"0123456789", replaced), Exception);
    EXPECT_THROW(AddToFileOfChar(created, u"0123456789"), Exception);
  }
  EXPECT_EQ(Read(appended), old);  // the odd byte is back as well
  EXPECT_EQ(Read(replaced), old);
  struct stat st;
  EXPECT_NE(::stat(platform::FileNameToUtf8(created).c_str(), &st), 0);
}

class FileReadersOnNonRegularFiles : public test_support::TTempFolderTest {};

// Every reader of outside files, given a named pipe that nobody writes or an
// endless device, returns at once: an error, or "nothing" where the reader
// answers that for a missing file; none waits for a writer or reads for ever.
TEST_F(FileReadersOnNonRegularFiles, PipesAndDevicesAreRefusedAtOnce) {
  const std::string pipe = (fDir / "pipe.txt").string();
  ASSERT_TRUE(test_support::MakeNamedPipe(pipe));
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    const std::u16string name = test_support::Wide(path);
    EXPECT_TRUE(test_support::ReturnsWithoutAWriter(pipe, [&] {
      EXPECT_THROW(FileContentsType(name, true), EFOpenError);
      EXPECT_THROW(FileContentsType(name, false), EFOpenError);
      EXPECT_THROW(TextFileInUnicode(name), EFOpenError);
      EXPECT_EQ(TextFileContents(name), u"");
      TPossiblyDodgyTextStringlist dodgy;
      EXPECT_THROW(dodgy.LoadFromFile(name), EFOpenError);
      EXPECT_THROW(dodgy.LoadFromFile(name, platform::kEncodingUTF8), EFOpenError);
      platform::TStringList list;
      EXPECT_THROW(list.LoadFromFile(name), EFOpenError);
      EXPECT_THROW(platform::TMemIniFile ini(name), EFOpenError);
    }));
  }
}

}  // namespace
}  // namespace qn
