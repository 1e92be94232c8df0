#include "src/zephris_install/src/wrapper/install_ui/carousel_pictures.h"

#include <filesystem>
#include <system_error>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/path_manager.h"
#include "base/text_conversion.h"
#include "net/web_request.h"
#include "src/zephris_install/src/wrapper/install_ui/install_folder.h"

namespace {

bool Good(const net::HttpResult& result) { return !net::RequestFailed(result); }

}  // namespace

CarouselPictures::CarouselPictures(const std::vector<std::string>& urls) {
  for (const std::string& url : urls) {
    auto picture = std::make_unique<Picture>();
    picture->url = url;
    pictures_.push_back(std::move(picture));
  }
}

bool CarouselPictures::AllReady() const {
  if (pictures_.empty()) return false;
  for (const auto& picture : pictures_) {
    if (!picture->ready.load(std::memory_order_acquire)) return false;
  }
  return true;
}

std::wstring CarouselPictures::PageImage(size_t page) const {
  if (page < pictures_.size() && AllReady()) return pictures_[page]->path;
  return BuiltInCarouselImage(page);
}

void CarouselPictures::Download(const std::wstring& folder) {
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  for (size_t i = 0; i < pictures_.size(); ++i) {
    Picture& picture = *pictures_[i];
    picture.path = folder + fmt::format(L"carousel_{}.png", i);
    std::filesystem::remove(picture.path, ignored);
    bool downloaded = Good(net::CurlDownload(picture.url, picture.path));
    if (!downloaded) downloaded = Good(net::WinHttpDownload(picture.url, picture.path));
    const bool exists = std::filesystem::is_regular_file(picture.path, ignored);
    picture.ready.store(downloaded && exists, std::memory_order_release);
  }
}

std::wstring BuiltInCarouselImage(size_t page) { return fmt::format(L"img/carousel_{}.png", page); }

std::wstring CarouselFolder(uint64_t channel_id, const std::string& app_id) {
  const std::string name = app_id.empty() ? std::string("Quillorane") : app_id;
  if (!IsPlainFileName(name)) return {};
  const std::wstring root = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kInstallResources);
  if (root.empty()) return {};
  std::filesystem::path folder(root);
  folder /= fmt::format(L"{}_{}", channel_id, base::Utf8ToWide(name));
  return folder.wstring() + L"\\";
}
