#include "runtime1/definitions/Locale_utilities.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "platform/Locales.h"

namespace qn {
namespace {

// A locale source with fixed answers, so that results do not depend on the
// platform's locale data.
std::map<std::pair<uint32_t, uint32_t>, std::u16string>& Answers() {
  static std::map<std::pair<uint32_t, uint32_t>, std::u16string> answers;
  return answers;
}

std::u16string FixedLocaleData(uint32_t lcid, uint32_t item) {
  const auto found = Answers().find({lcid, item});
  return found == Answers().end() ? std::u16string() : found->second;
}

class LocaleUtilities : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetLocaleDataProc;
    GetLocaleDataProc = &FixedLocaleData;
    Answers() = {
        {{0x0409, 0x14}, u"$"},   {{0x0C09, 0x14}, u"$"},        {{0x1009, 0x14}, u"$"},
        {{0x0809, 0x14}, u"\u00A3"}, {{0x4009, 0x14}, u"US$"},   {{0x0407, 0x14}, u"\u20AC"},
        {{0x0409, 0x1002}, u"United States"}, {{0x0C09, 0x1002}, u"Australia"},
        {{0x1009, 0x1002}, u"Canada"},        {{0x0809, 0x1002}, u"United Kingdom"},
        {{0x2409, 0x1002}, u"Canada"},
        {{0x0409, 0xB}, u"437"},  {{0x0409, 0x1004}, u"1252"},  {{0x0439, 0x1004}, u"0"},
        {{0x0439, 0xB}, u"x1"},   {{0x0409, 0x2}, u"English (United States)"},
        {{0x0409, 0x1001}, u"English"},
    };
  }
  void TearDown() override { GetLocaleDataProc = saved_; }

 private:
  TGetLocaleFunct saved_ = nullptr;
};

TEST_F(LocaleUtilities, QueriesAskTheirItemsOfTheSource) {
  EXPECT_EQ(CurrencyFromLCID(0x0809), u"\u00A3");
  EXPECT_EQ(CountryFromLCID(0x0C09), u"Australia");
  EXPECT_EQ(LocalLanguageNameFromLCID(0x0409), u"English (United States)");
  EXPECT_EQ(EnglishLanguageNameFromLCID(0x0409), u"English");
  EXPECT_EQ(DOSCodepageFromLCID(0x0409), 437);
  EXPECT_EQ(WindowsCodepageFromLCID(0x0409), 1252);
  EXPECT_EQ(WindowsCodepageFromLCID(0x0439), 0);
  EXPECT_EQ(DOSCodepageFromLCID(0x0439), 0);   // not a number
  EXPECT_EQ(DOSCodepageFromLCID(0x0999), 0);   // no answer
  EXPECT_EQ(CurrencyFromLCID(0x0999), u"");
  GetLocaleDataProc = nullptr;
  EXPECT_EQ(CurrencyFromLCID(0x0409), u"");
}

TEST_F(LocaleUtilities, CurrenciesOfAllVarietiesOfALanguage) {
  // Australia's and Canada's "$" are already contained; so is "$" after "US$".
  EXPECT_EQ(LCIDAllCurrencyString(0x0809, {0x0409, 0x0C09, 0x1009}), u"$");
  EXPECT_EQ(LCIDAllCurrencyString(0x0409, {0x0809, 0x0407, 0x0409, 0x4009}), u"\u00A3,$,US$");
  EXPECT_EQ(LCIDAllCurrencyString(0x0409, {0x4009, 0x0409}), u"US$");
  EXPECT_EQ(LCIDAllCurrencyString(0x0409, {}), u"");
}

TEST_F(LocaleUtilities, SubVarietiesAreSortedCountriesWithTheirLCIDs) {
  const auto list = LCIDSubVarieties(0x0409, {0x1009, 0x0407, 0x0C09, 0x2409, 0x0809});
  ASSERT_EQ(list->Count(), 3);
  EXPECT_FALSE(list->OwnsObjects());
  EXPECT_EQ(list->Get(0), u"Australia");
  EXPECT_EQ(list->Get(1), u"Canada");
  EXPECT_EQ(list->Get(2), u"United Kingdom");
  EXPECT_EQ(platform::IntFromObject(list->GetObject(0)), 0x0C09);
  EXPECT_EQ(platform::IntFromObject(list->GetObject(1)), 0x1009);  // the first Canada wins
  EXPECT_EQ(platform::IntFromObject(list->GetObject(2)), 0x0809);
}

TEST_F(LocaleUtilities, ScriptsOfLanguages) {
  EXPECT_TRUE(LanguageHasCombiningCharacters(0x0439));
  EXPECT_TRUE(LanguageHasCombiningCharacters(0x046A));
  EXPECT_TRUE(LanguageHasCombiningCharacters(0x0401));
  EXPECT_FALSE(LanguageHasCombiningCharacters(0x0409));
  EXPECT_FALSE(LanguageHasCombiningCharacters(0x0070));
  EXPECT_FALSE(LanguageHasCombiningCharacters(0x0400 | 0x3FF));
  EXPECT_FALSE(LanguageRequiresUnicode(0x0419));
  EXPECT_TRUE(LanguageRequiresUnicode(0x0411));
  EXPECT_TRUE(LanguageRequiresUnicode(0x042A));
  EXPECT_TRUE(LanguageRequiresUnicode(0x0804));
  EXPECT_FALSE(LanguageRequiresUnicode(0x0067));
}

TEST_F(LocaleUtilities, LanguageNamesSplitAtTheVariety) {
  EXPECT_EQ(ShortenedSysLanguageName(u"English (United States)"), u"English");
  EXPECT_EQ(SysLanguageVariantName(u"English (United States)"), u"United States");
  EXPECT_EQ(ShortenedSysLanguageName(u"Chinese (Simplified, PRC)"), u"Chinese");
  EXPECT_EQ(SysLanguageVariantName(u"Serbian (Latin (Serbia))"), u"Latin Serbia");
  EXPECT_EQ(ShortenedSysLanguageName(u"Esperanto"), u"Esperanto");
  EXPECT_EQ(SysLanguageVariantName(u"Esperanto"), u"Esperanto");
  EXPECT_EQ(SysLanguageVariantName(u"X(a)"), u"Xa");
  EXPECT_EQ(ShortenedSysLanguageName(u""), u"");
}

TEST(LocaleUtilitiesPlatform, TheInstalledSourceIsThePlatformsLocaleData) {
  EXPECT_EQ(GetLocaleDataProc, &PlatformLocaleData);
  EXPECT_EQ(LocalLanguageNameFromLCID(0x0409), platform::GetLocaleInfo(0x0409, 0x2));
  EXPECT_EQ(ShortenedSysLanguageName(LocalLanguageNameFromLCID(0x0409)), u"English");
  EXPECT_EQ(SysLanguageVariantName(LocalLanguageNameFromLCID(0x0409)), u"United States");
  EXPECT_EQ(WindowsCodepageFromLCID(0x0409), 1252);
}

}  // namespace
}  // namespace qn
