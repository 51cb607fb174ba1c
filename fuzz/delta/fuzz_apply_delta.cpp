// Applying arbitrary bytes as a delta to a small fixed old content. The first three bytes give
// the expected size, at most 1 MiB so that no run allocates much; a top bit set asks for more
// than a delta serves instead. Whatever the bytes, ApplyDelta either raises DeltaError or gives
// exactly the expected size, and then the same bytes libzstd's buffered streaming decoder gives
// when fed the delta a few bytes at a time. (Not its one-shot decoder: for the first block after a
// prefix it uses a variant that tolerates unused bits at the end of the sequences, which the
// one-shot variant refuses; both give the same content.)
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "delta/delta_codec.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// The same text make_delta_seeds.py makes its seeds against.
std::string OldContent() {
  std::string text;
  for (int i = 0; i < 200; ++i) {
    text += "record " + std::to_string(1000 + i) + " value " + std::to_string(i * 7919 % 10007) + "\n";
  }
  return text;
}

constexpr uint64_t kLargestExpectedSize = 1 << 20;

std::string StreamedInPieces(std::string_view old_content, std::string_view delta) {
  std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
  ZSTD_DCtx_refPrefix(context.get(), old_content.data(), old_content.size());
  std::string decoded;
  char piece[4096];
  for (size_t at = 0; at < delta.size(); at += 7) {
    ZSTD_inBuffer in{delta.data() + at, std::min<size_t>(7, delta.size() - at), 0};
    while (in.pos < in.size) {
      ZSTD_outBuffer out{piece, sizeof piece, 0};
      const size_t result = ZSTD_decompressStream(context.get(), &out, &in);
      Require(!ZSTD_isError(result));
      decoded.append(piece, out.pos);
    }
  }
  return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string old_content = OldContent();
  if (size < 3) return 0;
  const uint32_t choice = uint32_t{data[0]} << 16 | uint32_t{data[1]} << 8 | data[2];
  const uint64_t expected_size =
      (choice & 0x800000) ? kLargestDeltaFile + (choice & 0xFF) : (choice & 0x7FFFFF) % (kLargestExpectedSize + 1);
  const std::string_view delta(reinterpret_cast<const char*>(data) + 3, size - 3);
  try {
    const FileContent result = ApplyDelta(old_content, delta, expected_size);
    Require(result.size() == expected_size && expected_size <= kLargestExpectedSize);
    Require(StreamedInPieces(old_content, delta) == result.view());
  } catch (const DeltaError&) {
  }
  if (std::optional<uint64_t> stated = DeltaResultSize(delta)) Require(*stated != ZSTD_CONTENTSIZE_UNKNOWN);
  return 0;
}
