#include "platform/render/MeshData.hpp"

#include "files/SafeFile.hpp"
#include "platform/render/XModelParser.hpp"

namespace quadrel::render {

bool LoadXMesh(const std::string& fileName, MeshData& out, std::string* error) {
  // Read by us (no blocking, size-limited), then parsed from memory.
  std::vector<uint8_t> bytes;
  if (!files::ReadWholeFile(fileName, files::FileKind::Model, bytes, error)) return false;
  return LoadXMeshFromMemory(bytes.data(), bytes.size(), out, error);
}

bool LoadXMeshFromMemory(const uint8_t* data, size_t size, MeshData& out, std::string* error) {
  return ParseXModel(data, size, out, error);
}

std::string TexturePath(const std::string& storedName, std::string* error) {
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
    return fail("texture name " + Quoted(storedName) + " is an absolute path");
  while (s.rfind("./", 0) == 0) s.erase(0, 2);
  // Every step must be a plain name: no "..", no ".", no empty step.
  size_t start = 0;
  for (;;) {
    const size_t slash = s.find('/', start);
    const std::string step = s.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (step.empty() || step == "." || step == "..")
      return fail("texture name " + Quoted(storedName) + " leaves the game's folders");
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (s.rfind("texture/", 0) != 0 && s.rfind("model/", 0) != 0)
    return fail("texture name " + Quoted(storedName) + " is not under texture/ or model/");
  return s;
}

}  // namespace quadrel::render
