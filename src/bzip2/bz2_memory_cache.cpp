#include "bzip2/bz2_memory_cache.h"

#include <algorithm>
#include <cstdlib>

Bz2MemoryCache::~Bz2MemoryCache() {
  for (const Block& block : kept_) std::free(block.data);
  for (const Block& block : lent_) std::free(block.data);
}

void* Bz2MemoryCache::Allocate(void* opaque, int items, int size) {
  auto& cache = *static_cast<Bz2MemoryCache*>(opaque);
  const size_t bytes = static_cast<size_t>(items) * static_cast<size_t>(size);
  auto kept = std::find_if(cache.kept_.begin(), cache.kept_.end(), [&](const Block& block) { return block.size == bytes; });
  Block block{nullptr, bytes};
  if (kept != cache.kept_.end()) {
    block = *kept;
    cache.kept_.erase(kept);
  } else {
    block.data = std::malloc(bytes);
    if (block.data == nullptr) return nullptr;
  }
  try {
    cache.lent_.push_back(block);
  } catch (...) {
    std::free(block.data);
    return nullptr;
  }
  return block.data;
}

void Bz2MemoryCache::Free(void* opaque, void* data) {
  auto& cache = *static_cast<Bz2MemoryCache*>(opaque);
  auto lent = std::find_if(cache.lent_.begin(), cache.lent_.end(), [&](const Block& block) { return block.data == data; });
  if (lent == cache.lent_.end()) return;
  const Block block = *lent;
  cache.lent_.erase(lent);
  try {
    cache.kept_.push_back(block);
  } catch (...) {
    std::free(block.data);
  }
}
