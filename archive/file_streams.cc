#include "archive/file_streams.h"

#include <algorithm>
#include <atomic>

#include "archive/archive_exception.h"

namespace arc {

HRESULT LastErrorResult() {
  const DWORD error = ::GetLastError();
  return error == 0 ? E_FAIL : HResultFromWin32(error);
}

namespace {

std::atomic<CloseHandleFunction> g_close_handle{&::CloseHandle};

}  // namespace

CloseHandleFunction SetCloseHandleForTesting(CloseHandleFunction close) {
  return g_close_handle.exchange(close != nullptr ? close : &::CloseHandle);
}

bool FileHandle::Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  handle_.Reset(::CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  return handle_.IsValid();
}

bool FileHandle::Close() noexcept {
  if (!handle_.IsValid()) return true;
  // The wrapper's own close cannot report a failure; a written file's close
  // must, so it is done here and the handle given up only when it worked.
  if (!g_close_handle.load()(handle_.Get())) return false;
  (void)handle_.Take();
  return true;
}

bool FileHandle::Seek(int64_t offset, DWORD origin, uint64_t* new_position) noexcept {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(handle_.Get(), distance, &position, origin)) return false;
  if (new_position != nullptr) *new_position = static_cast<uint64_t>(position.QuadPart);
  return true;
}

namespace {

HRESULT SeekFile(FileHandle& file, INT64 offset, UINT32 origin, UINT64* new_position) {
  if (origin > FILE_END) return STG_E_INVALIDFUNCTION;
  uint64_t position = 0;
  if (!file.Seek(offset, origin, &position)) return LastErrorResult();
  if (new_position != nullptr) *new_position = position;
  return S_OK;
}

template <typename Face, typename Object>
HRESULT Hand(Object* object, void** out) {
  *out = static_cast<Face*>(object);
  object->AddRef();
  return S_OK;
}

}  // namespace

// ---- CInFileStream

bool CInFileStream::Open(const std::wstring& path) {
  return file_.Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

bool CInFileStream::OpenShared(const std::wstring& path) {
  return file_.Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

HRESULT CInFileStream::QueryInterface(REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown) return Hand<IUnknown>(static_cast<IInStream*>(this), out);
  if (iid == IID_IInStream) return Hand<IInStream>(this, out);
  if (iid == IID_IStreamGetSize) return Hand<IStreamGetSize>(this, out);
  if (iid == IID_IStreamGetProps) return Hand<IStreamGetProps>(this, out);
  if (iid == IID_IStreamGetProps2) return Hand<IStreamGetProps2>(this, out);
  return E_NOINTERFACE;
}

HRESULT CInFileStream::Read(void* data, UINT32 size, UINT32* processed) noexcept {
  if (processed != nullptr) *processed = 0;
  DWORD read = 0;
  const BOOL ok = ::ReadFile(file_.Get(), data, std::min(size, kMaxIoChunk), &read, nullptr);
  if (processed != nullptr) *processed = read;
  return ok ? S_OK : LastErrorResult();
}

HRESULT CInFileStream::Seek(INT64 offset, UINT32 origin, UINT64* new_position) noexcept {
  return SeekFile(file_, offset, origin, new_position);
}

HRESULT CInFileStream::GetSize(UINT64* size) noexcept {
  DWORD high = 0;
  const DWORD low = ::GetFileSize(file_.Get(), &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return LastErrorResult();
  *size = (static_cast<UINT64>(high) << 32) | low;
  return S_OK;
}

HRESULT CInFileStream::GetProps(UINT64* size, FILETIME* ctime, FILETIME* atime, FILETIME* mtime,
                                UINT32* attrib) noexcept {
  BY_HANDLE_FILE_INFORMATION info{};
  // The engine expects the plain Win32 error number here.
  if (!::GetFileInformationByHandle(file_.Get(), &info)) return static_cast<HRESULT>(::GetLastError());
  if (size != nullptr) *size = (static_cast<UINT64>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (ctime != nullptr) *ctime = info.ftCreationTime;
  if (atime != nullptr) *atime = info.ftLastAccessTime;
  if (mtime != nullptr) *mtime = info.ftLastWriteTime;
  if (attrib != nullptr) *attrib = info.dwFileAttributes;
  return S_OK;
}

HRESULT CInFileStream::GetProps2(StreamFileProps* props) noexcept {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file_.Get(), &info)) return static_cast<HRESULT>(::GetLastError());
  props->size = (static_cast<UINT64>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  props->volume_id = info.dwVolumeSerialNumber;
  props->file_id_low = (static_cast<UINT64>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  props->file_id_high = 0;
  props->num_links = report_hard_links_ ? info.nNumberOfLinks : 1;
  props->attrib = info.dwFileAttributes;
  props->ctime = info.ftCreationTime;
  props->atime = info.ftLastAccessTime;
  props->mtime = info.ftLastWriteTime;
  return S_OK;
}

// ---- COutFileStream

bool COutFileStream::Create(const std::wstring& path, bool create_always) {
  return Open(path, create_always ? CREATE_ALWAYS : CREATE_NEW);
}

bool COutFileStream::Open(const std::wstring& path, DWORD creation_disposition) {
  written_ = 0;
  return file_.Open(path, GENERIC_WRITE, FILE_SHARE_READ, creation_disposition);
}

HRESULT COutFileStream::Close() noexcept { return file_.Close() ? S_OK : LastErrorResult(); }

bool COutFileStream::SetModificationTime(const FILETIME& mtime) noexcept {
  return ::SetFileTime(file_.Get(), nullptr, nullptr, &mtime) != FALSE;
}

HRESULT COutFileStream::QueryInterface(REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown) return Hand<IUnknown>(static_cast<IOutStream*>(this), out);
  if (iid == IID_IOutStream) return Hand<IOutStream>(this, out);
  return E_NOINTERFACE;
}

HRESULT COutFileStream::Write(const void* data, UINT32 size, UINT32* processed) noexcept {
  if (processed != nullptr) *processed = 0;
  const auto* bytes = static_cast<const BYTE*>(data);
  UINT32 total = 0;
  HRESULT result = S_OK;
  while (total < size) {
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), bytes + total, std::min(size - total, kMaxIoChunk), &written, nullptr)) {
      result = LastErrorResult();
      break;
    }
    total += written;
    if (written == 0) break;
  }
  written_ += total;
  if (processed != nullptr) *processed = total;
  return result;
}

HRESULT COutFileStream::Seek(INT64 offset, UINT32 origin, UINT64* new_position) noexcept {
  return SeekFile(file_, offset, origin, new_position);
}

HRESULT COutFileStream::SetSize(UINT64 new_size) noexcept {
  uint64_t current = 0;
  if (!file_.Seek(0, FILE_CURRENT, &current)) return E_FAIL;
  if (!file_.Seek(static_cast<int64_t>(new_size), FILE_BEGIN, nullptr)) return E_FAIL;
  if (!::SetEndOfFile(file_.Get())) return E_FAIL;
  if (!file_.Seek(static_cast<int64_t>(current), FILE_BEGIN, nullptr)) return E_FAIL;
  return S_OK;
}

}  // namespace arc
