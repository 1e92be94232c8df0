// The toast manager against the rig's stand-in toast classes (registered in
// the test prefix for the cases that need them) and the real shell links of
// the prefix. Wine keeps no AppUserModel id in a link: its property store
// takes the value and stores nothing, and reading it fails, so a shortcut
// that exists is never found right and is written anew every time. The
// cases about the id itself register the rig's shell link, which keeps it.
#include "src/zephris_install/src/toast/toast_lib/toast_manager.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/registry.h"
#include "base/tests/settings_test_util.h"
#include "src/zephris_install/src/toast/toast_lib/tests/toast_rig.h"
#include "testing/shell_link/shell_link_stand_in.h"

namespace {

namespace fs = std::filesystem;
using ToastLib::ToastManager;
using ToastLib::ToastTemplate;

constexpr wchar_t kAppName[] = L"QlToastTest安装器";

// What one handler was told, shared with the test so it outlives the handler.
struct Calls {
  std::mutex lock;
  std::vector<std::string> events;
  std::atomic<bool> destroyed{false};
  std::vector<std::string> Take() {
    std::lock_guard l(lock);
    return events;
  }
  void Add(std::string e) {
    std::lock_guard l(lock);
    events.push_back(std::move(e));
  }
};

class RecordingHandler final : public ToastLib::IToastHandler {
 public:
  explicit RecordingHandler(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {}
  ~RecordingHandler() override { calls_->destroyed = true; }
  void onActionActivated(int index) const override { calls_->Add("action " + std::to_string(index)); }
  void onActivated() const override { calls_->Add("activated"); }
  void onDismissed(int reason) const override { calls_->Add("dismissed " + std::to_string(reason)); }
  void onFailed() const override { calls_->Add("failed"); }

 private:
  std::shared_ptr<Calls> calls_;
};

// A manager of the test's own: the process-wide one keeps its toasts
// between cases.
class Manager : public ToastManager {
 public:
  Manager() {
    setAppName(kAppName);
    setAppUserModelId(kAppName);
  }
};

fs::path LinkPath() {
  wchar_t path[MAX_PATH];
  EXPECT_HRESULT_SUCCEEDED(ToastLib::GetStartMenuShortcutPath(kAppName, path));
  return path;
}

struct LinkFields {
  std::wstring target, arguments, working_folder;
};

bool ReadLink(const fs::path& path, LinkFields& fields) {
  base::ScopedComPtr<IShellLinkW> link;
  base::ScopedComPtr<IPersistFile> file;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Receive()))) ||
      FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()))) ||
      FAILED(file.Get()->Load(path.c_str(), STGM_READ))) {
    return false;
  }
  wchar_t text[MAX_PATH];
  if (FAILED(link.Get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) return false;
  fields.target = text;
  if (FAILED(link.Get()->GetArguments(text, MAX_PATH))) return false;
  fields.arguments = text;
  if (FAILED(link.Get()->GetWorkingDirectory(text, MAX_PATH))) return false;
  fields.working_folder = text;
  return true;
}

std::wstring ProgramPath() {
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  return exe;
}

class ToastManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    toast_testing::UnregisterToastClasses();
    std::error_code ignored;
    fs::remove(LinkPath(), ignored);
  }
  void TearDown() override {
    toast_testing::UnregisterToastClasses();
    std::error_code ignored;
    fs::remove(LinkPath(), ignored);
    ::CoUninitialize();
  }
};

// The cases that show toasts: the stand-in registered, the manager ready.
class ShownToastTest : public ToastManagerTest {
 protected:
  void SetUp() override {
    ToastManagerTest::SetUp();
    ASSERT_TRUE(toast_testing::RegisterToastClasses());
    ASSERT_TRUE(stand_in_.loaded());
    stand_in_.Reset();
    ToastManager::ToastError error = ToastManager::kNotDisplayed;
    ASSERT_TRUE(manager_.initialize(&error));
    EXPECT_EQ(error, ToastManager::kNoError);
  }
  void TearDown() override {
    manager_.clearToasts();
    stand_in_.Reset();
    ToastManagerTest::TearDown();
  }

  std::int64_t Show(const std::shared_ptr<Calls>& calls, ToastTemplate toast = {}) {
    ToastManager::ToastError error = ToastManager::kNotDisplayed;
    const std::int64_t id = manager_.showToast(toast, new RecordingHandler(calls), &error);
    EXPECT_EQ(error, ToastManager::kNoError);
    return id;
  }

