// One loop per sprite whichever layer draws it: a keyed sprite drawn by the
// engine's software copy (the back buffer in system memory) and by the
// platform's BltFast (the back buffer in video memory) reaches the same
// function of the pixel library (the span form where the sizes are set to
// take it, whatever the level chooses for a small block), and both draw what
// a plain reference copy draws.
#include "BlitTestSupport.h"

#include "pixels/Frame.h"
#include "platform/sim/Display.h"

namespace blit_test {
namespace {

namespace px = qndx::pixels;

class SameLoopTest : public BlitTest {
protected:
    void TearDown() override {
        px::TraceLoops(false);
        qndx::sim::SetKeySpansForAllSizes(false);
        BlitTest::TearDown();
    }
    uint32_t Key() const { return Kind() == 15 ? 0x1234 : Kind() == 16 ? 0x8421 : 0x00FF00FF; }
    // A registered 48x16 sprite keyed with Key(): one long opaque run a row
    // between key pixels, from which a span form is built.
    CQNDXSurface* Sprite(Pixels* sp) {
        CQNDXSurface* sprite = Registered(48, 16);
        const uint32_t key = Key();
        EXPECT_EQ(0, sprite->SetColorKeyNative(key));
        *sp = Read(sprite->GetDDSurface());
        std::mt19937 rng(7);
        for (int y = 0; y < sp->height; ++y)
            for (int x = 0; x < sp->width; ++x) {
                uint32_t v = rng() & (Kind() == 15 || Kind() == 16 ? 0xFFFFu : 0xFFFFFFFFu);
                if ((v & (Kind() >= 24 ? 0xFFFFFFu : 0xFFFFu)) == key) v ^= 1;
                sp->Set(x, y, (x < 3 + y % 4 || x >= 44) ? key : v);
            }
        Write(sprite->GetDDSurface(), *sp);
        return sprite;
    }
};

TEST_P(SameLoopTest, SoftwareAndBltFastKeyedBlitsOfOneSpriteRunOneLoop) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 64, 32, true);
    engine->SetBack(back, true);
    engine->MakeCache();
    Pixels sp;
    CQNDXSurface* sprite = Sprite(&sp);
    const uint32_t key = Key();
    Randomise(back->GetDDSurface(), 8);
    const Pixels background = Read(back->GetDDSurface());
    qndx::sim::SetKeySpansForAllSizes(true);  // the sprite is small
    px::TraceLoops(true);

    struct Case {
        RECT part;
        px::Loop loop;
    };
    for (const Case& c : {Case{{0, 0, 48, 16}, px::Loop::Spans}, Case{{2, 3, 10, 11}, px::Loop::None}}) {
        if (c.loop == px::Loop::None) qndx::sim::SetKeySpansForAllSizes(false);
        Pixels want = background;
        RefCopy(Kind(), &want, 5, 7, sp, c.part.left, c.part.top, c.part.right - c.part.left,
                c.part.bottom - c.part.top, true, key & (Kind() >= 24 ? 0xFFFFFFu : 0xFFFFu));
        px::LoopRun ran[2];
        for (bool hw : {true, false}) {
            engine->SetBack(back, hw);
            // The first blit caches the sprite; the span form is built at a
            // source's second keyed use.
            for (int call = 0; call < 3; ++call) {
                Write(back->GetDDSurface(), background);
                qndx::sim::EnableJournal(true);
                ASSERT_EQ(0, sprite->Blit(back, 5, 7, &c.part, TRUE));
                // (The very first blit's one is the cache filling its copy.)
                EXPECT_EQ(hw ? 1 : 0, qndx::sim::JournalCount("IDirectDrawSurface7::BltFast"))
                    << (hw ? "hardware" : "software");
                qndx::sim::EnableJournal(false);
                qndx::sim::ClearJournal();
                EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want)) << (hw ? "hardware " : "software ")
                                                                                   << call;
            }
            ran[hw] = px::LastLoop();
        }
        // At block sizes the level decides; forced, the span form (which the
        // plain reference level of a vector build never takes).
        if (c.loop == px::Loop::Spans && px::ActiveSimd() != px::Simd::None) {
            EXPECT_EQ(px::Loop::Spans, ran[true].loop);
        }
        EXPECT_NE(px::Loop::None, ran[true].loop);
        EXPECT_EQ(ran[true].loop, ran[false].loop);
        EXPECT_EQ(ran[true].fn, ran[false].fn);
        EXPECT_EQ(c.part.right - c.part.left, ran[false].w);
    }
}

// Without a cache the software copy reads the sprite itself, which lends its
// span form too; blending the sprite somewhere only reads it and keeps it.
TEST_P(SameLoopTest, UncachedSpriteKeepsItsSpanFormAcrossABlendOfIt) {
    if (px::ActiveSimd() == px::Simd::None) GTEST_SKIP() << "the plain level takes no span form";
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 64, 32, false);
    engine->SetBack(back, false);
    engine->DropCache();
    Pixels sp;
    CQNDXSurface* sprite = Sprite(&sp);
    Randomise(back->GetDDSurface(), 8);
    const Pixels background = Read(back->GetDDSurface());
    Pixels want = background;
    RefCopy(Kind(), &want, 5, 7, sp, 0, 0, 48, 16, true, Key() & (Kind() >= 24 ? 0xFFFFFFu : 0xFFFFu));
    qndx::sim::SetKeySpansForAllSizes(true);
    px::TraceLoops(true);
    for (int call = 0; call < 4; ++call) {
        // The blend comes after the span form is built (a source's second use).
        if (call == 2) {
            ASSERT_EQ(0, sprite->BlitAlpha(back, 0, 0, nullptr, 96, FALSE));
        }
        Write(back->GetDDSurface(), background);
        ASSERT_EQ(0, sprite->Blit(back, 5, 7, nullptr, TRUE));
        EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want)) << call;
        if (call > 0) {
            EXPECT_EQ(px::Loop::Spans, px::LastLoop().loop) << call;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SameLoopTest, ::testing::ValuesIn({15, 16, 24, 32}), KindName);

}  // namespace
}  // namespace blit_test
