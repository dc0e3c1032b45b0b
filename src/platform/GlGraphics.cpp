#include "platform/GlGraphics.hpp"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/D3DMath.hpp"
#include "platform/FontFace.hpp"
#include "platform/GameWindow.hpp"
#include "platform/MeshData.hpp"
#include "platform/Picture.hpp"

namespace quadrel::render {
namespace {

constexpr size_t kOverlayRingBytes = size_t(1) << 21;  // 2 MiB of text vertices per frame

const char* const kMainVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aUv;
layout(location = 3) in vec4 aColour;
uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform bool uLighting;
uniform bool uLightEnabled;
uniform bool uSpecularEnable;
uniform bool uUseVertexColour;
uniform vec3 uLightDir;   // towards the light, view space
uniform vec4 uLightDiffuse;
uniform vec4 uLightSpecular;
uniform vec4 uLightAmbient;
uniform vec4 uGlobalAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatSpecular;
uniform vec4 uMatEmissive;
uniform float uMatPower;
uniform bool uFog;
uniform float uFogStart;
uniform float uFogEnd;
out vec4 vDiffuse;
out vec3 vSpecular;
out vec2 vUv;
out float vFog;
void main() {
  vec4 viewPosition = uWorldView * vec4(aPosition, 1.0);
  gl_Position = uProjection * viewPosition;
  gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;  // depth 0..1 as the game's projection gives it
  vUv = aUv;
  vec4 diffuseSource = uUseVertexColour ? aColour : uMatDiffuse;
  if (uLighting) {
    vec3 n = uNormalMatrix * aNormal;  // not renormalised
    vec3 colour = uMatEmissive.rgb + uMatAmbient.rgb * uGlobalAmbient.rgb;
    vec3 specular = vec3(0.0);
    if (uLightEnabled) {
      colour += uMatAmbient.rgb * uLightAmbient.rgb;
      float nl = dot(n, uLightDir);
      if (nl > 0.0) {
        colour += diffuseSource.rgb * uLightDiffuse.rgb * nl;
        if (uSpecularEnable) {
          vec3 h = normalize(normalize(-viewPosition.xyz) + uLightDir);
          float nh = dot(n, h);
          if (nh > 0.0) specular = uMatSpecular.rgb * uLightSpecular.rgb * pow(nh, uMatPower);
        }
      }
    }
    vDiffuse = vec4(clamp(colour, 0.0, 1.0), diffuseSource.a);
    vSpecular = clamp(specular, 0.0, 1.0);
  } else {
    vDiffuse = uUseVertexColour ? aColour : vec4(1.0);
    vSpecular = vec3(0.0);
  }
  vFog = uFog ? clamp((uFogEnd - viewPosition.z) / (uFogEnd - uFogStart), 0.0, 1.0) : 1.0;
}
)";

const char* const kMainFragment = R"(#version 330 core
in vec4 vDiffuse;
in vec3 vSpecular;
in vec2 vUv;
in float vFog;
uniform sampler2D uTexture;
uniform bool uTextured;
uniform bool uSpecularEnable;
uniform vec3 uFogColour;
uniform bool uAlphaTest;
uniform int uAlphaFunc;
uniform float uAlphaRef;
out vec4 oColour;
void main() {
  vec4 c = vDiffuse;
  if (uTextured) c *= texture(uTexture, vUv);
  if (uSpecularEnable) c.rgb += vSpecular;
  c.rgb = mix(uFogColour, c.rgb, vFog);
  if (uAlphaTest) {
    float a = floor(c.a * 255.0 + 0.5);
    bool pass = true;
    if (uAlphaFunc == 1) pass = false;
    else if (uAlphaFunc == 2) pass = a < uAlphaRef;
    else if (uAlphaFunc == 3) pass = a == uAlphaRef;
    else if (uAlphaFunc == 4) pass = a <= uAlphaRef;
    else if (uAlphaFunc == 5) pass = a > uAlphaRef;
    else if (uAlphaFunc == 6) pass = a != uAlphaRef;
    else if (uAlphaFunc == 7) pass = a >= uAlphaRef;
    if (!pass) discard;
  }
  oColour = clamp(c, 0.0, 1.0);
}
)";

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
    g_.Prepare3D();
    g_.UploadDrawUniforms(false);
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

  mainProgram_ = CompileProgram(kMainVertex, kMainFragment);
  overlayProgram_ = CompileProgram(kOverlayVertex, kOverlayFragment);
  presentProgram_ = CompileProgram(kPresentVertex, kPresentFragment);
  if (!mainProgram_ || !overlayProgram_ || !presentProgram_) {
    ReleaseDevice();
    return kFail;
  }
  const GLuint p = mainProgram_;
  auto U = [p](const char* n) { return glGetUniformLocation(p, n); };
  mu_ = MainUniforms{U("uWorldView"),     U("uProjection"),    U("uNormalMatrix"),
                     U("uLighting"),      U("uLightEnabled"),  U("uSpecularEnable"),
                     U("uUseVertexColour"), U("uTextured"),    U("uLightDir"),
                     U("uLightDiffuse"),  U("uLightSpecular"), U("uLightAmbient"),
                     U("uGlobalAmbient"), U("uMatDiffuse"),    U("uMatAmbient"),
                     U("uMatSpecular"),   U("uMatEmissive"),   U("uMatPower"),
                     U("uFog"),           U("uFogStart"),      U("uFogEnd"),
                     U("uFogColour"),     U("uAlphaTest"),     U("uAlphaFunc"),
                     U("uAlphaRef"),      U("uTexture")};
  glUseProgram(mainProgram_);
  glUniform1i(mu_.texture, 0);
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
  delProgram(mainProgram_);
  delProgram(overlayProgram_);
  delProgram(presentProgram_);
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
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, kPictureWidth, kPictureHeight);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  const ColourValue c = ArgbToColour(colour);
  glClearColor(c.r, c.g, c.b, c.a);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  statesKnown_ = false;
  ForgetGlState();
  overlayOffset_ = 0;
  drawCalls_ = 0;
}

