#include "runtime1/definitions/Wdef.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <sys/stat.h>

#include "platform/Exceptions.h"
#include "platform/YieldHook.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/definitions/Stored_record_bytes.h"
#include "runtime1/files/Myfilestreamu.h"
#include "runtime1/files/Zip_utils.h"
#include "runtime1/text/My_string_functions.h"

namespace qn {

namespace {

// Default extensions by list type; empty for types not saved in files of their own.
constexpr std::array<std::u16string_view, kListTypeCount> kListTypeExtensions = {
    u".lst",         // lt_word_list
    u".kws",         // lt_keyword_list
    u".kdb",         // lt_KW_database_list
    u".lst",         // lt_detailed_consistency_relations_list
    u".lst",         // lt_detailed_consistency_list
    u".col",         // lt_collocate_list
    u".lst",         // lt_KWs_as_word_list
    u".lst",         // lt_KWDB_as_word_list
    u".lst",         // lt_associates_as_word_list
    u".lst",         // lt_clumps_as_word_list
    u".cnc",         // lt_concordance_list
    u".kpl",         // lt_KW_plot_list
    u".cpl",         // lt_concordance_plot_list
    u".ccl",         // lt_concordance_cluster_list
    u".cpt",         // lt_concordance_pattern_list
    u".ass",         // lt_associate_list
    u".clp",         // lt_clump_list
    u".fil",         // lt_filename_list
    u".klk",         // lt_link_list
    u".lst",         // lt_statistics_list
    u".tml",         // lt_timeline_list
    u".ali",         // lt_aligner_list
    u".txt",         // lt_aligner_plaintext_list
    u".tokens",      // lt_wordlist_index_list
    u"",             // lt_kw_cluster_list
    u"",             // lt_none_in_use
    u"",             // lt_notes
    u"",             // lt_source_text
    u".mut",         // lt_relationship_list
    u".vwr",         // lt_viewer_list
    u".base_pairs",  // lt_concgram_list
    u"",             // lt_markup_list
    u"",             // lt_sections_list
    u".cgr",         // lt_chargram_list
    u"", u"", u"", u"", u"", u"", u"", u"", u"",  // spare10 .. lt_sorting
};

constexpr std::array<std::u16string_view, kToolTypeCount> kToolExtensions = {
    u".lst",         // tt_tallier
    u".cnc",         // tt_kwicker
    u".kws",         // tt_salientor
    u".cgr",         // tt_Glyphseqs
    u".dat",         // tt_hub
    u".dat",         // tt_any_main_tool
    u".dat",         // tt_recoder
    u".base_pairs",  // tt_QNconcgram
    u".dat",         // tt_reserved
    u".dat",         // tt_locale_picker
    u".dat",         // tt_spare_convert16bit
    u".vwr",         // tt_parallel_pager
    u".dat",         // tt_spare_netfetch
    u".dat",         // tt_glyph_census
    u".txt",         // tt_near_twins
    u".txt",         // tt_disk_toolkit
    u".dat",         // tt_plugin_gate
    u".dat",         // tt_page_peeker
    u".dat",         // tt_collection_auditor
    u".dat",         // tt_update_probe
    u".dat",         // tt_lexstore
    u".dat",         // tt_no_tool_at_all
};

// The owning tool by list type. kRunningTool stands for current_tool_var.
constexpr uint8_t kRunningTool = 0xFF;
constexpr std::array<uint8_t, kListTypeCount> kListTypeOwners = {
    tt_tallier,         // lt_word_list
    tt_salientor,       // lt_keyword_list
    tt_salientor,       // lt_KW_database_list
    tt_tallier,         // lt_detailed_consistency_relations_list
    tt_tallier,         // lt_detailed_consistency_list
    tt_kwicker,         // lt_collocate_list
    tt_tallier,         // lt_KWs_as_word_list
    tt_tallier,         // lt_KWDB_as_word_list
    tt_tallier,         // lt_associates_as_word_list
    tt_tallier,         // lt_clumps_as_word_list
    tt_kwicker,         // lt_concordance_list
    tt_salientor,       // lt_KW_plot_list
    tt_kwicker,         // lt_concordance_plot_list
    tt_kwicker,         // lt_concordance_cluster_list
    tt_kwicker,         // lt_concordance_pattern_list
    tt_salientor,       // lt_associate_list
    tt_salientor,       // lt_clump_list
    tt_hub,             // lt_filename_list
    tt_salientor,       // lt_link_list
    tt_tallier,         // lt_statistics_list
    tt_kwicker,         // lt_timeline_list
    tt_parallel_pager,  // lt_aligner_list
    tt_parallel_pager,  // lt_aligner_plaintext_list
    tt_tallier,         // lt_wordlist_index_list
    tt_salientor,       // lt_kw_cluster_list
    tt_hub,             // lt_none_in_use
    kRunningTool,       // lt_notes
    tt_hub,             // lt_source_text
    tt_tallier,         // lt_relationship_list
    tt_parallel_pager,  // lt_viewer_list
    tt_QNconcgram,      // lt_concgram_list
    tt_hub,             // lt_markup_list
    tt_hub,             // lt_sections_list
    tt_Glyphseqs,       // lt_chargram_list
    kRunningTool,       // spare10
    tt_hub, tt_hub, tt_hub, tt_hub, tt_hub, tt_hub, tt_hub, tt_hub,  // lt_boll .. lt_sorting
};

template <typename Table>
auto ListRow(const Table& table, list_type lt, typename Table::value_type fallback) {
  return IsValidListType(lt) ? table[lt] : fallback;
}

// Extensions are ASCII, so folding A to Z is the whole of lower-casing them:
// no other character can lower-case into a match.
std::u16string LowerAscii(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& c : result) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return result;
}

std::u16string AsciiToUtf16(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (char c : text) result.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return result;
}

std::string FileNameToNative(std::u16string_view name) {
  if (name.empty() || name.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 3)) return {};
  std::string result(name.size() * 3, '\0');
  int32_t produced = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &produced, name.data(),
                     static_cast<int32_t>(name.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  result.resize(static_cast<size_t>(produced));
  return result;
}

// Reads the first `count` bytes of a regular file that is longer than `count`
// bytes; false when the file is missing, not longer, or unreadable.
bool ReadStartOfLongerFile(std::u16string_view filename, uint8_t* out, size_t count) {
  const std::string path = FileNameToNative(filename);
  if (path.empty()) return false;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_size <= static_cast<off_t>(count)) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  return std::fread(out, 1, count, file.get()) == count;
}

