// The fast blit loops against the plain ones: random keyed, mirrored and
// zoomed blits in every pixel kind, with fast paths on and off, must leave
// the same bytes; and the span form of a keyed source must follow every
// kind of write to that source.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "DDrawTestUtil.h"
#include "pixels/Pixels.h"
#include "platform/sim/Window.h"

using namespace ddtest;

namespace {

const DWORD kDepths[] = {8, 15, 16, 24, 32};

DWORD ColourMask(DWORD bits) {
    switch (bits) {
        case 8: return 0xFF;
        case 15:
        case 16: return 0xFFFF;
        default: return 0xFFFFFF;
    }
}

DWORD AllBits(DWORD bits) { return bits == 32 ? 0xFFFFFFFFu : bits == 24 ? 0xFFFFFFu : bits == 8 ? 0xFFu : 0xFFFFu; }

bool SpansHeld(IDirectDrawSurface7* s) { return qndx::platform::SurfaceImpl::FromInterface(s)->HasSpans(); }

// Where two snapshots of equal surfaces first differ, as "x,y byte b".
std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, LONG pitch, int bpp) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "pixel %ld,%ld byte %ld: %02X fast, %02X plain",
                          static_cast<long>((i % pitch) / bpp), static_cast<long>(i / pitch),
                          static_cast<long>(i % pitch % bpp), a[i], b[i]);
            return text;
        }
    return a.size() == b.size() ? "" : "sizes differ";
}

class FastBlit : public ::testing::TestWithParam<DWORD> {
protected:
    void SetUp() override { dd = MakeDirectDraw(); }
    void TearDown() override { qndx::sim::SetBlitFastPaths(true); }

    Ref<IDirectDrawSurface7> Make(DWORD w, DWORD h) { return MakeSurface(dd.get(), DescIn(GetParam(), w, h)); }

    // A pixel whose colour bits are not the key's, with random bits beside
    // them (the fourth byte at 32 bits, the top bit at 15).
    DWORD Opaque(DWORD key) {
        const DWORD mask = ColourMask(GetParam());
        DWORD v;
        do v = rng() & AllBits(GetParam());
        while ((v & mask) == (key & mask));
        return v;
    }
    // The key, with random bits beside the colour bits.
    DWORD KeyPixel(DWORD key) {
        const DWORD mask = ColourMask(GetParam());
        return ((rng() & AllBits(GetParam())) & ~mask) | (key & mask);
    }
    // Rows of key and opaque runs: sprite-like long runs or noise, so that
    // both the span form and the vector loop get their turn.
    void PaintRuns(IDirectDrawSurface7* s, DWORD key) {
        qndx::platform::SurfaceMemory m = Mem(s);
        const int meanRun = 1 + static_cast<int>(rng() % 48);
        for (DWORD y = 0; y < m.height; ++y) {
            bool opaque = rng() & 1;
            int left = 0;
            for (DWORD x = 0; x < m.width; ++x) {
                if (left-- <= 0) {
                    opaque = !opaque;
                    left = static_cast<int>(rng() % (2 * meanRun));
                }
                Poke(s, static_cast<int>(x), static_cast<int>(y), opaque ? Opaque(key) : KeyPixel(key));
            }
        }
    }
    void RandomBytes(IDirectDrawSurface7* s) {
        qndx::platform::SurfaceMemory m = Mem(s);
        for (size_t i = 0; i < static_cast<size_t>(m.pitch) * m.height; ++i) m.bits[i] = static_cast<uint8_t>(rng());
    }
    RECT RandomRect(DWORD w, DWORD h) {
        const LONG l = static_cast<LONG>(rng() % w), t = static_cast<LONG>(rng() % h);
        return Rect(l, t, l + 1 + static_cast<LONG>(rng() % (w - l)), t + 1 + static_cast<LONG>(rng() % (h - t)));
    }
    int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

    Ref<IDirectDraw7> dd;
    std::mt19937 rng{20240611};
};

}  // namespace

