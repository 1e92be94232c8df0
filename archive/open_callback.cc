#include "archive/open_callback.h"

#include "archive/archive_prop_variant.h"
#include "archive/file_streams.h"
#include "archive/file_system.h"

namespace arc {

OpenCallback::OpenCallback(const ArchiveHandler& handler, const std::wstring& archive_path)
    : Callback(handler), archive_item_(archive_path) {}

HRESULT OpenCallback::QueryInterface(REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IArchiveOpenVolumeCallback) {
    *out = static_cast<IArchiveOpenVolumeCallback*>(this);
  } else if (iid == IID_IArchiveOpenSetSubArchiveName) {
    *out = static_cast<IArchiveOpenSetSubArchiveName*>(this);
  } else if (iid == IID_ICryptoGetTextPassword) {
    *out = static_cast<ICryptoGetTextPassword*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT OpenCallback::SetTotal(const UINT64*, const UINT64*) noexcept { return S_OK; }
HRESULT OpenCallback::SetCompleted(const UINT64*, const UINT64*) noexcept { return S_OK; }

HRESULT OpenCallback::GetProperty(PROPID property, PROPVARIANT* value) noexcept {
  return GuardedCall([&] {
    ArchivePropVariant prop;
    if (sub_archive_mode_) {
      if (property == kpidName) prop = ArchivePropVariant(sub_archive_name_);
    } else {
      switch (property) {
        case kpidName: prop = ArchivePropVariant(archive_item_.Name()); break;
        case kpidIsDir: prop = ArchivePropVariant(archive_item_.IsDir()); break;
        case kpidSize: prop = ArchivePropVariant(archive_item_.Size()); break;
        case kpidAttrib: prop = ArchivePropVariant(archive_item_.Attributes()); break;
        case kpidCTime: prop = ArchivePropVariant(archive_item_.CreationTime()); break;
        case kpidATime: prop = ArchivePropVariant(archive_item_.AccessTime()); break;
        case kpidMTime: prop = ArchivePropVariant(archive_item_.WriteTime()); break;
        default: break;
      }
    }
    prop.Detach(value);
    return S_OK;
  });
}

HRESULT OpenCallback::GetStream(const wchar_t* name, IInStream** in_stream) noexcept {
  return GuardedCall([&]() -> HRESULT {
    *in_stream = nullptr;
    if (sub_archive_mode_ || archive_item_.IsDir()) return S_FALSE;
    std::wstring path = archive_item_.Path();
    if (name != nullptr) {
      const size_t sep = path.find_last_of(L"\\/");
      path = (sep == std::wstring::npos ? std::wstring() : path.substr(0, sep)) + L"\\" + name;
      FileInfo info;
      if (!FindFileInfo(path, info) || info.IsDir()) return S_FALSE;
    }
    ComPtr<CInFileStream> stream(new CInFileStream);
    if (!stream->Open(path)) return LastErrorResult();
    *in_stream = stream.Detach();
    return S_OK;
  });
}

HRESULT OpenCallback::SetSubArchiveName(const wchar_t* name) noexcept {
  return GuardedCall([&] {
    sub_archive_mode_ = true;
    sub_archive_name_ = name != nullptr ? name : L"";
    return S_OK;
  });
}

HRESULT OpenCallback::CryptoGetTextPassword(BSTR* password) noexcept {
  return GuardedCall([&] { return AnswerPassword(password, E_ABORT); });
}

}  // namespace arc
