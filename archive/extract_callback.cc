#include "archive/extract_callback.h"

#include "archive/archive_prop_variant.h"
#include "archive/file_system.h"
#include "archive/item_path.h"

namespace arc {

// ---- ExtractCallback

HRESULT ExtractCallback::QueryInterface(REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IArchiveExtractCallback) {
    *out = static_cast<IArchiveExtractCallback*>(this);
  } else if (iid == IID_ICompressProgressInfo) {
    *out = static_cast<ICompressProgressInfo*>(this);
  } else if (iid == IID_ICryptoGetTextPassword) {
    *out = static_cast<ICryptoGetTextPassword*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT ExtractCallback::SetTotal(UINT64 total) noexcept { return ReportTotal(total); }

HRESULT ExtractCallback::SetCompleted(const UINT64* completed) noexcept { return ReportCompleted(completed); }

HRESULT ExtractCallback::SetRatioInfo(const UINT64* in_size, const UINT64* out_size) noexcept {
  return ReportRatio(in_size, out_size);
}

HRESULT ExtractCallback::CryptoGetTextPassword(BSTR* password) noexcept {
  return GuardedCall([&] { return AnswerPassword(password, E_FAIL); });
}

// ---- FileExtractCallback

FileExtractCallback::FileExtractCallback(const ArchiveHandler& handler, const InputArchive& archive,
                                         const std::wstring& in_file, const std::wstring& out_dir)
    : ExtractCallback(handler, archive), in_file_(in_file), out_dir_(out_dir) {
  if (!out_dir_.empty() && out_dir_.back() != L'\\' && out_dir_.back() != L'/') out_dir_ += L'\\';
}

HRESULT FileExtractCallback::GetStream(UINT32 index, ISequentialOutStream** out_stream,
                                       INT32 ask_extract_mode) noexcept {
  return GuardedCall([&] { return OpenItem(index, out_stream, ask_extract_mode); });
}

namespace {

// An item stored without a path is named after the archive: core.7z gives core.
std::wstring NameFromArchive(const std::wstring& in_file) {
  return in_file.empty() ? L"[Content]" : NameWithoutExtension(in_file);
}

}  // namespace

HRESULT FileExtractCallback::OpenItem(UINT32 index, ISequentialOutStream** out_stream, INT32 ask_extract_mode) {
  stream_.Reset();
  *out_stream = nullptr;

  const ArchivePropVariant path = archive_.ReadItemProperty(index, kpidPath);
  if (path.IsEmpty()) {
    item_path_ = NameFromArchive(in_file_);
  } else if (path.IsString()) {
    item_path_ = path.AsString();
  } else {
    return E_FAIL;
  }
  if (ask_extract_mode != kAskExtract) return S_OK;

  // Archives come from the network; a stored path is joined to the output
  // folder only when it stays inside it.
  if (const ItemPathProblem problem = CheckItemPath(item_path_); problem != ItemPathProblem::kNone) {
    error_message_ =
        L"Unsafe item path '" + item_path_ + L"' (" + ItemPathProblemText(problem) + L"): extraction refused";
    return E_ABORT;
  }

  const ArchivePropVariant attributes = archive_.ReadItemProperty(index, kpidAttrib);
  if (attributes.IsEmpty()) {
    attributes_defined_ = false;
  } else if (attributes.IsUnsigned32()) {
    attributes_ = attributes.AsUInt32();
    attributes_defined_ = true;
  } else {
    return E_FAIL;
  }
  is_dir_ = archive_.IsFolderItem(index);
  const ArchivePropVariant mtime = archive_.ReadItemProperty(index, kpidMTime);
  if (mtime.IsEmpty()) {
    mtime_defined_ = false;
  } else if (mtime.Kind() == ArchivePropVariantKind::FileTime) {
    mtime_ = mtime.AsFileTime();
    mtime_defined_ = true;
  } else {
    return E_FAIL;
  }

  // The item's folder, the output folder itself included: an item at the
  // top of the archive must not depend on an earlier item having made it.
  const size_t last_backslash = item_path_.rfind(L'\\');
  if (last_backslash != std::wstring::npos) {
    CreateDirectoryTree(out_dir_ + item_path_.substr(0, last_backslash));
  } else if (!out_dir_.empty()) {
    CreateDirectoryTree(out_dir_);
  }
  disk_path_ = out_dir_ + item_path_;

  if (is_dir_) {
    CreateDirectoryTree(disk_path_);
    return S_OK;
  }

  if (const FileObserver observer = handler_.GetFileObserver()) {
    const size_t sep = disk_path_.find_last_of(L"\\/");
    observer(sep == std::wstring::npos ? disk_path_ : disk_path_.substr(sep + 1));
  }
  FileInfo existing;
  if (FindFileInfo(disk_path_, existing) && !DeleteFileForce(disk_path_)) {
    error_message_ = L"Cannot delete output file " + disk_path_;
    return E_ABORT;
  }
  ComPtr<COutFileStream> stream(new COutFileStream);
  if (!stream->Open(disk_path_, CREATE_ALWAYS)) {
    error_message_ = L"Cannot open output file " + disk_path_;
    return E_ABORT;
  }
  stream_ = stream;
  *out_stream = stream.Detach();
  return S_OK;
}

HRESULT FileExtractCallback::PrepareOperation(INT32 ask_extract_mode) noexcept {
  extract_mode_ = ask_extract_mode == kAskExtract;
  return S_OK;
}

HRESULT FileExtractCallback::SetOperationResult(INT32 result) noexcept {
  return GuardedCall([&]() -> HRESULT {
    if (result != kOpResultOk) {
      ++error_count_;
      switch (result) {
        case kOpResultUnsupportedMethod: error_message_ = L"Unsupported Method"; break;
        case kOpResultDataError: error_message_ = L"Data Error"; break;
        case kOpResultCrcError: error_message_ = L"CRC Failed"; break;
        default: error_message_ = L"Unknown Error"; break;
      }
    }
    if (stream_) {
      if (mtime_defined_) stream_->SetModificationTime(mtime_);
      const HRESULT closed = stream_->Close();
      if (closed != S_OK) return closed;
      stream_.Reset();
    }
    if (extract_mode_ && attributes_defined_) SetFileAttrib(disk_path_, attributes_);
    return error_count_ != 0 ? E_FAIL : S_OK;
  });
}

}  // namespace arc
