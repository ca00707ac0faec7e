// Fast blit loops: SSE2 on every x86-64, AVX2 chosen at run time for the
// keyed copy, scalar tails, and the span form of keyed sources. Each loop
// gives exactly the pixels of its plain twin in BlitLoops.cpp.
#include "ddraw/BlitFast.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace blit {

namespace {

// ---------------------------------------------------------------------------
// The switch and the processor.

bool FastFromEnvironment() {
    const char* env = std::getenv("QNDX_BLIT_NO_FAST");
    return !(env && *env && std::strcmp(env, "0") != 0);
}

void ResetHook();

// Read from the environment at first use and at every sim reset.
std::atomic<bool>& FastFlag() {
    static std::atomic<bool> flag([] {
        sim::internal::AddResetHook(&ResetHook);
        return FastFromEnvironment();
    }());
    return flag;
}

void ResetHook() { FastFlag().store(FastFromEnvironment(), std::memory_order_relaxed); }

std::atomic<bool> g_avx2Allowed(true);

bool HaveAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2") != 0;
    return yes && g_avx2Allowed.load(std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Pixels and small copies.

// Copies of n bytes between blocks that do not overlap. Sprite rows are
// runs of tens to hundreds of bytes: an inline vector loop beats the library
// call there. The last vector may overlap the one before it.
inline void CopySmall(uint8_t* d, const uint8_t* s, size_t n) {
    if (n >= 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16), b);
    } else if (n >= 8) {
        uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + n - 8, 8);
        std::memcpy(d, &a, 8);
        std::memcpy(d + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        std::memcpy(d, &a, 4);
        std::memcpy(d + n - 4, &b, 4);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i];
    }
}

const size_t kInlineCopyMax = 1024;

struct CopySse2 {
    static inline void Bytes(uint8_t* d, const uint8_t* s, size_t n) {
        if (n <= 32) {
            if (n > 16) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d), a);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16), b);
            } else {
                CopySmall(d, s, n);
            }
            return;
        }
        if (n > kInlineCopyMax) {
            std::memcpy(d, s, n);
            return;
        }
        size_t i = 0;
        for (; i + 32 <= n; i += 32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
        }
        if (i < n) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 32));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 32), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16), b);
        }
    }
};

struct CopyAvx2 {
    __attribute__((target("avx2"))) static inline void Bytes(uint8_t* d, const uint8_t* s, size_t n) {
        if (n < 32) {
            CopySmall(d, s, n);
            return;
        }
        if (n > kInlineCopyMax) {
            std::memcpy(d, s, n);
            return;
        }
        size_t i = 0;
        for (; i + 64 <= n; i += 64) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), a);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 32), b);
        }
        if (i + 32 <= n) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)));
            i += 32;
        }
        if (i < n)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + n - 32),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + n - 32)));
    }
};

// ---------------------------------------------------------------------------
// Keyed rows. A pixel is written when its colour bits differ from the key's;
// `k` is the key already masked. Writing a vector back over pixels that were
// already done gives the same bytes, so the last vector of a row may overlap
// the one before it instead of falling to a scalar tail.

template <int B>
inline void KeyedRowScalar(uint8_t* d, const uint8_t* s, int n, DWORD k, DWORD mask) {
    for (int x = 0; x < n; ++x) {
        const DWORD p = Load<B>(s + x * B);
        if ((p & mask) != k) Store<B>(d + x * B, p);
    }
}

template <int B>
inline __m128i Splat128(DWORD v) {
    return B == 4   ? _mm_set1_epi32(static_cast<int>(v))
           : B == 2 ? _mm_set1_epi16(static_cast<short>(v))
                    : _mm_set1_epi8(static_cast<char>(v));
}

template <int B>
inline __m128i KeyMask128(__m128i v, __m128i mv, __m128i kv) {
    const __m128i c = _mm_and_si128(v, mv);
    return B == 4 ? _mm_cmpeq_epi32(c, kv) : B == 2 ? _mm_cmpeq_epi16(c, kv) : _mm_cmpeq_epi8(c, kv);
}

