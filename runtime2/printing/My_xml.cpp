#include "runtime2/printing/My_xml.h"

namespace qn {

std::u16string LegalXMLElementTypeNamefromString(std::u16string_view s) {
  std::u16string name;
  for (char16_t c : s) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')) name.push_back(c);
  }
  return name;
}

}  // namespace qn
