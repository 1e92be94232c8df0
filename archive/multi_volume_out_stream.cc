#include "archive/multi_volume_out_stream.h"

#include <algorithm>
#include <cstdio>

#include "archive/file_system.h"

namespace arc {

std::wstring VolumeFileName(const std::wstring& base_name, uint32_t index) {
  wchar_t digits[16];
  std::swprintf(digits, 16, L"%03u", index + 1);
  return base_name + digits;
}

CMultiVolOutStream::CMultiVolOutStream(uint64_t volume_size, const std::wstring& archive_path)
    : volume_size_(volume_size), base_name_(archive_path + L".") {}

HRESULT CMultiVolOutStream::QueryInterface(REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOutStream) {
    *out = static_cast<IOutStream*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

HRESULT CMultiVolOutStream::Write(const void* data, UINT32 size, UINT32* processed) noexcept {
  if (processed != nullptr) *processed = 0;
  if (size == 0) return S_OK;
  if (volume_size_ == 0) return E_FAIL;

  // Find the volume of the current position, creating volumes as needed.
  for (;;) {
    while (volume_index_ < volumes_.size() && volume_position_ >= volume_size_) {
      volume_position_ -= volume_size_;
      ++volume_index_;
    }
    if (volume_index_ < volumes_.size()) break;
    Volume volume;
    volume.name = VolumeFileName(base_name_, static_cast<uint32_t>(volumes_.size()));
    ComPtr<COutFileStream> stream(new COutFileStream);
    if (!stream->Create(volume.name, false)) return LastErrorResult();
    volume.stream = stream;
    volumes_.push_back(std::move(volume));
  }

  Volume& volume = volumes_[volume_index_];
  if (volume.position != volume_position_) {
    UINT64 ignored = 0;
    const HRESULT seek = volume.stream->Seek(static_cast<INT64>(volume_position_), FILE_BEGIN, &ignored);
    if (seek != S_OK) return seek;
    volume.position = volume_position_;
  }
  const auto chunk = static_cast<UINT32>(std::min<uint64_t>(size, volume_size_ - volume_position_));
  UINT32 written = 0;
  const HRESULT result = volume.stream->Write(data, chunk, &written);
  volume.position += written;
  volume_position_ += written;
  absolute_position_ += written;
  length_ = std::max(length_, absolute_position_);
  volume.real_size = std::max(volume.real_size, volume.position);
  if (processed != nullptr) *processed = written;
  if (volume.position == volume_size_) {
    ++volume_index_;
    volume_position_ = 0;
  }
  if (result != S_OK) return result;
  return written == 0 ? E_FAIL : S_OK;
}

HRESULT CMultiVolOutStream::Seek(INT64 offset, UINT32 origin, UINT64* new_position) noexcept {
  switch (origin) {
    case FILE_BEGIN: absolute_position_ = static_cast<uint64_t>(offset); break;
    case FILE_CURRENT: absolute_position_ += static_cast<uint64_t>(offset); break;
    case FILE_END: absolute_position_ = length_ + static_cast<uint64_t>(offset); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  // The next Write walks forward from the first volume.
  volume_position_ = absolute_position_;
  volume_index_ = 0;
  if (new_position != nullptr) *new_position = absolute_position_;
  return S_OK;
}

HRESULT CMultiVolOutStream::SetSize(UINT64 new_size) noexcept {
  uint64_t remaining = new_size;
  size_t i = 0;
  for (; i < volumes_.size(); ++i) {
    Volume& volume = volumes_[i];
    if (remaining < volume.real_size) {
      const HRESULT result = volume.stream->SetSize(remaining);
      if (result != S_OK) return result;
      volume.real_size = remaining;
      ++i;
      break;
    }
    remaining -= volume.real_size;
  }
  while (volumes_.size() > i) {
    Volume& last = volumes_.back();
    last.stream->Close();
    last.stream.Reset();
    if (!DeleteFileForce(last.name)) return LastErrorResult();
    volumes_.pop_back();
  }
  volume_position_ = absolute_position_;
  volume_index_ = 0;
  length_ = new_size;
  return S_OK;
}

}  // namespace arc
