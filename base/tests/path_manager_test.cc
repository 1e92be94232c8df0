#include "base/path_manager.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>
#include <fstream>
#include <string>

#include "base/system_folders.h"
#include "base/tests/settings_test_util.h"

namespace {

namespace fs = std::filesystem;
using base::AppDataDirKind;
using base::ComponentKind;
using base::TempDirKind;
using settings_test::SetDword;
using settings_test::SetQword;
using settings_test::SetString;

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Every case runs under a product name of its own, with its install path in
// a temporary folder of its own.
class PathManagerTest : public testing::Test {
 protected:
  void SetUp() override { SetString(HKEY_LOCAL_MACHINE, key(), L"InstallPath", install_path()); }

  base::PathManager& paths() { return base::PathManager::GetInstance(); }
  const std::wstring& key() const { return product_.key(); }
  std::wstring install_path() const { return (temp_.path() / "install").wstring(); }

  settings_test::ScopedTestProduct product_;
  settings_test::ScopedTempDir temp_;
};

TEST_F(PathManagerTest, RegistryKeysOfEveryKind) {
  const std::wstring product = L"SOFTWARE\\Orvalis\\" + product_.name();
  EXPECT_EQ(key(), product);
  const struct {
    ComponentKind kind;
    std::wstring key;
  } cases[] = {
      {ComponentKind::kProduct, product},
      {ComponentKind::kClient, product + L"\\QuilloraneEmulator"},
      {ComponentKind::kBox, L"SOFTWARE\\QuilloraneBox"},
      {ComponentKind::kImage, product + L"\\Image"},
      {ComponentKind::kMinaroRuntime, product + L"\\MinaroRuntime"},
      {ComponentKind::kLudrix, product + L"\\Ludrix"},
      {ComponentKind::kTikoApplet, product + L"\\TikoApplet"},
      {ComponentKind::kNimbrelRuntime, product + L"\\NimbrelRuntime"},
      {ComponentKind::kReserved8, product + L"\\"},
      {ComponentKind::kReserved9, product + L"\\"},
      {ComponentKind::kReserved11, product + L"\\"},
      {ComponentKind::kKesmoEngine, product + L"\\KesmoEngine"},
      {static_cast<ComponentKind>(13), L""},
      {static_cast<ComponentKind>(-1), L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(paths().GetRegistryKey(c.kind), c.key) << static_cast<int>(c.kind);
  }
  EXPECT_EQ(paths().GetEnvKey(), product + L"\\Env");
  EXPECT_EQ(paths().GetSettingsKey(), product + L"\\Settings\\QuilloraneSettings");
}

TEST_F(PathManagerTest, ComponentFoldersUnderTheInstallPath) {
  SetString(HKEY_LOCAL_MACHINE, paths().GetRegistryKey(ComponentKind::kClient), L"Version", L"9.1.0.3");
  SetString(HKEY_CURRENT_USER, paths().GetRegistryKey(ComponentKind::kTikoApplet), L"Version", L"2.0.0.0");
  const std::wstring root = install_path();
  const struct {
    ComponentKind kind;
    std::wstring install_dir;
    std::wstring working_dir;
  } cases[] = {
      {ComponentKind::kProduct, root + L"\\Data", L""},
      {ComponentKind::kClient, root + L"\\Application", root + L"\\Application\\9.1.0.3"},
      {ComponentKind::kImage, root + L"\\Image", root + L"\\Image"},
      {ComponentKind::kMinaroRuntime, root + L"\\MinaroRuntime", root + L"\\MinaroRuntime\\1.0.0.0"},
      {ComponentKind::kLudrix, root + L"\\LUdrix", root + L"\\LUdrix"},
      {ComponentKind::kTikoApplet, root + L"\\TikoApplet", root + L"\\TikoApplet\\2.0.0.0"},
      {ComponentKind::kNimbrelRuntime, root + L"\\OskanLaunch", L""},
      {ComponentKind::kReserved10, root + L"\\", L""},
      {ComponentKind::kKesmoEngine, root + L"\\KesmoEngine", root + L"\\KesmoEngine"},
  };
  for (const auto& c : cases) {
    const int kind = static_cast<int>(c.kind);
    EXPECT_EQ(paths().GetComponentInstallDir(c.kind), c.install_dir) << kind;
    EXPECT_TRUE(fs::is_directory(c.install_dir)) << kind;
    EXPECT_EQ(paths().GetComponentDir(c.kind), c.working_dir) << kind;
    if (!c.working_dir.empty()) {
      EXPECT_TRUE(fs::is_directory(c.working_dir)) << kind;
    }
  }
}

TEST_F(PathManagerTest, WorkingFolderOfAComponentWithoutOneCreatesNothing) {
  fs::remove_all(install_path());
  EXPECT_EQ(paths().GetComponentDir(ComponentKind::kProduct), L"");
  EXPECT_EQ(paths().GetComponentDir(ComponentKind::kNimbrelRuntime), L"");
  EXPECT_FALSE(fs::exists(install_path()));
}

TEST_F(PathManagerTest, ComponentVersionPrefersTheUsersOwn) {
  const std::wstring client = paths().GetRegistryKey(ComponentKind::kClient);
  struct Case {
    const wchar_t* user;     // nullptr: no value
    const wchar_t* machine;  // nullptr: no value
    std::wstring expected;
  } cases[] = {
      {nullptr, nullptr, L"1.0.0.0"},
      {nullptr, L"2.5.0.1", L"2.5.0.1"},
      {L"1.0.0.0", L"2.5.0.1", L"2.5.0.1"},
      {L"3.0.0.0", L"2.5.0.1", L"3.0.0.0"},
      {L"3.0.0.0", nullptr, L"3.0.0.0"},
  };
  for (const Case& c : cases) {
    base::DeleteRegTree(HKEY_CURRENT_USER, client);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, client);
    if (c.user) SetString(HKEY_CURRENT_USER, client, L"Version", c.user);
    if (c.machine) SetString(HKEY_LOCAL_MACHINE, client, L"Version", c.machine);
    EXPECT_EQ(paths().GetComponentVersion(ComponentKind::kClient), c.expected)
        << (c.user ? "user" : "-") << " " << (c.machine ? "machine" : "-");
  }
}

TEST_F(PathManagerTest, ProductValuesAndTheirDefaults) {
  EXPECT_EQ(paths().GetProductVersion(), L"1.0.0.0");
  EXPECT_EQ(paths().GetChannelId(), 2000);
  SetString(HKEY_LOCAL_MACHINE, key(), L"Version", L"5.4.3.2");
  EXPECT_EQ(paths().GetProductVersion(), L"5.4.3.2");

  const struct {
    uint64_t stored;
    int32_t channel;
  } cases[] = {{1234, 1234}, {(uint64_t{1} << 32) + 5, 5}, {0xFFFFFFFFull, -1}};
  for (const auto& c : cases) {
    SetQword(HKEY_LOCAL_MACHINE, key(), L"ChannelId", c.stored);
    EXPECT_EQ(paths().GetChannelId(), c.channel) << c.stored;
  }
  SetDword(HKEY_LOCAL_MACHINE, key(), L"ChannelId", 77);
  EXPECT_EQ(paths().GetChannelId(), 2000) << "a DWORD is not a channel";
}

TEST_F(PathManagerTest, ApiDebugModeIsOnlyAQwordOfOne) {
  struct Case {
    const char* what;
    HKEY root;
    DWORD type;
    uint64_t value;
    bool on;
  } cases[] = {
      {"user QWORD 1", HKEY_CURRENT_USER, REG_QWORD, 1, true},
      {"machine QWORD 1", HKEY_LOCAL_MACHINE, REG_QWORD, 1, true},
      {"user DWORD 1", HKEY_CURRENT_USER, REG_DWORD, 1, false},
      {"machine QWORD 2", HKEY_LOCAL_MACHINE, REG_QWORD, 2, false},
      {"user QWORD -1", HKEY_CURRENT_USER, REG_QWORD, ~uint64_t{0}, false},
  };
  EXPECT_FALSE(paths().IsApiDebugMode()) << "nothing stored";
  for (const Case& c : cases) {
    base::DeleteRegTree(HKEY_CURRENT_USER, key());
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key());
    settings_test::SetRawValue(c.root, key(), L"api_debug_mode", c.type, &c.value, c.type == REG_QWORD ? 8 : 4);
    EXPECT_EQ(paths().IsApiDebugMode(), c.on) << c.what;
  }
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, key());
  SetString(HKEY_CURRENT_USER, key(), L"api_debug_mode", L"1");
  EXPECT_FALSE(paths().IsApiDebugMode()) << "a string value";
  SetQword(HKEY_CURRENT_USER, key(), L"api_debug_mode", 2);
  SetQword(HKEY_LOCAL_MACHINE, key(), L"api_debug_mode", 1);
  EXPECT_TRUE(paths().IsApiDebugMode()) << "the machine's switch counts when the user's is off";
}

