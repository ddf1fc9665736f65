#include "runtime1/definitions/Wdef_old.h"

#include <algorithm>

#include "runtime1/definitions/Stored_record_bytes.h"

namespace qn {

using platform::GetLE;
using platform::PutLE;

namespace {

template <size_t Capacity>
void PutShort(uint8_t* out, const TShortString<Capacity>& text) noexcept {
  out[0] = text.length;
  for (size_t i = 0; i < Capacity; ++i) out[1 + i] = static_cast<uint8_t>(text.chars[i]);
}

template <size_t Capacity>
void GetShort(const uint8_t* in, TShortString<Capacity>& text) noexcept {
  text.length = in[0];
  for (size_t i = 0; i < Capacity; ++i) text.chars[i] = static_cast<char>(in[1 + i]);
}

template <size_t Size>
std::span<uint8_t, Size> At(uint8_t* p) noexcept {
  return std::span<uint8_t, Size>(p, Size);
}

template <size_t Size>
std::span<const uint8_t, Size> At(const uint8_t* p) noexcept {
  return std::span<const uint8_t, Size>(p, Size);
}

}  // namespace

// ---------------------------------------------------------------------------
// Language records
// ---------------------------------------------------------------------------

void fixed_lang_details_rec_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutLE(&out[0], allow_middles_at_right);
  PutLE(&out[1], allow_middles_at_left);
  PutLE(&out[2], is_32_version);
  PutBytes(&out[4], spare_a);
  PutLE(&out[8], lcid);
  old_win_font.ToBytes(out.subspan<12, old_fixed_character_format_rec::kStoredSize>());
  out[47] = preference;
  PutLE(&out[48], custom_language);
  PutLE(&out[49], hyphen_breaks_word);
  PutLE(&out[50], win_codepage);
  PutLE(&out[52], dos_codepage);
  PutBytes(&out[54], spare_b);
  PutBytes(&out[75], old_allowable_middle_letters);
  PutWideUnits(&out[86], allowable_middle_letters);
  PutBytes(&out[108], spare_c);
  PutBytes(&out[342], ANSI_lowers);
  PutBytes(&out[471], ANSI_uppers);
  PutShort(&out[600], nome);
}

fixed_lang_details_rec_old fixed_lang_details_rec_old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  fixed_lang_details_rec_old rec;
  rec.allow_middles_at_right = GetLE<bool>(&in[0]);
  rec.allow_middles_at_left = GetLE<bool>(&in[1]);
  rec.is_32_version = GetLE<bool>(&in[2]);
  GetBytes(&in[4], rec.spare_a);
  rec.lcid = GetLE<uint32_t>(&in[8]);
  rec.old_win_font = old_fixed_character_format_rec::FromBytes(in.subspan<12, old_fixed_character_format_rec::kStoredSize>());
  rec.preference = static_cast<Tlang_preference_type>(in[47]);
  rec.custom_language = GetLE<bool>(&in[48]);
  rec.hyphen_breaks_word = GetLE<bool>(&in[49]);
  rec.win_codepage = GetLE<uint16_t>(&in[50]);
  rec.dos_codepage = GetLE<uint16_t>(&in[52]);
  GetBytes(&in[54], rec.spare_b);
  GetBytes(&in[75], rec.old_allowable_middle_letters);
  GetWideUnits(&in[86], rec.allowable_middle_letters);
  GetBytes(&in[108], rec.spare_c);
  GetBytes(&in[342], rec.ANSI_lowers);
  GetBytes(&in[471], rec.ANSI_uppers);
  GetShort(&in[600], rec.nome);
  return rec;
}

static_assert(12 + old_fixed_character_format_rec::kStoredSize == 47 && 54 + 21 == 75 && 75 + 11 == 86);
static_assert(86 + 2 * 11 == 108 && 108 + 234 == 342 && 342 + 129 == 471 && 471 + 129 == 600);
static_assert(600 + TShortString<31>::kStoredSize == fixed_lang_details_rec_old::kStoredSize);

void fixed_lang_details_rec32old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutLanguageRecordHead(out.data(), *this);
  PutBytes(&out[72], ANSI_lowers);
  PutBytes(&out[201], ANSI_uppers);
  PutBytes(&out[330], spare);
  PutWideUnits(&out[936], nome);
}

fixed_lang_details_rec32old fixed_lang_details_rec32old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  fixed_lang_details_rec32old rec;
  GetLanguageRecordHead(in.data(), rec);
  GetBytes(&in[72], rec.ANSI_lowers);
  GetBytes(&in[201], rec.ANSI_uppers);
  GetBytes(&in[330], rec.spare);
  GetWideUnits(&in[936], rec.nome);
  return rec;
}

