// The drawing operations that walk (anti-aliased lines, circles, filled
// circles, rounded rectangles) against plain references written from their
// algorithms in 64-bit integers, on random ordinary numbers and on numbers
// anywhere in the int range; and every drawing call with its numbers at the
// int limits, against the pixels its shape puts on a small surface.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "GraphicsTestSupport.h"

namespace qndx_test {
namespace {

const BYTE kFill = 0xA5;
const int kW = 13, kH = 11;

// Numbers at and near the int limits, and the surface's own neighbourhood.
const int64_t kLimits[] = {INT_MIN, INT_MIN + 1, INT_MIN + 20, -(1 << 30), -70000, -1, 0, 6, 12,
                           70000,   1 << 30,     INT_MAX - 20, INT_MAX - 1, INT_MAX};

// A picked number: mostly near the surface, often at the limits, now and
// then anywhere.
int64_t Pick(std::mt19937& rng) {
    const unsigned roll = rng() % 8;
    if (roll < 4) return static_cast<int64_t>(rng() % 40) - 14;
    if (roll < 7) return kLimits[rng() % (sizeof kLimits / sizeof kLimits[0])];
    return static_cast<int32_t>(rng());
}

// One channel of d moved towards c by a/256, rounding down, at the kind's
// channel positions; nothing outside the channels survives.
DWORD BlendOf(int kind, DWORD d, DWORD c, int a) {
    const int shifts[3] = {0, kind == 15 || kind == 16 ? 5 : 8, kind == 15 ? 10 : kind == 16 ? 11 : 16};
    const int maxima[3] = {kind == 15 || kind == 16 ? 31 : 255, kind == 15 ? 31 : kind == 16 ? 63 : 255,
                           kind == 15 || kind == 16 ? 31 : 255};
    DWORD out = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const int64_t dv = (d >> shifts[ch]) & maxima[ch], cv = (c >> shifts[ch]) & maxima[ch];
        const int64_t num = a * (cv - dv);
        const int64_t step = num >= 0 ? num / 256 : -((-num + 255) / 256);
        out |= static_cast<DWORD>(dv + step) << shifts[ch];
    }
    return out;
}

// What the surface should hold: every pixel, and a clip rectangle that the
// drawing must respect. Puts and blends take 64-bit coordinates.
struct Model {
    int kind;
    RECT clip;
    std::vector<DWORD> px;

