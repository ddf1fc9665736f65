// Walking a corpus tree and the file utilities, against plain baselines on the
// same tree in the same run (warm cache after the first pass).
//
// The tree: 100,000 files in 1,000 leaf folders (1,011 folders in all), 80,000
// "*.txt" and 20,000 "*.htm", made once under the temporary folder and
// removed at exit.
//
//   peruse_dir_bench --benchmark_filter='Walk'      walker / find -printf,
//                                                   walker / recursive_directory_iterator
//   peruse_dir_bench --benchmark_filter='Find'      100,000 Finds in 100,000 records
//   peruse_dir_bench --benchmark_filter='Sort'      SortListOfFiles(by date) / stat + std::sort
//   peruse_dir_bench --benchmark_filter='CheckSum'  CheckSumOfAFile / read() of the same file
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/StringList.h"
#include "runtime1/files/File_utils.h"
#include "runtime1/files/PeruseDir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTop = 10;
constexpr int kLeavesPerTop = 100;
constexpr int kFilesPerLeaf = 100;  // 80 .txt, 20 .htm

class TTree {
 public:
  TTree() {
    fRoot = fs::temp_directory_path() / ("qn_walk_bench_" + std::to_string(::getpid()));
    fs::remove_all(fRoot);
    for (int t = 0; t < kTop; ++t) {
      for (int l = 0; l < kLeavesPerTop; ++l) {
        const fs::path leaf = fRoot / ("top" + std::to_string(t)) / ("leaf" + std::to_string(l));
        fs::create_directories(leaf);
        for (int f = 0; f < kFilesPerLeaf; ++f) {
          const std::string name = "text" + std::to_string(f) + (f < 80 ? ".txt" : ".htm");
          const fs::path path = leaf / name;
          const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
          if (fd >= 0) {
            const std::string body(static_cast<size_t>(f + 1), 'x');
            (void)!::write(fd, body.data(), body.size());
            ::close(fd);
          }
          fPaths.push_back(path.string());
        }
      }
    }
  }
  ~TTree() {
    std::error_code ignored;
    fs::remove_all(fRoot, ignored);
  }
  const fs::path& Root() const { return fRoot; }
  const std::vector<std::string>& Paths() const { return fPaths; }

 private:
  fs::path fRoot;
  std::vector<std::string> fPaths;
};

TTree& Tree() {
  static TTree tree;
  return tree;
}

struct TFolderCollector {
  std::vector<std::u16string> folders;
  void Found(std::u16string_view dir) { folders.emplace_back(dir); }
};

// The walk as a tool does it: every folder reported, then each folder's files
// collected into its TFolderful with size and date.
int64_t WalkWithFolderfuls(const std::u16string& root, std::u16string_view masks) {
  qn::TPeruseDir walker(masks, u"*", u"", u"", u"", true, false, false, false, false);
  TFolderCollector collector;
  walker.OnFoundDir = qn::TFoundDirEvent::Bind<&TFolderCollector::Found>(&collector);
  collector.folders.push_back(root);
  walker.ProcessAllSubDirectories(root);
  int64_t files = 0;
  for (const std::u16string& folder : collector.folders) {
    qn::TFolderful folderful(folder);
    folderful.FillList(walker);
    files += folderful.Count();
  }
  return files;
}

void BM_Walk_Walker_OneMask(benchmark::State& state) {
  const std::u16string root = qn::platform::DecodedUTF8(Tree().Root().string());
  int64_t files = 0;
  for (auto _ : state) files = WalkWithFolderfuls(root, u"*.txt");
  state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_Walk_Walker_OneMask)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Walk_Walker_TwoMasks(benchmark::State& state) {
  const std::u16string root = qn::platform::DecodedUTF8(Tree().Root().string());
  int64_t files = 0;
  for (auto _ : state) files = WalkWithFolderfuls(root, u"*.txt;*.htm");
  state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_Walk_Walker_TwoMasks)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the standard library's walk, stat-ing each matching file for its
// size and date as the walker does.
void BM_Walk_RecursiveDirectoryIterator(benchmark::State& state) {
  const fs::path root = Tree().Root();
  int64_t files = 0;
  for (auto _ : state) {
    files = 0;
    int64_t total = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file() || entry.path().extension() != ".txt") continue;
      struct stat info {};
      ::stat(entry.path().c_str(), &info);
      total += info.st_size + info.st_mtime;
      ++files;
    }
    benchmark::DoNotOptimize(total);
  }
  state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_Walk_RecursiveDirectoryIterator)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: find printing size, date and path of every "*.txt".
