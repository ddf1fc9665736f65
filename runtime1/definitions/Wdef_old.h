// The older layouts of the settings records, as files of earlier versions of
// the suite hold them. They are read (and, for the association settings,
// written) only to be converted to and from the current layouts of
// Wdef_records (Convert_old_record_types).
//
// Conventions as in Wdef_records: packed, little-endian, Booleans one byte,
// offsets beside each record and pinned by static_asserts; unnamed areas kept
// as bytes. Length bytes of 8-bit strings are kept as stored and never
// trusted: TShortString::Text() cuts a text to its field's capacity.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/Export.h"
#include "runtime1/definitions/Grid_head_types.h"
#include "runtime1/definitions/My_types_mini.h"
#include "runtime1/definitions/Wdef.h"
#include "runtime1/definitions/Wdef_records.h"

namespace qn {

// The language record of the earliest versions, 632 bytes:
//    0 allow_middles_at_right  1 allow_middles_at_left  2 is_32_version
//    3 unused  4 spare_a (4 bytes)  8 lcid  12 old_win_font (35)
//   47 preference  48 custom_language  49 hyphen_breaks_word
//   50 win_codepage  52 dos_codepage (uint16)  54 spare_b (21 bytes)
//   75 old_allowable_middle_letters (11 8-bit characters)
//   86 allowable_middle_letters (11 UTF-16 units)  108 spare_c (234 bytes)
//  342 ANSI_lowers  471 ANSI_uppers (129 bytes each)
//  600 nome (length byte + 31 8-bit characters, the active code page)
struct fixed_lang_details_rec_old {
  static constexpr size_t kStoredSize = 632;

  bool allow_middles_at_right = false;
  bool allow_middles_at_left = false;
  bool is_32_version = false;
  std::array<uint8_t, 4> spare_a{};
  uint32_t lcid = 0;
  old_fixed_character_format_rec old_win_font;
  Tlang_preference_type preference = lang_nao_instalada;
  bool custom_language = false;
  bool hyphen_breaks_word = false;
  uint16_t win_codepage = 0;
  uint16_t dos_codepage = 0;
  std::array<uint8_t, 21> spare_b{};
  std::array<uint8_t, 11> old_allowable_middle_letters{};
  std::array<char16_t, 11> allowable_middle_letters{};
  std::array<uint8_t, 234> spare_c{};
  std::array<uint8_t, 129> ANSI_lowers{};
  std::array<uint8_t, 129> ANSI_uppers{};
  TShortString<31> nome;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static fixed_lang_details_rec_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const fixed_lang_details_rec_old&, const fixed_lang_details_rec_old&) = default;
};

// The first 32-bit language record, 1,040 bytes: as the current record up to
// offset 71, then
//   72 ANSI_lowers  201 ANSI_uppers (129 bytes each)  330 spare (606 bytes)
//  936 nome (51 UTF-16 units)  1038..1039 unused
struct fixed_lang_details_rec32old {
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
  std::array<uint8_t, 129> ANSI_lowers{};
  std::array<uint8_t, 129> ANSI_uppers{};
  std::array<uint8_t, 606> spare{};
  std::array<char16_t, 51> nome{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static fixed_lang_details_rec32old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const fixed_lang_details_rec32old&, const fixed_lang_details_rec32old&) = default;
};

// The text settings before the 32-bit language record, 2,500 bytes:
//    0 language_info (632)  632 tag_treatment  633 must_use_Unicode
//  634 spare_bool  635 using_SGML  636 clear_default_markup
//  637 numbers_included  638 ignore_tags (24)  662 standard_markers (8 x 204)
// 2294 spare (206)
struct textsett_rec_old {
  static constexpr size_t kStoredSize = 2500;

  fixed_lang_details_rec_old language_info;
  TTallierTagTreatment tag_treatment{};
  bool must_use_Unicode = false;
  uint8_t spare_bool = 0;
  bool using_SGML = false;
  bool clear_default_markup = false;
  bool numbers_included = false;
  std::array<uint8_t, 24> ignore_tags{};
  TStandardMarkers standard_markers{};
  std::array<uint8_t, 206> spare{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static textsett_rec_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const textsett_rec_old&, const textsett_rec_old&) = default;
};

// The concordance settings before the 32-bit language record, 1,368 bytes:
//    0..663   the current record's bytes 0 to 663 (search words and counts)
//  664..1295  language_info (old language record)
// 1296..1367  the current record's bytes 1704 to 1775 (display settings;
//             show_percents_not_raw_numbers at 1322 with the opposite
//             meaning, saved_concrec_version_number at 1355)
struct TConcSettingsRec_old {
  static constexpr size_t kStoredSize = 1368;
  static constexpr size_t kVersionNumberAt = 1355;
  static constexpr size_t kShowPercentsAt = 1322;

