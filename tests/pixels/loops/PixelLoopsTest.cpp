// The pixel library's loops at every vector level against references
// written here from the rules (support/PixelReference.h): one table of
// operations, run over every pixel kind, every level this processor has and
// random blocks from a fixed seed (odd widths and start columns, padded
// pitches, guard bytes around every buffer, keys that occur often and
// near-keys that differ only in bits the comparison ignores or must not
// ignore, sprite-shaped runs of key). The scalar forms are held to the same
// references, so the suite never only compares the code with itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "pixels/Pixels.h"
#include "support/PixelReference.h"

namespace px = qndx::pixels;
using namespace pixel_ref;

namespace {

const size_t kGuardBytes = 64;
const uint8_t kGuard = 0xA5;

int Bpp(int kind) { return px::BytesPerPixel(static_cast<uint32_t>(kind)); }

// A pixel block with guard bytes before and after; the pitch may be padded.
struct Image {
    std::vector<uint8_t> store;
    ptrdiff_t pitch = 0;
    int width = 0, height = 0, bpp = 0;

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
    void Set(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, bpp); }
    void Randomise(std::mt19937& rng) {
        for (int y = 0; y < height; ++y)
            for (ptrdiff_t i = 0; i < pitch; ++i) Row(y)[i] = static_cast<uint8_t>(rng());
    }
};

// The first differing byte of two images as a readable place, or "".
std::string Difference(Image& got, Image& want) {
    for (size_t i = 0; i < got.store.size(); ++i) {
        if (got.store[i] == want.store[i]) continue;
        if (i < kGuardBytes || i >= got.store.size() - kGuardBytes) return "guard byte " + std::to_string(i);
        const size_t off = i - kGuardBytes;
        char text[128];
        std::snprintf(text, sizeof text, "row %d pixel %d byte %d: got %02X, want %02X",
                      static_cast<int>(off / got.pitch), static_cast<int>(off % got.pitch / got.bpp),
                      static_cast<int>(off % got.pitch % got.bpp), got.store[i], want.store[i]);
        return text;
    }
    return "";
}

std::vector<px::Simd> Levels() {
    std::vector<px::Simd> levels;
    for (px::Simd l : {px::Simd::None, px::Simd::Sse2, px::Simd::Avx2, px::Simd::Avx512})
        if (static_cast<int>(l) <= static_cast<int>(px::BestSimd())) levels.push_back(l);
    return levels;
}

uint32_t KeyBitsOf(int kind) { return kind == 8 ? 0xFFu : kind <= 16 ? 0xFFFFu : 0xFFFFFFu; }

// A key, and a source that holds it often: whole runs of it (sprites) or
// scattered pixels, and near-keys that differ from it only in byte 3
// (ignored at 32 bits), in bit 15 (not ignored at 15) or in one colour byte.
uint32_t KeyedSource(int kind, Image& src, std::mt19937& rng) {
    const uint32_t key = rng() & KeyBitsOf(kind);
    const bool runs = rng() % 2;
    for (int y = 0; y < src.height; ++y) {
        int left = 0;
        bool keyRun = false;
        for (int x = 0; x < src.width; ++x) {
            if (runs && left-- <= 0) {
                keyRun = !keyRun;
                left = static_cast<int>(rng() % 40);
            }
            const uint32_t r = rng() % 8;
            if ((runs && keyRun) || (!runs && r < 2)) src.Set(x, y, kind == 32 ? (key | rng() << 24) : key);
            else if (r == 2 && kind == 15) src.Set(x, y, key ^ 0x8000u);
            else if (r == 3 && kind >= 24) src.Set(x, y, key ^ (1u + rng() % 255) << (8 * (rng() % 3)));
        }
    }
    return key;
}

struct Shape {
    int w, h, srcPad, dstPad, srcCol, dstCol;
};
Shape RandomShape(std::mt19937& rng) {
    const int widths[] = {1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 90};
    return {rng() % 3 ? static_cast<int>(1 + rng() % 90) : widths[rng() % 17], static_cast<int>(1 + rng() % 5),
            static_cast<int>(rng() % 13), static_cast<int>(rng() % 13), static_cast<int>(rng() % 7),
            static_cast<int>(rng() % 7)};
}

// One operation of the table: fills `want` from the rules and runs the loop
// in use on `got`, both from the same `src` and destination.
struct Case {
    int kind;
    Shape sh;
    Image src, dst;
    Case(int k, const Shape& s)
        : kind(k), sh(s), src(s.srcCol + s.w + 2, s.h, Bpp(k), s.srcPad), dst(s.dstCol + s.w + 2, s.h, Bpp(k), s.dstPad) {}
};
struct Operation {
    const char* name;
    std::vector<int> kinds;
    // Prepares the case, returns a description of its parameters, fills want.
    std::function<std::string(Case&, Image& want, std::mt19937&)> reference;
    std::function<void(Case&, Image& got)> run;
};

