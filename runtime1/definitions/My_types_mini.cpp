#include "runtime1/definitions/My_types_mini.h"

#include "platform/Streams.h"

namespace qn {

tool_type current_tool_var = tt_hub;

void TMyCanvasColourRec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  platform::PutLE(&out[0], text);
  platform::PutLE(&out[4], selected_text);
  platform::PutLE(&out[8], background);
  platform::PutLE(&out[12], selected_background);
}

TMyCanvasColourRec TMyCanvasColourRec::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TMyCanvasColourRec rec;
  rec.text = platform::GetLE<TColor>(&in[0]);
  rec.selected_text = platform::GetLE<TColor>(&in[4]);
  rec.background = platform::GetLE<TColor>(&in[8]);
  rec.selected_background = platform::GetLE<TColor>(&in[12]);
  return rec;
}

}  // namespace qn
