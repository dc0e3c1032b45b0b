// The web folder: only plain names under it, a nonce on every script, and a
// policy that lets no script text be evaluated.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "WebFiles.hpp"

namespace quadrel::server {
namespace {

namespace fs = std::filesystem;

TEST(WebFiles, ServesOnlyPlainNamesOfKnownKindsInsideTheFolder) {
  const fs::path root = fs::temp_directory_path() / ("quadrel-web-" + std::to_string(::getpid()));
  fs::create_directories(root / "site");
  std::ofstream(root / "site" / "watch.js") << "let a;";
  std::ofstream(root / "secret.js") << "no";
  std::ofstream(root / "site" / ".hidden.js") << "no";
  std::ofstream(root / "site" / "notes.txt") << "no";
  const std::string site = (root / "site").string();

  const auto js = ReadWebFile(site, "watch.js");
  ASSERT_TRUE(js);
  EXPECT_EQ(js->body, "let a;");
  EXPECT_EQ(js->contentType, "text/javascript; charset=utf-8");
  for (const char* bad : {"../secret.js", "./watch.js", ".hidden.js", "notes.txt", "/watch.js",
                          "a//watch.js", "watch.js/", "missing.js", "w%2e.js", ""})
    EXPECT_FALSE(ReadWebFile(site, bad)) << bad;
  EXPECT_FALSE(ReadWebFile("", "watch.js"));
  fs::remove_all(root);
}

TEST(WebFiles, EveryScriptCarriesTheNonceAndThePolicyEvaluatesNoText) {
  const std::string nonce = NewScriptNonce();
  EXPECT_EQ(nonce.size(), 24u);
  EXPECT_NE(nonce, NewScriptNonce());
  EXPECT_EQ(StampScripts("<p><script src=\"a.js\"></script><script>x()</script>", "N"),
            "<p><script nonce=\"N\" src=\"a.js\"></script><script nonce=\"N\">x()</script>");
  const std::string policy = WebPagePolicy(nonce);
  EXPECT_NE(policy.find("script-src 'nonce-" + nonce + "' 'wasm-unsafe-eval';"), std::string::npos);
  EXPECT_EQ(policy.find("'unsafe-eval'"), std::string::npos);
  EXPECT_EQ(policy.find("script-src 'unsafe-inline'"), std::string::npos);
}

}  // namespace
}  // namespace quadrel::server
