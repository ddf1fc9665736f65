// Fuzzes the zip component on arbitrary archives held in memory: open, list
// every entry, read the comment, extract every entry into a string and into a
// stream, and find each entry again by its stored name. Only EZipError may
// come out; the extraction limit keeps every input's memory small.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Streams.h"
#include "runtime1/files/Zip_utils.h"

using namespace qn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TZipForge zip;
  zip.SetMaxExtractSize(1 << 20);
  try {
    zip.OpenArchiveFromMemory(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const EZipError&) {
    return 0;
  }
  try {
    zip.GetFileComment();
    zip.GetFileCount();
  } catch (const EZipError&) {
  }
  const int32_t count = zip.GetEntryCount();
  for (int32_t i = 0; i < count && i < 256; ++i) {
    try {
      const TZipDirItem item = zip.GetAZipMainDetail(i);
      zip.GetADateTime(i);
      zip.GetAZipFileSubProperty(i);
      const int32_t found = zip.FindEntry(item.FileName);
      if (!item.FileName.empty() && (found < 0 || found > i)) std::abort();
      std::string text = zip.ExtractEntryToString(i);
      if (text.size() != item.UncompressedSize) std::abort();
      platform::TMemoryStream stream;
      zip.ExtractEntryToStream(i, stream);
      if (static_cast<uint64_t>(stream.Size()) != item.UncompressedSize) std::abort();
    } catch (const EZipError&) {
    }
  }
  return 0;  // the destructor closes the archive
}
