#include "runtime2/printing/Printutilities.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/CodePages.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const auto kOtherUnit = static_cast<TPrint_measurement_units>(7);

TEST(Printutilities, PixelWidthInEveryUnit) {
  struct Case {
    TPrint_measurement_units u;
    int32_t dpi;
    float length;
    int32_t dots;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {pmu_inches, 600, 1.5f, 900},
      {pmu_inches, 300, 0.0025f, 1},  // 0.75 dots
      {pmu_inches, 4, 0.625f, 2},     // 2.5: halves to even
      {pmu_inches, 4, 0.875f, 4},     // 3.5
      {pmu_inches, 600, -0.5f, -300},
      {pmu_centimetres, 254, 1.0f, 100},
      {pmu_centimetres, 600, 2.54f, 600},  // 2.54 cm is exactly an inch
      {pmu_centimetres, 300, 1.0f, 118},   // 118.11
      {pmu_print_dots, 600, 2.5f, 2},
      {pmu_print_dots, 0, 3.5f, 4},
      {pmu_print_dots, 600, -2.5f, -2},
      {pmu_print_dots, 0, 2147483520.0f, 2147483520},  // the largest float below 2^31
      {kOtherUnit, 600, 5.0f, 600},                    // the resolution itself
      // Lengths beyond the integer range are clamped; NaN gives 0.
      {pmu_inches, 600, 1e30f, kMax},
      {pmu_inches, 600, -1e30f, kMin},
      {pmu_print_dots, 0, 2147483648.0f, kMax},
      {pmu_print_dots, 0, inf, kMax},
      {pmu_centimetres, 600, -inf, kMin},
      {pmu_print_dots, 0, std::nanf(""), 0},
      {pmu_inches, 600, std::nanf(""), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PixelWidth(c.u, c.dpi, c.length), c.dots) << int{c.u} << " " << c.dpi << " " << c.length;
  }
}

TEST(Printutilities, MarginValuesAndDefaults) {
  EXPECT_EQ(PrintMarginValue(pmu_centimetres, 600, 1.0f), 2.54f);
  EXPECT_EQ(PrintMarginValue(pmu_print_dots, 600, 0.5f), 300.0f);
  EXPECT_EQ(PrintMarginValue(pmu_print_dots, 96, 1.0f), 96.0f);
  EXPECT_EQ(PrintMarginValue(pmu_inches, 600, 0.75f), 0.75f);
  EXPECT_EQ(PrintMarginValue(kOtherUnit, 600, 0.75f), 0.75f);
  EXPECT_EQ(DefaultMarginForUnits(pmu_centimetres), 2.54f);
  EXPECT_EQ(DefaultMarginForUnits(pmu_inches), 1.0f);
  EXPECT_EQ(DefaultMarginForUnits(pmu_print_dots), 1.0f);
  EXPECT_EQ(DefaultMarginForUnits(kOtherUnit), 1.0f);
  EXPECT_EQ(UnitsToStr(pmu_inches), u"inches");
  EXPECT_EQ(UnitsToStr(pmu_centimetres), u"centimetres");
  EXPECT_EQ(UnitsToStr(pmu_print_dots), u"pixels");
  EXPECT_EQ(UnitsToStr(kOtherUnit), u"");
  EXPECT_EQ(OrientationToStr(portrait), u"portrait");
  EXPECT_EQ(OrientationToStr(landscape), u"landscape");
  EXPECT_EQ(OrientationToStr(static_cast<print_orientation_type>(2)), u"");
}

