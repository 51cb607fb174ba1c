#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "bzip2/bz2_candidate.h"
#include "bzip2/bz2_input_window.h"
#include "bzip2/bz2_marks.h"

class Bz2BlockPool;
class Bz2SequentialDecoder;

// Unpacks one package (a single bzip2 stream) as it arrives, decoding its blocks on several
// threads, each block by libbz2, with exactly the result of TBZDecompressionStream over the
// same bytes: the same content, and a refusal exactly where it refuses, with the same exception
// types from bz_stream.h (EBZCompressionError for a library error, EBZDecompressionError for a
// stream cut before its end mark or followed by more bytes).
//
// - One thread uses the decoder: it calls Feed, Finish, InputConsumed and OutputSize, and the
//   sink runs on it, inside Feed or Finish, never on a worker thread, so the sink may write a
//   file. The sink receives the content in order.
// - On a refusal the sink has received what libbz2 produced before it stopped (of which
//   TBZDecompressionStream delivers a prefix: it drops its last, partly filled buffer). When
//   libbz2 finds the damage while writing a block out, it leaves out what it wrote in that
//   call, so how much of that block it gives depends on its output buffer: there the sink's
//   bytes and libbz2's agree as far as both go.
// - Feed raises as soon as a fault is certain; Finish raises exactly when decoding the whole
//   input with TBZDecompressionStream raises. An exception from the sink comes out of Feed or
//   Finish unchanged. After any exception the decoder may only be destroyed (other calls raise
//   std::logic_error).
// - Memory stays bounded whatever the package: it keeps at most 6 MiB of the package (in up to
//   9 MiB of storage) plus copies of the blocks given to the threads, which lie within those
//   6 MiB, and about 10 MiB of unpacked output (8 MiB waiting for earlier blocks, the rest in
//   chunks being filled or delivered), plus libbz2's state (up to 3.6 MB per thread for a
//   level-9 stream). Feed waits, delivering output meanwhile, while the package it keeps is at
//   that bound. A block that unpacks to 45 MB streams through.
// - Nothing needs to be read again: when a block is in doubt (it fails, a mark turns out to be
//   chance data, the input ends early, the end mark's CRC differs), decoding goes on with
//   libbz2 alone from the last block delivered, with libbz2's state rebuilt there, and the
//   verdict is libbz2's own.
class ParallelBzip2Decoder {
 public:
  using Sink = std::function<void(const char* data, size_t size)>;
  // More threads would take more memory than the bound above allows.
  static constexpr unsigned kMaxThreads = 4;

  // threads: worker threads that decode blocks; 0 = std::thread::hardware_concurrency(), at
  // most kMaxThreads; 1 = plain sequential libbz2 on the feeding thread. Threads start only
  // when the package turns out to have two blocks or more; a one-block package is decoded
  // sequentially at Finish.
  explicit ParallelBzip2Decoder(Sink sink, unsigned threads = 0);
  // Stops and joins its threads, whatever state it is in.
  ~ParallelBzip2Decoder();
  ParallelBzip2Decoder(const ParallelBzip2Decoder&) = delete;
  ParallelBzip2Decoder& operator=(const ParallelBzip2Decoder&) = delete;

  // The next bytes of the package, in any pieces. May deliver output.
  void Feed(const void* data, size_t size);
  // The package has ended: delivers the rest of the output, or raises.
  void Finish();

  // For a progress bar: the bytes of the package whose blocks have been delivered; the whole
  // package once Finish has returned.
  uint64_t InputConsumed() const;
  // Bytes delivered to the sink.
  uint64_t OutputSize() const;
  // The most unpacked bytes held at once so far, waiting for the blocks before them.
  uint64_t PeakBufferedOutput() const;
  // Whether libbz2 alone decoded part of the package: with one thread, for a package of one
  // block, and from a block in doubt on.
  bool DecodedSequentially() const { return sequential_ != nullptr; }

 private:
  enum class Mode { kParallel, kSequential, kEnded, kBroken };
  // A block given to the threads: where the chain goes on after it, and its CRC.
  struct Link {
    uint64_t end_bit;
    uint32_t block_crc;
  };

  void Guarded(const std::function<void()>& action);
  void Advance();
  bool ReadHeader();
  void FindMarks();
  void MakeCandidates();
  bool SubmitNextBlock();
  void Submit(Bz2Candidate candidate);
  void Deliver(bool wait);
  void Retire();
  void CheckEndMark();
  void MakeRoom();
  void FallBack();
  void StopPool();
  void Emit(const char* data, size_t size);
  size_t MaxBlocksInFlight() const { return 2 * threads_ + 2; }

  Sink sink_;
  unsigned threads_;
  Mode mode_ = Mode::kParallel;
  bool input_complete_ = false;
  Bz2InputWindow window_;
  Bz2MarkScanner scanner_;
  std::deque<Bz2Mark> marks_;        // from the mark at chain_bit_ on
  size_t marks_submitted_ = 0;       // the leading marks_ whose blocks have been given out
  std::deque<Link> links_;           // blocks given out and not yet delivered, oldest first
  std::vector<Bz2Candidate> held_;   // blocks taken out before the threads start
  std::unique_ptr<Bz2BlockPool> pool_;
  std::unique_ptr<Bz2SequentialDecoder> sequential_;
  uint8_t level_digit_ = 0;          // '1'..'9' once the header has been read
  uint64_t chain_bit_ = kBz2FirstBlockBit;  // where the next block (or the end mark) in order begins
  uint32_t combined_crc_ = 0;        // of the blocks before chain_bit_
  uint64_t output_at_chain_ = 0;     // output of the blocks before chain_bit_
  uint64_t output_size_ = 0;
  uint64_t input_consumed_ = 0;
  // The sequential decoder's input starts with stand_in_bytes_ bytes of its own, then the
  // package from resume_byte_ on.
  uint64_t resume_byte_ = 0;
  uint64_t stand_in_bytes_ = 0;
  uint64_t peak_buffered_ = 0;
};
