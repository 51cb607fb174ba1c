#pragma once
// One block of a package taken out as a bzip2 stream of its own, so that libbz2 can decode it
// on any thread, ahead of the blocks before it.
//
// The stream is the package's header followed by the package's own bits from the block's mark
// on, moved to a byte boundary: libbz2 keeps nothing from one block to the next but the level
// and the combined CRC, so it decodes these bits exactly as it would in the package. What
// follows the next mark decides how a clean end shows:
// - before an end-of-stream mark the stream takes the package's bits through that mark and
//   ends with this block's CRC as the combined CRC: libbz2 reaches the stream's end;
// - before a block mark it takes the package's bits through that mark and the next block's
//   CRC: libbz2 runs out of input inside the next block's header, without an error.
// The block's output only ever comes from the package's own bits (see DecodeBz2Candidate), and
// a clean end proves that the block ends exactly at the next mark.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "bzip2/bz2_input_window.h"
#include "bzip2/bz2_marks.h"
#include "bzip2/bz2_memory_cache.h"

struct Bz2Candidate {
  uint64_t begin_bit = 0;  // the block's mark in the package
  Bz2Mark next{};          // the first mark found after it: where the block must end
  uint32_t block_crc = 0;  // as stored after the block's mark
  std::vector<uint8_t> stream;
  // The leading bytes of stream that hold only the header and the package's bits, and end
  // within the next mark.
  size_t own_bytes = 0;
  // False when another mark follows the next one so closely that a clean end would prove
  // nothing: such a candidate fails without being decoded.
  bool decodable = true;
};

// The package bits the candidate needs: [begin_bit, this bit).
uint64_t Bz2CandidateEnd(uint64_t begin_bit, const Bz2Mark& next);

// Takes the candidate out of the window, which must hold its bits up to Bz2CandidateEnd.
// level_digit: the package's '1'..'9'.
Bz2Candidate MakeBz2Candidate(const Bz2InputWindow& window, uint8_t level_digit, uint64_t begin_bit,
                              const Bz2Mark& next);

// Receives a candidate's output in order: takes the chunk's bytes (all of chunk.size()) and
// leaves in its place the chunk to fill next, of any size; false stops the decoding.
using Bz2ChunkSink = std::function<bool(std::vector<char>& chunk)>;

// Decodes the candidate's block with libbz2, handing its output on in chunks (the last may be
// shorter than the others), with memory from the thread's cache. Returns true only when the
// block decoded cleanly and ended exactly at the next mark. Whatever was handed on, also on
// false, is the start of what libbz2 produces for this block in the package. Raises only what
// memory allocation raises.
bool DecodeBz2Candidate(const Bz2Candidate& candidate, std::vector<char> chunk, const Bz2ChunkSink& deliver,
                        Bz2MemoryCache& memory, const std::atomic<bool>& stop);