// One vector of source `v` onto d: key pixels keep the destination.
template <int B>
inline void KeyedStore128(uint8_t* d, __m128i v, __m128i mv, __m128i kv) {
    const __m128i m = KeyMask128<B>(v, mv, kv);
    const int bits = _mm_movemask_epi8(m);
    if (bits == 0xFFFF) return;  // all key
    __m128i* p = reinterpret_cast<__m128i*>(d);
    if (bits == 0) {
        _mm_storeu_si128(p, v);
        return;
    }
    const __m128i old = _mm_loadu_si128(p);
    _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(m, old), _mm_andnot_si128(m, v)));
}

template <int B>
inline void KeyedRowSse2(uint8_t* d, const uint8_t* s, int n, DWORD k, DWORD mask) {
    constexpr int V = 16 / B;
    if (n < V) {
        KeyedRowScalar<B>(d, s, n, k, mask);
        return;
    }
    const __m128i mv = Splat128<B>(mask), kv = Splat128<B>(k);
    int x = 0;
    for (; x + V <= n; x += V)
        KeyedStore128<B>(d + x * B, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * B)), mv, kv);
    if (x < n) {
        x = n - V;
        KeyedStore128<B>(d + x * B, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * B)), mv, kv);
    }
}

template <int B>
__attribute__((target("avx2"))) inline void KeyedStore256(uint8_t* d, __m256i v, __m256i mv, __m256i kv) {
    const __m256i c = _mm256_and_si256(v, mv);
    const __m256i m = B == 4   ? _mm256_cmpeq_epi32(c, kv)
                      : B == 2 ? _mm256_cmpeq_epi16(c, kv)
                               : _mm256_cmpeq_epi8(c, kv);
    const unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(m));
    if (bits == 0xFFFFFFFFu) return;
    __m256i* p = reinterpret_cast<__m256i*>(d);
    if (bits == 0) {
        _mm256_storeu_si256(p, v);
        return;
    }
    _mm256_storeu_si256(p, _mm256_blendv_epi8(v, _mm256_loadu_si256(p), m));
}

template <int B>
__attribute__((target("avx2"))) void KeyedBlockAvx2(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch,
                                                    int w, int h, DWORD k, DWORD mask) {
    constexpr int V = 32 / B;
    const __m256i mv = B == 4   ? _mm256_set1_epi32(static_cast<int>(mask))
                       : B == 2 ? _mm256_set1_epi16(static_cast<short>(mask))
                                : _mm256_set1_epi8(static_cast<char>(mask));
    const __m256i kv = B == 4   ? _mm256_set1_epi32(static_cast<int>(k))
                       : B == 2 ? _mm256_set1_epi16(static_cast<short>(k))
                                : _mm256_set1_epi8(static_cast<char>(k));
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcPitch;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        if (w < V) {
            KeyedRowSse2<B>(d, s, w, k, mask);
            continue;
        }
        int x = 0;
        for (; x + V <= w; x += V)
            KeyedStore256<B>(d + x * B, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x * B)), mv, kv);
        if (x < w) {
            x = w - V;
            KeyedStore256<B>(d + x * B, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x * B)), mv, kv);
        }
    }
}

template <int B>
void KeyedBlockSse2(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int w, int h, DWORD k, DWORD mask) {
    for (int y = 0; y < h; ++y)
        KeyedRowSse2<B>(dst + static_cast<ptrdiff_t>(y) * dstPitch, src + static_cast<ptrdiff_t>(y) * srcPitch, w, k,
                        mask);
}

template <int B>
void KeyedBlock(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int w, int h, DWORD k, DWORD mask) {
    if (HaveAvx2())
        KeyedBlockAvx2<B>(dst, dstPitch, src, srcPitch, w, h, k, mask);
    else
        KeyedBlockSse2<B>(dst, dstPitch, src, srcPitch, w, h, k, mask);
}

// ---------------------------------------------------------------------------
// Reversed rows: d[i] = s[n - 1 - i], `s` at the lowest source column.

template <int B>
inline __m128i Reverse128(__m128i v) {
    if (B == 4) return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
    if (B == 1) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    return v;
}

