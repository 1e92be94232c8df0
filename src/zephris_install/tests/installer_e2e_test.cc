// A stamped QuilloraneInstaller.exe run silently in the test prefix, end to
// end: the web API stand-in lists the demo components for this test's
// channel, nginx or the fault server sends them, and the install is read back
// as a user and the product's other processes see it (files, registry, shell
// links, the firewall rule, the client started, the IPC notices and the
// install-control requests).

#include "src/zephris_install/tests/installer_e2e_rig.h"

namespace {

using namespace e2e_rig;

// The statuses of the app-install notices a peer received, in order, each
// once (every notice goes out in both namespaces).
std::vector<std::string> NoticeStatuses(const std::vector<json>& packets) {
  std::vector<std::string> statuses;
  for (const json& packet : packets) {
    if (packet.value("msg_id", 0) != 80001) continue;
    const json& data = packet["data"];
    const std::string status = data.is_object() ? data.value("status", std::string()) : std::string();
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  }
  return statuses;
}

TEST_F(InstallerEndToEndTest, SilentInstallLeavesTheProductAndTellsTheSdkProcess) {
  AnswerDemoComponents();
  RecordPeer sdk;
  ASSERT_TRUE(sdk.Start(dir_ / L"sdk_peer.exe", 20001, 80001, dir_ / L"notices.jsonl", false));

  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments()));
  EXPECT_EQ(run.Wait(240000), 0u) << NewLog();
  sdk.Stop();

  // Files in the install folder.
  const std::optional<std::wstring> install_path = ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"InstallPath");
  ASSERT_TRUE(install_path) << NewLog();
  const fs::path client_install = base::PathManager::GetInstance().GetComponentInstallDir(base::ComponentKind::kClient);
  const fs::path client_working = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  EXPECT_EQ(client_install.wstring().rfind(*install_path, 0), 0u) << client_install;
  for (const fs::path& file : {client_install / L"QuilloraneLauncher.exe", client_install / L"Uninstall.exe",
                               client_install / L"resources" / L"icon" / L"apk.ico",
                               client_working / L"Quillorane.exe", client_working / L"QuilloraneEmulator.exe"}) {
    EXPECT_TRUE(fs::is_regular_file(file)) << file;
  }

  // The product's and the client's keys, read without the product's code.
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"QuilloraneData"));
  const std::wstring client_key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kClient);
  struct StringValue {
    HKEY root;
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
  } strings[] = {
      {HKEY_LOCAL_MACHINE, ProductKey(), L"Version", L"5.0.0.1"},
      {HKEY_CURRENT_USER, client_key, L"Version", L"5.0.0.1"},
      {HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", L"5.0.0.1"},
  };
  for (const StringValue& v : strings) {
    EXPECT_EQ(ReadString(v.root, v.key, v.name), v.data) << base::WideToUtf8(v.key) << " " << base::WideToUtf8(v.name);
  }
  struct QwordValue {
    HKEY root;
    std::wstring key;
    const wchar_t* name;
    uint64_t data;
  } qwords[] = {
      {HKEY_CURRENT_USER, client_key, L"BrandCode", 0},
      {HKEY_LOCAL_MACHINE, ProductKey() + L"\\Settings\\QuilloraneSettings", L"ZephrisAutoStartSwitch", 1},
  };
  for (const QwordValue& v : qwords) {
    const settings_test::RawValue raw = GetRawValue(v.root, v.key, v.name);
    ASSERT_TRUE(raw.found && raw.type == REG_QWORD && raw.bytes.size() == 8)
        << base::WideToUtf8(v.key) << " " << base::WideToUtf8(v.name);
    uint64_t data = 0;
    std::memcpy(&data, raw.bytes.data(), 8);
    EXPECT_EQ(data, v.data) << base::WideToUtf8(v.key) << " " << base::WideToUtf8(v.name);
  }

  // The uninstall entry runs the client's uninstaller.
  const std::optional<std::wstring> uninstall = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString");
  ASSERT_TRUE(uninstall);
  EXPECT_NE(uninstall->find((client_install / L"Uninstall.exe").wstring()), std::wstring::npos) << *uninstall;
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"));

  // The URL protocol opens the launcher.
  EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, L"Quillorane", L"URL Protocol"));
  const std::optional<std::wstring> open = ReadString(HKEY_CLASSES_ROOT, L"Quillorane\\shell\\open\\command", L"");
  ASSERT_TRUE(open);
  EXPECT_NE(open->find(L"QuilloraneLauncher.exe"), std::wstring::npos) << *open;

  // The links, read back through the shell: the launcher, told which link
  // started it.
  struct LinkCase {
    fs::path link;
    const wchar_t* from;
  } links[] = {{DesktopFolder() / kLinkName, L"2"}, {StartMenuFolder() / kLinkName, L"4"}};
  for (const LinkCase& c : links) {
    SCOPED_TRACE(c.link.string());
    const std::optional<LinkFields> fields = ReadLink(c.link);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fs::path(fields->target), client_install / L"QuilloraneLauncher.exe");
    // Each option is followed by a space, the last one too.
    EXPECT_EQ(fields->arguments, std::wstring(L"--from \"") + c.from + L"\" --launch-proc-name \"Quillorane.exe\" ");
    // No icon of its own: the shell shows the launcher's.
    EXPECT_EQ(fields->icon, L"");
  }

  // The firewall rule, added at start-up and removed at shutdown.
  const std::vector<std::wstring> calls = FirewallCalls();
  const auto at = [&calls](const std::wstring& call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  const std::ptrdiff_t added = at(L"Rules.Add");
  const std::ptrdiff_t removed = at(L"Rules.Remove(Zephris Installer)");
  EXPECT_LT(at(L"Rule.put_ApplicationName(" + installer_.wstring() + L")"), added) << testing::PrintToString(calls);
  EXPECT_LT(added, removed) << testing::PrintToString(calls);
  EXPECT_LT(removed, static_cast<std::ptrdiff_t>(calls.size())) << testing::PrintToString(calls);

  // The client started: it records its command line beside itself.
  const fs::path client_record = client_working / L"Quillorane.cmdline.txt";
  for (int i = 0; i < 100 && ReadFile(client_record).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  run.End();
  EXPECT_NE(ReadFile(client_record).find("Quillorane://"), std::string::npos) << ReadFile(client_record);

  // A C++ exception caught on the way (one is, at shutdown) is no crash for
  // the log.
  EXPECT_EQ(NewLog().find("exception code: "), std::string::npos) << NewLog();

  // The app store's SDK process heard the install from start to end.
  std::vector<std::string> statuses = NoticeStatuses(sdk.Received());
  statuses.erase(std::unique(statuses.begin(), statuses.end()), statuses.end());
  std::vector<std::string> without_active;
  bool saw_active = false;
  for (const std::string& s : statuses) {
    if (s == "active") {
      saw_active = true;
      continue;
    }
    without_active.push_back(s);
  }
  EXPECT_TRUE(saw_active) << testing::PrintToString(statuses);
  EXPECT_EQ(without_active, (std::vector<std::string>{"INIT", "complete", "BeginInstall", "Installing", "Installed"}))
      << testing::PrintToString(statuses);
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.front(), "INIT");
  EXPECT_EQ(statuses[1], "active") << testing::PrintToString(statuses);

  // Run again on the installed and registered product: nothing to install,
  // the run ends at once with 0.
  const std::size_t first_log = NewLog().size();
  InstallerRun again;
  ASSERT_TRUE(again.Start(installer_, SilentArguments()));
  EXPECT_EQ(again.Wait(120000), 0u) << NewLog().substr(first_log);
  again.End();
  const std::string second_log = NewLog().substr(first_log);
  EXPECT_EQ(second_log.find("install comps success"), std::string::npos) << second_log;
  EXPECT_EQ(second_log.find("not registered"), std::string::npos) << second_log;
}

