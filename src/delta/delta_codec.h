#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// Binary deltas between two versions of one file: a delta is one zstd frame compressed with
// the old content as its prefix (libzstd's patch mode), carrying the new content's size.

// Files larger than this get only their package: a delta needs the old and the new content in
// memory at once, and a 32-bit launcher has no room for more.
inline constexpr uint64_t kLargestDeltaFile = uint64_t{256} << 20;

// A delta that cannot be applied: not one whole zstd frame, a frame without its content size,
// a size other than the expected one, damaged data, or memory that cannot be had.
class DeltaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The content of one version of a file, held whole: a block of memory that is never cleared
// before it is written, so a large file costs no page-touching before its bytes arrive.
class FileContent {
 public:
  FileContent() = default;
  // Raises DeltaError when the memory cannot be had.
  explicit FileContent(size_t size);
  static FileContent Copy(std::string_view bytes);

  char* data() { return bytes_.get(); }
  const char* data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  std::string_view view() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_ = 0;
};

// The delta that turns old_content into new_content, made at the given zstd level with
// long-distance matching and a window that covers the old content and the new one. Both must
// be at most kLargestDeltaFile.
std::string MakeDelta(std::string_view old_content, std::string_view new_content, int level = 19);

// The frame's content size, as written in its header: nothing when the bytes do not start with
// a zstd frame header that gives it.
std::optional<uint64_t> DeltaResultSize(std::string_view delta);

// Applies a delta to the content it was made from and returns the new content, of exactly
// expected_size bytes (at most kLargestDeltaFile). Raises DeltaError when the delta is not
// exactly one well-formed frame leading to that size. The new content is decoded straight into
// its own block (libzstd's stable output buffer), so the peak is the old and the new content
// plus the decoder's own state, with no window of its own.
FileContent ApplyDelta(std::string_view old_content, std::string_view delta, uint64_t expected_size);
