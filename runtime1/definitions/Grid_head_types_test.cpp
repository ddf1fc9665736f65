#include "runtime1/definitions/Grid_head_types.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

// The older column layouts store these enumerations as single bytes holding
// the ordinals; a reader copies the byte, so the ordinals must not move.
TEST(Grid_head_types, StoredOrdinals) {
  EXPECT_EQ(sizeof(TQNAlignment), 1u);
  EXPECT_EQ(sizeof(editable_type), 1u);
  EXPECT_EQ(sizeof(TtriBool), 1u);
  EXPECT_EQ(sizeof(TConcordance_span_type), 1u);
  EXPECT_EQ(sizeof(TQNColumnType), 1u);
  EXPECT_EQ(int{centre_aligned}, 0);
  EXPECT_EQ(int{right_aligned}, 2);
  EXPECT_EQ(int{plotting_aligned}, 4);
  EXPECT_EQ(int{conc_aligned}, 6);
  EXPECT_EQ(int{spare2_aligned}, kQNAlignmentCount - 1);
  EXPECT_EQ(int{nao_pode}, 0);
  EXPECT_EQ(int{tanto_faz}, kEditableTypeCount - 1);
  EXPECT_EQ(int{quem_sabe}, 0);
  EXPECT_EQ(int{verdadeiro}, kTriBoolCount - 1);
  EXPECT_EQ(int{span_first}, 0);
  EXPECT_EQ(int{span_R51}, 101);
  EXPECT_EQ(int{tnc_other}, kQNColumnTypeCount - 1);
  EXPECT_EQ(TGridColumnDataRec32::kSize, 20u);
  // A span byte the enumeration does not name survives a copy unchanged.
  const auto other = static_cast<TConcordance_span_type>(200);
  grid_head_type32 rec;
  rec.span = other;
  EXPECT_EQ(static_cast<int>(grid_head_type32(rec).span), 200);
}

// Readers start from a zero-filled record: every enumeration at its first
// row, nothing set, empty texts.
TEST(Grid_head_types, ValueInitialisedRecordIsTheZeroRecord) {
  const grid_head_type32 rec{};
  EXPECT_EQ(rec.alignment, centre_aligned);
  EXPECT_TRUE(rec.typefaces.Empty());
  EXPECT_EQ(rec.editable, nao_pode);
  EXPECT_EQ(rec.minimum, 0.0f);
  EXPECT_FALSE(rec.heading_visible);
  EXPECT_EQ(rec.output_case, upper_case_output);
  EXPECT_EQ(rec.timeline_basis, tlpb_unknown);
  EXPECT_EQ(rec.SortStateAscending, quem_sabe);
  EXPECT_EQ(rec.span, span_first);
  EXPECT_EQ(rec.extra_column_type, tnc_parsed_float);
  EXPECT_EQ(rec.column_data, TGridColumnDataRec32{});
  EXPECT_TRUE(rec.hint.empty());
  EXPECT_TRUE(rec.heading.empty());

  grid_head_type32 changed = rec;
  changed.column_data.bytes[19] = 1;
  EXPECT_NE(changed, rec);
  changed = rec;
  changed.heading = u"Word";
  EXPECT_NE(changed, rec);
}

}  // namespace
}  // namespace qn
