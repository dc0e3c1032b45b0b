#include "platform/dialog/TextMessageBox.hpp"

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "files/SafeFile.hpp"
#include "platform/dialog/X11Session.hpp"

namespace quadrel::io {
namespace {

// UTF-8 to code points; a broken sequence counts as U+FFFD.
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

struct Face {
  std::vector<uint8_t> bytes;  // must outlive the font
  TTF_Font* font = nullptr;
  ~Face() {
    if (font) TTF_CloseFont(font);
  }
};

constexpr int kMargin = 20;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;

}  // namespace

void PrepareBoxFont(TTF_Font* font) {
  // Full hinting snaps a low glyph (IPAGothic's underscore at 16 px) below
  // the rounded descent, where SDL_ttf clips it away; light hinting keeps
  // it inside the line.
  TTF_SetFontHinting(font, TTF_HINTING_LIGHT);
}

std::string ElideMiddle(TTF_Font* font, const std::string& line, int maxWidth) {
  int w = 0;
  if (TTF_SizeUTF8(font, line.c_str(), &w, nullptr) != 0 || w <= maxWidth) return line;
  std::vector<size_t> starts;  // byte offset of each character
  for (size_t i = 0; i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) starts.push_back(i);
  const size_t count = starts.size();
  if (count == 0) return line;
  auto cut = [&](size_t keep) {  // keep characters, the larger half at the end
    const size_t head = keep / 2, tail = keep - head;
    return line.substr(0, starts[head]) + "\u2026" +
           (tail == 0 ? std::string() : line.substr(starts[count - tail]));
  };
  size_t lo = 0, hi = count - 1;  // the most characters that still fit
  while (lo < hi) {
    const size_t mid = (lo + hi + 1) / 2;
    if (TTF_SizeUTF8(font, cut(mid).c_str(), &w, nullptr) == 0 && w <= maxWidth) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return cut(lo);
}

std::string FindFaceFor(const std::string& text, int* index) {
  if (!FcInit()) return "";
  FcCharSet* wanted = FcCharSetCreate();
  for (uint32_t cp : CodePoints(text))
    if (cp >= 0x20) FcCharSetAddChar(wanted, cp);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  std::string file;
  FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  // The first face in order of preference that has every character.
  for (int i = 0; fonts && i < fonts->nfont && file.empty(); ++i) {
    FcCharSet* has = nullptr;
    FcChar8* path = nullptr;
    if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch ||
        FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &path) != FcResultMatch)
      continue;
    if (FcCharSetSubtractCount(wanted, has) != 0) continue;
    file = reinterpret_cast<const char*>(path);
    int faceIndex = 0;
    FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &faceIndex);
    if (index) *index = faceIndex;
  }
  if (fonts) FcFontSetDestroy(fonts);
  FcPatternDestroy(pattern);
  FcCharSetDestroy(wanted);
  return file;
}

