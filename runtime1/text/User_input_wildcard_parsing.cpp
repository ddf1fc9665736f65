// Wildcard symbols: translation into control codes, quoting and restoring.
#include "runtime1/text/User_input_wildcard_parsing.h"

namespace qn {

namespace {

bool IsCodeUnit(int32_t code) noexcept { return code >= 0 && code <= 0xFFFF; }

std::u16string BareSymbol(std::u16string_view quoted) {
  size_t first = 0;
  size_t last = quoted.size();
  while (first < last && quoted[first] <= u' ') ++first;
  while (last > first && quoted[last - 1] <= u' ') --last;
  std::u16string bare;
  for (size_t i = first; i < last; ++i) {
    if (quoted[i] != u'"') bare.push_back(quoted[i]);
  }
  return bare;
}

}  // namespace

bool Parse_Translate(std::u16string& text, std::u16string_view symbol, char16_t code) {
  if (symbol.empty() || symbol[0] == code) return false;
  // Restarting from the far left after every mark would be quadratic. After
  // overwriting position p, no occurrence can start before p - (length - 1)
  // that did not exist before (and none did, p being the leftmost), and none
  // can start at p (code differs from the symbol's first character); so the
  // search resumes at p - (length - 1) and finds exactly what a search from
  // the left would.
  bool changed = false;
  size_t from = 0;
  for (;;) {
    const size_t p = text.find(symbol, from);
    if (p == std::u16string::npos) break;
    text[p] = code;
    changed = true;
    from = p >= symbol.size() - 1 ? p - (symbol.size() - 1) : 0;
  }
  return changed;
}

void Parse_RetainOne(std::u16string& text, int32_t code, std::u16string_view quoted) {
  if (quoted.empty() || !IsCodeUnit(code)) return;
  const char16_t c = static_cast<char16_t>(code);
  if (quoted.size() == 1 && quoted[0] == c) return;  // nothing would change
  // Replacing the leftmost occurrence again and again: the inserted character
  // may complete a new occurrence that begins at most length - 1 places to
  // its left, so the search resumes there. Every replacement shortens the
  // text (or, for a one-character entry, removes one occurrence for good).
  size_t from = 0;
  for (;;) {
    const size_t p = text.find(quoted, from);
    if (p == std::u16string::npos) break;
    text.replace(p, quoted.size(), 1, c);
    from = p >= quoted.size() - 1 ? p - (quoted.size() - 1) : 0;
  }
}

void Parse_Retain(std::u16string& text, int32_t base) {
  for (int i = 0; i < kQuotedWildcardSymbolsCount; ++i) {
    Parse_RetainOne(text, base + i, quoted_wildcard_symbols[static_cast<size_t>(i)]);
  }
}

void Parse_RestoreOne(std::u16string& text, int32_t code, std::u16string_view quoted) {
  if (!IsCodeUnit(code)) return;
  const char16_t c = static_cast<char16_t>(code);
  if (text.find(c) == std::u16string::npos) return;
  // One pass over the text: each placeholder that was there is replaced once.
  // (A symbol that itself holds the code would otherwise be expanded for ever.)
  const std::u16string bare = BareSymbol(quoted);
  std::u16string out;
  out.reserve(text.size() + bare.size());
  for (const char16_t u : text) {
    if (u == c) {
      out += bare;
    } else {
      out.push_back(u);
    }
  }
  text = std::move(out);
}

void Parse_Restore(std::u16string& text, int32_t base) {
  for (int i = 0; i < kQuotedWildcardSymbolsCount; ++i) {
    Parse_RestoreOne(text, base + i, quoted_wildcard_symbols[static_cast<size_t>(i)]);
  }
}

std::u16string TagWildcardConverted(std::u16string_view text) {
  std::u16string result(text);
  for (const auto& row : tag_wildcards_converters) {
    const std::u16string_view symbol = row[original_char];
    std::u16string quoted;
    quoted.reserve(symbol.size() + 2);
    quoted.push_back(u'"');
    quoted += symbol;
    quoted.push_back(u'"');
    const size_t q = result.find(quoted);
    if (q != std::u16string::npos) {
      result.replace(q, quoted.size(), symbol);
      continue;
    }
    const size_t p = result.find(symbol);
    if (p != std::u16string::npos) result.replace(p, symbol.size(), row[replacement_char]);
  }
  return result;
}

}  // namespace qn
