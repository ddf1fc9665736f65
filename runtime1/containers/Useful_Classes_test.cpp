// Records, holders, comparisons and the string record of the typed lists.
#include "runtime1/containers/Useful_Classes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/Streams.h"
#include "platform/StringList.h"

namespace qn {
namespace {

using platform::TMemoryStream;
using platform::TMemoryViewStream;
using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const TMemoryStream& s) { return Bytes(s.Bytes().begin(), s.Bytes().end()); }

// ---------------------------------------------------------------------------
// The string record

TEST(StringRecord, GoldenImageAndRoundTrip) {
  TMemoryStream s;
  EXPECT_TRUE(WriteAString(s, u"ab"));
  EXPECT_TRUE(WriteAString(s, u""));
  EXPECT_TRUE(WriteAString(s, u"\U0001F600"));  // a surrogate pair: two code units
  EXPECT_EQ(BytesOf(s), (Bytes{2, 0, 0, 0, 'a', 0, 'b', 0,  //
                               0, 0, 0, 0,                  //
                               2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}));
  s.SetPosition(0);
  EXPECT_EQ(ReadAString(s), u"ab");
  EXPECT_EQ(ReadAString(s), u"");
  EXPECT_EQ(ReadAString(s), u"\U0001F600");
  EXPECT_EQ(s.Remaining(), 0);
}

TEST(StringRecord, EmptyStringReadsNothingMore) {
  const Bytes image{0, 0, 0, 0, 'x', 0};
  TMemoryViewStream in(image.data(), 6);
  EXPECT_EQ(ReadAString(in), u"");
  EXPECT_EQ(in.Position(), 4);
}

TEST(StringRecord, MalformedLengthsRaiseBeforeReading) {
  struct Case {
    const char* name;
    int32_t length;
    int32_t limit;  // 0: the global limit
    int64_t unitsPresent;
    const char* message;
  };
  const Case cases[] = {
      {"one over the initial limit", 5001, 0, 5001, "file read error : ReadAString"},
      {"negative", -1, 0, 0, "file read error : ReadAString"},
      {"most negative", INT32_MIN, 0, 0, "file read error : ReadAString"},
      {"over a given limit", 11, 10, 11, "file read error : ReadAString"},
      {"longer than the stream", 100, 0, 3, "Stream read error"},
      {"huge and within a huge limit", INT32_MAX, INT32_MAX, 1, "Stream read error"},
  };
  ASSERT_EQ(global_string_safety_limit, 5000);
  for (const Case& c : cases) {
    platform::TByteWriter w;
    w.Put<int32_t>(c.length);
    for (int64_t i = 0; i < c.unitsPresent; ++i) w.Put<char16_t>(u'x');
    TMemoryViewStream in(w.Bytes().data(), static_cast<int64_t>(w.Size()));
    try {
      if (c.limit == 0) {
        ReadAString(in);
      } else {
        ReadAString(in, c.limit);
      }
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.name;
    }
  }
  // At the limit is accepted; the global limit can be changed.
  platform::TByteWriter w;
  w.Put<int32_t>(5000);
  w.PutUnits(std::u16string(5000, u'y'));
  TMemoryViewStream in(w.Bytes().data(), static_cast<int64_t>(w.Size()));
  EXPECT_EQ(ReadAString(in).size(), 5000u);
  in.SetPosition(0);
  global_string_safety_limit = 4999;
  EXPECT_THROW(ReadAString(in), EReadError);
  global_string_safety_limit = 5000;
}

// ---------------------------------------------------------------------------
// Holders: byte images

struct HolderCase {
  const char* name;
  std::function<std::unique_ptr<TUsefulBaseListObject>()> make;  // a filled holder
  std::function<std::unique_ptr<TUsefulBaseListObject>()> blank;
  Bytes image;
  std::function<bool(const TUsefulBaseListObject&, const TUsefulBaseListObject&)> same;
};

template <typename H, typename V>
HolderCase Case(const char* name, V value, Bytes image) {
  return {name, [value] { return std::make_unique<H>(value); }, [] { return std::make_unique<H>(); },
          std::move(image), [](const TUsefulBaseListObject& a, const TUsefulBaseListObject& b) {
            return static_cast<const H&>(a).data == static_cast<const H&>(b).data;
          }};
}

std::vector<HolderCase> HolderCases() {
  TIntegerAnd3CardinalsRec i3;
  i3.freq = -2;
  i3.value = {1, 0x01020304, 0xFFFFFFFF};
  T2StringsAnd2IntegersRec s2;
  s2.int1 = 1;
  s2.int2 = 2;
  s2.s1 = u"A";
  s2.s2 = u"";
  TStringTrueColumnAndColourRec sc;
  sc.true_column_number = 3;
  sc.background_colour = 0x00FF8000;
  sc.s = u"hi";
  return {
      Case<TLongIntHolder>("TLongIntHolder", int32_t{-2}, {0xFE, 0xFF, 0xFF, 0xFF}),
      Case<TCardinalHolder>("TCardinalHolder", uint32_t{0x80000001}, {1, 0, 0, 0x80}),
      Case<TSingleHolder>("TSingleHolder", 1.5f, {0, 0, 0xC0, 0x3F}),
      Case<TInt64Holder>("TInt64Holder", int64_t{0x0102030405060708}, {8, 7, 6, 5, 4, 3, 2, 1}),
      Case<TIntegerAndSingleHolder>("TIntegerAndSingleHolder", TIntegerAndSingleRec{7, -2.0f},
                                    {7, 0, 0, 0, 0, 0, 0, 0xC0}),
      Case<TIntegerAnd3CardinalsHolder>(
          "TIntegerAnd3CardinalsHolder", i3,
          {0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 4, 3, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF}),
      Case<TCardinalAndFreqHolder>("TCardinalAndFreqHolder", TCardinalAndFreq{9, 300},
                                   {9, 0, 0, 0, 0x2C, 1, 0, 0}),
      Case<T2StringsAnd2IntegersHolder>("T2StringsAnd2IntegersHolder", s2,
                                        {1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 'A', 0, 0, 0, 0, 0}),
      Case<TStringTrueColumnAndColourHolder>(
          "TStringTrueColumnAndColourHolder", sc,
          {3, 0, 0, 0, 0x00, 0x80, 0xFF, 0x00, 2, 0, 0, 0, 'h', 0, 'i', 0}),
      Case<T2LongIntHolder>("T2LongIntHolder", T2_longint_rec{1, 2}, {}),
      Case<T3LongIntHolder>("T3LongIntHolder", T3_longint_rec{1, 2, 3}, {}),
      Case<T4LongIntHolder>("T4LongIntHolder", T4_longint_rec{1, 2, 3, 4}, {}),
      Case<TWordFreqAndSourceNumHolder>("TWordFreqAndSourceNumHolder",
                                        TWordFreqAndSourceNum{u"w", 1, 2}, {}),
  };
}

TEST(Holders, GoldenImagesRoundTripsAndShortReads) {
  for (const HolderCase& c : HolderCases()) {
    auto holder = c.make();
    TMemoryStream s;
    ASSERT_TRUE(holder->SaveToStream(s)) << c.name;
    EXPECT_EQ(BytesOf(s), c.image) << c.name;

    auto back = c.blank();
    TMemoryViewStream in(c.image.data(), static_cast<int64_t>(c.image.size()));
    EXPECT_TRUE(back->ReadFromStream(in)) << c.name;
    if (!c.image.empty()) {
      EXPECT_TRUE(c.same(*holder, *back)) << c.name;
    }

    // Every truncation of a non-empty image fails and leaves the holder blank.
    for (size_t cut = 0; cut < c.image.size(); ++cut) {
      auto partial = c.blank();
      TMemoryViewStream short_in(c.image.data(), static_cast<int64_t>(cut));
      EXPECT_FALSE(partial->ReadFromStream(short_in)) << c.name << " cut at " << cut;
      EXPECT_TRUE(c.same(*partial, *c.blank())) << c.name << " cut at " << cut;
    }
  }
}

TEST(Holders, StringHoldersFailOnStringsOverTheLimit) {
  platform::TByteWriter w;
  w.Put<int32_t>(1).Put<int32_t>(2).Put<int32_t>(5001);
  w.PutUnits(std::u16string(5001, u'z')).Put<int32_t>(0);
  TMemoryViewStream in(w.Bytes().data(), static_cast<int64_t>(w.Size()));
  T2StringsAnd2IntegersHolder h;
  EXPECT_FALSE(h.ReadFromStream(in));
  EXPECT_EQ(h.data, T2StringsAnd2IntegersRec{});

  platform::TByteWriter w2;
  w2.Put<int32_t>(1).Put<int32_t>(2).Put<int32_t>(-5);
  TMemoryViewStream in2(w2.Bytes().data(), static_cast<int64_t>(w2.Size()));
  TStringTrueColumnAndColourHolder h2;
  EXPECT_FALSE(h2.ReadFromStream(in2));
  EXPECT_EQ(h2.data, TStringTrueColumnAndColourRec{});
  std::unique_ptr<TStringTrueColumnAndColourHolder> blank(TStringTrueColumnAndColourHolder::CreateBlank());
  EXPECT_EQ(blank->data, TStringTrueColumnAndColourRec{});
}

// ---------------------------------------------------------------------------
// Comparisons

TEST(Comparisons, SignsOfTheComparisonTable) {
  struct Row {
    const char* name;
    int32_t got;
    int32_t want;
  };
  Tdouble_cardinal_rec d1{1, 0xFFFFFFFF}, d2{2, 1};
  TIntegerAnd2CardinalsRec i2a{-1, {5, 1}}, i2b{1, {4, 2}};
  TIntegerAnd3CardinalsRec i3a{-1, {1, 2, 3}}, i3b{1, {1, 3, 2}};
  const Row rows[] = {
      {"CompareLongints", CompareLongints(-5, 3), -1},
      {"CompareLongints equal", CompareLongints(7, 7), 0},
      {"CompareLongints extremes", CompareLongints(INT32_MAX, INT32_MIN), 1},
      {"CompareCardinals unsigned", CompareCardinals(0x80000000u, 1), 1},
      {"CompareInt64s", CompareInt64s(INT64_MIN, INT64_MAX), -1},
      {"CompareSingles", CompareSingles(-0.5f, 0.25f), -1},
      {"CompareSingles NaN", CompareSingles(NAN, 1.0f), 0},
      {"Compare16BitWords", Compare16BitWords(0xFFFF, 1), 1},
      {"CompareChars", CompareChars(u'a', u'b'), -1},
      {"CompareBytes", CompareBytes(200, 100), 1},
      {"CompareDates later first", CompareDates(45000.5, 45000.25), -1},
      {"CompareJulianDates earlier", CompareJulianDates(1.0, 2.0), 1},
      {"Compare2Strings", Compare2Strings(u"ab", u"b"), -1},
      {"Compare2Strings prefix", Compare2Strings(u"abc", u"ab"), 1},
      {"Compare2Strings case", Compare2Strings(u"B", u"a"), -1},
      {"Compare2Strings identical", Compare2Strings(u"x", u"x"), 0},
      {"Compare2CardinalsCard1", Compare2CardinalsCard1(d1, d2), -1},
      {"Compare2CardinalsCard2", Compare2CardinalsCard2(d1, d2), 1},
      {"CompareIntAnd2CardinalsCard1", CompareIntAnd2CardinalsCard1(i2a, i2b), 1},
      {"CompareIntAnd2CardinalsCard2", CompareIntAnd2CardinalsCard2(i2a, i2b), -1},
      {"CompareIntAnd2CardinalsFreq signed", CompareIntAnd2CardinalsFreq(i2a, i2b), -1},
      {"CompareIntAnd3CardinalsCard1", CompareIntAnd3CardinalsCard1(i3a, i3b), 0},
      {"CompareIntAnd3CardinalsCard2", CompareIntAnd3CardinalsCard2(i3a, i3b), -1},
      {"CompareIntAnd3CardinalsCard3", CompareIntAnd3CardinalsCard3(i3a, i3b), 1},
      {"CompareIntAnd3CardinalsFreq unsigned", CompareIntAnd3CardinalsFreq(i3a, i3b), 1},
      {"CrudeStringComparison difference", CrudeStringComparison(u"abd", u"abz"), 'd' - 'z'},
      {"CrudeStringComparison longer", CrudeStringComparison(u"ab", u"a"), 'b'},
      {"CrudeStringComparison embedded zero",
       CrudeStringComparison(std::u16string_view(u"ab\0x", 4), std::u16string_view(u"ab\0y", 4)), 0},
  };
  for (const Row& r : rows) EXPECT_EQ(r.got, r.want) << r.name;
}

TEST(Comparisons, LocaleAwareComparisonsFollowMyDefaultSort) {
  const uint32_t english = 0x0409;
  EXPECT_EQ(ComparePWidechar(english, u"apple", u"Banana"), -1);  // by the locale, not by code unit
  EXPECT_EQ(Compare2Strings(u"apple", u"Banana"), 1);
  EXPECT_NE(ComparePWidechar(english, u"a", u"A"), 0);
  EXPECT_EQ(ComparePWidechar(english, nullptr, u""), 0);
  my_default_sort = platform::NORM_IGNORECASE;
  EXPECT_EQ(ComparePWidechar(english, u"a", u"A"), 0);
  EXPECT_EQ(LCIDStringComparison(u"HOUSE", u"house", english), 0);
  EXPECT_EQ(ComparePAnsichar(english, "abc", "ABD"), -1);
  my_default_sort = 0;
}

TEST(Comparisons, StringListCompareDescFreq) {
  platform::TStringList list;
  list.AddObject(u"b", platform::ObjectFromInt(2));
  list.AddObject(u"a", platform::ObjectFromInt(2));
  list.AddObject(u"c", platform::ObjectFromInt(9));
  EXPECT_LT(StringListCompareDescFreq(list, 2, 0), 0);  // 9 before 2
  EXPECT_GT(StringListCompareDescFreq(list, 0, 1), 0);  // ties by string: "a" before "b"
  EXPECT_EQ(StringListCompareDescFreq(list, 1, 1), 0);
}

TEST(Comparisons, SortCallbacksOrderHoldersAndEmptySlots) {
  TLongIntHolder a(5), b(-5);
  EXPECT_EQ(SortLongints(&a, &b), 1);
  EXPECT_EQ(SortLongints(nullptr, &b), -1);
  TCardinalHolder c(0xFFFFFFFF), d(1);
  EXPECT_EQ(SortCardinals(&c, &d), 1);
  TSingleHolder e(-1.0f), f(2.0f);
  EXPECT_EQ(SortSingles(&e, &f), -1);
  TInt64Holder g(INT64_MAX), h(0);
  EXPECT_EQ(SortInt64s(&g, &h), 1);
  TIntegerAnd3CardinalsHolder i(TIntegerAnd3CardinalsRec{-1, {}}), j(TIntegerAnd3CardinalsRec{5, {}});
  EXPECT_EQ(SortIntegerAnd3CardinalsFreq(&i, &j), 1);  // -1 as unsigned is the largest
}

TEST(Exchanges, SwapRecords) {
  T2_longint_rec a{1, 2}, b{3, 4};
  ExchangeTwoDoubleLongintRecs(a, b);
  EXPECT_EQ(a, (T2_longint_rec{3, 4}));
  EXPECT_EQ(b, (T2_longint_rec{1, 2}));
  TIndexAndPointerRec p{1, &a}, q{2, nullptr};
  ExchangeTwoIndexAndPointerRecs(p, q);
  EXPECT_EQ(p.index, 2);
  EXPECT_EQ(q.p, &a);
  TSmall_and_long_rec s{1, 2}, t{3, 4};
  ExchangeTwoSmallAndLongRecs(s, t);
  EXPECT_EQ(s.small, 3);
  Tdouble_cardinal_rec u{1, 2}, v{3, 4};
  ExchangeTwoDoubleCardinalRecs(u, v);
  EXPECT_EQ(u.card1, 3u);
  TPointerAnd2CardinalsRec w{nullptr, 1, 2}, x{&a, 3, 4};
  ExchangeTwoPointerAnd2CardinalsRecs(w, x);
  EXPECT_EQ(w.Item2, 4u);
}

TEST(ComputedByteDivisions, Boundaries) {
  EXPECT_EQ(ComputedByteDivisions(10, 3), (std::vector<int64_t>{3, 7, 10}));
  EXPECT_EQ(ComputedByteDivisions(5, 2), (std::vector<int64_t>{2, 5}));  // 2.5 rounds to even
  EXPECT_EQ(ComputedByteDivisions(7, 2), (std::vector<int64_t>{4, 7}));  // 3.5 rounds to even
  EXPECT_EQ(ComputedByteDivisions(0, 2), (std::vector<int64_t>{0, 0}));
  EXPECT_TRUE(ComputedByteDivisions(10, 0).empty());
  EXPECT_TRUE(ComputedByteDivisions(10, -1).empty());
  // A total that a float cannot hold exactly: the last boundary is as close as
  // single precision allows.
  const std::vector<int64_t> big = ComputedByteDivisions(1000000007, 1);
  EXPECT_EQ(big.back(), static_cast<int64_t>(1000000007.0f));
  EXPECT_NE(big.back(), 1000000007);
}

TEST(KeyPlusValue, KeysAndValues) {
  EXPECT_EQ(KeyOfKeyPlusValue(u"  colour = 12 "), u"colour");
  EXPECT_EQ(KeyOfKeyPlusValue(u"a=b=c"), u"a");
  EXPECT_EQ(KeyOfKeyPlusValue(u"no equals"), u"");
  EXPECT_EQ(ValueOfKeyPlusValue(u"  colour = 12 "), 12);
  EXPECT_EQ(ValueOfKeyPlusValue(u"x=-7"), -7);
  EXPECT_EQ(ValueOfKeyPlusValue(u"x=seven"), 0);
  EXPECT_EQ(ValueOfKeyPlusValue(u"x=99999999999"), 0);
  EXPECT_EQ(ValueOfKeyPlusValue(u"x 12"), 0);
}

}  // namespace
}  // namespace qn
