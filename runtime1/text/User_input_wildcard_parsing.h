// The wildcard symbols of the suite's search syntax, the control codes that
// stand for them inside prepared search text, and the operations that turn
// symbols into codes, protect symbols the user put between double quotes and
// put those symbols back afterwards.
//
// A search-word parser works in three steps on one text: Parse_Retain (each
// quoted symbol becomes one placeholder character, base + its table index),
// its own Parse_Translate calls (symbols become control codes), then
// Parse_Restore with the same base (each placeholder becomes the bare symbol
// again). A symbol the user quoted thus comes out as the plain symbol,
// untouched by the translation.
//
// The tables are constants; every operation works on its arguments only and
// may run on any thread. None fails: odd input gives no change.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

// Any stretch of text: three closing braces.
inline constexpr std::u16string_view any_string_symbol_str = u"}}}";
// An asterisk standing alone between spaces: any one word.
inline constexpr std::u16string_view any_word_symbol_char = u" * ";
// A line end: slash, backslash.
inline constexpr std::u16string_view crlf_symbol_string = u"/\\";

// The codes of the any-word and any-string symbols in prepared search words
// (the tag symbols' codes are in tag_wildcards_converters).
inline constexpr char16_t any_word_symbol_code = u'\u001A';
inline constexpr char16_t any_string_symbol_code = u'\u0015';

enum tag_wildcards_type : uint8_t { not_type, any_letter_type, asterisk_type, question_type, hash_type };
enum tag_conversion_type : uint8_t { original_char, replacement_char };

inline constexpr int kTagWildcardsCount = 5;

// Each symbol and its control code, one character each.
inline constexpr std::array<std::array<std::u16string_view, 2>, kTagWildcardsCount>
    tag_wildcards_converters = {{
        {u"~", u"\u001F"},  // not_type
        {u"^", u"\u001E"},  // any_letter_type
        {u"*", u"\u001D"},  // asterisk_type
        {u"?", u"\u001C"},  // question_type
        {u"#", u"\u001B"},  // hash_type
    }};

inline constexpr int kQuotedWildcardSymbolsCount = 11;

// Symbols between double quotes; entry i is retained as the character base + i.
inline constexpr std::array<std::u16string_view, kQuotedWildcardSymbolsCount>
    quoted_wildcard_symbols = {
        u"\"^\"",  u"\"/\"", u"\"*\"", u"\"==\"", u"\"?\"",   u"\":\\\"",
        u"\"<\"",  u"\">\"", u"\"#\"", u"\"}}}\"", u"\"/\\\"",
};

// The base the search-word parser uses: placeholders U+E000 .. U+E00A.
inline constexpr int32_t kQuotedSymbolsPrivateBase = 0xE000;

// Marks every occurrence of symbol by overwriting its first character with
// code (the others stay: "a}}}b" -> "a", U+0015, "}}b"); the search restarts
// from the left, so overlapping runs are marked one after another ("}}}}" ->
// U+0015, U+0015, "}}"). True when at least one character was overwritten.
// An empty symbol, or a code equal to the symbol's first character (which
// would mark the same place for ever), changes nothing and gives false.
QN_API bool Parse_Translate(std::u16string& text, std::u16string_view symbol, char16_t code);

// Replaces every occurrence of quoted by the single character code (a value
// outside 0 .. 0xFFFF changes nothing, nor does an empty quoted).
QN_API void Parse_RetainOne(std::u16string& text, int32_t code, std::u16string_view quoted);
// Parse_RetainOne for each quoted symbol, index 0 to 10, with code base + index.
QN_API void Parse_Retain(std::u16string& text, int32_t base);

// Replaces every character code by the bare symbol of quoted: quoted trimmed
// of characters up to U+0020 and stripped of its double quotes.
QN_API void Parse_RestoreOne(std::u16string& text, int32_t code, std::u16string_view quoted);
// Parse_RestoreOne for each quoted symbol, index 0 to 10, with code base + index.
QN_API void Parse_Restore(std::u16string& text, int32_t base);

// The text with the tag wildcard symbols turned into their codes, row by row
// (not_type .. hash_type): the first quoted form of the row's symbol loses
// its quotes, or, when there is none, the first bare symbol becomes the code.
// Later occurrences stay: "<*>" -> "<", U+001D, ">".
QN_API std::u16string TagWildcardConverted(std::u16string_view text);

}  // namespace qn
