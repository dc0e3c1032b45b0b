// A look through a text .x model before it is parsed: every count the file
// declares (vertices, faces and their indices, normals, texture coordinates,
// material lists, colours, skin weights, animation keys) must fit in what the
// rest of the file can hold, so that a single edited number cannot make the
// loader allocate gigabytes. Texture names are kept inside the game's folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quadrel::render {

// True when the text .x file in data may be handed to the loader; otherwise
// false with a reason such as "Mesh declares 2000000000 vertices but the
// file holds at most 35 more numbers". Binary and compressed .x files are
// refused: the game's models are text.
bool CheckXModelText(const uint8_t* data, size_t size, std::string* error = nullptr);

// The path of a texture named inside a model, relative to the game's folder:
// backslashes become slashes and a leading "./" is dropped. Only names under
// "texture/" or "model/" are allowed; an absolute name, a ".." step or any
// other folder gives "" and a reason.
std::string SafeTexturePath(const std::string& storedName, std::string* error = nullptr);

}  // namespace quadrel::render