static_assert(330 + 606 == 936 && 936 + 2 * 51 + 2 == fixed_lang_details_rec32old::kStoredSize);

// ---------------------------------------------------------------------------
// Text and concordance settings
// ---------------------------------------------------------------------------

void textsett_rec_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  language_info.ToBytes(out.subspan<0, fixed_lang_details_rec_old::kStoredSize>());
  out[632] = tag_treatment;
  PutLE(&out[633], must_use_Unicode);
  PutMarkupSettings(&out[634], *this);
  PutBytes(&out[2294], spare);
}

textsett_rec_old textsett_rec_old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  textsett_rec_old rec;
  rec.language_info = fixed_lang_details_rec_old::FromBytes(in.subspan<0, fixed_lang_details_rec_old::kStoredSize>());
  rec.tag_treatment = static_cast<TTallierTagTreatment>(in[632]);
  rec.must_use_Unicode = GetLE<bool>(&in[633]);
  GetMarkupSettings(&in[634], rec);
  GetBytes(&in[2294], rec.spare);
  return rec;
}

static_assert(638 + 24 == 662 && 662 + kStandardMarkerCount * text_segment_rec::kStoredSize == 2294);
static_assert(2294 + 206 == textsett_rec_old::kStoredSize);

void TConcSettingsRec_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutBytes(&out[0], head);
  language_info.ToBytes(out.subspan<664, fixed_lang_details_rec_old::kStoredSize>());
  PutBytes(&out[1296], display_settings);
}

TConcSettingsRec_old TConcSettingsRec_old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TConcSettingsRec_old rec;
  GetBytes(&in[0], rec.head);
  rec.language_info = fixed_lang_details_rec_old::FromBytes(in.subspan<664, fixed_lang_details_rec_old::kStoredSize>());
  GetBytes(&in[1296], rec.display_settings);
  return rec;
}

static_assert(664 + fixed_lang_details_rec_old::kStoredSize == 1296 && 1296 + 72 == TConcSettingsRec_old::kStoredSize);
static_assert(TConcSettingsRec_old::kVersionNumberAt - 1296 == 1763 - 1704);
static_assert(TConcSettingsRec_old::kShowPercentsAt - 1296 == 1730 - 1704);

// ---------------------------------------------------------------------------
// Association settings and entries
// ---------------------------------------------------------------------------

void TMutual_info_settings_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutAssociationSettingsHead(out.data(), *this);
  PutBytes(&out[7], spare_a);
  PutLE(&out[12], span);
  PutLE(&out[16], min_freq);
  PutLE(&out[20], min_mutual_info);
  PutLE(&out[24], max_percent);
  PutBytes(&out[28], spare_b);
}

TMutual_info_settings_old TMutual_info_settings_old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TMutual_info_settings_old rec;
  GetAssociationSettingsHead(in.data(), rec);
  GetBytes(&in[7], rec.spare_a);
  rec.span = GetLE<int32_t>(&in[12]);
  rec.min_freq = GetLE<int32_t>(&in[16]);
  rec.min_mutual_info = GetLE<float>(&in[20]);
  rec.max_percent = GetLE<float>(&in[24]);
  GetBytes(&in[28], rec.spare_b);
  return rec;
}

static_assert(28 + 4 == TMutual_info_settings_old::kStoredSize);

void TMutualInfo_recOld::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutAssociationPairCounts(out.data(), *this);
  PutFloats(&out[20], spare_scores);
  PutFloats(&out[32], scores);
  PutLE(&out[56], w1);
  PutLE(&out[60], w2);
  PutLE(&out[64], p1);
  PutLE(&out[68], p2);
}

TMutualInfo_recOld TMutualInfo_recOld::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TMutualInfo_recOld rec;
  GetAssociationPairCounts(in.data(), rec);
  GetFloats(&in[20], rec.spare_scores);
  GetFloats(&in[32], rec.scores);
  rec.w1 = GetLE<uint32_t>(&in[56]);
  rec.w2 = GetLE<uint32_t>(&in[60]);
  rec.p1 = GetLE<uint32_t>(&in[64]);
  rec.p2 = GetLE<uint32_t>(&in[68]);
  return rec;
}

static_assert(20 + 3 * 4 == 32 && 32 + 6 * 4 == 56 && 68 + 4 == TMutualInfo_recOld::kStoredSize);

// ---------------------------------------------------------------------------
// Chosen files and extra statistics
// ---------------------------------------------------------------------------

