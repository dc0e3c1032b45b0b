#include "platform/GlGraphics.hpp"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/D3DMath.hpp"
#include "platform/FontFace.hpp"
#include "platform/GameWindow.hpp"
#include "platform/MeshData.hpp"
#include "platform/Picture.hpp"

namespace quadrel::render {
namespace {

constexpr size_t kOverlayRingBytes = size_t(1) << 18;  // 256 KiB: ~2,700 glyphs before it is renewed

// The fixed-function rules as one shader source; each combination of the
// switches below is compiled on first use, so that no pixel pays for a rule
// that is off (the software rasteriser runs both sides of a branch).
//   LIGHTING, TEXTURED, FOG, SPECULAR, ALPHA_TEST, VERTEX_COLOUR
const char* const kMainVertex = R"(
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aUv;
layout(location = 3) in vec4 aColour;
uniform mat4 uWorldView;
uniform mat4 uProjection;
#if LIGHTING
uniform mat3 uNormalMatrix;
uniform vec3 uLightDir;  // towards the light, view space
uniform vec4 uLightDiffuse;
uniform vec4 uLightSpecular;
uniform vec4 uLightAmbient;
uniform vec4 uGlobalAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatSpecular;
uniform vec4 uMatEmissive;
uniform float uMatPower;
#endif
#if FOG
uniform float uFogStart;
uniform float uFogEnd;
out float vFog;
#endif
out vec4 vDiffuse;
#if SPECULAR
out vec3 vSpecular;
#endif
#if TEXTURED
out vec2 vUv;
#endif
void main() {
  vec4 viewPosition = uWorldView * vec4(aPosition, 1.0);
  gl_Position = uProjection * viewPosition;
  gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;  // depth 0..1 as the game's projection gives it
#if TEXTURED
  vUv = aUv;
#endif
#if LIGHTING
#if VERTEX_COLOUR
  vec4 diffuseSource = aColour;
#else
  vec4 diffuseSource = uMatDiffuse;
#endif
  vec3 n = uNormalMatrix * aNormal;  // not renormalised
  vec3 colour = uMatEmissive.rgb + uMatAmbient.rgb * (uGlobalAmbient.rgb + uLightAmbient.rgb);
  float nl = dot(n, uLightDir);
  colour += diffuseSource.rgb * uLightDiffuse.rgb * max(nl, 0.0);
  vDiffuse = vec4(clamp(colour, 0.0, 1.0), diffuseSource.a);
#if SPECULAR
  vec3 h = normalize(normalize(-viewPosition.xyz) + uLightDir);
  float nh = dot(n, h);
  vSpecular = (nl > 0.0 && nh > 0.0)
      ? clamp(uMatSpecular.rgb * uLightSpecular.rgb * pow(nh, uMatPower), 0.0, 1.0)
      : vec3(0.0);
#endif
#else
#if VERTEX_COLOUR
  vDiffuse = aColour;
#else
  vDiffuse = vec4(1.0);
#endif
#endif
#if FOG
  vFog = clamp((uFogEnd - viewPosition.z) / (uFogEnd - uFogStart), 0.0, 1.0);
#endif
}
)";

const char* const kMainFragment = R"(
in vec4 vDiffuse;
#if SPECULAR
in vec3 vSpecular;
#endif
#if TEXTURED
in vec2 vUv;
uniform sampler2D uTexture;
#endif
#if FOG
in float vFog;
uniform vec3 uFogColour;
#endif
#if ALPHA_TEST
uniform int uAlphaFunc;
uniform float uAlphaRef;
#endif
out vec4 oColour;
void main() {
  vec4 c = vDiffuse;
#if TEXTURED
  c *= texture(uTexture, vUv);
#endif
#if SPECULAR
  c.rgb += vSpecular;
#endif
#if FOG
  c.rgb = mix(uFogColour, c.rgb, vFog);
#endif
#if ALPHA_TEST
  float a = floor(clamp(c.a, 0.0, 1.0) * 255.0 + 0.5);
  bool pass = true;
  if (uAlphaFunc == 1) pass = false;
  else if (uAlphaFunc == 2) pass = a < uAlphaRef;
  else if (uAlphaFunc == 3) pass = a == uAlphaRef;
  else if (uAlphaFunc == 4) pass = a <= uAlphaRef;
  else if (uAlphaFunc == 5) pass = a > uAlphaRef;
  else if (uAlphaFunc == 6) pass = a != uAlphaRef;
  else if (uAlphaFunc == 7) pass = a >= uAlphaRef;
  if (!pass) discard;
#endif
  oColour = c;
}
)";

