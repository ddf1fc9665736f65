#include "runtime1/definitions/Wdef.h"
#include "platform/testing/TestFiles.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/CodePages.h"
#include "platform/YieldHook.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------
// Every list type's row
// ---------------------------------------------------------------------------

constexpr uint8_t kRunning = 0xFF;  // the owner is the running tool

struct ListRow {
  list_type lt;
  std::u16string_view caption;
  std::u16string_view ext;
  uint8_t owner;
  file_data_type data;
  std::string_view signature;
};

const ListRow kListRows[] = {
    {lt_word_list, u"Word list", u".lst", 0, quindo_only_data, "Word List32"},
    {lt_keyword_list, u"Key word list", u".kws", 2, quindo_only_data, "Key Word List32"},
    {lt_KW_database_list, u"Salientor Database", u".kdb", 2, quindo_only_data, "Salientor Database32"},
    {lt_detailed_consistency_relations_list, u"Detailed Consistency Relations List", u".lst", 0,
     quindo_only_data, "Detailed Consistency Relations List32"},
    {lt_detailed_consistency_list, u"Detailed Consistency List", u".lst", 0, quindo_only_data,
     "Detailed Consistency List32"},
    {lt_collocate_list, u"Collocate List", u".col", 1, quindo_only_data, "Collocate List32"},
    {lt_KWs_as_word_list, u"Salientor as Tallier", u".lst", 0, quindo_only_data, "Salientor as Tallier32"},
    {lt_KWDB_as_word_list, u"KWDBase as Tallier", u".lst", 0, quindo_only_data, "KWDBase as Tallier32"},
    {lt_associates_as_word_list, u"Associates as Tallier", u".lst", 0, quindo_only_data, "Associates as Tallier32"},
    {lt_clumps_as_word_list, u"Clumps as Tallier", u".lst", 0, quindo_only_data, "Clumps as Tallier32"},
    {lt_concordance_list, u"Concordance list", u".cnc", 1, quindo_only_data, "Concordance32"},
    {lt_KW_plot_list, u"Salientor Plot list", u".kpl", 2, graphic_data, "Salientor Plot32"},
    {lt_concordance_plot_list, u"Concordance Plot list", u".cpl", 1, graphic_data, "Concordance Plot32"},
    {lt_concordance_cluster_list, u"Concordance Cluster List", u".ccl", 1, quindo_only_data,
     "Concordance Cluster List32"},
    {lt_concordance_pattern_list, u"Concordance Pattern List", u".cpt", 1, quindo_only_data,
     "Concordance Pattern List32"},
    {lt_associate_list, u"Associate List", u".ass", 2, quindo_only_data, "Associate List32"},
    {lt_clump_list, u"Clump List", u".clp", 2, quindo_only_data, "Clump List32"},
    {lt_filename_list, u"Filename List", u".fil", 4, text_data, "Filename List32"},
    {lt_link_list, u"Link List", u".klk", 2, quindo_only_data, "Link List32"},
    {lt_statistics_list, u"Statistics List", u".lst", 0, quindo_only_data, "Statistics List32"},
    {lt_timeline_list, u"Timeline List", u".tml", 1, quindo_only_data, "Timeline List32"},
    {lt_aligner_list, u"Aligner List", u".ali", 11, quindo_only_data, "Aligner List32"},
    {lt_aligner_plaintext_list, u"Text List", u".txt", 11, text_data, " Text List32"},
    {lt_wordlist_index_list, u"Wordlist Index List", u".tokens", 0, quindo_only_data, "Wordlist Index List32"},
    {lt_kw_cluster_list, u"Salientor Cluster list", u"", 2, quindo_only_data, "Salientor ClusterList32"},
    {lt_none_in_use, u"", u"", 4, quindo_only_data, ""},
    {lt_notes, u"Notes", u"", kRunning, text_data, "Notes"},
    {lt_source_text, u"source text", u"", 4, text_data, "source text"},
    {lt_relationship_list, u"Relationships List", u".mut", 0, quindo_only_data, "Mutual Information List32"},
    {lt_viewer_list, u"Viewer List", u".vwr", 11, quindo_only_data, "Viewer List32"},
    {lt_concgram_list, u"QNConcgram List", u".base_pairs", 7, quindo_only_data, "QNConcGram List32"},
    {lt_markup_list, u"Markup List", u"", 4, quindo_only_data, "Markup List32"},
    {lt_sections_list, u"Section List", u"", 4, quindo_only_data, "Section List32"},
    {lt_chargram_list, u"Chargram List", u".cgr", 3, quindo_only_data, "CharGram List32"},
    {spare10, u"", u"", kRunning, quindo_only_data, "spare10"},
    {lt_boll, u"", u"", 4, quindo_only_data, "lt_boll"},
    {lt_boll2, u"", u"", 4, quindo_only_data, "lt_boll2"},
    {lt_boll3, u"", u"", 4, quindo_only_data, "lt_boll3"},
    {ly_boll4, u"", u"", 4, quindo_only_data, "ly_boll4"},
    {lt_boll5, u"", u"", 4, quindo_only_data, "lt_boll5"},
    {lt_bol6, u"", u"", 4, quindo_only_data, "lt_bol6"},
    {lt_bol7, u"", u"", 4, quindo_only_data, "lt_bol7"},
    {lt_sorting, u"Sort", u"", 4, quindo_only_data, "lt_bol8"},
};

class RunningTool {
 public:
  explicit RunningTool(tool_type tool) : fSaved(current_tool_var) { current_tool_var = tool; }
  ~RunningTool() { current_tool_var = fSaved; }

 private:
  tool_type fSaved;
};