void TChosenFile_BaseRec_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutLE(&out[0], FolderData);
  PutLE(&out[4], Zip_Num);
  PutLE(&out[6], Date);
  PutLE(&out[14], Size);
  PutLE(&out[18], Words);
  PutLE(&out[22], encrypted);
  out[23] = Wanted;
  out[24] = KindOfFile;
  PutBytes(&out[25], rest);
}

TChosenFile_BaseRec_old TChosenFile_BaseRec_old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TChosenFile_BaseRec_old rec;
  rec.FolderData = GetLE<int32_t>(&in[0]);
  rec.Zip_Num = GetLE<int16_t>(&in[4]);
  rec.Date = GetLE<double>(&in[6]);
  rec.Size = GetLE<int32_t>(&in[14]);
  rec.Words = GetLE<int32_t>(&in[18]);
  rec.encrypted = GetLE<bool>(&in[22]);
  rec.Wanted = static_cast<TFileWantedType>(in[23]);
  rec.KindOfFile = in[24];
  GetBytes(&in[25], rec.rest);
  return rec;
}

static_assert(25 + 24 == TChosenFile_BaseRec_old::kStoredSize);

void TFileInfoExtraStatsRec_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutLE(&out[0], total_bytes);
  PutLE(&out[4], zips_added);
  PutLE(&out[8], version);
  PutLE(&out[12], old_mark);
}

TFileInfoExtraStatsRec_old TFileInfoExtraStatsRec_old::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TFileInfoExtraStatsRec_old rec;
  rec.total_bytes = GetLE<int32_t>(&in[0]);
  rec.zips_added = GetLE<int32_t>(&in[4]);
  rec.version = GetLE<int32_t>(&in[8]);
  rec.old_mark = GetLE<int32_t>(&in[12]);
  return rec;
}

// ---------------------------------------------------------------------------
// Key-word settings
// ---------------------------------------------------------------------------

namespace {

// The fields that versions 4 and 5 share, up to offset 651.
template <typename Rec>
void PutSalientorHead(uint8_t* out, const Rec& rec, float threshold) noexcept {
  rec.settings_language.ToBytes(At<fixed_lang_details_rec_old::kStoredSize>(out));
  PutKeyWordNumbers(&out[632], rec, threshold);
}

template <typename Rec>
float GetSalientorHead(const uint8_t* in, Rec& rec) noexcept {
  rec.settings_language = fixed_lang_details_rec_old::FromBytes(At<fixed_lang_details_rec_old::kStoredSize>(in));
  return GetKeyWordNumbers(&in[632], rec);
}

// The flags and numbers that versions 4 and 5 share from offset 1164; byte
// 1172 is each version's own.
template <typename Rec>
void PutSalientorTail(uint8_t* out, const Rec& rec, bool at1172) noexcept {
  PutBytes(&out[1164], rec.keyness_proc);
  PutLE(&out[1171], rec.exclude_negatives);
  PutLE(&out[1172], at1172);
  PutLE(&out[1173], rec.plot_computed);
  PutLE(&out[1174], rec.links_computed);
  PutLE(&out[1176], rec.max_kw_links);
  PutLE(&out[1180], rec.multiple_source_texts);
  PutLE(&out[1181], rec.full_lemma_processing);
  PutLE(&out[1184], rec.version_number);
}

template <typename Rec>
bool GetSalientorTail(const uint8_t* in, Rec& rec) noexcept {
  GetBytes(&in[1164], rec.keyness_proc);
  rec.exclude_negatives = GetLE<bool>(&in[1171]);
  rec.plot_computed = GetLE<bool>(&in[1173]);
  rec.links_computed = GetLE<bool>(&in[1174]);
  rec.max_kw_links = GetLE<int32_t>(&in[1176]);
  rec.multiple_source_texts = GetLE<bool>(&in[1180]);
  rec.full_lemma_processing = GetLE<bool>(&in[1181]);
  rec.version_number = GetLE<int32_t>(&in[1184]);
  return GetLE<bool>(&in[1172]);
}

}  // namespace

void QN4_salientor_settings_type::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutSalientorHead(out.data(), *this, min_x2);
  PutShort(&out[652], source_text_filename);
  PutShort(&out[908], ref_corpus_wordlist_filename);
  PutSalientorTail(out.data(), *this, both_ways);
  PutBytes(&out[1188], spare);
}

QN4_salientor_settings_type QN4_salientor_settings_type::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  QN4_salientor_settings_type rec;
  rec.min_x2 = GetSalientorHead(in.data(), rec);
  GetShort(&in[652], rec.source_text_filename);
  GetShort(&in[908], rec.ref_corpus_wordlist_filename);
  rec.both_ways = GetSalientorTail(in.data(), rec);
  GetBytes(&in[1188], rec.spare);
  return rec;
}