    Model(int k, const RECT& c, DWORD background) : kind(k), clip(c), px(kW * kH, background) {}
    bool Inside(int64_t x, int64_t y) const { return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom; }
    void Put(int64_t x, int64_t y, DWORD c) {
        if (Inside(x, y)) px[y * kW + x] = c;
    }
    void Blend(int64_t x, int64_t y, DWORD c, int a) {
        if (Inside(x, y)) px[y * kW + x] = BlendOf(kind, px[y * kW + x], c, a);
    }
};

// Every pixel from (x1, y1) to (x2, y2), ends in either order: a horizontal
// or vertical line of the pixel routines, or a filled rectangle.
void ReferenceSpan(Model* m, int64_t x1, int64_t y1, int64_t x2, int64_t y2, DWORD c) {
    for (int64_t y = std::max<int64_t>(std::min(y1, y2), 0); y <= std::min<int64_t>(std::max(y1, y2), kH - 1); ++y)
        for (int64_t x = std::max<int64_t>(std::min(x1, x2), 0); x <= std::min<int64_t>(std::max(x1, x2), kW - 1); ++x)
            m->Put(x, y, c);
}

// ---------------------------------------------------------------- lines

// Wu's line: the ends ordered top to bottom; the top end put; a diagonal
// drawn as the plain line; else a 16-bit accumulator stepped by adj =
// (short << 16) / long along the long axis, the short axis moving whenever
// the accumulator wraps, the weight its top byte: 255 - w on the pixel the
// walk is on, w on its neighbour; the bottom end put. Straight lines are the
// pixel routines' lines.
//
// A walk of billions of steps is not stepped through: the state after k
// steps is k * adj mod 2^16 with floor(k * adj / 2^16) wraps behind, so the
// walk starts just before the surface and stops just after it.
void ReferenceLineAA(Model* m, int64_t x1, int64_t y1, int64_t x2, int64_t y2, DWORD c) {
    if (x1 == x2 || y1 == y2) {
        ReferenceSpan(m, x1, y1, x2, y2, c);
        return;
    }
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    m->Put(x1, y1, c);
    const int64_t xdir = x2 >= x1 ? 1 : -1;
    const int64_t dx = std::llabs(x2 - x1), dy = y2 - y1;
    if (dx == dy) {
        for (int64_t y = 0; y < kH; ++y)
            for (int64_t x = 0; x < kW; ++x)
                if (OnLine(x1, y1, x2, y2, x, y)) m->Put(x, y, c);
        return;
    }
    const bool steep = dy > dx;
    const int64_t steps = (steep ? dy : dx) - 1;
    const uint64_t adj = (static_cast<uint64_t>(steep ? dx : dy) << 16) / static_cast<uint64_t>(steep ? dy : dx);
    // The long axis meets the surface from step `skip` + 1 on.
    int64_t skip = steep ? -y1 : (xdir > 0 ? -x1 : x1 - (kW - 1));
    skip = std::min(std::max<int64_t>(skip - 1, 0), steps);
    uint64_t acc = (static_cast<uint64_t>(skip) * adj) & 0xFFFF;
    int64_t minor = (steep ? x1 : y1) + (steep ? xdir : 1) * static_cast<int64_t>((skip * adj) >> 16);
    int64_t major = steep ? y1 + skip : x1 + xdir * skip;
    for (int64_t n = skip; n < steps; ++n) {
        const uint64_t sum = acc + adj;
        acc = sum & 0xFFFF;
        if (sum > 0xFFFF) minor += steep ? xdir : 1;
        major += steep ? 1 : xdir;
        const int w = static_cast<int>(acc >> 8);
        if (steep) {
            if (major >= kH) break;
            m->Blend(minor, major, c, w ^ 255);
            m->Blend(minor + xdir, major, c, w);
        } else {
            if (major < 0 || major >= kW) break;
            m->Blend(major, minor, c, w ^ 255);
            m->Blend(major, minor + 1, c, w);
        }
    }
    m->Put(x2, y2, c);
}

// ---------------------------------------------------------------- circles

// The circle walk: i = 0, j = r; put the step's points; i += 1; j =
// trunc(sqrt(r * r - i * i) + 0.5) in double precision, a negative radicand
// ending the walk; on while i <= j.
int64_t WalkJ(int64_t r, int64_t i) {
    if (std::llabs(i) > std::llabs(r)) return -1;  // a negative radicand, whose square might not fit
    const int64_t radicand = r * r - i * i;
    return radicand < 0 ? -1 : static_cast<int64_t>(std::sqrt(static_cast<double>(radicand)) + 0.5);
}

// The walk's points about four corner centres, step by step as the walk
// goes: the arcs right of column xr, left of xl, above row yt, below yb
// (a circle: all on its centre).
template <class Put>
void WalkArcs(int64_t xl, int64_t xr, int64_t yt, int64_t yb, int64_t r, Put put) {
    int64_t i = 0, j = r;
    for (;;) {
        put(xr + i, yt - j);
        put(xr + j, yt - i);
        put(xl - j, yt - i);
        put(xl - i, yt - j);
        put(xr + i, yb + j);
        put(xr + j, yb + i);
        put(xl - i, yb + j);
        put(xl - j, yb + i);
        ++i;
        j = WalkJ(r, i);
        if (j < 0 || i > j) break;
    }
}

// The same points for walks too long to step through, asked pixel by pixel:
// a point of step i sits i away from its centre along one axis and j along
// the other, on the side its arc faces. j shrinks as i grows, so step i is
// reached exactly when i <= j there (step 0 always is).
bool OnArcs(int64_t xl, int64_t xr, int64_t yt, int64_t yb, int64_t r, int64_t x, int64_t y) {
    auto reached = [r](int64_t i) { return i == 0 || (i > 0 && i <= WalkJ(r, i)); };
    auto jAt = [r](int64_t i) { return i == 0 ? r : WalkJ(r, i); };
    const int64_t us[2] = {x - xr, xl - x}, vs[2] = {yt - y, y - yb};
    for (int64_t u : us)
        for (int64_t v : vs) {
            if (u >= 0 && reached(u) && v == jAt(u)) return true;
            if (v >= 0 && reached(v) && u == jAt(v)) return true;
        }
    return false;
}

// The arcs into the model, by walking when the walk is short.
void ReferenceArcs(Model* m, int64_t xl, int64_t xr, int64_t yt, int64_t yb, int64_t r, DWORD c) {
    if (std::llabs(r) <= (1 << 16)) {
        WalkArcs(xl, xr, yt, yb, r, [&](int64_t x, int64_t y) { m->Put(x, y, c); });
        return;
    }
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (OnArcs(xl, xr, yt, yb, r, x, y)) m->Put(x, y, c);
}

// A filled circle: rows from cy - r (or the clip's top) up to but not
// including cy + r (or the clip's bottom), each from cx - half to cx + half
// with half the rounded root at that row.
void ReferenceFillCircle(Model* m, int64_t cx, int64_t cy, int64_t r, DWORD c) {
    for (int64_t y = std::max<int64_t>(cy - r, 0); y < std::min<int64_t>(cy + r, kH); ++y) {
        const int64_t half = WalkJ(r, cy - y);
        if (half < 0) continue;
        for (int64_t x = std::max<int64_t>(cx - half, 0); x <= std::min<int64_t>(cx + half, kW - 1); ++x)
            m->Put(x, y, c);
    }
}

void ReferenceRoundRect(Model* m, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t r, DWORD c) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    ReferenceSpan(m, x1 + r, y1, x2 - r, y1, c);
    ReferenceSpan(m, x1 + r, y2, x2 - r, y2, c);
    ReferenceSpan(m, x1, y1 + r, x1, y2 - r, c);
    ReferenceSpan(m, x2, y1 + r, x2, y2 - r, c);
    ReferenceArcs(m, x1 + r, x2 - r, y1 + r, y2 - r, r, c);
}

