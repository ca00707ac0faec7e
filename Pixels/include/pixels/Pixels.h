// The pixel loops of the engine and the platform layer, and the one place
// that chooses between their forms.
//
// Every loop runs on plain memory: pointers to the first pixel of each
// block, pitches in bytes, a width in pixels and a row count. Callers clip
// and validate; the loops trust their arguments and touch nothing outside
// the w x h blocks. Pixel kinds: 8 (one byte, palettized), 15 (5-5-5, bit
// 15 outside the channels), 16 (5-6-5), 24 (three bytes) and 32 (byte 3
// outside the channels); blue lowest, red highest.
//
// Each loop has a plain scalar form, the reference, and where it pays
// SSE2, AVX2 and AVX-512 forms that give the same bytes. The processor is
// read once; the forms in use are the best it offers, lowered by the
// environment (QNDX_SIMD=none|sse2|avx2|avx512; QNDX_BLIT_NO_FAST=1 means
// none) or at run time by SetSimd. A build with QNDX_SCALAR_ONLY has the
// scalar forms only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qndx {
namespace pixels {

// ---------------------------------------------------------------- dispatch

enum class Simd { None = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };

// The widest forms this build and processor can run.
Simd BestSimd();
// The forms in use.
Simd ActiveSimd();
// Uses at most `most` (never beyond BestSimd); None runs the scalar forms.
void SetSimd(Simd most);
// Back to what the environment asks.
void ResetSimd();
// "none", "sse2", "avx2", "avx512"; false for any other name.
bool ParseSimd(const char* name, Simd* out);
const char* SimdName(Simd level);

// The processor's identification (CPUID leaf and sub-leaf) into
// eax, ebx, ecx, edx; false, with zeros, where there is none. A leaf beyond
// the processor's highest gives zeros.
bool Cpuid(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]);
bool HasCpuid();

// The pixel kinds, named by their bits per pixel (5-5-5 is 15), as both
// layers and the engine's surface formats give them; the loops take the value.
enum Kind : uint32_t { kNone = 0, kIndexed8 = 8, kRgb555 = 15, kRgb565 = 16, kRgb888 = 24, kXrgb8888 = 32 };

// Bytes per pixel of a kind: 1, 2, 2, 3, 4; 0 for any other.
int BytesPerPixel(uint32_t kind);

// ------------------------------------------------------------------ copies

typedef void (*CopyFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
typedef void (*KeyedFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                        uint32_t key);

// Plain copy. Source and destination may overlap (one surface): the result
// is as if the whole source had been read first. Null for other kinds.
CopyFn PlainCopy(uint32_t kind);
// h rows of rowBytes, overlapping or not, as PlainCopy does.
void CopyRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, size_t rowBytes, int h);

// Keyed copy: a source pixel whose compared bits equal `key` leaves the
// destination alone. Kinds 8, 15 and 16 compare the whole pixel, 24 the
// three bytes, 32 the low 24 bits, and a 32-bit pixel is written with a top
// byte of 0. A key with bits beyond the compared ones matches nothing.
// Source and destination must not overlap. Null for other kinds.
KeyedFn KeyedCopy(uint32_t kind);
// The bits of a pixel that a keyed copy compares and writes.
uint32_t KeyBits(uint32_t kind);

// Fills w x h pixels with the low bytes of value (any kind of 1 to 4 bytes).
void Fill(uint8_t* dst, ptrdiff_t pitch, int bytesPerPixel, int w, int h, uint32_t value);

// True when two w x h blocks (first pixel and pitch each) share any byte.
bool BlocksOverlap(const uint8_t* a, ptrdiff_t aPitch, const uint8_t* b, ptrdiff_t bPitch, size_t rowBytes, int h);

// ----------------------------------------------------------------- stretch

