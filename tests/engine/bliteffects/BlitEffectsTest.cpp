// The effect loops (mirrors, alpha, translucent) and the channel scaling
// against references written here per pixel and per channel from the
// blending rules: random pixels from a fixed seed, odd widths and start
// columns, padded pitches, guard bytes around every buffer, keys that occur
// in the source and near-keys that differ in ignored bits, rows of nothing
// but key, weights at and beyond the edges; the fast forms at every vector
// level compared with the plain ones byte for byte; and the known values the
// rules promise.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "GraphicEngine/BlitEffects.h"
#include "GraphicEngine/BlitLoops.h"
#include "EffectReference.h"

namespace fx = qndx::gfx::effects;
namespace blit = qndx::gfx::blit;
using fx::Effect;

using namespace effect_ref;

namespace {

const int kKinds[] = {15, 16, 24, 32};
const uint8_t kGuard = 0x5C;
const size_t kGuardBytes = 48;

int Bpp(int kind) { return kind == 24 ? 3 : kind == 32 ? 4 : 2; }

// A block inside a wider image, with guard bytes before and after.
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
    uint32_t Pixel(int x, int y) {
        uint32_t v = 0;
        std::memcpy(&v, At(x, y), bpp);
        return v;
    }
    void SetPixel(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, bpp); }
    void Randomise(std::mt19937& rng) {
        for (int y = 0; y < height; ++y)
            for (ptrdiff_t i = 0; i < pitch; ++i) Row(y)[i] = static_cast<uint8_t>(rng());
    }
};

// The reference result of one effect over a w x h block.
void Reference(Effect e, int kind, Image& dst, int dx, Image& src, int sx, int w, int h, uint32_t weight,
               uint32_t key) {
    const bool keyed = fx::IsKeyed(e);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t s;
            if (e == Effect::MirrorLeftRight || e == Effect::MirrorLeftRightKeyed)
                s = src.Pixel(sx + w - 1 - x, y);
            else if (e == Effect::MirrorUpDown || e == Effect::MirrorUpDownKeyed)
                s = src.Pixel(sx + x, h - 1 - y);
            else
                s = src.Pixel(sx + x, y);
            if (keyed && IsKey(kind, s, key)) continue;
            const uint32_t d = dst.Pixel(dx + x, y);
            uint32_t out;
            switch (e) {
            case Effect::HalfAlpha:
            case Effect::HalfAlphaKeyed: out = RefHalfAlpha(kind, s, d); break;
            case Effect::Alpha:
            case Effect::AlphaKeyed: out = RefAlpha(kind, s, d, weight); break;
            case Effect::Translucent:
            case Effect::TranslucentKeyed: out = RefScale(kind, d, weight); break;
            case Effect::HalfTranslucent:
            case Effect::HalfTranslucentKeyed: out = RefHalve(kind, d); break;
            default: out = s; break;  // mirrors move the whole pixel
            }
            dst.SetPixel(dx + x, y, out);
        }
    }
}

const Effect kAllEffects[] = {
    Effect::MirrorLeftRight, Effect::MirrorLeftRightKeyed, Effect::MirrorUpDown,    Effect::MirrorUpDownKeyed,
    Effect::HalfAlpha,       Effect::HalfAlphaKeyed,       Effect::Alpha,           Effect::AlphaKeyed,
    Effect::Translucent,     Effect::TranslucentKeyed,     Effect::HalfTranslucent, Effect::HalfTranslucentKeyed,
};

// The first differing byte of two images, as a readable place.
std::string Difference(Image& got, Image& want) {
    for (size_t i = 0; i < got.store.size(); ++i) {
        if (got.store[i] == want.store[i]) continue;
        if (i < kGuardBytes || i >= got.store.size() - kGuardBytes) return "guard byte " + std::to_string(i);
        const size_t off = i - kGuardBytes;
        const int y = static_cast<int>(off / got.pitch);
        const int xb = static_cast<int>(off % got.pitch);
        return "row " + std::to_string(y) + " byte " + std::to_string(xb) + " (pixel " +
               std::to_string(xb / got.bpp) + "): got " + std::to_string(got.store[i]) + ", want " +
               std::to_string(want.store[i]);
    }
    return "";
}