void BM_Walk_FindPrintf(benchmark::State& state) {
  const std::string command = "find '" + Tree().Root().string() + "' -name '*.txt' -printf '%s %T@ %p\\n'";
  int64_t lines = 0;
  // find's own time: the benchmark's CPU column counts only this process.
  struct rusage before {};
  ::getrusage(RUSAGE_CHILDREN, &before);
  for (auto _ : state) {
    lines = 0;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
      state.SkipWithError("find cannot be started");
      return;
    }
    char buffer[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
      lines += std::count(buffer, buffer + got, '\n');
    }
    ::pclose(pipe);
  }
  struct rusage after {};
  ::getrusage(RUSAGE_CHILDREN, &after);
  const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
  const double childMs = ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
  state.counters["find_cpu_ms"] = childMs / static_cast<double>(state.iterations());
  state.counters["files"] = static_cast<double>(lines);
}
BENCHMARK(BM_Walk_FindPrintf)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100,000 Finds in a list of 100,000 records sorted by the key.
void FindAll(benchmark::State& state, qn::TMySearchRecSort sort) {
  qn::TMySearchRecList list;
  std::vector<qn::TMySearchRec> recs;
  for (int64_t i = 0; i < 100000; ++i) {
    qn::TMySearchRec rec;
    rec.ShortName = u"file" + qn::platform::DecodedUTF8(std::to_string(i * 7919 % 100000)) + u".txt";
    rec.Size = static_cast<int32_t>((i * 104729) % 1000003);
    rec.DateTime = 40000.0 + static_cast<double>(i * 15485863 % 1000003) / 1000.0;
    recs.push_back(rec);
    list.AddRec(rec);
  }
  list.SetSort(sort);
  int64_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const qn::TMySearchRec& rec : recs) found += list.Find(rec) >= 0;
  }
  state.counters["found"] = static_cast<double>(found);
}
void BM_Find_ByName(benchmark::State& state) { FindAll(state, qn::sr_sort_by_name); }
void BM_Find_BySize(benchmark::State& state) { FindAll(state, qn::sr_sort_by_size); }
void BM_Find_ByDate(benchmark::State& state) { FindAll(state, qn::sr_sort_by_date); }
BENCHMARK(BM_Find_ByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_BySize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_ByDate)->Unit(benchmark::kMillisecond);

void BM_Sort_SortListOfFilesByDate(benchmark::State& state) {
  qn::platform::TStringList list;
  for (const std::string& path : Tree().Paths()) list.Add(qn::platform::DecodedUTF8(path));
  for (auto _ : state) qn::SortListOfFiles(list, true, (state.iterations() & 1) == 0);
}
BENCHMARK(BM_Sort_SortListOfFilesByDate)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: one stat per path, then std::sort on the access times.
void BM_Sort_StatAndStdSort(benchmark::State& state) {
  const std::vector<std::string>& paths = Tree().Paths();
  for (auto _ : state) {
    std::vector<std::pair<int64_t, const std::string*>> keyed;
    keyed.reserve(paths.size());
    for (const std::string& path : paths) {
      struct stat info {};
      ::stat(path.c_str(), &info);
      keyed.emplace_back(static_cast<int64_t>(info.st_atim.tv_sec) * 1000000000 + info.st_atim.tv_nsec, &path);
    }
    std::sort(keyed.begin(), keyed.end());
    benchmark::DoNotOptimize(keyed.data());
  }
}
BENCHMARK(BM_Sort_StatAndStdSort)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cached 256 MiB file.
const std::string& BigFile() {
  static const std::string path = [] {
    const std::string name = (Tree().Root() / "big.bin").string();
    std::ofstream out(name, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31);
    for (int i = 0; i < 256; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    return name;
  }();
  return path;
}

void BM_CheckSum_CheckSumOfAFile(benchmark::State& state) {
  const std::u16string name = qn::platform::DecodedUTF8(BigFile());
  for (auto _ : state) benchmark::DoNotOptimize(qn::CheckSumOfAFile(name));
  state.SetBytesProcessed(state.iterations() * (int64_t{256} << 20));
}
BENCHMARK(BM_CheckSum_CheckSumOfAFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: reading the same file in 1 MiB blocks, nothing computed.
void BM_CheckSum_ReadOnly(benchmark::State& state) {
  std::vector<char> block(1 << 20);
  for (auto _ : state) {
    const int fd = ::open(BigFile().c_str(), O_RDONLY);
    while (::read(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
    benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(state.iterations() * (int64_t{256} << 20));
}
BENCHMARK(BM_CheckSum_ReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
