// Fuzzes the recognisers of saved list files: the 57-byte header (as a record,
// through a stream, and by every file check's rules), the start of an older
// list file, and the texts that name list types (extensions, batch comments).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "fuzz/driver/FuzzText.h"
#include "platform/Streams.h"
#include "runtime1/definitions/Wdef.h"

using namespace qn;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void FuzzHeader(const uint8_t* data) {
  const std::span<const uint8_t, 57> bytes(data, 57);
  const TCheckSignature header = TCheckSignature::FromBytes(bytes);
  // The record reads back byte for byte.
  uint8_t again[57];
  header.ToBytes(again);
  Check(std::memcmp(again, data, 57) == 0);

  const list_type found = DiskFileType(header);
  Check(IsValidListType(found) && found < lt_sorting);
  for (int t = 0; t < kToolTypeCount; ++t) {
    list_type lt = lt_sorting;
    const bool current = IsAQuillon32BitHeaderForTool(header, static_cast<tool_type>(t), lt);
    Check(IsValidListType(lt));
    Check(!current || lt == found);
    WasAQuillon32BitHeader(header, static_cast<tool_type>(t), lt);
    Check(IsValidListType(lt));
  }
  list_type lt = lt_sorting;
  const tool_type saver = WhichToolsQuillon32BitHeader(header, lt);
  Check(IsValidToolType(saver) && IsValidListType(lt));

  // Through a stream: the check for the recognised list type of every tool
  // agrees with the record's own fields.
  for (int t = 0; t < kToolTypeCount; ++t) {
    platform::TMemoryViewStream stream(data, 57);
    TCheckSignature read;
    const bool ok = DiskSignatureISOKForToolAndList(read, static_cast<tool_type>(t), found, stream, reading);
    Check(read == header);
    Check(ok == (header.signature == CurrentSignature[t] && header.type_of_data.Equals(list_signature32[found])));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 57) FuzzHeader(data);
  if (size >= 41) {
    list_type lt = lt_sorting;
    IsAnOldQuillonFileStart(std::span<const uint8_t, 41>(data, 41), lt);
    Check(IsValidListType(lt));
  }
  // The same bytes as UTF-16 text: an extension, a batch comment.
  const std::u16string text = fuzz_support::Utf16Units(data, size);
  Check(IsValidListType(ListTypeFromFileExt(text)));
  Check(IsValidToolType(ToolTypeFromFileExt(text)));
  list_type lt = lt_sorting;
  bool named = false;
  IsBatchZipComment(text, 1, lt, named);
  Check(IsValidListType(lt));
  Check(!named || !DefaultExtFromListType(lt).empty());
  return 0;
}