std::string VariantSource(const char* body, int key) {
  std::string src = "#version 330 core\n";
  const char* names[6] = {"LIGHTING", "TEXTURED", "FOG", "SPECULAR", "ALPHA_TEST", "VERTEX_COLOUR"};
  for (int i = 0; i < 6; ++i)
    src += std::string("#define ") + names[i] + ((key >> i) & 1 ? " 1\n" : " 0\n");
  return src + body;
}

const char* const kOverlayVertex = R"(#version 330 core
layout(location = 0) in vec2 aPosition;  // picture pixels, top-left origin
layout(location = 1) in vec2 aUv;
out vec2 vUv;
void main() {
  gl_Position = vec4(aPosition.x * (2.0 / 640.0) - 1.0, 1.0 - aPosition.y * (2.0 / 480.0), 0.0, 1.0);
  vUv = aUv;
}
)";

const char* const kOverlayFragment = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uTexture;
uniform vec4 uColour;
uniform int uMode;  // 0: picture, 1: alpha mask tinted by uColour
out vec4 oColour;
void main() {
  vec4 t = texture(uTexture, vUv);
  oColour = uMode == 1 ? vec4(uColour.rgb, uColour.a * t.r) : t;
}
)";

const char* const kPresentVertex = R"(#version 330 core
out vec2 vUv;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
  vUv = corner;
}
)";

const char* const kPresentFragment = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uPicture;
uniform sampler2D uGamma;  // 256 x 1, 16-bit entries
out vec4 oColour;
void main() {
  vec3 c = clamp(texture(uPicture, vUv).rgb, 0.0, 1.0);
  ivec3 i = ivec3(c * 255.0 + 0.5);
  oColour = vec4(texelFetch(uGamma, ivec2(i.r, 0), 0).r, texelFetch(uGamma, ivec2(i.g, 0), 0).r,
                 texelFetch(uGamma, ivec2(i.b, 0), 0).r, 1.0);
}
)";

// Straight-line ramps: one texture read and one multiply-add, which llvmpipe
// can run on its fast 8-bit path.
const char* const kPresentLinearFragment = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uPicture;
uniform vec4 uScale;
uniform vec4 uBias;
out vec4 oColour;
void main() {
  oColour = texture(uPicture, vUv) * uScale + uBias;
}
)";

// Keeps the GL driver libraries that the context loaded mapped until the
// process exits (they are unloaded at shutdown otherwise), so that tools which
// check for leaks at exit can still name their frames.
void PinLoadedDrivers() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) -> int {
        const std::string name = info->dlpi_name ? info->dlpi_name : "";
        const bool driver = name.find("_dri.so") != std::string::npos ||
                            name.find("libGLX_mesa") != std::string::npos ||
                            name.find("libEGL_mesa") != std::string::npos;
        if (driver) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

GLuint CompileProgram(const char* vs, const char* fs) {
  auto compile = [](GLenum type, const char* src) -> GLuint {
    GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char log[2048];
      glGetShaderInfoLog(s, sizeof log, nullptr, log);
      std::fprintf(stderr, "shader: %s\n", log);
      glDeleteShader(s);
      return 0;
    }
    return s;
  };
  const GLuint v = compile(GL_VERTEX_SHADER, vs);
  const GLuint f = compile(GL_FRAGMENT_SHADER, fs);
  if (!v || !f) {
    if (v) glDeleteShader(v);
    if (f) glDeleteShader(f);
    return 0;
  }
  const GLuint p = glCreateProgram();
  glAttachShader(p, v);
  glAttachShader(p, f);
  glLinkProgram(p);
  glDeleteShader(v);
  glDeleteShader(f);
  GLint ok = 0;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048];
    glGetProgramInfoLog(p, sizeof log, nullptr, log);
    std::fprintf(stderr, "program: %s\n", log);
    glDeleteProgram(p);
    return 0;
  }
  return p;
}

