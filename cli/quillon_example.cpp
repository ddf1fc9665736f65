// A small example of the libraries at work on the sample data shipped with the
// sources. It grows as modules land.
#include <cstdio>

#include "platform/YieldHook.h"

int main() {
  int yields = 0;
  auto count = [&yields] { ++yields; };
  qn::AYieldProcessProc = qn::TYieldProcessProc::FromCallable(count);
  for (int i = 0; i < 3; ++i) qn::MyYieldProcess();
  qn::AYieldProcessProc.Clear();
  std::printf("Quillon runtime example: yield hook called %d times\n", yields);
  return 0;
}