  std::array<uint8_t, 664> head{};
  fixed_lang_details_rec_old language_info;
  std::array<uint8_t, 72> display_settings{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TConcSettingsRec_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TConcSettingsRec_old&, const TConcSettingsRec_old&) = default;
};

// The association settings of the earliest versions, 32 bytes:
//   0 spare_stop (below 6)  1 stop_at  2 omit_left_right_matches
//   3 omit_numbers  4 show_pairs_twice  5 recompute_total_tokens  6 two_way
//   7..8 spare_a  9..11 unused  12 span  16 min_freq (int32)
//  20 min_mutual_info  24 max_percent (floats)  28 spare_b (4 bytes)
struct TMutual_info_settings_old {
  static constexpr size_t kStoredSize = 32;

  uint8_t spare_stop = 0;
  Tcollocates_stop_at_type stop_at{};
  bool omit_left_right_matches = false;
  bool omit_numbers = false;
  bool show_pairs_twice = false;
  bool recompute_total_tokens = false;
  bool two_way = false;
  std::array<uint8_t, 2> spare_a{};
  int32_t span = 0;
  int32_t min_freq = 0;
  float min_mutual_info = 0;
  float max_percent = 0;
  std::array<uint8_t, 4> spare_b{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TMutual_info_settings_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TMutual_info_settings_old&, const TMutual_info_settings_old&) = default;
};

// An association pair of the earliest versions, 72 bytes:
//   0 n_files  4 f1  8 f2  12 joint  16 commonest_gap_size (int32)
//  20 spare_scores (3 floats)  32 scores (6 floats)  56 w1  60 w2 (uint32)
//  64 p1  68 p2: 32-bit addresses of the process that wrote them, kept as
//  stored and never used as references.
struct TMutualInfo_recOld {
  static constexpr size_t kStoredSize = 72;

  int32_t n_files = 0;
  int32_t f1 = 0;
  int32_t f2 = 0;
  int32_t joint = 0;
  int32_t commonest_gap_size = 0;
  std::array<float, 3> spare_scores{};
  std::array<float, 6> scores{};
  uint32_t w1 = 0;
  uint32_t w2 = 0;
  uint32_t p1 = 0;
  uint32_t p2 = 0;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TMutualInfo_recOld FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TMutualInfo_recOld&, const TMutualInfo_recOld&) = default;
};

// A chosen file of the earliest versions, 49 bytes:
//   0 FolderData (int32, not negative)  4 Zip_Num (int16)  6 Date
//  14 Size  18 Words (int32)  22 encrypted  23 Wanted  24 KindOfFile
//  25 rest (24 bytes, not used)
struct TChosenFile_BaseRec_old {
  static constexpr size_t kStoredSize = 49;

  int32_t FolderData = 0;
  int16_t Zip_Num = 0;
  double Date = 0;
  int32_t Size = 0;
  int32_t Words = 0;
  bool encrypted = false;
  TFileWantedType Wanted{};
  TKindOfFileSet KindOfFile = 0;
  std::array<uint8_t, 24> rest{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TChosenFile_BaseRec_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TChosenFile_BaseRec_old&, const TChosenFile_BaseRec_old&) = default;
};

// The extra file statistics of the earliest versions, 16 bytes:
//   0 total_bytes  4 zips_added  8 version  12 old_mark (int32 each; the
//   mark is below 2, where the current record holds its version)
struct TFileInfoExtraStatsRec_old {
  static constexpr size_t kStoredSize = 16;

  int32_t total_bytes = 0;
  int32_t zips_added = 0;
  int32_t version = 0;
  int32_t old_mark = 0;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TFileInfoExtraStatsRec_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TFileInfoExtraStatsRec_old&, const TFileInfoExtraStatsRec_old&) = default;
};

// The per-text statistics of earlier versions: the statistics block and the
// file name, without the spare bytes.
struct TOne_text_stats_rec_old {
  std::array<uint8_t, TOne_text_stats_rec::kStatsBlockSize> stats{};
  std::u16string filename;
  friend bool operator==(const TOne_text_stats_rec_old&, const TOne_text_stats_rec_old&) = default;
};

// The key-word settings of version 4, 1,212 bytes:
//    0 settings_language (old language record)  632 min_x2 (float)
//  636 min_freq (int16)  638..639 unused  640 max_wanted (int32)
//  644 source_text_running_words (2 x int32)
//  652 source_text_filename  908 ref_corpus_wordlist_filename (length byte +
//      255 8-bit characters each, the active code page)
// 1164 keyness_proc (7 bytes)  1171 exclude_negatives  1172 both_ways
// 1173 plot_computed  1174 links_computed  1175 unused
// 1176 max_kw_links (int32)  1180 multiple_source_texts
// 1181 full_lemma_processing  1182..1183 unused  1184 version_number (int32)
// 1188 spare (24 bytes)
struct QN4_salientor_settings_type {
  static constexpr size_t kStoredSize = 1212;

