// One telemetry event to the exact bytes of one TCP request:
//
//   [2-byte big-endian frame length][SocketRequestPackage fields][0x0D 0x0A]
//
// where the package's body is the RequestPackage (holding the one
// EventRecord), gzip-compressed and AES-encrypted under the session key, and
// its "vir_key" header carries that key RSA-encrypted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vireon_sdk/src/report/package_records.h"
#include "vireon_sdk/src/report/report_params.h"
#include "vireon_sdk/src/report/session_key.h"

namespace vireon {

inline constexpr std::string_view kSdkVersion = "1.1.2.3";
inline constexpr std::string_view kSdkPlatform = "win";
// The frame length field has 16 bits; a larger request cannot be framed.
inline constexpr size_t kMaxFrameBytes = 65535;

// Writes the escaped value into `destination` (NUL-terminated) and returns the
// bytes written before the NUL. Newline and carriage return become a blank;
// "&", "+", "=", "|" become "%26", "%2B", "%3D", "%7C". Output stops before
// an escape that would not fit with its NUL.
size_t EscapeParamValue(const char* source, size_t source_length, char* destination, size_t destination_size);
std::string EscapeParamValue(std::string_view value);

// "event_time" as a signed decimal (leading blanks, sign, digits; trailing
// text ignored), else the current time in ms since 1970-01-01 UTC.
int64_t ReadEventTime(const ReportParams& params);

// Fields 0, 1, 3 and 10 of the request.
int FillRequestPackage(RequestPackage* package, std::string_view app_key);
std::unique_ptr<RequestPackage> FillEventRecord(std::string_view event_code, const ReportParams& params,
                                                std::string_view app_key);
std::optional<TagBuffer> SerializeRequestPackage(const RequestPackage& package);
std::unique_ptr<SocketRequestPackage> MakeSocketRequestPackage(const TagBuffer& encrypted_body,
                                                               const SessionKeyPair& key);
// None when the frame would not fit the 16-bit length.
std::optional<TagBuffer> FrameSocketRequest(const SocketRequestPackage& package);

// The whole packing. False (and `out_body` untouched) when the event code is
// empty, the frame would exceed kMaxFrameBytes, or any step fails.
bool PackRequest(std::string_view event_code, const ReportParams& params, std::string_view app_key,
                 std::string* out_body);
bool PackRequest(std::string_view event_code, const ReportParams& params, std::string_view app_key,
                 const SessionKeyPair& key, std::string* out_body);

}  // namespace vireon