// With a process named Quillorane.exe running as the client (40001), the
// installer hands the client's URL over IPC instead of starting the client.
TEST_F(InstallerEndToEndTest, RunningClientGetsThePseudoProtocolRequest) {
  AnswerDemoComponents();
  fs::create_directories(dir_ / L"running");
  RecordPeer client;
  ASSERT_TRUE(client.Start(dir_ / L"running" / L"Quillorane.exe", 40001, 10003, dir_ / L"client.jsonl", false));

  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments()));
  EXPECT_EQ(run.Wait(240000), 0u) << NewLog();
  std::vector<json> packets;
  for (int i = 0; i < 100 && packets.empty(); ++i) {
    packets = client.Received();
    if (packets.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  client.Stop();
  ASSERT_FALSE(packets.empty()) << NewLog();
  const json& packet = packets.front();
  EXPECT_EQ(packet["msg_id"], 10003);
  EXPECT_EQ(packet["to"], 40001);
  ASSERT_TRUE(packet["data"].is_object()) << packet.dump();
  EXPECT_EQ(packet["data"].value("content", std::string()).rfind("Quillorane://", 0), 0u) << packet.dump();
  // Reached over IPC: the installed client was not started as well.
  const fs::path client_working = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  EXPECT_FALSE(fs::exists(client_working / L"Quillorane.cmdline.txt"));
}

// The largest completed length the SDK process was told of.
uint64_t CompletedBytes(const std::vector<json>& packets) {
  uint64_t most = 0;
  for (const json& packet : packets) {
    if (packet.value("msg_id", 0) != 80001 || !packet["data"].is_object()) continue;
    const json& data = packet["data"];
    if (data.value("status", std::string()) != "active") continue;
    for (const char* key : {"completedLength", "completed_length"}) {
      if (data.contains(key) && data[key].is_string()) {
        most = std::max<uint64_t>(most, std::stoull("0" + data[key].get<std::string>()));
      }
    }
  }
  return most;
}

// A slow download paused and resumed by the app store's SDK process: while
// paused no byte moves on, after the resume it finishes.
TEST_F(InstallerEndToEndTest, PauseHoldsTheDownloadAndResumeFinishesIt) {
  AnswerDemoComponents(EnvUtf8("QL_HTTP_FAULT_URL") + "/files/e2e-client.7z?key=e2epause" +
                       std::to_string(::GetCurrentProcessId()) + "&rate=50000");
  // The notices as the SDK process gets them without elevation; the
  // requests go out from the machine-wide side.
  RecordPeer sdk;
  ASSERT_TRUE(sdk.Start(dir_ / L"sdk_peer.exe", 20001, 80001, dir_ / L"notices.jsonl", true));

  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments(L"--app-id com.e2e.app --sdk-product e2esdk")));
  // Some bytes have arrived.
  for (int i = 0; i < 600 && CompletedBytes(sdk.Received()) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_GT(CompletedBytes(sdk.Received()), 0u) << NewLog();
  ASSERT_TRUE(SendInstallCtrl(1));
  ASSERT_TRUE(WaitForLog("[user-ctrl] pause")) << NewLog();
  // What was under way when the pause came is let through first.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const uint64_t paused_at = CompletedBytes(sdk.Received());
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_EQ(CompletedBytes(sdk.Received()), paused_at);
  EXPECT_LT(paused_at, fs::file_size(RigArchive("e2e-client")));

  ASSERT_TRUE(SendInstallCtrl(0));
  EXPECT_EQ(run.Wait(240000), 0u) << NewLog();
  sdk.Stop();
  EXPECT_NE(NewLog().find("[user-ctrl] resume"), std::string::npos);
  EXPECT_GT(CompletedBytes(sdk.Received()), paused_at);
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString"));
}

