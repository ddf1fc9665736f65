// Arbitrary bytes as a typed search request (UTF-16 code units, pairs of
// bytes): split into alternatives, each parsed fully and literally, with the
// markup pairs < > and [ ].
//
// Checks: the alternatives joined with "/" give the request back, and are
// those of the split rule applied by restarting from the left; every case
// copy has the length of the search text; a private-use placeholder never
// appears unless the alternative brought one (or a character reference that
// makes one); an alternative without any syntax character is its own search
// text and not ambiguous; decorations written back by SWStringPlusFlags read
// back to the same flags and text where the syntax can express them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/driver/FuzzText.h"
#include "runtime1/containers/Useful_Classes_search.h"
#include "runtime1/search/Search_parsing.h"
#include "runtime1/search/testing/SplitByRestarting.h"

namespace {

using qn::test_support::SplitByRestarting;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool HoldsPlaceholder(std::u16string_view s) {
  for (const char16_t c : s) {
    if (c >= 0xE000 && c <= 0xF8FF) return true;
  }
  return false;
}

bool HoldsSyntax(std::u16string_view s) {
  for (const char16_t c : s) {
    if (c <= u' ' || (c >= 0xE000 && c <= 0xF8FF)) return true;
    if (std::u16string_view(u"*=~^#?}/\\\"<>[]{").find(c) != std::u16string_view::npos) return true;
    // White space beyond ASCII is trimmed from the search text.
    if (c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
        c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::u16string request = qn::fuzz_support::Utf16Units(data, size);

  std::u16string consumed = request;
  const auto list = qn::SplitSWList(consumed, true);
  Check(consumed.empty());
  std::u16string joined;
  std::vector<std::u16string> alternatives;
  for (int32_t i = 0; i < list->Count(); ++i) {
    if (i > 0) joined += u'/';
    joined += (*list)[i];
    alternatives.push_back((*list)[i]);
  }
  Check(joined == request);
  Check(alternatives == SplitByRestarting(request));

  qn::TIgnore_tag_type tags{};
  tags[qn::tag_on][0] = u'<';
  tags[qn::tag_off][0] = u'>';
  tags[qn::tag_on][1] = u'[';
  tags[qn::tag_off][1] = u']';
  for (const std::u16string& alternative : alternatives) {
    std::u16string s = alternative;
    const qn::TSearch_word_format_rec rec = qn::Parsed_SearchWord(tags, s);
    Check(rec.typed_in_text == alternative);
    Check(rec.copies[qn::unchanged_copy] == rec.search_text);
    for (const std::u16string& copy : rec.copies) Check(copy.empty() || copy.size() == rec.search_text.size());
    if (!HoldsPlaceholder(alternative) && alternative.find(u'{') == std::u16string::npos) {
      Check(!HoldsPlaceholder(rec.search_text));
    }
    if (!HoldsSyntax(alternative)) {
      Check(rec.search_text == alternative);
      Check(!rec.ambiguous);
      Check(!rec.contains_a_tag);
    }

    s = alternative;
    const qn::TSearch_word_format_rec literal = qn::UnParsed_SearchWord(s);
    Check(literal.search_text == s);
    Check(literal.search_text.size() <= alternative.size());
    const std::u16string& t = literal.search_text;
    const bool expressible =
        !(literal.flags.Contains(qn::myCaseIsSensitive) && !literal.flags.Contains(qn::myLeftBounded));
    if (expressible && !t.empty() && t.front() != u'*' && t.front() != u'=' && t.front() != u'~' &&
        t.back() != u'*') {
      std::u16string back = qn::SWStringPlusFlags(t, literal.flags);
      qn::TMySearchFlags want = literal.flags;
      want.Exclude(qn::mySW_To_Avoid);
      Check(qn::FlagsFromSW(back) == want);
      Check(back == t);
    }
  }
  return 0;
}
