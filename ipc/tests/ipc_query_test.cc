// The asking side of queries, in this process (answers from other processes
// are in the cross-process tests).
#include "ipc/ipc_query.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "ipc/ipc_manager.h"

namespace ipc {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

TEST(IpcQueryTest, AddresseeWithoutChannelEndsAtOnce) {
  const auto start = Clock::now();
  EXPECT_EQ(IpcQuerier::DoQuery(kClientNoChannel10015, kQueryClient10015, nullptr, 2000, std::nullopt).status,
            kQueryNotSent);
  EXPECT_FALSE(IpcQuerier::Query<json>(kClientNoChannel10015, kQueryClient10015, json(nullptr), 2000).get());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST(IpcQueryTest, QueryToItselfGetsNoAnswerAndTimesOutAfterOneSlice) {
  IpcManager::Instance().Init(kClientUpdate);
  IpcManager::Instance().query_responser()->Register(5, [](const json&) { return json(1); });
  const auto start = Clock::now();
  const QueryResult result = IpcQuerier::DoQuery(kClientUpdate, 5, nullptr, 0, std::nullopt);
  const auto took = Clock::now() - start;
  EXPECT_EQ(result.status, kQueryTimedOut);
  EXPECT_TRUE(result.answer.is_null());
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::milliseconds(5000));
  IpcManager::Instance().Uninit();
}

TEST(IpcQueryTest, DeadlineHoldsWithinOneSlice) {
  IpcManager::Instance().Init(kClientUninstall);
  const auto start = Clock::now();
  EXPECT_FALSE(IpcQuerier::Query<json>(kClientUninstall, 5, json(nullptr), 2000).get());
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(2000));
  EXPECT_LT(took, std::chrono::milliseconds(6000));
  IpcManager::Instance().Uninit();
}

TEST(IpcQueryTest, StoppingIpcEndsARunningQuery) {
  IpcManager::Instance().Init(kClientAppStore);
  auto pending = IpcQuerier::Query<json>(kClientAppStore, 5, json(nullptr), 30000);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = Clock::now();
  std::thread stopping([] { IpcManager::Instance().Uninit(); });
  EXPECT_EQ(pending.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_FALSE(pending.get());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  stopping.join();
  EXPECT_EQ(IpcQuerier::DoQuery(kClientAppStore, 5, nullptr, 1000, std::nullopt).status, kQueryStopping);
}

}  // namespace
}  // namespace ipc
