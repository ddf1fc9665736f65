// The stream records and the shared-memory lists, each against a baseline
// measured in the same run:
//
//   stream_helpers_bench --benchmark_filter=Records
//       1,000,000 records of 10 UTF-16 units read from a memory stream:
//       ReadUnknownLengthPointer and ReadWidePchar against GetString32
//   stream_helpers_bench --benchmark_filter=Region
//       1,000,000 numbers copied into a shared region and loaded back, against
//       memcpy of the same 8 MB plus one virtual call per item
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Streams.h"
#include "runtime1/files/Myfilestreamu.h"
#include "runtime1/files/testing/SampleStreamMemLists.h"

namespace {

using qn::platform::TMemoryStream;
using qn::platform::TMemoryViewStream;

constexpr int kRecords = 1000000;

// 1,000,000 records of 10 units: a signed 32-bit count, then the units.
const TMemoryStream& Records() {
  static TMemoryStream* stream = [] {
    auto* s = new TMemoryStream();
    const std::u16string text = u"concordanc";
    for (int i = 0; i < kRecords; ++i) qn::platform::PutString32(*s, text);
    return s;
  }();
  return *stream;
}

void BM_Records_GetString32(benchmark::State& state) {
  const TMemoryStream& records = Records();
  for (auto _ : state) {
    TMemoryViewStream in(records.Bytes());
    size_t total = 0;
    for (int i = 0; i < kRecords; ++i) total += qn::platform::GetString32(in, 50000, "bench").size();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_Records_GetString32)->Unit(benchmark::kMillisecond);

void BM_Records_ReadUnknownLengthPointer(benchmark::State& state) {
  const TMemoryStream& records = Records();
  for (auto _ : state) {
    TMemoryViewStream in(records.Bytes());
    size_t total = 0;
    for (int i = 0; i < kRecords; ++i) {
      auto* buffer = static_cast<char16_t*>(qn::ReadUnknownLengthPointer(in, true));
      total += static_cast<size_t>(qn::temp_pointer_chars_allocated) + buffer[0];
      qn::DeletePWideChar(buffer);
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_Records_ReadUnknownLengthPointer)->Unit(benchmark::kMillisecond);

void BM_Records_ReadWidePchar(benchmark::State& state) {
  const TMemoryStream& records = Records();
  for (auto _ : state) {
    TMemoryViewStream in(records.Bytes());
    size_t total = 0;
    for (int i = 0; i < kRecords; ++i) {
      char16_t* buffer = qn::ReadWidePchar(in);
      total += buffer[9];
      qn::DeletePWideChar(buffer);
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_Records_ReadWidePchar)->Unit(benchmark::kMillisecond);

std::u16string RegionName(const char* what) {
  return qn::platform::DecodedUTF8(std::string("qn_bench_") + what + "_" + std::to_string(::getpid()));
}

// The baseline: one virtual call per item and one copy of the 8 MB.
struct TItemSource {
  virtual ~TItemSource() = default;
  virtual int32_t Item(int32_t i) const = 0;
};
struct TItemArray : TItemSource {
  std::vector<int32_t> values;
  int32_t Item(int32_t i) const override { return values[static_cast<size_t>(i)]; }
};

void BM_Region_MemcpyBaseline(benchmark::State& state) {
  TItemArray source;
  source.values.resize(kRecords);
  for (int32_t i = 0; i < kRecords; ++i) source.values[static_cast<size_t>(i)] = i;
  std::vector<uint8_t> region(8u * kRecords + 8);
  std::vector<int32_t> back(kRecords);
  const TItemSource* items = &source;
  for (auto _ : state) {
    std::vector<uint8_t> staging(8u * kRecords);
    for (int32_t i = 0; i < kRecords; ++i) {
      const int32_t v = items->Item(i);
      std::memcpy(staging.data() + 8 * static_cast<size_t>(i) + 4, &v, 4);
    }
    std::memcpy(region.data() + 4, staging.data(), staging.size());
    benchmark::ClobberMemory();
    std::memcpy(staging.data(), region.data() + 4, staging.size());
    for (int32_t i = 0; i < kRecords; ++i) std::memcpy(&back[static_cast<size_t>(i)], staging.data() + 8 * i + 4, 4);
    benchmark::DoNotOptimize(back.data());
  }
}
BENCHMARK(BM_Region_MemcpyBaseline)->Unit(benchmark::kMillisecond);

void BM_Region_CopyToMemmap(benchmark::State& state) {
  qn::test_support::TNumberMemList list(RegionName("copy"));
  for (int32_t i = 0; i < kRecords; ++i) list.AddNumber(i);
  for (auto _ : state) {
    if (!list.CopyToMemmap()) state.SkipWithError("copy failed");
  }
}
BENCHMARK(BM_Region_CopyToMemmap)->Unit(benchmark::kMillisecond);

void BM_Region_LoadFromMemmap(benchmark::State& state) {
  qn::test_support::TNumberMemList writer(RegionName("load"));
  for (int32_t i = 0; i < kRecords; ++i) writer.AddNumber(i);
  if (!writer.CopyToMemmap()) state.SkipWithError("copy failed");
  qn::test_support::TNumberMemList reader(RegionName("load"));
  for (auto _ : state) {
    if (!reader.LoadFromMemmap() || reader.Count() != kRecords) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_Region_LoadFromMemmap)->Unit(benchmark::kMillisecond);

}  // namespace
