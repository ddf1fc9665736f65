// A text for the benchmarks of the concordance's walks and the text unit
// counter: English words with capitals, commas and full stops, a line per
// verse and a blank line now and then, the same every run.
#pragma once

#include <iterator>
#include <random>
#include <string>

namespace qn::bench_support {

inline std::u16string MakeVerses(size_t units) {
  static const char16_t* const kWords[] = {u"the",  u"and",   u"of",    u"that",   u"shall", u"he",     u"unto",
                                           u"LORD", u"his",   u"I",     u"they",   u"be",    u"is",     u"him",
                                           u"not",  u"them",  u"it",    u"with",   u"all",   u"thou",   u"thy",
                                           u"was",  u"which", u"my",    u"for",    u"me",    u"said",   u"God",
                                           u"upon", u"land",  u"house", u"people", u"came",  u"before", u"Israel"};
  std::mt19937 random(5);
  std::u16string t;
  t.reserve(units + 64);
  while (t.size() < units) {
    const size_t words = 8 + random() % 30;
    for (size_t w = 0; w < words; ++w) {
      t += kWords[random() % std::size(kWords)];
      t += w + 1 == words ? u"." : (random() % 7 == 0 ? u", " : u" ");
    }
    t += random() % 20 == 0 ? u"\n\n" : u"\n";
  }
  return t;
}

}  // namespace qn::bench_support
