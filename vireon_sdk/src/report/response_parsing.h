// The collector's answer, read down to the result code that decides whether
// an event was delivered. Every failure is "none": the caller counts an
// unreadable answer as delivered.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "vireon_sdk/src/report/package_records.h"

namespace vireon {

// The plain answer is an envelope of a few short fields around a verdict of
// a few dozen bytes; it cannot sensibly exceed the one frame (64 KiB) it came
// in. An answer is read before anything in it is authenticated, so anything
// larger is refused rather than inflated (a 64 KiB frame deflates to 64 MiB).
inline constexpr size_t kMaxAnswerPlainBytes = 64u * 1024;

// Reads bytes 2 to length - 2 of the reply (frame length and trailer are
// dropped unchecked). The read's result is ignored: a short or damaged reply
// gives a record with what could be read and defaults for the rest. None
// only when the record cannot be created.
std::unique_ptr<SocketResponsePackage> ParseSocketResponsePackage(const void* reply, size_t length);

// Decrypts (process session key, or the given key text), decodes the envelope
// and its "detail" attribute. None when the plain answer would exceed
// kMaxAnswerPlainBytes.
std::unique_ptr<ResponsePackage> ParseResponse(const TagBuffer& encrypted_body);
std::unique_ptr<ResponsePackage> ParseResponse(const TagBuffer& encrypted_body, std::string_view key_text);

int DecodeResponseEnvelope(ResponseEnvelope* envelope, const void* bytes, size_t length) noexcept;
// The map at tag 0: string keys (tag 0), byte-list values (tag 1). An absent
// map leaves `attributes` empty.
int ReadAttributeMap(TagStream& stream, AttributeMap* attributes) noexcept;
std::optional<std::string_view> FindAttribute(const AttributeMap& attributes, std::string_view name);

}  // namespace vireon
