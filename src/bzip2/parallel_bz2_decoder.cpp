#include "bzip2/parallel_bz2_decoder.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "bzip2/bz2_block_pool.h"
#include "bzip2/bz2_resume_primer.h"
#include "bzip2/bz2_sequential_decoder.h"
#include "bzip2/bz_stream.h"

namespace {

// At least twice the largest block libbz2 accepts (about 2.3 MB: 900,000 symbols of up to 20
// bits), and room for several blocks of a normal package ahead of the one delivered.
constexpr size_t kWindowBytes = size_t{6} << 20;
constexpr size_t kOutputBudget = size_t{8} << 20;
constexpr size_t kChunkBytes = size_t{256} << 10;
// Marks found beyond those given out: a package of tiny blocks (long runs of one byte) must
// not fill memory with them.
constexpr size_t kMarksAhead = 64;

const char kDataFollows[] = "Data follows the end of the bzip2 stream";

unsigned ThreadsFor(unsigned asked) {
  if (asked == 0) asked = std::max(1u, std::thread::hardware_concurrency());
  return std::min(asked, ParallelBzip2Decoder::kMaxThreads);
}

uint32_t RotateLeft1(uint32_t value) { return value << 1 | value >> 31; }

}  // namespace

ParallelBzip2Decoder::ParallelBzip2Decoder(Sink sink, unsigned threads)
    : sink_(std::move(sink)), threads_(ThreadsFor(threads)), window_(kWindowBytes) {
  if (threads_ == 1) {
    mode_ = Mode::kSequential;
    sequential_ = std::make_unique<Bz2SequentialDecoder>([this](const char* data, size_t size) { Emit(data, size); }, 0);
  }
}

ParallelBzip2Decoder::~ParallelBzip2Decoder() = default;

void ParallelBzip2Decoder::Guarded(const std::function<void()>& action) {
  if (mode_ == Mode::kBroken) throw std::logic_error("The bzip2 decoder is used after it raised");
  try {
    action();
  } catch (...) {
    mode_ = Mode::kBroken;
    StopPool();
    throw;
  }
}

void ParallelBzip2Decoder::Feed(const void* data, size_t size) {
  Guarded([&] {
    auto bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
      if (mode_ == Mode::kSequential) return sequential_->Feed(bytes, size);
      if (mode_ == Mode::kEnded) throw EBZDecompressionError(kDataFollows);
      if (window_.Room() == 0) {
        MakeRoom();
        continue;
      }
      const size_t piece = std::min(size, window_.Room());
      window_.Append(bytes, piece);
      bytes += piece;
      size -= piece;
      Advance();
    }
  });
}

void ParallelBzip2Decoder::Finish() {
  Guarded([&] {
    if (mode_ == Mode::kParallel) {
      input_complete_ = true;
      Advance();
    }
    while (mode_ == Mode::kParallel) {
      if (pool_ && pool_->Size() > 0) {
        Deliver(true);
      } else {
        FallBack();
      }
    }
    if (mode_ == Mode::kSequential) sequential_->Finish();
  });
}

uint64_t ParallelBzip2Decoder::InputConsumed() const {
  if (mode_ == Mode::kSequential || (mode_ == Mode::kBroken && sequential_)) {
    const uint64_t taken = sequential_->Consumed();
    return resume_byte_ + (taken > stand_in_bytes_ ? taken - stand_in_bytes_ : 0);
  }
  return input_consumed_;
}

uint64_t ParallelBzip2Decoder::OutputSize() const { return output_size_; }

uint64_t ParallelBzip2Decoder::PeakBufferedOutput() const {
  return std::max(peak_buffered_, pool_ ? pool_->PeakBuffered() : 0);
}

