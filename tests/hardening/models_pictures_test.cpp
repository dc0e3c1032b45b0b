// Damaged models and pictures: declared counts the file cannot hold, texture
// names that leave the game's folders or name endless files, giant pictures.
// Each is refused quickly with a reason, before anything large is allocated.
#include <sys/resource.h>

#include <cstring>

#include "TempFolder.hpp"
#include "platform/render/MeshData.hpp"
#include "platform/render/Picture.hpp"

namespace quadrel::test {
namespace {

using namespace render;

// One triangle, one material with a texture; %COUNT% and %TEXTURE% replaced.
const char* kTemplate = R"(xof 0302txt 0032
Mesh tri {
 %COUNT%;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
 1;
 3;0,1,2;;
 MeshMaterialList { 1; 1; 0;;
  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;
   TextureFilename { "%TEXTURE%"; } }
 }
}
)";

std::string Model(const std::string& count, const std::string& texture) {
  std::string s = kTemplate;
  s.replace(s.find("%COUNT%"), 7, count);
  s.replace(s.find("%TEXTURE%"), 9, texture);
  return s;
}

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

class DamagedModels : public TempFolder {};

TEST_F(DamagedModels, AHugeDeclaredCountIsRefusedBeforeTheLoaderAllocates) {
  Write("model/ok.x", Model("3", "texture/floor.dds"));
  MeshData d;
  std::string error;
  ASSERT_TRUE(LoadXMesh("model/ok.x", d, &error)) << error;
  EXPECT_EQ(d.vertices.size(), 3u);

  const long before = PeakKiB();
  const auto start = std::chrono::steady_clock::now();
  Write("model/huge.x", Model("2000000000", "texture/floor.dds"));
  EXPECT_FALSE(LoadXMesh("model/huge.x", d, &error));
  EXPECT_NE(error.find("Mesh vertices: 2000000000 declared"), std::string::npos) << error;
  // Counts elsewhere: faces, indices of one face, materials, coordinates.
  const std::string cases[] = {
      "xof 0302txt 0032\nMesh { 0;; 400000000; 3;0,0,0;; }",
      "xof 0302txt 0032\nMesh { 0;; 1; 4000000000;0,0,0;; }",
      "xof 0302txt 0032\nMesh { 0;; 0;; MeshMaterialList { 99999999; 0;; } }",
      "xof 0302txt 0032\nMesh { 0;; 0;; MeshTextureCoords { 300000000; 0;0;; } }",
      "xof 0302txt 0032\nMesh { 0;; 0;; MeshNormals { 300000000; 0;0;0;; 0;; } }",
      "xof 0302bin 0032\n\x01\x02\x03\x04",
      "xof 0302tzip0032\n\x01\x02\x03\x04",
  };
  for (const std::string& text : cases) {
    Write("model/bad.x", text);
    EXPECT_FALSE(LoadXMesh("model/bad.x", d, &error)) << text;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_LT(PeakKiB() - before, 64 * 1024);  // far from the gigabytes the counts ask for
}

// Damaged text: every index checked against its array, nesting bounded,
// numbers finite, a cut file refused. Each with its own reason, never a crash.
TEST_F(DamagedModels, DamagedTextIsRefusedWithItsReason) {
  const std::string mesh = "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
  std::string frames = "xof 0302txt 0032\n", blocks = "xof 0302txt 0032\nHeader ";
  for (int i = 0; i < 40; ++i) frames += "Frame {";
  for (int i = 0; i < 100000; ++i) blocks += "{";
  const std::pair<std::string, const char*> cases[] = {
      {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }", "index 3 but only 3 entries"},
      {mesh + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }", "index 1 but only 1 entries"},
      {mesh + "MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }", "has 4 corners, the mesh's 3"},
      {mesh + "MeshTextureCoords { 2; 0;0;, 1;1;; } }", "2 for 3 vertices"},
      {mesh + "MeshMaterialList { 1; 1; 1;; {Red} } }", "index 1 but only 1 entries"},
      {mesh + "MeshMaterialList { 2; 1; 0;; {Red} } }", "2 materials declared, 1 given"},
      {mesh + "MeshMaterialList { 1; 1; 0;; {Red} } }", "material \"Red\" is named but not defined"},
      {mesh + "MeshMaterialList { 1; 2; 0,0;; {Red} } }", "2 faces for the mesh's 1"},
      {frames, "nested deeper than 32"},
      {blocks, "nested deeper than 32"},
      {"xof 0302txt 0032\nMesh { 1; 1e39;0;0;; 0;; }", "\"1e39\" is not a finite number"},
      {"xof 0302txt 0032\nMesh { 1; -nan;0;0;; 0;; }", "\"-nan\" is not a finite number"},
      {"xof 0302txt 0032\nMesh { 1; 99999999999999999999;0;0;; 0;; }", "is not a finite number"},
      {"xof 0302txt 0032\nMesh { 1; 0x10;0;0;; 0;; }", "\"0x10\" is not a finite number"},
      {"xof 0302txt 0032\nMesh { 1\x1b[2J; }", "\"1?[2J\" is not a count"},  // quoted harmlessly
      {"xof 0302txt 0032\nFrame { FrameTransformMatrix { 3e38,0,0,0, 0,1,0,0, 0,0,1,0, 3e38,0,0,1;; }\n" +
           mesh.substr(17) + "} }",
       "beyond the range of numbers"},
      {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1", "Mesh vertices: 3 declared"},
      {mesh + "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"tex",
       "a quoted name is expected"},
      {mesh + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,0;;", "} expected"},
      {mesh, "the file ends inside it"},
      {"xof 0302txt 0032\n}", "a } closes nothing"},
      // Aborted the process in the model library the game used before.
      {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 0;, 3;0,1,2;; }", "face 0 has no corners"},
  };
  for (const auto& [text, reason] : cases) {
    MeshData d;
    std::string error;
    EXPECT_FALSE(LoadXMeshFromMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), d, &error))
        << text.substr(0, 200);
    EXPECT_NE(error.find(reason), std::string::npos) << error << "\n  for " << text.substr(0, 200);
  }
}

