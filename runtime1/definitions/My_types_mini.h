// The suite's tools and the kinds of list they save: the two enumerations every
// other module names them by, and the constant tables that hang off them.
//
// This is the small core of the suite definitions that the lemmatiser library
// also builds into its private copy (its slots are the ordinals of tool_type),
// so it holds only enumerations, constant tables and the running-tool variable.
// The functions over these tables live in My_types (tools and executables) and
// Wdef (extensions, stored-file headers, file recognition).
//
// Text conventions: names and extensions that tools show or compare with file
// names are UTF-16; the signature texts written into file headers are 8-bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "platform/Export.h"

namespace qn {

// The suite's major version; it is part of every executable's file name and
// of the hub's log tag.
inline constexpr int32_t QNMajorVersion = 7;

// The tools of the suite. The ordinals are stored in files and are the slot
// numbers of the lemmatiser library, so rows are never reordered.
enum tool_type : uint8_t {
  tt_tallier = 0,
  tt_kwicker = 1,
  tt_salientor = 2,
  tt_Glyphseqs = 3,
  tt_hub = 4,
  tt_any_main_tool = 5,
  tt_recoder = 6,
  tt_QNconcgram = 7,
  tt_reserved = 8,  // a retired tool whose ordinal stays taken
  tt_locale_picker = 9,
  tt_spare_convert16bit = 10,
  tt_parallel_pager = 11,
  tt_spare_netfetch = 12,
  tt_glyph_census = 13,
  tt_near_twins = 14,
  tt_disk_toolkit = 15,
  tt_plugin_gate = 16,
  tt_page_peeker = 17,
  tt_collection_auditor = 18,
  tt_update_probe = 19,
  tt_lexstore = 20,
  tt_no_tool_at_all = 21,
};
inline constexpr int kToolTypeCount = 22;
inline constexpr tool_type tool_type_first = tt_tallier;
inline constexpr tool_type tool_type_last = tt_no_tool_at_all;

// The kinds of list the tools save. The ordinals are stored in files; rows are
// never reordered. Rows 34 to 42 carry their historical names unchanged.
enum list_type : uint8_t {
  lt_word_list = 0,
  lt_keyword_list = 1,
  lt_KW_database_list = 2,
  lt_detailed_consistency_relations_list = 3,
  lt_detailed_consistency_list = 4,
  lt_collocate_list = 5,
  lt_KWs_as_word_list = 6,
  lt_KWDB_as_word_list = 7,
  lt_associates_as_word_list = 8,
  lt_clumps_as_word_list = 9,
  lt_concordance_list = 10,
  lt_KW_plot_list = 11,
  lt_concordance_plot_list = 12,
  lt_concordance_cluster_list = 13,
  lt_concordance_pattern_list = 14,
  lt_associate_list = 15,
  lt_clump_list = 16,
  lt_filename_list = 17,
  lt_link_list = 18,
  lt_statistics_list = 19,
  lt_timeline_list = 20,
  lt_aligner_list = 21,
  lt_aligner_plaintext_list = 22,
  lt_wordlist_index_list = 23,
  lt_kw_cluster_list = 24,
  lt_none_in_use = 25,
  lt_notes = 26,
  lt_source_text = 27,
  lt_relationship_list = 28,
  lt_viewer_list = 29,
  lt_concgram_list = 30,
  lt_markup_list = 31,
  lt_sections_list = 32,
  lt_chargram_list = 33,
  spare10 = 34,
  lt_boll = 35,
  lt_boll2 = 36,
  lt_boll3 = 37,
  ly_boll4 = 38,
  lt_boll5 = 39,
  lt_bol6 = 40,
  lt_bol7 = 41,
  lt_sorting = 42,
};
inline constexpr int kListTypeCount = 43;
inline constexpr list_type list_type_first = lt_word_list;
inline constexpr list_type list_type_last = lt_sorting;

inline constexpr bool IsValidToolType(int ordinal) noexcept {
  return ordinal >= 0 && ordinal < kToolTypeCount;
}
inline constexpr bool IsValidListType(int ordinal) noexcept {
  return ordinal >= 0 && ordinal < kListTypeCount;
}

// A set of tools, one bit per ordinal.
class TTool_Type_Set {
 public:
  constexpr TTool_Type_Set() noexcept = default;
  constexpr TTool_Type_Set(std::initializer_list<tool_type> tools) noexcept {
    for (tool_type t : tools) Include(t);
  }
  constexpr void Include(tool_type t) noexcept { fBits |= Bit(t); }
  constexpr void Exclude(tool_type t) noexcept { fBits &= ~Bit(t); }
  constexpr bool Contains(tool_type t) const noexcept { return (fBits & Bit(t)) != 0; }
  constexpr bool Empty() const noexcept { return fBits == 0; }
  constexpr uint32_t Bits() const noexcept { return fBits; }
  friend constexpr bool operator==(TTool_Type_Set, TTool_Type_Set) noexcept = default;

