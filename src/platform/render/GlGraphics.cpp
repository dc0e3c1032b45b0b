#include "platform/render/GlGraphics.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "files/SafeFile.hpp"

#include "platform/render/D3DMath.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlShaders.hpp"
#include "platform/render/Picture.hpp"

namespace quadrel::render {
namespace {

constexpr size_t kOverlayRingBytes = size_t(1) << 18;  // 256 KiB: ~2,700 glyphs before it is renewed

}  // namespace

GlGraphics::GlGraphics(GlWindow* window) : window_(window) { overlayScratch_.reserve(24 * 256); }

GlGraphics::~GlGraphics() {
  MakeCurrent();
  DestroyMeshes();
  DestroyFonts();
  ReleaseBackground();
  if (deviceObjects_) ReleaseDevice();
  DestroyContext();
}

int32_t GlGraphics::CreateDevice() {
  if (!context_) return kFail;
  s3tc_ = HasExtension("GL_EXT_texture_compression_s3tc");

  overlayProgram_ = CompileProgram(kOverlayVertex, kOverlayFragment);
  presentProgram_ = CompileProgram(kPresentVertex, kPresentFragment);
  presentLinearProgram_ = CompileProgram(kPresentVertex, kPresentLinearFragment);
  if (!overlayProgram_ || !presentProgram_ || !presentLinearProgram_ || !Variant(kKeyLighting)) {
    ReleaseDevice();
    return kFail;
  }
  ou_ = OverlayUniforms{glGetUniformLocation(overlayProgram_, "uColour"),
                        glGetUniformLocation(overlayProgram_, "uMode"),
                        glGetUniformLocation(overlayProgram_, "uTexture")};
  glUseProgram(overlayProgram_);
  glUniform1i(ou_.texture, 0);
  presentPicture_ = glGetUniformLocation(presentProgram_, "uPicture");
  presentGamma_ = glGetUniformLocation(presentProgram_, "uGamma");
  glUseProgram(presentProgram_);
  glUniform1i(presentPicture_, 0);
  glUniform1i(presentGamma_, 1);
  glUseProgram(presentLinearProgram_);
  glUniform1i(glGetUniformLocation(presentLinearProgram_, "uPicture"), 0);
  presentScale_ = glGetUniformLocation(presentLinearProgram_, "uScale");
  presentBias_ = glGetUniformLocation(presentLinearProgram_, "uBias");

  // The picture: colour texture plus depth 24 / stencil 8.
  glGenTextures(1, &colourTexture_);
  glBindTexture(GL_TEXTURE_2D, colourTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kPictureWidth, kPictureHeight, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glGenRenderbuffers(1, &depthStencil_);
  glBindRenderbuffer(GL_RENDERBUFFER, depthStencil_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kPictureWidth, kPictureHeight);
  glGenFramebuffers(1, &fbo_);
  presentFilter_ = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colourTexture_, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            depthStencil_);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    ReleaseDevice();
    return kFail;
  }

  glGenTextures(1, &gammaTexture_);
  glBindTexture(GL_TEXTURE_2D, gammaTexture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  // 16-bit entries; ES has no 16-bit normalised format, so floats there.
  if constexpr (kGlEs) glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, 256, 1, 0, GL_RED, GL_FLOAT, nullptr);
  else glTexImage2D(GL_TEXTURE_2D, 0, GL_R16, 256, 1, 0, GL_RED, GL_UNSIGNED_SHORT, nullptr);

  glGenSamplers(1, &sampler_);

  glGenVertexArrays(1, &overlayVao_);
  glGenBuffers(1, &overlayVbo_);
  glBindVertexArray(overlayVao_);
  glBindBuffer(GL_ARRAY_BUFFER, overlayVbo_);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(kOverlayRingBytes), nullptr, GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float),
                        reinterpret_cast<void*>(2 * sizeof(float)));
  glGenVertexArrays(1, &emptyVao_);
  glBindVertexArray(0);
  boundVao_ = ~0u;
  boundTexture_ = ~0u;
  overlayOffset_ = 0;
  pendingClear_ = false;
  deviceObjects_ = true;
  statesKnown_ = false;
  ForgetGlState();
  return kOk;
}

