#pragma once
// Included by .cpp files only: on Windows <bzlib.h> brings in <windows.h>.
#include <bzlib.h>

#include <string>

#include "bzip2/bz2_memory_cache.h"

// A libbz2 decompressor that is ended when it goes out of scope. Decompresses with the fast
// method (small = 0), as TBZDecompressionStream does. With a cache, its memory comes from
// there and goes back there; the cache must outlive it.
class LibBz2Decompressor {
 public:
  explicit LibBz2Decompressor(Bz2MemoryCache* cache = nullptr) : result_(Init(cache)) {}
  ~LibBz2Decompressor() {
    if (result_ == BZ_OK) BZ2_bzDecompressEnd(&stream_);
  }
  LibBz2Decompressor(const LibBz2Decompressor&) = delete;
  LibBz2Decompressor& operator=(const LibBz2Decompressor&) = delete;

  // BZ_OK, or why the library could not start (then the stream must not be used).
  int InitResult() const { return result_; }
  bz_stream& Stream() { return stream_; }
  const bz_stream& Stream() const { return stream_; }

 private:
  int Init(Bz2MemoryCache* cache) {
    if (cache != nullptr) {
      stream_.bzalloc = &Bz2MemoryCache::Allocate;
      stream_.bzfree = &Bz2MemoryCache::Free;
      stream_.opaque = cache;
    }
    return BZ2_bzDecompressInit(&stream_, 0, 0);
  }

  bz_stream stream_{};
  int result_;
};

// The text of a library result code, as TBZDecompressionStream words it: "error -4".
inline std::string LibBz2ErrorText(int code) { return "error " + std::to_string(code); }
