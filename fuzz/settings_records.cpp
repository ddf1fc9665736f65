// Fuzzes every reader of settings records and of the suite's small stream
// lists. The first byte picks the reader, the second gives the file version
// (signed) or form it is called with, the rest is the stream. Where a writer
// exists, what was read is written, read back and written again: the two
// images must be equal, so nothing a reader accepts is changed or misread by
// a save and reload.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "platform/Streams.h"
#include "runtime1/definitions/Convert_old_record_types.h"
#include "runtime1/definitions/Wdef.h"
#include "runtime1/definitions/Wdef_lists.h"

using namespace qn;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

template <typename Rec>
std::vector<uint8_t> Image(const Rec& rec) {
  std::array<uint8_t, Rec::kStoredSize> out{};
  rec.ToBytes(out);
  return std::vector<uint8_t>(out.begin(), out.end());
}

// The record's own bytes, zero-padded when the input is shorter.
template <typename Rec, size_t N = Rec::kStoredSize>
Rec FromPadded(const uint8_t* data, size_t size) {
  std::array<uint8_t, N> in{};
  std::memcpy(in.data(), data, size < N ? size : N);
  return Rec::FromBytes(in);
}

// Reads a record with reader, then checks that writing it and reading it
// back with reloader (the same reader unless given) gives the same image.
template <typename Rec, typename Reader, typename Reloader>
void ReadAndReload(const uint8_t* data, size_t size, Reader reader, Reloader reloader) {
  platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
  Rec rec;
  const bool ok = reader(stream, rec);
  Check(stream.Position() <= static_cast<int64_t>(size));
  if (!ok) return;
  const std::vector<uint8_t> first = Image(rec);
  platform::TMemoryViewStream again(first.data(), static_cast<int64_t>(first.size()));
  Rec back;
  Check(reloader(again, back));
  Check(again.Position() == static_cast<int64_t>(first.size()));
  Check(Image(back) == first);
}

template <typename Rec, typename Reader>
void ReadAndReload(const uint8_t* data, size_t size, Reader reader) {
  ReadAndReload<Rec>(data, size, reader, reader);
}

void FuzzLanguage(const uint8_t* data, size_t size, int32_t version) {
  const int32_t reload = version == 5 ? 6 : version;
  platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
  fixed_lang_details_rec32 rec;
  if (!Readfixed_lang_details_rec(stream, rec, version)) return;
  Check(rec.cores.text != rec.cores.background);
  const std::vector<uint8_t> first = Image(rec);
  platform::TMemoryViewStream again(first.data(), static_cast<int64_t>(first.size()));
  fixed_lang_details_rec32 back;
  Check(Readfixed_lang_details_rec(again, back, reload));
  Check(Image(back) == first);
}

void FuzzOldLayouts(const uint8_t* data, size_t size) {
  // Each older layout read from the bytes, written, and read again.
  const auto lang = FromPadded<fixed_lang_details_rec_old>(data, size);
  Check(Image(fixed_lang_details_rec_old::FromBytes(
            std::span<const uint8_t, 632>(Image(lang).data(), 632))) == Image(lang));
  const fixed_lang_details_rec32 converted = LangDetNewFromOld(lang);
  Check(converted.allowable_middle_letters[10] == u'\0');
  Check(converted.nome[50] == u'\0');
  Check(converted.is_32_version);
  LangDetNewFrom32Old(FromPadded<fixed_lang_details_rec32old>(data, size));

  const auto v4 = FromPadded<QN4_salientor_settings_type>(data, size);
  const auto from4 = QN_salientor_settings_type32FromV4(v4);
  Check(from4.source_text_filename[260] == u'\0' && from4.links_max_min[max_links] == v4.max_kw_links);
  const auto v5 = FromPadded<QN_salientor_settings_type_old>(data, size);
  Check(QN_salientor_settings_type32FromV5OLd(v5).percent_little_wds_found_in_rc == v5.percent_little_wds_found_in_rc ||
        v5.percent_little_wds_found_in_rc != v5.percent_little_wds_found_in_rc);  // NaN stays NaN

  const auto entry = TMutual_info_Rec32FromOld(FromPadded<TMutualInfo_recOld>(data, size));
  Check(entry.p1 == nullptr && entry.p2 == nullptr);
  const auto settings = FromPadded<TMutual_info_settings32>(data, size);
  const auto old = TMutual_info_settingsOldFrom32(settings);
  const auto round = TMutual_info_settings32FromOld(old);
  Check(round.MI_span == settings.MI_span && round.spare_stop >= 6);

  const auto conc = ConcSettingsFromOld(FromPadded<TConcSettingsRec_old>(data, size));
  Check(conc.spare_characters_for_textonly_display == 80);
  const auto salientor = FromPadded<QN_salientor_settings_type32>(data, size);
  Check(Image(QN_salientor_settings_type32::FromBytes(
            std::span<const uint8_t, 2664>(Image(salientor).data(), 2664))) == Image(salientor));
}