template <int B>
inline void ReverseRow(uint8_t* d, const uint8_t* s, int n) {
    int i = 0;
    if constexpr (B != 3) {
        constexpr int V = 16 / B;
        for (; i + V <= n; i += V) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + (n - i - V) * B));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * B), Reverse128<B>(v));
        }
    }
    for (; i < n; ++i) Store<B>(d + i * B, Load<B>(s + (n - 1 - i) * B));
}

template <int B>
inline void ReverseRowKeyed(uint8_t* d, const uint8_t* s, int n, DWORD k, DWORD mask) {
    int i = 0;
    if constexpr (B != 3) {
        constexpr int V = 16 / B;
        const __m128i mv = Splat128<B>(mask), kv = Splat128<B>(k);
        for (; i + V <= n; i += V) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + (n - i - V) * B));
            KeyedStore128<B>(d + i * B, Reverse128<B>(v), mv, kv);
        }
    }
    for (; i < n; ++i) {
        const DWORD p = Load<B>(s + (n - 1 - i) * B);
        if ((p & mask) != k) Store<B>(d + i * B, p);
    }
}

// Through the column table: d[i] = s[cols[i]].
template <int B>
inline void GatherRow(uint8_t* d, const uint8_t* s, const int32_t* cols, int n) {
    for (int i = 0; i < n; ++i) Store<B>(d + i * B, Load<B>(s + static_cast<ptrdiff_t>(cols[i]) * B));
}

template <int B>
inline void GatherRowKeyed(uint8_t* d, const uint8_t* s, const int32_t* cols, int n, DWORD k, DWORD mask) {
    for (int i = 0; i < n; ++i) {
        const DWORD p = Load<B>(s + static_cast<ptrdiff_t>(cols[i]) * B);
        if ((p & mask) != k) Store<B>(d + i * B, p);
    }
}

template <int B>
void StretchFastT(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, const StretchArgs& a) {
    const int n = a.x1 - a.x0;
    const size_t rowBytes = static_cast<size_t>(n) * B;
    const bool sameWidth = a.srcW == a.dstW;
    const DWORD k = a.key & a.colorMask;

    // Widths differ: one table of source columns for the whole call.
    Scratch table(Scratch::Columns, sameWidth ? 0 : static_cast<size_t>(n) * sizeof(int32_t));
    int32_t* cols = reinterpret_cast<int32_t*>(table.data());
    if (!sameWidth) {
        for (int x = a.x0; x < a.x1; ++x) {
            const int sx = static_cast<int>(static_cast<int64_t>(x) * a.srcW / a.dstW);
            cols[x - a.x0] = a.mirrorX ? a.srcW - 1 - sx : sx;
        }
    }
    // Widths match: the columns are x0..x1, or srcW - x1..srcW - x0 reversed.
    const int firstColumn = a.mirrorX ? a.srcW - a.x1 : a.x0;

    int lastSy = -1;
    const uint8_t* lastRow = nullptr;
    for (int y = a.y0; y < a.y1; ++y) {
        int sy = static_cast<int>(static_cast<int64_t>(y) * a.srcH / a.dstH);
        if (a.mirrorY) sy = a.srcH - 1 - sy;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch + static_cast<ptrdiff_t>(a.x0) * B;
        if (!a.keyed && sy == lastSy) {
            std::memcpy(d, lastRow, rowBytes);
            lastRow = d;
            continue;
        }
        const uint8_t* s = src + static_cast<ptrdiff_t>(sy) * srcPitch;
        if (sameWidth) {
            const uint8_t* first = s + static_cast<ptrdiff_t>(firstColumn) * B;
            if (a.mirrorX) {
                if (a.keyed)
                    ReverseRowKeyed<B>(d, first, n, k, a.colorMask);
                else
                    ReverseRow<B>(d, first, n);
            } else if (a.keyed) {
                if constexpr (B == 3)
                    KeyedRowScalar<B>(d, first, n, k, a.colorMask);
                else
                    KeyedRowSse2<B>(d, first, n, k, a.colorMask);
            } else {
                std::memcpy(d, first, rowBytes);
            }
        } else if (a.keyed) {
            GatherRowKeyed<B>(d, s, cols, n, k, a.colorMask);
        } else {
            GatherRow<B>(d, s, cols, n);
        }
        lastSy = sy;
        lastRow = d;
    }
}

