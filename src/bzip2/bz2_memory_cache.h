#pragma once
#include <cstddef>
#include <vector>

// Memory for the libbz2 decompressors of one thread, kept from one decompressor to the next:
// each block's decompressor allocates its 3.6 MB table anew, and fresh memory costs the
// system a page fault for every 4 KiB, which the sequential path pays only once.
// Allocate and Free have the shape of bz_stream's bzalloc and bzfree, with the cache as opaque.
class Bz2MemoryCache {
 public:
  Bz2MemoryCache() = default;
  ~Bz2MemoryCache();
  Bz2MemoryCache(const Bz2MemoryCache&) = delete;
  Bz2MemoryCache& operator=(const Bz2MemoryCache&) = delete;

  static void* Allocate(void* cache, int items, int size);
  static void Free(void* cache, void* data);

 private:
  struct Block {
    void* data;
    size_t size;
  };
  std::vector<Block> lent_;
  std::vector<Block> kept_;
};
