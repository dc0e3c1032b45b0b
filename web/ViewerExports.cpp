// The C entry points of the replay viewer's WebAssembly module. The page
// writes the asset files into the module's file system, then calls
// quadrel_viewer_start, and drives steps and frames from its animation loop.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <string>

#include "VerifyApi.hpp"
#include "Viewer.hpp"
#include "platform/render/GlGraphics.hpp"
#include "platform/render/WebCanvas.hpp"

namespace {

using namespace quadrel;

constexpr char kScratch[] = "/tmp/quadrel-viewer.rep";
// Past the last recorded step: the leaving fade, or the all-clear's end.
constexpr int64_t kStepsAfterCheck = 120;

struct Page {
  std::unique_ptr<render::WebCanvas> canvas;
  std::unique_ptr<render::GlGraphics> graphics;
  Viewer viewer;
  std::string text;  // the last answer or error, valid until the next call
};
Page* page = nullptr;

KeyboardState Keys(int mask) {
  KeyboardState k{};
  if (mask & 1) k.keys[key::Left] = 0x80;
  if (mask & 2) k.keys[key::Right] = 0x80;
  if (mask & 4) k.keys[key::Up] = 0x80;
  if (mask & 8) k.keys[key::Down] = 0x80;
  return k;
}

}  // namespace

extern "C" {

// The device on the canvas and the game's models, fonts and background.
// 0, or negative with the reason in quadrel_viewer_text().
EMSCRIPTEN_KEEPALIVE int quadrel_viewer_start(const char* canvasSelector) {
  if (!page) page = new Page;
  page->canvas = std::make_unique<render::WebCanvas>(canvasSelector ? canvasSelector : "#view");
  std::string error;
  if (!page->canvas->CreateContext(&error)) {
    page->text = error;
    return -1;
  }
  page->graphics = std::make_unique<render::GlGraphics>(page->canvas.get());
  if (page->graphics->InitDirect3D(0) < 0) {
    page->text = "the WebGL2 device could not be set up";
    return -2;
  }
  if (page->viewer.LoadView(*page->graphics) < 0) {
    page->text = "a model file of the game is missing";
    return -3;
  }
  return 0;
}

// Checks the replay as `quadrel-replay verify` does and starts it. Returns
// the check's JSON (verdict, outcome, trace ...) or, when the bytes are no
// replay, "" with the reason in quadrel_viewer_text().
EMSCRIPTEN_KEEPALIVE const char* quadrel_viewer_open(const char* name, const uint8_t* bytes, int size) {
  if (!page) page = new Page;
  const size_t n = size > 0 ? size_t(size) : 0;
  std::string json = VerifyReplayJson(name ? name : "", bytes, n, kScratch);
  std::string error;
  if (!page->viewer.Open(bytes, n, &error)) {
    page->text = error;
    return "";
  }
  page->text = std::move(json);
  return page->text.c_str();
}

// The step the replay must stop at (the check's steps plus the fade).
EMSCRIPTEN_KEEPALIVE void quadrel_viewer_limit(double checkSteps) {
  if (page) page->viewer.SetStepLimit(static_cast<int64_t>(checkSteps) + kStepsAfterCheck);
}

EMSCRIPTEN_KEEPALIVE double quadrel_viewer_length() { return page ? double(page->viewer.Length()) : 0; }

// keys: 1 left, 2 right, 4 up, 8 down (the camera). The steps run.
EMSCRIPTEN_KEEPALIVE int quadrel_viewer_advance(int steps, int keys) {
  return page ? page->viewer.Advance(steps, Keys(keys)) : 0;
}

EMSCRIPTEN_KEEPALIVE void quadrel_viewer_seek(double step) {
  if (page) page->viewer.Seek(static_cast<int64_t>(step));
}

EMSCRIPTEN_KEEPALIVE void quadrel_viewer_draw() {
  if (page && page->graphics) page->viewer.Draw(*page->graphics);
}

EMSCRIPTEN_KEEPALIVE double quadrel_viewer_step() { return page ? double(page->viewer.Steps()) : 0; }
EMSCRIPTEN_KEEPALIVE void quadrel_viewer_fps(double fps) {
  if (page) page->viewer.SetFps(fps);
}
EMSCRIPTEN_KEEPALIVE int quadrel_viewer_score() { return page ? page->viewer.Score() : 0; }
EMSCRIPTEN_KEEPALIVE int quadrel_viewer_ended() { return page && page->viewer.Ended() ? 1 : 0; }

// Sounds since the last call: hits + 1000 x bar touches, and 1e6 when the
// music (re)starts.
EMSCRIPTEN_KEEPALIVE double quadrel_viewer_sounds() {
  if (!page) return 0;
  const ViewerSounds s = page->viewer.TakeSounds();
  return double(s.hits) + 1000.0 * s.bars + (s.music ? 1e6 : 0);
}

EMSCRIPTEN_KEEPALIVE const char* quadrel_viewer_text() { return page ? page->text.c_str() : ""; }

}