TEST(Wdef, EveryListTypeRow) {
  static_assert(std::size(kListRows) == kListTypeCount);
  RunningTool running(tt_glyph_census);
  for (size_t i = 0; i < std::size(kListRows); ++i) {
    const ListRow& row = kListRows[i];
    SCOPED_TRACE(testing::Message() << "list type " << i);
    ASSERT_EQ(size_t{row.lt}, i);
    EXPECT_EQ(ListTypeAsString(row.lt), row.caption);
    EXPECT_EQ(DefaultExtFromListType(row.lt), row.ext);
    EXPECT_EQ(ToolTypeFromListType(row.lt), row.owner == kRunning ? tt_glyph_census : tool_type{row.owner});
    EXPECT_EQ(ListTypeToFileDataType(row.lt), row.data);
    EXPECT_EQ(list_signature32[row.lt], row.signature);
  }
  // A stray ordinal answers as an empty row.
  const auto stray = static_cast<list_type>(43);
  EXPECT_EQ(DefaultExtFromListType(stray), u"");
  EXPECT_EQ(ListTypeAsString(stray), u"");
  EXPECT_EQ(ListSignature(stray), u"");
  EXPECT_EQ(ToolTypeFromListType(stray), tt_hub);
}

TEST(Wdef, DefaultExtensionOfEveryTool) {
  const std::u16string_view expected[kToolTypeCount] = {
      u".lst", u".cnc", u".kws", u".cgr", u".dat", u".dat", u".dat", u".base_pairs", u".dat", u".dat", u".dat",
      u".vwr", u".dat", u".dat", u".txt", u".txt", u".dat", u".dat", u".dat", u".dat", u".dat", u".dat"};
  for (int t = 0; t < kToolTypeCount; ++t) {
    EXPECT_EQ(DefaultExtFromToolType(static_cast<tool_type>(t)), expected[t]) << t;
  }
  EXPECT_EQ(DefaultExtFromToolType(static_cast<tool_type>(22)), u"");
}

TEST(Wdef, ExtensionsWithoutDotAndSaveAsFormats) {
  EXPECT_EQ(DotlessDefaultExtFromListType(lt_wordlist_index_list), u"tokens");
  EXPECT_EQ(DotlessDefaultExtFromListType(lt_notes), u"");
  EXPECT_EQ(CorrectedDefaultExt(u"."), u".");
  EXPECT_EQ(CorrectedDefaultExt(u""), u"");
  EXPECT_EQ(CorrectedDefaultExt(u".a"), u"a");
  EXPECT_EQ(CorrectedDefaultExt(u"lst"), u"lst");
  EXPECT_EQ(CorrectedDefaultExt(u"..x"), u".x");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_txt, lt_concordance_list), u".txt");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_xml, lt_concordance_list), u".xml");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_Excel_spreadsheet, lt_concordance_list), u".xls");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_RTF, lt_concordance_list), u".rtf");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_default_for_list, lt_concordance_list), u".cnc");
}

TEST(Wdef, ListTypeFromFileExt) {
  const std::pair<std::u16string_view, list_type> cases[] = {
      {u".LST", lt_word_list},
      {u".lst", lt_word_list},
      {u".Dcl", lt_detailed_consistency_list},
      {u".srt", lt_aligner_plaintext_list},
      {u".MUT", lt_relationship_list},
      {u".stats", lt_wordlist_index_list},
      {u".types", lt_wordlist_index_list},
      {u".tokens", lt_wordlist_index_list},
      {u".markup", lt_wordlist_index_list},
      {u".t", lt_wordlist_index_list},  // a fragment of the run-together list
      {u".base_index", lt_concgram_list},
      {u".base_pairs", lt_concgram_list},
      {u".base_index_cg", lt_concgram_list},
      {u".cnc", lt_concordance_list},
      {u".CGR", lt_chargram_list},
      {u".kws", lt_keyword_list},
      {u".kdb", lt_KW_database_list},
      {u".vwr", lt_viewer_list},
      {u".txt", lt_aligner_plaintext_list},
      {u".ali", lt_aligner_list},
      {u".col", spare10},
      {u".xyz", spare10},
      {u"lst", spare10},
      {u"", spare10},
  };
  for (const auto& [ext, expected] : cases) {
    EXPECT_EQ(ListTypeFromFileExt(ext), expected) << std::string(ext.begin(), ext.end());
  }
}

TEST(Wdef, ToolTypeFromFileExt) {
  const std::pair<std::u16string_view, tool_type> cases[] = {
      {u".CNC", tt_kwicker},       {u".base_pairs", tt_QNconcgram}, {u".base_index_cg", tt_QNconcgram},
      {u".base_index", tt_lexstore}, {u".kws", tt_salientor},     {u".KDB", tt_salientor},
      {u".lst", tt_tallier},       {u".tokens", tt_tallier},        {u".types", tt_tallier},
      {u".dcl", tt_tallier},       {u".mut", tt_tallier},           {u".stats", tt_lexstore},
      {u".ali", tt_parallel_pager}, {u".Txt", tt_parallel_pager},   {u".vwr", tt_parallel_pager},
      {u".cgr", tt_Glyphseqs},     {u".t", tt_lexstore},            {u"", tt_lexstore},
  };
  for (const auto& [ext, expected] : cases) {
    EXPECT_EQ(ToolTypeFromFileExt(ext), expected) << std::string(ext.begin(), ext.end());
  }
}

TEST(Wdef, SuiteFileExtensionsForDialogs) {
  EXPECT_EQ(QNFileExtensions(), u".lst;.kws;.kdb;.cnc;.ali;.tokens;.mut;.vwr;.base_pairs;.cgr;.types;.base_index_cg");
}

