#include "runtime1/files/Mykpsmall.h"

#include <chrono>
#include <thread>

#include "runtime1/files/Logging_utilities.h"

namespace qn {

Tpanic_mode panic_mode = panic_no_panic;
bool yes_to_all = false;
bool no_to_all = false;
bool Global_ErrorMessageBusy = false;
TMessageBoxProc AMessageBoxProc;

namespace {

// One pass of a wait: four yields, as the host's message handling may need
// several turns to deliver a change. A short sleep keeps a wait without a
// host (or with a host whose yield returns at once) from spinning a core.
void WaitOnePass() {
  for (int i = 0; i < 4; ++i) MyYieldProcess();
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The wait loop shared by the three waits: `awaited` tells whether the change
// has happened. The clock is the monotonic one, so that a change of the
// system time neither ends a wait early nor stretches it.
template <typename Awaited>
bool WaitUntil(Awaited awaited, int32_t seconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (;;) {
    WaitOnePass();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start);
    const bool timedOut = whole.count() > static_cast<int64_t>(seconds);
    if (awaited() || timedOut) return timedOut;
  }
}

// The extension of the file-name part of name, with its dot; empty when the
// name part has none.
std::u16string_view ExtensionOf(std::u16string_view name) {
  const size_t dot = name.find_last_of(u"./");
  if (dot == std::u16string_view::npos || name[dot] != u'.') return {};
  return name.substr(dot);
}

// Holds Global_ErrorMessageBusy while a host box is on screen, and clears it
// again even when the host's box throws.
class TBusyMessage {
 public:
  TBusyMessage() { Global_ErrorMessageBusy = true; }
  ~TBusyMessage() { Global_ErrorMessageBusy = false; }
  TBusyMessage(const TBusyMessage&) = delete;
  TBusyMessage& operator=(const TBusyMessage&) = delete;
};

// Writes the leaving entry of this module when the library unloads, and
// empties the yield hook in any case: a host's procedure must not be called
// once the library that held it is going. The constructor touches the log
// state so that the log outlives this object.
class TMykpsmallUnit {
 public:
  TMykpsmallUnit() { (void)GetLogFilename(); }
  ~TMykpsmallUnit() {
    if (keeping_log) AddToLogFile(u"quit myKpSmall");
    AYieldProcessProc.Clear();
    AMessageBoxProc.Clear();
  }
  TMykpsmallUnit(const TMykpsmallUnit&) = delete;
  TMykpsmallUnit& operator=(const TMykpsmallUnit&) = delete;
};

const TMykpsmallUnit gMykpsmallUnit;

}  // namespace

bool EspereFuncao(TBooleanFunction condition, int32_t seconds) {
  if (!condition.Assigned() || !condition()) return false;
  return WaitUntil([&condition] { return !condition(); }, seconds);
}

bool WaitTillDone(const bool& flag, int32_t seconds) {
  if (flag) return false;
  return WaitUntil([&flag] { return flag; }, seconds);
}

bool WaitedFor(const bool& flag, int32_t seconds) {
  if (!flag) return false;
  return WaitUntil([&flag] { return !flag; }, seconds);
}

TMessageAnswer NonInteractiveAnswer(TMessageButtons buttons) noexcept {
  switch (buttons) {
    case TMessageButtons::OK:
      return TMessageAnswer::OK;
    case TMessageButtons::YesNo:
      return TMessageAnswer::No;
    case TMessageButtons::OKCancel:
    case TMessageButtons::YesNoCancel:
      break;
  }
  return TMessageAnswer::Cancel;
}

TMessageAnswer MyMessageBox(std::u16string_view text, std::u16string_view caption,
                            TMessageIcon icon, TMessageButtons buttons) {
  if (!AMessageBoxProc.Assigned()) {
    if (keeping_log) {
      std::u16string entry(u"message: ");
      if (!caption.empty()) entry.append(caption).append(u": ");
      entry.append(text);
      AddToLogFile(entry);
    }
    return NonInteractiveAnswer(buttons);
  }
  // Another message on screen: let it be answered first, as the user would
  // otherwise see two boxes stacked. After 10 seconds show ours anyway.
  WaitedFor(Global_ErrorMessageBusy, 10);
  const TMessageRequest request{std::u16string(text), std::u16string(caption), icon, buttons};
  const TBusyMessage busy;
  return AMessageBoxProc(request);
}

std::u16string CheckExecMessage(uint32_t code, std::u16string_view name) {
  std::u16string text;
  switch (code) {
    case 0:
    case 8:
      return text.append(u"Not enough memory to run ").append(name);
    case 2:
    case 3:
    case 5:
      return text.append(u"Can't access ").append(name);
    case 16:
      return text.append(name).append(u" already running");
    case 26:
      return text.append(u"Sharing problem: ").append(name);
    case 27:
    case 31:
      return text.append(u"Can't handle files ending \"").append(ExtensionOf(name)).append(u"\"");
    default:
      break;
  }
  if (code < 32) text.append(u"Can't communicate with ").append(name);
  return text;
}

uint32_t CheckExec(uint32_t code, std::u16string_view name) {
  if (code < 32) {
    MyMessageBox(CheckExecMessage(code, name), u"", TMessageIcon::None, TMessageButtons::OK);
  }
  return code;
}

}  // namespace qn