std::vector<Operation> Operations() {
    std::vector<Operation> ops;
    ops.push_back({"PlainCopy", {8, 15, 16, 24, 32},
                   [](Case& c, Image& want, std::mt19937&) {
                       for (int y = 0; y < c.sh.h; ++y)
                           std::memcpy(want.At(c.sh.dstCol, y), c.src.At(c.sh.srcCol, y),
                                       static_cast<size_t>(c.sh.w) * c.src.bpp);
                       return std::string();
                   },
                   [](Case& c, Image& got) {
                       px::PlainCopy(c.kind)(got.At(c.sh.dstCol, 0), got.pitch, c.src.At(c.sh.srcCol, 0), c.src.pitch,
                                             c.sh.w, c.sh.h);
                   }});
    auto key = std::make_shared<uint32_t>();
    ops.push_back({"KeyedCopy", {8, 15, 16, 24, 32},
                   [key](Case& c, Image& want, std::mt19937& rng) {
                       *key = KeyedSource(c.kind, c.src, rng);
                       if (rng() % 16 == 0) *key |= 1u << 24;  // matches nothing
                       for (int y = 0; y < c.sh.h; ++y)
                           for (int x = 0; x < c.sh.w; ++x) {
                               uint32_t w;
                               if (*key <= KeyBitsOf(c.kind) ? RefKeyed(c.kind, c.src.Pixel(c.sh.srcCol + x, y), *key, &w)
                                                             : RefKeyed(c.kind, c.src.Pixel(c.sh.srcCol + x, y), ~0u, &w))
                                   want.Set(c.sh.dstCol + x, y, w);
                           }
                       return "key " + std::to_string(*key);
                   },
                   [key](Case& c, Image& got) {
                       px::KeyedCopy(c.kind)(got.At(c.sh.dstCol, 0), got.pitch, c.src.At(c.sh.srcCol, 0), c.src.pitch,
                                             c.sh.w, c.sh.h, *key);
                   }});
    // Stretch: the source block is w x h; the destination is a random size
    // inside the destination image, clipped to a random part of it.
    auto args = std::make_shared<px::StretchArgs>();
    ops.push_back({"Stretch", {8, 15, 16, 24, 32},
                   [args](Case& c, Image& want, std::mt19937& rng) {
                       px::StretchArgs& a = *args;
                       a = px::StretchArgs();
                       a.srcW = c.sh.w;
                       a.srcH = c.sh.h;
                       a.dstW = 1 + rng() % (c.dst.width - c.sh.dstCol);
                       a.dstH = 1 + rng() % c.dst.height;
                       a.x0 = rng() % a.dstW;
                       a.x1 = a.x0 + 1 + rng() % (a.dstW - a.x0);
                       a.y0 = rng() % a.dstH;
                       a.y1 = a.y0 + 1 + rng() % (a.dstH - a.y0);
                       const int form = static_cast<int>(rng() % 3);
                       if (form == 0) {  // same width: the row forms
                           a.dstW = c.sh.w < c.dst.width - c.sh.dstCol ? c.sh.w : a.dstW;
                           a.x0 = 0;
                           a.x1 = a.dstW;
                       } else if (form == 1) {  // 1:1 (mirrors), any window: the block forms
                           a.dstW = a.srcW;
                           a.dstH = a.srcH;
                           a.x0 = rng() % a.dstW;
                           a.x1 = a.x0 + 1 + rng() % (a.dstW - a.x0);
                           a.y0 = rng() % a.dstH;
                           a.y1 = a.y0 + 1 + rng() % (a.dstH - a.y0);
                       }
                       a.mirrorX = rng() % 2;
                       a.mirrorY = rng() % 2;
                       a.keyed = rng() % 2;
                       a.wholePixels = rng() % 2;
                       a.key = KeyedSource(c.kind, c.src, rng);
                       for (int y = a.y0; y < a.y1; ++y)
                           for (int x = a.x0; x < a.x1; ++x) {
                               int sx = static_cast<int>(static_cast<int64_t>(x) * a.srcW / a.dstW);
                               int sy = static_cast<int>(static_cast<int64_t>(y) * a.srcH / a.dstH);
                               if (a.mirrorX) sx = a.srcW - 1 - sx;
                               if (a.mirrorY) sy = a.srcH - 1 - sy;
                               const uint32_t p = c.src.Pixel(c.sh.srcCol + sx, sy);
                               uint32_t w = p;
                               if (a.keyed && !RefKeyed(c.kind, p, a.key, &w)) continue;
                               want.Set(c.sh.dstCol + x, y, a.wholePixels ? p : w);
                           }
                       char text[160];
                       std::snprintf(text, sizeof text, "%dx%d -> %dx%d [%d,%d)x[%d,%d) mirror %d%d keyed %d whole %d",
                                     a.srcW, a.srcH, a.dstW, a.dstH, a.x0, a.x1, a.y0, a.y1, a.mirrorX, a.mirrorY,
                                     a.keyed, a.wholePixels);
                       return std::string(text);
                   },
                   [args](Case& c, Image& got) {
                       px::Stretch(got.At(c.sh.dstCol, 0), got.pitch, c.src.At(c.sh.srcCol, 0), c.src.pitch, c.kind,
                                   *args);
                   }});
    // The span form, built from the whole source, copying a random part.
    auto spans = std::make_shared<px::KeySpans>();
    auto part = std::make_shared<std::vector<int>>();
    ops.push_back({"KeySpans", {8, 15, 16, 24, 32},
                   [spans, part](Case& c, Image& want, std::mt19937& rng) {
                       part->clear();
                       uint32_t key = KeyedSource(c.kind, c.src, rng);
                       // Long opaque runs, so the span form is worth building.
                       for (int y = 0; y < c.src.height; ++y)
                           for (int x = 0; x < c.src.width; ++x)
                               if ((x / 24 + y) % 2 == 0 && (c.src.Pixel(x, y) & KeyBitsOf(c.kind)) == key)
                                   c.src.Set(x, y, key ^ 1u);
                       // Half the forms as large blocks keep them: 32-bit pixels in three bytes.
                       const bool packed = rng() % 2 == 0;
                       px::SetSpansForAllSizes(packed);
                       const bool built =
                           spans->Build(c.src.At(0, 0), c.src.pitch, c.kind, c.src.width, c.src.height, key);
                       px::SetSpansForAllSizes(false);
                       if (!built) return std::string("refused");
                       const int sx = rng() % c.src.width, sy = rng() % c.src.height;
                       const int w = 1 + rng() % (c.src.width - sx), h = 1 + rng() % (c.src.height - sy);
                       *part = {sx, sy, w < c.dst.width - c.sh.dstCol ? w : c.dst.width - c.sh.dstCol, h};
                       for (int y = 0; y < (*part)[3]; ++y)
                           for (int x = 0; x < (*part)[2]; ++x) {
                               uint32_t v;
                               if (RefKeyed(c.kind, c.src.Pixel(sx + x, sy + y), key, &v)) want.Set(c.sh.dstCol + x, y, v);
                           }
                       return "part at " + std::to_string(sx) + "," + std::to_string(sy) +
                              (packed ? " packed" : "");
                   },
                   [spans, part](Case& c, Image& got) {
                       if (part->empty()) return;
                       spans->Copy(got.At(c.sh.dstCol, 0), got.pitch, (*part)[0], (*part)[1], (*part)[2], (*part)[3]);
                   }});
    auto weight = std::make_shared<uint32_t>();
    for (int e = 0; e < static_cast<int>(px::Effect::Count); ++e) {
        const px::Effect effect = static_cast<px::Effect>(e);
        ops.push_back({px::EffectName(effect), {15, 16, 24, 32},
                       [effect, weight, key](Case& c, Image& want, std::mt19937& rng) {
                           const uint32_t weights[] = {0, 1, 64, 127, 128, 129, 200, 255, 256, 257, 300, 65535};
                           *weight = weights[rng() % 12];
                           *key = KeyedSource(c.kind, c.src, rng);
                           if (c.kind == 32 && rng() % 2) *key &= 0xFFFFFF;
                           const bool keyed = px::IsKeyed(effect);
                           for (int y = 0; y < c.sh.h; ++y)
                               for (int x = 0; x < c.sh.w; ++x) {
                                   uint32_t s;
                                   if (effect == px::Effect::MirrorLeftRight || effect == px::Effect::MirrorLeftRightKeyed)
                                       s = c.src.Pixel(c.sh.srcCol + c.sh.w - 1 - x, y);
                                   else if (effect == px::Effect::MirrorUpDown || effect == px::Effect::MirrorUpDownKeyed)
                                       s = c.src.Pixel(c.sh.srcCol + x, c.sh.h - 1 - y);
                                   else
                                       s = c.src.Pixel(c.sh.srcCol + x, y);
                                   if (keyed && IsKey(c.kind, s, *key)) continue;
                                   const uint32_t d = want.Pixel(c.sh.dstCol + x, y);
                                   uint32_t out = s;  // mirrors move the whole pixel
                                   switch (effect) {
                                       case px::Effect::HalfAlpha:
                                       case px::Effect::HalfAlphaKeyed: out = RefHalfAlpha(c.kind, s, d); break;
                                       case px::Effect::Alpha:
                                       case px::Effect::AlphaKeyed: out = RefAlpha(c.kind, s, d, *weight); break;
                                       case px::Effect::Translucent:
                                       case px::Effect::TranslucentKeyed: out = RefScale(c.kind, d, *weight); break;
                                       case px::Effect::HalfTranslucent:
                                       case px::Effect::HalfTranslucentKeyed: out = RefHalve(c.kind, d); break;
                                       default: break;
                                   }
                                   want.Set(c.sh.dstCol + x, y, out);
                               }
                           return "weight " + std::to_string(*weight) + " key " + std::to_string(*key);
                       },
                       [effect, weight, key](Case& c, Image& got) {
                           const Image before = c.src;
                           const uint8_t* s = px::ReadsSource(effect) ? c.src.At(c.sh.srcCol, 0) : nullptr;
                           px::EffectFor(effect, c.kind)(got.At(c.sh.dstCol, 0), got.pitch, s, c.src.pitch, c.sh.w,
                                                         c.sh.h, px::EffectArgs{*weight, *key});
                           if (before.store != c.src.store) got.store.clear();  // the source was written
                       }});
    }
    ops.push_back({"ScaleCopy", {15, 16, 24, 32},
                   [weight](Case& c, Image& want, std::mt19937& rng) {
                       const uint32_t factors[] = {0, 1, 77, 128, 255, 256, 300, 1000};
                       *weight = factors[rng() % 8];
                       for (int y = 0; y < c.sh.h; ++y)
                           for (int x = 0; x < c.sh.w; ++x) {
                               const uint32_t d = want.Pixel(c.sh.dstCol + x, y);
                               // The source's channels over the destination's byte 3.
                               const uint32_t s = c.kind == 32 ? (c.src.Pixel(c.sh.srcCol + x, y) & 0xFFFFFFu) |
                                                                     (d & 0xFF000000u)
                                                               : c.src.Pixel(c.sh.srcCol + x, y);
                               want.Set(c.sh.dstCol + x, y, RefScale(c.kind, s, *weight));
                           }
                       return "factor " + std::to_string(*weight);
                   },
                   [weight](Case& c, Image& got) {
                       px::ScaleCopy(c.kind)(got.At(c.sh.dstCol, 0), got.pitch, c.src.At(c.sh.srcCol, 0), c.src.pitch,
                                             c.sh.w, c.sh.h, *weight);
                   }});
    ops.push_back({"BlendColourRect", {15, 16, 24, 32},
                   [weight, key](Case& c, Image& want, std::mt19937& rng) {
                       const uint32_t alphas[] = {0, 1, 64, 126, 127, 128, 129, 255, 256};
                       *weight = alphas[rng() % 9];
                       *key = rng();  // the colour
                       for (int y = 0; y < c.sh.h; ++y)
                           for (int x = 0; x < c.sh.w; ++x)
                               want.Set(c.sh.dstCol + x, y,
                                        RefBlendColour(c.kind, want.Pixel(c.sh.dstCol + x, y), *key, *weight));
                       return "alpha " + std::to_string(*weight) + " colour " + std::to_string(*key);
                   },
                   [weight, key](Case& c, Image& got) {
                       px::BlendColourRect(got.At(c.sh.dstCol, 0), got.pitch, c.sh.w, c.sh.h, c.kind, *key, *weight);
                   }});
    return ops;
}