TEST(Wdef, GridsToListTypes) {
  const std::pair<grid_alternatives, list_type> cases[] = {
      {grid_concordance, lt_concordance_list},
      {grid_clusters, lt_concordance_cluster_list},
      {grid_conc_plot, lt_concordance_plot_list},
      {grid_patterns, lt_concordance_pattern_list},
      {grid_collocates, lt_collocate_list},
      {grid_detailed_consist, lt_word_list},
      {grid_alph_order, lt_word_list},
      {grid_freq_order, lt_word_list},
      {grid_detailed_consist_relations, lt_word_list},
      {grid_statistics, lt_statistics_list},
      {grid_filenames, lt_filename_list},
      {grid_timeline, lt_timeline_list},
      {grid_salientor, lt_keyword_list},
      {grid_KWDbase, lt_KW_database_list},
      {grid_kwdb_associates, lt_associate_list},
      {grid_kw_Clumps, lt_clump_list},
      {grid_kw_plot, lt_KW_plot_list},
      {grid_kw_plot_links, lt_link_list},
      {grid_viewer_text, lt_viewer_list},
      {grid_viewer_aligned, lt_aligner_list},
      {grid_relations, lt_relationship_list},
      {grid_glyphseqs, lt_chargram_list},
      {grid_kw_Clusters, lt_none_in_use},
      {grid_concgram, lt_none_in_use},
      {grid_breakdowns, lt_none_in_use},
      {grid_spare1, lt_none_in_use},
      {grid_none, lt_none_in_use},
  };
  for (const auto& [grid, expected] : cases) EXPECT_EQ(ListTypeFromGridAlternatives(grid), expected) << int{grid};
}

TEST(Wdef, TallierLikeListsAndShortSignatures) {
  for (int i = 0; i < kListTypeCount; ++i) {
    const auto lt = static_cast<list_type>(i);
    const bool like = (i >= 6 && i <= 9) || i == 23;
    EXPECT_EQ(IsLikeTallierList(lt), like) << i;
    EXPECT_EQ(IsOrIsLikeTallierList(lt), like || i == 0) << i;
  }
  EXPECT_EQ(ListSignature(lt_word_list), u"Word List");
  EXPECT_EQ(ListSignature(lt_notes), u"Notes");
  EXPECT_EQ(ListSignature(lt_aligner_plaintext_list), u" Text List");
  EXPECT_EQ(ListSignature(lt_sorting), u"lt_bol8");
  EXPECT_EQ(ListSignature(lt_none_in_use), u"");
}

// ---------------------------------------------------------------------------
// The header: golden images worked out by hand from the layout
// ---------------------------------------------------------------------------

Bytes Image(std::initializer_list<uint8_t> ints, std::string_view text, uint8_t length) {
  Bytes bytes(ints);
  bytes.push_back(length);
  for (char c : text) bytes.push_back(static_cast<uint8_t>(c));
  bytes.resize(57, 0);
  return bytes;
}

// Tool 2 (signature 37 = 0x25), key-word list, everything else zero.
const Bytes kSalientorKeywordImage = Image({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "Key Word List32", 15);

TEST(Wdef, HeaderRecordIs57Bytes) {
  EXPECT_EQ(TCheckSignature::kStoredSize, 57u);
  EXPECT_EQ(TShortString40::kStoredSize, 41u);
  EXPECT_EQ(kSalientorKeywordImage.size(), 57u);
}

TEST(Wdef, WritesTheGoldenImage) {
  platform::TMemoryStream stream;
  TCheckSignature header;  // zeros
  ASSERT_TRUE(DiskSignatureISOKForToolAndList(header, tt_salientor, lt_keyword_list, stream, writing));
  EXPECT_EQ(Bytes(stream.Bytes().begin(), stream.Bytes().end()), kSalientorKeywordImage);
  EXPECT_EQ(header.signature, 37);
  EXPECT_EQ(header.type_of_data.Text(), "Key Word List32");
}

TEST(Wdef, WritesCallerFieldsAndLeavesTheTextPaddingAlone) {
  // Aligner (38 = 0x26), plain-text list; screen_res 96, save_height -1,
  // save_width 0x01020304; the caller's bytes after the text stay.
  TCheckSignature header;
  header.screen_res = 96;
  header.save_height = -1;
  header.save_width = 0x01020304;
  header.type_of_data.chars.fill('#');
  platform::TMemoryStream stream;
  stream.WriteBuffer("ab", 2);  // the header goes at the stream's position
  ASSERT_TRUE(DiskSignatureISOKForToolAndList(header, tt_parallel_pager, lt_aligner_plaintext_list, stream, writing));
  Bytes expected = {'a', 'b', 0x26, 0, 0, 0, 0x60, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01, 12};
  const std::string_view text = " Text List32";
  for (char c : text) expected.push_back(static_cast<uint8_t>(c));
  expected.resize(2 + 57, '#');
  EXPECT_EQ(Bytes(stream.Bytes().begin(), stream.Bytes().end()), expected);

  // And the record reads back field for field, byte for byte.
  std::array<uint8_t, 57> again{};
  header.ToBytes(again);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), expected.begin() + 2));
  EXPECT_EQ(TCheckSignature::FromBytes(again), header);
}

TEST(Wdef, ChecksAHeaderForEveryToolSharingTheSignatureNumber) {
  platform::TMemoryViewStream view(kSalientorKeywordImage);
  TCheckSignature header;
  // Tallier shares 37 with Salientor: its check accepts the file too.
  EXPECT_TRUE(DiskSignatureISOKForToolAndList(header, tt_tallier, lt_keyword_list, view, reading));
  EXPECT_EQ(header.signature, 37);
  EXPECT_EQ(view.Position(), 57);
  const std::pair<tool_type, list_type> refused[] = {
      {tt_kwicker, lt_keyword_list},         // signature 36
      {tt_parallel_pager, lt_keyword_list},  // 38
      {tt_salientor, lt_word_list},          // other text
      {tt_salientor, lt_none_in_use},        // the empty text
  };
  for (const auto& [tool, lt] : refused) {
    platform::TMemoryViewStream again(kSalientorKeywordImage);
    EXPECT_FALSE(DiskSignatureISOKForToolAndList(header, tool, lt, again, reading)) << int{tool} << " " << int{lt};
  }
}

