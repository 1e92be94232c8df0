#include "archive/update_callback.h"

#include <oleauto.h>

#include "archive/archive_exception.h"
#include "archive/archive_prop_variant.h"
#include "archive/file_streams.h"
#include "archive/input_archive.h"
#include "archive/multi_volume_out_stream.h"

namespace arc {

// ---- UpdateCallback

void UpdateCallback::SetOldArchive(const InputArchive* old_archive) {
  if (old_archive == nullptr) return;
  old_archive_ = old_archive;
  old_item_count_ = old_archive->CountItems();
}

HRESULT UpdateCallback::QueryInterface(REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IArchiveUpdateCallback2) {
    *out = static_cast<IArchiveUpdateCallback2*>(this);
  } else if (iid == IID_ICompressProgressInfo) {
    *out = static_cast<ICompressProgressInfo*>(this);
  } else if (iid == IID_ICryptoGetTextPassword2) {
    *out = static_cast<ICryptoGetTextPassword2*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT UpdateCallback::GetUpdateItemInfo(UINT32 index, INT32* new_data, INT32* new_props,
                                          UINT32* index_in_archive) noexcept {
  const bool old = index < old_item_count_;
  if (new_data != nullptr) *new_data = old ? 0 : 1;
  if (new_props != nullptr) *new_props = old ? 0 : 1;
  if (index_in_archive != nullptr) *index_in_archive = old ? index : 0xFFFFFFFFu;
  return S_OK;
}

HRESULT UpdateCallback::CryptoGetTextPassword2(INT32* is_defined, BSTR* password) noexcept {
  return GuardedCall([&] {
    *is_defined = handler_.HasPassword() ? 1 : 0;
    const std::wstring text = handler_.Password();
    *password = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *password == nullptr ? E_OUTOFMEMORY : S_OK;
  });
}

// ---- FileUpdateCallback

std::wstring FileUpdateCallback::ErrorMessage() const {
  if (failed_files_.empty()) return Callback::ErrorMessage();
  std::wstring message = L"Error for files: \n";
  for (const auto& [path, code] : failed_files_) {
    message += path + L" (error code: " + std::to_wstring(code) + L")\n";
  }
  return message;
}

HRESULT FileUpdateCallback::GetProperty(UINT32 index, PROPID property, PROPVARIANT* value) noexcept {
  return GuardedCall([&] {
    ArchivePropVariant prop;
    if (property == kpidIsAnti) {
      prop = ArchivePropVariant(false);
    } else if (index < old_item_count_) {
      prop = old_archive_->ReadItemProperty(index, property);
    } else {
      const DiskItem& item = new_items_.at(index - old_item_count_);
      switch (property) {
        case kpidPath: prop = ArchivePropVariant(item.InArchivePath()); break;
        case kpidIsDir: prop = ArchivePropVariant(item.IsDir()); break;
        case kpidSize: prop = ArchivePropVariant(item.Size()); break;
        case kpidAttrib: prop = ArchivePropVariant(item.Attributes()); break;
        case kpidCTime: prop = ArchivePropVariant(item.CreationTime()); break;
        case kpidATime: prop = ArchivePropVariant(item.AccessTime()); break;
        case kpidMTime: prop = ArchivePropVariant(item.WriteTime()); break;
        default: break;
      }
    }
    prop.Detach(value);
    return S_OK;
  });
}

HRESULT FileUpdateCallback::GetStream(UINT32 index, ISequentialInStream** in_stream) noexcept {
  return GuardedCall([&]() -> HRESULT {
    *in_stream = nullptr;
    if (index < old_item_count_) return S_OK;
    const DiskItem& item = new_items_.at(index - old_item_count_);
    if (const FileObserver observer = handler_.GetFileObserver()) observer(item.Name());
    if (item.IsDir()) return S_OK;
    ComPtr<CInFileStream> stream(new CInFileStream);
    if (!stream->Open(item.Path())) {
      // A missing input does not stop the engine; it is named only when the
      // engine fails for another reason.
      failed_files_.emplace_back(item.Path(), HResultFromWin32(::GetLastError()));
      return S_FALSE;
    }
    *in_stream = stream.Detach();
    return S_OK;
  });
}

HRESULT FileUpdateCallback::GetVolumeSize(UINT32, UINT64* size) noexcept {
  if (volume_size_ == 0) return S_FALSE;
  *size = volume_size_;
  return S_OK;
}

HRESULT FileUpdateCallback::GetVolumeStream(UINT32 index, ISequentialOutStream** volume_stream) noexcept {
  return GuardedCall([&]() -> HRESULT {
    *volume_stream = nullptr;
    ComPtr<COutFileStream> stream(new COutFileStream);
    if (!stream->Create(VolumeFileName(volume_base_name_ + L".", index), false)) return LastErrorResult();
    *volume_stream = stream.Detach();
    return S_OK;
  });
}

}  // namespace arc
