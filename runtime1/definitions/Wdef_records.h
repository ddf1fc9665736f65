// The settings records and per-file records the tools store inside their
// list files, in their current layouts.
//
// Every record is packed and little-endian, Booleans one byte (written as 0
// or 1), character arrays UTF-16 unless said otherwise. Each has an
// in-memory form with named fields and FromBytes/ToBytes over its exact
// stored image; the offsets are listed beside each record and pinned by
// static_asserts in Wdef_records.cpp. Areas without a name of their own are
// kept as byte arrays, so a record read and written again comes back byte
// for byte (padding bytes between fields are written as 0).
//
// Enumeration bytes that come from files (TTallierTagTreatment, stop_at,
// Wanted, ...) are kept as stored for round trips; code that uses one as an
// index clamps it first.
//
// Some records carry a mark by which the readers of Convert_old_record_types
// tell them from their older layouts. The writers below always write that
// mark, so a record saved and read back is never taken for an older one:
//   textsett_rec32           byte 2 (the language's is_32_version) is 1
//   TMutual_info_settings32  byte 0 is 6 or more
//   TChosenFile_BaseRec      the first 32-bit value is negative
//   TFileInfoExtraStatsRec   version is 2 or more
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/Export.h"
#include "runtime1/definitions/My_types_mini.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {

// ---------------------------------------------------------------------------
// Text settings
// ---------------------------------------------------------------------------

// One of the standard text-segment markers, 204 bytes:
//   0 marker (100 UTF-16 units, no room for a terminator)  200 spare
//   201 auto_process  202 has_wildcards  203 unused
struct text_segment_rec {
  static constexpr size_t kStoredSize = 204;

  std::array<char16_t, 100> marker{};
  uint8_t spare = 0;
  bool auto_process = false;
  bool has_wildcards = false;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static text_segment_rec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const text_segment_rec&, const text_segment_rec&) = default;
};

inline constexpr int kStandardMarkerCount = 8;
using TStandardMarkers = std::array<text_segment_rec, kStandardMarkerCount>;

// How a tool reads its texts, 3,028 bytes:
//      0 language_info (language record, 1,040)
//   1040 tag_treatment_computing   1041 must_use_Unicode
//   1042 RequirePrecomposedCharacters
//   1043 handle_International_System_of_Units_numbers   1044 spare_bool
//   1045 using_SGML  1046 clear_default_markup  1047 numbers_included
//   1048 ignore_tags (24 bytes)    1072 standard_markers (8 x 204)
//   2704 max_texts (int32)         2708 tag_treatment_displaying
//   2709..2711 unused              2712 spare (316 bytes)
struct textsett_rec32 {
  static constexpr size_t kStoredSize = 3028;

  fixed_lang_details_rec32 language_info;
  TTallierTagTreatment tag_treatment_computing{};
  bool must_use_Unicode = false;
  bool RequirePrecomposedCharacters = false;
  bool handle_International_System_of_Units_numbers = false;
  uint8_t spare_bool = 0;
  bool using_SGML = false;
  bool clear_default_markup = false;
  bool numbers_included = false;
  std::array<uint8_t, 24> ignore_tags{};
  TStandardMarkers standard_markers{};
  int32_t max_texts = 0;
  TTallierTagTreatment tag_treatment_displaying{};
  std::array<uint8_t, 316> spare{};

  // language_info.is_32_version is written as 1 whatever it holds (the
  // mark of the current layout).
  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static textsett_rec32 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const textsett_rec32&, const textsett_rec32&) = default;
};

// ---------------------------------------------------------------------------
// Concordance settings
// ---------------------------------------------------------------------------

// A search word as the concordance settings hold it: 81 UTF-16 units.
using TConcSearchWord = std::array<char16_t, 81>;

// The concordance tool's settings, 2,580 bytes:
//      0 concordance_word  162 exclusion_word  324 spare_tag_context_word
//    486 concordance_context_word (162 bytes each)
//    648 entries_wanted_per_sw  652 entries  656 original_entries
//    660 run_words_processed (int32)
//    664 tag_string_only_on_number  666 tag_string_only_off_number (int16)
//    668 context_exact_gap_required (int32)   672 spare_area (1,032 bytes)
//   1704 display_settings_a (26 bytes)  1730 show_percents_not_raw_numbers
//   1731 display_settings_b (32 bytes)  1763 saved_concrec_version_number
//   1764 display_settings_c (8 bytes)
//   1772 spare_characters_for_textonly_display (int32)
//   1776 display_settings_d (16 bytes)  1792 spare (788 bytes)
struct TConcSettingsRec32 {
  static constexpr size_t kStoredSize = 2580;

