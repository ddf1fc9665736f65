#include "runtime1/definitions/LemmaStopMatchTypes.h"

#include <algorithm>

namespace qn {

const std::array<std::u16string_view, kLemmaMatchStopOptionCount> LemmaMatchStopnames_of_processes = {
    u"lemmas", u"match list", u"stop list", u"relation list"};

const std::array<std::u16string_view, kLemmaMatchStopOptionCount> LemmaMatchStopFiles = {
    u"lemmas file %s", u"match list file %s", u"stop list file %s", u"relation list file %s"};

bool file_reload = false;

void SetHundredWideChar(hundredwidechar& target, std::u16string_view text) noexcept {
  target.fill(u'\0');
  const size_t n = std::min(text.size(), target.size() - 1);
  std::copy_n(text.data(), n, target.data());
}

std::u16string LemmaMatchStopFileTypeStr(TLemmaMatchStopOptions option, std::u16string_view name) {
  if (static_cast<unsigned>(option) >= LemmaMatchStopFiles.size()) return {};
  std::u16string caption(LemmaMatchStopFiles[option]);
  const size_t at = caption.find(u"%s");
  if (at != std::u16string::npos) caption.replace(at, 2, name);
  return caption;
}

}  // namespace qn