 private:
  // Ordinals outside the enumeration map to no bit, so a stray value is never a member.
  static constexpr uint32_t Bit(tool_type t) noexcept {
    return IsValidToolType(t) ? (uint32_t{1} << t) : 0;
  }
  uint32_t fBits = 0;
};

// What a saved list holds, for the tools that decide how to open or print it.
enum file_data_type : uint8_t { quindo_only_data, graphic_data, text_data };

// The signature number each tool writes into the header of every file it
// saves. Several tools share a number, so a number alone does not say which
// tool saved a file; the list type's signature text does the rest.
inline constexpr std::array<int32_t, kToolTypeCount> CurrentSignature = {
    37,   // tt_tallier
    36,   // tt_kwicker
    37,   // tt_salientor
    36,   // tt_Glyphseqs
    37,   // tt_hub
    36,   // tt_any_main_tool
    37,   // tt_recoder
    37,   // tt_QNconcgram
    36,   // tt_reserved
    36,   // tt_locale_picker
    36,   // tt_spare_convert16bit
    38,   // tt_parallel_pager
    36,   // tt_spare_netfetch
    36,   // tt_glyph_census
    37,   // tt_near_twins
    36,   // tt_disk_toolkit
    36,   // tt_plugin_gate
    36,   // tt_page_peeker
    36,   // tt_collection_auditor
    36,   // tt_update_probe
    36,   // tt_lexstore
    789,  // tt_no_tool_at_all
};

// The 8-bit signature text written into the header of a saved list, by list
// type. Stored in files: every byte matters, including the leading space of
// row 22 and the historical names of rows 34 to 42.
inline constexpr std::array<std::string_view, kListTypeCount> list_signature32 = {
    "Word List32",                            // lt_word_list
    "Key Word List32",                        // lt_keyword_list
    "Salientor Database32",                   // lt_KW_database_list
    "Detailed Consistency Relations List32",  // lt_detailed_consistency_relations_list
    "Detailed Consistency List32",            // lt_detailed_consistency_list
    "Collocate List32",                       // lt_collocate_list
    "Salientor as Tallier32",                 // lt_KWs_as_word_list
    "KWDBase as Tallier32",                   // lt_KWDB_as_word_list
    "Associates as Tallier32",                // lt_associates_as_word_list
    "Clumps as Tallier32",                    // lt_clumps_as_word_list
    "Concordance32",                          // lt_concordance_list
    "Salientor Plot32",                       // lt_KW_plot_list
    "Concordance Plot32",                     // lt_concordance_plot_list
    "Concordance Cluster List32",             // lt_concordance_cluster_list
    "Concordance Pattern List32",             // lt_concordance_pattern_list
    "Associate List32",                       // lt_associate_list
    "Clump List32",                           // lt_clump_list
    "Filename List32",                        // lt_filename_list
    "Link List32",                            // lt_link_list
    "Statistics List32",                      // lt_statistics_list
    "Timeline List32",                        // lt_timeline_list
    "Aligner List32",                         // lt_aligner_list
    " Text List32",                           // lt_aligner_plaintext_list
    "Wordlist Index List32",                  // lt_wordlist_index_list
    "Salientor ClusterList32",                // lt_kw_cluster_list
    "",                                       // lt_none_in_use
    "Notes",                                  // lt_notes
    "source text",                            // lt_source_text
    "Mutual Information List32",              // lt_relationship_list
    "Viewer List32",                          // lt_viewer_list
    "QNConcGram List32",                      // lt_concgram_list
    "Markup List32",                          // lt_markup_list
    "Section List32",                         // lt_sections_list
    "CharGram List32",                        // lt_chargram_list
    "spare10",                                // spare10
    "lt_boll",                                // lt_boll
    "lt_boll2",                               // lt_boll2
    "lt_boll3",                               // lt_boll3
    "ly_boll4",                               // ly_boll4
    "lt_boll5",                               // lt_boll5
    "lt_bol6",                                // lt_bol6
    "lt_bol7",                                // lt_bol7
    "lt_bol8",                                // lt_sorting
};

// ---------------------------------------------------------------------------
// Display types shared by the stored records and the lists' displays
// ---------------------------------------------------------------------------

// A colour as 0x00BBGGRR (red in the lowest byte); stored as a signed 32-bit
// value, so special negative values written by a host survive a round trip.
using TColor = int32_t;

// The four colours a list or a text is painted with.
struct TMyCanvasColourRec {
  static constexpr size_t kStoredSize = 16;

  TColor text = 0;
  TColor selected_text = 0;
  TColor background = 0;
  TColor selected_background = 0;

