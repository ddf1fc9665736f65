// Binding one exported function of a shared library by its name at run time.
//
// This is how a tool reaches an export of a library it does not link to (the
// lemmatiser's functions, for instance): FindLibraryFunction loads the library
// and looks the function up; the record then holds one reference to the
// library until CloseLibraryFunction releases it.
//
// Hinst is a 32-bit handle, not the loader's pointer: handles are numbered by
// this module and never reused, so a record closed twice, or a stale copy of
// one, is refused instead of releasing a library that some other record still
// holds.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Export.h"

namespace qn {

struct Tlibrary_rec {
  void* FPointer = nullptr;  // the bound function, or none
  uint32_t Hinst = 0;        // the loaded library, 0 when none
};

// Loads the library (a path, or a bare file name searched for as the system's
// loader does) and binds functionName. A library that cannot be loaded gives a
// record of zeros; a function the library lacks leaves FPointer none while
// Hinst is set, so the caller must still close the record.
QN_API Tlibrary_rec FindLibraryFunction(std::u16string_view libraryFileName,
                                        std::u16string_view functionName);

// Releases the library of rec and zeroes rec, whether or not the release
// succeeded. Returns whether it succeeded (false for a record without a
// library or one already closed).
QN_API bool CloseLibraryFunction(Tlibrary_rec& rec);

// The bound function as a typed pointer: FunctionOf<int (*)(int)>(rec).
template <typename Function>
Function FunctionOf(const Tlibrary_rec& rec) noexcept {
  return reinterpret_cast<Function>(rec.FPointer);
}

}  // namespace qn