  TConcSearchWord concordance_word{};
  TConcSearchWord exclusion_word{};
  TConcSearchWord spare_tag_context_word{};
  TConcSearchWord concordance_context_word{};
  int32_t entries_wanted_per_sw = 0;
  int32_t entries = 0;
  int32_t original_entries = 0;
  int32_t run_words_processed = 0;
  int16_t tag_string_only_on_number = 0;
  int16_t tag_string_only_off_number = 0;
  int32_t context_exact_gap_required = 0;
  std::array<uint8_t, 1032> spare_area{};
  std::array<uint8_t, 26> display_settings_a{};
  bool show_percents_not_raw_numbers = false;
  std::array<uint8_t, 32> display_settings_b{};
  uint8_t saved_concrec_version_number = 0;
  std::array<uint8_t, 8> display_settings_c{};
  int32_t spare_characters_for_textonly_display = 0;
  std::array<uint8_t, 16> display_settings_d{};
  std::array<uint8_t, 788> spare{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TConcSettingsRec32 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TConcSettingsRec32&, const TConcSettingsRec32&) = default;
};

// ---------------------------------------------------------------------------
// Association (collocation) settings and entries
// ---------------------------------------------------------------------------

// 180 bytes:
//    0 spare_stop (the layout's mark: 6 or more)  1 stop_at
//    2 omit_left_right_matches  3 omit_numbers  4 show_pairs_twice
//    5 recompute_total_tokens   6 two_way       7 MIStopListOption
//    8 use_OR_for_minima        9 spare_a (7 bytes)
//   16 MI_span  20 spare_MI_min_freq (int32)  24 MI_max_percent (float)
//   28 minima (7 floats, by TMutualInfoStats)  56 spare_b (40 bytes)
//   96 MI_min_texts (int32)    100 spare (80 bytes)
struct TMutual_info_settings32 {
  static constexpr size_t kStoredSize = 180;
  // The least value of byte 0 in the current layout.
  static constexpr uint8_t kLayoutMark = 6;

  uint8_t spare_stop = kLayoutMark;
  Tcollocates_stop_at_type stop_at{};
  bool omit_left_right_matches = false;
  bool omit_numbers = false;
  bool show_pairs_twice = false;
  bool recompute_total_tokens = false;
  bool two_way = false;
  uint8_t MIStopListOption = 0;
  bool use_OR_for_minima = false;
  std::array<uint8_t, 7> spare_a{};
  int32_t MI_span = 0;
  int32_t spare_MI_min_freq = 0;
  float MI_max_percent = 0;
  std::array<float, kMutualInfoStatsCount> minima{};
  std::array<uint8_t, 40> spare_b{};
  int32_t MI_min_texts = 0;
  std::array<uint8_t, 80> spare{};

  // Byte 0 is written as kLayoutMark when spare_stop holds less.
  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TMutual_info_settings32 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TMutual_info_settings32&, const TMutual_info_settings32&) = default;
};

// One pair of an association list, 100 bytes:
//    0 n_files  4 f1  8 f2  12 joint  16 commonest_gap_size (int32)
//   20 scores (7 floats)  48 spare (36 bytes)  84 w1  88 w2 (uint32)
//   92 p1  96 p2: run-time references, stored as 4 zero bytes each and never
//   taken from a stream (they are null after FromBytes).
struct TMutualInfo_recFeb2016 {
  static constexpr size_t kStoredSize = 100;

  int32_t n_files = 0;
  int32_t f1 = 0;
  int32_t f2 = 0;
  int32_t joint = 0;
  int32_t commonest_gap_size = 0;
  std::array<float, kMutualInfoStatsCount> scores{};
  std::array<uint8_t, 36> spare{};
  uint32_t w1 = 0;
  uint32_t w2 = 0;
  void* p1 = nullptr;
  void* p2 = nullptr;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TMutualInfo_recFeb2016 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TMutualInfo_recFeb2016&, const TMutualInfo_recFeb2016&) = default;
};

// ---------------------------------------------------------------------------
// Chosen files and their statistics
// ---------------------------------------------------------------------------

// The kinds of a chosen file, one bit each; stored as one byte and kept whole.
using TKindOfFileSet = uint8_t;

// A text file chosen for a run. Stored as its first 64 bytes:
//    0 -(FolderData + 1) (int32, negative: the mark of this layout)
//    4 Zip_Num (int32)  8 Date (date-time)  16 Size (int64)  24 Words (int32)
//   28 encrypted  29..31 unused  32 Wanted  33 KindOfFile  34..35 unused
//   36 version (int32)  40 TextualDateAndTime (Julian date)  48 hits (int32)
//   52 spare (8 bytes)  60 jump_to: a run-time list, stored as 4 zero bytes
// ShortFileName is not part of the stored form.
struct TChosenFile_BaseRec {
  static constexpr size_t kStoredSize = 64;

