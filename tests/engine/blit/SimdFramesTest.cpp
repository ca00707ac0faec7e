// Whichever vector forms the pixel loops use, a game draws the same frame: a
// seeded run of the public drawing and blit calls onto a back buffer in video
// memory (sprites cached after their first blit, so both the engine's loops
// and the platform's, span form included, take part) leaves byte-identical
// buffers at every level the switch offers.
#include <random>

#include "BlitTestSupport.h"

namespace blit_test {
namespace {

const int kKinds[] = {15, 16, 24, 32};
const char* const kLevels[] = {"none", "sse2", "avx2", "avx512"};

class SimdFrames : public BlitFixture, public ::testing::WithParamInterface<int> {
protected:
    // Sprites of random pixels where about a third are the key, with the bits
    // outside the channels set at random too.
    CQNDXSurface* Sprite(std::mt19937& rng, int w, int h) {
        CQNDXSurface* s = Registered(w, h);
        if (!s || !s->GetDDSurface()) return s;
        Pixels p = Read(s->GetDDSurface());
        const uint32_t channels = Kind() == 15 ? 0x7FFFu : Kind() == 16 ? 0xFFFFu : 0xFFFFFFu;
        const uint32_t unused = Kind() == 15 ? 0x8000u : Kind() == 32 ? 0xFF000000u : 0u;
        const uint32_t key = static_cast<uint32_t>(rng()) & channels;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                uint32_t v = static_cast<uint32_t>(rng());
                // Runs of key pixels, as sprites have around their shapes.
                if ((x / 5 + y) % 3 == 0) v = key | (rng() % 4 == 0 ? unused : 0u);
                p.Set(x, y, v);
            }
        Write(s->GetDDSurface(), p);
        s->SetColorKeyNative(key);
        return s;
    }

    // The frame one level draws, from a fresh engine each time.
    Pixels Frame(const char* level, unsigned seed) {
        Start(GetParam());
        EXPECT_TRUE(qndx::sim::SetPixelSimd(level) || std::string(level) != "none");
        CQNDXSurface* back = Buffer(-16, 203, 151, true);
        engine->SetBack(back, true);
        engine->MakeCache();
        std::mt19937 rng(seed);
        Randomise(back->GetDDSurface(), seed);
        std::vector<CQNDXSurface*> sprites;
        for (int i = 0; i < 5; ++i)
            sprites.push_back(Sprite(rng, 3 + static_cast<int>(rng() % 61), 2 + static_cast<int>(rng() % 47)));
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        for (int op = 0; op < 400; ++op) {
            CQNDXSurface* src = sprites[static_cast<size_t>(pick(5))];
            // Now and then a sprite is drawn on, so its cached copy and spans go.
            CQNDXSurface* dst = pick(12) == 0 ? sprites[static_cast<size_t>(pick(5))] : back;
            if (dst == src) dst = back;
            const int x = pick(260) - 40, y = pick(200) - 30;
            RECT part = {pick(4), pick(4), src->GetWidth() - pick(4), src->GetHeight() - pick(4)};
            const RECT* r = pick(3) == 0 ? nullptr : &part;
            const BOOL keyed = pick(3) != 0;
            const DWORD colour = static_cast<DWORD>(rng());
            switch (pick(13)) {
            case 0: src->Blit(dst, x, y, r, keyed); break;
            case 1: src->BlitClipToSurface(dst, x, y, r, keyed); break;
            case 2: src->BlitMirrorLeftRight(dst, x, y, r, keyed); break;
            case 3: src->BlitMirrorUpDown(dst, x, y, r, keyed); break;
            case 4: src->BlitAlpha(dst, x, y, r, static_cast<WORD>(pick(3) == 0 ? 127 : pick(300)), keyed); break;
            case 5: src->BlitTranslucent(dst, x, y, r, static_cast<WORD>(pick(3) == 0 ? 50 : pick(300)), keyed); break;
            case 6: src->BlitScaled(dst, x, y, r, 0.25f + static_cast<float>(pick(12)) / 4.0f, keyed); break;
            case 7: src->BlitStretched(dst, x, y, r, 1 + pick(90), 1 + pick(70), keyed); break;
            case 8: src->BlitBlend(dst, x, y, r, static_cast<WORD>(pick(300))); break;
            case 9: dst->FillRect(x, y, x + pick(80), y + pick(60), colour); break;
            case 10: dst->BlendRect(x, y, x + pick(80), y + pick(60), static_cast<WORD>(pick(300)), colour); break;
            case 11: dst->DrawLineAA(x, y, pick(260) - 40, pick(200) - 30, colour); break;
            default: dst->FillCircle(x, y, pick(40), colour); break;
            }
        }
        Pixels frame = Read(back->GetDDSurface());
        TearDown();
        qndx::sim::Reset();
        return frame;
    }
};

TEST_P(SimdFrames, EveryLevelDrawsTheFrameOfTheScalarLoops) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const Pixels plain = Frame("none", seed);
        ASSERT_FALSE(plain.bytes.empty());
        for (const char* level : kLevels) {
            if (std::string(level) == "none") continue;
            const Pixels fast = Frame(level, seed);
            EXPECT_EQ("", FirstDifference(fast, plain)) << "QNDX_SIMD=" << level << ", seed " << seed;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SimdFrames, ::testing::ValuesIn(kKinds), KindName);

}  // namespace
}  // namespace blit_test