  // Stored as the four colours in this order, little-endian.
  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TMyCanvasColourRec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend constexpr bool operator==(const TMyCanvasColourRec&, const TMyCanvasColourRec&) = default;
};

// Typefaces a word can be shown in; a set of them is stored as one byte, one
// bit per row.
enum TTypeface : uint8_t { tf_bold, tf_italics, tf_underline, tf_strikeout };

class TTypefaceSet {
 public:
  constexpr TTypefaceSet() noexcept = default;
  constexpr TTypefaceSet(std::initializer_list<TTypeface> faces) noexcept {
    for (TTypeface f : faces) Include(f);
  }
  // A stored byte, kept whole: bits beyond the four rows go back out unchanged.
  static constexpr TTypefaceSet FromBits(uint8_t bits) noexcept {
    TTypefaceSet set;
    set.fBits = bits;
    return set;
  }
  constexpr void Include(TTypeface f) noexcept { fBits = static_cast<uint8_t>(fBits | Bit(f)); }
  constexpr void Exclude(TTypeface f) noexcept { fBits = static_cast<uint8_t>(fBits & ~Bit(f)); }
  constexpr bool Contains(TTypeface f) const noexcept { return (fBits & Bit(f)) != 0; }
  constexpr bool Empty() const noexcept { return fBits == 0; }
  constexpr uint8_t Bits() const noexcept { return fBits; }
  friend constexpr bool operator==(TTypefaceSet, TTypefaceSet) noexcept = default;

 private:
  static constexpr uint8_t Bit(TTypeface f) noexcept { return f < 8 ? static_cast<uint8_t>(1u << f) : 0; }
  uint8_t fBits = 0;
};

// Colours with the typefaces of ordinary and of highlighted words.
struct TMyCanvasColourRecAndTypeface {
  TMyCanvasColourRec colourset;
  TTypefaceSet default_typeface;
  TTypefaceSet highlight_typeface;

  friend constexpr bool operator==(const TMyCanvasColourRecAndTypeface&,
                                   const TMyCanvasColourRecAndTypeface&) = default;
};

// Black on white, selections white on dark blue: what a language record whose
// text colour equals its background colour is given instead.
inline constexpr TMyCanvasColourRec BogStandardColours = {0x000000, 0xFFFFFF, 0xFFFFFF, 0x660000};
// White on dark red, for search words.
inline constexpr TMyCanvasColourRec StyleSearchColours = {0xFFFFFF, 0x000080, 0x000080, 0xFFFFFF};
inline constexpr TMyCanvasColourRecAndTypeface BogStandardColoursAndTypeface = {BogStandardColours, {}, {}};
inline constexpr TMyCanvasColourRecAndTypeface StyleSearchColoursAndTypeface = {
    StyleSearchColours, TTypefaceSet{tf_bold}, TTypefaceSet{tf_bold}};

// The bases of a time-line plot: how dates are grouped into periods. Stored in
// column records; rows are never reordered.
enum TTimeLinePlotbase : uint8_t {
  tlpb_unknown,
  tlpb_millennia,
  tlpb_centuries,
  tlpb_decades,
  tlpb_years,
  tlpb_months,
  tlpb_weeks,
  tlpb_days,
  tlpb_hours,
  tlpb_datafield,
  tlpb_custom,
  tlpb_spare,
};
inline constexpr int kTimeLinePlotbaseCount = 12;

// How far a language is the user's choice. Stored in language records.
enum Tlang_preference_type : uint8_t { lang_nao_instalada, lang_instalada, lang_rank_2, lang_a_preferida };

// Byte-sized choices that settings records carry. Their rows belong to the
// tools that use them; here they only need a fixed size, and any stored value
// is accepted and kept.
enum TTallierTagTreatment : uint8_t {};
enum Tcollocates_stop_at_type : uint8_t {};
enum TFileWantedType : uint8_t {};

// The 8-bit Windows code pages a language may need, and their numbers.
enum Wincodepage_types : uint8_t {
  nao_precisa,
  _1250_CEurope,
  _1251_Cyrillic,
  _1252_Latin1,
  _1253_Greek,
  _1254_Turkish,
  _1255_Hebrew,
  _1256_Arabic,
  _1257_Baltic,
  _1258_Vietnam,
  _874_Thai,
  _932ShiftJis,
  _936SimpChineseGB2312,
  _949Korean,
  _950TradChineseBig5,
};
inline constexpr int kWincodepageTypeCount = 15;
// 0: no 8-bit code page is needed.
inline constexpr std::array<uint16_t, kWincodepageTypeCount> win_codepages = {
    0, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 874, 932, 936, 949, 950};

// The running tool. It starts as the hub and is set once at start-up by
// SetCurrentTool (My_types); the file checks and the log read it.
extern QN_API tool_type current_tool_var;

}  // namespace qn