TEST(Wdef, ShortStreamsGiveFalse) {
  const Bytes cut(kSalientorKeywordImage.begin(), kSalientorKeywordImage.end() - 1);
  platform::TMemoryViewStream view(cut);
  TCheckSignature header;
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(header, tt_salientor, lt_keyword_list, view, reading));
  // A stream that takes no bytes (a read-only view) refuses the write.
  platform::TMemoryViewStream readOnly(cut);
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(header, tt_salientor, lt_keyword_list, readOnly, writing));
  // Ordinals from outside the enumerations (a damaged settings file, say).
  platform::TMemoryStream stream;
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(header, static_cast<tool_type>(22), lt_word_list, stream, writing));
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(header, tt_tallier, static_cast<list_type>(43), stream, writing));
  EXPECT_EQ(stream.Size(), 0);
}

TEST(Wdef, DiskFileTypeOfEveryText) {
  TCheckSignature header;
  for (int i = 0; i < lt_sorting; ++i) {
    header.type_of_data.Assign(list_signature32[i]);
    // Row 25's text is empty, like every unfilled header's.
    EXPECT_EQ(DiskFileType(header), static_cast<list_type>(i)) << i;
  }
  header.type_of_data.Assign("lt_bol8");  // row 42 is never looked at
  EXPECT_EQ(DiskFileType(header), lt_none_in_use);
  header.type_of_data.Assign("Salientor Database (v. 2)32");
  EXPECT_EQ(DiskFileType(header), lt_KW_database_list);
  header.type_of_data.Assign("Word List");
  EXPECT_EQ(DiskFileType(header), lt_none_in_use);
  // A length byte beyond the capacity matches nothing, whatever follows.
  header.type_of_data.Assign("Word List32");
  header.type_of_data.length = 200;
  EXPECT_EQ(DiskFileType(header), lt_none_in_use);
  EXPECT_EQ(header.type_of_data.Text().size(), 40u);
}

TEST(Wdef, LongTextsAreCutToTheCapacity) {
  TShortString40 s;
  s.Assign(std::string(50, 'x'));
  EXPECT_EQ(s.length, 40);
  EXPECT_EQ(s.Text(), std::string(40, 'x'));
  s.Assign("ab");
  EXPECT_EQ(s.Text(), "ab");
  EXPECT_EQ(s.chars[2], 'x');  // the rest stays as it was
}

// ---------------------------------------------------------------------------
// Language records
// ---------------------------------------------------------------------------

// Little-endian helpers for images written out by hand from the layout.
void SetU16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void SetU32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void SetWide(Bytes& b, size_t at, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) SetU16(b, at + 2 * i, text[i]);
}

fixed_lang_details_rec32 SampleLanguage() {
  fixed_lang_details_rec32 rec;
  rec.allow_middles_at_right = true;
  rec.is_32_version = true;
  rec.lcid = 0x0809;
  rec.old_win_font.charset_old = 0;
  rec.old_win_font.fontsize_old = 10;
  rec.old_win_font.fontname_old.Assign("Arial");
  rec.preference = lang_a_preferida;
  rec.hyphen_breaks_word = true;
  rec.win_codepage = 1252;
  rec.dos_codepage = 850;
  SetFixedWideText(rec.allowable_middle_letters, u"'-");
  rec.spare_ANSI_lowers[0] = 0x61;
  rec.spare_ANSI_uppers[128] = 0x5A;
  rec.new_win_font.charset = 1;
  rec.new_win_font.fontsize = 12;
  SetHundredWideChar(rec.new_win_font.fontname, u"Noto Sans");
  rec.custom_sort_string_number = -2;
  rec.cores = BogStandardColours;
  rec.language_number = 7;
  rec.spare_hits = 0x01020304;
  rec.spare_ints = {1, -1, 3};
  rec.spare[355] = 0xEE;
  SetFixedWideText(rec.nome, u"English (UK)");
  return rec;
}

Bytes SampleLanguageImage() {
  Bytes b(1040, 0);
  b[0] = 1;                                  // allow_middles_at_right
  b[2] = 1;                                  // is_32_version
  SetU32(b, 4, 0x0809);                      // lcid
  b[9] = 10;                                 // old_win_font: charset 0, size 10
  b[10] = 5;                                 // its name's length byte
  for (size_t i = 0; i < 5; ++i) b[11 + i] = static_cast<uint8_t>("Arial"[i]);
  b[43] = 3;                                 // preference
  b[45] = 1;                                 // hyphen_breaks_word
  SetU16(b, 46, 1252);
  SetU16(b, 48, 850);
  SetWide(b, 50, u"'-");                     // allowable_middle_letters
  b[72] = 0x61;                              // spare_ANSI_lowers[0]
  b[201 + 128] = 0x5A;                       // spare_ANSI_uppers[128]
  b[330] = 1;                                // new_win_font.charset
  b[331] = 12;                               // new_win_font.fontsize
  SetWide(b, 332, u"Noto Sans");
  SetU32(b, 536, static_cast<uint32_t>(-2));  // custom_sort_string_number
  SetU32(b, 544, 0x000000);                  // cores: text
  SetU32(b, 548, 0xFFFFFF);                  //        selected text
  SetU32(b, 552, 0xFFFFFF);                  //        background
  SetU32(b, 556, 0x660000);                  //        selected background
  SetU32(b, 560, 7);                         // language_number
  SetU32(b, 564, 0x01020304);                // spare_hits
  SetU32(b, 568, 1);
  SetU32(b, 572, 0xFFFFFFFF);
  SetU32(b, 576, 3);
  b[935] = 0xEE;                             // last spare byte
  SetWide(b, 936, u"English (UK)");          // nome
  return b;
}

