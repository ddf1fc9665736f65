// Records shared by the buffer matcher, the search-and-do engine and the tools
// that call them: the running counts of a chunk, the marker counts of a text
// and the hit record handed to a tool for every hit.
//
// TSearchStatsRec and TSearchFound_Rec cross to the tools as they stand, so
// their layouts are packed and pinned below. Addresses are native pointers
// (8 bytes here), so a hit record is 132 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn {

// The five kinds of unit the matcher counts.
enum text_stats_type : uint8_t {
  word_stats = 0,
  sentence_stats = 1,
  paragraph_stats = 2,
  heading_stats = 3,
  section_stats = 4,
};
inline constexpr int kTextStatsKinds = 5;

// Counts in one chunk. number: word starts for word_stats, unit ends for the
// others; position: word starts inside the current unit; out_of: a copy of
// position taken when the matcher returns (not kept for word_stats).
#pragma pack(push, 1)
struct TSearchStatsRec {
  int32_t number[kTextStatsKinds];
  int32_t position[kTextStatsKinds];
  int32_t out_of[kTextStatsKinds];
};
#pragma pack(pop)
static_assert(sizeof(TSearchStatsRec) == 60);
static_assert(offsetof(TSearchStatsRec, position) == 20);
static_assert(offsetof(TSearchStatsRec, out_of) == 40);

// The text-segment marker codes, as the low 11 bits of a marker detail word:
// 14/15 sentence, 16/17 paragraph, 18 heading start, 19 heading end, 20/21
// section.
enum text_segments_type : uint8_t {
  ts_sentence_end = 14,
  ts_sentence_end2 = 15,
  ts_paragraph_end = 16,
  ts_paragraph_end2 = 17,
  ts_heading_start = 18,
  ts_heading_end = 19,
  ts_section_end = 20,
  ts_section_end2 = 21,
};
inline constexpr int kFirstTextSegment = ts_sentence_end;
inline constexpr int kTextSegmentCount = 8;

// How many markers of each code a text holds, indexed by code - 14 through At.
struct TTagsFoundArray {
  int32_t counts[kTextSegmentCount];

  int32_t& At(text_segments_type code) noexcept { return counts[code - kFirstTextSegment]; }
  int32_t At(text_segments_type code) const noexcept { return counts[code - kFirstTextSegment]; }
};
static_assert(sizeof(TTagsFoundArray) == 32);

// One hit, as the found-event receives it.
#pragma pack(push, 1)
struct TSearchFound_Rec {
  const void* start_of_text;       // start of the buffer
  const void* start_of_memory;     // start of the buffer
  const void* where_hit_started;   // first character of the hit
  float percent_of_file;           // (byte offset of the hit + FileBytePos) x 100 / file size
  int32_t hit_pos_in_wchar_kinds;  // character index of the hit in the buffer
  uint32_t FileBytePos;            // byte position of the buffer's start in the file
  int32_t exact_hit_len;           // characters matched by the search word
  int32_t hit_characters;          // the same plus the extension to the word's end
  int32_t search_number;           // the engine's current_search_number
  int32_t hit_pos_in_characters;   // same as hit_pos_in_wchar_kinds
  uint8_t spare[20];               // zero
  TSearchStatsRec count_stats;     // the chunk counts at the moment of the hit
};
#pragma pack(pop)
static_assert(offsetof(TSearchFound_Rec, start_of_memory) == sizeof(void*));
static_assert(offsetof(TSearchFound_Rec, where_hit_started) == 2 * sizeof(void*));
static_assert(offsetof(TSearchFound_Rec, percent_of_file) == 3 * sizeof(void*));
static_assert(offsetof(TSearchFound_Rec, hit_pos_in_wchar_kinds) == 3 * sizeof(void*) + 4);
static_assert(offsetof(TSearchFound_Rec, FileBytePos) == 3 * sizeof(void*) + 8);
static_assert(offsetof(TSearchFound_Rec, exact_hit_len) == 3 * sizeof(void*) + 12);
static_assert(offsetof(TSearchFound_Rec, hit_characters) == 3 * sizeof(void*) + 16);
static_assert(offsetof(TSearchFound_Rec, search_number) == 3 * sizeof(void*) + 20);
static_assert(offsetof(TSearchFound_Rec, hit_pos_in_characters) == 3 * sizeof(void*) + 24);
static_assert(offsetof(TSearchFound_Rec, spare) == 3 * sizeof(void*) + 28);
static_assert(offsetof(TSearchFound_Rec, count_stats) == 3 * sizeof(void*) + 48);
static_assert(sizeof(TSearchFound_Rec) == 3 * sizeof(void*) + 108);

}  // namespace qn
