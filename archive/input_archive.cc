#include "archive/input_archive.h"

#include <string>

#include "archive/archive_exception.h"
#include "archive/archive_prop_variant.h"
#include "archive/extract_callback.h"
#include "archive/file_streams.h"
#include "archive/open_callback.h"

namespace arc {
namespace {

// The engine decodes with one thread per processor by default, which for a
// solid LZMA2 archive means output buffers the size of the data (1.6 GB for a
// 1 GiB archive) and, under Wine especially, most of the time spent faulting
// that memory in. One decoder thread is both leaner and faster for the
// archives an install unpacks. An engine that does not know the property
// decodes as it likes.
void UseOneDecoderThread(IInArchive& archive) {
  ComPtr<ISetProperties> properties;
  if (archive.QueryInterface(IID_ISetProperties, properties.ReceiveVoid()) != S_OK || !properties) return;
  const wchar_t* names[] = {L"mt"};
  ArchivePropVariant one(static_cast<uint32_t>(1));
  properties->SetProperties(names, &one, 1);
}

}  // namespace

InputArchive::InputArchive(const ArchiveHandler& handler, const std::wstring& path) : format_(handler.Format()) {
  ComPtr<CInFileStream> stream(new CInFileStream);
  if (!stream->Open(path)) throw ArchiveException(L"Cannot open archive file '" + path + L"'", 110);
  handler.Library().CreateArchiveObject(format_.ClassId(), IID_IInArchive, in_archive_.ReceiveVoid());
  ComPtr<OpenCallback> open_callback(new OpenCallback(handler, path));
  const HRESULT result = in_archive_->Open(stream.Get(), nullptr, open_callback.Get());
  if (result != S_OK) throw ArchiveException(L"Cannot open archive '" + path + L"'", 110);
  UseOneDecoderThread(*in_archive_.Get());
}

uint32_t InputArchive::CountItems() const {
  UINT32 count = 0;
  const HRESULT result = in_archive_->GetNumberOfItems(&count);
  if (result != S_OK) throw ArchiveException("Could not retrieve the number of items in the archive", result);
  return count;
}

ArchivePropVariant InputArchive::ReadItemProperty(uint32_t index, PROPID property) const {
  ArchivePropVariant value;
  const HRESULT result = in_archive_->GetProperty(index, property, &value);
  if (result != S_OK) {
    throw ArchiveException("Could not retrieve property for item at index " + std::to_string(index), result);
  }
  return value;
}

bool InputArchive::IsFolderItem(uint32_t index) const {
  const ArchivePropVariant value = ReadItemProperty(index, kpidIsDir);
  return !value.IsEmpty() && value.AsBool();
}

void InputArchive::ExtractItems(const std::vector<uint32_t>& indices, ExtractCallback* callback) const {
  const UINT32* list = indices.empty() ? nullptr : indices.data();
  const UINT32 count = indices.empty() ? 0xFFFFFFFFu : static_cast<UINT32>(indices.size());
  const HRESULT result = in_archive_->Extract(list, count, 0, callback);
  if (result != S_OK) throw ArchiveException(callback->ErrorMessage(), result);
}

void InputArchive::CloseArchive() { in_archive_->Close(); }

void InputArchive::QueryOutArchive(IOutArchive** out) const {
  in_archive_->QueryInterface(IID_IOutArchive, reinterpret_cast<void**>(out));
}

}  // namespace arc