struct Shape {
    int w, h, srcPad, dstPad, srcCol, dstCol;
};
const Shape kShapes[] = {
    {1, 1, 0, 0, 0, 0},  {1, 3, 2, 6, 1, 3},  {2, 2, 0, 4, 1, 0},   {3, 4, 6, 2, 3, 1},
    {7, 5, 0, 0, 0, 0},  {8, 2, 2, 2, 1, 1},  {9, 3, 0, 10, 5, 2},  {15, 2, 4, 0, 0, 3},
    {16, 3, 0, 0, 0, 0}, {17, 4, 6, 2, 1, 7}, {33, 3, 2, 14, 3, 5}, {64, 2, 0, 0, 0, 0},
};
const uint32_t kWeights[] = {0, 1, 64, 127, 128, 129, 200, 255, 256, 257, 300, 65535};

// Runs one effect's plain and fast forms against the reference on one shape.
void CheckShape(Effect e, int kind, const Shape& sh, uint32_t weight, std::mt19937& rng) {
    const int bpp = Bpp(kind);
    const int imgW = sh.w + 8;
    Image src(imgW, sh.h, bpp, sh.srcPad), dst(imgW, sh.h, bpp, sh.dstPad);
    src.Randomise(rng);
    dst.Randomise(rng);
    // A key that occurs often, and near-keys that differ from it only in
    // the bits the comparison ignores (byte 3) or must not ignore (bit 15).
    uint32_t key = src.Pixel(sh.srcCol, 0);
    if (kind == 24 || kind == 32) key &= 0xFFFFFF;
    for (int y = 0; y < sh.h; ++y)
        for (int x = 0; x < imgW; ++x) {
            const uint32_t r = rng() % 8;
            if (r < 2) src.SetPixel(x, y, key);
            if (r == 2 && kind == 32) src.SetPixel(x, y, key | (rng() & 0xFF000000u));
            if (r == 3 && kind == 15) src.SetPixel(x, y, key ^ 0x8000u);
            // Row 1 is all key (with byte 3 varying): whole steps of nothing to draw.
            if (y == 1) src.SetPixel(x, y, kind == 32 ? (key | (rng() & 0xFF000000u)) : key);
        }
    Image want = dst, plain = dst;
    Reference(e, kind, want, sh.dstCol, src, sh.srcCol, sh.w, sh.h, weight, key);
    const fx::EffectArgs args{weight, key};
    const Image srcBefore = src;
    const uint8_t* s = fx::ReadsSource(e) ? src.At(sh.srcCol, 0) : nullptr;
    fx::PlainEffect(e, kind)(plain.At(sh.dstCol, 0), plain.pitch, s, src.pitch, sh.w, sh.h, args);
    const std::string where = std::string(fx::EffectName(e)) + " kind " + std::to_string(kind) + " w " +
                              std::to_string(sh.w) + " h " + std::to_string(sh.h) + " weight " +
                              std::to_string(weight) + ": ";
    ASSERT_EQ("", Difference(plain, want)) << where << "plain form";
    // Every vector level this CPU runs.
    for (blit::Simd level : {blit::Simd::Sse2, blit::Simd::Avx2}) {
        if (static_cast<int>(level) > static_cast<int>(blit::BestSimd())) continue;
        blit::LimitSimd(level);
        Image fast = dst;
        fx::FastEffect(e, kind)(fast.At(sh.dstCol, 0), fast.pitch, s, src.pitch, sh.w, sh.h, args);
        blit::LimitSimd(blit::BestSimd());
        ASSERT_EQ("", Difference(fast, want)) << where << "fast form, vector level " << static_cast<int>(level);
    }
    ASSERT_TRUE(src.store == srcBefore.store) << where << "the source was written";
}

TEST(EffectLoops, EveryFormMatchesTheReferenceOnRandomBlocks) {
    std::mt19937 rng(0xB11E);
    for (Effect e : kAllEffects)
        for (int kind : kKinds)
            for (const Shape& sh : kShapes) {
                const bool weighted = e == Effect::Alpha || e == Effect::AlphaKeyed || e == Effect::Translucent ||
                                      e == Effect::TranslucentKeyed;
                if (weighted) {
                    for (uint32_t wgt : kWeights) {
                        CheckShape(e, kind, sh, wgt, rng);
                        if (HasFatalFailure()) return;
                    }
                } else {
                    CheckShape(e, kind, sh, 0, rng);
                    if (HasFatalFailure()) return;
                }
            }
}

