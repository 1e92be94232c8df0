// The 7-Zip engine's COM-style interfaces, as the engine library exports them
// through its "CreateObject" entry. Only the faces this layer calls or
// implements are declared; the method order is the engine's vtable order and
// must not change.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <propidl.h>

#include <cstdint>

namespace arc {

// Interface identifiers follow {23170F69-40C1-278A-0000-00gg00ss0000}, where gg
// is the interface group and ss its number within the group.
constexpr GUID SevenZipInterfaceId(uint8_t group, uint8_t sub) {
  return GUID{0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, sub, 0x00, 0x00}};
}

inline constexpr GUID IID_IProgress = SevenZipInterfaceId(0x00, 0x05);
inline constexpr GUID IID_ISequentialInStream = SevenZipInterfaceId(0x03, 0x01);
inline constexpr GUID IID_ISequentialOutStream = SevenZipInterfaceId(0x03, 0x02);
inline constexpr GUID IID_IInStream = SevenZipInterfaceId(0x03, 0x03);
inline constexpr GUID IID_IOutStream = SevenZipInterfaceId(0x03, 0x04);
inline constexpr GUID IID_IStreamGetSize = SevenZipInterfaceId(0x03, 0x06);
inline constexpr GUID IID_IStreamGetProps = SevenZipInterfaceId(0x03, 0x08);
inline constexpr GUID IID_IStreamGetProps2 = SevenZipInterfaceId(0x03, 0x09);
inline constexpr GUID IID_ICompressProgressInfo = SevenZipInterfaceId(0x04, 0x04);
inline constexpr GUID IID_ICryptoGetTextPassword = SevenZipInterfaceId(0x05, 0x10);
inline constexpr GUID IID_ICryptoGetTextPassword2 = SevenZipInterfaceId(0x05, 0x11);
inline constexpr GUID IID_ISetProperties = SevenZipInterfaceId(0x06, 0x03);
inline constexpr GUID IID_IArchiveOpenCallback = SevenZipInterfaceId(0x06, 0x10);
inline constexpr GUID IID_IArchiveExtractCallback = SevenZipInterfaceId(0x06, 0x20);
inline constexpr GUID IID_IArchiveOpenVolumeCallback = SevenZipInterfaceId(0x06, 0x30);
inline constexpr GUID IID_IArchiveOpenSetSubArchiveName = SevenZipInterfaceId(0x06, 0x50);
inline constexpr GUID IID_IInArchive = SevenZipInterfaceId(0x06, 0x60);
inline constexpr GUID IID_IArchiveUpdateCallback = SevenZipInterfaceId(0x06, 0x80);
inline constexpr GUID IID_IArchiveUpdateCallback2 = SevenZipInterfaceId(0x06, 0x82);
inline constexpr GUID IID_IOutArchive = SevenZipInterfaceId(0x06, 0xA0);

// Item property identifiers.
enum : PROPID {
  kpidPath = 3,
  kpidName = 4,
  kpidIsDir = 6,
  kpidSize = 7,
  kpidAttrib = 9,
  kpidCTime = 10,
  kpidATime = 11,
  kpidMTime = 12,
  kpidIsAnti = 21,
};

// Ask modes of IArchiveExtractCallback::GetStream and PrepareOperation.
enum : int32_t { kAskExtract = 0, kAskTest = 1, kAskSkip = 2 };

// Results of IArchiveExtractCallback::SetOperationResult.
enum : int32_t {
  kOpResultOk = 0,
  kOpResultUnsupportedMethod = 1,
  kOpResultDataError = 2,
  kOpResultCrcError = 3,
};

// Signature of the library's exported "CreateObject".
using CreateObjectFunc = HRESULT(WINAPI*)(const GUID* class_id, const GUID* interface_id, void** out);

struct ISequentialInStream : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processed) = 0;
};

struct ISequentialOutStream : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processed) = 0;
};

struct IInStream : public ISequentialInStream {
  virtual HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* new_position) = 0;
};

struct IOutStream : public ISequentialOutStream {
  virtual HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* new_position) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSize(UINT64 new_size) = 0;
};

struct IStreamGetSize : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetSize(UINT64* size) = 0;
};

struct IStreamGetProps : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetProps(UINT64* size, FILETIME* ctime, FILETIME* atime, FILETIME* mtime,
                                             UINT32* attrib) = 0;
};

struct StreamFileProps {
  UINT64 size;
  UINT64 volume_id;
  UINT64 file_id_low;
  UINT64 file_id_high;
  UINT32 num_links;
  UINT32 attrib;
  FILETIME ctime;
  FILETIME atime;
  FILETIME mtime;
};

struct IStreamGetProps2 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetProps2(StreamFileProps* props) = 0;
};

struct IProgress : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* completed) = 0;
};

struct ICompressProgressInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetRatioInfo(const UINT64* in_size, const UINT64* out_size) = 0;
};

struct ICryptoGetTextPassword : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) = 0;
};

struct ICryptoGetTextPassword2 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CryptoGetTextPassword2(INT32* is_defined, BSTR* password) = 0;
};

struct ISetProperties : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetProperties(const wchar_t* const* names, const PROPVARIANT* values,
                                                  UINT32 count) = 0;
};

struct IArchiveOpenCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetTotal(const UINT64* files, const UINT64* bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* files, const UINT64* bytes) = 0;
};

struct IArchiveExtractCallback : public IProgress {
  virtual HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialOutStream** out_stream,
                                              INT32 ask_extract_mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE PrepareOperation(INT32 ask_extract_mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) = 0;
};

struct IArchiveOpenVolumeCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetProperty(PROPID prop_id, PROPVARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, IInStream** in_stream) = 0;
};

struct IArchiveOpenSetSubArchiveName : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetSubArchiveName(const wchar_t* name) = 0;
};

struct IInArchive : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open(IInStream* stream, const UINT64* max_check_start_position,
                                         IArchiveOpenCallback* open_callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNumberOfItems(UINT32* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID prop_id, PROPVARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Extract(const UINT32* indices, UINT32 count, INT32 test_mode,
                                            IArchiveExtractCallback* callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetArchiveProperty(PROPID prop_id, PROPVARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNumberOfProperties(UINT32* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyInfo(UINT32 index, BSTR* name, PROPID* prop_id, VARTYPE* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNumberOfArchiveProperties(UINT32* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetArchivePropertyInfo(UINT32 index, BSTR* name, PROPID* prop_id,
                                                           VARTYPE* type) = 0;
};

struct IArchiveUpdateCallback : public IProgress {
  virtual HRESULT STDMETHODCALLTYPE GetUpdateItemInfo(UINT32 index, INT32* new_data, INT32* new_props,
                                                      UINT32* index_in_archive) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID prop_id, PROPVARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialInStream** in_stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) = 0;
};

struct IArchiveUpdateCallback2 : public IArchiveUpdateCallback {
  virtual HRESULT STDMETHODCALLTYPE GetVolumeSize(UINT32 index, UINT64* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolumeStream(UINT32 index, ISequentialOutStream** volume_stream) = 0;
};

struct IOutArchive : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE UpdateItems(ISequentialOutStream* out_stream, UINT32 count,
                                                IArchiveUpdateCallback* callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFileTimeType(UINT32* type) = 0;
};

}  // namespace arc
