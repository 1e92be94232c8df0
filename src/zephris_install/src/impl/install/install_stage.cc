// The install stage: the install folders in the registry, the 7-Zip library
// the installer carries, every component unpacked, checked and set up, then
// the product's version, uninstall entry, URL protocol and auto-start switch.
#include <windows.h>

#include <filesystem>
#include <map>
#include <system_error>

#include <fmt/format.h>

#include "archive/archive_exception.h"
#include "archive/archive_extractor.h"
#include "archive/archive_format.h"
#include "archive/seven_zip_library.h"
#include "base/command_line.h"
#include "base/oem_counter.h"
#include "base/oem_table.h"
#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/system_folders.h"
#include "base/text_conversion.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install/component_archive.h"
#include "src/zephris_install/src/impl/install/install.h"

namespace {

constexpr int kExtractAttempts = 3;
constexpr wchar_t kUnzipToolType[] = L"CUSTOM";
constexpr int kUnzipToolResource = 103;

std::wstring ComponentFolder(const data::Component& component) {
  return (std::filesystem::path(GlobalConfig::Instance().data_dir) / L"Component" / base::Utf8ToWide(component.name))
      .wstring();
}

}  // namespace

int32_t Install::InstallStage() {
  NotifyInstallStart();
  if (!RequestCompInfo()) return BadExit("request compinfo fail");
  if (!SetPreRegistry()) return BadExit("set pre registery fail");
  PRODUCT_LOG("set pre registery success");
  if (!ReleaseUnzipTool()) return BadExit("release 7za fail");
  if (!InstallComps()) return BadExit("install comps fail");
  PRODUCT_LOG("install comps success");
  if (!SetPostRegistry()) return BadExit("set post registery fail");
  PRODUCT_LOG("set post registery success");
  RegisterUninstall();
  SetAutoStart();
  if (from_cache_) {
    oem_table_->Remove(fmt::format("oem.channel.client_update_info.{}", GlobalConfig::Instance().channel_id.value_or(0)));
  }
  oem::OemCounter::GetInstance().Record("vzt");
  NotifyInstallEnd();
  return 0;
}

bool Install::SetPreRegistry() {
  const GlobalConfig& config = GlobalConfig::Instance();
  const base::PathManager& paths = base::PathManager::GetInstance();
  const std::wstring product_key = paths.GetRegistryKey(base::ComponentKind::kProduct);
  const bool written =
      base::WriteRegString(HKEY_LOCAL_MACHINE, product_key, L"InstallPath", config.install_dir) &&
      base::WriteRegString(HKEY_LOCAL_MACHINE, product_key, L"QuilloraneData", config.data_dir) &&
      base::WriteRegQword(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kClient), L"BrandCode", 0);
  if (!written) GlobalConfig::Instance().install_result_code = kResultRegistryFailed;
  return written;
}

bool Install::ReleaseUnzipTool() {
  const DWORD code =
      base::WriteResourceToFile(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kUnzipToolResource), unzip_tool_path(),
                                kUnzipToolType);
  if (code != 0) {
    GlobalConfig& config = GlobalConfig::Instance();
    config.error_message = base::WideToUtf8(unzip_tool_path());
    PRODUCT_LOG("ReleaseRC false, file path: {}, native code: {}", config.error_message, code);
    config.install_result_code = kResultUnzipToolNotWritten;
    config.detail_code_0 = static_cast<int32_t>(code);
    return false;
  }
  return WaitForFileLanded({unzip_tool_path()});
}

bool Install::InstallComps() {
  GlobalConfig& config = GlobalConfig::Instance();
  for (size_t i = 0; i < components_.size(); ++i) {
    const data::Component& component = components_[i];
    config.current_component = component.name;
    const std::wstring folder = ComponentFolder(component);
    NotifyInstalling(i, component.type);
    PRODUCT_LOG("start install {}", component.name);
    // An install-only run has not checked its archives in this run, and a
    // file may have changed since the download: never unpack one that is not
    // the archive the list names.
    if (!CheckArchiveBeforeExtract(component)) return false;
    const bool unpacked = UnzipComponent(component, folder);
    held_archives_.erase(ArchivePath(component));
    if (!unpacked) {
      if (component.type == data::ComponentType::kVirtualization) ReportEngineInstallFailed("extract error");
      return false;
    }
    PRODUCT_LOG("extract file success");
    if (!CheckComponentFiles(component, folder)) return false;
    if (!ExecuteSetup(folder)) {
      if (component.type == data::ComponentType::kVirtualization) ReportEngineInstallFailed("execute setup error");
      return false;
    }
    PRODUCT_LOG("execute setup success");
    if (component.type == data::ComponentType::kVirtualization) {
      zephris_report::ReportParams params;
      AddCommonReportParams(params);
      zephris_report::Reporter::Instance().Report("engine_installed", params);
    }
    if (config.install_ui == 1) {
      std::error_code ignored;
      std::filesystem::remove(ArchivePath(component), ignored);
    }
    PRODUCT_LOG("install success {}", component.name);
  }
  config.current_component.clear();
  return true;
}

