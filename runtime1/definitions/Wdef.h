// The suite's list types as files: their captions, default extensions and
// owning tools, the 57-byte header that begins every saved list, and the
// checks that tell whether a file on disk is one of the suite's lists (current
// or older), a batch archive, or something else.
//
// All tables are constant and indexed by the enumerations of My_types_mini.
// The functions that take an ordinal tolerate a value outside its enumeration
// (a byte read from a file, say): they answer as for a row with nothing in it.
//
// The file checks never raise: a missing, short or unreadable file is simply
// not recognised. Only the header writer/checker, which works on a stream the
// caller owns, passes stream errors other than a short read or write on.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/StringList.h"
#include "platform/Streams.h"
#include "runtime1/definitions/LemmaStopMatchTypes.h"
#include "runtime1/definitions/My_types_mini.h"
#include "runtime1/text/Myunicodenew.h"

namespace qn {

// ---------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------

// Display names of the list types (shown to users; empty where a list type
// has no name of its own).
inline constexpr std::array<std::u16string_view, kListTypeCount> list_type_as_string = {
    u"Word list",                            // lt_word_list
    u"Key word list",                        // lt_keyword_list
    u"Salientor Database",                   // lt_KW_database_list
    u"Detailed Consistency Relations List",  // lt_detailed_consistency_relations_list
    u"Detailed Consistency List",            // lt_detailed_consistency_list
    u"Collocate List",                       // lt_collocate_list
    u"Salientor as Tallier",                 // lt_KWs_as_word_list
    u"KWDBase as Tallier",                   // lt_KWDB_as_word_list
    u"Associates as Tallier",                // lt_associates_as_word_list
    u"Clumps as Tallier",                    // lt_clumps_as_word_list
    u"Concordance list",                     // lt_concordance_list
    u"Salientor Plot list",                  // lt_KW_plot_list
    u"Concordance Plot list",                // lt_concordance_plot_list
    u"Concordance Cluster List",             // lt_concordance_cluster_list
    u"Concordance Pattern List",             // lt_concordance_pattern_list
    u"Associate List",                       // lt_associate_list
    u"Clump List",                           // lt_clump_list
    u"Filename List",                        // lt_filename_list
    u"Link List",                            // lt_link_list
    u"Statistics List",                      // lt_statistics_list
    u"Timeline List",                        // lt_timeline_list
    u"Aligner List",                         // lt_aligner_list
    u"Text List",                            // lt_aligner_plaintext_list
    u"Wordlist Index List",                  // lt_wordlist_index_list
    u"Salientor Cluster list",               // lt_kw_cluster_list
    u"",                                     // lt_none_in_use
    u"Notes",                                // lt_notes
    u"source text",                          // lt_source_text
    u"Relationships List",                   // lt_relationship_list
    u"Viewer List",                          // lt_viewer_list
    u"QNConcgram List",                      // lt_concgram_list
    u"Markup List",                          // lt_markup_list
    u"Section List",                         // lt_sections_list
    u"Chargram List",                        // lt_chargram_list
    u"",                                     // spare10
    u"",                                     // lt_boll
    u"",                                     // lt_boll2
    u"",                                     // lt_boll3
    u"",                                     // ly_boll4
    u"",                                     // lt_boll5
    u"",                                     // lt_bol6
    u"",                                     // lt_bol7
    u"Sort",                                 // lt_sorting
};

// The extensions of the files that make up a word-list index and a concgram,
// run together; ListTypeFromFileExt looks an extension up inside them.
inline constexpr std::u16string_view wordlist_index_file_extensions = u".types.tokens.stats.markup";
inline constexpr std::u16string_view concgram_file_extensions = u".base_pairs.base_index.base_index_cg";

// The signature texts that older versions of the suite wrote at the start of
// their files, by list type (IsAnOldQuillonFile). Rows 24 to 42 had none.
inline constexpr std::array<std::string_view, kListTypeCount> old_list_signatures = {
    "Word Lister",
    "Key Word List",
    "Salientor Database (v. 2)",
    "Simple Consistency List",
    "Detailed Consistency List",
    "Collocate List",
    "Salientor as Tallier",
    "KWDBase as Tallier",
    "Associates as Tallier",
    "Clumps as Tallier",
    "Concordancer",
    "Salientor Plot",
    "Concordance Plot",
    "Concordance Cluster List",
    "Concordance Pattern List",
    "Associate List",
    "Clump List",
    "Filename List",
    "Link List",
    "Statistics List",
    "Ratio Stats List",
    "Aligner List",
    " Text List",
    "Wordlist Index List",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
};

// A header whose type text is this (an intermediate version of the key-word
// database) is still recognised as lt_KW_database_list.
inline constexpr std::string_view salientor_database_v2_signature32 = "Salientor Database (v. 2)32";

// ---------------------------------------------------------------------------
// Enumerations of the callers' choices
// ---------------------------------------------------------------------------

// The formats a list can be saved as besides its own.
enum TSave_as_format : uint8_t { as_txt, as_xml, as_Excel_spreadsheet, as_RTF, as_default_for_list };

// The grids (list views) of the tools.
enum grid_alternatives : uint8_t {
  grid_concordance,
  grid_clusters,
  grid_conc_plot,
  grid_patterns,
  grid_collocates,
  grid_detailed_consist,
  grid_alph_order,
  grid_freq_order,
  grid_detailed_consist_relations,
  grid_statistics,
  grid_filenames,
  grid_timeline,
  grid_salientor,
  grid_KWDbase,
  grid_kwdb_associates,
  grid_kw_Clumps,
  grid_kw_plot,
  grid_kw_plot_links,
  grid_kw_Clusters,
  grid_viewer_text,
  grid_viewer_aligned,
  grid_relations,
  grid_concgram,
  grid_glyphseqs,
  grid_breakdowns,
  grid_spare1,
  grid_spare2,
  grid_spare3,
  grid_none,
};

// Whether DiskSignatureISOKForToolAndList writes a header or checks one.
enum TWriteOrRead : uint8_t { writing, reading };

// ---------------------------------------------------------------------------
// Extensions and owners
// ---------------------------------------------------------------------------

// The caption of a list type ("Word list"); empty for types without one.
QN_API std::u16string ListTypeAsString(list_type lt);

// The default extension with its dot (".lst"); empty for list types that are
// not saved in files of their own.
QN_API std::u16string DefaultExtFromListType(list_type lt);
QN_API std::u16string DefaultExtFromToolType(tool_type tool);
// The default extension without its dot ("tokens").
QN_API std::u16string DotlessDefaultExtFromListType(list_type lt);
// Removes a leading "." from an extension of 2 characters or more; shorter
// texts come back unchanged (so "." stays ".").
QN_API std::u16string CorrectedDefaultExt(std::u16string_view ext);
QN_API std::u16string DefaultExtFromSaveASFormat(TSave_as_format format, list_type lt);

// The tool that owns a list type; lt_notes and spare10 belong to whichever
// tool is running (current_tool_var). Out-of-range values give tt_hub.
QN_API tool_type ToolTypeFromListType(list_type lt);
QN_API file_data_type ListTypeToFileDataType(list_type lt);

// The list type a file extension stands for (letter case ignored);
// spare10 when the extension is not a list file's. An extension that is part
// of the word-list index or concgram extension lists (".stats", ".base_index",
// even a fragment such as ".t") gives those list types; the empty text matches
// neither.
QN_API list_type ListTypeFromFileExt(std::u16string_view ext);
// The tool that opens files of an extension (letter case ignored); tt_lexstore
// when none does.
QN_API tool_type ToolTypeFromFileExt(std::u16string_view ext);
// The extensions of the suite's own list files, for file dialogs:
// ".lst;.kws;.kdb;.cnc;.ali;.tokens;.mut;.vwr;.base_pairs;.cgr;.types;.base_index_cg".
QN_API std::u16string QNFileExtensions();

QN_API list_type ListTypeFromGridAlternatives(grid_alternatives grid);

// Lists that the word-list tool can open as if they were its own.
QN_API bool IsLikeTallierList(list_type lt);
QN_API bool IsOrIsLikeTallierList(list_type lt);

// The list type's signature text without a trailing "32" ("Word List", "Notes").
QN_API std::u16string ListSignature(list_type lt);

// ---------------------------------------------------------------------------
// The stored-file header
// ---------------------------------------------------------------------------

// A length-prefixed 8-bit string of fixed capacity, stored as one length byte
// followed by the capacity's worth of characters. The characters after the
// text are kept as they are, so a record reads back byte for byte.
template <size_t Capacity>
struct TShortString {
  static_assert(Capacity <= 255);
  static constexpr size_t kCapacity = Capacity;
  static constexpr size_t kStoredSize = Capacity + 1;

