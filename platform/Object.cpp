#include "platform/Object.h"

namespace qn::platform {

// Anchors the class's virtual table and type information in one object file.
TObject::~TObject() = default;

}  // namespace qn::platform
