// A stamped QuilloraneInstaller.exe that shows its main window, driven from
// this test by real mouse input at the places of the window's controls, end
// to end against the rig's web API stand-in, nginx, fault server and
// telemetry collector: a whole install through the cards, and the quit
// question asked by the close button while the download runs.

#include "src/zephris_install/tests/installer_e2e_rig.h"
#include "testing/window_input/installer_window_input.h"

namespace {

using namespace e2e_rig;
using namespace std::chrono_literals;

constexpr wchar_t kDesktopLinkMark[] = L"pcvzt.sdk.desktop_link.mark";

std::wstring WindowArguments() { return L"--disable-self-update 1 --engine-type 1"; }

std::optional<uint64_t> ReadQword(HKEY root, const std::wstring& key, const wchar_t* name) {
  const settings_test::RawValue raw = GetRawValue(root, key, name);
  if (!raw.found || raw.type != REG_QWORD || raw.bytes.size() != 8) return std::nullopt;
  uint64_t data = 0;
  std::memcpy(&data, raw.bytes.data(), 8);
  return data;
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// One card event as the collector stored it.
struct CardEvent {
  std::string code;
  std::string card;
  std::string element;
  std::string source_card = {};  // boxes only
};

bool Matches(const json& event, const CardEvent& want) {
  const json& params = event["params"];
  return event.value("event_code", "") == want.code && params.value("card_id", "") == want.card &&
         params.value("element_id", "") == want.element &&
         (want.source_card.empty() || params.value("source_card_id", "") == want.source_card);
}

std::string Describe(const std::vector<json>& events) {
  std::string text;
  for (const json& event : events) {
    const std::string code = event.value("event_code", "");
    if (code.rfind("dt_", 0) != 0) continue;
    const json& params = event["params"];
    text += code + " " + params.value("card_id", "") + " " + params.value("element_id", "") + "\n";
  }
  return text;
}

class InstallerWindowTest : public InstallerEndToEndTest {
 protected:
  InstallerWindowTest() { install_mode_ = 0; }

  void SetUp() override {
    ASSERT_TRUE(telemetry_rig::CollectorProgramExists()) << telemetry_rig::CollectorProgram();
    ASSERT_TRUE(telemetry_rig::CollectorHostIsLoopback()) << "the collector host must map to 127.0.0.1";
    InstallerEndToEndTest::SetUp();
    // The collector's port is the client's, machine-wide: a run of another
    // tree may hold it for a while.
    bool listening = false;
    for (int i = 0; i < 45 && !(listening = collector_.Start("ok")); ++i) std::this_thread::sleep_for(2s);
    ASSERT_TRUE(listening) << "port 8081 stayed taken";
  }

  // Starts the installer and waits for its main window's first frame.
  void StartWindow() {
    ASSERT_TRUE(run_.Start(installer_, WindowArguments()));
    ASSERT_TRUE(window_input::WaitFor(
        [this] { return (window_ = window_input::FindVisibleWindow(window_input::kMainWindowClass, run_.id())); },
        180s))
        << NewLog();
    ASSERT_TRUE(WaitForLog("first frame of the zephris_install window painted", 120)) << NewLog();
    std::this_thread::sleep_for(1500ms);  // the shadow and the first frames settle
  }

  void Click(POINT where) { window_input::Click(window_, where); }

  // The installer's quit question, once it shows.
  HWND WaitForQuitBox() {
    HWND box = nullptr;
    window_input::WaitFor(
        [&] { return (box = window_input::FindVisibleWindow(window_input::kMessageBoxClass, run_.id())) != nullptr; },
        60s);
    if (box != nullptr) std::this_thread::sleep_for(1000ms);  // its first frame
    return box;
  }
  bool WaitForNoQuitBox() {
    return window_input::WaitFor(
        [&] { return window_input::FindVisibleWindow(window_input::kMessageBoxClass, run_.id()) == nullptr; }, 60s);
  }

  // This run's events once every one of `wanted` has arrived.
  std::vector<json> EventsWith(const std::vector<CardEvent>& wanted) {
    std::vector<json> events;
    telemetry_rig::WaitFor(
        [&] {
          events = RunEvents(collector_.Events(), channel_);
          return std::all_of(wanted.begin(), wanted.end(), [&](const CardEvent& want) {
            return std::any_of(events.begin(), events.end(), [&](const json& e) { return Matches(e, want); });
          });
        },
        60s);
    return events;
  }
  // Indexes of the events that match, in order.
  static std::vector<long> All(const std::vector<json>& events, const CardEvent& want) {
    std::vector<long> at;
    for (size_t i = 0; i < events.size(); ++i) {
      if (Matches(events[i], want)) at.push_back(static_cast<long>(i));
    }
    return at;
  }
  static long First(const std::vector<json>& events, const CardEvent& want) {
    const std::vector<long> at = All(events, want);
    return at.empty() ? -1 : at.front();
  }

  telemetry_rig::CollectorRig collector_;
  InstallerRun run_;
  HWND window_ = nullptr;
};

// The user opens the custom card, unticks the desktop link and the start
// with Windows, ticks the agreement and installs; the window goes through
// the installing card to the completion card and ends by itself with 0.
TEST_F(InstallerWindowTest, InstallThroughTheCardsLeavesTheProductAsChosen) {
  AnswerDemoComponents();
  StartWindow();
  ASSERT_EQ(ClientSize(window_).cy, 480);

  Click(window_input::kExpandButton);
  ASSERT_TRUE(window_input::WaitFor([this] { return ClientSize(window_).cy == 580; }, 10s))
      << "the custom card did not open: " << ClientSize(window_).cy;
  Click(window_input::kDesktopLinkOption);
  Click(window_input::kAutoStartOption);
  Click(window_input::kAuthorizeOption);
  Click(window_input::kInstallButton);
  ASSERT_TRUE(WaitForLog("NotifyDownloadStart", 60)) << "the install did not start\n" << NewLog();
  // The installing card is the start card's size again.
  EXPECT_TRUE(window_input::WaitFor([this] { return ClientSize(window_).cy == 480; }, 10s));

  EXPECT_EQ(run_.Wait(300000), 0u) << NewLog();

  // The product, as the silent install leaves it.
  const std::optional<std::wstring> install_path = ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"InstallPath");
  ASSERT_TRUE(install_path) << NewLog();
  const fs::path client_install = base::PathManager::GetInstance().GetComponentInstallDir(base::ComponentKind::kClient);
  const fs::path client_working = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  EXPECT_EQ(client_install.wstring().rfind(*install_path, 0), 0u) << client_install;
  for (const fs::path& file : {client_install / L"QuilloraneLauncher.exe", client_install / L"Uninstall.exe",
                               client_working / L"Quillorane.exe", client_working / L"QuilloraneEmulator.exe"}) {
    EXPECT_TRUE(fs::is_regular_file(file)) << file;
  }
  const std::wstring client_key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kClient);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"Version"), L"5.0.0.1");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, client_key, L"Version"), L"5.0.0.1");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"), L"5.0.0.1");
  const std::optional<std::wstring> uninstall = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString");
  ASSERT_TRUE(uninstall);
  EXPECT_NE(uninstall->find((client_install / L"Uninstall.exe").wstring()), std::wstring::npos) << *uninstall;
  const std::optional<std::wstring> open = ReadString(HKEY_CLASSES_ROOT, L"Quillorane\\shell\\open\\command", L"");
  ASSERT_TRUE(open);
  EXPECT_NE(open->find(L"QuilloraneLauncher.exe"), std::wstring::npos) << *open;

  // The choices of the custom card: no start with Windows, no desktop link
  // (and that choice kept for later installs), the start-menu link.
  EXPECT_EQ(ReadQword(HKEY_LOCAL_MACHINE, ProductKey() + L"\\Settings\\QuilloraneSettings", L"ZephrisAutoStartSwitch"),
            0u);
  EXPECT_FALSE(fs::exists(DesktopFolder() / kLinkName));
  EXPECT_EQ(ReadQword(HKEY_CURRENT_USER, ProductKey() + L"\\Mark", kDesktopLinkMark), 1u);
  const std::optional<LinkFields> start_menu = ReadLink(StartMenuFolder() / kLinkName);
  ASSERT_TRUE(start_menu);
  EXPECT_EQ(fs::path(start_menu->target), client_install / L"QuilloraneLauncher.exe");

  // The completion card started the client.
  const fs::path client_record = client_working / L"Quillorane.cmdline.txt";
  for (int i = 0; i < 100 && ReadFile(client_record).empty(); ++i) std::this_thread::sleep_for(100ms);
  run_.End();
  EXPECT_NE(ReadFile(client_record).find("Quillorane://"), std::string::npos) << ReadFile(client_record);

  // Every card shown and every click, in the order the user met them.
  const std::vector<CardEvent> road = {
      {"dt_imp", "install_start_card", "install_btn"},
      {"dt_clck", "install_start_card", "expand_btn"},
      {"dt_imp", "custom_install_card", "browse_btn"},
      {"dt_clck", "custom_install_card", "desktop_link_option"},
      {"dt_clck", "custom_install_card", "auto_start_option"},
      {"dt_clck", "install_start_card", "authorize_option"},
      {"dt_imp_end", "install_start_card", "install_btn"},
      {"dt_imp_end", "custom_install_card", "browse_btn"},
      {"dt_imp", "installing_card", "feedback_icon"},
      {"dt_clck", "install_start_card", "install_btn"},
      {"dt_imp_end", "installing_card", "feedback_icon"},
      {"dt_imp", "install_complete_card", "complete_btn"},
      {"dt_clck", "install_complete_card", "complete_btn"},
      {"dt_imp_end", "install_complete_card", "complete_btn"},
  };
  const std::vector<json> events = EventsWith(road);
  long previous = -1;
  for (const CardEvent& step : road) {
    const long at = First(events, step);
    ASSERT_GE(at, 0) << step.code << " " << step.card << " " << step.element << "\n" << Describe(events);
    EXPECT_GT(at, previous) << step.code << " " << step.card << " " << step.element << "\n" << Describe(events);
    previous = at;
  }
  const auto params = [&](const CardEvent& step) { return events[First(events, step)]["params"]; };
  EXPECT_EQ(params({"dt_clck", "custom_install_card", "desktop_link_option"}).value("setup", ""), "disable");
  EXPECT_EQ(params({"dt_clck", "custom_install_card", "auto_start_option"}).value("setup", ""), "disable");
  EXPECT_EQ(params({"dt_clck", "install_start_card", "authorize_option"}).value("setup", ""), "enable");
  const json install = params({"dt_clck", "install_start_card", "install_btn"});
  EXPECT_EQ(install.value("setup_create_desktop_link", ""), "disable");
  EXPECT_EQ(install.value("setup_create_start_menu_link", ""), "enable");
  EXPECT_EQ(install.value("setup_auto_start_market", ""), "disable");
  // The completion card completed by itself.
  EXPECT_EQ(params({"dt_clck", "install_complete_card", "complete_btn"}).value("legacy", ""), "1");
  EXPECT_EQ(params({"dt_imp_end", "installing_card", "feedback_icon"}).value("error_code", ""), "0");
  for (const json& event : events) {
    if (event.value("event_code", "").rfind("dt_", 0) == 0) {
      EXPECT_EQ(event["params"].value("page_id", ""), "popup_install");
    }
  }
}

