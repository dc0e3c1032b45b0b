// The OpenGL functions the renderer calls: OpenGL 3.3 core through libepoxy
// natively, OpenGL ES 3.0 (WebGL2) in the browser. The renderer is written to
// their common part; kGlEs marks the few places where ES needs another way.
#pragma once

#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>  // the S3TC names (WEBGL_compressed_texture_s3tc)
// Desktop names in branches that ES never takes (see kGlEs).
#define GL_BGRA 0x80E1
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#define GL_R16 0x822A
#else
#include <epoxy/gl.h>
#endif

namespace quadrel::render {

#ifdef __EMSCRIPTEN__
constexpr bool kGlEs = true;
#else
constexpr bool kGlEs = false;
#endif

}  // namespace quadrel::render
