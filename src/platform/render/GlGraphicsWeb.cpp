// The renderer's browser side: the WebGL2 context on the page's canvas. The
// browser shows the canvas after each frame on its own, at the size the page
// gives it; there is no display mode to switch.
#include <cstdio>
#include <string>

#include "platform/render/GlGraphics.hpp"
#include "platform/render/WebCanvas.hpp"

namespace quadrel::render {

void GlGraphics::MakeCurrent() {
  if (window_) window_->MakeCurrent();
}

void GlGraphics::DestroyContext() {
  if (window_) window_->DestroyContext();
  context_ = nullptr;
}

int32_t GlGraphics::ProbeRuntime() { return window_ ? kOk : kFail; }

int32_t GlGraphics::CreateApi() {
  std::string error;
  if (!window_->CreateContext(&error)) {
    std::fprintf(stderr, "WebGL2: %s\n", error.c_str());
    return kFail;
  }
  context_ = window_;
  window_->MakeCurrent();
  return kOk;
}

void GlGraphics::SetSwapInterval(int interval) { swapInterval_ = interval; }

int32_t GlGraphics::QueryDisplayMode(DisplayMode& mode) {
  int w = 0, h = 0;
  DrawableSize(w, h);
  mode = DisplayMode{uint32_t(w > 0 ? w : kPictureWidth), uint32_t(h > 0 ? h : kPictureHeight), 60,
                     kFormatX8R8G8B8};
  return kOk;
}

void GlGraphics::SwitchWindow(int32_t, int32_t, int32_t) {}

void GlGraphics::DrawableSize(int& width, int& height) { window_->DrawableSize(width, height); }

void GlGraphics::SwapWindow() {}

bool GlGraphics::HasExtension(const char* name) {
  // WebGL names its extensions without the GL_ prefix and enables them on request.
  const std::string n = name;
  if (n == "GL_EXT_texture_compression_s3tc") return window_->EnableExtension("WEBGL_compressed_texture_s3tc");
  return window_->EnableExtension(n.rfind("GL_", 0) == 0 ? n.c_str() + 3 : n.c_str());
}

}  // namespace quadrel::render
