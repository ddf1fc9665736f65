// File-name wildcard matching.
//
// "*" matches any run of characters (the empty run included), "?" exactly one
// character, every other character itself without regard to letter case
// (compared by their locale-independent upper-case forms, code unit by code
// unit). The matcher is the greedy two-pointer algorithm: it remembers only
// the last "*" and never backtracks further, so its time is at most
// name length x mask length and usually linear -- no exponential blow-up on
// masks such as "*a*a*a*a*b".
#pragma once

#include <string_view>

#include "platform/Export.h"

namespace qn::platform {

// One mask, taken whole (";" and spaces are ordinary characters).
QN_API bool MatchesWildcard(std::u16string_view name, std::u16string_view mask) noexcept;

// The file-name match the suite's mask lists rely on: the mask may be a list
// separated by ";", each element's leading spaces skipped; the name matches
// when it matches any element. A mask of exactly "*.*" matches every name,
// with or without a dot. An empty name matches only an element that is empty
// or all "*".
QN_API bool PathMatchSpec(std::u16string_view name, std::u16string_view mask) noexcept;

}  // namespace qn::platform
