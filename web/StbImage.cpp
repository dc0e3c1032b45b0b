// stb_image for the browser build, which has no system library to link:
// only what LoadPicture reads besides DDS.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#include <stb_image.h>
