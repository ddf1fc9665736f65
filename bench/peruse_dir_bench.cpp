// Walking a corpus tree and the file utilities, against plain baselines on the
// same tree in the same run (warm cache after the first pass).
//
// The trees: 100,000 files in 1,000 leaf folders (1,011 folders in all), and
// 100,000 files in 10,000 leaf folders (10,101 folders in all), 80% "*.txt"
// and 20% "*.htm", each made once under the temporary folder and removed at
// exit.
//
//   peruse_dir_bench --benchmark_filter='Walk_'     walker / find -printf,
//                                                   walker / recursive_directory_iterator
//   peruse_dir_bench --benchmark_filter='Walk10k'   the same on the 10,000-folder tree
//   peruse_dir_bench --benchmark_filter='Find'      100,000 Finds in 100,000 records
//   peruse_dir_bench --benchmark_filter='Sort'      SortListOfFiles(by date) / stat + std::sort
//   peruse_dir_bench --benchmark_filter='CheckSum'  CheckSumOfAFile / read() of the same file
//   peruse_dir_bench --benchmark_filter='Delete_'   DeleteAllFilesOn(T, "txt") answered OK /
//                                                   find T -name '*.txt' -delete (the 80,000
//                                                   "*.txt" of the 1,000-folder tree, put back
//                                                   as links between iterations, untimed)
//   peruse_dir_bench --benchmark_filter='DeleteTree' DeleteAllFilesOn(T, "\\*.*") / find T
//                                                   -mindepth 1 -delete (a whole tree of 20,000
//                                                   files in 2,000 folders, in /dev/shm)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/StringList.h"
#include "runtime1/files/File_utils.h"
#include "runtime1/files/Mykpsmall.h"
#include "runtime1/files/PeruseDir.h"

