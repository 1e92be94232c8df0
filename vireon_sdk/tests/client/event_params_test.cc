// The client's counters and ini files, its GUID log ids, folder helpers and
// worker count, on real profile files in temporary folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "testing/telemetry/collector_rig.h"
#include "vireon_sdk/src/report/event_params.h"
#include "vireon_sdk/src/report/vireon_config.h"
#include "vireon_sdk/src/utils/file_util.h"
#include "vireon_sdk/src/utils/ini_cache.h"

namespace vireon {
namespace {

std::wstring ProfileValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[260] = {};
  ::GetPrivateProfileStringW(section, key, L"<none>", value, 259, file.c_str());
  return value;
}

TEST(NextLogIdTest, StartsAtOneWithoutAFileAndCountsOnInTheFile) {
  telemetry_rig::TempDir dir;
  const std::wstring ini = dir.path() + L"\\VireonConfig\\QLKEY.ini";
  ASSERT_TRUE(utils::CreateParentDirectories(ini));
  EXPECT_EQ(NextLogIdIn(ini, L"installer.exe"), L"1");
  EXPECT_EQ(ProfileValue(ini, L"installer.exe", L"logid"), L"1");
  EXPECT_EQ(NextLogIdIn(ini, L"installer.exe"), L"2");
  EXPECT_EQ(ProfileValue(ini, L"installer.exe", L"logid"), L"2");
}

TEST(NextLogIdTest, ContinuesFromTheValueAnEarlierProcessLeft) {
  telemetry_rig::TempDir dir;
  const std::wstring ini = dir.path() + L"\\logid.ini";
  ::WritePrivateProfileStringW(L"client.exe", L"logid", L"  41", ini.c_str());
  ::WritePrivateProfileStringW(L"other.exe", L"logid", L"7", ini.c_str());
  EXPECT_EQ(NextLogIdIn(ini, L"client.exe"), L"42");
  EXPECT_EQ(ProfileValue(ini, L"other.exe", L"logid"), L"7");
}

TEST(NextLogIdTest, ThreadsOfOneProcessNeverShareAnId) {
  telemetry_rig::TempDir dir;
  const std::wstring ini = dir.path() + L"\\threads.ini";
  constexpr int kThreads = 4;
  constexpr int kEach = 25;
  std::vector<std::vector<std::wstring>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) got[t].push_back(NextLogIdIn(ini, L"app.exe"));
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::wstring> all;
  for (const auto& ids : got) all.insert(ids.begin(), ids.end());
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(ProfileValue(ini, L"app.exe", L"logid"), std::to_wstring(kThreads * kEach));
}

TEST(SeqTimeTest, IsZeroWithoutAFileAndTheStoredTextOtherwise) {
  telemetry_rig::TempDir dir;
  EXPECT_EQ(ReadSeqTimeIn(dir.path() + L"\\missing.ini"), L"0");
  const std::wstring ini = dir.path() + L"\\seq.ini";
  ::WritePrivateProfileStringW(L"seq_time", L"timestamp", L"1700000000123", ini.c_str());
  EXPECT_EQ(ReadSeqTimeIn(ini), L"1700000000123");
}

TEST(IniCacheTest, FlushWritesOnlyWhatThisProcessChanged) {
  // The sibling component owns the time stamp: a flush of the log id must not
  // put back the copy this process read before the sibling changed it.
  telemetry_rig::TempDir dir;
  const std::wstring seq_ini = dir.path() + L"\\seq.ini";
  const std::wstring logid_ini = dir.path() + L"\\logid.ini";
  ::WritePrivateProfileStringW(L"seq_time", L"timestamp", L"100", seq_ini.c_str());
  EXPECT_EQ(ReadSeqTimeIn(seq_ini), L"100");
  ::WritePrivateProfileStringW(L"seq_time", L"timestamp", L"200", seq_ini.c_str());
  EXPECT_EQ(ReadSeqTimeIn(dir.path() + L"\\never-written.ini"), L"0");

  NextLogIdIn(logid_ini, L"app.exe");

  EXPECT_EQ(ProfileValue(seq_ini, L"seq_time", L"timestamp"), L"200");
  EXPECT_EQ(::GetFileAttributesW((dir.path() + L"\\never-written.ini").c_str()), INVALID_FILE_ATTRIBUTES);
  // The cache still answers with what it read first.
  EXPECT_EQ(ReadSeqTimeIn(seq_ini), L"100");
}

