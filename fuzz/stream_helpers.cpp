// Reads arbitrary bytes as a run of the small stream records: short strings,
// wide and 8-bit texts, and pointer records of either width.
//
// The first byte chooses the reader (and, for the pointer records, the
// maximum); the rest is the stream. Reading may raise the system's errors; it
// must never read out of bounds or allocate for a count the stream cannot
// hold. Every record read must write back to exactly the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "runtime1/files/Myfilestreamu.h"

namespace {

using qn::platform::TMemoryStream;
using qn::platform::TMemoryViewStream;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The bytes from `from` to the stream's position must equal what the writer made.
void CheckSame(const uint8_t* data, int64_t from, int64_t to, TMemoryStream& written) {
  Check(written.Size() == to - from);
  Check(written.Size() == 0 || std::memcmp(written.Memory(), data + from, static_cast<size_t>(written.Size())) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  const uint8_t choice = data[0];
  ++data;
  --size;
  TMemoryViewStream in(data, static_cast<int64_t>(size));
  // A small maximum reaches the maximum check; a huge one the bytes-left check.
  const int32_t maximum = (choice & 0x10) != 0 ? INT32_MAX : (choice >> 5) * 16;
  try {
    for (;;) {
      const int64_t from = in.Position();
      TMemoryStream out;
      switch (choice % 5) {
        case 0: {
          const std::string s = qn::ReadShortString(in);
          Check(qn::WriteShortString(out, s));
          break;
        }
        case 1: {
          char16_t* w = qn::ReadWidePchar(in);
          const size_t length = std::char_traits<char16_t>::length(w);
          // A zero unit inside the record ends the text early; compare only
          // records without one.
          if (2 * static_cast<int64_t>(length) + 4 == in.Position() - from) qn::WriteWidePchar(out, w);
          qn::DeletePWideChar(w);
          if (out.Size() == 0) continue;
          break;
        }
        case 2: {
          char* a = qn::ReadAnsiPchar(in);
          const size_t length = std::strlen(a);
          const bool whole = static_cast<int64_t>(length) + 2 == in.Position() - from;
          if (whole) Check(qn::WriteAnsiPchar(out, a) == static_cast<int32_t>(length) + 2);
          qn::DeletePAnsichar(a);
          if (!whole) continue;
          break;
        }
        default: {
          const bool wide = choice % 5 == 3;
          void* p = qn::ReadUnknownLengthPointerMaxSize(in, wide, maximum);
          const int32_t count = qn::temp_pointer_chars_allocated;
          Check(count >= 0 && count <= maximum);
          Check(in.Position() - from == 4 + (wide ? 2 : 1) * static_cast<int64_t>(count));
          Check(qn::WriteKnownLengthPointer(out, p, wide, count));
          if (wide) {
            Check(static_cast<char16_t*>(p)[count] == 0);
            qn::DeletePWideChar(static_cast<char16_t*>(p));
          } else {
            Check(static_cast<char*>(p)[count] == 0);
            qn::DeletePAnsichar(static_cast<char*>(p));
          }
          break;
        }
      }
      CheckSame(data, from, in.Position(), out);
    }
  } catch (const qn::Exception&) {
  }
  return 0;
}
