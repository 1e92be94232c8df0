// Golden pictures: a rendered image is compared with a PNG kept in the tree,
// channel by channel with a small tolerance. Every rendered image is also
// written under the build tree (QL_UI_RENDERED_DIR) so that a CI run keeps
// what it saw; with QL_UPDATE_GOLDENS=1 the rendered image becomes the golden.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI::testing {

struct GoldenResult {
  bool ok = false;
  std::string message;
};

// |pixels| are 0xAARRGGBB, top-down. With |compare_alpha| false the alpha
// byte is ignored (a window that is not layered leaves it undefined).
GoldenResult MatchGolden(const std::string& name, const std::vector<std::uint32_t>& pixels, int width, int height,
                         bool compare_alpha, int tolerance = 3);

bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height);
bool ReadPng(const std::string& path, std::vector<std::uint32_t>* pixels, int* width, int* height);

}  // namespace SkinUI::testing
