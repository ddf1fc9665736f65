// Names for the elements of the lists that the tools export as XML.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

// The ASCII letters A to Z and a to z of s, in order; every other code unit
// (digits, blanks, punctuation, letters outside ASCII) is dropped. The result
// may be empty, so a caller keeps a fallback name of its own.
QN_API std::u16string LegalXMLElementTypeNamefromString(std::u16string_view s);

}  // namespace qn
