// CRC-32 by folding with carry-less multiplication, after Intel's white paper "Fast CRC
// Computation for Generic Polynomials Using PCLMULQDQ Instruction": lanes of data are folded
// forward by multiplying with x^(D±32) mod P (D the folding distance), then folded into one
// 128-bit lane, then Barrett-reduced to 32 bits. The constants belong to the reflected
// polynomial EDB88320. There are two widths: four 128-bit lanes (PCLMULQDQ, SSE4.1) and four
// 512-bit lanes (VPCLMULQDQ, AVX-512). Both are compiled for any x86 processor and chosen at
// run time, so the 32-bit program keeps running where the instructions are missing.
#include "crc32/crc32_paths.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

namespace crc32_paths {
namespace {

#define FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))
#define WIDE_TARGET __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

// {x^(D+32) mod P, x^(D-32) mod P}, bit-reflected, for the folding distance D in bits.
alignas(16) constexpr uint64_t kFold512[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) constexpr uint64_t kFold128[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) constexpr uint64_t kFold256[2] = {0x00f1da05aa, 0x015a546366};
alignas(16) constexpr uint64_t kFold384[2] = {0x003db1ecdc, 0x0174359406};
alignas(16) constexpr uint64_t kFold2048[2] = {0x011542778a, 0x01322d1430};
alignas(16) constexpr uint64_t kFold64[2] = {0x0163cd6124, 0x0000000000};   // x^64 mod P
alignas(16) constexpr uint64_t kBarrett[2] = {0x01db710641, 0x01f7011641};  // P and floor(x^64 / P)

FOLDING_TARGET inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
FOLDING_TARGET inline __m128i Constant(const uint64_t (&k)[2]) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(k));
}

// One lane moved D bits further on and added to the data found there.
FOLDING_TARGET inline __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
  __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Folds the remaining whole 16-byte blocks into the lane and reduces it to the register.
FOLDING_TARGET uint32_t FinishLane(__m128i x1, const uint8_t* data, size_t size) {
  const __m128i fold128 = Constant(kFold128);
  for (; size >= 16; data += 16, size -= 16) x1 = Fold(x1, fold128, Load(data));

  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i x2 = _mm_clmulepi64_si128(x1, fold128, 0x10);  // 128 bits to 64
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
  x2 = _mm_srli_si128(x1, 4);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), Constant(kFold64), 0x00), x2);

  const __m128i barrett = Constant(kBarrett);  // 64 bits to 32
  x2 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
  x2 = _mm_clmulepi64_si128(_mm_and_si128(x2, low32), barrett, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

// Needs at least 64 bytes and a multiple of 16.
FOLDING_TARGET uint32_t FoldBlocks(uint32_t reg, const uint8_t* data, size_t size) {
  __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x2 = Load(data + 16), x3 = Load(data + 32), x4 = Load(data + 48);
  data += 64;
  size -= 64;
  const __m128i fold512 = Constant(kFold512);
  for (; size >= 64; data += 64, size -= 64) {
    x1 = Fold(x1, fold512, Load(data));
    x2 = Fold(x2, fold512, Load(data + 16));
    x3 = Fold(x3, fold512, Load(data + 32));
    x4 = Fold(x4, fold512, Load(data + 48));
  }
  const __m128i fold128 = Constant(kFold128);
  x1 = Fold(x1, fold128, x2);
  x1 = Fold(x1, fold128, x3);
  x1 = Fold(x1, fold128, x4);
  return FinishLane(x1, data, size);
}

WIDE_TARGET inline __m512i Load512(const uint8_t* p) { return _mm512_loadu_si512(p); }
// Built element by element: GCC 12 warns falsely about the broadcast and extract intrinsics.
WIDE_TARGET inline __m512i Constant512(const uint64_t (&k)[2]) {
  auto low = static_cast<long long>(k[0]), high = static_cast<long long>(k[1]);
  return _mm512_set_epi64(high, low, high, low, high, low, high, low);
}
WIDE_TARGET inline __m128i Lane(__m512i x, int index) {
  return index == 0   ? _mm512_maskz_extracti32x4_epi32(0xF, x, 0)
         : index == 1 ? _mm512_maskz_extracti32x4_epi32(0xF, x, 1)
         : index == 2 ? _mm512_maskz_extracti32x4_epi32(0xF, x, 2)
                      : _mm512_maskz_extracti32x4_epi32(0xF, x, 3);
}

WIDE_TARGET inline __m512i Fold512(__m512i lane, __m512i k, __m512i next) {
  __m512i low = _mm512_clmulepi64_epi128(lane, k, 0x00);
  __m512i high = _mm512_clmulepi64_epi128(lane, k, 0x11);
  return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // low ^ high ^ next
}

// Needs at least 256 bytes and a multiple of 16.
WIDE_TARGET uint32_t FoldWideBlocks(uint32_t reg, const uint8_t* data, size_t size) {
  __m512i x1 = _mm512_xor_si512(Load512(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
  __m512i x2 = Load512(data + 64), x3 = Load512(data + 128), x4 = Load512(data + 192);
  data += 256;
  size -= 256;
  const __m512i fold2048 = Constant512(kFold2048);
  for (; size >= 256; data += 256, size -= 256) {
    x1 = Fold512(x1, fold2048, Load512(data));
    x2 = Fold512(x2, fold2048, Load512(data + 64));
    x3 = Fold512(x3, fold2048, Load512(data + 128));
    x4 = Fold512(x4, fold2048, Load512(data + 192));
  }
  const __m512i fold512 = Constant512(kFold512);
  x1 = Fold512(x1, fold512, x2);
  x1 = Fold512(x1, fold512, x3);
  x1 = Fold512(x1, fold512, x4);
  for (; size >= 64; data += 64, size -= 64) x1 = Fold512(x1, fold512, Load512(data));

  // The four 128-bit lanes into the last one, each from its own distance.
  __m128i lane = Lane(x1, 3);
  lane = Fold(Lane(x1, 2), Constant(kFold128), lane);
  lane = Fold(Lane(x1, 1), Constant(kFold256), lane);
  lane = Fold(Lane(x1, 0), Constant(kFold384), lane);
  return FinishLane(lane, data, size);
}

template <uint32_t (*Blocks)(uint32_t, const uint8_t*, size_t), size_t kMinimum>
uint32_t FoldingPath(uint32_t reg, const uint8_t* data, size_t size) {
  if (size >= kMinimum) {
    size_t folded = size & ~size_t{15};
    reg = Blocks(reg, data, folded);
    data += folded;
    size -= folded;
  }
  return SliceBy8(reg, data, size);
}

}  // namespace

Path Folding() {
  __builtin_cpu_init();
  bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return supported ? FoldingPath<FoldBlocks, 64> : nullptr;
}

Path WideFolding() {
  __builtin_cpu_init();
  bool supported = Folding() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
  return supported ? FoldingPath<FoldWideBlocks, 256> : nullptr;
}

}  // namespace crc32_paths

#else

namespace crc32_paths {
Path Folding() { return nullptr; }
Path WideFolding() { return nullptr; }
}  // namespace crc32_paths

#endif