// Nearest-neighbour stretch of a srcW x srcH block onto a dstW x dstH one,
// optionally mirrored and keyed. Destination column x reads source column
// x * srcW / dstW (srcW - 1 minus that when mirrored); rows likewise. Only
// destination pixels in [x0, x1) x [y0, y1) are written, so a clipped blit
// maps as the unclipped one. `dst` and `src` point at the blocks' top-left
// pixels and must not overlap. Keys follow KeyedCopy; `wholePixels` writes
// keyed 32-bit pixels with their top byte (the engine's mirrors).
struct StretchArgs {
    int srcW = 0, srcH = 0;
    int dstW = 0, dstH = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool mirrorX = false, mirrorY = false;
    bool keyed = false;
    uint32_t key = 0;
    bool wholePixels = false;
};
void Stretch(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, uint32_t kind,
             const StretchArgs& args);

// ---------------------------------------------------------- keyed spans

// The opaque runs of a keyed block, row by row: a keyed copy of any part of
// the block copies runs instead of testing pixels. Built from the pixels as
// they are; its owner drops it when they change.
class KeySpans {
public:
    // Scans w x h pixels for runs that are not the key (KeyedCopy's rules).
    // Returns false and keeps nothing where copying the runs one by one
    // would not beat KeyedCopy at the level in use, weighed from the
    // sprite's runs: their number and bytes against every pixel tested.
    bool Build(const uint8_t* bits, ptrdiff_t pitch, uint32_t kind, int w, int h, uint32_t key);
    uint32_t Key() const { return m_key; }
    // The keyed copy of the block at (sx, sy), w x h, onto dst.
    void Copy(uint8_t* dst, ptrdiff_t dstPitch, int sx, int sy, int w, int h) const;

    // In bytes: the run's offset in its row, its length, where its pixels
    // are; and its row. A block's runs are one stretch of the array, walked
    // in order: no run's place waits on another load.
    struct Run {
        uint32_t x;
        uint32_t n;
        uint32_t offset;
        uint32_t y;
    };

private:
    uint32_t m_key = 0;
    uint32_t m_bytesPerPixel = 0;
    uint32_t m_rowBytes = 0;
    std::vector<uint32_t> m_rowStart;  // runs of row y: [m_rowStart[y], m_rowStart[y + 1])
    std::vector<Run> m_runs;
    std::vector<uint8_t> m_pixels;  // the opaque pixels, packed, as a keyed copy writes them
    bool m_packed = false;          // 32-bit pixels kept as three bytes each
};

// Whether a keyed copy of a w x h block may take the span form of its
// source at the level in use (Build then weighs the sprite's own runs). At
// level none it is false unless the build has no vector forms: the plain
// keyed copy is then what tests compare with.
bool SpansPay(uint32_t kind, int w, int h);
// For tests: every span form built (where the level takes them at all), and
// 32-bit span forms built at every size keep three bytes a pixel, so small
// surfaces reach both; false goes back to weighing.
void SetSpansForAllSizes(bool on);

// A buffer reused from call to call on this thread, so a blit allocates
// nothing in the usual case; very large requests get a buffer of their own.
class Scratch {
public:
    enum Slot { Aside, Columns, kSlots };
    Scratch(Slot slot, size_t bytes);
    uint8_t* data() const { return m_data; }

private:
    std::vector<uint8_t> m_own;
    uint8_t* m_data;
};

// ------------------------------------------------------- blends and shades
//
// Kinds 15, 16, 24, 32 (the destination's; the source has its layout).
// Weights are 256ths, above 256 taken as 256, products rounded down.
// Alpha: each channel becomes s + ((weight * (d - s)) >> 8) (the weight is
// the destination's share). Translucent: each destination channel becomes
// (value * c) >> 8. Halves: floor(s/2) + floor(d/2), and floor(d/2). 15-bit
// results have bit 15 clear; 32-bit results keep the destination's byte 3.
// Keys: 15/16 compare the whole source pixel, 24/32 its low 24 bits; a key
// pixel leaves the destination as it was. Mirrors move whole pixels.
// Source and destination must not overlap.

