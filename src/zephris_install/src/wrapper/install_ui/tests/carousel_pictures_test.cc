// The carousel's downloads against the HTTP rig's loopback servers, and the
// choice of picture per page.
#include "src/zephris_install/src/wrapper/install_ui/carousel_pictures.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "base/path_manager.h"

namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class CarouselPicturesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { base::PathManager::GetInstance().Init(L"Quillorane"); }
  void SetUp() override {
    nginx_ = Env("QL_HTTP_NGINX_URL");
    fault_ = Env("QL_HTTP_FAULT_URL");
    ASSERT_FALSE(nginx_.empty());
    folder_ = CarouselFolder(::GetCurrentProcessId(), "com.example.carousel");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string Good(int i) const { return nginx_ + "/files/tiny.bin?n=" + std::to_string(i); }
  std::string Missing() const { return fault_ + "/files/tiny.bin?key=carousel404&status=404"; }

  std::string nginx_;
  std::string fault_;
  std::wstring folder_;
};

TEST_F(CarouselPicturesTest, AWholeSetReplacesTheSkinPictures) {
  CarouselPictures pictures({Good(0), Good(1), Good(2), Good(3)});
  EXPECT_FALSE(pictures.AllReady());
  EXPECT_EQ(pictures.PageImage(0), L"img/carousel_0.png");
  // What an earlier run left is cleared first.
  fs::create_directories(folder_);
  std::ofstream(fs::path(folder_) / L"stale.png") << "old";

  pictures.Download(folder_);

  ASSERT_TRUE(pictures.AllReady());
  for (size_t page = 0; page < kCarouselPages; ++page) {
    const std::wstring path = pictures.PageImage(page);
    EXPECT_EQ(path, folder_ + L"carousel_" + std::to_wstring(page) + L".png");
    EXPECT_EQ(fs::file_size(path), 1000u);
  }
  EXPECT_FALSE(fs::exists(fs::path(folder_) / L"stale.png"));
}

TEST_F(CarouselPicturesTest, OneMissingPictureKeepsTheSkinPicturesForEveryPage) {
  CarouselPictures pictures({Good(0), Good(1), Missing(), Good(3)});
  pictures.Download(folder_);
  EXPECT_FALSE(pictures.AllReady());
  for (size_t page = 0; page < kCarouselPages; ++page) {
    EXPECT_EQ(pictures.PageImage(page), L"img/carousel_" + std::to_wstring(page) + L".png");
  }
}

TEST_F(CarouselPicturesTest, AShortListCoversOnlyItsPages) {
  CarouselPictures pictures({Good(0), Good(1)});
  pictures.Download(folder_);
  ASSERT_TRUE(pictures.AllReady());
  EXPECT_EQ(pictures.PageImage(0), folder_ + L"carousel_0.png");
  EXPECT_EQ(pictures.PageImage(1), folder_ + L"carousel_1.png");
  EXPECT_EQ(pictures.PageImage(2), L"img/carousel_2.png");
  EXPECT_EQ(pictures.PageImage(3), L"img/carousel_3.png");
}

TEST_F(CarouselPicturesTest, AnEmptyListNeverReplacesAnything) {
  CarouselPictures pictures({});
  EXPECT_FALSE(pictures.AllReady());
  EXPECT_EQ(pictures.PageImage(3), L"img/carousel_3.png");
}

TEST(CarouselFolderTest, TheFolderIsNamedAfterChannelAndAPlainAppId) {
  base::PathManager::GetInstance().Init(L"Quillorane");
  const std::wstring root = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kInstallResources);
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(CarouselFolder(2000, ""), (fs::path(root) / L"2000_Quillorane").wstring() + L"\\");
  EXPECT_EQ(CarouselFolder(7, "com.example.game"), (fs::path(root) / L"7_com.example.game").wstring() + L"\\");
  // The server's app id is deleted recursively as a folder: no way out of it.
  EXPECT_EQ(CarouselFolder(7, ".."), L"");
  EXPECT_EQ(CarouselFolder(7, "..\\..\\Windows"), L"");
  EXPECT_EQ(CarouselFolder(7, "a/b"), L"");
}

}  // namespace
