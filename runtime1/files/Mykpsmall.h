// Cooperative waiting and the shared answers of a running job.
//
// Everything runs on the calling tool's user-interface thread. Long loops
// yield through MyYieldProcess (platform/YieldHook.h); a host's message
// handling, run inside that yield, may change the flags below, and the timed
// waits here are how a routine waits for such a change without blocking.
//
// Message boxes and confirmations of the runtime go through one replaceable
// hook, AMessageBoxProc. A host with a user interface installs its own; with
// none installed the runtime behaves as a program without a user should: it
// never blocks, informs through the log, and answers every question with the
// choice that changes nothing (No, Cancel).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "platform/YieldHook.h"

namespace qn {

// How urgently the running job is to stop. Set by the tools (usually from a
// message handler run during a yield) and tested by their loops.
enum Tpanic_mode : uint8_t {
  panic_no_panic,
  panic_stop_at_EOF,
  panic_stop_asap,
  panic_stop,
};

// panic_no_panic at start.
extern QN_API Tpanic_mode panic_mode;
// A Yes-to-all or No-to-all answer remembered through a series of
// confirmations; false at start, set and read by the tools.
extern QN_API bool yes_to_all;
extern QN_API bool no_to_all;
// True while one of the suite's message boxes is on screen; MyMessageBox waits
// for it before showing another.
extern QN_API bool Global_ErrorMessageBusy;

// ---------------------------------------------------------------------------
// Timed waits. Each pass yields four times and then tests the clock; a wait
// of `seconds` gives up once more than that many whole seconds have passed
// (so a wait of 0 ends in the first pass after one whole second). The result
// is true when the wait ended because the time ran out. With no yield hook
// installed nothing can change what is awaited, and the waits end by time.
// ---------------------------------------------------------------------------

// A Boolean function without parameters bound to an object.
using TBooleanFunction = platform::TMethod<bool()>;

// Waits while condition() holds. Returns false at once, without yielding, when
// it does not hold at the start. An unassigned condition is never waited on.
QN_API bool EspereFuncao(TBooleanFunction condition, int32_t seconds);
// Waits until flag becomes true.
QN_API bool WaitTillDone(const bool& flag, int32_t seconds);
// Waits while flag stays true.
QN_API bool WaitedFor(const bool& flag, int32_t seconds);

// ---------------------------------------------------------------------------
// Message boxes.
// ---------------------------------------------------------------------------

enum class TMessageIcon : uint8_t { None, Information, Warning, Error, Question };
enum class TMessageButtons : uint8_t { OK, OKCancel, YesNo, YesNoCancel };
enum class TMessageAnswer : uint8_t { OK, Cancel, Yes, No };

// A message for the host's box. It owns copies of its texts, so a host may
// keep the request (or parts of it) for as long as it likes, after the box is
// answered and whatever became of the caller's strings.
struct TMessageRequest {
  std::u16string Text;
  std::u16string Caption;  // may be empty
  TMessageIcon Icon = TMessageIcon::None;
  TMessageButtons Buttons = TMessageButtons::OK;
};

// The host's message box: shows the request and returns the button chosen,
// which must be one of the request's buttons.
using TMessageBoxProc = platform::TMethod<TMessageAnswer(const TMessageRequest&)>;

// Empty at start: the non-interactive default answers.
extern QN_API TMessageBoxProc AMessageBoxProc;

// The answer a program without a user gives: OK to a box with OK only, else
// the refusing button (Cancel, or No for Yes/No).
QN_API TMessageAnswer NonInteractiveAnswer(TMessageButtons buttons) noexcept;

// Shows a message through AMessageBoxProc. With a host box installed it first
// waits (up to 10 seconds, yielding) while another message is on screen and
// holds Global_ErrorMessageBusy while its own is shown. Without one it writes
// the text to the log when the log is kept and returns NonInteractiveAnswer at
// once.
QN_API TMessageAnswer MyMessageBox(std::u16string_view text, std::u16string_view caption,
                                   TMessageIcon icon, TMessageButtons buttons);

// Reports the result code of starting a program or opening a document through
// the desktop shell: codes below 32 are failures and are shown in a message
// box (empty caption, OK only); the code is returned unchanged.
QN_API uint32_t CheckExec(uint32_t code, std::u16string_view name);

// The text CheckExec shows for a code; empty for codes of 32 and above.
QN_API std::u16string CheckExecMessage(uint32_t code, std::u16string_view name);

}  // namespace qn