TEST(WdefLanguage, RecordSizes) {
  static_assert(fixed_lang_details_rec32::kStoredSize == 1040);
  static_assert(old_fixed_character_format_rec::kStoredSize == 35);
  static_assert(fixed_character_format_rec32::kStoredSize == 204);
  EXPECT_EQ(std::tuple_size_v<decltype(fixed_lang_details_rec32::nome)>, 51u);
  EXPECT_EQ(std::tuple_size_v<decltype(fixed_lang_details_rec32::allowable_middle_letters)>, 11u);
}

TEST(WdefLanguage, GoldenImageBothWays) {
  const Bytes golden = SampleLanguageImage();
  std::array<uint8_t, 1040> out{};
  out.fill(0xCC);  // every byte is written, the unused ones as 0
  SampleLanguage().ToBytes(out);
  EXPECT_EQ(Bytes(out.begin(), out.end()), golden);
  const auto read = fixed_lang_details_rec32::FromBytes(std::span<const uint8_t, 1040>(golden.data(), 1040));
  EXPECT_EQ(read, SampleLanguage());
  EXPECT_EQ(FixedWideText(read.nome), u"English (UK)");
  EXPECT_EQ(read.old_win_font.fontname_old.Text(), "Arial");
  EXPECT_EQ(FixedWideText(read.new_win_font.fontname), u"Noto Sans");
}

TEST(WdefLanguage, FontRecordImages) {
  old_fixed_character_format_rec old;
  old.charset_old = 177;
  old.fontsize_old = 9;
  old.fontname_old.Assign("Courier");
  std::array<uint8_t, 35> oldBytes{};
  old.ToBytes(oldBytes);
  EXPECT_EQ(oldBytes[0], 177);
  EXPECT_EQ(oldBytes[1], 9);
  EXPECT_EQ(oldBytes[2], 7);
  EXPECT_EQ(oldBytes[3], 'C');
  EXPECT_EQ(oldBytes[9], 'r');
  EXPECT_EQ(old_fixed_character_format_rec::FromBytes(oldBytes), old);

  fixed_character_format_rec32 font;
  font.charset = 178;
  font.fontsize = 255;
  SetHundredWideChar(font.fontname, u"\u062E\u0637");
  std::array<uint8_t, 204> bytes{};
  font.ToBytes(bytes);
  const std::array<uint8_t, 8> start = {178, 255, 0x2E, 0x06, 0x37, 0x06, 0, 0};
  EXPECT_TRUE(std::equal(start.begin(), start.end(), bytes.begin()));
  EXPECT_EQ(fixed_character_format_rec32::FromBytes(bytes), font);
}

TEST(WdefLanguage, FullTextArraysFromFilesAreReadUpToTheirEnd) {
  Bytes b(1040, 0);
  for (size_t i = 0; i < 11; ++i) SetU16(b, 50 + 2 * i, u'a' + i);      // no NUL in the allowables
  for (size_t i = 0; i < 101; ++i) SetU16(b, 332 + 2 * i, u'F');        // nor in the font name
  for (size_t i = 0; i < 51; ++i) SetU16(b, 936 + 2 * i, u'n');         // nor in the name
  b[10] = 200;                                                          // a length byte beyond 32
  const auto rec = fixed_lang_details_rec32::FromBytes(std::span<const uint8_t, 1040>(b.data(), 1040));
  EXPECT_EQ(FixedWideText(rec.allowable_middle_letters), u"abcdefghijk");
  EXPECT_EQ(FixedWideText(rec.new_win_font.fontname), std::u16string(101, u'F'));
  EXPECT_EQ(FixedWideText(rec.nome), std::u16string(51, u'n'));
  EXPECT_EQ(rec.old_win_font.fontname_old.Text().size(), 32u);

  std::array<char16_t, 11> units{};
  units.fill(u'x');
  SetFixedWideText(units, u"0123456789ABC");
  EXPECT_EQ(FixedWideText(units), u"0123456789");
  EXPECT_EQ(units[10], u'\0');
  SetFixedWideText(units, u"ab");
  EXPECT_EQ(units[2], u'\0');
  EXPECT_EQ(units[9], u'\0');
}

TEST(WdefLanguage, StoredBooleansAndPreferencesOfAnyValue) {
  Bytes b(1040, 0);
  b[0] = 0x7F;
  b[43] = 0xF0;  // a preference no row names
  const auto rec = fixed_lang_details_rec32::FromBytes(std::span<const uint8_t, 1040>(b.data(), 1040));
  EXPECT_TRUE(rec.allow_middles_at_right);
  EXPECT_EQ(static_cast<int>(rec.preference), 0xF0);
  std::array<uint8_t, 1040> out{};
  rec.ToBytes(out);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[43], 0xF0);
}

TEST(WdefLanguage, PrimaryLanguagesAndReadingDirection) {
  EXPECT_EQ(PrimaryLanguage(0x0809), 9);
  EXPECT_EQ(PrimaryLanguage(0xFFFFFFFF), 0x3FF);
  EXPECT_TRUE(SamePrimaryLanguage(0x0809, 0x0409));
  EXPECT_FALSE(SamePrimaryLanguage(0x0409, 0x040C));
  EXPECT_EQ(BiDiModeFromLCID(0x040D), bdRightToLeft);
  EXPECT_EQ(BiDiModeFromLCID(0x0401), bdRightToLeft);
  EXPECT_EQ(BiDiModeFromLCID(0x0429), bdRightToLeft);
  EXPECT_EQ(BiDiModeFromLCID(0x0463), bdRightToLeft);
  EXPECT_EQ(BiDiModeFromLCID(0x0409), bdLeftToRight);
  EXPECT_EQ(BiDiModeFromLCID(0x0420), bdLeftToRight);  // Urdu: as the table stands
  EXPECT_TRUE(BiDiModeFromCharset(177));
  EXPECT_TRUE(BiDiModeFromCharset(178));
  EXPECT_FALSE(BiDiModeFromCharset(0));
  EXPECT_FALSE(BiDiModeFromCharset(179));
}

