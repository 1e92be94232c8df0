// The texts and numbers the installer windows put on their progress line
// and bar: component names, the download and working lines, the failure
// texts, and the arithmetic that joins the engine's download and an app's
// download on one bar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr wchar_t kProductDisplayName[] = L"OrvalisQuillorane";
inline constexpr wchar_t kEngineStartLine[] = L"正在启动虚拟化组件，请稍候...";

// The display name of a component type; type 1 when the record has none. A
// type without a name (7 to 11, or outside 0 to 12) gives an empty name.
std::wstring ComponentTypeName(std::optional<int32_t> type);

// "{:.2f}% 正在下载{}，请稍候..."
std::wstring DownloadLine(double percent, std::wstring_view name);
// "正在{}{}，请稍候..."
std::wstring WorkingLine(std::wstring_view verb, std::wstring_view name);
// The failure text for the install-ui option and the result code.
std::wstring FailureText(int32_t install_ui, int32_t result_code);

// An app's download progress as sent over IPC: a decimal text from 0 to 1.
// Read without throwing (the window thread must not die of a peer's bad
// text); out-of-range values are clamped; nullopt when it is not a number.
std::optional<double> ParseAppProgress(std::string_view text);

// The bar is split at base × 100: the engine's download fills 0 to base ×
// 100 (percent 0 to 100, clamped), an app's download the rest (fraction 0
// to 1).
double EngineBarValue(double percent, double base);
double AppBarValue(double fraction, double base);
// The bar position: the value truncated toward zero, within 0..100.
int BarPosition(double value);
