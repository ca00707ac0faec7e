// The loops that have one form only (row moves, fills, the channel scaling
// of a copy, the colour blend's scalar part), the span form's scan, the
// scratch buffers, and the small facts about kinds and effects.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Levels.h"

namespace qndx {
namespace pixels {

namespace {

// A move of n bytes (1 to 64) done inline: a library call per row costs more
// than a small sprite's row. The head and tail pieces overlap where n is not
// a power of two, and every piece is read before any is written, so the
// ranges may overlap as with memmove.
template <size_t N>
struct Piece {
    uint8_t b[N];
};
template <size_t N>
inline void MoveEnds(uint8_t* dst, const uint8_t* src, size_t n) {
    Piece<N> head, tail;
    std::memcpy(&head, src, N);
    std::memcpy(&tail, src + n - N, N);
    std::memcpy(dst, &head, N);
    std::memcpy(dst + n - N, &tail, N);
}
inline void SmallMove(uint8_t* dst, const uint8_t* src, size_t n) {
    if (n >= 32)
        MoveEnds<32>(dst, src, n);
    else if (n >= 16)
        MoveEnds<16>(dst, src, n);
    else if (n >= 8)
        MoveEnds<8>(dst, src, n);
    else if (n >= 4)
        MoveEnds<4>(dst, src, n);
    else if (n >= 2)
        MoveEnds<2>(dst, src, n);
    else
        *dst = *src;
}

template <bool Small>
void MoveRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, size_t rowBytes, int h) {
    auto move = [rowBytes](uint8_t* d, const uint8_t* s) {
        if (Small)
            SmallMove(d, s, rowBytes);
        else
            std::memmove(d, s, rowBytes);
    };
    // The destination may start inside the source: take the last row first.
    if (dst > src) {
        for (int row = h - 1; row >= 0; --row) move(dst + row * dstPitch, src + row * srcPitch);
    } else {
        for (int row = 0; row < h; ++row) move(dst + row * dstPitch, src + row * srcPitch);
    }
}

// ------------------------------------------------------- channel scaling

// One 5-5-5 or 5-6-5 pixel with each channel scaled; bit 15 of a 5-5-5
// result is clear.
template <int GreenBits>
inline uint32_t ScaleOne16(uint32_t p, uint32_t v) {
    constexpr int redShift = 5 + GreenBits;
    constexpr uint32_t greenMask = (1u << GreenBits) - 1;
    const uint32_t b = ((p & 0x1Fu) * v) >> 8;
    const uint32_t g = (((p >> 5) & greenMask) * v) >> 8;
    const uint32_t r = (((p >> redShift) & 0x1Fu) * v) >> 8;
    return r << redShift | g << 5 | b;
}

// Two pixels in one 32-bit word; the masks drop what the multiply carries
// from one pixel's channel into the other's.
template <int GreenBits>
inline uint32_t ScalePair16(uint32_t p, uint32_t v) {
    constexpr int redShift = 5 + GreenBits;
    constexpr uint32_t greenMask = GreenBits == 6 ? 0x003F003Fu : 0x001F001Fu;
    const uint32_t low = ((p & 0x001F001Fu) * v >> 8) & 0x001F001Fu;
    const uint32_t middle = ((((p >> 5) & greenMask) * v >> 8) & greenMask) << 5;
    const uint32_t high = ((((p >> redShift) & 0x001F001Fu) * v >> 8) & 0x001F001Fu) << redShift;
    return low | middle | high;
}

template <int GreenBits>
void ScalePairs(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                uint32_t factor) {
    const uint32_t v = ClampWeight(factor);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
        if (w & 1) {
            Store16(d, ScaleOne16<GreenBits>(Load16(s), v));
            x = 1;
        }
        for (; x < w; x += 2) Store32(d + 2 * x, ScalePair16<GreenBits>(Load32(s + 2 * x), v));
    }
}

// Bytes 0 to 2 scaled; byte 3 of a 32-bit destination stays.
template <int B>
void ScaleBytes(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                uint32_t factor) {
    const uint32_t v = ClampWeight(factor);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) d[x * B + c] = static_cast<uint8_t>((s[x * B + c] * v) >> 8);
    }
}

// --------------------------------------------------------------- spans

