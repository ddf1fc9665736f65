// Costs of the general helpers that run per entry of a list or per log line,
// each beside a baseline measured in the same run:
//   IntToDecStr / RealToDecStr   vs  std::to_chars of the same values (no
//                                    separators: the floor of any formatting)
//   AddToLogFile (one entry)     vs  one write() of the same bytes to an
//                                    already open file (the floor of any log)
//   AddToLogFile with logging off
//   DoubleAnyAmpersands          vs  a plain copy of the same text
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Format.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/files/Wingenok.h"

namespace {

std::vector<int64_t> Numbers() {
  std::vector<int64_t> numbers;
  uint64_t x = 88172645463325252ull;
  for (int i = 0; i < 1024; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    numbers.push_back(static_cast<int64_t>(x % 1000000000000ull) >> (i % 30));
  }
  return numbers;
}

void BM_Baseline_ToCharsInt(benchmark::State& state) {
  const std::vector<int64_t> numbers = Numbers();
  char buffer[32];
  size_t i = 0;
  for (auto _ : state) {
    auto result = std::to_chars(buffer, buffer + sizeof buffer, numbers[i++ & 1023]);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_ToCharsInt);

void BM_IntToDecStr(benchmark::State& state) {
  const std::vector<int64_t> numbers = Numbers();
  const qn::platform::TFormatSettings settings = qn::platform::TFormatSettings::ForLocale(0x0409);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(qn::IntToDecStr(numbers[i++ & 1023], settings));
}
BENCHMARK(BM_IntToDecStr);

void BM_Baseline_ToCharsReal(benchmark::State& state) {
  const std::vector<int64_t> numbers = Numbers();
  char buffer[64];
  size_t i = 0;
  for (auto _ : state) {
    auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(numbers[i++ & 1023]) / 1000.0,
                                std::chars_format::fixed, 2);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_ToCharsReal);

void BM_RealToDecStr(benchmark::State& state) {
  const std::vector<int64_t> numbers = Numbers();
  const qn::platform::TFormatSettings settings = qn::platform::TFormatSettings::ForLocale(0x0409);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qn::RealToDecStr(static_cast<double>(numbers[i++ & 1023]) / 1000.0, settings));
  }
}
BENCHMARK(BM_RealToDecStr);

const std::u16string kLogLine = u"searching /data/corpus/texts for *.txt;*.htm (1,234 files so far)";

std::filesystem::path LogPath(const char* name) {
  return std::filesystem::temp_directory_path() / (std::string("qn_bench_") + name + std::to_string(::getpid()));
}

void BM_Baseline_WriteToOpenFile(benchmark::State& state) {
  const std::filesystem::path path = LogPath("raw");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
  std::string bytes;
  for (char16_t unit : u"(TAL): " + kLogLine + u"\r\n") {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  for (auto _ : state) benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
  ::close(fd);
  std::filesystem::remove(path);
}
BENCHMARK(BM_Baseline_WriteToOpenFile);

void BM_AddToLogFile(benchmark::State& state) {
  const std::filesystem::path path = LogPath("log");
  std::filesystem::remove(path);
  qn::SetLogFilename(qn::platform::DecodedUTF8(path.string()));
  qn::keeping_log = true;
  for (auto _ : state) qn::AddToLogFile(kLogLine);
  if (!qn::keeping_log) state.SkipWithError("the log switched itself off");
  qn::keeping_log = false;
  qn::SetLogFilename(u"");
  std::filesystem::remove(path);
}
BENCHMARK(BM_AddToLogFile);

void BM_AddToLogFile_LoggingOff(benchmark::State& state) {
  qn::keeping_log = false;
  for (auto _ : state) {
    qn::AddToLogFile(kLogLine);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_AddToLogFile_LoggingOff);

const std::u16string kMenuText = u"&Save as... && export to Tom & Jerry's folder, then &Close";

void BM_Baseline_CopyText(benchmark::State& state) {
  for (auto _ : state) {
    std::u16string copy(kMenuText);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_Baseline_CopyText);

void BM_DoubleAnyAmpersands(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qn::DoubleAnyAmpersands(kMenuText));
}
BENCHMARK(BM_DoubleAnyAmpersands);

}  // namespace