bool ReadHeaderOfListFile(std::u16string_view filename, TCheckSignature& header) {
  std::array<uint8_t, TCheckSignature::kStoredSize> bytes{};
  if (!ReadStartOfLongerFile(filename, bytes.data(), bytes.size())) return false;
  header = TCheckSignature::FromBytes(bytes);
  return true;
}

int32_t SignatureNumberOf(tool_type tool) {
  return IsValidToolType(tool) ? CurrentSignature[tool] : std::numeric_limits<int32_t>::min();
}

}  // namespace

// ---------------------------------------------------------------------------
// Extensions and owners
// ---------------------------------------------------------------------------

std::u16string ListTypeAsString(list_type lt) { return std::u16string(ListRow(list_type_as_string, lt, u"")); }

std::u16string DefaultExtFromListType(list_type lt) {
  return std::u16string(ListRow(kListTypeExtensions, lt, u""));
}

std::u16string DefaultExtFromToolType(tool_type tool) {
  return IsValidToolType(tool) ? std::u16string(kToolExtensions[tool]) : std::u16string();
}

std::u16string CorrectedDefaultExt(std::u16string_view ext) {
  if (ext.size() >= 2 && ext.front() == u'.') ext.remove_prefix(1);
  return std::u16string(ext);
}

std::u16string DotlessDefaultExtFromListType(list_type lt) {
  return CorrectedDefaultExt(DefaultExtFromListType(lt));
}

