// Optimised forms of the loops in BlitLoops.h, with the same contracts and
// bit-exact results: keyed copies with SSE2 (AVX2 when the processor has it),
// the span form of a keyed source (opaque runs copied whole, key runs
// skipped), mirrors as reversed row copies and zooms through a column table
// built once per call. The plain loops stay the reference; the switch below
// chooses between the two sets at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ddraw/BlitLoops.h"

namespace qndx {
namespace platform {
namespace blit {

// The fast paths are on unless QNDX_BLIT_NO_FAST is set to something other
// than "0" (read again at each sim reset); tests flip them through the sim
// panel.
bool FastPaths();
void SetFastPaths(bool on);
// Lets the AVX2 loops run where the processor has them (the default), or
// holds the fast paths to SSE2 so that tests reach both on one machine.
void AllowAvx2(bool allow);

// CopyKeyed, a vector at a time.
void CopyKeyedFast(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel, int w, int h,
                   DWORD key, DWORD colorMask);

// Stretch with dedicated loops: row copies (reversed for a left-right
// mirror) when the widths match, else a column table; unkeyed destination
// rows that read the same source row as the row above are copied from it.
void StretchFast(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel,
                 const StretchArgs& args);

// The opaque runs of a keyed surface, row by row. Built from the whole
// surface, so any source rectangle can be drawn from it; it says nothing
// about pixels written after the build, so its owner drops it then.
class KeySpans {
public:
    // Scans w x h pixels for runs whose colour bits differ from the key's.
    // Returns false and keeps nothing when the runs are too short for
    // copying them one by one to beat the vector loop.
    bool Build(const uint8_t* bits, LONG pitch, int bytesPerPixel, int w, int h, DWORD key, DWORD colorMask);
    // The masked key the runs were built for.
    DWORD Key() const { return m_key; }
    // Copies the opaque pixels of the block at (sx, sy), w x h, to `dst`.
    void Copy(uint8_t* dst, LONG dstPitch, int bytesPerPixel, int sx, int sy, int w, int h) const;

    // In bytes: the row offset, the length, where its pixels are in m_pixels.
    struct Run {
        uint32_t x;
        uint32_t n;
        uint32_t offset;
    };

private:
    DWORD m_key = 0;
    uint32_t m_rowBytes = 0;
    std::vector<uint32_t> m_rowStart;  // runs of row y: [m_rowStart[y], m_rowStart[y + 1])
    std::vector<Run> m_runs;
    std::vector<uint8_t> m_pixels;  // the opaque pixels, packed: read in one stream
};

// A buffer reused from call to call on this thread, so a blit allocates
// nothing in the usual case; very large requests get a buffer of their own
// that goes away with the object. One object per use at a time.
class Scratch {
public:
    enum Slot { Aside, Columns, kSlots };
    Scratch(Slot slot, size_t bytes);
    uint8_t* data() const { return m_data; }

private:
    std::vector<uint8_t> m_own;
    uint8_t* m_data;
};

}  // namespace blit
}  // namespace platform
}  // namespace qndx
