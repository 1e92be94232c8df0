#include "base/install_state_store.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include <filesystem>

#include "base/path_manager.h"
#include "base/tests/settings_test_util.h"
#include "base/text_conversion.h"

namespace {

class InstallStateStoreTest : public testing::Test {
 protected:
  std::wstring path() const {
    return base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kDb) + L"\\install_states.db";
  }

  settings_test::ScopedTestProduct product_;
};

nlohmann::json Notice(const std::string& package, const std::string& status) {
  return {{"pkgname", package}, {"actualPkgname", ""}, {"percent", ""},           {"status", status},
          {"completedLength", ""}, {"totalLength", ""}, {"downloadSpeed", ""}, {"engineProgress", false}};
}

TEST_F(InstallStateStoreTest, LatestNoticeOfEachPackageIsKept) {
  {
    base::SqliteHandle db = base::OpenInstallStateDb();
    ASSERT_TRUE(db);
    EXPECT_TRUE(base::SaveInstallState(db, Notice("com.pcvztsdk.install.abc", "paused")));
    EXPECT_TRUE(base::SaveInstallState(db, Notice("com.game.one", "paused")));
  }
  {
    base::SqliteHandle db = base::OpenInstallStateDb();
    EXPECT_TRUE(base::SaveInstallState(db, Notice("com.pcvztsdk.install.abc", "Installed")));
  }
  ASSERT_TRUE(std::filesystem::exists(path()));
  SQLite::Database raw(base::WideToUtf8(path()), SQLite::OPEN_READONLY);
  EXPECT_EQ(raw.execAndGet("SELECT COUNT(*) FROM install_states").getInt(), 2);
  const std::string state =
      raw.execAndGet("SELECT install_state FROM install_states WHERE package_name='com.pcvztsdk.install.abc'")
          .getString();
  EXPECT_EQ(state, Notice("com.pcvztsdk.install.abc", "Installed").dump()) << "compact JSON of the whole notice";
}

TEST_F(InstallStateStoreTest, WhatCannotBeStored) {
  EXPECT_FALSE(base::SaveInstallState(nullptr, Notice("p", "paused")));
  base::SqliteHandle db = base::OpenInstallStateDb();
  ASSERT_TRUE(db);
  EXPECT_FALSE(base::SaveInstallState(db, nlohmann::json{{"status", "paused"}})) << "no package name";
  EXPECT_FALSE(base::SaveInstallState(db, nlohmann::json::array())) << "not a notice";
  EXPECT_EQ(db->execAndGet("SELECT COUNT(*) FROM install_states").getInt(), 0);
}

TEST_F(InstallStateStoreTest, DatabaseUsesWal) {
  base::SqliteHandle db = base::OpenInstallStateDb();
  ASSERT_TRUE(db);
  EXPECT_EQ(db->execAndGet("PRAGMA journal_mode").getString(), "wal");
  EXPECT_EQ(db->execAndGet("PRAGMA synchronous").getInt(), 2);
}

}  // namespace
