// Meshes and fonts on OpenGL: vertex and index buffers per mesh, one glyph
// atlas per font.
#include <cstddef>
#include <string>
#include <vector>

#include "files/SafeFile.hpp"
#include "platform/render/FontFace.hpp"
#include "platform/render/GlGraphics.hpp"
#include "platform/render/MeshData.hpp"
#include "platform/render/Picture.hpp"

namespace quadrel::render {

// ---------------------------------------------------------------- meshes

class GlMesh final : public MeshBase {
 public:
  GlMesh(GlGraphics& g, int id) : MeshBase(g, id), g_(g) {}
  ~GlMesh() override { FreeGeometry(); }

 protected:
  int32_t LoadData(const char* fileName, std::vector<Material>& materials,
                   std::vector<uint32_t>& textures) override {
    if (!g_.deviceObjects_) return kFail;
    MeshData data;
    std::string error;
    if (!LoadXMesh(fileName, data, &error)) {
      files::WarnFileProblem(fileName, error);
      return kFileNotFound;
    }
    glGenVertexArrays(1, &vao_);
    glGenBuffers(1, &vbo_);
    glGenBuffers(1, &ibo_);
    glBindVertexArray(vao_);
    g_.boundVao_ = vao_;
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.vertices.size() * sizeof(MeshVertex)),
                 data.vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(data.indices.size() * sizeof(uint32_t)),
                 data.indices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, normal)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, uv)));
    subsets_.clear();
    for (const MeshSubset& s : data.subsets) {
      subsets_.push_back({s.firstIndex, s.indexCount});
      materials.push_back(s.material);
      uint32_t texture = 0;
      if (!s.textureName.empty()) {
        // A texture that cannot be used leaves the subset untextured; say why.
        std::string error;
        const std::string path = TexturePath(s.textureName, &error);
        Picture picture;
        if (path.empty()) {
          files::WarnFileProblem(fileName, error);
        } else if (!LoadPicture(path, picture, &error)) {
          files::WarnFileProblem(path, error + " (texture of " + fileName + ")");
        } else {
          texture = g_.UploadPicture(picture, true, nullptr);
          if (texture) ++g_.liveMeshTextures_;
        }
      }
      textures.push_back(texture);
    }
    return kOk;
  }

  void DrawSubset(uint32_t i) override {
    if (i >= subsets_.size() || subsets_[i].count == 0) return;
    if (!g_.Prepare3D(false)) return;
    if (g_.boundVao_ != vao_) {
      glBindVertexArray(vao_);
      g_.boundVao_ = vao_;
    }
    glDrawElements(GL_TRIANGLES, GLsizei(subsets_[i].count), GL_UNSIGNED_INT,
                   reinterpret_cast<void*>(size_t(subsets_[i].first) * sizeof(uint32_t)));
    ++g_.drawCalls_;
  }

  void ReleaseData(std::vector<uint32_t>& textures) override {
    for (uint32_t& t : textures)
      if (t) {
        GLuint name = t;
        if (g_.boundTexture_ == name) g_.boundTexture_ = ~0u;
        glDeleteTextures(1, &name);
        --g_.liveMeshTextures_;
        t = 0;
      }
    FreeGeometry();
  }

 private:
  void FreeGeometry() {
    if (vao_) {
      if (g_.boundVao_ == vao_) g_.boundVao_ = ~0u;
      glDeleteVertexArrays(1, &vao_);
    }
    if (vbo_) glDeleteBuffers(1, &vbo_);
    if (ibo_) glDeleteBuffers(1, &ibo_);
    vao_ = vbo_ = ibo_ = 0;
    subsets_.clear();
  }

  struct Range {
    uint32_t first, count;
  };
  GlGraphics& g_;
  GLuint vao_ = 0, vbo_ = 0, ibo_ = 0;
  std::vector<Range> subsets_;
};

// ---------------------------------------------------------------- fonts

class GlFont final : public FontBase {
 public:
  GlFont(GlGraphics& g, int id) : FontBase(g, id), g_(g) {}
  ~GlFont() override { FreeAtlas(); }

 protected:
  int32_t CreateFace(const char* faceName, int32_t height, int32_t weight,
                     int32_t italic) override {
    FreeAtlas();
    if (!g_.deviceObjects_) return kFail;
    std::string error;
    if (!face_.Open(faceName, height, weight, italic != 0, &error)) {
      files::WarnFileProblem(std::string("font \"") + faceName + "\"", error);
      return kFail;
    }
    glGenTextures(1, &atlas_);
    glBindTexture(GL_TEXTURE_2D, atlas_);
    g_.boundTexture_ = ~0u;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, face_.AtlasWidth(), face_.AtlasHeight(), 0, GL_RED,
                 GL_UNSIGNED_BYTE, face_.Atlas().data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return kOk;
  }

  void DrawString(const char* text, int32_t x, int32_t y, uint32_t format,
                  uint32_t colour) override {
    if (!atlas_) return;
    const TextPlacement p = face_.Place(text, x, y, format);
    std::vector<float>& v = g_.overlayScratch_;
    v.clear();
    const float iw = 1.0f / float(face_.AtlasWidth()), ih = 1.0f / float(face_.AtlasHeight());
    int pen = p.left;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
      const Glyph& gl = face_.GlyphFor(*c);
      if (!gl.present) continue;
      if (*c != ' ') {
        const float x0 = float(pen + gl.offsetX), y0 = float(p.top);
        const float x1 = x0 + float(gl.width), y1 = y0 + float(gl.height);
        const float u0 = float(gl.atlasX) * iw, v0 = float(gl.atlasY) * ih;
        const float u1 = float(gl.atlasX + gl.width) * iw, v1 = float(gl.atlasY + gl.height) * ih;
        const float quad[24] = {x0, y0, u0, v0, x1, y0, u1, v0, x0, y1, u0, v1,
                                x1, y0, u1, v0, x1, y1, u1, v1, x0, y1, u0, v1};
        v.insert(v.end(), quad, quad + 24);
      }
      pen += gl.advance;
    }
    if (v.empty()) return;
    const ColourValue c = ArgbToColour(colour);
    const float rgba[4] = {c.r, c.g, c.b, c.a};
    g_.DrawOverlayTriangles(v.data(), int(v.size() / 4), atlas_, 1, rgba, true);
  }

  void ReleaseFace() override { FreeAtlas(); }

 private:
  void FreeAtlas() {
    if (atlas_) {
      if (g_.boundTexture_ == atlas_) g_.boundTexture_ = ~0u;
      glDeleteTextures(1, &atlas_);
    }
    atlas_ = 0;
    face_.Close();
  }

  GlGraphics& g_;
  FontFace face_;
  GLuint atlas_ = 0;
};

std::unique_ptr<MeshBase> GlGraphics::NewMesh(int id) { return std::make_unique<GlMesh>(*this, id); }

std::unique_ptr<FontBase> GlGraphics::NewFont(int id) { return std::make_unique<GlFont>(*this, id); }

}  // namespace quadrel::render
