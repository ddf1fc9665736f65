#include "platform/DateTime.h"

#include "platform/Exceptions.h"

// Interim bodies: the header is final; the implementation follows.
namespace qn::platform {

namespace {
[[noreturn]] void Pending() { throw Exception(std::string("dates: not built yet")); }
}  // namespace

bool IsLeapYear(int32_t year) noexcept { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }
int32_t DaysInMonth(int32_t, int32_t) noexcept { return 0; }
bool TryEncodeDate(int32_t, int32_t, int32_t, TDateTime&) noexcept { return false; }
TDateTime EncodeDate(int32_t, int32_t, int32_t) { Pending(); }
bool TryEncodeTime(int32_t, int32_t, int32_t, int32_t, TDateTime&) noexcept { return false; }
TDateTime EncodeTime(int32_t, int32_t, int32_t, int32_t) { Pending(); }
TDateTime EncodeDateTime(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { Pending(); }
bool TryDecodeDateTime(TDateTime, TDateParts&) noexcept { return false; }
void DecodeDate(TDateTime, int32_t&, int32_t&, int32_t&) noexcept {}
void DecodeTime(TDateTime, int32_t&, int32_t&, int32_t&, int32_t&) noexcept {}
int32_t DayOfWeek(TDateTime) noexcept { return 0; }
TDateTime DateOf(TDateTime) noexcept { return 0; }
TDateTime TimeOf(TDateTime) noexcept { return 0; }
TDateTime Now() { Pending(); }
TDateTime Date() { Pending(); }
TDateTime Time() { Pending(); }
TDateTime UnixToDateTime(int64_t, int32_t) { Pending(); }
int64_t DateTimeToUnix(TDateTime) { Pending(); }
std::u16string FormatDateTime(std::u16string_view, TDateTime, const TFormatSettings&) { Pending(); }
std::u16string FormatDateTime(std::u16string_view, TDateTime) { Pending(); }
std::u16string DateToStr(TDateTime, const TFormatSettings&) { Pending(); }
std::u16string DateToStr(TDateTime) { Pending(); }
std::u16string TimeToStr(TDateTime, const TFormatSettings&) { Pending(); }
std::u16string TimeToStr(TDateTime) { Pending(); }
std::u16string DateTimeToStr(TDateTime, const TFormatSettings&) { Pending(); }
std::u16string DateTimeToStr(TDateTime) { Pending(); }
bool TryStrToDate(std::u16string_view, TDateTime&, const TFormatSettings&) noexcept { return false; }
TDateTime StrToDate(std::u16string_view, const TFormatSettings&) { Pending(); }
TDateTime StrToDate(std::u16string_view) { Pending(); }

}  // namespace qn::platform
