// The flag decorations of a typed search word, read off and written back.
// Part of the typed list family (Useful_Classes.h); the search-word parser
// (runtime1/search/Search_parsing.h) and the simple search list use them.
//
// Decorations, as a user types them:
//   *ing        a leading asterisk: the word need not begin at a word start
//   walk*       a trailing asterisk: the word need not end at a word end
//   ==Bank==    a leading and trailing "==" pair: case matters
//   ~the        a leading tilde: a word to avoid
// Only the first character is tested for the leading forms, so at most one of
// them applies; a trailing asterisk is tested afterwards in every case.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/text/My_search_flags.h"

namespace qn {

// The flags that the decorations of S express; strips those decorations from
// S. Starts from {myLeftBounded, myRightBounded}; an empty S keeps them.
// The "==" pair counts only when S has at least four characters, so "==" and
// "===" stay literal text without a flag (their pairs would overlap).
QN_API TMySearchFlags FlagsFromSW(std::u16string& S);

// S decorated so that FlagsFromSW gives back its case and boundary flags: a
// leading "*" without myLeftBounded, a trailing "*" without myRightBounded,
// the whole wrapped in "==" with myCaseIsSensitive. mySW_To_Avoid is not
// written back.
//
// The syntax has no form for "case matters and open on the left": with both,
// the result is "==*word==", which FlagsFromSW reads as left-bounded and case
// sensitive with the asterisk left in the word (where the parser makes it a
// wildcard). That one round trip does not come back unchanged.
QN_API std::u16string SWStringPlusFlags(std::u16string_view S, TMySearchFlags flags);

}  // namespace qn