// ---------------------------------------------------------------------------
// Spans.

// h rows of runs onto a destination block whose row r starts at
// dst + r * pitch; the block's left edge is `left` bytes into a source row.
struct RunBlock {
    const KeySpans::Run* runs;
    const uint32_t* rowStart;  // of the block's first row
    const uint8_t* pixels;
    uint8_t* dst;
    LONG pitch;
    uint32_t left, right;  // bytes
    bool whole;            // the block spans every column
    int h;
};

template <class C>
__attribute__((always_inline)) inline void CopyRuns(const RunBlock& b) {
    uint8_t* row = b.dst;
    for (int r = 0; r < b.h; ++r, row += b.pitch) {
        const KeySpans::Run* run = b.runs + b.rowStart[r];
        const KeySpans::Run* end = b.runs + b.rowStart[r + 1];
        if (b.whole) {
            for (; run != end; ++run) C::Bytes(row + run->x, b.pixels + run->offset, run->n);
            continue;
        }
        if (b.left > 0) {
            // The first run that reaches past the left edge.
            const uint32_t left = b.left;
            if (end - run > 8)
                run = std::partition_point(run, end, [left](const KeySpans::Run& a) { return a.x + a.n <= left; });
            else
                while (run != end && run->x + run->n <= left) ++run;
        }
        for (; run != end && run->x < b.right; ++run) {
            const uint32_t lo = std::max(run->x, b.left);
            const uint32_t hi = std::min(run->x + run->n, b.right);
            C::Bytes(row + (lo - b.left), b.pixels + run->offset + (lo - run->x), hi - lo);
        }
    }
}

void CopyRunsSse2(const RunBlock& b) { CopyRuns<CopySse2>(b); }
__attribute__((target("avx2"))) void CopyRunsAvx2(const RunBlock& b) { CopyRuns<CopyAvx2>(b); }

// Below this many pixels per opaque run on average (the key runs between
// included), copying run by run loses to the vector loop: measured on
// random runs at 16 and 32 bits, the two cross near 20.
const int kMinPixelsPerRun = 20;

template <int B>
bool ScanRuns(const uint8_t* bits, LONG pitch, int w, int h, DWORD k, DWORD mask, size_t limit,
              std::vector<uint32_t>* rowStart, std::vector<KeySpans::Run>* out, std::vector<uint8_t>* pixels) {
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * pitch;
        rowStart->push_back(static_cast<uint32_t>(out->size()));
        int x = 0;
        while (x < w) {
            while (x < w && (Load<B>(row + x * B) & mask) == k) ++x;
            const int start = x;
            while (x < w && (Load<B>(row + x * B) & mask) != k) ++x;
            if (x == start) continue;
            out->push_back(KeySpans::Run{static_cast<uint32_t>(start * B), static_cast<uint32_t>((x - start) * B),
                                         static_cast<uint32_t>(pixels->size())});
            pixels->insert(pixels->end(), row + start * B, row + x * B);
        }
        if (out->size() > limit) return false;
    }
    rowStart->push_back(static_cast<uint32_t>(out->size()));
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------

bool FastPaths() { return FastFlag().load(std::memory_order_relaxed); }
void SetFastPaths(bool on) { FastFlag().store(on, std::memory_order_relaxed); }
void AllowAvx2(bool allow) { g_avx2Allowed.store(allow, std::memory_order_relaxed); }

void CopyKeyedFast(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel, int w, int h,
                   DWORD key, DWORD colorMask) {
    const DWORD k = key & colorMask;
    switch (bytesPerPixel) {
        case 1: KeyedBlock<1>(dst, dstPitch, src, srcPitch, w, h, k, colorMask); break;
        case 2: KeyedBlock<2>(dst, dstPitch, src, srcPitch, w, h, k, colorMask); break;
        case 4: KeyedBlock<4>(dst, dstPitch, src, srcPitch, w, h, k, colorMask); break;
        default: CopyKeyed(dst, dstPitch, src, srcPitch, bytesPerPixel, w, h, key, colorMask); break;
    }
}