TEST(EffectLoops, KeysNoPixelCanEqualLeaveNothingSkipped) {
    std::mt19937 rng(99);
    for (int kind : kKinds) {
        const uint32_t impossible = (kind == 15 || kind == 16) ? 0x10000u | 0x1234u : 0x1000000u | 0x123456u;
        for (Effect e : {Effect::AlphaKeyed, Effect::HalfAlphaKeyed, Effect::TranslucentKeyed,
                         Effect::HalfTranslucentKeyed, Effect::MirrorLeftRightKeyed, Effect::MirrorUpDownKeyed}) {
            Image src(19, 3, Bpp(kind), 2), dst(19, 3, Bpp(kind), 0);
            src.Randomise(rng);
            dst.Randomise(rng);
            // The pixels equal to the key's low bits must not count as keys.
            for (int x = 0; x < 19; x += 2) src.SetPixel(x, 1, impossible & ((kind == 24 || kind == 32) ? 0xFFFFFFu : 0xFFFFu));
            Image want = dst, plain = dst, fast = dst;
            Reference(e, kind, want, 0, src, 0, 19, 3, 100, impossible);
            const fx::EffectArgs args{100, impossible};
            fx::PlainEffect(e, kind)(plain.At(0, 0), plain.pitch, src.At(0, 0), src.pitch, 19, 3, args);
            fx::FastEffect(e, kind)(fast.At(0, 0), fast.pitch, src.At(0, 0), src.pitch, 19, 3, args);
            EXPECT_EQ("", Difference(plain, want)) << fx::EffectName(e) << " kind " << kind;
            EXPECT_EQ("", Difference(fast, want)) << fx::EffectName(e) << " kind " << kind;
        }
    }
}

TEST(EffectLoops, TheSwitchChoosesBetweenFastAndPlainForms) {
    const bool was = blit::FastPaths();
    for (Effect e : kAllEffects)
        for (int kind : kKinds) {
            blit::SetFastPaths(false);
            EXPECT_EQ(fx::PlainEffect(e, kind), fx::EffectFor(e, kind));
            blit::SetFastPaths(true);
            EXPECT_EQ(fx::FastEffect(e, kind), fx::EffectFor(e, kind));
        }
    blit::SetFastPaths(was);
    EXPECT_EQ(nullptr, fx::EffectFor(Effect::Alpha, 8));
    EXPECT_EQ(nullptr, fx::PlainEffect(Effect::Alpha, 0));
    EXPECT_EQ(nullptr, fx::FastEffect(Effect::Count, 32));
#if defined(__SSE2__)
    // The common cases really have a fast form.
    for (int kind : {15, 16, 32}) {
        EXPECT_TRUE(fx::HasFastForm(Effect::Alpha, kind)) << kind;
        EXPECT_TRUE(fx::HasFastForm(Effect::HalfAlphaKeyed, kind)) << kind;
        EXPECT_TRUE(fx::HasFastForm(Effect::MirrorLeftRightKeyed, kind)) << kind;
        EXPECT_TRUE(fx::HasFastForm(Effect::Translucent, kind)) << kind;
    }
    EXPECT_TRUE(fx::HasFastForm(Effect::Alpha, 24));
    EXPECT_TRUE(fx::HasFastForm(Effect::MirrorUpDown, 24));
#endif
}

// ---- known values -------------------------------------------------------

// One pixel through both forms of an effect.
uint32_t One(Effect e, int kind, uint32_t s, uint32_t d, uint32_t weight, uint32_t key = 0xFFFFFFFFu) {
    uint32_t results[2];
    for (int form = 0; form < 2; ++form) {
        uint8_t sb[4], db[4];
        std::memcpy(sb, &s, 4);
        std::memcpy(db, &d, 4);
        fx::EffectFn f = form ? fx::FastEffect(e, kind) : fx::PlainEffect(e, kind);
        f(db, 4, sb, 4, 1, 1, fx::EffectArgs{weight, key});
        uint32_t out = 0;
        std::memcpy(&out, db, Bpp(kind));
        results[form] = out;
    }
    EXPECT_EQ(results[0], results[1]);
    return results[0];
}