// The runs' pixels are kept as a keyed copy writes them, a 32-bit pixel as
// its three low bytes when Packed (the copy writes a top byte of 0).
template <int B, bool Packed = false>
bool ScanRuns(const uint8_t* bits, ptrdiff_t pitch, int w, int h, uint32_t k, size_t limit,
              std::vector<uint32_t>* rowStart, std::vector<KeySpans::Run>* out, std::vector<uint8_t>* pixels) {
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * pitch;
        rowStart->push_back(static_cast<uint32_t>(out->size()));
        int x = 0;
        while (x < w) {
            while (x < w && (Load<B>(row + x * B) & KeyMask<B>()) == k) ++x;
            const int start = x;
            while (x < w && (Load<B>(row + x * B) & KeyMask<B>()) != k) ++x;
            if (x == start) continue;
            out->push_back(KeySpans::Run{static_cast<uint32_t>(start * B), static_cast<uint32_t>((x - start) * B),
                                         static_cast<uint32_t>(pixels->size()), static_cast<uint32_t>(y)});
            if (Packed) {
                for (int i = start; i < x; ++i) pixels->insert(pixels->end(), row + i * B, row + i * B + 3);
            } else {
                const size_t at = pixels->size();
                pixels->insert(pixels->end(), row + start * B, row + x * B);
                if (B == 4)
                    for (size_t i = at + 3; i < pixels->size(); i += 4) (*pixels)[i] = 0;
            }
        }
        if (out->size() > limit) return false;
    }
    rowStart->push_back(static_cast<uint32_t>(out->size()));
    return true;
}

// Requests above this get a buffer of their own rather than growing the
// kept one for good.
const size_t kScratchKeep = size_t(8) << 20;
thread_local std::vector<uint8_t> t_scratch[Scratch::kSlots];

}  // namespace

// ------------------------------------------------------------------ facts

int BytesPerPixel(uint32_t kind) {
    switch (kind) {
        case 8: return 1;
        case 15:
        case 16: return 2;
        case 24: return 3;
        case 32: return 4;
        default: return 0;
    }
}

uint32_t KeyBits(uint32_t kind) {
    switch (BytesPerPixel(kind)) {
        case 1: return KeyMask<1>();
        case 2: return KeyMask<2>();
        case 3:
        case 4: return KeyMask<4>();
        default: return 0;
    }
}

const char* EffectName(Effect effect) {
    static const char* const names[] = {"MirrorLeftRight", "MirrorLeftRightKeyed", "MirrorUpDown",
                                        "MirrorUpDownKeyed", "HalfAlpha", "HalfAlphaKeyed", "Alpha", "AlphaKeyed",
                                        "Translucent", "TranslucentKeyed", "HalfTranslucent",
                                        "HalfTranslucentKeyed"};
    const int e = static_cast<int>(effect);
    return e >= 0 && e < kEffects ? names[e] : "?";
}

// ------------------------------------------------------------ block moves

void CopyRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, size_t rowBytes, int h) {
    if (h <= 0 || rowBytes == 0) return;
    if (dstPitch == srcPitch && static_cast<size_t>(dstPitch) == rowBytes) {
        std::memmove(dst, src, rowBytes * static_cast<size_t>(h));
        return;
    }
    if (rowBytes <= 64)
        MoveRows<true>(dst, dstPitch, src, srcPitch, rowBytes, h);
    else
        MoveRows<false>(dst, dstPitch, src, srcPitch, rowBytes, h);
}

void Fill(uint8_t* dst, ptrdiff_t pitch, int bytesPerPixel, int w, int h, uint32_t value) {
    for (int y = 0; y < h; ++y) {
        uint8_t* row = dst + static_cast<ptrdiff_t>(y) * pitch;
        switch (bytesPerPixel) {
            case 1: std::memset(row, static_cast<int>(value & 0xFF), static_cast<size_t>(w)); break;
            case 2: for (int x = 0; x < w; ++x) Store<2>(row + 2 * x, value); break;
            case 3: for (int x = 0; x < w; ++x) Store<3>(row + 3 * x, value); break;
            case 4: for (int x = 0; x < w; ++x) Store<4>(row + 4 * x, value); break;
            default: return;
        }
    }
}

ScaleFn ScaleCopy(uint32_t kind) {
    switch (kind) {
        case 15: return ScalePairs<5>;
        case 16: return ScalePairs<6>;
        case 24: return ScaleBytes<3>;
        case 32: return ScaleBytes<4>;
        default: return nullptr;
    }
}

// ------------------------------------------------------------ colour blend

uint32_t BlendColour(uint32_t kind, uint32_t d, uint32_t c, uint32_t alpha) {
    // d + floor(a (c - d) / 256) = ((256 - a) d + a c) >> 8, which is the
    // alpha rule with the colour as the destination's share.
    const uint32_t a = ClampWeight(alpha);
    switch (kind) {
        case 15: return BlendPixel<15>(d, c, a);
        case 16: return BlendPixel<16>(d, c, a);
        case 24:
        case 32: return BlendPixel<24>(d, c, a);
        default: return d;
    }
}

