#include "WebFiles.hpp"

#include <openssl/rand.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quadrel::server {

namespace {

// The largest file the folder holds is the viewer's pack of models and
// pictures (2.8 MB).
constexpr std::streamoff kMaxWebFile = 16 << 20;

const char* TypeOf(std::string_view name) {
  struct Kind {
    std::string_view ext;
    const char* type;
  };
  static constexpr Kind kinds[] = {
      {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
      {".wasm", "application/wasm"},
      {".pack", "application/octet-stream"},
  };
  for (const Kind& k : kinds)
    if (name.size() > k.ext.size() && name.substr(name.size() - k.ext.size()) == k.ext) return k.type;
  return nullptr;
}

bool SafePart(std::string_view part) {
  if (part.empty() || part.size() > 64 || part.front() == '.') return false;
  for (char c : part) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::optional<WebFile> ReadWebFile(const std::string& folder, std::string_view relative) {
  if (folder.empty() || relative.empty() || relative.size() > 200) return std::nullopt;
  int parts = 0;
  for (std::string_view rest = relative; ;) {
    const size_t slash = rest.find('/');
    if (!SafePart(rest.substr(0, slash)) || ++parts > 4) return std::nullopt;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  const char* type = TypeOf(relative);
  if (!type) return std::nullopt;
  std::ifstream in(folder + "/" + std::string(relative), std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxWebFile) return std::nullopt;
  in.seekg(0);
  WebFile file{type, std::string(static_cast<size_t>(size), '\0')};
  if (!in.read(file.body.data(), size)) return std::nullopt;
  return file;
}

std::string NewScriptNonce() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes for a nonce");
  static constexpr char digits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (unsigned char b : bytes) {
    acc = (acc << 8) | b;
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      out += digits[(acc >> bits) & 63];
    }
  }
  if (bits > 0) out += digits[(acc << (6 - bits)) & 63];
  while (out.size() % 4) out += '=';
  return out;
}

std::string StampScripts(std::string_view html, const std::string& nonce) {
  std::string out;
  out.reserve(html.size() + 64);
  const std::string_view tag = "<script";
  size_t at = 0;
  while (true) {
    const size_t found = html.find(tag, at);
    if (found == std::string_view::npos) break;
    out.append(html.substr(at, found + tag.size() - at));
    out += " nonce=\"" + nonce + "\"";
    at = found + tag.size();
  }
  out.append(html.substr(at));
  return out;
}

std::string WebPagePolicy(const std::string& nonce) {
  return "default-src 'none'; script-src 'nonce-" + nonce +
         "' 'wasm-unsafe-eval'; connect-src 'self'; media-src 'self'; img-src 'self' data: blob:; "
         "style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'";
}

}  // namespace quadrel::server
