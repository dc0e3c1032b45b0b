#include "platform/render/XModelParser.hpp"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/render/XModelScene.hpp"

namespace quadrel::render {
namespace {

using xmodel::Face;
using xmodel::Mesh;
using xmodel::Scene;

enum class Tok { End, Word, String, Open, Close };

struct Token {
  Tok kind = Tok::End;
  const char* p = nullptr;
  size_t n = 0;
  int line = 0;
  std::string Text() const { return std::string(p, n); }
  bool Is(const char* word) const {
    return kind == Tok::Word && n == std::strlen(word) && std::memcmp(p, word, n) == 0;
  }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';'; }
bool IsDelimiter(char c) { return IsSpace(c) || c == '{' || c == '}' || c == '"' || c == '<' || c == '#'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool LooksNumeric(const Token& t) {
  return t.kind == Tok::Word && (IsDigit(t.p[0]) || t.p[0] == '-' || t.p[0] == '+' || t.p[0] == '.');
}

// The tokens of a text .x file; separators, GUIDs and comments are skipped.
class Scanner {
 public:
  Scanner(const char* begin, const char* end) : p_(begin), end_(end) {}

  Token Next() {
    Token t = Read();
    if (LooksNumeric(t)) ++numbers_;
    return t;
  }
  Token Peek() {
    const char* p = p_;
    const int line = line_;
    Token t = Read();
    p_ = p;
    line_ = line;
    return t;
  }
  uint64_t Numbers() const { return numbers_; }
  size_t BytesLeft() const { return size_t(end_ - p_); }
  int Line() const { return line_; }

 private:
  Token Read() {
    for (;;) {
      while (p_ < end_ && IsSpace(*p_)) {
        if (*p_ == '\n') ++line_;
        ++p_;
      }
      if (p_ >= end_) return Token{Tok::End, p_, 0, line_};
      if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
        while (p_ < end_ && *p_ != '\n') ++p_;
        continue;
      }
      if (*p_ == '<') {  // a GUID
        while (p_ < end_ && *p_ != '>') {
          if (*p_ == '\n') ++line_;
          ++p_;
        }
        if (p_ < end_) ++p_;
        continue;
      }
      break;
    }
    Token t{Tok::Word, p_, 1, line_};
    if (*p_ == '{' || *p_ == '}') {
      t.kind = *p_++ == '{' ? Tok::Open : Tok::Close;
      return t;
    }
    if (*p_ == '"') {
      t.kind = Tok::String;
      ++p_;
      while (p_ < end_ && *p_ != '"') {
        if (*p_ == '\n') ++line_;
        ++p_;
      }
      if (p_ >= end_) return Token{Tok::End, t.p, 0, t.line};  // not closed: the caller reports it
      ++p_;
      t.n = size_t(p_ - t.p);
      return t;
    }
    while (p_ < end_ && !IsDelimiter(*p_)) ++p_;
    t.n = size_t(p_ - t.p);
    return t;
  }

  const char* p_;
  const char* end_;
  int line_ = 1;
  uint64_t numbers_ = 0;
};

// [sign] digits [. digits] [e [sign] digits], rounded as the game's models
// were always read: the whole part and the first 15 decimals apart, in
// float. No locale, no strtod.
bool ParseFloat(const char* p, const char* end, float& out) {
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  uint64_t whole = 0;
  int wholeDigits = 0, fracDigits = 0;
  for (; p < end && IsDigit(*p); ++p, ++wholeDigits) {
    if (wholeDigits == 19) return false;  // beyond 64 bits: no model needs it
    whole = whole * 10 + uint64_t(*p - '0');
  }
  uint64_t frac = 0;
  int fracKept = 0;
  if (p < end && *p == '.') {
    for (++p; p < end && IsDigit(*p); ++p, ++fracDigits)
      if (fracKept < 15) frac = frac * 10 + uint64_t(*p - '0'), ++fracKept;
  }
  if (wholeDigits + fracDigits == 0) return false;
  static const double kTenth[16] = {0.0,  1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                    1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};
  float f = float(whole);
  if (fracKept > 0) f += float(double(frac) * kTenth[fracKept]);
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool down = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    if (p >= end || !IsDigit(*p)) return false;
    int e = 0;
    for (; p < end && IsDigit(*p); ++p) e = e < 1000 ? e * 10 + (*p - '0') : e;
    double scaled = f;
    for (int i = 0; i < e && scaled != 0.0 && scaled < 1e300; ++i) scaled = down ? scaled / 10 : scaled * 10;
    f = float(scaled);
  }
  if (p != end) return false;
  out = negative ? -f : f;
  return f - f == 0.0f;  // finite
}

class Parser {
 public:
  Parser(const char* begin, const char* end, uint64_t totalNumbers, Scene& scene, std::string* error)
      : s_(begin, end), total_(totalNumbers), scene_(scene), error_(error) {}

