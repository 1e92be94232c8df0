#include "vireon_sdk/src/report/response_parsing.h"

#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/utils/guarded.h"

namespace vireon {

std::unique_ptr<SocketResponsePackage> ParseSocketResponsePackage(const void* reply, size_t length) {
  auto package = SocketResponsePackage::Create();
  if (!package) return nullptr;
  if (reply == nullptr || length < 4 || length - 4 > UINT32_MAX) return package;
  TagStream stream;
  if (stream.SetContent(static_cast<const uint8_t*>(reply) + 2, static_cast<uint32_t>(length - 4)) != kTagOk)
    return nullptr;
  package->Read(stream);  // what could be read stays; the rest keeps its defaults
  return package;
}

std::unique_ptr<ResponsePackage> ParseResponse(const TagBuffer& encrypted_body) {
  return ParseResponse(encrypted_body, GetDefaultSessionKey().key());
}

std::unique_ptr<ResponsePackage> ParseResponse(const TagBuffer& encrypted_body, std::string_view key_text) {
  return utils::Guarded(std::unique_ptr<ResponsePackage>(), [&]() -> std::unique_ptr<ResponsePackage> {
    const auto plain = DecryptBody(encrypted_body, key_text, kMaxAnswerPlainBytes);
    if (!plain) return nullptr;
    ResponseEnvelope envelope;
    if (DecodeResponseEnvelope(&envelope, plain->data(), plain->length()) != kTagOk) return nullptr;
    TagStream attribute_stream;
    if (attribute_stream.SetContent(envelope.attributes.view()) != kTagOk) return nullptr;
    AttributeMap attributes;
    if (ReadAttributeMap(attribute_stream, &attributes) != kTagOk) return nullptr;
    const auto detail = FindAttribute(attributes, "detail");
    if (!detail) return nullptr;
    TagStream detail_stream;
    if (detail_stream.SetContent(*detail) != kTagOk) return nullptr;
    auto response = ResponsePackage::Create();
    if (!response || detail_stream.ReadStruct(response.get()) != kTagOk) return nullptr;
    return response;
  });
}

int DecodeResponseEnvelope(ResponseEnvelope* envelope, const void* bytes, size_t length) noexcept {
  if (envelope == nullptr || (bytes == nullptr && length != 0)) return kTagBadArgument;
  if (length < 4) return kTagDecodeError;
  if (length - 4 > UINT32_MAX) return kTagBadArgument;
  const auto* p = static_cast<const uint8_t*>(bytes);
  envelope->length = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  TagStream in;
  if (int rc = in.SetContent(p + 4, static_cast<uint32_t>(length - 4)); rc != kTagOk) return rc;
  int rc = in.ReadShort(&envelope->field1, 1, true);
  if (rc == kTagOk) rc = in.ReadChar(&envelope->field2, 2);
  if (rc == kTagOk) rc = in.ReadInt32(&envelope->field3, 3, false);
  if (rc == kTagOk) rc = in.ReadInt32(&envelope->field4, 4, true);
  if (rc == kTagOk) rc = in.ReadString(&envelope->field5, 5, true);
  if (rc == kTagOk) rc = in.ReadString(&envelope->field6, 6, true);
  if (rc == kTagOk) rc = in.ReadByteList(&envelope->attributes, 7);
  if (rc == kTagOk) rc = in.ReadInt32(&envelope->field8, 8, false);
  if (rc == kTagOk) rc = in.ReadMap(&envelope->field9, 9, false);
  if (rc == kTagOk) rc = in.ReadMap(&envelope->field10, 10, false);
  return rc;
}

int ReadAttributeMap(TagStream& stream, AttributeMap* attributes) noexcept {
  if (attributes == nullptr) return kTagBadArgument;
  const int found = stream.CheckField(0, false);
  if (found == kTagFieldAbsent) return kTagOk;
  if (found != kTagOk) return found;
  if (stream.head().type != static_cast<uint8_t>(TagType::Map)) return kTagDecodeError;
  int32_t count = 0;
  if (int rc = stream.ReadInt32(&count, 0, true); rc != kTagOk) return rc;
  if (count < 0) return kTagDecodeError;
  return utils::Guarded(kTagBadArgument, [&] {
    TagBuffer key, value;
    for (int32_t i = 0; i < count; ++i) {
      if (int rc = stream.ReadString(&key, 0, true); rc != kTagOk) return rc;
      if (int rc = stream.ReadByteList(&value, 1); rc != kTagOk) return rc;
      attributes->emplace_back(std::string(key.view()), std::string(value.view()));
    }
    return kTagOk;
  });
}

std::optional<std::string_view> FindAttribute(const AttributeMap& attributes, std::string_view name) {
  for (const auto& [key, value] : attributes) {
    if (key == name) return std::string_view(value);
  }
  return std::nullopt;
}

}  // namespace vireon
