#include "archive/item_path.h"

#include <gtest/gtest.h>

#include <string>

namespace arc {
namespace {

TEST(ItemPathTest, AcceptsPathsThatStayInsideAndRefusesTheOthers) {
  struct Case {
    const wchar_t* path;
    ItemPathProblem problem;
  };
  const Case cases[] = {
      {L"file.txt", ItemPathProblem::kNone},
      {L"a\\b\\c.bin", ItemPathProblem::kNone},
      {L"a/b/c.bin", ItemPathProblem::kNone},
      {L".\\here.txt", ItemPathProblem::kNone},
      {L"..name\\x", ItemPathProblem::kNone},
      {L"name..\\x", ItemPathProblem::kNone},
      {L"a..b", ItemPathProblem::kNone},
      {L"CONFIG.SYS", ItemPathProblem::kNone},
      {L"console\\nulls.txt", ItemPathProblem::kNone},
      {L"COM10", ItemPathProblem::kNone},
      {L"LPT", ItemPathProblem::kNone},
      {L"données\\日本語.txt", ItemPathProblem::kNone},
      {L"\\rooted.txt", ItemPathProblem::kRooted},
      {L"/rooted.txt", ItemPathProblem::kRooted},
      {L"\\\\server\\share\\x.txt", ItemPathProblem::kRooted},
      {L"\\\\?\\C:\\x.txt", ItemPathProblem::kRooted},
      {L"C:\\Windows\\x.dll", ItemPathProblem::kColon},
      {L"C:x.dll", ItemPathProblem::kColon},
      {L"file.txt:stream", ItemPathProblem::kColon},
      {L"a\\file.txt::$DATA", ItemPathProblem::kColon},
      {L"..", ItemPathProblem::kParentFolder},
      {L"..\\evil.txt", ItemPathProblem::kParentFolder},
      {L"a\\..\\..\\evil.txt", ItemPathProblem::kParentFolder},
      {L"a/../../evil.txt", ItemPathProblem::kParentFolder},
      {L"a\\...\\evil.txt", ItemPathProblem::kParentFolder},
      {L"a\\.. \\evil.txt", ItemPathProblem::kParentFolder},
      {L"a\\..", ItemPathProblem::kParentFolder},
      {L"CON", ItemPathProblem::kDeviceName},
      {L"con.txt", ItemPathProblem::kDeviceName},
      {L"sub\\NUL", ItemPathProblem::kDeviceName},
      {L"sub\\nul .log", ItemPathProblem::kDeviceName},
      {L"PRN", ItemPathProblem::kDeviceName},
      {L"aux.c", ItemPathProblem::kDeviceName},
      {L"COM1", ItemPathProblem::kDeviceName},
      {L"lpt9.txt", ItemPathProblem::kDeviceName},
      {L"COM\u00B9", ItemPathProblem::kDeviceName},
      {L"CONIN$", ItemPathProblem::kDeviceName},
      {L"conout$.txt", ItemPathProblem::kDeviceName},
      {L"nul\\inside.txt", ItemPathProblem::kDeviceName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path, c.path + std::wstring(c.path).size()));
    EXPECT_EQ(CheckItemPath(c.path), c.problem);
  }
}

TEST(ItemPathTest, EveryProblemHasAText) {
  for (ItemPathProblem p : {ItemPathProblem::kRooted, ItemPathProblem::kColon, ItemPathProblem::kParentFolder,
                            ItemPathProblem::kDeviceName}) {
    EXPECT_NE(std::wstring(ItemPathProblemText(p)), L"");
  }
}

}  // namespace
}  // namespace arc