// ---------------------------------------------------------------------------
// File recognition on real files
// ---------------------------------------------------------------------------

class WdefFiles : public test_support::TTempFolderTest {
 protected:

  std::u16string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = fDir / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.u16string();
  }
  std::u16string Zip(const std::string& name, const char* comment, int entries) {
    const fs::path path = fDir / name;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (int i = 0; i < entries; ++i) {
      zip_source_t* source = zip_source_buffer(archive, "data", 4, 0);
      zip_file_add(archive, ("list" + std::to_string(i) + ".cnc").c_str(), source, 0);
    }
    if (comment != nullptr) zip_set_archive_comment(archive, comment, static_cast<zip_uint16_t>(strlen(comment)));
    EXPECT_EQ(zip_close(archive), 0);
    return path.u16string();
  }
  static Bytes HeaderFile(int32_t signature, std::string_view text, size_t total) {
    Bytes bytes(57, 0);
    platform::PutLE(bytes.data(), signature);
    bytes[16] = static_cast<uint8_t>(text.size());
    std::copy(text.begin(), text.end(), bytes.begin() + 17);
    bytes.resize(total, 0x5A);
    return bytes;
  }
};

TEST_F(WdefFiles, CurrentListFiles) {
  TQNStored_File_rec file;
  file.filename = Write("kw.kws", HeaderFile(37, "Key Word List32", 58));
  EXPECT_TRUE(IsAQuillon32BitFileForTool(file, tt_salientor));
  EXPECT_EQ(file.ListType, lt_keyword_list);
  file.ListType = lt_sorting;
  EXPECT_TRUE(IsAQuillon32BitFileForTool(file, tt_tallier));  // same number 37
  EXPECT_EQ(file.ListType, lt_keyword_list);
  EXPECT_FALSE(IsAQuillon32BitFileForTool(file, tt_kwicker));
  EXPECT_EQ(file.ListType, lt_none_in_use);
  EXPECT_EQ(WhichToolsQuillon32BitFile(file), tt_tallier);
  EXPECT_EQ(file.ListType, lt_keyword_list);
  {
    RunningTool running(tt_hub);  // 37
    EXPECT_TRUE(IsAQuillon32BitFile(file));
  }
  {
    RunningTool running(tt_kwicker);  // 36
    EXPECT_FALSE(IsAQuillon32BitFile(file));
  }

  // A header and nothing after it is no list.
  file.filename = Write("bare.kws", HeaderFile(37, "Key Word List32", 57));
  EXPECT_FALSE(IsAQuillon32BitFileForTool(file, tt_salientor));
  EXPECT_EQ(WhichToolsQuillon32BitFile(file), tt_no_tool_at_all);
  EXPECT_EQ(file.ListType, lt_none_in_use);
  EXPECT_FALSE(WasAQuillon32BitFile(file));

  // The signature number decides; a text that names no list type leaves the
  // file recognised with ListType lt_none_in_use, for the caller to judge.
  file.filename = Write("sort.dat", HeaderFile(37, "lt_bol8", 100));
  file.ListType = lt_word_list;
  EXPECT_TRUE(IsAQuillon32BitFileForTool(file, tt_hub));
  EXPECT_EQ(file.ListType, lt_none_in_use);
}

TEST_F(WdefFiles, WhichToolSavedAFile) {
  const std::tuple<int32_t, std::string_view, tool_type, list_type> cases[] = {
      {37, "Word List32", tt_tallier, lt_word_list},
      {36, "Concordance32", tt_kwicker, lt_concordance_list},
      {38, "Aligner List32", tt_parallel_pager, lt_aligner_list},
      {789, "Word List32", tt_no_tool_at_all, lt_none_in_use},  // tool 21 is never a saver
      {37, "Nothing known", tt_tallier, lt_none_in_use},
      {35, "Word List32", tt_no_tool_at_all, lt_none_in_use},
  };
  for (const auto& [signature, text, tool, lt] : cases) {
    TQNStored_File_rec file;
    file.filename = Write("f.dat", HeaderFile(signature, text, 80));
    EXPECT_EQ(WhichToolsQuillon32BitFile(file), tool) << signature << " " << text;
    EXPECT_EQ(file.ListType, lt) << signature << " " << text;
  }
}

TEST_F(WdefFiles, OlderFormatsOfTheRunningTool) {
  RunningTool running(tt_tallier);  // current number 37
  TQNStored_File_rec file;
  file.filename = Write("old.lst", HeaderFile(36, "Word List32", 60));
  EXPECT_TRUE(WasAQuillon32BitFile(file));
  EXPECT_EQ(file.ListType, lt_word_list);
  file.filename = Write("older.lst", HeaderFile(35, "Statistics List32", 60));
  EXPECT_TRUE(WasAQuillon32BitFile(file));
  EXPECT_EQ(file.ListType, lt_statistics_list);
  file.filename = Write("ancient.lst", HeaderFile(34, "Word List32", 60));
  EXPECT_FALSE(WasAQuillon32BitFile(file));
  EXPECT_EQ(file.ListType, lt_none_in_use);
  // A current file is typed but not "was".
  file.filename = Write("current.lst", HeaderFile(37, "Word List32", 60));
  EXPECT_FALSE(WasAQuillon32BitFile(file));
  EXPECT_EQ(file.ListType, lt_word_list);
  file.filename = Write("unknown.lst", HeaderFile(36, "what?", 60));
  file.ListType = lt_word_list;
  EXPECT_TRUE(WasAQuillon32BitFile(file));
  EXPECT_EQ(file.ListType, lt_none_in_use);
}

