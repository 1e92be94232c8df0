#include "base/file_md5.h"

#include <windows.h>

#include <memory>

#include "base/md5.h"
#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr DWORD kChunkSize = 1 << 20;
constexpr const char kNoDigest[] = "null";

}  // namespace

std::string FileMd5Hex(const std::filesystem::path& path) {
  ScopedKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return kNoDigest;

  const std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kChunkSize]);
  if (!buffer) return kNoDigest;
  Md5Context context;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer.get(), kChunkSize, &read, nullptr)) return kNoDigest;
    if (read == 0) break;
    context.Update(buffer.get(), read);
  }
  const Md5Context::Digest digest = context.Final();
  return BytesToHex(digest.data(), digest.size());
}

}  // namespace base