class PixelLoops : public ::testing::Test {
protected:
    void TearDown() override { px::ResetSimd(); }
};

// One random case of `op` on `sh`, run at every level against its reference.
void CheckAtEveryLevel(const Operation& op, int kind, const Shape& sh, std::mt19937& rng) {
    Case c(kind, sh);
    c.src.Randomise(rng);
    c.dst.Randomise(rng);
    Image want = c.dst;
    const std::string params = op.reference(c, want, rng);
    for (px::Simd level : Levels()) {
        px::SetSimd(level);
        Image got = c.dst;
        op.run(c, got);
        ASSERT_FALSE(got.store.empty()) << op.name << ": the source was written";
        ASSERT_EQ("", Difference(got, want))
            << op.name << " kind " << kind << " at " << px::SimdName(level) << ", " << sh.w << "x" << sh.h
            << " columns " << sh.srcCol << "/" << sh.dstCol << " pads " << sh.srcPad << "/" << sh.dstPad << ", "
            << params;
    }
}

TEST_F(PixelLoops, EveryOperationFollowsTheRulesAtEveryLevel) {
    std::mt19937 rng(20240517);
    for (const Operation& op : Operations())
        for (int kind : op.kinds)
            for (int round = 0; round < 60; ++round) {
                CheckAtEveryLevel(op, kind, RandomShape(rng), rng);
                if (HasFatalFailure()) return;
            }
}