std::u16string DefaultExtFromSaveASFormat(TSave_as_format format, list_type lt) {
  switch (format) {
    case as_txt:
      return u".txt";
    case as_xml:
      return u".xml";
    case as_Excel_spreadsheet:
      return u".xls";
    case as_RTF:
      return u".rtf";
    case as_default_for_list:
      break;
  }
  return DefaultExtFromListType(lt);
}

tool_type ToolTypeFromListType(list_type lt) {
  const uint8_t owner = ListRow(kListTypeOwners, lt, uint8_t{tt_hub});
  return owner == kRunningTool ? current_tool_var : static_cast<tool_type>(owner);
}

file_data_type ListTypeToFileDataType(list_type lt) {
  switch (lt) {
    case lt_KW_plot_list:
    case lt_concordance_plot_list:
      return graphic_data;
    case lt_filename_list:
    case lt_aligner_plaintext_list:
    case lt_notes:
    case lt_source_text:
      return text_data;
    default:
      return quindo_only_data;
  }
}

list_type ListTypeFromFileExt(std::u16string_view ext) {
  const std::u16string e = LowerAscii(ext);
  // A containment test in the run-together lists; the empty text is part of
  // no list (it is no extension at all).
  auto within = [&e](std::u16string_view all) { return !e.empty() && all.find(e) != std::u16string_view::npos; };
  if (e == u".dcl") return lt_detailed_consistency_list;
  if (e == u".srt") return lt_aligner_plaintext_list;
  if (e == u".mut") return lt_relationship_list;
  if (e == u".lst") return lt_word_list;
  if (within(wordlist_index_file_extensions)) return lt_wordlist_index_list;
  if (within(concgram_file_extensions)) return lt_concgram_list;
  if (e == u".cnc") return lt_concordance_list;
  if (e == u".cgr") return lt_chargram_list;
  if (e == u".kws") return lt_keyword_list;
  if (e == u".kdb") return lt_KW_database_list;
  if (e == u".vwr") return lt_viewer_list;
  if (e == u".txt") return lt_aligner_plaintext_list;
  if (e == u".ali") return lt_aligner_list;
  return spare10;
}

tool_type ToolTypeFromFileExt(std::u16string_view ext) {
  const std::u16string e = LowerAscii(ext);
  if (e == u".cnc") return tt_kwicker;
  if (e == u".base_pairs" || e == u".base_index_cg") return tt_QNconcgram;
  if (e == u".kws" || e == u".kdb") return tt_salientor;
  if (e == u".lst" || e == u".tokens" || e == u".types" || e == u".dcl" || e == u".mut") return tt_tallier;
  if (e == u".ali" || e == u".txt" || e == u".vwr") return tt_parallel_pager;
  if (e == u".cgr") return tt_Glyphseqs;
  return tt_lexstore;
}

std::u16string QNFileExtensions() {
  auto excluded = [](int ordinal) {
    return ordinal == lt_collocate_list || (ordinal >= lt_KW_plot_list && ordinal <= lt_link_list) ||
           ordinal == lt_timeline_list || ordinal == lt_aligner_plaintext_list || ordinal == lt_kw_cluster_list;
  };
  std::u16string result;
  for (int ordinal = 0; ordinal < kListTypeCount; ++ordinal) {
    if (excluded(ordinal)) continue;
    const std::u16string_view ext = kListTypeExtensions[static_cast<size_t>(ordinal)];
    if (ext.empty()) continue;
    const std::u16string item = std::u16string(ext) + u";";
    // Whole items only: ".lst;" inside ".lst;..." but never a prefix of a longer extension.
    if ((u";" + result).find(u";" + item) != std::u16string::npos) continue;
    result += item;
  }
  return result + u".types;.base_index_cg";
}

