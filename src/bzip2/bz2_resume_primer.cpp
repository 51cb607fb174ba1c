#include "bzip2/bz2_resume_primer.h"

#include <array>
#include <stdexcept>

#include "bzip2/bz2_input_window.h"
#include "bzip2/bz2_marks.h"
#include "bzip2/libbz2_decompressor.h"

namespace {

constexpr uint32_t kPolynomial = 0x04C11DB7;
// Each attempt has about one chance in eight to end at the wanted bit; this many never all miss.
constexpr unsigned kAttempts = 4096;

uint32_t CrcRegister(uint32_t crc_register, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    crc_register ^= uint32_t{data[i]} << 24;
    for (int bit = 0; bit < 8; ++bit) crc_register = crc_register & 0x80000000 ? crc_register << 1 ^ kPolynomial : crc_register << 1;
  }
  return crc_register;
}

// Four bytes d taking a register r to (r ^ d) * x^32 modulo the polynomial, and multiplying by
// x being invertible (the polynomial's constant term is 1), there are four bytes for any
// wanted end register: the wanted one multiplied by x^-32, less r.
std::array<uint8_t, 4> BytesGivingCrc(uint32_t crc_register, uint32_t crc) {
  uint32_t value = ~crc;
  for (int bit = 0; bit < 32; ++bit) value = value & 1 ? (value ^ kPolynomial) >> 1 | 0x80000000 : value >> 1;
  value ^= crc_register;
  return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value)};
}

// Attempts differ in length and letters, which moves where the compressed block ends.
std::vector<uint8_t> AttemptData(unsigned attempt, uint32_t crc) {
  std::vector<uint8_t> data(1 + attempt % 29);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>('a' + (i * 5 + attempt / 29) % 26);
  for (uint8_t byte : BytesGivingCrc(CrcRegister(0xFFFFFFFF, data.data(), data.size()), crc)) data.push_back(byte);
  return data;
}

std::vector<uint8_t> Compress(std::vector<uint8_t> data) {
  std::vector<uint8_t> out(data.size() * 2 + 600);
  auto size = static_cast<unsigned>(out.size());
  const int result = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size,
                                              reinterpret_cast<char*>(data.data()),
                                              static_cast<unsigned>(data.size()), 1, 0, 0);
  if (result != BZ_OK) throw std::runtime_error("bzip2 cannot compress a resume primer: " + LibBz2ErrorText(result));
  out.resize(size);
  return out;
}

// Where the end-of-stream mark starts in a whole stream: 80 bits before the end, give or
// take the padding to a byte.
uint64_t EndMarkBit(const std::vector<uint8_t>& stream) {
  Bz2InputWindow window(stream.size());
  window.Append(stream.data(), stream.size());
  const uint64_t bits = uint64_t{stream.size()} * 8;
  for (uint64_t bit = bits - 80; bit + 88 > bits; --bit) {
    if (window.Bits(bit, kBz2MarkBits) == kBz2EndMark) return bit;
  }
  throw std::runtime_error("bzip2 wrote a stream without an end mark");
}

}  // namespace

uint32_t Bz2BlockCrc(const uint8_t* data, size_t size) { return ~CrcRegister(0xFFFFFFFF, data, size); }

Bz2ResumePrimer MakeBz2ResumePrimer(uint8_t level_digit, uint32_t combined_crc, unsigned bit_phase) {
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    const std::vector<uint8_t> data = AttemptData(attempt, combined_crc);
    std::vector<uint8_t> stream = Compress(data);
    const uint64_t end = EndMarkBit(stream);
    if (end % 8 != bit_phase) continue;
    Bz2ResumePrimer primer;
    primer.bytes.assign(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>((end + 7) / 8));
    primer.bytes[3] = level_digit;
    primer.tail_bits = static_cast<unsigned>(end % 8);
    if (primer.tail_bits != 0) primer.bytes.back() &= static_cast<uint8_t>(0xFF00 >> primer.tail_bits);
    primer.output_size = data.size();
    return primer;
  }
  throw std::logic_error("no resume primer ends at bit " + std::to_string(bit_phase));
}