// A stop during the download ends the program with 102 and registers nothing.
TEST_F(InstallerEndToEndTest, StopDuringTheDownloadEndsWith102AndNoProduct) {
  AnswerDemoComponents(EnvUtf8("QL_HTTP_FAULT_URL") + "/files/e2e-client.7z?key=e2estop" +
                       std::to_string(::GetCurrentProcessId()) + "&rate=20000");
  RecordPeer sdk;
  ASSERT_TRUE(sdk.Start(dir_ / L"sdk_peer.exe", 20001, 80001, dir_ / L"notices.jsonl", true));

  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments(L"--app-id com.e2e.app --sdk-product e2esdk")));
  for (int i = 0; i < 600 && CompletedBytes(sdk.Received()) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_GT(CompletedBytes(sdk.Received()), 0u) << NewLog();
  ASSERT_TRUE(SendInstallCtrl(2));
  EXPECT_EQ(run.Wait(120000), 102u) << NewLog();
  sdk.Stop();
  EXPECT_NE(NewLog().find("[user-ctrl] stop"), std::string::npos);
  EXPECT_FALSE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(settings_test::KeyExists(HKEY_CLASSES_ROOT, L"Quillorane"));
  EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, ProductKey(), L"InstallPath"));
  const std::wstring client_key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kClient);
  EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, client_key, L"Version"));
}

// --- Telemetry ---------------------------------------------------------------

