#include "runtime1/definitions/Wdef_records.h"

#include <algorithm>
#include <limits>

#include "runtime1/definitions/Stored_record_bytes.h"

namespace qn {

using platform::GetLE;
using platform::PutLE;

// ---------------------------------------------------------------------------
// Text settings
// ---------------------------------------------------------------------------

void text_segment_rec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutWideUnits(&out[0], marker);
  out[200] = spare;
  PutLE(&out[201], auto_process);
  PutLE(&out[202], has_wildcards);
  out[203] = 0;
}

text_segment_rec text_segment_rec::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  text_segment_rec rec;
  GetWideUnits(&in[0], rec.marker);
  rec.spare = in[200];
  rec.auto_process = GetLE<bool>(&in[201]);
  rec.has_wildcards = GetLE<bool>(&in[202]);
  return rec;
}

static_assert(2 * 100 == 200 && 203 + 1 == text_segment_rec::kStoredSize);

void textsett_rec32::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  language_info.ToBytes(out.subspan<0, fixed_lang_details_rec32::kStoredSize>());
  out[1040] = tag_treatment_computing;
  PutLE(&out[1041], must_use_Unicode);
  PutLE(&out[1042], RequirePrecomposedCharacters);
  PutLE(&out[1043], handle_International_System_of_Units_numbers);
  PutMarkupSettings(&out[1044], *this);
  PutLE(&out[2704], max_texts);
  out[2708] = tag_treatment_displaying;
  PutBytes(&out[2712], spare);
}

textsett_rec32 textsett_rec32::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  textsett_rec32 rec;
  rec.language_info = fixed_lang_details_rec32::FromBytes(in.subspan<0, fixed_lang_details_rec32::kStoredSize>());
  rec.tag_treatment_computing = static_cast<TTallierTagTreatment>(in[1040]);
  rec.must_use_Unicode = GetLE<bool>(&in[1041]);
  rec.RequirePrecomposedCharacters = GetLE<bool>(&in[1042]);
  rec.handle_International_System_of_Units_numbers = GetLE<bool>(&in[1043]);
  GetMarkupSettings(&in[1044], rec);
  rec.max_texts = GetLE<int32_t>(&in[2704]);
  rec.tag_treatment_displaying = static_cast<TTallierTagTreatment>(in[2708]);
  GetBytes(&in[2712], rec.spare);
  return rec;
}

static_assert(fixed_lang_details_rec32::kStoredSize == 1040);
static_assert(1048 + 24 == 1072 && 1072 + kStandardMarkerCount * text_segment_rec::kStoredSize == 2704);
static_assert(2712 + 316 == textsett_rec32::kStoredSize);

// ---------------------------------------------------------------------------
// Concordance settings
// ---------------------------------------------------------------------------

void TConcSettingsRec32::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  PutWideUnits(&out[0], concordance_word);
  PutWideUnits(&out[162], exclusion_word);
  PutWideUnits(&out[324], spare_tag_context_word);
  PutWideUnits(&out[486], concordance_context_word);
  PutLE(&out[648], entries_wanted_per_sw);
  PutLE(&out[652], entries);
  PutLE(&out[656], original_entries);
  PutLE(&out[660], run_words_processed);
  PutLE(&out[664], tag_string_only_on_number);
  PutLE(&out[666], tag_string_only_off_number);
  PutLE(&out[668], context_exact_gap_required);
  PutBytes(&out[672], spare_area);
  PutBytes(&out[1704], display_settings_a);
  PutLE(&out[1730], show_percents_not_raw_numbers);
  PutBytes(&out[1731], display_settings_b);
  out[1763] = saved_concrec_version_number;
  PutBytes(&out[1764], display_settings_c);
  PutLE(&out[1772], spare_characters_for_textonly_display);
  PutBytes(&out[1776], display_settings_d);
  PutBytes(&out[1792], spare);
}

TConcSettingsRec32 TConcSettingsRec32::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TConcSettingsRec32 rec;
  GetWideUnits(&in[0], rec.concordance_word);
  GetWideUnits(&in[162], rec.exclusion_word);
  GetWideUnits(&in[324], rec.spare_tag_context_word);
  GetWideUnits(&in[486], rec.concordance_context_word);
  rec.entries_wanted_per_sw = GetLE<int32_t>(&in[648]);
  rec.entries = GetLE<int32_t>(&in[652]);
  rec.original_entries = GetLE<int32_t>(&in[656]);
  rec.run_words_processed = GetLE<int32_t>(&in[660]);
  rec.tag_string_only_on_number = GetLE<int16_t>(&in[664]);
  rec.tag_string_only_off_number = GetLE<int16_t>(&in[666]);
  rec.context_exact_gap_required = GetLE<int32_t>(&in[668]);
  GetBytes(&in[672], rec.spare_area);
  GetBytes(&in[1704], rec.display_settings_a);
  rec.show_percents_not_raw_numbers = GetLE<bool>(&in[1730]);
  GetBytes(&in[1731], rec.display_settings_b);
  rec.saved_concrec_version_number = in[1763];
  GetBytes(&in[1764], rec.display_settings_c);
  rec.spare_characters_for_textonly_display = GetLE<int32_t>(&in[1772]);
  GetBytes(&in[1776], rec.display_settings_d);
  GetBytes(&in[1792], rec.spare);
  return rec;
}

