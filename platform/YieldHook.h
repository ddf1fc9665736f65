// The process-wide yield hook.
//
// Long loops (loading a list, walking a tree, sorting, searching a buffer)
// call MyYieldProcess at every step so that a host can keep its user interface
// alive and deliver cancel requests by re-entering the library. With no hook
// installed the call is one test of one global, cheap enough for every step of
// a hot loop.
//
// Each shared library carries its own hook: the lemmatiser links a private
// copy, the runtime packages share the one exported by package 1.
#pragma once

#include "platform/Callbacks.h"
#include "platform/Export.h"

namespace qn {

// A procedure without parameters bound to an object.
using TYieldProcessProc = platform::TMethod<void()>;

// Empty at start; the host installs a procedure that processes its pending
// user-interface messages.
extern QN_API TYieldProcessProc AYieldProcessProc;

// Calls AYieldProcessProc when it is assigned; does nothing otherwise.
inline void MyYieldProcess() {
  if (AYieldProcessProc.Assigned()) AYieldProcessProc();
}

}  // namespace qn
