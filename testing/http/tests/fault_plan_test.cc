#include "testing/http/fault_plan.h"

#include <gtest/gtest.h>

namespace rig {
namespace {

Request Get(const std::string& target, const std::string& range = "") {
  std::string head = "GET " + target + " HTTP/1.1\r\nHost: x\r\n";
  if (!range.empty()) head += "Range: " + range + "\r\n";
  auto request = ParseRequest(head + "\r\n");
  EXPECT_TRUE(request.has_value());
  return request.value_or(Request{});
}

TEST(FaultPlan, ParsesPathQueryAndHeaders) {
  const Request r = Get("/files/a%20b.bin?key=t1&status=503&times=2&to=%2Ffiles%2Fx", "bytes=5-9");
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.path, "/files/a b.bin");
  EXPECT_EQ(QueryValue(r, "key"), "t1");
  EXPECT_EQ(QueryValue(r, "to"), "/files/x");
  EXPECT_EQ(QueryBytes(r, "times", 0), 2);
  EXPECT_EQ(r.headers.at("range"), "bytes=5-9");
  EXPECT_EQ(QueryBytes(Get("/x?rate=64k"), "rate", 0), 64 * 1024);
  EXPECT_EQ(QueryBytes(Get("/x?rate=2m"), "rate", 0), 2 * 1024 * 1024);
  EXPECT_FALSE(ParseRequest("nonsense\r\n\r\n").has_value());
}

TEST(FaultPlan, AnswersRanges) {
  struct Case {
    std::string range;
    bool honour;
    int status;
    int64_t first, length;
    std::string content_range;
  } cases[] = {
      {"", true, 200, 0, 100, ""},
      {"bytes=10-19", true, 206, 10, 10, "bytes 10-19/100"},
      {"bytes=90-", true, 206, 90, 10, "bytes 90-99/100"},
      {"bytes=90-500", true, 206, 90, 10, "bytes 90-99/100"},
      {"bytes=100-", true, 416, 0, 0, "bytes */100"},
      {"bytes=10-19", false, 200, 0, 100, ""},
      {"bytes=19-10", true, 200, 0, 100, ""},
      {"items=1-2", true, 200, 0, 100, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    const FileAnswer a = AnswerForFile(Get("/files/f", c.range), 100, c.honour);
    EXPECT_EQ(a.status, c.status);
    EXPECT_EQ(a.first, c.first);
    EXPECT_EQ(a.length, c.length);
    EXPECT_EQ(a.headers.count("Content-Range") ? a.headers.at("Content-Range") : "", c.content_range);
    EXPECT_EQ(a.headers.at("Content-Length"), std::to_string(c.length));
  }
}

}  // namespace
}  // namespace rig