TEST(Printutilities, UnitsToDefaultFollowTheUsersMeasurementSystem) {
  const uint32_t saved = platform::UserDefaultLCID();
  TQNPrinter_rec rec;
  rec.monochrome = true;
  rec.orientation = landscape;
  platform::SetUserDefaultLCID(0x0409);  // U.S.
  SetPrinterUnitsToDefault(rec);
  EXPECT_EQ(rec.units, pmu_inches);
  EXPECT_EQ(rec.LeftMargin, 1.0f);
  EXPECT_EQ(rec.BottomMargin, 1.0f);
  EXPECT_FALSE(rec.monochrome);
  EXPECT_EQ(rec.orientation, portrait);
  platform::SetUserDefaultLCID(0x0407);  // Germany: metric
  SetPrinterUnitsToDefault(rec);
  EXPECT_EQ(rec.units, pmu_centimetres);
  EXPECT_EQ(rec.TopMargin, 2.54f);
  EXPECT_EQ(rec.RightMargin, 2.54f);
  platform::SetUserDefaultLCID(saved);

  SetMargins(0.5f, 0.25f, 0.75f, 1.0f, pmu_print_dots, rec);
  EXPECT_EQ(rec.units, pmu_print_dots);
  EXPECT_EQ(rec.LeftMargin, 0.5f);
  EXPECT_EQ(rec.TopMargin, 0.25f);
  EXPECT_EQ(rec.RightMargin, 0.75f);
  EXPECT_EQ(rec.BottomMargin, 1.0f);
}

struct Areas {
  TPrintRect dots;
  TPrintRect mm;
  int32_t width;
  int32_t height;
};

void ExpectAreas(const TQNPrinter_rec& rec, const Areas& want) {
  EXPECT_EQ(rec.print_to_area.Left, want.dots.Left);
  EXPECT_EQ(rec.print_to_area.Top, want.dots.Top);
  EXPECT_EQ(rec.print_to_area.Right, want.dots.Right);
  EXPECT_EQ(rec.print_to_area.Bottom, want.dots.Bottom);
  EXPECT_EQ(rec.print_to_area_MM.Left, want.mm.Left);
  EXPECT_EQ(rec.print_to_area_MM.Top, want.mm.Top);
  EXPECT_EQ(rec.print_to_area_MM.Right, want.mm.Right);
  EXPECT_EQ(rec.print_to_area_MM.Bottom, want.mm.Bottom);
  EXPECT_EQ(rec.PrinterPrint_to_Width, want.width);
  EXPECT_EQ(rec.PrinterPrint_to_height, want.height);
}

TEST(Printutilities, AreasFromMarginsInInches) {
  TQNPrinter_rec rec;
  rec.units = pmu_inches;
  rec.DotsPerInch = 600;
  rec.print_area_in_print_dots = {0, 0, 4800, 6600};
  rec.print_area_MM = {5, 5, 205, 292};
  SetPrinterSizesToMargins(1.0f, 0.5f, 0.75f, 1.25f, pmu_inches, rec);
  // Dots: 600, 300, 4800 - 450, 6600 - 750. Millimetres: 25.4 -> 25, 12.7 -> 13,
  // 19.05 -> 19, 31.75 -> 32, offset by the printable area.
  ExpectAreas(rec, {{600, 300, 4350, 5850}, {30, 18, 186, 260}, 3750, 5550});
}

TEST(Printutilities, AreasFromMarginsInCentimetres) {
  TQNPrinter_rec rec;
  rec.units = pmu_centimetres;
  rec.DotsPerInch = 254;  // 100 dots a centimetre
  rec.print_area_in_print_dots = {0, 0, 2000, 2900};
  rec.print_area_MM = {0, 0, 200, 290};
  SetPrinterSizesToMargins(2.5f, 1.0f, 0.25f, 2.0f, pmu_centimetres, rec);
  // The right margin is 2.5 mm, which rounds to 2 (halves to even).
  ExpectAreas(rec, {{250, 100, 1975, 2700}, {25, 10, 198, 270}, 1725, 2600});
}

TEST(Printutilities, AreasFromMarginsInPrinterDots) {
  TQNPrinter_rec rec;
  rec.units = pmu_print_dots;
  rec.DotsPerInch = 600;
  rec.print_area_in_print_dots = {0, 0, 4800, 6600};
  rec.print_area_MM = {0, 0, 203, 279};
  SetPrinterSizesToMargins(60.0f, 30.0f, 90.0f, 150.0f, pmu_print_dots, rec);
  // A dot is 25.4 / 600 mm: 2.54 -> 3, 1.27 -> 1, 3.81 -> 4, 6.35 -> 6.
  ExpectAreas(rec, {{60, 30, 4710, 6450}, {3, 1, 199, 273}, 4650, 6420});
  rec.DotsPerInch = 0;  // resolution unknown: a dot counts as a millimetre
  SetPrinterSizesToMargins(60.0f, 30.0f, 90.0f, 150.0f, pmu_print_dots, rec);
  ExpectAreas(rec, {{60, 30, 4710, 6450}, {60, 30, 113, 129}, 4650, 6420});
}