int32_t GlGraphics::Present() {
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, dw, dh);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const ViewRect r = Letterbox(dw, dh);
  // GL counts rows from the bottom; the letterbox is symmetric.
  glViewport(r.x, dh - r.y - r.height, r.width, r.height);
  glUseProgram(presentProgram_);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, gammaTexture_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, colourTexture_);
  glBindSampler(0, 0);
  const bool exact = r.width == kPictureWidth && r.height == kPictureHeight;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, exact ? GL_NEAREST : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, exact ? GL_NEAREST : GL_LINEAR);
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
  Picture picture;
  if (!LoadPicture(fileName, picture)) return kFail;
  backgroundTexture_ = UploadPicture(picture, false, nullptr);
  if (!backgroundTexture_) return kFail;
  // The picture is stretched to width x height; the frame shows its 640 x 480 corner.
  backgroundUv_[0] = width > kPictureWidth ? float(kPictureWidth) / float(width) : 1.0f;
  backgroundUv_[1] = height > kPictureHeight ? float(kPictureHeight) / float(height) : 1.0f;
  return kOk;
}

void GlGraphics::ReleaseBackground() {
  if (backgroundTexture_ && context_) {
    if (boundTexture_ == backgroundTexture_) boundTexture_ = ~0u;
    glDeleteTextures(1, &backgroundTexture_);
  }
  backgroundTexture_ = 0;
}

int32_t GlGraphics::CopyBackground() {
  if (!backgroundTexture_) return kFail;
  const float u = backgroundUv_[0], v = backgroundUv_[1];
  const float w = float(kPictureWidth), h = float(kPictureHeight);
  const float quad[24] = {0, 0, 0, 0, w, 0, u, 0, 0, h, 0, v, w, 0, u, 0, w, h, u, v, 0, h, 0, v};
  const float white[4] = {1, 1, 1, 1};
  DrawOverlayTriangles(quad, 6, backgroundTexture_, 0, white, false);
  return kOk;
}

