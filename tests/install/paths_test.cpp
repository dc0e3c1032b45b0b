// Where the game looks for its assets and keeps the player's files; and the
// replay store writing into (and making) the player's replay folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "files/GamePaths.hpp"
#include "game/Types.hpp"
#include "replay/ReplayStore.hpp"

namespace fs = std::filesystem;
using namespace quadrel;

namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("quadrel-paths-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  void MakeData(const fs::path& folder) { fs::create_directories(folder / "model"); }
  fs::path root_;
};

TEST_F(PathsTest, DataFolderOfTheBuildTreeComesBeforeTheInstalledOne) {
  MakeData(root_ / "bin" / "runtime");
  MakeData(root_ / "share" / "quadrel");
  EXPECT_EQ(files::FindDataFolder(root_ / "bin", nullptr), (root_ / "bin" / "runtime").lexically_normal());
  fs::remove_all(root_ / "bin" / "runtime");
  EXPECT_EQ(files::FindDataFolder(root_ / "bin", nullptr), (root_ / "share" / "quadrel").lexically_normal());
  EXPECT_EQ(files::FindDataFolder(root_ / "bin", nullptr, "../lib/games"), std::nullopt);
}

TEST_F(PathsTest, FolderWithoutModelsIsNoDataFolderButTheOverrideWins) {
  fs::create_directories(root_ / "bin" / "runtime" / "texture");
  EXPECT_EQ(files::FindDataFolder(root_ / "bin", nullptr), std::nullopt);
  EXPECT_EQ(files::FindDataFolder(root_ / "bin", ""), std::nullopt);
  const std::string other = (root_ / "other").string();
  EXPECT_EQ(files::FindDataFolder(root_ / "bin", other.c_str()), fs::path(other));
}

TEST_F(PathsTest, UserFolderFollowsXdgDataHomeThenHome) {
  EXPECT_EQ(files::UserDataFolder("/x/data", "/home/p"), fs::path("/x/data/quadrel"));
  EXPECT_EQ(files::UserDataFolder(nullptr, "/home/p"), fs::path("/home/p/.local/share/quadrel"));
  // Empty or relative XDG_DATA_HOME is ignored; a relative HOME too.
  EXPECT_EQ(files::UserDataFolder("", "/home/p"), fs::path("/home/p/.local/share/quadrel"));
  EXPECT_EQ(files::UserDataFolder("data", "/home/p"), fs::path("/home/p/.local/share/quadrel"));
  const fs::path fallback = files::UserDataFolder(nullptr, "home");
  EXPECT_TRUE(fallback.empty() || fallback.is_absolute()) << fallback;
}

TEST_F(PathsTest, ReplaysAreWrittenIntoAReplayFolderMadeOnFirstUse) {
  files::GamePaths paths{root_ / "data", root_ / "xdg" / "deep" / "quadrel"};
  ReplayStore store;
  store.ResetReplayStore();
  store.SetFolder(paths.ReplayFolder());
  store.FinishReplay(1234, 1);
  store.fileName() = "00001234_test.rep";
  ASSERT_TRUE(store.WriteReplayFile());
  EXPECT_TRUE(fs::is_regular_file(paths.userFolder / "replay" / "00001234_test.rep"));
  EXPECT_EQ(store.ReadReplayFile("00001234_test.rep"), 1);
  EXPECT_EQ(store.header().score, 1234);
  // An absolute name is read as it is (a replay given on the command line).
  EXPECT_EQ(store.ReadReplayFile((paths.userFolder / "replay" / "00001234_test.rep").string()), 1);

  EXPECT_FALSE(fs::exists(root_ / "data"));
}

}  // namespace
