// Lists of file-name masks such as "*.txt;*.htm", as users type them for
// excluded folders, excluded extensions and archive names.
//
// A mask list is a vector of UTF-16 masks in the order typed; an element may
// be empty (and is then skipped when matching). Matching is the platform's
// file-name wildcard match (platform/FileMasks.h): "*" any run, "?" any one
// character, everything else itself without regard to letter case, compared
// code unit by code unit on locale-independent upper-case forms, so that
// "ÉCOLE.TXT" matches "école.*". The matcher never backtracks beyond the
// last "*", so even a mask of thousands of characters costs at most
// name length x mask length steps.
//
// Nothing here keeps state; every function may run on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"

namespace qn {

using TMaskList = std::vector<std::u16string>;

// Replaces masks by the masks found in text: text is trimmed of characters up
// to U+0020 at both ends, every CR LF counts as ";", and the pieces between
// ";" are taken as they stand (not trimmed one by one). A trailing ";" adds no
// empty element; ";;" inside does. Blank text gives an empty list.
QN_API void BuildAMask(TMaskList& masks, std::u16string_view text);

// Whether name matches mask. An empty name never matches. The mask is handed
// to the platform's match as a whole, so a mask holding ";" is itself a list
// and "*.*" matches names without a dot too.
QN_API bool MatchesMask(std::u16string_view name, std::u16string_view mask) noexcept;

// 0-based index of the first non-empty mask that name matches; -1 when none
// does (or the list is empty).
QN_API int32_t WhereInAMask(std::u16string_view name, const TMaskList& masks) noexcept;

}  // namespace qn
