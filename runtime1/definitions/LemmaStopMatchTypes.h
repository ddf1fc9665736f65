// The vocabulary shared by the lemmatiser library and the suite's tools: the
// entry records of lemma, match, relation and stop lists, the callbacks
// through which a list reports its entries, its progress and its line counts,
// the four kinds of list, and their user-visible names and file captions.
//
// The records and callbacks are the very declarations of the lemmatiser's
// public C header (quillon/QuillonLemmaTypes.h), aliased here under the names
// the modules use, so that the library and its callers cannot disagree on a
// layout. An entry's texts belong to the list that holds it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "quillon/QuillonLemmaTypes.h"

namespace qn {

// The four kinds of list; the ordinal is the kind code of the lemmatiser's
// exported functions.
enum TLemmaMatchStopOptions : uint8_t {
  as_lemma = QN_KIND_LEMMA,
  as_match = QN_KIND_MATCH,
  as_stop = QN_KIND_STOP,
  as_relation = QN_KIND_RELATION,
};
inline constexpr int kLemmaMatchStopOptionCount = 4;

// A lemma list's record for one variant: variantp (list encoding), headwordp
// (always UTF-16, null for seed entries).
using TLemmaEntryRec = ::TQNLemmaEntryRec;
using PLemmaEntryRec = TLemmaEntryRec*;
// A match, relation or stop list's record for one entry: searchp (list encoding).
using TMatchEntryRec = ::TQNMatchEntryRec;
using PMatchEntryRec = TMatchEntryRec*;
using PStopEntryRec = TMatchEntryRec*;

// Up to 100 UTF-16 code units followed by a NUL.
using hundredwidechar = std::array<char16_t, QN_HUNDREDWIDECHAR_LENGTH>;

// Fills a hundredwidechar with text, cut to 100 code units, NUL-terminated and
// NUL-padded.
QN_API void SetHundredWideChar(hundredwidechar& target, std::u16string_view text) noexcept;

// Callbacks bound to an object. The parameter lists are those of the C
// header's structs, so a struct from a caller converts without a thunk.
//   t, in_unicode, consider_affixes, this (1-based walk position), out_of
using THandleLemmaProc =
    platform::TMethod<void(const TLemmaEntryRec* t, bool in_unicode, bool consider_affixes,
                           int32_t this_one, int32_t out_of)>;
using THandleMatchProc =
    platform::TMethod<void(TMatchEntryRec t, bool in_unicode, bool consider_affixes,
                           int32_t this_one, int32_t out_of)>;
using THandleStopProc = THandleMatchProc;
//   n: entries accepted so far
using TShowSomeProgressProc = platform::TMethod<void(int32_t n)>;
//   n, mess: a hundredwidechar naming the list
using TAnnounceNumberAndMessageProc = platform::TMethod<void(int32_t n, const char16_t* mess)>;

inline THandleLemmaProc FromC(const TQNHandleLemmaProc& p) noexcept { return {p.code, p.context}; }
inline THandleMatchProc FromC(const TQNHandleMatchProc& p) noexcept { return {p.code, p.context}; }
inline TShowSomeProgressProc FromC(const TQNShowSomeProgressProc& p) noexcept {
  return {p.code, p.context};
}
inline TAnnounceNumberAndMessageProc FromC(const TQNAnnounceNumberAndMessageProc& p) noexcept {
  return {p.code, p.context};
}

// The name a list of each kind hands to its line-count callback.
extern QN_API const std::array<std::u16string_view, kLemmaMatchStopOptionCount>
    LemmaMatchStopnames_of_processes;
// The caption of a list file of each kind in the tools' messages; "%s" stands
// for the file name.
extern QN_API const std::array<std::u16string_view, kLemmaMatchStopOptionCount> LemmaMatchStopFiles;

// The caption of LemmaMatchStopFiles for option with its "%s" replaced by name.
// An option outside the enumeration gives an empty text.
QN_API std::u16string LemmaMatchStopFileTypeStr(TLemmaMatchStopOptions option,
                                                std::u16string_view name);

// A flag the tools use between themselves; nothing in the libraries reads it.
extern QN_API bool file_reload;

}  // namespace qn
