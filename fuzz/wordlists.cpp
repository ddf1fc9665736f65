// Arbitrary text (pairs of bytes as UTF-16 code units) through word lists,
// n-gram lists, the two text comparisons and the repeated-chunk search (each
// input the word list and one group of the others).
//
// Checks: the frequencies of a word list add up to the number of words of
// the text, and those of a corpus's list (halves of the text as two texts)
// to the words of its texts, each type found again by its spelling; an
// alphabetical list is in the order of its own comparison and holds no two
// equal entries; every n-gram, of a text or of a corpus, has exactly n words;
// the type and token differences are (-1, -1) or not negative; chunk counts
// are positive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "runtime1/text/My_string_functions_wordlists.h"
#include "runtime1/text/My_string_functions_words.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr size_t kMaxUnits = 2048;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t n = 1 + data[0] % 4;
  std::u16string text(std::min((size - 1) / 2, kMaxUnits), u'\0');
  if (!text.empty()) std::memcpy(text.data(), data + 1, text.size() * 2);

  {
    std::unique_ptr<qn::TStringListWithFreqPointers> list(qn::SimpleTallierOfTxt(text, 1, false));
    int64_t total = 0;
    for (int32_t i = 0; i < list->Count(); ++i) {
      Check(list->GetOne(i) > 0);
      total += list->GetOne(i);
      if (i > 0) Check(list->CompareStrings(list->Get(i - 1), list->Get(i)) < 0);
    }
    Check(total == qn::BasicWordCount(text));
  }
  // Besides the word list, each input takes one of three groups of checks (the
  // first byte chooses): the n-gram list and the repeated chunks, the corpus
  // tallies, or the two text comparisons. Nearly every word of random text is
  // a new type, which costs a collation key in every list made of it, and
  // the fuzzer weighs the coverage of every function run after each input.
  const int group = (data[0] >> 2) % 3;
  if (group == 0) {
    std::unique_ptr<qn::TStringListWithFreqPointers> grams(qn::SimpleNGramListOfTxt(text, n, 20, {}, true));
    for (int32_t i = 0; i < grams->Count(); ++i) {
      const std::u16string& g = grams->Get(i);
      int32_t spaces = 0;
      for (char16_t c : g) spaces += c == u' ';
      Check(spaces == n - 1 && !g.empty() && g.front() != u' ' && g.back() != u' ');
      if (i > 0) Check(grams->GetOne(i - 1) >= grams->GetOne(i));
    }
    std::unique_ptr<qn::TStringListWith2LongintList> chunks(qn::RepeatedXCharChunks(120, 1, 4, text, {}));
    for (int32_t i = 0; i < chunks->Count(); ++i) Check(chunks->GetOne(i).long0 >= 1);
  }
  const std::u16string_view all(text);
  const std::u16string_view a = all.substr(0, all.size() / 2), b = all.substr(all.size() / 2);
  if (group == 1) {
    // The halves of the first 256 units as the texts of a corpus.
    const std::u16string_view head = all.substr(0, 256);
    qn::TCorpusWordTally corpus;
    int64_t tokens = 0;
    for (int64_t k = 0; k < 2; ++k) {
      const std::u16string_view half = k == 0 ? head.substr(0, head.size() / 2) : head.substr(head.size() / 2);
      const int64_t counted = corpus.AddText(half, k);
      Check(counted == qn::BasicWordCount(half));
      int64_t met = 0;
      for (int32_t i = 0; i < corpus.MetCount(); ++i) met += corpus.MetFreq(i);
      Check(met == counted);
      tokens += counted;
    }
    Check(corpus.Tokens() == tokens && corpus.TextCount() == 2);
    int64_t total = 0;
    for (int32_t t = 0; t < corpus.TypeCount(); ++t) {
      Check(corpus.Texts(t) >= 1 && corpus.Texts(t) <= 2 && corpus.Freq(t) >= corpus.Texts(t));
      Check(corpus.Find(corpus.Spelling(t)) == t);
      total += corpus.Freq(t);
    }
    Check(total == tokens);

    // The n-grams of the halves of the first 128 units likewise (the n-gram
    // list of the first group walks whole texts).
    const std::u16string_view shorter = head.substr(0, 128);
    qn::TCorpusNGramTally grams(n, 20);
    int64_t windows = 0;
    for (int64_t k = 0; k < 2; ++k) {
      const std::u16string_view half = k == 0 ? shorter.substr(0, shorter.size() / 2) : shorter.substr(shorter.size() / 2);
      const int64_t counted = grams.AddText(half, k);
      int64_t met = 0;
      for (int32_t i = 0; i < grams.MetCount(); ++i) met += grams.MetFreq(i);
      Check(met == counted);
      windows += counted;
    }
    Check(grams.Tokens() == windows);
    for (int32_t g = 0; g < grams.TypeCount(); ++g) {
      const std::u16string t = grams.Text(g);
      int32_t spaces = 0;
      for (char16_t c : t) spaces += c == u' ';
      Check(spaces == n - 1 && grams.Texts(g) >= 1 && grams.Texts(g) <= 2 && grams.Freq(g) >= grams.Texts(g));
    }
  }
  if (group == 2) {
    const qn::TFreqDifference d = qn::BagOfWordsSimilar(a, b, 1, 1, 1);
    Check(d.wd.empty() ? d.first_text_freq == 0 && d.second_text_freq == 0 : d.first_text_freq != d.second_text_freq);
    qn::TStringListWithFreqPointers* list1 = nullptr;
    std::u16string last;
    const qn::TTypeAndTokenDifferences r = qn::TypeAndTokenDifferences2Strings(a, b, list1, 50, 100, last);
    delete list1;
    Check((r.types == -1 && r.tokens == -1) || (r.types >= 0 && r.tokens >= 0));
  }
  return 0;
}
