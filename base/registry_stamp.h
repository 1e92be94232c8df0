// Two small per-user records under the product key in HKCU: a named one-time
// marker (`MarkStore`) and a named time stamp (`DurationStamp`).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// A mark is the QWORD `name` under <product key>\Mark; any non-zero value
// means set, whoever wrote it.
class MarkStore {
 public:
  explicit MarkStore(std::wstring_view name);

  bool IsSet() const;
  bool Set() const;

  const std::wstring& name() const { return name_; }
  const std::wstring& key() const { return key_; }

 private:
  std::wstring name_;
  std::wstring key_;
};

// A stamp is the QWORD `name` under <product key>\Duration holding
// milliseconds since 1970-01-01 UTC. A stamp without a name keeps its time in
// memory only.
class DurationStamp {
 public:
  explicit DurationStamp(std::wstring_view name);

  bool Record();

  const std::wstring& name() const { return name_; }
  const std::wstring& key() const { return key_; }
  uint64_t time() const { return time_; }

 private:
  std::wstring name_;
  std::wstring key_;
  uint64_t time_ = 0;
};

}  // namespace base
