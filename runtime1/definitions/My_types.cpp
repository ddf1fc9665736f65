#include "runtime1/definitions/My_types.h"

#include <unicode/ustring.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qn {

namespace {

// Display names by tool ordinal. The plug-in gate's row is a format with the
// major version in place of %d; rows without a name are empty.
constexpr std::array<std::u16string_view, kToolTypeCount> kToolNames = {
    u"Tallier",               // tt_tallier
    u"Kwicker",               // tt_kwicker
    u"Salientor",             // tt_salientor
    u"GlyphSeqs",             // tt_Glyphseqs
    u"Quillon",               // tt_hub
    u"",                      // tt_any_main_tool
    u"Recoder",               // tt_recoder
    u"QNConcGram",            // tt_QNconcgram
    u"",                      // tt_reserved
    u"Locale Picker",         // tt_locale_picker
    u"",                      // tt_spare_convert16bit
    u"Aligner",               // tt_parallel_pager
    u"",                      // tt_spare_netfetch
    u"Glyph Census",          // tt_glyph_census
    u"Near Twins",            // tt_near_twins
    u"Disk Toolkit",          // tt_disk_toolkit
    u"QN%d Plugin Gate DLL",  // tt_plugin_gate
    u"Page Peeker",           // tt_page_peeker
    u"Collection Auditor",    // tt_collection_auditor
    u"Quillon update probe",  // tt_update_probe
    u"",                      // tt_lexstore
    u"",                      // tt_no_tool_at_all
};

std::u16string AsciiToUtf16(std::string_view text) {
  return std::u16string(text.begin(), text.end());
}

std::u16string MajorVersionText() { return AsciiToUtf16(std::to_string(QNMajorVersion)); }

// Letter case is folded for A to Z only: executable names are ASCII, and no
// other character can match one of them.
char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameTextAscii(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// File names on this platform are bytes, by convention UTF-8; bytes that are
// not UTF-8 become U+FFFD rather than failing.
std::u16string NativeToUtf16(const std::string& native) {
  if (native.empty()) return {};
  std::u16string result(native.size(), u'\0');  // never more units than bytes
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &length, native.data(),
                       static_cast<int32_t>(native.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  result.resize(static_cast<size_t>(length));
  return result;
}

}  // namespace

std::u16string Tool_Name(tool_type tool) {
  if (!IsValidToolType(tool)) return {};
  std::u16string name(kToolNames[tool]);
  const size_t placeholder = name.find(u"%d");
  if (placeholder != std::u16string::npos) name.replace(placeholder, 2, MajorVersionText());
  return name;
}

std::u16string GetShortToolFilename(tool_type tool) {
  std::u16string name = Tool_Name(tool);
  if (name.empty()) return {};
  for (char16_t& c : name) {
    if (c == u' ') c = u'_';
  }
  name += MajorVersionText();
  name += (tool == tt_plugin_gate) ? u".dll" : u".exe";
  return name;
}

std::u16string RunningProgramFilename() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return NativeToUtf16(exe.string());
}

std::u16string GetFullToolFilename(tool_type tool) {
  std::u16string folder = RunningProgramFilename();
  const size_t slash = folder.rfind(u'/');
  folder.resize(slash == std::u16string::npos ? 0 : slash + 1);
  return folder + GetShortToolFilename(tool);
}

tool_type ToolTypeFromProgramFilename(std::u16string_view program_filename) {
  for (int ordinal = 0; ordinal < kToolTypeCount; ++ordinal) {
    const std::u16string candidate = GetShortToolFilename(static_cast<tool_type>(ordinal));
    if (!candidate.empty() && SameTextAscii(candidate, program_filename)) {
      return static_cast<tool_type>(ordinal);
    }
  }
  return tt_no_tool_at_all;
}

void SetCurrentTool() {
  const std::u16string path = RunningProgramFilename();
  const size_t slash = path.rfind(u'/');
  const std::u16string_view name =
      std::u16string_view(path).substr(slash == std::u16string::npos ? 0 : slash + 1);
  current_tool_var = ToolTypeFromProgramFilename(name);
}

std::u16string QuillonControllerCaption() {
  char version[32];
  std::snprintf(version, sizeof version, "%4.1f", static_cast<double>(QNMajorVersion));
  return u"Quillon Tools" + AsciiToUtf16(version);
}

std::u16string CurrentQNMajorVersion100Str() { return MajorVersionText() + u".0.0.100"; }

}  // namespace qn