  toast_testing::StandIn stand_in_;
  Manager manager_;
};

TEST_F(ToastManagerTest, WithoutRuntimeClassesToastsFailButNothingElseDoes) {
  Manager manager;
  ToastManager::ToastError error = ToastManager::kNotDisplayed;
  // Wine has the late-bound functions and takes the process id; only the
  // toast classes are missing, which the show finds out.
  EXPECT_TRUE(manager.initialize(&error));
  EXPECT_EQ(error, ToastManager::kNoError);
  auto calls = std::make_shared<Calls>();
  EXPECT_EQ(manager.showToast(ToastTemplate{}, new RecordingHandler(calls), &error), -1);
  EXPECT_EQ(error, ToastManager::kNoError) << "a failing platform call has no error of its own";
  EXPECT_TRUE(calls->destroyed);
  EXPECT_FALSE(manager.hideToast(1));
  manager.clearToasts();
}

TEST_F(ToastManagerTest, ShowBeforeInitializeDestroysTheHandler) {
  Manager manager;
  auto calls = std::make_shared<Calls>();
  ToastManager::ToastError error = ToastManager::kNoError;
  EXPECT_EQ(manager.showToast(ToastTemplate{}, new RecordingHandler(calls), &error), -1);
  EXPECT_EQ(error, ToastManager::kNotInitialized);
  EXPECT_TRUE(calls->destroyed);
  EXPECT_FALSE(manager.isInitialized());
}

TEST_F(ToastManagerTest, InitializeNeedsNameAndId) {
  const struct {
    const wchar_t* name;
    const wchar_t* id;
  } cases[] = {{L"", kAppName}, {kAppName, L""}};
  for (const auto& c : cases) {
    Manager manager;
    manager.setAppName(c.name);
    manager.setAppUserModelId(c.id);
    ToastManager::ToastError error = ToastManager::kNoError;
    EXPECT_FALSE(manager.initialize(&error));
    EXPECT_EQ(error, ToastManager::kInvalidParameters);
    EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutMissingParameters);
    EXPECT_FALSE(fs::exists(LinkPath()));
  }
}

TEST_F(ToastManagerTest, MissingShortcutIsCreatedForTheProgramInItsFolder) {
  Manager manager;
  EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
  LinkFields fields;
  ASSERT_TRUE(ReadLink(LinkPath(), fields));
  EXPECT_EQ(fs::path(fields.target), fs::path(ProgramPath()));
  EXPECT_EQ(fields.arguments, L"");
  // The folder the program starts in, not the program's own path.
  EXPECT_EQ(fs::path(fields.working_folder), fs::path(ProgramPath()).parent_path());
}

TEST_F(ToastManagerTest, UnreadableShortcutIsReplaced) {
  fs::create_directories(LinkPath().parent_path());
  std::ofstream(LinkPath(), std::ios::binary) << "not a shell link";
  Manager manager;
  EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
  LinkFields fields;
  ASSERT_TRUE(ReadLink(LinkPath(), fields));
  EXPECT_EQ(fs::path(fields.target), fs::path(ProgramPath()));
}

TEST_F(ToastManagerTest, ExistingShortcutWithoutReadableIdIsWrittenAgain) {
  Manager manager;
  ASSERT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
  // Under Wine the id never reads back, so the link counts as broken.
  EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
  EXPECT_TRUE(fs::exists(LinkPath()));
}

TEST_F(ToastManagerTest, IgnorePolicyLeavesTheStartMenuAlone) {
  Manager manager;
  manager.setShortcutPolicy(ToastLib::kShortcutIgnore);
  EXPECT_TRUE(manager.initialize());
  EXPECT_FALSE(fs::exists(LinkPath()));
}

TEST_F(ToastManagerTest, RequireExistingPolicyNeverWritesAShortcut) {
  Manager manager;
  manager.setShortcutPolicy(ToastLib::kShortcutRequireNoCreate);
  ToastManager::ToastError error = ToastManager::kNoError;
  EXPECT_FALSE(manager.initialize(&error));
  EXPECT_EQ(error, ToastManager::kShellLinkNotCreated);
  EXPECT_FALSE(fs::exists(LinkPath()));
  EXPECT_FALSE(manager.isInitialized());
}

