// What the engine asks while it writes an archive: the items to add (after
// those of an old archive being updated), their properties and streams.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/callback.h"
#include "archive/disk_item.h"
#include "archive/seven_zip_interfaces.h"

namespace arc {

class InputArchive;

class UpdateCallback : public IArchiveUpdateCallback2,
                       public ICompressProgressInfo,
                       public ICryptoGetTextPassword2,
                       public Callback {
 public:
  explicit UpdateCallback(const ArchiveHandler& handler) : Callback(handler) {}
  virtual uint32_t ItemCount() const = 0;
  // Items of `old_archive` come first; none given leaves things as they are.
  void SetOldArchive(const InputArchive* old_archive);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ARC_IMPLEMENT_ADDREF_RELEASE

  HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) noexcept override { return ReportTotal(total); }
  HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* completed) noexcept override {
    return ReportCompleted(completed);
  }
  HRESULT STDMETHODCALLTYPE SetRatioInfo(const UINT64* in_size, const UINT64* out_size) noexcept override {
    return ReportRatio(in_size, out_size);
  }
  HRESULT STDMETHODCALLTYPE GetUpdateItemInfo(UINT32 index, INT32* new_data, INT32* new_props,
                                              UINT32* index_in_archive) noexcept override;
  HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CryptoGetTextPassword2(INT32* is_defined, BSTR* password) noexcept override;

 protected:
  const InputArchive* old_archive_ = nullptr;
  uint32_t old_item_count_ = 0;
};

// Adds files and folders from disk.
class FileUpdateCallback final : public UpdateCallback {
 public:
  FileUpdateCallback(const ArchiveHandler& handler, const std::vector<DiskItem>& new_items)
      : UpdateCallback(handler), new_items_(new_items) {}

  uint32_t ItemCount() const override {
    return static_cast<uint32_t>(new_items_.size()) + old_item_count_;
  }
  // Names the inputs that could not be opened, when there are any.
  std::wstring ErrorMessage() const override;

  HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID property, PROPVARIANT* value) noexcept override;
  HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialInStream** in_stream) noexcept override;
  HRESULT STDMETHODCALLTYPE GetVolumeSize(UINT32 index, UINT64* size) noexcept override;
  HRESULT STDMETHODCALLTYPE GetVolumeStream(UINT32 index, ISequentialOutStream** volume_stream) noexcept override;

 private:
  const std::vector<DiskItem>& new_items_;
  uint64_t volume_size_ = 0;
  std::wstring volume_base_name_;
  std::vector<std::pair<std::wstring, int32_t>> failed_files_;
};

}  // namespace arc
