// The wide vector forms of the blit loops: AVX2 keyed copies and 15-, 16-
// and 32-bit blend and darkening loops, and AVX-512 keyed copies (masked
// stores write the visible pixels only, never reading the destination).
// They are compiled for their instruction sets through function attributes,
// so the rest of the program keeps the x86-64 baseline, and are chosen only
// on CPUs that have them (blit::ActiveSimd). Each has the contract of its
// scalar twin and gives the same bytes.
#pragma once

#include <cstdint>

#include "GraphicEngine/BlitEffects.h"

namespace qndx {
namespace gfx {
namespace blit {
namespace wide {

// False when this compiler could not build the wide forms (then none is used).
bool Built();

}  // namespace wide
}  // namespace blit

namespace effects {
namespace avx2 {

// The AVX2 form of an effect for a pixel kind; null where there is none.
EffectFn Form(Effect effect, uint32_t kind);

}  // namespace avx2
}  // namespace effects
}  // namespace gfx
}  // namespace qndx
