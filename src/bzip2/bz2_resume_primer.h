#pragma once
// The start of a stand-in stream that puts libbz2 in the state it has at a block boundary of a
// package, so that decoding can go on from there with the package's bytes that follow alone.
// At a boundary libbz2 holds only the level, the combined CRC so far and its place within the
// current byte; the primer is a header with the package's level and one block whose CRC equals
// that combined CRC (the combined CRC of a one-block stream is its block's CRC), ending at the
// same bit of its last byte as the boundary does.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Bz2ResumePrimer {
  // The header and the block. When tail_bits is not 0, only the first tail_bits bits of the
  // last byte are the primer's (the rest are zero): the package's byte at the boundary supplies
  // the rest.
  std::vector<uint8_t> bytes;
  unsigned tail_bits = 0;
  // What the block unpacks to, which the package does not hold.
  uint64_t output_size = 0;
};

// level_digit: '1'..'9'; bit_phase: the boundary's bit position modulo 8.
Bz2ResumePrimer MakeBz2ResumePrimer(uint8_t level_digit, uint32_t combined_crc, unsigned bit_phase);

// bzip2's checksum of a block's data: CRC-32 with polynomial 04C11DB7, most significant bit
// first, register starting at all ones, complemented at the end.
uint32_t Bz2BlockCrc(const uint8_t* data, size_t size);