GLenum CompareFunc(uint32_t v) {
  switch (v) {
    case rv::CmpNever: return GL_NEVER;
    case rv::CmpLess: return GL_LESS;
    case rv::CmpEqual: return GL_EQUAL;
    case rv::CmpLessEqual: return GL_LEQUAL;
    case rv::CmpGreater: return GL_GREATER;
    case rv::CmpNotEqual: return GL_NOTEQUAL;
    case rv::CmpGreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum BlendFactor(uint32_t v) {
  switch (v) {
    case rv::BlendZero: return GL_ZERO;
    case rv::BlendOne: return GL_ONE;
    case rv::BlendSrcColor: return GL_SRC_COLOR;
    case rv::BlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case rv::BlendSrcAlpha: return GL_SRC_ALPHA;
    case rv::BlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case rv::BlendDestAlpha: return GL_DST_ALPHA;
    case rv::BlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case rv::BlendDestColor: return GL_DST_COLOR;
    case rv::BlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

GLenum BlendEquation(uint32_t v) {
  switch (v) {
    case rv::BlendOpSubtract: return GL_FUNC_SUBTRACT;
    case rv::BlendOpRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case rv::BlendOpMin: return GL_MIN;
    case rv::BlendOpMax: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum StencilOp(uint32_t v) {
  switch (v) {
    case rv::StencilZero: return GL_ZERO;
    case rv::StencilReplace: return GL_REPLACE;
    case rv::StencilIncrSat: return GL_INCR;
    case rv::StencilDecrSat: return GL_DECR;
    case rv::StencilInvert: return GL_INVERT;
    case rv::StencilIncr: return GL_INCR_WRAP;
    case rv::StencilDecr: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLint AddressMode(uint32_t v) {
  switch (v) {
    case ss::AddressMirror: return GL_MIRRORED_REPEAT;
    case ss::AddressClamp: return GL_CLAMP_TO_EDGE;
    case ss::AddressBorder: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
  }
}

void SetColour(GLint location, const ColourValue& c) { glUniform4f(location, c.r, c.g, c.b, c.a); }

// Inverse transpose of the upper 3 x 3 (row-vector normals: n' = n * N).
void NormalMatrix(const Matrix& m, float out[9]) {
  const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
  const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
  const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
  const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const float det = a * A + b * B + c * C;
  const float s = det != 0.0f ? 1.0f / det : 0.0f;
  // inverse = adjugate / det; its transpose is the cofactor matrix / det.
  const float cof[9] = {A, B, C,
                        -(b * i - c * h), a * i - c * g, -(a * h - b * g),
                        b * f - c * e, -(a * f - c * d), a * e - b * d};
  for (int k = 0; k < 9; ++k) out[k] = cof[k] * s;
}

}  // namespace

// ---------------------------------------------------------------- meshes

class GlMesh final : public MeshBase {
 public:
  GlMesh(GlGraphics& g, int id) : MeshBase(g, id), g_(g) {}
  ~GlMesh() override { FreeGeometry(); }

 protected:
  int32_t LoadData(const char* fileName, std::vector<Material>& materials,
                   std::vector<uint32_t>& textures) override {
    if (!g_.deviceObjects_) return kFail;
    MeshData data;
    if (!LoadXMesh(fileName, data)) return kFileNotFound;
    glGenVertexArrays(1, &vao_);
    glGenBuffers(1, &vbo_);
    glGenBuffers(1, &ibo_);
    glBindVertexArray(vao_);
    g_.boundVao_ = vao_;
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.vertices.size() * sizeof(MeshVertex)),
                 data.vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(data.indices.size() * sizeof(uint32_t)),
                 data.indices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, normal)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, uv)));
    subsets_.clear();
    for (const MeshSubset& s : data.subsets) {
      subsets_.push_back({s.firstIndex, s.indexCount});
      materials.push_back(s.material);
      uint32_t texture = 0;
      if (!s.textureName.empty()) {
        Picture picture;
        if (LoadPicture(TexturePath(s.textureName), picture)) {
          texture = g_.UploadPicture(picture, true, nullptr);
          if (texture) ++g_.liveMeshTextures_;
        }
      }
      textures.push_back(texture);
    }
    return kOk;
  }

  void DrawSubset(uint32_t i) override {
    if (i >= subsets_.size() || subsets_[i].count == 0) return;
    if (!g_.Prepare3D(false)) return;
    if (g_.boundVao_ != vao_) {
      glBindVertexArray(vao_);
      g_.boundVao_ = vao_;
    }
    glDrawElements(GL_TRIANGLES, GLsizei(subsets_[i].count), GL_UNSIGNED_INT,
                   reinterpret_cast<void*>(size_t(subsets_[i].first) * sizeof(uint32_t)));
    ++g_.drawCalls_;
  }

  void ReleaseData(std::vector<uint32_t>& textures) override {
    for (uint32_t& t : textures)
      if (t) {
        GLuint name = t;
        if (g_.boundTexture_ == name) g_.boundTexture_ = ~0u;
        glDeleteTextures(1, &name);
        --g_.liveMeshTextures_;
        t = 0;
      }
    FreeGeometry();
  }

 private:
  void FreeGeometry() {
    if (vao_) {
      if (g_.boundVao_ == vao_) g_.boundVao_ = ~0u;
      glDeleteVertexArrays(1, &vao_);
    }
    if (vbo_) glDeleteBuffers(1, &vbo_);
    if (ibo_) glDeleteBuffers(1, &ibo_);
    vao_ = vbo_ = ibo_ = 0;
    subsets_.clear();
  }

  struct Range {
    uint32_t first, count;
  };
  GlGraphics& g_;
  GLuint vao_ = 0, vbo_ = 0, ibo_ = 0;
  std::vector<Range> subsets_;
};

// ---------------------------------------------------------------- fonts

class GlFont final : public FontBase {
 public:
  GlFont(GlGraphics& g, int id) : FontBase(g, id), g_(g) {}
  ~GlFont() override { FreeAtlas(); }

 protected:
  int32_t CreateFace(const char* faceName, int32_t height, int32_t weight,
                     int32_t italic) override {
    FreeAtlas();
    if (!g_.deviceObjects_) return kFail;
    if (!face_.Open(faceName, height, weight, italic != 0)) return kFail;
    glGenTextures(1, &atlas_);
    glBindTexture(GL_TEXTURE_2D, atlas_);
    g_.boundTexture_ = ~0u;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, face_.AtlasWidth(), face_.AtlasHeight(), 0, GL_RED,
                 GL_UNSIGNED_BYTE, face_.Atlas().data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return kOk;
  }

  void DrawString(const char* text, int32_t x, int32_t y, uint32_t format,
                  uint32_t colour) override {
    if (!atlas_) return;
    const TextPlacement p = face_.Place(text, x, y, format);
    std::vector<float>& v = g_.overlayScratch_;
    v.clear();
    const float iw = 1.0f / float(face_.AtlasWidth()), ih = 1.0f / float(face_.AtlasHeight());
    int pen = p.left;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
      const Glyph& gl = face_.GlyphFor(*c);
      if (!gl.present) continue;
      if (*c != ' ') {
        const float x0 = float(pen + gl.offsetX), y0 = float(p.top);
        const float x1 = x0 + float(gl.width), y1 = y0 + float(gl.height);
        const float u0 = float(gl.atlasX) * iw, v0 = float(gl.atlasY) * ih;
        const float u1 = float(gl.atlasX + gl.width) * iw, v1 = float(gl.atlasY + gl.height) * ih;
        const float quad[24] = {x0, y0, u0, v0, x1, y0, u1, v0, x0, y1, u0, v1,
                                x1, y0, u1, v0, x1, y1, u1, v1, x0, y1, u0, v1};
        v.insert(v.end(), quad, quad + 24);
      }
      pen += gl.advance;
    }
    if (v.empty()) return;
    const ColourValue c = ArgbToColour(colour);
    const float rgba[4] = {c.r, c.g, c.b, c.a};
    g_.DrawOverlayTriangles(v.data(), int(v.size() / 4), atlas_, 1, rgba, true);
  }

  void ReleaseFace() override { FreeAtlas(); }

 private:
  void FreeAtlas() {
    if (atlas_) {
      if (g_.boundTexture_ == atlas_) g_.boundTexture_ = ~0u;
      glDeleteTextures(1, &atlas_);
    }
    atlas_ = 0;
    face_.Close();
  }

  GlGraphics& g_;
  FontFace face_;
  GLuint atlas_ = 0;
};

// ---------------------------------------------------------------- device

GlGraphics::GlGraphics(SDL_Window* window) : window_(window) { overlayScratch_.reserve(24 * 256); }

GlGraphics::~GlGraphics() {
  if (context_) SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
  DestroyMeshes();
  DestroyFonts();
  ReleaseBackground();
  if (deviceObjects_) ReleaseDevice();
  DestroyContext();
}

void GlGraphics::DestroyContext() {
  if (context_) {
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
  }
}

int32_t GlGraphics::ProbeRuntime() {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_OPENGL) ? kOk : kFail;
}

