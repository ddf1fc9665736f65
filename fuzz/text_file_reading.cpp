// Arbitrary bytes as a text file: classified quickly and thoroughly (from the
// buffer and from a file holding the bytes, which must agree), and read into
// one UTF-16 string through the file reader and through the string list, which
// must agree too. The text must have every line ended by CR LF and no NUL.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/Streams.h"
#include "runtime1/files/FileOfChar.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

int MemberCount(qn::TFileContentsSet set) { return __builtin_popcount(set.Byte()); }

const std::string& ScratchFile() {
  static const std::string name = "/tmp/qn_fuzz_text_file_reading_" + std::to_string(::getpid());
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t kNothing = 0;
  if (data == nullptr) data = &kNothing;
  const std::span<const uint8_t> bytes(data, size);

  const qn::TFileContentsSet quick = qn::FileBufferType(data, size, false);
  const qn::TFileContentsSet thorough = qn::FileBufferType(data, size, true);
  if (size < 4) {
    Check(quick.Empty() && thorough.Empty());
  } else {
    Check(MemberCount(thorough) == 1);
    Check(MemberCount(quick) == 1 || quick == qn::TFileContentsSet({qn::_8_bit, qn::_UTF8}));
  }

  const std::u16string text = qn::TextOfFileBytes(bytes);
  Check(text.size() <= 2 * size + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    Check(text[i] != 0);
    if (text[i] == u'\r') Check(i + 1 < text.size() && text[i + 1] == u'\n');
    if (text[i] == u'\n') Check(i > 0 && text[i - 1] == u'\r');
  }
  Check(text.empty() || text.ends_with(u"\r\n"));

  qn::platform::TMemoryViewStream stream(bytes);
  qn::TPossiblyDodgyTextStringlist list;
  list.LoadFromStream(stream);
  Check(list.Text() == text);

  // The file forms read only parts of the file; they must answer as the
  // buffer forms do.
  if (size <= 1 << 20) {
    const std::string& name = ScratchFile();
    if (FILE* f = std::fopen(name.c_str(), "wb")) {
      const bool written = std::fwrite(data, 1, size, f) == size;
      std::fclose(f);
      if (written) {
        const std::u16string wname(name.begin(), name.end());
        Check(qn::FileContentsType(wname, false) == quick);
        Check(qn::FileContentsType(wname, true) == thorough);
        Check(qn::TextFileContents(wname) == text);
        Check(qn::TextFileInUnicode(wname) == qn::StringIsInUnicode(data, static_cast<int32_t>(size)));
      }
      std::remove(name.c_str());
    }
  }

  // The UTF-8 reader's vector form, reading a piece at a time (a character
  // or a CR cut at the end of a piece), gives the plain decoder's text and
  // evidence over the whole.
  if (size <= 4096) {
    qn::file_detail::LimitUtf8DecoderLevel(0);
    size_t valid = 0, invalid = 0;
    const std::u16string plain = qn::file_detail::Utf8LinesInPieces(bytes, size + 1, &valid, &invalid);
    qn::file_detail::LimitUtf8DecoderLevel(2);
    for (size_t piece : {size_t{3}, size_t{37}}) {
      size_t v = 0, iv = 0;
      Check(qn::file_detail::Utf8LinesInPieces(bytes, piece, &v, &iv) == plain && v == valid && iv == invalid);
    }
  }
  return 0;
}