// The rig's shell link in place of Wine's for one case; a case that died
// with it registered is undone first.
class ShortcutIdTest : public ToastManagerTest {
 protected:
  static constexpr wchar_t kBackupKey[] = L"Software\\QlTest\\ShellLinkClassBackup";
  static std::wstring Server() { return std::wstring(kShellLinkClassKey) + L"\\InprocServer32"; }

  void SetUp() override {
    ToastManagerTest::SetUp();
    if (!settings_test::KeyExists(HKEY_CURRENT_USER, kBackupKey)) {
      for (const wchar_t* name : {L"", L"ThreadingModel"}) {
        const settings_test::RawValue value = settings_test::GetRawValue(HKEY_LOCAL_MACHINE, Server(), name);
        ASSERT_TRUE(value.found);
        settings_test::SetString(HKEY_CURRENT_USER, kBackupKey, *name ? name : L"Server",
                                 settings_test::RawText(value));
      }
    }
    base::DeleteRegTree(HKEY_CURRENT_USER, kShellLinkStandInKey);
    settings_test::SetString(HKEY_LOCAL_MACHINE, Server(), L"", testing_process::DosPath(QL_SHELL_LINK_STAND_IN));
    settings_test::SetString(HKEY_LOCAL_MACHINE, Server(), L"ThreadingModel", L"Both");
  }
  void TearDown() override {
    for (const wchar_t* name : {L"", L"ThreadingModel"}) {
      const settings_test::RawValue value =
          settings_test::GetRawValue(HKEY_CURRENT_USER, kBackupKey, *name ? name : L"Server");
      ASSERT_TRUE(value.found);
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(), name, settings_test::RawText(value));
    }
    base::DeleteRegTree(HKEY_CURRENT_USER, kBackupKey);
    base::DeleteRegTree(HKEY_CURRENT_USER, kShellLinkStandInKey);
    ToastManagerTest::TearDown();
  }

  // The id the link keeps, as the rig's link stores it.
  static std::optional<std::wstring> StoredId() {
    const settings_test::RawValue value =
        settings_test::GetRawValue(HKEY_CURRENT_USER, kShellLinkStandInKey, LinkPath().wstring());
    if (!value.found) return std::nullopt;
    return settings_test::RawText(value);
  }
  static void PlantId(const std::wstring& id) {
    settings_test::SetString(HKEY_CURRENT_USER, kShellLinkStandInKey, LinkPath().wstring(), id);
  }
  // An old time on the link, so that a rewrite shows.
  static fs::file_time_type Age() {
    const fs::file_time_type old = fs::last_write_time(LinkPath()) - std::chrono::hours(24);
    fs::last_write_time(LinkPath(), old);
    return old;
  }
};

TEST_F(ShortcutIdTest, CreatedShortcutCarriesTheId) {
  Manager manager;
  EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
  EXPECT_EQ(StoredId(), std::wstring(kAppName));
}

TEST_F(ShortcutIdTest, MatchingShortcutIsLeftAlone) {
  Manager manager;
  ASSERT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
  const fs::file_time_type old = Age();
  EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutUnchanged);
  EXPECT_EQ(fs::last_write_time(LinkPath()), old);
}

TEST_F(ShortcutIdTest, ShortcutWithAnotherIdIsRepairedInPlace) {
  const wchar_t* const others[] = {L"Other.App", L"qltoasttest安装器", L"QlToastTest安装器 "};
  for (const wchar_t* other : others) {
    Manager manager;
    ASSERT_EQ(manager.createShortcut(), ToastLib::kShortcutCreated);
    PlantId(other);
    const fs::file_time_type old = Age();
    EXPECT_EQ(manager.createShortcut(), ToastLib::kShortcutRepaired) << testing::PrintToString(other);
    EXPECT_EQ(StoredId(), std::wstring(kAppName));
    EXPECT_NE(fs::last_write_time(LinkPath()), old) << "saved again";
    LinkFields fields;
    ASSERT_TRUE(ReadLink(LinkPath(), fields));
    EXPECT_EQ(fs::path(fields.target), fs::path(ProgramPath()));
    fs::remove(LinkPath());
  }
}

