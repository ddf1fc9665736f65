// Small pieces that the stored records of the definitions are written and read
// with: fixed arrays of UTF-16 units and of bytes at an offset of a record's
// image, and reading a record's bytes from a stream when the stream may hold
// fewer of them than the record needs.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Export.h"
#include "platform/Streams.h"

namespace qn {

template <size_t N>
void PutWideUnits(uint8_t* out, const std::array<char16_t, N>& units) noexcept {
  for (size_t i = 0; i < N; ++i) platform::PutLE(out + 2 * i, static_cast<uint16_t>(units[i]));
}

template <size_t N>
void GetWideUnits(const uint8_t* in, std::array<char16_t, N>& units) noexcept {
  for (size_t i = 0; i < N; ++i) units[i] = static_cast<char16_t>(platform::GetLE<uint16_t>(in + 2 * i));
}

template <size_t N>
void PutBytes(uint8_t* out, const std::array<uint8_t, N>& bytes) noexcept {
  std::copy(bytes.begin(), bytes.end(), out);
}

template <size_t N>
void GetBytes(const uint8_t* in, std::array<uint8_t, N>& bytes) noexcept {
  std::copy(in, in + N, bytes.begin());
}

template <size_t N>
void PutFloats(uint8_t* out, const std::array<float, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) platform::PutLE(out + 4 * i, values[i]);
}

template <size_t N>
void GetFloats(const uint8_t* in, std::array<float, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) values[i] = platform::GetLE<float>(in + 4 * i);
}

template <size_t N>
void PutInts(uint8_t* out, const std::array<int32_t, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) platform::PutLE(out + 4 * i, values[i]);
}

template <size_t N>
void GetInts(const uint8_t* in, std::array<int32_t, N>& values) noexcept {
  for (size_t i = 0; i < N; ++i) values[i] = platform::GetLE<int32_t>(in + 4 * i);
}

// Reads up to out.size() bytes into out, going on while the stream delivers
// (a stream may hand over fewer bytes per call than asked before its end).
// Bytes that could not be read are left as they were. Returns the number
// read. Errors of the stream other than reaching its end reach the caller.
QN_API size_t ReadRecordBytes(platform::TStream& stream, std::span<uint8_t> out);

}  // namespace qn
