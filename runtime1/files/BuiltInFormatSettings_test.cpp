#include "runtime1/files/BuiltInFormatSettings.h"

#include <gtest/gtest.h>
#include <unicode/putil.h>

#include <cstdlib>
#include <string>

#include "platform/CodePages.h"
#include "runtime1/files/Wingenok.h"

namespace qn {
namespace {

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

void ExpectSameSettings(const platform::TFormatSettings& a, const platform::TFormatSettings& b) {
  EXPECT_EQ(a.DecimalSeparator, b.DecimalSeparator);
  EXPECT_EQ(a.ThousandSeparator, b.ThousandSeparator);
  EXPECT_EQ(a.DateSeparator, b.DateSeparator);
  EXPECT_EQ(a.TimeSeparator, b.TimeSeparator);
  EXPECT_TRUE(a.ShortDateFormat == b.ShortDateFormat) << Narrow(a.ShortDateFormat) << " / " << Narrow(b.ShortDateFormat);
  EXPECT_TRUE(a.LongDateFormat == b.LongDateFormat) << Narrow(a.LongDateFormat) << " / " << Narrow(b.LongDateFormat);
  EXPECT_TRUE(a.ShortTimeFormat == b.ShortTimeFormat) << Narrow(a.ShortTimeFormat) << " / " << Narrow(b.ShortTimeFormat);
  EXPECT_TRUE(a.LongTimeFormat == b.LongTimeFormat) << Narrow(a.LongTimeFormat) << " / " << Narrow(b.LongTimeFormat);
  EXPECT_TRUE(a.TimeAMString == b.TimeAMString);
  EXPECT_TRUE(a.TimePMString == b.TimePMString);
  EXPECT_TRUE(a.CurrencyString == b.CurrencyString);
  EXPECT_EQ(a.CurrencyFormat, b.CurrencyFormat);
  EXPECT_EQ(a.NegCurrFormat, b.NegCurrFormat);
  EXPECT_EQ(a.CurrencyDecimals, b.CurrencyDecimals);
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_TRUE(a.ShortMonthNames[i] == b.ShortMonthNames[i]) << "month " << i;
    EXPECT_TRUE(a.LongMonthNames[i] == b.LongMonthNames[i]) << "month " << i;
  }
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_TRUE(a.ShortDayNames[i] == b.ShortDayNames[i]) << "day " << i;
    EXPECT_TRUE(a.LongDayNames[i] == b.LongDayNames[i]) << "day " << i;
  }
  EXPECT_EQ(a.TwoDigitYearCenturyWindow, b.TwoDigitYearCenturyWindow);
}

// The settings built in when the libraries were built must be what the ICU the
// tests run on gives for en-US, field by field.
TEST(BuiltInFormatSettings, AreWhatIcuGivesForEnglishUS) {
  if (std::getenv("ICU_DATA") != nullptr) GTEST_SKIP() << "ICU reads its data from ICU_DATA";
  platform::TFormatSettings built;
  ASSERT_TRUE(BuiltInFormatSettings(0x0409, built));
  ExpectSameSettings(built, platform::TFormatSettings::ForLocale(0x0409));
  EXPECT_EQ(Narrow(built.ShortDateFormat), "M/d/yyyy");
  EXPECT_EQ(Narrow(built.LongMonthNames[0]), "January");
}

// Any other locale is worked out from ICU as before: the built-in settings
// leave what they are given as it was.
TEST(BuiltInFormatSettings, OnlyForTheLocaleTheyWereMadeFor) {
  platform::TFormatSettings settings = platform::TFormatSettings::Invariant();
  EXPECT_FALSE(BuiltInFormatSettings(0x0407, settings));
  EXPECT_FALSE(BuiltInFormatSettings(0x0809, settings));
  ExpectSameSettings(settings, platform::TFormatSettings::Invariant());
}

// Once ICU is told to read its data from a folder, the built-in settings are
// not what it would give: the settings are worked out from ICU.
TEST(BuiltInFormatSettings, NotWhenIcuReadsItsDataFromAFolder) {
  const std::string saved = u_getDataDirectory();
  u_setDataDirectory("/nonexistent/quillon-icu-data");
  platform::TFormatSettings settings = platform::TFormatSettings::Invariant();
  const bool built = BuiltInFormatSettings(0x0409, settings);
  u_setDataDirectory(saved.c_str());
  EXPECT_FALSE(built);
  ExpectSameSettings(settings, platform::TFormatSettings::Invariant());
}

// What the library filled in when it loaded is the user's default locale's
// settings, as the platform works them out.
TEST(BuiltInFormatSettings, LoadTimeSettingsAreTheUsersDefaults) {
  ASSERT_EQ(platform::UserDefaultLCID(), 0x0409u);
  ExpectSameSettings(UserDefaultFormatSettings, platform::UserFormatSettings());
}

}  // namespace
}  // namespace qn
