// The flag set of a search word: how it is to be matched (case, whole word on
// either side) and whether it is a word to avoid or one to replace. The
// search-word parser fills it from the decorations a user types; the string
// functions that find whole words look at the two boundary flags only.
//
// Stored as one byte, bit n standing for the flag of ordinal n.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace qn {

enum TMySearchFlag : uint8_t {
  myReplace = 0,
  myConfirmFinds = 1,
  myCaseIsSensitive = 2,
  mySW_To_Avoid = 3,
  myLeftBounded = 4,
  myRightBounded = 5,
};

class TMySearchFlags {
 public:
  constexpr TMySearchFlags() noexcept = default;
  constexpr TMySearchFlags(std::initializer_list<TMySearchFlag> flags) noexcept {
    for (TMySearchFlag f : flags) Include(f);
  }
  static constexpr TMySearchFlags FromByte(uint8_t bits) noexcept {
    TMySearchFlags s;
    s.fBits = static_cast<uint8_t>(bits & 0x3F);
    return s;
  }
  constexpr void Include(TMySearchFlag f) noexcept { fBits = static_cast<uint8_t>(fBits | Bit(f)); }
  constexpr void Exclude(TMySearchFlag f) noexcept { fBits = static_cast<uint8_t>(fBits & ~Bit(f)); }
  constexpr bool Contains(TMySearchFlag f) const noexcept { return (fBits & Bit(f)) != 0; }
  constexpr bool Empty() const noexcept { return fBits == 0; }
  constexpr uint8_t Byte() const noexcept { return fBits; }
  friend constexpr bool operator==(TMySearchFlags, TMySearchFlags) noexcept = default;

 private:
  static constexpr uint8_t Bit(TMySearchFlag f) noexcept {
    return f <= myRightBounded ? static_cast<uint8_t>(1u << f) : 0;
  }
  uint8_t fBits = 0;
};

}  // namespace qn
