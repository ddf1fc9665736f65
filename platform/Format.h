// Format patterns, number conversions and the locale's number and date formats.
//
// Format(pattern, args...) fills the placeholders of a message or number
// pattern, as the system's messages and number displays use them:
//
//   %[index:][-][width][.precision]type
//
//   d  integer, at least precision digits        u  unsigned integer
//   x  hexadecimal (upper case), at least precision digits; a negative 32-bit
//      argument shows its 32-bit pattern, a 64-bit one its 64-bit pattern
//   f  fixed, precision decimals (2 by default)  n  as f with thousand separators
//   e  scientific, precision significant digits (15 by default), exponent
//      with sign and at least 3 digits ("1.50000000000000E+003")
//   g  the shorter of fixed and scientific, precision significant digits (15)
//   m  money: as n with the locale's currency symbol and decimals
//   s  text (precision: at most that many characters)
//   p  pointer, 8 or 16 hexadecimal digits     %% a percent sign
//
// "." without digits is precision 0 ("%0.n" and "%.0n" both give whole numbers
// with thousand separators). Width pads with blanks on the left, or on the
// right after "-"; "*" takes width or precision from the next argument; an
// index "n:" takes argument n and continues from there. Floating types accept
// integer arguments (64-bit integers formatted with n or f and precision 0 keep
// every digit). Decimal and thousand separators come from the format settings
// (the user's locale unless given). Rounding is to the nearest decimal of the
// exact binary value, a value exactly halfway rounding away from zero (0.125
// with two decimals gives 0.13; 2.675, stored as 2.67499..., gives 2.67).
//
// A placeholder that does not match its argument, a missing argument or a
// malformed placeholder raises EConvertError ("Format '%s' invalid or
// incompatible with argument").
//
// Formats are UTF-16; the overloads on std::string_view take and give UTF-8
// (for exception messages and logs).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/Export.h"

namespace qn::platform {

// Number, date and time conventions of a locale. Date and time formats use
// the pattern letters of FormatDateTime (DateTime.h).
struct QN_API TFormatSettings {
  char16_t DecimalSeparator = u'.';
  char16_t ThousandSeparator = u',';
  char16_t DateSeparator = u'/';
  char16_t TimeSeparator = u':';
  std::u16string ShortDateFormat = u"M/d/yyyy";
  std::u16string LongDateFormat = u"dddd, MMMM d, yyyy";
  std::u16string ShortTimeFormat = u"h:mm AMPM";
  std::u16string LongTimeFormat = u"h:mm:ss AMPM";
  std::u16string TimeAMString = u"AM";
  std::u16string TimePMString = u"PM";
  std::u16string CurrencyString = u"$";
  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t CurrencyFormat = 0;
  // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-",
  // 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)", 15 "(1 $)"
  uint8_t NegCurrFormat = 1;
  uint8_t CurrencyDecimals = 2;
  // Twelve month names, January first; seven day names, Sunday first.
  std::array<std::u16string, 12> ShortMonthNames;
  std::array<std::u16string, 12> LongMonthNames;
  std::array<std::u16string, 7> ShortDayNames;
  std::array<std::u16string, 7> LongDayNames;
  // Two-digit years read by StrToDate are placed in the century window that
  // ends this many years after the current year.
  int32_t TwoDigitYearCenturyWindow = 50;

  // The conventions of a locale (Windows locale identifier), read from the
  // locale data; a locale without data gives those of en-US.
  static TFormatSettings ForLocale(uint32_t lcid);
  // Fixed conventions for stored and exchanged text: '.' decimals, ',' thousands,
  // "yyyy-mm-dd" and "hh:nn:ss", English names.
  static TFormatSettings Invariant();
};

// The conventions of the user's default locale (en-US by default). Read once
// and kept; read again when the user's default locale changes.
QN_API const TFormatSettings& UserFormatSettings();

// One argument of Format: an integer (with the width it came from), a floating
// value, a text or a pointer. Built implicitly from the ordinary types.
class QN_API TFormatArg {
 public:
  enum class Kind : uint8_t { Int32, Int64, UInt64, Float, Text16, Text8, Char16, Pointer };

  TFormatArg(int32_t v) noexcept : fKind(Kind::Int32) { fInt = v; }
  TFormatArg(int64_t v) noexcept : fKind(Kind::Int64) { fInt = v; }
  TFormatArg(uint32_t v) noexcept : fKind(Kind::Int64) { fInt = v; }
  TFormatArg(uint64_t v) noexcept : fKind(Kind::UInt64) { fUInt = v; }
  TFormatArg(long long v) noexcept : fKind(Kind::Int64) { fInt = v; }
  TFormatArg(unsigned long long v) noexcept : fKind(Kind::UInt64) { fUInt = v; }
  TFormatArg(int16_t v) noexcept : fKind(Kind::Int32) { fInt = v; }
  TFormatArg(uint16_t v) noexcept : fKind(Kind::Int32) { fInt = v; }
  TFormatArg(int8_t v) noexcept : fKind(Kind::Int32) { fInt = v; }
  TFormatArg(uint8_t v) noexcept : fKind(Kind::Int32) { fInt = v; }
  TFormatArg(bool v) noexcept : fKind(Kind::Int32) { fInt = v ? 1 : 0; }
  TFormatArg(double v) noexcept : fKind(Kind::Float) { fFloat = v; }
  TFormatArg(float v) noexcept : fKind(Kind::Float) { fFloat = v; }
  TFormatArg(char16_t v) noexcept : fKind(Kind::Char16) { fChar = v; }
  // A single 8-bit character is taken as Latin-1 (it shows as itself with %s).
  TFormatArg(char v) noexcept : fKind(Kind::Char16) { fChar = static_cast<unsigned char>(v); }
  TFormatArg(std::u16string_view v) noexcept : fKind(Kind::Text16), fText16(v) {}
  TFormatArg(const std::u16string& v) noexcept : fKind(Kind::Text16), fText16(v) {}
  TFormatArg(const char16_t* v) noexcept : fKind(Kind::Text16), fText16(v ? v : u"") {}
  // 8-bit texts are taken as UTF-8.
  TFormatArg(std::string_view v) noexcept : fKind(Kind::Text8), fText8(v) {}
  TFormatArg(const std::string& v) noexcept : fKind(Kind::Text8), fText8(v) {}
  TFormatArg(const char* v) noexcept : fKind(Kind::Text8), fText8(v ? v : "") {}
  TFormatArg(const void* v) noexcept : fKind(Kind::Pointer) { fPointer = v; }
  // long and unsigned long are 64-bit here; their widths follow their type.
  template <typename T>
    requires(std::is_same_v<T, long> || std::is_same_v<T, unsigned long>)
  TFormatArg(T v) noexcept
      : TFormatArg(static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(v)) {}

