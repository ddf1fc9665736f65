// Small pieces that the stored records of the definitions are written and read
// with: fixed arrays of UTF-16 units and of bytes at an offset of a record's
// image, and reading a record's bytes from a stream when the stream may hold
// fewer of them than the record needs.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Export.h"
#include "platform/Streams.h"

namespace qn {

template <size_t N>
void PutWideUnits(uint8_t* out, const std::array<char16_t, N>& units) noexcept {
  for (size_t i = 0; i < N; ++i) platform::PutLE(out + 2 * i, static_cast<uint16_t>(units[i]));
}

template <size_t N>
void GetWideUnits(const uint8_t* in, std::array<char16_t, N>& units) noexcept {
  for (size_t i = 0; i < N; ++i) units[i] = static_cast<char16_t>(platform::GetLE<uint16_t>(in + 2 * i));
}

template <size_t N>
void PutBytes(uint8_t* out, const std::array<uint8_t, N>& bytes) noexcept {
  std::copy(bytes.begin(), bytes.end(), out);
}

template <size_t N>
void GetBytes(const uint8_t* in, std::array<uint8_t, N>& bytes) noexcept {
  std::copy(in, in + N, bytes.begin());
}

template <size_t N>
void PutFloats(uint8_t* out, const std::array<float, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) platform::PutLE(out + 4 * i, values[i]);
}

template <size_t N>
void GetFloats(const uint8_t* in, std::array<float, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) values[i] = platform::GetLE<float>(in + 4 * i);
}

template <size_t N>
void PutInts(uint8_t* out, const std::array<int32_t, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) platform::PutLE(out + 4 * i, values[i]);
}

template <size_t N>
void GetInts(const uint8_t* in, std::array<int32_t, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) values[i] = platform::GetLE<int32_t>(in + 4 * i);
}

// --- Runs of fields that an older layout and the current one share ---------------
// Each pair writes and reads the same fields at the same offsets from `at`, the
// start of the run in a record's image, for every record that has those fields;
// the record's own ToBytes/FromBytes place the run and do the rest.

// The first seven bytes of the association settings:
//   0 spare_stop  1 stop_at  2 omit_left_right_matches  3 omit_numbers
//   4 show_pairs_twice  5 recompute_total_tokens  6 two_way
template <typename Rec>
void PutAssociationSettingsHead(uint8_t* at, const Rec& rec) noexcept {
  at[0] = rec.spare_stop;
  at[1] = rec.stop_at;
  platform::PutLE(&at[2], rec.omit_left_right_matches);
  platform::PutLE(&at[3], rec.omit_numbers);
  platform::PutLE(&at[4], rec.show_pairs_twice);
  platform::PutLE(&at[5], rec.recompute_total_tokens);
  platform::PutLE(&at[6], rec.two_way);
}

template <typename Rec>
void GetAssociationSettingsHead(const uint8_t* at, Rec& rec) noexcept {
  rec.spare_stop = at[0];
  rec.stop_at = static_cast<decltype(rec.stop_at)>(at[1]);
  rec.omit_left_right_matches = platform::GetLE<bool>(&at[2]);
  rec.omit_numbers = platform::GetLE<bool>(&at[3]);
  rec.show_pairs_twice = platform::GetLE<bool>(&at[4]);
  rec.recompute_total_tokens = platform::GetLE<bool>(&at[5]);
  rec.two_way = platform::GetLE<bool>(&at[6]);
}

// The counts that begin an association pair (int32 each):
//   0 n_files  4 f1  8 f2  12 joint  16 commonest_gap_size
template <typename Rec>
void PutAssociationPairCounts(uint8_t* at, const Rec& rec) noexcept {
  platform::PutLE(&at[0], rec.n_files);
  platform::PutLE(&at[4], rec.f1);
  platform::PutLE(&at[8], rec.f2);
  platform::PutLE(&at[12], rec.joint);
  platform::PutLE(&at[16], rec.commonest_gap_size);
}

template <typename Rec>
void GetAssociationPairCounts(const uint8_t* at, Rec& rec) noexcept {
  rec.n_files = platform::GetLE<int32_t>(&at[0]);
  rec.f1 = platform::GetLE<int32_t>(&at[4]);
  rec.f2 = platform::GetLE<int32_t>(&at[8]);
  rec.joint = platform::GetLE<int32_t>(&at[12]);
  rec.commonest_gap_size = platform::GetLE<int32_t>(&at[16]);
}

