// Fuzzes the stored records of languages and text dates: arbitrary bytes as
// a language record and its font and colour records, as a stored date value,
// and as texts a user types for a date, with the holder's setters on the
// record read.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "fuzz/driver/FuzzText.h"
#include "runtime1/definitions/JulianDateRoutines.h"
#include "runtime1/definitions/Language_utils.h"
#include "runtime1/definitions/My_lang_rec_holder.h"
#include "runtime1/definitions/Wdef.h"

using namespace qn;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Bytes that a record carries through unchanged: all but the unused ones and
// the Booleans (written back as 0 or 1).
bool KeptByte(size_t at) {
  switch (at) {
    case 0: case 1: case 2: case 3: case 44: case 45: case 534: case 535: case 1038: case 1039:
      return false;
    default:
      return true;
  }
}

void FuzzLanguageRecord(const uint8_t* data) {
  const auto rec = fixed_lang_details_rec32::FromBytes(std::span<const uint8_t, 1040>(data, 1040));
  uint8_t again[1040];
  rec.ToBytes(again);
  for (size_t i = 0; i < 1040; ++i) Check(!KeptByte(i) || again[i] == data[i]);
  Check(again[2] == 1);  // is_32_version: always written, the layout's mark
  auto marked = rec;
  marked.is_32_version = true;
  Check(fixed_lang_details_rec32::FromBytes(again) == marked);

  Check(FixedWideText(rec.nome).size() <= 51);
  Check(FixedWideText(rec.allowable_middle_letters).size() <= 11);
  Check(FixedWideText(rec.new_win_font.fontname).size() <= 101);
  Check(rec.old_win_font.fontname_old.Text().size() <= 32);

  TQNDefinedLanguageHolder holder(rec, 18);
  holder.SetAllowables(FixedWideText(rec.nome));
  holder.SetWinFontName(FixedWideText(rec.nome) + FixedWideText(rec.nome));
  Check(holder.Record().allowable_middle_letters[10] == u'\0');
  Check(holder.Record().new_win_font.fontname[100] == u'\0');
  Check(FixedWideText(holder.Record().allowable_middle_letters).size() <= 10);

  SearchFoundColoursFromNumber(rec.language_number);
  TextColourFromNumber(rec.custom_sort_string_number);
  BiDiModeFromLCID(rec.lcid);
}

void FuzzStoredDate(const uint8_t* data) {
  double julian = 0;
  std::memcpy(&julian, data, sizeof julian);
  const TYearMonthDay ymd = JulianDateToYearMonthDayRemovingConst(julian);
  // 29 February of a year y with y mod 400 = 300 exists only in the offset
  // calendar; old files may hold it, and it reads back as it was written.
  const bool offsetOnlyLeapDay = ymd.month == 2 && ymd.day == 29 && !IsTrueLeapYear(ymd.year);
  if (ymd != AClearYearMonthDayRec() && !offsetOnlyLeapDay) {
    // A value that reads as a date is that date's value, give or take the
    // time of day it carries.
    Check(IsValidTrueDate(ymd));
    const double stored = YearMonthDayToJulianAddingConst(ymd);
    Check(std::fabs(stored - julian) < 1.0);
  }
  for (int basis = 0; basis < kTimeLinePlotbaseCount; ++basis) {
    const auto base = static_cast<TTimeLinePlotbase>(basis);
    Check(!JulianToStringRemovingConst(base, basis % 2 == 0, julian).empty());
  }
  // Two dates of any fields: the period index stays below the count.
  TYearMonthDay a, b;
  std::memcpy(&a, data, sizeof a);
  std::memcpy(&b, data + 4, sizeof b);
  for (int basis = 0; basis < kTimeLinePlotbaseCount; ++basis) {
    const auto base = static_cast<TTimeLinePlotbase>(basis);
    const int32_t index = PeriodNumberFor(a, b, base);
    Check(index >= 0 && index < PeriodsBetween(a, b, base));
    StartOfPeriod(a, base);
    EndOfPeriod(a, base);
    YearMonthDayAsString(a, base);
    AbbreviatedYearMonthDayAsString(a, base);
  }
}

void FuzzTypedDate(const uint8_t* data, size_t size) {
  const std::u16string text = fuzz_support::Utf16Units(data, size);
  const double julian = UserStrDateAndTimeParsed(text);
  Check(IsValidTrueDate(JulianDateToYearMonthDayRemovingConst(julian)));
  const size_t half = text.size() / 2;
  const TYrMmDyHrMn parsed = DatefromUsersString(text.substr(0, half), text.substr(half, half));
  Check(parsed.year >= 0 && parsed.month >= 0 && parsed.month <= 12 && parsed.minute <= 59);
  StringFromTYrMmDyHrMn(parsed, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  if (size >= 1040) FuzzLanguageRecord(data);
  if (size >= 16) FuzzStoredDate(data);
  FuzzTypedDate(data, size);
  return 0;
}
