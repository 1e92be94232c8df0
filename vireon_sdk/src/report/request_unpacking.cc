#include "vireon_sdk/src/report/request_unpacking.h"

#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/package_records.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/utils/guarded.h"

namespace vireon {
namespace {

bool Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return false;
}

std::string CodecError(const char* what, int rc, const TagStream& stream) {
  return std::string(what) + " does not decode (" + std::to_string(rc) + "): " + stream.error();
}

bool Unpack(std::string_view frame, std::string_view private_key_pem, UnpackedRequest* out, std::string* error) {
  if (frame.size() < 4) return Fail(error, "frame shorter than 4 bytes");
  if (frame.size() > kMaxFrameBytes) return Fail(error, "frame longer than 65535 bytes");
  const size_t declared = (size_t{static_cast<uint8_t>(frame[0])} << 8) | static_cast<uint8_t>(frame[1]);
  if (declared != frame.size())
    return Fail(error, "frame length field says " + std::to_string(declared) + ", received " +
                           std::to_string(frame.size()));
  if (frame.substr(frame.size() - 2) != "\r\n") return Fail(error, "frame does not end in CR LF");

  TagStream stream;
  if (stream.SetContent(frame.substr(2, frame.size() - 4)) != kTagOk) return Fail(error, "out of memory");
  SocketRequestPackage socket_package;
  if (int rc = socket_package.Read(stream); rc != kTagOk)
    return Fail(error, CodecError("socket request package", rc, stream));
  if (DecodeStringMap(socket_package.headers, &out->headers) != kTagOk)
    return Fail(error, "header map holds a field that is not a string");

  const std::string* vir_key = nullptr;
  for (const auto& [name, value] : out->headers) {
    if (name == "vir_key") {
      vir_key = &value;
      break;
    }
  }
  if (vir_key == nullptr) return Fail(error, "no vir_key header");
  out->default_key = *vir_key == kDefaultEncryptedSessionKey;
  out->key_text = RecoverSessionKey(*vir_key, private_key_pem);
  if (out->key_text.empty()) return Fail(error, "session key cannot be recovered from vir_key");

  if (socket_package.body.length() % 16 != 0) return Fail(error, "body is not whole cipher blocks");
  const auto plain = DecryptBody(socket_package.body, out->key_text, kMaxRequestPlainBytes);
  if (!plain)
    return Fail(error, "body does not decrypt and decompress within " + std::to_string(kMaxRequestPlainBytes) +
                           " bytes");

  if (stream.SetContent(plain->view()) != kTagOk) return Fail(error, "out of memory");
  RequestPackage request;
  if (int rc = request.Read(stream); rc != kTagOk) return Fail(error, CodecError("request package", rc, stream));
  out->version = request.version;
  out->app_key = request.app_key.view();
  out->sdk_version = request.sdk_version.view();
  out->platform = request.platform.view();
  if (request.events.count() != 1)
    return Fail(error, "request holds " + std::to_string(request.events.count()) + " events, not one");

  TagStream element;
  if (element.SetContent(request.events.element(0)) != kTagOk) return Fail(error, "out of memory");
  EventRecord record;
  if (int rc = element.ReadStruct(&record); rc != kTagOk) return Fail(error, CodecError("event", rc, element));
  UnpackedEvent event;
  event.event_code = record.event_code.view();
  event.event_time = record.event_time;
  if (DecodeStringMap(record.params, &event.params) != kTagOk)
    return Fail(error, "event has a parameter that is not a string");
  out->events.push_back(std::move(event));
  return true;
}

}  // namespace

bool UnpackRequestFrame(std::string_view frame, std::string_view private_key_pem, UnpackedRequest* out,
                        std::string* error) {
  if (out == nullptr) return false;
  if (error != nullptr) error->clear();
  *out = UnpackedRequest{};
  const bool ok = utils::Guarded(false, [&] { return Unpack(frame, private_key_pem, out, error); });
  if (!ok && error != nullptr && error->empty()) *error = "out of memory";
  return ok;
}

}  // namespace vireon
