// The parallel decoder against the sequential stream on arbitrary packages fed in pieces: both
// give the same verdict (exception type); when they accept, the same bytes; when they refuse,
// the decoder's output, libbz2's and the stream's agree as far as each goes. The first byte chooses the threads (1 to 3), the second the pieces
// (0: all at once, else sizes up to 8 times it, drawn from it). The seed corpus
// (make_parallel_bz2_seeds.py) holds small multi-block streams, so that mutations reach blocks
// in doubt, cut streams and marks by chance.
#include <bzlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bzip2/bz_stream.h"
#include "bzip2/parallel_bz2_decoder.h"

namespace {

// Keeps a tiny input that unpacks to gigabytes from turning into a time-out.
constexpr size_t kOutputLimit = 8 << 20;

struct OutputLimitReached {};

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Outcome {
  std::string bytes;
  std::string error;
  bool limited = false;
};

template <typename Action>
void Run(Outcome& outcome, const Action& action) {
  try {
    action();
  } catch (const EBZCompressionError&) {
    outcome.error = "library";
  } catch (const EBZDecompressionError&) {
    outcome.error = "stream";
  } catch (const OutputLimitReached&) {
    outcome.limited = true;
  }
}

Outcome Sequential(const std::string& package) {
  Outcome outcome;
  Run(outcome, [&] {
    TBytesStream source(package);
    TBZDecompressionStream stream(source);
    std::string buffer(65536, '\0');
    while (size_t got = stream.Read(buffer.data(), buffer.size())) {
      outcome.bytes.append(buffer.data(), got);
      if (outcome.bytes.size() > kOutputLimit) throw OutputLimitReached{};
    }
  });
  return outcome;
}

bool SameAsFarAsBothGo(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  return a.compare(0, common, b, 0, common) == 0;
}

std::string LibraryOutput(const std::string& package) {
  bz_stream bz{};
  BZ2_bzDecompressInit(&bz, 0, 0);
  bz.next_in = const_cast<char*>(package.data());
  bz.avail_in = static_cast<unsigned>(package.size());
  std::string out, buffer(65536, '\0');
  for (;;) {
    bz.next_out = buffer.data();
    bz.avail_out = static_cast<unsigned>(buffer.size());
    const int result = BZ2_bzDecompress(&bz);
    out.append(buffer.data(), buffer.size() - bz.avail_out);
    if (result != BZ_OK || (bz.avail_in == 0 && bz.avail_out > 0) || out.size() > kOutputLimit) break;
  }
  BZ2_bzDecompressEnd(&bz);
  return out;
}

Outcome Parallel(const std::string& package, unsigned threads, uint8_t pieces) {
  Outcome outcome;
  ParallelBzip2Decoder decoder(
      [&](const char* data, size_t size) {
        outcome.bytes.append(data, size);
        if (outcome.bytes.size() > kOutputLimit) throw OutputLimitReached{};
      },
      threads);
  Run(outcome, [&] {
    uint32_t state = pieces * 2654435761u + 1;
    for (size_t offset = 0; offset < package.size();) {
      state = state * 1103515245u + 12345u;
      const size_t size = pieces == 0 ? package.size() : 1 + (state >> 8) % (8 * size_t{pieces});
      const size_t piece = std::min(size, package.size() - offset);
      decoder.Feed(package.data() + offset, piece);
      offset += piece;
    }
    decoder.Finish();
  });
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned threads = 1 + data[0] % 3;
  const std::string package(reinterpret_cast<const char*>(data + 2), size - 2);
  const Outcome expected = Sequential(package);
  const Outcome ours = Parallel(package, threads, data[1]);
  if (expected.limited || ours.limited) {
    // Both went past the limit, with the same bytes up to it.
    Require(expected.limited && ours.limited);
    Require(expected.bytes.compare(0, kOutputLimit, ours.bytes, 0, kOutputLimit) == 0);
    return 0;
  }
  Require(ours.error == expected.error);
  if (expected.error.empty()) {
    Require(ours.bytes == expected.bytes);
  } else {
    // How much of its last call libbz2 reports when it finds the damage while writing a block
    // out depends on its output buffer, so on a refusal the outputs agree as far as both go.
    Require(SameAsFarAsBothGo(ours.bytes, LibraryOutput(package)));
    Require(SameAsFarAsBothGo(ours.bytes, expected.bytes));
  }
  return 0;
}
