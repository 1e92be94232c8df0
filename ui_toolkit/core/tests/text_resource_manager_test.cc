#include "ui_toolkit/core/text_resource_manager.h"

#include <gtest/gtest.h>

namespace SkinUI {
namespace {

class Query : public IQueryControlText {
 public:
  const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) override {
    ++asked;
    return CUiString(id) == L"known" ? L"Known text" : nullptr;
  }
  int asked = 0;
};

TEST(TextResourceManagerTest, TextsComeFromTheCacheTheCallbackOrTheId) {
  CTextResourceManager& m = CTextResourceManager::GetInstance();
  EXPECT_TRUE(m.GetText(nullptr).IsEmpty());
  EXPECT_STREQ(L"plain_id", m.GetText(L"plain_id").GetData());
  Query query;
  m.SetTextQueryInterface(&query);
  EXPECT_STREQ(L"Known text", m.GetText(L"known", L"text").GetData());
  EXPECT_STREQ(L"Known text", m.GetText(L"known").GetData());
  EXPECT_EQ(1, query.asked);  // the second answer came from the cache
  EXPECT_STREQ(L"other", m.GetText(L"other").GetData());
  m.SetTextQueryInterface(nullptr);
  EXPECT_STREQ(L"Known text", m.GetText(L"known").GetData());
  EXPECT_EQ(nullptr, m.GetImageFile(L"a.png"));
  EXPECT_EQ(nullptr, m.GetSkinFile(L"main.xml"));
}

}  // namespace
}  // namespace SkinUI