  uint8_t length = 0;
  std::array<char, Capacity> chars{};

  // The text, cut to the capacity when a stored length byte claims more.
  std::string_view Text() const noexcept {
    return {chars.data(), length <= Capacity ? length : Capacity};
  }
  // Sets the text, cut to the capacity; the characters beyond it stay.
  void Assign(std::string_view text) noexcept {
    const size_t n = text.size() <= Capacity ? text.size() : Capacity;
    for (size_t i = 0; i < n; ++i) chars[i] = text[i];
    length = static_cast<uint8_t>(n);
  }
  // Exact equality of the stored text; a length byte beyond the capacity
  // matches nothing.
  bool Equals(std::string_view text) const noexcept {
    return length <= Capacity && Text() == text;
  }
  friend bool operator==(const TShortString&, const TShortString&) = default;
};

using TShortString40 = TShortString<40>;

// The header at offset 0 of every list file a tool saves. Stored packed,
// little-endian, 57 bytes:
//   0  signature    int32  the saving tool's signature number (CurrentSignature)
//   4  screen_res   int32  }
//   8  save_height  int32  } filled by the saving tool
//  12  save_width   int32  }
//  16  type_of_data 41     length byte + 40 characters: the list type's
//                          signature text (list_signature32)
struct TCheckSignature {
  static constexpr size_t kStoredSize = 57;

