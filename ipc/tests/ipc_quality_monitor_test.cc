#include "ipc/ipc_quality_monitor.h"

#include <windows.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/registry.h"
#include "base/text_conversion.h"

namespace ipc {
namespace {

const QualityKey kNotice{10008, 20001, 80001};

TEST(QualityStatsTest, AverageOfTwoCosts) {
  RecvStats stats;
  AddRecvSample(stats, 100);
  AddRecvSample(stats, 301);
  EXPECT_EQ(stats.total, 2u);
  EXPECT_EQ(stats.avg_cost, 200);
}

TEST(QualityStatsTest, NegativeCostDoesNotWrap) {
  RecvStats stats;
  AddRecvSample(stats, -50);  // the sender's clock runs ahead
  AddRecvSample(stats, 150);
  EXPECT_EQ(stats.avg_cost, 50);
}

TEST(QualityStatsTest, SendMergeAddsCounts) {
  SendStatsMap current{{kNotice, SendStats{3, 2}}};
  MergeSendStats(current, SendStatsMap{{kNotice, SendStats{1, 1}}});
  EXPECT_EQ(current[kNotice].total, 4u);
  EXPECT_EQ(current[kNotice].success, 3u);
}

TEST(QualityStatsTest, RecvMergeWeighsByCount) {
  RecvStatsMap current{{kNotice, RecvStats{2, 30}}};
  MergeRecvStats(current, RecvStatsMap{{kNotice, RecvStats{2, 10}}});
  EXPECT_EQ(current[kNotice].total, 4u);
  EXPECT_EQ(current[kNotice].avg_cost, 20);
}

TEST(QualityStatsTest, RecvMergeOfEmptyCountsDividesByNothing) {
  RecvStatsMap current;
  MergeRecvStats(current, RecvStatsMap{{kNotice, RecvStats{0, 10}}});
  EXPECT_EQ(current[kNotice].total, 0u);
  EXPECT_EQ(current[kNotice].avg_cost, 0);
}

TEST(QualityStatsTest, TextIsCompactWithKeysInOrder) {
  EXPECT_EQ(SendStatsText({{kNotice, SendStats{1, 1}}}),
            R"([[{"from":10008,"msg_id":80001,"to":20001},{"success":1,"total":1}]])");
  EXPECT_EQ(RecvStatsText({{kNotice, RecvStats{3, -7}}}),
            R"([[{"from":10008,"msg_id":80001,"to":20001},{"avg_cost":-7,"total":3}]])");
  EXPECT_EQ(SendStatsText({}), "[]");
}

TEST(QualityStatsTest, ParsingRefusesOtherShapesWhole) {
  EXPECT_TRUE(ParseSendStats("DEFAULT_VALUE").empty());
  EXPECT_TRUE(ParseSendStats(R"({"a":1})").empty());
  EXPECT_TRUE(ParseSendStats(R"([[{"from":1,"msg_id":2,"to":3},{"success":1,"total":1}],5])").empty());
  EXPECT_TRUE(ParseRecvStats(R"([[{"from":1,"msg_id":2,"to":3},{"total":1}]])").empty());
  const SendStatsMap twice = ParseSendStats(
      R"([[{"from":1,"msg_id":2,"to":3},{"success":1,"total":1}],[{"from":1,"msg_id":2,"to":3},{"success":9,"total":9}]])");
  ASSERT_EQ(twice.size(), 1u);
  EXPECT_EQ(twice.at(QualityKey{1, 3, 2}).total, 1u);
}

TEST(QualityStatsTest, CountingFromManyThreadsLosesNothing) {
  IpcQualityMonitor monitor(HKEY_CURRENT_USER, L"Software\\QuilloraneTests\\unused");
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) monitor.CountSend(kNotice, i % 2 == 0);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(monitor.send_stats().at(kNotice).total, 40000u);
  EXPECT_EQ(monitor.send_stats().at(kNotice).success, 20000u);
}

// Saving and loading through a registry key of this test's own.
class QualityRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    key_ = L"Software\\QuilloraneTests\\ipc_quality_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
           base::Utf8ToWide(testing::UnitTest::GetInstance()->current_test_info()->name());
    base::DeleteRegTree(HKEY_CURRENT_USER, key_);
  }
  void TearDown() override { base::DeleteRegTree(HKEY_CURRENT_USER, key_); }

  std::string Stored(const wchar_t* value) {
    return base::WideToUtf8(base::ReadRegString(HKEY_CURRENT_USER, key_, value, L"<none>"));
  }

  std::wstring key_;
};

TEST_F(QualityRegistryTest, FirstSaveWritesTheInMemoryFigures) {
  IpcQualityMonitor monitor(HKEY_CURRENT_USER, key_);
  monitor.CountSend(kNotice, true);
  monitor.SaveSendAnalysis();
  monitor.SaveRecvAnalysis();
  EXPECT_EQ(Stored(L"ipc_send_analysis"), R"([[{"from":10008,"msg_id":80001,"to":20001},{"success":1,"total":1}]])");
  EXPECT_EQ(Stored(L"ipc_recv_analysis"), "[]");
}

TEST_F(QualityRegistryTest, SavesAddUpOverRuns) {
  {
    IpcQualityMonitor earlier(HKEY_CURRENT_USER, key_);
    earlier.CountSend(kNotice, true);
    earlier.CountRecv(kNotice, 10);
    earlier.CountRecv(kNotice, 10);
    earlier.SaveSendAnalysis();
    earlier.SaveRecvAnalysis();
  }
  IpcQualityMonitor later(HKEY_CURRENT_USER, key_);
  later.CountSend(kNotice, true);
  later.CountSend(kNotice, true);
  later.CountSend(kNotice, false);
  later.CountRecv(kNotice, 30);
  later.CountRecv(kNotice, 30);
  later.SaveSendAnalysis();
  later.SaveRecvAnalysis();
  EXPECT_EQ(Stored(L"ipc_send_analysis"), R"([[{"from":10008,"msg_id":80001,"to":20001},{"success":3,"total":4}]])");
  EXPECT_EQ(Stored(L"ipc_recv_analysis"), R"([[{"from":10008,"msg_id":80001,"to":20001},{"avg_cost":20,"total":4}]])");
}

TEST_F(QualityRegistryTest, UnreadableStoredValueIsReplaced) {
  base::WriteRegString(HKEY_CURRENT_USER, key_, L"ipc_send_analysis", L"{\"not\":\"an array\"}");
  IpcQualityMonitor monitor(HKEY_CURRENT_USER, key_);
  monitor.CountSend(kNotice, false);
  monitor.SaveSendAnalysis();
  EXPECT_EQ(Stored(L"ipc_send_analysis"), R"([[{"from":10008,"msg_id":80001,"to":20001},{"success":0,"total":1}]])");
}

TEST_F(QualityRegistryTest, LoadingRemovesTheValue) {
  base::WriteRegString(HKEY_CURRENT_USER, key_, L"ipc_recv_analysis",
                       L"[[{\"from\":1,\"msg_id\":2,\"to\":3},{\"avg_cost\":5,\"total\":6}]]");
  IpcQualityMonitor monitor(HKEY_CURRENT_USER, key_);
  const RecvStatsMap loaded = monitor.LoadRecvAnalysis();
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded.at(QualityKey{1, 3, 2}).avg_cost, 5);
  EXPECT_EQ(Stored(L"ipc_recv_analysis"), "<none>");
}

}  // namespace
}  // namespace ipc
