// The collector's side of the answer: a ResponsePackage with the verdict,
// wrapped as the "detail" attribute of a response envelope, encrypted under
// the key the client sent, in a framed SocketResponsePackage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vireon_sdk/src/report/package_records.h"

namespace vireon {

int WriteAttributeMap(TagStream& out, const AttributeMap& attributes) noexcept;
// The 4-byte length (of the whole envelope) followed by fields 1 to 10.
int EncodeResponseEnvelope(const ResponseEnvelope& envelope, TagBuffer* out) noexcept;

// The framed answer for one request: `result` 0 accepts the event, -1 refuses
// it (the client tries again later). False when a step fails.
bool PackResponse(int32_t result, std::string_view key_text, std::string* out_frame);

}  // namespace vireon
