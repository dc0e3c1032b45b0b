// Helpers for the registration test of the real program:
//   quadrel-ranking-capture serve PORT VERDICT OUT
//       a stand-in ranking server on 127.0.0.1:PORT: takes one request, writes
//       it to OUT, answers "HTTP/1.0 200 OK" with VERDICT as the body
//   quadrel-ranking-capture expect RANKING_DAT NAME REPLAY OUT [HOST]
//       writes to OUT the request the game must send for the row named NAME
//       and the replay file REPLAY (the level is read from the replay header)
//       to HOST (localhost unless given)
//   quadrel-ranking-capture watch SCREEN X0 Y0 X1 Y1 RRGGBB SECONDS
//       watches Xvfb's screen file (-fbdir) until more than 200 pixels of the
//       rectangle are close to the colour; exit 0 when seen, 1 when not
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int Serve(int port, const std::string& verdict, const std::string& out) {
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 4) != 0) {
    std::perror("bind");
    return 1;
  }
  std::printf("listening\n");
  std::fflush(stdout);
  pollfd waiting{listener, POLLIN, 0};
  if (::poll(&waiting, 1, 600000) != 1) return 1;
  int fd = ::accept(listener, nullptr, nullptr);
  std::string request;
  char chunk[65536];
  for (;;) {
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, 10000) != 1) break;
    ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    request.append(chunk, static_cast<size_t>(got));
  }
  WriteFile(out, request);
  std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + verdict;
  ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
  ::close(fd);
  ::close(listener);
  return 0;
}

std::string Part(const std::string& name, const std::string& value, bool binary) {
  return "--0123456789ABCD\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n" +
         (binary ? "Content-Type: octet/stream" : "Content-Type: text/plain") + "\r\n\r\n" +
         value + "\r\n";
}

int Expect(const std::string& rankingPath, std::string name, const std::string& replayPath,
           const std::string& out, const std::string& host) {
  name.resize(10, ' ');
  const std::string table = ReadFile(rankingPath);
  // Rows of 38 bytes: score (8 digits), name (10), date (19), line feed.
  for (size_t at = 0; at + 38 <= table.size(); at += 38) {
    if (table.compare(at + 8, 10, name) != 0) continue;
    const std::string score = std::to_string(std::atoi(table.substr(at, 8).c_str()));
    const std::string date = table.substr(at + 18, 19);
    const std::string replay = ReadFile(replayPath);
    if (replay.size() < 160) break;
    int32_t level;
    std::memcpy(&level, replay.data() + 52, 4);
    const std::string fileName = replayPath.substr(replayPath.find_last_of('/') + 1);
    const std::string body =
        Part("cmd", "regist", false) + Part("ver", "20050511", false) + Part("name", name, false) +
        Part("daytime", date, false) + Part("score", score, false) +
        Part("level", std::to_string(level), false) + Part("filename", fileName, false) +
        Part("data", replay, true) + "--0123456789ABCD--\r\n";
    const std::string request =
        std::string("POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\n") +
        "Content-type: multipart/form-data; boundary=\"0123456789ABCD\"\r\n" +
        "Content-Length: " + std::to_string(body.size()) + "\r\n" + "Host: " + host + "\r\n\r\n" +
        body;
    return WriteFile(out, request) ? 0 : 1;
  }
  std::fprintf(stderr, "no row named \"%s\" with a replay\n", name.c_str());
  return 1;
}

bool Near(int r, int g, int b, long want) {
  return std::abs(r - ((want >> 16) & 255)) < 40 && std::abs(g - ((want >> 8) & 255)) < 40 &&
         std::abs(b - (want & 255)) < 40;
}

uint32_t BigEndian(const std::string& bytes, size_t field) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + field * 4;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Pixels near the colour in Xvfb's live screen image (XWD layout, 32 bits a
// pixel); -1 when the file is not such an image.
long CountOnScreen(const std::string& path, int x0, int y0, int x1, int y1, long want) {
  const std::string screen = ReadFile(path);
  if (screen.size() < 100) return -1;
  const uint32_t headerSize = BigEndian(screen, 0), width = BigEndian(screen, 4);
  const uint32_t height = BigEndian(screen, 5), byteOrder = BigEndian(screen, 7);
  const uint32_t bitsPerPixel = BigEndian(screen, 11), bytesPerLine = BigEndian(screen, 12);
  const uint32_t colours = BigEndian(screen, 19);
  const size_t start = headerSize + size_t{colours} * 12;
  if (bitsPerPixel != 32 || start + size_t{bytesPerLine} * height > screen.size()) return -1;
  long count = 0;
  for (int y = std::max(y0, 0); y < y1 && y < static_cast<int>(height); ++y)
    for (int x = std::max(x0, 0); x < x1 && x < static_cast<int>(width); ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(screen.data()) + start +
                      size_t(y) * bytesPerLine + size_t(x) * 4;
      uint32_t v = byteOrder == 0 ? (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) |
                                        (uint32_t{p[1]} << 8) | p[0]
                                  : (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) |
                                        (uint32_t{p[2]} << 8) | p[3];
      if (Near((v >> 16) & 255, (v >> 8) & 255, v & 255, want)) ++count;
    }
  return count;
}

int Watch(const std::string& path, int x0, int y0, int x1, int y1, const char* rgb,
          double seconds) {
  const long want = std::strtol(rgb, nullptr, 16);
  for (long waited = 0; waited <= static_cast<long>(seconds * 100); ++waited) {
    if (CountOnScreen(path, x0, y0, x1, y1, want) > 200) return 0;
    ::usleep(10000);
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "serve" && argc == 5) return Serve(std::atoi(argv[2]), argv[3], argv[4]);
  if (mode == "expect" && (argc == 6 || argc == 7))
    return Expect(argv[2], argv[3], argv[4], argv[5], argc == 7 ? argv[6] : "localhost");
  if (mode == "watch" && argc == 9)
    return Watch(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                 std::atoi(argv[6]), argv[7], std::atof(argv[8]));
  std::fprintf(stderr, "usage: see the top of ranking_capture.cpp\n");
  return 2;
}
