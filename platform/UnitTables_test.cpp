#include "platform/UnitTables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/CharTypes.h"
#include "platform/CodePageList.h"

namespace qn::platform {
namespace {

// The build works the tables out with the ICU it links against; working them
// out again here with the ICU the tests run on must give the same tables, or
// the libraries would classify and case-map otherwise than ICU does.
TEST(UnitTables, BuiltInTablesAreWhatIcuGivesNow) {
  std::vector<uint16_t> classes(kUnitCount, 0xFFFF);
  ComputeUnitClasses(classes.data());
  std::vector<char16_t> upper(kUnitCount, 0), lower(kUnitCount, 0);
  ComputeUnitCases(upper.data(), lower.data());
  std::vector<uint8_t> wordClasses(kUnitCount, 0xFF);
  ComputeUnitWordClasses(wordClasses.data());
  for (uint32_t c = 0; c < kUnitCount; ++c) {
    ASSERT_EQ(classes[c], kUnitClasses[c]) << "U+" << std::hex << c;
    ASSERT_EQ(wordClasses[c], kUnitWordClasses[c]) << "U+" << std::hex << c;
    ASSERT_EQ(upper[c], kUnitUpper[c]) << "U+" << std::hex << c;
    ASSERT_EQ(lower[c], kUnitLower[c]) << "U+" << std::hex << c;
  }
}

// The classes are worked out one stretch between boundaries at a time; a
// stretch cut wrongly shows up as a unit whose entry differs from its own
// classification.
TEST(UnitTables, StretchesHoldEachUnitsOwnClassification) {
  std::vector<uint16_t> classes(kUnitCount, 0xFFFF);
  ComputeUnitClasses(classes.data());
  for (uint32_t c = 0; c < kUnitCount; ++c) {
    ASSERT_EQ(classes[c], ClassOfCodePoint(c)) << "U+" << std::hex << c;
  }
  EXPECT_EQ(kUnitClasses[u'A'], C1_UPPER | C1_ALPHA | C1_XDIGIT | C1_DEFINED);
  EXPECT_EQ(kUnitClasses[u' '], C1_SPACE | C1_BLANK | C1_DEFINED);
  EXPECT_EQ(kUnitClasses[0xDBFF], C1_DEFINED);
  EXPECT_EQ(kUnitUpper[u'\u00E9'], u'\u00C9');
  EXPECT_EQ(kUnitLower[u'\u0391'], u'\u03B1');
  EXPECT_EQ(kUnitUpper[0xD800], char16_t(0xD800));
  EXPECT_EQ(kUnitUpper[u'\u00DF'], u'\u00DF');
  EXPECT_EQ(kUnitWordClasses[u'a'], kWordAlnum | kWordLower);
  EXPECT_EQ(kUnitWordClasses[u'\u01C5'], kWordAlnum);  // title case: neither upper nor lower here
  EXPECT_EQ(kUnitWordClasses[u'7'], kWordAlnum);
  EXPECT_EQ(kUnitWordClasses[u'\t'], kWordSpace);
  EXPECT_EQ(kUnitWordClasses[0x0085], kWordSpace);
  EXPECT_EQ(kUnitWordClasses[0x2029], kWordSpace);
  EXPECT_EQ(kUnitWordClasses[u'\u00BF'], kWordPunct);
  EXPECT_EQ(kUnitWordClasses[u'+'], 0);  // a symbol, not punctuation
  EXPECT_EQ(kUnitWordClasses[0x0001], 0);
}

// Every single-byte code page is built in, decoded as the installed ICU
// decodes it now.
TEST(UnitTables, EverySingleBytePageIsBuiltInAsIcuDecodesIt) {
  size_t singleByte = 0;
  for (const TCodePageInfo& info : kCodePages) {
    if (info.maxBytes != 1) continue;
    ++singleByte;
    const TBuiltInByteDecoding* built = nullptr;
    for (size_t i = 0; i < kBuiltInByteDecodingCount; ++i) {
      if (kBuiltInByteDecodings[i].codePage == info.number) built = &kBuiltInByteDecodings[i];
    }
    ASSERT_NE(built, nullptr) << info.number;
    TByteDecoding now;
    ASSERT_TRUE(ComputeByteDecoding(info.converter, now)) << info.converter;
    for (int b = 0; b < 256; ++b) {
      ASSERT_EQ(built->decoding.units[b], now.units[b]) << info.number << " byte " << b;
      ASSERT_EQ(built->decoding.defined[b], now.defined[b]) << info.number << " byte " << b;
    }
  }
  EXPECT_EQ(kBuiltInByteDecodingCount, singleByte);
  TByteDecoding none;
  EXPECT_FALSE(ComputeByteDecoding("no-such-converter", none));
}

// The tables must stay in read-only pages mapped from the program or library
// file: pages that are never written are not copied per process, and only
// those read are brought in.
TEST(UnitTables, TablesLieInReadOnlyPagesOfTheFile) {
  std::ifstream maps("/proc/self/maps");
  ASSERT_TRUE(maps.good());
  struct TTable {
    const void* data;
    size_t bytes;
    const char* name;
    bool found = false;
  };
  std::vector<TTable> tables = {{kUnitClasses, sizeof kUnitClasses, "classes"},
                                {kUnitUpper, sizeof kUnitUpper, "upper"},
                                {kUnitLower, sizeof kUnitLower, "lower"},
                                {kUnitWordClasses, sizeof kUnitWordClasses, "word classes"}};
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long long from = 0, to = 0;
    char perms[5] = {};
    unsigned long long offset = 0, inode = 0;
    char device[16] = {};
    if (std::sscanf(line.c_str(), "%llx-%llx %4s %llx %15s %llu", &from, &to, perms, &offset, device, &inode) != 6)
      continue;
    for (TTable& table : tables) {
      const auto at = reinterpret_cast<uintptr_t>(table.data);
      if (at < from || at + table.bytes > to) continue;
      table.found = true;
      EXPECT_EQ(perms[1], '-') << table.name << " in a writable mapping: " << line;
      EXPECT_NE(inode, 0u) << table.name << " not mapped from a file: " << line;
    }
  }
  for (const TTable& table : tables) EXPECT_TRUE(table.found) << table.name;
}

}  // namespace
}  // namespace qn::platform