int32_t GlGraphics::CreateFadeBuffer() {
  if (fadeVbo_) return kOk;
  const float corners[12] = {-4, 3, 0, 4, 3, 0, -4, -3, 0, 4, -3, 0};
  glGenVertexArrays(1, &fadeVao_);
  glGenBuffers(1, &fadeVbo_);
  glBindVertexArray(fadeVao_);
  glBindBuffer(GL_ARRAY_BUFFER, fadeVbo_);
  glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);
  glBindVertexArray(0);
  boundVao_ = ~0u;
  return glGetError() == GL_NO_ERROR ? kOk : kFail;
}

void GlGraphics::ReleaseDevice() {
  if (!context_) return;
  auto delProgram = [](GLuint& p) {
    if (p) glDeleteProgram(p);
    p = 0;
  };
  auto delTexture = [](GLuint& t) {
    if (t) glDeleteTextures(1, &t);
    t = 0;
  };
  auto delBuffer = [](GLuint& b) {
    if (b) glDeleteBuffers(1, &b);
    b = 0;
  };
  auto delVao = [](GLuint& v) {
    if (v) glDeleteVertexArrays(1, &v);
    v = 0;
  };
  for (MainVariant& v : variants_) {
    delProgram(v.program);
    v = MainVariant{};
  }
  currentVariant_ = -1;
  delProgram(overlayProgram_);
  delProgram(presentProgram_);
  delProgram(presentLinearProgram_);
  delTexture(colourTexture_);
  delTexture(gammaTexture_);
  if (depthStencil_) glDeleteRenderbuffers(1, &depthStencil_);
  depthStencil_ = 0;
  if (fbo_) glDeleteFramebuffers(1, &fbo_);
  fbo_ = 0;
  if (sampler_) glDeleteSamplers(1, &sampler_);
  sampler_ = 0;
  delBuffer(fadeVbo_);
  delVao(fadeVao_);
  delBuffer(overlayVbo_);
  delVao(overlayVao_);
  delVao(emptyVao_);
  deviceObjects_ = false;
  ForgetGlState();
}

int32_t GlGraphics::ResetDevice() {
  // A GL context is never lost: a reset only forgets the device states.
  ForgetGlState();
  statesKnown_ = false;
  return kOk;
}

void GlGraphics::Clear(uint32_t colour) {
  // Done by the frame's first operation: a background copy that covers the
  // whole picture makes clearing the colour unnecessary.
  pendingClear_ = true;
  pendingClearColour_ = colour;
  overlayOffset_ = 0;
  drawCalls_ = 0;
}

void GlGraphics::FinishClear(bool colour) {
  if (!pendingClear_) return;
  pendingClear_ = false;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, kPictureWidth, kPictureHeight);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  const ColourValue c = ArgbToColour(pendingClearColour_);
  glClearColor(c.r, c.g, c.b, c.a);
  glClearDepthf(1.0f);
  glClearStencil(0);
  glClear((colour ? GL_COLOR_BUFFER_BIT : 0) | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  statesKnown_ = false;
  ForgetGlState();
}

