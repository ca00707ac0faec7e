// Software drawing on a surface: the per-kind pixel routines (put, blend, get,
// vertical and horizontal lines for 15-, 16-, 24- and 32-bit pixels), chosen
// once per surface, and the drawing operations built on them (rectangles,
// fills, blended rectangles, lines, anti-aliased lines, circles, rounded
// rectangles). The routines work on the locked pixel memory only; every
// memory access goes through memcpy so odd pitches and addresses are safe.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "pixels/Access.h"
#include "pixels/Pixels.h"

namespace {

inline int ClampAlpha(WORD alpha) { return alpha > 256 ? 256 : alpha; }

namespace px = qndx::pixels;  // Load<B> and Store<B>: one pixel of B bytes

}  // namespace

// ---------------------------------------------------------------------------
// Routine table

template <int Bytes, int Kind>
void CQNDXSurface::UsePixelRoutines() {
    m_pfnPutPixel = &CQNDXSurface::PutPixelOf<Bytes>;
    m_pfnBlendPixel = &CQNDXSurface::BlendPixelOf<Bytes, Kind>;
    m_pfnGetPixel = &CQNDXSurface::GetPixelOf<Bytes>;
    m_pfnVLine = &CQNDXSurface::VLineOf<Bytes>;
    m_pfnHLine = &CQNDXSurface::HLineOf<Bytes>;
}

void CQNDXSurface::SetupPixelFunctions() {
    m_pfnPutPixel = nullptr;
    m_pfnBlendPixel = nullptr;
    m_pfnGetPixel = nullptr;
    m_pfnVLine = nullptr;
    m_pfnHLine = nullptr;
    switch (m_PixelFormat.Kind) {
        case 15: UsePixelRoutines<2, 15>(); break;
        case 16: UsePixelRoutines<2, 16>(); break;
        case 24: UsePixelRoutines<3, 24>(); break;
        case 32: UsePixelRoutines<4, 32>(); break;
        default: break;
    }
}

int CQNDXSurface::__BytesPerPixel() const {
    switch (m_PixelFormat.Kind) {
        case 15:
        case 16:
            return 2;
        case 24:
            return 3;
        case 32:
            return 4;
        default:
            return 0;
    }
}

// The part of the clip rectangle that the locked memory really covers; false
// (nothing may be touched) while the surface is not locked.
bool CQNDXSurface::__LockedClip(RECT* bounds) const {
    if (m_LockCount == 0 || !m_Desc.lpSurface) return false;
    *bounds = m_ClipRect;
    if (bounds->left < 0) bounds->left = 0;
    if (bounds->top < 0) bounds->top = 0;
    if (bounds->right > static_cast<LONG>(m_Desc.dwWidth)) bounds->right = static_cast<LONG>(m_Desc.dwWidth);
    if (bounds->bottom > static_cast<LONG>(m_Desc.dwHeight)) bounds->bottom = static_cast<LONG>(m_Desc.dwHeight);
    return bounds->left < bounds->right && bounds->top < bounds->bottom;
}

// ---------------------------------------------------------------------------
// Put, blend and get. A pixel is a row span of one.

template <int Bytes>
int CQNDXSurface::PutPixelOf(int x, int y, DWORD colour) { return HLineOf<Bytes>(x, x, y, colour); }

template <int Bytes, int Kind>
int CQNDXSurface::BlendPixelOf(int x, int y, DWORD colour, WORD alpha) {
    return PutPixelOf<Bytes>(x, y, qndx::pixels::BlendColour(Kind, GetPixelOf<Bytes>(x, y), colour, alpha));
}

// Reads have no clip test, but never leave the locked memory.
template <int Bytes>
DWORD CQNDXSurface::GetPixelOf(int x, int y) {
    if (m_LockCount == 0 || !m_Desc.lpSurface) return 0;
    if (x < 0 || y < 0 || x >= static_cast<int>(m_Desc.dwWidth) || y >= static_cast<int>(m_Desc.dwHeight)) return 0;
    return px::Load<Bytes>(__PixelAddress(x, y));
}

// ---------------------------------------------------------------------------
// Lines

namespace {

// Orders a span and cuts it to [lo, hi); false when nothing is left.
inline bool CutSpan(int a, int b, LONG lo, LONG hi, int* first, int* last) {
    if (a > b) std::swap(a, b);
    if (a < lo) a = lo;
    if (b > hi - 1) b = hi - 1;
    if (a > b) return false;
    *first = a;
    *last = b;
    return true;
}

}  // namespace