// Rows of exactly sixteen bytes (a small sprite's) may be blended two at a
// time: every effect on them, odd and even row counts, keeps to the rules.
TEST_F(PixelLoops, EffectsOnSixteenByteRowsFollowTheRules) {
    std::mt19937 rng(8088);
    for (const Operation& op : Operations()) {
        bool effect = false;
        for (int e = 0; e < static_cast<int>(px::Effect::Count); ++e)
            effect = effect || std::string(op.name) == px::EffectName(static_cast<px::Effect>(e));
        if (!effect) continue;
        for (int kind : {15, 16, 32})
            for (int h = 1; h <= 7; ++h)
                for (int round = 0; round < 4; ++round) {
                    const Shape sh{16 / Bpp(kind), h, static_cast<int>(rng() % 13), static_cast<int>(rng() % 13),
                                   static_cast<int>(rng() % 7), static_cast<int>(rng() % 7)};
                    CheckAtEveryLevel(op, kind, sh, rng);
                    if (HasFatalFailure()) return;
                }
    }
}

// A source block that ends where its memory ends (no padding, no guard):
// stretching it reads nothing past its last byte, which the sanitizer
// build reports, and gives every pixel by the sampling rule.
TEST_F(PixelLoops, StretchesReadNothingPastTheSourceBlock) {
    std::mt19937 rng(7);
    for (int kind : {8, 15, 16, 24, 32})
        for (int w : {1, 2, 3, 5, 17})
            for (int h : {1, 3})
                for (bool mirror : {false, true}) {
                    const int bpp = Bpp(kind);
                    std::vector<uint8_t> src(static_cast<size_t>(w) * bpp * h);
                    for (uint8_t& b : src) b = static_cast<uint8_t>(rng());
                    px::StretchArgs a;
                    a.srcW = w;
                    a.srcH = h;
                    a.dstW = a.x1 = 2 * w + 1;
                    a.dstH = a.y1 = 2 * h;
                    a.mirrorX = a.mirrorY = mirror;
                    Image want(a.dstW, a.dstH, bpp, 0);
                    for (int y = 0; y < a.dstH; ++y)
                        for (int x = 0; x < a.dstW; ++x) {
                            int sx = x * w / a.dstW, sy = y * h / a.dstH;
                            if (mirror) sx = w - 1 - sx, sy = h - 1 - sy;
                            uint32_t p = 0;
                            std::memcpy(&p, &src[(static_cast<size_t>(sy) * w + sx) * bpp], bpp);
                            want.Set(x, y, p);
                        }
                    for (px::Simd level : Levels()) {
                        px::SetSimd(level);
                        Image got(a.dstW, a.dstH, bpp, 0);
                        px::Stretch(got.At(0, 0), got.pitch, src.data(), static_cast<ptrdiff_t>(w) * bpp, kind, a);
                        ASSERT_EQ("", Difference(got, want)) << "kind " << kind << " " << w << "x" << h << " mirror "
                                                             << mirror << " at " << px::SimdName(level);
                    }
                }
    px::ResetSimd();
}

