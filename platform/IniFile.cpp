#include "platform/IniFile.h"

#include "platform/Exceptions.h"

// Interim bodies: the header is final; the implementation follows.
namespace qn::platform {

namespace {
[[noreturn]] void Pending() { throw Exception(std::string("ini file: not built yet")); }
}  // namespace

TMemIniFile::TMemIniFile(std::u16string_view fileName) : fFileName(fileName) {}
TMemIniFile::TMemIniFile(std::string_view) {}
TMemIniFile::TMemIniFile(std::u16string_view fileName, TTextEncoding encoding)
    : fFileName(fileName), fEncoding(encoding) {}
TMemIniFile::~TMemIniFile() = default;
std::u16string TMemIniFile::ReadString(std::u16string_view, std::u16string_view, std::u16string_view) { Pending(); }
void TMemIniFile::WriteString(std::u16string_view, std::u16string_view, std::u16string_view) { Pending(); }
int32_t TMemIniFile::ReadInteger(std::u16string_view, std::u16string_view, int32_t) { Pending(); }
void TMemIniFile::WriteInteger(std::u16string_view, std::u16string_view, int32_t) { Pending(); }
int64_t TMemIniFile::ReadInt64(std::u16string_view, std::u16string_view, int64_t) { Pending(); }
void TMemIniFile::WriteInt64(std::u16string_view, std::u16string_view, int64_t) { Pending(); }
double TMemIniFile::ReadFloat(std::u16string_view, std::u16string_view, double) { Pending(); }
void TMemIniFile::WriteFloat(std::u16string_view, std::u16string_view, double) { Pending(); }
bool TMemIniFile::ReadBool(std::u16string_view, std::u16string_view, bool) { Pending(); }
void TMemIniFile::WriteBool(std::u16string_view, std::u16string_view, bool) { Pending(); }
TDateTime TMemIniFile::ReadDateTime(std::u16string_view, std::u16string_view, TDateTime) { Pending(); }
void TMemIniFile::WriteDateTime(std::u16string_view, std::u16string_view, TDateTime) { Pending(); }
bool TMemIniFile::SectionExists(std::u16string_view) const { Pending(); }
bool TMemIniFile::ValueExists(std::u16string_view, std::u16string_view) const { Pending(); }
void TMemIniFile::ReadSections(TStringList&) const { Pending(); }
void TMemIniFile::ReadSection(std::u16string_view, TStringList&) const { Pending(); }
void TMemIniFile::ReadSectionValues(std::u16string_view, TStringList&) const { Pending(); }
void TMemIniFile::EraseSection(std::u16string_view) { Pending(); }
void TMemIniFile::DeleteKey(std::u16string_view, std::u16string_view) { Pending(); }
void TMemIniFile::Clear() { Pending(); }
void TMemIniFile::GetStrings(TStringList&) const { Pending(); }
void TMemIniFile::SetStrings(const TStringList&) { Pending(); }
void TMemIniFile::SetText(std::u16string_view) { Pending(); }
std::u16string TMemIniFile::Text() const { Pending(); }
void TMemIniFile::UpdateFile() { Pending(); }
void TMemIniFile::Rename(std::u16string_view, bool) { Pending(); }

}  // namespace qn::platform
