// Arbitrary bytes as a search request typed by a user, as UTF-16 code units
// (pairs of bytes), through the wildcard-symbol operations in the order a
// search-word parser uses them, and as a mask list.
//
// Checks: retaining never lengthens the text; restoring gives back a text no
// longer than the input, and the input itself when it held neither quotes nor
// placeholder characters; translation never changes the length; the tag conversion changes at most one occurrence per symbol (the
// length shrinks by at most two per row); mask matching answers for any mask.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/driver/FuzzText.h"
#include "runtime1/text/User_input_wildcard_parsing.h"
#include "runtime1/text/Widemasks.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool HoldsPlaceholder(const std::u16string& s) {
  for (const char16_t c : s) {
    if (c >= 0xE000 && c < 0xE000 + qn::kQuotedWildcardSymbolsCount) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = qn::fuzz_support::Utf16Units(data, size);

  std::u16string work = text;
  qn::Parse_Retain(work, qn::kQuotedSymbolsPrivateBase);
  Check(work.size() <= text.size());
  const std::u16string retained = work;
  for (const char16_t code : {u'\u0015', u'\u001A', u'\u001B', u'\u001C', u'\u001D', u'\u001E'}) {
    const size_t before = work.size();
    qn::Parse_Translate(work, qn::any_string_symbol_str, code);
    Check(work.size() == before);
  }
  std::u16string restored = retained;
  qn::Parse_Restore(restored, qn::kQuotedSymbolsPrivateBase);
  if (!HoldsPlaceholder(text)) {
    // Restoring gives the symbols back without quotes; ";" and other text stay.
    Check(restored.size() <= text.size());
    if (text.find(u'"') == std::u16string::npos) Check(restored == text);
  }

  const std::u16string converted = qn::TagWildcardConverted(text);
  Check(converted.size() <= text.size() && converted.size() + 2 * qn::kTagWildcardsCount >= text.size());

  qn::TMaskList masks;
  qn::BuildAMask(masks, text);
  const std::u16string name = text.substr(0, text.size() / 2);
  const int32_t where = qn::WhereInAMask(name, masks);
  Check(where >= -1 && where < static_cast<int32_t>(masks.size()));
  if (where >= 0) Check(qn::MatchesMask(name, masks[static_cast<size_t>(where)]));
  return 0;
}
