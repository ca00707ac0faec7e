// The software copy loops against plain references written here from the
// rules of the blits: random pixels from a fixed seed, odd widths and start
// columns, padded pitches, guard bytes around every buffer, keys that differ
// from pixels only in bytes the comparison must ignore, overlapping blocks on
// one buffer, sprite-shaped runs of key, and every vector level compared
// with the plain forms byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "GraphicEngine/BlitLoops.h"

namespace blit = qndx::gfx::blit;

namespace {

const int kKinds[] = {15, 16, 24, 32};
const uint8_t kGuard = 0xA5;
const size_t kGuardBytes = 64;

int Bpp(int kind) { return kind == 24 ? 3 : kind == 32 ? 4 : 2; }

// A pixel block with guard bytes before and after; the pitch may be padded
// and the block starts at an arbitrary column of a wider image.
struct Image {
    std::vector<uint8_t> store;
    ptrdiff_t pitch = 0;
    int width = 0;
    int height = 0;
    int bpp = 0;

    Image(int w, int h, int bytesPerPixel, int padding) : width(w), height(h), bpp(bytesPerPixel) {
        pitch = static_cast<ptrdiff_t>(w) * bytesPerPixel + padding;
        store.assign(kGuardBytes * 2 + static_cast<size_t>(pitch) * h, kGuard);
    }
    uint8_t* Row(int y) { return store.data() + kGuardBytes + y * pitch; }
    uint8_t* At(int x, int y) { return Row(y) + x * bpp; }
    bool GuardsIntact() const {
        for (size_t i = 0; i < kGuardBytes; ++i)
            if (store[i] != kGuard || store[store.size() - 1 - i] != kGuard) return false;
        return true;
    }
    void Randomise(std::mt19937& rng) {
        for (int y = 0; y < height; ++y)
            for (ptrdiff_t i = 0; i < pitch; ++i) Row(y)[i] = static_cast<uint8_t>(rng());
    }
    uint32_t Pixel(int x, int y) {
        uint32_t v = 0;
        std::memcpy(&v, At(x, y), bpp);
        return v;
    }
    void SetPixel(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, bpp); }
};

// Index of the first differing byte, or -1.
long FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return -1;
}

// ---- references ----------------------------------------------------------

// Every byte of the block copied, the source read as it was before any write.
void RefPlain(Image& dst, int dx, int dy, Image& src, int sx, int sy, int w, int h) {
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < h; ++y) rows.emplace_back(src.At(sx, sy + y), src.At(sx, sy + y) + w * src.bpp);
    for (int y = 0; y < h; ++y) std::memcpy(dst.At(dx, dy + y), rows[y].data(), rows[y].size());
}

void RefKeyed(int kind, Image& dst, int dx, int dy, Image& src, int sx, int sy, int w, int h, uint32_t key) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = src.Pixel(sx + x, sy + y);
            if (kind == 32) p &= 0x00FFFFFF;
            if (p != key) dst.SetPixel(dx + x, dy + y, p);
        }
    }
}

// Channel by channel, one pixel at a time.
void RefScale(int kind, Image& dst, int dx, int dy, Image& src, int sx, int sy, int w, int h, uint32_t v) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = src.Pixel(sx + x, sy + y);
            if (kind == 15 || kind == 16) {
                int gBits = kind == 16 ? 6 : 5;
                uint32_t b = p & 31, g = (p >> 5) & ((1u << gBits) - 1), r = (p >> (5 + gBits)) & 31;
                b = b * v >> 8;
                g = g * v >> 8;
                r = r * v >> 8;
                dst.SetPixel(dx + x, dy + y, r << (5 + gBits) | g << 5 | b);
            } else {
                uint8_t* d = dst.At(dx + x, dy + y);
                for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(((p >> (8 * c)) & 0xFF) * v >> 8);
            }
        }
    }
}

// A key and source pixels that hit it often, or miss it narrowly: for 32 bits
// pixels that differ only in byte 3, for 24 bits pixels equal in two of three
// bytes, for 16 bits single-bit misses.
uint32_t RandomKey(int kind, std::mt19937& rng) {
    uint32_t k = rng();
    return kind == 15 ? (k & 0x7FFF) : kind == 16 ? (k & 0xFFFF) : (k & 0xFFFFFF);
}