bool CQNDXSurface::__RowSpan(int x1, int x2, int y, BYTE** first, int* count) const {
    RECT bounds;
    int a, b;
    if (!__LockedClip(&bounds)) return false;
    if (y < bounds.top || y >= bounds.bottom || !CutSpan(x1, x2, bounds.left, bounds.right, &a, &b)) return false;
    *first = __PixelAddress(a, y);
    *count = b - a + 1;
    return true;
}

bool CQNDXSurface::__ColumnSpan(int y1, int y2, int x, BYTE** first, int* count) const {
    RECT bounds;
    int a, b;
    if (!__LockedClip(&bounds)) return false;
    if (x < bounds.left || x >= bounds.right || !CutSpan(y1, y2, bounds.top, bounds.bottom, &a, &b)) return false;
    *first = __PixelAddress(x, a);
    *count = b - a + 1;
    return true;
}

template <int Bytes>
int CQNDXSurface::VLineOf(int y1, int y2, int x, DWORD colour) {
    BYTE* p;
    int count;
    if (!__ColumnSpan(y1, y2, x, &p, &count)) return 0;
    for (; count > 0; --count, p += m_Desc.lPitch) px::Store<Bytes>(p, colour);
    m_bDirty = 1;
    return 0;
}

template <int Bytes>
int CQNDXSurface::HLineOf(int x1, int x2, int y, DWORD colour) {
    BYTE* p;
    int count;
    if (!__RowSpan(x1, x2, y, &p, &count)) return 0;
    if constexpr (Bytes == 2) {
        // Two 16-bit pixels per store.
        if (count & 1) {
            px::Store<2>(p, colour);
            p += 2;
        }
        const DWORD pair = (colour & 0xFFFF) | ((colour & 0xFFFF) << 16);
        for (int n = count / 2; n > 0; --n, p += 4) px::Store<4>(p, pair);
    } else {
        for (; count > 0; --count, p += Bytes) px::Store<Bytes>(p, colour);
    }
    m_bDirty = 1;
    return 0;
}

// ---------------------------------------------------------------------------
// Drawing operations. Each takes its own (possibly nested) lock; on a kind
// without pixel routines they draw nothing and report -1.

namespace {

// The result of a drawing call's closing Unlock: -2 on failure, else 0.
inline int CloseDrawing(CQNDXSurface* s) { return s->Unlock() < 0 ? -2 : 0; }

}  // namespace

int CQNDXSurface::DrawRect(int x1, int y1, int x2, int y2, DWORD colour) {
    if (!HasPixelFunctions()) return -1;
    if (Lock() < 0) return -1;
    HLine(x1, x2, y1, colour);
    HLine(x1, x2, y2, colour);
    VLine(y1, y2, x1, colour);
    VLine(y1, y2, x2, colour);
    return CloseDrawing(this);
}

namespace {

HRESULT ColourFill(IDirectDrawSurface7* surface, RECT* rect, DWORD colour) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = 100;
    fx.dwFillColor = colour;
    return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

}  // namespace

int CQNDXSurface::FillRect(int left, int top, int right, int bottom, DWORD colour) {
    if (!m_pDDSurface) return -1;
    RECT rect = {left, top, right, bottom};
    if (!ClipRect(&rect)) return 0;
    HRESULT hr = ColourFill(m_pDDSurface, &rect, colour);
    if (hr >= 0 && m_iID >= 0) NotifyChanged();
    return hr;
}

int CQNDXSurface::Clear(DWORD colour) {
    if (!m_pDDSurface) return -1;
    HRESULT hr = ColourFill(m_pDDSurface, nullptr, colour);
    if (hr >= 0 && m_iID >= 0) NotifyChanged();
    return hr;
}

namespace {

// Minor-axis offset at step t of a line whose major span is `span` (> 0) and
// minor span `rise`: t * rise / span truncated toward zero. Exact integer
// arithmetic: a floating slope added step by step drifts below whole numbers
// and misses the end point. Magnitudes stay below 2^32, so their product fits
// in 64 unsigned bits.
inline int64_t MinorOffset(int64_t t, int64_t rise, int64_t span) {
    const uint64_t magnitude = static_cast<uint64_t>(rise < 0 ? -rise : rise);
    const uint64_t q = static_cast<uint64_t>(t) * magnitude / static_cast<uint64_t>(span);
    return rise < 0 ? -static_cast<int64_t>(q) : static_cast<int64_t>(q);
}

// A line along a column or a row is one span; false for any other line.
bool StraightLine(CQNDXSurface* s, int x1, int y1, int x2, int y2, DWORD colour) {
    if (x1 == x2)
        s->VLine(y1, y2, x1, colour);
    else if (y1 == y2)
        s->HLine(x1, x2, y1, colour);
    else
        return false;
    return true;
}

}  // namespace