TEST(Printutilities, AreasUseTheUnitsTheMarginsAreGivenIn) {
  TQNPrinter_rec rec;
  rec.units = pmu_inches;
  rec.DotsPerInch = 600;
  rec.print_area_in_print_dots = {0, 0, 4800, 6600};
  rec.print_area_MM = {0, 0, 203, 279};
  // 2.54 cm margins on a record in inches: one inch each, not 2.54 inches.
  SetPrinterSizesToMargins(2.54f, 2.54f, 2.54f, 2.54f, pmu_centimetres, rec);
  ExpectAreas(rec, {{600, 600, 4200, 6000}, {25, 25, 178, 254}, 3600, 5400});
  // Units outside the enumeration: the record's own.
  SetPrinterSizesToMargins(1.0f, 1.0f, 1.0f, 1.0f, kOtherUnit, rec);
  ExpectAreas(rec, {{600, 600, 4200, 6000}, {25, 25, 178, 254}, 3600, 5400});
  // Huge margins clamp instead of overflowing.
  rec.print_area_in_print_dots = {0, 0, kMin + 10, kMax};
  SetPrinterSizesToMargins(0.0f, -1e9f, 1e9f, -1e9f, pmu_inches, rec);
  EXPECT_EQ(rec.print_to_area.Top, kMin);
  EXPECT_EQ(rec.print_to_area.Right, kMin);
  EXPECT_EQ(rec.print_to_area.Bottom, kMax);
  EXPECT_EQ(rec.PrinterPrint_to_height, kMax);
  EXPECT_EQ(rec.PrinterPrint_to_Width, kMin);
}

TEST(Printutilities, PrintToScreenRatio) {
  TQNPrinter_rec rec;  // fresh: resolutions unknown
  ComputePtoS_and_StoPRatios(rec);
  EXPECT_EQ(rec.PrintToScreenRatio, 0.0f);
  rec.DotsPerInch = 600;
  rec.ScreenPixelsPerPolegada = 96;
  ComputePtoS_and_StoPRatios(rec);
  EXPECT_EQ(rec.PrintToScreenRatio, 6.25f);
  rec.DotsPerInch = 300;
  rec.ScreenPixelsPerPolegada = -96;  // nonsense: the ratio is kept
  ComputePtoS_and_StoPRatios(rec);
  EXPECT_EQ(rec.PrintToScreenRatio, 6.25f);
}

TEST(Printutilities, HeaderFooterAndFlags) {
  TQNPrinter_rec rec;
  const std::u16string hundred(100, u'h');
  SetHeader(hundred, rec);
  EXPECT_EQ(FixedWideText(rec.Header), hundred.substr(0, 80));
  EXPECT_EQ(rec.Header[80], u'\0');
  SetHeader(u"", rec);
  EXPECT_EQ(FixedWideText(rec.Header), u"");
  SetFooter(hundred, rec);
  SetFooter(u"Page", rec);  // the rest of the old text is cleared
  EXPECT_EQ(FixedWideText(rec.Footer), u"Page");
  EXPECT_EQ(rec.Footer[79], u'\0');
  SetHeaderWanted(true, rec);
  SetFooterWanted(true, rec);
  SetOrientation(landscape, rec);
  EXPECT_TRUE(rec.HeaderWanted);
  EXPECT_TRUE(rec.FooterWanted);
  EXPECT_EQ(rec.orientation, landscape);
}

