// Completes the process-wide configuration the way start-up does, then writes
// it out as JSON for the tests that run stamped copies of this program.
//
// Environment: QL_TEST_PRODUCT  product name for the path manager (the test's
//                               own, so its registry keys are its own)
//              QL_TEST_LOG      product log name (the log is written there)
//              QL_CONFIG_DUMP   file that receives the JSON
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ios>
#include <string>

#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
  return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

std::string Utf8(const std::wstring& text) { return base::WideToUtf8(text); }

}  // namespace

int main() {
  const std::wstring product = Env(L"QL_TEST_PRODUCT");
  const std::wstring log = Env(L"QL_TEST_LOG");
  const std::wstring dump = Env(L"QL_CONFIG_DUMP");
  if (product.empty() || dump.empty()) return 2;

  if (!log.empty()) base::ProductLogger::GetInstance().Start(Utf8(log), std::ios::app);
  base::PathManager::GetInstance().Init(product);
  GlobalConfig& config = GlobalConfig::Instance();
  config.Init();

  nlohmann::json out;
  out["channel_id"] = config.channel_id.value();
  out["build_id"] = config.build_id.value();
  out["source_trace"] = config.source_trace.value();
  out["version"] = config.version.value();
  out["client_type"] = config.client_type.value();
  out["app_id"] = config.app_id.value();
  out["display_name"] = config.display_name.value();
  out["create_desktop_link"] = config.create_desktop_link.value();
  out["client_pseudo_protocol"] = config.client_pseudo_protocol.value();
  out["install_mode"] = config.install_mode.value();
  out["pullup_type"] = config.pullup_type.value();
  out["report_info"] = config.report_info.value_or(nullptr);
  out["install_json"] = config.install_json;
  out["report_json"] = config.report_json;
  out["rid"] = config.rid;
  out["carousel_images"] = nlohmann::json::array();
  for (const CarouselImage& image : config.carousel_images) out["carousel_images"].push_back(image.url);
  out["install_dir"] = Utf8(config.install_dir);
  out["data_dir"] = Utf8(config.data_dir);
  out["component_dir"] = Utf8(config.component_dir.wstring());
  out["client_installed"] = IsClientInstalled();
  out["client_intact"] = IsClientIntact();
  out["need_reinstall"] = NeedReinstall();

  std::ofstream(std::filesystem::path(dump), std::ios::binary) << out.dump();
  if (!log.empty()) base::ProductLogger::GetInstance().Stop();
  return 0;
}