// Sprite-shaped rows: runs of the key and of opaque pixels, of random
// lengths, so whole vector steps are all key or all opaque and the runs
// start and end at every column.
void KeyRuns(int kind, Image& src, uint32_t key, std::mt19937& rng) {
    for (int y = 0; y < src.height; ++y) {
        bool opaque = rng() % 2;
        for (int x = 0; x < src.width;) {
            const int run = 1 + static_cast<int>(rng() % 40);
            for (int i = 0; i < run && x < src.width; ++i, ++x) {
                if (!opaque) src.SetPixel(x, y, kind == 32 ? (key | (rng() << 24)) : key);
                else if (src.Pixel(x, y) == key) src.SetPixel(x, y, key ^ 1u);
            }
            opaque = !opaque;
        }
    }
}

void SprinkleKeys(int kind, Image& src, uint32_t key, std::mt19937& rng) {
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            switch (rng() % 6) {
            case 0:
            case 1: src.SetPixel(x, y, kind == 32 ? (key | (rng() << 24)) : key); break;
            case 2: {
                if (kind == 24 || kind == 32) {
                    int byte = rng() % 3;
                    uint32_t v = key ^ (static_cast<uint32_t>(1 + rng() % 255) << (8 * byte));
                    if (kind == 32) v |= rng() << 24;
                    src.SetPixel(x, y, v);
                } else {
                    src.SetPixel(x, y, key ^ (1u << (rng() % 16)));
                }
                break;
            }
            default: break;  // stays random
            }
        }
    }
}

struct Geometry {
    int w, h, sx, sy, dx, dy, srcPad, dstPad;
};

std::vector<Geometry> Geometries(std::mt19937& rng) {
    std::vector<Geometry> g = {
        {1, 1, 0, 0, 0, 0, 0, 0},     {1, 5, 3, 1, 7, 2, 1, 3},     {2, 3, 1, 0, 0, 1, 0, 0},
        {5, 4, 0, 0, 1, 1, 0, 2},     {6, 2, 1, 1, 2, 0, 3, 0},     {7, 3, 3, 2, 5, 1, 1, 1},
        {8, 8, 0, 0, 0, 0, 0, 0},     {9, 2, 1, 0, 3, 1, 2, 6},     {15, 3, 2, 1, 1, 2, 0, 0},
        {16, 2, 0, 0, 0, 0, 16, 16},  {17, 5, 5, 3, 2, 1, 7, 1},    {31, 4, 1, 1, 0, 0, 3, 9},
        {33, 3, 0, 2, 1, 0, 0, 0},    {64, 2, 0, 0, 0, 0, 0, 0},    {67, 7, 3, 1, 1, 4, 5, 2},
    };
    for (int i = 0; i < 40; ++i) {
        Geometry r;
        r.w = 1 + rng() % 90;
        r.h = 1 + rng() % 9;
        r.sx = rng() % 7;
        r.sy = rng() % 3;
        r.dx = rng() % 7;
        r.dy = rng() % 3;
        r.srcPad = rng() % 13;
        r.dstPad = rng() % 13;
        g.push_back(r);
    }
    return g;
}

std::string Describe(int kind, const Geometry& g) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "kind %d, %dx%d from (%d,%d) to (%d,%d), pads %d/%d", kind, g.w, g.h, g.sx, g.sy,
                  g.dx, g.dy, g.srcPad, g.dstPad);
    return buf;
}

// The plain forms (fast paths off) and every vector level this CPU runs.
std::vector<blit::Simd> Levels() {
    std::vector<blit::Simd> levels = {blit::Simd::None};
    for (blit::Simd l : {blit::Simd::Sse2, blit::Simd::Avx2, blit::Simd::Avx512})
        if (static_cast<int>(l) <= static_cast<int>(blit::BestSimd())) levels.push_back(l);
    return levels;
}
const char* LevelName(blit::Simd l) {
    switch (l) {
    case blit::Simd::None: return "plain";
    case blit::Simd::Sse2: return "SSE2";
    case blit::Simd::Avx2: return "AVX2";
    default: return "AVX-512";
    }
}
void UseLevel(blit::Simd l) {
    blit::SetFastPaths(l != blit::Simd::None);
    blit::LimitSimd(l);
}

class BlitLoopsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_wasFast = blit::FastPaths();
        rng.seed(20240517);
    }
    void TearDown() override {
        blit::SetFastPaths(m_wasFast);
        blit::LimitSimd(blit::BestSimd());
    }

    std::mt19937 rng;
    bool m_wasFast = true;
};

// ---- plain and keyed copies ------------------------------------------------

TEST_F(BlitLoopsTest, PlainCopyMatchesReferenceOnBothPaths) {
    for (bool fast : {true, false}) {
        blit::SetFastPaths(fast);
        for (int kind : kKinds) {
            for (const Geometry& g : Geometries(rng)) {
                const int bpp = Bpp(kind);
                Image src(g.sx + g.w + 2, g.sy + g.h + 1, bpp, g.srcPad);
                Image dst(g.dx + g.w + 3, g.dy + g.h + 2, bpp, g.dstPad);
                src.Randomise(rng);
                dst.Randomise(rng);
                Image expect = dst;
                RefPlain(expect, g.dx, g.dy, src, g.sx, g.sy, g.w, g.h);
                blit::PlainCopyFor(kind)(dst.At(g.dx, g.dy), dst.pitch, src.At(g.sx, g.sy), src.pitch, g.w, g.h);
                ASSERT_TRUE(dst.GuardsIntact()) << Describe(kind, g);
                ASSERT_EQ(FirstDifference(expect.store, dst.store), -1) << (fast ? "fast " : "plain ") << Describe(kind, g);
            }
        }
    }
}

TEST_F(BlitLoopsTest, KeyedCopyMatchesReferenceAtEveryVectorLevel) {
    for (blit::Simd level : Levels()) {
        UseLevel(level);
        for (int kind : kKinds) {
            for (const Geometry& g : Geometries(rng)) {
                // Scattered keys, and sprite-shaped runs of key and opaque pixels.
                for (bool runs : {false, true}) {
                    const int bpp = Bpp(kind);
                    Image src(g.sx + g.w + 2, g.sy + g.h + 1, bpp, g.srcPad);
                    Image dst(g.dx + g.w + 3, g.dy + g.h + 2, bpp, g.dstPad);
                    src.Randomise(rng);
                    dst.Randomise(rng);
                    uint32_t key = RandomKey(kind, rng);
                    if (runs)
                        KeyRuns(kind, src, key, rng);
                    else
                        SprinkleKeys(kind, src, key, rng);
                    Image expect = dst;
                    RefKeyed(kind, expect, g.dx, g.dy, src, g.sx, g.sy, g.w, g.h, key);
                    blit::KeyedCopyFor(kind)(dst.At(g.dx, g.dy), dst.pitch, src.At(g.sx, g.sy), src.pitch, g.w, g.h,
                                             key);
                    ASSERT_TRUE(dst.GuardsIntact()) << LevelName(level) << " " << Describe(kind, g);
                    long diff = FirstDifference(expect.store, dst.store);
                    ASSERT_EQ(diff, -1) << LevelName(level) << (runs ? " runs " : " scattered ") << Describe(kind, g)
                                        << ", key 0x" << std::hex << key;
                }
            }
        }
    }
}