TEST_F(PathManagerTest, ExperimentIdIsStoredAsUtf16) {
  ASSERT_TRUE(paths().SetExperimentId("exp-\xE5\xAE\x9E\xE9\xAA\x8C-\xC3\xA9"));  // "exp-实验-é"
  const settings_test::RawValue raw = settings_test::GetRawValue(HKEY_LOCAL_MACHINE, key(), L"ExperimentId");
  ASSERT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(settings_test::RawText(raw), L"exp-\u5B9E\u9A8C-\u00E9");
}

TEST_F(PathManagerTest, ClientTypeFallsBackToTheMachine) {
  EXPECT_EQ(base::GetClientType(), -1);
  SetQword(HKEY_CURRENT_USER, key(), L"ClientType", ~uint64_t{0});
  SetQword(HKEY_LOCAL_MACHINE, key(), L"ClientType", 7);
  EXPECT_EQ(base::GetClientType(), 7);
  SetQword(HKEY_CURRENT_USER, key(), L"ClientType", 3);
  EXPECT_EQ(base::GetClientType(), 3);
  SetQword(HKEY_CURRENT_USER, key(), L"ClientType", 0xABCDEF00FFFFFFFFull);
  EXPECT_EQ(base::GetClientType(), 7) << "only the low 32 bits count";
}

