// Settings files of the suite as they come from disk, through the settings
// class (YES/NO Booleans on every key found), and the decoded text through the
// string helpers that take names and labels from such files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/StringList.h"
#include "runtime1/files/Inifileu2.h"
#include "runtime1/files/Mykpsmall.h"
#include "runtime1/files/Registry_utils.h"
#include "runtime1/files/Wingenok.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void ExerciseSettings(const std::u16string& text) {
  qn::TMyMemIniFile ini(u"");
  ini.SetText(text);
  qn::platform::TStringList sections;
  ini.ReadSections(sections);
  for (int32_t s = 0; s < sections.Count() && s < 64; ++s) {
    qn::platform::TStringList keys;
    ini.ReadSection(sections[s], keys);
    for (int32_t k = 0; k < keys.Count() && k < 256; ++k) {
      const bool asTrue = ini.ReadBool(sections[s], keys[k], true);
      const bool asFalse = ini.ReadBool(sections[s], keys[k], false);
      // A value that starts with neither Y nor N reads as the opposite of
      // either default; "Y..." reads true and "N..." false whatever the default.
      Check(asTrue == asFalse || (!asTrue && asFalse));
    }
  }
  ini.WriteBool(u"Fuzz", u"On", true);
  ini.WriteBool(u"Fuzz", u"Off", false);
  Check(ini.ReadBool(u"Fuzz", u"On", false));
  Check(!ini.ReadBool(u"Fuzz", u"Off", true));
  // What the class would write reads back with the same Booleans.
  qn::TMyMemIniFile again(u"");
  again.SetText(ini.Text());
  Check(again.ReadBool(u"Fuzz", u"On", false));
  Check(!again.ReadBool(u"Fuzz", u"Off", true));
}

void ExerciseStrings(const std::u16string& text) {
  const std::u16string doubled = qn::DoubleAnyAmpersands(text);
  Check(doubled.size() >= text.size());
  Check(qn::DoubleAnyAmpersands(doubled) == doubled);
  const qn::TNormalisedPathW path = qn::NormalisedPathW(text);
  Check(path[260] == 0);
  Check(qn::Rightstr(text, static_cast<int32_t>(text.size() % 7)).size() <= text.size());
  Check(qn::InitialsOfName(text).size() <= 2);
  (void)qn::CheckExecMessage(static_cast<uint32_t>(text.size() % 40), text);
  (void)qn::FileNameHasWildCards(text);
  std::vector<char16_t> buffer(text.begin(), text.end());
  buffer.push_back(0);
  const char16_t* found = qn::StrLScanW(buffer.data(), u'=', static_cast<int32_t>(text.size()));
  Check(found == nullptr || (found >= buffer.data() && found < buffer.data() + text.size()));
  qn::StrSwapByteOrder(buffer.data());
  qn::StrSwapByteOrder(buffer.data());
  Check(std::u16string(buffer.data(), text.size()) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const std::u16string text =
      qn::platform::DecodeTextBytes(std::span<const uint8_t>(data, size));
  ExerciseSettings(text);
  ExerciseStrings(text);
  return 0;
}