// The close button while the download runs asks whether to quit: cancel and
// the box's own close button keep the install going, quit stops it and the
// program ends with the code of a stop during the download, leaving no
// product behind.
TEST_F(InstallerWindowTest, CloseDuringTheDownloadAsksAndOnlyQuitStopsTheInstall) {
  AnswerDemoComponents(EnvUtf8("QL_HTTP_FAULT_URL") + "/files/e2e-client.7z?key=e2ewinquit" +
                       std::to_string(::GetCurrentProcessId()) + "&rate=10000");
  StartWindow();
  Click(window_input::kAuthorizeOption);
  Click(window_input::kInstallButton);
  ASSERT_TRUE(WaitForLog("NotifyDownloadStart", 60)) << "the install did not start\n" << NewLog();

  struct Answer {
    POINT button;
    const char* element;
  } const keep[] = {{window_input::kBoxCancelButton, "cancel_btn"}, {window_input::kBoxCloseButton, "close_btn"}};
  for (const Answer& answer : keep) {
    SCOPED_TRACE(answer.element);
    Click(window_input::kCloseButton);
    const HWND box = WaitForQuitBox();
    ASSERT_NE(box, nullptr) << "no quit question\n" << NewLog();
    window_input::Click(box, answer.button);
    ASSERT_TRUE(WaitForNoQuitBox());
    // The window and the install go on.
    EXPECT_FALSE(run_.Wait(2000)) << NewLog();
    EXPECT_NE(window_input::FindVisibleWindow(window_input::kMainWindowClass, run_.id()), nullptr);
  }
  const size_t before_quit = NewLog().size();
  EXPECT_EQ(NewLog().find("NotifyComplete"), std::string::npos) << "the download ended too soon for the case";
  Click(window_input::kCloseButton);
  const HWND box = WaitForQuitBox();
  ASSERT_NE(box, nullptr) << "no quit question\n" << NewLog();
  window_input::Click(box, window_input::kBoxConfirmButton);
  EXPECT_EQ(run_.Wait(120000), 102u) << NewLog().substr(before_quit);
  run_.End();

  EXPECT_FALSE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(settings_test::KeyExists(HKEY_CLASSES_ROOT, L"Quillorane"));
  EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"InstallPath"));

  // Three questions, each asked for a click on the installing card's close
  // button, shown and hidden as a pair, with the answer given.
  const CardEvent close{"dt_clck", "installing_card", "close_btn"};
  const CardEvent shown{"dt_imp", "quit_install_card", "confirm_btn", "installing_card"};
  const CardEvent hidden{"dt_imp_end", "quit_install_card", "confirm_btn", "installing_card"};
  const std::vector<CardEvent> answers = {{"dt_clck", "quit_install_card", "cancel_btn", "installing_card"},
                                          {"dt_clck", "quit_install_card", "close_btn", "installing_card"},
                                          {"dt_clck", "quit_install_card", "confirm_btn", "installing_card"}};
  std::vector<CardEvent> wanted = answers;
  wanted.push_back({"dt_imp_end", "installing_card", "feedback_icon"});
  const std::vector<json> events = EventsWith(wanted);
  const std::vector<long> closes = All(events, close), shows = All(events, shown), hides = All(events, hidden);
  ASSERT_EQ(closes.size(), 3u) << Describe(events);
  ASSERT_EQ(shows.size(), 3u) << Describe(events);
  ASSERT_EQ(hides.size(), 3u) << Describe(events);
  for (size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(answers[i].element);
    const long answered = First(events, answers[i]);
    ASSERT_GE(answered, 0) << Describe(events);
    EXPECT_LT(closes[i], shows[i]);
    EXPECT_LT(shows[i], answered);
    EXPECT_LT(answered, hides[i]);
    if (i + 1 < answers.size()) {
      EXPECT_LT(hides[i], closes[i + 1]);
    }
  }
  // The installing card's exposure ends with the quit.
  EXPECT_GT(First(events, {"dt_imp_end", "installing_card", "feedback_icon"}), hides[2]) << Describe(events);
}

