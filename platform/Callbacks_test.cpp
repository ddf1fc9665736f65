#include "platform/Callbacks.h"

#include <gtest/gtest.h>

#include "platform/YieldHook.h"

namespace qn::platform {
namespace {

struct TCounter {
  int hits = 0;
  int Add(int n) { return hits += n; }
};

TEST(Callbacks, UnassignedUntilCodeIsSetAndBindsMembersAndLambdas) {
  TMethod<int(int)> method;
  EXPECT_FALSE(method.Assigned());

  TCounter counter;
  method = TMethod<int(int)>::Bind<&TCounter::Add>(&counter);
  ASSERT_TRUE(method.Assigned());
  EXPECT_EQ(method(3), 3);
  EXPECT_EQ(method(4), 7);
  EXPECT_EQ(method.context(), &counter);

  int seen = 0;
  auto lambda = [&seen](int n) { seen = n; return -n; };
  auto bound = TMethod<int(int)>::FromCallable(lambda);
  EXPECT_EQ(bound(5), -5);
  EXPECT_EQ(seen, 5);

  bound.Clear();
  EXPECT_FALSE(bound.Assigned());
}

TEST(YieldHook, CallsTheInstalledProcedureOnlyWhileAssigned) {
  int calls = 0;
  auto proc = [&calls] { ++calls; };
  MyYieldProcess();  // nothing installed: a no-op
  AYieldProcessProc = TYieldProcessProc::FromCallable(proc);
  MyYieldProcess();
  MyYieldProcess();
  AYieldProcessProc.Clear();
  MyYieldProcess();
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace qn::platform