// Each case: a keyed source and two equal destinations, a few random blits
// from the source (or, now and then, within the destination itself) done
// with the fast loops on one destination and the plain loops on the other;
// the fast loops at each vector level in turn, as far as the processor goes
// (the random operations every level must draw alike).
// Repeated keyed blits from one source reach the span form; clipped
// destination rectangles (through a clipper) and sub-rectangles of the
// source reach its clipping.
TEST_P(FastBlit, EveryBlitMatchesThePlainLoopsByteForByte) {
    const DWORD bits = GetParam();
    const DWORD aligns[] = {4, 8, 16, 64};
    int spanBlits = 0, blits = 0;
    for (int c = 0; c < 240; ++c) {
        const char* const levels[] = {"sse2", "avx2", "avx512"};
        const char* fastLevel = levels[c % 3];  // each as far as the processor goes
        // Every other case takes the span form wherever it is held, the
        // others only where it pays for the block's size.
        const bool spansAtAnySize = c % 2 == 0;
        qndx::sim::SetKeySpansForAllSizes(spansAtAnySize);
        qndx::sim::SetPitchAlignment(aligns[Pick(4)]);
        const DWORD sw = 1 + Pick(80), sh = 1 + Pick(30);
        const DWORD dw = 1 + Pick(120), dh = 1 + Pick(50);
        auto src = Make(sw, sh);
        auto fastDst = Make(dw, dh);
        auto plainDst = Make(dw, dh);
        const DWORD key = Opaque(0) & ColourMask(bits);  // any colour will do as the key
        PaintRuns(src.get(), key);
        DDCOLORKEY ck = {key, key};
        ASSERT_EQ(DD_OK, src->SetColorKey(DDCKEY_SRCBLT, &ck));
        RandomBytes(fastDst.get());
        {
            qndx::platform::SurfaceMemory a = Mem(fastDst.get()), b = Mem(plainDst.get());
            std::copy(a.bits, a.bits + static_cast<size_t>(a.pitch) * a.height, b.bits);
        }
        Ref<IDirectDrawClipper> clipper;
        const bool clipped = Pick(3) == 0;
        if (clipped) {
            ASSERT_EQ(DD_OK, dd->CreateClipper(0, clipper.out(), nullptr));
            ASSERT_EQ(DD_OK, fastDst->SetClipper(clipper.get()));
            ASSERT_EQ(DD_OK, plainDst->SetClipper(clipper.get()));
        }
        const DWORD overrideKey = Pick(2) ? key : (Opaque(0) & ColourMask(bits));

        for (int op = 0; op < 4; ++op) {
            const bool within = Pick(10) == 0;  // source and destination are one surface
            const DWORD fromW = within ? dw : sw, fromH = within ? dh : sh;
            RECT from = Pick(3) ? RandomRect(fromW, fromH) : Rect(0, 0, fromW, fromH);
            const LONG fw = from.right - from.left, fh = from.bottom - from.top;
            const int kind = Pick(6);  // BltFast, keyed Blt, override key, mirror, zoom, zoom and mirror
            DWORD flags = DDBLT_WAIT, fastFlags = DDBLTFAST_WAIT;
            DDBLTFX fx = Fx();
            RECT to;
            if (kind <= 2) {
                to = Rect(0, 0, fw, fh);
            } else {
                to = Rect(0, 0, kind == 3 ? fw : 1 + Pick(2 * fw + 2), kind == 3 ? fh : 1 + Pick(2 * fh + 2));
                if (kind != 4) {
                    flags |= DDBLT_DDFX;
                    fx.dwDDFX = Pick(3) == 0 ? DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN
                                : Pick(2)    ? DDBLTFX_MIRRORLEFTRIGHT
                                             : DDBLTFX_MIRRORUPDOWN;
                }
            }
            if (kind == 0 || kind == 1 || Pick(2)) flags |= DDBLT_KEYSRC;
            if (kind == 2) {
                flags |= DDBLT_KEYSRCOVERRIDE;
                fx.ddckSrcColorkey.dwColorSpaceLowValue = overrideKey;
                fx.ddckSrcColorkey.dwColorSpaceHighValue = overrideKey;
            }
            fastFlags |= DDBLTFAST_SRCCOLORKEY;
            // Place the destination rectangle: inside the surface, or
            // anywhere around it when a clipper cuts it.
            const LONG tw = to.right, th = to.bottom;
            LONG x, y;
            if (clipped) {
                x = Pick(dw + tw) - tw + 1;
                y = Pick(dh + th) - th + 1;
            } else {
                if (tw > static_cast<LONG>(dw) || th > static_cast<LONG>(dh)) continue;
                x = Pick(dw - tw + 1);
                y = Pick(dh - th + 1);
            }
            to = Rect(x, y, x + tw, y + th);

            HRESULT fastResult, plainResult;
            IDirectDrawSurface7* fastFrom = within ? fastDst.get() : src.get();
            IDirectDrawSurface7* plainFrom = within ? plainDst.get() : src.get();
            if (within) {
                // The destination as a source: give it the same key.
                ASSERT_EQ(DD_OK, fastDst->SetColorKey(DDCKEY_SRCBLT, &ck));
                ASSERT_EQ(DD_OK, plainDst->SetColorKey(DDCKEY_SRCBLT, &ck));
            }
            const bool useFast = kind == 0 && !clipped;
            const char* what = useFast ? "BltFast" : "Blt";
            qndx::sim::SetPixelSimd(fastLevel);
            if (useFast)
                fastResult = fastDst->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), fastFrom, &from, fastFlags);
            else
                fastResult = fastDst->Blt(&to, fastFrom, &from, flags, &fx);
            if (spansAtAnySize && !within && SpansHeld(src.get())) ++spanBlits;
            qndx::sim::SetBlitFastPaths(false);
            if (useFast)
                plainResult =
                    plainDst->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), plainFrom, &from, fastFlags);
            else
                plainResult = plainDst->Blt(&to, plainFrom, &from, flags, &fx);
            qndx::sim::SetBlitFastPaths(true);
            if (spansAtAnySize) ++blits;
            ASSERT_EQ(plainResult, fastResult) << "case " << c;
            const qndx::platform::SurfaceMemory m = Mem(fastDst.get());
            const std::string diff =
                FirstDifference(Snapshot(fastDst.get()), Snapshot(plainDst.get()), m.pitch, BytesOf(m));
            ASSERT_EQ("", diff) << "bits " << bits << ", case " << c << ", op " << op << ": " << what << " flags 0x"
                                << std::hex << flags << " fx 0x" << fx.dwDDFX << std::dec << " from {" << from.left
                                << "," << from.top << "," << from.right << "," << from.bottom << "} of " << fromW << "x"
                                << fromH << " to {" << to.left << "," << to.top << "," << to.right << "," << to.bottom
                                << "} on " << dw << "x" << dh << (clipped ? " clipped" : "")
                                << (within ? " within" : "");
        }
    }
    // The cases with the span form at any size must have reached both it and
    // the vector loop.
    EXPECT_GT(spanBlits, blits / 10);
    EXPECT_LT(spanBlits, blits);
}

