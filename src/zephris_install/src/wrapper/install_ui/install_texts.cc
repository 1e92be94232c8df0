#include "src/zephris_install/src/wrapper/install_ui/install_texts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"

namespace {

constexpr std::array<const wchar_t*, 13> kComponentTypeNames = {
    L"Other",     L"Quillorane组件", L"虚拟化组件", L"Android子系统", L"Parlio小程序组件", L"云游戏组件",
    L"Tiko小程序组件", L"", L"", L"", L"", L"", L"Kesmo引擎",
};

double Clamp(double value, double low, double high) {
  if (std::isnan(value)) return low;
  return std::clamp(value, low, high);
}

}  // namespace

std::wstring ComponentTypeName(std::optional<int32_t> type) {
  const int32_t index = type.value_or(1);
  if (index < 0 || index >= static_cast<int32_t>(kComponentTypeNames.size())) return {};
  return kComponentTypeNames[static_cast<size_t>(index)];
}

std::wstring DownloadLine(double percent, std::wstring_view name) {
  return fmt::format(L"{:.2f}% 正在下载{}，请稍候...", percent, name);
}

std::wstring WorkingLine(std::wstring_view verb, std::wstring_view name) {
  return fmt::format(L"正在{}{}，请稍候...", verb, name);
}

std::wstring FailureText(int32_t install_ui, int32_t result_code) {
  if (install_ui == 1) return L"安装失败，请重新尝试下载";
  if (result_code == kResultUpdateRequestFailed || result_code == kResultDownloadFailed ||
      result_code == kResultUpdateResponseInvalid) {
    return L"网络下载失败，请检查网络后重新安装";
  }
  return L"安装失败，请重试";
}

std::optional<double> ParseAppProgress(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (std::isnan(value)) return std::nullopt;
  return Clamp(value, 0.0, 1.0);
}

double EngineBarValue(double percent, double base) { return Clamp(percent, 0.0, 100.0) * base; }

double AppBarValue(double fraction, double base) {
  return Clamp(fraction, 0.0, 1.0) * (1.0 - base) * 100.0 + base * 100.0;
}

int BarPosition(double value) { return static_cast<int>(std::trunc(Clamp(value, 0.0, 100.0))); }
