// The decompression stream on arbitrary bytes: it must either raise EBZip2Error or deliver
// exactly what the library's one-call decompression gives for a complete stream. The first
// byte chooses the read size and whether progress reports move the source's position.
#include <bzlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bzip2/bz_stream.h"

namespace {
// Keeps a tiny input that unpacks to gigabytes from turning into a time-out.
constexpr size_t kOutputLimit = 8 << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t chunk = 1 + (data[0] & 0x7F) * 97;
  const bool move_source = data[0] & 0x80;
  std::string package(reinterpret_cast<const char*>(data + 1), size - 1);
  TBytesStream source(package);
  std::string out;
  bool complete = false;
  try {
    TBZDecompressionStream stream(source);
    stream.OnProgress = [&](TBZDecompressionStream&) {
      if (move_source) source.Seek(0);
    };
    std::vector<char> buffer(chunk);
    while (size_t got = stream.Read(buffer.data(), buffer.size())) {
      out.append(buffer.data(), got);
      if (out.size() > kOutputLimit) return 0;
    }
    complete = true;
  } catch (const EBZip2Error&) {
  }
  if (complete) {
    std::string expected(out.size() + 1, '\0');
    auto length = static_cast<unsigned>(expected.size());
    int result = BZ2_bzBuffToBuffDecompress(expected.data(), &length, package.data(),
                                            static_cast<unsigned>(package.size()), 0, 0);
    if (result != BZ_OK || length != out.size() || expected.compare(0, length, out) != 0) std::abort();
  }
  return 0;
}
