#include "runtime2/headings/headings_info_UNit.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "runtime2/headings/Base_HeadingsU.h"

namespace qn {
namespace {

struct NumberAndText {
  int32_t n;
  std::u16string_view text;
};

// At least one column of every list type with columns, headings and hints,
// with the numbering at the edges of the catalogue.
TEST(WideHStringFromN, TextsOfEveryListType) {
  const NumberAndText cases[] = {
      {100, u"N"},
      {101, u"Word"},
      {102, u"Freq."},
      {32870, u"frequency"},
      {32869, u""},  // the word column has no hint
      {32868, u""},  // nor has "N"
      {108, u"Set"},
      {32876, u"user-defined class"},
      {210, u"P"},
      {32978, u"significance"},
      {207, u"BIC"},
      {32975, u"BIC score (Bayes factor)"},
      {306, u"Associates"},
      {33074, u"top associates"},
      {403, u"File 2"},
      {33173, u"number of joint types"},
      {504, u"No. of Lemmas"},
      {614, u"Total Right"},
      {33382, u"total to the right"},
      {1101, u"Concordance"},
      {33869, u"click to sort"},
      {1115, u"%"},
      {33883, u"% position in its text"},
      {1206, u"Plot"},
      {33974, u"plot of distribution in the text"},
      {1304, u"per 1,000"},
      {1405, u"Related"},
      {1506, u"Centre"},
      {1511, u"R5"},
      {34279, u"5th to the right"},
      {1602, u"Strength"},
      {1801, u"filename"},
      {34569, u"source text filename"},
      {1904, u"Linked KWs"},
      {2003, u"tokens (running words) in text"},
      {2027, u"stoplist types removed"},
      {2028, u"1-letter words"},
      {2036, u"9-letter words"},
      {2037, u"10-letter words"},
      {2077, u"50-letter words"},
      {2028 + 32768, u""},  // the statistics columns have no hints
      {2106, u"Timeline"},
      {34874, u"text times & dates"},
      {2202, u"paragraphs"},
      {2301, u"Text"},
      {2501, u"KW Cluster"},
      {2905, u"Texts"},
      {35673, u"texts with pair"},
      {2915, u"Set"},
      {3401, u"Chargram"},
      {3407, u"Contexts"},
      {36175, u"typical contexts"},
  };
  for (const NumberAndText& c : cases) EXPECT_EQ(WideHStringFromN(c.n), c.text) << c.n;
}

TEST(WideHStringFromN, NumbersOutsideTheCatalogueGiveNothing) {
  const int32_t numbers[] = {
      0,     1,     99,    // below the first list
      109,   2078,  3409,  // past a list's last column
      700,   800,   900,  1000,  1700, 2400, 2600, 2700, 2800, 3000, 3300,  // list types without columns
      3500,  4300,  4399,  // spare list types
      4400,  9999,  12800, 32767,                                          // past the last list type
      32768, 32867, 32768 + 9999, 65535,                                   // hint numbers of the same
      65536 + 101, 0x10000 | 0x8000 | 102, std::numeric_limits<int32_t>::max(),  // bits above 15
      -1,    -101,  -32870, std::numeric_limits<int32_t>::min(),               // negative
  };
  for (int32_t n : numbers) EXPECT_EQ(WideHStringFromN(n), u"") << n;
}

// Columns 0 .. count-1 of each list type have headings, column count has none,
// and the count is the list type's standard number of columns wherever the
// catalogue has columns for it.
TEST(WideHStringFromN, HeadingCountOfEveryListType) {
  const bool hasColumns[kListTypeCount] = {
      1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1,
      1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int t = 0; t < kListTypeCount; ++t) {
    int32_t count = 0;
    while (count < 100 && !WideHStringFromN((t + 1) * 100 + count).empty()) ++count;
    EXPECT_EQ(count, hasColumns[t] ? OfficialStandardNOfHeaders[t] : 0) << "list type " << t;
  }
}

TEST(THeaderInfoList, AddGetAndClear) {
  THeaderInfoList list;
  THeaderInfoRec rec{true, 7};
  EXPECT_EQ(list.AddOne(u"Freq.", rec), 0);
  rec = {false, 3};
  EXPECT_EQ(list.AddOne(u"Word", rec), 1);
  rec.original_Col_num = 99;  // the list keeps its own copy
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(0), u"Freq.");
  EXPECT_EQ(list.GetAHeaderInfo(0), (THeaderInfoRec{true, 7}));
  EXPECT_EQ(list.GetAHeaderInfo(1), (THeaderInfoRec{false, 3}));
  for (int32_t outside : {-1, 2, 1000, std::numeric_limits<int32_t>::min()}) {
    EXPECT_EQ(list.GetAHeaderInfo(outside), THeaderInfoRec{}) << outside;
  }
  list.Clear();  // frees the holders (the sanitizer build sees a leak otherwise)
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetAHeaderInfo(0), THeaderInfoRec{});
  EXPECT_EQ(list.AddOne(u"Texts", {true, 4}), 0);
}

// The tools look texts and default columns up in the second runtime package by
// name.
TEST(HeadingsExports, RuntimePackageExportsTheHeadings) {
  void* pack = dlopen(QN_PACK2_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pack, nullptr) << dlerror();
  using TextFn = std::u16string (*)(int32_t);
  auto text = reinterpret_cast<TextFn>(dlsym(pack, "_ZN2qn16WideHStringFromNB5cxx11Ei"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text(2905), u"Texts");
  EXPECT_EQ(text(35673), u"texts with pair");
  EXPECT_EQ(text(109), u"");
  const auto* counts = static_cast<const std::array<int32_t, kListTypeCount>*>(
      dlsym(pack, "_ZN2qn26OfficialStandardNOfHeadersE"));
  ASSERT_NE(counts, nullptr);
  EXPECT_EQ((*counts)[19], 78);
  const auto* statistics = static_cast<const decltype(QNBH_STATISTICS_LIST)*>(
      dlsym(pack, "_ZN2qn20QNBH_STATISTICS_LISTE"));
  ASSERT_NE(statistics, nullptr);
  EXPECT_EQ((*statistics)[77].localization_number, 2077);  // made when the package loaded
  for (const char* name : {"_ZN2qn14QNBH_WORD_LISTE", "_ZN2qn18QNBH_CHARGRAM_LISTE", "_ZN2qn16DefaultColumnsOfEi",
                           "_ZN2qn15THeaderInfoListC1Ev", "_ZNK2qn15THeaderInfoList14GetAHeaderInfoEi",
                           "_ZN2qn15THeaderInfoList6AddOneENSt7__cxx1112basic_stringIDsSt11char_traitsIDsESaIDsEEERKNS_"
                           "14THeaderInfoRecE",
                           "_ZN2qn17THeaderInfoHolderC1ERKNS_14THeaderInfoRecE"}) {
    EXPECT_NE(dlsym(pack, name), nullptr) << name;
  }
  dlclose(pack);
}

}  // namespace
}  // namespace qn
