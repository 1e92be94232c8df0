#include "src/zephris_install/src/wrapper/install_ui/install_texts.h"

#include <gtest/gtest.h>

#include <limits>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"

namespace {

TEST(InstallTexts, ComponentNames) {
  EXPECT_EQ(ComponentTypeName(std::nullopt), L"Quillorane组件");
  EXPECT_EQ(ComponentTypeName(0), L"Other");
  EXPECT_EQ(ComponentTypeName(2), L"虚拟化组件");
  EXPECT_EQ(ComponentTypeName(6), L"Tiko小程序组件");
  EXPECT_EQ(ComponentTypeName(9), L"");
  EXPECT_EQ(ComponentTypeName(12), L"Kesmo引擎");
  EXPECT_EQ(ComponentTypeName(13), L"");
  EXPECT_EQ(ComponentTypeName(-1), L"");
}

TEST(InstallTexts, Lines) {
  EXPECT_EQ(DownloadLine(42.5, L"虚拟化组件"), L"42.50% 正在下载虚拟化组件，请稍候...");
  EXPECT_EQ(DownloadLine(50, L""), L"50.00% 正在下载，请稍候...");
  EXPECT_EQ(WorkingLine(L"安装", L"Android子系统"), L"正在安装Android子系统，请稍候...");
}

TEST(InstallTexts, FailureTexts) {
  struct Case {
    int32_t install_ui;
    int32_t result;
    const wchar_t* text;
  };
  const Case cases[] = {
      {1, kResultDownloadFailed, L"安装失败，请重新尝试下载"},
      {0, kResultUpdateRequestFailed, L"网络下载失败，请检查网络后重新安装"},
      {0, kResultDownloadFailed, L"网络下载失败，请检查网络后重新安装"},
      {0, kResultUpdateResponseInvalid, L"网络下载失败，请检查网络后重新安装"},
      {0, kResultExtractFailed, L"安装失败，请重试"},
      {0, kResultSuccess, L"安装失败，请重试"},
  };
  for (const Case& c : cases) EXPECT_EQ(FailureText(c.install_ui, c.result), c.text) << c.result;
}

TEST(InstallTexts, AppProgressIsReadWithoutThrowingAndClamped) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"0.5", 0.5},  {"1", 1.0},      {"0", 0.0},       {" 0.25 ", 0.25}, {"1.7", 1.0},     {"-0.3", 0.0},
      {"", {}},      {"abc", {}},     {"0.5x", {}},     {"nan", {}},      {"1e-1", 0.1},    {"+0.5", 0.5},
  };
  for (const Case& c : cases) {
    const std::optional<double> value = ParseAppProgress(c.text);
    ASSERT_EQ(value.has_value(), c.value.has_value()) << c.text;
    if (value) EXPECT_DOUBLE_EQ(*value, *c.value) << c.text;
  }
}

TEST(InstallTexts, BarArithmeticSplitsAtTheBase) {
  EXPECT_DOUBLE_EQ(EngineBarValue(42.5, 1.0), 42.5);
  EXPECT_DOUBLE_EQ(EngineBarValue(100, 0.18), 18.0);
  EXPECT_DOUBLE_EQ(EngineBarValue(140, 1.0), 100.0);
  EXPECT_DOUBLE_EQ(AppBarValue(0.5, 0.18), 59.0);
  EXPECT_DOUBLE_EQ(AppBarValue(0, 0.18), 18.0);
  EXPECT_DOUBLE_EQ(AppBarValue(1, 0.6), 100.0);
  EXPECT_EQ(BarPosition(42.5), 42);
  EXPECT_EQ(BarPosition(59.999), 59);
  EXPECT_EQ(BarPosition(-3), 0);
  EXPECT_EQ(BarPosition(250), 100);
  EXPECT_EQ(BarPosition(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
