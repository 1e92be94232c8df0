#include "ui_toolkit/core/tests/image_bytes.h"

#include <zlib.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace SkinUI::testing {
namespace {

std::vector<unsigned char> ToRgba(const std::vector<uint32_t>& argb) {
  std::vector<unsigned char> rgba;
  for (uint32_t p : argb) {
    rgba.push_back(static_cast<unsigned char>(p >> 16));
    rgba.push_back(static_cast<unsigned char>(p >> 8));
    rgba.push_back(static_cast<unsigned char>(p));
    rgba.push_back(static_cast<unsigned char>(p >> 24));
  }
  return rgba;
}

void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

void AddU32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void AddChunk(std::string& out, const char* type, const std::string& data) {
  AddU32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  AddU32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

std::string EncodePng(const std::vector<uint32_t>& argb, int width, int height) {
  std::string out;
  const std::vector<unsigned char> rgba = ToRgba(argb);
  stbi_write_png_to_func(&Append, &out, width, height, 4, rgba.data(), width * 4);
  return out;
}

std::string EncodeBmp(const std::vector<uint32_t>& argb, int width, int height) {
  std::string out;
  const std::vector<unsigned char> rgba = ToRgba(argb);
  stbi_write_bmp_to_func(&Append, &out, width, height, 4, rgba.data());
  return out;
}

std::string PngHeaderOnly(uint32_t width, uint32_t height) {
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string header;
  AddU32(header, width);
  AddU32(header, height);
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA
  AddChunk(out, "IHDR", header);
  AddChunk(out, "IDAT", std::string(900, '\0'));
  AddChunk(out, "IEND", "");
  return out;
}

}  // namespace SkinUI::testing
