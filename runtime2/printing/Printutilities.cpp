#include "runtime2/printing/Printutilities.h"

#include <cmath>
#include <limits>

#include "platform/CodePages.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {

std::u16string _QNPortrait = u"portrait";
std::u16string _QNLandscape = u"landscape";
std::u16string _QNInches = u"inches";
std::u16string _QNCentimetres = u"centimetres";
std::u16string _QNPixels = u"pixels";

namespace {

constexpr std::u16string_view kDateMark = u"<date>";
constexpr std::u16string_view kHeaderDateFormat = u"dd mmm yyyy";

bool IsValidUnit(TPrint_measurement_units u) noexcept { return u <= pmu_print_dots; }

// x rounded to the nearest integer, halves to even, clamped to the 32-bit
// range; NaN gives 0.
int32_t RoundedToInt32(double x) noexcept {
  if (std::isnan(x)) return 0;
  const double r = std::nearbyint(x);
  if (r >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (r <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

int32_t ClampedToInt32(int64_t x) noexcept {
  if (x > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (x < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

}  // namespace

std::u16string OrientationToStr(print_orientation_type o) {
  switch (o) {
    case portrait:
      return _QNPortrait;
    case landscape:
      return _QNLandscape;
  }
  return {};
}

std::u16string UnitsToStr(TPrint_measurement_units u) {
  switch (u) {
    case pmu_inches:
      return _QNInches;
    case pmu_centimetres:
      return _QNCentimetres;
    case pmu_print_dots:
      return _QNPixels;
  }
  return {};
}

float DefaultMarginForUnits(TPrint_measurement_units u) noexcept { return u == pmu_centimetres ? inch_to_cm : 1.0f; }

float PrintMarginValue(TPrint_measurement_units u, int32_t dots_per_inch, float inches) noexcept {
  switch (u) {
    case pmu_centimetres:
      return inches * inch_to_cm;
    case pmu_print_dots:
      return static_cast<float>(static_cast<double>(inches) * dots_per_inch);
    default:
      return inches;
  }
}

int32_t PixelWidth(TPrint_measurement_units u, int32_t dots_per_inch, float length) noexcept {
  switch (u) {
    case pmu_inches:
      return RoundedToInt32(static_cast<double>(length) * dots_per_inch);
    case pmu_centimetres:
      return RoundedToInt32(static_cast<double>(length) * dots_per_inch / static_cast<double>(inch_to_cm));
    case pmu_print_dots:
      return RoundedToInt32(length);
    default:
      return dots_per_inch;
  }
}

void SetPrinterUnitsToDefault(TQNPrinter_rec& rec) {
  rec.units = UserDefaultMeasurements(platform::UserDefaultLCID()) ? pmu_centimetres : pmu_inches;
  const float margin = DefaultMarginForUnits(rec.units);
  rec.LeftMargin = margin;
  rec.RightMargin = margin;
  rec.TopMargin = margin;
  rec.BottomMargin = margin;
  rec.monochrome = false;
  rec.orientation = portrait;
}

void SetMargins(float left, float top, float right, float bottom, TPrint_measurement_units u,
                TQNPrinter_rec& rec) noexcept {
  rec.units = u;
  rec.LeftMargin = left;
  rec.TopMargin = top;
  rec.RightMargin = right;
  rec.BottomMargin = bottom;
}

void SetPrinterSizesToMargins(float left, float top, float right, float bottom, TPrint_measurement_units u,
                              TQNPrinter_rec& rec) noexcept {
  const TPrint_measurement_units units = IsValidUnit(u) ? u : rec.units;
  double dotsFactor = 1.0;
  double mmFactor = 1.0;
  switch (units) {
    case pmu_inches:
      dotsFactor = rec.DotsPerInch;
      mmFactor = static_cast<double>(inch_to_mm);
      break;
    case pmu_centimetres:
      dotsFactor = rec.DotsPerInch / static_cast<double>(inch_to_cm);
      mmFactor = 10.0;
      break;
    default:
      // Margins already in printer dots: one dot is 25.4 / DotsPerInch mm.
      if (rec.DotsPerInch > 0) mmFactor = static_cast<double>(inch_to_mm) / rec.DotsPerInch;
      break;
  }
  const auto dots = [dotsFactor](float margin) { return RoundedToInt32(margin * dotsFactor); };
  const auto mm = [mmFactor](float margin) { return RoundedToInt32(margin * mmFactor); };
  const auto minus = [](int32_t a, int32_t b) { return ClampedToInt32(int64_t{a} - b); };
  const auto plus = [](int32_t a, int32_t b) { return ClampedToInt32(int64_t{a} + b); };

  rec.print_to_area.Left = dots(left);
  rec.print_to_area.Top = dots(top);
  rec.print_to_area.Right = minus(rec.print_area_in_print_dots.Right, dots(right));
  rec.print_to_area.Bottom = minus(rec.print_area_in_print_dots.Bottom, dots(bottom));

  rec.print_to_area_MM.Left = plus(rec.print_area_MM.Left, mm(left));
  rec.print_to_area_MM.Top = plus(rec.print_area_MM.Top, mm(top));
  rec.print_to_area_MM.Right = minus(rec.print_area_MM.Right, mm(right));
  rec.print_to_area_MM.Bottom = minus(rec.print_area_MM.Bottom, mm(bottom));

  rec.PrinterPrint_to_height = minus(rec.print_to_area.Bottom, rec.print_to_area.Top);
  rec.PrinterPrint_to_Width = minus(rec.print_to_area.Right, rec.print_to_area.Left);
}

void ComputePtoS_and_StoPRatios(TQNPrinter_rec& rec) noexcept {
  if (rec.ScreenPixelsPerPolegada <= 0) return;
  rec.PrintToScreenRatio = static_cast<float>(static_cast<double>(rec.DotsPerInch) / rec.ScreenPixelsPerPolegada);
}

void SetOrientation(print_orientation_type o, TQNPrinter_rec& rec) noexcept { rec.orientation = o; }

void SetHeaderWanted(bool b, TQNPrinter_rec& rec) noexcept { rec.HeaderWanted = b; }

void SetFooterWanted(bool b, TQNPrinter_rec& rec) noexcept { rec.FooterWanted = b; }

void SetHeader(std::u16string_view text, TQNPrinter_rec& rec) noexcept { SetFixedWideText(rec.Header, text); }

void SetFooter(std::u16string_view text, TQNPrinter_rec& rec) noexcept { SetFixedWideText(rec.Footer, text); }

std::u16string FormattedWithDateStr(std::u16string_view s, platform::TDateTime day) {
  std::u16string result(s);
  const size_t at = result.find(kDateMark);
  if (at == std::u16string::npos) return result;
  result.replace(at, kDateMark.size(), platform::FormatDateTime(kHeaderDateFormat, day, UserDefaultFormatSettings));
  return result;
}

std::u16string FormattedWithDateStr(std::u16string_view s) { return FormattedWithDateStr(s, platform::Date()); }

void InvertTheRect(TPrintRect& r) noexcept {
  const int64_t width = int64_t{r.Right} - r.Left;
  const int64_t height = int64_t{r.Bottom} - r.Top;
  r.Right = ClampedToInt32(r.Left + height);
  r.Bottom = ClampedToInt32(r.Top + width);
}

}  // namespace qn
