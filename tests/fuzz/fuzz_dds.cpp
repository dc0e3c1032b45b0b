// libFuzzer target: the DDS reader and the decoding of every level it keeps.
#include <cstdint>
#include <string>

#include "platform/render/Picture.hpp"

using namespace quadrel::render;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Picture picture;
  std::string error;
  if (!ParseDds(data, size, picture, &error)) return 0;
  // Keep each input quick: decode the small levels only.
  for (size_t level = 0; level < picture.levels.size(); ++level) {
    const PictureLevel& l = picture.levels[level];
    if (size_t(l.width) * size_t(l.height) <= (1u << 20)) (void)DecodeLevelRgba(picture, int(level));
  }
  return 0;
}