void FuzzSections(const uint8_t* data, size_t size) {
  platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
  TSectionStartsList list;
  const bool ok = list.ReadFromStream(stream);
  Check(list.Count() <= static_cast<int32_t>(size / 8));
  int32_t index = 0;
  list.SectionFromBytePosition(static_cast<int32_t>(size) - 40, static_cast<int32_t>(size) * 7, index);
  Check(index >= 0 && (index < list.Count() || index == 0));
  if (!ok) return;
  platform::TMemoryStream first;
  Check(list.SaveToStream(first));
  first.SetPosition(0);
  TSectionStartsList back;
  Check(back.ReadFromStream(first));
  platform::TMemoryStream second;
  Check(back.SaveToStream(second));
  Check(std::vector<uint8_t>(first.Bytes().begin(), first.Bytes().end()) ==
        std::vector<uint8_t>(second.Bytes().begin(), second.Bytes().end()));
}

void FuzzFonts(const uint8_t* data, size_t size, int32_t version) {
  platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
  TExtraFontList list;
  const bool ok = list.XReadFromStream(stream, version);
  Check(list.Count() <= static_cast<int32_t>(size / 28));
  for (int32_t i = 0; i < list.Count(); ++i) {
    Check(ExtraFontCategoryOf(list.GetAFontFrec(i)) <= efc_unknown);
  }
  list.IndexOfStartAndEnd(0, static_cast<int32_t>(size));
  if (!ok) return;
  platform::TMemoryStream first;
  Check(list.XSaveToStream(first, 20));
  first.SetPosition(0);
  TExtraFontList back;
  Check(back.XReadFromStream(first, 20));
  Check(back.Count() == list.Count() && back.insert_space_between_words == list.insert_space_between_words);
  platform::TMemoryStream second;
  Check(back.XSaveToStream(second, 20));
  Check(std::vector<uint8_t>(first.Bytes().begin(), first.Bytes().end()) ==
        std::vector<uint8_t>(second.Bytes().begin(), second.Bytes().end()));
  back.SortOnStartpoints();
  for (int32_t i = 1; i < back.Count(); ++i) {
    Check(back.GetAFontFrec(i - 1).basics.switch_on_at_char <= back.GetAFontFrec(i).basics.switch_on_at_char);
  }
}

void FuzzStrings(const uint8_t* data, size_t size) {
  platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
  TMyStreamableStringlist list;
  const bool ok = list.ReadFromStream(stream);
  Check(list.Count() <= static_cast<int32_t>(size));
  if (!ok) return;
  platform::TMemoryStream saved;
  Check(list.SaveToStream(saved));
  saved.SetPosition(0);
  TMyStreamableStringlist back;
  Check(back.ReadFromStream(saved));
  Check(back.Count() == list.Count());
  for (int32_t i = 0; i < list.Count(); ++i) Check(back.Get(i) == list.Get(i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  const uint8_t selector = data[0];
  const int32_t version = static_cast<int8_t>(data[1]);
  data += 2;
  size -= 2;
  switch (selector % 12) {
    case 0:
      FuzzLanguage(data, size, version);
      break;
    case 1:
      ReadAndReload<textsett_rec32>(data, size, [version](platform::TStream& s, textsett_rec32& r) {
        return ReadInTextSettings(s, r, version);
      });
      // Saved records are read back through the current layout.
      ReadAndReload<textsett_rec32>(data, size, [](platform::TStream& s, textsett_rec32& r) {
        return ReadInTextSettings(s, r, 18);
      });
      break;
    case 2:
      // A current record is told from an old one by byte 1355, which the
      // current layout leaves to its spare area: saved records are read back
      // through the current layout.
      ReadAndReload<TConcSettingsRec32>(
          data, size,
          [version](platform::TStream& s, TConcSettingsRec32& r) { return ReadInConcSettRec(s, r, version); },
          [](platform::TStream& s, TConcSettingsRec32& r) { return ReadInConcSettRec(s, r, 18); });
      break;
    case 3:
      ReadAndReload<TMutual_info_settings32>(data, size, TMutual_info_settings32FromStream);
      break;
    case 4:
      ReadAndReload<TChosenFile_BaseRec>(data, size, TChosenFileRecFromStream);
      break;
    case 5:
      ReadAndReload<TFileInfoExtraStatsRec>(data, size, ExtraStatsRecFromStream);
      break;
    case 6: {
      platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
      bool ok = false;
      const grid_head_type32 rec = ReadOldGridHeadings(stream, version, ok);
      Check(ok == (size >= (version == 0 ? 40u : 60u)));
      Check(rec.span == span_R51 && rec.hint.empty() && rec.heading.empty());
      break;
    }
    case 7:
      FuzzSections(data, size);
      break;
    case 8:
      FuzzFonts(data, size, version);
      break;
    case 9:
      FuzzStrings(data, size);
      break;
    default:
      FuzzOldLayouts(data, size);
      break;
  }
  return 0;
}
