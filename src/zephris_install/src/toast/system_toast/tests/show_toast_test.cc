// Toasts where the system has no toast manager (this prefix registers none):
// the initialisation fails once, and every toast says so in the log and
// shows nothing.
#include "src/zephris_install/src/toast/system_toast/show_toast.h"

#include <gtest/gtest.h>

#include "src/zephris_install/src/tool/tests/log_capture.h"

namespace {

TEST(ShowToast, WithoutToastManagerEveryToastLogsTheFailedInitialisation) {
  install_testing::LogCapture log("show_toast");
  ASSERT_TRUE(log.started());
  ShowToast(L"OrvalisQuillorane开始下载", L"second line");
  ShowToast(L"again", L"");
  EXPECT_EQ(log.Count("[ShowToast]: ToastManager::initialize fail"), 2u) << log.Text();
  EXPECT_EQ(log.Count("showToast fail"), 0u) << log.Text();
}

}  // namespace
