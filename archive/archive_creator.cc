#include "archive/archive_creator.h"

#include <vector>

#include "archive/archive_exception.h"
#include "archive/archive_prop_variant.h"
#include "archive/file_streams.h"
#include "archive/input_archive.h"
#include "archive/multi_volume_out_stream.h"
#include "archive/update_callback.h"

namespace arc {

void ArchiveCreator::SetPassword(const std::wstring& password) {
  password_ = password;
  header_encryption_ = header_encryption_ && !password.empty();
}

void ArchiveCreator::WriteArchiveFile(const std::wstring& archive_path, UpdateCallback& callback) const {
  // Released in reverse order, also when an exception passes.
  ComPtr<IOutArchive> out_archive = CreateOutArchive();
  std::unique_ptr<InputArchive> old_archive;
  ComPtr<ISequentialOutStream> stream = OpenOutputStream(archive_path, out_archive, old_archive);
  callback.SetOldArchive(old_archive.get());
  RunUpdate(out_archive.Get(), stream.Get(), callback);
  if (old_archive) old_archive->CloseArchive();
  // The close is the last place a failed write can show (data the system
  // could not write behind): such an archive is not reported as written, nor
  // moved over the old one.
  if (auto* file = dynamic_cast<COutFileStream*>(stream.Get())) {
    const std::wstring written_path = old_archive ? archive_path + L".tmp" : archive_path;
    const HRESULT closed = file->Close();
    if (closed != S_OK) {
      throw ArchiveException(L"Cannot close output archive file '" + written_path + L"'", closed);
    }
  }
  if (old_archive) {
    if (!::MoveFileExW((archive_path + L".tmp").c_str(), archive_path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      throw ArchiveException(L"Cannot rename temp archive file to  '" + archive_path + L"'", ::GetLastError(),
                             Win32Error::kConvert);
    }
  }
}

ComPtr<IOutArchive> ArchiveCreator::CreateOutArchive() const {
  ComPtr<IOutArchive> out_archive;
  Library().CreateArchiveObject(format_.ClassId(), IID_IOutArchive, out_archive.ReceiveVoid());
  ApplyArchiveProperties(out_archive.Get());
  return out_archive;
}

void ArchiveCreator::ApplyArchiveProperties(IOutArchive* out_archive) const {
  const bool seven_zip = format_ == ArchiveFormats::SevenZipFormat;
  std::vector<std::wstring> names;
  std::vector<ArchivePropVariant> values;
  if (header_encryption_ && format_.HasFeature(HeaderEncryption)) {
    names.emplace_back(L"he");
    values.emplace_back(true);
  }
  if (format_.HasFeature(CompressionLevel)) {
    names.emplace_back(L"x");
    values.emplace_back(compression_level_);
    if (format_.HasFeature(MultipleMethods) && compression_method_ != format_.DefaultMethod()) {
      names.emplace_back(seven_zip ? L"0" : L"m");
      values.emplace_back(CompressionMethodName(compression_method_));
    }
  }
  if (format_.HasFeature(SolidArchive)) {
    names.emplace_back(L"s");
    values.emplace_back(solid_);
  }
  if (dictionary_size_ != 0) {
    if (compression_method_ == CompressionMethod::PPMd) {
      names.emplace_back(seven_zip ? L"0mem" : L"mem");
    } else {
      names.emplace_back(seven_zip ? L"0d" : L"d");
    }
    values.emplace_back(std::to_wstring(dictionary_size_) + L"b");
  }
  if (names.empty()) return;

  ComPtr<ISetProperties> set_properties;
  if (out_archive->QueryInterface(IID_ISetProperties, set_properties.ReceiveVoid()) != S_OK || !set_properties) {
    throw ArchiveException("ISetProperties unsupported", 50);
  }
  std::vector<const wchar_t*> name_pointers;
  for (const std::wstring& name : names) name_pointers.push_back(name.c_str());
  if (set_properties->SetProperties(name_pointers.data(), values.data(), static_cast<UINT32>(values.size())) !=
      S_OK) {
    throw ArchiveException("Cannot set properties of the archive", E_INVALIDARG);
  }
}

ComPtr<ISequentialOutStream> ArchiveCreator::OpenOutputStream(const std::wstring& archive_path,
                                                               ComPtr<IOutArchive>& out_archive,
                                                               std::unique_ptr<InputArchive>& old_archive) const {
  if (volume_size_ != 0) return ComPtr<ISequentialOutStream>(new CMultiVolOutStream(volume_size_, archive_path));

  ComPtr<COutFileStream> file(new COutFileStream);
  if (file->Create(archive_path, false)) return ComPtr<ISequentialOutStream>(file.Get());
  const DWORD error = ::GetLastError();
  if (error != ERROR_FILE_EXISTS) {
    throw ArchiveException(L"Cannot create output archive file '" + archive_path + L"'", error,
                           Win32Error::kConvert);
  }
  if (!update_mode_) throw ArchiveException(L"Cannot update existing archive file '" + archive_path + L"'", 80);
  if (!format_.HasFeature(MultipleFiles)) {
    throw ArchiveException("Format does not support updating existing archive files", E_INVALIDARG);
  }
  if (!file->Create(archive_path + L".tmp", false)) {
    throw ArchiveException(L"Cannot create temp archive file for updating '" + archive_path + L"'",
                           ::GetLastError(), Win32Error::kConvert);
  }
  old_archive = std::make_unique<InputArchive>(*this, archive_path);
  ComPtr<IOutArchive> update_face;
  old_archive->QueryOutArchive(update_face.Receive());
  if (!update_face) throw ArchiveException("Unsupported operation!", 50);
  out_archive = update_face;
  ApplyArchiveProperties(out_archive.Get());
  return ComPtr<ISequentialOutStream>(file.Get());
}

void ArchiveCreator::RunUpdate(IOutArchive* out_archive, ISequentialOutStream* stream,
                               UpdateCallback& callback) const {
  const HRESULT result = out_archive->UpdateItems(stream, callback.ItemCount(), &callback);
  if (result == E_NOTIMPL) throw ArchiveException("Unsupported operation!", 50);
  if (result != S_OK) {
    std::wstring message = callback.ErrorMessage();
    if (message.empty()) message = L"Failed operation (unkwown error)!";
    throw ArchiveException(message, result);
  }
}

}  // namespace arc
