// The form body of a registration, split into its parts. Written for the
// game's own request and for whatever else arrives: every length is checked
// against the body, the number of parts is capped, nothing is copied twice.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quadrel::server {

struct FormPart {
  std::string name;         // from the Content-Disposition line
  std::string contentType;  // empty when the part has none
  std::string_view data;    // points into the body
};

struct FormParse {
  bool ok = false;
  std::string error;  // why not, for the log
  std::vector<FormPart> parts;
};

// More parts than any registration needs; a body of many tiny parts is refused
// after this many rather than split whole.
constexpr size_t kMaxFormParts = 32;

// The boundary of a "multipart/form-data; boundary=..." type, quotes removed;
// empty when the type is not that or names no usable boundary.
std::string FormBoundary(std::string_view contentType);

// Splits body at "--boundary" lines. Requires CR LF line ends, a name in each
// part's Content-Disposition, and the closing "--boundary--".
FormParse ParseFormBody(std::string_view body, std::string_view boundary);

}  // namespace quadrel::server
