#include "bzip2/bz_stream.h"

#include <bzlib.h>

#include <algorithm>
#include <climits>

struct TBZDecompressionStream::State {
  bz_stream bz{};
};

namespace {
std::string ErrorText(int code) { return "error " + std::to_string(code); }
}  // namespace

TBZDecompressionStream::TBZDecompressionStream(TStream& source)
    : state_(std::make_unique<State>()), source_(source), source_position_(source.Position()), input_(kInputBlock) {
  int result = BZ2_bzDecompressInit(&state_->bz, 0, 0);
  if (result != BZ_OK) throw EBZDecompressionError(ErrorText(result));
}

TBZDecompressionStream::~TBZDecompressionStream() { BZ2_bzDecompressEnd(&state_->bz); }

// A source that runs dry before the end mark is a cut package, never a shorter file: the
// decompressor gets one more call without input and must make progress.
size_t TBZDecompressionStream::Read(void* buffer, size_t count) {
  bz_stream& bz = state_->bz;
  bz.next_out = static_cast<char*>(buffer);
  bz.avail_out = static_cast<unsigned>(std::min<size_t>(count, UINT_MAX));
  const unsigned wanted = bz.avail_out;
  while (bz.avail_out > 0 && !ended_) {
    if (bz.avail_in == 0 && !exhausted_) TakeInput();
    const unsigned room = bz.avail_out;
    int result = BZ2_bzDecompress(&bz);
    if (result < 0) throw EBZCompressionError(ErrorText(result));
    if (OnProgress) OnProgress(*this);
    if (result == BZ_STREAM_END) {
      ended_ = true;
      RequireNothingAfterEnd();
    } else if (exhausted_ && bz.avail_in == 0 && bz.avail_out == room) {
      throw EBZDecompressionError("The bzip2 stream ends before its end mark");
    }
  }
  return wanted - bz.avail_out;
}

void TBZDecompressionStream::TakeInput() {
  if (source_.Position() != source_position_) source_.Seek(source_position_);
  size_t got = source_.Read(input_.data(), input_.size());
  source_position_ += static_cast<int64_t>(got);
  exhausted_ = got == 0;
  state_->bz.next_in = input_.data();
  state_->bz.avail_in = static_cast<unsigned>(got);
}

void TBZDecompressionStream::RequireNothingAfterEnd() {
  bool more = state_->bz.avail_in > 0;
  if (!more) {
    if (source_.Position() != source_position_) source_.Seek(source_position_);
    char probe;
    more = source_.Read(&probe, 1) > 0;
  }
  if (more) throw EBZDecompressionError("Data follows the end of the bzip2 stream");
}

void TBZDecompressionStream::Write(const void*, size_t) { throw EBZDecompressionError("Invalid stream operation"); }
void TBZDecompressionStream::Seek(int64_t) { throw EBZDecompressionError("Invalid stream operation"); }
int64_t TBZDecompressionStream::Size() const { throw EBZDecompressionError("Invalid stream operation"); }

int64_t TBZDecompressionStream::Position() const {
  const bz_stream& bz = state_->bz;
  return static_cast<int64_t>((uint64_t{bz.total_out_hi32} << 32) | bz.total_out_lo32);
}
