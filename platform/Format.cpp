#include "platform/Format.h"

#include "platform/Exceptions.h"

// Interim bodies: the header is final; the implementation follows.
namespace qn::platform {

namespace {
[[noreturn]] void Pending() { throw Exception(std::string("format: not built yet")); }
}  // namespace

TFormatSettings TFormatSettings::ForLocale(uint32_t) { return TFormatSettings(); }
TFormatSettings TFormatSettings::Invariant() { return TFormatSettings(); }
const TFormatSettings& UserFormatSettings() {
  static const TFormatSettings settings;
  return settings;
}
std::u16string FormatArgs(std::u16string_view, std::span<const TFormatArg>, const TFormatSettings&) { Pending(); }
std::string FormatArgs(std::string_view, std::span<const TFormatArg>, const TFormatSettings&) { Pending(); }
std::u16string FormatFloat(std::u16string_view, double, const TFormatSettings&) { Pending(); }
std::u16string FormatFloat(std::u16string_view, double) { Pending(); }
bool TryStrToInt(std::u16string_view, int32_t&) noexcept { return false; }
bool TryStrToInt64(std::u16string_view, int64_t&) noexcept { return false; }
int32_t StrToInt(std::u16string_view) { Pending(); }
int64_t StrToInt64(std::u16string_view) { Pending(); }
int32_t StrToIntDef(std::u16string_view, int32_t Default) noexcept { return Default; }
int64_t StrToInt64Def(std::u16string_view, int64_t Default) noexcept { return Default; }
bool TryStrToFloat(std::u16string_view, double&, const TFormatSettings&) noexcept { return false; }
bool TryStrToFloat(std::u16string_view, double&) noexcept { return false; }
double StrToFloat(std::u16string_view) { Pending(); }
double StrToFloatDef(std::u16string_view, double Default) noexcept { return Default; }
std::u16string IntToStr(int64_t) { Pending(); }
std::u16string IntToHex(uint64_t, int32_t) { Pending(); }
std::u16string FloatToStr(double, const TFormatSettings&) { Pending(); }
std::u16string FloatToStr(double) { Pending(); }

}  // namespace qn::platform
