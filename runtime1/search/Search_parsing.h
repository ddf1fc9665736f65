// Search requests as users type them, turned into search-word records.
//
// A request holds one or more alternatives separated by slashes; each
// alternative is a word or phrase with wildcards and flag decorations. A
// parsed search word keeps the text as typed, its work form (the text the
// buffer matcher compares, with wildcards and markup delimiters replaced by
// the control codes below), four case copies of the work form, and flags.
//
// Work-form codes:
//   U+0010  a leading line-break symbol "/\"   (an ordinary character)
//   U+0013  a trailing line-break symbol "/\"  (an ordinary character)
//   U+0015  the first brace of "}}}" (the other two braces stay)
//   U+0018  a closing markup delimiter
//   U+0019  an opening markup delimiter
//   U+001A  the asterisk of a free-standing " * ": exactly one word
//   U+001B  "#": a run of one or more digits
//   U+001C  "?": any one letter, digit or punctuation character
//   U+001D  "*" inside the word: any run of non-blank characters
//   U+001E  "^": any one letter
// U+001F (the tag wildcard "~") is not made here but counts as a wildcard for
// the ambiguity test. A symbol between double quotes ("*", "==", ...) is taken
// literally and comes out bare.
//
// Every operation is a pure function of its arguments and raises nothing:
// text that is no valid decoration stays as it is.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Export.h"
#include "platform/StringList.h"
#include "runtime1/containers/Useful_Classes_search.h"
#include "runtime1/text/My_search_flags.h"
#include "runtime1/text/User_input_wildcard_parsing.h"

namespace qn {

// The four case copies of a work form.
enum sw_copy_type : uint8_t { unchanged_copy, upper_copy, lower_copy, title_copy };

enum tag_on_off_type : uint8_t { tag_on, tag_off };

// Up to six pairs of markup delimiters: [tag_on][k - 1] opens pair k,
// [tag_off][k - 1] closes it; 0 marks an empty slot. 24 bytes, as stored in
// the text settings.
using TIgnore_tag_type = std::array<std::array<char16_t, 6>, 2>;

// Work-form codes (those of the wildcard symbols come from
// User_input_wildcard_parsing.h).
inline constexpr char16_t sw_leading_crlf_code = u'\u0010';
inline constexpr char16_t sw_trailing_crlf_code = u'\u0013';
inline constexpr char16_t sw_any_string_code = any_string_symbol_code;  // U+0015
inline constexpr char16_t sw_tag_off_code = u'\u0018';
inline constexpr char16_t sw_tag_on_code = u'\u0019';
inline constexpr char16_t sw_any_word_code = any_word_symbol_code;  // U+001A
inline constexpr char16_t sw_digits_code = tag_wildcards_converters[hash_type][replacement_char][0];
inline constexpr char16_t sw_one_char_code = tag_wildcards_converters[question_type][replacement_char][0];
inline constexpr char16_t sw_asterisk_code = tag_wildcards_converters[asterisk_type][replacement_char][0];
inline constexpr char16_t sw_any_letter_code =
    tag_wildcards_converters[any_letter_type][replacement_char][0];

// One search word. Copied by value; a default record has empty strings,
// zero numbers and false booleans.
struct TSearch_word_format_rec {
  std::u16string typed_in_text;      // the alternative as received, decorations and context included
  std::u16string search_text;        // the trimmed work form
  std::array<std::u16string, 4> copies;  // indexed by sw_copy_type
  TMySearchFlags flags;              // case, boundaries, word to avoid
  int32_t n_to_find = 0;             // hits wanted in one search; below 1: no limit
  int32_t hits_found = 0;            // hits counted so far
  std::u16string sw_context_needed;  // the context word after " context:="
  int32_t spaces_in_sw = 0;          // kept for callers
  bool ambiguous = false;            // not a plain literal
  bool auto_lemma_added = false;     // added automatically as a lemma form
  bool copies_converted = false;     // copies narrowed to 8-bit code units
  bool has_file_based_context_word = false;  // a " context:=" suffix was present
  bool achou_suficiente = false;     // has found enough hits
  bool contains_a_tag = false;       // markup delimiters were encoded
  int16_t Langnum = 0;               // language number
  int32_t SearchColumn = 0;          // kept for callers
  int32_t temp_int = 0;              // kept for callers
  friend bool operator==(const TSearch_word_format_rec&, const TSearch_word_format_rec&) = default;
};

// The alternatives of a request (the caller collapses runs of spaces first),
// in a new list the caller owns; S is left empty. With split, each "/" that
// is neither the first nor the last character of what remains and has no
// double quote on either side ends an alternative; the slash itself is
// dropped and the character after it begins the next alternative, where it
// never splits ("a//b" gives "a" and "/b"). A trailing line-break symbol
// ("cat/\") splits at its slash, a leading one ("/\cat") does not. Without
// split, a non-empty S is the one alternative. Alternatives are not trimmed,
// and an empty S gives an empty list. Linear in the length of S.
QN_API std::unique_ptr<platform::TStringList> SplitSWList(std::u16string& S, bool split);

// One alternative fully parsed: context suffix (" context:=word"), flag
// decorations, wildcards, markup delimiters, line-break symbols and numeric
// character references. S is left holding the untrimmed work form.
//
// ambiguous compares typed_in_text (with its decorations, context suffix and
// surrounding spaces) with search_text, so "==Bank==" and " cat" are
// ambiguous too; an unchanged text is ambiguous when it holds a code from
// U+001A to U+001F. The case copies use the locale-independent 1:1 mapping,
// so all four have the length of search_text; the title copy is the first
// character of the upper copy followed by the rest of the lower copy.
QN_API TSearch_word_format_rec Parsed_SearchWord(const TIgnore_tag_type& ignore_tags, std::u16string& S);

// One alternative taken literally apart from its flag decorations (S is left
// stripped of them): no wildcards, context, markup or character references.
QN_API TSearch_word_format_rec UnParsed_SearchWord(std::u16string& S);

// S converted to the work form in place (the core of Parsed_SearchWord,
// without the context suffix and without trimming): flags from the
// decorations, quoted symbols protected, " * ", the single-character
// wildcards and "}}}" encoded, line-break symbols, markup delimiters,
// numeric character references, then the quoted symbols put back bare.
//
// Quoted symbols are held as private-use placeholders while the rest is
// encoded; the placeholders are chosen among codes that neither S nor its
// character references hold, so private-use characters already in the text
// come through unchanged.
QN_API void Parse_SWChunk(const TIgnore_tag_type& ignore_tags, bool& contains_a_tag, std::u16string& S,
                          TMySearchFlags& flags);

// Encodes "^", "#", "*", "?" (every occurrence) and the first brace of every
// "}}}"; true when "}}}" occurred.
QN_API bool DoMainParse_Translates(std::u16string& S);

// Encodes the markup delimiters of ignore_tags in S. Pair by pair (1 to 6), an
// opening character that occurs becomes U+0019 everywhere and sets a running
// flag; while the flag is set, the pair's closing character becomes U+0018
// everywhere, and a closing character that does not occur clears the flag.
// Returns the flag after the sixth pair.
QN_API bool ContainsPairedTagMarkup(const TIgnore_tag_type& ignore_tags, std::u16string& S);

}  // namespace qn
