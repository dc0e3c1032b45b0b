// Uncompressed 32-bit DDS pictures (A8R8G8B8), as Direct3D 9 reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::assetgen {

// Pixels are 0xAARRGGBB, top row first. With `mipChain` the file also holds
// every smaller level down to 1 x 1 (box-filtered); the size must then be a power of two.
std::string EncodeDds(int width, int height, const std::vector<uint32_t>& pixels, bool mipChain);

}  // namespace quadrel::assetgen