// One pixel through an effect at every level; every level must agree.
uint32_t One(px::Effect e, int kind, uint32_t s, uint32_t d, uint32_t weight, uint32_t key = 0xFFFFFFFFu) {
    uint32_t first = 0;
    for (px::Simd level : Levels()) {
        px::SetSimd(level);
        uint8_t sb[4], db[4];
        std::memcpy(sb, &s, 4);
        std::memcpy(db, &d, 4);
        px::EffectFor(e, kind)(db, 4, sb, 4, 1, 1, px::EffectArgs{weight, key});
        uint32_t out = 0;
        std::memcpy(&out, db, Bpp(kind));
        if (level == px::Simd::None) first = out;
        EXPECT_EQ(first, out) << px::EffectName(e) << " at " << px::SimdName(level);
    }
    px::ResetSimd();
    return first;
}

TEST_F(PixelLoops, KnownValuesOfTheBlendsAndShades) {
    using E = px::Effect;
    // Weight 255, 5-bit source 0 over destination 31: 30; 8-bit 200 over 100: 100.
    EXPECT_EQ(30u, One(E::Alpha, 16, 0, 31, 255) & 0x1F);
    EXPECT_EQ(100u, One(E::Alpha, 32, 200, 100, 255) & 0xFF);
    // 128: 10 over 0, 11 over 0 and 0 over 11 all give 5; 127 keeps 31 over 31.
    EXPECT_EQ(5u, One(E::Alpha, 24, 10, 0, 128));
    EXPECT_EQ(5u, One(E::Alpha, 24, 11, 0, 128));
    EXPECT_EQ(5u, One(E::Alpha, 24, 0, 11, 128));
    EXPECT_EQ(31u, One(E::Alpha, 15, 31, 31, 127));
    // 0 gives the source (bit 15 cleared, byte 3 of the destination kept);
    // 256 and beyond leave the destination.
    EXPECT_EQ(0x7FFFu, One(E::Alpha, 15, 0xFFFF, 0x1234, 0));
    EXPECT_EQ(0xAB123456u, One(E::Alpha, 32, 0xCD123456, 0xAB000000, 0));
    for (uint32_t w : {256u, 300u, 65535u}) EXPECT_EQ(0xF00Fu, One(E::Alpha, 16, 0x0FF0, 0xF00F, w)) << w;
    // Averages without carries.
    EXPECT_EQ(0x7BDEu, One(E::HalfAlpha, 15, 0x7FFF, 0x7FFF, 0));
    EXPECT_EQ(0x3DEFu, One(E::HalfAlpha, 15, 0x7FFF, 0x0000, 0));
    EXPECT_EQ(0xF7DEu, One(E::HalfAlpha, 16, 0xFFFF, 0xFFFF, 0));
    EXPECT_EQ(0x99FEFEFEu, One(E::HalfAlpha, 32, 0x11FFFFFF, 0x99FFFFFF, 0));
    // 49 and 51 turn 31, 63 and 255 into 5, 12, 48 and 6, 12, 50; halving
    // gives 15, 31, 127 as 128 does; 0 makes black but for byte 3.
    EXPECT_EQ(5u | 12u << 5 | 5u << 11, One(E::Translucent, 16, 0, 0xFFFF, 49));
    EXPECT_EQ(48u, One(E::Translucent, 24, 0, 0xFF, 49));
    EXPECT_EQ(6u | 12u << 5 | 6u << 11, One(E::Translucent, 16, 0, 0xFFFF, 51));
    EXPECT_EQ(50u, One(E::Translucent, 32, 0, 0xFF, 51));
    EXPECT_EQ(15u | 31u << 5 | 15u << 11, One(E::HalfTranslucent, 16, 0, 0xFFFF, 0));
    EXPECT_EQ(15u | 31u << 5 | 15u << 11, One(E::Translucent, 16, 0, 0xFFFF, 128));
    EXPECT_EQ(0x556677u, One(E::HalfTranslucent, 24, 0, 0xABCDEF, 0));
    EXPECT_EQ(0x42000000u, One(E::Translucent, 32, 0, 0x42FFFFFF, 0));
    // 32 bits: a pixel differing from the key in byte 3 only is the key; a
    // mirror moves a pixel whole, byte 3 included.
    EXPECT_EQ(0x11223344u, One(E::AlphaKeyed, 32, 0xFF00FF00, 0x11223344, 0, 0x0000FF00));
    EXPECT_EQ(0x11223344u, One(E::MirrorLeftRightKeyed, 32, 0x7700FF00, 0x11223344, 0, 0x0000FF00));
    EXPECT_EQ(0x7700FF01u, One(E::MirrorUpDownKeyed, 32, 0x7700FF01, 0x11223344, 0, 0x0000FF00));
    // The keyed copy writes a 32-bit pixel with a top byte of 0 and keeps
    // a 5-5-5 pixel's bit 15 (it compares and writes the whole pixel).
    for (px::Simd level : Levels()) {
        px::SetSimd(level);
        uint32_t s[3] = {0xEE123456u, 0xAB654321u, 0x77000001u}, d[3] = {1, 2, 3};
        px::KeyedCopy(32)(reinterpret_cast<uint8_t*>(d), 12, reinterpret_cast<uint8_t*>(s), 12, 3, 1, 0x123456);
        EXPECT_EQ(1u, d[0]);
        EXPECT_EQ(0x00654321u, d[1]);
        EXPECT_EQ(0x00000001u, d[2]);
        uint16_t s15[2] = {0x8005, 0x0005}, d15[2] = {9, 9};
        px::KeyedCopy(15)(reinterpret_cast<uint8_t*>(d15), 4, reinterpret_cast<uint8_t*>(s15), 4, 2, 1, 0x0005);
        EXPECT_EQ(0x8005, d15[0]) << px::SimdName(level);
        EXPECT_EQ(9, d15[1]) << px::SimdName(level);
    }
}