  Kind kind() const noexcept { return fKind; }
  int64_t AsInt() const noexcept { return fInt; }
  uint64_t AsUInt() const noexcept { return fUInt; }
  double AsFloat() const noexcept { return fFloat; }
  char16_t AsChar() const noexcept { return fChar; }
  const void* AsPointer() const noexcept { return fPointer; }
  std::u16string_view AsText16() const noexcept { return fText16; }
  std::string_view AsText8() const noexcept { return fText8; }

 private:
  Kind fKind;
  union {
    int64_t fInt;
    uint64_t fUInt;
    double fFloat;
    char16_t fChar;
    const void* fPointer;
  };
  std::u16string_view fText16;
  std::string_view fText8;
};

// The pattern filled with args, under settings.
QN_API std::u16string FormatArgs(std::u16string_view pattern, std::span<const TFormatArg> args,
                                 const TFormatSettings& settings);
QN_API std::string FormatArgs(std::string_view pattern, std::span<const TFormatArg> args,
                              const TFormatSettings& settings);

// Format(u"%d files", n): under the user's settings.
template <typename... A>
std::u16string Format(std::u16string_view pattern, const A&... args) {
  const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatArgs(pattern, std::span<const TFormatArg>(list, sizeof...(A)), UserFormatSettings());
}
template <typename... A>
std::string Format(std::string_view pattern, const A&... args) {
  const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatArgs(pattern, std::span<const TFormatArg>(list, sizeof...(A)), UserFormatSettings());
}
// Under given settings.
template <typename... A>
std::u16string FormatWith(const TFormatSettings& settings, std::u16string_view pattern,
                          const A&... args) {
  const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatArgs(pattern, std::span<const TFormatArg>(list, sizeof...(A)), settings);
}
template <typename... A>
std::string FormatWith(const TFormatSettings& settings, std::string_view pattern,
                       const A&... args) {
  const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatArgs(pattern, std::span<const TFormatArg>(list, sizeof...(A)), settings);
}

// Formats value with a picture pattern: '0' a digit always shown, '#' a digit
// shown when significant, '.' the decimal separator (first one), ',' anywhere
// in the number part turns on thousand separators, "E+" "E-" "e+" "e-" followed
// by zeros scientific notation, text in '' or "" literal, ';' separates the
// sections for positive, negative and zero values. "####,.00" gives
// "1,234,567.89" and, for 0.5, ".50". An empty pattern gives the general form.
QN_API std::u16string FormatFloat(std::u16string_view pattern, double value,
                                  const TFormatSettings& settings);
QN_API std::u16string FormatFloat(std::u16string_view pattern, double value);

// Number conversions. The text forms are those people type: optional blanks
// around, an optional sign; integers in decimal or, after "$", "0x" or "0X",
// hexadecimal. The raising forms raise EConvertError ("'abc' is not a valid
// integer value", "'abc' is not a valid floating point value").
QN_API bool TryStrToInt(std::u16string_view text, int32_t& value) noexcept;
QN_API bool TryStrToInt64(std::u16string_view text, int64_t& value) noexcept;
QN_API int32_t StrToInt(std::u16string_view text);
QN_API int64_t StrToInt64(std::u16string_view text);
QN_API int32_t StrToIntDef(std::u16string_view text, int32_t Default) noexcept;
QN_API int64_t StrToInt64Def(std::u16string_view text, int64_t Default) noexcept;
// Floating values with the settings' decimal separator (plus an exponent
// "E+12" "e-3"); no thousand separators.
QN_API bool TryStrToFloat(std::u16string_view text, double& value,
                          const TFormatSettings& settings) noexcept;
QN_API bool TryStrToFloat(std::u16string_view text, double& value) noexcept;
QN_API double StrToFloat(std::u16string_view text);
QN_API double StrToFloatDef(std::u16string_view text, double Default) noexcept;

QN_API std::u16string IntToStr(int64_t value);
QN_API std::u16string IntToHex(uint64_t value, int32_t digits);
// The general form with 15 significant digits ("0.1", "1E20", "1.5").
QN_API std::u16string FloatToStr(double value, const TFormatSettings& settings);
QN_API std::u16string FloatToStr(double value);

}  // namespace qn::platform