enum class Effect {
    MirrorLeftRight,  // destination column c <- source column w - 1 - c
    MirrorLeftRightKeyed,
    MirrorUpDown,  // destination row r <- source row h - 1 - r
    MirrorUpDownKeyed,
    HalfAlpha,
    HalfAlphaKeyed,
    Alpha,  // weight = destination's share
    AlphaKeyed,
    Translucent,  // weight = factor; the source is not read
    TranslucentKeyed,
    HalfTranslucent,  // the source is not read
    HalfTranslucentKeyed,
    Count
};

struct EffectArgs {
    uint32_t weight;  // alpha or translucent value; unused by the others
    uint32_t key;     // native key of the source; unused by unkeyed effects
};

typedef void (*EffectFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                         const EffectArgs& args);

// The loop in use for an effect and kind; null for other kinds.
EffectFn EffectFor(Effect effect, uint32_t kind);
// False for the effects that never read the source pixels (src may be null).
inline bool ReadsSource(Effect effect) { return effect != Effect::Translucent && effect != Effect::HalfTranslucent; }
// Every keyed effect comes right after its plain form.
inline bool IsKeyed(Effect effect) { return effect < Effect::Count && static_cast<int>(effect) % 2 == 1; }
const char* EffectName(Effect effect);

// Channel scaling of a copy: every channel becomes (channel * factor) >> 8,
// factor above 256 taken as 256; 15-bit bit 15 clear, 32-bit keeps the
// destination's byte 3. Null for other kinds.
typedef void (*ScaleFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                        uint32_t factor);
ScaleFn ScaleCopy(uint32_t kind);

// A colour drawn over w x h pixels with weight alpha (0..256, the colour's
// share): with 127 and 128 the average through the kind's halving mask,
// else d + floor(alpha * (c - d) / 256) per channel. 15/16-bit rows go as a
// leading odd pixel, then pairs, each pixel rebuilt from its channels (bit
// 15 becomes 0); 24/32-bit pixels have their three colour bytes written
// (byte 3 stays). Other kinds: nothing.
void BlendColourRect(uint8_t* dst, ptrdiff_t pitch, int w, int h, uint32_t kind, uint32_t colour, uint32_t alpha);
// One pixel's channels blended towards c with alpha (0..256); the result
// holds the three channels only.
uint32_t BlendColour(uint32_t kind, uint32_t d, uint32_t c, uint32_t alpha);

// ------------------------------------------------------------- window rows

// Converts `count` pixels of one row.
typedef void (*RowFn)(uint8_t* dst, const uint8_t* src, int count);

enum class Row {
    Copy16,      // same formats: the bytes as they are
    Copy24,
    Copy32,
    Rgb555ToXrgb,  // 5-bit channels widened by repeating their top bits; bit 15 into bit 31
    Rgb565ToXrgb,
    Bgr24ToXrgb,   // top byte 0
    XrgbToRgb555,  // exactly back
    XrgbToRgb565,
    XrgbToBgr24,
    Count
};
// The form in use, or the scalar one (`fast` false). Rows written by a
// vector form may bypass the cache: FinishRows orders them before whatever
// follows (once per copy, not per row).
RowFn RowFor(Row row, bool fast);
void FinishRows();

// ------------------------------------------------------------ picture rows

// One row of a picture into a surface kind in one pass: `count` pixels from
// pixel `first` of the source row. Sources by bits per pixel: 1, 4, 8
// (indices, the leftmost pixel in the high bits, through `table`: 256
// pixels already in the target kind), 15 (5-5-5, bit 15 ignored), 16
// (5-6-5), 24 (blue, green, red), 32 (blue, green, red, ignored). Targets
// 15, 16, 24 and 32: channels narrow by dropping low bits and widen by
// repeating their top bits; 15-bit bit 15 and the 32-bit top byte are 0.
typedef void (*PictureRowFn)(uint8_t* dst, const uint8_t* src, int first, int count, const uint32_t* table);
// The form in use, or the scalar one (`fast` false); null for other pairs.
PictureRowFn PictureRow(int srcBits, uint32_t kind, bool fast = true);

}  // namespace pixels
}  // namespace qndx
