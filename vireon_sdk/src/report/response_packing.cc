#include "vireon_sdk/src/report/response_packing.h"

#include <chrono>

#include "vireon_sdk/src/report/body_encryption.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/utils/guarded.h"

namespace vireon {

int WriteAttributeMap(TagStream& out, const AttributeMap& attributes) noexcept {
  if (attributes.size() > INT32_MAX) return kTagBadArgument;
  if (int rc = out.WriteHead(TagType::Map, 0); rc != kTagOk) return rc;
  if (int rc = out.WriteInt32(static_cast<int32_t>(attributes.size()), 0); rc != kTagOk) return rc;
  for (const auto& [key, value] : attributes) {
    if (value.size() > INT32_MAX) return kTagBadArgument;
    if (int rc = out.WriteString(key, 0); rc != kTagOk) return rc;
    if (int rc = out.WriteByteList(value.data(), static_cast<uint32_t>(value.size()), 1); rc != kTagOk) return rc;
  }
  return kTagOk;
}

int EncodeResponseEnvelope(const ResponseEnvelope& envelope, TagBuffer* out) noexcept {
  if (out == nullptr) return kTagBadArgument;
  TagStream fields;
  int rc = fields.WriteShort(envelope.field1, 1);
  if (rc == kTagOk) rc = fields.WriteChar(envelope.field2, 2);
  if (rc == kTagOk) rc = fields.WriteInt32(envelope.field3, 3);
  if (rc == kTagOk) rc = fields.WriteInt32(envelope.field4, 4);
  if (rc == kTagOk) rc = fields.WriteString(envelope.field5, 5);
  if (rc == kTagOk) rc = fields.WriteString(envelope.field6, 6);
  if (rc == kTagOk) rc = fields.WriteByteList(envelope.attributes, 7);
  if (rc == kTagOk) rc = fields.WriteInt32(envelope.field8, 8);
  if (rc == kTagOk) rc = fields.WriteMap(envelope.field9, 9);
  if (rc == kTagOk) rc = fields.WriteMap(envelope.field10, 10);
  if (rc != kTagOk) return rc;
  const uint64_t total = uint64_t{fields.buffer().length()} + 4;
  if (total > UINT32_MAX - 1) return kTagBadArgument;
  const uint8_t head[4] = {static_cast<uint8_t>(total >> 24), static_cast<uint8_t>(total >> 16),
                           static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total)};
  out->Clear();
  if (int r = out->Append(head, 4); r != kTagOk) return r;
  return out->Append(fields.buffer().data(), fields.buffer().length());
}

bool PackResponse(int32_t result, std::string_view key_text, std::string* out_frame) {
  if (out_frame == nullptr) return false;
  return utils::Guarded(false, [&] {
    auto verdict = ResponsePackage::Create();
    if (!verdict) return false;
    verdict->result = result;
    if (verdict->message.Assign(result == -1 ? "refused" : "ok") != kTagOk) return false;
    verdict->field2 = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
    TagStream detail;
    if (detail.WriteStruct(*verdict) != kTagOk) return false;

    TagStream attributes;
    if (WriteAttributeMap(attributes, {{"detail", std::string(detail.buffer().view())}}) != kTagOk) return false;
    ResponseEnvelope envelope;
    if (envelope.attributes.Assign(attributes.buffer().view()) != kTagOk) return false;
    TagBuffer plain;
    if (EncodeResponseEnvelope(envelope, &plain) != kTagOk) return false;

    const auto body = EncryptBody(plain, key_text);
    if (!body) return false;
    auto answer = SocketResponsePackage::Create();
    if (!answer || answer->body.Assign(body->view()) != kTagOk) return false;
    TagStream payload;
    if (answer->Write(payload) != kTagOk) return false;
    const size_t total = size_t{payload.buffer().length()} + 4;
    if (total > kMaxFrameBytes) return false;
    out_frame->clear();
    out_frame->push_back(static_cast<char>(total >> 8));
    out_frame->push_back(static_cast<char>(total));
    out_frame->append(payload.buffer().view());
    out_frame->append("\r\n");
    return true;
  });
}

}  // namespace vireon
