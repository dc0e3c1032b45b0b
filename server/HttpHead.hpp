// Reading a request head within fixed limits: scanned line by line as the
// bytes come, so that an endless line or endless headers are refused as soon
// as they pass a limit, and parsed whole once the blank line is in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "HttpFront.hpp"

namespace quadrel::server {

struct HeadScan {
  struct Result {
    bool complete = false;
    size_t end = 0;          // just after the blank line
    int status = 0;          // a refusal, when not 0
    const char* cause = "";
    std::string reason;
  };
  // Looks at what arrived since the last call. head holds all bytes so far.
  Result Feed(const std::string& head, const HttpLimits& limits);

  size_t pos = 0;       // start of the unfinished line
  size_t lines = 0;     // complete lines, the request line included
  size_t firstEnd = 0;  // just after the request line
  size_t end = 0;
};

struct HeadCheck {
  int status = 0;  // a refusal, when not 0
  const char* cause = "";
  std::string reason;
  bool hasLength = false;
  uint64_t length = 0;
};

// Fills method, target, path, query and headers from a complete head, and
// refuses what is malformed or what this server never reads: any content or
// transfer coding, methods other than GET, HEAD and POST.
HeadCheck ParseHead(const std::string& head, const HeadScan& scan, HttpRequest& request);

// Status line and headers (Content-Length, nosniff, Connection: close), then
// the body unless withBody is false (HEAD).
std::string SerializeResponse(const HttpResponse& response, bool withBody);
std::string UtcNow();  // "2026-12-08T00:00:00Z", for the log

}  // namespace quadrel::server