int CQNDXSurface::DrawLine(int x1, int y1, int x2, int y2, DWORD colour) {
    if (!HasPixelFunctions()) return -1;
    if (Lock() < 0) return -1;
    if (StraightLine(this, x1, y1, x2, y2, colour)) return Unlock();
    const int64_t dx = std::llabs(static_cast<int64_t>(x2) - x1);
    const int64_t dy = std::llabs(static_cast<int64_t>(y2) - y1);
    // The walk goes along the major axis (a) and moves on the minor one (b).
    // Steps outside the clip put nothing, so only the visible part of the
    // major axis is walked (a line may run far off the surface).
    const bool steep = dy >= dx;
    int a1 = steep ? y1 : x1, b1 = steep ? x1 : y1, a2 = steep ? y2 : x2, b2 = steep ? x2 : y2;
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const int64_t rise = static_cast<int64_t>(b2) - b1;
    const int64_t from = std::max<int64_t>(a1, steep ? m_ClipRect.top : m_ClipRect.left);
    const int64_t to = std::min<int64_t>(a2, static_cast<int64_t>(steep ? m_ClipRect.bottom : m_ClipRect.right) - 1);
    for (int64_t a = from; a <= to; ++a) {
        const int b = static_cast<int>(b1 + MinorOffset(a - a1, rise, steep ? dy : dx));
        if (steep)
            PutPixel(b, static_cast<int>(a), colour);
        else
            PutPixel(static_cast<int>(a), b, colour);
    }
    return CloseDrawing(this);
}