TEST_F(WdefFiles, OldSignatureTexts) {
  auto old = [](std::initializer_list<uint8_t> start, size_t total) {
    Bytes bytes(start);
    bytes.resize(total, 0);
    return bytes;
  };
  const std::tuple<Bytes, bool, list_type> cases[] = {
      {old({11, 'W', 'o', 'r', 'd', ' ', 'L', 'i', 's', 't', 'e', 'r'}, 42), true, lt_word_list},
      // byte 1 NUL: the text starts at byte 2
      {old({12, 0, 'C', 'o', 'n', 'c', 'o', 'r', 'd', 'a', 'n', 'c', 'e', 'r'}, 100), true, lt_concordance_list},
      // the length byte cuts "Salientor Plotter" to the old text
      {old({14, 'S', 'a', 'l', 'i', 'e', 'n', 't', 'o', 'r', ' ', 'P', 'l', 'o', 't', 't', 'e', 'r'}, 50), true,
       lt_KW_plot_list},
      // a NUL ends the text before the length does
      {old({30, 'C', 'l', 'u', 'm', 'p', ' ', 'L', 'i', 's', 't', 0, 'x'}, 50), true, lt_clump_list},
      // an empty text is the first empty row's
      {old({0, 'x'}, 50), true, lt_kw_cluster_list},
      {old({5, 'W', 'o', 'r', 'd', 's'}, 50), false, lt_none_in_use},
      // 41 bytes are not enough
      {old({11, 'W', 'o', 'r', 'd', ' ', 'L', 'i', 's', 't', 'e', 'r'}, 41), false, lt_none_in_use},
  };
  int n = 0;
  for (const auto& [bytes, recognised, lt] : cases) {
    TQNStored_File_rec file;
    file.filename = Write("old" + std::to_string(n) + ".dat", bytes);
    EXPECT_EQ(IsAnOldQuillonFile(file), recognised) << n;
    EXPECT_EQ(file.ListType, lt) << n;
    ++n;
  }
  // A text running to the end of the 41 bytes without a NUL stays inside them.
  std::array<uint8_t, 41> full{};
  full.fill('a');
  full[0] = 255;
  EXPECT_EQ(OldQuillonSignatureText(full).size(), 40u);
}

TEST_F(WdefFiles, BatchArchives) {
  const std::tuple<const char*, int, bool, list_type, int32_t> cases[] = {
      {"Quindo Batch file .cnc", 3, true, lt_concordance_list, 3},
      {"Quindo Batch file .lst", 1, true, lt_word_list, 1},
      {"Quindo Batch file .base_pairs", 2, true, lt_concgram_list, 2},
      {"Quindo Batch file .xyz", 2, true, lt_none_in_use, 0},  // a batch file all the same
      {"Quindo Batch file .CNC", 2, true, lt_none_in_use, 0},  // extensions compared exactly
      {"Quindo Batch file ", 2, false, lt_none_in_use, 0},     // 18 characters
      {"Quindo batch file .cnc", 2, false, lt_none_in_use, 0},
      {"Quindo Batch file .cnc", 0, false, lt_none_in_use, 0},  // no entries
      {nullptr, 2, false, lt_none_in_use, 0},
  };
  int n = 0;
  for (const auto& [comment, entries, batch, lt, number] : cases) {
    TQNStored_File_rec file;
    file.filename = Zip("batch" + std::to_string(n) + ".zip", comment, entries);
    file.Number_within_Zipfile = 99;
    EXPECT_EQ(IsABatchZipFileForListType(file), batch) << n;
    EXPECT_EQ(file.ListType, lt) << n;
    EXPECT_EQ(file.Number_within_Zipfile, number) << n;
    ++n;
  }
}

TEST_F(WdefFiles, UnreadableFilesAreNotRecognised) {
  const std::u16string names[] = {
      (fDir / "missing.lst").u16string(),
      fDir.u16string(),  // a folder
      Write("junk.zip", Bytes(100, 0x41)),
      u"",
      std::u16string(u"bad\xD800surrogate"),
  };
  for (const std::u16string& name : names) {
    TQNStored_File_rec file;
    file.filename = name;
    file.ListType = lt_word_list;
    EXPECT_FALSE(IsAQuillon32BitFileForTool(file, tt_tallier));
    EXPECT_EQ(file.ListType, lt_none_in_use);
    EXPECT_FALSE(WasAQuillon32BitFile(file));
    EXPECT_EQ(WhichToolsQuillon32BitFile(file), tt_no_tool_at_all);
    EXPECT_FALSE(IsABatchZipFileForListType(file));
    EXPECT_EQ(file.ListType, lt_none_in_use);
    EXPECT_EQ(file.Number_within_Zipfile, 0);
  }
}

// ---------------------------------------------------------------------------
// Streamable string lists and key-word records

