// Reading little-endian fields out of a byte buffer: the archive's trailer,
// program headers and bitmap headers all store their numbers this way,
// whatever the processor reading them. The caller checks that the bytes are
// there; these read exactly 2, 4 or 8 of them and never assume alignment.
#pragma once

#include <cstdint>

inline uint16_t le_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t le_u32(const uint8_t* p) { return le_u16(p) | static_cast<uint32_t>(le_u16(p + 2)) << 16; }

inline uint64_t le_u64(const uint8_t* p) { return le_u32(p) | static_cast<uint64_t>(le_u32(p + 4)) << 32; }
