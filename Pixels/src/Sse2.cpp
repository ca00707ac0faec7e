// The SSE2 forms (the x86-64 baseline): keyed copies and rows sixteen
// bytes a step (the last step of a row overlapping the one before), the
// blends and shades eight 16-bit or four 32-bit pixels a step (24-bit blends
// sixteen bytes), reversed rows for mirrors, run copies for the span form,
// the colour blend of BlendColourRect, and window rows with streaming
// stores. Each gives exactly the bytes of its scalar twin in Scalar.cpp.
#include <emmintrin.h>

#include <cstring>

#include "Vector128.h"
#include "VectorRules.h"

namespace qndx {
namespace pixels {

namespace {

// ------------------------------------------------------------------ copies

template <int B>
void CopyBlock(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * B, h);
}

template <int B>
void KeyedBlock(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                uint32_t key) {
    if (B < 4 && !KeyPossible<B>(key)) {
        CopyBlock<B>(dst, dstPitch, src, srcPitch, w, h);
        return;
    }
    for (int y = 0; y < h; ++y) KeyedRow128<B>(dst + y * dstPitch, src + y * srcPitch, w, key, KeyMask<B>());
}

void KeyedRow24Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t key, uint32_t) {
    KeyedRow24(d, s, w, Keyed24Masks(key), key);
}

void KeyedBlock24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                  uint32_t key, uint32_t) {
    const Keyed24Masks masks(key);
    for (int row = 0; row < h; ++row) KeyedRow24(dst + row * dstPitch, src + row * srcPitch, w, masks, key);
}

void Keyed24Sse2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    if (!KeyPossible<3>(key)) {
        CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * 3, h);
        return;
    }
    KeyedBlock24(dst, dstPitch, src, srcPitch, w, h, key, KeyMask<3>());
}


// ------------------------------------------------------- blends and shades

// 15, 16 and 32 bits: eight or four pixels a step, keyed pixels put back
// from the destination (byte 3 of a 32-bit pixel by the rule).
template <int Kind, bool Keyed, template <int> class OpT>
void FastLoopWide(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                  const EffectArgs& args) {
    constexpr int B = Bpp<Kind>(), V = 16 / B;
    constexpr bool reads = Keyed || OpT<Kind>::kReadsSource;
    const OpT<Kind> op(args);
    const VectorRule<W128, Kind, OpT> vop(args);
    const uint32_t key = args.key;
    const __m128i k = Splat128<B>(key);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int x = 0;
        for (; x + V <= w; x += V) {
            const __m128i sv = reads ? LoadV(s + B * x) : _mm_setzero_si128();
            const __m128i dv = LoadV(d + B * x);
            __m128i r = vop(sv, dv);
            if (Keyed) r = Select(KeyLanes128<B>(sv, k), dv, r);
            StoreV(d + B * x, r);
        }
        for (; x < w; ++x) {
            const uint32_t sp = reads ? Load<B>(s + B * x) : 0;
            if (Keyed && KeyBitsOf<Kind>(sp) == key) continue;
            Store<B>(d + B * x, op.Apply(sp, Load<B>(d + B * x)));
        }
    }
}

// 24 bits without a key: every byte is a channel, so the row is one run of
// bytes, sixteen a step and the rest one by one.
template <template <int> class OpT>
void FastLoop24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                const EffectArgs& args) {
    constexpr bool reads = OpT<24>::kReadsSource;
    const OpT<24> op(args);
    const VectorRule<W128, 24, OpT> vop(args);
    const int n = 3 * w;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int i = 0;
        for (; i + 16 <= n; i += 16) StoreV(d + i, vop(reads ? LoadV(s + i) : _mm_setzero_si128(), LoadV(d + i)));
        for (; i < n; ++i) d[i] = static_cast<uint8_t>(op.ApplyByte(reads ? s[i] : 0, d[i]));
    }
}

// 24 bits with a key: one pixel at a time, but the key decides by a mask
// instead of a branch (keys scattered through a picture defeat prediction).
template <template <int> class OpT>
void FastKeyed24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 const EffectArgs& args) {
    const OpT<24> op(args);
    const uint32_t key = args.key;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < w; ++x, d += 3, s += 3) {
            const uint32_t sp = Load24(s);
            const uint32_t dp = Load24(d);
            const uint32_t keep = 0u - static_cast<uint32_t>(sp == key);
            Store24(d, (dp & keep) | (op.Apply(sp, dp) & ~keep));
        }
    }
}