void GlGraphics::BeginOverlay() {
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

void GlGraphics::Prepare3D() {
  if (mode_ != Mode::Draw3D) {
    glUseProgram(mainProgram_);
    glBindSampler(0, sampler_);
    mode_ = Mode::Draw3D;
    appliedSerial_ = 0;
    boundTexture_ = ~0u;
    useVertexColour_ = -1;
    materialKnown_ = false;
  }
  if (appliedSerial_ != state_.serial) {
    ApplyFixedStates();
    appliedSerial_ = state_.serial;
  }
}

void GlGraphics::ApplyFixedStates() {
  const auto& s = state_.renderStates;
  auto& a = appliedStates_;
  const bool all = !statesKnown_;
  auto changed = [&](std::initializer_list<uint32_t> list) {
    if (all) return true;
    for (uint32_t st : list)
      if (s[st] != a[st]) return true;
    return false;
  };
  if (changed({rs::ZEnable, rs::ZWriteEnable, rs::ZFunc})) {
    if (s[rs::ZEnable]) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
    glDepthMask(s[rs::ZWriteEnable] ? GL_TRUE : GL_FALSE);
    glDepthFunc(CompareFunc(s[rs::ZFunc]));
  }
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
  if (changed({rs::AlphaBlendEnable, rs::SrcBlend, rs::DestBlend, rs::BlendOp})) {
    if (s[rs::AlphaBlendEnable]) glEnable(GL_BLEND);
    else glDisable(GL_BLEND);
    glBlendFunc(BlendFactor(s[rs::SrcBlend]), BlendFactor(s[rs::DestBlend]));
    glBlendEquation(BlendEquation(s[rs::BlendOp]));
  }
  if (changed({rs::StencilEnable, rs::StencilFunc, rs::StencilRef, rs::StencilMask,
               rs::StencilWriteMask, rs::StencilFail, rs::StencilZFail, rs::StencilPass})) {
    if (s[rs::StencilEnable]) glEnable(GL_STENCIL_TEST);
    else glDisable(GL_STENCIL_TEST);
    glStencilFunc(CompareFunc(s[rs::StencilFunc]), GLint(s[rs::StencilRef] & 0xFF),
                  s[rs::StencilMask]);
    glStencilMask(s[rs::StencilWriteMask]);
    glStencilOp(StencilOp(s[rs::StencilFail]), StencilOp(s[rs::StencilZFail]),
                StencilOp(s[rs::StencilPass]));
  }
  if (changed({rs::ColorWriteEnable})) {
    const uint32_t m = s[rs::ColorWriteEnable];
    glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
  }
  if (changed({rs::Lighting})) glUniform1i(mu_.lighting, s[rs::Lighting] ? 1 : 0);
  if (changed({rs::SpecularEnable})) glUniform1i(mu_.specularEnable, s[rs::SpecularEnable] ? 1 : 0);
  if (changed({rs::Ambient})) SetColour(mu_.globalAmbient, ArgbToColour(s[rs::Ambient]));
  if (changed({rs::FogEnable, rs::FogVertexMode, rs::FogTableMode, rs::FogStart, rs::FogEnd,
               rs::FogColor})) {
    const bool fog = s[rs::FogEnable] &&
                     (s[rs::FogVertexMode] == rv::FogLinear || s[rs::FogTableMode] == rv::FogLinear);
    glUniform1i(mu_.fog, fog ? 1 : 0);
    glUniform1f(mu_.fogStart, BitsFloat(s[rs::FogStart]));
    glUniform1f(mu_.fogEnd, BitsFloat(s[rs::FogEnd]));
    const ColourValue fc = ArgbToColour(s[rs::FogColor]);
    glUniform3f(mu_.fogColour, fc.r, fc.g, fc.b);
  }
  if (changed({rs::AlphaTestEnable, rs::AlphaFunc, rs::AlphaRef})) {
    glUniform1i(mu_.alphaTest, s[rs::AlphaTestEnable] ? 1 : 0);
    glUniform1i(mu_.alphaFunc, GLint(s[rs::AlphaFunc]));
    glUniform1f(mu_.alphaRef, float(s[rs::AlphaRef] & 0xFF));
  }
  a = s;

  // Camera and light.
  if (all || std::memcmp(&appliedProjection_, &state_.projection, sizeof(Matrix)) != 0) {
    glUniformMatrix4fv(mu_.projection, 1, GL_FALSE, &state_.projection.m[0][0]);
    appliedProjection_ = state_.projection;
  }
  if (all || std::memcmp(&appliedView_, &state_.view, sizeof(Matrix)) != 0 ||
      std::memcmp(&appliedLight_, &state_.light, sizeof(Light)) != 0) {
    const Light& l = state_.light;
    const Vec3 towards = Vec3Normalize(
        Vec3TransformNormal(Vec3{-l.direction.x, -l.direction.y, -l.direction.z}, state_.view));
    glUniform3f(mu_.lightDir, towards.x, towards.y, towards.z);
    SetColour(mu_.lightDiffuse, l.diffuse);
    SetColour(mu_.lightSpecular, l.specular);
    SetColour(mu_.lightAmbient, l.ambient);
    appliedView_ = state_.view;
    appliedLight_ = l;
  }
  glUniform1i(mu_.lightEnabled, state_.lightEnabled ? 1 : 0);

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

void GlGraphics::UploadDrawUniforms(bool useVertexColour) {
  const Matrix worldView = MatrixMultiply(state_.world, state_.view);
  glUniformMatrix4fv(mu_.worldView, 1, GL_FALSE, &worldView.m[0][0]);
  if (state_.renderStates[rs::Lighting]) {
    float n[9];
    NormalMatrix(worldView, n);
    glUniformMatrix3fv(mu_.normalMatrix, 1, GL_FALSE, n);
  }
  if (useVertexColour_ != int(useVertexColour)) {
    glUniform1i(mu_.useVertexColour, useVertexColour ? 1 : 0);
    useVertexColour_ = int(useVertexColour);
  }
  const Material& m = state_.material;
  if (!materialKnown_ || std::memcmp(&appliedMaterial_, &m, sizeof(Material)) != 0) {
    SetColour(mu_.matDiffuse, m.diffuse);
    SetColour(mu_.matAmbient, m.ambient);
    SetColour(mu_.matSpecular, m.specular);
    SetColour(mu_.matEmissive, m.emissive);
    glUniform1f(mu_.matPower, m.power);
    appliedMaterial_ = m;
    materialKnown_ = true;
  }
  const GLuint texture = useVertexColour ? 0 : state_.texture;
  if (boundTexture_ != texture) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(mu_.textured, texture ? 1 : 0);
    boundTexture_ = texture;
  }
}

void GlGraphics::DrawFadeQuad(uint32_t colour) {
  Prepare3D();
  const ColourValue c = ArgbToColour(colour);
  glVertexAttrib4f(3, c.r, c.g, c.b, c.a);
  UploadDrawUniforms(true);
  glBindVertexArray(fadeVao_);
  boundVao_ = fadeVao_;
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  ++drawCalls_;
}

void GlGraphics::GammaChanged() {
  if (!gammaTexture_) return;
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