// The install-context keys and their values for this test's install record.
std::vector<std::pair<std::string, std::string>> ContextOf(uint64_t channel) {
  return {{"appid", ""},         {"apptype", "0"},         {"channel_id", std::to_string(channel)},
          {"build_id", "1"},     {"installer_version", "1.0.0.0"}, {"from_source", ""},
          {"sdk_product", ""},   {"engine_type", "1"},     {"brand_code", "0"}};
}

const char* const kCommonKeys[] = {"architecture", "biz_id", "cpu_core_number", "logic_cpu_core_number",
                                   "windows_manufacturer", "tuvo_guid", "guid", "locale", "system_type",
                                   "system_version", "physical_memory", "session_id", "install_source",
                                   "cpu_vendor", "cpu_model", "laptop", "ac_status", "power_strategy",
                                   "opengl_demo_enable"};
const char* const kVolatileKeys[] = {
    "main_version", "abox_version", "applet_version", "zephris_version", "image_version", "client_type",
    "hyperv_enable", "vt_enable", "media_channel", "exp_id", "dpi", "screen_inch", "resolution", "imei",
    "login_openid", "login_type", "region", "memory_avail_phys", "graphics_type", "graphics_vendor",
    "opengl_version", "graphics_driver_version", "graphics_driver_publish_date", "graphics_card_count",
    "second_graphics_type", "second_graphics_vendor", "second_graphics_driver_version",
    "second_graphics_driver_publish_date", "vdi_disc_type", "vdi_disk_bus_type", "cpu_special_instruction",
    "security_software_type", "d36", "is_system_tray_mode", "image_boot_count"};

bool IsHex32(const std::string& text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// One expected event: its code and the keys it must carry with their values.
struct ExpectedEvent {
  std::string code;
  std::vector<std::pair<std::string, std::string>> keys;
};

class InstallerTelemetryTest : public InstallerEndToEndTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(telemetry_rig::CollectorProgramExists()) << telemetry_rig::CollectorProgram();
    ASSERT_TRUE(telemetry_rig::CollectorHostIsLoopback()) << "the collector host must map to 127.0.0.1";
    InstallerEndToEndTest::SetUp();
  }

  // This run's events, in the order they were raised.
  std::vector<json> RunEvents() { return e2e_rig::RunEvents(collector_.Events(), channel_); }

  static std::vector<std::string> Codes(const std::vector<json>& events, bool with_env_status = false) {
    std::vector<std::string> codes;
    for (const json& event : events) {
      const std::string code = event.value("event_code", "");
      if (with_env_status || code != "env_status") codes.push_back(code);
    }
    return codes;
  }

  // Waits until the run's events (without the environment report, whose
  // thread runs beside the install) are `expected`, then checks each
  // event's keys, the context, the common and the volatile parameters.
  void ExpectEvents(const std::vector<ExpectedEvent>& expected, std::chrono::milliseconds timeout) {
    std::vector<std::string> codes;
    for (const auto& e : expected) codes.push_back(e.code);
    std::vector<json> events;
    telemetry_rig::WaitFor(
        [&] {
          events = RunEvents();
          const std::vector<std::string> all = Codes(events, true);
          return Codes(events) == codes && std::count(all.begin(), all.end(), std::string("env_status")) == 1;
        },
        timeout);
    ASSERT_EQ(Codes(events), codes) << collector_.Log() << NewLog();
    std::string session;
    size_t next = 0;
    for (const json& event : events) {
      const json& params = event["params"];
      const std::string code = event.value("event_code", "");
      SCOPED_TRACE(code);
      for (const char* key : kCommonKeys) EXPECT_TRUE(params.contains(key)) << key;
      for (const char* key : kVolatileKeys) EXPECT_TRUE(params.contains(key)) << key;
      EXPECT_EQ(params.value("biz_id", ""), "Quillorane");
      EXPECT_EQ(params.value("system_type", ""), "windows");
      EXPECT_EQ(params.value("power_strategy", ""), "0");
      EXPECT_EQ(params.value("region", ""), "CN");
      EXPECT_EQ(params.value("imei", "x"), "");
      EXPECT_TRUE(IsHex32(params.value("guid", ""))) << params.value("guid", "");
      EXPECT_TRUE(IsHex32(params.value("tuvo_guid", ""))) << params.value("tuvo_guid", "");
      EXPECT_EQ(params.value("session_id", "").size(), 36u);
      const std::string memory = params.value("memory_avail_phys", "");
      EXPECT_TRUE(memory.size() > 2 && memory.substr(memory.size() - 2) == "MB") << memory;
      if (session.empty()) session = params.value("session_id", "");
      if (code == "env_status") {
        for (const char* key : {"source", "hyperv_state", "vt_state", "vt_support", "ept_state", "base_board_vendor"}) {
          EXPECT_TRUE(params.contains(key)) << key;
        }
        EXPECT_EQ(params.value("source", ""), "QuilloraneInstaller.exe");
        EXPECT_FALSE(params.contains("appid"));  // no install context
        continue;
      }
      const ExpectedEvent& want = expected[next++];
      for (const auto& [key, value] : ContextOf(channel_)) EXPECT_EQ(params.value(key, "<absent>"), value) << key;
      EXPECT_TRUE(params.value("new_install", "") == "1" || params.value("new_install", "") == "0");
      for (const auto& [key, value] : want.keys) EXPECT_EQ(params.value(key, "<absent>"), value) << key;
    }
  }

  telemetry_rig::CollectorRig collector_;
};

