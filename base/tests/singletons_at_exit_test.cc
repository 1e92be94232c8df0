// The process-wide objects that detached threads reach outlive static
// teardown: a program that exits while such a thread runs keeps its own exit
// code, and the objects still answer after every destructor has run.
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "testing/process/child_process.h"

namespace {

using testing_process::ChildProcess;
using testing_process::HelperPath;

TEST(SingletonsAtExitTest, ExitWithADetachedThreadKeepsTheExitCode) {
  for (int run = 0; run < 3; ++run) {
    ChildProcess child(L"\"" + HelperPath(L"ql_singletons_at_exit.exe") + L"\"");
    const std::optional<std::string> line = child.ReadLine(std::chrono::seconds(60));
    EXPECT_EQ(line.value_or("<nothing>"), "intact");
    EXPECT_EQ(child.Wait(std::chrono::seconds(60)), std::optional<DWORD>(7u));
  }
}

}  // namespace