namespace {

// A wide coordinate as the int the pixel routines take. Beyond the int range
// it lies outside every clip rectangle, and so does the nearest int, so the
// routines' own clip tests still decide.
inline int Coord(int64_t v) {
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The steps k of [first, last] at which base + dir * k lies in [lo, hi):
// a walk along one axis visits only the steps that can reach the clip.
inline void StepsInside(int64_t base, int dir, LONG lo, LONG hi, int64_t* first, int64_t* last) {
    const int64_t from = dir > 0 ? lo - base : base - (static_cast<int64_t>(hi) - 1);
    const int64_t to = dir > 0 ? (static_cast<int64_t>(hi) - 1) - base : base - lo;
    *first = std::max(*first, from);
    *last = std::min(*last, to);
}

}  // namespace

// Wu's line with a 16-bit accumulator. After k steps the accumulator holds
// k * adj mod 2^16 and the minor axis has moved once per wrap, that is
// floor(k * adj / 2^16) times, so the walk starts at the first step that
// reaches the clip rectangle and ends at the last. A step of 0 (a long axis
// over 65536 times the short one) never wraps: such a line keeps its row or
// column rather than moving at every step.
int CQNDXSurface::DrawLineAA(int x1, int y1, int x2, int y2, DWORD colour) {
    if (!HasPixelFunctions()) return -1;
    if (Lock() < 0) return -1;
    if (StraightLine(this, x1, y1, x2, y2, colour)) return Unlock();
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    PutPixel(x1, y1, colour);
    const int xdir = x2 >= x1 ? 1 : -1;
    const int64_t dx = std::llabs(static_cast<int64_t>(x2) - x1);
    const int64_t dy = static_cast<int64_t>(y2) - y1;
    if (dx == dy) {
        DrawLine(x1, y1, x2, y2, colour);
        return Unlock();
    }
    const bool steep = dy > dx;
    const int64_t major = steep ? dy : dx;
    const uint64_t adj = ((static_cast<uint64_t>(steep ? dx : dy) << 16) / static_cast<uint64_t>(major)) & 0xFFFF;
    RECT bounds;
    if (!__LockedClip(&bounds)) bounds = RECT{0, 0, 0, 0};
    int64_t first = 1, last = major - 1;
    if (steep)
        StepsInside(y1, 1, bounds.top, bounds.bottom, &first, &last);
    else
        StepsInside(x1, xdir, bounds.left, bounds.right, &first, &last);
    for (int64_t k = first; k <= last; ++k) {
        const uint64_t sum = static_cast<uint64_t>(k) * adj;
        const int64_t wraps = static_cast<int64_t>(sum >> 16);
        const WORD w = static_cast<WORD>((sum & 0xFFFF) >> 8);
        if (steep) {
            const int64_t x = x1 + xdir * wraps;
            BlendPixel(Coord(x), Coord(y1 + k), colour, static_cast<WORD>(w ^ 255));
            BlendPixel(Coord(x + xdir), Coord(y1 + k), colour, w);
        } else {
            const int64_t x = x1 + xdir * k;
            BlendPixel(Coord(x), Coord(y1 + wraps), colour, static_cast<WORD>(w ^ 255));
            BlendPixel(Coord(x), Coord(y1 + wraps + 1), colour, w);
        }
    }
    PutPixel(x2, y2, colour);
    return CloseDrawing(this);
}

namespace {

// The circle walk of radius r: step i puts the points (+-i, +-j) and
// (+-j, +-i) around a centre, with j = round(sqrt(r^2 - i^2)) (j = r at step
// 0), for as long as i <= j. This is j at a step i >= 1, -1 when the radicand
// is negative. |r| and i are at most 2^31, so their squares fit.
inline int64_t CircleJ(int64_t r, int64_t i) {
    const int64_t radicand = r * r - i * i;
    if (radicand < 0) return -1;
    return static_cast<int64_t>(std::sqrt(static_cast<double>(radicand)) + 0.5);
}

// The last step of the walk. j falls as i rises, so i <= j holds up to some
// step and never again: the end is found by bisection, not by walking.
int64_t LastCircleStep(int64_t r) {
    int64_t good = 0, bad = std::llabs(r) + 1;  // i <= j at step 0; i > |r| has no j
    while (bad - good > 1) {
        const int64_t mid = good + (bad - good) / 2;
        (CircleJ(r, mid) >= mid ? good : bad) = mid;
    }
    return good;
}

// Puts the arcs of a circle walk about four corner centres: the right arcs
// about column xr, the left about xl, the upper about row yt, the lower about
// yb (a circle has all four on its centre). Every point has a coordinate
// xr + i, xl - i, yt - i or yb + i, so only the steps that put one of those
// inside the clip rectangle can show, at most as many as the clip is wide and
// high; those are walked in rising order.
void PutArcs(CQNDXSurface* s, const RECT& clip, int64_t xl, int64_t xr, int64_t yt, int64_t yb, int r,
             DWORD colour) {
    const int64_t end = LastCircleStep(r);
    struct Span {
        int64_t first, last;
    } spans[4] = {{0, end}, {0, end}, {0, end}, {0, end}};
    StepsInside(xr, 1, clip.left, clip.right, &spans[0].first, &spans[0].last);
    StepsInside(xl, -1, clip.left, clip.right, &spans[1].first, &spans[1].last);
    StepsInside(yt, -1, clip.top, clip.bottom, &spans[2].first, &spans[2].last);
    StepsInside(yb, 1, clip.top, clip.bottom, &spans[3].first, &spans[3].last);
    std::sort(std::begin(spans), std::end(spans), [](const Span& a, const Span& b) { return a.first < b.first; });
    auto put = [s, colour](int64_t x, int64_t y) { s->PutPixel(Coord(x), Coord(y), colour); };
    int64_t next = 0;  // steps below this are done
    for (const Span& span : spans) {
        if (span.first > span.last) continue;
        for (int64_t i = std::max(span.first, next); i <= span.last; ++i) {
            const int64_t j = i == 0 ? r : CircleJ(r, i);
            put(xr + i, yt - j);
            put(xr + j, yt - i);
            put(xl - j, yt - i);
            put(xl - i, yt - j);
            put(xr + i, yb + j);
            put(xr + j, yb + i);
            put(xl - i, yb + j);
            put(xl - j, yb + i);
        }
        next = std::max(next, span.last + 1);
    }
}

}  // namespace

int CQNDXSurface::DrawCircle(int cx, int cy, int radius, DWORD colour) {
    if (!HasPixelFunctions()) return -1;
    if (Lock() < 0) return -1;
    RECT bounds;
    if (__LockedClip(&bounds)) PutArcs(this, bounds, cx, cx, cy, cy, radius, colour);
    return CloseDrawing(this);
}

int CQNDXSurface::FillCircle(int cx, int cy, int radius, DWORD colour) {
    if (!HasPixelFunctions()) return -1;
    int64_t top = static_cast<int64_t>(cy) - radius;
    if (top < m_ClipRect.top) top = m_ClipRect.top;
    if (top > m_ClipRect.bottom) return 0;
    int64_t bottom = static_cast<int64_t>(cy) + radius;
    if (bottom > m_ClipRect.bottom) bottom = m_ClipRect.bottom;
    if (bottom < m_ClipRect.top) return 0;
    if (Lock() < 0) return -1;
    // Rows outside the locked clip would draw nothing. The rows walked lie
    // within the radius of the centre, so CircleJ's bounds hold.
    RECT bounds;
    if (!__LockedClip(&bounds)) bounds = RECT{0, 0, 0, 0};
    top = std::max<int64_t>(top, bounds.top);
    bottom = std::min<int64_t>(bottom, bounds.bottom);
    for (int64_t y = top; y < bottom; ++y) {
        const int64_t half = CircleJ(radius, cy - y);
        if (half < 0) continue;
        HLine(Coord(cx - half), Coord(cx + half), static_cast<int>(y), colour);
    }
    return CloseDrawing(this);
}

int CQNDXSurface::DrawRoundRect(int x1, int y1, int x2, int y2, int radius, DWORD colour) {
    if (!HasPixelFunctions()) return -1;
    if (Lock() < 0) return -1;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const int64_t r = radius;
    HLine(Coord(x1 + r), Coord(x2 - r), y1, colour);
    HLine(Coord(x1 + r), Coord(x2 - r), y2, colour);
    VLine(Coord(y1 + r), Coord(y2 - r), x1, colour);
    VLine(Coord(y1 + r), Coord(y2 - r), x2, colour);
    RECT bounds;
    if (__LockedClip(&bounds)) PutArcs(this, bounds, x1 + r, x2 - r, y1 + r, y2 - r, radius, colour);
    return CloseDrawing(this);
}

// ---------------------------------------------------------------------------
// Blended rectangle

int CQNDXSurface::BlendRect(int left, int top, int right, int bottom, WORD alpha, DWORD colour) {
    if (!m_pDDSurface || !m_pVideoEngine) return -1;
    RECT area = {left, top, right, bottom};
    if (!ClipRect(&area)) return 0;
    const int w = area.right - area.left;
    const int h = area.bottom - area.top;

    // Engine buffers and unregistered surfaces are worked on through a
    // system-memory copy of the area.
    CQNDXSurface* temp = nullptr;
    if (m_iID < 0) {
        temp = new (std::nothrow) CQNDXSurface();
        if (temp) {
            temp->Create(m_pVideoEngine, w, h);
            if (!temp->GetDDSurface() || temp->GetPixelKind() != GetPixelKind()) {
                delete temp;
                temp = nullptr;
            } else {
                RECT source = area;
                if (temp->GetDDSurface()->BltFast(0, 0, m_pDDSurface, &source, DDBLTFAST_WAIT) < 0 ||
                    temp->Lock() < 0) {
                    delete temp;
                    return -1;
                }
            }
        }
    }
    CQNDXSurface* work = temp ? temp : this;
    RECT workArea = temp ? RECT{0, 0, w, h} : area;
    if (!temp && Lock() < 0) return -1;

    const int a = ClampAlpha(alpha);
    const DWORD kind = work->GetPixelKind();
    const int bpp = work->__BytesPerPixel();
    BYTE* bits = static_cast<BYTE*>(work->m_Desc.lpSurface);
    // The locked memory bounds the work area as well as the clip rectangle.
    if (workArea.right > static_cast<LONG>(work->m_Desc.dwWidth)) workArea.right = work->m_Desc.dwWidth;
    if (workArea.bottom > static_cast<LONG>(work->m_Desc.dwHeight)) workArea.bottom = work->m_Desc.dwHeight;
    if (bits && bpp > 0 && workArea.left < workArea.right && workArea.top < workArea.bottom)
        qndx::pixels::BlendColourRect(bits + static_cast<ptrdiff_t>(workArea.top) * work->m_Desc.lPitch +
                                          static_cast<ptrdiff_t>(workArea.left) * bpp,
                                      work->m_Desc.lPitch, workArea.right - workArea.left,
                                      workArea.bottom - workArea.top, kind, colour, a);

    if (!temp) {
        m_bDirty = 1;
        return CloseDrawing(this);
    }
    temp->Unlock();
    RECT whole = {0, 0, w, h};
    HRESULT hr = m_pDDSurface->BltFast(area.left, area.top, temp->GetDDSurface(), &whole, DDBLTFAST_WAIT);
    delete temp;
    return hr < 0 ? -1 : 0;
}