template <int Kind, bool Keyed, template <int> class OpT>
struct FastLoop {
    static void Run(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                    const EffectArgs& args) {
        if (Keyed && !EffectKeyPossible<Kind>(args.key)) {
            FastLoop<Kind, false, OpT>::Run(dst, dstPitch, src, srcPitch, w, h, args);
            return;
        }
        if constexpr (Kind != 24)
            FastLoopWide<Kind, Keyed, OpT>(dst, dstPitch, src, srcPitch, w, h, args);
        else if constexpr (!Keyed)
            FastLoop24<OpT>(dst, dstPitch, src, srcPitch, w, h, args);
        else
            FastKeyed24<OpT>(dst, dstPitch, src, srcPitch, w, h, args);
    }
};

// -------------------------------------------------------------- span runs

struct CopySse2 {
    // Packed span forms are made for wider levels; this level only has to
    // copy them right.
    static void Widen(uint8_t* d, const uint8_t* s, size_t count) { WidenPixels(d, s, count); }
    static inline void Bytes(uint8_t* d, const uint8_t* s, size_t n) { CopyRun<Vector128, 128>(d, s, n); }
};


// ------------------------------------------------------------ colour blend

// Kinds 24 and 32 blend every colour byte on its own, so whole vectors of
// bytes go at once: byte i of a row moves towards colour byte i mod the
// pixel size; byte 3 of a 32-bit pixel is kept. With the halving mask each
// byte becomes (d >> 1) + (c >> 1) on its top seven bits; else
// d + floor(a (c - d) / 256), which equals ((256 - a) d + a c) >> 8 and
// never leaves 16 bits.
class ByteBlend {
public:
    ByteBlend(int step, uint32_t c, int alpha)
        : m_vectors(step == 3 ? 3 : 1), m_half(alpha == 127 || alpha == 128), m_inverse(256 - alpha) {
        for (int i = 0; i < 48; ++i) {
            const int channel = i % step;
            const uint8_t cb = channel < 3 ? static_cast<uint8_t>(c >> (8 * channel)) : 0;
            m_keep[i] = channel < 3 ? 0 : 0xFF;
            m_colour[i] = m_half ? static_cast<uint8_t>((cb & 0xFE) >> 1) : cb;
            m_weighted[i] = static_cast<uint16_t>(alpha * cb);
        }
    }

    // Blends the leading whole blocks of `bytes` bytes (16 bytes hold four
    // 32-bit pixels, 48 bytes sixteen 24-bit ones); returns the bytes done.
    size_t Run(uint8_t* p, size_t bytes) const {
        if (m_vectors == 1) return m_half ? Blocks<1, true>(p, bytes) : Blocks<1, false>(p, bytes);
        return m_half ? Blocks<3, true>(p, bytes) : Blocks<3, false>(p, bytes);
    }

private:
    // Byte stores may alias the tables as far as the compiler knows, so the
    // block's constants go into registers once, before the loop.
    template <int Vectors, bool Half>
    size_t Blocks(uint8_t* p, size_t bytes) const {
        __m128i keep[Vectors], colour[Vectors], wlo[Vectors], whi[Vectors];
        for (int v = 0; v < Vectors; ++v) {
            keep[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(m_keep + 16 * v));
            colour[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(m_colour + 16 * v));
            wlo[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(m_weighted + 16 * v));
            whi[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(m_weighted + 16 * v + 8));
        }
        const __m128i zero = _mm_setzero_si128();
        const __m128i seven = _mm_set1_epi8(0x7F);
        const __m128i inverse = _mm_set1_epi16(static_cast<short>(m_inverse));
        const size_t block = static_cast<size_t>(Vectors) * 16;
        size_t done = 0;
        for (; done + block <= bytes; done += block) {
            for (int v = 0; v < Vectors; ++v) {
                uint8_t* q = p + done + 16 * v;
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
                __m128i r;
                if (Half) {
                    r = _mm_add_epi8(_mm_and_si128(_mm_srli_epi16(d, 1), seven), colour[v]);
                } else {
                    __m128i lo = _mm_unpacklo_epi8(d, zero);
                    __m128i hi = _mm_unpackhi_epi8(d, zero);
                    lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(lo, inverse), wlo[v]), 8);
                    hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(hi, inverse), whi[v]), 8);
                    r = _mm_packus_epi16(lo, hi);
                }
                r = _mm_or_si128(_mm_andnot_si128(keep[v], r), _mm_and_si128(keep[v], d));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(q), r);
            }
        }
        return done;
    }

    int m_vectors;
    bool m_half;
    int m_inverse;
    alignas(16) uint8_t m_colour[48];
    alignas(16) uint8_t m_keep[48];
    alignas(16) uint16_t m_weighted[48];
};

