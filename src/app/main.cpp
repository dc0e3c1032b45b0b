// The program: one copy at a time, one window titled "Quadrel" starting in
// full screen, and the loop over the scene table. Exit code 0, or 1 after a
// fatal report.
#include <SDL.h>

#include <cstdio>

#include "app/MinimalScene.hpp"
#include "app/SdlWindowSystem.hpp"
#include "app/Shell.hpp"
#include "app/SingleInstance.hpp"
#include "game/AppContext.hpp"
#include "platform/Clock.hpp"
#include "platform/GameWindow.hpp"
#include "platform/GlGraphics.hpp"

namespace {

quadrel::AppContext context{};

}  // namespace

int main() {
  using namespace quadrel;
  app::SingleInstance instance;
  if (!instance.Acquire("Quadrel")) return 0;

  context = AppContext{};
  context.fullScreen = 1;
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
    return 0;
  }
  SDL_Window* window = render::CreateGameWindow(context.fullScreen != 0);
  if (!window) {
    std::fprintf(stderr, "window: %s\n", SDL_GetError());
    SDL_Quit();
    return 0;
  }
  context.windowWidth = render::kPictureWidth;
  context.windowHeight = render::kPictureHeight;
  if (context.fullScreen) SDL_ShowCursor(SDL_DISABLE);

  int exitCode = 0;
  {
    render::GlGraphics graphics(window);
    platform::SystemClock clock;
    app::SdlWindowSystem windowSystem(window);
    app::MinimalScene title(Title, graphics, windowSystem, true, 0xFF000000u, "./texture/title.dds",
                            "Q  u  a  d  r  e  l");
    app::MinimalScene game(Game, graphics, windowSystem, false, 0xFF000096u, "./texture/back.dds",
                           "Game");
    app::MinimalScene ranking(Ranking, graphics, windowSystem, false, 0xFF3264C8u,
                              "./texture/ranking.dds", "Ranking");
    app::MinimalScene select(ReplaySelect, graphics, windowSystem, false, 0xFF000000u,
                             "./texture/select.dds", "Replay");
    app::Shell shell(context, windowSystem, clock, {&title, &game, &ranking, &select});
    exitCode = shell.Run();
    graphics.ShutdownDirect3D();
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
  return exitCode;
}
