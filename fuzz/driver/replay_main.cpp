// Replays files through a libFuzzer entry point without libFuzzer, so that the
// seed corpus and every saved crash are re-run by CTest under any compiler.
//
// Usage: <target>_replay PATH...   (each PATH a file or a folder of files;
// a missing folder is skipped, so an empty regressions folder needs no file)
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

int ReplayFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Copy into an exactly-sized heap block so that ASan sees reads past the end.
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  uint8_t* data = exact.empty() ? nullptr : exact.data();
  LLVMFuzzerTestOneInput(data, exact.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  int failures = 0;
  size_t replayed = 0;
  // The empty input is always worth one run.
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path path(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
        failures += ReplayFile(entry.path());
        ++replayed;
      }
    } else if (std::filesystem::is_regular_file(path, ec)) {
      failures += ReplayFile(path);
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return failures == 0 ? 0 : 1;
}
