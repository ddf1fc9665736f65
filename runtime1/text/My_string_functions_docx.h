// The plain text of a word-processing document in the Office Open XML format
// (a zip archive whose main document part is word/document.xml): one line,
// ended by CR LF, per paragraph, made of the paragraph's run texts.
//
// Archives are untrusted input: the part is read only when it declares at
// most kMaxDocumentPartSize bytes (and the zip reader stops it there if it
// lies), every tag search runs forwards only, and nested alternative-content
// blocks are followed to a bounded depth, so any input costs time linear in
// its size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

class TZipForge;

// 256 MiB: far above any real document part.
inline constexpr uint64_t kMaxDocumentPartSize = uint64_t{256} << 20;

// The text of the document in fileName; "" when the file does not exist,
// holds no document part, or the part is larger than kMaxDocumentPartSize.
// An archive the zip reader cannot open raises its EZipError.
QN_API std::u16string DOCXFileText(std::u16string_view fileName);
// The same for an archive already open in zip.
QN_API std::u16string DOCXArchiveText(TZipForge& zip);
// The text of a document part's XML: each alternative-content block replaced
// by its fallback (removed when it has none), then, for each paragraph
// (<w:p> or <w:p ...>, not self-closing) up to its </w:p> (or the end of the
// text), the contents of its <w:t> elements followed by CR LF. The five
// predefined entities and numeric character references are decoded.
QN_API std::u16string DocumentXmlText(std::u16string_view xml);

}  // namespace qn
