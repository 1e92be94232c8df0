#include "src/common/diagnosis/feedback_tools.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <set>

#include <fmt/format.h>

#include "base/clipboard_guard.h"
#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/string_util.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "src/common/diagnosis/diagnosis_upload.h"
#include "src/common/diagnosis/display_devices.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace diagnosis {
namespace {

using base::clipboard::ClipboardException;
using base::clipboard::ClipboardGuard;

void OpenInBrowser(const std::string& url) {
  base::ShellRunAndWait(base::Utf8ToWide(url), L"", false, L"", SW_SHOWNORMAL);
}

std::string ClientInfo() {
  int vendor = 0;
  std::string brand;
  base::GetCpuBrand(vendor, brand);
  std::string devices;
  for (const std::string& description : DisplayDeviceDescriptionsUtf8()) {
    if (!devices.empty()) devices += ";";
    devices += description;
  }
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  const uint64_t gib = ::GlobalMemoryStatusEx(&memory) ? memory.ullTotalPhys >> 30 : 0;
  return fmt::format("{}|{}|{}", brand, devices, gib);
}

std::string ClientVersion(const std::string& version) {
  if (!version.empty()) return version;
  auto& paths = base::PathManager::GetInstance();
  return fmt::format("{}|{}|{}", base::WideToUtf8(paths.GetProductVersion()),
                     base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kClient)), "Orvalis");
}

std::string OrNull(const std::string& text) { return text.empty() ? "null" : text; }

void CopyToClipboard(const std::string& text) {
  ClipboardGuard guard;
  if (!::OpenClipboard(nullptr)) throw ClipboardException("OpenClipboard fail", static_cast<int>(::GetLastError()));
  guard.opened = true;
  ::EmptyClipboard();
  const uint32_t length = static_cast<uint32_t>(text.size());
  guard.memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T{length} + 1);
  if (guard.memory == nullptr) throw ClipboardException("GlobalAlloc fail", static_cast<int>(::GetLastError()));
  void* bytes = ::GlobalLock(guard.memory);
  if (bytes == nullptr) throw ClipboardException("GlobalLock fail", static_cast<int>(::GetLastError()));
  std::memcpy(bytes, text.c_str(), SIZE_T{length} + 1);
  ::SetLastError(ERROR_SUCCESS);
  if (!::GlobalUnlock(guard.memory) && ::GetLastError() != ERROR_SUCCESS) {
    throw ClipboardException("GlobalUnlock fail", static_cast<int>(::GetLastError()));
  }
  if (::SetClipboardData(CF_TEXT, guard.memory) == nullptr) {
    throw ClipboardException("SetClipboardData fail", static_cast<int>(::GetLastError()));
  }
  guard.memory = nullptr;  // the clipboard owns the block now
}

}  // namespace

std::string BuildSupportPageUrl(const std::string& device_id, const std::string& product_tag, const std::string& info,
                                const std::string& extra, const std::string& version) {
  const std::string nickname = "隐士" + device_id.substr(device_id.size() < 4 ? 0 : device_id.size() - 4);
  const std::string avatar =
      fmt::format("\"{}/static/desktop/img/products/def-product-logo.png\"", kSupportStaticOrigin);
  const std::string custom_info =
      fmt::format("{}|{}|{}|{}|{}|{}", OrNull(product_tag), OrNull(info), OrNull(extra), "null", "null", 0);
  const std::pair<const char*, std::string> pairs[] = {
      {"nickname", nickname},
      {"avatar", avatar},
      {"openid", device_id},
      {"clientInfo", ClientInfo()},
      {"clientVersion", ClientVersion(version)},
      {"osVersion", "windows|" + base::GetOsVersionString()},
      {"customInfo", custom_info},
  };
  std::string url = fmt::format("{}/product/{}?", kSupportPageOrigin, kSupportProductNumber);
  for (size_t i = 0; i < std::size(pairs); ++i) {
    if (i != 0) url += "&";
    url += pairs[i].first;
    url += "=";
    url += base::UrlEncode(pairs[i].second);
  }
  return url;
}

void CopyTextToClipboard(const std::string& diagnosis_path, const std::string& error_code_text) {
  try {
    const uint32_t channel = static_cast<uint32_t>(base::PathManager::GetInstance().GetChannelId());
    CopyToClipboard(fmt::format("Diagnosis Path: {}\nChannel Id: {}\n{}", diagnosis_path, channel, error_code_text));
  } catch (const ClipboardException&) {
    // The user can still send the page; a clipboard in use is no error to show.
  } catch (const std::exception&) {
  }
}

void OpenUrlWithDiagnosis(const std::string& url, bool with_diagnosis) {
  OpenInBrowser(url);
  if (!with_diagnosis) return;
  const std::string remote_path = StartDiagnosisUpload();
  CopyTextToClipboard(remote_path, FormatErrorCodeText());
}

void OpenSupportPage(bool with_diagnosis) {
  std::string info;
  if (with_diagnosis) {
    info = StartDiagnosisUpload();
    CopyTextToClipboard(info, FormatErrorCodeText());
  } else {
    info = FormatErrorCodeText();
  }
  const std::string version = GlobalConfig::Instance().version.value_or("");
  OpenInBrowser(BuildSupportPageUrl(VireonClient::VireonDeviceId(), "zephris-install", info, "", version));
}

}  // namespace diagnosis
