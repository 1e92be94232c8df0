// Shortcuts saved into the real desktop and all-users Programs folders of the
// test prefix and read back through the shell link object. Wine keeps no
// AppUserModel id on a link, and these links carry none.
#include "src/zephris_install/src/tool/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/registry_stamp.h"
#include "base/scoped_handle.h"
#include "base/tests/settings_test_util.h"
#include "src/zephris_install/src/tool/tests/shell_test_product.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kProductLinkName[] = L"OrvalisQuillorane-畅玩手机游戏.lnk";
constexpr wchar_t kBoxLinkName[] = L"Vzt：小游戏盒子.lnk";

struct LinkFields {
  std::wstring target{};
  std::wstring arguments{};
  std::wstring working_folder{};
  std::wstring description{};
  std::wstring icon{};
  int icon_index = -1;
  bool operator==(const LinkFields&) const = default;
};

void PrintTo(const LinkFields& f, std::ostream* os) {
  *os << "target=" << testing::PrintToString(f.target) << " arguments=" << testing::PrintToString(f.arguments)
      << " working=" << testing::PrintToString(f.working_folder) << " icon=" << testing::PrintToString(f.icon);
}

std::optional<LinkFields> ReadLink(const fs::path& path) {
  base::ScopedComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Receive())))) {
    return std::nullopt;
  }
  base::ScopedComPtr<IPersistFile> file;
  if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()))) ||
      FAILED(file.Get()->Load(path.c_str(), STGM_READ))) {
    return std::nullopt;
  }
  LinkFields fields;
  wchar_t text[1024];
  text[0] = 0;
  link.Get()->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
  fields.target = text;
  text[0] = 0;
  link.Get()->GetArguments(text, 1024);
  fields.arguments = text;
  text[0] = 0;
  link.Get()->GetWorkingDirectory(text, 1024);
  fields.working_folder = text;
  text[0] = 0;
  link.Get()->GetDescription(text, 1024);
  fields.description = text;
  text[0] = 0;
  link.Get()->GetIconLocation(text, 1024, &fields.icon_index);
  fields.icon = text;
  return fields;
}

fs::path Desktop() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_TRUE(::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOP, TRUE));
  return folder;
}

fs::path StartMenuPrograms() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return folder;
}

std::optional<std::wstring> LastLnk() {
  const std::wstring key = base::PathManager::GetInstance().GetEnvKey() + L"\\Values";
  const settings_test::RawValue raw = settings_test::GetRawValue(HKEY_CURRENT_USER, key, L"LastLnk");
  if (!raw.found) return std::nullopt;
  return settings_test::RawText(raw);
}

void RemoveLinks() {
  std::error_code ignored;
  for (const fs::path& folder : {Desktop(), StartMenuPrograms()}) {
    fs::remove(folder / kProductLinkName, ignored);
    fs::remove(folder / kBoxLinkName, ignored);
  }
}

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    RemoveLinks();
  }
  void TearDown() override {
    RemoveLinks();
    ::CoUninitialize();
  }
};

TEST_F(ShortcutTest, LinksToTheLauncherNamedAfterTheClientType) {
  struct Case {
    int32_t client_type;
    bool desktop;
    const wchar_t* file_name;
    const wchar_t* arguments;
    std::optional<std::wstring> last_lnk;
  } cases[] = {
      {-1, true, kProductLinkName, L"--from \"2\" --launch-proc-name \"Quillorane.exe\" ",
       L"OrvalisQuillorane-畅玩手机游戏"},
      {0, true, kProductLinkName, L"--from \"2\" --launch-proc-name \"Quillorane.exe\" ",
       L"OrvalisQuillorane-畅玩手机游戏"},
      {4, true, kBoxLinkName, L"--from \"2\" --launch-proc-name \"Quillorane.exe\" ", L"Vzt：小游戏盒子"},
      {4, false, kProductLinkName, L"--from \"4\" --launch-proc-name \"Quillorane.exe\" ", std::nullopt},
      {0, false, kProductLinkName, L"--from \"4\" --launch-proc-name \"Quillorane.exe\" ", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "client type " << c.client_type << (c.desktop ? " desktop" : " start menu"));
    RemoveLinks();
    shell_test::ScopedShellProduct product;
    product.SetClientType(c.client_type);

    if (c.desktop) {
      CreateDesktopShortcut();
    } else {
      EXPECT_TRUE(CreateShortcut(PlaceShortcutInStartMenu, kStartMenuLaunchCode));
    }

    const fs::path link = (c.desktop ? Desktop() : StartMenuPrograms()) / c.file_name;
    const LinkFields expected{.target = product.client_dir() + L"\\QuilloraneLauncher.exe",
                              .arguments = c.arguments,
                              .icon_index = 0};
    EXPECT_EQ(ReadLink(link), expected);
    EXPECT_EQ(LastLnk(), c.last_lnk);
    EXPECT_EQ(base::MarkStore(kDesktopLinkMark).IsSet(), c.desktop);
  }
}

TEST_F(ShortcutTest, ALinkOfTheSameNameIsReplaced) {
  shell_test::ScopedShellProduct product;
  product.SetClientType(0);
  const fs::path link = Desktop() / kProductLinkName;
  std::ofstream(link, std::ios::binary) << "not a shell link";
  ASSERT_FALSE(ReadLink(link));

  EXPECT_TRUE(CreateShortcut(PlaceShortcutOnDesktop, kDesktopLaunchCode));
  const std::optional<LinkFields> fields = ReadLink(link);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->target, product.client_dir() + L"\\QuilloraneLauncher.exe");
}

TEST_F(ShortcutTest, SaveShellLinkWritesEveryFieldGiven) {
  settings_test::ScopedTempDir temp;
  ShortcutSpec shortcut{.target_path = L"C:\\windows\\notepad.exe",
                    .link_path = (temp.path() / L"full.lnk").wstring(),
                    .arguments = L"--x \"1\" ",
                    .description = L"A description",
                    .icon_location = L"C:\\windows\\notepad.exe"};
  ASSERT_TRUE(SaveShellLink(shortcut));
  EXPECT_EQ(ReadLink(shortcut.link_path), (LinkFields{.target = shortcut.target_path,
                                                  .arguments = shortcut.arguments,
                                                  .description = shortcut.description,
                                                  .icon = shortcut.icon_location,
                                                  .icon_index = 0}));

  // A link into a folder that does not exist is not saved.
  shortcut.link_path = (temp.path() / L"missing" / L"x.lnk").wstring();
  EXPECT_FALSE(SaveShellLink(shortcut));
}

// The reinstall engine saves links from a thread that never started COM.
TEST_F(ShortcutTest, SavesFromAThreadWithoutCom) {
  settings_test::ScopedTempDir temp;
  const ShortcutSpec shortcut{.target_path = L"C:\\windows\\notepad.exe",
                         .link_path = (temp.path() / L"thread.lnk").wstring()};
  bool saved = false;
  std::thread([&] { saved = SaveShellLink(shortcut); }).join();
  EXPECT_TRUE(saved);
  const std::optional<LinkFields> fields = ReadLink(shortcut.link_path);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->target, shortcut.target_path);
}

}  // namespace