TEST(EffectValues, WeightedAlphaRoundsDownBetweenSourceAndDestination) {
    // Weight 255, 5-bit source 0 over destination 31: 30.
    EXPECT_EQ(30u, One(Effect::Alpha, 16, 0, 31, 255) & 0x1F);
    // 8-bit source 200 over destination 100 at 255: 100.
    EXPECT_EQ(100u, One(Effect::Alpha, 32, 200, 100, 255) & 0xFF);
    // 128: 10 over 0, 11 over 0 and 0 over 11 all give 5.
    EXPECT_EQ(5u, One(Effect::Alpha, 24, 10, 0, 128));
    EXPECT_EQ(5u, One(Effect::Alpha, 24, 11, 0, 128));
    EXPECT_EQ(5u, One(Effect::Alpha, 24, 0, 11, 128));
    // 127 through the general rule: 31 over 31 stays 31.
    EXPECT_EQ(31u, One(Effect::Alpha, 15, 31, 31, 127));
    // 0 gives the source (bit 15 cleared, byte 3 of the destination kept).
    EXPECT_EQ(0x7FFFu, One(Effect::Alpha, 15, 0xFFFF, 0x1234, 0));
    EXPECT_EQ(0xAB123456u, One(Effect::Alpha, 32, 0xCD123456, 0xAB000000, 0));
    // 256 and beyond leave the destination.
    for (uint32_t w : {256u, 300u, 65535u}) EXPECT_EQ(0xF00Fu, One(Effect::Alpha, 16, 0x0FF0, 0xF00F, w)) << w;
}

TEST(EffectValues, HalfAlphaAveragesWithoutCarries) {
    EXPECT_EQ(0x7BDEu, One(Effect::HalfAlpha, 15, 0x7FFF, 0x7FFF, 0));
    EXPECT_EQ(0x3DEFu, One(Effect::HalfAlpha, 15, 0x7FFF, 0x0000, 0));  // fields 15, 15, 15
    EXPECT_EQ(0xF7DEu, One(Effect::HalfAlpha, 16, 0xFFFF, 0xFFFF, 0));
    EXPECT_EQ(0xFEFEFEu, One(Effect::HalfAlpha, 24, 0xFFFFFF, 0xFFFFFF, 0));
    EXPECT_EQ(0x99FEFEFEu, One(Effect::HalfAlpha, 32, 0x11FFFFFF, 0x99FFFFFF, 0));
}

TEST(EffectValues, TranslucentScalingAndHalving) {
    // 49 and 51 turn 31, 63 and 255 into 5, 12, 48 and 6, 12, 50.
    EXPECT_EQ(5u | 12u << 5 | 5u << 11, One(Effect::Translucent, 16, 0, 0xFFFF, 49));
    EXPECT_EQ(48u, One(Effect::Translucent, 24, 0, 0xFF, 49));
    EXPECT_EQ(6u | 12u << 5 | 6u << 11, One(Effect::Translucent, 16, 0, 0xFFFF, 51));
    EXPECT_EQ(50u, One(Effect::Translucent, 32, 0, 0xFF, 51));
    // Halving: 31 -> 15, 63 -> 31, 255 -> 127; 128 gives the same.
    EXPECT_EQ(15u | 31u << 5 | 15u << 11, One(Effect::HalfTranslucent, 16, 0, 0xFFFF, 0));
    EXPECT_EQ(15u | 31u << 5 | 15u << 11, One(Effect::Translucent, 16, 0, 0xFFFF, 128));
    EXPECT_EQ(0x3DEFu, One(Effect::HalfTranslucent, 15, 0, 0xFFFF, 0));
    EXPECT_EQ(0x556677u, One(Effect::HalfTranslucent, 24, 0, 0xABCDEF, 0));
    // 0 makes black, keeping only byte 3 of a 32-bit pixel.
    EXPECT_EQ(0x42000000u, One(Effect::Translucent, 32, 0, 0x42FFFFFF, 0));
    EXPECT_EQ(0u, One(Effect::Translucent, 15, 0, 0xFFFF, 0));
    for (uint32_t v : {256u, 300u, 65535u}) EXPECT_EQ(0x7ABCu, One(Effect::Translucent, 15, 0, 0x7ABC, v)) << v;
}

