#include "vireon_sdk/src/report/request_packing.h"

#include <chrono>
#include <cstring>
#include <limits>

#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/utils/guarded.h"

namespace vireon {
namespace {

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Like strtoll in base 10, but says when there is no number or it is out of range.
std::optional<int64_t> ParseLeadingInt64(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t first_digit = i;
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (i == first_digit) return std::nullopt;
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

}  // namespace

size_t EscapeParamValue(const char* source, size_t source_length, char* destination, size_t destination_size) {
  if (source == nullptr || destination == nullptr || source_length < 1 || destination_size < 1) return 0;
  size_t out = 0;
  for (size_t i = 0; i < source_length; ++i) {
    const char* escape = nullptr;
    char plain = source[i];
    switch (source[i]) {
      case '\n':
      case '\r': plain = ' '; break;
      case '&': escape = "%26"; break;
      case '+': escape = "%2B"; break;
      case '=': escape = "%3D"; break;
      case '|': escape = "%7C"; break;
      default: break;
    }
    const size_t n = escape != nullptr ? 3 : 1;
    if (out + n + 1 > destination_size) break;  // keep room for the NUL
    if (escape != nullptr) {
      std::memcpy(destination + out, escape, 3);
    } else {
      destination[out] = plain;
    }
    out += n;
  }
  destination[out] = '\0';
  return out;
}

std::string EscapeParamValue(std::string_view value) {
  std::string out(value.size() * 3 + 1, '\0');
  EscapeParamValue(value.data(), value.size(), out.data(), out.size());
  out.resize(std::strlen(out.c_str()));  // a NUL inside the value ends it
  return out;
}

int64_t ReadEventTime(const ReportParams& params) {
  const auto it = params.find("event_time");
  if (it == params.end()) return NowMs();
  return ParseLeadingInt64(it->second).value_or(NowMs());
}

int FillRequestPackage(RequestPackage* package, std::string_view app_key) {
  package->version = 2;
  if (int rc = package->app_key.Assign(app_key); rc != kTagOk) return rc;
  if (int rc = package->sdk_version.Assign(kSdkVersion); rc != kTagOk) return rc;
  return package->platform.Assign(kSdkPlatform);
}

std::unique_ptr<RequestPackage> FillEventRecord(std::string_view event_code, const ReportParams& params,
                                                std::string_view app_key) {
  return utils::Guarded(std::unique_ptr<RequestPackage>(), [&]() -> std::unique_ptr<RequestPackage> {
    auto record = EventRecord::Create();
    if (!record) return nullptr;
    if (record->event_code.Assign(event_code.substr(0, event_code.find('\0'))) != kTagOk) return nullptr;
    record->event_time = ReadEventTime(params);
    for (const auto& [key, value] : params) {
      if (record->params.Push(key, EscapeParamValue(value)) != kTagOk) return nullptr;
    }
    TagStream encoded;
    if (encoded.WriteStruct(*record) != kTagOk) return nullptr;
    auto package = RequestPackage::Create();
    if (!package || FillRequestPackage(package.get(), app_key) != kTagOk) return nullptr;
    if (package->events.Push(encoded.buffer().view()) != kTagOk) return nullptr;
    return package;
  });
}

std::optional<TagBuffer> SerializeRequestPackage(const RequestPackage& package) {
  TagStream out;
  if (package.Write(out) != kTagOk) return std::nullopt;
  return std::move(out.buffer());
}

std::unique_ptr<SocketRequestPackage> MakeSocketRequestPackage(const TagBuffer& encrypted_body,
                                                               const SessionKeyPair& key) {
  auto package = SocketRequestPackage::Create();
  if (!package) return nullptr;
  const std::pair<std::string_view, std::string_view> headers[] = {
      {"sdk_platform", "2"},
      {"encr_type", "rsapost"},
      {"version", "v2"},
      {"cmd", "request_v2"},
      {"vir_key", key.encrypted().substr(0, kEncryptedSessionKeyLength)},
      {"wup_version", "3.0"},
      {"TYPE_COMPRESS", "2"},
  };
  for (const auto& [name, value] : headers) {
    if (package->headers.Push(name, value) != kTagOk) return nullptr;
  }
  if (package->body.Assign(encrypted_body.view()) != kTagOk) return nullptr;
  return package;
}

std::optional<TagBuffer> FrameSocketRequest(const SocketRequestPackage& package) {
  TagStream payload;
  if (package.Write(payload) != kTagOk) return std::nullopt;
  const size_t total = size_t{payload.buffer().length()} + 4;
  // The length field would keep only the low 16 bits and the collector would
  // cut the request apart; such an event cannot be sent.
  if (total > kMaxFrameBytes) return std::nullopt;
  const uint8_t head[2] = {static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total)};
  const uint8_t tail[2] = {0x0D, 0x0A};
  TagBuffer frame;
  if (frame.Reserve(static_cast<uint32_t>(total)) != kTagOk || frame.Append(head, 2) != kTagOk ||
      frame.Append(payload.buffer().data(), payload.buffer().length()) != kTagOk || frame.Append(tail, 2) != kTagOk)
    return std::nullopt;
  return frame;
}

bool PackRequest(std::string_view event_code, const ReportParams& params, std::string_view app_key,
                 std::string* out_body) {
  if (event_code.empty()) return false;
  return PackRequest(event_code, params, app_key, GetDefaultSessionKey(), out_body);
}

bool PackRequest(std::string_view event_code, const ReportParams& params, std::string_view app_key,
                 const SessionKeyPair& key, std::string* out_body) {
  if (event_code.empty() || out_body == nullptr) return false;
  return utils::Guarded(false, [&] {
    const auto package = FillEventRecord(event_code, params, app_key);
    if (!package) return false;
    const auto plain = SerializeRequestPackage(*package);
    if (!plain) return false;
    const auto body = EncryptBody(*plain, key.key());
    if (!body) return false;
    const auto socket_package = MakeSocketRequestPackage(*body, key);
    if (!socket_package) return false;
    const auto frame = FrameSocketRequest(*socket_package);
    if (!frame) return false;
    out_body->assign(frame->view());
    return true;
  });
}

}  // namespace vireon