  int32_t signature = 0;
  int32_t screen_res = 0;
  int32_t save_height = 0;
  int32_t save_width = 0;
  TShortString40 type_of_data;

  void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  static TCheckSignature FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TCheckSignature&, const TCheckSignature&) = default;
};

// A file on disk as the file checks see it. The checks fill ListType
// (lt_none_in_use when nothing is recognised) and Number_within_Zipfile.
struct TQNStored_File_rec {
  std::u16string filename;
  bool OldModified = false;
  int32_t Number_within_Zipfile = 0;
  list_type ListType = lt_none_in_use;
};

// writing: sets header.signature to the tool's signature number and
// header.type_of_data to the list type's signature text (the other fields stay
// as the caller set them) and writes the 57 bytes at the stream's position;
// true when all were written.
// reading: reads 57 bytes into header; true when all were read and the header
// carries the tool's signature number and the list type's signature text.
// Errors of the stream other than a short read or write reach the caller. A
// tool or list type outside its enumeration gives false and moves no bytes.
QN_API bool DiskSignatureISOKForToolAndList(TCheckSignature& header, tool_type tool, list_type lt,
                                            platform::TStream& stream, TWriteOrRead mode);

// The first list type (0 to 41) whose signature text the header carries;
// lt_KW_database_list for the older key-word database text; lt_none_in_use
// when none.
QN_API list_type DiskFileType(const TCheckSignature& header);

// ---------------------------------------------------------------------------
// Language records
// ---------------------------------------------------------------------------

// The text of a fixed array of UTF-16 code units: up to its first NUL, or the
// whole array when a record read from a file fills it to the end.
template <size_t N>
std::u16string FixedWideText(const std::array<char16_t, N>& units) {
  size_t n = 0;
  while (n < N && units[n] != u'\0') ++n;
  return std::u16string(units.data(), n);
}

// Sets a fixed array to the first N - 1 code units of text; the rest, and
// always the last unit, become NUL.
template <size_t N>
void SetFixedWideText(std::array<char16_t, N>& units, std::u16string_view text) noexcept {
  static_assert(N >= 1);
  units.fill(u'\0');
  for (size_t i = 0; i < N - 1 && i < text.size(); ++i) units[i] = text[i];
}

// The font of the suite's earliest versions, kept in language records:
//   0 charset_old  1 fontsize_old  2 fontname_old (length byte + 32 8-bit characters)
struct old_fixed_character_format_rec {
  static constexpr size_t kStoredSize = 35;

  uint8_t charset_old = 0;
  uint8_t fontsize_old = 0;
  TShortString<32> fontname_old;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static old_fixed_character_format_rec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const old_fixed_character_format_rec&, const old_fixed_character_format_rec&) = default;
};

// A display font: 0 charset, 1 fontsize, 2 fontname (101 UTF-16 code units).
struct fixed_character_format_rec32 {
  static constexpr size_t kStoredSize = 204;

  uint8_t charset = 0;
  uint8_t fontsize = 0;
  hundredwidechar fontname{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static fixed_character_format_rec32 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const fixed_character_format_rec32&, const fixed_character_format_rec32&) = default;
};

