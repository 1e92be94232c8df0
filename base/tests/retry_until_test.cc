#include "base/retry_until.h"

#include <chrono>

#include <gtest/gtest.h>

namespace base {
namespace {

using Clock = std::chrono::steady_clock;

struct RetryCase {
  const char* name;
  int succeed_on;  // the try that succeeds; 0 = never
  int count;
  int interval_ms;
  bool expected;
  int expected_calls;
  int min_elapsed_ms;  // every failed try sleeps, the last one too
  bool sleeps;         // false: a pause would take a minute and show
};

TEST(RetryUntilTest, TriesSleepsAndStopsAsTold) {
  const RetryCase cases[] = {
      {"first try succeeds without sleeping", 1, 5, 60000, true, 1, 0, false},
      {"count 0 never calls", 1, 0, 60000, false, 0, 0, false},
      {"second try succeeds after one pause", 2, 5, 30, true, 2, 30, true},
      {"all fail, pause after the last one too", 0, 3, 30, false, 3, 90, true},
      {"no pause for a zero interval", 0, 4, 0, false, 4, 0, true},
      {"no pause for a negative interval", 0, 2, -5, false, 2, 0, true},
  };
  for (const RetryCase& c : cases) {
    int calls = 0;
    const auto start = Clock::now();
    const bool result = RetryUntil(
        [&] {
          ++calls;
          return calls == c.succeed_on;
        },
        c.count, c.interval_ms);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(result, c.expected) << c.name;
    EXPECT_EQ(calls, c.expected_calls) << c.name;
    EXPECT_GE(elapsed, c.min_elapsed_ms) << c.name;
    if (!c.sleeps) {
      EXPECT_LT(elapsed, 30000) << c.name;
    }
  }
}

}  // namespace
}  // namespace base
