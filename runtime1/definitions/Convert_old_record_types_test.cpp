#include "runtime1/definitions/Convert_old_record_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Streams.h"
#include "runtime1/definitions/JulianDateRoutines.h"

namespace qn {
namespace {

using Bytes = std::vector<uint8_t>;

// A record image built by hand, value by value at its offset.
struct Image {
  Bytes b;
  explicit Image(size_t n) : b(n, 0) {}
  Image& u8(size_t at, uint8_t v) { b.at(at) = v; return *this; }
  template <typename T>
  Image& put(size_t at, T v) {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, &v, sizeof(T));  // the test host is little-endian
    for (size_t i = 0; i < sizeof(T); ++i) b.at(at + i) = raw[i];
    return *this;
  }
  Image& wide(size_t at, std::u16string_view s) {
    for (size_t i = 0; i < s.size(); ++i) put<uint16_t>(at + 2 * i, s[i]);
    return *this;
  }
  Image& ansi(size_t at, std::string_view s) {  // length byte, then the text
    b.at(at) = static_cast<uint8_t>(s.size());
    for (size_t i = 0; i < s.size(); ++i) b.at(at + 1 + i) = static_cast<uint8_t>(s[i]);
    return *this;
  }
};

template <typename Rec>
Bytes Written(const Rec& rec) {
  std::array<uint8_t, Rec::kStoredSize> out;
  out.fill(0xCC);  // every byte must be written
  rec.ToBytes(out);
  return Bytes(out.begin(), out.end());
}

template <typename Rec>
Rec Read(const Bytes& b) {
  return Rec::FromBytes(std::span<const uint8_t, Rec::kStoredSize>(b.data(), Rec::kStoredSize));
}

struct ActiveCodePageScope {
  uint32_t saved = platform::ActiveCodePage();
  explicit ActiveCodePageScope(uint32_t cp) { platform::SetActiveCodePage(cp); }
  ~ActiveCodePageScope() { platform::SetActiveCodePage(saved); }
};

// ---------------------------------------------------------------------------
// Current records
// ---------------------------------------------------------------------------

TEST(SettingsRecords, StoredSizes) {
  static_assert(textsett_rec32::kStoredSize == 3028);
  static_assert(text_segment_rec::kStoredSize == 204);
  static_assert(TConcSettingsRec32::kStoredSize == 2580);
  static_assert(TMutual_info_settings32::kStoredSize == 180);
  static_assert(TMutualInfo_recFeb2016::kStoredSize == 100);
  static_assert(TChosenFile_BaseRec::kStoredSize == 64);
  static_assert(TFileInfoExtraStatsRec::kStoredSize == 40);
  static_assert(QN_salientor_settings_type32::kStoredSize == 2664);
  static_assert(fixed_lang_details_rec_old::kStoredSize == 632);
  static_assert(fixed_lang_details_rec32old::kStoredSize == 1040);
  static_assert(textsett_rec_old::kStoredSize == 2500);
  static_assert(TConcSettingsRec_old::kStoredSize == 1368);
  static_assert(TMutual_info_settings_old::kStoredSize == 32);
  static_assert(TMutualInfo_recOld::kStoredSize == 72);
  static_assert(TChosenFile_BaseRec_old::kStoredSize == 49);
  static_assert(TFileInfoExtraStatsRec_old::kStoredSize == 16);
  static_assert(QN4_salientor_settings_type::kStoredSize == 1212);
  static_assert(QN_salientor_settings_type_old::kStoredSize == 2256);
  SUCCEED();
}

TEST(SettingsRecords, TextSettingsGoldenImage) {
  textsett_rec32 rec;
  rec.language_info.is_32_version = true;
  rec.language_info.lcid = 0x0409;
  rec.tag_treatment_computing = static_cast<TTallierTagTreatment>(2);
  rec.must_use_Unicode = true;
  rec.handle_International_System_of_Units_numbers = true;
  rec.numbers_included = true;
  rec.ignore_tags[23] = 0x7F;
  SetFixedWideText(rec.standard_markers[1].marker, u"auto");
  rec.standard_markers[1].auto_process = true;
  rec.standard_markers[7].has_wildcards = true;
  rec.standard_markers[7].spare = 9;
  rec.max_texts = 250;
  rec.tag_treatment_displaying = static_cast<TTallierTagTreatment>(1);
  rec.spare[315] = 0xAB;

  Image img(3028);
  img.u8(2, 1).put<uint32_t>(4, 0x0409);
  img.u8(1040, 2).u8(1041, 1).u8(1043, 1).u8(1047, 1).u8(1048 + 23, 0x7F);
  img.wide(1072 + 204, u"auto").u8(1072 + 204 + 201, 1);
  img.u8(1072 + 7 * 204 + 200, 9).u8(1072 + 7 * 204 + 202, 1);
  img.put<int32_t>(2704, 250).u8(2708, 1).u8(3027, 0xAB);
  EXPECT_EQ(Written(rec), img.b);
  EXPECT_EQ(Read<textsett_rec32>(img.b), rec);
}

TEST(SettingsRecords, TextSettingsWriterSetsTheLayoutMark) {
  textsett_rec32 rec;  // is_32_version clear in memory
  EXPECT_EQ(Written(rec)[2], 1);
}

TEST(SettingsRecords, ConcordanceSettingsGoldenImage) {
  TConcSettingsRec32 rec;
  SetFixedWideText(rec.concordance_word, u"cat");
  SetFixedWideText(rec.concordance_context_word, u"dog*");
  rec.exclusion_word[80] = u'Z';  // the last unit is kept as stored
  rec.entries_wanted_per_sw = 5;
  rec.entries = -1;
  rec.run_words_processed = 123456;
  rec.tag_string_only_on_number = -3;
  rec.tag_string_only_off_number = 4;
  rec.context_exact_gap_required = 2;
  rec.spare_area[0] = 1;
  rec.display_settings_a[25] = 2;
  rec.show_percents_not_raw_numbers = true;
  rec.saved_concrec_version_number = 3;
  rec.spare_characters_for_textonly_display = 80;
  rec.display_settings_d[15] = 4;
  rec.spare[787] = 5;

  Image img(2580);
  img.wide(0, u"cat").put<uint16_t>(162 + 160, u'Z').wide(486, u"dog*");
  img.put<int32_t>(648, 5).put<int32_t>(652, -1).put<int32_t>(660, 123456);
  img.put<int16_t>(664, -3).put<int16_t>(666, 4).put<int32_t>(668, 2);
  img.u8(672, 1).u8(1729, 2).u8(1730, 1).u8(1763, 3).put<int32_t>(1772, 80).u8(1791, 4).u8(2579, 5);
  EXPECT_EQ(Written(rec), img.b);
  EXPECT_EQ(Read<TConcSettingsRec32>(img.b), rec);
}

TEST(SettingsRecords, AssociationSettingsGoldenImage) {
  TMutual_info_settings32 rec;
  rec.spare_stop = 7;
  rec.stop_at = static_cast<Tcollocates_stop_at_type>(2);
  rec.omit_numbers = true;
  rec.two_way = true;
  rec.MIStopListOption = 3;
  rec.use_OR_for_minima = true;
  rec.spare_a[6] = 0x11;
  rec.MI_span = 10;
  rec.spare_MI_min_freq = 4;
  rec.MI_max_percent = 0.5f;
  rec.minima = {1, 2, 3, 4, 5, 6, 7};
  rec.spare_b[0] = 0x22;
  rec.MI_min_texts = 3;
  rec.spare[79] = 0x33;

  Image img(180);
  img.u8(0, 7).u8(1, 2).u8(3, 1).u8(6, 1).u8(7, 3).u8(8, 1).u8(15, 0x11);
  img.put<int32_t>(16, 10).put<int32_t>(20, 4).put<float>(24, 0.5f);
  for (int i = 0; i < 7; ++i) img.put<float>(28 + 4 * i, static_cast<float>(i + 1));
  img.u8(56, 0x22).put<int32_t>(96, 3).u8(179, 0x33);
  EXPECT_EQ(Written(rec), img.b);
  EXPECT_EQ(Read<TMutual_info_settings32>(img.b), rec);

  TMutual_info_settings32 unmarked;
  unmarked.spare_stop = 0;
  EXPECT_EQ(Written(unmarked)[0], 6);  // never taken for the 32-byte layout
}

TEST(SettingsRecords, AssociationEntryGoldenImageNeverStoresReferences) {
  TMutualInfo_recFeb2016 rec;
  rec.n_files = 2;
  rec.f1 = 10;
  rec.f2 = 20;
  rec.joint = 5;
  rec.commonest_gap_size = -1;
  rec.scores[MI_Log_Ratio] = 1.5f;
  rec.spare[35] = 9;
  rec.w1 = 0xFFFFFFFF;
  rec.w2 = 7;
  int anything = 0;
  rec.p1 = &anything;
  rec.p2 = &anything;

  Image img(100);
  img.put<int32_t>(0, 2).put<int32_t>(4, 10).put<int32_t>(8, 20).put<int32_t>(12, 5).put<int32_t>(16, -1);
  img.put<float>(20 + 4 * 6, 1.5f).u8(83, 9).put<uint32_t>(84, 0xFFFFFFFF).put<uint32_t>(88, 7);
  EXPECT_EQ(Written(rec), img.b);

  img.put<uint32_t>(92, 0xDEADBEEF).put<uint32_t>(96, 0x12345678);  // stale addresses in a file
  const auto read = Read<TMutualInfo_recFeb2016>(img.b);
  EXPECT_EQ(read.p1, nullptr);
  EXPECT_EQ(read.p2, nullptr);
  EXPECT_EQ(read.w2, 7u);
}

TEST(SettingsRecords, ChosenFileGoldenImageKeepsTheFolderMark) {
  TChosenFile_BaseRec rec;
  rec.FolderData = 4;
  rec.Zip_Num = -2;
  rec.Date = 45000.25;
  rec.Size = int64_t{5} << 32;
  rec.Words = 1000;
  rec.encrypted = true;
  rec.Wanted = static_cast<TFileWantedType>(1);
  rec.KindOfFile = 0x05;
  rec.version = 3;
  rec.TextualDateAndTime = 2500000.0;
  rec.hits = 17;
  rec.spare[7] = 0x44;
  rec.ShortFileName = u"a.txt";  // not stored

  Image img(64);
  img.put<int32_t>(0, -5).put<int32_t>(4, -2).put<double>(8, 45000.25).put<int64_t>(16, int64_t{5} << 32);
  img.put<int32_t>(24, 1000).u8(28, 1).u8(32, 1).u8(33, 5).put<int32_t>(36, 3);
  img.put<double>(40, 2500000.0).put<int32_t>(48, 17).u8(59, 0x44);
  EXPECT_EQ(Written(rec), img.b);
  auto read = Read<TChosenFile_BaseRec>(img.b);
  EXPECT_EQ(read.FolderData, 4);
  read.ShortFileName = rec.ShortFileName;
  EXPECT_EQ(read, rec);

  // The whole range of folders keeps a negative mark, without overflow.
  TChosenFile_BaseRec edge;
  edge.FolderData = std::numeric_limits<int32_t>::max();
  const Bytes b = Written(edge);
  EXPECT_EQ(Read<TChosenFile_BaseRec>(b).FolderData, std::numeric_limits<int32_t>::max());
  edge.FolderData = -7;  // no folder: written as folder 0, still marked
  EXPECT_EQ(Read<TChosenFile_BaseRec>(Written(edge)).FolderData, 0);
}

TEST(SettingsRecords, ExtraStatsAndTextStatsGoldenImages) {
  TFileInfoExtraStatsRec extra;
  extra.total_bytes = -3;
  extra.zips_added = 2;
  extra.version = 5;
  extra.spare[23] = 1;
  Image img(40);
  img.put<int64_t>(0, -3).put<int32_t>(8, 2).put<int32_t>(12, 5).u8(39, 1);
  EXPECT_EQ(Written(extra), img.b);
  EXPECT_EQ(Read<TFileInfoExtraStatsRec>(img.b), extra);
  extra.version = 0;
  EXPECT_EQ(Written(extra)[12], 2);  // the layout mark

  TOne_text_stats_rec stats;
  stats.stats[0] = 1;
  stats.stats[327] = 2;
  stats.spare[31] = 3;
  stats.filename = u"x.txt";
  Image simg(360);
  simg.u8(0, 1).u8(327, 2).u8(359, 3);
  EXPECT_EQ(Written(stats), simg.b);
  EXPECT_EQ(Read<TOne_text_stats_rec>(simg.b).stats, stats.stats);
}

TEST(SettingsRecords, KeyWordSettingsGoldenImage) {
  QN_salientor_settings_type32 rec;
  rec.settings_language.is_32_version = true;
  rec.settings_language.lcid = 7;
  rec.min_LL_P_value = 0.01f;
  rec.min_freq = -2;
  rec.max_wanted = 500;
  rec.source_text_running_words = {1, 2};
  rec.links_max_min = {3, 1, 9, 3, 1, 5};
  rec.source_wordlists[445] = 0x10;
  rec.plot_keyness_uses_BIC_score = true;
  rec.spare_keyness_proc[6] = 0x20;
  rec.exclude_negatives = true;
  rec.handle_amount = true;
  rec.links_computed = true;
  rec.multiple_source_texts = true;
  rec.wordlist_has_lemmas = true;
  rec.version_number = 6;
  rec.percent_little_wds_found_in_rc = 12.5f;
  rec.min_texts_percent = 5;
  rec.log_ratio_threshold = 1;
  rec.BIC_score_threshold = 2;
  SetFixedWideText(rec.source_text_filename, u"a.txt");
  SetFixedWideText(rec.ref_corpus_wordlist_filename, u"bnc.lst");

  Image img(2664);
  img.u8(2, 1).put<uint32_t>(4, 7).put<float>(1040, 0.01f).put<int16_t>(1044, -2).put<int32_t>(1048, 500);
  img.put<int32_t>(1052, 1).put<int32_t>(1056, 2);
  const int32_t links[] = {3, 1, 9, 3, 1, 5};
  for (int i = 0; i < 6; ++i) img.put<int32_t>(1060 + 4 * i, links[i]);
  img.u8(1529, 0x10).u8(1530, 1).u8(1578, 0x20).u8(1579, 1).u8(1580, 1).u8(1582, 1);
  img.u8(1588, 1).u8(1590, 1).put<int32_t>(1592, 6).put<float>(1596, 12.5f);
  img.put<float>(1600, 5).put<float>(1604, 1).put<float>(1608, 2);
  img.wide(1620, u"a.txt").wide(2142, u"bnc.lst");
  EXPECT_EQ(Written(rec), img.b);
  EXPECT_EQ(Read<QN_salientor_settings_type32>(img.b), rec);
}

// ---------------------------------------------------------------------------
// Older layouts
// ---------------------------------------------------------------------------

// A filled 632-byte language record and its image.
fixed_lang_details_rec_old SampleOldLanguage() {
  fixed_lang_details_rec_old rec;
  rec.allow_middles_at_left = true;
  rec.spare_a[0] = 0x55;
  rec.lcid = 0x040C;
  rec.old_win_font.charset_old = 0;
  rec.old_win_font.fontsize_old = 11;
  rec.old_win_font.fontname_old.Assign("Caf\xE9");
  rec.preference = lang_instalada;
  rec.custom_language = true;
  rec.win_codepage = 1252;
  rec.dos_codepage = 850;
  const char allow[] = " '-\x92";
  std::copy(allow, allow + 4, rec.old_allowable_middle_letters.begin());
  rec.ANSI_lowers[128] = 0xFF;
  rec.ANSI_uppers[0] = 0x41;
  rec.nome.Assign("Fran\xE7" "ais");
  return rec;
}

Bytes SampleOldLanguageImage() {
  Image img(632);
  img.u8(1, 1).u8(4, 0x55).put<uint32_t>(8, 0x040C);
  img.u8(12, 0).u8(13, 11).ansi(14, "Caf\xE9");
  img.u8(47, 1).u8(48, 1).put<uint16_t>(50, 1252).put<uint16_t>(52, 850);
  img.u8(75, ' ').u8(76, '\'').u8(77, '-').u8(78, 0x92);
  img.u8(342 + 128, 0xFF).u8(471, 0x41).ansi(600, "Fran\xE7" "ais");
  return img.b;
}

TEST(OlderLayouts, LanguageRecordsGoldenImages) {
  EXPECT_EQ(Written(SampleOldLanguage()), SampleOldLanguageImage());
  EXPECT_EQ(Read<fixed_lang_details_rec_old>(SampleOldLanguageImage()), SampleOldLanguage());

  fixed_lang_details_rec32old rec;
  rec.is_32_version = true;
  rec.lcid = 0x0407;
  rec.old_win_font.fontname_old.Assign("Arial");
  rec.preference = lang_a_preferida;
  rec.hyphen_breaks_word = true;
  rec.win_codepage = 1252;
  SetFixedWideText(rec.allowable_middle_letters, u"-");
  rec.ANSI_lowers[0] = 1;
  rec.ANSI_uppers[128] = 2;
  rec.spare[605] = 3;
  rec.nome.fill(u'x');  // a name filling its field, no terminator
  Image img(1040);
  img.u8(2, 1).put<uint32_t>(4, 0x0407).ansi(10, "Arial").u8(43, 3).u8(45, 1).put<uint16_t>(46, 1252);
  img.wide(50, u"-").u8(72, 1).u8(201 + 128, 2).u8(935, 3).wide(936, std::u16string(51, u'x'));
  EXPECT_EQ(Written(rec), img.b);
  EXPECT_EQ(Read<fixed_lang_details_rec32old>(img.b), rec);

  const auto converted = LangDetNewFrom32Old(rec);
  EXPECT_EQ(FixedWideText(converted.nome), std::u16string(51, u'x'));  // 51 units, not 52
  EXPECT_EQ(FixedWideText(converted.new_win_font.fontname), u"Arial");
  EXPECT_EQ(converted.spare_ANSI_lowers[0], 0);  // case tables dropped
  EXPECT_EQ(converted.lcid, 0x0407u);
  EXPECT_TRUE(converted.is_32_version);
}

TEST(OlderLayouts, OldLanguageConversion) {
  ActiveCodePageScope westernEurope(1252);
  const auto rec = LangDetNewFromOld(SampleOldLanguage());
  EXPECT_EQ(FixedWideText(rec.nome), u"Fran\u00E7ais");                        // through the code page
  EXPECT_EQ(FixedWideText(rec.new_win_font.fontname), std::u16string(u"Caf\u00E9"));  // byte by byte
  EXPECT_EQ(FixedWideText(rec.allowable_middle_letters), u"'-\u2019");  // spaces skipped, 0x92 through 1252
  EXPECT_EQ(rec.old_win_font, SampleOldLanguage().old_win_font);
  EXPECT_EQ(rec.lcid, 0x040Cu);
  EXPECT_EQ(rec.preference, lang_instalada);
  EXPECT_TRUE(rec.custom_language);
  EXPECT_TRUE(rec.allow_middles_at_left);
  EXPECT_EQ(rec.win_codepage, 1252);
  EXPECT_EQ(rec.dos_codepage, 850);
  EXPECT_TRUE(rec.is_32_version);  // the mark of the current layout
  EXPECT_EQ(rec.spare_ANSI_lowers[128], 0);
  EXPECT_EQ(rec.language_number, 0);
}

TEST(OlderLayouts, OldLanguageLengthsAreNotTrusted) {
  Bytes img = SampleOldLanguageImage();
  img[14] = 0xFF;   // font name claims 255 characters in a field of 32
  std::fill(img.begin() + 15, img.begin() + 47, 'F');
  img[600] = 0xFF;  // name claims 255 in a field of 31 at the record's end
  std::fill(img.begin() + 601, img.end(), 'N');
  for (size_t i = 0; i < 11; ++i) img[75 + i] = 'a' + static_cast<uint8_t>(i);  // 11 letters
  const auto rec = LangDetNewFromOld(Read<fixed_lang_details_rec_old>(img));
  EXPECT_EQ(FixedWideText(rec.new_win_font.fontname).size(), 32u);
  EXPECT_EQ(FixedWideText(rec.nome).size(), 31u);
  EXPECT_EQ(FixedWideText(rec.allowable_middle_letters), u"abcdefghij");  // ten, then NUL
  EXPECT_EQ(rec.allowable_middle_letters[10], u'\0');
}

TEST(OlderLayouts, OtherOldRecordsGoldenImages) {
  TMutual_info_settings_old mi;
  mi.spare_stop = 1;
  mi.stop_at = static_cast<Tcollocates_stop_at_type>(3);
  mi.show_pairs_twice = true;
  mi.spare_a = {4, 5};
  mi.span = 5;
  mi.min_freq = 2;
  mi.min_mutual_info = 3.0f;
  mi.max_percent = 99.5f;
  mi.spare_b[3] = 6;
  Image mimg(32);
  mimg.u8(0, 1).u8(1, 3).u8(4, 1).u8(7, 4).u8(8, 5).put<int32_t>(12, 5).put<int32_t>(16, 2);
  mimg.put<float>(20, 3.0f).put<float>(24, 99.5f).u8(31, 6);
  EXPECT_EQ(Written(mi), mimg.b);
  EXPECT_EQ(Read<TMutual_info_settings_old>(mimg.b), mi);

  TMutualInfo_recOld entry;
  entry.n_files = 1;
  entry.joint = 4;
  entry.spare_scores[2] = 9;
  entry.scores = {1, 2, 3, 4, 5, 6};
  entry.w1 = 11;
  entry.w2 = 12;
  entry.p1 = 0x00401000;
  entry.p2 = 0x00402000;
  Image eimg(72);
  eimg.put<int32_t>(0, 1).put<int32_t>(12, 4).put<float>(28, 9);
  for (int i = 0; i < 6; ++i) eimg.put<float>(32 + 4 * i, static_cast<float>(i + 1));
  eimg.put<uint32_t>(56, 11).put<uint32_t>(60, 12).put<uint32_t>(64, 0x00401000).put<uint32_t>(68, 0x00402000);
  EXPECT_EQ(Written(entry), eimg.b);
  EXPECT_EQ(Read<TMutualInfo_recOld>(eimg.b), entry);

  TChosenFile_BaseRec_old file;
  file.FolderData = 3;
  file.Zip_Num = -1;
  file.Date = 36526.5;
  file.Size = -2;
  file.Words = 99;
  file.encrypted = true;
  file.Wanted = static_cast<TFileWantedType>(2);
  file.KindOfFile = 4;
  file.rest[23] = 7;
  Image fimg(49);
  fimg.put<int32_t>(0, 3).put<int16_t>(4, -1).put<double>(6, 36526.5).put<int32_t>(14, -2);
  fimg.put<int32_t>(18, 99).u8(22, 1).u8(23, 2).u8(24, 4).u8(48, 7);
  EXPECT_EQ(Written(file), fimg.b);
  EXPECT_EQ(Read<TChosenFile_BaseRec_old>(fimg.b), file);

  TFileInfoExtraStatsRec_old extra{-5, 2, 1, 0};
  Image ximg(16);
  ximg.put<int32_t>(0, -5).put<int32_t>(4, 2).put<int32_t>(8, 1);
  EXPECT_EQ(Written(extra), ximg.b);
  EXPECT_EQ(Read<TFileInfoExtraStatsRec_old>(ximg.b), extra);
}

TEST(OlderLayouts, OldTextAndConcordanceSettingsGoldenImages) {
  textsett_rec_old text;
  text.language_info = SampleOldLanguage();
  text.tag_treatment = static_cast<TTallierTagTreatment>(1);
  text.must_use_Unicode = true;
  text.spare_bool = 2;
  text.using_SGML = true;
  text.numbers_included = true;
  text.ignore_tags[0] = 0x3C;
  SetFixedWideText(text.standard_markers[0].marker, u"<p>");
  text.spare[205] = 8;
  Bytes timg = SampleOldLanguageImage();
  timg.resize(2500, 0);
  Image t(0);
  t.b = timg;
  t.u8(632, 1).u8(633, 1).u8(634, 2).u8(635, 1).u8(637, 1).u8(638, 0x3C).wide(662, u"<p>").u8(2499, 8);
  EXPECT_EQ(Written(text), t.b);
  EXPECT_EQ(Read<textsett_rec_old>(t.b), text);

  TConcSettingsRec_old conc;
  conc.head[0] = 'c';
  conc.head[663] = 1;
  conc.language_info = SampleOldLanguage();
  conc.display_settings[0] = 2;
  conc.display_settings[71] = 3;
  Image c(1368);
  c.u8(0, 'c').u8(663, 1);
  const Bytes lang = SampleOldLanguageImage();
  std::copy(lang.begin(), lang.end(), c.b.begin() + 664);
  c.u8(1296, 2).u8(1367, 3);
  EXPECT_EQ(Written(conc), c.b);
  EXPECT_EQ(Read<TConcSettingsRec_old>(c.b), conc);
}

TEST(OlderLayouts, KeyWordSettingsGoldenImagesAndConversions) {
  ActiveCodePageScope westernEurope(1252);
  QN4_salientor_settings_type v4;
  v4.settings_language = SampleOldLanguage();
  v4.min_x2 = 6.63f;
  v4.min_freq = 3;
  v4.max_wanted = 500;
  v4.source_text_running_words = {1000, 0};
  v4.source_text_filename.Assign("caf\xE9.txt");
  v4.ref_corpus_wordlist_filename.Assign("ref.lst");
  v4.keyness_proc[0] = 1;
  v4.exclude_negatives = true;
  v4.both_ways = true;
  v4.links_computed = true;
  v4.max_kw_links = 8;
  v4.full_lemma_processing = true;
  v4.version_number = 4;
  Image img(1212);
  const Bytes lang = SampleOldLanguageImage();
  std::copy(lang.begin(), lang.end(), img.b.begin());
  img.put<float>(632, 6.63f).put<int16_t>(636, 3).put<int32_t>(640, 500).put<int32_t>(644, 1000);
  img.ansi(652, "caf\xE9.txt").ansi(908, "ref.lst").u8(1164, 1).u8(1171, 1).u8(1172, 1).u8(1174, 1);
  img.put<int32_t>(1176, 8).u8(1181, 1).put<int32_t>(1184, 4);
  EXPECT_EQ(Written(v4), img.b);
  EXPECT_EQ(Read<QN4_salientor_settings_type>(img.b), v4);

  const auto from4 = QN_salientor_settings_type32FromV4(v4);
  EXPECT_EQ(from4.min_LL_P_value, 6.63f);
  EXPECT_EQ(from4.min_freq, 3);
  EXPECT_EQ(from4.max_wanted, 500);
  EXPECT_EQ(from4.source_text_running_words[0], 1000);
  EXPECT_TRUE(from4.exclude_negatives);
  EXPECT_FALSE(from4.handle_amount);  // byte 1172 is both_ways here
  EXPECT_TRUE(from4.links_computed);
  EXPECT_TRUE(from4.full_lemma_processing);
  EXPECT_EQ(from4.version_number, 4);
  EXPECT_EQ(from4.links_max_min, (std::array<int32_t, 6>{3, 1, 8, 3, 1, 5}));
  EXPECT_EQ(FixedWideText(from4.source_text_filename), u"caf\u00E9.txt");
  EXPECT_EQ(FixedWideText(from4.ref_corpus_wordlist_filename), u"ref.lst");
  EXPECT_EQ(FixedWideText(from4.settings_language.nome), u"Fran\u00E7ais");

  QN_salientor_settings_type_old v5;
  v5.min_LL_P_value = 0.05f;
  v5.spare_a[511] = 9;
  v5.handle_amount = true;
  v5.max_kw_links = 4;
  v5.version_number = 5;
  v5.percent_little_wds_found_in_rc = 33.0f;
  v5.spare_b[19] = 1;
  v5.source_text_filename.fill(u'q');  // whole field, no terminator
  SetFixedWideText(v5.ref_corpus_wordlist_filename, u"ref.lst");
  Image img5(2256);
  img5.put<float>(632, 0.05f).u8(1163, 9).u8(1172, 1).put<int32_t>(1176, 4).put<int32_t>(1184, 5);
  img5.put<float>(1188, 33.0f).u8(1211, 1).wide(1212, std::u16string(261, u'q')).wide(1734, u"ref.lst");
  EXPECT_EQ(Written(v5), img5.b);
  EXPECT_EQ(Read<QN_salientor_settings_type_old>(img5.b), v5);

  const auto from5 = QN_salientor_settings_type32FromV5OLd(v5);
  EXPECT_EQ(from5.min_LL_P_value, 0.05f);
  EXPECT_TRUE(from5.handle_amount);
  EXPECT_EQ(from5.percent_little_wds_found_in_rc, 33.0f);
  EXPECT_EQ(from5.links_max_min, (std::array<int32_t, 6>{3, 1, 4, 3, 1, 5}));
  EXPECT_EQ(from5.source_text_filename, v5.source_text_filename);
  EXPECT_EQ(FixedWideText(from5.ref_corpus_wordlist_filename), u"ref.lst");
}

// ---------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------

// A stream holding its own copy of the bytes, positioned at 0.
class BytesStream : public platform::TMemoryStream {
 public:
  explicit BytesStream(const std::vector<uint8_t>& b) {
    WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
    SetPosition(0);
  }
};

TEST(RecordReaders, LanguageRecordByVersion) {
  fixed_lang_details_rec32 current;
  current.is_32_version = true;
  current.lcid = 0x0809;
  current.cores = {1, 2, 3, 4};
  current.language_number = 12;
  std::array<uint8_t, 1040> image;
  current.ToBytes(image);
  const Bytes b(image.begin(), image.end());
  for (int32_t version : {6, 7, 18, 20, 31}) {
    BytesStream s(b);
    fixed_lang_details_rec32 rec;
    EXPECT_TRUE(Readfixed_lang_details_rec(s, rec, version)) << version;
    EXPECT_EQ(rec, current) << version;
    EXPECT_EQ(s.Position(), 1040);
  }
  // Version 5: the first 32-bit layout, which has no colours or language number.
  {
    BytesStream s(b);
    fixed_lang_details_rec32 rec;
    EXPECT_TRUE(Readfixed_lang_details_rec(s, rec, 5));
    EXPECT_EQ(rec.language_number, 0);
    EXPECT_EQ(rec.cores, BogStandardColours);  // text = background = 0, repaired
  }
  // Another version with is_32_version set: the same, by looking at byte 2.
  {
    BytesStream s(b);
    fixed_lang_details_rec32 rec;
    EXPECT_TRUE(Readfixed_lang_details_rec(s, rec, 3));
    EXPECT_EQ(rec.lcid, 0x0809u);
    EXPECT_EQ(s.Position(), 1040);
  }
  // A record held with is_32_version clear is still written with the mark,
  // so it is never taken for the 632-byte layout.
  {
    fixed_lang_details_rec32 unmarked = current;
    unmarked.is_32_version = false;
    std::array<uint8_t, 1040> unmarkedImage;
    unmarked.ToBytes(unmarkedImage);
    EXPECT_EQ(unmarkedImage[2], 1);
    BytesStream s(Bytes(unmarkedImage.begin(), unmarkedImage.end()));
    fixed_lang_details_rec32 rec;
    EXPECT_TRUE(Readfixed_lang_details_rec(s, rec, 3));
    EXPECT_EQ(s.Position(), 1040);
    EXPECT_EQ(rec.lcid, 0x0809u);
  }
  // With it clear: the 632-byte layout.
  {
    ActiveCodePageScope westernEurope(1252);
    Bytes old = SampleOldLanguageImage();
    old.push_back(0x77);  // what follows the record stays unread
    BytesStream s(old);
    fixed_lang_details_rec32 rec;
    EXPECT_TRUE(Readfixed_lang_details_rec(s, rec, 3));
    EXPECT_EQ(s.Position(), 632);
    EXPECT_EQ(FixedWideText(rec.nome), u"Fran\u00E7ais");
    EXPECT_EQ(rec.cores, BogStandardColours);
  }
}

TEST(RecordReaders, ShortReadsAreFailures) {
  const Bytes two = {0, 0};
  BytesStream s(two);
  fixed_lang_details_rec32 lang;
  EXPECT_FALSE(Readfixed_lang_details_rec(s, lang, 3));
  Bytes partial(600, 0);
  partial[8] = 0x09;
  partial[9] = 0x04;
  BytesStream s2(partial);
  EXPECT_FALSE(Readfixed_lang_details_rec(s2, lang, 3));
  EXPECT_EQ(lang.lcid, 0x0409u);  // what was read, converted

  const Bytes one = {1};
  BytesStream s3(one);
  TFileInfoExtraStatsRec extra;
  EXPECT_FALSE(ExtraStatsRecFromStream(s3, extra));  // one byte of 16 is no success
  BytesStream s4(one);
  TMutual_info_settings32 mi;
  EXPECT_FALSE(TMutual_info_settings32FromStream(s4, mi));
  BytesStream s5(Bytes(63, 0xFF));  // a current chosen-file record one byte short
  TChosenFile_BaseRec file;
  EXPECT_FALSE(TChosenFileRecFromStream(s5, file));
}

TEST(RecordReaders, TextSettings) {
  ActiveCodePageScope westernEurope(1252);
  // Current layout, with the marker "auto" in entry 1 and a flag to be set.
  textsett_rec32 current;
  current.language_info.cores = {5, 6, 7, 8};
  current.max_texts = 9;
  SetFixedWideText(current.standard_markers[1].marker, u"auto");
  std::array<uint8_t, 3028> image;
  current.ToBytes(image);
  const Bytes b(image.begin(), image.end());
  {
    BytesStream s(b);
    textsett_rec32 rec;
    EXPECT_TRUE(ReadInTextSettings(s, rec, 18));
    EXPECT_TRUE(rec.standard_markers[1].auto_process);
    EXPECT_EQ(rec.max_texts, 9);
    EXPECT_EQ(rec.language_info.cores, current.language_info.cores);
  }
  // An unknown version on a 32-bit record: detected, read again from its start as version 5.
  {
    Bytes prefixed = {0xAA, 0xBB};
    prefixed.insert(prefixed.end(), b.begin(), b.end());
    BytesStream s(prefixed);
    s.SetPosition(2);
    textsett_rec32 rec;
    EXPECT_TRUE(ReadInTextSettings(s, rec, 4));
    EXPECT_EQ(s.Position(), 2 + 3028);
    EXPECT_EQ(rec.max_texts, 9);
    EXPECT_EQ(rec.language_info.cores, BogStandardColours);  // the version-5 language has none
  }
  // A truly old record.
  {
    textsett_rec_old old;
    old.language_info = SampleOldLanguage();
    old.tag_treatment = static_cast<TTallierTagTreatment>(2);
    old.using_SGML = true;
    old.ignore_tags[5] = 1;
    // A marker filling all 100 units ("auto" then no terminator) is not "auto".
    std::fill(old.standard_markers[1].marker.begin(), old.standard_markers[1].marker.end(), u'a');
    SetFixedWideText(old.standard_markers[2].marker, u"<h1>");
    std::array<uint8_t, 2500> oldImage;
    old.ToBytes(oldImage);
    BytesStream s(Bytes(oldImage.begin(), oldImage.end()));
    textsett_rec32 rec;
    EXPECT_TRUE(ReadInTextSettings(s, rec, 4));
    EXPECT_EQ(rec.tag_treatment_computing, 2);
    EXPECT_TRUE(rec.using_SGML);
    EXPECT_EQ(rec.ignore_tags[5], 1);
    EXPECT_FALSE(rec.standard_markers[1].auto_process);
    EXPECT_EQ(FixedWideText(rec.standard_markers[2].marker), u"<h1>");
    EXPECT_EQ(FixedWideText(rec.language_info.nome), u"Fran\u00E7ais");
  }
}

TEST(RecordReaders, ConcordanceSettings) {
  TConcSettingsRec_old old;
  old.head[0] = 'x';
  old.head[663] = 4;
  old.display_settings[0] = 0x21;                                   // -> 1704
  old.display_settings[TConcSettingsRec_old::kShowPercentsAt - 1296] = 1;  // -> 1730 inverted
  old.display_settings[67] = 0x22;                                  // -> 1771
  old.display_settings[68] = 0x23;                                  // 1364: dropped
  std::array<uint8_t, 1368> image;
  old.ToBytes(image);
  BytesStream s(Bytes(image.begin(), image.end()));
  TConcSettingsRec32 rec;
  EXPECT_TRUE(ReadInConcSettRec(s, rec, 3));
  EXPECT_FALSE(rec.show_percents_not_raw_numbers);
  EXPECT_EQ(rec.spare_characters_for_textonly_display, 80);
  std::array<uint8_t, 2580> out;
  rec.ToBytes(out);
  EXPECT_EQ(out[0], 'x');
  EXPECT_EQ(out[663], 4);
  EXPECT_EQ(out[1704], 0x21);
  EXPECT_EQ(out[1771], 0x22);
  EXPECT_EQ(old.language_info, fixed_lang_details_rec_old{});
  EXPECT_TRUE(ConcSettingsFromOld(TConcSettingsRec_old{}).show_percents_not_raw_numbers);

  // A current record behind the probe: the version byte at 1355 says so.
  TConcSettingsRec32 current;
  current.spare_area[1355 - 672] = 3;
  current.entries = 77;
  current.spare[787] = 1;
  std::array<uint8_t, 2580> cur;
  current.ToBytes(cur);
  Bytes prefixed(10, 0xEE);
  prefixed.insert(prefixed.end(), cur.begin(), cur.end());
  BytesStream s2(prefixed);
  s2.SetPosition(10);
  TConcSettingsRec32 back;
  EXPECT_TRUE(ReadInConcSettRec(s2, back, 3));
  EXPECT_EQ(back, current);

  // A probe that falls short is never followed by a read from before the record.
  Bytes shortOne(10, 0xEE);
  Bytes tail(1360, 0);
  tail[1355] = 5;
  shortOne.insert(shortOne.end(), tail.begin(), tail.end());
  BytesStream s3(shortOne);
  s3.SetPosition(10);
  EXPECT_FALSE(ReadInConcSettRec(s3, back, 3));
  EXPECT_EQ(s3.Position(), static_cast<int64_t>(shortOne.size()));
  EXPECT_EQ(back.concordance_word[0], 0);  // no 0xEE from before the record
}

TEST(RecordReaders, AssociationSettings) {
  TMutual_info_settings_old old;
  old.stop_at = static_cast<Tcollocates_stop_at_type>(1);
  old.omit_left_right_matches = true;
  old.recompute_total_tokens = true;
  old.span = 5;
  old.min_freq = 3;
  old.min_mutual_info = 3.0f;
  old.max_percent = 90.0f;
  std::array<uint8_t, 32> image;
  old.ToBytes(image);
  BytesStream s(Bytes(image.begin(), image.end()));
  TMutual_info_settings32 rec;
  EXPECT_TRUE(TMutual_info_settings32FromStream(s, rec));
  for (int i = 0; i < kMutualInfoStatsCount; ++i) {
    EXPECT_EQ(rec.minima[i], i == MI_MI ? 3.0f : -999999.0f) << i;
  }
  EXPECT_EQ(rec.MI_span, 5);
  EXPECT_EQ(rec.MI_max_percent, 90.0f);
  EXPECT_EQ(rec.MI_min_texts, 1);
  EXPECT_TRUE(rec.omit_left_right_matches);
  EXPECT_TRUE(rec.recompute_total_tokens);
  EXPECT_EQ(rec.stop_at, 1);

  // Saved as current and read back: the same record, not a 32-byte one.
  rec.spare_MI_min_freq = 3;
  std::array<uint8_t, 180> current;
  rec.ToBytes(current);
  BytesStream s2(Bytes(current.begin(), current.end()));
  TMutual_info_settings32 again;
  EXPECT_TRUE(TMutual_info_settings32FromStream(s2, again));
  EXPECT_EQ(again, rec);
  EXPECT_EQ(s2.Position(), 180);

  const auto back = TMutual_info_settingsOldFrom32(rec);
  EXPECT_EQ(back.span, 5);
  EXPECT_EQ(back.min_freq, 3);
  EXPECT_EQ(back.min_mutual_info, 3.0f);
  EXPECT_EQ(back.max_percent, 90.0f);
  EXPECT_EQ(back.stop_at, 1);
  EXPECT_TRUE(back.omit_left_right_matches);
  EXPECT_EQ(back.spare_stop, 0);
}

TEST(RecordReaders, AssociationEntryFromOld) {
  TMutualInfo_recOld old;
  old.n_files = 3;
  old.f1 = 4;
  old.f2 = 5;
  old.joint = 2;
  old.commonest_gap_size = 1;
  old.spare_scores = {9, 9, 9};
  old.scores = {1, 2, 3, 4, 5, 6};
  old.w1 = 7;
  old.w2 = 8;
  old.p1 = 0x1000;
  old.p2 = 0x2000;
  const auto rec = TMutual_info_Rec32FromOld(old);
  EXPECT_EQ(rec.scores, (std::array<float, 7>{1, 2, 3, 4, 5, 6, 0}));
  EXPECT_EQ(rec.n_files, 3);
  EXPECT_EQ(rec.joint, 2);
  EXPECT_EQ(rec.w2, 8u);
  EXPECT_EQ(rec.p1, nullptr);
  EXPECT_EQ(rec.p2, nullptr);
}

TEST(RecordReaders, ChosenFiles) {
  // Current form: FolderData 4 stored as -5 reads back as 4.
  TChosenFile_BaseRec current;
  current.FolderData = 4;
  current.Date = 45000.0;
  current.Words = 12;
  std::array<uint8_t, 64> image;
  current.ToBytes(image);
  EXPECT_EQ(platform::GetLE<int32_t>(image.data()), -5);
  BytesStream s(Bytes(image.begin(), image.end()));
  TChosenFile_BaseRec rec;
  EXPECT_TRUE(TChosenFileRecFromStream(s, rec));
  EXPECT_EQ(rec.FolderData, 4);
  EXPECT_EQ(rec.Words, 12);
  EXPECT_EQ(s.Position(), 64);
  EXPECT_EQ(rec.TextualDateAndTime, DateTimeToJulianAddingConst(45000.0));

  // The smallest int32 stored: no overflow, the largest folder.
  Bytes edge(64, 0);
  platform::PutLE(edge.data(), std::numeric_limits<int32_t>::min());
  BytesStream s2(edge);
  EXPECT_TRUE(TChosenFileRecFromStream(s2, rec));
  EXPECT_EQ(rec.FolderData, std::numeric_limits<int32_t>::max());

  // Old form, converted field by field.
  TChosenFile_BaseRec_old old;
  old.FolderData = 2;
  old.Zip_Num = -1;
  old.Date = 36526.0;
  old.Size = -10;
  old.Words = 5;
  old.encrypted = true;
  old.KindOfFile = 3;
  std::array<uint8_t, 49> oldImage;
  old.ToBytes(oldImage);
  BytesStream s3(Bytes(oldImage.begin(), oldImage.end()));
  EXPECT_TRUE(TChosenFileRecFromStream(s3, rec));
  EXPECT_EQ(rec.FolderData, 2);
  EXPECT_EQ(rec.Zip_Num, -1);
  EXPECT_EQ(rec.Size, -10);
  EXPECT_TRUE(rec.encrypted);
  EXPECT_EQ(rec.KindOfFile, 3);
  EXPECT_EQ(rec.TextualDateAndTime, DateTimeToJulianAddingConst(36526.0));
  EXPECT_NE(rec.TextualDateAndTime, 0);
}

TEST(RecordReaders, ExtraStatistics) {
  TFileInfoExtraStatsRec_old old{-1, 3, 1, 0};
  std::array<uint8_t, 16> image;
  old.ToBytes(image);
  BytesStream s(Bytes(image.begin(), image.end()));
  TFileInfoExtraStatsRec rec;
  EXPECT_TRUE(ExtraStatsRecFromStream(s, rec));
  EXPECT_EQ(rec.total_bytes, -1);  // sign-extended
  EXPECT_EQ(rec.zips_added, 3);
  EXPECT_EQ(rec.version, 2);  // at least the layout mark

  // Written back as current and read again: 40 bytes, the same record.
  std::array<uint8_t, 40> current;
  rec.ToBytes(current);
  Bytes two(current.begin(), current.end());
  two.insert(two.end(), current.begin(), current.end());
  BytesStream s2(two);
  TFileInfoExtraStatsRec a, b;
  EXPECT_TRUE(ExtraStatsRecFromStream(s2, a));
  EXPECT_TRUE(ExtraStatsRecFromStream(s2, b));
  EXPECT_EQ(a, rec);
  EXPECT_EQ(b, rec);
  EXPECT_EQ(s2.Position(), 80);
}

TEST(RecordReaders, OneTextStatsKeepsTheFileName) {
  TOne_text_stats_rec_old old;
  old.stats[100] = 5;
  old.filename = u"texts/a.txt";
  const auto rec = OneTextStatsRecFromOld(old);
  EXPECT_EQ(rec.stats, old.stats);
  EXPECT_EQ(rec.filename, u"texts/a.txt");
}

TEST(RecordReaders, OldGridHeadings) {
  grid_head_type_old old;
  old.alignment = right_aligned;
  old.typefaces = TTypefaceSet{tf_bold, tf_underline};
  old.editable = tanto_faz;
  old.minimum = 0.01f;
  old.decimals = 2;
  old.TextColour = 0x0000FF;
  old.background = 0xFFFFFF;
  old.numerical = true;
  old.visible = true;
  old.original_column = 3;
  old.pixel_width96 = -1;
  old.output_case = as_it_comes_output;
  old.spare = 7;
  old.previous_decimals = 1;
  old.percent_data = true;
  old.version = 2;
  old.HelpContext = 1234;
  old.localization_number = 203;
  old.column_data.bytes[0] = 0xA1;
  old.column_data.bytes[19] = 0xA2;
  Image img(60);
  img.u8(0, 2).u8(1, 0x05).u8(2, 3).put<float>(3, 0.01f).u8(7, 2).put<int32_t>(8, 0x0000FF);
  img.put<int32_t>(12, 0xFFFFFF).u8(18, 1).u8(19, 1).put<int16_t>(20, 3).put<int16_t>(22, -1);
  img.u8(24, as_it_comes_output).u8(25, 7).u8(27, 1).u8(30, 1).u8(31, 2).put<int32_t>(32, 1234);
  img.put<int32_t>(36, 203).u8(40, 0xA1).u8(59, 0xA2);
  std::array<uint8_t, 60> out;
  out.fill(0xCC);
  old.ToBytes(out);
  EXPECT_EQ(Bytes(out.begin(), out.end()), img.b);
  EXPECT_EQ(grid_head_type_old::FromBytes(out), old);

  bool ok = false;
  BytesStream s(img.b);
  const grid_head_type32 longForm = ReadOldGridHeadings(s, 1, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(s.Position(), 60);
  EXPECT_EQ(longForm.alignment, right_aligned);
  EXPECT_EQ(longForm.typefaces, old.typefaces);
  EXPECT_EQ(longForm.editable, tanto_faz);
  EXPECT_EQ(longForm.minimum, 0.01f);
  EXPECT_TRUE(longForm.heading_visible);
  EXPECT_TRUE(longForm.numerical);
  EXPECT_EQ(longForm.pixel_width96, -1);
  EXPECT_EQ(longForm.vestigial_TextColour, 0);  // colours are not taken over
  EXPECT_EQ(longForm.user_specified_background, 0);
  EXPECT_EQ(longForm.localization_number, 203);
  EXPECT_EQ(longForm.HelpContext, 1234);
  EXPECT_EQ(longForm.column_data, old.column_data);
  EXPECT_EQ(longForm.span, span_R51);
  EXPECT_TRUE(longForm.hint.empty());
  EXPECT_TRUE(longForm.heading.empty());

  BytesStream s2(img.b);
  const grid_head_type32 shortForm = ReadOldGridHeadings(s2, 0, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(s2.Position(), 40);
  EXPECT_EQ(shortForm.column_data, TGridColumnDataRec32{});
  EXPECT_EQ(shortForm.localization_number, 203);

  // One byte of 40 is a failure, not a success with a zero record.
  BytesStream s3(Bytes{2});
  const grid_head_type32 partial = ReadOldGridHeadings(s3, 0, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(partial.alignment, right_aligned);  // what was read is kept
}

}  // namespace
}  // namespace qn
