#include "downloader/verbose.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace courier {
namespace {

TEST(WriteVerbose, DeliversLongLinesWhole) {
  std::vector<std::string> lines;
  VerboseFunctor sink = [&](const std::string& line) { lines.push_back(line); };
  const std::string long_text(5000, 'x');
  WriteVerbose(sink, "Slice<%d> %s|%lld.\n", 7, long_text.c_str(), 12345678901LL);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Slice<7> " + long_text + "|12345678901.\n");
  WriteVerbose(sink, nullptr);
  WriteVerbose(nullptr, "dropped %d\n", 1);  // no functor: nothing, no crash
  EXPECT_EQ(lines.size(), 1u);
}

TEST(StopEvent, IsManualResetAndStartsSet) {
  StopEvent event;
  EXPECT_TRUE(event.isSet());
  EXPECT_TRUE(event.wait(0));
  event.reset();
  EXPECT_FALSE(event.isSet());
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(event.wait(60));
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));

  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    event.set();
  });
  EXPECT_TRUE(event.wait(10000));  // woken by set, long before the time is up
  setter.join();
  EXPECT_TRUE(event.wait(0)) << "stays set";
}

}  // namespace
}  // namespace courier