TEST(EffectValues, KeysDecidePixelByPixel) {
    // 32 bits: a source pixel that differs from the key in byte 3 only is the key.
    EXPECT_EQ(0x11223344u, One(Effect::AlphaKeyed, 32, 0xFF00FF00, 0x11223344, 0, 0x0000FF00));
    EXPECT_EQ(0x11223344u, One(Effect::HalfTranslucentKeyed, 32, 0x7700FF00, 0x11223344, 0, 0x0000FF00));
    EXPECT_EQ(0x11223344u, One(Effect::MirrorLeftRightKeyed, 32, 0x7700FF00, 0x11223344, 0, 0x0000FF00));
    // A mirror moves a pixel whole, byte 3 included.
    EXPECT_EQ(0x7700FF01u, One(Effect::MirrorUpDownKeyed, 32, 0x7700FF01, 0x11223344, 0, 0x0000FF00));
    // 15/16 bits: a pair whose left pixel is the key changes only the right one.
    for (int kind : {15, 16}) {
        for (int form = 0; form < 2; ++form) {
            uint16_t s[2] = {0x0123, 0x001F};
            uint16_t d[2] = {0x7000, 0x7000};
            fx::EffectFn f = form ? fx::FastEffect(Effect::AlphaKeyed, kind) : fx::PlainEffect(Effect::AlphaKeyed, kind);
            f(reinterpret_cast<uint8_t*>(d), 4, reinterpret_cast<const uint8_t*>(s), 4, 2, 1,
              fx::EffectArgs{0, 0x0123});
            EXPECT_EQ(0x7000, d[0]) << kind << " form " << form;
            EXPECT_EQ(0x001F, d[1]) << kind << " form " << form;
        }
    }
}

TEST(EffectValues, NarrowBlocksTouchExactlyTheirPixels) {
    for (int kind : {15, 16}) {
        for (int w : {1, 3}) {
            for (int form = 0; form < 2; ++form) {
                uint16_t d[6] = {0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF};
                fx::EffectFn f =
                    form ? fx::FastEffect(Effect::HalfTranslucent, kind) : fx::PlainEffect(Effect::HalfTranslucent, kind);
                f(reinterpret_cast<uint8_t*>(d) + 2, 8, nullptr, 0, w, 1, fx::EffectArgs{0, 0});
                EXPECT_EQ(0x7FFF, d[0]);
                for (int i = 1; i <= w; ++i) EXPECT_NE(0x7FFF, d[i]) << "pixel " << i;
                for (int i = w + 1; i < 6; ++i) EXPECT_EQ(0x7FFF, d[i]) << "pixel " << i;
            }
        }
    }
}

// ---- channel scaling (the blend blit) -----------------------------------

TEST(ChannelScaling, EveryKindMatchesTheReference) {
    std::mt19937 rng(0x5CA1E);
    for (int kind : kKinds)
        for (const Shape& sh : kShapes)
            for (uint32_t v : {0u, 1u, 77u, 128u, 255u, 256u, 300u}) {
                Image src(sh.w + 8, sh.h, Bpp(kind), sh.srcPad), dst(sh.w + 8, sh.h, Bpp(kind), sh.dstPad);
                src.Randomise(rng);
                dst.Randomise(rng);
                Image want = dst, got = dst;
                for (int y = 0; y < sh.h; ++y)
                    for (int x = 0; x < sh.w; ++x) {
                        const uint32_t d = want.Pixel(sh.dstCol + x, y);
                        // The source's channels, rebuilt over the destination's byte 3.
                        const uint32_t s = (src.Pixel(sh.srcCol + x, y) & (kind == 32 ? 0xFFFFFFu : 0xFFFFFFFFu)) |
                                           (kind == 32 ? (d & 0xFF000000u) : 0);
                        want.SetPixel(sh.dstCol + x, y, RefScale(kind, s, v));
                    }
                blit::ScaleCopyFor(kind)(got.At(sh.dstCol, 0), got.pitch, src.At(sh.srcCol, 0), src.pitch, sh.w, sh.h,
                                         v);
                ASSERT_EQ("", Difference(got, want)) << "kind " << kind << " w " << sh.w << " factor " << v;
            }
}

}  // namespace
