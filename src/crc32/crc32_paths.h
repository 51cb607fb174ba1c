#pragma once
#include <cstddef>
#include <cstdint>

// The ways the CRC-32 register is advanced. Each takes and returns the raw register (before
// the final complement); all give the same result, which tests hold them to.
namespace crc32_paths {

// One table look-up per byte: the definition the list's checksums are made with.
uint32_t Bytewise(uint32_t reg, const uint8_t* data, size_t size);
// Eight bytes per step with eight tables; runs on every processor.
uint32_t SliceBy8(uint32_t reg, const uint8_t* data, size_t size);
using Path = uint32_t (*)(uint32_t reg, const uint8_t* data, size_t size);
// Carry-less multiplication folding, 64 bytes a step (PCLMULQDQ, SSE4.1); null when the
// processor lacks it.
Path Folding();
// The same, 256 bytes a step (VPCLMULQDQ, AVX-512); null when the processor or the system
// lacks it.
Path WideFolding();

}  // namespace crc32_paths