static_assert(2 * 81 == 162 && 4 * 162 == 648);
static_assert(672 + 1032 == 1704 && 1704 + 26 == 1730 && 1731 + 32 == 1763 && 1764 + 8 == 1772);
static_assert(1776 + 16 == 1792 && 1792 + 788 == TConcSettingsRec32::kStoredSize);

// ---------------------------------------------------------------------------
// Association settings and entries
// ---------------------------------------------------------------------------

void TMutual_info_settings32::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutAssociationSettingsHead(out.data(), *this);
  out[0] = std::max(spare_stop, kLayoutMark);  // the mark of this layout
  out[7] = MIStopListOption;
  PutLE(&out[8], use_OR_for_minima);
  PutBytes(&out[9], spare_a);
  PutLE(&out[16], MI_span);
  PutLE(&out[20], spare_MI_min_freq);
  PutLE(&out[24], MI_max_percent);
  PutFloats(&out[28], minima);
  PutBytes(&out[56], spare_b);
  PutLE(&out[96], MI_min_texts);
  PutBytes(&out[100], spare);
}

TMutual_info_settings32 TMutual_info_settings32::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TMutual_info_settings32 rec;
  GetAssociationSettingsHead(in.data(), rec);
  rec.MIStopListOption = in[7];
  rec.use_OR_for_minima = GetLE<bool>(&in[8]);
  GetBytes(&in[9], rec.spare_a);
  rec.MI_span = GetLE<int32_t>(&in[16]);
  rec.spare_MI_min_freq = GetLE<int32_t>(&in[20]);
  rec.MI_max_percent = GetLE<float>(&in[24]);
  GetFloats(&in[28], rec.minima);
  GetBytes(&in[56], rec.spare_b);
  rec.MI_min_texts = GetLE<int32_t>(&in[96]);
  GetBytes(&in[100], rec.spare);
  return rec;
}

static_assert(9 + 7 == 16 && 28 + 4 * kMutualInfoStatsCount == 56 && 56 + 40 == 96);
static_assert(100 + 80 == TMutual_info_settings32::kStoredSize);

void TMutualInfo_recFeb2016::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutAssociationPairCounts(out.data(), *this);
  PutFloats(&out[20], scores);
  PutBytes(&out[48], spare);
  PutLE(&out[84], w1);
  PutLE(&out[88], w2);
  std::fill(&out[92], &out[92] + 8, uint8_t{0});  // p1, p2: never stored
}

TMutualInfo_recFeb2016 TMutualInfo_recFeb2016::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TMutualInfo_recFeb2016 rec;
  GetAssociationPairCounts(in.data(), rec);
  GetFloats(&in[20], rec.scores);
  GetBytes(&in[48], rec.spare);
  rec.w1 = GetLE<uint32_t>(&in[84]);
  rec.w2 = GetLE<uint32_t>(&in[88]);
  return rec;
}

static_assert(20 + 4 * kMutualInfoStatsCount == 48 && 48 + 36 == 84 && 96 + 4 == TMutualInfo_recFeb2016::kStoredSize);

// ---------------------------------------------------------------------------
// Chosen files
// ---------------------------------------------------------------------------

void TChosenFile_BaseRec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  // -(FolderData + 1) is negative for every FolderData from 0 to the largest
  // int32 (that one gives the smallest int32).
  const int64_t folder = std::max<int32_t>(FolderData, 0);
  PutLE(&out[0], static_cast<int32_t>(-(folder + 1)));
  PutLE(&out[4], Zip_Num);
  PutLE(&out[8], Date);
  PutLE(&out[16], Size);
  PutLE(&out[24], Words);
  PutLE(&out[28], encrypted);
  out[32] = Wanted;
  out[33] = KindOfFile;
  PutLE(&out[36], version);
  PutLE(&out[40], TextualDateAndTime);
  PutLE(&out[48], hits);
  PutBytes(&out[52], spare);
  // 60..63 jump_to: a run-time reference, never stored.
}

TChosenFile_BaseRec TChosenFile_BaseRec::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TChosenFile_BaseRec rec;
  const int32_t stored = GetLE<int32_t>(&in[0]);
  rec.FolderData = stored < 0 ? -(stored + 1) : stored;
  rec.Zip_Num = GetLE<int32_t>(&in[4]);
  rec.Date = GetLE<double>(&in[8]);
  rec.Size = GetLE<int64_t>(&in[16]);
  rec.Words = GetLE<int32_t>(&in[24]);
  rec.encrypted = GetLE<bool>(&in[28]);
  rec.Wanted = static_cast<TFileWantedType>(in[32]);
  rec.KindOfFile = in[33];
  rec.version = GetLE<int32_t>(&in[36]);
  rec.TextualDateAndTime = GetLE<double>(&in[40]);
  rec.hits = GetLE<int32_t>(&in[48]);
  GetBytes(&in[52], rec.spare);
  return rec;
}