void ParallelBzip2Decoder::Advance() {
  if (mode_ != Mode::kParallel) return;
  if (level_digit_ == 0 && !ReadHeader()) return;
  FindMarks();
  // Only the first block can be out of place: every later one starts where a block ended.
  const bool first_block_in_place = !marks_.empty() ? marks_.front().bit == chain_bit_ : scanner_.ScannedBits() <= chain_bit_;
  if (!first_block_in_place) return FallBack();
  CheckEndMark();
  MakeCandidates();
  Deliver(false);
}

bool ParallelBzip2Decoder::ReadHeader() {
  const uint64_t have = std::min<uint64_t>(window_.End(), 4);
  for (uint64_t i = 0; i < have; ++i) {
    const uint8_t byte = *window_.At(i);
    const bool fits = i < 3 ? byte == "BZh"[i] : byte >= '1' && byte <= '9';
    if (!fits) {
      FallBack();
      return false;
    }
  }
  if (have < 4) {
    if (input_complete_) FallBack();
    return false;
  }
  level_digit_ = *window_.At(3);
  return true;
}

void ParallelBzip2Decoder::FindMarks() {
  if (marks_.size() - marks_submitted_ >= kMarksAhead) return;
  std::vector<Bz2Mark> found;
  scanner_.Scan(window_, input_complete_, found, kMarksAhead);
  marks_.insert(marks_.end(), found.begin(), found.end());
}

void ParallelBzip2Decoder::MakeCandidates() {
  while (mode_ == Mode::kParallel && (pool_ ? pool_->Size() : held_.size()) < MaxBlocksInFlight()) {
    if (marks_.size() < marks_submitted_ + 3) FindMarks();
    if (!SubmitNextBlock()) return;
  }
}

// Gives out the block at the first mark not given out yet, once its bits and the marks among
// them are known. Nothing after an end mark is ever part of the stream.
bool ParallelBzip2Decoder::SubmitNextBlock() {
  const size_t index = marks_submitted_;
  if (index + 1 >= marks_.size() || marks_[index].end_of_stream) return false;
  const Bz2Mark& mark = marks_[index];
  const Bz2Mark& next = marks_[index + 1];
  const uint64_t end = Bz2CandidateEnd(mark.bit, next);
  if (window_.End() * 8 < end) return false;
  bool decodable = true;
  if (!next.end_of_stream) {
    // The candidate reads into the next block: a mark there would make its clean end prove nothing.
    if (index + 2 < marks_.size()) {
      decodable = marks_[index + 2].bit >= end;
    } else if (scanner_.ScannedBits() < end) {
      return false;
    }
  }
  Bz2Candidate candidate = MakeBz2Candidate(window_, level_digit_, mark.bit, next);
  candidate.decodable = decodable;
  Submit(std::move(candidate));
  return true;
}

void ParallelBzip2Decoder::Submit(Bz2Candidate candidate) {
  links_.push_back({candidate.next.bit, candidate.block_crc});
  ++marks_submitted_;
  if (pool_) return pool_->Submit(std::move(candidate));
  held_.push_back(std::move(candidate));
  // A one-block package gains nothing from threads; it is decoded sequentially at Finish.
  if (held_.size() < 2) return;
  pool_ = std::make_unique<Bz2BlockPool>(threads_, kOutputBudget, kChunkBytes);
  for (Bz2Candidate& held : held_) pool_->Submit(std::move(held));
  held_.clear();
}

// Passes on the oldest blocks' news: without wait what is there now, with wait until the
// oldest block has ended (it is always being decoded).
void ParallelBzip2Decoder::Deliver(bool wait) {
  while (mode_ == Mode::kParallel && pool_) {
    Bz2BlockPool::News news = pool_->TakeOldest(wait);
    switch (news.kind) {
      case Bz2BlockPool::News::Kind::kNothing:
        return;
      case Bz2BlockPool::News::Kind::kOutput:
        Emit(news.output.data(), news.output.size());
        pool_->GiveBack(std::move(news.output));
        break;
      case Bz2BlockPool::News::Kind::kDone:
        Retire();
        if (wait) return;
        break;
      case Bz2BlockPool::News::Kind::kFailed:
        return FallBack();
    }
  }
}