// Everything the suite knows about a language, stored unchanged in settings
// and list files. Packed, little-endian, 1,040 bytes:
//    0 allow_middles_at_right   1 allow_middles_at_left   2 is_32_version
//    4 lcid (uint32)            8 old_win_font (35)      43 preference
//   44 custom_language         45 hyphen_breaks_word     46 win_codepage (uint16)
//   48 dos_codepage (uint16)   50 allowable_middle_letters (11 UTF-16 units)
//   72 spare_ANSI_lowers (129) 201 spare_ANSI_uppers (129)
//  330 new_win_font (204)     536 custom_sort_string_number (int32)
//  540 spare_bools (4)        544 cores (16)            560 language_number (int32)
//  564 spare_hits (int32)     568 spare_ints (3 int32)  580 spare (356)
//  936 nome (51 UTF-16 units) 1038..1039 unused
// Spare areas are carried as read, so a record goes back out byte for byte
// (except the unused bytes at 3, 534 and 1038, which are written as 0, and
// Booleans, written as 0 or 1). is_32_version is always written as 1: it is
// the mark by which readers tell this layout from the 632-byte one. Fixed text arrays are read up to their end at
// most (FixedWideText), whatever a file holds.
struct fixed_lang_details_rec32 {
  static constexpr size_t kStoredSize = 1040;

  bool allow_middles_at_right = false;
  bool allow_middles_at_left = false;
  bool is_32_version = false;
  uint32_t lcid = 0;
  old_fixed_character_format_rec old_win_font;
  Tlang_preference_type preference = lang_nao_instalada;
  bool custom_language = false;
  bool hyphen_breaks_word = false;
  uint16_t win_codepage = 0;
  uint16_t dos_codepage = 0;
  std::array<char16_t, 11> allowable_middle_letters{};
  std::array<uint8_t, 129> spare_ANSI_lowers{};
  std::array<uint8_t, 129> spare_ANSI_uppers{};
  fixed_character_format_rec32 new_win_font;
  int32_t custom_sort_string_number = 0;
  std::array<uint8_t, 4> spare_bools{};
  TMyCanvasColourRec cores;
  int32_t language_number = 0;
  int32_t spare_hits = 0;
  std::array<int32_t, 3> spare_ints{};
  std::array<uint8_t, 356> spare{};
  std::array<char16_t, 51> nome{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static fixed_lang_details_rec32 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const fixed_lang_details_rec32&, const fixed_lang_details_rec32&) = default;
};

// ---------------------------------------------------------------------------
// Languages by locale identifier
// ---------------------------------------------------------------------------

// Reading direction of a language's texts.
enum TBiDiMode : uint8_t { bdLeftToRight = 0, bdRightToLeft = 1 };

// The primary language of an LCID: its low 10 bits.
QN_API uint16_t PrimaryLanguage(uint32_t lcid) noexcept;
QN_API bool SamePrimaryLanguage(uint32_t lcid1, uint32_t lcid2) noexcept;
// Right-to-left for Arabic (1), Hebrew (13), Farsi (41) and Pashto (99).
QN_API TBiDiMode BiDiModeFromLCID(uint32_t lcid) noexcept;
// True for the Hebrew (177) and Arabic (178) character sets.
QN_API bool BiDiModeFromCharset(uint8_t charset) noexcept;

// ---------------------------------------------------------------------------
// File recognition
// ---------------------------------------------------------------------------

// A current list file saved by `tool` (any tool sharing its signature number):
// the file exists, is longer than its header, and its header carries the
// tool's signature number and a known list type, which goes to ListType.
QN_API bool IsAQuillon32BitFileForTool(TQNStored_File_rec& file, tool_type tool);
// The same for the running tool.
QN_API bool IsAQuillon32BitFile(TQNStored_File_rec& file);
// A list file of an older format of the running tool (signature number from 35
// up to, not including, the running tool's). A current file gets its ListType
// but gives false.
QN_API bool WasAQuillon32BitFile(TQNStored_File_rec& file);
// The first tool (0 to 20) whose signature number the file's header carries
// with a known list type; tt_no_tool_at_all when none.
QN_API tool_type WhichToolsQuillon32BitFile(TQNStored_File_rec& file);
// A list file of the suite's versions before the 32-bit header, recognised by
// the signature text at its start.
QN_API bool IsAnOldQuillonFile(TQNStored_File_rec& file);
// A zip archive of a batch run: at least one entry and an archive comment
// "Quindo Batch file " followed by the extension of the lists inside, which
// gives ListType (and Number_within_Zipfile the entry count).
QN_API bool IsABatchZipFileForListType(TQNStored_File_rec& file);

