// The engine tests' side of the rig: a product of the test's own (registry
// keys, folders, channel), the component list the web API stand-in answers
// with for this channel alone, and runs of the engine probe program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace engine_testing {

// What a run of the engine left.
struct Outcome {
  int exit_code = -1;
  nlohmann::json out;  // result, error state and the statuses in order
  std::string log;     // the product log of the run
  std::vector<int> StatusCodes() const;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A component entry of the answer for an archive of the rig
  // ("engine-test-client", ...), fetched from `url` (default: nginx).
  nlohmann::json Component(const std::string& name, int type, const std::string& archive,
                           const std::optional<std::string>& url = std::nullopt) const;
  // nginx, the fault server and nginx's rate-limited path for an archive.
  std::string NginxUrl(const std::string& archive) const;
  std::string FaultUrl(const std::string& archive, const std::string& query) const;
  std::string RateUrl(const std::string& archive, const std::string& rate) const;
  std::filesystem::path RigArchive(const std::string& archive) const;

  // The web API's answer to this test's client-update requests.
  void AnswerComponents(const nlohmann::json& components, const std::string& version = "2.0.0.1");
  void AnswerRaw(const std::string& answer);
  // A test mode of the web API for this test's requests ("none" ends it).
  void SetMode(const std::string& mode);
  // The fault server's request lines of a key.
  std::string FaultStats(const std::string& key) const;

  // Runs the probe with the installer's options and a front-end action.
  Outcome Run(const std::wstring& options, const std::wstring& act = L"");

  std::filesystem::path ComponentDir() const { return dir_ / "data" / "Component"; }
  std::wstring ProductKey() const { return L"SOFTWARE\\Orvalis\\" + product_; }
  // A text unique to this test process (fault-server keys).
  std::string Marker() const;

  std::wstring product_;
  std::filesystem::path dir_;
  uint64_t channel_ = 0;
  std::string match_;  // what this test's client-update requests hold
};

std::string ReadFile(const std::filesystem::path& path);
size_t CountOf(const std::string& text, const std::string& what);

}  // namespace engine_testing