// After keyed blits have built the span form of a source, each way of
// changing its pixels or its key must show in the next keyed blits.
TEST_P(FastBlit, TheSpanFormFollowsEveryWriteToTheSource) {
    const DWORD bits = GetParam();
    qndx::sim::SetKeySpansForAllSizes(true);  // the surfaces are small
    const DWORD w = 37, h = 11;
    const DWORD key = 0;  // black: no GDI colour below maps to it
    auto other = Make(w, h);
    PaintRuns(other.get(), 0x55555555u & ColourMask(bits));

    struct Write {
        const char* name;
        std::function<void(IDirectDrawSurface7*)> apply;
        DWORD blitKey;  // the key of the blits after the write
        bool overrideKey;
    };
    const std::vector<Write> writes = {
        {"Lock",
         [&](IDirectDrawSurface7* s) {
             DDSURFACEDESC2 d = {};
             d.dwSize = 124;
             ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
             // Key pixels become opaque and the other way round, on row 3.
             uint8_t* row = static_cast<uint8_t*>(d.lpSurface) + 3 * d.lPitch;
             for (DWORD x = 0; x < w * (bits == 15 ? 2 : (bits + 7) / 8); ++x) row[x] = row[x] ? 0 : 0x21;
             ASSERT_EQ(DD_OK, s->Unlock(nullptr));
         },
         key, false},
        {"GetDC",
         [&](IDirectDrawSurface7* s) {
             HDC dc = nullptr;
             ASSERT_EQ(DD_OK, s->GetDC(&dc));
             for (int x = 0; x < static_cast<int>(w); ++x) SetPixel(dc, x, 5, 0x001EC80A);
             ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
         },
         key, false},
        {"colour fill",
         [&](IDirectDrawSurface7* s) {
             DDBLTFX fx = Fx();
             fx.dwFillColor = 0x12345678u & ColourMask(bits);
             RECT r = Rect(2, 1, 30, 9);
             ASSERT_EQ(DD_OK, s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
         },
         key, false},
        {"BltFast into it",
         [&](IDirectDrawSurface7* s) {
             RECT r = Rect(0, 0, 20, 6);
             ASSERT_EQ(DD_OK, s->BltFast(10, 4, other.get(), &r, DDBLTFAST_WAIT));
         },
         key, false},
        {"mirrored Blt into it",
         [&](IDirectDrawSurface7* s) {
             DDBLTFX fx = Fx();
             fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT;
             RECT to = Rect(0, 2, 25, 10);
             ASSERT_EQ(DD_OK, s->Blt(&to, other.get(), nullptr, DDBLT_DDFX | DDBLT_WAIT, &fx));
         },
         key, false},
        {"SetColorKey",
         [&](IDirectDrawSurface7* s) {
             DDCOLORKEY ck = {0x21, 0x21};
             ASSERT_EQ(DD_OK, s->SetColorKey(DDCKEY_SRCBLT, &ck));
         },
         0x21, false},
        {"override key", [&](IDirectDrawSurface7*) {}, 0x2121, true},
        {"Restore",
         [&](IDirectDrawSurface7* s) {
             ASSERT_TRUE(qndx::sim::MarkSurfaceLost(s));
             ASSERT_EQ(DD_OK, s->Restore());
         },
         key, false},
    };

    for (const Write& write : writes) {
        SCOPED_TRACE(write.name);
        auto src = Make(w, h);
        auto fastDst = Make(w + 5, h + 3);
        auto plainDst = Make(w + 5, h + 3);
        // Long runs (a sprite) with some 0x21 pixels for the key changes.
        PaintAll(src.get(), [&](int x, int y) -> DWORD {
            if (x < 3 + y || x > 30 - y / 2) return KeyPixel(key);
            if (x % 7 == 0) return 0x21;
            if (x % 11 == 0) return 0x2121 & ColourMask(bits);
            return Opaque(key) | 1;
        });
        DDCOLORKEY ck = {key, key};
        ASSERT_EQ(DD_OK, src->SetColorKey(DDCKEY_SRCBLT, &ck));
        RECT part = Rect(1, 1, 36, 10);
        auto blitBoth = [&](DWORD blitKey, bool overrideKey) {
            FillBytes(fastDst.get(), 0x5A);
            FillBytes(plainDst.get(), 0x5A);
            DDBLTFX fx = Fx();
            fx.ddckSrcColorkey.dwColorSpaceLowValue = blitKey;
            fx.ddckSrcColorkey.dwColorSpaceHighValue = blitKey;
            const DWORD flags = DDBLT_WAIT | (overrideKey ? DDBLT_KEYSRCOVERRIDE : DDBLT_KEYSRC);
            RECT to = Rect(3, 2, 38, 11);
            qndx::sim::SetBlitFastPaths(true);
            ASSERT_EQ(DD_OK, fastDst->Blt(&to, src.get(), &part, flags, &fx));
            ASSERT_EQ(DD_OK, fastDst->BltFast(2, 1, src.get(), &part, DDBLTFAST_SRCCOLORKEY));
            qndx::sim::SetBlitFastPaths(false);
            ASSERT_EQ(DD_OK, plainDst->Blt(&to, src.get(), &part, flags, &fx));
            ASSERT_EQ(DD_OK, plainDst->BltFast(2, 1, src.get(), &part, DDBLTFAST_SRCCOLORKEY));
            qndx::sim::SetBlitFastPaths(true);
        };
        // Two keyed blits build the span form.
        blitBoth(key, false);
        blitBoth(key, false);
        ASSERT_TRUE(SpansHeld(src.get()));
        const std::vector<uint8_t> before = Snapshot(plainDst.get());

        write.apply(src.get());
        // Three rounds: the vector loop, then the rebuilt span form.
        for (int round = 0; round < 3; ++round) {
            blitBoth(write.blitKey, write.overrideKey);
            const qndx::platform::SurfaceMemory m = Mem(fastDst.get());
            ASSERT_EQ("", FirstDifference(Snapshot(fastDst.get()), Snapshot(plainDst.get()), m.pitch, BytesOf(m)))
                << "bits " << bits << ", round " << round;
        }
        EXPECT_NE(before, Snapshot(plainDst.get())) << "the write changed nothing the blits show";
    }

    // Writes while the source is locked or its DC is out are seen at once.
    auto src = Make(w, h);
    auto fastDst = Make(w, h);
    auto plainDst = Make(w, h);
    PaintAll(src.get(), [&](int x, int) { return x < 20 ? Opaque(key) : KeyPixel(key); });
    DDCOLORKEY ck = {key, key};
    ASSERT_EQ(DD_OK, src->SetColorKey(DDCKEY_SRCBLT, &ck));
    for (int i = 0; i < 2; ++i) ASSERT_EQ(DD_OK, fastDst->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_SRCCOLORKEY));
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    for (int step = 0; step < 3; ++step) {
        std::memset(static_cast<uint8_t*>(d.lpSurface) + step * d.lPitch, 0x33, static_cast<size_t>(d.lPitch));
        FillBytes(fastDst.get(), 0);
        FillBytes(plainDst.get(), 0);
        for (int i = 0; i < 2; ++i) ASSERT_EQ(DD_OK, fastDst->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_SRCCOLORKEY));
        qndx::sim::SetBlitFastPaths(false);
        ASSERT_EQ(DD_OK, plainDst->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_SRCCOLORKEY));
        qndx::sim::SetBlitFastPaths(true);
        EXPECT_EQ(Snapshot(plainDst.get()), Snapshot(fastDst.get())) << "step " << step;
    }
    ASSERT_EQ(DD_OK, src->Unlock(nullptr));
}

