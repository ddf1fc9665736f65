// The zip component against libzip used directly (the baseline), on the same
// archive in memory: extracting a large entry, and finding entries by name.
//
//   zip_utils_bench --benchmark_filter=Extract     (ratio: TZipForge / libzip)
//   zip_utils_bench --benchmark_filter=Lookup
#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Streams.h"
#include "runtime1/files/Zip_utils.h"

namespace {

constexpr size_t kBigSize = 32u << 20;
constexpr int kSmallEntries = 10000;

std::string SmallName(int i) { return "folder" + std::to_string(i % 97) + "/entry" + std::to_string(i) + ".txt"; }

// A corpus-like text: words from a small vocabulary, so that it deflates the
// way real text does.
std::string CorpusText(size_t size) {
  static const char* const kWords[] = {"the ", "of ", "and ", "corpus ", "linguistics ", "word ",
                                       "list ", "concordance ", "frequency ", "text.\r\n"};
  std::string text;
  text.reserve(size);
  uint32_t state = 12345;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    text += kWords[(state >> 16) % 10];
  }
  text.resize(size);
  return text;
}

// The archive's bytes, made once with libzip's writer.
const std::string& ArchiveBytes() {
  static const std::string bytes = [] {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    const std::string big = CorpusText(kBigSize);
    zip_file_add(archive, "big.txt", zip_source_buffer(archive, big.data(), big.size(), 0), 0);
    std::vector<std::string> smalls;
    smalls.reserve(kSmallEntries);
    for (int i = 0; i < kSmallEntries; ++i) {
      smalls.push_back("small " + std::to_string(i));
      zip_file_add(archive, SmallName(i).c_str(),
                   zip_source_buffer(archive, smalls.back().data(), smalls.back().size(), 0), 0);
    }
    zip_close(archive);
    zip_source_open(buffer);
    zip_source_seek(buffer, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    std::string result(static_cast<size_t>(size), '\0');
    zip_source_read(buffer, result.data(), static_cast<zip_uint64_t>(size));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return result;
  }();
  return bytes;
}

zip_t* OpenWithLibzip() {
  const std::string& bytes = ArchiveBytes();
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  return zip_open_from_source(source, ZIP_RDONLY, &error);
}

void BM_Extract_Libzip(benchmark::State& state) {
  zip_t* archive = OpenWithLibzip();
  for (auto _ : state) {
    zip_stat_t stat;
    zip_stat_index(archive, 0, 0, &stat);
    std::string text(stat.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, 0, 0);
    zip_fread(file, text.data(), stat.size);
    zip_fclose(file);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBigSize));
  zip_discard(archive);
}
BENCHMARK(BM_Extract_Libzip)->Unit(benchmark::kMillisecond);

void BM_Extract_TZipForge_String(benchmark::State& state) {
  qn::TZipForge zip;
  zip.OpenArchiveFromMemory(ArchiveBytes());
  std::string text;
  for (auto _ : state) {
    zip.ExtractToString(u"big.txt", text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_Extract_TZipForge_String)->Unit(benchmark::kMillisecond);

void BM_Extract_TZipForge_Stream(benchmark::State& state) {
  qn::TZipForge zip;
  zip.OpenArchiveFromMemory(ArchiveBytes());
  for (auto _ : state) {
    qn::platform::TMemoryStream stream;
    zip.ExtractToStream(u"big.txt", stream);
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_Extract_TZipForge_Stream)->Unit(benchmark::kMillisecond);

// What the stream variant costs beyond inflating: writing the same bytes into
// a memory stream in the same 64 KiB pieces.
void BM_Extract_StreamWritesOnly(benchmark::State& state) {
  const std::string text = CorpusText(kBigSize);
  for (auto _ : state) {
    qn::platform::TMemoryStream stream;
    for (size_t at = 0; at < text.size(); at += 65536) {
      stream.WriteBuffer(text.data() + at, static_cast<int64_t>(std::min<size_t>(65536, text.size() - at)));
    }
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_Extract_StreamWritesOnly)->Unit(benchmark::kMillisecond);

// Finding 1,000 entries by stored name among 10,001.
void BM_Lookup_Libzip(benchmark::State& state) {
  zip_t* archive = OpenWithLibzip();
  std::vector<std::string> names;
  for (int i = 0; i < kSmallEntries; i += 10) names.push_back(SmallName(i));
  for (auto _ : state) {
    for (const std::string& name : names) benchmark::DoNotOptimize(zip_name_locate(archive, name.c_str(), 0));
  }
  zip_discard(archive);
}
BENCHMARK(BM_Lookup_Libzip)->Unit(benchmark::kMicrosecond);

void BM_Lookup_TZipForge(benchmark::State& state) {
  qn::TZipForge zip;
  zip.OpenArchiveFromMemory(ArchiveBytes());
  std::vector<std::u16string> names;
  for (int i = 0; i < kSmallEntries; i += 10) {
    const std::string name = SmallName(i);
    names.emplace_back(name.begin(), name.end());
  }
  zip.FindEntry(names[0]);  // the directory is read once, on first use
  for (auto _ : state) {
    for (const std::u16string& name : names) benchmark::DoNotOptimize(zip.FindEntry(name));
  }
}
BENCHMARK(BM_Lookup_TZipForge)->Unit(benchmark::kMicrosecond);

}  // namespace
