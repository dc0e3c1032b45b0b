// The C entry point of the page's WebAssembly module.
#include <cstdint>
#include <string>

#include "VerifyApi.hpp"

namespace {
// The browser's file system is in memory and private to the page.
constexpr char kScratch[] = "/tmp/quadrel-verify.rep";
std::string lastResult;
}  // namespace

extern "C" {

// Returns the JSON of VerifyReplayJson; valid until the next call.
const char* quadrel_verify(const char* name, const uint8_t* bytes, int size) {
  lastResult = quadrel::VerifyReplayJson(name ? name : "", bytes, size > 0 ? size : 0, kScratch);
  return lastResult.c_str();
}

}