TEST_F(PathManagerTest, SetClientTypeWritesBothHivesSignExtended) {
  ASSERT_TRUE(base::SetClientType(-5));
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_EQ(base::ReadRegQword(root, key(), L"ClientType", 0), 0xFFFFFFFFFFFFFFFBull);
  }
  EXPECT_EQ(base::GetClientType(), -5);
}

TEST_F(PathManagerTest, StoreLaunchTimeIsTheUsersQword) {
  const std::wstring client = paths().GetRegistryKey(ComponentKind::kClient);
  EXPECT_EQ(base::GetStoreLaunchTime(), 0u);
  SetQword(HKEY_CURRENT_USER, client, L"AppStoreLaunchTime", 1700000000123ull);
  EXPECT_EQ(base::GetStoreLaunchTime(), 1700000000123ull);
  SetDword(HKEY_CURRENT_USER, client, L"AppStoreLaunchTime", 5);
  EXPECT_EQ(base::GetStoreLaunchTime(), 0u);
}

TEST_F(PathManagerTest, TemporaryFolders) {
  const std::wstring maker = base::GetTempMakerDir();
  EXPECT_TRUE(EndsWith(maker, L"\\Orvalis"));
  EXPECT_TRUE(fs::is_directory(maker));

  const std::wstring root = paths().GetTempDir(TempDirKind::kRoot);
  EXPECT_EQ(root, maker + L"\\Quillorane\\");
  const std::wstring resources = paths().GetTempDir(TempDirKind::kInstallResources);
  EXPECT_EQ(resources, maker + L"\\Quillorane\\install-resources");
  EXPECT_TRUE(fs::is_directory(resources));
  EXPECT_EQ(paths().GetTempDir(TempDirKind::kTips), maker + L"\\Quillorane\\resources\\tips");
}

// TMP, TEMP and the current folder of this process, put back afterwards.
class ScopedTempEnvironment {
 public:
  ScopedTempEnvironment() {
    for (const wchar_t* name : {L"TMP", L"TEMP", L"USERPROFILE"}) saved_.emplace_back(name, Read(name));
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    current_ = folder;
  }
  ~ScopedTempEnvironment() {
    for (const auto& [name, value] : saved_) ::SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
    ::SetCurrentDirectoryW(current_.c_str());
  }

 private:
  static std::optional<std::wstring> Read(const wchar_t* name) {
    wchar_t value[32767] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 32767);
    if (length == 0 || length >= 32767) return std::nullopt;
    return std::wstring(value, length);
  }
  std::vector<std::pair<const wchar_t*, std::optional<std::wstring>>> saved_;
  std::wstring current_;
};

