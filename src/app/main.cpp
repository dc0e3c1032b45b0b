// The program: one copy at a time, one window titled "Quadrel" starting in
// full screen, and the loop over the scene table. Exit code 0, or 1 after a
// fatal report.
#include <SDL.h>

#include <cstdio>

#include "app/SdlWindowSystem.hpp"
#include "app/Shell.hpp"
#include "app/SingleInstance.hpp"
#include "files/PlayerSettings.hpp"
#include "files/SafeFile.hpp"
#include "game/GameMain.hpp"
#include "net/Registration.hpp"
#include "platform/Clock.hpp"
#include "platform/GameWindow.hpp"
#include "platform/GlGraphics.hpp"
#include "platform/Input.hpp"
#include "platform/MessageBox.hpp"
#include "platform/Sound.hpp"
#include "ranking/RankingTable.hpp"
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
quadrel::Random randomGenerator;
quadrel::GameScene game(context, replayStore, randomGenerator);
quadrel::RankingTable rankingTable;

}  // namespace

int main() {
  using namespace quadrel;
  files::IgnoreFileSizeSignal();  // a full disk or ulimit -f fails a write, not the game
  app::SingleInstance instance;
  if (!instance.Acquire("Quadrel")) return 0;

  GameReset(game);  // the first reset zero-fills the context
  context.fullScreen = 1;
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "Quadrel: SDL could not start: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = render::CreateGameWindow(context.fullScreen != 0);
  if (!window) {
    std::fprintf(stderr, "Quadrel: no window: %s\n", SDL_GetError());
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
    randomGenerator.Seed(clock.Milliseconds());
    app::SdlWindowSystem windowSystem(window);
    io::PlatformGameInput input;
    io::PlatformGameSound sound;
    app::Shell* shell = nullptr;
    SceneServices services{graphics, input, clock, windowSystem};
    services.startDevices = [window] {
      io::InitInput(window);
      io::InitSound();
    };
    services.quit = [&shell](int code) {
      if (shell) shell->RequestQuit(code);
    };
    // The player's sound level and mute, kept per user between runs.
    const std::string settingsPath = PlayerSettingsPath();
    services.settings = LoadPlayerSettings(settingsPath);
    services.saveSettings = [settingsPath](const PlayerSettings& s) {
      SavePlayerSettings(s, settingsPath);
    };
    io::SetPlayerVolume(services.settings.volume, services.settings.muted);
    services.registerOnline = [](const RankingEntry& row, int32_t reachedLevel,
                                 const ReplayStore& store) {
      return RegisterOnline(http, RankingUrl(), RegistrationFormFor(row, reachedLevel, store));
    };

    TitleScene title(services);
    GameSceneTick gameScene(services, game, sound, [&sound] { return sound.Load(); });
    RankingScene ranking(services, rankingTable, replayStore);
    ReplaySelectScene select(services, replayStore);
    app::Shell loop(context, windowSystem, clock, {&title, &gameScene, &ranking, &select});
    shell = &loop;
    exitCode = loop.Run();
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
