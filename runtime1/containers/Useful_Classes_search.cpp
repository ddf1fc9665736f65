#include "runtime1/containers/Useful_Classes_search.h"

namespace qn {

TMySearchFlags FlagsFromSW(std::u16string& S) {
  TMySearchFlags flags{myLeftBounded, myRightBounded};
  if (S.empty()) return flags;
  switch (S.front()) {
    case u'*':
      S.erase(0, 1);
      flags.Exclude(myLeftBounded);
      break;
    case u'=':
      if (S.size() >= 4 && S.starts_with(u"==") && S.ends_with(u"==")) {
        S.erase(S.size() - 2);
        S.erase(0, 2);
        flags.Include(myCaseIsSensitive);
      }
      break;
    case u'~':
      S.erase(0, 1);
      flags.Include(mySW_To_Avoid);
      break;
    default:
      break;
  }
  if (!S.empty() && S.back() == u'*') {
    S.pop_back();
    flags.Exclude(myRightBounded);
  }
  return flags;
}

std::u16string SWStringPlusFlags(std::u16string_view S, TMySearchFlags flags) {
  std::u16string r;
  r.reserve(S.size() + 6);
  if (flags.Contains(myCaseIsSensitive)) r += u"==";
  if (!flags.Contains(myLeftBounded)) r += u'*';
  r += S;
  if (!flags.Contains(myRightBounded)) r += u'*';
  if (flags.Contains(myCaseIsSensitive)) r += u"==";
  return r;
}

}  // namespace qn
