// The default columns of every list type that has columns of its own, as the
// tools copy them when they make a new list, and the number of standard
// columns of every list type.
//
// The records are made from the heading catalogue (base_heading_consts) when
// the library loads. Their hint and heading texts are left empty: a tool
// fills them through WideHStringFromN (headings_info_UNit) from each record's
// localization_number, so that a translated text reaches every tool.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/Export.h"
#include "runtime1/definitions/Grid_head_types.h"
#include "runtime1/definitions/My_types_mini.h"
#include "runtime2/headings/base_heading_consts.h"

namespace qn {

// The minimum of a column coded M+ (percentages and ratios: smaller values
// show blank) and of a column coded M- (scores that may be negative).
inline constexpr float kPositiveColumnMinimum = 0.01f;
inline constexpr float kSignedColumnMinimum = -9999999.0f;

// The number of standard columns of each list type, by list_type ordinal.
// List types shown as word lists (6 to 9) and the word-list index (23) have a
// word list's 9 columns; types without columns of their own have 1.
extern QN_API const std::array<int32_t, kListTypeCount> OfficialStandardNOfHeaders;

// One array per list type, indexed by that list type's THeaderNum enumeration.
extern QN_API const std::array<grid_head_type32, W_hn_Set08 + 1> QNBH_WORD_LIST;  // THeaderNumWord_list
extern QN_API const std::array<grid_head_type32, K_hn_Set112 + 1> QNBH_KEY_WORD_LIST;  // THeaderNumKey_word_list
extern QN_API const std::array<grid_head_type32, KD_hn_Set27 + 1> QNBH_SALIENTOR_DATABASE;  // THeaderNumSalientor_Database
extern QN_API const std::array<grid_head_type32, DCRL_hn_Set37 + 1> QNBH_DETAILED_CONSISTENCY_RELATIONS_LIST;  // THeaderNumDetailed_Consistency_Relations_List
extern QN_API const std::array<grid_head_type32, DCL_hn_Set45 + 1> QNBH_DETAILED_CONSISTENCY_LIST;  // THeaderNumDetailed_Consistency_List
extern QN_API const std::array<grid_head_type32, CL_hn_TotalRight514 + 1> QNBH_COLLOCATE_LIST;  // THeaderNumCollocate_List
extern QN_API const std::array<grid_head_type32, C_hn_pc1015 + 1> QNBH_CONCORDANCE_LIST;  // THeaderNumConcordance_list
extern QN_API const std::array<grid_head_type32, KWP_hn_Plot116 + 1> QNBH_SALIENTOR_PLOT_LIST;  // THeaderNumSalientor_Plot_list
extern QN_API const std::array<grid_head_type32, CP_hn_Plot126 + 1> QNBH_CONCORDANCE_PLOT_LIST;  // THeaderNumConcordance_Plot_list
extern QN_API const std::array<grid_head_type32, CCL_hn_Related135 + 1> QNBH_CONCORDANCE_CLUSTER_LIST;  // THeaderNumConcordance_Cluster_List
extern QN_API const std::array<grid_head_type32, CPL_hn_R1411 + 1> QNBH_CONCORDANCE_PATTERN_LIST;  // THeaderNumConcordance_Pattern_List
extern QN_API const std::array<grid_head_type32, AL_hn_Set155 + 1> QNBH_ASSOCIATE_LIST;  // THeaderNumAssociate_List
extern QN_API const std::array<grid_head_type32, FL_hn_Filename171 + 1> QNBH_FILENAME_LIST;  // THeaderNumFilename_List
extern QN_API const std::array<grid_head_type32, LL_hn_LinkedKWs184 + 1> QNBH_LINK_LIST;  // THeaderNumLink_List
extern QN_API const std::array<grid_head_type32, SL_hn_letterwords1977 + 1> QNBH_STATISTICS_LIST;  // THeaderNumStatistics_List
extern QN_API const std::array<grid_head_type32, TL_hn_Timeline206 + 1> QNBH_TIMELINE_LIST;  // THeaderNumTimeline_List
extern QN_API const std::array<grid_head_type32, AL_hn_Paragraphs212 + 1> QNBH_ALIGNER_LIST;  // THeaderNumAligner_List
extern QN_API const std::array<grid_head_type32, TL_hn_Text221 + 1> QNBH_TEXT_LIST;  // THeaderNumText_List
extern QN_API const std::array<grid_head_type32, KWC_hn_Freq242 + 1> QNBH_SALIENTOR_CLUSTER_LIST;  // THeaderNumSalientor_Cluster_list
extern QN_API const std::array<grid_head_type32, MIL_hn_Set2815 + 1> QNBH_RELATIONSHIPS_LIST;  // THeaderNumMutual_Information_List
extern QN_API const std::array<grid_head_type32, CL_hn_Set338 + 1> QNBH_CHARGRAM_LIST;  // THeaderNumChargram_List

// The default column record of one catalogue row.
QN_API grid_head_type32 DefaultColumnRecord(const THeadingCatalogueRow& row);

// The default columns of a list type (one of the arrays above); empty for a
// list type without an array of its own and for an ordinal outside list_type.
QN_API std::span<const grid_head_type32> DefaultColumnsOf(int listType) noexcept;

}  // namespace qn
