// The creation settings and the road from an update callback to an archive
// file on disk, shared by every creation operation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archive_format.h"
#include "archive/archive_handler.h"
#include "archive/com_object.h"
#include "archive/seven_zip_interfaces.h"

namespace arc {

class InputArchive;
class UpdateCallback;

class ArchiveCreator : public ArchiveHandler {
 public:
  ArchiveCreator(const SevenZipLibrary& library, const ArchiveFormat& format)
      : ArchiveHandler(library), format_(format), compression_method_(format.DefaultMethod()) {}
  const ArchiveFormat& Format() const override { return format_; }
  // Header encryption stays on only while there is a password.
  void SetPassword(const std::wstring& password) override;
  ~ArchiveCreator() override = 0;

  // Writes `archive_path` from what `callback` offers; throws ArchiveException.
  void WriteArchiveFile(const std::wstring& archive_path, UpdateCallback& callback) const;

 protected:
  ComPtr<IOutArchive> CreateOutArchive() const;
  void ApplyArchiveProperties(IOutArchive* out_archive) const;
  // The stream the archive is written to; in update mode also opens the old
  // archive and replaces `out_archive` by its output face.
  ComPtr<ISequentialOutStream> OpenOutputStream(const std::wstring& archive_path, ComPtr<IOutArchive>& out_archive,
                                                std::unique_ptr<InputArchive>& old_archive) const;
  void RunUpdate(IOutArchive* out_archive, ISequentialOutStream* stream, UpdateCallback& callback) const;

 private:
  const ArchiveFormat& format_;
  uint32_t compression_level_ = 5;
  CompressionMethod compression_method_;
  uint32_t dictionary_size_ = 0;
  bool header_encryption_ = false;
  bool solid_ = false;
  bool update_mode_ = false;
  uint64_t volume_size_ = 0;
};

inline ArchiveCreator::~ArchiveCreator() = default;

}  // namespace arc
