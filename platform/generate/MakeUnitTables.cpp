// Writes the C++ source of the built-in tables of platform/UnitTables.h (the
// per-code-unit classes and case mappings, the single-byte code pages'
// decodings), worked out with the ICU this program is linked against: the build runs it and compiles its output
// into the libraries.
// Usage: MakeUnitTables <output .cpp>
#include <cstdio>
#include <string>
#include <vector>

#include <unicode/uversion.h>

#include "platform/generate/SourceFile.h"
#include "platform/CodePageList.h"
#include "platform/UnitTables.h"

namespace {

template <typename T>
void WriteTable(std::FILE* out, const char* type, const char* name, const std::vector<T>& values) {
  std::fprintf(out, "alignas(64) extern const %s %s[kUnitCount] = {\n", type, name);
  for (size_t i = 0; i < values.size(); ++i) {
    std::fprintf(out, "%s0x%x,%s", i % 16 == 0 ? "  " : "", unsigned(values[i]), i % 16 == 15 ? "\n" : "");
  }
  std::fprintf(out, "};\n\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output .cpp>\n", argv[0]);
    return 2;
  }
  using namespace qn::platform;
  std::vector<uint16_t> classes(kUnitCount);
  std::vector<char16_t> upper(kUnitCount), lower(kUnitCount);
  ComputeUnitClasses(classes.data());
  ComputeUnitCases(upper.data(), lower.data());
  std::vector<uint8_t> wordClasses(kUnitCount);
  ComputeUnitWordClasses(wordClasses.data());

  return qn::generate::WriteSourceFile(argv[1], [&](std::FILE* out) {
    std::fprintf(out,
                 "// Made by the build (platform/generate/MakeUnitTables.cpp) from the Unicode data of\n"
                 "// ICU %s; not to be edited.\n"
                 "#include \"platform/UnitTables.h\"\n\nnamespace qn::platform {\n\n",
                 U_ICU_VERSION);
    WriteTable(out, "uint16_t", "kUnitClasses", classes);
    WriteTable(out, "char16_t", "kUnitUpper", upper);
    WriteTable(out, "char16_t", "kUnitLower", lower);
    WriteTable(out, "uint8_t", "kUnitWordClasses", wordClasses);
    // The single-byte pages ICU can open; a page left out is decoded with ICU
    // at run time, as it would have been.
    std::fprintf(out, "extern const TBuiltInByteDecoding kBuiltInByteDecodings[] = {\n");
    size_t pages = 0;
    for (const TCodePageInfo& info : kCodePages) {
      TByteDecoding decoding;
      if (info.maxBytes != 1 || !ComputeByteDecoding(info.converter, decoding)) continue;
      std::fprintf(out, "  {%u,\n   {{", unsigned(info.number));
      for (int b = 0; b < 256; ++b) std::fprintf(out, "%s0x%x", b ? "," : "", unsigned(decoding.units[b]));
      std::fprintf(out, "},\n    {");
      for (int b = 0; b < 256; ++b) std::fprintf(out, "%s%d", b ? "," : "", decoding.defined[b] ? 1 : 0);
      std::fprintf(out, "}}},\n");
      ++pages;
    }
    std::fprintf(out, "};\nextern const size_t kBuiltInByteDecodingCount = %zu;\n\n", pages);
    std::fprintf(out, "}  // namespace qn::platform\n");
  });
}
