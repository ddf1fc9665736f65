// The root of the objects that lists can carry.
//
// A string list attaches one pointer-sized object to each string. When the
// list owns its objects it destroys them through this class's virtual
// destructor; anything a list may own therefore derives from TObject. Lists
// that keep a number in place of the object store it with ObjectFromInt and
// read it back with IntFromObject; such a list must never own its objects.
#pragma once

#include <cstdint>

#include "platform/Export.h"

namespace qn::platform {

class QN_API TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject();
};

// A number kept in the object slot of a list entry (not a real object).
inline TObject* ObjectFromInt(intptr_t value) noexcept { return reinterpret_cast<TObject*>(value); }
inline intptr_t IntFromObject(const TObject* object) noexcept {
  return reinterpret_cast<intptr_t>(object);
}

}  // namespace qn::platform
