#include "runtime1/files/Dll_utils.h"

#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/DynamicLibrary.h"

namespace qn {

namespace {

// The loaded libraries by handle. A handle is handed out once; the counter
// skips 0 (no library) when it wraps.
class THandleTable {
 public:
  uint32_t Add(platform::TLibraryHandle library) {
    const std::lock_guard<std::mutex> guard(fLock);
    do {
      ++fLast;
    } while (fLast == 0 || fLibraries.count(fLast) != 0);
    fLibraries.emplace(fLast, library);
    return fLast;
  }

  // Removes and returns the library of a handle; null for an unknown one.
  platform::TLibraryHandle Take(uint32_t handle) {
    const std::lock_guard<std::mutex> guard(fLock);
    const auto found = fLibraries.find(handle);
    if (found == fLibraries.end()) return nullptr;
    platform::TLibraryHandle library = found->second;
    fLibraries.erase(found);
    return library;
  }

 private:
  std::mutex fLock;
  uint32_t fLast = 0;
  std::unordered_map<uint32_t, platform::TLibraryHandle> fLibraries;
};

// Exported names are ASCII; anything else (or a NUL inside) names no export.
bool AsciiName(std::u16string_view name, std::string& out) {
  out.clear();
  for (const char16_t unit : name) {
    if (unit == 0 || unit > 0x7F) return false;
    out.push_back(static_cast<char>(unit));
  }
  return !out.empty();
}

THandleTable& Handles() {
  static THandleTable table;
  return table;
}

}  // namespace

Tlibrary_rec FindLibraryFunction(std::u16string_view libraryFileName,
                                 std::u16string_view functionName) {
  Tlibrary_rec rec;
  if (libraryFileName.empty()) return rec;
  platform::TLibraryHandle library = platform::LoadDynamicLibrary(libraryFileName);
  if (library == nullptr) return rec;
  rec.Hinst = Handles().Add(library);
  std::string name;
  if (AsciiName(functionName, name)) rec.FPointer = platform::FindLibrarySymbol(library, name.c_str());
  return rec;
}

bool CloseLibraryFunction(Tlibrary_rec& rec) {
  platform::TLibraryHandle library = rec.Hinst != 0 ? Handles().Take(rec.Hinst) : nullptr;
  rec = Tlibrary_rec{};
  return library != nullptr && platform::FreeDynamicLibrary(library);
}

}  // namespace qn
