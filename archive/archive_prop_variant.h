// An owning PROPVARIANT: item properties come from the engine in it and
// creation properties go to it. It has exactly a PROPVARIANT's layout, so an
// array of them can be passed where the engine expects PROPVARIANTs.
#pragma once

#include <windows.h>
#include <propidl.h>

#include <cstdint>
#include <string>

namespace arc {

enum class ArchivePropVariantKind {
  Empty = 0,
  Bool = 1,
  String = 2,
  UInt8 = 3,
  UInt16 = 4,
  UInt32 = 5,
  UInt64 = 6,
  Int8 = 7,
  Int16 = 8,
  Int32 = 9,
  Int64 = 10,
  FileTime = 11,
};

class ArchivePropVariant : public PROPVARIANT {
 public:
  ArchivePropVariant() noexcept;
  explicit ArchivePropVariant(bool value) noexcept;
  explicit ArchivePropVariant(uint32_t value) noexcept;
  explicit ArchivePropVariant(uint64_t value) noexcept;
  explicit ArchivePropVariant(const FILETIME& value) noexcept;
  explicit ArchivePropVariant(const wchar_t* value);  // null gives a string without text
  explicit ArchivePropVariant(const std::wstring& value);
  ArchivePropVariant(ArchivePropVariant&& other) noexcept;
  ArchivePropVariant& operator=(ArchivePropVariant&& other) noexcept;
  ArchivePropVariant(const ArchivePropVariant&) = delete;
  ArchivePropVariant& operator=(const ArchivePropVariant&) = delete;
  ~ArchivePropVariant();

  void Clear() noexcept;
  // Hands the value to an engine out-parameter; this one is empty afterwards.
  void Detach(PROPVARIANT* out) noexcept;

  bool IsEmpty() const noexcept { return vt == VT_EMPTY; }
  bool IsString() const noexcept { return vt == VT_BSTR; }
  bool IsUnsigned32() const noexcept { return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT; }

  bool AsBool() const;
  std::wstring AsString() const;
  uint32_t AsUInt32() const;
  FILETIME AsFileTime() const;

  ArchivePropVariantKind Kind() const;

 private:
  void TakeValueFrom(ArchivePropVariant& other) noexcept;
};

static_assert(sizeof(ArchivePropVariant) == sizeof(PROPVARIANT));

}  // namespace arc
