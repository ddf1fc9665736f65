// The diagnostic log: one UTF-16 little-endian text file to which every module
// of the running tool appends entries while logging is switched on.
//
// A new file begins with the byte-order mark FF FE; an existing file is
// appended to. Each entry is the tag of the running tool (current_tool_var,
// for instance "(TAL): ") followed by the entry's text, normally ending in
// CR LF. Writers test keeping_log before they build an entry, so that a tool
// that does not log pays nothing for it.
//
// The log never damages what is already on disk: an entry is written in one
// piece, and when opening, writing or closing fails the file is cut back to
// its previous length and logging switches itself off (keeping_log = false),
// silently, until a tool switches it on again.
//
// An entry that arrives while another is being written (from an error handler
// or a yield inside the write) waits in a pending list and goes out in front
// of the next entry. The state is process-wide; concurrent writers from other
// threads are serialised, but the suite writes the log from one thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// False at start; the tools switch it on and off.
extern QN_API bool keeping_log;

// Writes one entry: the running tool's tag, then text, then CR LF when
// endLine holds. Does nothing when keeping_log is false or no log file name
// is set.
QN_API void AddToLogFile(std::u16string_view text, bool endLine = true);

// Writes the two entries that open a section: ten asterisks, then
// "LOG STARTED at " with the current date and time in the user's short date
// and long time formats.
QN_API void StartNewLogSection();

// When a log file name is set and that file exists: deletes it and starts a
// new section. Every failure is ignored.
QN_API void ClearLogFile();

// The log file name; empty (no log) at start.
QN_API void SetLogFilename(std::u16string_view name);
QN_API std::u16string GetLogFilename();

// The tag written in front of each entry while tool is running: "(TAL): " and
// the like, "(QN7): " for the hub, "(??)" for a tool without a tag.
QN_API std::u16string_view LogTagOfTool(tool_type tool) noexcept;

}  // namespace qn
