// The program's icon: a bar, a ball and four blocks on a dark tile, painted
// at each size the desktop asks for (so small sizes stay sharp), as PNG.
#pragma once

#include <string>

#include "Canvas.hpp"

namespace quadrel::assetgen {

// The hicolor sizes written, in pixels.
inline constexpr int kIconSizes[] = {48, 64, 128, 256};

Canvas PaintIcon(int size);
// An opaque RGB PNG of the canvas.
std::string EncodePng(const Canvas& canvas);

}  // namespace quadrel::assetgen
