// A loopback client that talks to the ranking server exactly as the game
// does: the same multipart bytes, HTTP/1.0, the sending side shut after the
// request, the reply read until the server closes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/RankingProtocol.hpp"

namespace quadrel::test {

struct GameFields {
  std::string cmd = protocol::kRegisterCommand;
  std::string ver = "20050511";
  std::string name;
  std::string daytime;
  std::string score;
  std::string level;
  std::string filename;
  std::string data;
};

std::string ReadBinaryFile(const std::string& path);
std::vector<std::string> GoldenReplays();  // paths, sorted; empty when the folder is missing

// The fields the game sends for a replay: score, date and level from its header.
GameFields FieldsFor(const std::string& replay, const std::string& name,
                     const std::string& fileName);

// One form part as the game writes it.
std::string FormPart(const std::string& name, const std::string& value, bool binary);
// The eight parts in the game's order and the closing line.
std::string GameBody(const GameFields& f);
// The whole request: request line, the game's headers, the body.
std::string GameRequest(const std::string& body, const std::string& host = "localhost");

// Sends bytes to 127.0.0.1:port and reads the reply until the server closes
// (or the time-out passes). halfClose shuts the sending side after the bytes.
// firstByteMs: the time from the last byte sent to the first byte of the reply.
// from: the loopback address to send from (127.0.0.1 when null).
std::string Exchange(int port, const std::string& bytes, bool halfClose = true,
                     int timeoutMs = 10000, double* firstByteMs = nullptr,
                     const char* from = nullptr);
std::string Register(int port, const GameFields& f);
// -1, -2 or -3 from the reply's last two characters, else 0: the game's rule.
int VerdictOf(const std::string& reply);
int StatusOf(const std::string& reply);   // from the status line; 0 when none
std::string BodyOf(const std::string& reply);
std::string HttpGet(int port, const std::string& path);

// A different game of the same score: the leaving click of a lost game |k|
// steps later (the game-over screen scores nothing). k != 0.
std::string ReplayVariant(const std::string& replay, int k);
// The golden games that end with a leaving click.
std::vector<std::string> LostGoldenReplays();

}  // namespace quadrel::test
