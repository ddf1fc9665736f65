// TMyMemIniFile: the class of the suite's settings files.
//
// An in-memory ini file (platform/IniFile.h: read whole when created, changed
// in memory, written back whole and safely by UpdateFile) that always writes
// UTF-16 little-endian with the mark FF FE, whatever encoding it read, and
// stores Booleans as YES and NO. The owner calls SaveABackup before UpdateFile
// to keep the previous file as name.BAK.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/IniFile.h"

namespace qn {

// The texts of stored Booleans.
extern QN_API std::u16string ident_YES;  // "YES"
extern QN_API std::u16string ident_NO;   // "NO"

class QN_API TMyMemIniFile : public platform::TMemIniFile {
 public:
  // Reads AFilename (a byte-order mark selects UTF-8 or UTF-16, else the
  // active code page; a missing file gives empty settings) and sets the
  // encoding for writing to UTF-16 little-endian.
  explicit TMyMemIniFile(std::u16string_view AFilename);
  ~TMyMemIniFile() override;

  // Reads the value as text. With Default true the result is false only when
  // the text does not begin with "Y"; with Default false it is true only when
  // the text does not begin with "N". The comparison is exact, so "yes" reads
  // as false and "no" as true; a key present with an empty value reads as the
  // opposite of Default, a missing key as Default.
  bool ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) override;
  // Writes "YES" or "NO".
  void WriteBool(std::u16string_view Section, std::u16string_view Ident, bool Value) override;

  // When the file exists on disk, copies it to the same name with the
  // extension ".BAK" (replacing an older backup; the copy is complete or not
  // made) and returns true; otherwise, or when the copy fails, false. The
  // settings held in memory are not written.
  bool SaveABackup();

  // The name SaveABackup copies to.
  std::u16string BackupFileName() const;
};

}  // namespace qn
