// The printer record a tool fills before printing a list, with its margins,
// units, page areas and header and footer lines, and the arithmetic between
// inches, centimetres and printer dots. How the printer's name, resolution,
// paper and printable area are obtained is the tool's business; these helpers
// only compute with the record's fields. The record belongs to the caller.
//
// Rounding to whole dots or millimetres is to the nearest integer, halves to
// even. Results that would not fit a signed 32-bit integer are clamped to its
// range, and a length that is not a number gives 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Callbacks.h"
#include "platform/DateTime.h"
#include "platform/Export.h"
#include "platform/Object.h"
#include "runtime1/files/Wingenok.h"

namespace qn {

enum print_orientation_type : uint8_t { portrait, landscape };

// A header or footer line: at most 80 UTF-16 code units and a zero.
using eightywidechar = std::array<char16_t, 81>;

// A rectangle of signed 32-bit edges (the same record as the screen's work area).
using TPrintRect = TWorkAreaRect;

// Paper size in millimetres.
struct papersize_rec {
  int32_t MMwidth = 0;
  int32_t MMheight = 0;
  friend constexpr bool operator==(const papersize_rec&, const papersize_rec&) = default;
};

struct TQNPrinter_rec {
  std::array<char16_t, 80> nome{};    // printer name, zero-terminated within
  std::array<char16_t, 80> driver{};  // printer driver name
  std::array<char16_t, 80> port{};    // printer port
  int32_t PrinterPrint_to_Width = 0;  // the area printed into, in printer dots
  int32_t PrinterPrint_to_height = 0;
  int32_t ScreenPixelsPerPolegada = 0;  // screen pixels per inch
  int32_t DotsPerInch = 0;              // printer dots per inch
  TPrintRect print_area_MM;             // the printable area of the page, in millimetres
  TPrintRect print_to_area_MM;          // the printable area less the margins, in millimetres
  TPrintRect print_to_area;             // the same in printer dots (left and top from 0)
  TPrintRect print_area_in_print_dots;  // the printable area, in printer dots
  papersize_rec current_papersize;
  float PrintToScreenRatio = 0.0f;  // printer dots per screen pixel
  bool HeaderWanted = false;
  bool FooterWanted = false;
  eightywidechar Header{};  // may hold "<date>" (FormattedWithDateStr)
  eightywidechar Footer{};
  float LeftMargin = 0.0f;  // margins in units
  float RightMargin = 0.0f;
  float TopMargin = 0.0f;
  float BottomMargin = 0.0f;
  TPrint_measurement_units units = pmu_inches;
  bool monochrome = false;
  print_orientation_type orientation = portrait;
};
using PQNPrinter_rec = TQNPrinter_rec*;

// Called with the sender and the changed record when printer settings change.
using TPrinterInfoChangeEvent = platform::TMethod<void(platform::TObject* Sender, TQNPrinter_rec& rec)>;

// Localizable texts.
extern QN_API std::u16string _QNPortrait;     // "portrait"
extern QN_API std::u16string _QNLandscape;    // "landscape"
extern QN_API std::u16string _QNInches;       // "inches"
extern QN_API std::u16string _QNCentimetres;  // "centimetres"
extern QN_API std::u16string _QNPixels;       // "pixels"

// The texts above; empty for a value outside the enumeration.
QN_API std::u16string OrientationToStr(print_orientation_type o);
QN_API std::u16string UnitsToStr(TPrint_measurement_units u);

// The default margin: 2.54 in centimetres, otherwise 1.0 (an inch, or one dot).
QN_API float DefaultMarginForUnits(TPrint_measurement_units u) noexcept;
// A length in inches expressed in u: x 2.54 for centimetres, x dots_per_inch
// for printer dots, unchanged for inches (and any other value).
QN_API float PrintMarginValue(TPrint_measurement_units u, int32_t dots_per_inch, float inches) noexcept;
// A length in u as whole printer dots: x dots_per_inch for inches,
// x dots_per_inch / 2.54 for centimetres, the length itself for printer dots;
// any other u gives dots_per_inch unchanged.
QN_API int32_t PixelWidth(TPrint_measurement_units u, int32_t dots_per_inch, float length) noexcept;

// Units from the user's measurement system (centimetres for metric, inches for
// the U.S. system), the default margins for them, colour, portrait.
QN_API void SetPrinterUnitsToDefault(TQNPrinter_rec& rec);
// units := u and the four margins.
QN_API void SetMargins(float left, float top, float right, float bottom, TPrint_measurement_units u,
                       TQNPrinter_rec& rec) noexcept;
// The areas printed into, in printer dots and in millimetres, from the
// printable areas and four margins given in u (the record's own units when u is
// outside the enumeration), and the width and height printed into. The left
// and top edges in printer dots count from 0, not from the printable area,
// while the millimetre edges are offset by print_area_MM.
QN_API void SetPrinterSizesToMargins(float left, float top, float right, float bottom, TPrint_measurement_units u,
                                     TQNPrinter_rec& rec) noexcept;
// PrintToScreenRatio := DotsPerInch / ScreenPixelsPerPolegada; unchanged while
// the screen resolution is not known (not positive).
QN_API void ComputePtoS_and_StoPRatios(TQNPrinter_rec& rec) noexcept;

QN_API void SetOrientation(print_orientation_type o, TQNPrinter_rec& rec) noexcept;
QN_API void SetHeaderWanted(bool b, TQNPrinter_rec& rec) noexcept;
QN_API void SetFooterWanted(bool b, TQNPrinter_rec& rec) noexcept;
// The line emptied, then the first 80 code units of text.
QN_API void SetHeader(std::u16string_view text, TQNPrinter_rec& rec) noexcept;
QN_API void SetFooter(std::u16string_view text, TQNPrinter_rec& rec) noexcept;

// s with its first "<date>" (exactly so written) replaced by today's date as
// "dd mmm yyyy" in the user's format settings (the abbreviated month name);
// s unchanged without one. The second form dates it with the given day.
QN_API std::u16string FormattedWithDateStr(std::u16string_view s);
QN_API std::u16string FormattedWithDateStr(std::u16string_view s, platform::TDateTime day);

// Turns a rectangle through a right angle about its top-left corner: width
// and height exchanged.
QN_API void InvertTheRect(TPrintRect& r) noexcept;

}  // namespace qn
