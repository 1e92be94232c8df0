// Writes one archive as numbered volume files of a fixed size:
// archive.7z.001, archive.7z.002, ...
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/com_object.h"
#include "archive/file_streams.h"
#include "archive/seven_zip_interfaces.h"

namespace arc {

// Name of volume number `index` (from 0): base name + index + 1 with at least
// three digits.
std::wstring VolumeFileName(const std::wstring& base_name, uint32_t index);

class CMultiVolOutStream final : public IOutStream, public CMyUnknownImp {
 public:
  CMultiVolOutStream(uint64_t volume_size, const std::wstring& archive_path);
  virtual ~CMultiVolOutStream() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ARC_IMPLEMENT_ADDREF_RELEASE

  HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processed) noexcept override;
  HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* new_position) noexcept override;
  HRESULT STDMETHODCALLTYPE SetSize(UINT64 new_size) noexcept override;

 private:
  struct Volume {
    ComPtr<COutFileStream> stream;
    std::wstring name;
    uint64_t position = 0;
    uint64_t real_size = 0;
  };

  uint64_t volume_size_;
  std::wstring base_name_;
  size_t volume_index_ = 0;
  uint64_t volume_position_ = 0;
  uint64_t absolute_position_ = 0;
  uint64_t length_ = 0;
  std::vector<Volume> volumes_;
};

}  // namespace arc