// The language record of the 32-bit layouts up to its 8-bit letter sets:
//    0 allow_middles_at_right  1 allow_middles_at_left  2 is_32_version
//    3 unused  4 lcid  8 old_win_font (35)  43 preference
//   44 custom_language  45 hyphen_breaks_word  46 win_codepage
//   48 dos_codepage (uint16)  50 allowable_middle_letters (11 UTF-16 units)
template <typename Rec>
void PutLanguageRecordHead(uint8_t* at, const Rec& rec) noexcept {
  using Font = decltype(rec.old_win_font);
  platform::PutLE(&at[0], rec.allow_middles_at_right);
  platform::PutLE(&at[1], rec.allow_middles_at_left);
  platform::PutLE(&at[2], rec.is_32_version);
  platform::PutLE(&at[4], rec.lcid);
  rec.old_win_font.ToBytes(std::span<uint8_t, Font::kStoredSize>(&at[8], Font::kStoredSize));
  at[43] = rec.preference;
  platform::PutLE(&at[44], rec.custom_language);
  platform::PutLE(&at[45], rec.hyphen_breaks_word);
  platform::PutLE(&at[46], rec.win_codepage);
  platform::PutLE(&at[48], rec.dos_codepage);
  PutWideUnits(&at[50], rec.allowable_middle_letters);
}

template <typename Rec>
void GetLanguageRecordHead(const uint8_t* at, Rec& rec) noexcept {
  using Font = decltype(rec.old_win_font);
  rec.allow_middles_at_right = platform::GetLE<bool>(&at[0]);
  rec.allow_middles_at_left = platform::GetLE<bool>(&at[1]);
  rec.is_32_version = platform::GetLE<bool>(&at[2]);
  rec.lcid = platform::GetLE<uint32_t>(&at[4]);
  rec.old_win_font = Font::FromBytes(std::span<const uint8_t, Font::kStoredSize>(&at[8], Font::kStoredSize));
  rec.preference = static_cast<decltype(rec.preference)>(at[43]);
  rec.custom_language = platform::GetLE<bool>(&at[44]);
  rec.hyphen_breaks_word = platform::GetLE<bool>(&at[45]);
  rec.win_codepage = platform::GetLE<uint16_t>(&at[46]);
  rec.dos_codepage = platform::GetLE<uint16_t>(&at[48]);
  GetWideUnits(&at[50], rec.allowable_middle_letters);
}

// The markup settings of the text settings, after their tag treatments:
//   0 spare_bool  1 using_SGML  2 clear_default_markup  3 numbers_included
//   4 ignore_tags (24 bytes)  28 standard_markers (204 bytes each)
template <typename Rec>
void PutMarkupSettings(uint8_t* at, const Rec& rec) noexcept {
  using Marker = typename decltype(rec.standard_markers)::value_type;
  at[0] = rec.spare_bool;
  platform::PutLE(&at[1], rec.using_SGML);
  platform::PutLE(&at[2], rec.clear_default_markup);
  platform::PutLE(&at[3], rec.numbers_included);
  PutBytes(&at[4], rec.ignore_tags);
  for (size_t i = 0; i < rec.standard_markers.size(); ++i) {
    uint8_t* marker = &at[28 + i * Marker::kStoredSize];
    rec.standard_markers[i].ToBytes(std::span<uint8_t, Marker::kStoredSize>(marker, Marker::kStoredSize));
  }
}

template <typename Rec>
void GetMarkupSettings(const uint8_t* at, Rec& rec) noexcept {
  using Marker = typename decltype(rec.standard_markers)::value_type;
  rec.spare_bool = at[0];
  rec.using_SGML = platform::GetLE<bool>(&at[1]);
  rec.clear_default_markup = platform::GetLE<bool>(&at[2]);
  rec.numbers_included = platform::GetLE<bool>(&at[3]);
  GetBytes(&at[4], rec.ignore_tags);
  for (size_t i = 0; i < rec.standard_markers.size(); ++i) {
    const uint8_t* marker = &at[28 + i * Marker::kStoredSize];
    rec.standard_markers[i] =
        Marker::FromBytes(std::span<const uint8_t, Marker::kStoredSize>(marker, Marker::kStoredSize));
  }
}

// The numbers of the key-word settings after their language record; the
// threshold's field is named by each version:
//   0 threshold (float)  4 min_freq (int16)  6 unused  8 max_wanted (int32)
//  12 source_text_running_words (int32 each)
template <typename Rec>
void PutKeyWordNumbers(uint8_t* at, const Rec& rec, float threshold) noexcept {
  platform::PutLE(&at[0], threshold);
  platform::PutLE(&at[4], rec.min_freq);
  platform::PutLE(&at[8], rec.max_wanted);
  PutInts(&at[12], rec.source_text_running_words);
}

template <typename Rec>
float GetKeyWordNumbers(const uint8_t* at, Rec& rec) noexcept {
  rec.min_freq = platform::GetLE<int16_t>(&at[4]);
  rec.max_wanted = platform::GetLE<int32_t>(&at[8]);
  GetInts(&at[12], rec.source_text_running_words);
  return platform::GetLE<float>(&at[0]);
}

// Reads up to out.size() bytes into out, going on while the stream delivers
// (a stream may hand over fewer bytes per call than asked before its end).
// Bytes that could not be read are left as they were. Returns the number
// read. Errors of the stream other than reaching its end reach the caller.
QN_API size_t ReadRecordBytes(platform::TStream& stream, std::span<uint8_t> out);

}  // namespace qn