void ColourRect(uint8_t* dst, ptrdiff_t pitch, int w, int h, uint32_t kind, uint32_t colour, uint32_t alpha) {
    const bool bytes = kind == 24 || kind == 32;
    const int step = kind == 24 ? 3 : 4;
    const ByteBlend blender(step, colour & 0xFFFFFF, static_cast<int>(alpha));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = dst + y * pitch;
        const int done = bytes ? static_cast<int>(blender.Run(row, static_cast<size_t>(w) * step) / step) : 0;
        BlendColourTail(row, done, w, kind, colour, alpha);
    }
}

// ------------------------------------------------------------- window rows

// Rows go into the window with non-temporal 16-byte stores: the display
// server reads that memory from another core between frames, and stores
// that first pull each line back into this core's cache measured two to
// three times slower (the C library's copy included) than streaming past
// it. The caller fences once after the last row (FinishWindowRows): a fence
// per row costs as much as the copy.
void VectorBytes(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t head = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
    if (head > n) head = n;
    std::memcpy(dst, src, head);
    size_t i = head;
    for (; i + 64 <= n; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
    }
    for (; i + 16 <= n; i += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
    std::memcpy(dst + i, src + i, n - i);
}

template <int Bytes>
void VectorRow(uint8_t* dst, const uint8_t* src, int count) {
    VectorBytes(dst, src, static_cast<size_t>(count) * Bytes);
}

// Eight 16-bit pixels a step; the plain loop does the rest. Kind565 picks
// the 5-6-5 layout, else 5-5-5 with bit 15 carried into the top byte.
template <bool Kind565>
void Widen16Fast(uint8_t* dst, const uint8_t* src, int count) {
    const __m128i five = _mm_set1_epi16(31);
    const __m128i six = _mm_set1_epi16(63);
    const __m128i top = _mm_set1_epi16(static_cast<short>(0x8000));
    // Plain pixels up to a 16-byte boundary of the window row, then
    // aligned stores.
    int i = 0;
    while (i < count && (reinterpret_cast<uintptr_t>(dst) & 15) != 0) {
        WidenRow<Kind565>(dst, src, 1);
        ++i;
        src += 2;
        dst += 4;
    }
    for (; i + 8 <= count; i += 8, src += 16, dst += 32) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i r, g, b;
        b = _mm_and_si128(p, five);
        if (Kind565) {
            r = _mm_srli_epi16(p, 11);
            g = _mm_and_si128(_mm_srli_epi16(p, 5), six);
            g = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
        } else {
            r = _mm_and_si128(_mm_srli_epi16(p, 10), five);
            g = _mm_and_si128(_mm_srli_epi16(p, 5), five);
            g = _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2));
        }
        r = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        b = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        // Low halves blue | green << 8, high halves red | (bit 15 << 8).
        const __m128i low = _mm_or_si128(b, _mm_slli_epi16(g, 8));
        __m128i high = r;
        if (!Kind565) high = _mm_or_si128(high, _mm_and_si128(p, top));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(low, high));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi16(low, high));
    }
    WidenRow<Kind565>(dst, src, count - i);
}

void Fence() { _mm_sfence(); }

// Four 24- or 32-bit pixels at s as lanes 0x00RRGGBB; a 24-bit read takes
// sixteen bytes.
template <int Bits>
inline __m128i Xrgb4(const uint8_t* s) {
    __m128i v = LoadV(s);
    if (Bits == 24) {
        const __m128i ab = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
        const __m128i cd = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
        v = _mm_unpacklo_epi64(ab, cd);
    }
    return _mm_and_si128(v, _mm_set1_epi32(0x00FFFFFF));
}

// Four lanes packed into 5-5-5 or 5-6-5, sign-extended so that the signed
// pack keeps their bits.
template <int Kind>
inline __m128i Pack16(__m128i c) {
    const __m128i b = _mm_and_si128(_mm_srli_epi32(c, 3), _mm_set1_epi32(0x1F));
    const __m128i g = _mm_and_si128(_mm_srli_epi32(c, Kind == 16 ? 5 : 6), _mm_set1_epi32(Kind == 16 ? 0x7E0 : 0x3E0));
    const __m128i r = _mm_and_si128(_mm_srli_epi32(c, Kind == 16 ? 8 : 9), _mm_set1_epi32(Kind == 16 ? 0xF800 : 0x7C00));
    return _mm_srai_epi32(_mm_slli_epi32(_mm_or_si128(_mm_or_si128(r, g), b), 16), 16);
}

