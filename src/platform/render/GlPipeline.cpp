// The fixed-function rules on OpenGL: the device's render states, sampler,
// light, material and fog become GL state and the uniforms of the shader
// variant that each draw needs.
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/render/D3DMath.hpp"
#include "platform/render/GlGraphics.hpp"
#include "platform/render/GlShaders.hpp"

namespace quadrel::render {
namespace {

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
#ifdef GL_CLAMP_TO_BORDER
    case ss::AddressBorder: return GL_CLAMP_TO_BORDER;
#else  // ES 3.0 has no border: the edge is the nearest it has
    case ss::AddressBorder: return GL_CLAMP_TO_EDGE;
#endif
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

GlGraphics::MainVariant* GlGraphics::Variant(int key) {
  MainVariant& v = variants_[size_t(key)];
  if (v.program) return &v;
  const std::string vs = MainVertexSource(key);
  const std::string fs = MainFragmentSource(key);
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
  const ColourValue& highlight = state_.material.specular;
  if (lighting && s[rs::SpecularEnable] &&
      (highlight.r != 0.0f || highlight.g != 0.0f || highlight.b != 0.0f))
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
#ifdef GL_TEXTURE_BORDER_COLOR
    glSamplerParameterfv(sampler_, GL_TEXTURE_BORDER_COLOR, b);
#else
    (void)b;
#endif
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

}  // namespace quadrel::render