TEST(Printutilities, DateInHeaders) {
  const platform::TDateTime day = platform::EncodeDate(2024, 3, 5);
  const std::u16string date = u"05 " + UserDefaultFormatSettings.ShortMonthNames[2] + u" 2024";
  EXPECT_EQ(FormattedWithDateStr(u"Printed <date> and <date>", day), u"Printed " + date + u" and <date>");
  EXPECT_EQ(FormattedWithDateStr(u"<DATE> <Date>", day), u"<DATE> <Date>");
  EXPECT_EQ(FormattedWithDateStr(u"no mark", day), u"no mark");
  EXPECT_EQ(FormattedWithDateStr(u"<date>", day), date);
  // Today's date has the same shape: two digits, a month name, four digits.
  const std::u16string today = FormattedWithDateStr(u"<date>");
  ASSERT_GE(today.size(), 9u);
  const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  EXPECT_TRUE(digit(today[0]) && digit(today[1]) && today[2] == u' ') << std::string(today.begin(), today.end());
  for (size_t i = today.size() - 4; i < today.size(); ++i) EXPECT_TRUE(digit(today[i]));
}

TEST(Printutilities, InvertTheRect) {
  TPrintRect r{10, 20, 110, 70};
  InvertTheRect(r);
  EXPECT_EQ(r.Left, 10);
  EXPECT_EQ(r.Top, 20);
  EXPECT_EQ(r.Right, 60);
  EXPECT_EQ(r.Bottom, 120);
  TPrintRect tall{kMax - 5, -10, kMax, kMax};  // the new right edge is beyond the range
  InvertTheRect(tall);
  EXPECT_EQ(tall.Right, kMax);
  EXPECT_EQ(tall.Bottom, -5);
}

// The tools call the printing helpers in the second runtime package by name.
TEST(Printutilities, RuntimePackageExportsThem) {
  void* pack = dlopen(QN_PACK2_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pack, nullptr) << dlerror();
  using PixelWidthFn = int32_t (*)(TPrint_measurement_units, int32_t, float);
  auto pixelWidth = reinterpret_cast<PixelWidthFn>(dlsym(pack, "_ZN2qn10PixelWidthENS_24TPrint_measurement_unitsEif"));
  ASSERT_NE(pixelWidth, nullptr);
  EXPECT_EQ(pixelWidth(pmu_centimetres, 254, 1.0f), 100);
  for (const char* name : {
           "_ZN2qn16OrientationToStrB5cxx11ENS_22print_orientation_typeE",
           "_ZN2qn10UnitsToStrB5cxx11ENS_24TPrint_measurement_unitsE",
           "_ZN2qn21DefaultMarginForUnitsENS_24TPrint_measurement_unitsE",
           "_ZN2qn16PrintMarginValueENS_24TPrint_measurement_unitsEif",
           "_ZN2qn24SetPrinterUnitsToDefaultERNS_14TQNPrinter_recE",
           "_ZN2qn10SetMarginsEffffNS_24TPrint_measurement_unitsERNS_14TQNPrinter_recE",
           "_ZN2qn24SetPrinterSizesToMarginsEffffNS_24TPrint_measurement_unitsERNS_14TQNPrinter_recE",
           "_ZN2qn26ComputePtoS_and_StoPRatiosERNS_14TQNPrinter_recE",
           "_ZN2qn14SetOrientationENS_22print_orientation_typeERNS_14TQNPrinter_recE",
           "_ZN2qn15SetHeaderWantedEbRNS_14TQNPrinter_recE",
           "_ZN2qn15SetFooterWantedEbRNS_14TQNPrinter_recE",
           "_ZN2qn9SetHeaderESt17basic_string_viewIDsSt11char_traitsIDsEERNS_14TQNPrinter_recE",
           "_ZN2qn9SetFooterESt17basic_string_viewIDsSt11char_traitsIDsEERNS_14TQNPrinter_recE",
           "_ZN2qn20FormattedWithDateStrB5cxx11ESt17basic_string_viewIDsSt11char_traitsIDsEE",
           "_ZN2qn13InvertTheRectERNS_13TWorkAreaRectE",
           "_ZN2qn11_QNPortraitB5cxx11E",
           "_ZN2qn9_QNPixelsB5cxx11E",
           "_ZN2qn33LegalXMLElementTypeNamefromStringB5cxx11ESt17basic_string_viewIDsSt11char_traitsIDsEE",
           "_ZN2qn14NameFromNumberB5cxx11EiSt17basic_string_viewIDsSt11char_traitsIDsEE",
       }) {
    EXPECT_NE(dlsym(pack, name), nullptr) << name;
  }
  dlclose(pack);
}

}  // namespace
}  // namespace qn
