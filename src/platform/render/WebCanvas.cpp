#include "platform/render/WebCanvas.hpp"

#include <emscripten/html5.h>

namespace quadrel::render {

bool WebCanvas::CreateContext(std::string* error) {
  if (context_) return true;
  EmscriptenWebGLContextAttributes a;
  emscripten_webgl_init_context_attributes(&a);
  a.majorVersion = 2;
  a.minorVersion = 0;
  // The picture has its own depth and stencil; the canvas only shows it.
  a.depth = EM_FALSE;
  a.stencil = EM_FALSE;
  a.antialias = EM_FALSE;
  a.alpha = EM_FALSE;
  // The last frame stays readable for a still picture or a paused view.
  a.preserveDrawingBuffer = EM_TRUE;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE c = emscripten_webgl_create_context(selector_.c_str(), &a);
  if (c <= 0) {
    if (error) *error = "this browser offers no WebGL2";
    return false;
  }
  context_ = static_cast<int>(c);
  MakeCurrent();
  return true;
}

void WebCanvas::MakeCurrent() {
  if (context_) emscripten_webgl_make_context_current(context_);
}

void WebCanvas::DestroyContext() {
  if (context_) emscripten_webgl_destroy_context(context_);
  context_ = 0;
}

void WebCanvas::DrawableSize(int& width, int& height) const {
  width = height = 0;
  if (context_) emscripten_webgl_get_drawing_buffer_size(context_, &width, &height);
}

bool WebCanvas::EnableExtension(const char* name) {
  return context_ && emscripten_webgl_enable_extension(context_, name);
}

}  // namespace quadrel::render