TEST_F(ShortcutIdTest, RequireExistingPolicyAcceptsOnlyAMatchingShortcut) {
  {
    Manager writer;
    ASSERT_EQ(writer.createShortcut(), ToastLib::kShortcutCreated);
  }
  Manager manager;
  manager.setShortcutPolicy(ToastLib::kShortcutRequireNoCreate);
  EXPECT_TRUE(manager.initialize());
  PlantId(L"Other.App");
  ToastManager::ToastError error = ToastManager::kNoError;
  EXPECT_FALSE(manager.initialize(&error));
  EXPECT_EQ(error, ToastManager::kShellLinkNotCreated);
  EXPECT_EQ(StoredId(), std::wstring(L"Other.App")) << "never written";
}

TEST_F(ShownToastTest, NullHandlerIsRefused) {
  ToastManager::ToastError error = ToastManager::kNoError;
  EXPECT_EQ(manager_.showToast(ToastTemplate{}, nullptr, &error), -1);
  EXPECT_EQ(error, ToastManager::kInvalidHandler);
  EXPECT_EQ(stand_in_.ShownCount(), 0);
}

TEST_F(ShownToastTest, ShownToastCarriesTheDocumentUnderTheAppId) {
  auto calls = std::make_shared<Calls>();
  ToastTemplate toast;
  toast.setTextField(L"开始下载", 0);
  toast.setTextField(L"请稍候", 1);
  const std::int64_t id = Show(calls, toast);
  EXPECT_GE(id, 0);
  EXPECT_LE(id, 0xFFFFFFFFll);
  ASSERT_EQ(stand_in_.ShownCount(), 1);
  EXPECT_EQ(stand_in_.ShownAppId(0), kAppName);
  EXPECT_NE(stand_in_.ShownXml(0).find(L"<text id=\"1\">开始下载</text><text id=\"2\">请稍候</text>"),
            std::wstring::npos)
      << stand_in_.ShownXml(0);
  EXPECT_EQ(stand_in_.Expiration(0), -1);
  EXPECT_EQ(stand_in_.HandlerCount(0), 3);
  EXPECT_FALSE(calls->destroyed) << "the registered delegates hold the handler";
}

TEST_F(ShownToastTest, Events) {
  const struct {
    const char* name;
    ToastStandInEvent kind;
    const wchar_t* arguments;
    int reason;
    const char* told;
  } cases[] = {
      {"action button", kStandInActivated, L"2", 0, "action 2"},
      {"body click, empty arguments", kStandInActivated, L"", 0, "activated"},
      {"body click, no arguments", kStandInActivated, nullptr, 0, "activated"},
      {"closed by the user", kStandInDismissed, nullptr, 0, "dismissed 0"},
      {"hidden by the program", kStandInDismissed, nullptr, 1, "dismissed 1"},
      {"timed out", kStandInDismissed, nullptr, 2, "dismissed 2"},
      {"failed", kStandInFailed, nullptr, 0, "failed"},
  };
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    SCOPED_TRACE(cases[i].name);
    auto calls = std::make_shared<Calls>();
    ASSERT_GE(Show(calls), 0);
    ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(i, cases[i].kind, cases[i].arguments, cases[i].reason));
    EXPECT_EQ(calls->Take(), std::vector<std::string>{cases[i].told});
  }
}

TEST_F(ShownToastTest, ClosedAfterItsExpirationCountsAsTimedOut) {
  auto calls = std::make_shared<Calls>();
  ToastTemplate toast;
  toast.expiration = 1;  // ms
  ASSERT_GE(Show(calls, toast), 0);
  ::Sleep(20);
  ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(0, kStandInDismissed, nullptr, 0));
  EXPECT_EQ(calls->Take(), std::vector<std::string>{"dismissed 2"});
}

TEST_F(ShownToastTest, ClosedBeforeItsExpirationStaysCancelled) {
  auto calls = std::make_shared<Calls>();
  ToastTemplate toast;
  toast.expiration = 3600 * 1000;
  ASSERT_GE(Show(calls, toast), 0);
  ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(0, kStandInDismissed, nullptr, 0));
  EXPECT_EQ(calls->Take(), std::vector<std::string>{"dismissed 0"});
}

