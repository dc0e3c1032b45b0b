// The program: one copy at a time, one window titled "Quadrel" starting in
// full screen, and the loop over the scene table. Exit code 0, or 1 after a
// fatal report.
#include <SDL.h>

#include <cstdio>

#include "app/MinimalScene.hpp"
#include "app/SdlWindowSystem.hpp"
#include "app/Shell.hpp"
#include "app/SingleInstance.hpp"
#include "files/SafeFile.hpp"
#include "game/GameMain.hpp"
#include "game/GameSceneTick.hpp"
#include "platform/Clock.hpp"
#include "platform/GameWindow.hpp"
#include "platform/GlGraphics.hpp"
#include "platform/Input.hpp"
#include "platform/MessageBox.hpp"
#include "platform/Sound.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/TitleScene.hpp"

namespace {

// The process-wide objects, in the order the game builds them.
quadrel::AppContext context{};
quadrel::ReplayStore replayStore;
quadrel::Random randomGenerator;
quadrel::GameScene game(context, replayStore, randomGenerator);

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

    TitleScene title(services);
    GameSceneTick gameScene(services, game, sound, [&sound] { return sound.Load(); });
    app::MinimalScene ranking(Ranking, graphics, windowSystem, false, 0xFF3264C8u,
                              "./texture/ranking.dds", "Ranking");
    app::MinimalScene select(ReplaySelect, graphics, windowSystem, false, 0xFF000000u,
                             "./texture/select.dds", "Replay");
    // Until the ranking and the replay list exist, their stand-ins lead back.
    ranking.ReturnToTitle(900);
    select.ReturnToTitle(0);
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
