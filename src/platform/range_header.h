#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The request headers that resume a body at `from` while it is unchanged; empty when there is
// nothing to resume (no offset or no validator: without one a changed file could not be told).
std::string ResumeHeaders(uint64_t from, const std::string& validator);

// The first byte's offset of "bytes N-M/T" (Content-Range); nothing for anything else.
std::optional<uint64_t> ParseContentRangeStart(std::string_view value);

}  // namespace platform
