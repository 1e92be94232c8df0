// The 7-Zip engine library, loaded at run time from a path, and the creation
// of its archive objects. A library object must outlive every handler built
// on it.
#pragma once

#include <windows.h>

#include <string>

#include "archive/seven_zip_interfaces.h"
#include "base/scoped_handle.h"

namespace arc {

class SevenZipLibrary {
 public:
  // Loads the library and resolves "CreateObject"; throws ArchiveException.
  explicit SevenZipLibrary(const std::wstring& dll_path);
  virtual ~SevenZipLibrary() = default;
  SevenZipLibrary(const SevenZipLibrary&) = delete;
  SevenZipLibrary& operator=(const SevenZipLibrary&) = delete;

  // Throws ArchiveException("Cannot get class object", result) on failure.
  void CreateArchiveObject(const GUID& class_id, const GUID& interface_id, void** out) const;

 private:
  base::ScopedModule module_;
  CreateObjectFunc create_object_ = nullptr;
};

}  // namespace arc
