#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "bzip2/stream.h"

// The whole content a package unpacks to, when it is one complete bzip2 stream of at most
// `limit` bytes of content; nothing when the content is larger. `expected_size` (0: unknown)
// lets the memory be taken at once. Raises EBZip2Error for a damaged package and what the
// stream raises when it cannot be read.
std::optional<std::string> UnpackContent(TStream& package, uint64_t limit, uint64_t expected_size = 0);
