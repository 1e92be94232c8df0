// The install carousel's pictures: the four of the skin, or a set that the
// install record lists and a background thread downloads. The downloaded set
// is used only as a whole, once every picture of the list has arrived.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr size_t kCarouselPages = 4;

class CarouselPictures {
 public:
  explicit CarouselPictures(const std::vector<std::string>& urls);

  size_t size() const { return pictures_.size(); }
  // Every listed picture is downloaded (false for an empty list).
  bool AllReady() const;
  // The picture of page `page` (0..3): the downloaded file when the whole set
  // is ready and the list covers the page, else the skin's picture.
  std::wstring PageImage(size_t page) const;

  // The thread body: resets `folder` and downloads each picture into it
  // ("carousel_{i}.png"), through libcurl and then WinHTTP as a second try.
  void Download(const std::wstring& folder);

 private:
  struct Picture {
    std::string url;
    std::wstring path;  // written before `ready`, read only after it
    std::atomic<bool> ready{false};
  };
  std::vector<std::unique_ptr<Picture>> pictures_;
};

// The skin's picture of a page.
std::wstring BuiltInCarouselImage(size_t page);

// The download folder "{channel}_{app id}" (app id "Quillorane" when empty)
// under the install-resources temporary folder, with a trailing separator;
// empty when the app id is not a plain file name (it is the server's, and
// the folder is deleted recursively).
std::wstring CarouselFolder(uint64_t channel_id, const std::string& app_id);