int32_t GlGraphics::Present() {
  FinishClear(true);
  int dw = 0, dh = 0;
  DrawableSize(dw, dh);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, dw, dh);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const ViewRect r = Letterbox(dw, dh);
  if (r.width != dw || r.height != dh) {  // black bars beside or above the picture
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  const bool exact = r.width == kPictureWidth && r.height == kPictureHeight;
  // GL counts rows from the bottom; the letterbox is symmetric.
  glViewport(r.x, dh - r.y - r.height, r.width, r.height);
  if (gammaLinear_) {
    glUseProgram(presentLinearProgram_);
    glUniform4f(presentScale_, gammaScale_, gammaScale_, gammaScale_, 0.0f);
    glUniform4f(presentBias_, gammaBias_, gammaBias_, gammaBias_, 1.0f);
  } else {
    glUseProgram(presentProgram_);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, gammaTexture_);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, colourTexture_);
  glBindSampler(0, 0);
  if (presentFilter_ != (exact ? 1 : 2)) {
    presentFilter_ = exact ? 1 : 2;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, exact ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, exact ? GL_NEAREST : GL_LINEAR);
  }
  glBindVertexArray(emptyVao_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  if (captureWindow_) {
    windowCapture_.assign(size_t(dw) * size_t(dh) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, dw, dh, GL_RGBA, GL_UNSIGNED_BYTE, windowCapture_.data());
    std::vector<uint8_t> row(size_t(dw) * 4);
    for (int y = 0; y < dh / 2; ++y) {
      uint8_t* a = &windowCapture_[size_t(y) * dw * 4];
      uint8_t* b = &windowCapture_[size_t(dh - 1 - y) * dw * 4];
      std::memcpy(row.data(), a, row.size());
      std::memcpy(a, b, row.size());
      std::memcpy(b, row.data(), row.size());
    }
    windowCaptureWidth_ = dw;
    windowCaptureHeight_ = dh;
  }
  SwapWindow();
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  boundTexture_ = ~0u;
  boundVao_ = ~0u;
  statesKnown_ = false;
  ForgetGlState();
  return kOk;
}

std::vector<uint8_t> GlGraphics::ReadPicture() {
  std::vector<uint8_t> pixels(size_t(kPictureWidth) * kPictureHeight * 4, 0);
  if (!fbo_) return pixels;
  FinishClear(true);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kPictureWidth, kPictureHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  std::vector<uint8_t> flipped(pixels.size());
  const size_t stride = size_t(kPictureWidth) * 4;
  for (int y = 0; y < kPictureHeight; ++y)
    std::memcpy(&flipped[size_t(y) * stride], &pixels[size_t(kPictureHeight - 1 - y) * stride],
                stride);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  return flipped;
}

GLuint GlGraphics::UploadPicture(const Picture& picture, bool mipmaps, int* levelsOut) {
  if (picture.levels.empty()) return 0;
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  boundTexture_ = ~0u;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  int levels = static_cast<int>(picture.levels.size());
  bool generate = false;
  if (picture.Compressed() && s3tc_) {
    const GLenum format = picture.format == PixelFormat::Dxt1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                          : picture.format == PixelFormat::Dxt3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                                : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    for (int i = 0; i < levels; ++i) {
      const PictureLevel& lv = picture.levels[i];
      glCompressedTexImage2D(GL_TEXTURE_2D, i, format, lv.width, lv.height, 0,
                             GLsizei(lv.data.size()), lv.data.data());
    }
  } else {
    for (int i = 0; i < levels; ++i) {
      const PictureLevel& lv = picture.levels[i];
      // ES takes neither BGRA nor 5-6-5 into an 8-bit format: decoded to RGBA there.
      const bool decode = kGlEs && picture.format != PixelFormat::Rgba8;
      if (decode) {
        const std::vector<uint8_t> rgba = DecodeLevelRgba(picture, i);
        glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, lv.width, lv.height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba.data());
        continue;
      }
      switch (picture.format) {
        case PixelFormat::Bgra8:
          glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, lv.width, lv.height, 0, GL_BGRA,
                       GL_UNSIGNED_INT_8_8_8_8_REV, lv.data.data());
          break;
        case PixelFormat::Bgrx8:
          glTexImage2D(GL_TEXTURE_2D, i, GL_RGB8, lv.width, lv.height, 0, GL_BGRA,
                       GL_UNSIGNED_INT_8_8_8_8_REV, lv.data.data());
          break;
        case PixelFormat::Rgb565:
          glTexImage2D(GL_TEXTURE_2D, i, GL_RGB8, lv.width, lv.height, 0, GL_RGB,
                       GL_UNSIGNED_SHORT_5_6_5, lv.data.data());
          break;
        case PixelFormat::Rgba8:
          glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, lv.width, lv.height, 0, GL_RGBA,
                       GL_UNSIGNED_BYTE, lv.data.data());
          break;
        default: {
          const std::vector<uint8_t> rgba = DecodeLevelRgba(picture, i);
          glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, lv.width, lv.height, 0, GL_RGBA,
                       GL_UNSIGNED_BYTE, rgba.data());
        }
      }
    }
    generate = mipmaps && levels == 1 && (picture.Width() > 1 || picture.Height() > 1);
  }
  if (generate) {
    glGenerateMipmap(GL_TEXTURE_2D);
    int w = picture.Width(), h = picture.Height();
    levels = 1;
    while (w > 1 || h > 1) {
      w = std::max(1, w / 2);
      h = std::max(1, h / 2);
      ++levels;
    }
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  if (levelsOut) *levelsOut = levels;
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &t);
    return 0;
  }
  return t;
}

