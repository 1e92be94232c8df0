// How the fault-injecting server answers one request: parsed from the request
// line and headers alone, so the rules can be read (and tested) without a
// socket. Faults are chosen per request by the query string, for example
//   /files/big.bin?key=t1&status=503&times=2
// answers the first two GETs of key "t1" with 503 and serves later ones.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace rig {

struct Request {
  std::string method;   // "GET", "HEAD", ...
  std::string path;     // without the query
  std::map<std::string, std::string> query;
  std::map<std::string, std::string> headers;  // names lower-cased
};

// Parses "METHOD TARGET VERSION\r\nName: value\r\n...\r\n\r\n".
std::optional<Request> ParseRequest(const std::string& head);

std::string QueryValue(const Request& request, const std::string& name, const std::string& fallback = "");
// "512", "64k", "2m" as bytes; `fallback` when absent or unreadable.
int64_t QueryBytes(const Request& request, const std::string& name, int64_t fallback);

// A byte range asked by "Range: bytes=a-b" or "bytes=a-" (last = -1).
struct ByteRange {
  int64_t first;
  int64_t last;
};
std::optional<ByteRange> ParseRange(const std::string& value);

// What a GET or HEAD of a file of `size` bytes gets, before any fault.
struct FileAnswer {
  int status = 200;
  int64_t first = 0;   // first byte of the body
  int64_t length = 0;  // body bytes
  std::map<std::string, std::string> headers;
};
// `honour_range` false answers every request with the whole file.
FileAnswer AnswerForFile(const Request& request, int64_t size, bool honour_range);

}  // namespace rig
