// The installer's start toast through the real toast manager: where the
// prefix has no toast classes (Wine has none) the toast fails and the log
// says so; with the rig's stand-in registered the toast is shown with the
// installer's document under its own AppUserModel id.
#include "src/zephris_install/src/toast/system_toast/show_toast.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "src/zephris_install/src/tool/tests/log_capture.h"
#include "src/zephris_install/src/toast/toast_lib/tests/toast_rig.h"
#include "src/zephris_install/src/toast/toast_lib/toast_manager.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kAppName[] = L"OrvalisQuillorane安装器";

fs::path LinkPath() {
  wchar_t path[MAX_PATH];
  EXPECT_HRESULT_SUCCEEDED(ToastLib::GetStartMenuShortcutPath(kAppName, path));
  return path;
}

class ShowToastTest : public ::testing::Test {
 protected:
  void SetUp() override {
    toast_testing::UnregisterToastClasses();
    std::error_code ignored;
    fs::remove(LinkPath(), ignored);
  }
  void TearDown() override {
    toast_testing::UnregisterToastClasses();
    std::error_code ignored;
    fs::remove(LinkPath(), ignored);
  }
};

TEST_F(ShowToastTest, WithoutToastClassesEveryToastLogsTheFailedShow) {
  install_testing::LogCapture log("show_toast");
  ASSERT_TRUE(log.started());
  ShowToast(L"OrvalisQuillorane开始下载", L"second line");
  ShowToast(L"again", L"");
  EXPECT_EQ(log.Count("showToast fail"), 2u) << log.Text();
  EXPECT_EQ(log.Count("ToastManager::initialize fail"), 0u) << log.Text();
  EXPECT_TRUE(fs::exists(LinkPath())) << "the toast shortcut is made before the first toast";
}

TEST_F(ShowToastTest, FailedInitialisationIsLoggedOnEveryToast) {
  // A profile folder too long for a Start-menu path: the shortcut cannot be
  // made, so toasts stay off for the process.
  wchar_t saved[MAX_PATH];
  const DWORD saved_length = ::GetEnvironmentVariableW(L"APPDATA", saved, MAX_PATH);
  ASSERT_GT(saved_length, 0u);
  ASSERT_TRUE(::SetEnvironmentVariableW(L"APPDATA", (L"C:\\" + std::wstring(250, L'p')).c_str()));
  install_testing::LogCapture log("show_toast");
  ASSERT_TRUE(log.started());
  ShowToast(L"first", L"line");
  ShowToast(L"second", L"line");
  ::SetEnvironmentVariableW(L"APPDATA", saved);
  EXPECT_EQ(log.Count("ToastManager::initialize fail"), 2u) << log.Text();
  EXPECT_EQ(log.Count("showToast fail"), 0u) << log.Text();
}

TEST_F(ShowToastTest, WithToastClassesTheInstallerToastIsShown) {
  ASSERT_TRUE(toast_testing::RegisterToastClasses());
  toast_testing::StandIn stand_in;
  ASSERT_TRUE(stand_in.loaded());
  stand_in.Reset();
  install_testing::LogCapture log("show_toast");
  ASSERT_TRUE(log.started());
  ShowToast(L"OrvalisQuillorane开始下载", L"OrvalisQuillorane将为您在电脑上启动手机软件，请稍候");
  EXPECT_EQ(log.Count("fail"), 0u) << log.Text();
  ASSERT_EQ(stand_in.ShownCount(), 1);
  EXPECT_EQ(stand_in.ShownAppId(0), kAppName);
  // The prefix reports Windows 7 (Wine 8's default), which has no audio,
  // duration or scenario in its toasts; the document test covers Windows 10.
  EXPECT_EQ(stand_in.ShownXml(0),
            L"<toast><visual><binding template=\"ToastImageAndText03\">"
            L"<image id=\"1\" src=\"file:///\"/><text id=\"1\">OrvalisQuillorane开始下载</text><text id=\"2\">"
            L"OrvalisQuillorane将为您在电脑上启动手机软件，请稍候</text></binding></visual></toast>");
  EXPECT_EQ(stand_in.Expiration(0), -1);
}

}  // namespace