  bool File() {
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Tok::End) return true;
      if (t.kind == Tok::Close) return Fail(t.line, "a } closes nothing");
      if (t.kind == Tok::Open) {
        if (!SkipBlock(1)) return false;
      } else if (t.Is("template")) {
        if (!SkipUnknown(0)) return false;
      } else if (t.Is("Frame")) {
        if (!Frame(-1, 1)) return false;
      } else if (t.Is("Mesh")) {
        auto mesh = std::make_unique<Mesh>();
        if (!MeshObject(*mesh, 1)) return false;
        scene_.globalMeshes.push_back(std::move(mesh));
      } else if (t.Is("Material")) {
        scene_.globalMaterials.emplace_back();
        if (!MaterialObject(scene_.globalMaterials.back(), 1)) return false;
      } else if (!SkipUnknown(0)) {
        return false;
      }
    }
  }

 private:
  bool Fail(int line, const std::string& text) {
    if (error_) *error_ = "line " + std::to_string(line) + ": " + text;
    return false;
  }
  uint64_t Remaining() const { return total_ - s_.Numbers(); }

  // The optional name and the opening brace of an object; depth is its own.
  bool Head(const char* what, int depth, std::string* name = nullptr) {
    Token t = s_.Next();
    if (t.kind == Tok::Word) {
      if (name) *name = t.Text();
      t = s_.Next();
    }
    if (t.kind != Tok::Open) return Fail(t.line, std::string(what) + ": { expected");
    if (depth > kMaxXModelDepth)
      return Fail(t.line, "blocks nested deeper than " + std::to_string(kMaxXModelDepth));
    return true;
  }
  bool Close(const char* what) {
    const Token t = s_.Next();
    return t.kind == Tok::Close || Fail(t.line, std::string(what) + ": } expected");
  }

  // Inside a block whose { was read: up to its }.
  bool SkipBlock(int depth) {
    int open = 1;
    while (open > 0) {
      const Token t = s_.Next();
      if (t.kind == Tok::End) return Fail(t.line, "a block is not closed");
      if (t.kind == Tok::Open && ++open + depth > kMaxXModelDepth + 1)
        return Fail(t.line, "blocks nested deeper than " + std::to_string(kMaxXModelDepth));
      if (t.kind == Tok::Close) --open;
    }
    return true;
  }
  // An object the game does not use (animations, skins, colours...): its
  // head up to the {, then the block.
  bool SkipUnknown(int depth) {
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Tok::End) return Fail(t.line, "the file ends inside an object");
      if (t.kind == Tok::Close) return Fail(t.line, "an object has no {");
      if (t.kind == Tok::Open) break;
    }
    if (depth + 1 > kMaxXModelDepth)
      return Fail(s_.Line(), "blocks nested deeper than " + std::to_string(kMaxXModelDepth));
    return SkipBlock(depth + 1);
  }

  // A count of items of 'per' numbers each that the rest of the file must hold.
  bool Count(const std::string& what, uint64_t per, uint32_t& n) {
    const Token t = s_.Next();
    if (!LooksNumeric(t)) return Fail(t.line, what + ": a count is missing");
    uint64_t v = 0;
    for (size_t i = 0; i < t.n; ++i) {
      if (!IsDigit(t.p[i])) return Fail(t.line, what + ": " + Quoted(t.Text()) + " is not a count");
      if (v < (uint64_t(1) << 40)) v = v * 10 + uint64_t(t.p[i] - '0');
    }
    if (per > 0 && v > Remaining() / per)
      return Fail(t.line, what + ": " + std::to_string(v) + " declared, but the rest of the file holds " +
                              std::to_string(Remaining()) + " numbers");
    if (v > 0xFFFFFFFFu) return Fail(t.line, what + ": " + std::to_string(v) + " is too many");
    n = uint32_t(v);
    return true;
  }
  bool Index(const std::string& what, uint32_t size, uint32_t& v) {
    const Token t = s_.Next();
    uint64_t x = 0;
    bool ok = t.kind == Tok::Word && t.n > 0 && t.n <= 10;
    for (size_t i = 0; ok && i < t.n; ++i) {
      ok = IsDigit(t.p[i]);
      x = x * 10 + uint64_t(t.p[i] - '0');
    }
    if (!ok) return Fail(t.line, what + ": " + Quoted(t.Text()) + " is not an index");
    if (x >= size)
      return Fail(t.line,
                  what + ": index " + std::to_string(x) + " but only " + std::to_string(size) + " entries");
    v = uint32_t(x);
    return true;
  }
  bool Floats(const char* what, float* out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      const Token t = s_.Next();
      if (t.kind != Tok::Word || !ParseFloat(t.p, t.p + t.n, out[i]))
        return Fail(t.line, std::string(what) + ": " + Quoted(t.Text()) + " is not a finite number");
    }
    return true;
  }

  // Frames, meshes and materials kept: a file of tiny empty ones must not
  // take gigabytes.
  bool Keep(const char* what) {
    return ++objects_ <= kMaxXModelObjects ||
           Fail(s_.Line(), std::string(what) + ": more than " + std::to_string(kMaxXModelObjects) +
                               " frames, meshes and materials");
  }

  bool Frame(int parent, int depth) {
    if (!Head("Frame", depth) || !Keep("Frame")) return false;
    const int self = int(scene_.frames.size());
    scene_.frames.emplace_back();
    if (parent < 0)
      scene_.roots.push_back(self);
    else
      scene_.frames[size_t(parent)].children.push_back(self);
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Tok::Close) return true;
      if (t.kind == Tok::End) return Fail(t.line, "Frame: the file ends inside it");
      if (t.kind == Tok::Open) {
        if (!SkipBlock(depth + 1)) return false;
      } else if (t.Is("Frame")) {
        if (!Frame(self, depth + 1)) return false;
      } else if (t.Is("FrameTransformMatrix")) {
        float m[16];
        if (!Head("FrameTransformMatrix", depth + 1) || !Floats("FrameTransformMatrix", m, 16) ||
            !Close("FrameTransformMatrix"))
          return false;
        // Stored row by row for row vectors; kept transposed, for column vectors.
        for (int r = 0; r < 4; ++r)
          for (int c = 0; c < 4; ++c) scene_.frames[size_t(self)].local.m[c][r] = m[r * 4 + c];
      } else if (t.Is("Mesh")) {
        auto mesh = std::make_unique<Mesh>();
        if (!MeshObject(*mesh, depth + 1)) return false;
        scene_.frames[size_t(self)].meshes.push_back(std::move(mesh));
      } else if (!SkipUnknown(depth)) {
        return false;
      }
    }
  }

  // A face list: per face a corner count, then the corners, each < size.
  bool Faces(const char* what, uint32_t size, std::vector<Face>& faces, std::vector<uint32_t>& corners,
             const std::vector<Face>* like) {
    uint32_t n = 0;
    if (!Count(std::string(what) + " faces", 1, n)) return false;
    if (like && n != like->size())
      return Fail(s_.Line(), std::string(what) + ": " + std::to_string(n) + " faces for the mesh's " +
                                 std::to_string(like->size()));
    faces.reserve(n);
    for (uint32_t f = 0; f < n; ++f) {
      uint32_t k = 0;
      if (!Count(std::string(what) + " face corners", 1, k)) return false;
      if (like && k != (*like)[f].count)
        return Fail(s_.Line(), std::string(what) + ": face " + std::to_string(f) + " has " +
                                   std::to_string(k) + " corners, the mesh's " +
                                   std::to_string((*like)[f].count));
      if (k == 0)
        return Fail(s_.Line(), std::string(what) + ": face " + std::to_string(f) + " has no corners");
      if (!like && (corners_ += k) > kMaxXModelCorners)
        return Fail(s_.Line(), "more than " + std::to_string(kMaxXModelCorners) + " face corners");
      faces.push_back(Face{uint32_t(corners.size()), k});
      for (uint32_t i = 0; i < k; ++i) {
        uint32_t v = 0;
        if (!Index(std::string(what) + " face " + std::to_string(f), size, v)) return false;
        corners.push_back(v);
      }
    }
    return true;
  }

  bool Vectors(const char* what, uint32_t n, int size, std::vector<float>& out) {
    out.resize(size_t(n) * size_t(size));
    return Floats(what, out.data(), out.size());
  }

  bool MeshObject(Mesh& mesh, int depth) {
    uint32_t n = 0;
    if (!Head("Mesh", depth) || !Keep("Mesh") || !Count("Mesh vertices", 3, n) ||
        !Vectors("Mesh vertices", n, 3, mesh.positions) ||
        !Faces("Mesh", n, mesh.faces, mesh.corners, nullptr))
      return false;
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Tok::Close) return true;
      if (t.kind == Tok::End) return Fail(t.line, "Mesh: the file ends inside it");
      if (t.kind == Tok::Open) {
        if (!SkipBlock(depth + 1)) return false;
      } else if (t.Is("MeshNormals")) {
        mesh.normalFaces.clear();
        mesh.normalCorners.clear();
        if (!Head("MeshNormals", depth + 1) || !Count("MeshNormals", 3, n) ||
            !Vectors("MeshNormals", n, 3, mesh.normals) ||
            !Faces("MeshNormals", n, mesh.normalFaces, mesh.normalCorners, &mesh.faces) ||
            !Close("MeshNormals"))
          return false;
      } else if (t.Is("MeshTextureCoords")) {
        std::vector<float> uv;
        if (!Head("MeshTextureCoords", depth + 1) || !Count("MeshTextureCoords", 2, n)) return false;
        if (n != mesh.positions.size() / 3)
          return Fail(t.line, "MeshTextureCoords: " + std::to_string(n) + " for " +
                                  std::to_string(mesh.positions.size() / 3) + " vertices");
        if (!Vectors("MeshTextureCoords", n, 2, uv) || !Close("MeshTextureCoords")) return false;
        if (mesh.uvs.empty()) mesh.uvs = std::move(uv);  // the first set is the one drawn
      } else if (t.Is("MeshMaterialList")) {
        if (!MaterialList(mesh, depth + 1)) return false;
      } else if (!SkipUnknown(depth)) {
        return false;
      }
    }
  }

  bool MaterialList(Mesh& mesh, int depth) {
    uint32_t declared = 0, n = 0;
    if (!Head("MeshMaterialList", depth) || !Count("MeshMaterialList materials", 0, declared)) return false;
    if (declared > s_.BytesLeft() / 3)
      return Fail(s_.Line(), "MeshMaterialList: " + std::to_string(declared) + " materials declared in " +
                                 std::to_string(s_.BytesLeft()) + " bytes");
    if (!Count("MeshMaterialList faces", 1, n)) return false;
    if (n > mesh.faces.size())
      return Fail(s_.Line(), "MeshMaterialList: " + std::to_string(n) + " faces for the mesh's " +
                                 std::to_string(mesh.faces.size()));
    if (n == 0 && !mesh.faces.empty()) return Fail(s_.Line(), "MeshMaterialList: no face has a material");
    mesh.faceMaterials.clear();
    mesh.faceMaterials.reserve(mesh.faces.size());
    for (uint32_t f = 0; f < n; ++f) {
      uint32_t m = 0;
      if (!Index("MeshMaterialList", declared, m)) return false;
      mesh.faceMaterials.push_back(m);
    }
    // A shorter list gives the remaining faces its first material.
    while (mesh.faceMaterials.size() < mesh.faces.size())
      mesh.faceMaterials.push_back(mesh.faceMaterials.front());
    mesh.materials.clear();
    mesh.hasMaterialList = true;
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Tok::Close) break;
      if (t.kind == Tok::End) return Fail(t.line, "MeshMaterialList: the file ends inside it");
      if (t.kind == Tok::Open) {  // {Name}: a material defined before
        const Token name = s_.Next();
        if (name.kind != Tok::Word) return Fail(name.line, "MeshMaterialList: a material name is missing");
        if (!Close("MeshMaterialList") || !Keep("MeshMaterialList")) return false;
        mesh.materials.emplace_back();
        mesh.materials.back().name = name.Text();
        mesh.materials.back().reference = true;
      } else if (t.Is("Material")) {
        mesh.materials.emplace_back();
        if (!MaterialObject(mesh.materials.back(), depth + 1)) return false;
      } else if (!SkipUnknown(depth)) {
        return false;
      }
    }
    if (mesh.materials.size() != declared)
      return Fail(s_.Line(), "MeshMaterialList: " + std::to_string(declared) + " materials declared, " +
                                 std::to_string(mesh.materials.size()) + " given");
    return true;
  }

  bool MaterialObject(xmodel::Material& m, int depth) {
    if (!Head("Material", depth, &m.name) || !Keep("Material") || !Floats("Material", m.diffuse, 4) ||
        !Floats("Material", &m.power, 1) || !Floats("Material", m.specular, 3) ||
        !Floats("Material", m.emissive, 3))
      return false;
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Tok::Close) return true;
      if (t.kind == Tok::End) return Fail(t.line, "Material: the file ends inside it");
      if (t.kind == Tok::Open) {
        if (!SkipBlock(depth + 1)) return false;
      } else if (t.Is("TextureFilename") || t.Is("TextureFileName") || t.Is("NormalmapFilename") ||
                 t.Is("NormalmapFileName")) {
        if (!Head("TextureFilename", depth + 1)) return false;
        const Token name = s_.Next();
        if (name.kind != Tok::String) return Fail(name.line, "TextureFilename: a quoted name is expected");
        if (!Close("TextureFilename")) return false;
        std::string text(name.p + 1, name.n - 2);
        // Some exporters double every backslash.
        for (size_t at; (at = text.find("\\\\")) != std::string::npos;) text.erase(at, 1);
        if (m.texture.empty() && t.p[0] == 'T') m.texture = text;
      } else if (!SkipUnknown(depth)) {
        return false;
      }
    }
  }

  Scanner s_;
  uint64_t total_;
  Scene& scene_;
  std::string* error_;
  uint64_t corners_ = 0;
  uint32_t objects_ = 0;
};

}  // namespace

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < 40; ++i) out += text[i] >= ' ' && text[i] <= '~' ? text[i] : '?';
  return out + (text.size() > 40 ? "...\"" : "\"");
}

bool ParseXModel(const uint8_t* data, size_t size, MeshData& out, std::string* error) {
  if (size < 16 || std::memcmp(data, "xof ", 4) != 0) {
    if (error) *error = "not a .x model";
    return false;
  }
  if (std::memcmp(data + 8, "txt ", 4) != 0) {
    if (error) *error = "only text .x models are read (this one is binary or compressed)";
    return false;
  }
  const char* begin = reinterpret_cast<const char*>(data) + 16;
  const char* end = reinterpret_cast<const char*>(data) + size;
  Scanner counter(begin, end);
  for (Token t = counter.Next(); t.kind != Tok::End; t = counter.Next()) {
  }
  Scene scene;
  if (!Parser(begin, end, counter.Numbers(), scene, error).File()) return false;
  return xmodel::BuildMeshData(scene, out, error);
}

}  // namespace quadrel::render
