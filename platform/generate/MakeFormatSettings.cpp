// Writes the C++ source of qn::BuiltInFormatSettings
// (runtime1/files/BuiltInFormatSettings.h): the format settings of en-US as
// TFormatSettings::ForLocale gives them with the ICU this program is linked
// against. The build runs it and compiles its output into the libraries.
// Usage: MakeFormatSettings <output .cpp>
#include <unicode/putil.h>
#include <unicode/uversion.h>

#include <cstdio>
#include <string>

#include "platform/generate/SourceFile.h"
#include "platform/Format.h"

namespace {

constexpr uint32_t kLCID = 0x0409;

// Every field of TFormatSettings is written below; one added there must be
// written here too (the size tells when the struct has changed).
#if defined(__GLIBCXX__) && defined(__x86_64__)
static_assert(sizeof(qn::platform::TFormatSettings) == 1464, "TFormatSettings changed: write its new fields");
#endif

// A string as an initializer of char16_t units, whatever they are.
std::string Units(const std::u16string& text) {
  std::string out = "std::u16string{";
  for (size_t i = 0; i < text.size(); ++i) {
    char unit[16];
    std::snprintf(unit, sizeof unit, "%s0x%x", i ? ", " : "", unsigned(text[i]));
    out += unit;
  }
  return out + "}";
}

std::string Literal(const char* text) {
  std::string out = "\"";
  for (const char* p = text; *p; ++p) {
    if (*p == '"' || *p == '\\') out += '\\';
    out += *p;
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output .cpp>\n", argv[0]);
    return 2;
  }
  const qn::platform::TFormatSettings s = qn::platform::TFormatSettings::ForLocale(kLCID);
  const char* dataDirectory = u_getDataDirectory();

  return qn::generate::WriteSourceFile(argv[1], [&](std::FILE* out) {
    std::fprintf(out,
                 "// Made by the build (platform/generate/MakeFormatSettings.cpp) from the locale data\n"
                 "// of ICU %s; not to be edited.\n"
                 "#include \"runtime1/files/BuiltInFormatSettings.h\"\n\n"
                 "#include <unicode/putil.h>\n\n#include <cstring>\n\n"
                 "namespace qn {\n\n"
                 "bool BuiltInFormatSettings(uint32_t lcid, platform::TFormatSettings& s) {\n"
                 "  if (lcid != 0x%04x || std::strcmp(u_getDataDirectory(), %s) != 0) return false;\n",
                 U_ICU_VERSION, unsigned(kLCID), Literal(dataDirectory ? dataDirectory : "").c_str());
    auto unit = [&](const char* name, char16_t value) {
      std::fprintf(out, "  s.%s = char16_t(0x%x);\n", name, unsigned(value));
    };
    auto text = [&](const char* name, const std::u16string& value) {
      std::fprintf(out, "  s.%s = %s;\n", name, Units(value).c_str());
    };
    auto number = [&](const char* name, long value) { std::fprintf(out, "  s.%s = %ld;\n", name, value); };
    unit("DecimalSeparator", s.DecimalSeparator);
    unit("ThousandSeparator", s.ThousandSeparator);
    unit("DateSeparator", s.DateSeparator);
    unit("TimeSeparator", s.TimeSeparator);
    text("ShortDateFormat", s.ShortDateFormat);
    text("LongDateFormat", s.LongDateFormat);
    text("ShortTimeFormat", s.ShortTimeFormat);
    text("LongTimeFormat", s.LongTimeFormat);
    text("TimeAMString", s.TimeAMString);
    text("TimePMString", s.TimePMString);
    text("CurrencyString", s.CurrencyString);
    number("CurrencyFormat", s.CurrencyFormat);
    number("NegCurrFormat", s.NegCurrFormat);
    number("CurrencyDecimals", s.CurrencyDecimals);
    for (size_t i = 0; i < s.ShortMonthNames.size(); ++i) {
      const std::string index = std::to_string(i);
      text(("ShortMonthNames[" + index + "]").c_str(), s.ShortMonthNames[i]);
      text(("LongMonthNames[" + index + "]").c_str(), s.LongMonthNames[i]);
    }
    for (size_t i = 0; i < s.ShortDayNames.size(); ++i) {
      const std::string index = std::to_string(i);
      text(("ShortDayNames[" + index + "]").c_str(), s.ShortDayNames[i]);
      text(("LongDayNames[" + index + "]").c_str(), s.LongDayNames[i]);
    }
    number("TwoDigitYearCenturyWindow", s.TwoDigitYearCenturyWindow);
    std::fprintf(out, "  return true;\n}\n\n}  // namespace qn\n");
  });
}
