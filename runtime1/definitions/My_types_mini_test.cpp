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

TEST(My_types_mini, ColourRecordStoredAsFourLittleEndianColours) {
  static_assert(TMyCanvasColourRec::kStoredSize == 16);
  const TMyCanvasColourRec rec{0x00112233, -1, 0x00FFFFFF, 0x00660000};
  std::array<uint8_t, 16> bytes{};
  rec.ToBytes(bytes);
  const std::array<uint8_t, 16> golden = {0x33, 0x22, 0x11, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x66, 0x00};
  EXPECT_EQ(bytes, golden);
  EXPECT_EQ(TMyCanvasColourRec::FromBytes(golden), rec);
}

TEST(My_types_mini, ColourPresetsAndTypefaces) {
  EXPECT_EQ(BogStandardColours, (TMyCanvasColourRec{0x000000, 0xFFFFFF, 0xFFFFFF, 0x660000}));
  EXPECT_EQ(StyleSearchColours, (TMyCanvasColourRec{0xFFFFFF, 0x000080, 0x000080, 0xFFFFFF}));
  EXPECT_EQ(BogStandardColoursAndTypeface.colourset, BogStandardColours);
  EXPECT_TRUE(BogStandardColoursAndTypeface.default_typeface.Empty());
  EXPECT_TRUE(BogStandardColoursAndTypeface.highlight_typeface.Empty());
  EXPECT_EQ(StyleSearchColoursAndTypeface.colourset, StyleSearchColours);
  EXPECT_EQ(StyleSearchColoursAndTypeface.default_typeface.Bits(), 1);
  EXPECT_EQ(StyleSearchColoursAndTypeface.highlight_typeface, TTypefaceSet{tf_bold});

  TTypefaceSet faces{tf_italics, tf_strikeout};
  EXPECT_EQ(faces.Bits(), 0b1010);
  faces.Include(tf_bold);
  faces.Exclude(tf_strikeout);
  EXPECT_TRUE(faces.Contains(tf_bold));
  EXPECT_FALSE(faces.Contains(tf_underline));
  EXPECT_EQ(faces.Bits(), 0b0011);
  // A stored byte with bits beyond the four rows goes back out unchanged.
  EXPECT_EQ(TTypefaceSet::FromBits(0xF5).Bits(), 0xF5);
  EXPECT_FALSE(TTypefaceSet::FromBits(0xF0).Contains(tf_bold));
}

TEST(My_types_mini, StoredEnumerationsAreBytesThatKeepAnyValue) {
  static_assert(sizeof(TTimeLinePlotbase) == 1 && sizeof(Tlang_preference_type) == 1);
  static_assert(sizeof(TTallierTagTreatment) == 1 && sizeof(Tcollocates_stop_at_type) == 1);
  static_assert(sizeof(TFileWantedType) == 1 && sizeof(TTypefaceSet) == 1);
  EXPECT_EQ(int{tlpb_hours}, 8);
  EXPECT_EQ(int{tlpb_spare}, kTimeLinePlotbaseCount - 1);
  EXPECT_EQ(int{lang_a_preferida}, 3);
  const auto stored = static_cast<TTallierTagTreatment>(200);
  EXPECT_EQ(static_cast<int>(stored), 200);
  EXPECT_EQ(win_codepages[nao_precisa], 0);
  EXPECT_EQ(win_codepages[_1252_Latin1], 1252);
  EXPECT_EQ(win_codepages[_874_Thai], 874);
  EXPECT_EQ(win_codepages[_950TradChineseBig5], 950);
}

}  // namespace
}  // namespace qn
