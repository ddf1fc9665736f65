#include "runtime1/definitions/My_lang_rec_holder.h"

namespace qn {

TQNDefinedLanguageHolder::TQNDefinedLanguageHolder(const fixed_lang_details_rec32& record, int32_t aVersionNumber)
    : fRecord(record), fVersionNumber(aVersionNumber) {}

TQNDefinedLanguageHolder::~TQNDefinedLanguageHolder() = default;

bool TQNDefinedLanguageHolder::SetAllowables(std::u16string_view text) noexcept {
  SetFixedWideText(fRecord.allowable_middle_letters, text);
  return true;
}

bool TQNDefinedLanguageHolder::SetWinFontName(std::u16string_view text) noexcept {
  SetFixedWideText(fRecord.new_win_font.fontname, text);
  return true;
}

bool TQNDefinedLanguageHolder::SetWinFontSize(uint8_t size) noexcept {
  fRecord.new_win_font.fontsize = size;
  return true;
}

bool TQNDefinedLanguageHolder::SetCustomLanguage(bool flag) noexcept {
  fRecord.custom_language = flag;
  return true;
}

bool TQNDefinedLanguageHolder::SetPreference(Tlang_preference_type preference) noexcept {
  fRecord.preference = preference;
  return true;
}

bool TQNDefinedLanguageHolder::SetHyphenBreaks(bool flag) noexcept {
  fRecord.hyphen_breaks_word = flag;
  return true;
}

TMyLangRecHolder::TMyLangRecHolder(const TMyLangRec& record) : rec(record) {}

TMyLangRecHolder::~TMyLangRecHolder() = default;

TListOfAllNamesStringlist::TListOfAllNamesStringlist() : platform::TStringList(true) {}

TListOfAllNamesStringlist::~TListOfAllNamesStringlist() = default;

}  // namespace qn