// The decisions of the file checks over bytes already read, for callers that
// hold a file's start in memory. `lt` receives what the file checks put in
// ListType.
QN_API bool IsAQuillon32BitHeaderForTool(const TCheckSignature& header, tool_type tool, list_type& lt);
QN_API bool WasAQuillon32BitHeader(const TCheckSignature& header, tool_type running_tool, list_type& lt);
QN_API tool_type WhichToolsQuillon32BitHeader(const TCheckSignature& header, list_type& lt);
// `start`: the first 41 bytes of a file longer than 41 bytes.
QN_API bool IsAnOldQuillonFileStart(std::span<const uint8_t, 41> start, list_type& lt);
// The signature text of an old file's start: a length byte L, then the text
// from byte 1 (byte 2 when byte 1 is NUL) up to a NUL or the end, cut to L.
QN_API std::string_view OldQuillonSignatureText(std::span<const uint8_t, 41> start);
// A batch archive's comment and entry count: true when they make a batch
// archive; `lt` receives the list type its comment names (lt_none_in_use
// when it names none) and `names_known_list_type` whether it named one.
QN_API bool IsBatchZipComment(std::u16string_view comment, int32_t entry_count, list_type& lt,
                              bool& names_known_list_type);

// The text that begins the comment of every batch archive.
inline constexpr std::u16string_view batch_zip_comment_prefix = u"Quindo Batch file ";

// ---------------------------------------------------------------------------
// Records of the association and keyness statistics
// ---------------------------------------------------------------------------

// The relationship measure a collocate or relationship list is ranked by.
enum TMutualInfoStats : uint8_t {
  MI_Dice,
  MI_MI,
  MI_MI3,
  MI_Z,
  MI_log_likelihood,
  MI_T_Score,
  MI_Log_Ratio,
};
inline constexpr int kMutualInfoStatsCount = 7;

// The collocation window: word positions to the left and to the right of the
// node. The span S is to_left + to_right.
struct Tdouble_smallint_type {
  int16_t to_left = 0;
  int16_t to_right = 0;
};

// A summary of one measurement over a text (sentence length, say): how many
// values, their mean and their sample standard deviation.
struct text_stats_rec {
  int32_t n = 0;
  float mean = 0;
  float std_dev = 0;
};

// Two signed 32-bit numbers: the frequencies of a word in a text and in a
// reference corpus, the sizes of the two, a pair of item indices.
using TIntegerPair = std::array<int32_t, 2>;

// A string list that saves itself in the suite's stream form: the negated
// count (signed 32-bit), then each string as a string record (a signed 32-bit
// length in code units, then the UTF-16 units). Reading also takes the older
// form, a non-negative count followed by that many short strings (a length
// byte, then 8-bit text in the active code page). Both operations report
// failure (false) instead of raising; strings read before a failure stay.
class QN_API TMyStreamableStringlist : public platform::TStringList {
 public:
  TMyStreamableStringlist() = default;
  ~TMyStreamableStringlist() override;

  // The list's text forms (one line per string) stay reachable.
  using platform::TStringList::LoadFromStream;
  using platform::TStringList::SaveToStream;

  bool SaveToStream(platform::TStream& stream);
  // Clears the list and reads it back; the yield procedure runs once per
  // string. Counts are not trusted: a count that the bytes left cannot hold
  // (4 bytes at least per string record, 1 per short string) is refused
  // before anything is read, reading stops at the first record the stream
  // cannot deliver, and no space is set aside for a stored count.
  bool ReadFromStream(platform::TStream& stream);
};

// The record of one key word of a key-word list. f holds the word's
// frequencies in the text and in the reference corpus; LL its log-likelihood
// (negative when the word is less frequent in the text than expected, as
// negative_score says); LogRatio the binary log of the ratio of its relative
// frequencies; BIC_Score the log-likelihood less ln(total size).
// lemma_words belongs to the record; w, prefix_or_tag and suffix are texts
// made by the checked allocation routines, or nowt when empty. Release all of
// them with FreeKeywordEntry.
struct TKeyword_entry_rec {
  TIntegerPair f{};
  float LL = 0;
  int32_t n_texts = 0;
  float BIC_Score = 0;
  float unused_Percentdiff = 0;
  float LogRatio = 0;
  bool negative_score = false;
  std::array<uint8_t, 3> spareBs{};
  std::array<uint8_t, 12> spare{};
  TMyStreamableStringlist* lemma_words = nullptr;
  char16_t* w = NowtPointer();
  char16_t* prefix_or_tag = NowtPointer();
  char16_t* suffix = NowtPointer();
};

// Frees the record's list and texts (nowt is left alone) and puts back the
// empty values: no list, the three texts nowt. Safe to call twice.
QN_API void FreeKeywordEntry(TKeyword_entry_rec& entry) noexcept;

}  // namespace qn