TEST_F(BlitLoopsTest, FastAndPlainPathsAgreeByteForByte) {
    for (int kind : kKinds) {
        for (const Geometry& g : Geometries(rng)) {
            const int bpp = Bpp(kind);
            Image src(g.sx + g.w + 1, g.sy + g.h, bpp, g.srcPad);
            Image dst(g.dx + g.w + 1, g.dy + g.h, bpp, g.dstPad);
            src.Randomise(rng);
            dst.Randomise(rng);
            uint32_t key = RandomKey(kind, rng);
            SprinkleKeys(kind, src, key, rng);
            Image plain = dst;
            UseLevel(blit::Simd::None);
            blit::KeyedCopyFor(kind)(plain.At(g.dx, g.dy), plain.pitch, src.At(g.sx, g.sy), src.pitch, g.w, g.h, key);
            for (blit::Simd level : Levels()) {
                Image a = dst;
                UseLevel(level);
                blit::KeyedCopyFor(kind)(a.At(g.dx, g.dy), a.pitch, src.At(g.sx, g.sy), src.pitch, g.w, g.h, key);
                ASSERT_EQ(FirstDifference(a.store, plain.store), -1) << LevelName(level) << " " << Describe(kind, g);
            }
        }
    }
}

TEST_F(BlitLoopsTest, KeyedCopyOf32BitPixelsIgnoresAndClearsTheTopByte) {
    for (blit::Simd level : Levels()) {
        UseLevel(level);
        Image src(41, 1, 4, 0), dst(41, 1, 4, 0);
        const uint32_t key = 0x00123456;
        for (int x = 0; x < 41; ++x) {
            src.SetPixel(x, 0, (x % 2) ? (key | 0xEE000000u) : (0xAB000000u | 0x00654321));
            dst.SetPixel(x, 0, 0x77777777);
        }
        blit::KeyedCopyFor(32)(dst.At(0, 0), dst.pitch, src.At(0, 0), src.pitch, 41, 1, key);
        for (int x = 0; x < 41; ++x) {
            if (x % 2) EXPECT_EQ(dst.Pixel(x, 0), 0x77777777u) << "key with another top byte must stay transparent";
            else EXPECT_EQ(dst.Pixel(x, 0), 0x00654321u) << "written pixels get a top byte of 0";
        }
    }
}

// ---- one buffer, overlapping blocks ----------------------------------------

TEST_F(BlitLoopsTest, OverlappingPlainCopiesMoveInEveryDirection) {
    const int shifts[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {3, 2}, {-3, -2}, {2, -1}, {-2, 1}, {5, 0}, {0, 3}};
    for (bool fast : {true, false}) {
        blit::SetFastPaths(fast);
        for (int kind : kKinds) {
            for (auto& s : shifts) {
                const int bpp = Bpp(kind);
                Image img(40, 20, bpp, 5);
                img.Randomise(rng);
                const int sx = 8, sy = 6, w = 23, h = 9;
                const int dx = sx + s[0], dy = sy + s[1];
                Image expect = img;
                RefPlain(expect, dx, dy, img, sx, sy, w, h);
                blit::PlainCopyFor(kind)(img.At(dx, dy), img.pitch, img.At(sx, sy), img.pitch, w, h);
                ASSERT_TRUE(img.GuardsIntact());
                ASSERT_EQ(FirstDifference(expect.store, img.store), -1)
                    << (fast ? "fast" : "plain") << " kind " << kind << " shift " << s[0] << "," << s[1];
            }
        }
    }
}

TEST_F(BlitLoopsTest, OverlapDetectionSeesSharedBytesOnly) {
    Image img(50, 10, 4, 0);
    const size_t row = 10 * 4;
    EXPECT_TRUE(blit::BlocksOverlap(img.At(0, 0), img.pitch, img.At(5, 0), img.pitch, row, 3));
    EXPECT_TRUE(blit::BlocksOverlap(img.At(5, 2), img.pitch, img.At(0, 0), img.pitch, row, 3));
    // Side by side on the same rows: no byte in common.
    EXPECT_FALSE(blit::BlocksOverlap(img.At(0, 0), img.pitch, img.At(10, 0), img.pitch, row, 3));
    // Interleaved: the second block lies in the first one's row gaps.
    EXPECT_FALSE(blit::BlocksOverlap(img.At(0, 0), img.pitch, img.At(20, 1), img.pitch, row, 5));
    // Below it.
    EXPECT_FALSE(blit::BlocksOverlap(img.At(0, 0), img.pitch, img.At(0, 3), img.pitch, row, 3));
    EXPECT_TRUE(blit::BlocksOverlap(img.At(0, 0), img.pitch, img.At(0, 2), img.pitch, row, 3));
}

