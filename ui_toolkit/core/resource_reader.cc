#include "ui_toolkit/core/resource_reader.h"

#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

std::string ToAnsi(const CUiString& text) {
  if (text.IsEmpty()) return {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.GetData(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
  if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text.GetData(), -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

struct ZipCloser {
  void operator()(ZipHandleUI* zip) const { ZipClose(zip); }
};

ResourceReadUI ReadZipEntry(ZipHandleUI* zip, const wchar_t* name, size_t max_size,
                            std::vector<unsigned char>& bytes) {
  CUiString entry(name);
  entry.Replace(L"\\", L"/");
  int index = -1;
  ZipItemRecordUI item;
  if (ZipFindItem(zip, entry.GetData(), true, &index, &item) != kZipOk) return ResourceReadUI::kNotFound;
  if (item.uncompressed_size == 0) return ResourceReadUI::kEmpty;
  if (item.uncompressed_size > max_size) return ResourceReadUI::kTooLarge;
  bytes.assign(item.uncompressed_size, 0);
  const uint32_t rc = ZipUnzipItem(zip, index, bytes.data(), item.uncompressed_size);
  if (rc != kZipOk && rc != kZipMore) {
    bytes.clear();
    return ResourceReadUI::kReadFailed;
  }
  return ResourceReadUI::kOk;
}

}  // namespace

ResourceReadUI ReadFileBytes(const wchar_t* path, size_t max_size, std::vector<unsigned char>& bytes) {
  bytes.clear();
  if (path == nullptr || path[0] == L'\0') return ResourceReadUI::kOpenFailed;
  base::ScopedKernelHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return ResourceReadUI::kOpenFailed;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) return ResourceReadUI::kReadFailed;
  if (size.QuadPart == 0) return ResourceReadUI::kEmpty;
  if (static_cast<unsigned long long>(size.QuadPart) > max_size) return ResourceReadUI::kTooLarge;
  try {
    bytes.resize(static_cast<size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    return ResourceReadUI::kReadFailed;
  }
  DWORD got = 0;
  if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()) {
    bytes.clear();
    return ResourceReadUI::kReadFailed;
  }
  return ResourceReadUI::kOk;
}

ResourceReadUI ReadResource(const ResourceSourceUI& source, const wchar_t* name, size_t max_size,
                            std::vector<unsigned char>& bytes) {
  bytes.clear();
  if (name == nullptr || name[0] == L'\0') return ResourceReadUI::kNotFound;
  try {
    if (source.zip_name.IsEmpty()) {
      return ReadFileBytes((source.folder + name).GetData(), max_size, bytes);
    }
    if (source.cached_zip != nullptr) return ReadZipEntry(source.cached_zip, name, max_size, bytes);
    const std::string password = ToAnsi(source.zip_password);
    std::unique_ptr<ZipHandleUI, ZipCloser> zip(ZipOpenFromFile(
        (source.folder + source.zip_name).GetData(), source.zip_password.IsEmpty() ? nullptr : password.c_str()));
    if (!zip) return ResourceReadUI::kZipOpenFailed;
    return ReadZipEntry(zip.get(), name, max_size, bytes);
  } catch (const std::bad_alloc&) {
    bytes.clear();
    return ResourceReadUI::kReadFailed;
  }
}

ResourceSourceUI CurrentResourceSource() {
  ResourceSourceUI source;
  source.folder = CPaintManagerUI::GetResourcePath();
  source.zip_name = CPaintManagerUI::GetResourceZipName();
  source.zip_password = CPaintManagerUI::GetResourceZipPassword();
  source.cached_zip = CPaintManagerUI::IsResourceZipCached() ? CPaintManagerUI::GetCachedResourceZip() : nullptr;
  return source;
}

}  // namespace SkinUI