TEST_F(ShownToastTest, ExpirationStaysReadableAfterTheShowReturned) {
  ToastTemplate toast;
  toast.expiration = 60 * 1000;
  FILETIME before{};
  ::GetSystemTimeAsFileTime(&before);
  ASSERT_GE(Show(std::make_shared<Calls>(), toast), 0);
  FILETIME after{};
  ::GetSystemTimeAsFileTime(&after);
  const auto ticks = [](FILETIME t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  // The notification kept the reference; it is read here, long after the
  // call that set it.
  const std::int64_t expiration = stand_in_.Expiration(0);
  EXPECT_GE(expiration, ticks(before) + 60 * 1000 * 10000ll);
  EXPECT_LE(expiration, ticks(after) + 60 * 1000 * 10000ll);
}

TEST_F(ShownToastTest, AnEventErasesTheToastThatFiredBefore) {
  auto first = std::make_shared<Calls>();
  auto second = std::make_shared<Calls>();
  ASSERT_GE(Show(first), 0);
  ASSERT_GE(Show(second), 0);
  ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(0, kStandInActivated, nullptr));
  EXPECT_EQ(stand_in_.HandlerCount(0), 3) << "a delegate never unregisters inside its own event";
  ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(1, kStandInFailed));
  EXPECT_EQ(stand_in_.HandlerCount(0), 0);
  EXPECT_EQ(stand_in_.HandlerCount(1), 3);
}

TEST_F(ShownToastTest, HideTakesTheToastOffAndForgetsIt) {
  auto calls = std::make_shared<Calls>();
  const std::int64_t id = Show(calls);
  ASSERT_GE(id, 0);
  EXPECT_FALSE(manager_.hideToast(-5)) << "no toast has a negative id";
  // The stand-in reports the dismissal from inside Hide, as the platform may.
  EXPECT_TRUE(manager_.hideToast(id));
  EXPECT_EQ(stand_in_.HiddenCount(), 1);
  EXPECT_EQ(calls->Take(), std::vector<std::string>{"dismissed 1"});
  EXPECT_FALSE(manager_.hideToast(id)) << "forgotten";
}

TEST_F(ShownToastTest, RefusedToastStaysRecorded) {
  stand_in_.RefuseShow(true);
  ToastManager::ToastError error = ToastManager::kNoError;
  EXPECT_EQ(manager_.showToast(ToastTemplate{}, new RecordingHandler(std::make_shared<Calls>()), &error), -1);
  EXPECT_EQ(error, ToastManager::kNotDisplayed);
  // Still recorded: clearing takes it off the screen.
  manager_.clearToasts();
  EXPECT_EQ(stand_in_.HiddenCount(), 1);
}

TEST_F(ShownToastTest, HandlerLivesUntilTheLastDelegateLetsGo) {
  auto calls = std::make_shared<Calls>();
  ASSERT_GE(Show(calls), 0);
  manager_.clearToasts();
  EXPECT_EQ(stand_in_.HiddenCount(), 1);
  EXPECT_FALSE(calls->destroyed) << "the notification still holds its delegates";
  stand_in_.Reset();  // the platform lets the notification go
  EXPECT_TRUE(calls->destroyed);
}

TEST_F(ShownToastTest, EventsOfManyToastsAtOnce) {
  constexpr int kToasts = 24;
  std::vector<std::shared_ptr<Calls>> calls;
  for (int i = 0; i < kToasts; ++i) {
    calls.push_back(std::make_shared<Calls>());
    ASSERT_GE(Show(calls.back()), 0);
  }
  std::vector<std::thread> platform;
  for (int i = 0; i < kToasts; ++i) {
    platform.emplace_back([&, i] { stand_in_.Fire(i, i % 2 ? kStandInFailed : kStandInActivated, L"1"); });
  }
  for (std::thread& t : platform) t.join();
  for (int i = 0; i < kToasts; ++i) {
    EXPECT_EQ(calls[i]->Take(), std::vector<std::string>{i % 2 ? "failed" : "action 1"}) << i;
  }
  // One more event sweeps every toast that fired.
  auto last = std::make_shared<Calls>();
  ASSERT_GE(Show(last), 0);
  ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(kToasts, kStandInFailed));
  for (int i = 0; i < kToasts; ++i) EXPECT_EQ(stand_in_.HandlerCount(i), 0) << i;
}

TEST_F(ShownToastTest, ManagerGoneBeforeALateEvent) {
  auto calls = std::make_shared<Calls>();
  {
    Manager other;
    ASSERT_TRUE(other.initialize());
    ASSERT_GE(other.showToast(ToastTemplate{}, new RecordingHandler(calls)), 0);
    // Hidden at destruction; its delegates stay on the notification.
  }
  ASSERT_HRESULT_SUCCEEDED(stand_in_.Fire(0, kStandInActivated, nullptr));
  EXPECT_EQ(calls->Take(), (std::vector<std::string>{"dismissed 1", "activated"}));
}

}  // namespace
