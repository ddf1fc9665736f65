#include "runtime1/text/My_string_functions_docx.h"

#include <filesystem>

#include "platform/CodePages.h"
#include "platform/YieldHook.h"
#include "runtime1/files/Zip_utils.h"
#include "runtime1/text/My_string_functions_lists.h"

namespace qn {

namespace {

using View = std::u16string_view;
constexpr size_t npos = View::npos;

// Alternative-content blocks nested deeper than this are removed whole.
constexpr int kMaxAlternateDepth = 32;

constexpr View kAlternateOpen = u"<mc:AlternateContent";
constexpr View kAlternateClose = u"</mc:AlternateContent>";
constexpr View kFallbackOpen = u"<mc:Fallback";
constexpr View kFallbackClose = u"</mc:Fallback>";

// Whether the unit after a tag name ends the name (so "<w:p" is not "<w:pPr").
inline bool NameEndsAt(View s, size_t at) noexcept {
  return at >= s.size() || s[at] == u'>' || s[at] == u' ' || s[at] == u'\t' || s[at] == u'\r' || s[at] == u'\n' ||
         s[at] == u'/';
}

// The next start tag named by open (a prefix such as "<w:p") at or after from.
size_t FindStartTag(View s, View open, size_t from) noexcept {
  for (size_t p = s.find(open, from); p != npos; p = s.find(open, p + 1))
    if (NameEndsAt(s, p + open.size())) return p;
  return npos;
}

// Just after the ">" of the tag that starts at p; the end of s when unclosed.
inline size_t AfterTag(View s, size_t p) noexcept {
  const size_t gt = s.find(u'>', p);
  return gt == npos ? s.size() : gt + 1;
}

// The end of the alternative-content block whose start tag ends at from:
// where its matching close tag starts (contentEnd) and just after it
// (blockEnd); the end of s when it is never closed.
void MatchBlock(View s, size_t from, size_t& contentEnd, size_t& blockEnd) noexcept {
  int depth = 1;
  size_t p = from;
  for (;;) {
    const size_t open = FindStartTag(s, kAlternateOpen, p);
    const size_t close = s.find(kAlternateClose, p);
    if (close == npos) {
      contentEnd = blockEnd = s.size();
      return;
    }
    if (open != npos && open < close) {
      ++depth;
      p = AfterTag(s, open);
      continue;
    }
    if (--depth == 0) {
      contentEnd = close;
      blockEnd = close + kAlternateClose.size();
      return;
    }
    p = close + kAlternateClose.size();
  }
}

// The fallback part of a block's content that belongs to the block itself (not
// to a block nested in it); false when there is none.
bool OwnFallback(View content, View& fallback) noexcept {
  size_t p = 0;
  for (;;) {
    const size_t nested = FindStartTag(content, kAlternateOpen, p);
    const size_t fb = FindStartTag(content, kFallbackOpen, p);
    if (fb == npos) return false;
    if (nested != npos && nested < fb) {
      size_t contentEnd = 0, blockEnd = 0;
      MatchBlock(content, AfterTag(content, nested), contentEnd, blockEnd);
      p = blockEnd;
      continue;
    }
    const size_t start = AfterTag(content, fb);
    if (start > 0 && content[start - 1] == u'>' && start >= 2 && content[start - 2] == u'/') {
      fallback = View();  // <mc:Fallback/>: an empty fallback
      return true;
    }
    // Its close: the first one not inside a nested block.
    size_t q = start;
    for (;;) {
      const size_t nestedIn = FindStartTag(content, kAlternateOpen, q);
      const size_t close = content.find(kFallbackClose, q);
      if (close == npos) {
        fallback = content.substr(start);
        return true;
      }
      if (nestedIn != npos && nestedIn < close) {
        size_t contentEnd = 0, blockEnd = 0;
        MatchBlock(content, AfterTag(content, nestedIn), contentEnd, blockEnd);
        q = blockEnd;
        continue;
      }
      fallback = content.substr(start, close - start);
      return true;
    }
  }
}

void AppendResolved(View s, std::u16string& out, int depth) {
  size_t i = 0;
  for (;;) {
    const size_t p = FindStartTag(s, kAlternateOpen, i);
    if (p == npos) break;
    out.append(s.substr(i, p - i));
    const size_t contentStart = AfterTag(s, p);
    size_t contentEnd = 0, blockEnd = 0;
    MatchBlock(s, contentStart, contentEnd, blockEnd);
    View fallback;
    if (depth < kMaxAlternateDepth && OwnFallback(s.substr(contentStart, contentEnd - contentStart), fallback))
      AppendResolved(fallback, out, depth + 1);
    i = blockEnd;
    MyYieldProcess();
  }
  out.append(s.substr(i));
}

// XML text with the five predefined entities and numeric references decoded;
// anything else (an unknown entity, a bad number) stays as written.
void AppendDecoded(View s, std::u16string& out) {
  size_t i = 0;
  while (i < s.size()) {
    const size_t amp = s.find(u'&', i);
    if (amp == npos) {
      out.append(s.substr(i));
      return;
    }
    out.append(s.substr(i, amp - i));
    // A reference is short: look for its ";" in the next few units only, so a
    // text full of "&" costs one pass.
    const size_t semiInWindow = s.substr(amp + 1, 12).find(u';');
    const size_t semi = semiInWindow == npos ? npos : amp + 1 + semiInWindow;
    const View name = semi == npos ? View() : s.substr(amp + 1, semi - amp - 1);
    char16_t single = 0;
    if (name == u"amp") single = u'&';
    else if (name == u"lt") single = u'<';
    else if (name == u"gt") single = u'>';
    else if (name == u"quot") single = u'"';
    else if (name == u"apos") single = u'\'';
    if (single) {
      out += single;
      i = semi + 1;
      continue;
    }
    if (name.size() >= 2 && name[0] == u'#') {
      const bool hex = name[1] == u'x' || name[1] == u'X';
      const View digits = name.substr(hex ? 2 : 1);
      uint32_t value = 0;
      bool ok = !digits.empty();
      for (char16_t c : digits) {
        uint32_t d;
        if (c >= u'0' && c <= u'9') d = c - u'0';
        else if (hex && c >= u'a' && c <= u'f') d = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F') d = c - u'A' + 10;
        else { ok = false; break; }
        value = value * (hex ? 16 : 10) + d;
        if (value > 0x10FFFF) { ok = false; break; }
      }
      if (ok && value != 0 && (value < 0xD800 || value > 0xDFFF)) {
        if (value >= 0x10000) {
          out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
          out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
          out += static_cast<char16_t>(value);
        }
        i = semi + 1;
        continue;
      }
    }
    out += u'&';
    i = amp + 1;
  }
}

}  // namespace

std::u16string DocumentXmlText(View xml) {
  std::u16string resolved;
  resolved.reserve(xml.size());
  AppendResolved(xml, resolved, 0);
  const View s(resolved);

  std::u16string out;
  size_t i = 0;
  size_t nextYield = 1 << 16;
  for (;;) {
    const size_t p = FindStartTag(s, u"<w:p", i);
    if (p == npos) break;
    const size_t contentStart = AfterTag(s, p);
    if (contentStart >= 2 && s[contentStart - 1] == u'>' && s[contentStart - 2] == u'/') {
      i = contentStart;  // <w:p/>: an empty paragraph without a line
      continue;
    }
    size_t end = s.find(u"</w:p>", contentStart);
    const size_t next = end == npos ? s.size() : end + 6;
    if (end == npos) end = s.size();
    const View paragraph = s.substr(contentStart, end - contentStart);
    size_t t = 0;
    for (;;) {
      const size_t r = FindStartTag(paragraph, u"<w:t", t);
      if (r == npos) break;
      const size_t textStart = AfterTag(paragraph, r);
      if (textStart >= 2 && paragraph[textStart - 1] == u'>' && paragraph[textStart - 2] == u'/') {
        t = textStart;  // <w:t/>
        continue;
      }
      size_t textEnd = paragraph.find(u"</w:t>", textStart);
      if (textEnd == npos) textEnd = paragraph.size();
      AppendDecoded(paragraph.substr(textStart, textEnd - textStart), out);
      t = textEnd;
    }
    out += u"\r\n";
    i = next;
    if (i >= nextYield) {
      MyYieldProcess();
      nextYield = i + (1 << 16);
    }
  }
  return out;
}

std::u16string DOCXArchiveText(TZipForge& zip) {
  const int32_t count = zip.GetEntryCount();
  int32_t chosen = -1;
  for (int32_t e = 0; e < count; ++e) {
    const TZipDirItem item = zip.GetAZipMainDetail(e);
    std::u16string name = item.FileName;
    for (char16_t& c : name)
      if (c == u'\\') c = u'/';
    auto equalsIgnoringCase = [](View a, View b) {
      if (a.size() != b.size()) return false;
      for (size_t k = 0; k < a.size(); ++k) {
        const char16_t x = a[k] >= u'A' && a[k] <= u'Z' ? a[k] + 32 : a[k];
        const char16_t y = b[k] >= u'A' && b[k] <= u'Z' ? b[k] + 32 : b[k];
        if (x != y) return false;
      }
      return true;
    };
    if (equalsIgnoringCase(name, u"word/document.xml")) {
      chosen = e;
      break;
    }
    if (chosen < 0 && equalsIgnoringCase(BothSlashesExtractFilename(item.FileName), u"document.xml")) chosen = e;
  }
  if (chosen < 0) return {};
  if (zip.GetAZipMainDetail(chosen).UncompressedSize > kMaxDocumentPartSize) return {};
  const uint64_t savedLimit = zip.MaxExtractSize();
  zip.SetMaxExtractSize(std::min(savedLimit, kMaxDocumentPartSize));
  std::string bytes;
  try {
    bytes = zip.ExtractEntryToString(chosen);
  } catch (const EZipError& e) {
    zip.SetMaxExtractSize(savedLimit);
    if (e.Kind() == TZipErrorKind::too_large) return {};
    throw;
  }
  zip.SetMaxExtractSize(savedLimit);
  if (bytes.empty()) return {};
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  return DocumentXmlText(platform::DecodedUTF8(bytes));
}

std::u16string DOCXFileText(View fileName) {
  std::error_code ec;
  if (fileName.empty() || !std::filesystem::is_regular_file(std::filesystem::path(platform::EncodedUTF8(fileName)), ec))
    return {};
  TZipForge zip;
  zip.SetFileName(fileName);
  zip.OpenArchive();
  std::u16string text = DOCXArchiveText(zip);
  zip.CloseArchive();
  return text;
}

}  // namespace qn
