#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <unicode/ustring.h>

namespace qn::platform {

namespace {

thread_local std::string tLastError;

void RememberError() {
  const char* text = dlerror();
  tLastError = text ? text : "";
}

std::string Utf8Of(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  u_strToUTF8WithSub(nullptr, 0, &needed, reinterpret_cast<const UChar*>(text.data()),
                     int32_t(text.size()), 0xFFFD, nullptr, &status);
  out.resize(size_t(needed));
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), needed, &needed, reinterpret_cast<const UChar*>(text.data()),
                     int32_t(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) out.clear();
  return out;
}

}  // namespace

TLibraryHandle LoadDynamicLibraryUtf8(const std::string& fileName) {
  if (fileName.empty() || fileName.find('\0') != std::string::npos) {
    tLastError = "invalid library file name";
    return nullptr;
  }
  dlerror();
  void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) RememberError();
  return handle;
}

TLibraryHandle LoadDynamicLibrary(std::u16string_view fileName) {
  if (fileName.size() > 0x7FFFFFF) {
    tLastError = "library file name too long";
    return nullptr;
  }
  return LoadDynamicLibraryUtf8(Utf8Of(fileName));
}

void* FindLibrarySymbol(TLibraryHandle library, const char* symbolName) {
  if (!library || !symbolName || !*symbolName) return nullptr;
  dlerror();
  void* address = dlsym(library, symbolName);
  if (!address) RememberError();
  return address;
}

bool FreeDynamicLibrary(TLibraryHandle library) {
  if (!library) return false;
  dlerror();
  if (dlclose(library) != 0) {
    RememberError();
    return false;
  }
  return true;
}

std::string LastDynamicLibraryError() { return tLastError; }

}  // namespace qn::platform
