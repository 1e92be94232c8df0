#include "archive/seven_zip_library.h"

#include <string>

#include "archive/archive_exception.h"

namespace arc {

SevenZipLibrary::SevenZipLibrary(const std::wstring& dll_path) {
  module_.Reset(::LoadLibraryW(dll_path.c_str()));
  if (!module_.IsValid()) {
    const DWORD error = ::GetLastError();
    throw ArchiveException("Cannot load 7-zip library (error " + std::to_string(error) + ")",
                           HResultFromWin32(error));
  }
  create_object_ = reinterpret_cast<CreateObjectFunc>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module_.Get(), "CreateObject")));
  if (create_object_ == nullptr) {
    module_.Close();  // keeps the last error of the failed resolution
    const DWORD error = ::GetLastError();
    throw ArchiveException("Cannot get CreateObject (error " + std::to_string(error) + ")",
                           HResultFromWin32(error));
  }
}

void SevenZipLibrary::CreateArchiveObject(const GUID& class_id, const GUID& interface_id, void** out) const {
  const HRESULT result = create_object_(&class_id, &interface_id, out);
  if (result != S_OK) throw ArchiveException("Cannot get class object", result);
}

}  // namespace arc
