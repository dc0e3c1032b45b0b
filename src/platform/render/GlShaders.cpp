#include "platform/render/GlShaders.hpp"

#include <cstdio>

namespace quadrel::render {
namespace {

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
  std::string src;
  const char* names[6] = {"LIGHTING", "TEXTURED", "FOG", "SPECULAR", "ALPHA_TEST", "VERTEX_COLOUR"};
  for (int i = 0; i < 6; ++i)
    src += std::string("#define ") + names[i] + ((key >> i) & 1 ? " 1\n" : " 0\n");
  return src + body;
}

}  // namespace

std::string MainVertexSource(int key) { return VariantSource(kMainVertex, key); }
std::string MainFragmentSource(int key) { return VariantSource(kMainFragment, key); }

const char* const kOverlayVertex = R"(
layout(location = 0) in vec2 aPosition;  // picture pixels, top-left origin
layout(location = 1) in vec2 aUv;
out vec2 vUv;
void main() {
  gl_Position = vec4(aPosition.x * (2.0 / 640.0) - 1.0, 1.0 - aPosition.y * (2.0 / 480.0), 0.0, 1.0);
  vUv = aUv;
}
)";

const char* const kOverlayFragment = R"(
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

const char* const kPresentVertex = R"(
out vec2 vUv;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
  vUv = corner;
}
)";

const char* const kPresentFragment = R"(
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
const char* const kPresentLinearFragment = R"(
in vec2 vUv;
uniform sampler2D uPicture;
uniform vec4 uScale;
uniform vec4 uBias;
out vec4 oColour;
void main() {
  oColour = texture(uPicture, vUv) * uScale + uBias;
}
)";

namespace {

// Every source starts with its language version: GLSL 3.30 natively, GLSL ES
// 3.00 in the browser, which also wants the precision said (high, so that
// the picture matches the native one).
#ifdef __EMSCRIPTEN__
const char* const kVersionHeader =
    "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n";
#else
const char* const kVersionHeader = "#version 330 core\n";
#endif

}  // namespace

GLuint CompileProgram(const char* vs, const char* fs) {
  auto compile = [](GLenum type, const char* src) -> GLuint {
    GLuint s = glCreateShader(type);
    const char* parts[2] = {kVersionHeader, src};
    glShaderSource(s, 2, parts, nullptr);
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

}  // namespace quadrel::render
