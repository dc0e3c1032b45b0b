// A small blocking HTTP/1.0 client for the internet ranking: one TCP connection
// per exchange, the whole reply read until the server closes, multipart form
// bodies built part by part. Every wait is bounded so an absent or silent
// server costs seconds, not minutes; failures go to the user at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/IoResult.hpp"
#include "base/RankingProtocol.hpp"

namespace quadrel {

constexpr int32_t kHttpOk = 0;
constexpr int32_t kHttpFail = kFailure;

// The line that closes a form body: "--BOUNDARY--\r\n".
constexpr size_t kFormClosingLength = sizeof protocol::kFormBoundary - 1 + 6;
// Room in a POST request for everything before the body: the request line,
// the fixed headers and a Host line with a host name of the longest kind.
constexpr size_t kPostHeaderRoom = 512;
constexpr size_t kUrlHostMax = 255;
constexpr size_t kUrlPathMax = 4095;
// Every send and the wait for the first reply byte.
constexpr double kExchangeTimeout = 3.0;

struct UrlParts {
  std::string host;  // name, dotted IPv4 or IPv6 address (without its brackets), no port
  std::string path;  // starts with the slash
  uint16_t port = 80;
};

// Byte count of one form part as AddFormField writes it.
size_t FormPartSize(size_t nameLength, size_t dataLength, bool binary);

class Http {
 public:
  // Turns a host name into numeric address texts, in the order to try them.
  using HostLookup = std::function<bool(const std::string& host, std::vector<std::string>& out)>;

  Http();
  virtual ~Http();
  Http(const Http&) = delete;
  Http& operator=(const Http&) = delete;

  virtual void ReleaseBody();
  virtual int32_t ParseUrl(UrlParts& out, const std::string& url);
  virtual int32_t Connect(const std::string& host, uint16_t port);
  virtual int32_t Send(const void* bytes, size_t length, double timeoutSeconds);
  // Stores at most capacity - 1 bytes and a NUL. Returns 0 once the server
  // closed, -1 after a socket error, a positive count when the reply was cut at
  // the buffer's end, or kHttpFail when a wait ran out.
  virtual int32_t Receive(char* out, size_t capacity, double timeoutSeconds);
  virtual int32_t Close();
  // Both return kHttpFail only for a URL they refuse; a transport failure shows
  // its messages, returns 0 and leaves lastExchangeComplete() false.
  virtual int32_t Get(const std::string& url, char* out, size_t capacity);
  virtual int32_t Post(const std::string& url, char* out, size_t capacity);
  virtual void BeginBody(size_t capacity);
  // A part that would not fit the body is refused whole; the body is then
  // marked so that Post sends nothing.
  virtual void AddFormField(const std::string& name, const void* data, size_t length, bool binary);
  virtual void UrlEncode(std::string& out, const std::string& in);

  // True when the last Get or Post connected, sent everything and read the
  // whole reply up to the server's close.
  bool lastExchangeComplete() const { return exchangeComplete_; }
  // True when the last reply was longer than the buffer and cut.
  bool lastReplyCut() const { return replyCut_; }
  // Lookups made so far (a dotted address needs none).
  int lookupCount() const { return lookupCount_; }
  bool bodyRefused() const { return bodyRefused_; }
  size_t bodySize() const { return bodyLength_; }
  const uint8_t* body() const { return body_.get(); }

  // getaddrinfo by default; tests give fixed answers. It runs on a helper
  // thread of its own, so that a resolver that never answers costs at most
  // lookupTimeoutSeconds.
  HostLookup lookup;
  double lookupTimeoutSeconds = 5.0;
  // When set and raised (from another thread), every wait of the exchange
  // ends within a few tens of milliseconds and the exchange fails.
  const std::atomic<bool>* cancel = nullptr;
  // Bound of each connection attempt, per address.
  double connectTimeoutSeconds = 3.0;
  // Bound of any wait after the first, while a request is sent or a reply read.
  double progressTimeoutSeconds = 10.0;
  // Bound of the whole sending of one request, and of the whole reading of one
  // reply, however steadily a slow peer makes progress.
  double transferTimeoutSeconds = 30.0;

 private:
  bool AppendToBody(const void* data, size_t length);
  bool RefuseBody();
  // One exchange of Get and Post after the request is built.
  void Exchange(const UrlParts& parts, const void* request, size_t length, char* out,
                size_t capacity);

  int socket_ = -1;
  std::unique_ptr<uint8_t[]> body_;
  size_t bodyCapacity_ = 0;
  size_t bodyLength_ = 0;
  bool bodyRefused_ = false;
  bool exchangeComplete_ = false;
  bool replyCut_ = false;
  int lookupCount_ = 0;
};

// Looks a host name up with getaddrinfo: IPv4 and IPv6 stream addresses.
bool SystemHostLookup(const std::string& host, std::vector<std::string>& out);

}  // namespace quadrel
