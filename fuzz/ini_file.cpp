// Arbitrary bytes read as a settings file: decoding by byte-order mark, then
// parsing, every listing and lookup, and the text written back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/IniFile.h"
#include "platform/StringList.h"

namespace {

using qn::platform::TMemIniFile;
using qn::platform::TStringList;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  qn::platform::TTextEncoding encoding;
  const std::u16string text =
      qn::platform::DecodeTextBytes(std::span<const uint8_t>(data, size), &encoding);
  TMemIniFile ini(u"");
  ini.SetText(text);

  TStringList sections;
  ini.ReadSections(sections);
  for (int32_t s = 0; s < sections.Count() && s < 256; ++s) {
    Check(ini.SectionExists(sections[s]));
    TStringList keys;
    TStringList values;
    ini.ReadSection(sections[s], keys);
    ini.ReadSectionValues(sections[s], values);
    Check(keys.Count() == values.Count());
    for (int32_t k = 0; k < keys.Count() && k < 256; ++k) {
      Check(ini.ValueExists(sections[s], keys[k]));
      (void)ini.ReadInteger(sections[s], keys[k], 0);
      (void)ini.ReadInt64(sections[s], keys[k], 0);
      (void)ini.ReadFloat(sections[s], keys[k], 0);
      (void)ini.ReadBool(sections[s], keys[k], false);
      (void)ini.ReadDateTime(sections[s], keys[k], 0);
    }
  }

  // What would be written reads back as the same settings, and writing that
  // again gives the same text.
  const std::u16string written = ini.Text();
  TMemIniFile again(u"");
  again.SetText(written);
  Check(again.Text() == written);

  // A value written with any of the text's characters reads back as stored.
  const std::u16string value = text.substr(0, 64);
  ini.WriteString(u"fuzz", u"key", value);
  const std::u16string stored = ini.ReadString(u"fuzz", u"key", u"");
  TMemIniFile reread(u"");
  reread.SetText(ini.Text());
  Check(reread.ReadString(u"fuzz", u"key", u"") == stored);
  ini.DeleteKey(u"fuzz", u"key");
  Check(!ini.ValueExists(u"fuzz", u"key"));
  if (sections.Count() > 0) {
    ini.EraseSection(sections[0]);
    Check(!ini.SectionExists(sections[0]));
  }
  return 0;
}