// The oldest block decoded cleanly and ended exactly at the next mark, and its output has been
// delivered: the chain goes on at that mark.
void ParallelBzip2Decoder::Retire() {
  const Link link = links_.front();
  links_.pop_front();
  marks_.pop_front();
  --marks_submitted_;
  chain_bit_ = link.end_bit;
  combined_crc_ = RotateLeft1(combined_crc_) ^ link.block_crc;
  output_at_chain_ = output_size_;
  input_consumed_ = chain_bit_ / 8;
  window_.DropBefore(chain_bit_ / 8);
  CheckEndMark();
  MakeCandidates();
}

// At the end mark the package is whole once the stored combined CRC is the blocks' own; then
// it may not go on past the byte that holds the CRC's last bit.
void ParallelBzip2Decoder::CheckEndMark() {
  if (mode_ != Mode::kParallel || marks_.empty() || marks_.front().bit != chain_bit_ || !marks_.front().end_of_stream) {
    return;
  }
  const std::optional<uint64_t> stored = window_.Bits(chain_bit_ + kBz2MarkBits, 32);
  if (!stored) {
    if (input_complete_) FallBack();
    return;
  }
  if (*stored != combined_crc_) return FallBack();
  const uint64_t end = (chain_bit_ + kBz2MarkBits + 32 + 7) / 8;
  StopPool();
  mode_ = Mode::kEnded;
  input_consumed_ = end;
  const bool more = window_.End() > end;
  window_.Release();
  if (more) throw EBZDecompressionError(kDataFollows);
}

// The window is full: delivering the oldest block frees it. With no block to deliver, the
// window holds the start of a block longer than any valid one, or no block at all.
void ParallelBzip2Decoder::MakeRoom() {
  if (pool_ && pool_->Size() > 0) return Deliver(true);
  FallBack();
}

// The block at the chain is in doubt: libbz2 alone decodes from there on, leaving out the
// output already delivered, and gives the verdict. Before any block has been delivered it
// starts at the package's first byte; later it starts at the chain, after a stand-in start
// that rebuilds libbz2's state there.
void ParallelBzip2Decoder::FallBack() {
  StopPool();
  held_.clear();
  links_.clear();
  marks_.clear();
  marks_submitted_ = 0;
  mode_ = Mode::kSequential;
  auto emit = [this](const char* data, size_t size) { Emit(data, size); };
  if (chain_bit_ == kBz2FirstBlockBit) {
    sequential_ = std::make_unique<Bz2SequentialDecoder>(emit, output_size_);
    sequential_->Feed(window_.At(window_.Begin()), window_.Size());
  } else {
    Bz2ResumePrimer primer = MakeBz2ResumePrimer(level_digit_, combined_crc_, chain_bit_ % 8);
    sequential_ = std::make_unique<Bz2SequentialDecoder>(emit, primer.output_size + (output_size_ - output_at_chain_));
    resume_byte_ = chain_bit_ / 8;
    uint64_t from = resume_byte_;
    if (primer.tail_bits != 0) primer.bytes.back() |= *window_.At(from++) & (0xFF >> primer.tail_bits);
    stand_in_bytes_ = primer.bytes.size() - (from - resume_byte_);
    sequential_->Feed(primer.bytes.data(), primer.bytes.size());
    sequential_->Feed(window_.At(from), static_cast<size_t>(window_.End() - from));
  }
  window_.Release();
}

void ParallelBzip2Decoder::StopPool() {
  if (!pool_) return;
  peak_buffered_ = std::max(peak_buffered_, pool_->PeakBuffered());
  pool_.reset();
}

void ParallelBzip2Decoder::Emit(const char* data, size_t size) {
  sink_(data, size);
  output_size_ += size;
}