namespace {

namespace fs = std::filesystem;

class TTree {
 public:
  TTree(const std::string& tag, int tops, int leavesPerTop, int filesPerLeaf) {
    fRoot = fs::temp_directory_path() / ("qn_walk_bench_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(fRoot);
    for (int t = 0; t < tops; ++t) {
      for (int l = 0; l < leavesPerTop; ++l) {
        const fs::path leaf = fRoot / ("top" + std::to_string(t)) / ("leaf" + std::to_string(l));
        fs::create_directories(leaf);
        for (int f = 0; f < filesPerLeaf; ++f) {
          const bool txt = f < filesPerLeaf * 4 / 5;
          const std::string name = "text" + std::to_string(f) + (txt ? ".txt" : ".htm");
          const fs::path path = leaf / name;
          const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
          if (fd >= 0) {
            const std::string body(static_cast<size_t>(f + 1), 'x');
            (void)!::write(fd, body.data(), body.size());
            ::close(fd);
          }
          fPaths.push_back(path.string());
          if (txt) fTexts.push_back(path.string());
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
  const std::vector<std::string>& Texts() const { return fTexts; }

 private:
  fs::path fRoot;
  std::vector<std::string> fPaths;
  std::vector<std::string> fTexts;
};

// 100,000 files in 1,000 leaf folders.
TTree& Tree() {
  static TTree tree("1k", 10, 100, 100);
  return tree;
}

// 100,000 files in 10,000 leaf folders.
TTree& WideTree() {
  static TTree tree("10k", 100, 100, 10);
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

// Runs a shell command per iteration, counting its output lines; the
// command's own CPU time goes to the "child_cpu_ms" counter (the benchmark's
// CPU column counts only this process).
void RunCommand(benchmark::State& state, const std::string& command, bool untimedSetUp = false,
                void (*setUp)() = nullptr) {
  int64_t lines = 0;
  struct rusage before {};
  ::getrusage(RUSAGE_CHILDREN, &before);
  for (auto _ : state) {
    if (untimedSetUp && setUp != nullptr) {
      state.PauseTiming();
      setUp();
      state.ResumeTiming();
    }
    lines = 0;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
      state.SkipWithError("the command cannot be started");
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
  state.counters["child_cpu_ms"] = childMs / static_cast<double>(state.iterations());
  state.counters["lines"] = static_cast<double>(lines);
}

std::string FindPrintf(const TTree& tree) {
  return "find '" + tree.Root().string() + "' -name '*.txt' -printf '%s %T@ %p\\n'";
}

// Baseline: find printing size, date and path of every "*.txt".
void BM_Walk_FindPrintf(benchmark::State& state) { RunCommand(state, FindPrintf(Tree())); }
BENCHMARK(BM_Walk_FindPrintf)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same two on 100,000 files in 10,000 folders.
void BM_Walk10k_Walker_OneMask(benchmark::State& state) {
  const std::u16string root = qn::platform::DecodedUTF8(WideTree().Root().string());
  int64_t files = 0;
  for (auto _ : state) files = WalkWithFolderfuls(root, u"*.txt");
  state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_Walk10k_Walker_OneMask)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Walk10k_FindPrintf(benchmark::State& state) { RunCommand(state, FindPrintf(WideTree())); }
BENCHMARK(BM_Walk10k_FindPrintf)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// Deleting: the 80,000 "*.txt" of the 1,000-folder tree, put back before
// each iteration (untimed) as hard links to one file, so that only the walk
// and the unlinks are timed. Folders keep their "*.htm", so none is removed.
// Several sources: a file system may allow fewer links to one file (65,000
// on ext4) than there are texts.
constexpr size_t kLinkSources = 8;

const std::string& LinkSource(size_t i) {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> names;
    for (size_t n = 0; n < kLinkSources; ++n) {
      names.push_back((Tree().Root() / ("source" + std::to_string(n) + ".dat")).string());
      std::ofstream(names.back(), std::ios::binary) << "text";
    }
    return names;
  }();
  return paths[i % kLinkSources];
}

void PutTextsBack() {
  const std::vector<std::string>& texts = Tree().Texts();
  for (size_t i = 0; i < texts.size(); ++i) {
    if (::link(LinkSource(i).c_str(), texts[i].c_str()) != 0 && errno != EEXIST) std::abort();
  }
}

struct TAnswerOK {
  qn::TMessageAnswer Show(const qn::TMessageRequest&) { return qn::TMessageAnswer::OK; }
};

void BM_Delete_DeleteAllFilesOn(benchmark::State& state) {
  const std::u16string root = qn::platform::DecodedUTF8(Tree().Root().string());
  TAnswerOK host;
  qn::AMessageBoxProc = qn::TMessageBoxProc::Bind<&TAnswerOK::Show>(&host);
  int32_t deleted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PutTextsBack();
    state.ResumeTiming();
    deleted = qn::DeleteAllFilesOn(root, u"txt");
  }
  qn::AMessageBoxProc.Clear();
  PutTextsBack();
  state.counters["deleted"] = static_cast<double>(deleted);
}
BENCHMARK(BM_Delete_DeleteAllFilesOn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Baseline: find deleting the same files.
void BM_Delete_FindDelete(benchmark::State& state) {
  RunCommand(state, "find '" + Tree().Root().string() + "' -name '*.txt' -delete", true, &PutTextsBack);
  PutTextsBack();
}
BENCHMARK(BM_Delete_FindDelete)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Deleting a whole tree: every file of 20,000 in 2,000 leaf folders, then the
// folders left empty. Made again before each iteration (untimed), in memory
// (/dev/shm) where there is one: on some disks removing a folder costs
// milliseconds, which would hide both sides' own work.
fs::path ScratchRoot() {
  std::error_code error;
  const fs::path shm("/dev/shm");
  if (fs::is_directory(shm, error) && ::access(shm.c_str(), W_OK | X_OK) == 0) return shm;
  return fs::temp_directory_path();
}

const fs::path& WholeTreeRoot() {
  static const fs::path root = ScratchRoot() / ("qn_walk_bench_whole_" + std::to_string(::getpid()));
  return root;
}

void MakeWholeTree() {
  for (int t = 0; t < 20; ++t) {
    for (int l = 0; l < 100; ++l) {
      const fs::path leaf = WholeTreeRoot() / ("top" + std::to_string(t)) / ("leaf" + std::to_string(l));
      fs::create_directories(leaf);
      for (int f = 0; f < 10; ++f) {
        const int fd = ::open((leaf / ("text" + std::to_string(f) + ".txt")).c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) ::close(fd);
      }
    }
  }
}

void BM_DeleteTree_DeleteAllFilesOn(benchmark::State& state) {
  const std::u16string root = qn::platform::DecodedUTF8(WholeTreeRoot().string());
  TAnswerOK host;
  qn::AMessageBoxProc = qn::TMessageBoxProc::Bind<&TAnswerOK::Show>(&host);
  int32_t deleted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    MakeWholeTree();
    state.ResumeTiming();
    deleted = qn::DeleteAllFilesOn(root, u"\\*.*");
  }
  qn::AMessageBoxProc.Clear();
  state.counters["deleted"] = static_cast<double>(deleted);
  state.counters["folders_left"] = static_cast<double>(std::distance(fs::directory_iterator(WholeTreeRoot()),
                                                                      fs::directory_iterator()));
  std::error_code ignored;
  fs::remove_all(WholeTreeRoot(), ignored);
}
BENCHMARK(BM_DeleteTree_DeleteAllFilesOn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Baseline: find deleting everything below the root, depth first.
void BM_DeleteTree_FindDelete(benchmark::State& state) {
  RunCommand(state, "find '" + WholeTreeRoot().string() + "' -mindepth 1 -delete", true, &MakeWholeTree);
  std::error_code ignored;
  fs::remove_all(WholeTreeRoot(), ignored);
}
BENCHMARK(BM_DeleteTree_FindDelete)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