// The quit question left unanswered while the install goes on and
// completes: the completion ends the program as usual, with 0 and the
// product installed, and takes the box away with the window.
TEST_F(InstallerWindowTest, InstallCompletingUnderAnUnansweredQuitQuestionEndsWithZero) {
  AnswerDemoComponents(EnvUtf8("QL_HTTP_FAULT_URL") + "/files/e2e-client.7z?key=e2ewinopen" +
                       std::to_string(::GetCurrentProcessId()) + "&rate=40000");
  StartWindow();
  Click(window_input::kAuthorizeOption);
  Click(window_input::kInstallButton);
  ASSERT_TRUE(WaitForLog("NotifyDownloadStart", 60)) << "the install did not start\n" << NewLog();
  Click(window_input::kCloseButton);
  ASSERT_NE(WaitForQuitBox(), nullptr) << "no quit question\n" << NewLog();
  ASSERT_EQ(NewLog().find("NotifyComplete"), std::string::npos) << "the download ended too soon for the case";

  EXPECT_EQ(run_.Wait(240000), 0u) << NewLog();
  EXPECT_EQ(window_input::FindVisibleWindow(window_input::kMessageBoxClass, run_.id()), nullptr);
  run_.End();
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString")) << NewLog();
  const fs::path client_working = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  EXPECT_TRUE(fs::is_regular_file(client_working / L"Quillorane.exe"));
  EXPECT_EQ(NewLog().find("exception code: "), std::string::npos) << NewLog();
}

