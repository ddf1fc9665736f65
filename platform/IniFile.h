// The in-memory ini file: a settings file read whole, changed in memory, and
// written back whole.
//
// Format. Sections are headed by a line "[name]"; the lines after it, up to the
// next heading, hold "key=value". Blanks around the key and the value are
// dropped (so a value cannot begin or end with a blank), the first '=' ends the
// key. Section and key names are matched without regard to case (simple
// Unicode case folding, the same in every locale); the first section or key of
// a name wins when a file repeats one, and writes change that first one. Lines
// starting with ';' or '#', and lines without '=' inside a section, are
// comments: they are kept, in place, when the file is written back, and never
// seen as keys. Lines before the first section are kept the same way. Blank
// lines are dropped; one blank line separates sections when written.
//
// Encoding. The file is read when the object is created: a byte-order mark
// selects UTF-8 or UTF-16, else the bytes are text of the active code page; a
// missing file gives empty settings. UpdateFile writes in Encoding() (the
// encoding read, unless SetEncoding chose another), with a byte-order mark for
// UTF-8 and UTF-16.
//
// Safety. Nothing reaches the disk until UpdateFile. UpdateFile writes a
// temporary file in the same folder and renames it over the old one, so a
// failure or a crash at any point leaves either the old settings or the new
// ones, never a mixture or nothing.
//
// The value readers and writers are virtual so that a descendant can store a
// type its own way (the suite's settings class stores Booleans as YES and NO).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Export.h"
#include "platform/Object.h"
#include "platform/StringList.h"

namespace qn::platform {

class QN_API TMemIniFile : public TObject {
 public:
  // Reads the file; raises EFOpenError or EReadError when an existing file
  // cannot be read. An empty file name gives empty settings and no file.
  explicit TMemIniFile(std::u16string_view fileName);
  explicit TMemIniFile(std::string_view fileNameUtf8);
  // Reads the file in the given encoding (a matching byte-order mark is skipped).
  TMemIniFile(std::u16string_view fileName, TTextEncoding encoding);
  TMemIniFile(const TMemIniFile&) = delete;
  TMemIniFile& operator=(const TMemIniFile&) = delete;
  ~TMemIniFile() override;  // does not write: call UpdateFile

  const std::u16string& FileName() const noexcept { return fFileName; }
  TTextEncoding Encoding() const noexcept { return fEncoding; }
  void SetEncoding(TTextEncoding encoding) noexcept { fEncoding = encoding; }

  // --- values -----------------------------------------------------------------

  // The value of key in section; Default when the key is absent. A key present
  // with an empty value gives the empty string.
  virtual std::u16string ReadString(std::u16string_view section, std::u16string_view ident,
                                    std::u16string_view Default);
  // Sets the value, adding the section and the key when absent.
  virtual void WriteString(std::u16string_view section, std::u16string_view ident,
                           std::u16string_view value);

  // Decimal, or hexadecimal after "0x" or "$"; Default when absent or not a
  // number that fits.
  virtual int32_t ReadInteger(std::u16string_view section, std::u16string_view ident,
                              int32_t Default);
  virtual void WriteInteger(std::u16string_view section, std::u16string_view ident, int32_t value);
  virtual int64_t ReadInt64(std::u16string_view section, std::u16string_view ident,
                            int64_t Default);
  virtual void WriteInt64(std::u16string_view section, std::u16string_view ident, int64_t value);

  // A decimal number written with '.' (the form WriteFloat writes, whatever the
  // user's locale); Default when absent or not a number.
  virtual double ReadFloat(std::u16string_view section, std::u16string_view ident,
                           double Default);
  // Writes the shortest text that reads back as the same double.
  virtual void WriteFloat(std::u16string_view section, std::u16string_view ident, double value);

  // "1" and "0" as written by WriteBool; also true/false, yes/no, on/off in any
  // case, and any integer (non-zero is true). Default otherwise.
  virtual bool ReadBool(std::u16string_view section, std::u16string_view ident, bool Default);
  virtual void WriteBool(std::u16string_view section, std::u16string_view ident, bool value);

  // Date-time values in the fixed form "yyyy-mm-dd hh:nn:ss.zzz" (locale-free).
  virtual TDateTime ReadDateTime(std::u16string_view section, std::u16string_view ident,
                                 TDateTime Default);
  virtual void WriteDateTime(std::u16string_view section, std::u16string_view ident,
                             TDateTime value);

  // --- structure -------------------------------------------------------------

  bool SectionExists(std::u16string_view section) const;
  bool ValueExists(std::u16string_view section, std::u16string_view ident) const;
  // Replaces strings' entries with the names of the sections, in file order.
  void ReadSections(TStringList& strings) const;
  // Replaces strings' entries with the key names of section, in file order.
  void ReadSection(std::u16string_view section, TStringList& strings) const;
  // Replaces strings' entries with the "key=value" lines of section.
  void ReadSectionValues(std::u16string_view section, TStringList& strings) const;
  // Removes a section and everything in it.
  void EraseSection(std::u16string_view section);
  // Removes one key.
  void DeleteKey(std::u16string_view section, std::u16string_view ident);
  // Removes every section (the file is untouched until UpdateFile).
  void Clear();

  // The whole settings as the lines of an ini file (what UpdateFile writes).
  void GetStrings(TStringList& lines) const;
  // Replaces the settings with those parsed from lines.
  void SetStrings(const TStringList& lines);
  // Replaces the settings with those parsed from text.
  void SetText(std::u16string_view text);
  std::u16string Text() const;

  // Writes the settings to the file, safely (see the header comment). Raises
  // EFCreateError or EWriteError when the file cannot be written; the old file
  // then stays as it was. Does nothing when the file name is empty.
  virtual void UpdateFile();

  // Takes a new file name; with reload, the settings are read from it.
  void Rename(std::u16string_view fileName, bool reload);

 private:
  struct TLine {
    std::u16string fKey;    // empty for a kept comment line
    std::u16string fValue;  // the value, or the whole comment line
    bool fIsComment = false;
  };
  struct TSection {
    std::u16string fName;
    std::vector<TLine> fLines;
    std::unordered_map<std::u16string, size_t> fKeyIndex;  // folded key -> first line
  };

  void Load(TTextEncoding encoding, bool detect);
  void Parse(std::u16string_view text);
  TSection* FindSection(std::u16string_view section);
  const TSection* FindSection(std::u16string_view section) const;
  TSection& AddSection(std::u16string_view section);
  const TLine* FindLine(std::u16string_view section, std::u16string_view ident) const;
  static void RebuildKeyIndex(TSection& section);

  std::u16string fFileName;
  TTextEncoding fEncoding = kEncodingDefault;
  std::vector<std::u16string> fPreamble;  // lines before the first section
  std::vector<TSection> fSections;
  std::unordered_map<std::u16string, size_t> fSectionIndex;  // folded name -> first section
};

}  // namespace qn::platform
