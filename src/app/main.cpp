// The program: one copy at a time, one window titled "Quadrel" starting in
// full screen, and the loop over the scene table. Exit code 0, or 1 after a
// fatal report. `quadrel FILE.rep` plays that replay first, then shows the
// title (a copy that finds another running says it cannot, and exits 1). It
// runs in its data folder; the player's files go to a folder of their own.
#include <SDL.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "app/SdlWindowSystem.hpp"
#include "app/Shell.hpp"
#include "app/SingleInstance.hpp"
#include "base/Translate.hpp"
#include "files/GamePaths.hpp"
#include "files/PlayerSettings.hpp"
#include "files/SafeFile.hpp"
#include "game/GameMain.hpp"
#include "net/Registration.hpp"
#include "platform/render/Clock.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlGraphics.hpp"
#include "platform/input/Input.hpp"
#include "platform/dialog/MessageBox.hpp"
#include "platform/dialog/X11Session.hpp"
#include "platform/audio/Sound.hpp"
#include "ranking/RankingTable.hpp"
#include "replay/ReplayList.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameSceneTick.hpp"
#include "scenes/RankingScene.hpp"
#include "scenes/ReplaySelectScene.hpp"
#include "scenes/TitleScene.hpp"

namespace {

// The process-wide objects, in the order the game builds them.
quadrel::AppContext context{};
quadrel::ReplayStore replayStore;
quadrel::Http http;
quadrel::GameState game{};
quadrel::RankingTable rankingTable;

int Usage(const char* program) {
  std::fprintf(stderr, "%s\n", quadrel::Tr("usage: %s [REPLAY.rep]", program).c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quadrel;
  files::IgnoreFileSizeSignal();  // a full disk or ulimit -f fails a write, not the game
  // The player's language first: every report after this speaks it.
  StartTranslation(files::FindLocaleFolder(files::ProgramFolder(argv[0]), std::getenv("QUADREL_DATA_DIR"),
                                           QUADREL_LOCALE_FROM_BIN).string(),
                   LanguageFromEnvironment());
  if (argc > 2) return Usage(argv[0]);
  std::string startupReplay;
  if (argc == 2) {
    if (argv[1][0] == '-') return Usage(argv[0]);
    // Checked before anything starts, and made absolute before the folder changes.
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(argv[1], ec);
    const ReplayListEntry entry = ReadReplayListEntry(path.parent_path().string(),
                                                      path.filename().string());
    if (ec || !entry.valid) {
      const bool opened = !ec && entry.status != ReplayReadStatus::CannotOpen;
      std::fprintf(stderr, "Quadrel: %s: %s\n", argv[1],
                   opened ? Tr("not a replay of this game") : Tr("cannot be opened"));
      return 1;
    }
    startupReplay = path.string();
  }

  files::GamePaths paths;
  const auto data = files::FindDataFolder(files::ProgramFolder(argv[0]), std::getenv("QUADREL_DATA_DIR"),
                                          QUADREL_DATA_FROM_BIN);
  if (!data) {
    std::fprintf(stderr, "Quadrel: %s (runtime/, %s: %s)\n",
                 Tr("the game's models, pictures and sounds are missing: reinstall Quadrel"),
                 QUADREL_DATA_FROM_BIN, files::ProgramFolder(argv[0]).c_str());
    return 1;
  }
  paths.dataFolder = *data;
  paths.userFolder = files::UserDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  if (paths.userFolder.empty()) {
    std::fprintf(stderr, "Quadrel: %s\n", Tr("no home folder for the ranking and replays"));
    return 1;
  }
  // The player's folder is made at the first start (the replay folder in it
  // when the first replay is saved).
  std::error_code folderError;
  std::filesystem::create_directories(paths.userFolder, folderError);
  if (folderError) {
    std::fprintf(stderr, "Quadrel: %s: %s\n", paths.userFolder.c_str(),
                 folderError.message().c_str());
  }
  // Models name their textures relative to the data folder, so the game runs in it.
  if (::chdir(paths.dataFolder.c_str()) != 0) {
    std::fprintf(stderr, "Quadrel: %s: %s\n", paths.dataFolder.c_str(), std::strerror(errno));
    return 1;
  }
  replayStore.SetFolder(paths.ReplayFolder());
  app::SingleInstance instance;
  if (!instance.Acquire("Quadrel")) {
    // No window of our own yet: the box stands alone.
    io::QuitRequest unused;
    io::SdlMessageSink boxes(unused);
    SetMessageSink(&boxes);
    const int code = app::AnswerOtherCopyRunning(argc == 2 ? argv[1] : "");
    SetMessageSink(nullptr);
    SDL_Quit();
    return code;
  }

  game.replay = &replayStore;
  GameReset(game);  // the first reset zero-fills the game state
  context.fullScreen = 1;
  // Before SDL's video starts, so that SDL chains to it and puts it back at exit.
  io::InstallXErrorGuard();
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "Quadrel: %s\n", Tr("SDL could not start: %s", SDL_GetError()).c_str());
    return 1;
  }
  SDL_Window* window = render::CreateGameWindow(context.fullScreen != 0);
  if (!window) {
    std::fprintf(stderr, "Quadrel: %s\n", Tr("no window could be opened: %s", SDL_GetError()).c_str());
    SDL_Quit();
    return 1;
  }
  context.windowWidth = render::kPictureWidth;
  context.windowHeight = render::kPictureHeight;
  if (context.fullScreen) SDL_ShowCursor(SDL_DISABLE);