TEST_F(PathManagerTest, NoTemporaryFolderCreatesNothing) {
  ScopedTempEnvironment restore;
  const fs::path current = temp_.path() / "current";
  fs::create_directories(current);
  ASSERT_TRUE(::SetCurrentDirectoryW(current.c_str()));
  // A temporary folder longer than a path may be: the lookup fails.
  const std::wstring too_long = (temp_.path() / std::wstring(300, L't')).wstring();
  for (const wchar_t* name : {L"TMP", L"TEMP", L"USERPROFILE"}) ::SetEnvironmentVariableW(name, too_long.c_str());
  wchar_t probe[MAX_PATH + 1] = {};
  ASSERT_EQ(::GetTempPathW(MAX_PATH + 1, probe), 0u) << probe;

  EXPECT_EQ(base::GetTempMakerDir(), L"");
  EXPECT_EQ(paths().GetTempDir(TempDirKind::kInstallResources), L"");
  EXPECT_EQ(paths().GetTempDir(TempDirKind::kRoot), L"");
  EXPECT_TRUE(fs::is_empty(current));
}

TEST_F(PathManagerTest, ApplicationDataFolders) {
  const std::wstring roaming = base::GetFolderPath(CSIDL_APPDATA).value();
  const std::wstring product = roaming + L"\\Orvalis\\" + product_.name();
  EXPECT_EQ(paths().GetAppDataDir(AppDataDirKind::kSelf), product + L"\\");
  EXPECT_EQ(paths().GetAppDataDir(AppDataDirKind::kParent), product + L"\\..");
  const std::wstring db = paths().GetAppDataDir(AppDataDirKind::kDb);
  EXPECT_EQ(db, product + L"\\db");
  EXPECT_TRUE(fs::is_directory(db));
  EXPECT_EQ(paths().GetAppDataDir(AppDataDirKind::kWebEngineCache), product + L"\\web-engine-cache");
  EXPECT_EQ(paths().GetAppDataDir(AppDataDirKind::kCef), product + L"\\cef");
}

TEST_F(PathManagerTest, InstallPathAndDataFoldersFromTheRegistry) {
  EXPECT_EQ(paths().GetInstallPath(), install_path());
  EXPECT_TRUE(fs::is_directory(install_path()));

  const std::wstring data = (temp_.path() / "data").wstring();
  SetString(HKEY_LOCAL_MACHINE, key(), L"QuilloraneData", data);
  EXPECT_EQ(paths().GetDataRoot(), data);
  EXPECT_EQ(paths().GetDataAppDir(), data + L"\\app");
  EXPECT_TRUE(fs::is_directory(data + L"\\app"));
}

TEST_F(PathManagerTest, DefaultInstallPathIsTheProductsProgramFilesFolder) {
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, key());
  const std::wstring expected =
      base::GetFolderPath(CSIDL_PROGRAM_FILES).value() + L"\\Orvalis\\" + product_.name();
  EXPECT_EQ(paths().GetInstallPath(), expected);
  EXPECT_TRUE(fs::is_directory(expected));
  fs::remove_all(expected);
}

TEST_F(PathManagerTest, FileWhereAFolderIsAskedForIsLeftInPlace) {
  const fs::path file = temp_.path() / "not-a-folder";
  std::ofstream(file) << "data";
  SetString(HKEY_LOCAL_MACHINE, key(), L"InstallPath", file.wstring());
  EXPECT_EQ(paths().GetInstallPath(), file.wstring());
  EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(PathManagerTest, ClientFilesMustAllBeThere) {
  EXPECT_FALSE(paths().HasClientFiles()) << "no version";
  SetString(HKEY_LOCAL_MACHINE, paths().GetRegistryKey(ComponentKind::kClient), L"Version", L"4.0.0.1");
  const fs::path folder = fs::path(install_path()) / "Application" / "4.0.0.1";
  EXPECT_FALSE(paths().HasClientFiles()) << "empty folder";
  EXPECT_TRUE(fs::is_directory(folder)) << "asking made the versioned folder";

  std::ofstream(folder / "Quillorane.exe") << "MZ";
  EXPECT_FALSE(paths().HasClientFiles()) << "only Quillorane.exe";
  std::ofstream(folder / "QuilloraneEmulator.exe") << "MZ";
  EXPECT_TRUE(paths().HasClientFiles());

  SetString(HKEY_CURRENT_USER, paths().GetRegistryKey(ComponentKind::kClient), L"Version", L"1.0.0.0");
  EXPECT_TRUE(paths().HasClientFiles()) << "the user's default version defers to the machine's";
}

}  // namespace
