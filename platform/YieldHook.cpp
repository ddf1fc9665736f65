#include "platform/YieldHook.h"

namespace qn {

TYieldProcessProc AYieldProcessProc;

}  // namespace qn
