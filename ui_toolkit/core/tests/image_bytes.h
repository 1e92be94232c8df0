// Image files made in memory for the image tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI::testing {

// |rgba| holds width x height pixels as 0xAARRGGBB.
std::string EncodePng(const std::vector<uint32_t>& argb, int width, int height);
std::string EncodeBmp(const std::vector<uint32_t>& argb, int width, int height);
// A well-formed PNG header that declares |width| x |height|, followed by a
// little data: a tiny file for a huge picture.
std::string PngHeaderOnly(uint32_t width, uint32_t height);

}  // namespace SkinUI::testing
