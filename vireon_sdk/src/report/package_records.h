// The package records of the telemetry exchange, each with its own write and
// read operations over its bare fields, in ascending tag order.
//
//   request:  SocketRequestPackage { header map, encrypted body }
//             body = RequestPackage { ..., list of EventRecord at tag 4, ... }
//   answer:   SocketResponsePackage { ..., encrypted body at tag 2, ... }
//             body = ResponseEnvelope { 4-byte length, fields 1..10 }
//             envelope field 7 = attribute map; "detail" = ResponsePackage
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vireon_sdk/src/report/tag_stream.h"

namespace vireon {

class EventRecord final : public TagStruct {
 public:
  static std::unique_ptr<EventRecord> Create() noexcept;
  const char* class_name() const noexcept override { return "event.EventRecord"; }
  int Write(TagStream& out) const noexcept override;
  int Read(TagStream& in) noexcept override;

  TagBuffer field0, field1, field2;
  TagBuffer event_code;                  // 3, required
  int32_t field4 = 0;
  TagMap params{"string"};               // 5, values escaped
  TagBuffer field6;                      // byte list; skipped when read
  int64_t event_time = 0;                // 7, ms since 1970, required
  bool field8 = true;
  int16_t field9 = 1;
  TagBuffer field10;
};

class RequestPackage final : public TagStruct {
 public:
  static std::unique_ptr<RequestPackage> Create() noexcept;
  const char* class_name() const noexcept override { return "common.RequestPackage"; }
  int Write(TagStream& out) const noexcept override;
  int Read(TagStream& in) noexcept override;

  int32_t version = 0;                   // 0, sent as 2
  TagBuffer app_key;                     // 1
  TagBuffer field2;                      // 2
  TagBuffer sdk_version;                 // 3
  TagArray events{"event.EventRecord"};  // 4, each a WriteStruct output
  TagBuffer field5;
  TagMap field6{"string"};
  TagBuffer field7, field8, field9;
  TagBuffer platform;                    // 10
};

class SocketRequestPackage final : public TagStruct {
 public:
  static std::unique_ptr<SocketRequestPackage> Create() noexcept;
  const char* class_name() const noexcept override { return "common.SocketRequestPackage"; }
  int Write(TagStream& out) const noexcept override;
  int Read(TagStream& in) noexcept override;

  TagMap headers{"string"};              // 0; raw encoded entries after Read
  TagBuffer body;                        // 1, encrypted
};

class SocketResponsePackage final : public TagStruct {
 public:
  static std::unique_ptr<SocketResponsePackage> Create() noexcept;
  const char* class_name() const noexcept override { return "common.SocketResponsePackage"; }
  int Write(TagStream& out) const noexcept override;
  int Read(TagStream& in) noexcept override;

  int32_t field0 = 0;
  TagMap field1{"string"};
  TagBuffer body;                        // 2, encrypted
  TagBuffer field3;                      // written only when not empty
};

class ResponsePackage final : public TagStruct {
 public:
  static std::unique_ptr<ResponsePackage> Create() noexcept;
  const char* class_name() const noexcept override { return "common.ResponsePackage"; }
  int Write(TagStream& out) const noexcept override;
  int Read(TagStream& in) noexcept override;

  int32_t result = 0;                    // 0; written as 8 bits; -1 = refused
  TagBuffer message;                     // 1
  int64_t field2 = 0;
  TagBuffer field3;
};

// Attribute name to bytes, in stored order.
using AttributeMap = std::vector<std::pair<std::string, std::string>>;

// The decrypted answer body: a 4-byte big-endian length, then bare fields.
struct ResponseEnvelope {
  uint32_t length = 0;                   // kept, never checked
  int16_t field1 = 2;
  int8_t field2 = 0;
  int32_t field3 = 0;
  int32_t field4 = 0;
  TagBuffer field5;
  TagBuffer field6;
  TagBuffer attributes;                  // 7: the encoded attribute map
  int32_t field8 = 0;
  TagMap field9{"string"};
  TagMap field10{"string"};
};

// Decodes the string entries of a map read by ReadMap (raw encoded fields)
// into plain texts; -3 when an entry is not a string.
int DecodeStringMap(const TagMap& raw, std::vector<std::pair<std::string, std::string>>* out) noexcept;

}  // namespace vireon
