#include "bzip2/stream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

size_t TBytesStream::Read(void* buffer, size_t count) {
  size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
  size_t n = std::min(count, available);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void TBytesStream::Write(const void*, size_t) { throw std::logic_error("The byte stream is read-only"); }

void TBytesStream::Seek(int64_t position) {
  if (position < 0) throw std::out_of_range("Seek before the start of a byte stream");
  position_ = static_cast<size_t>(position);
}