list_type ListTypeFromGridAlternatives(grid_alternatives grid) {
  switch (grid) {
    case grid_concordance:
      return lt_concordance_list;
    case grid_clusters:
      return lt_concordance_cluster_list;
    case grid_conc_plot:
      return lt_concordance_plot_list;
    case grid_patterns:
      return lt_concordance_pattern_list;
    case grid_collocates:
      return lt_collocate_list;
    case grid_detailed_consist:
    case grid_alph_order:
    case grid_freq_order:
    case grid_detailed_consist_relations:
      return lt_word_list;
    case grid_statistics:
      return lt_statistics_list;
    case grid_filenames:
      return lt_filename_list;
    case grid_timeline:
      return lt_timeline_list;
    case grid_salientor:
      return lt_keyword_list;
    case grid_KWDbase:
      return lt_KW_database_list;
    case grid_kwdb_associates:
      return lt_associate_list;
    case grid_kw_Clumps:
      return lt_clump_list;
    case grid_kw_plot:
      return lt_KW_plot_list;
    case grid_kw_plot_links:
      return lt_link_list;
    case grid_viewer_text:
      return lt_viewer_list;
    case grid_viewer_aligned:
      return lt_aligner_list;
    case grid_relations:
      return lt_relationship_list;
    case grid_glyphseqs:
      return lt_chargram_list;
    default:
      return lt_none_in_use;
  }
}

bool IsLikeTallierList(list_type lt) {
  return (lt >= lt_KWs_as_word_list && lt <= lt_clumps_as_word_list) || lt == lt_wordlist_index_list;
}

bool IsOrIsLikeTallierList(list_type lt) { return lt == lt_word_list || IsLikeTallierList(lt); }

std::u16string ListSignature(list_type lt) {
  std::string_view text = ListRow(list_signature32, lt, std::string_view());
  if (text.ends_with("32")) text.remove_suffix(2);
  return AsciiToUtf16(text);
}

// ---------------------------------------------------------------------------
// The stored-file header
// ---------------------------------------------------------------------------

void TCheckSignature::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  platform::PutLE(&out[0], signature);
  platform::PutLE(&out[4], screen_res);
  platform::PutLE(&out[8], save_height);
  platform::PutLE(&out[12], save_width);
  out[16] = type_of_data.length;
  for (size_t i = 0; i < TShortString40::kCapacity; ++i) out[17 + i] = static_cast<uint8_t>(type_of_data.chars[i]);
}

TCheckSignature TCheckSignature::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TCheckSignature header;
  header.signature = platform::GetLE<int32_t>(&in[0]);
  header.screen_res = platform::GetLE<int32_t>(&in[4]);
  header.save_height = platform::GetLE<int32_t>(&in[8]);
  header.save_width = platform::GetLE<int32_t>(&in[12]);
  header.type_of_data.length = in[16];
  for (size_t i = 0; i < TShortString40::kCapacity; ++i) {
    header.type_of_data.chars[i] = static_cast<char>(in[17 + i]);
  }
  return header;
}

bool DiskSignatureISOKForToolAndList(TCheckSignature& header, tool_type tool, list_type lt,
                                     platform::TStream& stream, TWriteOrRead mode) {
  if (!IsValidToolType(tool) || !IsValidListType(lt)) return false;
  std::array<uint8_t, TCheckSignature::kStoredSize> bytes{};
  const auto size = static_cast<int64_t>(bytes.size());
  if (mode == writing) {
    header.signature = CurrentSignature[tool];
    header.type_of_data.Assign(list_signature32[lt]);
    header.ToBytes(bytes);
    return stream.Write(bytes.data(), size) == size;
  }
  if (ReadRecordBytes(stream, bytes) != bytes.size()) return false;
  header = TCheckSignature::FromBytes(bytes);
  return header.signature == CurrentSignature[tool] && header.type_of_data.Equals(list_signature32[lt]);
}

list_type DiskFileType(const TCheckSignature& header) {
  for (int ordinal = 0; ordinal < lt_sorting; ++ordinal) {  // 0 to 41
    if (header.type_of_data.Equals(list_signature32[static_cast<size_t>(ordinal)])) {
      return static_cast<list_type>(ordinal);
    }
  }
  return header.type_of_data.Equals(salientor_database_v2_signature32) ? lt_KW_database_list : lt_none_in_use;
}

