// The test side of the web API stand-in: this test program's product key with
// "api_debug_mode" = 1 (so the fetchers reach the stand-in), and the rig's
// controls for requests that hold a marker of the test's own.
#pragma once

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace data::testing {

class WebApiTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // A text no other test process sends: "<what>.<process id>".
  static std::string Marker(const std::string& what);

  // A test mode ("none" to end it) for requests whose body holds `match`.
  static void SetMode(const std::string& mode, const std::string& match);
  // `answer` as the service's whole answer to such requests ("" to end it).
  static void SetAnswer(const std::string& match, const std::string& answer);
  // The bodies of the signed requests of `path` that held `match`.
  static nlohmann::json Requests(const std::string& path, const std::string& match);
};

// The recall answer whose "queue"[0]."items"[0]."fieldS" is `field`.
std::string RecallAnswer(const nlohmann::json& field);

}  // namespace data::testing