int32_t GlGraphics::LoadBackgroundPicture(const char* fileName, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return kFail;
  Picture picture;
  std::string error;
  if (!LoadPicture(fileName, picture, &error)) {
    files::WarnFileProblem(fileName, error);  // the scene goes on without it
    return kFail;
  }
  // The picture stretched (bilinear) to a width x height surface, stored bottom
  // row first like the frame, so that each frame is a straight copy.
  const std::vector<uint8_t> rgba = DecodeLevelRgba(picture, 0);
  const int pw = picture.Width(), ph = picture.Height();
  std::vector<uint8_t> surface(size_t(width) * size_t(height) * 4);
  for (int y = 0; y < height; ++y) {
    const double sy = std::clamp((y + 0.5) * ph / height - 0.5, 0.0, double(ph - 1));
    const int y0 = int(sy), y1 = std::min(y0 + 1, ph - 1);
    const double fy = sy - y0;
    uint8_t* dst = &surface[size_t(height - 1 - y) * size_t(width) * 4];
    for (int x = 0; x < width; ++x) {
      const double sx = std::clamp((x + 0.5) * pw / width - 0.5, 0.0, double(pw - 1));
      const int x0 = int(sx), x1 = std::min(x0 + 1, pw - 1);
      const double fx = sx - x0;
      for (int k = 0; k < 4; ++k) {
        const double top = rgba[(size_t(y0) * pw + x0) * 4 + k] * (1 - fx) +
                           rgba[(size_t(y0) * pw + x1) * 4 + k] * fx;
        const double bottom = rgba[(size_t(y1) * pw + x0) * 4 + k] * (1 - fx) +
                              rgba[(size_t(y1) * pw + x1) * 4 + k] * fx;
        dst[size_t(x) * 4 + k] = uint8_t(top * (1 - fy) + bottom * fy + 0.5);
      }
    }
  }
  glGenTextures(1, &backgroundTexture_);
  glBindTexture(GL_TEXTURE_2D, backgroundTexture_);
  boundTexture_ = ~0u;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               surface.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glGenFramebuffers(1, &backgroundFbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, backgroundFbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, backgroundTexture_,
                         0);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  backgroundSize_[0] = width;
  backgroundSize_[1] = height;
  if (!complete || glGetError() != GL_NO_ERROR) {
    ReleaseBackground();
    return kFail;
  }
  return kOk;
}

void GlGraphics::ReleaseBackground() {
  if (backgroundFbo_ && context_) glDeleteFramebuffers(1, &backgroundFbo_);
  backgroundFbo_ = 0;
  if (backgroundTexture_ && context_) {
    if (boundTexture_ == backgroundTexture_) boundTexture_ = ~0u;
    glDeleteTextures(1, &backgroundTexture_);
  }
  backgroundTexture_ = 0;
}