int32_t GlGraphics::CreateApi() {
  if (!context_) {
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      std::fprintf(stderr, "OpenGL context: %s\n", SDL_GetError());
      return kFail;
    }
  }
  SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
  PinLoadedDrivers();
  if (epoxy_gl_version() < 33) {
    DestroyContext();
    return kFail;
  }
  SetSwapInterval(swapInterval_);
  return kOk;
}

void GlGraphics::SetSwapInterval(int interval) {
  swapInterval_ = interval;
  if (context_) SDL_GL_SetSwapInterval(interval);
}

int32_t GlGraphics::CreateDevice() {
  if (!context_) return kFail;
  s3tc_ = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");

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
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R16, 256, 1, 0, GL_RED, GL_UNSIGNED_SHORT, nullptr);

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

int32_t GlGraphics::QueryDisplayMode(DisplayMode& mode) {
  SDL_DisplayMode dm{};
  const int index = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_)) : 0;
  if (SDL_GetDesktopDisplayMode(index, &dm) != 0) return kFail;
  mode = DisplayMode{uint32_t(dm.w), uint32_t(dm.h), uint32_t(dm.refresh_rate), kFormatX8R8G8B8};
  return kOk;
}

int32_t GlGraphics::ResetDevice() {
  // A GL context is never lost: a reset only forgets the device states.
  ForgetGlState();
  statesKnown_ = false;
  return kOk;
}