TEST_F(PixelLoops, OverlappingPlainCopiesMoveInEveryDirection) {
    std::mt19937 rng(7);
    const int shifts[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {3, 2}, {-3, -2}, {2, -1}, {-2, 1}, {5, 0}, {0, 3}};
    for (px::Simd level : Levels()) {
        px::SetSimd(level);
        for (int kind : {8, 15, 24, 32})
            for (auto& s : shifts) {
                Image img(40, 20, Bpp(kind), 5);
                img.Randomise(rng);
                const int sx = 8, sy = 6, w = 23, h = 9, dx = sx + s[0], dy = sy + s[1];
                Image want = img;
                std::vector<uint8_t> block;
                for (int y = 0; y < h; ++y) block.insert(block.end(), img.At(sx, sy + y), img.At(sx + w, sy + y));
                for (int y = 0; y < h; ++y) std::memcpy(want.At(dx, dy + y), &block[y * w * img.bpp], w * img.bpp);
                px::PlainCopy(kind)(img.At(dx, dy), img.pitch, img.At(sx, sy), img.pitch, w, h);
                ASSERT_EQ("", Difference(img, want)) << px::SimdName(level) << " kind " << kind << " shift " << s[0]
                                                     << "," << s[1];
            }
    }
    Image img(50, 10, 4, 0);
    const size_t row = 10 * 4;
    EXPECT_TRUE(px::BlocksOverlap(img.At(0, 0), img.pitch, img.At(5, 0), img.pitch, row, 3));
    EXPECT_TRUE(px::BlocksOverlap(img.At(5, 2), img.pitch, img.At(0, 0), img.pitch, row, 3));
    EXPECT_FALSE(px::BlocksOverlap(img.At(0, 0), img.pitch, img.At(10, 0), img.pitch, row, 3));  // side by side
    EXPECT_FALSE(px::BlocksOverlap(img.At(0, 0), img.pitch, img.At(20, 1), img.pitch, row, 5));  // in the row gaps
    EXPECT_FALSE(px::BlocksOverlap(img.At(0, 0), img.pitch, img.At(0, 3), img.pitch, row, 3));
    EXPECT_TRUE(px::BlocksOverlap(img.At(0, 0), img.pitch, img.At(0, 2), img.pitch, row, 3));
}

TEST_F(PixelLoops, RowsAdvanceByPitchesBeyondSixteenBits) {
    // 17000 pixels of 4 bytes: a pitch of 68000 bytes.
    std::mt19937 rng(11);
    for (px::Simd level : Levels()) {
        px::SetSimd(level);
        Image src(17000, 3, 4, 0), dst(17000, 3, 4, 0);
        src.Randomise(rng);
        dst.Randomise(rng);
        Image want = dst;
        for (int y = 0; y < 3; ++y)
            for (int x = 16990; x < 16997; ++x) {
                uint32_t v;
                if (RefKeyed(32, src.Pixel(x, y), 0x010203, &v)) want.Set(x, y, v);
            }
        px::KeyedCopy(32)(dst.At(16990, 0), dst.pitch, src.At(16990, 0), src.pitch, 7, 3, 0x010203);
        ASSERT_EQ("", Difference(dst, want)) << px::SimdName(level);
    }
}

