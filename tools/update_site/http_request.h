#pragma once
#include <optional>
#include <string>
#include <string_view>

// The head of one HTTP/1.x request, as far as the development server reads it.
struct HttpRequest {
  std::string method;
  std::string path;   // percent-decoded, without the query
  std::string query;  // as sent, without "?"
  bool keep_alive = false;
  bool has_body = false;  // Content-Length above 0 or chunked: the server answers and closes
};

// `head` is everything up to and including the blank line. Nothing for a head that is not
// HTTP/1.x, or whose target cannot be decoded.
std::optional<HttpRequest> ParseRequestHead(std::string_view head);

// "%41" becomes "A"; nothing for a broken escape or an encoded NUL.
std::optional<std::string> PercentDecode(std::string_view text);

// The value of the first `key=value` of a query, percent-decoded; nothing when absent.
std::optional<std::string> QueryValue(std::string_view query, std::string_view key);
