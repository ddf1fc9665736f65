// Reading settings records in whichever layout a file holds, and converting
// older layouts to the current ones (and, for the association settings, back).
//
// Readers. Each takes a stream positioned at a record and, where the layout
// depends on the file's version, that version number (read from the file by
// the caller). Versions 6, 7 and 18 or above always mean the current layout;
// version 5 means the current layout around the first 32-bit language
// record; any other version lets the reader look at the record's bytes to
// tell its layout. A reader that has to look first remembers where the record
// began and goes back there, never before it.
//
// Every reader zero-fills its result first and returns true only when every
// read it made delivered all the bytes it asked for. After a short read the
// result holds what was read, converted as far as it went, and the stream
// stands after the last byte read. Errors of the stream other than reaching
// its end reach the caller.
//
// Stored lengths are never trusted: an 8-bit name whose length byte claims
// more than its field holds is cut to the field, and a character array
// without a terminator is read to its end only.
//
// Converted records carry the mark of the current layout (see Wdef_records),
// so a converted record saved and read back is read in the current layout.
#pragma once

#include <cstdint>

#include "platform/Export.h"
#include "platform/Streams.h"
#include "runtime1/definitions/Wdef.h"
#include "runtime1/definitions/Wdef_old.h"
#include "runtime1/definitions/Wdef_records.h"

