// Pixel loads and stores at any address: pitches, odd start columns and
// 24-bit pixels give no alignment guarantee, so every access goes through
// memcpy (one move instruction once optimised). Pixels are little-endian,
// 1 to 4 bytes; a 24-bit pixel is three bytes, first byte lowest.
//
// The helpers have internal linkage: the vector files are compiled with
// wider instruction sets, and a shared out-of-line copy built there must
// never serve the rest of the program.
#pragma once

#include <cstdint>
#include <cstring>

namespace qndx {
namespace pixels {

// One pixel of B bytes (1 to 4), widened to 32 bits.
template <int B>
static inline uint32_t Load(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, B);
    return v;
}
// Three bytes as two loads joined in a register: a three-byte copy into a
// zeroed word is compiled as stores into memory and a word load from it,
// which waits for the stores on every pixel.
template <>
inline uint32_t Load<3>(const uint8_t* p) {
    uint16_t low;
    std::memcpy(&low, p, 2);
    return low | static_cast<uint32_t>(p[2]) << 16;
}

// The low B bytes of v.
template <int B>
static inline void Store(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, B);
}

static inline uint32_t Load16(const uint8_t* p) { return Load<2>(p); }
static inline uint32_t Load24(const uint8_t* p) { return Load<3>(p); }
static inline uint32_t Load32(const uint8_t* p) { return Load<4>(p); }
static inline void Store16(uint8_t* p, uint32_t v) { Store<2>(p, v); }
static inline void Store24(uint8_t* p, uint32_t v) { Store<3>(p, v); }
static inline void Store32(uint8_t* p, uint32_t v) { Store<4>(p, v); }

}  // namespace pixels
}  // namespace qndx
