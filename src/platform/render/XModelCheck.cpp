#include "platform/render/XModelCheck.hpp"

#include <cstring>

namespace quadrel::render {
namespace {

enum class Kind { End, Name, Number, String, Open, Close };

struct Token {
  Kind kind = Kind::End;
  const char* begin = nullptr;
  size_t length = 0;
  std::string Text() const { return std::string(begin, length); }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';'; }
bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}
bool IsDelimiter(char c) { return IsSpace(c) || c == '{' || c == '}' || c == '"' || c == '<'; }

// The tokens of a text .x file; GUIDs, separators and comments are skipped.
class Scanner {
 public:
  Scanner(const char* begin, const char* end) : p_(begin), end_(end) {}

  Token Next() {
    Token t = Read();
    if (t.kind == Kind::Number) ++numbers_;
    return t;
  }
  Token Peek() {
    const char* saved = p_;
    Token t = Read();
    p_ = saved;
    return t;
  }
  uint64_t numbersSeen() const { return numbers_; }
  size_t bytesLeft() const { return size_t(end_ - p_); }

 private:
  Token Read() {
    for (;;) {
      while (p_ < end_ && IsSpace(*p_)) ++p_;
      if (p_ >= end_) return {};
      if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
        while (p_ < end_ && *p_ != '\n') ++p_;
        continue;
      }
      if (*p_ == '<') {  // a GUID
        while (p_ < end_ && *p_ != '>') ++p_;
        if (p_ < end_) ++p_;
        continue;
      }
      break;
    }
    Token t;
    t.begin = p_;
    const char c = *p_;
    if (c == '{' || c == '}') {
      t.kind = c == '{' ? Kind::Open : Kind::Close;
      t.length = 1;
      ++p_;
      return t;
    }
    if (c == '"') {
      ++p_;
      while (p_ < end_ && *p_ != '"') ++p_;
      if (p_ < end_) ++p_;
      t.kind = Kind::String;
      t.length = size_t(p_ - t.begin);
      return t;
    }
    const bool number = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
    while (p_ < end_ && !IsDelimiter(*p_)) ++p_;
    t.kind = number ? Kind::Number : Kind::Name;
    t.length = size_t(p_ - t.begin);
    return t;
  }

  const char* p_;
  const char* end_;
  uint64_t numbers_ = 0;
};

class Walker {
 public:
  Walker(const char* begin, const char* end, uint64_t totalNumbers, std::string* error)
      : s_(begin, end), total_(totalNumbers), error_(error) {}