  io::QuitRequest quitRequest;
  io::SdlMessageSink messages(quitRequest);
  messages.SetParentWindow(window);
  SetMessageSink(&messages);

  int exitCode = 0;
  {
    render::GlGraphics graphics(window);
    platform::SystemClock clock;
    game.gameRandom.Seed(clock.Milliseconds());
    app::SdlWindowSystem windowSystem(window);
    io::PlatformGameInput input;
    io::PlatformGameSound sound;
    app::Shell* shell = nullptr;
    SceneServices services{graphics, input, clock, windowSystem};
    services.startupReplay = startupReplay;
    services.startDevices = [window] {
      io::InitInput(window);
      io::InitSound();
    };
    services.quit = [&shell](int code) {
      if (shell) shell->RequestQuit(code);
    };
    // The player's sound level and mute, kept per user between runs.
    const std::string settingsPath = PlayerSettingsPath();
    std::optional<std::string> rankingServer;
    services.settings = LoadPlayerSettings(settingsPath, &rankingServer);
    services.saveSettings = [settingsPath](const PlayerSettings& s) {
      SavePlayerSettings(s, settingsPath);
    };
    services.applySound = [](const PlayerSettings& s) { io::SetPlayerVolume(s.volume, s.muted); };
    services.applySound(services.settings);
    // The ranking server the player chose, once for the run.
    const RankingServerChoice server =
        ChooseRankingServer(std::getenv(kRankingServerVariable), rankingServer);
    if (!server.warning.empty()) std::fprintf(stderr, "%s\n", server.warning.c_str());
    services.registerOnline = [url = RankingUrl(server.server)](
                                  const RankingEntry& row, int32_t reachedLevel,
                                  const ReplayStore& store, const std::atomic<bool>& cancel) {
      http.cancel = &cancel;
      const auto outcome = static_cast<int32_t>(
          RegisterOnline(http, url, RegistrationFormFor(row, reachedLevel, store)));
      http.cancel = nullptr;
      return outcome;
    };

    TitleScene title(services);
    GameSceneTick gameScene(services, game, sound, [&sound] { return sound.Load(); });
    RankingScene ranking(services, rankingTable, replayStore, paths.RankingFile());
    ReplaySelectScene select(services, replayStore, paths.ReplayFolder());
    const SceneTable scenes{&title, &gameScene, &ranking, &select};
    if (scenes.Complete()) {
      app::Shell loop(context, windowSystem, clock, scenes);
      shell = &loop;
      exitCode = loop.Run();
      shell = nullptr;
    } else {
      ReportFatalError("A scene is missing from the scene table.", "Shell", __LINE__);
      exitCode = 1;
    }
    if (quitRequest.Requested() && exitCode == 0) exitCode = quitRequest.ExitCode();
    io::ShutdownInput();
    io::ShutdownSound();
    graphics.DestroyAllMeshes();
    graphics.DestroyAllFonts();
    graphics.ShutdownDirect3D();
  }
  SetMessageSink(nullptr);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return exitCode;
}
