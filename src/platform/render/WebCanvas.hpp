// The page's canvas with a WebGL2 context: the browser's counterpart of the
// SDL game window. Only the web build has it.
#pragma once

#include <string>

namespace quadrel::render {

class WebCanvas {
 public:
  // selector: the canvas, as emscripten's html5 functions name it ("#view").
  explicit WebCanvas(std::string selector) : selector_(std::move(selector)) {}
  ~WebCanvas() { DestroyContext(); }
  WebCanvas(const WebCanvas&) = delete;
  WebCanvas& operator=(const WebCanvas&) = delete;

  // WebGL2 (OpenGL ES 3.0), made current; false with the reason when the
  // browser has none.
  bool CreateContext(std::string* error);
  bool HasContext() const { return context_ != 0; }
  void MakeCurrent();
  void DestroyContext();
  void DrawableSize(int& width, int& height) const;
  bool EnableExtension(const char* name);

 private:
  std::string selector_;
  int context_ = 0;  // EMSCRIPTEN_WEBGL_CONTEXT_HANDLE
};

}  // namespace quadrel::render
