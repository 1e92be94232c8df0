#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>

#include "archive/archive_exception.h"
#include "archive/archive_format.h"
#include "archive/archive_prop_variant.h"

namespace arc {
namespace {

TEST(ArchiveExceptionTest, KeepsCodesAndConvertsMessagesToUtf8) {
  const ArchiveException from_win32(L"Datei fehlt: ü", 2u, Win32Error::kConvert);
  EXPECT_EQ(from_win32.ErrorCode(), static_cast<int32_t>(0x80070002));
  EXPECT_STREQ(from_win32.what(), "Datei fehlt: \xC3\xBC");
  EXPECT_EQ(ArchiveException(L"none", 0u, Win32Error::kConvert).ErrorCode(), 0);
  EXPECT_EQ(ArchiveException(L"wide", 110).ErrorCode(), 110);
  EXPECT_EQ(ArchiveException("narrow", E_ABORT).ErrorCode(), static_cast<int32_t>(E_ABORT));
  EXPECT_EQ(HResultFromWin32(126), static_cast<int32_t>(0x8007007E));
  EXPECT_EQ(HResultFromWin32(0x80004005u), static_cast<int32_t>(0x80004005u));  // already an HRESULT
}

TEST(ArchiveFormatTest, ClassIdsAndFeatures) {
  using namespace ArchiveFormats;
  const GUID seven_zip = SevenZipFormat.ClassId();
  const GUID expected7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};
  EXPECT_TRUE(IsEqualGUID(seven_zip, expected7z));
  const GUID expected_tar = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0xEE, 0x00, 0x00}};
  EXPECT_TRUE(IsEqualGUID(TarFormat.ClassId(), expected_tar));

  struct Row {
    const ArchiveFormat* format;
    bool multiple_files;
    bool level;
    bool solid;
  };
  const Row rows[] = {
      {&ZipFormat, true, true, false},    {&BZip2Format, false, true, false}, {&SevenZipFormat, true, true, true},
      {&XzFormat, false, true, false},    {&WimFormat, true, false, false},   {&TarFormat, true, false, false},
      {&GZipFormat, false, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.format->Id()));
    EXPECT_EQ(row.format->HasFeature(MultipleFiles), row.multiple_files);
    EXPECT_EQ(row.format->HasFeature(CompressionLevel), row.level);
    EXPECT_EQ(row.format->HasFeature(SolidArchive), row.solid);
  }
  EXPECT_TRUE(SevenZipFormat.HasFeature(HeaderEncryption));
  EXPECT_FALSE(ZipFormat.HasFeature(HeaderEncryption));
  EXPECT_FALSE(SevenZipFormat.HasFeature(128));  // beyond the tested bits
  EXPECT_EQ(SevenZipFormat, ArchiveFormat(7, L".other", CompressionMethod::Copy, 0));
  EXPECT_EQ(CompressionMethodName(CompressionMethod::LZMA2), L"LZMA2");
  EXPECT_EQ(CompressionMethodName(static_cast<CompressionMethod>(42)), L"");
}

void ExpectThrowsWithText(const std::function<void()>& body, const char* text, HRESULT code) {
  try {
    body();
    ADD_FAILURE() << "no exception; expected " << text;
  } catch (const ArchiveException& e) {
    EXPECT_STREQ(e.what(), text);
    EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(code));
  }
}

TEST(ArchivePropVariantTest, TypedReadsAndKinds) {
  EXPECT_TRUE(ArchivePropVariant().IsEmpty());
  EXPECT_TRUE(ArchivePropVariant(true).AsBool());
  EXPECT_EQ(ArchivePropVariant(true).boolVal, VARIANT_TRUE);
  EXPECT_FALSE(ArchivePropVariant(false).AsBool());
  EXPECT_EQ(ArchivePropVariant(uint32_t{7}).AsUInt32(), 7u);
  EXPECT_EQ(ArchivePropVariant(std::wstring(L"abc")).AsString(), L"abc");
  const ArchivePropVariant null_string(static_cast<const wchar_t*>(nullptr));
  EXPECT_TRUE(null_string.IsString());
  EXPECT_EQ(null_string.AsString(), L"");
  const FILETIME time{0x12345678, 0x01D00000};
  EXPECT_EQ(ArchivePropVariant(time).AsFileTime().dwLowDateTime, 0x12345678u);
  EXPECT_EQ(ArchivePropVariant(uint64_t{5}).Kind(), ArchivePropVariantKind::UInt64);

  ArchivePropVariant small;
  small.vt = VT_UI1;
  small.bVal = 200;
  EXPECT_TRUE(small.IsUnsigned32());
  EXPECT_EQ(small.AsUInt32(), 200u);
  EXPECT_EQ(small.Kind(), ArchivePropVariantKind::UInt8);

  ExpectThrowsWithText([] { (void)ArchivePropVariant(uint64_t{1}).AsUInt32(); },
                       "ArchivePropVariant is not a 32-bits unsigned integer", E_FAIL);
  ExpectThrowsWithText([] { (void)ArchivePropVariant(uint32_t{1}).AsBool(); }, "ArchivePropVariant is not a bool",
                       E_FAIL);
  ExpectThrowsWithText([] { (void)ArchivePropVariant(true).AsString(); }, "ArchivePropVariant is not a string",
                       E_FAIL);
  ExpectThrowsWithText([] { (void)ArchivePropVariant().AsFileTime(); }, "ArchivePropVariant is not a FILETIME",
                       E_FAIL);
  ExpectThrowsWithText(
      [] {
        ArchivePropVariant real;
        real.vt = VT_R8;
        real.dblVal = 1.5;
        (void)real.Kind();
      },
      "Property type not supported", E_INVALIDARG);
}

TEST(ArchivePropVariantTest, MovesOwnStringsOnce) {
  ArchivePropVariant source(std::wstring(L"moved text"));
  const BSTR held = source.bstrVal;
  ArchivePropVariant target(std::move(source));
  EXPECT_EQ(target.bstrVal, held);
  EXPECT_EQ(source.bstrVal, nullptr);  // NOLINT: the moved-from state is part of the contract
  ArchivePropVariant other(uint32_t{3});
  other = std::move(target);
  EXPECT_EQ(other.AsString(), L"moved text");
  other = std::move(other);  // self-assignment keeps the value
  EXPECT_EQ(other.AsString(), L"moved text");
  other.Clear();
  EXPECT_TRUE(other.IsEmpty());

  PROPVARIANT out;
  PropVariantInit(&out);
  ArchivePropVariant(std::wstring(L"to engine")).Detach(&out);
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(out.bstrVal), L"to engine");
  ::SysFreeString(out.bstrVal);
}

}  // namespace
}  // namespace arc