  bool Run() {
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Kind::End) return true;
      if (t.kind != Kind::Name) continue;
      const std::string name = t.Text();
      // Names are identifiers; stray punctuation (a backquote before a
      // material reference, say) takes the model importer down paths that crash.
      for (char c : name)
        if (!IsNameChar(c)) return Fail("unexpected character in \"" + name + "\"");
      if (name == "template") {
        if (!SkipTemplate()) return false;
        continue;
      }
      if (s_.Peek().kind == Kind::Name) s_.Next();  // the object's own name
      if (s_.Peek().kind != Kind::Open) continue;
      s_.Next();
      if (!Object(name)) return false;
    }
  }

 private:
  uint64_t Remaining() const { return total_ - s_.numbersSeen(); }

  bool Fail(const std::string& text) {
    if (error_) *error_ = text;
    return false;
  }

  // A count that 'per' numbers each must follow.
  bool Count(const std::string& what, uint64_t per, uint64_t& n) {
    const Token t = s_.Next();
    if (t.kind != Kind::Number) return Fail(what + ": a count is missing");
    n = 0;
    for (size_t i = 0; i < t.length; ++i) {
      const char c = t.begin[i];
      if (c < '0' || c > '9') return Fail(what + ": \"" + t.Text() + "\" is not a count");
      n = n * 10 + uint64_t(c - '0');
      if (n > (uint64_t(1) << 40)) break;
    }
    if (per > 0 && n > Remaining() / per)
      return Fail(what + ": " + std::to_string(n) + " declared, but the rest of the file holds " +
                  std::to_string(Remaining()) + " numbers");
    return true;
  }

  bool Skip(const std::string& what, uint64_t n) {
    for (uint64_t i = 0; i < n; ++i)
      if (s_.Next().kind != Kind::Number) return Fail(what + ": fewer numbers than declared");
    return true;
  }

  // A face list: a count, then per face an index count and the indices.
  bool Faces(const std::string& what) {
    uint64_t faces = 0;
    if (!Count(what + " faces", 1, faces)) return false;
    for (uint64_t f = 0; f < faces; ++f) {
      uint64_t k = 0;
      if (!Count(what + " face indices", 1, k) || !Skip(what + " face indices", k)) return false;
    }
    return true;
  }

  bool Object(const std::string& name) {
    uint64_t n = 0, m = 0;
    if (name == "Mesh" || name == "MeshNormals") {
      return Count(name + " vertices", 3, n) && Skip(name + " vertices", 3 * n) && Faces(name);
    }
    if (name == "MeshTextureCoords") return Count(name, 2, n) && Skip(name, 2 * n);
    if (name == "MeshVertexColors") return Count(name, 5, n) && Skip(name, 5 * n);
    if (name == "MeshMaterialList") {
      if (!Count(name + " materials", 0, m)) return false;
      if (m > s_.bytesLeft() / 3)
        return Fail(name + ": " + std::to_string(m) + " materials declared in " +
                    std::to_string(s_.bytesLeft()) + " bytes");
      return Count(name + " face indices", 1, n) && Skip(name, n);
    }
    if (name == "SkinWeights") {
      if (s_.Next().kind != Kind::String) return Fail(name + ": the bone name is missing");
      if (!Count(name, 2, n)) return false;
      if (Remaining() < 2 * n + 16) return Fail(name + ": fewer numbers than declared");
      return Skip(name, 2 * n + 16);
    }
    if (name == "AnimationKey") {
      if (!Count(name + " type", 0, m) || !Count(name + " keys", 2, n)) return false;
      for (uint64_t k = 0; k < n; ++k) {
        uint64_t values = 0;
        if (!Skip(name + " time", 1) || !Count(name + " values", 1, values) ||
            !Skip(name + " values", values))
          return false;
      }
      return true;
    }
    if (name == "FVFData") return Skip(name, 1) && Count(name, 1, n) && Skip(name, n);
    if (name == "DeclData") {
      return Count(name + " elements", 4, n) && Skip(name, 4 * n) && Count(name, 1, m) &&
             Skip(name, m);
    }
    return true;  // other objects: their children are walked as they come
  }

  bool SkipTemplate() {
    int depth = 0;
    for (;;) {
      const Token t = s_.Next();
      if (t.kind == Kind::End) return Fail("a template definition is not closed");
      if (t.kind == Kind::Open) ++depth;
      if (t.kind == Kind::Close && --depth <= 0) return true;
    }
  }

  Scanner s_;
  uint64_t total_;
  std::string* error_;
};

}  // namespace

bool CheckXModelText(const uint8_t* data, size_t size, std::string* error) {
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
  while (counter.Next().kind != Kind::End) {
  }
  return Walker(begin, end, counter.numbersSeen(), error).Run();
}

std::string SafeTexturePath(const std::string& storedName, std::string* error) {
  auto fail = [error](const std::string& text) {
    if (error) *error = text;
    return std::string();
  };
  std::string s = storedName;
  for (char& c : s)
    if (c == '\\') c = '/';
  if (s.empty()) return fail("empty texture name");
  if (s.find('\0') != std::string::npos) return fail("texture name holds a zero byte");
  if (s[0] == '/' || (s.size() > 1 && s[1] == ':'))
    return fail("texture name \"" + storedName + "\" is an absolute path");
  while (s.rfind("./", 0) == 0) s.erase(0, 2);
  // Every step must be a plain name: no "..", no ".", no empty step.
  size_t start = 0;
  for (;;) {
    const size_t slash = s.find('/', start);
    const std::string step = s.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (step.empty() || step == "." || step == "..")
      return fail("texture name \"" + storedName + "\" leaves the game's folders");
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (s.rfind("texture/", 0) != 0 && s.rfind("model/", 0) != 0)
    return fail("texture name \"" + storedName + "\" is not under texture/ or model/");
  return s;
}

}  // namespace quadrel::render