// A blit may take the relock in place of a whole-surface lock and unlock:
// over random events (key changes, losses, restores, locks and device
// contexts held, the journal, pending faults, descriptions not filled in by
// a lock) it says yes exactly where a lock would fill in the description
// held, and then keeps the span form for a read and drops it for a write.
TEST_P(FastBlit, ARelockAnswersYesExactlyWhereALockWouldFillInTheSameDescription) {
    qndx::sim::SetKeySpansForAllSizes(true);
    const DWORD w = 24, h = 6;
    auto dst = Make(w, h);
    Ref<IDirectDrawSurface7> s[2] = {Make(w, h), Make(w, h)};
    DDSURFACEDESC2 held[2];
    bool locked[2] = {false, false};
    HDC dc[2] = {nullptr, nullptr};
    bool journal = false;
    auto lockInto = [](IDirectDrawSurface7* x, DDSURFACEDESC2* d, DWORD flags) {
        std::memset(d, 0, sizeof *d);
        d->dwSize = 124;
        return x->Lock(nullptr, d, flags, nullptr);
    };
    for (int i = 0; i < 2; ++i) {
        PaintRuns(s[i].get(), 0);
        ASSERT_EQ(DD_OK, lockInto(s[i].get(), &held[i], DDLOCK_WAIT));
        ASSERT_EQ(DD_OK, s[i]->Unlock(nullptr));
    }
    int yes = 0, no = 0;
    for (int step = 0; step < 400; ++step) {
        const int i = Pick(2);
        IDirectDrawSurface7* x = s[i].get();
        // What is held is mostly let go of soon, so that every state comes up.
        if (journal && Pick(2)) qndx::sim::EnableJournal(journal = false);
        if (locked[i] && Pick(2)) {
            x->Restore();  // a surface lost while locked stays locked until restored
            locked[i] = x->Unlock(nullptr) != DD_OK;
        }
        if (dc[i] && Pick(2)) {
            x->ReleaseDC(dc[i]);
            dc[i] = nullptr;
        }
        const bool free = !locked[i] && !dc[i];
        switch (Pick(16)) {
            case 0:
            case 10:
            case 11:
            case 12:
            case 13:
                x->Restore();  // keeps the pixels of a surface that is not lost
                if (free && lockInto(x, &held[i], DDLOCK_WAIT) == DD_OK) x->Unlock(nullptr);
                break;
            case 1: {
                DDCOLORKEY ck = {static_cast<DWORD>(Pick(3)), 0};
                ck.dwColorSpaceHighValue = ck.dwColorSpaceLowValue;
                x->SetColorKey(DDCKEY_SRCBLT, Pick(4) ? &ck : nullptr);
                break;
            }
            case 2: qndx::sim::MarkSurfaceLost(x); break;
            case 3: x->Restore(); break;
            case 4: {
                DDSURFACEDESC2 d;
                if (locked[i])
                    locked[i] = x->Unlock(nullptr) != DD_OK;
                else if (!dc[i])
                    locked[i] = lockInto(x, &d, DDLOCK_WAIT) == DD_OK;
                break;
            }
            case 5:
                if (dc[i]) {
                    x->ReleaseDC(dc[i]);
                    dc[i] = nullptr;
                } else if (!locked[i]) {
                    x->GetDC(&dc[i]);
                }
                break;
            case 6:
                journal = !journal;
                qndx::sim::EnableJournal(journal);
                break;
            case 7: {
                qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
                EXPECT_FALSE(x->RelockUnchanged(held[i], Pick(2) == 1));
                DDSURFACEDESC2 d;
                EXPECT_EQ(DDERR_GENERIC, lockInto(x, &d, DDLOCK_WAIT));
                break;
            }
            case 8:
                std::memset(&held[i], 0, sizeof held[i]);
                held[i].dwSize = 124;
                x->GetSurfaceDesc(&held[i]);
                break;
            default:  // 9, 14, 15
                // Two keyed blits build the span form.
                for (int n = 0; n < 2; ++n) dst->BltFast(0, 0, x, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
                break;
        }
        const bool write = Pick(2) == 1;
        const bool spansBefore = SpansHeld(x);
        const bool answer = x->RelockUnchanged(held[i], write);
        if (answer) {
            EXPECT_EQ(!write && spansBefore, SpansHeld(x)) << "step " << step;
        }
        // What the lock would do now (a read lock keeps the span form).
        bool same = false;
        DDSURFACEDESC2 fresh;
        if (!journal && !locked[i] && !dc[i] && lockInto(x, &fresh, DDLOCK_WAIT | DDLOCK_READONLY) == DD_OK) {
            same = std::memcmp(&fresh, &held[i], sizeof fresh) == 0;
            x->Unlock(nullptr);
        }
        EXPECT_EQ(same, answer) << "step " << step;
        (answer ? yes : no) += 1;
    }
    qndx::sim::EnableJournal(false);
    for (int i = 0; i < 2; ++i) {
        if (locked[i]) s[i]->Unlock(nullptr);
        if (dc[i]) s[i]->ReleaseDC(dc[i]);
    }
    // Both answers came up often enough to mean something.
    EXPECT_GT(yes, 100);
    EXPECT_GT(no, 100);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, FastBlit, ::testing::ValuesIn(kDepths));

// A flip trades the chain's pixels: a keyed source in it shows its new ones.
TEST(FastBlitFlip, AFlippedSourceShowsItsNewPixels) {
    qndx::sim::SetBlitFastPaths(true);  // whatever the environment says; the reset puts it back
    qndx::sim::SetKeySpansForAllSizes(true);
    auto dd = MakeDirectDraw(DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE, FakeWindow());
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 32, 0, 0));
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    auto front = MakeSurface(dd.get(), d);
    auto dst = MakeSurface(dd.get(), DescIn(32, 64, 8));
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(DD_OK, front->GetAttachedSurface(&caps, &back));
    PaintAll(front.get(), [](int x, int) { return x >= 32 ? 0x0000FFu : 0u; });
    PaintAll(back, [](int x, int) { return x < 32 ? 0x00FF00u : 0u; });
    DDCOLORKEY ck = {0, 0};
    ASSERT_EQ(DD_OK, back->SetColorKey(DDCKEY_SRCBLT, &ck));
    RECT part = Rect(0, 0, 64, 8);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(DD_OK, dst->BltFast(0, 0, back, &part, DDBLTFAST_SRCCOLORKEY));
    ASSERT_TRUE(SpansHeld(back));
    DDSURFACEDESC2 held = {};
    held.dwSize = 124;
    ASSERT_EQ(DD_OK, back->Lock(nullptr, &held, DDLOCK_WAIT, nullptr));
    ASSERT_EQ(DD_OK, back->Unlock(nullptr));
    DDSURFACEDESC2 heldFront = {};
    heldFront.dwSize = 124;
    ASSERT_EQ(DD_OK, front->Lock(nullptr, &heldFront, DDLOCK_WAIT, nullptr));
    ASSERT_EQ(DD_OK, front->Unlock(nullptr));
    // A primary's writes go to its presenter at the unlock: never relocked.
    EXPECT_FALSE(front->RelockUnchanged(heldFront, false));
    EXPECT_FALSE(front->RelockUnchanged(heldFront, true));
    ASSERT_TRUE(back->RelockUnchanged(held, false));
    ASSERT_EQ(DD_OK, front->Flip(nullptr, DDFLIP_WAIT));
    // The flip moved the back buffer's memory.
    EXPECT_FALSE(back->RelockUnchanged(held, false));
    FillBytes(dst.get(), 0);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(DD_OK, dst->BltFast(0, 0, back, &part, DDBLTFAST_SRCCOLORKEY));
    EXPECT_EQ(0u, Peek(dst.get(), 5, 3));
    EXPECT_EQ(0x0000FFu, Peek(dst.get(), 40, 3));
}

