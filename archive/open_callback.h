// What the engine asks while it opens an archive: the archive file's
// properties, further volumes and the password of encrypted headers.
#pragma once

#include <windows.h>

#include <string>

#include "archive/callback.h"
#include "archive/disk_item.h"
#include "archive/seven_zip_interfaces.h"

namespace arc {

class OpenCallback final : public IArchiveOpenCallback,
                           public IArchiveOpenVolumeCallback,
                           public IArchiveOpenSetSubArchiveName,
                           public ICryptoGetTextPassword,
                           public Callback {
 public:
  // Throws ArchiveException("Invalid path '...'!") when the archive is missing.
  OpenCallback(const ArchiveHandler& handler, const std::wstring& archive_path);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ARC_IMPLEMENT_ADDREF_RELEASE

  HRESULT STDMETHODCALLTYPE SetTotal(const UINT64* files, const UINT64* bytes) noexcept override;
  HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* files, const UINT64* bytes) noexcept override;
  HRESULT STDMETHODCALLTYPE GetProperty(PROPID property, PROPVARIANT* value) noexcept override;
  HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, IInStream** in_stream) noexcept override;
  HRESULT STDMETHODCALLTYPE SetSubArchiveName(const wchar_t* name) noexcept override;
  HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) noexcept override;

 private:
  bool sub_archive_mode_ = false;
  std::wstring sub_archive_name_;
  DiskItem archive_item_;
};

}  // namespace arc