TEST_F(InstallerTelemetryTest, FreshInstallReportsEveryStageInOrder) {
  ASSERT_TRUE(collector_.Start("ok"));
  AnswerDemoComponents();
  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments()));
  EXPECT_EQ(run.Wait(240000), 0u) << NewLog();
  run.End();
  ExpectEvents({{"common_action", {{"state", "start"}, {"new_install", "1"}}},
                {"installer_download_start", {{"new_install", "1"}}},
                {"installer_download_complete", {{"result", "0"}, {"error_code", "0"}}},
                {"installer_install_start", {}},
                {"engine_install", {}},
                {"engine_installed", {}},
                {"installer_install_complete", {{"result", "0"}, {"error_code", "0"}}},
                {"common_action", {{"state", "complete"}}},
                {"installer_launch_store", {{"result", "1"}}}},
               std::chrono::seconds(30));
}

TEST_F(InstallerTelemetryTest, FailedDownloadReportsResultTwo) {
  ASSERT_TRUE(collector_.Start("ok"));
  AnswerDemoComponents(EnvUtf8("QL_HTTP_FAULT_URL") + "/files/e2e-client.7z?key=e2etel404" +
                       std::to_string(::GetCurrentProcessId()) + "&status=404");
  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments()));
  EXPECT_EQ(run.Wait(300000), 2u) << NewLog();
  run.End();
  ExpectEvents({{"common_action", {{"state", "start"}, {"new_install", "1"}}},
                {"installer_download_start", {}},
                {"installer_download_complete", {{"result", "-1"}, {"error_code", "2"}}},
                {"dt_error",
                 {{"error_code", "2"}, {"page_id", "popup_install"}, {"card_id", "installing_card"}}}},
               std::chrono::seconds(30));
}

// The collector is down when the install starts and comes back while the
// download runs (about 17 s of it left): the events raised meanwhile are
// kept in the store and sent again from there while the install goes on.
// It comes back as soon as the download starts: a request refused on four
// reloads (about 15 s) has had ten tries and waits 100 s before the next,
// longer than the rest of the install, which a slow start-up under load
// would otherwise reach.
TEST_F(InstallerTelemetryTest, EventsRaisedWhileTheCollectorIsDownArriveOnceItIsBack) {
  AnswerDemoComponents(EnvUtf8("QL_HTTP_FAULT_URL") + "/files/e2e-client.7z?key=e2etelslow" +
                       std::to_string(::GetCurrentProcessId()) + "&rate=60000");
  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments()));
  ASSERT_TRUE(WaitForLog("NotifyDownloadStart")) << NewLog();
  ASSERT_TRUE(collector_.Start("ok"));
  EXPECT_EQ(run.Wait(240000), 0u) << NewLog();
  run.End();
  ExpectEvents({{"common_action", {{"state", "start"}}},
                {"installer_download_start", {}},
                {"installer_download_complete", {{"result", "0"}}},
                {"installer_install_start", {}},
                {"engine_install", {}},
                {"engine_installed", {}},
                {"installer_install_complete", {{"result", "0"}}},
                {"common_action", {{"state", "complete"}}},
                {"installer_launch_store", {{"result", "1"}}}},
               std::chrono::seconds(60));
}

}  // namespace