// ---------------------------------------------------------------- fixture

class DrawingReference : public KindTest {
protected:
    void SetUp() override {
        KindTest::SetUp();
        qndx::sim::SetPitchAlignment(16);
        surface = NewSurface(kW, kH);
    }
    void TearDown() override {
        delete surface;
        KindTest::TearDown();
    }
    DWORD Background() const {
        DWORD v = 0;
        std::memset(&v, kFill, BytesPerPixel(Kind()));
        return v;
    }
    Model Start(const RECT& clip) {
        surface->SetClipRect(&clip);
        FillBytes(surface->GetDDSurface(), kFill);
        return Model(Kind(), clip, Background());
    }
    // The surface holds the model's pixels, and its row padding is untouched.
    ::testing::AssertionResult Matches(const Model& m) {
        const Snapshot s = Take(surface->GetDDSurface());
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (s.At(x, y) != m.px[y * kW + x])
                    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is 0x" << std::hex
                                                         << s.At(x, y) << ", expected 0x" << m.px[y * kW + x];
        for (int y = 0; y < kH; ++y)
            for (size_t b = static_cast<size_t>(kW) * s.bpp; b < static_cast<size_t>(s.pitch); ++b)
                if (s.bytes[static_cast<size_t>(y) * s.pitch + b] != kFill)
                    return ::testing::AssertionFailure() << "padding byte " << b << " of row " << y << " was written";
        if (surface->GetLockCount() != 0) return ::testing::AssertionFailure() << "the lock was left held";
        return ::testing::AssertionSuccess();
    }
    // The whole surface, or a clip rectangle inside it.
    static RECT ClipFor(int n) { return n % 3 == 2 ? RECT{2, 1, 10, 9} : RECT{0, 0, kW, kH}; }

    CQNDXSurface* surface = nullptr;
};

int I(int64_t v) { return static_cast<int>(v); }