std::vector<uint8_t> BytesOf(const platform::TMemoryStream& stream) {
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

TEST(Wdef, StreamableStringListGoldenImageAndRoundTrip) {
  TMyStreamableStringlist list;
  list.Add(u"ab");
  list.Add(u"");
  list.Add(u"\u00e9\U0001F600");
  platform::TMemoryStream stream;
  ASSERT_TRUE(list.SaveToStream(stream));
  const std::vector<uint8_t> golden = {0xFD, 0xFF, 0xFF, 0xFF,                 // -3
                                       2, 0, 0, 0, 'a', 0, 'b', 0,             // "ab"
                                       0, 0, 0, 0,                             // ""
                                       3, 0, 0, 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_EQ(BytesOf(stream), golden);

  TMyStreamableStringlist back;
  back.Add(u"left over");
  stream.Seek(0, platform::TSeekOrigin::soBeginning);
  ASSERT_TRUE(back.ReadFromStream(stream));
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back[0], u"ab");
  EXPECT_EQ(back[1], u"");
  EXPECT_EQ(back[2], u"\u00e9\U0001F600");

  TMyStreamableStringlist empty;
  platform::TMemoryStream none;
  ASSERT_TRUE(empty.SaveToStream(none));
  EXPECT_EQ(BytesOf(none), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(Wdef, StreamableStringListReadsShortStringsInTheActiveCodePage) {
  const uint32_t saved = platform::ActiveCodePage();
  ASSERT_TRUE(platform::SetActiveCodePage(1252));
  const std::vector<uint8_t> bytes = {2, 0, 0, 0, 3, 'c', 'a', 't', 2, 0xE9, 0x80};
  platform::TMemoryViewStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  TMyStreamableStringlist list;
  int32_t yields = 0;
  auto count = [&yields] { ++yields; };
  const TYieldProcessProc before = AYieldProcessProc;
  AYieldProcessProc = TYieldProcessProc::FromCallable(count);
  const bool ok = list.ReadFromStream(stream);
  AYieldProcessProc = before;
  platform::SetActiveCodePage(saved);
  ASSERT_TRUE(ok);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], u"cat");
  EXPECT_EQ(list[1], u"\u00e9\u20ac");
  EXPECT_EQ(yields, 2);
}

TEST(Wdef, StreamableStringListRefusesDamagedStreams) {
  TMyStreamableStringlist list;
  // A count of two billion strings over four bytes: refused before any
  // string is read, and nothing was set aside for the count.
  const std::vector<uint8_t> huge = {0x00, 0x94, 0x35, 0x77, 1, 'x', 5, 'a'};
  platform::TMemoryViewStream hugeStream(huge.data(), static_cast<int64_t>(huge.size()));
  EXPECT_FALSE(list.ReadFromStream(hugeStream));
  EXPECT_EQ(list.Count(), 0);
  // A count the bytes can hold: the first string reads, the second cannot,
  // and the first stays.
  const std::vector<uint8_t> twoCut = {2, 0, 0, 0, 1, 'x', 5, 'a'};
  platform::TMemoryViewStream twoCutStream(twoCut.data(), static_cast<int64_t>(twoCut.size()));
  EXPECT_FALSE(list.ReadFromStream(twoCutStream));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], u"x");
  // A negative length inside a wide record; the count itself cut short.
  const std::vector<uint8_t> negative = {0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF};
  platform::TMemoryViewStream negativeStream(negative.data(), static_cast<int64_t>(negative.size()));
  EXPECT_FALSE(list.ReadFromStream(negativeStream));
  EXPECT_EQ(list.Count(), 0);
  const std::vector<uint8_t> cut = {0xFF, 0xFF};
  platform::TMemoryViewStream cutStream(cut.data(), static_cast<int64_t>(cut.size()));
  EXPECT_FALSE(list.ReadFromStream(cutStream));
  // INT32_MIN strings: the negation is formed in 64 bits.
  const std::vector<uint8_t> lowest = {0x00, 0x00, 0x00, 0x80};
  platform::TMemoryViewStream lowestStream(lowest.data(), static_cast<int64_t>(lowest.size()));
  EXPECT_FALSE(list.ReadFromStream(lowestStream));
  EXPECT_EQ(list.Count(), 0);
}

TEST(Wdef, KeywordRecordsStartEmptyAndAreFreedOnce) {
  TKeyword_entry_rec entry;
  EXPECT_EQ(entry.w, nowt);
  EXPECT_EQ(entry.prefix_or_tag, nowt);
  EXPECT_EQ(entry.suffix, nowt);
  EXPECT_EQ(entry.lemma_words, nullptr);
  entry.lemma_words = new TMyStreamableStringlist;
  entry.lemma_words->Add(u"went");
  entry.w = MyNewPChar(u"go");
  entry.suffix = MyNewPChar(u"es");
  FreeKeywordEntry(entry);
  EXPECT_EQ(entry.lemma_words, nullptr);
  EXPECT_EQ(entry.w, nowt);
  EXPECT_EQ(entry.suffix, nowt);
  FreeKeywordEntry(entry);  // a second call finds nothing to free
  EXPECT_EQ(entry.prefix_or_tag, nowt);
}

// The tools bind these routines in the runtime package by name.
TEST(Wdef, RuntimePackageExportsTheDefinitions) {
  void* pack = dlopen(QN_PACK1_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pack, nullptr) << dlerror();
  using ExtFn = std::u16string (*)(list_type);
  using CheckFn = bool (*)(TQNStored_File_rec&);
  auto ext = reinterpret_cast<ExtFn>(dlsym(pack, "_ZN2qn22DefaultExtFromListTypeB5cxx11ENS_9list_typeE"));
  auto batch = reinterpret_cast<CheckFn>(dlsym(pack, "_ZN2qn26IsABatchZipFileForListTypeERNS_18TQNStored_File_recE"));
  auto running = static_cast<const tool_type*>(dlsym(pack, "_ZN2qn16current_tool_varE"));
  ASSERT_NE(ext, nullptr);
  ASSERT_NE(batch, nullptr);
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(ext(lt_concgram_list), u".base_pairs");
  EXPECT_EQ(*running, tt_hub);
  TQNStored_File_rec missing;
  missing.filename = u"/nonexistent/batch.zip";
  EXPECT_FALSE(batch(missing));
  EXPECT_NE(dlsym(pack, "_ZN2qn9TZipForge11OpenArchiveEv"), nullptr);
  dlclose(pack);
}

}  // namespace
}  // namespace qn
