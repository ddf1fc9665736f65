#include "runtime1/definitions/My_types.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

struct ToolRow {
  tool_type tool;
  std::u16string_view name;
  std::u16string_view short_filename;
};

// Names and executables of every tool.
constexpr ToolRow kTools[] = {
    {tt_tallier, u"Tallier", u"Tallier7.exe"},
    {tt_kwicker, u"Kwicker", u"Kwicker7.exe"},
    {tt_salientor, u"Salientor", u"Salientor7.exe"},
    {tt_Glyphseqs, u"GlyphSeqs", u"GlyphSeqs7.exe"},
    {tt_hub, u"Quillon", u"Quillon7.exe"},
    {tt_any_main_tool, u"", u""},
    {tt_recoder, u"Recoder", u"Recoder7.exe"},
    {tt_QNconcgram, u"QNConcGram", u"QNConcGram7.exe"},
    {tt_reserved, u"", u""},
    {tt_locale_picker, u"Locale Picker", u"Locale_Picker7.exe"},
    {tt_spare_convert16bit, u"", u""},
    {tt_parallel_pager, u"Aligner", u"Aligner7.exe"},
    {tt_spare_netfetch, u"", u""},
    {tt_glyph_census, u"Glyph Census", u"Glyph_Census7.exe"},
    {tt_near_twins, u"Near Twins", u"Near_Twins7.exe"},
    {tt_disk_toolkit, u"Disk Toolkit", u"Disk_Toolkit7.exe"},
    {tt_plugin_gate, u"QN7 Plugin Gate DLL", u"QN7_Plugin_Gate_DLL7.dll"},
    {tt_page_peeker, u"Page Peeker", u"Page_Peeker7.exe"},
    {tt_collection_auditor, u"Collection Auditor", u"Collection_Auditor7.exe"},
    {tt_update_probe, u"Quillon update probe", u"Quillon_update_probe7.exe"},
    {tt_lexstore, u"", u""},
    {tt_no_tool_at_all, u"", u""},
};

TEST(My_types, NamesAndExecutablesOfEveryTool) {
  static_assert(std::size(kTools) == kToolTypeCount);
  for (const ToolRow& row : kTools) {
    EXPECT_EQ(Tool_Name(row.tool), row.name) << int{row.tool};
    EXPECT_EQ(GetShortToolFilename(row.tool), row.short_filename) << int{row.tool};
  }
  EXPECT_EQ(Tool_Name(static_cast<tool_type>(22)), u"");
  EXPECT_EQ(GetShortToolFilename(static_cast<tool_type>(200)), u"");
}

TEST(My_types, ProgramRecognisesItselfByFileName) {
  for (const ToolRow& row : kTools) {
    if (row.short_filename.empty()) continue;
    EXPECT_EQ(ToolTypeFromProgramFilename(row.short_filename), row.tool);
  }
  EXPECT_EQ(ToolTypeFromProgramFilename(u"tALLIER7.EXE"), tt_tallier);
  EXPECT_EQ(ToolTypeFromProgramFilename(u"locale_picker7.exe"), tt_locale_picker);
  EXPECT_EQ(ToolTypeFromProgramFilename(u"Locale Picker7.exe"), tt_no_tool_at_all);
  EXPECT_EQ(ToolTypeFromProgramFilename(u"Tallier6.exe"), tt_no_tool_at_all);
  EXPECT_EQ(ToolTypeFromProgramFilename(u"Tallier7.exe.bak"), tt_no_tool_at_all);
  EXPECT_EQ(ToolTypeFromProgramFilename(u""), tt_no_tool_at_all);
}

TEST(My_types, RunningProgramAndItsFolder) {
  const std::u16string self = RunningProgramFilename();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(self.ends_with(u"/My_types_test")) << std::string(self.begin(), self.end());
  const std::u16string folder = self.substr(0, self.rfind(u'/') + 1);
  EXPECT_EQ(GetFullToolFilename(tt_kwicker), folder + u"Kwicker7.exe");
  EXPECT_EQ(GetFullToolFilename(tt_lexstore), folder);

  // The test program is none of the tools.
  const tool_type before = current_tool_var;
  EXPECT_EQ(before, tt_hub);
  SetCurrentTool();
  EXPECT_EQ(current_tool_var, tt_no_tool_at_all);
  current_tool_var = before;
}

TEST(My_types, VersionTexts) {
  EXPECT_EQ(QuillonControllerCaption(), u"Quillon Tools 7.0");
  EXPECT_EQ(CurrentQNMajorVersion100Str(), u"7.0.0.100");
}

}  // namespace
}  // namespace qn
