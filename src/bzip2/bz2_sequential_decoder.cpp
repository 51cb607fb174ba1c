#include "bzip2/bz2_sequential_decoder.h"

#include <algorithm>
#include <climits>

#include "bzip2/bz_stream.h"
#include "bzip2/libbz2_decompressor.h"

namespace {
constexpr size_t kOutputBlock = 64 << 10;
// bz_stream counts its input in unsigned int.
constexpr size_t kLargestFeed = size_t{1} << 30;
}  // namespace

struct Bz2SequentialDecoder::State {
  LibBz2Decompressor decoder;
};

Bz2SequentialDecoder::Bz2SequentialDecoder(Emit emit, uint64_t skip)
    : state_(std::make_unique<State>()), emit_(std::move(emit)), skip_(skip), output_(kOutputBlock) {
  if (state_->decoder.InitResult() != BZ_OK) throw EBZDecompressionError(LibBz2ErrorText(state_->decoder.InitResult()));
}

Bz2SequentialDecoder::~Bz2SequentialDecoder() = default;

void Bz2SequentialDecoder::Feed(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (ended_) throw EBZDecompressionError("Data follows the end of the bzip2 stream");
    bz_stream& bz = state_->decoder.Stream();
    const size_t piece = std::min(size, kLargestFeed);
    bz.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    bz.avail_in = static_cast<unsigned>(piece);
    Decode();
    data += piece;
    size -= piece;
  }
}

// Runs libbz2 until it has taken all input and has no output left to give, or the stream ended.
void Bz2SequentialDecoder::Decode() {
  bz_stream& bz = state_->decoder.Stream();
  // libbz2 stops short of filling the output only when it needs more input.
  bool full = true;
  while (full && !ended_) full = Call() == output_.size();
  if (ended_ && bz.avail_in > 0) throw EBZDecompressionError("Data follows the end of the bzip2 stream");
}

// A stream that runs dry before its end mark is cut, never a shorter file: libbz2 gets calls
// without input while it still gives output, and must reach the end.
void Bz2SequentialDecoder::Finish() {
  bz_stream& bz = state_->decoder.Stream();
  while (!ended_) {
    bz.next_in = nullptr;
    bz.avail_in = 0;
    if (Call() == 0 && !ended_) throw EBZDecompressionError("The bzip2 stream ends before its end mark");
  }
}

// One call of the library: delivers what it produced, before raising its error if it had one.
size_t Bz2SequentialDecoder::Call() {
  bz_stream& bz = state_->decoder.Stream();
  bz.next_out = output_.data();
  bz.avail_out = static_cast<unsigned>(output_.size());
  const int result = BZ2_bzDecompress(&bz);
  const size_t produced = output_.size() - bz.avail_out;
  Deliver(produced);
  if (result < 0) throw EBZCompressionError(LibBz2ErrorText(result));
  ended_ = result == BZ_STREAM_END;
  return produced;
}

void Bz2SequentialDecoder::Deliver(size_t produced) {
  const size_t skipped = static_cast<size_t>(std::min<uint64_t>(skip_, produced));
  skip_ -= skipped;
  if (produced > skipped) emit_(output_.data() + skipped, produced - skipped);
}

uint64_t Bz2SequentialDecoder::Consumed() const {
  const bz_stream& bz = state_->decoder.Stream();
  return uint64_t{bz.total_in_hi32} << 32 | bz.total_in_lo32;
}
