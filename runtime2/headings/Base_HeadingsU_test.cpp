#include "runtime2/headings/Base_HeadingsU.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <span>

#include "runtime2/headings/headings_info_UNit.h"

namespace qn {
namespace {

TEST(Base_HeadingsU, StandardColumnCounts) {
  const int32_t expected[kListTypeCount] = {9, 13, 8, 8, 6, 15, 9, 9, 9, 9, 16, 7, 7, 6, 12, 6, 1, 2, 5, 78, 7, 3,
                                            2, 9, 3,  1, 1, 1, 16, 1, 1, 1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  for (int t = 0; t < kListTypeCount; ++t) EXPECT_EQ(OfficialStandardNOfHeaders[t], expected[t]) << t;
}

struct ArrayOfListType {
  list_type t;
  std::span<const grid_head_type32> columns;
};

const ArrayOfListType kArrays[] = {
    {lt_word_list, QNBH_WORD_LIST},
    {lt_keyword_list, QNBH_KEY_WORD_LIST},
    {lt_KW_database_list, QNBH_SALIENTOR_DATABASE},
    {lt_detailed_consistency_relations_list, QNBH_DETAILED_CONSISTENCY_RELATIONS_LIST},
    {lt_detailed_consistency_list, QNBH_DETAILED_CONSISTENCY_LIST},
    {lt_collocate_list, QNBH_COLLOCATE_LIST},
    {lt_concordance_list, QNBH_CONCORDANCE_LIST},
    {lt_KW_plot_list, QNBH_SALIENTOR_PLOT_LIST},
    {lt_concordance_plot_list, QNBH_CONCORDANCE_PLOT_LIST},
    {lt_concordance_cluster_list, QNBH_CONCORDANCE_CLUSTER_LIST},
    {lt_concordance_pattern_list, QNBH_CONCORDANCE_PATTERN_LIST},
    {lt_associate_list, QNBH_ASSOCIATE_LIST},
    {lt_filename_list, QNBH_FILENAME_LIST},
    {lt_link_list, QNBH_LINK_LIST},
    {lt_statistics_list, QNBH_STATISTICS_LIST},
    {lt_timeline_list, QNBH_TIMELINE_LIST},
    {lt_aligner_list, QNBH_ALIGNER_LIST},
    {lt_aligner_plaintext_list, QNBH_TEXT_LIST},
    {lt_kw_cluster_list, QNBH_SALIENTOR_CLUSTER_LIST},
    {lt_relationship_list, QNBH_RELATIONSHIPS_LIST},
    {lt_chargram_list, QNBH_CHARGRAM_LIST},
};

// What every default record has, whatever its column: the numbering, the
// fields the codes never touch, and the case rule that follows "numerical".
TEST(Base_HeadingsU, EveryArrayHasItsListTypesCountAndCommonFields) {
  int arrays = 0;
  for (const ArrayOfListType& a : kArrays) {
    ++arrays;
    ASSERT_EQ(a.columns.size(), static_cast<size_t>(OfficialStandardNOfHeaders[a.t])) << int{a.t};
    EXPECT_EQ(DefaultColumnsOf(a.t).data(), a.columns.data()) << int{a.t};
    for (size_t c = 0; c < a.columns.size(); ++c) {
      const grid_head_type32& rec = a.columns[c];
      SCOPED_TRACE(testing::Message() << "list type " << int{a.t} << " column " << c);
      EXPECT_EQ(rec.original_column, static_cast<int16_t>(c));
      EXPECT_EQ(rec.localization_number, (a.t + 1) * 100 + static_cast<int32_t>(c));
      EXPECT_FALSE(WideHStringFromN(rec.localization_number).empty());
      EXPECT_TRUE(rec.heading_visible);
      EXPECT_EQ(rec.allow_case_change, !rec.numerical);
      EXPECT_GT(rec.pixel_width96, 0);
      EXPECT_TRUE(rec.typefaces.Empty());
      EXPECT_FALSE(rec.extra_computed);
      EXPECT_EQ(rec.vestigial_TextColour, 0);
      EXPECT_EQ(rec.user_specified_background, 0);
      EXPECT_EQ(rec.version, 0);
      EXPECT_EQ(rec.column_data, TGridColumnDataRec32{});
      EXPECT_EQ(rec.timeline_basis, tlpb_unknown);
      EXPECT_EQ(rec.SortStateAscending, quem_sabe);
      EXPECT_EQ(rec.span, span_first);
      EXPECT_EQ(rec.extra_column_type, tnc_parsed_float);
      EXPECT_TRUE(rec.hint.empty());
      EXPECT_TRUE(rec.heading.empty());
    }
  }
  EXPECT_EQ(arrays, 21);
  // Column 0 of each list is the running number: numerical, right-aligned.
  for (const ArrayOfListType& a : kArrays) {
    EXPECT_TRUE(a.columns[0].numerical) << int{a.t};
    EXPECT_EQ(a.columns[0].alignment, right_aligned) << int{a.t};
  }
}

TEST(Base_HeadingsU, ListTypesWithoutArrays) {
  for (int t : {6, 7, 8, 9, 16, 23, 25, 26, 27, 29, 30, 31, 32, 34, 42, -1, 43, 255}) {
    EXPECT_TRUE(DefaultColumnsOf(t).empty()) << t;
  }
}

// Columns whose codes set each field, checked one by one.
TEST(Base_HeadingsU, ColumnsAsTheirCodesSay) {
  const grid_head_type32& p = QNBH_KEY_WORD_LIST[K_hn_P110];  // 144 N D10 M-, 2420
  EXPECT_EQ(p.pixel_width96, 144);
  EXPECT_TRUE(p.numerical);
  EXPECT_EQ(p.decimals, 10);
  EXPECT_EQ(p.minimum, -9999999.0f);
  EXPECT_EQ(p.HelpContext, 2420);
  EXPECT_EQ(p.editable, nao_pode);

  const grid_head_type32& conc = QNBH_CONCORDANCE_LIST[C_hn_Concordance101];  // 480 C, 2040
  EXPECT_EQ(conc.pixel_width96, 480);
  EXPECT_EQ(conc.alignment, conc_aligned);
  EXPECT_FALSE(conc.numerical);
  EXPECT_TRUE(conc.allow_case_change);
  EXPECT_EQ(conc.output_case, as_it_comes_output);
  EXPECT_EQ(QNBH_CONCORDANCE_LIST[C_hn_N100].HelpContext, 2040);

  const grid_head_type32& pc = QNBH_WORD_LIST[W_hn_pc03];  // 48 N P D2 M+, 4560
  EXPECT_TRUE(pc.percent_data);
  EXPECT_EQ(pc.decimals, 2);
  EXPECT_EQ(std::bit_cast<uint32_t>(pc.minimum), 0x3C23D70Au);
  EXPECT_EQ(pc.localization_number, 103);

  const grid_head_type32& word = QNBH_WORD_LIST[W_hn_Word01];  // 144 E, 4560
  EXPECT_EQ(word.editable, tanto_faz);
  EXPECT_EQ(word.pixel_width96, 144);
  EXPECT_EQ(word.HelpContext, 4560);
  EXPECT_EQ(word.minimum, 0.0f);
  EXPECT_EQ(word.decimals, 0);

  EXPECT_EQ(QNBH_WORD_LIST[W_hn_Lemmas07].output_case, lower_case_output);  // 48 L
  EXPECT_EQ(QNBH_RELATIONSHIPS_LIST[MIL_hn_Word283].editable, nao_pode);    // "Word 2" (144, 2820)
  EXPECT_EQ(QNBH_DETAILED_CONSISTENCY_RELATIONS_LIST[DCRL_hn_Relation36].decimals, 3);

  const grid_head_type32& plot = QNBH_SALIENTOR_PLOT_LIST[KWP_hn_Plot116];  // 480 U G, 2390
  EXPECT_EQ(plot.alignment, plotting_aligned);
  EXPECT_EQ(plot.output_case, upper_case_output);
  EXPECT_EQ(QNBH_SALIENTOR_PLOT_LIST[KWP_hn_Dispersion112].HelpContext, 4600);

  EXPECT_TRUE(QNBH_CONCORDANCE_PLOT_LIST[CP_hn_File121].wordwrap);  // 96 W
  EXPECT_FALSE(QNBH_TIMELINE_LIST[TL_hn_File201].wordwrap);
  EXPECT_EQ(QNBH_TIMELINE_LIST[TL_hn_Timeline206].alignment, plotting_aligned);

  const grid_head_type32& text = QNBH_TEXT_LIST[TL_hn_Text221];  // 336 E F, 2640
  EXPECT_EQ(text.alignment, default_aligned);
  EXPECT_EQ(text.editable, tanto_faz);
  EXPECT_EQ(text.pixel_width96, 336);

  const grid_head_type32& size = QNBH_STATISTICS_LIST[SL_hn_filesize192];  // 60 E N, 2850
  EXPECT_EQ(size.pixel_width96, 60);
  EXPECT_EQ(size.editable, tanto_faz);
  EXPECT_TRUE(size.numerical);
  const grid_head_type32& fifty = QNBH_STATISTICS_LIST[SL_hn_letterwords1977];  // 48 N, 2850
  EXPECT_EQ(fifty.localization_number, 2077);
  EXPECT_EQ(fifty.HelpContext, 2850);
  EXPECT_TRUE(fifty.numerical);

  EXPECT_EQ(QNBH_CONCORDANCE_PATTERN_LIST[CPL_hn_N140].pixel_width96, 72);
  EXPECT_EQ(QNBH_CHARGRAM_LIST[CL_hn_Set338].localization_number, 3408);
  EXPECT_EQ(QNBH_SALIENTOR_CLUSTER_LIST[KWC_hn_N240].HelpContext, 4570);
}

}  // namespace
}  // namespace qn