namespace detail {

void BlendColourTail(uint8_t* row, int from, int count, uint32_t kind, uint32_t colour, uint32_t alpha) {
    const bool half = alpha == 127 || alpha == 128;
    if (kind == 15 || kind == 16) {
        const uint32_t mask = kind == 15 ? 0x7BDEu : 0xF7DEu;
        const uint32_t c16 = colour & 0xFFFF;
        auto one = [&](uint32_t d) -> uint32_t {
            return half ? ((d & mask) >> 1) + ((c16 & mask) >> 1) : BlendColour(kind, d, c16, alpha);
        };
        uint8_t* p = row;
        if (count & 1) {
            Store16(p, one(Load16(p)));
            p += 2;
        }
        for (int n = count / 2; n > 0; --n, p += 4) {
            const uint32_t pair = Load32(p);
            Store32(p, one(pair & 0xFFFF) | one(pair >> 16) << 16);
        }
        return;
    }
    if (kind != 24 && kind != 32) return;
    const int step = kind == 24 ? 3 : 4;
    const uint32_t c24 = colour & 0xFFFFFF;
    for (uint8_t* p = row + from * step; from < count; ++from, p += step) {
        const uint32_t d = Load24(p);
        // Byte 3 of a 32-bit pixel keeps its value.
        Store24(p, half ? ((d & 0xFEFEFE) >> 1) + ((c24 & 0xFEFEFE) >> 1) : BlendColour(24, d, c24, alpha));
    }
}

}  // namespace detail

// ------------------------------------------------------------------ spans

bool KeySpans::Build(const uint8_t* bits, ptrdiff_t pitch, uint32_t kind, int w, int h, uint32_t key) {
    const int bpp = BytesPerPixel(kind);
    m_key = key & KeyBits(kind);
    m_bytesPerPixel = static_cast<uint32_t>(bpp);
    m_rowStart.clear();
    m_runs.clear();
    m_pixels.clear();
    m_packed = false;
    m_rowBytes = static_cast<uint32_t>(w) * static_cast<uint32_t>(bpp);
    if (bpp == 0 || w <= 0 || h <= 0 || w > 32768) return false;
    // The span form costs a run's start and its bytes; it is kept where that
    // comes under what the level's keyed loop would take on the whole
    // sprite, which reads and tests every pixel. Scanning stops once the
    // runs' starts alone are past it.
    const uint64_t budget = KeyedLoopCost(kind, m_rowBytes, static_cast<uint64_t>(h));
    const size_t limit = static_cast<size_t>(std::min<uint64_t>(budget / kRunCost, SIZE_MAX));
    m_rowStart.reserve(static_cast<size_t>(h) + 1);
    bool ok = false;
    switch (bpp) {
        case 1: ok = ScanRuns<1>(bits, pitch, w, h, m_key, limit, &m_rowStart, &m_runs, &m_pixels); break;
        case 2: ok = ScanRuns<2>(bits, pitch, w, h, m_key, limit, &m_rowStart, &m_runs, &m_pixels); break;
        case 3: ok = ScanRuns<3>(bits, pitch, w, h, m_key, limit, &m_rowStart, &m_runs, &m_pixels); break;
        case 4:
            m_packed = PackSpans(static_cast<uint64_t>(m_rowBytes) * static_cast<uint64_t>(h));
            ok = m_packed ? ScanRuns<4, true>(bits, pitch, w, h, m_key, limit, &m_rowStart, &m_runs, &m_pixels)
                          : ScanRuns<4>(bits, pitch, w, h, m_key, limit, &m_rowStart, &m_runs, &m_pixels);
            break;
        default: break;
    }
    if (ok) {
        uint64_t cost = 0;
        for (const Run& r : m_runs) cost += kRunCost + r.n;
        ok = cost < budget;
    }
    // The widening copies read a few bytes past the last pixel.
    if (ok && m_packed) m_pixels.resize(m_pixels.size() + kWidenPadding, 0);
    if (!ok) {
        m_rowStart = std::vector<uint32_t>();
        m_runs = std::vector<Run>();
        m_pixels = std::vector<uint8_t>();
    }
    return ok;
}

Scratch::Scratch(Slot slot, size_t bytes) : m_data(nullptr) {
    if (bytes == 0) return;
    if (bytes > kScratchKeep) {
        m_own.resize(bytes);
        m_data = m_own.data();
        return;
    }
    std::vector<uint8_t>& kept = t_scratch[slot];
    if (kept.size() < bytes) {
        const size_t grown = kept.size() * 2 > bytes ? kept.size() * 2 : bytes;
        kept.resize(grown < kScratchKeep ? grown : kScratchKeep);
    }
    m_data = kept.data();
}

}  // namespace pixels
}  // namespace qndx
