#include "Multipart.hpp"

#include <algorithm>
#include <cctype>

namespace quadrel::server {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The value of `key=` among the "; "-separated parameters of a header value.
bool HeaderParameter(std::string_view value, std::string_view key, std::string& out) {
  size_t pos = value.find(';');
  while (pos != std::string_view::npos) {
    std::string_view rest = value.substr(pos + 1);
    const size_t next = rest.find(';');
    std::string_view item = Trim(rest.substr(0, next));
    const size_t eq = item.find('=');
    if (eq != std::string_view::npos && EqualsNoCase(Trim(item.substr(0, eq)), key)) {
      std::string_view v = Trim(item.substr(eq + 1));
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      out.assign(v);
      return true;
    }
    pos = next == std::string_view::npos ? next : pos + 1 + next;
  }
  return false;
}

bool ReadPartHeaders(std::string_view headers, FormPart& part, std::string& error) {
  bool disposition = false;
  while (!headers.empty()) {
    const size_t end = headers.find("\r\n");
    const std::string_view line = headers.substr(0, end);
    headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 2);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      error = "part header line without a colon";
      return false;
    }
    const std::string_view key = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (EqualsNoCase(key, "Content-Disposition")) {
      if (disposition) {
        error = "part with two Content-Disposition lines";
        return false;
      }
      disposition = true;
      const std::string_view kind = Trim(value.substr(0, value.find(';')));
      if (!EqualsNoCase(kind, "form-data") || !HeaderParameter(value, "name", part.name)) {
        error = "part without a form-data name";
        return false;
      }
    } else if (EqualsNoCase(key, "Content-Type")) {
      part.contentType.assign(value);
    }
  }
  if (!disposition) {
    error = "part without Content-Disposition";
    return false;
  }
  return true;
}

}  // namespace

std::string FormBoundary(std::string_view contentType) {
  const std::string_view kind = Trim(contentType.substr(0, contentType.find(';')));
  std::string boundary;
  if (!EqualsNoCase(kind, "multipart/form-data")) return "";
  if (!HeaderParameter(contentType, "boundary", boundary)) return "";
  // A boundary is 1 to 70 characters and never contains CR or LF.
  if (boundary.empty() || boundary.size() > 70) return "";
  if (boundary.find_first_of("\r\n\"") != std::string::npos) return "";
  return boundary;
}

FormParse ParseFormBody(std::string_view body, std::string_view boundary) {
  FormParse result;
  if (boundary.empty()) {
    result.error = "no boundary";
    return result;
  }
  const std::string opening = "--" + std::string(boundary);
  const std::string separator = "\r\n" + opening;
  if (body.substr(0, opening.size()) != opening) {
    result.error = "body does not start with the boundary";
    return result;
  }
  size_t pos = opening.size();
  for (;;) {
    // After a boundary: "--" closes the form, CR LF opens a part.
    if (body.substr(pos, 2) == "--") {
      const std::string_view tail = body.substr(pos + 2);
      if (!tail.empty() && tail != "\r\n") {
        result.error = "bytes after the closing boundary";
        return result;
      }
      break;
    }
    if (body.substr(pos, 2) != "\r\n") {
      result.error = "boundary line not ended by CR LF";
      return result;
    }
    pos += 2;
    if (result.parts.size() == kMaxFormParts) {
      result.error = "more than " + std::to_string(kMaxFormParts) + " parts";
      return result;
    }
    const size_t headerEnd = body.find("\r\n\r\n", pos);
    // An empty header block is allowed only to be refused below, not searched past.
    const size_t blankFirst = body.substr(pos, 2) == "\r\n" ? pos : std::string_view::npos;
    if (headerEnd == std::string_view::npos && blankFirst == std::string_view::npos) {
      result.error = "part headers not ended by an empty line";
      return result;
    }
    FormPart part;
    if (blankFirst != std::string_view::npos) {
      result.error = "part without Content-Disposition";
      return result;
    }
    if (!ReadPartHeaders(body.substr(pos, headerEnd - pos), part, result.error)) return result;
    const size_t dataStart = headerEnd + 4;
    const size_t dataEnd = body.find(separator, dataStart);
    if (dataEnd == std::string_view::npos) {
      result.error = "part \"" + part.name.substr(0, 20) + "\" not closed by the boundary";
      return result;
    }
    part.data = body.substr(dataStart, dataEnd - dataStart);
    result.parts.push_back(std::move(part));
    pos = dataEnd + separator.size();
  }
  result.ok = true;
  return result;
}

}  // namespace quadrel::server
