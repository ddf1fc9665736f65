#include "runtime1/text/Utf8_unit.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/YieldHook.h"

namespace qn {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(Utf8Unit, Signature) {
  EXPECT_EQ(UTF8SignatureAsUTF8String(), Bytes({0xEF, 0xBB, 0xBF}));
  EXPECT_TRUE(IsUTF8SignatureA("\xEF\xBB\xBFx"));
  EXPECT_FALSE(IsUTF8SignatureA("\xEF\xBB"));  // stops at the terminator
  EXPECT_FALSE(IsUTF8SignatureA("\xFF\xFE"));
  EXPECT_FALSE(IsUTF8SignatureA(nullptr));
  EXPECT_TRUE(IsUTF8Signature(0xEF, 0xBB, 0xBF));
  EXPECT_FALSE(IsUTF8Signature(0xEF, 0xBB, 0xBE));
  // Bytes EF BB BF 41 read as little-endian UTF-16 units.
  const char16_t signed2[] = {0xBBEF, 0x41BF, 0};
  const char16_t one[] = {0xBBEF, 0};
  const char16_t other[] = {0xBBEF, 0x41BE, 0};
  EXPECT_TRUE(IsUTF8SignatureW(signed2));
  EXPECT_FALSE(IsUTF8SignatureW(one));
  EXPECT_FALSE(IsUTF8SignatureW(other));
  EXPECT_FALSE(IsUTF8SignatureW(nullptr));
}

TEST(Utf8Unit, LengthInChars) {
  struct Case {
    std::string bytes;
    size_t expected;
  };
  const Case cases[] = {
      {Bytes({0x41, 0xC3, 0xA9}), 2},
      {Bytes({0x41, 0xC3}), 2},  // the last sequence runs past the end: byte length
      {Bytes({0x80, 0x41}), 2},  // continuation byte at a lead position: byte length
      {"", 0},
      {"plain ASCII text that is longer than one word", 45},
      {Bytes({0xF0, 0x9F, 0x98, 0x80, 0x41}), 2},
      {Bytes({0xC3, 0x41}), 1},  // continuation bytes are not examined
      {Bytes({0xF8, 0x80, 0x80, 0x80, 0x80}), 1},
      {Bytes({0xFC, 0x80, 0x80, 0x80, 0x80, 0x80, 0x41}), 2},
      {Bytes({0x41, 0xFE, 0x41}), 3},
      {Bytes({0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0xE2, 0x82, 0xAC}), 9},
  };
  for (const Case& c : cases) EXPECT_EQ(UTF8LengthInChars(c.bytes), c.expected) << c.bytes;
}

TEST(Utf8Unit, CheckedUTF) {
  struct Case {
    std::string bytes;
    bool result;
    bool asciiOnly;
  };
  const Case cases[] = {
      {"abc", true, true},
      {"", true, true},
      {Bytes({0x61, 0xC3, 0xA9, 0x80, 0x80}), true, false},  // only the first sequence counts
      {Bytes({0x61, 0xC0, 0x80}), false, true},
      {Bytes({0x61, 0xE0, 0x80, 0x80}), false, true},   // E0 needs A0 or more
      {Bytes({0x61, 0xE0, 0xA0, 0x80}), true, false},
      {Bytes({0x61, 0xF4, 0x90, 0x80, 0x80}), false, true},
      {Bytes({0x61, 0xF4, 0x8F, 0xBF, 0xBF}), true, false},
      {Bytes({0x61, 0xF0, 0x8F, 0x80, 0x80}), false, true},  // F0 needs 90 or more
      {Bytes({0x61, 0xF5, 0x80, 0x80, 0x80}), false, true},
      {Bytes({0x61, 0xC3}), false, true},                     // runs past the end
      {Bytes({0x80}), false, true},                           // continuation byte first
      {Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), false, true},   // 5-byte form
      {Bytes({0xE2, 0x82, 0x41}), false, true},               // bad third byte
      {Bytes({0xED, 0xA0, 0x80}), false, true},               // an encoded surrogate
      {Bytes({0xED, 0x9F, 0xBF}), true, false},
      {std::string(200000, 'x') + Bytes({0xC3, 0xA9}), true, false},
  };
  for (const Case& c : cases) {
    bool asciiOnly = !c.asciiOnly;
    EXPECT_EQ(CheckedUTF(c.bytes, asciiOnly), c.result) << c.bytes.substr(0, 8);
    EXPECT_EQ(asciiOnly, c.asciiOnly) << c.bytes.substr(0, 8);
  }
}

TEST(Utf8Unit, CheckedUTFYieldsWhileWalking) {
  int calls = 0;
  auto count = [&calls] { ++calls; };
  AYieldProcessProc = TYieldProcessProc::FromCallable(count);
  bool asciiOnly = false;
  EXPECT_TRUE(CheckedUTF("abc", asciiOnly));
  EXPECT_GE(calls, 1);
  const int small = calls;
  EXPECT_TRUE(CheckedUTF(std::string(1000000, 'a'), asciiOnly));
  EXPECT_GT(calls - small, 10);  // a long walk yields repeatedly
  AYieldProcessProc.Clear();
}

}  // namespace
}  // namespace qn
