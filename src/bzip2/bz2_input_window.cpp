#include "bzip2/bz2_input_window.h"

#include <algorithm>
#include <cassert>

namespace {
// Half the capacity again as slack, so that dropped bytes are moved out of the way at most
// once for every half capacity appended, not on every append of a full window.
size_t StorageFor(size_t capacity) { return capacity + capacity / 2; }
}  // namespace

Bz2InputWindow::Bz2InputWindow(size_t capacity) : capacity_(capacity) {}

void Bz2InputWindow::Append(const uint8_t* data, size_t size) {
  assert(size <= Room());
  if (bytes_.capacity() < StorageFor(capacity_)) bytes_.reserve(StorageFor(capacity_));
  if (bytes_.size() + size > bytes_.capacity()) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(dropped_));
    base_ += dropped_;
    dropped_ = 0;
  }
  bytes_.insert(bytes_.end(), data, data + size);
}

void Bz2InputWindow::DropBefore(uint64_t offset) {
  offset = std::clamp(offset, Begin(), End());
  dropped_ = static_cast<size_t>(offset - base_);
}

void Bz2InputWindow::Release() {
  base_ = End();
  dropped_ = 0;
  std::vector<uint8_t>().swap(bytes_);
}

std::optional<uint64_t> Bz2InputWindow::Bits(uint64_t bit, unsigned count) const {
  assert(count >= 1 && count <= 57);
  const uint64_t first = bit / 8;
  const uint64_t last = (bit + count - 1) / 8;
  if (first < Begin() || last >= End()) return std::nullopt;
  uint64_t value = 0;
  for (const uint8_t* p = At(first); p <= At(last); ++p) value = value << 8 | *p;
  const unsigned spare = static_cast<unsigned>((last + 1) * 8 - (bit + count));
  return (value >> spare) & ((uint64_t{1} << count) - 1);
}

void Bz2InputWindow::AppendRealigned(uint64_t begin, uint64_t end, std::vector<uint8_t>& out) const {
  assert(begin / 8 >= Begin() && (end + 7) / 8 <= End() && begin <= end);
  const size_t count = static_cast<size_t>((end - begin + 7) / 8);
  const unsigned shift = begin % 8;
  const uint8_t* source = At(begin / 8);
  // The last source byte may lie past End() when shifting; it is read only while in range.
  const size_t available = static_cast<size_t>(End() - begin / 8);
  const size_t start = out.size();
  out.resize(start + count);
  uint8_t* target = out.data() + start;
  if (shift == 0) {
    std::copy(source, source + count, target);
  } else {
    const size_t whole = std::min(count, available - 1);
    for (size_t i = 0; i < whole; ++i) target[i] = static_cast<uint8_t>(source[i] << shift | source[i + 1] >> (8 - shift));
    for (size_t i = whole; i < count; ++i) target[i] = static_cast<uint8_t>(source[i] << shift);
  }
  if (unsigned used = (end - begin) % 8) target[count - 1] &= static_cast<uint8_t>(0xFF00 >> used);
}
