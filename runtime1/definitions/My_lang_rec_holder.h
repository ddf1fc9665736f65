// Small objects around language records: a language record with the version
// of the file it came from, a language's name and locale for lists of
// languages, and the string list of all language names that owns them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/Object.h"
#include "platform/StringList.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {

// One language record and the version number of the file it was read from.
// Each setter changes one field and reports success.
class QN_API TQNDefinedLanguageHolder : public platform::TObject {
 public:
  TQNDefinedLanguageHolder(const fixed_lang_details_rec32& record, int32_t aVersionNumber);
  ~TQNDefinedLanguageHolder() override;

  const fixed_lang_details_rec32& Record() const noexcept { return fRecord; }
  int32_t VersionNumber() const noexcept { return fVersionNumber; }

  // The first 10 characters of text; the rest of the array is cleared.
  bool SetAllowables(std::u16string_view text) noexcept;
  // The first 100 characters of text as new_win_font's name; the rest cleared.
  bool SetWinFontName(std::u16string_view text) noexcept;
  bool SetWinFontSize(uint8_t size) noexcept;
  bool SetCustomLanguage(bool flag) noexcept;
  bool SetPreference(Tlang_preference_type preference) noexcept;
  bool SetHyphenBreaks(bool flag) noexcept;

 private:
  fixed_lang_details_rec32 fRecord;
  int32_t fVersionNumber;
};

// A language as lists of languages show it.
struct TMyLangRec {
  std::u16string LangName;
  uint32_t FLCID = 0;
  bool IsInstalled = false;
  friend bool operator==(const TMyLangRec&, const TMyLangRec&) = default;
};

class QN_API TMyLangRecHolder : public platform::TObject {
 public:
  explicit TMyLangRecHolder(const TMyLangRec& record);
  ~TMyLangRecHolder() override;

  TMyLangRec rec;
};

// Language names, unsorted, each with an attached object that the list owns
// and destroys with the entry or with the list.
class QN_API TListOfAllNamesStringlist : public platform::TStringList {
 public:
  TListOfAllNamesStringlist();
  ~TListOfAllNamesStringlist() override;
};

}  // namespace qn
