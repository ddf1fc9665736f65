// Help topics by number, from a help include file: lines of the form
//   Topic_name = 123
// (any other line is passed over).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

// The name of the help topic whose number is n in the help include file
// fileName, read as lines (a byte-order mark selects UTF-8 or UTF-16; without
// one, the active code page); empty when no line has that number. A file that
// cannot be read raises the file system's error.
QN_API std::u16string NameFromNumber(int32_t n, std::u16string_view fileName);

// The same over lines already read. For each line, trimmed of code units of 32
// and below at both ends: after its first "=" and any blanks, a run of decimal
// digits that reads as n makes the line's first word the result (the first
// line to do so wins). The name runs from the line's start up to its first
// code unit of 32 or below or "=", so "Topic_name=123" names Topic_name.
QN_API std::u16string NameFromNumberInLines(int32_t n, const platform::TStringList& lines);

}  // namespace qn
