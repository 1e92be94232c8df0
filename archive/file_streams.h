// The engine's view of Windows files: a reading stream for archives and
// inputs, a writing stream for extracted files and new archives. Streams
// answer HRESULTs and never throw; they keep no buffer of their own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "archive/com_object.h"
#include "archive/seven_zip_interfaces.h"
#include "base/scoped_handle.h"

namespace arc {

// Reads and writes are split into calls of at most this many bytes.
inline constexpr uint32_t kMaxIoChunk = 4194304;

// HRESULT of the calling thread's last Win32 error; E_FAIL when there is none.
HRESULT LastErrorResult();

// The call that closes a file handle. A test puts its own in place to stand
// for a close that reports data the system could not write behind (a share,
// a disk that filled up), which no local disk produces on demand. Returns
// the one it replaced; nullptr puts CloseHandle back.
using CloseHandleFunction = BOOL(WINAPI*)(HANDLE);
CloseHandleFunction SetCloseHandleForTesting(CloseHandleFunction close);

// One file handle; closing reports whether the system accepted it, so a
// failed flush of written data is not lost.
class FileHandle {
 public:
  bool IsOpen() const noexcept { return handle_.IsValid(); }
  HANDLE Get() const noexcept { return handle_.Get(); }
  bool Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition);
  bool Close() noexcept;
  bool Seek(int64_t offset, DWORD origin, uint64_t* new_position) noexcept;

 private:
  base::ScopedKernelHandle handle_;
};

class CInFileStream final : public IInStream,
                            public IStreamGetSize,
                            public IStreamGetProps,
                            public IStreamGetProps2,
                            public CMyUnknownImp {
 public:
  CInFileStream() = default;
  virtual ~CInFileStream() = default;

  // Read access; others may read (or also write, with the second form).
  bool Open(const std::wstring& path);
  bool OpenShared(const std::wstring& path);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ARC_IMPLEMENT_ADDREF_RELEASE

  HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processed) noexcept override;
  HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* new_position) noexcept override;
  HRESULT STDMETHODCALLTYPE GetSize(UINT64* size) noexcept override;
  HRESULT STDMETHODCALLTYPE GetProps(UINT64* size, FILETIME* ctime, FILETIME* atime, FILETIME* mtime,
                                     UINT32* attrib) noexcept override;
  HRESULT STDMETHODCALLTYPE GetProps2(StreamFileProps* props) noexcept override;

 private:
  FileHandle file_;
  bool report_hard_links_ = false;
};

class COutFileStream final : public IOutStream, public CMyUnknownImp {
 public:
  COutFileStream() = default;
  virtual ~COutFileStream() = default;

  // Create-always set: create or truncate; clear: a new file only (fails with
  // ERROR_FILE_EXISTS when one is there).
  bool Create(const std::wstring& path, bool create_always);
  bool Open(const std::wstring& path, DWORD creation_disposition);
  HRESULT Close() noexcept;
  bool SetModificationTime(const FILETIME& mtime) noexcept;
  uint64_t WrittenSize() const noexcept { return written_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ARC_IMPLEMENT_ADDREF_RELEASE

  HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processed) noexcept override;
  HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* new_position) noexcept override;
  HRESULT STDMETHODCALLTYPE SetSize(UINT64 new_size) noexcept override;

 private:
  FileHandle file_;
  uint64_t written_ = 0;
};

}  // namespace arc
