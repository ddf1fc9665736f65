// Arbitrary bytes as a word-processing document: as a zip archive held in
// memory (its document part, if any, through the text extraction) and as
// the XML of a document part itself.
//
// Checks: only the zip reader's EZipError comes out; the text of a part is
// never longer than its XML (tags are longer than the line ends that replace
// them, and references shrink when decoded).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/CodePages.h"
#include "runtime1/files/Zip_utils.h"
#include "runtime1/text/My_string_functions_docx.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr size_t kMaxBytes = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), data == nullptr ? 0 : std::min(size, kMaxBytes));
  qn::TZipForge zip;
  zip.SetMaxExtractSize(1 << 20);
  try {
    zip.OpenArchiveFromMemory(bytes);
    qn::DOCXArchiveText(zip);
  } catch (const qn::EZipError&) {
  }
  const std::u16string xml = qn::platform::DecodedUTF8(bytes);
  Check(qn::DocumentXmlText(xml).size() <= xml.size());
  return 0;
}
