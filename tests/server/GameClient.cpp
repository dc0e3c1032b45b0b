#include "GameClient.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quadrel::test {

std::string ReadBinaryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> GoldenReplays() {
  const char* env = std::getenv("QUADREL_GOLDEN_DIR");
#ifdef QUADREL_GOLDEN_DIR
  const std::string dir = env && *env ? env : QUADREL_GOLDEN_DIR;
#else
  const std::string dir = env && *env ? env : "";
#endif
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    if (entry.path().extension() == ".rep") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<std::string> LostGoldenReplays() {
  std::vector<std::string> lost;
  for (const std::string& path : GoldenReplays()) {
    const std::string replay = ReadBinaryFile(path);
    int32_t level = 0;
    if (replay.size() >= 56) std::memcpy(&level, replay.data() + 52, 4);
    if (level < 5) lost.push_back(path);
  }
  return lost;
}

GameFields FieldsFor(const std::string& replay, const std::string& name,
                     const std::string& fileName) {
  GameFields f;
  int32_t score = 0, level = 0;
  std::memcpy(&score, replay.data() + 20, 4);
  std::memcpy(&level, replay.data() + 52, 4);
  f.name = name;
  f.daytime.assign(replay.data() + 24, strnlen(replay.data() + 24, 20));
  f.score = std::to_string(score);
  f.level = std::to_string(level);
  f.filename = fileName;
  f.data = replay;
  return f;
}

std::string FormPart(const std::string& name, const std::string& value, bool binary) {
  std::string part = std::string("--") + protocol::kFormBoundary +
                     "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n";
  part += binary ? "Content-Type: octet/stream\r\n\r\n" : "Content-Type: text/plain\r\n\r\n";
  part += value;
  part += "\r\n";
  return part;
}

std::string GameBody(const GameFields& f) {
  using namespace protocol;
  return FormPart(kFieldCommand, f.cmd, false) + FormPart(kFieldVersion, f.ver, false) +
         FormPart(kFieldName, f.name, false) + FormPart(kFieldDaytime, f.daytime, false) +
         FormPart(kFieldScore, f.score, false) + FormPart(kFieldLevel, f.level, false) +
         FormPart(kFieldFileName, f.filename, false) + FormPart(kFieldData, f.data, true) +
         "--" + kFormBoundary + "--\r\n";
}

std::string GameRequest(const std::string& body, const std::string& host) {
  return std::string("POST ") + protocol::kRankingPath + " HTTP/1.0\r\nContent-type: " +
         protocol::kFormContentType + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
         "Host: " + host + "\r\n\r\n" + body;
}

std::string Exchange(int port, const std::string& bytes, bool halfClose, int timeoutMs,
                     double* firstByteMs, const char* from) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  if (from) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      ::close(fd);
      return "";
    }
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;  // the server may refuse before reading everything
      sent += static_cast<size_t>(n);
    }
    if (halfClose) ::shutdown(fd, SHUT_WR);
    const auto sentAll = std::chrono::steady_clock::now();
    char buffer[4096];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      if (reply.empty() && firstByteMs)
        *firstByteMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                 sentAll).count();
      reply.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return reply;
}

std::string Register(int port, const GameFields& f) {
  return Exchange(port, GameRequest(GameBody(f)));
}

int VerdictOf(const std::string& reply) {
  if (reply.size() < 2) return 0;
  const std::string tail = reply.substr(reply.size() - 2);
  if (tail == "-1") return -1;
  if (tail == "-2") return -2;
  if (tail == "-3") return -3;
  return 0;
}

int StatusOf(const std::string& reply) {
  if (reply.rfind("HTTP/1.", 0) != 0 || reply.size() < 12) return 0;
  return std::atoi(reply.c_str() + 9);
}

std::string BodyOf(const std::string& reply) {
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? "" : reply.substr(end + 4);
}

std::string HttpGet(int port, const std::string& path) {
  return Exchange(port, "GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n", false);
}

std::string ReplayVariant(const std::string& replay, int k) {
  // The leaving click |k| steps later, in the record and in the header.
  std::string out = replay;
  const size_t last = out.size() - 12;
  int32_t frame = 0;
  std::memcpy(&frame, out.data() + last + 4, 4);
  frame += k < 0 ? -k : k;
  std::memcpy(out.data() + last + 4, &frame, 4);
  std::memcpy(out.data() + 44, &frame, 4);
  return out;
}

}  // namespace quadrel::test