// Span forms of wide sprites: opaque runs of every length from one pixel to
// most of a 1200-pixel row (the short ones inline, the long ones through the
// C library), each row's runs at other places, copied whole and as a part
// cut at both sides, packed and not, at every level; and of narrow ones that
// stay in the first-level cache, whose runs some levels copy otherwise.
TEST_F(PixelLoops, SpanRunsOfEveryLengthCopyLikeTheReference) {
    std::mt19937 rng(29);
    const int sizes[2][2] = {{1200, 24}, {300, 8}};
    for (const auto& size : sizes)
        for (int kind : {8, 15, 16, 24, 32}) {
            const int w = size[0], h = size[1];
            const uint32_t key = 0x00A1B2C3u & KeyBitsOf(kind);
            Image src(w, h, Bpp(kind), 5);
            src.Randomise(rng);
            for (int y = 0; y < h; ++y) {
                // Row y holds runs of 1, 2, 4, ... pixels up to one of ~900, key gaps
                // between them, all shifted by y pixels.
                int x = 0;
                for (int x0 = 0; x0 < y && x < w; ++x0) src.Set(x++, y, key);
                for (int n = 1; x < w; n = n < 700 ? n * 2 + y % 3 : 1) {
                    for (int i = 0; i < n && x < w; ++i, ++x)
                        if ((src.Pixel(x, y) & KeyBitsOf(kind)) == key) src.Set(x, y, key ^ 1u);
                    for (int i = 0; i < 1 + y % 5 && x < w; ++i) src.Set(x++, y, key);
                }
            }
            for (px::Simd level : Levels()) {
                px::SetSimd(level);
                for (bool packed : {false, true}) {
                    px::SetSpansForAllSizes(packed);
                    px::KeySpans spans;
                    const bool built = spans.Build(src.At(0, 0), src.pitch, kind, w, h, key);
                    px::SetSpansForAllSizes(false);
                    // Weighed, a level whose keyed loop beats these runs refuses them.
                    if (!built && !packed) continue;
                    ASSERT_TRUE(built) << kind << " " << px::SimdName(level);
                    const int parts[2][4] = {{0, 0, w, h}, {3, 2, w - 10, h - 5}};
                    for (const auto& p : parts) {
                        Image dst(w + 3, h, Bpp(kind), 7);
                        dst.Randomise(rng);
                        Image want = dst;
                        for (int y = 0; y < p[3]; ++y)
                            for (int x = 0; x < p[2]; ++x) {
                                uint32_t v;
                                if (RefKeyed(kind, src.Pixel(p[0] + x, p[1] + y), key, &v)) want.Set(x + 1, y, v);
                            }
                        spans.Copy(dst.At(1, 0), dst.pitch, p[0], p[1], p[2], p[3]);
                        ASSERT_EQ("", Difference(dst, want))
                            << "kind " << kind << " " << px::SimdName(level) << (packed ? " packed" : "") << " part at "
                            << p[0] << "," << p[1];
                    }
                }
            }
        }
}

// Desktop rows into a window and back: like the reference, exactly back,
// nothing beyond the row touched, at every level.
TEST_F(PixelLoops, WindowRowsConvertLikeTheReferenceAndBackExactly) {
    struct Pair {
        px::Row to, from;
        int kind, desktopBytes, windowBytes;
    };
    const Pair pairs[] = {{px::Row::Copy16, px::Row::Copy16, 16, 2, 2},
                          {px::Row::Copy24, px::Row::Copy24, 24, 3, 3},
                          {px::Row::Copy32, px::Row::Copy32, 32, 4, 4},
                          {px::Row::Rgb555ToXrgb, px::Row::XrgbToRgb555, 15, 2, 4},
                          {px::Row::Rgb565ToXrgb, px::Row::XrgbToRgb565, 16, 2, 4},
                          {px::Row::Bgr24ToXrgb, px::Row::XrgbToBgr24, 24, 3, 4}};
    std::mt19937 rng(77);
    for (px::Simd level : Levels()) {
        px::SetSimd(level);
        for (const Pair& p : pairs)
            for (int round = 0; round < 100; ++round) {
                const int count = static_cast<int>(rng() % 70), skew = static_cast<int>(rng() % 4);
                const int db = p.desktopBytes, wb = p.windowBytes;
                std::vector<uint8_t> desk(count * db + 8), win(count * wb + 8, 0xCD);
                for (uint8_t& b : desk) b = static_cast<uint8_t>(rng());
                const uint8_t* src = desk.data() + skew;
                for (bool fast : {true, false}) {
                    std::fill(win.begin(), win.end(), 0xCD);
                    px::RowFor(p.to, fast)(win.data() + skew, src, count);
                    px::FinishRows();
                    for (int i = 0; i < count; ++i) {
                        uint32_t d = 0, w = 0;
                        std::memcpy(&d, src + i * db, db);
                        std::memcpy(&w, win.data() + skew + i * wb, wb);
                        ASSERT_EQ(db == wb ? d : RefToXrgb(p.kind, d), w)
                            << px::SimdName(level) << " pixel " << i << " of " << count;
                    }
                    for (size_t b = skew + count * wb; b < win.size(); ++b) ASSERT_EQ(0xCD, win[b]);
                    std::vector<uint8_t> back(count * db + 8, 0xEE);
                    px::RowFor(p.from, fast)(back.data() + skew, win.data() + skew, count);
                    ASSERT_EQ(0, std::memcmp(back.data() + skew, src, count * db)) << "not given back exactly";
                    ASSERT_EQ(0xEE, back[skew + count * db]);
                }
            }
    }
}

