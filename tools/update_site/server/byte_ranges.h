#pragma once
#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <string>

// What tells one version of a served resource from another: a client resuming a download sends
// one of them back in If-Range.
struct Validators {
  std::string etag;           // strong, quoted: "\"5f3a-1c\""
  std::string last_modified;  // an HTTP date
};

// "Sun, 06 Nov 1994 08:49:37 GMT", whole seconds.
std::string HttpDate(std::chrono::system_clock::time_point time);

// The part of a resource a GET or HEAD gets.
struct BytePart {
  int status = 200;  // 200: the whole resource, 206: the part, 416: nothing can be sent
  uint64_t offset = 0;
  uint64_t length = 0;
};

// Chooses by Range and If-Range for a resource of `size` bytes: one range ("bytes=N-",
// "bytes=N-M", "bytes=-N") gives 206, clamped to the end; a range that starts at or beyond the
// end gives 416; If-Range that names neither validator exactly, or several ranges, give the
// whole resource. Takes the ranges away from httplib, which would otherwise cut this answer's
// body to them by rules of its own.
BytePart TakeRange(const httplib::Request& request, uint64_t size, const Validators& validators);

// Drops the ranges httplib parsed for an answer that is not the resource (an error page).
void IgnoreRange(const httplib::Request& request);

// Sets the status and the headers that go with `part`: Accept-Ranges, ETag, Last-Modified and,
// for 206 and 416, Content-Range. The body and its length are the caller's.
void SetPartHeaders(httplib::Response& response, const BytePart& part, uint64_t size, const Validators& validators);
