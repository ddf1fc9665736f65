#include "platform/FileMasks.h"

#include "platform/CaseMapping.h"

namespace qn::platform {

namespace {

// Greedy matching: on a mismatch after a "*", let that star swallow one more
// character and retry from just after it. Only the latest star matters: an
// earlier star could only absorb what the latest one can absorb as well.
bool MatchFolded(std::u16string_view name, std::u16string_view mask, const char16_t* upper) noexcept {
  size_t n = 0, m = 0;
  size_t starMask = std::u16string_view::npos;  // position after the last "*"
  size_t starName = 0;                          // name position that star resumes from
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == u'*') {
      starMask = ++m;
      starName = n;
    } else if (m < mask.size() && (mask[m] == u'?' || upper[mask[m]] == upper[name[n]])) {
      ++m;
      ++n;
    } else if (starMask != std::u16string_view::npos) {
      m = starMask;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchesWildcard(std::u16string_view name, std::u16string_view mask) noexcept {
  return MatchFolded(name, mask, UpperTable(TCaseVariant::Invariant));
}

bool PathMatchSpec(std::u16string_view name, std::u16string_view mask) noexcept {
  if (mask == u"*.*") return true;
  const char16_t* upper = UpperTable(TCaseVariant::Invariant);
  size_t pos = 0;
  for (;;) {
    while (pos < mask.size() && mask[pos] == u' ') ++pos;
    size_t end = mask.find(u';', pos);
    std::u16string_view element =
        mask.substr(pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos);
    if (MatchFolded(name, element, upper)) return true;
    if (end == std::u16string_view::npos) return false;
    pos = end + 1;
    if (pos >= mask.size()) return false;
  }
}

}  // namespace qn::platform
