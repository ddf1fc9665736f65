#include "runtime1/definitions/My_types_mini.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

TEST(My_types_mini, RunningToolStartsAsTheHub) {
  // Nothing in this program calls SetCurrentTool.
  EXPECT_EQ(current_tool_var, tt_hub);
}

// The ordinals are stored in files and are the lemmatiser's slot numbers.
TEST(My_types_mini, OrdinalsThatFilesAndSlotsDependOn) {
  EXPECT_EQ(kToolTypeCount, 22);
  EXPECT_EQ(kListTypeCount, 43);
  EXPECT_EQ(int{tt_kwicker}, 1);
  EXPECT_EQ(int{tt_salientor}, 2);
  EXPECT_EQ(int{tt_hub}, 4);
  EXPECT_EQ(int{tt_QNconcgram}, 7);
  EXPECT_EQ(int{tt_locale_picker}, 9);
  EXPECT_EQ(int{tt_parallel_pager}, 11);
  EXPECT_EQ(int{tt_plugin_gate}, 16);
  EXPECT_EQ(int{tt_lexstore}, 20);
  EXPECT_EQ(int{tt_no_tool_at_all}, 21);
  EXPECT_EQ(int{lt_concordance_list}, 10);
  EXPECT_EQ(int{lt_aligner_plaintext_list}, 22);
  EXPECT_EQ(int{lt_none_in_use}, 25);
  EXPECT_EQ(int{lt_relationship_list}, 28);
  EXPECT_EQ(int{lt_sections_list}, 32);
  EXPECT_EQ(int{spare10}, 34);
  EXPECT_EQ(int{ly_boll4}, 38);
  EXPECT_EQ(int{lt_sorting}, 42);
  EXPECT_EQ(sizeof(tool_type), 1u);
  EXPECT_EQ(sizeof(list_type), 1u);
}

TEST(My_types_mini, SignatureNumbersOfEveryTool) {
  const int32_t expected[22] = {37, 36, 37, 36, 37, 36, 37, 37, 36, 36, 36,
                                38, 36, 36, 37, 36, 36, 36, 36, 36, 36, 789};
  for (int t = 0; t < kToolTypeCount; ++t) EXPECT_EQ(CurrentSignature[t], expected[t]) << "tool " << t;
}

TEST(My_types_mini, SignatureTextsFitTheHeaderAndAreDistinct) {
  for (int a = 0; a < kListTypeCount; ++a) {
    EXPECT_LE(list_signature32[a].size(), 40u) << a;
    for (int b = a + 1; b < kListTypeCount; ++b) EXPECT_NE(list_signature32[a], list_signature32[b]) << a << " " << b;
  }
  EXPECT_EQ(list_signature32[lt_aligner_plaintext_list], " Text List32");
  EXPECT_EQ(list_signature32[lt_kw_cluster_list], "Salientor ClusterList32");
  EXPECT_EQ(list_signature32[lt_relationship_list], "Mutual Information List32");
  EXPECT_EQ(list_signature32[ly_boll4], "ly_boll4");
  EXPECT_EQ(list_signature32[lt_sorting], "lt_bol8");
}

TEST(My_types_mini, ToolSet) {
  TTool_Type_Set set{tt_tallier, tt_no_tool_at_all};
  EXPECT_TRUE(set.Contains(tt_tallier));
  EXPECT_TRUE(set.Contains(tt_no_tool_at_all));
  EXPECT_FALSE(set.Contains(tt_kwicker));
  EXPECT_EQ(set.Bits(), (1u << 0) | (1u << 21));
  set.Include(tt_hub);
  set.Exclude(tt_tallier);
  EXPECT_EQ(set, (TTool_Type_Set{tt_hub, tt_no_tool_at_all}));
  // A stray ordinal (a bad byte from a file) is never a member and never added.
  const auto stray = static_cast<tool_type>(40);
  set.Include(stray);
  EXPECT_FALSE(set.Contains(stray));
  EXPECT_EQ(set, (TTool_Type_Set{tt_hub, tt_no_tool_at_all}));
  EXPECT_TRUE(TTool_Type_Set{}.Empty());
}

}  // namespace
}  // namespace qn