template <int Bits, int Kind>
void PictureRowSse2(uint8_t* d, const uint8_t* s, int first, int count, const uint32_t* table) {
    constexpr int SB = Bits / 8, DB = Bpp<Kind>();
    const uint8_t* p = s + (ptrdiff_t)first * SB;
    int i = 0;
    for (; i + (Bits == 24 ? 10 : 8) <= count; i += 8, p += 8 * SB, d += 8 * DB) {
        const __m128i lo = Xrgb4<Bits>(p), hi = Xrgb4<Bits>(p + 4 * SB);
        if (Kind == 32) {
            StoreV(d, lo);
            StoreV(d + 16, hi);
        } else {
            StoreV(d, _mm_packs_epi32(Pack16<Kind>(lo), Pack16<Kind>(hi)));
        }
    }
    PictureRowOf<Bits, Kind>(d, s, first + i, count - i, table);
}

template <int Bits>
void FillPictureSse2(PictureRowFn (&row)[kKinds]) {
    row[KindIndexOf(15)] = PictureRowSse2<Bits, 15>;
    row[KindIndexOf(16)] = PictureRowSse2<Bits, 16>;
    row[KindIndexOf(32)] = PictureRowSse2<Bits, 32>;
}

template <int Kind>
void FillKind(Loops* l) {
    constexpr int B = Bpp<Kind>();
    const int k = KindIndexOf(Kind);
    l->copy[k] = CopyBlock<B>;
    if constexpr (B == 3) {
        l->keyed[k] = Keyed24Sse2;
        l->keyedRow[k] = KeyedRow24Sse2;
        l->keyedBlock[k] = KeyedBlock24;
    } else {
        l->keyed[k] = KeyedBlock<B>;
        l->keyedRow[k] = KeyedRow128<B>;
        l->reverseRow[k] = ReverseRow128<B>;
        l->reverseKeyedRow[k] = ReverseKeyedRow128<B>;
        l->keyedBlock[k] = KeyedRowBlock<KeyedRow128<B>>;
        l->reverseBlock[k] = RowBlock<ReverseRow128<B>>;
        l->reverseKeyedBlock[k] = KeyedRowBlock<ReverseKeyedRow128<B>>;
    }
    if constexpr (Kind != 8) FillEffects<Kind, FastLoop>(l->effect[k]);
}

}  // namespace

namespace detail {

void FillSse2(Loops* l) {
    FillKind<8>(l);
    FillKind<15>(l);
    FillKind<16>(l);
    FillKind<24>(l);
    FillKind<32>(l);
    l->runs = CopyRuns<CopySse2>;
    // Measured on sprites of long and short runs and gaps at 16 and 32
    // bits: sixteen bytes a step cost about twice the bytes copied; the
    // 24-bit steps of five pixels five times.
    for (int k : {KindIndexOf(8), KindIndexOf(15), KindIndexOf(16), KindIndexOf(32)}) l->keyedCost[k] = 210;
    l->keyedCost[KindIndexOf(24)] = 500;
    // Beside its bytes a keyed row costs about half a run (8x8 sprites at
    // 15 and 16 bits took a tenth longer through their span forms).
    for (int k : {KindIndexOf(8), KindIndexOf(15), KindIndexOf(16)}) l->keyedRowCost[k] = kRunCost / 2;
    l->colourRect = ColourRect;
    l->rows[static_cast<int>(Row::Copy16)] = VectorRow<2>;
    l->rows[static_cast<int>(Row::Copy24)] = VectorRow<3>;
    l->rows[static_cast<int>(Row::Copy32)] = VectorRow<4>;
    l->rows[static_cast<int>(Row::Rgb555ToXrgb)] = Widen16Fast<false>;
    l->rows[static_cast<int>(Row::Rgb565ToXrgb)] = Widen16Fast<true>;
    l->finishRows = Fence;
    FillPictureSse2<24>(l->pictureRows[SourceIndexOf(24)]);
    FillPictureSse2<32>(l->pictureRows[SourceIndexOf(32)]);
    l->pictureRows[SourceIndexOf(16)][KindIndexOf(15)] = Picture565To555<W128>;
}

}  // namespace detail
}  // namespace pixels
}  // namespace qndx
