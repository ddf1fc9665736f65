// The suite's tools as programs: their display names, the file names of their
// executables, and which tool the running program is.
//
// Every tool's executable is named after its display name with blanks turned
// into underscores and the major version appended ("Locale_Picker7.exe"), so a
// program recognises itself by its own file name. All results are new strings
// owned by the caller.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// The tool's display name; empty for the tools that have none (and for an
// ordinal outside the enumeration). The plug-in gate's name carries the major
// version: "QN7 Plugin Gate DLL".
QN_API std::u16string Tool_Name(tool_type tool);

// The tool's executable file name without folder: the display name with every
// blank replaced by "_", the major version, then ".dll" for the plug-in gate
// and ".exe" for every other tool. Empty when the display name is empty.
QN_API std::u16string GetShortToolFilename(tool_type tool);

// The folder of the running program with a trailing "/", then the short file
// name of the tool.
QN_API std::u16string GetFullToolFilename(tool_type tool);

// The tool whose short file name equals `program_filename` (a file name
// without folder) regardless of letter case, trying ordinals 0 to 21 in
// order; tt_no_tool_at_all when none does.
QN_API tool_type ToolTypeFromProgramFilename(std::u16string_view program_filename);

// Sets current_tool_var from the file name of the running program.
QN_API void SetCurrentTool();

// The full path of the running program, UTF-16; empty when the system cannot
// tell it.
QN_API std::u16string RunningProgramFilename();

// "Quillon Tools 7.0": the caption of the suite's controller.
QN_API std::u16string QuillonControllerCaption();

// "7.0.0.100": the version text the tools compare with published updates.
QN_API std::u16string CurrentQNMajorVersion100Str();

}  // namespace qn