// ---- pitches beyond 16 bits -----------------------------------------------

TEST_F(BlitLoopsTest, RowsAdvanceByPitchesBeyondSixteenBits) {
    // 17000 pixels of 4 bytes: a pitch of 68000 bytes, more than a 16-bit skip.
    for (blit::Simd level : Levels()) {
        UseLevel(level);
        Image src(17000, 3, 4, 0), dst(17000, 3, 4, 0);
        src.Randomise(rng);
        dst.Randomise(rng);
        Image expect = dst;
        const int sx = 16990, w = 7;
        RefKeyed(32, expect, 16990, 0, src, sx, 0, w, 3, 0x00010203);
        blit::KeyedCopyFor(32)(dst.At(16990, 0), dst.pitch, src.At(sx, 0), src.pitch, w, 3, 0x00010203);
        ASSERT_TRUE(dst.GuardsIntact());
        ASSERT_EQ(FirstDifference(expect.store, dst.store), -1);
    }
}

// ---- channel scaling --------------------------------------------------------

TEST_F(BlitLoopsTest, ChannelScalingMatchesPerChannelReference) {
    for (int kind : kKinds) {
        for (uint32_t v : {0u, 1u, 127u, 128u, 200u, 255u, 256u}) {
            for (const Geometry& g : Geometries(rng)) {
                const int bpp = Bpp(kind);
                Image src(g.sx + g.w + 1, g.sy + g.h, bpp, g.srcPad);
                Image dst(g.dx + g.w + 1, g.dy + g.h, bpp, g.dstPad);
                src.Randomise(rng);
                dst.Randomise(rng);
                Image expect = dst;
                RefScale(kind, expect, g.dx, g.dy, src, g.sx, g.sy, g.w, g.h, v);
                blit::ScaleCopyFor(kind)(dst.At(g.dx, g.dy), dst.pitch, src.At(g.sx, g.sy), src.pitch, g.w, g.h, v);
                ASSERT_TRUE(dst.GuardsIntact());
                ASSERT_EQ(FirstDifference(expect.store, dst.store), -1) << Describe(kind, g) << " factor " << v;
            }
        }
    }
}

TEST_F(BlitLoopsTest, ChannelScalingKeepsFullFactorUnchangedApartFromUnusedBits) {
    Image src(5, 1, 2, 0), dst(5, 1, 2, 0);
    for (int x = 0; x < 5; ++x) src.SetPixel(x, 0, 0xFFFF);
    blit::Scale15(dst.At(0, 0), dst.pitch, src.At(0, 0), src.pitch, 5, 1, 256);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.Pixel(x, 0), 0x7FFFu) << "bit 15 is cleared";
    blit::Scale16(dst.At(0, 0), dst.pitch, src.At(0, 0), src.pitch, 5, 1, 256);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.Pixel(x, 0), 0xFFFFu);

    Image s32(3, 1, 4, 0), d32(3, 1, 4, 0);
    for (int x = 0; x < 3; ++x) {
        s32.SetPixel(x, 0, 0x11806040);
        d32.SetPixel(x, 0, 0x99000000);
    }
    blit::Scale32(d32.At(0, 0), d32.pitch, s32.At(0, 0), s32.pitch, 3, 1, 128);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(d32.Pixel(x, 0), 0x99403020u) << "fourth byte of the destination kept";
}

TEST_F(BlitLoopsTest, ChannelScalingBoundsFactorsAboveTheWhole) {
    // Above 256 the pair form would spill between channels; it acts as 256.
    for (int kind : {15, 16}) {
        Image src(4, 1, 2, 0), a(4, 1, 2, 0), b(4, 1, 2, 0);
        src.Randomise(rng);
        blit::ScaleCopyFor(kind)(a.At(0, 0), a.pitch, src.At(0, 0), src.pitch, 4, 1, 1000);
        blit::ScaleCopyFor(kind)(b.At(0, 0), b.pitch, src.At(0, 0), src.pitch, 4, 1, 256);
        EXPECT_EQ(FirstDifference(a.store, b.store), -1) << "kind " << kind;
    }
}

}  // namespace