TEST_P(DrawingReference, AntiAliasedLinesFollowWusWalkAnywhereInTheIntRange) {
    std::mt19937 rng(8803 + Kind());
    const DWORD c = White(Kind());
    for (int n = 0; n < 3000; ++n) {
        int64_t p[4];
        for (int64_t& v : p) v = Pick(rng);
        if (n < 400)  // ordinary lines first: every octant, short and long
            for (int64_t& v : p) v = static_cast<int64_t>(rng() % 60) - 24;
        Model m = Start(ClipFor(n));
        ReferenceLineAA(&m, p[0], p[1], p[2], p[3], c);
        ASSERT_EQ(0, surface->DrawLineAA(I(p[0]), I(p[1]), I(p[2]), I(p[3]), c));
        ASSERT_TRUE(Matches(m)) << "line (" << p[0] << ", " << p[1] << ") - (" << p[2] << ", " << p[3] << ")";
    }
    // A long axis over 65536 times the short one gives an accumulator step
    // of 0: the walk keeps its row, the near pixel at weight 255 and the one
    // below at 0 (which keeps only the channels), instead of stepping down a
    // row at every pixel.
    Start(ClipFor(0));
    ASSERT_EQ(0, surface->DrawLineAA(INT_MIN, 3, INT_MAX, 4, c));
    const Snapshot s = Take(surface->GetDDSurface());
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const DWORD want = y == 3 ? BlendOf(Kind(), Background(), c, 255)
                               : y == 4 ? BlendOf(Kind(), Background(), c, 0)
                                        : Background();
            ASSERT_EQ(want, s.At(x, y)) << x << ", " << y;
        }
}

TEST_P(DrawingReference, CirclesAndRoundedRectanglesFollowTheCircleWalkAnywhereInTheIntRange) {
    std::mt19937 rng(4417 + Kind());
    const DWORD c = Red(Kind());
    for (int n = 0; n < 3000; ++n) {
        int64_t cx = Pick(rng), cy = Pick(rng), r = Pick(rng), x2 = Pick(rng), y2 = Pick(rng);
        if (n < 300) {  // ordinary shapes first
            cx = static_cast<int64_t>(rng() % 30) - 8, cy = static_cast<int64_t>(rng() % 30) - 8;
            x2 = static_cast<int64_t>(rng() % 30) - 8, y2 = static_cast<int64_t>(rng() % 30) - 8;
            r = static_cast<int64_t>(rng() % 24) - 3;
        } else if (n % 3 == 0 && r != 0) {
            // A huge shape whose rim crosses the surface: its centre a
            // radius away from a point near the surface.
            const int64_t edge = static_cast<int64_t>(rng() % 20) - 4;
            const int64_t far = edge + (rng() % 2 ? std::llabs(r) : -std::llabs(r));
            (rng() % 2 ? cx : cy) = far;
            if (far < INT_MIN || far > INT_MAX) continue;
        }
        SCOPED_TRACE(::testing::Message() << "centre (" << cx << ", " << cy << "), r " << r << ", corner (" << x2
                                          << ", " << y2 << ")");
        Model circle = Start(ClipFor(n));
        ReferenceArcs(&circle, cx, cx, cy, cy, r, c);
        ASSERT_EQ(0, surface->DrawCircle(I(cx), I(cy), I(r), c));
        ASSERT_TRUE(Matches(circle));

        Model fill = Start(RECT{0, 0, kW, kH});
        ReferenceFillCircle(&fill, cx, cy, r, c);
        ASSERT_EQ(0, surface->FillCircle(I(cx), I(cy), I(r), c));
        ASSERT_TRUE(Matches(fill));

        Model round = Start(ClipFor(n));
        ReferenceRoundRect(&round, cx, cy, x2, y2, r, c);
        ASSERT_EQ(0, surface->DrawRoundRect(I(cx), I(cy), I(x2), I(y2), I(r), c));
        ASSERT_TRUE(Matches(round));
    }
    // The pixel-by-pixel form of the walk agrees with walking it.
    for (int64_t r : {-300, -2, 0, 1, 7, 40, 1000, 46341}) {
        std::vector<std::pair<int64_t, int64_t>> walked;
        WalkArcs(0, 5, 3, 9, r, [&](int64_t x, int64_t y) {
            if (std::llabs(x) < 60 && std::llabs(y) < 60) walked.push_back({x, y});
        });
        int onArcs = 0;
        for (int64_t y = -59; y < 60; ++y)
            for (int64_t x = -59; x < 60; ++x) onArcs += OnArcs(0, 5, 3, 9, r, x, y);
        std::sort(walked.begin(), walked.end());
        walked.erase(std::unique(walked.begin(), walked.end()), walked.end());
        EXPECT_EQ(static_cast<int>(walked.size()), onArcs) << "radius " << r;
        for (auto p : walked) EXPECT_TRUE(OnArcs(0, 5, 3, 9, r, p.first, p.second)) << "radius " << r;
    }
}