// Quitting on the start card: nothing was started, so nothing is stopped or
// left behind, and the program ends with 0.
TEST_F(InstallerWindowTest, QuitOnTheStartCardEndsWithNothingInstalled) {
  StartWindow();
  Click(window_input::kCloseButton);
  const HWND box = WaitForQuitBox();
  ASSERT_NE(box, nullptr) << "no quit question\n" << NewLog();
  window_input::Click(box, window_input::kBoxConfirmButton);
  EXPECT_EQ(run_.Wait(120000), 0u) << NewLog();
  run_.End();
  EXPECT_EQ(NewLog().find("NotifyStart"), std::string::npos) << NewLog();
  EXPECT_FALSE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"InstallPath"));

  const std::vector<CardEvent> road = {
      {"dt_imp", "install_start_card", "install_btn"},
      {"dt_clck", "install_start_card", "close_btn"},
      {"dt_imp", "quit_install_card", "confirm_btn", "install_start_card"},
      {"dt_clck", "quit_install_card", "confirm_btn", "install_start_card"},
      {"dt_imp_end", "quit_install_card", "confirm_btn", "install_start_card"},
      {"dt_imp_end", "install_start_card", "install_btn"},
  };
  const std::vector<json> events = EventsWith(road);
  long previous = -1;
  for (const CardEvent& step : road) {
    const long at = First(events, step);
    ASSERT_GE(at, 0) << step.code << " " << step.card << " " << step.element << "\n" << Describe(events);
    EXPECT_GT(at, previous) << step.code << " " << step.card << " " << step.element << "\n" << Describe(events);
    previous = at;
  }
  EXPECT_EQ(First(events, {"dt_imp", "installing_card", "feedback_icon"}), -1) << Describe(events);
}

}  // namespace
