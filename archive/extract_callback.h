// What the engine calls while it extracts: ExtractCallback answers progress
// and passwords, FileExtractCallback writes each item below an output folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "archive/callback.h"
#include "archive/file_streams.h"
#include "archive/input_archive.h"
#include "archive/seven_zip_interfaces.h"

namespace arc {

class ExtractCallback : public IArchiveExtractCallback,
                        public ICompressProgressInfo,
                        public ICryptoGetTextPassword,
                        public Callback {
 public:
  ExtractCallback(const ArchiveHandler& handler, const InputArchive& archive)
      : Callback(handler), archive_(archive) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ARC_IMPLEMENT_ADDREF_RELEASE

  HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) noexcept override;
  HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* completed) noexcept override;
  HRESULT STDMETHODCALLTYPE SetRatioInfo(const UINT64* in_size, const UINT64* out_size) noexcept override;
  HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) noexcept override;

 protected:
  const InputArchive& archive_;
  bool extract_mode_ = true;
  uint64_t error_count_ = 0;
};

class FileExtractCallback final : public ExtractCallback {
 public:
  FileExtractCallback(const ArchiveHandler& handler, const InputArchive& archive, const std::wstring& in_file,
                      const std::wstring& out_dir);

  HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialOutStream** out_stream,
                                      INT32 ask_extract_mode) noexcept override;
  HRESULT STDMETHODCALLTYPE PrepareOperation(INT32 ask_extract_mode) noexcept override;
  HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) noexcept override;

 private:
  HRESULT OpenItem(UINT32 index, ISequentialOutStream** out_stream, INT32 ask_extract_mode);

  std::wstring in_file_;
  std::wstring out_dir_;
  std::wstring item_path_;
  std::wstring disk_path_;
  FILETIME mtime_{};
  uint32_t attributes_ = 0;
  bool is_dir_ = false;
  bool attributes_defined_ = false;
  bool mtime_defined_ = false;
  ComPtr<COutFileStream> stream_;
};

}  // namespace arc