bool Install::CheckArchiveBeforeExtract(const data::Component& component) {
  const std::wstring path = ArchivePath(component);
  // Held since its check in this run: nobody could have changed it.
  if (held_archives_.contains(path)) return true;
  std::string local;
  if (CheckAndHoldArchive(path, component.md5, &local)) return true;
  GlobalConfig& config = GlobalConfig::Instance();
  PRODUCT_LOG("archive md5 fail before extract, local md5 {}, expect md5 {}", local, component.md5);
  config.install_result_code = kResultChecksumMismatch;
  config.detail_code_0 = PathExists(path) ? 1 : 0;
  config.error_message = component.url;
  config.error_message_1 = local;
  return false;
}

bool Install::UnzipComponent(const data::Component& component, const std::wstring& folder) {
  GlobalConfig& config = GlobalConfig::Instance();
  for (int attempt = 1; attempt <= kExtractAttempts; ++attempt) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    try {
      const arc::SevenZipLibrary library(unzip_tool_path());
      arc::ArchiveExtractor extractor(library, arc::ArchiveFormats::SevenZipFormat);
      extractor.ExtractArchive(ArchivePath(component), folder);
      if (attempt > 1) {
        config.install_result_code = kResultSuccess;
        config.detail_code_0 = 0;
      }
      return true;
    } catch (const arc::ArchiveException& e) {
      config.install_result_code = kResultExtractFailed;
      config.detail_code_0 = e.ErrorCode();
      PRODUCT_LOG("extract file fail, error code: {}, error message: {}", e.ErrorCode(), e.what());
    }
  }
  return false;
}

bool Install::CheckComponentFiles(const data::Component& component, const std::wstring& folder) {
  if (component.type != data::ComponentType::kClient) return true;
  const std::filesystem::path root(folder);
  return WaitForFileLanded({(root / L"QuilloraneLauncher.exe").wstring(), (root / L"Uninstall.exe").wstring(),
                            (root / L"resources/icon/apk.ico").wstring()});
}

bool Install::ExecuteSetup(const std::wstring& folder) {
  const std::wstring program = (std::filesystem::path(folder) / L"Setup.exe").wstring();
  std::map<std::string, std::string> options{
      {"install", "1"}, {"no-create-desktop-link", "1"}, {"no-create-start-menu-link", "1"}};
  if (GlobalConfig::Instance().auto_start_market.value_or(1) == 0) options["no-create-service"] = "";
  const uint32_t code =
      base::ShellRunAndWait(program, base::BuildOptionsCommandLine(options), true, L"", SW_SHOWNORMAL);
  if (code != 0) {
    GlobalConfig& config = GlobalConfig::Instance();
    config.install_result_code = kResultSetupFailed;
    config.detail_code_0 = static_cast<int32_t>(code);
    PRODUCT_LOG("execute setup fail, code: {}", code);
    return false;
  }
  return true;
}

bool Install::SetPostRegistry() {
  GlobalConfig& config = GlobalConfig::Instance();
  const int32_t client_type = config.client_type.value_or(-1);
  if (client_type == -1) {
    const auto has = [this](data::ComponentType type) {
      for (const data::Component& component : components_) {
        if (component.type == type) return true;
      }
      return false;
    };
    base::SetClientType(has(data::ComponentType::kVirtualization) && has(data::ComponentType::kAndroidSubsystem) ? 0
                                                                                                                 : 1);
  } else if (base::GetClientType() == -1) {
    base::SetClientType(client_type);
  }
  base::PathManager& paths = base::PathManager::GetInstance();
  paths.SetExperimentId(exp_id_.value_or(""));
  if (!base::WriteRegString(HKEY_LOCAL_MACHINE, paths.GetRegistryKey(base::ComponentKind::kProduct), L"Version",
                            base::Utf8ToWide(config.zephris_main_version.value_or("")))) {
    config.install_result_code = kResultRegistryFailed;
    return false;
  }
  return true;
}

void Install::RegisterUninstall() {
  WriteUninstallAndProtocol(base::Utf8ToWide(GlobalConfig::Instance().zephris_main_version.value_or("")));
}

void Install::SetAutoStart() {
  const bool enabled = GlobalConfig::Instance().auto_start_market.value_or(1) != 0;
  base::WriteRegQword(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetSettingsKey(), L"ZephrisAutoStartSwitch",
                      enabled ? 1 : 0);
  SetAppStoreAutoStartSwitch(enabled);
}
