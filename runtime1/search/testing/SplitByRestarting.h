// The rule that splits a search request into its alternatives at "/",
// transcribed as plainly as it reads: split off what comes before a slash that
// has no quote on either side, delete it with the slash, and start again at
// the second character. The tests and the fuzz target compare SplitSWList
// with it; the benchmark measures it as the baseline.
#pragma once

#include <string>
#include <vector>

namespace qn::test_support {

inline std::vector<std::u16string> SplitByRestarting(std::u16string s) {
  std::vector<std::u16string> out;
  size_t i = 2;  // 1-based
  while (i < s.size()) {
    if (s[i - 1] == u'/' && s[i - 2] != u'"' && s[i] != u'"') {
      out.push_back(s.substr(0, i - 1));
      s.erase(0, i);
      i = 2;
    } else {
      ++i;
    }
  }
  if (!s.empty()) out.push_back(s);
  return out;
}

}  // namespace qn::test_support