int32_t GlGraphics::CopyBackground() {
  if (!backgroundFbo_) return kFail;
  // The surface's top-left 640 x 480 onto the frame, unfiltered: a plain copy,
  // drawing states play no part. (Rows are stored bottom first.)
  const int w = std::min(backgroundSize_[0], kPictureWidth);
  const int h = std::min(backgroundSize_[1], kPictureHeight);
  const int top = backgroundSize_[1];
  const bool whole = w == kPictureWidth && h == kPictureHeight;
  if (!whole) FinishClear(true);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, backgroundFbo_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_);
  glBlitFramebuffer(0, top - h, w, top, 0, kPictureHeight - h, w, kPictureHeight,
                    GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  FinishClear(false);
  return kOk;
}

void GlGraphics::BeginOverlay() {
  FinishClear(true);
  if (mode_ == Mode::Overlay) return;
  glUseProgram(overlayProgram_);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_CULL_FACE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glBlendEquation(GL_FUNC_ADD);
  glBindSampler(0, 0);
  glBindVertexArray(overlayVao_);
  boundVao_ = overlayVao_;
  statesKnown_ = false;
  mode_ = Mode::Overlay;
}

void GlGraphics::DrawOverlayTriangles(const float* vertices, int vertexCount, GLuint texture,
                                      int mode, const float colour[4], bool blend) {
  BeginOverlay();
  if (blend) glEnable(GL_BLEND);
  else glDisable(GL_BLEND);
  glUniform4fv(ou_.colour, 1, colour);
  glUniform1i(ou_.mode, mode);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  boundTexture_ = texture;
  const size_t bytes = size_t(vertexCount) * 4 * sizeof(float);
  glBindBuffer(GL_ARRAY_BUFFER, overlayVbo_);
  if (overlayOffset_ + bytes > kOverlayRingBytes) {
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(kOverlayRingBytes), nullptr, GL_STREAM_DRAW);
    overlayOffset_ = 0;
  }
  if constexpr (kGlEs) {  // WebGL maps no buffers
    glBufferSubData(GL_ARRAY_BUFFER, GLintptr(overlayOffset_), GLsizeiptr(bytes), vertices);
  } else {
    // Unsynchronised: this frame never rewrites what it has already drawn from.
    void* dst = glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(overlayOffset_), GLsizeiptr(bytes),
                                 GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT |
                                     GL_MAP_INVALIDATE_RANGE_BIT);
    if (!dst) return;
    std::memcpy(dst, vertices, bytes);
    glUnmapBuffer(GL_ARRAY_BUFFER);
  }
  glDrawArrays(GL_TRIANGLES, GLint(overlayOffset_ / (4 * sizeof(float))), vertexCount);
  ++drawCalls_;
  overlayOffset_ += bytes;
}

void GlGraphics::GammaChanged() {
  if (!gammaTexture_) return;
  // Levels 0..255 give a straight line, entry i = first + step x i, so the
  // window gets picture x scale + bias without a table look-up.
  const GammaRamp& r = state_.gammaRamp;
  const int first = r[0], step = int(r[1]) - int(r[0]);
  gammaLinear_ = true;
  for (int i = 0; i < 256 && gammaLinear_; ++i) gammaLinear_ = int(r[i]) == first + step * i;
  gammaScale_ = float(255.0 * step / 65535.0);
  gammaBias_ = float(first / 65535.0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, gammaTexture_);
  if constexpr (kGlEs) {
    float entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = float(r[i] / 65535.0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RED, GL_FLOAT, entries);
  } else {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RED, GL_UNSIGNED_SHORT,
                    state_.gammaRamp.data());
  }
  glActiveTexture(GL_TEXTURE0);
  boundTexture_ = ~0u;
}

}  // namespace quadrel::render
