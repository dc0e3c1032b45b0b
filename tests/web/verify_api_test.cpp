// The replay check page's entry point, natively: the same verdict as the
// tool, the header, the trace, and safe JSON whatever the file holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "VerifyApi.hpp"
#include "verify/ReplayCheck.hpp"

namespace quadrel {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Scratch {
  fs::path dir = fs::temp_directory_path() / ("quadrel-verify-" + std::to_string(::getpid()));
  Scratch() { fs::create_directories(dir); }
  ~Scratch() { fs::remove_all(dir); }
  std::string file() const { return (dir / "check.rep").string(); }
};

std::string Verify(const std::string& name, const std::vector<uint8_t>& bytes,
                   const Scratch& scratch) {
  return VerifyReplayJson(name, bytes.data(), bytes.size(), scratch.file());
}

TEST(VerifyApi, GoldenReplaysGiveTheToolsVerdictHeaderAndTrace) {
  Scratch scratch;
  int replays = 0;
  for (const auto& entry : fs::directory_iterator(QUADREL_GOLDEN_DIR)) {
    if (entry.path().extension() != ".rep") continue;
    const std::string name = entry.path().filename().string();
    const std::string json = Verify(name, ReadBytes(entry.path()), scratch);
    const ReplayCheck check = CheckReplay(entry.path().string());
    EXPECT_NE(json.find("{\"verdict\":\"" + FormatCheck(name, check) + "\",\"outcome\":\"ok\""),
              std::string::npos)
        << json.substr(0, 200);
    EXPECT_NE(json.find("\"header\":{\"score\":" + std::to_string(check.score) + ","),
              std::string::npos);
    // One trace point per recorded input: the .trace lines but its end line.
    std::ifstream trace(fs::path(entry.path()).replace_extension(".trace"));
    std::string line, last;
    int lines = 0;
    while (std::getline(trace, line)) {
      if (line.rfind("end ", 0) == 0) continue;
      ++lines;
      last = line;
    }
    size_t points = 0;
    const size_t list = json.find("\"trace\":[") + 9;
    for (size_t at = list; (at = json.find('[', at)) != std::string::npos; ++at) ++points;
    EXPECT_EQ(points, static_cast<size_t>(lines)) << name;
    EXPECT_NE(json.find("[" + last.replace(last.find(' '), 1, ",") + "]]}"), std::string::npos);
    EXPECT_FALSE(fs::exists(scratch.file()));
    ++replays;
  }
  EXPECT_EQ(replays, 6);
}

TEST(VerifyApi, NoReplayIsUnreadableWithoutAHeader) {
  Scratch scratch;
  const std::string empty = Verify("empty.rep", {}, scratch);
  EXPECT_EQ(empty.rfind("{\"verdict\":\"empty.rep: unreadable: too short (0 bytes)\"", 0), 0u)
      << empty;
  EXPECT_NE(empty.find("\"header\":null"), std::string::npos);
  EXPECT_NE(empty.find("\"trace\":[]"), std::string::npos);
  const std::string bad =
      VerifyReplayJson("x.rep", nullptr, 0, (scratch.dir / "missing" / "x.rep").string());
  EXPECT_NE(bad.find("x.rep: unreadable: cannot be held for checking"), std::string::npos);
}

TEST(VerifyApi, NamesAndDatesCannotBreakTheJson) {
  Scratch scratch;
  fs::path golden;
  for (const auto& entry : fs::directory_iterator(QUADREL_GOLDEN_DIR))
    if (entry.path().extension() == ".rep") golden = entry.path();
  std::vector<uint8_t> bytes = ReadBytes(golden);
  // The date field: a quote, a control byte and a high byte.
  bytes[24] = '"';
  bytes[25] = 0x07;
  bytes[26] = 0xE9;
  const std::string json = Verify("a\"b\\c\nd.rep", bytes, scratch);
  EXPECT_NE(json.find("{\"verdict\":\"a\\\"b\\\\c\\u000ad.rep: "), std::string::npos) << json;
  EXPECT_NE(json.find("\"date\":\"\\\"??5/"), std::string::npos) << json.substr(0, 300);
}

}  // namespace
}  // namespace quadrel