TEST(FastBlitSwitch, TheEnvironmentChoosesTheVectorLevelAtReset) {
    const char* was = std::getenv("QNDX_BLIT_NO_FAST");
    const std::string saved = was ? was : "";
    const char* wasSimd = std::getenv("QNDX_SIMD");
    const std::string savedSimd = wasSimd ? wasSimd : "";
    unsetenv("QNDX_SIMD");
    ASSERT_EQ(0, setenv("QNDX_BLIT_NO_FAST", "1", 1));
    qndx::sim::Reset();
    EXPECT_FALSE(qndx::sim::BlitFastPaths());
    EXPECT_STREQ("none", qndx::sim::PixelSimd());
    ASSERT_EQ(0, setenv("QNDX_BLIT_NO_FAST", "0", 1));
    qndx::sim::Reset();
    EXPECT_TRUE(qndx::sim::BlitFastPaths() || qndx::pixels::BestSimd() == qndx::pixels::Simd::None);
    ASSERT_EQ(0, unsetenv("QNDX_BLIT_NO_FAST"));
    // QNDX_SIMD names a level; one beyond the processor gives its best.
    ASSERT_EQ(0, setenv("QNDX_SIMD", "none", 1));
    qndx::sim::Reset();
    EXPECT_STREQ("none", qndx::sim::PixelSimd());
    ASSERT_EQ(0, setenv("QNDX_SIMD", "avx512", 1));
    qndx::sim::Reset();
    EXPECT_STREQ(qndx::pixels::SimdName(qndx::pixels::BestSimd()), qndx::sim::PixelSimd());
    ASSERT_EQ(0, unsetenv("QNDX_SIMD"));
    // The panel's setting lasts until the next reset.
    EXPECT_TRUE(qndx::sim::SetPixelSimd("none"));
    EXPECT_FALSE(qndx::sim::BlitFastPaths());
    EXPECT_FALSE(qndx::sim::SetPixelSimd("mmx"));
    EXPECT_STREQ("none", qndx::sim::PixelSimd());
    qndx::sim::Reset();
    EXPECT_STREQ(qndx::pixels::SimdName(qndx::pixels::BestSimd()), qndx::sim::PixelSimd());
    if (was) setenv("QNDX_BLIT_NO_FAST", saved.c_str(), 1);
    if (wasSimd) setenv("QNDX_SIMD", savedSimd.c_str(), 1);
    qndx::sim::Reset();
}
