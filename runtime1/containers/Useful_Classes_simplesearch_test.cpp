// The simple search list.
#include "runtime1/containers/Useful_Classes_simplesearch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Streams.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/containers/Useful_Classes_search.h"

namespace qn {
namespace {

using test_support::TTempFolderTest;
using test_support::Wide;
using test_support::WriteBytes;

constexpr TMySearchFlags kBoth{myLeftBounded, myRightBounded};

struct Want {
  std::u16string seek;
  int32_t n_wanted;
  TMySearchFlags flags;
};

void ExpectRecords(const TSimpleSearchlist& list, const std::vector<Want>& want) {
  ASSERT_EQ(list.Count(), static_cast<int32_t>(want.size()));
  for (size_t i = 0; i < want.size(); ++i) {
    const TSimpleSearch_rec r = list.GetAValue(static_cast<int32_t>(i));
    EXPECT_EQ(r.seek, want[i].seek) << i;
    EXPECT_EQ(r.n_wanted, want[i].n_wanted) << i;
    EXPECT_EQ(r.flags.Byte(), want[i].flags.Byte()) << i;
  }
}

class SimpleSearchFile : public TTempFolderTest {
 protected:
  std::u16string File(const std::string& bytes) {
    const auto path = fDir / "words.txt";
    WriteBytes(path, bytes);
    return Wide(path);
  }
};

constexpr const char* kSample = "; comment\r\n// note\r\nwalk*=3, ==Bank==\r\n\r\ncat -> dog, mouse\r\n";

TEST_F(SimpleSearchFile, ItemsWithoutEqualsSign) {
  TSimpleSearchlist list;
  ASSERT_TRUE(list.LoadFromFile(File(kSample), false));
  ExpectRecords(list, {{u"WALK*=3", 3, kBoth},
                       {u"Bank", 1, {myLeftBounded, myRightBounded, myCaseIsSensitive}},
                       {u"CAT", 1, kBoth},
                       {u"DOG", 1, kBoth},
                       {u"MOUSE", 1, kBoth}});
  EXPECT_EQ(list.AsText(u", "), u"WALK*=3, Bank, CAT, DOG, MOUSE");
  EXPECT_EQ(list.GetATypedInSW(1), u"==Bank==");
}

TEST_F(SimpleSearchFile, ItemsWithEqualsSign) {
  TSimpleSearchlist list;
  ASSERT_TRUE(list.LoadFromFile(File(kSample), true));
  ExpectRecords(list, {{u"WALK", 3, {myLeftBounded}},
                       {u"", 1, kBoth},
                       {u"", 1, kBoth},
                       {u"", 1, kBoth},
                       {u"", 1, kBoth}});
  EXPECT_EQ(list.GetATypedInSW(0), u"WALK*");
}

TEST_F(SimpleSearchFile, CuttingAndCounts) {
  TSimpleSearchlist list;
  ASSERT_TRUE(list.LoadFromFile(File("a, b -> c\n ;x\n/y\nn=99999999999, m = 7 ,o=-2,p=x\n"), false));
  ExpectRecords(list, {{u"A, B", 1, kBoth},
                       {u"C", 1, kBoth},
                       {u";X", 1, kBoth},
                       {u"/Y", 1, kBoth},
                       {u"N=99999999999", 1, kBoth},
                       {u"M = 7", 7, kBoth},
                       {u"O=-2", 1, kBoth},
                       {u"P=X", 1, kBoth}});
  // After an arrow the next cut is at a comma, so a second arrow stays in
  // its item; an arrow after a comma cuts again.
  ASSERT_TRUE(list.LoadFromFile(File("a -> b -> c, d -> e\n"), false));
  EXPECT_EQ(list.AsText(u"|"), u"A|B -> C|D|E");
}

TEST_F(SimpleSearchFile, EncodingsByByteOrderMark) {
  TSimpleSearchlist list;
  ASSERT_TRUE(list.LoadFromFile(File("\xEF\xBB\xBFstra\xC3\x9F" "e=2, \xC3\xA9t\xC3\xA9*\n"), false));
  ExpectRecords(list, {{u"STRA\u00DFE=2", 2, kBoth}, {u"\u00C9T\u00C9", 1, {myLeftBounded}}});
  const std::u16string text = u"==\u00E9t\u00E9==\n";
  std::string bytes = "\xFF\xFE";
  for (const char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  ASSERT_TRUE(list.LoadFromFile(File(bytes), true));
  ExpectRecords(list, {{u"", 1, kBoth}});
  ASSERT_TRUE(list.LoadFromFile(File(bytes), false));
  ExpectRecords(list, {{u"\u00E9t\u00E9", 1, {myLeftBounded, myRightBounded, myCaseIsSensitive}}});
}

TEST_F(SimpleSearchFile, MissingFileOrFolder) {
  TSimpleSearchlist list;
  list.AddOne({u"X", 2, kBoth});
  EXPECT_FALSE(list.LoadFromFile(Wide(fDir / "absent.txt"), false));
  EXPECT_EQ(list.Count(), 0);
  list.AddOne({u"X", 2, kBoth});
  EXPECT_FALSE(list.LoadFromFile(Wide(fDir), false));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.LoadFromFile(u"", false));
}

TEST(TSimpleSearchlist, RecordsAndSettings) {
  TSimpleSearchlist list({5, 6});
  EXPECT_EQ(list.Settings, (TSimpleSearchSettings{5, 6}));
  EXPECT_EQ(DefaultSimpleSearchSettings(), (TSimpleSearchSettings{1000, 200}));
  EXPECT_EQ(TSimpleSearchlist().Settings, DefaultSimpleSearchSettings());
  EXPECT_EQ(list.AsText(u", "), u"");
  EXPECT_EQ(list.AddOne({u"CAT", 2, kBoth}), 0);
  EXPECT_EQ(list.AddOne({u"ING", 1, {myRightBounded}}), 1);
  EXPECT_EQ(list.AsText(u", "), u"CAT, ING");
  EXPECT_EQ(list.GetATypedInSW(1), u"*ING");
  EXPECT_EQ(list.GetATypedInSW(2), u"");
  EXPECT_EQ(list.GetATypedInSW(-1), u"");
  EXPECT_EQ(list.GetAValue(2), TSimpleSearch_rec{});

  TSimpleSearchlist other;
  other.AddOne({u"DOG", 4, kBoth});
  list.AddAll(other);
  EXPECT_EQ(list.Settings, DefaultSimpleSearchSettings());
  EXPECT_EQ(list.AsText(u"|"), u"CAT|ING|DOG");
  // Added to itself, the list doubles.
  list.Settings = {1, 2};
  list.AddAll(list);
  EXPECT_EQ(list.AsText(u"|"), u"CAT|ING|DOG|CAT|ING|DOG");
  EXPECT_EQ(list.Settings, (TSimpleSearchSettings{1, 2}));
  EXPECT_EQ(list.GetAValue(4).n_wanted, 1);
  EXPECT_EQ(list.GetAValue(5).n_wanted, 4);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 5);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

// The cutting rule as written, searching for " -> " again from every start.
std::vector<std::u16string> CutByRescanning(const std::u16string& line) {
  const auto trim = [](std::u16string s) {
    while (!s.empty() && s.front() == u' ') s.erase(0, 1);
    while (!s.empty() && s.back() == u' ') s.pop_back();
    return s;
  };
  std::vector<std::u16string> items;
  size_t start = 0;
  for (;;) {
    const size_t arrow = line.find(u" -> ", start);
    if (arrow != std::u16string::npos) {
      items.push_back(trim(line.substr(start, arrow - start)));
      start = arrow + 4;
    }
    const size_t comma = line.find(u',', start);
    if (comma == std::u16string::npos) {
      items.push_back(trim(line.substr(start)));
      return items;
    }
    items.push_back(trim(line.substr(start, comma - start)));
    start = comma + 1;
  }
}

TEST(TSimpleSearchlist, ItemsAsByRescanningEachTime) {
  std::mt19937 rng(45);
  const char16_t alphabet[] = {u'a', u',', u' ', u'-', u'>', u'b'};
  TSimpleSearchlist list;
  for (int round = 0; round < 3000; ++round) {
    std::u16string line(1 + rng() % 16, u'a');
    for (char16_t& c : line) c = alphabet[rng() % std::size(alphabet)];
    if (line.front() == u';' || line.starts_with(u"//")) continue;
    std::string bytes(line.begin(), line.end());
    platform::TMemoryViewStream stream(reinterpret_cast<const uint8_t*>(bytes.data()),
                                       static_cast<int64_t>(bytes.size()));
    list.LoadFromStream(stream, false);
    const std::vector<std::u16string> want = CutByRescanning(line);
    ASSERT_EQ(list.Count(), static_cast<int32_t>(want.size())) << bytes;
    for (size_t i = 0; i < want.size(); ++i) {
      std::u16string w = want[i];
      const TMySearchFlags flags = FlagsFromSW(w);
      for (char16_t& c : w) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
      ASSERT_EQ(list.GetAValue(static_cast<int32_t>(i)).seek, w) << bytes;
      ASSERT_EQ(list.GetAValue(static_cast<int32_t>(i)).flags, flags) << bytes;
    }
  }
}

}  // namespace
}  // namespace qn
