// The code pages the platform layer converts, with the ICU converter whose
// tables are each one's Windows tables. Shared by the conversions
// (CodePages.cpp) and the build's maker of the single-byte pages' decodings
// (platform/generate/MakeUnitTables.cpp).
#pragma once

#include <cstdint>

namespace qn::platform {

struct TCodePageInfo {
  uint32_t number;
  const char* converter;
  uint8_t maxBytes;  // per UTF-16 code unit
};

// The ICU converters whose tables are the Windows ones (windows-125x carry the
// C1 controls for the bytes Windows leaves undefined; the -2000 tables are the
// Windows versions of the Asian pages; ibm-943_P15A-2003 is windows-31j).
inline constexpr TCodePageInfo kCodePages[] = {
    {437, "ibm-437_P100-1995", 1},      {737, "ibm-737_P100-1997", 1},
    {775, "ibm-775_P100-1996", 1},      {850, "ibm-850_P100-1995", 1},
    {852, "ibm-852_P100-1995", 1},      {855, "ibm-855_P100-1995", 1},
    {857, "ibm-857_P100-1995", 1},      {866, "ibm-866_P100-1995", 1},
    {874, "windows-874-2000", 1},       {932, "ibm-943_P15A-2003", 2},
    {936, "windows-936-2000", 2},       {949, "windows-949-2000", 2},
    {950, "windows-950-2000", 2},       {1250, "ibm-5346_P100-1998", 1},
    {1251, "ibm-5347_P100-1998", 1},    {1252, "ibm-5348_P100-1997", 1},
    {1253, "ibm-5349_P100-1998", 1},    {1254, "ibm-5350_P100-1998", 1},
    {1255, "ibm-9447_P100-2002", 1},    {1256, "ibm-9448_X100-2005", 1},
    {1257, "ibm-9449_P100-2002", 1},    {1258, "ibm-5354_P100-1998", 1},
    {10000, "macos-0_2-10.2", 1},       {20127, "US-ASCII", 1},
    {20866, "ibm-878_P100-1996", 1},    {21866, "ibm-1168_P100-2002", 1},
    {28591, "ISO-8859-1", 1},           {28592, "ibm-912_P100-1995", 1},
    {28593, "ibm-913_P100-2000", 1},    {28594, "ibm-914_P100-1995", 1},
    {28595, "ibm-915_P100-1995", 1},    {28596, "ibm-1089_P100-1995", 1},
    {28597, "ibm-9005_X110-2007", 1},   {28598, "ibm-5012_P100-1999", 1},
    {28599, "ibm-920_P100-1995", 1},    {28603, "ibm-921_P100-1995", 1},
    {28605, "ibm-923_P100-1998", 1},    {54936, "gb18030", 4},
    {65001, "UTF-8", 3},
};

}  // namespace qn::platform