void GlGraphics::SwitchWindow(int32_t fullScreen, int32_t windowWidth, int32_t windowHeight) {
  if (!window_) return;
  if (fullScreen) {
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowSize(window_, windowWidth > 0 ? windowWidth : kPictureWidth,
                      windowHeight > 0 ? windowHeight : kPictureHeight);
  }
  SDL_ShowWindow(window_);
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
  glClearDepth(1.0);
  glClearStencil(0);
  glClear((colour ? GL_COLOR_BUFFER_BIT : 0) | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  statesKnown_ = false;
  ForgetGlState();
}

int32_t GlGraphics::Present() {
  FinishClear(true);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
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
  SDL_GL_SwapWindow(window_);
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
  if (!LoadPicture(fileName, picture)) return kFail;
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
  // Unsynchronised: this frame never rewrites what it has already drawn from.
  void* dst = glMapBufferRange(GL_ARRAY_BUFFER, GLintptr(overlayOffset_), GLsizeiptr(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT |
                                   GL_MAP_INVALIDATE_RANGE_BIT);
  if (!dst) return;
  std::memcpy(dst, vertices, bytes);
  glUnmapBuffer(GL_ARRAY_BUFFER);
  glDrawArrays(GL_TRIANGLES, GLint(overlayOffset_ / (4 * sizeof(float))), vertexCount);
  ++drawCalls_;
  overlayOffset_ += bytes;
}

GlGraphics::MainVariant* GlGraphics::Variant(int key) {
  MainVariant& v = variants_[size_t(key)];
  if (v.program) return &v;
  const std::string vs = VariantSource(kMainVertex, key);
  const std::string fs = VariantSource(kMainFragment, key);
  v.program = CompileProgram(vs.c_str(), fs.c_str());
  if (!v.program) return nullptr;
  const GLuint p = v.program;
  auto U = [p](const char* n) { return glGetUniformLocation(p, n); };
  v.u = MainUniforms{U("uWorldView"),    U("uProjection"),    U("uNormalMatrix"),  U("uLightDir"),
                     U("uLightDiffuse"), U("uLightSpecular"), U("uLightAmbient"),  U("uGlobalAmbient"),
                     U("uMatDiffuse"),   U("uMatAmbient"),    U("uMatSpecular"),   U("uMatEmissive"),
                     U("uMatPower"),     U("uFogStart"),      U("uFogEnd"),        U("uFogColour"),
                     U("uAlphaFunc"),    U("uAlphaRef"),      U("uTexture")};
  glUseProgram(p);
  glUniform1i(v.u.texture, 0);
  currentVariant_ = -1;
  return &v;
}

GlGraphics::MainVariant* GlGraphics::Prepare3D(bool vertexColour) {
  FinishClear(true);
  const auto& s = state_.renderStates;
  const bool lighting = s[rs::Lighting] != 0;
  int key = 0;
  if (lighting) key |= kKeyLighting;
  if (!vertexColour && state_.texture) key |= kKeyTextured;
  if (s[rs::FogEnable] &&
      (s[rs::FogVertexMode] == rv::FogLinear || s[rs::FogTableMode] == rv::FogLinear))
    key |= kKeyFog;
  // A black specular colour adds nothing (pow stays within 0..1), so shadows
  // and matte materials skip the per-vertex highlight.
  const ColourValue& spec = state_.material.specular;
  if (lighting && s[rs::SpecularEnable] && (spec.r != 0.0f || spec.g != 0.0f || spec.b != 0.0f))
    key |= kKeySpecular;
  if (s[rs::AlphaTestEnable]) key |= kKeyAlphaTest;
  if (vertexColour) key |= kKeyVertexColour;
  MainVariant* v = Variant(key);
  if (!v) return nullptr;
  if (mode_ != Mode::Draw3D) {
    glBindSampler(0, sampler_);
    mode_ = Mode::Draw3D;
    appliedSerial_ = 0;
    boundTexture_ = ~0u;
    currentVariant_ = -1;
  }
  if (currentVariant_ != key) {
    glUseProgram(v->program);
    currentVariant_ = key;
  }
  if (appliedSerial_ != state_.serial) {
    ApplyGlStates();
    appliedSerial_ = state_.serial;
  }
  if (!v->known || v->serial != state_.serial) {
    ApplyVariantUniforms(*v);
    v->serial = state_.serial;
  }
  const Matrix worldView = MatrixMultiply(state_.world, state_.view);
  glUniformMatrix4fv(v->u.worldView, 1, GL_FALSE, &worldView.m[0][0]);
  if (lighting) {
    float n[9];
    NormalMatrix(worldView, n);
    glUniformMatrix3fv(v->u.normalMatrix, 1, GL_FALSE, n);
    const Material& m = state_.material;
    if (!v->materialKnown || std::memcmp(&v->material, &m, sizeof(Material)) != 0) {
      SetColour(v->u.matDiffuse, m.diffuse);
      SetColour(v->u.matAmbient, m.ambient);
      SetColour(v->u.matSpecular, m.specular);
      SetColour(v->u.matEmissive, m.emissive);
      glUniform1f(v->u.matPower, m.power);
      v->material = m;
      v->materialKnown = true;
    }
  }
  const GLuint texture = (key & kKeyTextured) ? state_.texture : 0;
  if (boundTexture_ != texture) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    boundTexture_ = texture;
  }
  return v;
}

void GlGraphics::ApplyVariantUniforms(MainVariant& v) {
  const auto& s = state_.renderStates;
  const bool all = !v.known;
  if (all || v.ambient != s[rs::Ambient]) {
    SetColour(v.u.globalAmbient, ArgbToColour(s[rs::Ambient]));
    v.ambient = s[rs::Ambient];
  }
  if (all || v.fogStart != s[rs::FogStart] || v.fogEnd != s[rs::FogEnd] ||
      v.fogColour != s[rs::FogColor]) {
    glUniform1f(v.u.fogStart, BitsFloat(s[rs::FogStart]));
    glUniform1f(v.u.fogEnd, BitsFloat(s[rs::FogEnd]));
    const ColourValue fc = ArgbToColour(s[rs::FogColor]);
    glUniform3f(v.u.fogColour, fc.r, fc.g, fc.b);
    v.fogStart = s[rs::FogStart];
    v.fogEnd = s[rs::FogEnd];
    v.fogColour = s[rs::FogColor];
  }
  if (all || v.alphaFunc != s[rs::AlphaFunc] || v.alphaRef != s[rs::AlphaRef]) {
    glUniform1i(v.u.alphaFunc, GLint(s[rs::AlphaFunc]));
    glUniform1f(v.u.alphaRef, float(s[rs::AlphaRef] & 0xFF));
    v.alphaFunc = s[rs::AlphaFunc];
    v.alphaRef = s[rs::AlphaRef];
  }
  if (all || std::memcmp(&v.projection, &state_.projection, sizeof(Matrix)) != 0) {
    glUniformMatrix4fv(v.u.projection, 1, GL_FALSE, &state_.projection.m[0][0]);
    v.projection = state_.projection;
  }
  if (all || v.lightEnabled != state_.lightEnabled ||
      std::memcmp(&v.view, &state_.view, sizeof(Matrix)) != 0 ||
      std::memcmp(&v.light, &state_.light, sizeof(Light)) != 0) {
    const Light& l = state_.light;
    const Vec3 towards = Vec3Normalize(
        Vec3TransformNormal(Vec3{-l.direction.x, -l.direction.y, -l.direction.z}, state_.view));
    glUniform3f(v.u.lightDir, towards.x, towards.y, towards.z);
    // A disabled light adds nothing.
    const ColourValue none{0, 0, 0, 0};
    SetColour(v.u.lightDiffuse, state_.lightEnabled ? l.diffuse : none);
    SetColour(v.u.lightSpecular, state_.lightEnabled ? l.specular : none);
    SetColour(v.u.lightAmbient, state_.lightEnabled ? l.ambient : none);
    v.view = state_.view;
    v.light = l;
    v.lightEnabled = state_.lightEnabled;
  }
  v.known = true;
}

void GlGraphics::ApplyGlStates() {
  const auto& s = state_.renderStates;
  auto& a = appliedStates_;
  const bool all = !statesKnown_;
  auto changed = [&](std::initializer_list<uint32_t> list) {
    if (all) return true;
    for (uint32_t st : list)
      if (s[st] != a[st]) return true;
    return false;
  };
  if (changed({rs::ZEnable})) {
    if (s[rs::ZEnable]) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
  }
  if (changed({rs::ZWriteEnable})) glDepthMask(s[rs::ZWriteEnable] ? GL_TRUE : GL_FALSE);
  if (changed({rs::ZFunc})) glDepthFunc(CompareFunc(s[rs::ZFunc]));
  if (changed({rs::CullMode})) {
    // Front faces are clockwise as seen on the screen, and the picture is shown
    // the way GL lays it out, so GL's clockwise is the same.
    if (s[rs::CullMode] == rv::CullNone) {
      glDisable(GL_CULL_FACE);
    } else {
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CW);
      glCullFace(s[rs::CullMode] == rv::CullCcw ? GL_BACK : GL_FRONT);
    }
  }
  if (changed({rs::AlphaBlendEnable})) {
    if (s[rs::AlphaBlendEnable]) glEnable(GL_BLEND);
    else glDisable(GL_BLEND);
  }
  if (changed({rs::SrcBlend, rs::DestBlend}))
    glBlendFunc(BlendFactor(s[rs::SrcBlend]), BlendFactor(s[rs::DestBlend]));
  if (changed({rs::BlendOp})) glBlendEquation(BlendEquation(s[rs::BlendOp]));
  if (changed({rs::StencilEnable})) {
    if (s[rs::StencilEnable]) glEnable(GL_STENCIL_TEST);
    else glDisable(GL_STENCIL_TEST);
  }
  if (changed({rs::StencilFunc, rs::StencilRef, rs::StencilMask}))
    glStencilFunc(CompareFunc(s[rs::StencilFunc]), GLint(s[rs::StencilRef] & 0xFF),
                  s[rs::StencilMask]);
  if (changed({rs::StencilWriteMask})) glStencilMask(s[rs::StencilWriteMask]);
  if (changed({rs::StencilFail, rs::StencilZFail, rs::StencilPass}))
    glStencilOp(StencilOp(s[rs::StencilFail]), StencilOp(s[rs::StencilZFail]),
                StencilOp(s[rs::StencilPass]));
  if (changed({rs::ColorWriteEnable})) {
    const uint32_t m = s[rs::ColorWriteEnable];
    glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
  }
  a = s;
  // Stage-0 sampler.
  const uint32_t* sam = state_.samplerStates[0];
  if (all || std::memcmp(appliedSampler_, sam, sizeof appliedSampler_) != 0) {
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, AddressMode(sam[ss::AddressU]));
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, AddressMode(sam[ss::AddressV]));
    glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER,
                        sam[ss::MagFilter] == ss::FilterPoint ? GL_NEAREST : GL_LINEAR);
    const bool minLinear = sam[ss::MinFilter] != ss::FilterPoint;
    GLint minFilter;
    if (sam[ss::MipFilter] == ss::FilterNone) minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    else if (sam[ss::MipFilter] == ss::FilterPoint)
      minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, minFilter);
    const ColourValue border = ArgbToColour(sam[ss::BorderColor]);
    const float b[4] = {border.r, border.g, border.b, border.a};
    glSamplerParameterfv(sampler_, GL_TEXTURE_BORDER_COLOR, b);
    std::memcpy(appliedSampler_, sam, sizeof appliedSampler_);
  }
  statesKnown_ = true;
}

void GlGraphics::DrawFadeQuad(uint32_t colour) {
  if (!Prepare3D(true)) return;
  const ColourValue c = ArgbToColour(colour);
  glVertexAttrib4f(3, c.r, c.g, c.b, c.a);
  glBindVertexArray(fadeVao_);
  boundVao_ = fadeVao_;
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  ++drawCalls_;
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
  glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RED, GL_UNSIGNED_SHORT,
                  state_.gammaRamp.data());
  glActiveTexture(GL_TEXTURE0);
  boundTexture_ = ~0u;
}

std::unique_ptr<MeshBase> GlGraphics::NewMesh(int id) { return std::make_unique<GlMesh>(*this, id); }

std::unique_ptr<FontBase> GlGraphics::NewFont(int id) { return std::make_unique<GlFont>(*this, id); }

}  // namespace quadrel::render