  int32_t FolderData = 0;  // 0 or more; a negative value is written as 0
  int32_t Zip_Num = 0;
  double Date = 0;
  int64_t Size = 0;
  int32_t Words = 0;
  bool encrypted = false;
  TFileWantedType Wanted{};
  TKindOfFileSet KindOfFile = 0;
  int32_t version = 0;
  double TextualDateAndTime = 0;
  int32_t hits = 0;
  std::array<uint8_t, 8> spare{};
  void* jump_to = nullptr;
  std::u16string ShortFileName;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  // FolderData := -(v + 1) of a stored negative v (computed without
  // overflow); a non-negative v, which only an older layout holds, is taken
  // as it is. jump_to stays null and ShortFileName empty.
  QN_API static TChosenFile_BaseRec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TChosenFile_BaseRec&, const TChosenFile_BaseRec&) = default;
};

// More statistics of a file, 40 bytes:
//   0 total_bytes (int64)  8 zips_added  12 version (int32, 2 or more: the
//   mark of this layout)  16 spare (24 bytes)
struct TFileInfoExtraStatsRec {
  static constexpr size_t kStoredSize = 40;
  static constexpr int32_t kLayoutMark = 2;

  int64_t total_bytes = 0;
  int32_t zips_added = 0;
  int32_t version = kLayoutMark;
  std::array<uint8_t, 24> spare{};

  // version is written as kLayoutMark when it holds less.
  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TFileInfoExtraStatsRec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TFileInfoExtraStatsRec&, const TFileInfoExtraStatsRec&) = default;
};

// The statistics of one text: a 328-byte block the statistics tool fills and
// reads, 32 spare bytes, then the text's file name (not part of the stored
// 360 bytes).
struct TOne_text_stats_rec {
  static constexpr size_t kStoredSize = 360;
  static constexpr size_t kStatsBlockSize = 328;

  std::array<uint8_t, kStatsBlockSize> stats{};
  std::array<uint8_t, 32> spare{};
  std::u16string filename;

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TOne_text_stats_rec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TOne_text_stats_rec&, const TOne_text_stats_rec&) = default;
};

// ---------------------------------------------------------------------------
// Key-word settings
// ---------------------------------------------------------------------------

// The six limits of key-word links, in this order.
enum TLinksMaxMin : uint8_t { min_cluster_freq, min_linked_KW_types, max_links, min_strength, min_span, max_span };
inline constexpr int kLinksMaxMinCount = 6;

// A file name of the key-word settings: 261 UTF-16 units.
using TSalientorFileName = std::array<char16_t, 261>;

// The key-word tool's settings, 2,664 bytes:
//      0 settings_language (language record, 1,040)
//   1040 min_LL_P_value (float)  1044 min_freq (int16)  1046..1047 unused
//   1048 max_wanted (int32)      1052 source_text_running_words (2 x int32)
//   1060 links_max_min (6 x int32, by TLinksMaxMin)
//   1084 source_wordlists (446 bytes)  1530 plot_keyness_uses_BIC_score
//   1531 spare_a (41 bytes)      1572 spare_keyness_proc (7 bytes)
//   1579 exclude_negatives  1580 handle_amount  1581 plot_computed
//   1582 links_computed     1583 spare_b (5 bytes)
//   1588 multiple_source_texts  1589 full_lemma_processing
//   1590 wordlist_has_lemmas    1591 unused
//   1592 version_number (int32)  1596 percent_little_wds_found_in_rc (float)
//   1600 min_texts_percent  1604 log_ratio_threshold
//   1608 BIC_score_threshold (floats)  1612 spare_c (8 bytes)
//   1620 source_text_filename  2142 ref_corpus_wordlist_filename
struct QN_salientor_settings_type32 {
  static constexpr size_t kStoredSize = 2664;

  fixed_lang_details_rec32 settings_language;
  float min_LL_P_value = 0;
  int16_t min_freq = 0;
  int32_t max_wanted = 0;
  std::array<int32_t, 2> source_text_running_words{};
  std::array<int32_t, kLinksMaxMinCount> links_max_min{};
  std::array<uint8_t, 446> source_wordlists{};
  bool plot_keyness_uses_BIC_score = false;
  std::array<uint8_t, 41> spare_a{};
  std::array<uint8_t, 7> spare_keyness_proc{};
  bool exclude_negatives = false;
  bool handle_amount = false;
  bool plot_computed = false;
  bool links_computed = false;
  std::array<uint8_t, 5> spare_b{};
  bool multiple_source_texts = false;
  bool full_lemma_processing = false;
  bool wordlist_has_lemmas = false;
  int32_t version_number = 0;
  float percent_little_wds_found_in_rc = 0;
  float min_texts_percent = 0;
  float log_ratio_threshold = 0;
  float BIC_score_threshold = 0;
  std::array<uint8_t, 8> spare_c{};
  TSalientorFileName source_text_filename{};
  TSalientorFileName ref_corpus_wordlist_filename{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static QN_salientor_settings_type32 FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const QN_salientor_settings_type32&, const QN_salientor_settings_type32&) = default;
};

}  // namespace qn