static_assert(52 + 8 == 60 && 60 + 4 == TChosenFile_BaseRec::kStoredSize);

void TFileInfoExtraStatsRec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutLE(&out[0], total_bytes);
  PutLE(&out[8], zips_added);
  PutLE(&out[12], std::max(version, kLayoutMark));
  PutBytes(&out[16], spare);
}

TFileInfoExtraStatsRec TFileInfoExtraStatsRec::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TFileInfoExtraStatsRec rec;
  rec.total_bytes = GetLE<int64_t>(&in[0]);
  rec.zips_added = GetLE<int32_t>(&in[8]);
  rec.version = GetLE<int32_t>(&in[12]);
  GetBytes(&in[16], rec.spare);
  return rec;
}

static_assert(16 + 24 == TFileInfoExtraStatsRec::kStoredSize);

void TOne_text_stats_rec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutBytes(&out[0], stats);
  PutBytes(&out[kStatsBlockSize], spare);
}

TOne_text_stats_rec TOne_text_stats_rec::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TOne_text_stats_rec rec;
  GetBytes(&in[0], rec.stats);
  GetBytes(&in[kStatsBlockSize], rec.spare);
  return rec;
}

static_assert(TOne_text_stats_rec::kStatsBlockSize + 32 == TOne_text_stats_rec::kStoredSize);

// ---------------------------------------------------------------------------
// Key-word settings
// ---------------------------------------------------------------------------

void QN_salientor_settings_type32::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  std::fill(out.begin(), out.end(), uint8_t{0});
  settings_language.ToBytes(out.subspan<0, fixed_lang_details_rec32::kStoredSize>());
  PutKeyWordNumbers(&out[1040], *this, min_LL_P_value);
  PutInts(&out[1060], links_max_min);
  PutBytes(&out[1084], source_wordlists);
  PutLE(&out[1530], plot_keyness_uses_BIC_score);
  PutBytes(&out[1531], spare_a);
  PutBytes(&out[1572], spare_keyness_proc);
  PutLE(&out[1579], exclude_negatives);
  PutLE(&out[1580], handle_amount);
  PutLE(&out[1581], plot_computed);
  PutLE(&out[1582], links_computed);
  PutBytes(&out[1583], spare_b);
  PutLE(&out[1588], multiple_source_texts);
  PutLE(&out[1589], full_lemma_processing);
  PutLE(&out[1590], wordlist_has_lemmas);
  PutLE(&out[1592], version_number);
  PutLE(&out[1596], percent_little_wds_found_in_rc);
  PutLE(&out[1600], min_texts_percent);
  PutLE(&out[1604], log_ratio_threshold);
  PutLE(&out[1608], BIC_score_threshold);
  PutBytes(&out[1612], spare_c);
  PutWideUnits(&out[1620], source_text_filename);
  PutWideUnits(&out[2142], ref_corpus_wordlist_filename);
}

QN_salientor_settings_type32 QN_salientor_settings_type32::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  QN_salientor_settings_type32 rec;
  rec.settings_language = fixed_lang_details_rec32::FromBytes(in.subspan<0, fixed_lang_details_rec32::kStoredSize>());
  rec.min_LL_P_value = GetKeyWordNumbers(&in[1040], rec);
  GetInts(&in[1060], rec.links_max_min);
  GetBytes(&in[1084], rec.source_wordlists);
  rec.plot_keyness_uses_BIC_score = GetLE<bool>(&in[1530]);
  GetBytes(&in[1531], rec.spare_a);
  GetBytes(&in[1572], rec.spare_keyness_proc);
  rec.exclude_negatives = GetLE<bool>(&in[1579]);
  rec.handle_amount = GetLE<bool>(&in[1580]);
  rec.plot_computed = GetLE<bool>(&in[1581]);
  rec.links_computed = GetLE<bool>(&in[1582]);
  GetBytes(&in[1583], rec.spare_b);
  rec.multiple_source_texts = GetLE<bool>(&in[1588]);
  rec.full_lemma_processing = GetLE<bool>(&in[1589]);
  rec.wordlist_has_lemmas = GetLE<bool>(&in[1590]);
  rec.version_number = GetLE<int32_t>(&in[1592]);
  rec.percent_little_wds_found_in_rc = GetLE<float>(&in[1596]);
  rec.min_texts_percent = GetLE<float>(&in[1600]);
  rec.log_ratio_threshold = GetLE<float>(&in[1604]);
  rec.BIC_score_threshold = GetLE<float>(&in[1608]);
  GetBytes(&in[1612], rec.spare_c);
  GetWideUnits(&in[1620], rec.source_text_filename);
  GetWideUnits(&in[2142], rec.ref_corpus_wordlist_filename);
  return rec;
}

static_assert(1060 + 4 * kLinksMaxMinCount == 1084 && 1084 + 446 == 1530 && 1531 + 41 == 1572);
static_assert(1572 + 7 == 1579 && 1583 + 5 == 1588 && 1612 + 8 == 1620);
static_assert(1620 + 2 * 261 == 2142 && 2142 + 2 * 261 == QN_salientor_settings_type32::kStoredSize);

}  // namespace qn
