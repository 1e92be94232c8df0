// Test support: devices that answer I/O controls from recorded data, for the
// disk and volume probes where Wine has no real disk behind the call. Handles
// are real (unnamed events), so the code under test owns and closes them as
// it would a device handle.
#pragma once

#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/device_io.h"

namespace base_testing {

struct FakeAnswer {
  bool ok = true;
  DWORD error = ERROR_INVALID_FUNCTION;
  std::vector<uint8_t> out;
  std::optional<DWORD> returned;  // the byte count reported; out.size() (capped) by default
};

// A successful answer with these bytes; `returned` overrides the byte count.
inline FakeAnswer Answer(std::vector<uint8_t> out, std::optional<DWORD> returned = std::nullopt) {
  FakeAnswer answer;
  answer.out = std::move(out);
  answer.returned = returned;
  return answer;
}

// A failed I/O control.
inline FakeAnswer Refusal(DWORD error = ERROR_INVALID_FUNCTION) {
  FakeAnswer answer;
  answer.ok = false;
  answer.error = error;
  return answer;
}

class FakeDeviceIo : public base::DeviceIo {
 public:
  // An I/O control answer may depend on the request bytes.
  using Responder = std::function<std::optional<FakeAnswer>(DWORD code, const std::vector<uint8_t>& in)>;

  struct Device {
    bool opens = true;
    DWORD open_error = ERROR_ACCESS_DENIED;
    std::map<DWORD, FakeAnswer> answers;  // by I/O control code
    Responder responder;                  // asked first
  };

  struct OpenCall {
    std::wstring path;
    DWORD access;
    DWORD share;
  };
  struct ControlCall {
    std::wstring path;
    DWORD code;
    std::vector<uint8_t> in;
    DWORD out_size;
  };

  Device& Add(const std::wstring& path) { return devices_[path]; }

  base::ScopedKernelHandle Open(const std::wstring& path, DWORD access, DWORD share) override {
    opens.push_back({path, access, share});
    const auto found = devices_.find(path);
    if (found == devices_.end() || !found->second.opens) {
      ::SetLastError(found == devices_.end() ? ERROR_FILE_NOT_FOUND : found->second.open_error);
      return base::ScopedKernelHandle();
    }
    base::ScopedKernelHandle handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    paths_[handle.Get()] = path;
    return handle;
  }

  bool Control(HANDLE device, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
               DWORD* returned) override {
    const std::wstring path = paths_.count(device) != 0 ? paths_[device] : L"?";
    std::vector<uint8_t> request(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + (in ? in_size : 0));
    controls.push_back({path, code, request, out_size});
    Device& dev = devices_[path];
    std::optional<FakeAnswer> answer;
    if (dev.responder) answer = dev.responder(code, request);
    if (!answer) {
      const auto found = dev.answers.find(code);
      if (found != dev.answers.end()) answer = found->second;
    }
    if (!answer || !answer->ok) {
      ::SetLastError(answer ? answer->error : ERROR_INVALID_FUNCTION);
      return false;
    }
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(out_size, answer->out.size()));
    if (count > 0) std::memcpy(out, answer->out.data(), count);
    if (returned != nullptr) *returned = answer->returned.value_or(count);
    return true;
  }

  // The I/O control codes sent to `path`, in order.
  std::vector<DWORD> CodesSentTo(const std::wstring& path) const {
    std::vector<DWORD> codes;
    for (const ControlCall& call : controls) {
      if (call.path == path) codes.push_back(call.code);
    }
    return codes;
  }

  bool WasOpened(const std::wstring& path) const {
    return std::any_of(opens.begin(), opens.end(), [&](const OpenCall& call) { return call.path == path; });
  }

  std::vector<OpenCall> opens;
  std::vector<ControlCall> controls;

 private:
  std::map<std::wstring, Device> devices_;
  std::map<HANDLE, std::wstring> paths_;
};

// Bytes of a plain record, for building answers.
template <typename T>
std::vector<uint8_t> BytesOf(const T& value) {
  const auto* begin = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(begin, begin + sizeof(T));
}

// First 32-bit word of a request (the property id of a property query).
inline DWORD FirstWord(const std::vector<uint8_t>& in) {
  DWORD word = 0;
  if (in.size() >= sizeof(word)) std::memcpy(&word, in.data(), sizeof(word));
  return word;
}

// A storage device descriptor that reports only its bus.
inline std::vector<uint8_t> DescriptorWithBus(STORAGE_BUS_TYPE bus) {
  STORAGE_DEVICE_DESCRIPTOR descriptor{};
  descriptor.Version = sizeof(descriptor);
  descriptor.Size = sizeof(descriptor);
  descriptor.BusType = bus;
  return BytesOf(descriptor);
}

// What one physical disk answers to the three solid-state questions (TRIM,
// seek penalty, ATA IDENTIFY's rotation rate); an empty optional means the
// query fails.
struct DiskFacts {
  std::optional<bool> trim;
  std::optional<bool> seek_penalty;
  DWORD seek_returned = 12;
  std::optional<uint16_t> rotation;
  DWORD ata_returned = 560;
};

inline FakeDeviceIo::Responder DiskResponder(const DiskFacts& facts) {
  return [facts](DWORD code, const std::vector<uint8_t>& in) -> std::optional<FakeAnswer> {
    if (code == IOCTL_STORAGE_QUERY_PROPERTY) {
      struct FlagAnswer {
        DWORD version;
        DWORD size;
        BOOLEAN flag;
      };
      const DWORD property = FirstWord(in);
      const std::optional<bool>& value = property == 8 ? facts.trim : facts.seek_penalty;
      if ((property != 7 && property != 8) || !value) return Refusal();
      const FlagAnswer answer{12, 12, static_cast<BOOLEAN>(*value ? 1 : 0)};
      return Answer(BytesOf(answer), property == 7 ? facts.seek_returned : 12);
    }
    if (code == IOCTL_ATA_PASS_THROUGH) {
      if (!facts.rotation) return Refusal();
      std::vector<uint8_t> answer = in;  // the request comes back with the data filled in
      answer.resize(560);
      std::memcpy(answer.data() + 48 + 217 * 2, &*facts.rotation, 2);
      return Answer(answer, facts.ata_returned);
    }
    return Refusal();
  };
}

}  // namespace base_testing
