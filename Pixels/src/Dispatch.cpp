// The one chooser: reads the processor once, builds one table of loops per
// vector level (each level starting from the one below, so a loop without a
// wider form keeps the narrower one), and answers every request for a loop
// from the table of the level in use. The level is the processor's best,
// lowered by QNDX_SIMD (or QNDX_BLIT_NO_FAST=1, meaning none) or SetSimd.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "Levels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define QNDX_PIXELS_X86 1
#endif

namespace qndx {
namespace pixels {

namespace {

#if QNDX_PIXELS_X86 && QNDX_PIXELS_VECTOR
// The register state the operating system saves (XCR0): vector registers
// are only usable when it saves them.
uint64_t SavedState() {
    uint32_t eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return static_cast<uint64_t>(edx) << 32 | eax;
}
#endif

Simd Detect() {
#if QNDX_PIXELS_X86 && QNDX_PIXELS_VECTOR
    uint32_t r[4];
    if (!Cpuid(1, 0, r) || !(r[3] & (1u << 26))) return Simd::None;
    const bool osSaves = (r[2] & (1u << 27)) != 0, avx = (r[2] & (1u << 28)) != 0;
    if (!osSaves || !avx) return Simd::Sse2;
    const uint64_t state = SavedState();
    if ((state & 0x6) != 0x6) return Simd::Sse2;
    if (!Cpuid(7, 0, r) || !(r[1] & (1u << 5))) return Simd::Sse2;
    const bool f = (r[1] & (1u << 16)) != 0, bw = (r[1] & (1u << 30)) != 0;
    if (f && bw && (state & 0xE6) == 0xE6) return Simd::Avx512;
    return Simd::Avx2;
#else
    return Simd::None;
#endif
}

Simd Lower(Simd a, Simd b) { return static_cast<int>(a) < static_cast<int>(b) ? a : b; }

Simd FromEnvironment() {
    const char* name = std::getenv("QNDX_SIMD");
    if (name && *name) {
        Simd asked;
        if (ParseSimd(name, &asked)) return Lower(asked, BestSimd());
        std::fprintf(stderr, "QNDX_SIMD=%s is none of none, sse2, avx2, avx512: using %s\n", name,
                     SimdName(BestSimd()));
    }
    const char* off = std::getenv("QNDX_BLIT_NO_FAST");
    if (off && *off && std::strcmp(off, "0") != 0) return Simd::None;
    return BestSimd();
}

template <int Kind, bool Keyed, bool LeftRight>
void Mirror(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
            const EffectArgs& args) {
    StretchArgs a;
    a.srcW = a.dstW = a.x1 = w;
    a.srcH = a.dstH = a.y1 = h;
    a.mirrorX = LeftRight;
    a.mirrorY = !LeftRight;
    a.keyed = Keyed && EffectKeyPossible<Kind>(args.key);
    a.key = args.key;
    a.wholePixels = true;
    Stretch(dst, dstPitch, src, srcPitch, Kind, a);
}

template <int Kind>
void FillMirrors(EffectFn (&row)[kEffects]) {
    row[static_cast<int>(Effect::MirrorLeftRight)] = Mirror<Kind, false, true>;
    row[static_cast<int>(Effect::MirrorLeftRightKeyed)] = Mirror<Kind, true, true>;
    row[static_cast<int>(Effect::MirrorUpDown)] = Mirror<Kind, false, false>;
    row[static_cast<int>(Effect::MirrorUpDownKeyed)] = Mirror<Kind, true, false>;
}

struct Tables {
    Loops level[4];
    Tables() {
        FillScalar(&level[0]);
        for (int i = 1; i < 4; ++i) level[i] = level[i - 1];
#if QNDX_PIXELS_VECTOR
        FillSse2(&level[1]);
        level[2] = level[1];
        FillAvx2(&level[2]);
        level[3] = level[2];
        FillAvx512(&level[3]);
#endif
        for (Loops& l : level) {
            FillMirrors<15>(l.effect[KindIndexOf(15)]);
            FillMirrors<16>(l.effect[KindIndexOf(16)]);
            FillMirrors<24>(l.effect[KindIndexOf(24)]);
            FillMirrors<32>(l.effect[KindIndexOf(32)]);
        }
        // The scalar level of a build with vector forms is the reference
        // the others are compared with: its keyed copies never take runs.
        if (BestSimd() != Simd::None) level[0].noSpans = true;
    }
};

const Tables& AllTables() {
    static const Tables tables;
    return tables;
}

// The level in use, and its table; -1 and null until the environment has
// been read. Every blit reads the table: one load, no guard of a static.
std::atomic<int> g_level(-1);
std::atomic<const Loops*> g_active(nullptr);
// SetSpansForAllSizes.
std::atomic<bool> g_spansForAllSizes(false);

void Use(Simd level) {
    const int i = static_cast<int>(level);
    g_level.store(i, std::memory_order_relaxed);
    g_active.store(&AllTables().level[i], std::memory_order_release);
}

inline const Loops& Active() {
    const Loops* l = g_active.load(std::memory_order_acquire);
    if (!l) {
        ResetSimd();
        l = g_active.load(std::memory_order_acquire);
    }
    return *l;
}

// ----------------------------------------------------------------- stretch

// A stretched row of three-byte pixels, each moved as one four-byte word:
// the extra byte read is the next source pixel's (every column but the
// last has one), the extra byte written is the next destination pixel's,
// which the next step writes; the row's last pixel is moved alone.
void GatherRow24(uint8_t* d, const uint8_t* s, const int32_t* cols, int n, int srcW) {
    const int lastColumn = srcW - 1;
    for (int i = 0; i + 1 < n; ++i) {
        const uint8_t* p = s + static_cast<ptrdiff_t>(cols[i]) * 3;
        uint32_t v;
        if (cols[i] < lastColumn)
            std::memcpy(&v, p, 4);
        else
            v = Load<3>(p);
        std::memcpy(d + static_cast<ptrdiff_t>(i) * 3, &v, 4);
    }
    Store<3>(d + static_cast<ptrdiff_t>(n - 1) * 3, Load<3>(s + static_cast<ptrdiff_t>(cols[n - 1]) * 3));
}

template <int B>
void StretchRows(const Loops& l, int k, uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch,
                 const StretchArgs& a) {
    const int n = a.x1 - a.x0;
    const size_t rowBytes = static_cast<size_t>(n) * B;
    const bool sameWidth = a.srcW == a.dstW;
    // At 32 bits no masked pixel equals an impossible key: the keyed rows
    // still run, for the top byte they write.
    const bool keyed = a.keyed && (B == 4 || KeyPossible<B>(a.key));
    const uint32_t key = a.key, write = a.wholePixels ? 0xFFFFFFFFu : KeyMask<B>();

    if (a.srcW == a.dstW && a.srcH == a.dstH) {
        // 1:1, mirrored or not: the window's block is one block of the
        // source, walked upwards for an upside-down mirror.
        const int rows = a.y1 - a.y0;
        const int firstColumn = a.mirrorX ? a.srcW - a.x1 : a.x0;
        const int firstRow = a.mirrorY ? a.srcH - 1 - a.y0 : a.y0;
        const ptrdiff_t step = a.mirrorY ? -srcPitch : srcPitch;
        uint8_t* d = dst + static_cast<ptrdiff_t>(a.y0) * dstPitch + static_cast<ptrdiff_t>(a.x0) * B;
        const uint8_t* s = src + static_cast<ptrdiff_t>(firstRow) * srcPitch + static_cast<ptrdiff_t>(firstColumn) * B;
        if (a.mirrorX && keyed)
            l.reverseKeyedBlock[k](d, dstPitch, s, step, n, rows, key, write);
        else if (a.mirrorX)
            l.reverseBlock[k](d, dstPitch, s, step, n, rows);
        else if (keyed)
            l.keyedBlock[k](d, dstPitch, s, step, n, rows, key, write);
        else
            CopyRows(d, dstPitch, s, step, rowBytes, rows);
        return;
    }

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
        // An unkeyed row that reads the source row of the row above copies it.
        if (!keyed && sy == lastSy) {
            std::memcpy(d, lastRow, rowBytes);
            lastRow = d;
            continue;
        }
        const uint8_t* s = src + static_cast<ptrdiff_t>(sy) * srcPitch;
        if (sameWidth) {
            const uint8_t* first = s + static_cast<ptrdiff_t>(firstColumn) * B;
            if (a.mirrorX && keyed)
                l.reverseKeyedRow[k](d, first, n, key, write);
            else if (a.mirrorX)
                l.reverseRow[k](d, first, n);
            else if (keyed)
                l.keyedRow[k](d, first, n, key, write);
            else
                std::memcpy(d, first, rowBytes);
        } else if (B == 3 && !keyed) {
            GatherRow24(d, s, cols, n, a.srcW);
        } else {
            for (int i = 0; i < n; ++i) {
                const uint32_t p = Load<B>(s + static_cast<ptrdiff_t>(cols[i]) * B);
                if (!keyed)
                    Store<B>(d + i * B, p);
                else if ((p & KeyMask<B>()) != key)
                    Store<B>(d + i * B, p & write);
            }
        }
        lastSy = sy;
        lastRow = d;
    }
}

}  // namespace

// ---------------------------------------------------------------- the level

Simd BestSimd() {
    static const Simd best = Detect();
    return best;
}

Simd ActiveSimd() {
    Active();
    return static_cast<Simd>(g_level.load(std::memory_order_relaxed));
}

void SetSimd(Simd most) { Use(Lower(most, BestSimd())); }

void ResetSimd() { Use(FromEnvironment()); }

bool ParseSimd(const char* name, Simd* out) {
    const Simd all[] = {Simd::None, Simd::Sse2, Simd::Avx2, Simd::Avx512};
    for (Simd s : all)
        if (name && std::strcmp(name, SimdName(s)) == 0) {
            *out = s;
            return true;
        }
    return false;
}

const char* SimdName(Simd level) {
    switch (level) {
        case Simd::Sse2: return "sse2";
        case Simd::Avx2: return "avx2";
        case Simd::Avx512: return "avx512";
        default: return "none";
    }
}

bool Cpuid(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
#if QNDX_PIXELS_X86
    if (!HasCpuid()) return false;
    unsigned a = 0, b = 0, c = 0, d = 0;
    // Leaves beyond the highest give zeros, not the processor's repeat of
    // its highest leaf.
    if (__get_cpuid_count(leaf, subleaf, &a, &b, &c, &d)) {
        regs[0] = a;
        regs[1] = b;
        regs[2] = c;
        regs[3] = d;
    }
    return true;
#else
    (void)leaf;
    (void)subleaf;
    return false;
#endif
}

bool HasCpuid() {
#if QNDX_PIXELS_X86
    // Also answers whether the EFLAGS ID bit toggles on 32-bit builds.
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return false;
#endif
}

// ------------------------------------------------------------------- loops

CopyFn PlainCopy(uint32_t kind) {
    const int k = KindIndexOf(kind);
    return k < 0 ? nullptr : Active().copy[k];
}

KeyedFn KeyedCopy(uint32_t kind) {
    const int k = KindIndexOf(kind);
    return k < 0 ? nullptr : Active().keyed[k];
}

EffectFn EffectFor(Effect effect, uint32_t kind) {
    const int k = KindIndexOf(kind);
    const int e = static_cast<int>(effect);
    if (k < 0 || e < 0 || e >= kEffects) return nullptr;
    return Active().effect[k][e];
}

void Stretch(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, uint32_t kind,
             const StretchArgs& a) {
    if (a.x1 <= a.x0 || a.y1 <= a.y0 || a.srcW <= 0 || a.srcH <= 0 || a.dstW <= 0 || a.dstH <= 0) return;
    const Loops& l = Active();
    const int k = KindIndexOf(kind);
    switch (BytesPerPixel(kind)) {
        case 1: StretchRows<1>(l, k, dst, dstPitch, src, srcPitch, a); break;
        case 2: StretchRows<2>(l, k, dst, dstPitch, src, srcPitch, a); break;
        case 3: StretchRows<3>(l, k, dst, dstPitch, src, srcPitch, a); break;
        case 4: StretchRows<4>(l, k, dst, dstPitch, src, srcPitch, a); break;
        default: break;
    }
}

bool SpansPay(uint32_t kind, int w, int h) {
    return KindIndexOf(kind) >= 0 && w > 0 && h > 0 && !Active().noSpans;
}

namespace detail {

uint64_t KeyedLoopCost(uint32_t kind, uint64_t rowBytes, uint64_t rows) {
    const int k = KindIndexOf(kind);
    if (k < 0 || g_spansForAllSizes.load(std::memory_order_relaxed)) return ~uint64_t(0);
    const Loops& l = Active();
    return rowBytes * rows * l.keyedCost[k] / 100 + rows * l.keyedRowCost[k];
}

bool PackSpans(uint64_t bytes) {
    if (g_spansForAllSizes.load(std::memory_order_relaxed)) return true;
    return bytes >= Active().packFrom;
}

}  // namespace detail

void SetSpansForAllSizes(bool on) { g_spansForAllSizes.store(on, std::memory_order_relaxed); }

void KeySpans::Copy(uint8_t* dst, ptrdiff_t dstPitch, int sx, int sy, int w, int h) const {
    RunBlock b;
    b.first = m_runs.data() + m_rowStart[sy];
    b.last = m_runs.data() + m_rowStart[sy + h];
    b.pixels = m_pixels.data();
    b.dst = dst;
    b.pitch = dstPitch;
    b.top = static_cast<uint32_t>(sy);
    b.left = static_cast<uint32_t>(sx) * m_bytesPerPixel;
    b.right = static_cast<uint32_t>(sx + w) * m_bytesPerPixel;
    b.whole = b.left == 0 && b.right == m_rowBytes;
    b.packed = m_packed;
    // Read and written, the runs' bytes do not stay in the first-level cache.
    static const long firstCache = sysconf(_SC_LEVEL1_DCACHE_SIZE);
    b.prefetch = m_pixels.size() * 2 > static_cast<size_t>(firstCache > 0 ? firstCache : 32 << 10);
    Active().runs(b);
}

void BlendColourRect(uint8_t* dst, ptrdiff_t pitch, int w, int h, uint32_t kind, uint32_t colour, uint32_t alpha) {
    Active().colourRect(dst, pitch, w, h, kind, colour, ClampWeight(alpha));
}

RowFn RowFor(Row row, bool fast) {
    const int r = static_cast<int>(row);
    if (r < 0 || r >= kRows) return nullptr;
    return fast ? Active().rows[r] : AllTables().level[0].rows[r];
}

PictureRowFn PictureRow(int srcBits, uint32_t kind, bool fast) {
    const int b = SourceIndexOf(srcBits), k = KindIndexOf(kind);
    if (b < 0 || k < 0) return nullptr;
    return fast ? Active().pictureRows[b][k] : AllTables().level[0].pictureRows[b][k];
}

// The widest level's fence orders whatever any level streamed.
void FinishRows() { AllTables().level[static_cast<int>(BestSimd())].finishRows(); }

}  // namespace pixels
}  // namespace qndx
