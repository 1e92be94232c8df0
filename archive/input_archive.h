// One archive file opened by the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/archive_handler.h"
#include "archive/archive_prop_variant.h"
#include "archive/com_object.h"
#include "archive/seven_zip_interfaces.h"

namespace arc {

class ExtractCallback;

class InputArchive {
 public:
  // Opens `path` with the handler's format; throws ArchiveException.
  InputArchive(const ArchiveHandler& handler, const std::wstring& path);
  // Releases the engine object without closing it.
  virtual ~InputArchive() = default;
  InputArchive(const InputArchive&) = delete;
  InputArchive& operator=(const InputArchive&) = delete;

  uint32_t CountItems() const;
  ArchivePropVariant ReadItemProperty(uint32_t index, PROPID property) const;
  bool IsFolderItem(uint32_t index) const;
  // An empty list means every item.
  void ExtractItems(const std::vector<uint32_t>& indices, ExtractCallback* callback) const;
  void CloseArchive();
  void QueryOutArchive(IOutArchive** out) const;

 private:
  ComPtr<IInArchive> in_archive_;
  const ArchiveFormat& format_;
};

}  // namespace arc
