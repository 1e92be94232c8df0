// The common base of every archive operation: the engine library, the
// password and the optional observers that the engine callbacks report to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/archive_format.h"
#include "archive/seven_zip_library.h"

namespace arc {

using TotalObserver = std::function<void(uint64_t total)>;
using ProgressObserver = std::function<void(uint64_t completed)>;
using RatioObserver = std::function<void(uint64_t in_size, uint64_t out_size)>;
using FileObserver = std::function<void(const std::wstring& file_name)>;
using PasswordProvider = std::function<std::wstring()>;

class ArchiveHandler {
 public:
  explicit ArchiveHandler(const SevenZipLibrary& library) : library_(library) {}
  virtual const ArchiveFormat& Format() const = 0;
  virtual void SetPassword(const std::wstring& password) { password_ = password; }
  virtual ~ArchiveHandler() = default;

  const SevenZipLibrary& Library() const noexcept { return library_; }
  bool HasPassword() const noexcept { return !password_.empty(); }
  std::wstring Password() const { return password_; }

  // The observers are empty unless set; callbacks call only those that are.
  void SetTotalObserver(TotalObserver observer) { total_observer_ = std::move(observer); }
  void SetProgressObserver(ProgressObserver observer) { progress_observer_ = std::move(observer); }
  void SetRatioObserver(RatioObserver observer) { ratio_observer_ = std::move(observer); }
  void SetFileObserver(FileObserver observer) { file_observer_ = std::move(observer); }
  void SetPasswordProvider(PasswordProvider provider) { password_provider_ = std::move(provider); }
  TotalObserver GetTotalObserver() const { return total_observer_; }
  ProgressObserver GetProgressObserver() const { return progress_observer_; }
  RatioObserver GetRatioObserver() const { return ratio_observer_; }
  FileObserver GetFileObserver() const { return file_observer_; }
  PasswordProvider GetPasswordProvider() const { return password_provider_; }

 protected:
  std::wstring password_;

 private:
  const SevenZipLibrary& library_;
  TotalObserver total_observer_;
  ProgressObserver progress_observer_;
  RatioObserver ratio_observer_;
  FileObserver file_observer_;
  PasswordProvider password_provider_;
};

// A handler that reads archives of one format.
class ArchiveOpener : public ArchiveHandler {
 public:
  ArchiveOpener(const SevenZipLibrary& library, const ArchiveFormat& format)
      : ArchiveHandler(library), format_(format) {}
  const ArchiveFormat& Format() const override { return format_; }
  ~ArchiveOpener() override = 0;

 private:
  const ArchiveFormat& format_;
};

inline ArchiveOpener::~ArchiveOpener() = default;

}  // namespace arc
