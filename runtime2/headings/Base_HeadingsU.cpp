#include "runtime2/headings/Base_HeadingsU.h"

namespace qn {

namespace {

constexpr std::array<int32_t, kListTypeCount> kStandardColumnCounts = {
    9, 13, 8, 8, 6, 15, 9, 9, 9, 9, 16, 7, 7, 6, 12, 6, 1, 2, 5, 78, 7, 3,
    2, 9, 3, 1, 1, 1, 16, 1, 1, 1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1};

// Every list type with catalogue rows has exactly its standard number of them.
constexpr bool CatalogueMatchesStandardCounts() {
  for (int t = 0; t < kListTypeCount; ++t) {
    const size_t rows = HeadingRowsOf(t).size();
    if (rows != 0 && rows != static_cast<size_t>(kStandardColumnCounts[t])) return false;
  }
  return true;
}
static_assert(CatalogueMatchesStandardCounts());
// The list types shown as word lists have a word list's columns, and their
// enumerations as many rows.
static_assert(KWWL_hn_Set68 + 1 == 9 && KWDBWL_hn_Set78 + 1 == 9 && AWL_hn_Set88 + 1 == 9 &&
              CWL_hn_Set98 + 1 == 9 && WIL_hn_Set238 + 1 == 9);
static_assert(kStandardColumnCounts[lt_KWs_as_word_list] == 9 && kStandardColumnCounts[lt_clumps_as_word_list] == 9 &&
              kStandardColumnCounts[lt_wordlist_index_list] == 9);

// The array of list type T, whose enumeration has N rows.
template <list_type T, size_t N>
std::array<grid_head_type32, N> DefaultColumns() {
  static_assert(HeadingRowsOf(T).size() == N, "the enumeration and the catalogue disagree");
  std::array<grid_head_type32, N> columns{};
  for (size_t c = 0; c < N; ++c) columns[c] = DefaultColumnRecord(HeadingRowsOf(T)[c]);
  return columns;
}

}  // namespace

const std::array<int32_t, kListTypeCount> OfficialStandardNOfHeaders = kStandardColumnCounts;

grid_head_type32 DefaultColumnRecord(const THeadingCatalogueRow& row) {
  const auto has = [&row](THeadingCode code) { return (row.codes & code) != 0; };
  grid_head_type32 rec{};
  rec.alignment = has(hc_C) ? conc_aligned : has(hc_G) ? plotting_aligned : has(hc_F) ? default_aligned : right_aligned;
  rec.editable = has(hc_E) ? tanto_faz : nao_pode;
  rec.minimum = has(hc_Mplus) ? kPositiveColumnMinimum : has(hc_Mminus) ? kSignedColumnMinimum : 0.0f;
  rec.decimals = has(hc_D10) ? 10 : has(hc_D3) ? 3 : has(hc_D2) ? 2 : 0;
  rec.numerical = has(hc_N);
  rec.allow_case_change = !rec.numerical;
  rec.heading_visible = true;
  rec.original_column = row.column;
  rec.pixel_width96 = row.width;
  rec.output_case = has(hc_L) ? lower_case_output : has(hc_U) ? upper_case_output : as_it_comes_output;
  rec.wordwrap = has(hc_W);
  rec.percent_data = has(hc_P);
  rec.HelpContext = row.help;
  rec.localization_number = HeadingNumber(row.list, row.column);
  rec.timeline_basis = tlpb_unknown;
  rec.SortStateAscending = quem_sabe;
  rec.span = span_first;
  rec.extra_column_type = tnc_parsed_float;
  return rec;
}

const std::array<grid_head_type32, W_hn_Set08 + 1> QNBH_WORD_LIST = DefaultColumns<lt_word_list, W_hn_Set08 + 1>();
const std::array<grid_head_type32, K_hn_Set112 + 1> QNBH_KEY_WORD_LIST = DefaultColumns<lt_keyword_list, K_hn_Set112 + 1>();
const std::array<grid_head_type32, KD_hn_Set27 + 1> QNBH_SALIENTOR_DATABASE = DefaultColumns<lt_KW_database_list, KD_hn_Set27 + 1>();
const std::array<grid_head_type32, DCRL_hn_Set37 + 1> QNBH_DETAILED_CONSISTENCY_RELATIONS_LIST = DefaultColumns<lt_detailed_consistency_relations_list, DCRL_hn_Set37 + 1>();
const std::array<grid_head_type32, DCL_hn_Set45 + 1> QNBH_DETAILED_CONSISTENCY_LIST = DefaultColumns<lt_detailed_consistency_list, DCL_hn_Set45 + 1>();
const std::array<grid_head_type32, CL_hn_TotalRight514 + 1> QNBH_COLLOCATE_LIST = DefaultColumns<lt_collocate_list, CL_hn_TotalRight514 + 1>();
const std::array<grid_head_type32, C_hn_pc1015 + 1> QNBH_CONCORDANCE_LIST = DefaultColumns<lt_concordance_list, C_hn_pc1015 + 1>();
const std::array<grid_head_type32, KWP_hn_Plot116 + 1> QNBH_SALIENTOR_PLOT_LIST = DefaultColumns<lt_KW_plot_list, KWP_hn_Plot116 + 1>();
const std::array<grid_head_type32, CP_hn_Plot126 + 1> QNBH_CONCORDANCE_PLOT_LIST = DefaultColumns<lt_concordance_plot_list, CP_hn_Plot126 + 1>();
const std::array<grid_head_type32, CCL_hn_Related135 + 1> QNBH_CONCORDANCE_CLUSTER_LIST = DefaultColumns<lt_concordance_cluster_list, CCL_hn_Related135 + 1>();
const std::array<grid_head_type32, CPL_hn_R1411 + 1> QNBH_CONCORDANCE_PATTERN_LIST = DefaultColumns<lt_concordance_pattern_list, CPL_hn_R1411 + 1>();
const std::array<grid_head_type32, AL_hn_Set155 + 1> QNBH_ASSOCIATE_LIST = DefaultColumns<lt_associate_list, AL_hn_Set155 + 1>();
const std::array<grid_head_type32, FL_hn_Filename171 + 1> QNBH_FILENAME_LIST = DefaultColumns<lt_filename_list, FL_hn_Filename171 + 1>();
const std::array<grid_head_type32, LL_hn_LinkedKWs184 + 1> QNBH_LINK_LIST = DefaultColumns<lt_link_list, LL_hn_LinkedKWs184 + 1>();
const std::array<grid_head_type32, SL_hn_letterwords1977 + 1> QNBH_STATISTICS_LIST = DefaultColumns<lt_statistics_list, SL_hn_letterwords1977 + 1>();
const std::array<grid_head_type32, TL_hn_Timeline206 + 1> QNBH_TIMELINE_LIST = DefaultColumns<lt_timeline_list, TL_hn_Timeline206 + 1>();
const std::array<grid_head_type32, AL_hn_Paragraphs212 + 1> QNBH_ALIGNER_LIST = DefaultColumns<lt_aligner_list, AL_hn_Paragraphs212 + 1>();
const std::array<grid_head_type32, TL_hn_Text221 + 1> QNBH_TEXT_LIST = DefaultColumns<lt_aligner_plaintext_list, TL_hn_Text221 + 1>();
const std::array<grid_head_type32, KWC_hn_Freq242 + 1> QNBH_SALIENTOR_CLUSTER_LIST = DefaultColumns<lt_kw_cluster_list, KWC_hn_Freq242 + 1>();
const std::array<grid_head_type32, MIL_hn_Set2815 + 1> QNBH_RELATIONSHIPS_LIST = DefaultColumns<lt_relationship_list, MIL_hn_Set2815 + 1>();
const std::array<grid_head_type32, CL_hn_Set338 + 1> QNBH_CHARGRAM_LIST = DefaultColumns<lt_chargram_list, CL_hn_Set338 + 1>();

std::span<const grid_head_type32> DefaultColumnsOf(int listType) noexcept {
  switch (listType) {
    case lt_word_list:
      return QNBH_WORD_LIST;
    case lt_keyword_list:
      return QNBH_KEY_WORD_LIST;
    case lt_KW_database_list:
      return QNBH_SALIENTOR_DATABASE;
    case lt_detailed_consistency_relations_list:
      return QNBH_DETAILED_CONSISTENCY_RELATIONS_LIST;
    case lt_detailed_consistency_list:
      return QNBH_DETAILED_CONSISTENCY_LIST;
    case lt_collocate_list:
      return QNBH_COLLOCATE_LIST;
    case lt_concordance_list:
      return QNBH_CONCORDANCE_LIST;
    case lt_KW_plot_list:
      return QNBH_SALIENTOR_PLOT_LIST;
    case lt_concordance_plot_list:
      return QNBH_CONCORDANCE_PLOT_LIST;
    case lt_concordance_cluster_list:
      return QNBH_CONCORDANCE_CLUSTER_LIST;
    case lt_concordance_pattern_list:
      return QNBH_CONCORDANCE_PATTERN_LIST;
    case lt_associate_list:
      return QNBH_ASSOCIATE_LIST;
    case lt_filename_list:
      return QNBH_FILENAME_LIST;
    case lt_link_list:
      return QNBH_LINK_LIST;
    case lt_statistics_list:
      return QNBH_STATISTICS_LIST;
    case lt_timeline_list:
      return QNBH_TIMELINE_LIST;
    case lt_aligner_list:
      return QNBH_ALIGNER_LIST;
    case lt_aligner_plaintext_list:
      return QNBH_TEXT_LIST;
    case lt_kw_cluster_list:
      return QNBH_SALIENTOR_CLUSTER_LIST;
    case lt_relationship_list:
      return QNBH_RELATIONSHIPS_LIST;
    case lt_chargram_list:
      return QNBH_CHARGRAM_LIST;
    default:
      return {};
  }
}

}  // namespace qn
