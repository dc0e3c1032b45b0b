// The player's settings file (where it lives, round trip, damaged and missing
// files, the player's own lines kept, a failed save) and the sound layer's use of the player's level: the
// master volume the backend hears and the pause of everything playing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/PlayerSettings.hpp"
#include "platform/audio/MixerSound.hpp"
#include "platform/audio/Sound.hpp"

namespace fs = std::filesystem;

namespace quadrel {
namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quadrel-settings-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "quadrel" / "settings.ini").string();
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  void Write(const std::string& text) {
    fs::create_directories(fs::path(path_).parent_path());
    std::ofstream(path_, std::ios::binary) << text;
  }
  fs::path dir_;
  std::string path_;
};

TEST_F(SettingsFile, RoundTripsAndLeavesNoTemporaryFileBehind) {
  for (const PlayerSettings& s : {PlayerSettings{3, true}, PlayerSettings{0, false}, PlayerSettings{}}) {
    ASSERT_TRUE(SavePlayerSettings(s, path_));  // the folder is made on the first save
    EXPECT_EQ(LoadPlayerSettings(path_), s);
  }
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(SettingsFile, MissingOrDamagedFilesGiveTheDefaults) {
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});  // none yet
  EXPECT_EQ(LoadPlayerSettings(""), PlayerSettings{});
  Write(std::string("\x89PNG\r\n\x1a\n\0\0\xff garbage", 20));
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});
  Write("volume=11\nmuted=maybe\n");  // out of range, not a flag
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});
  Write("volume=4x\nvolume=-1\nvolume=\n= 3\nmuted\n");
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});
  // What can be read is kept: blanks, CR LF, comments, sections and unknown keys are fine.
  Write("; by hand\r\n[sound]\r\n  volume = 6 \r\ncolour=red\r\nmuted=yes\r\n");
  EXPECT_EQ(LoadPlayerSettings(path_), (PlayerSettings{6, true}));
  Write("volume=2");  // no final line feed
  EXPECT_EQ(LoadPlayerSettings(path_), (PlayerSettings{2, false}));
  // A folder or a FIFO in its place, or a file far too large.
  fs::remove(path_);
  fs::create_directory(path_);
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});
  fs::remove(path_);
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});  // and does not block
  fs::remove(path_);
  Write(std::string(100000, 'v'));
  EXPECT_EQ(LoadPlayerSettings(path_), PlayerSettings{});
}

TEST_F(SettingsFile, SaveKeepsThePlayersOtherLinesAndReadsTheRankingServer) {
  std::optional<std::string> server = "stale";
  EXPECT_EQ(LoadPlayerSettings(path_, &server), PlayerSettings{});
  EXPECT_EQ(server, std::nullopt);
  // Blanks, CR LF, a key of another version and no final line feed.
  Write("# mine\r\n[sound]\r\nvolume = 3\r\n[net]\r\n ranking_server = [::1]:8080 \r\n"
        "colour=red\r\nvolume=4");
  PlayerSettings loaded = LoadPlayerSettings(path_, &server);
  EXPECT_EQ(loaded.volume, 4);
  EXPECT_EQ(server, "[::1]:8080");
  loaded.volume = 7;
  loaded.muted = true;
  ASSERT_TRUE(SavePlayerSettings(loaded, path_));
  std::ifstream in(path_, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "# mine\r\n[sound]\r\nvolume=7\r\n[net]\r\n ranking_server = [::1]:8080 \r\n"
                  "colour=red\r\nvolume=7\nmuted=1\n");
  EXPECT_EQ(LoadPlayerSettings(path_), loaded);
  // An empty value is the player's too: kept, for its user to refuse.
  Write("ranking_server=\n");
  LoadPlayerSettings(path_, &server);
  EXPECT_EQ(server, "");
}

TEST_F(SettingsFile, AFailedSaveKeepsTheOldFile) {
  ASSERT_TRUE(SavePlayerSettings(PlayerSettings{4, false}, path_));
  if (::geteuid() != 0) {  // root writes anywhere
    fs::permissions(fs::path(path_).parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(SavePlayerSettings(PlayerSettings{9, true}, path_));
    fs::permissions(fs::path(path_).parent_path(), fs::perms::owner_all);
  }
  // A folder in the way of the folder.
  const std::string blocked = (dir_ / "file" / "quadrel" / "settings.ini").string();
  std::ofstream(dir_ / "file") << "x";
  EXPECT_FALSE(SavePlayerSettings(PlayerSettings{9, true}, blocked));
  EXPECT_EQ(LoadPlayerSettings(path_), (PlayerSettings{4, false}));
}

TEST(SettingsPath, FollowsXdgConfigHomeThenHome) {
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedConfig = oldConfig ? oldConfig : "", savedHome = oldHome ? oldHome : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  ::setenv("HOME", "/home/player", 1);
  EXPECT_EQ(PlayerSettingsPath(), "/tmp/cfg/quadrel/settings.ini");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);  // not absolute: ignored
  EXPECT_EQ(PlayerSettingsPath(), "/home/player/.config/quadrel/settings.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(PlayerSettingsPath(), "/home/player/.config/quadrel/settings.ini");
  ::unsetenv("HOME");
  EXPECT_EQ(PlayerSettingsPath(), "");
  if (oldConfig) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(PlayerVolume, ScalesTheGamesMasterVolumeAndSurvivesItsChanges) {
  io::HeadlessSound backend;
  io::SetPlayerVolume(5, false);
  ASSERT_EQ(io::InitSound(backend), io::kOk);
  EXPECT_EQ(backend.masterVolume, -602);  // half the amplitude
  io::SetMasterVolume(-600);              // the game's own level
  EXPECT_EQ(backend.masterVolume, -1202);
  io::SetPlayerVolume(10, false);
  EXPECT_EQ(backend.masterVolume, -600);
  io::SetPlayerVolume(1, false);
  EXPECT_EQ(backend.masterVolume, -2600);
  EXPECT_EQ(io::MixerVolume(backend.masterVolume), 6);
  io::SetPlayerVolume(1, true);
  EXPECT_EQ(io::MixerVolume(backend.masterVolume), 0);
  io::SetPlayerVolume(0, false);
  EXPECT_EQ(io::MixerVolume(backend.masterVolume), 0);
  io::SetPlayerVolume(7, false);
  io::PlatformGameSound game;
  game.PauseAllSound(true);
  game.PauseAllSound(false);
  game.SetPlayerVolume(10, false);
  EXPECT_EQ(backend.masterVolume, -600);
  const auto pauses = backend.CallsOf("Pause");
  const auto resumes = backend.CallsOf("Resume");
  EXPECT_EQ(pauses.size(), 1u);
  EXPECT_EQ(resumes.size(), 1u);
  io::ShutdownSound();
  io::SetPlayerVolume(10, false);
}

}  // namespace
}  // namespace quadrel
