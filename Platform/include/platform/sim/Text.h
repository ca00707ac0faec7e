// Test control of the text side: which font file a font handle resolves to,
// and how often glyphs were rendered or taken from the glyph cache. Reset()
// removes every added font file and empties the caches and counts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Gdi.h"

namespace qndx {
namespace sim {

// The file of the face the font draws with; empty for an unknown handle or
// when no face could be loaded.
std::string ResolvedFontFile(HFONT font);

struct GlyphCacheCounts {
    uint64_t rendered;  // glyphs rendered by FreeType
    uint64_t reused;    // glyphs taken from the cache
};
GlyphCacheCounts GetGlyphCacheCounts();

}  // namespace sim
}  // namespace qndx