TEST_F(DamagedModels, AModelThatIsAFifoOrTooLargeIsRefused) {
  std::filesystem::create_directory("model");
  MakeFifo("model/ball.x");
  MeshData d;
  std::string error;
  EXPECT_FALSE(LoadXMesh("model/ball.x", d, &error));
  EXPECT_EQ(error, "not a regular file (a FIFO)");
  MakeSparse("model/wall.x", "xof 0302txt 0032\n", 100ull << 20);
  EXPECT_FALSE(LoadXMesh("model/wall.x", d, &error));
  EXPECT_NE(error.find("more than the 67108864 a model may have"), std::string::npos) << error;
}

TEST_F(DamagedModels, TextureNamesResolveOnlyInsideTheGamesFolders) {
  EXPECT_EQ(TexturePath("./texture/floor.dds"), "texture/floor.dds");
  EXPECT_EQ(TexturePath("texture\\blue.dds"), "texture/blue.dds");
  EXPECT_EQ(TexturePath("model/skin.dds"), "model/skin.dds");
  std::string error;
  for (const char* bad : {"/dev/zero", "\\\\server\\share\\x.dds", "C:\\x.dds", "../texture/x.dds",
                          "texture/../../etc/passwd", "texture//x.dds", "sound/bar.wav", "x.dds", ""}) {
    EXPECT_EQ(TexturePath(bad, &error), "") << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_EQ(TexturePath("/dev/zero", &error), "");
  EXPECT_EQ(error, "texture name \"/dev/zero\" is an absolute path");
}

TEST_F(DamagedModels, AnEndlessTextureIsNeverRead) {
  // The endless file inside the game's folder: a FIFO and a link to /dev/zero.
  std::filesystem::create_directories("texture");
  MakeFifo("texture/fifo.dds");
  std::filesystem::create_symlink("/dev/zero", "texture/zero.dds");
  const auto start = std::chrono::steady_clock::now();
  Picture p;
  std::string error;
  EXPECT_FALSE(LoadPicture("texture/fifo.dds", p, &error));
  EXPECT_EQ(error, "not a regular file (a FIFO)");
  EXPECT_FALSE(LoadPicture("texture/zero.dds", p, &error));
  EXPECT_EQ(error, "not a regular file (a character device)");
  EXPECT_LT(SecondsSince(start), 2.0);
}

class DamagedPictures : public TempFolder {};

TEST_F(DamagedPictures, AGiantSparsePictureIsRefusedWithoutReadingIt) {
  const long before = PeakKiB();
  const auto start = std::chrono::steady_clock::now();
  MakeSparse("title.dds", "DDS ", 2500000000ull);
  Picture p;
  std::string error;
  EXPECT_FALSE(LoadPicture("title.dds", p, &error));
  EXPECT_EQ(error, "2500000000 bytes, more than the 67108864 a picture may have");
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_LT(PeakKiB() - before, 16 * 1024);
}

TEST_F(DamagedPictures, PictureDimensionsAreLimitedTo8192) {
  std::vector<uint8_t> dds = EncodeDds(8, 8, std::vector<uint8_t>(8 * 8 * 4, 128), PixelFormat::Bgra8);
  Picture p;
  std::string error;
  ASSERT_TRUE(ParseDds(dds.data(), dds.size(), p, &error)) << error;
  const uint32_t big = 8193;
  std::memcpy(&dds[12], &big, 4);  // height
  EXPECT_FALSE(ParseDds(dds.data(), dds.size(), p, &error));
  EXPECT_NE(error.find("8192"), std::string::npos);
  // A PNG that claims 100000 x 1 pixels: refused from its header.
  const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                         0, 1, 0x86, 0xA0, 0, 0, 0, 1, 8, 6, 0, 0, 0, 0, 0, 0, 0};
  WriteBytes("wide.png", std::vector<uint8_t>(png, png + sizeof png));
  EXPECT_FALSE(LoadPicture("wide.png", p, &error));
  EXPECT_EQ(error, "picture larger than 8192 x 8192");
}

}  // namespace
}  // namespace quadrel::test
