#include "runtime1/files/Inifileu2.h"

#include <sys/stat.h>

#include "platform/CodePages.h"
#include "runtime1/files/Wingenok.h"

namespace qn {

std::u16string ident_YES = u"YES";
std::u16string ident_NO = u"NO";

TMyMemIniFile::TMyMemIniFile(std::u16string_view AFilename) : platform::TMemIniFile(AFilename) {
  SetEncoding(platform::kEncodingUTF16LE);
}

TMyMemIniFile::~TMyMemIniFile() = default;

bool TMyMemIniFile::ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) {
  if (Default) {
    const std::u16string text = ReadString(Section, Ident, ident_YES);
    return !text.empty() && text.front() == u'Y';
  }
  const std::u16string text = ReadString(Section, Ident, ident_NO);
  return text.empty() || text.front() != u'N';
}

void TMyMemIniFile::WriteBool(std::u16string_view Section, std::u16string_view Ident, bool Value) {
  WriteString(Section, Ident, Value ? ident_YES : ident_NO);
}

std::u16string TMyMemIniFile::BackupFileName() const { return ChangeFileExtension(FileName(), u".BAK"); }

bool TMyMemIniFile::SaveABackup() {
  if (FileName().empty()) return false;
  struct stat info {};
  if (::stat(platform::EncodedUTF8(FileName()).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return CopyFileReplacing(FileName(), BackupFileName());
}

}  // namespace qn
