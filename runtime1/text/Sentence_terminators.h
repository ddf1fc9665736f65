// The punctuation that ends sentences, and the punctuation that never does.
//
// Three read-only tables of UTF-16 code units, each in ascending order:
//   basic_sent_terminators  "!", ".", "?";
//   other_sent_terminators  the full stops, question and exclamation marks,
//                           dandas and section signs of the other scripts;
//   punct_not_ending_sent   punctuation marks (above U+00BF) that never end a
//                           sentence, whatever their general category says.
// The sentence scanners of the string library consult them a character at a
// time, so the lookups below are binary searches without allocation.
#pragma once

#include <array>

#include "platform/Export.h"

namespace qn {

extern QN_API const std::array<char16_t, 3> basic_sent_terminators;
extern QN_API const std::array<char16_t, 63> other_sent_terminators;
extern QN_API const std::array<char16_t, 276> punct_not_ending_sent;

QN_API bool IsBasicSentTerminator(char16_t c) noexcept;
QN_API bool IsOtherSentTerminator(char16_t c) noexcept;
QN_API bool IsPunctNotEndingSent(char16_t c) noexcept;

}  // namespace qn
