#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The part of a package still kept in memory: its bytes from Begin() to End(), offsets counted
// from the package's first byte. Bits are numbered the same way, most significant bit of each
// byte first, as bzip2 writes them.
class Bz2InputWindow {
 public:
  // capacity: the most bytes that are kept at once (Append refuses more).
  explicit Bz2InputWindow(size_t capacity);

  uint64_t Begin() const { return base_ + dropped_; }
  uint64_t End() const { return base_ + bytes_.size(); }
  size_t Size() const { return bytes_.size() - dropped_; }
  size_t Room() const { return capacity_ - Size(); }

  // At most Room() bytes.
  void Append(const uint8_t* data, size_t size);
  // Forgets the bytes before offset.
  void DropBefore(uint64_t offset);
  // Forgets everything and gives its memory back.
  void Release();
  // The kept byte at offset and those after it, up to End().
  const uint8_t* At(uint64_t offset) const { return bytes_.data() + (offset - base_); }

  // count (at most 57) bits from bit, as a number; nothing when any of them is not kept.
  std::optional<uint64_t> Bits(uint64_t bit, unsigned count) const;
  // Appends the kept bits [begin, end) moved to start at a byte boundary of out; the unused
  // low bits of the last byte are zero.
  void AppendRealigned(uint64_t begin, uint64_t end, std::vector<uint8_t>& out) const;

 private:
  std::vector<uint8_t> bytes_;
  size_t dropped_ = 0;  // leading bytes of bytes_ no longer kept
  uint64_t base_ = 0;   // package offset of bytes_[0]
  size_t capacity_;
};
