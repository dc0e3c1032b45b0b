// The pages and files the board links besides itself: the replay viewer
// (watch.html, its script, module and the game's assets) and the replay check
// page, served read-only from one folder. Every page goes out with a fresh
// script nonce under a policy that runs only its own scripts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quadrel::server {

struct WebFile {
  std::string contentType;
  std::string body;
};

// The file at `relative` in the folder, or nothing when the name is not one
// the folder may serve (only letters, digits, "_-." in each part, no part
// starting with a dot, a known extension) or the file is not there.
std::optional<WebFile> ReadWebFile(const std::string& folder, std::string_view relative);

// A nonce for one response: 128 random bits, base64.
std::string NewScriptNonce();
// Every "<script" of the page carries the nonce.
std::string StampScripts(std::string_view html, const std::string& nonce);
// The policy of a page from the folder: its nonce'd scripts, WebAssembly
// compiled ('wasm-unsafe-eval', which evaluates no script text), fetches, audio
// and canvas pictures from this server only.
std::string WebPagePolicy(const std::string& nonce);

}  // namespace quadrel::server
