#include "ui_toolkit/core/tests/golden_image.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace SkinUI::testing {
namespace {

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : fallback;
}

void CreateFolders(const std::string& path) {
  for (size_t at = path.find_first_of("/\\", 3); at != std::string::npos; at = path.find_first_of("/\\", at + 1)) {
    ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
}

void ToRgba(const std::vector<std::uint32_t>& pixels, std::vector<unsigned char>* rgba) {
  rgba->resize(pixels.size() * 4);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const std::uint32_t p = pixels[i];
    (*rgba)[i * 4 + 0] = static_cast<unsigned char>(p >> 16);
    (*rgba)[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
    (*rgba)[i * 4 + 2] = static_cast<unsigned char>(p);
    (*rgba)[i * 4 + 3] = static_cast<unsigned char>(p >> 24);
  }
}

}  // namespace

bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height) {
  CreateFolders(path);
  std::vector<unsigned char> rgba;
  ToRgba(pixels, &rgba);
  return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

bool ReadPng(const std::string& path, std::vector<std::uint32_t>* pixels, int* width, int* height) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int channels = 0;
  unsigned char* rgba = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              static_cast<int>(bytes.size()), width, height, &channels, 4);
  if (rgba == nullptr) return false;
  pixels->resize(static_cast<size_t>(*width) * *height);
  for (size_t i = 0; i < pixels->size(); ++i) {
    (*pixels)[i] = (static_cast<std::uint32_t>(rgba[i * 4 + 3]) << 24) |
                   (static_cast<std::uint32_t>(rgba[i * 4 + 0]) << 16) |
                   (static_cast<std::uint32_t>(rgba[i * 4 + 1]) << 8) | rgba[i * 4 + 2];
  }
  stbi_image_free(rgba);
  return true;
}

GoldenResult MatchGolden(const std::string& name, const std::vector<std::uint32_t>& pixels, int width, int height,
                         bool compare_alpha, int tolerance) {
  GoldenResult result;
  std::vector<std::uint32_t> shown = pixels;
  if (!compare_alpha) {
    for (std::uint32_t& p : shown) p |= 0xFF000000;
  }
  const std::string rendered = EnvOr("QL_UI_RENDERED_DIR", "rendered") + "/" + name + ".png";
  WritePng(rendered, shown, width, height);
  const std::string golden = EnvOr("QL_UI_GOLDEN_DIR", "goldens") + "/" + name + ".png";
  if (EnvOr("QL_UPDATE_GOLDENS", "0") == "1") {
    result.ok = WritePng(golden, shown, width, height);
    result.message = "golden written: " + golden;
    return result;
  }
  std::vector<std::uint32_t> want;
  int gw = 0;
  int gh = 0;
  if (!ReadPng(golden, &want, &gw, &gh)) {
    result.message = "no golden " + golden + " (rendered: " + rendered + ")";
    return result;
  }
  if (gw != width || gh != height) {
    result.message = "size " + std::to_string(width) + "x" + std::to_string(height) + " differs from the golden's " +
                     std::to_string(gw) + "x" + std::to_string(gh) + " (rendered: " + rendered + ")";
    return result;
  }
  int bad = 0;
  std::string first;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t a = shown[static_cast<size_t>(y) * width + x];
      const std::uint32_t b = want[static_cast<size_t>(y) * width + x];
      for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        if (d > tolerance) {
          if (bad == 0) {
            char text[96];
            std::snprintf(text, sizeof(text), "first at (%d,%d): %08X, golden %08X", x, y, a, b);
            first = text;
          }
          ++bad;
          break;
        }
      }
    }
  }
  result.ok = bad == 0;
  if (!result.ok) result.message = std::to_string(bad) + " pixels differ, " + first + " (rendered: " + rendered + ")";
  return result;
}

}  // namespace SkinUI::testing
