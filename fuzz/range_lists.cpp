// Arbitrary bytes as a range list typed by a user ("1-3,5"), as UTF-16 code
// units (pairs of bytes; a final odd byte is dropped).
//
// Checks: the expansion never holds more than the bound; the array and text
// forms agree; an expansion that succeeded, abbreviated and expanded again,
// gives the same numbers; the Boolean form over a small array never writes
// outside it. The character notations are decoded too (no crash, and the
// decoded text is never longer than the notation).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/driver/FuzzText.h"
#include "runtime1/text/My_string_functions_numbers.h"

namespace {

constexpr size_t kMostNumbersCompared = 10000;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = qn::fuzz_support::Utf16Units(data, size);

  qn::TArrayOfIntegers numbers;
  const bool ok = qn::ExpandRangeList(text, numbers);
  Check(static_cast<int64_t>(numbers.size()) <= qn::kMaxNumbersInRangeList);
  Check(ok || numbers.empty());

  // The text form of a long expansion runs to megabytes and would only
  // restate the same numbers: compared for expansions of modest length.
  if (numbers.size() <= kMostNumbersCompared) {
    const std::u16string expanded = qn::HumanAbbreviatedNumberListStringExpanded(text);
    Check(expanded.empty() == numbers.empty());
  }
  if (ok && numbers.size() <= kMostNumbersCompared) {
    const std::u16string abbreviated = qn::HumanAbbreviatedNumberListString(numbers, 0);
    qn::TArrayOfIntegers again;
    Check(qn::ExpandRangeList(abbreviated, again));
    Check(again == numbers);
  }

  std::vector<bool> flags(17, false);
  qn::ConvertStringToRangeOfBoolean(text, (size & 1) != 0, flags);
  Check(flags.size() == 17);
  (void)qn::ANumberInHumanString(text, static_cast<int32_t>(size % 7));

  const std::u16string work = qn::QNFormattedReadableStringToWorkString(text);
  Check(work.size() <= text.size());
  (void)qn::FromNumStr(text);
  (void)qn::FromHexNumStr(text);
  return 0;
}
