// The blit frame of both layers (see pixels/Frame.h).
#include "pixels/Frame.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace qndx {
namespace pixels {

namespace {

std::atomic<bool> g_trace(false);
thread_local LoopRun t_last;

inline void Ran(Loop loop, const void* fn, int w, int h) {
    if (g_trace.load(std::memory_order_relaxed)) t_last = LoopRun{loop, fn, w, h};
}

// KeySpans::Copy as a plain address for the trace.
void SpansCopy() {}

inline uint8_t* At(const Plane& p, int x, int y, int bpp) {
    return p.bits + static_cast<ptrdiff_t>(y) * p.pitch + static_cast<ptrdiff_t>(x) * bpp;
}

// BytesPerPixel and KeyBits, inline: a small blit pays for every call.
inline int Bytes(uint32_t kind) { return kind == 8 ? 1 : kind == 15 || kind == 16 ? 2 : kind == 24 ? 3 : kind == 32 ? 4 : 0; }
inline uint32_t Compared(int bytes) { return bytes == 1 ? 0xFFu : bytes == 2 ? 0xFFFFu : 0xFFFFFFu; }

// An area as pointers into two planes.
struct Block {
    uint8_t* dst;
    ptrdiff_t dstPitch;
    const uint8_t* src;
    ptrdiff_t srcPitch;
    int w, h;
};

// The block of `a`, cut at the right and bottom edges of both planes; an
// area starting outside either plane leaves nothing. False when empty.
inline bool MakeBlock(const Plane& dst, const Plane& src, const Area& a, int bpp, Block* out) {
    if (a.sx < 0 || a.sy < 0 || a.dx < 0 || a.dy < 0 || bpp == 0) return false;
    int64_t w = a.w, h = a.h;
    if (w > static_cast<int64_t>(src.width) - a.sx) w = static_cast<int64_t>(src.width) - a.sx;
    if (w > static_cast<int64_t>(dst.width) - a.dx) w = static_cast<int64_t>(dst.width) - a.dx;
    if (h > static_cast<int64_t>(src.height) - a.sy) h = static_cast<int64_t>(src.height) - a.sy;
    if (h > static_cast<int64_t>(dst.height) - a.dy) h = static_cast<int64_t>(dst.height) - a.dy;
    if (w <= 0 || h <= 0) return false;
    *out = Block{At(dst, a.dx, a.dy, bpp), dst.pitch, At(src, a.sx, a.sy, bpp), src.pitch, static_cast<int>(w),
                 static_cast<int>(h)};
    return true;
}

// Whether two blocks (first pixel, pitch, row bytes, rows) may share a
// byte. Exact for blocks of one shape and pitch, whose row gaps may let
// interleaved blocks pass; otherwise whether their address ranges meet,
// which is enough where it only decides whether a source is copied aside.
bool Share(const uint8_t* a, ptrdiff_t aPitch, size_t aRow, int aH, const uint8_t* b, ptrdiff_t bPitch, size_t bRow,
           int bH) {
    if (aH <= 0 || bH <= 0 || aRow == 0 || bRow == 0) return false;
    auto lo = [](const uint8_t* p, ptrdiff_t pitch, int h) { return pitch >= 0 ? p : p + (h - 1) * pitch; };
    auto hi = [](const uint8_t* p, ptrdiff_t pitch, size_t row, int h) {
        return (pitch >= 0 ? p + (h - 1) * pitch : p) + row;
    };
    // Blocks of different surfaces never get past this.
    if (hi(a, aPitch, aRow, aH) <= lo(b, bPitch, bH) || hi(b, bPitch, bRow, bH) <= lo(a, aPitch, aH)) return false;
    if (aPitch != bPitch || aRow != bRow || aH != bH || aPitch == 0) return true;
    // Rows i of a and j of b overlap when their starts are less than a row apart.
    const ptrdiff_t d = b - a, row = static_cast<ptrdiff_t>(aRow);
    for (ptrdiff_t k = -(aH - 1); k <= aH - 1; ++k) {
        const ptrdiff_t off = d + k * aPitch;
        if (off > -row && off < row) return true;
    }
    return false;
}

// The source rows copied into `aside`, which then stands for them.
void CopyAside(Scratch* aside, const uint8_t** src, ptrdiff_t* srcPitch, size_t rowBytes, int h) {
    uint8_t* to = aside->data();
    for (int row = 0; row < h; ++row) std::memcpy(to + row * rowBytes, *src + row * *srcPitch, rowBytes);
    *src = to;
    *srcPitch = static_cast<ptrdiff_t>(rowBytes);
}

}  // namespace

bool BlocksOverlap(const uint8_t* a, ptrdiff_t aPitch, const uint8_t* b, ptrdiff_t bPitch, size_t rowBytes, int h) {
    return Share(a, aPitch, rowBytes, h, b, bPitch, rowBytes, h);
}

bool ClipArea(Area* a, int left, int top, int right, int bottom) {
    const int64_t l = std::max<int64_t>(a->dx, left), t = std::max<int64_t>(a->dy, top);
    const int64_t r = std::min<int64_t>(static_cast<int64_t>(a->dx) + a->w, right);
    const int64_t b = std::min<int64_t>(static_cast<int64_t>(a->dy) + a->h, bottom);
    if (l >= r || t >= b) return false;
    a->sx = static_cast<int>(a->sx + (l - a->dx));
    a->sy = static_cast<int>(a->sy + (t - a->dy));
    a->dx = static_cast<int>(l);
    a->dy = static_cast<int>(t);
    a->w = static_cast<int>(r - l);
    a->h = static_cast<int>(b - t);
    return true;
}

// ------------------------------------------------------------------ spans

namespace {

// The memos by their plane's first pixel. Looked up only for blocks large
// enough for a span form to pay, so a lock here is nothing beside the copy.
std::mutex g_memosLock;
std::unordered_map<const uint8_t*, SpanMemo*>& Memos() {
    static auto* memos = new std::unordered_map<const uint8_t*, SpanMemo*>();
    return *memos;
}

}  // namespace

SpanMemo::~SpanMemo() { Attach(Plane{}); }

SpanMemo* SpanMemo::Of(const uint8_t* bits) {
    std::lock_guard<std::mutex> hold(g_memosLock);
    auto at = Memos().find(bits);
    return at == Memos().end() ? nullptr : at->second;
}

void SpanMemo::Reattach(const Plane& plane) {
    // New memory (a flip, a restore): nothing counted applies to it.
    Drop();
    std::lock_guard<std::mutex> hold(g_memosLock);
    auto at = Memos().find(m_plane.bits);
    if (at != Memos().end() && at->second == this) Memos().erase(at);
    m_plane = plane;
    try {
        if (plane.bits) Memos()[plane.bits] = this;
    } catch (const std::bad_alloc&) {
        m_plane = Plane{};  // found only through its owner
    }
}

const KeySpans* SpanMemo::Find(const Plane& plane, uint32_t maskedKey) {
    if (m_heldOff) return nullptr;
    Attach(plane);
    if (m_state != State::None) {
        if (m_key == maskedKey) return m_state == State::Built ? &m_spans : nullptr;
        Drop();  // another key (an override)
    }
    if (m_uses == 0 || m_key != maskedKey) {
        m_key = maskedKey;
        m_uses = 1;
        return nullptr;
    }
    try {
        const bool built = m_spans.Build(plane.bits, plane.pitch, plane.kind, plane.width, plane.height, maskedKey);
        m_state = built ? State::Built : State::Refused;
    } catch (const std::bad_alloc&) {
        m_spans = KeySpans();  // the keyed loop does without
        m_state = State::Refused;
    }
    return m_state == State::Built ? &m_spans : nullptr;
}

// ------------------------------------------------------------------- blits

namespace {

// The loop of a keyed copy, a scaling or an effect over a block.
bool Run(const Block& b, uint32_t kind, const Job& job) {
    switch (job.op) {
        case Op::Keyed: {
            const KeyedFn keyed = KeyedCopy(kind);
            if (!keyed) return false;
            Ran(Loop::Keyed, reinterpret_cast<const void*>(keyed), b.w, b.h);
            keyed(b.dst, b.dstPitch, b.src, b.srcPitch, b.w, b.h, job.key);
            return true;
        }
        case Op::Scale: {
            const ScaleFn scale = ScaleCopy(kind);
            if (!scale) return false;
            Ran(Loop::Scale, reinterpret_cast<const void*>(scale), b.w, b.h);
            scale(b.dst, b.dstPitch, b.src, b.srcPitch, b.w, b.h, job.weight);
            return true;
        }
        default: {
            const EffectFn effect = EffectFor(job.effect, kind);
            if (!effect) return false;
            const bool reads = ReadsSource(job.effect);
            Ran(Loop::Effect, reinterpret_cast<const void*>(effect), b.w, b.h);
            effect(b.dst, b.dstPitch, reads ? b.src : nullptr, reads ? b.srcPitch : 0, b.w, b.h,
                   EffectArgs{job.weight, job.key});
            return true;
        }
    }
}

}  // namespace

bool Blit(const Plane& dst, const Plane& src, const Area& a, const Job& job) {
    const uint32_t kind = dst.kind;
    const int bpp = Bytes(kind);
    const bool reads = job.op != Op::Effect || ReadsSource(job.effect);
    if (reads && src.kind != kind) return false;
    Block b;
    if (!MakeBlock(dst, reads ? src : dst, reads ? a : Area{a.dx, a.dy, a.dx, a.dy, a.w, a.h}, bpp, &b)) return false;

    if (job.op == Op::Copy) {
        // The copy loops take overlapping blocks themselves.
        const CopyFn copy = PlainCopy(kind);
        if (!copy) return false;
        Ran(Loop::Copy, reinterpret_cast<const void*>(copy), b.w, b.h);
        copy(b.dst, b.dstPitch, b.src, b.srcPitch, b.w, b.h);
        return true;
    }
    // Planes whose first pixels differ are different surfaces, which never
    // share memory.
    const bool onePlane = src.bits == dst.bits;
    // A key with bits beyond the compared ones matches nothing, which the span
    // form (built with the compared bits) cannot say.
    if (job.op == Op::Keyed && (job.spans || job.findSpans) && !onePlane && (job.key & ~Compared(bpp)) == 0 &&
        SpansPay(kind, b.w, b.h)) {
        SpanMemo* memo = job.spans ? job.spans : SpanMemo::Of(src.bits);
        if (const KeySpans* spans = memo ? memo->For(src, job.key) : nullptr) {
            Ran(Loop::Spans, reinterpret_cast<const void*>(&SpansCopy), b.w, b.h);
            spans->Copy(b.dst, b.dstPitch, a.sx, a.sy, b.w, b.h);
            return true;
        }
    }
    // The other loops read the source while writing: a source sharing memory
    // with the destination is read whole first.
    const size_t rowBytes = static_cast<size_t>(b.w) * bpp;
    if (reads && onePlane && Share(b.dst, b.dstPitch, rowBytes, b.h, b.src, b.srcPitch, rowBytes, b.h)) {
        Scratch scratch(Scratch::Aside, rowBytes * b.h);
        CopyAside(&scratch, &b.src, &b.srcPitch, rowBytes, b.h);
        return Run(b, kind, job);
    }
    return Run(b, kind, job);
}

void StretchBlit(const Plane& dst, const Plane& src, int sx, int sy, int dx, int dy, const StretchArgs& args) {
    const int bpp = Bytes(dst.kind);
    if (bpp == 0 || args.x1 <= args.x0 || args.y1 <= args.y0) return;
    const uint8_t* from = At(src, sx, sy, bpp);
    ptrdiff_t pitch = src.pitch;
    const size_t row = static_cast<size_t>(args.srcW) * bpp;
    const bool aside = src.bits == dst.bits && Share(At(dst, dx + args.x0, dy + args.y0, bpp), dst.pitch,
                                                     static_cast<size_t>(args.x1 - args.x0) * bpp, args.y1 - args.y0,
                                                     from, pitch, row, args.srcH);
    Scratch scratch(Scratch::Aside, aside ? row * args.srcH : 0);
    if (aside) CopyAside(&scratch, &from, &pitch, row, args.srcH);
    Ran(Loop::Stretch, reinterpret_cast<const void*>(&Stretch), args.x1 - args.x0, args.y1 - args.y0);
    Stretch(At(dst, dx, dy, bpp), dst.pitch, from, pitch, dst.kind, args);
}

void TraceLoops(bool on) {
    g_trace.store(on, std::memory_order_relaxed);
    t_last = LoopRun{};
}

LoopRun LastLoop() { return t_last; }

}  // namespace pixels
}  // namespace qndx
