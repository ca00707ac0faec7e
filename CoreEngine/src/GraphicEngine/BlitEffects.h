// Software pixel loops of the effect blits: mirrored copies, alpha blends
// (half-and-half and weighted), and translucent darkening (halving and
// scaling by a value), each plain and source-keyed, for the 15-, 16-, 24- and
// 32-bit pixel kinds. They run on locked memory only: pointers to the first
// pixel of each block, pitches in bytes, a width and a row count. The blit
// frame clips and validates; the loops trust their arguments and never read
// or write outside the w x h blocks. Source and destination blocks must not
// overlap (the frame copies an overlapping source aside first).
//
// Rules, per pixel kind (the kind is the destination's; the source has the
// same layout):
// - weights are 256ths, above 256 taken as 256. Alpha: each channel becomes
//   s + ((weight * (d - s)) >> 8), rounded down (weight is the destination's
//   share). Translucent: each destination channel becomes (value * c) >> 8.
// - halves: alpha floor(s/2) + floor(d/2) per channel, translucent floor(d/2).
// - 15-bit results have bit 15 clear; 32-bit blends and darkening keep the
//   destination's byte 3; mirrors move whole pixel values.
// - keys: 15/16-bit compare the whole 16-bit source pixel, 24/32-bit its
//   low 24 bits. A source pixel equal to the key leaves the destination
//   pixel as it was.
//
// Every loop has a plain scalar form (the 15/16-bit blends work on pixel
// pairs in 32-bit words, first pixel alone in odd rows) and, where it pays,
// an SSE2 form, and for the 15-, 16- and 32-bit blends and darkenings an
// AVX2 form used on CPUs that have it. The fast forms follow the blit loops'
// switches (qndx::gfx::blit::SetFastPaths, or QNDX_BLIT_NO_FAST=1, and
// qndx::gfx::blit::LimitSimd).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qndx {
namespace gfx {
namespace effects {

enum class Effect {
    MirrorLeftRight,       // destination column c <- source column w - 1 - c
    MirrorLeftRightKeyed,
    MirrorUpDown,          // destination row r <- source row h - 1 - r
    MirrorUpDownKeyed,
    HalfAlpha,
    HalfAlphaKeyed,
    Alpha,                 // weight = destination's share
    AlphaKeyed,
    Translucent,           // weight = factor; the source is not read
    TranslucentKeyed,      // the source only decides which pixels change
    HalfTranslucent,       // the source is not read
    HalfTranslucentKeyed,
    Count
};

struct EffectArgs {
    uint32_t weight;  // alpha or translucent value; unused by the others
    uint32_t key;     // native key of the source; unused by unkeyed effects
};

typedef void (*EffectFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                         const EffectArgs& args);

// The loop for an effect and pixel kind (15, 16, 24, 32), fast or plain as
// the switch says; null for any other kind.
EffectFn EffectFor(Effect effect, uint32_t kind);
// The plain scalar form, and the fast form (the widest within
// blit::ActiveSimd; the plain one where there is no fast form); null for
// kinds without loops.
EffectFn PlainEffect(Effect effect, uint32_t kind);
EffectFn FastEffect(Effect effect, uint32_t kind);
bool HasFastForm(Effect effect, uint32_t kind);

// False for the effects that never read the source pixels (src may be null).
bool ReadsSource(Effect effect);
bool IsKeyed(Effect effect);
const char* EffectName(Effect effect);

}  // namespace effects
}  // namespace gfx
}  // namespace qndx