// Picture rows of every source layout into every surface kind, against
// channels worked out here: from random rows, first pixels and counts,
// nothing beyond the row written, no byte read past the row's last pixel
// (the source holds just the bytes its pixels need, for the sanitizer).
TEST_F(PixelLoops, PictureRowsConvertEveryLayoutIntoEveryKind) {
    std::mt19937 rng(2511);
    uint32_t table[256];
    for (int bits : {1, 4, 8, 15, 16, 24, 32})
        for (int kind : {15, 16, 24, 32}) {
            const int db = Bpp(kind);
            for (px::Simd level : Levels()) {
                px::SetSimd(level);
                for (int round = 0; round < 60; ++round) {
                    for (uint32_t& t : table) t = static_cast<uint32_t>(rng()) & (kind == 15 ? 0x7FFF : kind == 16 ? 0xFFFF : 0xFFFFFF);
                    const int first = static_cast<int>(rng() % 9), count = 1 + static_cast<int>(rng() % 90);
                    const size_t srcBytes = (static_cast<size_t>(first + count) * (bits == 15 ? 16 : bits) + 7) / 8;
                    std::vector<uint8_t> src(srcBytes);
                    for (uint8_t& b : src) b = static_cast<uint8_t>(rng());
                    std::vector<uint8_t> got(count * db + 2 * kGuardBytes, kGuard);
                    px::PictureRow(bits, static_cast<uint32_t>(kind))(got.data() + kGuardBytes, src.data(), first,
                                                                      count, table);
                    std::vector<uint8_t> ref(got.size(), kGuard);
                    px::PictureRow(bits, static_cast<uint32_t>(kind), false)(ref.data() + kGuardBytes, src.data(),
                                                                             first, count, table);
                    ASSERT_EQ(got, ref) << bits << " -> " << kind << " at " << px::SimdName(level);
                    for (int i = 0; i < count; ++i) {
                        const int u = first + i;
                        uint32_t want = 0, v = 0;
                        if (bits <= 8) {
                            const int perByte = 8 / bits;
                            const int index = src[u / perByte] >> (8 - bits * (u % perByte + 1)) & ((1 << bits) - 1);
                            want = table[index];
                        } else {
                            std::memcpy(&v, &src[static_cast<size_t>(u) * (bits == 15 ? 2 : bits / 8)],
                                        bits == 15 ? 2 : bits / 8);
                            const uint32_t c = bits == 15 ? RefToXrgb(15, v & 0x7FFF) : bits == 16 ? RefToXrgb(16, v) : v;
                            const uint32_t r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
                            want = kind == 15 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3
                                   : kind == 16 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                                : r << 16 | g << 8 | b;
                        }
                        uint32_t out = 0;
                        std::memcpy(&out, &got[kGuardBytes + static_cast<size_t>(i) * db], db);
                        ASSERT_EQ(want, out) << bits << " -> " << kind << " at " << px::SimdName(level) << ", pixel "
                                             << i << " of " << count << " from " << first;
                    }
                    for (size_t b = 0; b < kGuardBytes; ++b)
                        ASSERT_TRUE(got[b] == kGuard && got[got.size() - 1 - b] == kGuard) << "written past the row";
                }
            }
        }
}

// The chooser: one level in use, never beyond the processor's best; the
// environment's QNDX_SIMD, and QNDX_BLIT_NO_FAST as its alias for none.
TEST_F(PixelLoops, TheChooserFollowsTheSwitchAndTheProcessor) {
    for (px::Simd level : {px::Simd::None, px::Simd::Sse2, px::Simd::Avx2, px::Simd::Avx512}) {
        px::Simd parsed;
        ASSERT_TRUE(px::ParseSimd(px::SimdName(level), &parsed));
        EXPECT_EQ(level, parsed);
        px::SetSimd(level);
        EXPECT_EQ(static_cast<int>(level) <= static_cast<int>(px::BestSimd()) ? level : px::BestSimd(),
                  px::ActiveSimd());
    }
    px::Simd unused;
    EXPECT_FALSE(px::ParseSimd("sse3", &unused));
    EXPECT_FALSE(px::ParseSimd("", &unused));

    const char* names[] = {"QNDX_SIMD", "QNDX_BLIT_NO_FAST"};
    std::string saved[2];
    bool had[2];
    for (int i = 0; i < 2; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
        unsetenv(names[i]);
    }
    px::ResetSimd();
    EXPECT_EQ(px::BestSimd(), px::ActiveSimd());
    setenv("QNDX_BLIT_NO_FAST", "1", 1);
    px::ResetSimd();
    EXPECT_EQ(px::Simd::None, px::ActiveSimd());
    setenv("QNDX_SIMD", "sse2", 1);  // named levels win over the alias
    px::ResetSimd();
    EXPECT_EQ(px::BestSimd() == px::Simd::None ? px::Simd::None : px::Simd::Sse2, px::ActiveSimd());
    for (int i = 0; i < 2; ++i) {
        if (had[i])
            setenv(names[i], saved[i].c_str(), 1);
        else
            unsetenv(names[i]);
    }
    px::ResetSimd();

    // Kinds without loops get none.
    EXPECT_EQ(nullptr, px::PlainCopy(7));
    EXPECT_EQ(nullptr, px::KeyedCopy(0));
    EXPECT_EQ(nullptr, px::EffectFor(px::Effect::Alpha, 8));
    EXPECT_EQ(nullptr, px::EffectFor(px::Effect::Count, 32));
    EXPECT_EQ(nullptr, px::ScaleCopy(8));

    // The processor's identification: a vendor on x86, leaves beyond the
    // highest read as zeros.
    uint32_t regs[4];
    if (px::HasCpuid()) {
        ASSERT_TRUE(px::Cpuid(0, 0, regs));
        EXPECT_NE(0u, regs[1] | regs[2] | regs[3]);
        ASSERT_TRUE(px::Cpuid(regs[0] + 1, 0, regs));
        EXPECT_EQ(0u, regs[0] | regs[1] | regs[2] | regs[3]);
    } else {
        EXPECT_FALSE(px::Cpuid(0, 0, regs));
        EXPECT_EQ(px::Simd::None, px::BestSimd());
    }
}

}  // namespace
