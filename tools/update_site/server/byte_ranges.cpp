#include "update_site/server/byte_ranges.h"

#include <algorithm>
#include <cstdio>

std::string HttpDate(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const sys_days day = floor<days>(time);
  const year_month_day date(day);
  const hh_mm_ss clock(floor<seconds>(time - day));
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT", kDays[weekday(day).c_encoding()],
                static_cast<unsigned>(date.day()), kMonths[static_cast<unsigned>(date.month()) - 1],
                static_cast<int>(date.year()), static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
  return text;
}

// httplib applies Request::ranges to every answer after the handler, and parses them before
// any handler runs; the request is its own non-const object, so a handler that answers by
// rules of its own clears them here.
void IgnoreRange(const httplib::Request& request) { const_cast<httplib::Request&>(request).ranges.clear(); }

BytePart TakeRange(const httplib::Request& request, uint64_t size, const Validators& validators) {
  const httplib::Ranges ranges = request.ranges;
  IgnoreRange(request);
  const BytePart whole{200, 0, size};
  if (ranges.size() != 1) return whole;
  if (request.has_header("If-Range")) {
    const std::string validator = request.get_header_value("If-Range");
    if (validator != validators.etag && validator != validators.last_modified) return whole;
  }
  const int64_t first = ranges.front().first, last = ranges.front().second;  // -1: not given
  if (first < 0 && last <= 0) return {416, 0, 0};
  // "bytes=-N" asks for the last N bytes.
  const uint64_t offset = first < 0 ? size - std::min<uint64_t>(static_cast<uint64_t>(last), size) : static_cast<uint64_t>(first);
  if (offset >= size) return {416, 0, 0};
  const uint64_t end = first < 0 || last < 0 ? size : std::min<uint64_t>(static_cast<uint64_t>(last) + 1, size);
  return {206, offset, end - offset};
}

void SetPartHeaders(httplib::Response& response, const BytePart& part, uint64_t size, const Validators& validators) {
  response.status = part.status;
  response.set_header("Accept-Ranges", "bytes");
  response.set_header("ETag", validators.etag);
  response.set_header("Last-Modified", validators.last_modified);
  if (part.status == 206) {
    response.set_header("Content-Range", "bytes " + std::to_string(part.offset) + "-" +
                                             std::to_string(part.offset + part.length - 1) + "/" + std::to_string(size));
  } else if (part.status == 416) {
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
  }
}