static_assert(652 + TShortString<255>::kStoredSize == 908 && 908 + TShortString<255>::kStoredSize == 1164);
static_assert(1188 + 24 == QN4_salientor_settings_type::kStoredSize);

void QN_salientor_settings_type_old::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutSalientorHead(out.data(), *this, min_LL_P_value);
  PutBytes(&out[652], spare_a);
  PutSalientorTail(out.data(), *this, handle_amount);
  PutLE(&out[1188], percent_little_wds_found_in_rc);
  PutBytes(&out[1192], spare_b);
  PutWideUnits(&out[1212], source_text_filename);
  PutWideUnits(&out[1734], ref_corpus_wordlist_filename);
}

QN_salientor_settings_type_old QN_salientor_settings_type_old::FromBytes(
    std::span<const uint8_t, kStoredSize> in) noexcept {
  QN_salientor_settings_type_old rec;
  rec.min_LL_P_value = GetSalientorHead(in.data(), rec);
  GetBytes(&in[652], rec.spare_a);
  rec.handle_amount = GetSalientorTail(in.data(), rec);
  rec.percent_little_wds_found_in_rc = GetLE<float>(&in[1188]);
  GetBytes(&in[1192], rec.spare_b);
  GetWideUnits(&in[1212], rec.source_text_filename);
  GetWideUnits(&in[1734], rec.ref_corpus_wordlist_filename);
  return rec;
}

static_assert(652 + 512 == 1164 && 1192 + 20 == 1212);
static_assert(1212 + 2 * 261 == 1734 && 1734 + 2 * 261 == QN_salientor_settings_type_old::kStoredSize);

// ---------------------------------------------------------------------------
// Grid columns
// ---------------------------------------------------------------------------

void grid_head_type_old::ToBytes(std::span<uint8_t, kLongStoredSize> out) const noexcept {
  out[0] = alignment;
  out[1] = typefaces.Bits();
  out[2] = editable;
  PutLE(&out[3], minimum);
  out[7] = decimals;
  PutLE(&out[8], TextColour);
  PutLE(&out[12], background);
  PutLE(&out[16], allow_case_change);
  PutLE(&out[17], extra_computed);
  PutLE(&out[18], numerical);
  PutLE(&out[19], visible);
  PutLE(&out[20], original_column);
  PutLE(&out[22], pixel_width96);
  out[24] = output_case;
  out[25] = spare;
  PutLE(&out[26], may_have_old_data_unsafe);
  out[27] = previous_decimals;
  PutLE(&out[28], wordwrap);
  PutLE(&out[29], has_custom_heading);
  PutLE(&out[30], percent_data);
  out[31] = version;
  PutLE(&out[32], HelpContext);
  PutLE(&out[36], localization_number);
  PutBytes(&out[40], column_data.bytes);
}

grid_head_type_old grid_head_type_old::FromBytes(std::span<const uint8_t, kLongStoredSize> in) noexcept {
  grid_head_type_old rec;
  rec.alignment = static_cast<TQNAlignment>(in[0]);
  rec.typefaces = TTypefaceSet::FromBits(in[1]);
  rec.editable = static_cast<editable_type>(in[2]);
  rec.minimum = GetLE<float>(&in[3]);
  rec.decimals = in[7];
  rec.TextColour = GetLE<int32_t>(&in[8]);
  rec.background = GetLE<int32_t>(&in[12]);
  rec.allow_case_change = GetLE<bool>(&in[16]);
  rec.extra_computed = GetLE<bool>(&in[17]);
  rec.numerical = GetLE<bool>(&in[18]);
  rec.visible = GetLE<bool>(&in[19]);
  rec.original_column = GetLE<int16_t>(&in[20]);
  rec.pixel_width96 = GetLE<int16_t>(&in[22]);
  rec.output_case = static_cast<TOutput_results_case>(in[24]);
  rec.spare = in[25];
  rec.may_have_old_data_unsafe = GetLE<bool>(&in[26]);
  rec.previous_decimals = in[27];
  rec.wordwrap = GetLE<bool>(&in[28]);
  rec.has_custom_heading = GetLE<bool>(&in[29]);
  rec.percent_data = GetLE<bool>(&in[30]);
  rec.version = in[31];
  rec.HelpContext = GetLE<int32_t>(&in[32]);
  rec.localization_number = GetLE<int32_t>(&in[36]);
  GetBytes(&in[40], rec.column_data.bytes);
  return rec;
}

static_assert(40 + TGridColumnDataRec32::kSize == grid_head_type_old::kLongStoredSize);

}  // namespace qn
