#include "update_site/http_request.h"

#include <algorithm>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

std::optional<std::string> QueryValue(std::string_view query, std::string_view key) {
  while (!query.empty()) {
    size_t end = query.find('&');
    std::string_view pair = query.substr(0, end);
    size_t equals = pair.find('=');
    if (pair.substr(0, equals) == key) {
      return equals == std::string_view::npos ? std::optional<std::string>("") : PercentDecode(pair.substr(equals + 1));
    }
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::optional<HttpRequest> ParseRequestHead(std::string_view head) {
  size_t line_end = head.find("\r\n");
  if (line_end == std::string_view::npos) return std::nullopt;
  std::string_view line = head.substr(0, line_end);
  size_t first_space = line.find(' '), last_space = line.rfind(' ');
  if (first_space == std::string_view::npos || first_space == last_space) return std::nullopt;
  HttpRequest request;
  request.method = std::string(line.substr(0, first_space));
  std::string_view target = line.substr(first_space + 1, last_space - first_space - 1);
  std::string_view version = line.substr(last_space + 1);
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return std::nullopt;
  // An absolute target ("http://host/path"), as sent to a proxy, names the same path.
  if (size_t scheme = target.find("://"); scheme != std::string_view::npos && target.front() != '/') {
    size_t path = target.find('/', scheme + 3);
    target = path == std::string_view::npos ? std::string_view("/") : target.substr(path);
  }
  if (target.empty() || target.front() != '/') return std::nullopt;
  size_t question = target.find('?');
  std::optional<std::string> path = PercentDecode(target.substr(0, question));
  if (!path) return std::nullopt;
  request.path = std::move(*path);
  if (question != std::string_view::npos) request.query = std::string(target.substr(question + 1));

  request.keep_alive = version == "HTTP/1.1";
  for (size_t start = line_end + 2, end; (end = head.find("\r\n", start)) != std::string_view::npos && end > start;
       start = end + 2) {
    std::string_view field = head.substr(start, end - start);
    size_t colon = field.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string name = Lower(Trim(field.substr(0, colon)));
    std::string value = Lower(Trim(field.substr(colon + 1)));
    if (name == "connection") request.keep_alive = value.find("close") == std::string::npos && (version == "HTTP/1.1" || value.find("keep-alive") != std::string::npos);
    if (name == "content-length" && value != "0") request.has_body = true;
    if (name == "transfer-encoding") request.has_body = true;
  }
  return request;
}
