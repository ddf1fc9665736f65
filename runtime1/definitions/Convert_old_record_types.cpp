#include "runtime1/definitions/Convert_old_record_types.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/CodePages.h"
#include "runtime1/definitions/JulianDateRoutines.h"
#include "runtime1/definitions/Stored_record_bytes.h"
#include "runtime1/text/My_string_functions.h"

namespace qn {

namespace {

// Reads a whole record image (zero-filled first); true when all of it came.
template <size_t N>
bool ReadImage(platform::TStream& stream, std::array<uint8_t, N>& image) {
  image.fill(0);
  return ReadRecordBytes(stream, image) == N;
}

// The byte as one UTF-16 unit: ASCII as it is; above, the byte decoded alone
// through the code page when that gives exactly one unit, else its value.
char16_t ByteAsUnit(uint8_t byte, uint32_t codePage) {
  if (byte < 0x80) return byte;
  const char c = static_cast<char>(byte);
  const std::u16string decoded = platform::Decoded(codePage, std::string_view(&c, 1));
  return decoded.size() == 1 ? decoded[0] : static_cast<char16_t>(byte);
}

// The colour repair of language records read from files.
void RepairColours(fixed_lang_details_rec32& rec) noexcept {
  if (rec.cores.text == rec.cores.background) rec.cores = BogStandardColours;
}

// The units of a fixed array up to its first NUL equal text.
template <size_t N>
bool FixedWideTextIs(const std::array<char16_t, N>& units, std::u16string_view text) noexcept {
  size_t n = 0;
  while (n < N && units[n] != u'\0') ++n;
  return std::u16string_view(units.data(), n) == text;
}

// Reads the version-5 text settings: the first 32-bit language record, then
// the rest of the current record straight.
bool ReadVersion5TextSettings(platform::TStream& stream, textsett_rec32& rec) {
  std::array<uint8_t, textsett_rec32::kStoredSize> image{};
  auto language = std::span<uint8_t, fixed_lang_details_rec32old::kStoredSize>(image.data(),
                                                                                  fixed_lang_details_rec32old::kStoredSize);
  const bool languageOk = ReadRecordBytes(stream, language) == language.size();
  bool restOk = false;
  if (languageOk) {
    const auto rest = std::span<uint8_t>(image).subspan(fixed_lang_details_rec32old::kStoredSize);
    restOk = ReadRecordBytes(stream, rest) == rest.size();
  }
  rec = textsett_rec32::FromBytes(image);
  rec.language_info = LangDetNewFrom32Old(fixed_lang_details_rec32old::FromBytes(language));
  return languageOk && restOk;
}

}  // namespace

bool IsCurrentRecordLayoutVersion(int32_t version) noexcept {
  return version == 6 || version == 7 || version >= 18;
}

// ---------------------------------------------------------------------------
// Fonts and languages
// ---------------------------------------------------------------------------

fixed_character_format_rec32 New_WinFontFromOldWin_Font(const old_fixed_character_format_rec& old) noexcept {
  fixed_character_format_rec32 font;
  font.charset = old.charset_old;
  font.fontsize = old.fontsize_old;
  const std::string_view name = old.fontname_old.Text();  // at most 32 of the 100 units
  for (size_t i = 0; i < name.size(); ++i) font.fontname[i] = static_cast<uint8_t>(name[i]);
  return font;
}

fixed_lang_details_rec32 LangDetNewFromOld(const fixed_lang_details_rec_old& old) {
  fixed_lang_details_rec32 rec;
  rec.allow_middles_at_right = old.allow_middles_at_right;
  rec.allow_middles_at_left = old.allow_middles_at_left;
  rec.is_32_version = true;
  rec.lcid = old.lcid;
  rec.old_win_font = old.old_win_font;
  rec.preference = old.preference;
  rec.custom_language = old.custom_language;
  rec.hyphen_breaks_word = old.hyphen_breaks_word;
  rec.win_codepage = old.win_codepage;
  rec.dos_codepage = old.dos_codepage;
  rec.new_win_font = New_WinFontFromOldWin_Font(old.old_win_font);
  const uint32_t codePage = old.win_codepage != 0 ? old.win_codepage : platform::ActiveCodePage();
  size_t n = 0;
  for (uint8_t byte : old.old_allowable_middle_letters) {
    if (n == rec.allowable_middle_letters.size() - 1) break;  // the last unit stays NUL
    if (byte > 32) rec.allowable_middle_letters[n++] = ByteAsUnit(byte, codePage);
  }
  SetFixedWideText(rec.nome, ConvertedToWideString(old.nome.Text()));
  return rec;
}

fixed_lang_details_rec32 LangDetNewFrom32Old(const fixed_lang_details_rec32old& old) noexcept {
  fixed_lang_details_rec32 rec;
  rec.allow_middles_at_right = old.allow_middles_at_right;
  rec.allow_middles_at_left = old.allow_middles_at_left;
  rec.is_32_version = true;
  rec.lcid = old.lcid;
  rec.old_win_font = old.old_win_font;
  rec.preference = old.preference;
  rec.custom_language = old.custom_language;
  rec.hyphen_breaks_word = old.hyphen_breaks_word;
  rec.win_codepage = old.win_codepage;
  rec.dos_codepage = old.dos_codepage;
  rec.allowable_middle_letters = old.allowable_middle_letters;
  rec.new_win_font = New_WinFontFromOldWin_Font(old.old_win_font);
  rec.nome = old.nome;  // 51 units each; the old record's last two bytes are padding
  return rec;
}

bool Readfixed_lang_details_rec(platform::TStream& stream, fixed_lang_details_rec32& rec, int32_t version) {
  rec = fixed_lang_details_rec32{};
  bool ok = false;
  bool firstLayout32 = version == 5;
  if (IsCurrentRecordLayoutVersion(version)) {
    std::array<uint8_t, fixed_lang_details_rec32::kStoredSize> image;
    ok = ReadImage(stream, image);
    rec = fixed_lang_details_rec32::FromBytes(image);
  } else {
    if (version != 5) {
      // Look at the first three bytes and put the stream back where it was.
      const int64_t start = stream.Position();
      std::array<uint8_t, 3> probe{};
      const size_t got = ReadRecordBytes(stream, probe);
      if (got < probe.size()) {  // nothing more can be read
        RepairColours(rec);
        return false;
      }
      stream.SetPosition(start);
      firstLayout32 = probe[2] != 0;
    }
    if (firstLayout32) {
      std::array<uint8_t, fixed_lang_details_rec32old::kStoredSize> image;
      ok = ReadImage(stream, image);
      rec = LangDetNewFrom32Old(fixed_lang_details_rec32old::FromBytes(image));
    } else {
      std::array<uint8_t, fixed_lang_details_rec_old::kStoredSize> image;
      ok = ReadImage(stream, image);
      rec = LangDetNewFromOld(fixed_lang_details_rec_old::FromBytes(image));
    }
  }
  RepairColours(rec);
  return ok;
}

// ---------------------------------------------------------------------------
// Text and concordance settings
// ---------------------------------------------------------------------------

textsett_rec32 TextSettingsFromOld(const textsett_rec_old& old) {
  textsett_rec32 rec;
  rec.language_info = LangDetNewFromOld(old.language_info);
  rec.tag_treatment_computing = old.tag_treatment;
  rec.must_use_Unicode = old.must_use_Unicode;
  rec.using_SGML = old.using_SGML;
  rec.clear_default_markup = old.clear_default_markup;
  rec.numbers_included = old.numbers_included;
  rec.ignore_tags = old.ignore_tags;
  rec.standard_markers = old.standard_markers;
  return rec;
}

bool IsTrulyOldTextSettings(std::span<const uint8_t, textsett_rec_old::kStoredSize> image) noexcept {
  return image[2] == 0 || image[73] != 0 || image[74] != 0 || image[84] != 0 || image[85] != 0;
}

bool ReadInTextSettings(platform::TStream& stream, textsett_rec32& rec, int32_t version) {
  rec = textsett_rec32{};
  bool ok = false;
  if (IsCurrentRecordLayoutVersion(version)) {
    std::array<uint8_t, textsett_rec32::kStoredSize> image;
    ok = ReadImage(stream, image);
    rec = textsett_rec32::FromBytes(image);
  } else if (version == 5) {
    ok = ReadVersion5TextSettings(stream, rec);
  } else {
    const int64_t start = stream.Position();
    std::array<uint8_t, textsett_rec_old::kStoredSize> image;
    ok = ReadImage(stream, image);
    if (IsTrulyOldTextSettings(image)) {
      rec = TextSettingsFromOld(textsett_rec_old::FromBytes(image));
    } else {
      stream.SetPosition(start);
      ok = ReadVersion5TextSettings(stream, rec);
    }
  }
  RepairColours(rec.language_info);
  text_segment_rec& second = rec.standard_markers[1];
  second.auto_process = FixedWideTextIs(second.marker, u"auto");
  return ok;
}

TConcSettingsRec32 ConcSettingsFromOld(const TConcSettingsRec_old& old) noexcept {
  std::array<uint8_t, TConcSettingsRec_old::kStoredSize> from;
  old.ToBytes(from);
  std::array<uint8_t, TConcSettingsRec32::kStoredSize> to{};
  std::copy(from.begin(), from.begin() + 664, to.begin());
  std::copy(from.begin() + 1296, from.begin() + 1364, to.begin() + 1704);
  TConcSettingsRec32 rec = TConcSettingsRec32::FromBytes(to);
  rec.show_percents_not_raw_numbers = from[TConcSettingsRec_old::kShowPercentsAt] == 0;
  rec.spare_characters_for_textonly_display = 80;
  return rec;
}

bool ReadInConcSettRec(platform::TStream& stream, TConcSettingsRec32& rec, int32_t version) {
  rec = TConcSettingsRec32{};
  if (version == 5 || IsCurrentRecordLayoutVersion(version)) {
    std::array<uint8_t, TConcSettingsRec32::kStoredSize> image;
    const bool ok = ReadImage(stream, image);
    rec = TConcSettingsRec32::FromBytes(image);
    return ok;
  }
  const int64_t start = stream.Position();
  std::array<uint8_t, TConcSettingsRec_old::kStoredSize> image;
  const bool ok = ReadImage(stream, image);
  if (ok && image[TConcSettingsRec_old::kVersionNumberAt] >= 3) {
    stream.SetPosition(start);
    std::array<uint8_t, TConcSettingsRec32::kStoredSize> current;
    const bool currentOk = ReadImage(stream, current);
    rec = TConcSettingsRec32::FromBytes(current);
    return currentOk;
  }
  rec = ConcSettingsFromOld(TConcSettingsRec_old::FromBytes(image));
  return ok;
}

// ---------------------------------------------------------------------------
// Association settings and entries
// ---------------------------------------------------------------------------

TMutual_info_settings32 TMutual_info_settings32FromOld(const TMutual_info_settings_old& old) noexcept {
  TMutual_info_settings32 rec;
  rec.spare_stop = TMutual_info_settings32::kLayoutMark;
  rec.stop_at = old.stop_at;
  rec.omit_left_right_matches = old.omit_left_right_matches;
  rec.omit_numbers = old.omit_numbers;
  rec.show_pairs_twice = old.show_pairs_twice;
  rec.recompute_total_tokens = old.recompute_total_tokens;
  rec.two_way = old.two_way;
  rec.MI_span = old.span;
  rec.MI_max_percent = old.max_percent;
  rec.minima.fill(-999999.0f);
  rec.minima[MI_MI] = old.min_mutual_info;
  rec.MI_min_texts = 1;
  return rec;
}

TMutual_info_settings_old TMutual_info_settingsOldFrom32(const TMutual_info_settings32& rec32) noexcept {
  TMutual_info_settings_old old;
  old.stop_at = rec32.stop_at;
  old.omit_left_right_matches = rec32.omit_left_right_matches;
  old.omit_numbers = rec32.omit_numbers;
  old.show_pairs_twice = rec32.show_pairs_twice;
  old.recompute_total_tokens = rec32.recompute_total_tokens;
  old.two_way = rec32.two_way;
  old.span = rec32.MI_span;
  old.min_freq = rec32.spare_MI_min_freq;
  old.max_percent = rec32.MI_max_percent;
  old.min_mutual_info = rec32.minima[MI_MI];
  return old;
}

bool TMutual_info_settings32FromStream(platform::TStream& stream, TMutual_info_settings32& rec) {
  rec = TMutual_info_settings32{};
  const int64_t start = stream.Position();
  std::array<uint8_t, TMutual_info_settings_old::kStoredSize> image;
  const bool ok = ReadImage(stream, image);
  if (image[0] >= TMutual_info_settings32::kLayoutMark) {
    stream.SetPosition(start);
    std::array<uint8_t, TMutual_info_settings32::kStoredSize> current;
    const bool currentOk = ReadImage(stream, current);
    rec = TMutual_info_settings32::FromBytes(current);
    return currentOk;
  }
  rec = TMutual_info_settings32FromOld(TMutual_info_settings_old::FromBytes(image));
  return ok;
}

TMutualInfo_recFeb2016 TMutual_info_Rec32FromOld(const TMutualInfo_recOld& old) noexcept {
  TMutualInfo_recFeb2016 rec;
  rec.n_files = old.n_files;
  rec.f1 = old.f1;
  rec.f2 = old.f2;
  rec.joint = old.joint;
  rec.commonest_gap_size = old.commonest_gap_size;
  std::copy(old.scores.begin(), old.scores.end(), rec.scores.begin());
  rec.w1 = old.w1;
  rec.w2 = old.w2;
  return rec;
}

// ---------------------------------------------------------------------------
// Chosen files and their statistics
// ---------------------------------------------------------------------------

TChosenFile_BaseRec ChosenFileRecFromOld(const TChosenFile_BaseRec_old& old) noexcept {
  TChosenFile_BaseRec rec;
  rec.FolderData = old.FolderData;
  rec.Zip_Num = old.Zip_Num;
  rec.Date = old.Date;
  rec.Size = old.Size;
  rec.Words = old.Words;
  rec.encrypted = old.encrypted;
  rec.Wanted = old.Wanted;
  rec.KindOfFile = old.KindOfFile;
  rec.TextualDateAndTime = DateTimeToJulianAddingConst(rec.Date);
  return rec;
}

bool TChosenFileRecFromStream(platform::TStream& stream, TChosenFile_BaseRec& rec) {
  rec = TChosenFile_BaseRec{};
  const int64_t start = stream.Position();
  std::array<uint8_t, TChosenFile_BaseRec_old::kStoredSize> image;
  bool ok = ReadImage(stream, image);
  if (platform::GetLE<int32_t>(image.data()) < 0) {
    stream.SetPosition(start);
    std::array<uint8_t, TChosenFile_BaseRec::kStoredSize> current;
    ok = ReadImage(stream, current);
    rec = TChosenFile_BaseRec::FromBytes(current);
  } else {
    rec = ChosenFileRecFromOld(TChosenFile_BaseRec_old::FromBytes(image));
  }
  if (rec.TextualDateAndTime == 0) rec.TextualDateAndTime = DateTimeToJulianAddingConst(rec.Date);
  return ok;
}

TFileInfoExtraStatsRec ExtraStatsRecFromOld(const TFileInfoExtraStatsRec_old& old) noexcept {
  TFileInfoExtraStatsRec rec;
  rec.total_bytes = old.total_bytes;
  rec.zips_added = old.zips_added;
  rec.version = std::max(old.version, TFileInfoExtraStatsRec::kLayoutMark);
  return rec;
}

bool ExtraStatsRecFromStream(platform::TStream& stream, TFileInfoExtraStatsRec& rec) {
  rec = TFileInfoExtraStatsRec{};
  const int64_t start = stream.Position();
  std::array<uint8_t, TFileInfoExtraStatsRec_old::kStoredSize> image;
  const bool ok = ReadImage(stream, image);
  const auto old = TFileInfoExtraStatsRec_old::FromBytes(image);
  if (old.old_mark >= TFileInfoExtraStatsRec::kLayoutMark) {
    stream.SetPosition(start);
    std::array<uint8_t, TFileInfoExtraStatsRec::kStoredSize> current;
    const bool currentOk = ReadImage(stream, current);
    rec = TFileInfoExtraStatsRec::FromBytes(current);
    return currentOk;
  }
  rec = ExtraStatsRecFromOld(old);
  return ok;
}

TOne_text_stats_rec OneTextStatsRecFromOld(const TOne_text_stats_rec_old& old) {
  TOne_text_stats_rec rec;
  rec.stats = old.stats;
  rec.filename = old.filename;
  return rec;
}

// ---------------------------------------------------------------------------
// Key-word settings
// ---------------------------------------------------------------------------

namespace {

template <typename Old>
QN_salientor_settings_type32 SalientorCommon(const Old& old) {
  QN_salientor_settings_type32 rec;
  rec.settings_language = LangDetNewFromOld(old.settings_language);
  rec.min_freq = old.min_freq;
  rec.max_wanted = old.max_wanted;
  rec.source_text_running_words = old.source_text_running_words;
  rec.exclude_negatives = old.exclude_negatives;
  rec.plot_computed = old.plot_computed;
  rec.links_computed = old.links_computed;
  rec.multiple_source_texts = old.multiple_source_texts;
  rec.full_lemma_processing = old.full_lemma_processing;
  rec.version_number = old.version_number;
  rec.links_max_min = {3, 1, old.max_kw_links, 3, 1, 5};
  return rec;
}

}  // namespace

QN_salientor_settings_type32 QN_salientor_settings_type32FromV4(const QN4_salientor_settings_type& old) {
  QN_salientor_settings_type32 rec = SalientorCommon(old);
  rec.min_LL_P_value = old.min_x2;
  SetFixedWideText(rec.source_text_filename, ConvertedToWideString(old.source_text_filename.Text()));
  SetFixedWideText(rec.ref_corpus_wordlist_filename, ConvertedToWideString(old.ref_corpus_wordlist_filename.Text()));
  return rec;
}

QN_salientor_settings_type32 QN_salientor_settings_type32FromV5OLd(const QN_salientor_settings_type_old& old) {
  QN_salientor_settings_type32 rec = SalientorCommon(old);
  rec.min_LL_P_value = old.min_LL_P_value;
  rec.handle_amount = old.handle_amount;
  rec.percent_little_wds_found_in_rc = old.percent_little_wds_found_in_rc;
  rec.source_text_filename = old.source_text_filename;
  rec.ref_corpus_wordlist_filename = old.ref_corpus_wordlist_filename;
  return rec;
}

// ---------------------------------------------------------------------------
// Grid columns
// ---------------------------------------------------------------------------

grid_head_type32 GridHeadingFromOld(const grid_head_type_old& old) noexcept {
  grid_head_type32 rec{};
  rec.alignment = old.alignment;
  rec.typefaces = old.typefaces;
  rec.editable = old.editable;
  rec.minimum = old.minimum;
  rec.decimals = old.decimals;
  rec.allow_case_change = old.allow_case_change;
  rec.extra_computed = old.extra_computed;
  rec.numerical = old.numerical;
  rec.heading_visible = old.visible;
  rec.original_column = old.original_column;
  rec.pixel_width96 = old.pixel_width96;
  rec.output_case = old.output_case;
  rec.may_have_old_data_unsafe = old.may_have_old_data_unsafe;
  rec.previous_decimals = old.previous_decimals;
  rec.wordwrap = old.wordwrap;
  rec.has_custom_heading = old.has_custom_heading;
  rec.percent_data = old.percent_data;
  rec.version = old.version;
  rec.HelpContext = old.HelpContext;
  rec.localization_number = old.localization_number;
  rec.column_data = old.column_data;
  rec.span = span_R51;
  return rec;
}

grid_head_type32 ReadOldGridHeadings(platform::TStream& stream, int32_t form, bool& ok) {
  std::array<uint8_t, grid_head_type_old::kLongStoredSize> image{};
  const size_t size = form == 0 ? grid_head_type_old::kStoredSize : grid_head_type_old::kLongStoredSize;
  ok = ReadRecordBytes(stream, std::span<uint8_t>(image.data(), size)) == size;
  return GridHeadingFromOld(grid_head_type_old::FromBytes(image));
}

}  // namespace qn