TEST(IniCacheTest, WriteStaysInMemoryUntilFlush) {
  telemetry_rig::TempDir dir;
  const std::wstring ini = dir.path() + L"\\cache.ini";
  IniCache cache;
  cache.Write(ini, L"s", L"k", L"v1");
  EXPECT_EQ(ProfileValue(ini, L"s", L"k"), L"<none>");
  EXPECT_EQ(cache.Read(ini, L"s", L"k", L"d"), L"v1");
  cache.Flush();
  EXPECT_EQ(ProfileValue(ini, L"s", L"k"), L"v1");
  // A value longer than 258 characters is cut when read from the file.
  ::WritePrivateProfileStringW(L"s", L"long", std::wstring(300, L'x').c_str(), ini.c_str());
  EXPECT_EQ(cache.Read(ini, L"s", L"long", L""), std::wstring(258, L'x'));
}

TEST(LogIdTextTest, IsAnUpperCaseGuidAndNewEachTime) {
  const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  const std::string first = NewLogId();
  EXPECT_TRUE(std::regex_match(first, guid)) << first;
  EXPECT_NE(NewLogId(), first);
}

TEST(SequenceTest, ThreadsGetDistinctConsecutiveNumbers) {
  const int64_t start = NextSequence() + 1;
  std::vector<int64_t> got(400);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) got[t * 100 + i] = NextSequence();
    });
  }
  for (auto& thread : threads) thread.join();
  const std::set<int64_t> distinct(got.begin(), got.end());
  ASSERT_EQ(distinct.size(), got.size());
  EXPECT_EQ(*distinct.begin(), start);
  EXPECT_EQ(*distinct.rbegin(), start + 399);
}

TEST(SocketThreadCountTest, FollowsTheHardwareThreads) {
  const std::pair<unsigned, int> cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 3}, {4, 4}, {8, 4}, {64, 4}};
  for (const auto& [hardware, expected] : cases) EXPECT_EQ(SocketThreadCountFor(hardware), expected) << hardware;
  EXPECT_EQ(socket_thread_count, SocketThreadCountFor(std::thread::hardware_concurrency()));
}

TEST(FileUtilTest, NormalizesSeparators) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:/a//b\\\\c/", L"C:\\a\\b\\c\\"}, {L"C:\\a\\b", L"C:\\a\\b"}, {L"", L""}, {L"//", L"\\"}};
  for (const auto& [input, expected] : cases) {
    std::wstring path = input;
    utils::NormalizePath(path);
    EXPECT_EQ(path, expected);
  }
  std::wstring folder = L"C:\\x";
  utils::AppendBackslash(folder);
  utils::AppendBackslash(folder);
  EXPECT_EQ(folder, L"C:\\x\\");
}

TEST(FileUtilTest, CreatesEveryLevelOfAFolder) {
  telemetry_rig::TempDir dir;
  const std::wstring deep = dir.path() + L"/one//two/three";
  EXPECT_TRUE(utils::CreateDirectories(deep));
  EXPECT_NE(::GetFileAttributesW((dir.path() + L"\\one\\two\\three").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(utils::CreateDirectories(deep));  // already there
  EXPECT_TRUE(utils::CreateParentDirectories(dir.path() + L"\\p\\q\\file.ini"));
  EXPECT_NE(::GetFileAttributesW((dir.path() + L"\\p\\q").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(utils::CreateDirectories(L""));
  EXPECT_FALSE(utils::CreateDirectories(L"\\rootless"));
}

TEST(FileUtilTest, NamesTheExecutableAndTheApplicationDataFolder) {
  EXPECT_EQ(utils::GetExeFileName(), L"vireon_client_unit_test.exe");
  const std::wstring app_data = utils::GetAppDataDir();
  ASSERT_FALSE(app_data.empty());
  const DWORD attributes = ::GetFileAttributesW(app_data.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

}  // namespace
}  // namespace vireon