TEST_P(DrawingReference, EveryDrawingCallTakesTheIntLimits) {
    const int k = Kind();
    const int64_t v[] = {INT_MIN, INT_MIN + 1, -1, 5, INT_MAX - 1, INT_MAX};
    const DWORD c = Blue(k);
    for (int64_t a : v)
        for (int64_t b : v)
            for (int64_t p : v)
                for (int64_t q : v) {
                    SCOPED_TRACE(::testing::Message() << a << ", " << b << ", " << p << ", " << q);
                    Model outline = Start(RECT{0, 0, kW, kH});
                    ReferenceSpan(&outline, a, b, p, b, c);
                    ReferenceSpan(&outline, a, q, p, q, c);
                    ReferenceSpan(&outline, a, b, a, q, c);
                    ReferenceSpan(&outline, p, b, p, q, c);
                    ASSERT_EQ(0, surface->DrawRect(I(a), I(b), I(p), I(q), c));
                    ASSERT_TRUE(Matches(outline));

                    // Right and bottom excluded; an inverted rectangle is nothing.
                    Model fill = Start(RECT{0, 0, kW, kH});
                    if (a < p && b < q) ReferenceSpan(&fill, a, b, p - 1, q - 1, c);
                    ASSERT_EQ(0, surface->FillRect(I(a), I(b), I(p), I(q), c));
                    ASSERT_TRUE(Matches(fill));
                    // Full weight gives the colour; a 32-bit pixel keeps byte 3.
                    Model blend = Start(RECT{0, 0, kW, kH});
                    const DWORD blended = k == 32 ? c | (Background() & 0xFF000000u) : c;
                    if (a < p && b < q) ReferenceSpan(&blend, a, b, p - 1, q - 1, blended);
                    ASSERT_EQ(0, surface->BlendRect(I(a), I(b), I(p), I(q), 256, c));
                    ASSERT_TRUE(Matches(blend));

                    Model line = Start(RECT{0, 0, kW, kH});
                    if (a == p || b == q)
                        ReferenceSpan(&line, a, b, p, q, c);
                    else
                        for (int y = 0; y < kH; ++y)
                            for (int x = 0; x < kW; ++x)
                                if (OnLine(a, b, p, q, x, y)) line.Put(x, y, c);
                    ASSERT_EQ(0, surface->DrawLine(I(a), I(b), I(p), I(q), c));
                    ASSERT_TRUE(Matches(line));
                    Model aa = Start(RECT{0, 0, kW, kH});
                    ReferenceLineAA(&aa, a, b, p, q, c);
                    ASSERT_EQ(0, surface->DrawLineAA(I(a), I(b), I(p), I(q), c));
                    ASSERT_TRUE(Matches(aa));

                    Model shapes = Start(RECT{0, 0, kW, kH});
                    ReferenceArcs(&shapes, a, a, b, b, p, c);
                    ReferenceFillCircle(&shapes, b, a, q, c);
                    ReferenceRoundRect(&shapes, a, b, p, q, b, c);
                    ASSERT_EQ(0, surface->DrawCircle(I(a), I(b), I(p), c));
                    ASSERT_EQ(0, surface->FillCircle(I(b), I(a), I(q), c));
                    ASSERT_EQ(0, surface->DrawRoundRect(I(a), I(b), I(p), I(q), I(b), c));
                    ASSERT_TRUE(Matches(shapes));
                }
    // The pixel routines take any point and span.
    Model pixels = Start(RECT{0, 0, kW, kH});
    ASSERT_EQ(1, surface->Lock());
    for (int64_t a : v)
        for (int64_t b : v) {
            surface->PutPixel(I(a), I(b), c);
            surface->BlendPixel(I(a), I(b), c, 256);
            surface->HLine(I(a), I(b), 5, c);
            surface->VLine(I(a), I(b), 5, c);
            ReferenceSpan(&pixels, a, 5, b, 5, c);
            ReferenceSpan(&pixels, 5, a, 5, b, c);
            pixels.Put(a, b, c);
        }
    ASSERT_EQ(0, surface->Unlock());
    EXPECT_TRUE(Matches(pixels));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DrawingReference, ::testing::Values(15, 16, 24, 32));

}  // namespace
}  // namespace qndx_test
