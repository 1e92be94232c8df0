// The crash log line: one record per exception, none for the runtime's own
// notices, and an exception raised while logging does not lock the thread out.
#include "src/common/diagnosis/crash_handler.h"

#include <filesystem>
#include <regex>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/product_log.h"
#include "src/common/diagnosis/tests/diagnosis_rig.h"

namespace {

constexpr DWORD kTestCode = 0xE0001234;
constexpr DWORD kRaisedWhileFormatting = 0xE0000042;

// After the handler under test, lets the test's own exceptions go on.
LONG CALLBACK ContinueTestCodes(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  return code == kTestCode || code == kRaisedWhileFormatting ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
}

// A value whose formatting raises an exception, inside the product log's own call.
struct RaisesWhenFormatted {};

}  // namespace

template <>
struct fmt::formatter<RaisesWhenFormatted> : fmt::formatter<std::string_view> {
  auto format(const RaisesWhenFormatted&, format_context& ctx) const {
    ::RaiseException(kRaisedWhileFormatting, 0, 0, nullptr);
    return fmt::formatter<std::string_view>::format("formatted", ctx);
  }
};

namespace diagnosis {
namespace {

using diagnosis::testing::ReadFile;

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(CrashHandlerTest, OneLinePerExceptionAndNoneForRuntimeNotices) {
  base::ProductLogger& log = base::ProductLogger::GetInstance();
  log.Start("crash_handler_test_" + std::to_string(::GetCurrentProcessId()), std::ios::trunc);
  void* handler = ::AddVectoredExceptionHandler(0, ExceptionHandler);
  void* resume = ::AddVectoredExceptionHandler(0, ContinueTestCodes);

  try {
    throw std::runtime_error("thrown and caught");
  } catch (const std::exception&) {
  }
  ::OutputDebugStringA("debug output");
  ::OutputDebugStringW(L"wide debug output");
  ::RaiseException(kTestCode, 0, 0, nullptr);
  PRODUCT_LOG("after {}", RaisesWhenFormatted{});

  ::RemoveVectoredExceptionHandler(resume);
  ::RemoveVectoredExceptionHandler(handler);
  const std::filesystem::path path = log.path();
  log.Stop();
  const std::string text = ReadFile(path);
  std::error_code ec;
  std::filesystem::remove(path, ec);

  EXPECT_EQ(Count(text, "Crash!!!"), 2) << text;
  const std::regex line(R"(\[ExceptionHandler\]: Crash!!!, exception code: 3758101044, exception address: 0x[0-9a-f]+)");
  EXPECT_TRUE(std::regex_search(text, line)) << text;
  EXPECT_NE(text.find("exception code: 3758096450,"), std::string::npos) << text;
  EXPECT_NE(text.find("after formatted"), std::string::npos) << text;
}

TEST(CrashHandlerTest, RuntimeNoticeCodes) {
  const std::pair<DWORD, bool> cases[] = {
      {0x20474343, true},  {0x21474343, true},  {0x40010006, true},  {0x4001000A, true},
      {0xE06D7363, false}, {0xC0000005, false}, {0xC0000094, false}, {0x80000003, false},
  };
  for (const auto& [code, notice] : cases) EXPECT_EQ(IsRuntimeNotice(code), notice) << std::hex << code;
}

// Always "continue the search": the ordinary handlers decide.
TEST(CrashHandlerTest, ContinuesTheSearch) {
  EXCEPTION_RECORD record{};
  record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
  EXCEPTION_POINTERS pointers{&record, nullptr};
  EXPECT_EQ(ExceptionHandler(&pointers), EXCEPTION_CONTINUE_SEARCH);
  EXPECT_EQ(ExceptionHandler(nullptr), EXCEPTION_CONTINUE_SEARCH);
}

}  // namespace
}  // namespace diagnosis
