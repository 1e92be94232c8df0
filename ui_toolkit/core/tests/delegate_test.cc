#include "ui_toolkit/core/delegate.h"

#include <gtest/gtest.h>

#include <vector>

namespace SkinUI {
namespace {

struct Recorder {
  std::vector<int>* calls;
  int id;
  bool answer = true;
  bool Handle(void* param) {
    calls->push_back(id * 100 + *static_cast<int*>(param));
    return answer;
  }
  bool Other(void*) { return true; }
};

int g_static_calls = 0;
bool CountStatic(void*) {
  ++g_static_calls;
  return true;
}

TEST(DelegateTest, EqualDelegatesAreAddedOnce) {
  std::vector<int> calls;
  Recorder a{&calls, 1}, b{&calls, 2};
  CUiEventSource source;
  EXPECT_FALSE(source.HasDelegates());
  source += MakeDelegate(&a, &Recorder::Handle);
  source += MakeDelegate(&a, &Recorder::Handle);  // same target and function
  source += MakeDelegate(&b, &Recorder::Handle);  // same function, other target
  source += MakeDelegate(&a, &Recorder::Other);   // same target, other function
  source += MakeDelegate(&CountStatic);
  source += MakeDelegate(&CountStatic);
  EXPECT_TRUE(source.HasDelegates());
  int param = 7;
  g_static_calls = 0;
  EXPECT_TRUE(source.Invoke(&param));
  EXPECT_EQ((std::vector<int>{107, 207}), calls);
  EXPECT_EQ(1, g_static_calls);
}

TEST(DelegateTest, FirstRefusalEndsTheCall) {
  std::vector<int> calls;
  Recorder a{&calls, 1}, b{&calls, 2, false}, c{&calls, 3};
  CUiEventSource source;
  source.AddDelegate(MakeDelegate(&a, &Recorder::Handle));
  source.AddDelegate(MakeDelegate(&b, &Recorder::Handle));
  source.AddDelegate(MakeDelegate(&c, &Recorder::Handle));
  int param = 1;
  EXPECT_FALSE(source.Invoke(&param));
  EXPECT_EQ((std::vector<int>{101, 201}), calls);
}

}  // namespace
}  // namespace SkinUI
