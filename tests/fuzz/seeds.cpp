// Writes the fuzzers' small seed corpus: a few replays, models and pictures
// of each shape the readers know.
//   quadrel-fuzz-seeds OUT_DIR   (creates OUT_DIR/{replay,xmodel,dds})
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/render/Picture.hpp"
#include "replay/ReplayStore.hpp"

namespace fs = std::filesystem;
using namespace quadrel;

namespace {

void Save(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Save(const fs::path& path, const std::string& text) {
  Save(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> Replay(int32_t score, int32_t level, const std::vector<InputFrame>& frames) {
  std::vector<uint8_t> b(kReplayHeaderArea, 0);
  std::memcpy(b.data(), kReplaySignature, sizeof kReplaySignature);
  const int32_t last = frames.empty() ? 0 : frames.back().frame, version = kReplayVersion;
  std::memcpy(&b[20], &score, 4);
  std::memcpy(&b[24], "2005/05/11 13:04:05", 20);
  std::memcpy(&b[44], &last, 4);
  std::memcpy(&b[48], &version, 4);
  std::memcpy(&b[52], &level, 4);
  for (int i = 0; i < 7; ++i) b[kItemPlanOffset + i] = uint8_t(i * 3);
  for (const InputFrame& f : frames) {
    uint8_t r[kInputFrameSize] = {};
    std::memcpy(r, &f.dx, 2);
    r[2] = f.button;
    std::memcpy(r + 4, &f.frame, 4);
    std::memcpy(r + 8, &f.score, 4);
    b.insert(b.end(), r, r + kInputFrameSize);
  }
  return b;
}

const char* kCube = R"(xof 0302txt 0032
Material Red { 1.0;0.0;0.0;1.0;; 5.0; 1.0;0.5;0.0;; 0.0;0.0;0.0;; }
Frame Root {
 FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }
 Mesh cube {
  4;
  0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;1.0;0.0;;
  2;
  3;0,2,1;, 4;1,2,3,0;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 4;0,0,0,0;; }
  MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;, 1.0;1.0;; }
  MeshVertexColors { 1; 0; 1.0;1.0;1.0;1.0;;; }
  MeshMaterialList {
   2; 2; 1, 0;;
   {Red}
   Material Blue { 0.0;0.0;1.0;0.5;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;
    TextureFilename { "texture\\blue.dds"; } }
  }
 }
}
)";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const fs::path out = argv[1];
  for (const char* d : {"replay", "xmodel", "dds"}) fs::create_directories(out / d);

  Save(out / "replay" / "empty.rep", Replay(0, 0, {}));
  Save(out / "replay" / "frames.rep",
       Replay(0, 0, {{5, 0, 0, 10, 0}, {-3, 0x80, 0, 11, 0}, {0, 0x80, 0, 400, 0}}));
  Save(out / "replay" / "allclear.rep", Replay(123, 5, {{1, 0, 0, 1, 0}}));
  std::vector<uint8_t> cut = Replay(0, 0, {{1, 0, 0, 1, 0}});
  cut.resize(cut.size() - 5);
  Save(out / "replay" / "cut.rep", cut);

  Save(out / "xmodel" / "cube.x", std::string(kCube));
  Save(out / "xmodel" / "template.x",
       std::string("xof 0302txt 0032\ntemplate Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> "
                   "DWORD nVertices; [...] }\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"));
  Save(out / "xmodel" / "skin.x",
       std::string("xof 0302txt 0032\nMesh m { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                   " XSkinMeshHeader { 1; 1; 1; }\n SkinWeights { \"bone\"; 1; 0; 1.0;"
                   " 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }\nAnimationSet { Animation {"
                   " {m} AnimationKey { 0; 1; 0; 4; 1.0,0.0,0.0,0.0;;; } } }\n"));

  std::vector<uint8_t> rgba(8 * 4 * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 37);
  using render::PixelFormat;
  Save(out / "dds" / "bgra.dds", render::EncodeDds(8, 4, rgba, PixelFormat::Bgra8));
  Save(out / "dds" / "bgrx.dds", render::EncodeDds(8, 4, rgba, PixelFormat::Bgrx8));
  Save(out / "dds" / "565.dds", render::EncodeDds(8, 4, rgba, PixelFormat::Rgb565));
  Save(out / "dds" / "dxt1.dds", render::EncodeDds(8, 4, rgba, PixelFormat::Dxt1));
  std::vector<uint8_t> dxt5 = render::EncodeDds(8, 4, rgba, PixelFormat::Dxt1);
  std::memcpy(&dxt5[84], "DXT5", 4);  // the same blocks read as DXT5 (two levels' worth)
  dxt5.resize(128 + 2 * 16 + 16, 0x5A);
  std::memcpy(&dxt5[8], "\x07\x10\x02\x00", 4);  // flags with the mip count
  dxt5[28] = 2;
  Save(out / "dds" / "dxt5mips.dds", dxt5);
  return 0;
}