void StretchFast(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel,
                 const StretchArgs& args) {
    if (NothingToStretch(args)) return;
    switch (bytesPerPixel) {
        case 1: StretchFastT<1>(dst, dstPitch, src, srcPitch, args); break;
        case 2: StretchFastT<2>(dst, dstPitch, src, srcPitch, args); break;
        case 3: StretchFastT<3>(dst, dstPitch, src, srcPitch, args); break;
        case 4: StretchFastT<4>(dst, dstPitch, src, srcPitch, args); break;
        default: break;
    }
}

bool KeySpans::Build(const uint8_t* bits, LONG pitch, int bytesPerPixel, int w, int h, DWORD key, DWORD colorMask) {
    m_key = key & colorMask;
    m_rowStart.clear();
    m_runs.clear();
    m_pixels.clear();
    m_rowBytes = static_cast<uint32_t>(w) * static_cast<uint32_t>(bytesPerPixel);
    if (w <= 0 || h <= 0 || w > 32768) return false;
    // At least one run per row is always worth it.
    const size_t limit = std::max<size_t>(static_cast<size_t>(w) * h / kMinPixelsPerRun, static_cast<size_t>(h));
    m_rowStart.reserve(static_cast<size_t>(h) + 1);
    bool ok = false;
    switch (bytesPerPixel) {
        case 1: ok = ScanRuns<1>(bits, pitch, w, h, m_key, colorMask, limit, &m_rowStart, &m_runs, &m_pixels); break;
        case 2: ok = ScanRuns<2>(bits, pitch, w, h, m_key, colorMask, limit, &m_rowStart, &m_runs, &m_pixels); break;
        case 3: ok = ScanRuns<3>(bits, pitch, w, h, m_key, colorMask, limit, &m_rowStart, &m_runs, &m_pixels); break;
        case 4: ok = ScanRuns<4>(bits, pitch, w, h, m_key, colorMask, limit, &m_rowStart, &m_runs, &m_pixels); break;
        default: break;
    }
    if (!ok) {
        m_rowStart = std::vector<uint32_t>();
        m_runs = std::vector<Run>();
        m_pixels = std::vector<uint8_t>();
        return false;
    }
    return true;
}

void KeySpans::Copy(uint8_t* dst, LONG dstPitch, int bytesPerPixel, int sx, int sy, int w, int h) const {
    const uint32_t left = static_cast<uint32_t>(sx) * static_cast<uint32_t>(bytesPerPixel);
    const uint32_t right = static_cast<uint32_t>(sx + w) * static_cast<uint32_t>(bytesPerPixel);
    RunBlock b;
    b.runs = m_runs.data();
    b.rowStart = m_rowStart.data() + sy;
    b.pixels = m_pixels.data();
    b.dst = dst;
    b.pitch = dstPitch;
    b.left = left;
    b.right = right;
    b.whole = left == 0 && right == m_rowBytes;
    b.h = h;
    if (HaveAvx2())
        CopyRunsAvx2(b);
    else
        CopyRunsSse2(b);
}

namespace {
// Requests above this get a buffer of their own rather than growing the
// kept one for good.
const size_t kScratchKeep = size_t(8) << 20;
thread_local std::vector<uint8_t> t_scratch[Scratch::kSlots];
}  // namespace

Scratch::Scratch(Slot slot, size_t bytes) : m_data(nullptr) {
    if (bytes == 0) return;
    if (bytes > kScratchKeep) {
        m_own.resize(bytes);
        m_data = m_own.data();
        return;
    }
    std::vector<uint8_t>& kept = t_scratch[slot];
    if (kept.size() < bytes) kept.resize(std::min(std::max(bytes, kept.size() * 2), kScratchKeep));
    m_data = kept.data();
}

}  // namespace blit
}  // namespace platform
}  // namespace qndx
