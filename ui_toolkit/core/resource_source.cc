#include "ui_toolkit/core/resource_source.h"

#include <windows.h>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/zip_reader.h"

namespace SkinUI {
namespace {

// Font files of a skin are a few MiB at most; the cap keeps a lying size from
// turning into a huge allocation.
constexpr DWORD kMaxResourceBytes = 64u << 20;

}  // namespace

bool ReadWholeFile(const wchar_t* path, std::vector<unsigned char>& bytes) {
  if (path == nullptr || path[0] == L'\0') return false;
  base::ScopedKernelHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxResourceBytes) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size();
}

bool ReadResourceBytes(const wchar_t* name, std::vector<unsigned char>& bytes) {
  if (name == nullptr || name[0] == L'\0') return false;
  const CUiString& zip_name = CPaintManagerUI::GetResourceZipName();
  if (zip_name.IsEmpty()) {
    const CUiString path = CPaintManagerUI::GetResourcePath() + name;
    return ReadWholeFile(path.GetData(), bytes);
  }
  ZipHandleUI* zip = CPaintManagerUI::IsResourceZipCached() ? CPaintManagerUI::GetCachedResourceZip() : nullptr;
  bool opened_here = false;
  if (zip == nullptr) {
    const CUiString path = CPaintManagerUI::GetResourcePath() + zip_name.GetData();
    char* password = CPaintManagerUI::WideToMultiByte(CPaintManagerUI::GetResourceZipPassword().GetData());
    zip = ZipOpenFromFile(path.GetData(), password);
    delete[] password;
    opened_here = true;
  }
  if (zip == nullptr) return false;
  CUiString entry(name);
  entry.Replace(L"\\", L"/");
  int index = -1;
  ZipItemRecordUI item;
  bool ok = false;
  if (ZipFindItem(zip, entry.GetData(), true, &index, &item) == kZipOk && item.uncompressed_size > 0 &&
      item.uncompressed_size <= kMaxResourceBytes) {
    bytes.resize(item.uncompressed_size);
    const uint32_t result = ZipUnzipItem(zip, index, bytes.data(), item.uncompressed_size);
    ok = result == kZipOk || result == kZipMore;
  }
  if (opened_here) ZipClose(zip);
  return ok;
}

}  // namespace SkinUI
