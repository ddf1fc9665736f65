// Loading shared libraries by file name and binding their functions by name.
//
// A thin layer over dlopen/dlsym/dlclose: file names arrive as UTF-16 (the
// suite's strings) or UTF-8 (the file system's bytes). Libraries are opened
// with RTLD_NOW | RTLD_LOCAL, so a library whose symbols cannot all be
// resolved fails to load rather than failing later, and its symbols do not
// leak into the global namespace. Each successful load must be matched by one
// FreeDynamicLibrary.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn::platform {

using TLibraryHandle = void*;

// Loads a library; null when it cannot be loaded (LastDynamicLibraryError
// says why).
QN_API TLibraryHandle LoadDynamicLibrary(std::u16string_view fileName);
QN_API TLibraryHandle LoadDynamicLibraryUtf8(const std::string& fileName);

// The address of an exported symbol; null for a null handle, a null or empty
// name, or a name the library does not export.
QN_API void* FindLibrarySymbol(TLibraryHandle library, const char* symbolName);

// Releases a library; true on success, false for a null handle or a failure.
QN_API bool FreeDynamicLibrary(TLibraryHandle library);

// The text of the last loader error on this thread ("" when none).
QN_API std::string LastDynamicLibraryError();

}  // namespace qn::platform
