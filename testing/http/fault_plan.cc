#include "testing/http/fault_plan.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace rig {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out.push_back(static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
      i += 2;
    } else if (text[i] == '+') {
      out.push_back(' ');
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

std::optional<Request> ParseRequest(const std::string& head) {
  std::istringstream in(head);
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream first(line);
  Request request;
  std::string target, version;
  if (!(first >> request.method >> target >> version) || version.rfind("HTTP/", 0) != 0) return std::nullopt;

  const size_t question = target.find('?');
  request.path = PercentDecode(target.substr(0, question));
  if (question != std::string::npos) {
    std::istringstream query(target.substr(question + 1));
    std::string pair;
    while (std::getline(query, pair, '&')) {
      if (pair.empty()) continue;
      const size_t eq = pair.find('=');
      request.query[PercentDecode(pair.substr(0, eq))] =
          eq == std::string::npos ? std::string() : PercentDecode(pair.substr(eq + 1));
    }
  }
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return std::nullopt;
    request.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
  }
  return request;
}

std::string QueryValue(const Request& request, const std::string& name, const std::string& fallback) {
  const auto it = request.query.find(name);
  return it == request.query.end() ? fallback : it->second;
}

int64_t QueryBytes(const Request& request, const std::string& name, int64_t fallback) {
  const std::string text = QueryValue(request, name);
  if (text.empty()) return fallback;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) return fallback;
  switch (std::tolower(static_cast<unsigned char>(*end))) {
    case 'k': return value * 1024;
    case 'm': return value * 1024 * 1024;
    default: return value;
  }
}

std::optional<ByteRange> ParseRange(const std::string& value) {
  const std::string text = Trim(value);
  if (text.rfind("bytes=", 0) != 0) return std::nullopt;
  const std::string byte_ranges = text.substr(6);
  const size_t dash = byte_ranges.find('-');
  if (dash == std::string::npos || dash == 0 || byte_ranges.find(',') != std::string::npos) return std::nullopt;
  char* end = nullptr;
  const long long first = std::strtoll(byte_ranges.c_str(), &end, 10);
  if (end != byte_ranges.c_str() + dash || first < 0) return std::nullopt;
  const std::string rest = byte_ranges.substr(dash + 1);
  if (rest.empty()) return ByteRange{first, -1};
  const long long last = std::strtoll(rest.c_str(), &end, 10);
  if (*end != '\0' || last < first) return std::nullopt;
  return ByteRange{first, last};
}

FileAnswer AnswerForFile(const Request& request, int64_t size, bool honour_range) {
  FileAnswer answer;
  answer.length = size;
  answer.headers["Content-Length"] = std::to_string(size);
  if (honour_range) answer.headers["Accept-Ranges"] = "bytes";
  const auto range_header = request.headers.find("range");
  if (!honour_range || range_header == request.headers.end()) return answer;
  const auto range = ParseRange(range_header->second);
  if (!range) return answer;
  if (range->first >= size) {
    answer.status = 416;
    answer.length = 0;
    answer.headers["Content-Length"] = "0";
    answer.headers["Content-Range"] = "bytes */" + std::to_string(size);
    return answer;
  }
  const int64_t last = range->last < 0 || range->last >= size ? size - 1 : range->last;
  answer.status = 206;
  answer.first = range->first;
  answer.length = last - range->first + 1;
  answer.headers["Content-Length"] = std::to_string(answer.length);
  answer.headers["Content-Range"] =
      "bytes " + std::to_string(range->first) + "-" + std::to_string(last) + "/" + std::to_string(size);
  return answer;
}

}  // namespace rig
