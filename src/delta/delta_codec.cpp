#include "delta/delta_codec.h"

// The stable output buffer, the frame header reader and the 32-bit window limit are in the part
// of the interface libzstd promises only to programs linked with the very version they were
// compiled against; the build links it statically.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace {

// The window a delta of two files of kLargestDeltaFile needs, and the most a 32-bit decoder can
// have: a delta made on a 64-bit machine must still apply in the 32-bit launcher.
constexpr int kLargestDeltaWindowLog = 29;
static_assert((uint64_t{1} << kLargestDeltaWindowLog) >= 2 * kLargestDeltaFile);
static_assert(kLargestDeltaWindowLog <= ZSTD_WINDOWLOG_MAX_32);

struct CompressionContextFree {
  void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};
struct DecompressionContextFree {
  void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};
using CompressionContext = std::unique_ptr<ZSTD_CCtx, CompressionContextFree>;
using DecompressionContext = std::unique_ptr<ZSTD_DCtx, DecompressionContextFree>;

// libzstd's result of one call, or DeltaError naming what failed and why.
size_t Checked(size_t result, const char* what) {
  if (ZSTD_isError(result)) throw DeltaError(std::string(what) + ": " + ZSTD_getErrorName(result));
  return result;
}

// The smallest window log whose window holds `bytes`, within what libzstd accepts.
int WindowLogFor(uint64_t bytes) {
  const int log = bytes <= 1 ? 0 : std::bit_width(bytes - 1);
  return std::max(log, ZSTD_WINDOWLOG_MIN);
}

void RequireDeltaFileSize(uint64_t size, const char* which) {
  if (size > kLargestDeltaFile) {
    throw std::invalid_argument(std::string(which) + " has " + std::to_string(size) + " bytes, more than a delta serves");
  }
}

// The header of the delta's one frame: a zstd frame (not a skippable one, nor an old format)
// that states its content size.
ZSTD_frameHeader FrameHeaderOf(std::string_view delta) {
  ZSTD_frameHeader header{};
  const size_t result = ZSTD_getFrameHeader(&header, delta.data(), delta.size());
  if (ZSTD_isError(result)) throw DeltaError(std::string("not a delta: ") + ZSTD_getErrorName(result));
  if (result > 0) throw DeltaError("the delta is cut short within its header");
  if (header.frameType != ZSTD_frame) throw DeltaError("not a delta: a skippable frame");
  if (header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN) throw DeltaError("the delta does not state its result's size");
  return header;
}

}  // namespace

FileContent::FileContent(size_t size) : size_(size) {
  try {
    bytes_ = std::make_unique_for_overwrite<char[]>(size);
  } catch (const std::bad_alloc&) {
    throw DeltaError("no memory for " + std::to_string(size) + " bytes of a file's content");
  }
}

FileContent FileContent::Copy(std::string_view bytes) {
  FileContent content(bytes.size());
  if (!bytes.empty()) std::memcpy(content.data(), bytes.data(), bytes.size());
  return content;
}

// The window reaches from the end of the new content back to the start of the old, so that a
// match anywhere in the old content can be used; long-distance matching finds such matches
// megabytes away, which the regular match finders of any level do not look for.
std::string MakeDelta(std::string_view old_content, std::string_view new_content, int level) {
  RequireDeltaFileSize(old_content.size(), "the old content");
  RequireDeltaFileSize(new_content.size(), "the new content");
  CompressionContext context(ZSTD_createCCtx());
  if (!context) throw DeltaError("no memory for a zstd compression context");
  ZSTD_CCtx* cctx = context.get();
  Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level), "compression level");
  Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, ZSTD_ps_enable), "long-distance matching");
  Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, WindowLogFor(old_content.size() + new_content.size())),
          "window size");
  // The result's size in the header lets the launcher decode straight into a block of that
  // size; the checksum makes a delta applied to other content than its own fail here rather
  // than only at the caller's CRC.
  Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1), "content size flag");
  Checked(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1), "checksum flag");
  Checked(ZSTD_CCtx_setPledgedSrcSize(cctx, new_content.size()), "content size");
  Checked(ZSTD_CCtx_refPrefix(cctx, old_content.data(), old_content.size()), "old content as prefix");
  // Written into untouched memory of the worst case's size: a delta is usually a small part of it.
  FileContent out(ZSTD_compressBound(new_content.size()));
  const size_t written = Checked(ZSTD_compress2(cctx, out.data(), out.size(), new_content.data(), new_content.size()),
                                 "making the delta");
  return std::string(out.data(), written);
}

std::optional<uint64_t> DeltaResultSize(std::string_view delta) {
  ZSTD_frameHeader header{};
  if (ZSTD_getFrameHeader(&header, delta.data(), delta.size()) != 0 || header.frameType != ZSTD_frame ||
      header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN) {
    return std::nullopt;
  }
  return header.frameContentSize;
}

// The frame is checked whole before any memory is taken for its result: one frame and nothing
// after it, the size the caller expects, a window no delta of ours needs more than.
FileContent ApplyDelta(std::string_view old_content, std::string_view delta, uint64_t expected_size) {
  if (expected_size > kLargestDeltaFile) {
    throw DeltaError("a result of " + std::to_string(expected_size) + " bytes is more than a delta serves");
  }
  const ZSTD_frameHeader header = FrameHeaderOf(delta);
  if (header.frameContentSize != expected_size) {
    throw DeltaError("the delta gives " + std::to_string(header.frameContentSize) + " bytes, not the expected " +
                     std::to_string(expected_size));
  }
  const size_t frame_size = Checked(ZSTD_findFrameCompressedSize(delta.data(), delta.size()), "the delta is damaged");
  if (frame_size != delta.size()) throw DeltaError("bytes follow the delta's frame");
  const int window_log = WindowLogFor(header.windowSize);
  if (window_log > kLargestDeltaWindowLog) {
    throw DeltaError("the delta asks for a window of " + std::to_string(header.windowSize) + " bytes");
  }

  DecompressionContext context(ZSTD_createDCtx());
  if (!context) throw DeltaError("no memory for a zstd decompression context");
  ZSTD_DCtx* dctx = context.get();
  Checked(ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, std::max(window_log, ZSTD_WINDOWLOG_LIMIT_DEFAULT)),
          "window limit");
  Checked(ZSTD_DCtx_setParameter(dctx, ZSTD_d_stableOutBuffer, 1), "stable output");
  Checked(ZSTD_DCtx_refPrefix(dctx, old_content.data(), old_content.size()), "old content as prefix");

  FileContent result(static_cast<size_t>(expected_size));
  ZSTD_inBuffer in{delta.data(), delta.size(), 0};
  ZSTD_outBuffer out{result.data(), result.size(), 0};
  const size_t left = Checked(ZSTD_decompressStream(dctx, &out, &in), "the delta does not apply");
  if (left != 0 || in.pos != in.size) throw DeltaError("the delta is cut short");
  if (out.pos != out.size) throw DeltaError("the delta gives fewer bytes than it states");
  return result;
}
