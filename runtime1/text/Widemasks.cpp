// Mask lists: splitting what the user typed and matching names against it.
#include "runtime1/text/Widemasks.h"

#include "platform/FileMasks.h"

namespace qn {

namespace {

std::u16string_view TrimmedOfControlsAndSpaces(std::u16string_view s) noexcept {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && s[first] <= u' ') ++first;
  while (last > first && s[last - 1] <= u' ') --last;
  return s.substr(first, last - first);
}

}  // namespace

void BuildAMask(TMaskList& masks, std::u16string_view text) {
  masks.clear();
  const std::u16string_view trimmed = TrimmedOfControlsAndSpaces(text);
  // One pass: a CR directly followed by LF ends a piece exactly as ";" does.
  // A piece ends at every separator; after the last separator the remaining
  // text (when any) is the final piece.
  std::u16string piece;
  bool pending = false;  // text remains after the last separator
  for (size_t i = 0; i < trimmed.size(); ++i) {
    const char16_t c = trimmed[i];
    const bool crlf = c == u'\r' && i + 1 < trimmed.size() && trimmed[i + 1] == u'\n';
    if (c == u';' || crlf) {
      masks.push_back(std::move(piece));
      piece.clear();
      pending = false;
      if (crlf) ++i;
    } else {
      piece.push_back(c);
      pending = true;
    }
  }
  if (pending) masks.push_back(std::move(piece));
}

bool MatchesMask(std::u16string_view name, std::u16string_view mask) noexcept {
  if (name.empty()) return false;
  return platform::PathMatchSpec(name, mask);
}

int32_t WhereInAMask(std::u16string_view name, const TMaskList& masks) noexcept {
  for (size_t i = 0; i < masks.size(); ++i) {
    if (!masks[i].empty() && MatchesMask(name, masks[i])) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace qn
