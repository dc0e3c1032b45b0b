// The shader sources of the OpenGL renderer and the compile step.
#pragma once

#include "platform/render/GlApi.hpp"

#include <string>

namespace quadrel::render {

// The main program's vertex and fragment source for one combination of its
// switches, one bit each from the lowest:
//   LIGHTING, TEXTURED, FOG, SPECULAR, ALPHA_TEST, VERTEX_COLOUR
std::string MainVertexSource(int key);
std::string MainFragmentSource(int key);

// Text and pictures in picture pixels.
extern const char* const kOverlayVertex;
extern const char* const kOverlayFragment;
// The picture scaled into the window, through the gamma table or a straight line.
extern const char* const kPresentVertex;
extern const char* const kPresentFragment;
extern const char* const kPresentLinearFragment;

// Compiles and links; 0 (with the log on standard error) on failure.
GLuint CompileProgram(const char* vs, const char* fs);

}  // namespace quadrel::render