// ---------------------------------------------------------------------------
// Language records
// ---------------------------------------------------------------------------


void old_fixed_character_format_rec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  out[0] = charset_old;
  out[1] = fontsize_old;
  out[2] = fontname_old.length;
  for (size_t i = 0; i < fontname_old.kCapacity; ++i) out[3 + i] = static_cast<uint8_t>(fontname_old.chars[i]);
}

old_fixed_character_format_rec old_fixed_character_format_rec::FromBytes(
    std::span<const uint8_t, kStoredSize> in) noexcept {
  old_fixed_character_format_rec rec;
  rec.charset_old = in[0];
  rec.fontsize_old = in[1];
  rec.fontname_old.length = in[2];
  for (size_t i = 0; i < rec.fontname_old.kCapacity; ++i) rec.fontname_old.chars[i] = static_cast<char>(in[3 + i]);
  return rec;
}

void fixed_character_format_rec32::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  out[0] = charset;
  out[1] = fontsize;
  PutWideUnits(&out[2], fontname);
}

fixed_character_format_rec32 fixed_character_format_rec32::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  fixed_character_format_rec32 rec;
  rec.charset = in[0];
  rec.fontsize = in[1];
  GetWideUnits(&in[2], rec.fontname);
  return rec;
}

void fixed_lang_details_rec32::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutLanguageRecordHead(out.data(), *this);
  out[2] = 1;  // is_32_version: the mark of this layout
  PutBytes(&out[72], spare_ANSI_lowers);
  PutBytes(&out[201], spare_ANSI_uppers);
  new_win_font.ToBytes(out.subspan<330, fixed_character_format_rec32::kStoredSize>());
  platform::PutLE(&out[536], custom_sort_string_number);
  PutBytes(&out[540], spare_bools);
  cores.ToBytes(out.subspan<544, TMyCanvasColourRec::kStoredSize>());
  platform::PutLE(&out[560], language_number);
  platform::PutLE(&out[564], spare_hits);
  for (size_t i = 0; i < spare_ints.size(); ++i) platform::PutLE(&out[568 + 4 * i], spare_ints[i]);
  PutBytes(&out[580], spare);
  PutWideUnits(&out[936], nome);
}

fixed_lang_details_rec32 fixed_lang_details_rec32::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  fixed_lang_details_rec32 rec;
  GetLanguageRecordHead(in.data(), rec);
  GetBytes(&in[72], rec.spare_ANSI_lowers);
  GetBytes(&in[201], rec.spare_ANSI_uppers);
  rec.new_win_font = fixed_character_format_rec32::FromBytes(in.subspan<330, fixed_character_format_rec32::kStoredSize>());
  rec.custom_sort_string_number = platform::GetLE<int32_t>(&in[536]);
  GetBytes(&in[540], rec.spare_bools);
  rec.cores = TMyCanvasColourRec::FromBytes(in.subspan<544, TMyCanvasColourRec::kStoredSize>());
  rec.language_number = platform::GetLE<int32_t>(&in[560]);
  rec.spare_hits = platform::GetLE<int32_t>(&in[564]);
  for (size_t i = 0; i < rec.spare_ints.size(); ++i) rec.spare_ints[i] = platform::GetLE<int32_t>(&in[568 + 4 * i]);
  GetBytes(&in[580], rec.spare);
  GetWideUnits(&in[936], rec.nome);
  return rec;
}

// The offsets above, checked against each other: each field ends where the next begins.
static_assert(8 + old_fixed_character_format_rec::kStoredSize == 43);
static_assert(50 + 2 * 11 == 72 && 72 + 129 == 201 && 201 + 129 == 330);
static_assert(330 + fixed_character_format_rec32::kStoredSize == 534);
static_assert(544 + TMyCanvasColourRec::kStoredSize == 560);
static_assert(568 + 3 * 4 == 580 && 580 + 356 == 936 && 936 + 2 * 51 + 2 == fixed_lang_details_rec32::kStoredSize);
static_assert(2 + 2 * QN_HUNDREDWIDECHAR_LENGTH == fixed_character_format_rec32::kStoredSize);

