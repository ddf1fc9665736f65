#include "runtime1/definitions/Stored_record_bytes.h"

namespace qn {

size_t ReadRecordBytes(platform::TStream& stream, std::span<uint8_t> out) {
  size_t got = 0;
  while (got < out.size()) {
    const int64_t n = stream.Read(out.data() + got, static_cast<int64_t>(out.size() - got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace qn