namespace qn {

// Versions whose records are all in the current layout: 5 (where a reader
// says so), 6, 7, and 18 and above.
QN_API bool IsCurrentRecordLayoutVersion(int32_t version) noexcept;

// ---------------------------------------------------------------------------
// Fonts and languages
// ---------------------------------------------------------------------------

// charset and fontsize copied; each byte of the old name (cut to its field)
// becomes one UTF-16 unit of the same value.
QN_API fixed_character_format_rec32 New_WinFontFromOldWin_Font(const old_fixed_character_format_rec& old) noexcept;

// From the 632-byte layout. The flags, lcid, old_win_font, preference,
// custom_language, hyphen_breaks_word and both code pages are copied;
// new_win_font is made from the old font; allowable_middle_letters receives,
// in order, the bytes of old_allowable_middle_letters above 32, at most 10
// of them (the eleventh unit stays NUL), each as one unit: ASCII as it is,
// bytes from 0x80 decoded alone through win_codepage (the active code page
// when win_codepage is 0), or kept as their value when that code page does
// not give them one unit; nome receives the name decoded through the active
// code page, at most 50 units. is_32_version is set; case tables, colours
// and language_number stay zero.
QN_API fixed_lang_details_rec32 LangDetNewFromOld(const fixed_lang_details_rec_old& old);

// From the first 32-bit layout: the fields up to offset 71 copied,
// new_win_font made from old_win_font, nome copied (51 units); the case
// tables are dropped. is_32_version is set.
QN_API fixed_lang_details_rec32 LangDetNewFrom32Old(const fixed_lang_details_rec32old& old) noexcept;

// Reads a language record: version 5 in the first 32-bit layout; the current
// layout for 6, 7 and 18 or above; otherwise the record's third byte
// (is_32_version) decides between the first 32-bit layout and the 632-byte
// one. Afterwards, a record whose text colour equals its background colour
// gets the standard colours (BogStandardColours).
QN_API bool Readfixed_lang_details_rec(platform::TStream& stream, fixed_lang_details_rec32& rec, int32_t version);

// ---------------------------------------------------------------------------
// Text and concordance settings
// ---------------------------------------------------------------------------

// The old text settings in the current layout: language_info converted from
// the 632-byte layout, tag_treatment to tag_treatment_computing, and the
// namesakes (must_use_Unicode, using_SGML, clear_default_markup,
// numbers_included, ignore_tags, standard_markers).
QN_API textsett_rec32 TextSettingsFromOld(const textsett_rec_old& old);

// True when an old text-settings image holds a truly old record: its
// language's is_32_version is clear, or any of bytes 73, 74, 84 and 85 is
// not 0. Otherwise the bytes begin a record of the version-5 layout.
QN_API bool IsTrulyOldTextSettings(std::span<const uint8_t, textsett_rec_old::kStoredSize> image) noexcept;

// Reads text settings: version 5 as the first 32-bit language record
// followed by the rest of the current record; 6, 7, 18 and above as the
// current record; otherwise as textsett_rec_old, or, when the bytes are not
// truly old, from the record's start again as for version 5. Then the
// colour repair of Readfixed_lang_details_rec, and auto_process of
// standard_markers[1] := whether its marker reads "auto" (up to its first
// NUL within its 100 units).
QN_API bool ReadInTextSettings(platform::TStream& stream, textsett_rec32& rec, int32_t version);

// The old concordance settings in the current layout: bytes 0 to 663 copied,
// the language area dropped, old bytes 1296 to 1363 to 1704 to 1771 except
// show_percents_not_raw_numbers, which is inverted (0 gives 1, any other
// value 0); spare_characters_for_textonly_display := 80.
QN_API TConcSettingsRec32 ConcSettingsFromOld(const TConcSettingsRec_old& old) noexcept;

// Reads concordance settings: versions 5, 6, 7 and 18 and above as the
// current record; otherwise 1,368 bytes in the old layout, unless its
// saved_concrec_version_number (byte 1355) is 3 or more: then the record is
// read again from its start in the current layout. A short old record is
// converted as far as it went and gives false without a second read.
QN_API bool ReadInConcSettRec(platform::TStream& stream, TConcSettingsRec32& rec, int32_t version);

// ---------------------------------------------------------------------------
// Association settings and entries
// ---------------------------------------------------------------------------

// stop_at and the five Booleans copied; MI_span := span; MI_max_percent :=
// max_percent; every minimum -999,999.0 except MI_MI := min_mutual_info;
// MI_min_texts := 1; min_freq dropped; spare_stop := the layout mark.
QN_API TMutual_info_settings32 TMutual_info_settings32FromOld(const TMutual_info_settings_old& old) noexcept;
// The reverse for the fields the old layout has: the five Booleans, stop_at,
// span, min_freq := spare_MI_min_freq, max_percent, min_mutual_info := the
// MI_MI minimum. spare_stop is 0.
QN_API TMutual_info_settings_old TMutual_info_settingsOldFrom32(const TMutual_info_settings32& rec32) noexcept;
// Reads 32 bytes; when the first is 6 or more the record is read again from
// its start as the current 180-byte record, otherwise the old one is
// converted.
QN_API bool TMutual_info_settings32FromStream(platform::TStream& stream, TMutual_info_settings32& rec);

// Counts, w1, w2 copied; the six old scores become the first six; p1 and p2
// stay null (the old record's are addresses of another process).
QN_API TMutualInfo_recFeb2016 TMutual_info_Rec32FromOld(const TMutualInfo_recOld& old) noexcept;

// ---------------------------------------------------------------------------
// Chosen files, their statistics
// ---------------------------------------------------------------------------

// Field by field (Zip_Num and Size sign-extended); jump_to stays empty;
// TextualDateAndTime := the Julian date of Date.
QN_API TChosenFile_BaseRec ChosenFileRecFromOld(const TChosenFile_BaseRec_old& old) noexcept;
// Reads 49 bytes; when the first 32-bit value is negative the record is read
// again from its start as the current 64-byte form (FolderData := -(v + 1)),
// otherwise the old one is converted. Finally a TextualDateAndTime of 0
// becomes the Julian date of Date.
QN_API bool TChosenFileRecFromStream(platform::TStream& stream, TChosenFile_BaseRec& rec);

// total_bytes sign-extended; zips_added copied; version := the old version,
// at least the layout mark 2.
QN_API TFileInfoExtraStatsRec ExtraStatsRecFromOld(const TFileInfoExtraStatsRec_old& old) noexcept;
// Reads 16 bytes; when the fourth 32-bit value is 2 or more the record is
// read again from its start as the current 40-byte one, otherwise the old one
// is converted.
QN_API bool ExtraStatsRecFromStream(platform::TStream& stream, TFileInfoExtraStatsRec& rec);

// The statistics block and the file name.
QN_API TOne_text_stats_rec OneTextStatsRecFromOld(const TOne_text_stats_rec_old& old);

// ---------------------------------------------------------------------------
// Key-word settings
// ---------------------------------------------------------------------------

// The language converted from the 632-byte layout; min_LL_P_value := min_x2;
// min_freq, max_wanted, source_text_running_words, exclude_negatives,
// plot_computed, links_computed, multiple_source_texts,
// full_lemma_processing and version_number copied; links_max_min := 3, 1,
// max_kw_links, 3, 1, 5; the file names decoded through the active code page
// (cut to 260 units); both_ways and the key-ness procedure dropped.
QN_API QN_salientor_settings_type32 QN_salientor_settings_type32FromV4(const QN4_salientor_settings_type& old);
// As from version 4, with min_LL_P_value, handle_amount and
// percent_little_wds_found_in_rc copied and the UTF-16 file names copied
// whole.
QN_API QN_salientor_settings_type32 QN_salientor_settings_type32FromV5OLd(const QN_salientor_settings_type_old& old);

// ---------------------------------------------------------------------------
// Grid columns
// ---------------------------------------------------------------------------

// Reads an old grid column: 40 bytes when form is 0, else 60. ok := all of
// them were read. Whatever was read is converted: the old fields go to their
// namesakes (visible to heading_visible; the two colours and the spare byte
// are dropped), the data block to the start of column_data, span := span_R51;
// hint and heading stay empty (the old layout holds no texts).
QN_API grid_head_type32 ReadOldGridHeadings(platform::TStream& stream, int32_t form, bool& ok);
QN_API grid_head_type32 GridHeadingFromOld(const grid_head_type_old& old) noexcept;

}  // namespace qn