  fixed_lang_details_rec_old settings_language;
  float min_x2 = 0;
  int16_t min_freq = 0;
  int32_t max_wanted = 0;
  std::array<int32_t, 2> source_text_running_words{};
  TShortString<255> source_text_filename;
  TShortString<255> ref_corpus_wordlist_filename;
  std::array<uint8_t, 7> keyness_proc{};
  bool exclude_negatives = false;
  bool both_ways = false;
  bool plot_computed = false;
  bool links_computed = false;
  int32_t max_kw_links = 0;
  bool multiple_source_texts = false;
  bool full_lemma_processing = false;
  int32_t version_number = 0;
  std::array<uint8_t, 24> spare{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static QN4_salientor_settings_type FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const QN4_salientor_settings_type&, const QN4_salientor_settings_type&) = default;
};

// The key-word settings of version 5, 2,256 bytes: as version 4 up to 651
// (the threshold being min_LL_P_value), then
//  652 spare_a (512 bytes)  1164 keyness_proc (7)  1171 exclude_negatives
// 1172 handle_amount  1173 plot_computed  1174 links_computed  1175 unused
// 1176 max_kw_links (int32)  1180 multiple_source_texts
// 1181 full_lemma_processing  1182..1183 unused  1184 version_number (int32)
// 1188 percent_little_wds_found_in_rc (float)  1192 spare_b (20 bytes)
// 1212 source_text_filename  1734 ref_corpus_wordlist_filename (261 UTF-16 units each)
struct QN_salientor_settings_type_old {
  static constexpr size_t kStoredSize = 2256;

  fixed_lang_details_rec_old settings_language;
  float min_LL_P_value = 0;
  int16_t min_freq = 0;
  int32_t max_wanted = 0;
  std::array<int32_t, 2> source_text_running_words{};
  std::array<uint8_t, 512> spare_a{};
  std::array<uint8_t, 7> keyness_proc{};
  bool exclude_negatives = false;
  bool handle_amount = false;
  bool plot_computed = false;
  bool links_computed = false;
  int32_t max_kw_links = 0;
  bool multiple_source_texts = false;
  bool full_lemma_processing = false;
  int32_t version_number = 0;
  float percent_little_wds_found_in_rc = 0;
  std::array<uint8_t, 20> spare_b{};
  TSalientorFileName source_text_filename{};
  TSalientorFileName ref_corpus_wordlist_filename{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static QN_salientor_settings_type_old FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const QN_salientor_settings_type_old&, const QN_salientor_settings_type_old&) = default;
};

// A grid column of earlier versions. Stored as 40 bytes, or as 60 with the
// column's data block at the end:
//   0 alignment  1 typefaces  2 editable  3 minimum (float)  7 decimals
//   8 TextColour  12 background (colours)  16 allow_case_change
//  17 extra_computed  18 numerical  19 visible  20 original_column
//  22 pixel_width96 (int16)  24 output_case  25 spare
//  26 may_have_old_data_unsafe  27 previous_decimals  28 wordwrap
//  29 has_custom_heading  30 percent_data  31 version  32 HelpContext
//  36 localization_number (int32)  40 column_data (20 bytes, long form only)
// Enumeration bytes are kept as stored.
struct grid_head_type_old {
  static constexpr size_t kStoredSize = 40;
  static constexpr size_t kLongStoredSize = 60;

  TQNAlignment alignment = centre_aligned;
  TTypefaceSet typefaces;
  editable_type editable = nao_pode;
  float minimum = 0;
  uint8_t decimals = 0;
  TColor TextColour = 0;
  TColor background = 0;
  bool allow_case_change = false;
  bool extra_computed = false;
  bool numerical = false;
  bool visible = false;
  int16_t original_column = 0;
  int16_t pixel_width96 = 0;
  TOutput_results_case output_case{};
  uint8_t spare = 0;
  bool may_have_old_data_unsafe = false;
  uint8_t previous_decimals = 0;
  bool wordwrap = false;
  bool has_custom_heading = false;
  bool percent_data = false;
  uint8_t version = 0;
  int32_t HelpContext = 0;
  int32_t localization_number = 0;
  TGridColumnDataRec32 column_data;

  // The long form; the short form is its first 40 bytes (column_data zero).
  QN_API void ToBytes(std::span<uint8_t, kLongStoredSize> out) const noexcept;
  QN_API static grid_head_type_old FromBytes(std::span<const uint8_t, kLongStoredSize> in) noexcept;
  friend bool operator==(const grid_head_type_old&, const grid_head_type_old&) = default;
};

}  // namespace qn
