#include "runtime1/search/Search_parsing.h"

#include <bitset>
#include <string_view>

#include "platform/CaseMapping.h"
#include "runtime1/text/My_string_functions_numbers.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

namespace {

constexpr std::u16string_view kContextMarker = u" context:=";
constexpr char16_t kPrivateFirst = 0xE000;
constexpr char16_t kPrivateLast = 0xF8FF;
constexpr size_t kPrivateCount = kPrivateLast - kPrivateFirst + 1;

void MarkPrivateUse(std::u16string_view s, std::bitset<kPrivateCount>& used) {
  for (const char16_t c : s) {
    if (c >= kPrivateFirst && c <= kPrivateLast) used.set(c - kPrivateFirst);
  }
}

// The first base (U+E000, U+E00B, ...) whose eleven placeholder codes occur
// neither in S nor among the characters S's numeric references denote; a
// placeholder that met such a character would expand it into a symbol. Only
// a text holding hundreds of distinct private-use characters uses them all;
// it then gets U+E000.
int32_t FreePlaceholderBase(std::u16string_view S) {
  std::bitset<kPrivateCount> used;
  MarkPrivateUse(S, used);
  if (S.find(u'#') != std::u16string_view::npos || S.find(u'{') != std::u16string_view::npos) {
    MarkPrivateUse(QNFormattedReadableStringToWorkString(S), used);
  }
  if (used.none()) return kQuotedSymbolsPrivateBase;
  for (size_t base = 0; base + kQuotedWildcardSymbolsCount <= kPrivateCount;
       base += kQuotedWildcardSymbolsCount) {
    bool free = true;
    for (size_t i = 0; i < kQuotedWildcardSymbolsCount && free; ++i) free = !used.test(base + i);
    if (free) return static_cast<int32_t>(kPrivateFirst + base);
  }
  return kQuotedSymbolsPrivateBase;
}

// The asterisk of every " * " becomes the any-word code; the spaces stay, so
// " * * " marks both. One pass: after marking at p, no occurrence can begin
// at or before p + 1 that a search from the left would still find.
void EncodeAnyWords(std::u16string& S) {
  size_t from = 0;
  for (;;) {
    const size_t p = S.find(any_word_symbol_char, from);
    if (p == std::u16string::npos) return;
    S[p + 1] = sw_any_word_code;
    from = p + 2;
  }
}

void ReplaceAll(std::u16string& S, char16_t from, char16_t to) {
  for (char16_t& c : S) {
    if (c == from) c = to;
  }
}

// The line-break symbol at the end or, failing that, at the start; one in the
// middle stays.
void EncodeLineBreakSymbol(std::u16string& S) {
  if (S.find(crlf_symbol_string) == std::u16string::npos) return;
  if (S.ends_with(crlf_symbol_string)) {
    S.resize(S.size() - crlf_symbol_string.size());
    S += u"#x13;";
  } else if (S.starts_with(crlf_symbol_string)) {
    S.replace(0, crlf_symbol_string.size(), u"#x10;");
  }
}

void MakeCaseCopies(TSearch_word_format_rec& rec) {
  rec.copies[unchanged_copy] = rec.search_text;
  rec.copies[upper_copy] = platform::UpperCased(rec.search_text);
  rec.copies[lower_copy] = platform::LowerCased(rec.search_text);
  const std::u16string& upper = rec.copies[upper_copy];
  if (upper.empty()) return;
  // The first character of the upper copy; both units of a surrogate pair,
  // whose low unit is what the case mapping changes.
  const size_t head =
      upper.size() >= 2 && upper[0] >= 0xD800 && upper[0] <= 0xDBFF && upper[1] >= 0xDC00 && upper[1] <= 0xDFFF
          ? 2
          : 1;
  std::u16string title = upper.substr(0, head);
  title.append(rec.copies[lower_copy], head, std::u16string::npos);
  rec.copies[title_copy] = std::move(title);
}

bool HoldsWildcardCode(std::u16string_view s) {
  for (const char16_t c : s) {
    if (c >= u'\u001A' && c <= u'\u001F') return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<platform::TStringList> SplitSWList(std::u16string& S, bool split) {
  auto list = std::make_unique<platform::TStringList>();
  std::u16string text = std::move(S);
  S.clear();
  if (!split) {
    if (!text.empty()) list->Add(std::move(text));
    return list;
  }
  // The cursor of the remaining text is never at its first character, and a
  // slash must have a character after it; so j runs from start + 1 to the
  // next-to-last character of the whole text.
  const size_t n = text.size();
  size_t start = 0;
  size_t j = 1;
  while (j + 1 < n) {
    if (text[j] == u'/' && text[j - 1] != u'"' && text[j + 1] != u'"') {
      list->Add(text.substr(start, j - start));
      start = j + 1;
      j = start + 1;
    } else {
      ++j;
    }
  }
  if (start < n) list->Add(text.substr(start));
  return list;
}

bool DoMainParse_Translates(std::u16string& S) {
  Parse_Translate(S, tag_wildcards_converters[any_letter_type][original_char], sw_any_letter_code);
  Parse_Translate(S, tag_wildcards_converters[hash_type][original_char], sw_digits_code);
  Parse_Translate(S, tag_wildcards_converters[asterisk_type][original_char], sw_asterisk_code);
  Parse_Translate(S, tag_wildcards_converters[question_type][original_char], sw_one_char_code);
  return Parse_Translate(S, any_string_symbol_str, sw_any_string_code);
}

bool ContainsPairedTagMarkup(const TIgnore_tag_type& ignore_tags, std::u16string& S) {
  bool found = false;
  for (size_t k = 0; k < ignore_tags[tag_on].size(); ++k) {
    const char16_t on = ignore_tags[tag_on][k];
    const char16_t off = ignore_tags[tag_off][k];
    if (on != 0 && S.find(on) != std::u16string::npos) {
      ReplaceAll(S, on, sw_tag_on_code);
      found = true;
    }
    if (found && off != 0) {
      if (S.find(off) != std::u16string::npos) {
        ReplaceAll(S, off, sw_tag_off_code);
      } else {
        found = false;
      }
    }
  }
  return found;
}

void Parse_SWChunk(const TIgnore_tag_type& ignore_tags, bool& contains_a_tag, std::u16string& S,
                   TMySearchFlags& flags) {
  flags = FlagsFromSW(S);
  const int32_t base = FreePlaceholderBase(S);
  Parse_Retain(S, base);
  EncodeAnyWords(S);
  DoMainParse_Translates(S);
  EncodeLineBreakSymbol(S);
  contains_a_tag = ContainsPairedTagMarkup(ignore_tags, S);
  S = QNFormattedReadableStringToWorkString(S);
  Parse_Restore(S, base);
}

TSearch_word_format_rec Parsed_SearchWord(const TIgnore_tag_type& ignore_tags, std::u16string& S) {
  TSearch_word_format_rec rec;
  rec.typed_in_text = S;
  const size_t p = S.find(kContextMarker);
  if (p != std::u16string::npos) {
    rec.has_file_based_context_word = true;
    rec.sw_context_needed = S.substr(p + kContextMarker.size());
    S.resize(p);
  }
  Parse_SWChunk(ignore_tags, rec.contains_a_tag, S, rec.flags);
  rec.search_text = WideTrimSpaceOnly(S);
  rec.ambiguous = rec.typed_in_text != rec.search_text || HoldsWildcardCode(rec.search_text);
  MakeCaseCopies(rec);
  return rec;
}

TSearch_word_format_rec UnParsed_SearchWord(std::u16string& S) {
  TSearch_word_format_rec rec;
  rec.typed_in_text = S;
  rec.flags = FlagsFromSW(S);
  rec.search_text = S;
  rec.ambiguous = rec.typed_in_text != rec.search_text;
  MakeCaseCopies(rec);
  return rec;
}

}  // namespace qn