// ---------------------------------------------------------------------------
// Languages by locale identifier
// ---------------------------------------------------------------------------

uint16_t PrimaryLanguage(uint32_t lcid) noexcept { return static_cast<uint16_t>(lcid & 0x3FF); }

bool SamePrimaryLanguage(uint32_t lcid1, uint32_t lcid2) noexcept {
  return PrimaryLanguage(lcid1) == PrimaryLanguage(lcid2);
}

TBiDiMode BiDiModeFromLCID(uint32_t lcid) noexcept {
  switch (PrimaryLanguage(lcid)) {
    case 1:    // Arabic
    case 13:   // Hebrew
    case 41:   // Farsi
    case 99:   // Pashto
      return bdRightToLeft;
    default:
      return bdLeftToRight;
  }
}

bool BiDiModeFromCharset(uint8_t charset) noexcept { return charset == 177 || charset == 178; }

// ---------------------------------------------------------------------------
// File recognition
// ---------------------------------------------------------------------------

bool IsAQuillon32BitHeaderForTool(const TCheckSignature& header, tool_type tool, list_type& lt) {
  lt = lt_none_in_use;
  if (header.signature != SignatureNumberOf(tool)) return false;
  lt = DiskFileType(header);
  return lt < lt_sorting;
}

bool WasAQuillon32BitHeader(const TCheckSignature& header, tool_type running_tool, list_type& lt) {
  lt = lt_none_in_use;
  const int32_t current = SignatureNumberOf(running_tool);
  if (header.signature >= 35 && header.signature < current) {
    lt = DiskFileType(header);
    return lt < lt_sorting;
  }
  if (header.signature == current) lt = DiskFileType(header);
  return false;
}

tool_type WhichToolsQuillon32BitHeader(const TCheckSignature& header, list_type& lt) {
  lt = lt_none_in_use;
  for (int ordinal = 0; ordinal < tt_no_tool_at_all; ++ordinal) {  // 0 to 20
    if (header.signature != CurrentSignature[static_cast<size_t>(ordinal)]) continue;
    const list_type found = DiskFileType(header);
    if (found < lt_sorting) {
      lt = found;
      return static_cast<tool_type>(ordinal);
    }
  }
  return tt_no_tool_at_all;
}

std::string_view OldQuillonSignatureText(std::span<const uint8_t, 41> start) {
  const size_t limit = start[0];
  const size_t from = start[1] == 0 ? 2 : 1;
  size_t end = from;
  while (end < start.size() && start[end] != 0) ++end;
  const size_t length = std::min(end - from, limit);
  return {reinterpret_cast<const char*>(start.data()) + from, length};
}

bool IsAnOldQuillonFileStart(std::span<const uint8_t, 41> start, list_type& lt) {
  lt = lt_none_in_use;
  const std::string_view text = OldQuillonSignatureText(start);
  for (int ordinal = 0; ordinal < kListTypeCount; ++ordinal) {
    if (old_list_signatures[static_cast<size_t>(ordinal)] == text) {
      lt = static_cast<list_type>(ordinal);
      return true;
    }
  }
  return false;
}

bool IsBatchZipComment(std::u16string_view comment, int32_t entry_count, list_type& lt,
                       bool& names_known_list_type) {
  lt = lt_none_in_use;
  names_known_list_type = false;
  if (entry_count < 1 || comment.size() < batch_zip_comment_prefix.size() + 1 ||
      !comment.starts_with(batch_zip_comment_prefix)) {
    return false;
  }
  const std::u16string_view rest = comment.substr(batch_zip_comment_prefix.size());
  for (int ordinal = 0; ordinal < kListTypeCount; ++ordinal) {
    if (kListTypeExtensions[static_cast<size_t>(ordinal)] == rest) {
      lt = static_cast<list_type>(ordinal);
      names_known_list_type = true;
      break;
    }
  }
  return true;
}