bool ShowTextMessageBox(const std::string& caption, const std::string& text, bool warning) {
  int index = 0;
  const std::string file = FindFaceFor(caption + text + "OK\u2026", &index);
  if (file.empty()) return false;
  const bool startVideo = !SDL_WasInit(SDL_INIT_VIDEO);
  if (startVideo) InstallXErrorGuard();  // before SDL, which chains to it
  if (startVideo && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  if (TTF_Init() != 0) {
    if (startVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  // The box must leave the game's OpenGL context current, and must not make
  // one of its own: SDL would otherwise back a software window with OpenGL.
  SDL_Window* glWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext glContext = SDL_GL_GetCurrentContext();
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
  bool shown = false;
  {
    Face face;
    std::string error;
    if (files::ReadWholeFile(file, files::FileKind::Font, face.bytes, &error)) {
      SDL_RWops* rw = SDL_RWFromConstMem(face.bytes.data(), int(face.bytes.size()));
      if (rw) face.font = TTF_OpenFontIndexRW(rw, 1, 16, index);
      if (face.font) PrepareBoxFont(face.font);
    } else {
      files::WarnFileProblem(file, error);
    }
    std::vector<SDL_Surface*> rendered;
    SDL_Surface* okText = nullptr;
    int textWidth = 0, lineSkip = 0;
    const int iconWidth = 40;
    // The box fits the screen; longer lines are shortened in the middle.
    SDL_Rect usable{0, 0, 1280, 1024};
    SDL_GetDisplayUsableBounds(0, &usable);
    const int maxWidth = std::clamp(usable.w - 40, 320, 1200);
    const int maxTextWidth = maxWidth - kMargin * 3 - iconWidth;
    if (face.font) {
      lineSkip = TTF_FontLineSkip(face.font);
      const SDL_Color ink{0, 0, 0, 255};
      for (const std::string& line : Lines(text)) {
        const std::string shown = ElideMiddle(face.font, line, maxTextWidth);
        SDL_Surface* s = shown.empty() ? nullptr : TTF_RenderUTF8_Blended(face.font, shown.c_str(), ink);
        rendered.push_back(s);
        if (s) textWidth = std::max(textWidth, s->w);
      }
      okText = TTF_RenderUTF8_Blended(face.font, "OK", ink);
    }
    const int width = std::clamp(kMargin * 3 + iconWidth + textWidth, 320, maxWidth);
    const int textHeight = int(rendered.size()) * lineSkip;
    const int height = kMargin * 3 + std::max(textHeight, 32) + kButtonHeight;
    SDL_Window* window =
        face.font ? SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     width, height, SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR)
                  : nullptr;
    // A software renderer: the game's OpenGL context stays untouched.
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    if (renderer) {
      shown = true;
      const SDL_Rect button{width - kMargin - kButtonWidth, height - kMargin - kButtonHeight,
                            kButtonWidth, kButtonHeight};
      auto draw = [&] {
        SDL_SetRenderDrawColor(renderer, 240, 240, 240, 255);
        SDL_RenderClear(renderer);
        // The icon: an amber "!" square for a warning, a blue "i" for information.
        const SDL_Rect icon{kMargin, kMargin, 32, 32};
        if (warning) {
          SDL_SetRenderDrawColor(renderer, 230, 160, 20, 255);
        } else {
          SDL_SetRenderDrawColor(renderer, 40, 100, 200, 255);
        }
        SDL_RenderFillRect(renderer, &icon);
        SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
        const SDL_Rect stem{kMargin + 14, kMargin + (warning ? 6 : 13), 4, warning ? 14 : 13};
        const SDL_Rect dot{kMargin + 14, kMargin + (warning ? 23 : 6), 4, 4};
        SDL_RenderFillRect(renderer, &stem);
        SDL_RenderFillRect(renderer, &dot);
        int y = kMargin;
        for (SDL_Surface* s : rendered) {
          if (s) {
            SDL_Texture* t = SDL_CreateTextureFromSurface(renderer, s);
            const SDL_Rect at{kMargin * 2 + iconWidth, y, s->w, s->h};
            if (t) SDL_RenderCopy(renderer, t, nullptr, &at);
            if (t) SDL_DestroyTexture(t);
          }
          y += lineSkip;
        }
        SDL_SetRenderDrawColor(renderer, 225, 225, 225, 255);
        SDL_RenderFillRect(renderer, &button);
        SDL_SetRenderDrawColor(renderer, 90, 90, 90, 255);
        SDL_RenderDrawRect(renderer, &button);
        if (okText) {
          SDL_Texture* t = SDL_CreateTextureFromSurface(renderer, okText);
          const SDL_Rect at{button.x + (button.w - okText->w) / 2, button.y + (button.h - okText->h) / 2,
                            okText->w, okText->h};
          if (t) SDL_RenderCopy(renderer, t, nullptr, &at);
          if (t) SDL_DestroyTexture(t);
        }
        SDL_RenderPresent(renderer);
      };
      SDL_RaiseWindow(window);
      draw();
      const Uint32 id = SDL_GetWindowID(window);
      bool quitSeen = false, open = true;
      while (open) {
        // No SDL_WaitEventTimeout while the box is SDL's newest window: SDL
        // would address its wake-up to the box over a second X connection,
        // and one that reaches the server after the box is destroyed is a
        // BadWindow error, fatal when SDL closes that connection at exit.
        // Polling SDL and waiting on the X connection ourselves sends none.
        SDL_Event e;
        bool have = SDL_PollEvent(&e);
        if (!have) {
          const WindowWait wait = WaitForWindowInput(window, 250);
          if (wait == WindowWait::Input) continue;
          if (wait == WindowWait::NotX11) have = SDL_WaitEventTimeout(&e, 250);
          if (!have) {
            draw();  // cheap, and covers a lost expose
            continue;
          }
        }
        switch (e.type) {
          case SDL_QUIT: quitSeen = true; break;
          case SDL_WINDOWEVENT:
            if (e.window.windowID != id) break;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) open = false;
            else draw();
            break;
          case SDL_KEYDOWN:
            if (e.key.windowID == id &&
                (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER ||
                 e.key.keysym.sym == SDLK_ESCAPE || e.key.keysym.sym == SDLK_SPACE))
              open = false;
            break;
          case SDL_MOUSEBUTTONUP: {
            const SDL_Point p{e.button.x, e.button.y};
            if (e.button.windowID == id && SDL_PointInRect(&p, &button)) open = false;
            break;
          }
          default: break;
        }
      }
      if (quitSeen) {  // not ours to take: the game's loop sees it after the box
        SDL_Event q{};
        q.type = SDL_QUIT;
        SDL_PushEvent(&q);
      }
    }
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    for (SDL_Surface* s : rendered)
      if (s) SDL_FreeSurface(s);
    if (okText) SDL_FreeSurface(okText);
  }
  if (glWindow && glContext) SDL_GL_MakeCurrent(glWindow, glContext);
  TTF_Quit();
  if (startVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return shown;
}

}  // namespace quadrel::io
