// The installer program's start toast (the show-install-tips option) in a
// silent install: with no toast classes in the prefix (Wine has none) the
// toast fails, the log says so and the install ends as usual; with the rig's
// stand-in registered as the toast classes the toast reaches it from the
// installer's process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "src/zephris_install/src/toast/toast_lib/tests/toast_rig.h"
#include "src/zephris_install/src/toast/toast_lib/toast_manager.h"
#include "src/zephris_install/tests/installer_e2e_rig.h"

namespace {

using namespace e2e_rig;

constexpr wchar_t kToastAppName[] = L"OrvalisQuillorane安装器";

class InstallerToastTest : public InstallerEndToEndTest {
 protected:
  void SetUp() override {
    InstallerEndToEndTest::SetUp();
    toast_testing::UnregisterToastClasses();
    base::DeleteRegTree(HKEY_CURRENT_USER, kToastStandInKey);
    std::error_code ignored;
    fs::remove(ToastLink(), ignored);
  }
  void TearDown() override {
    toast_testing::UnregisterToastClasses();
    base::DeleteRegTree(HKEY_CURRENT_USER, kToastStandInKey);
    std::error_code ignored;
    fs::remove(ToastLink(), ignored);
    InstallerEndToEndTest::TearDown();
  }

  static fs::path ToastLink() {
    wchar_t path[MAX_PATH];
    EXPECT_HRESULT_SUCCEEDED(ToastLib::GetStartMenuShortcutPath(kToastAppName, path));
    return path;
  }

  void Install() {
    AnswerDemoComponents();
    InstallerRun run;
    ASSERT_TRUE(run.Start(installer_, SilentArguments(L"--show-install-tips 1")));
    EXPECT_EQ(run.Wait(240000), 0u) << NewLog();
  }
};

TEST_F(InstallerToastTest, WithoutToastClassesTheInstallRunsOn) {
  Install();
  const std::string log = NewLog();
  EXPECT_NE(log.find("[ShowToast]: showToast fail"), std::string::npos) << log;
  EXPECT_EQ(log.find("ToastManager::initialize fail"), std::string::npos) << log;
  // The toast shortcut points at the installer and starts it in its folder.
  base::ScopedComPtr<IShellLinkW> link;
  base::ScopedComPtr<IPersistFile> file;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                              reinterpret_cast<void**>(link.Receive())));
  ASSERT_HRESULT_SUCCEEDED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive())));
  ASSERT_HRESULT_SUCCEEDED(file.Get()->Load(ToastLink().c_str(), STGM_READ));
  wchar_t text[MAX_PATH];
  ASSERT_HRESULT_SUCCEEDED(link.Get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
  EXPECT_EQ(fs::path(text), installer_);
  ASSERT_HRESULT_SUCCEEDED(link.Get()->GetWorkingDirectory(text, MAX_PATH));
  EXPECT_EQ(fs::path(text), installer_.parent_path());
}

TEST_F(InstallerToastTest, WithToastClassesTheStartToastIsShown) {
  ASSERT_TRUE(toast_testing::RegisterToastClasses());
  Install();
  const std::string log = NewLog();
  EXPECT_EQ(log.find("showToast fail"), std::string::npos) << log;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kToastStandInKey, L"AppId"), std::wstring(kToastAppName));
  const std::optional<std::wstring> shown = ReadString(HKEY_CURRENT_USER, kToastStandInKey, L"Shown");
  ASSERT_TRUE(shown);
  EXPECT_NE(shown->find(L"<text id=\"1\">OrvalisQuillorane开始下载</text>"
                        L"<text id=\"2\">OrvalisQuillorane将为您在电脑上启动手机软件，请稍候</text>"),
            std::wstring::npos)
      << base::WideToUtf8(*shown);
}

}  // namespace
