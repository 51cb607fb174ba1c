#include "update_site/package_content.h"

#include <algorithm>

#include "bzip2/bz_stream.h"

std::optional<std::string> UnpackContent(TStream& package, uint64_t limit, uint64_t expected_size) {
  constexpr size_t kBlock = 1 << 20;
  TBZDecompressionStream unpacked(package);
  std::string content;
  content.reserve(static_cast<size_t>(std::min(expected_size, limit)) + kBlock);
  for (;;) {
    if (content.size() > limit) return std::nullopt;
    // Room for one more block; beyond a known size the string grows as strings do.
    const size_t filled = content.size();
    content.resize(filled + kBlock);
    const size_t got = unpacked.Read(content.data() + filled, kBlock);
    content.resize(filled + got);
    if (got == 0) return content;
  }
}