bool IsAQuillon32BitFileForTool(TQNStored_File_rec& file, tool_type tool) {
  file.ListType = lt_none_in_use;
  TCheckSignature header;
  if (!ReadHeaderOfListFile(file.filename, header)) return false;
  return IsAQuillon32BitHeaderForTool(header, tool, file.ListType);
}

bool IsAQuillon32BitFile(TQNStored_File_rec& file) { return IsAQuillon32BitFileForTool(file, current_tool_var); }

bool WasAQuillon32BitFile(TQNStored_File_rec& file) {
  file.ListType = lt_none_in_use;
  TCheckSignature header;
  if (!ReadHeaderOfListFile(file.filename, header)) return false;
  return WasAQuillon32BitHeader(header, current_tool_var, file.ListType);
}

tool_type WhichToolsQuillon32BitFile(TQNStored_File_rec& file) {
  file.ListType = lt_none_in_use;
  TCheckSignature header;
  if (!ReadHeaderOfListFile(file.filename, header)) return tt_no_tool_at_all;
  return WhichToolsQuillon32BitHeader(header, file.ListType);
}

bool IsAnOldQuillonFile(TQNStored_File_rec& file) {
  file.ListType = lt_none_in_use;
  std::array<uint8_t, 41> start{};
  if (!ReadStartOfLongerFile(file.filename, start.data(), start.size())) return false;
  return IsAnOldQuillonFileStart(start, file.ListType);
}

bool IsABatchZipFileForListType(TQNStored_File_rec& file) {
  file.Number_within_Zipfile = 0;
  file.ListType = lt_none_in_use;
  try {
    TZipForge zip;  // closes the archive on every way out
    zip.SetFileName(file.filename);
    zip.OpenArchive();
    const int32_t entries = zip.GetEntryCount();
    bool named = false;
    const bool batch = IsBatchZipComment(zip.GetFileComment(), entries, file.ListType, named);
    if (named) file.Number_within_Zipfile = entries;
    zip.CloseArchive();
    return batch;
  } catch (const std::exception&) {
    // Not an archive, or one that cannot be read: not a batch file.
    file.ListType = lt_none_in_use;
    return false;
  }
}

// ---------------------------------------------------------------------------
// Streamable string lists and key-word records
// ---------------------------------------------------------------------------

TMyStreamableStringlist::~TMyStreamableStringlist() = default;

bool TMyStreamableStringlist::SaveToStream(platform::TStream& stream) {
  try {
    const int32_t count = Count();
    platform::Put<int32_t>(stream, -count);
    for (int32_t i = 0; i < count; ++i) WriteAString(stream, Get(i));
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TMyStreamableStringlist::ReadFromStream(platform::TStream& stream) {
  Clear();
  try {
    const int32_t count = platform::Get<int32_t>(stream);
    const bool wide = count < 0;
    const int64_t strings = wide ? -static_cast<int64_t>(count) : count;
    // A string record takes 4 bytes at least, a short string 1: a count the
    // bytes left cannot hold is refused before the first string.
    if (strings > stream.Remaining() / (wide ? 4 : 1)) return false;
    for (int64_t i = 0; i < strings; ++i) {
      MyYieldProcess();
      if (wide) {
        Add(ReadAString(stream));
      } else {
        Add(ConvertedToWideString(ReadShortString(stream)));
      }
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void FreeKeywordEntry(TKeyword_entry_rec& entry) noexcept {
  delete entry.lemma_words;
  entry.lemma_words = nullptr;
  DeletePWideChar(entry.w);
  DeletePWideChar(entry.prefix_or_tag);
  DeletePWideChar(entry.suffix);
  entry.w = NowtPointer();
  entry.prefix_or_tag = NowtPointer();
  entry.suffix = NowtPointer();
}

}  // namespace qn
