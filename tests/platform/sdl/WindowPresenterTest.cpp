// The windowed present on SDL's dummy driver, where window surfaces are real
// memory. A plain 1:1 blit onto the primary inside the window goes straight
// into the window and the window holds that part of the desktop; the same
// random sequence of presents, partial blits, fills, locks, device contexts,
// reads (blits from the primary, its memory), window moves and resizes, lost
// and restored primaries and window destruction must leave the window and
// the primary exactly as when every write lands in the primary first. Each
// desktop depth, several seeds.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ddraw/PrimaryPresent.h"
#include "ddraw/SurfaceImpl.h"
#include "platform/DirectDraw.h"
#include "platform/User.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"
#include "sdl/SdlWindow.h"

namespace {

using qndx::platform::SurfaceImpl;

template <class T>
void Drop(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

DDSURFACEDESC2 NewDesc() {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = 124;
    return d;
}

// Everything one run builds, and what it saw.
class PresentRun {
public:
    PresentRun(int bits, bool direct, unsigned seed) : m_bits(bits), m_rng(seed) {
        qndx::platform::SetDirectPresent(direct);
        qndx::sim::SetDesktop(320, 240, static_cast<DWORD>(bits));
        WNDCLASSEXA wc{};
        wc.cbSize = 48;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QNDX_PRESENT_TEST";
        RegisterClassExA(&wc);
        m_hwnd = CreateWindowExA(0, "QNDX_PRESENT_TEST", "present", WS_POPUP | WS_VISIBLE, 100, 80, kBackW, kBackH,
                                 nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, m_hwnd);
        EXPECT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr));
        EXPECT_EQ(DD_OK, m_dd->SetCooperativeLevel(m_hwnd, DDSCL_NORMAL));
        DDSURFACEDESC2 d = NewDesc();
        d.dwFlags = DDSD_CAPS;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        EXPECT_EQ(DD_OK, m_dd->CreateSurface(&d, &m_primary, nullptr));
        EXPECT_EQ(DD_OK, m_dd->CreateClipper(0, &m_clipper, nullptr));
        EXPECT_EQ(DD_OK, m_clipper->SetHWnd(0, m_hwnd));
        EXPECT_EQ(DD_OK, m_primary->SetClipper(m_clipper));
        m_back = Offscreen(kBackW, kBackH);
        m_scratch = Offscreen(64, 48);
        Scribble(m_back, nullptr);
        Scribble(m_primary, nullptr);
    }
    ~PresentRun() {
        Drop(m_scratch);
        Drop(m_back);
        Drop(m_clipper);
        Drop(m_primary);  // may still be held by the window
        Drop(m_dd);
        if (m_hwnd) DestroyWindow(m_hwnd);
        qndx::platform::SetDirectPresent(true);
    }

    void Go(int steps) {
        for (int step = 0; step < steps && !::testing::Test::HasFatalFailure(); ++step) {
            const int op = static_cast<int>(m_rng() % 11);
            Apply(op);
            Note("step " + std::to_string(step) + " op " + std::to_string(op));
        }
        // Half the runs end with the window gone: its pixels come back first.
        if (m_rng() % 2) {
            Present();
            DestroyWindow(m_hwnd);
            m_hwnd = nullptr;
        }
        seen.push_back(Bytes(m_primary, nullptr));
        names.push_back("final primary");
    }

    std::vector<std::vector<uint8_t>> seen;
    std::vector<std::string> names;
    bool heldOnce = false;

private:
    static constexpr int kBackW = 96, kBackH = 64;

    IDirectDrawSurface7* Offscreen(int w, int h) {
        DDSURFACEDESC2 d = NewDesc();
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = w;
        d.dwHeight = h;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(DD_OK, m_dd->CreateSurface(&d, &s, nullptr));
        return s;
    }

    RECT Client() {
        RECT r;
        GetClientRect(m_hwnd, &r);
        POINT o = {0, 0};
        ClientToScreen(m_hwnd, &o);
        OffsetRect(&r, o.x, o.y);
        return r;
    }

    // A rectangle of at least one pixel anywhere around the desktop's corner
    // of interest, possibly hanging over its edges.
    RECT Somewhere(int w, int h) {
        const int l = static_cast<int>(m_rng() % (w + 20)) - 10, t = static_cast<int>(m_rng() % (h + 20)) - 10;
        return RECT{l, t, l + 1 + static_cast<int>(m_rng() % 40), t + 1 + static_cast<int>(m_rng() % 30)};
    }

    static RECT Cut(RECT r, int w, int h) {
        r.left = std::max<LONG>(r.left, 0);
        r.top = std::max<LONG>(r.top, 0);
        r.right = std::min<LONG>(r.right, w);
        r.bottom = std::min<LONG>(r.bottom, h);
        return r;
    }

    // Random bytes over a locked rectangle (all of it when null).
    void Scribble(IDirectDrawSurface7* s, RECT* r) {
        DDSURFACEDESC2 d = NewDesc();
        ASSERT_EQ(DD_OK, s->Lock(r, &d, DDLOCK_WAIT, nullptr));
        const int bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
        const int w = r ? r->right - r->left : static_cast<int>(d.dwWidth);
        const int h = r ? r->bottom - r->top : static_cast<int>(d.dwHeight);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * bpp; ++x)
                static_cast<uint8_t*>(d.lpSurface)[y * d.lPitch + x] = static_cast<uint8_t>(m_rng());
        s->Unlock(r);
    }

    std::vector<uint8_t> Bytes(IDirectDrawSurface7* s, RECT* r) {
        DDSURFACEDESC2 d = NewDesc();
        std::vector<uint8_t> out;
        EXPECT_EQ(DD_OK, s->Lock(r, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr));
        const int bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
        const int w = r ? r->right - r->left : static_cast<int>(d.dwWidth);
        const int h = r ? r->bottom - r->top : static_cast<int>(d.dwHeight);
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(d.lpSurface) + y * d.lPitch;
            out.insert(out.end(), row, row + w * bpp);
        }
        s->Unlock(r);
        return out;
    }

    void Present() {
        RECT client = Client();
        RECT src = {0, 0, std::min<LONG>(kBackW, client.right - client.left),
                    std::min<LONG>(kBackH, client.bottom - client.top)};
        RECT dst = {client.left, client.top, client.left + src.right, client.top + src.bottom};
        ASSERT_EQ(DD_OK, m_primary->Blt(&dst, m_back, &src, DDBLT_WAIT, nullptr));
        heldOnce = heldOnce || SurfaceImpl::FromInterface(m_primary)->Held();
    }

    void Apply(int op) {
        const RECT client = Client();
        switch (op) {
            case 0:
            case 1: Present(); break;
            case 2: {  // part of the back buffer, somewhere around the window
                RECT src = Cut(Somewhere(kBackW, kBackH), kBackW, kBackH);
                if (src.left >= src.right || src.top >= src.bottom) break;
                const LONG x = client.left - 12 + static_cast<LONG>(m_rng() % (kBackW + 24));
                const LONG y = client.top - 12 + static_cast<LONG>(m_rng() % (kBackH + 24));
                RECT dst = {x, y, x + src.right - src.left, y + src.bottom - src.top};
                ASSERT_EQ(DD_OK, m_primary->Blt(&dst, m_back, &src, DDBLT_WAIT, nullptr));
                break;
            }
            case 3: {
                DDBLTFX fx;
                std::memset(&fx, 0, sizeof fx);
                fx.dwSize = 100;
                fx.dwFillColor = static_cast<DWORD>(m_rng());
                RECT r = Cut(Somewhere(320, 240), 320, 240);
                OffsetRect(&r, client.left - 40, client.top - 30);
                r = Cut(r, 320, 240);
                if (r.left < r.right && r.top < r.bottom) {
                    ASSERT_EQ(DD_OK, m_primary->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
                }
                break;
            }
            case 4: {
                RECT r = {client.left + 3, client.top + 2, client.left + 20, client.top + 9};
                Scribble(m_primary, &r);
                break;
            }
            case 5: {
                HDC dc = nullptr;
                ASSERT_EQ(DD_OK, m_primary->GetDC(&dc));
                SetPixel(dc, client.left + 5, client.top + 5, RGB(m_rng() & 255, 200, 7));
                ASSERT_EQ(DD_OK, m_primary->ReleaseDC(dc));
                break;
            }
            case 6: {  // a read: part of the desktop into another surface
                RECT src = Cut(Somewhere(kBackW, kBackH), 64, 48);
                OffsetRect(&src, client.left, client.top);
                src = Cut(src, 320, 240);
                if (src.left >= src.right || src.top >= src.bottom) break;
                ASSERT_EQ(DD_OK, m_scratch->BltFast(0, 0, m_primary, &src, DDBLTFAST_WAIT));
                seen.push_back(Bytes(m_scratch, nullptr));
                names.push_back("read back");
                break;
            }
            case 7: {
                qndx::platform::SurfaceMemory mem;
                ASSERT_TRUE(qndx::platform::GetSurfaceMemory(m_primary, &mem));
                const int bpp = m_bits == 15 ? 2 : m_bits / 8;
                const uint8_t* row = mem.bits + client.top * mem.pitch + client.left * bpp;
                seen.push_back(std::vector<uint8_t>(row, row + 8 * bpp));
                names.push_back("memory");
                break;
            }
            case 8: {  // the window moves, or changes its size
                const bool resize = m_rng() % 2;
                const int w = resize ? 40 + static_cast<int>(m_rng() % 100) : client.right - client.left;
                const int h = resize ? 30 + static_cast<int>(m_rng() % 60) : client.bottom - client.top;
                SetWindowPos(m_hwnd, nullptr, static_cast<int>(m_rng() % 200), static_cast<int>(m_rng() % 150), w,
                             h, SWP_NOZORDER);
                Present();
                break;
            }
            case 9: {
                ASSERT_TRUE(qndx::sim::MarkSurfaceLost(m_primary));
                ASSERT_EQ(DD_OK, m_primary->Restore());
                break;
            }
            default: Scribble(m_back, nullptr); break;
        }
    }

    // What the window shows now (read only right after the layer wrote to
    // it, so SDL hands back the surface the presenter used).
    void Note(const std::string& what) {
        SDL_Window* win = qndx::platform::SdlWindowFor(m_hwnd);
        SDL_Surface* s = win ? SDL_GetWindowSurface(win) : nullptr;
        ASSERT_NE(nullptr, s);
        const uint8_t* p = static_cast<const uint8_t*>(s->pixels);
        std::vector<uint8_t> bytes;
        for (int y = 0; y < s->h; ++y) bytes.insert(bytes.end(), p + y * s->pitch, p + y * s->pitch + s->w * 4);
        seen.push_back(bytes);
        names.push_back(what + " window");
    }

    int m_bits;
    std::mt19937 m_rng;
    HWND m_hwnd = nullptr;
    IDirectDraw7* m_dd = nullptr;
    IDirectDrawSurface7* m_primary = nullptr;
    IDirectDrawSurface7* m_back = nullptr;
    IDirectDrawSurface7* m_scratch = nullptr;
    IDirectDrawClipper* m_clipper = nullptr;
};

class WindowPresenter : public ::testing::TestWithParam<int> {};

TEST_P(WindowPresenter, HeldPixelsLeaveWindowAndPrimaryAsWritingThroughThePrimary) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::vector<std::vector<uint8_t>> direct, plain;
        std::vector<std::string> names;
        bool held = false;
        {
            PresentRun run(GetParam(), true, seed);
            run.Go(60);
            direct = run.seen;
            names = run.names;
            held = run.heldOnce;
        }
        qndx::sim::Reset();
        {
            PresentRun run(GetParam(), false, seed);
            run.Go(60);
            plain = run.seen;
            EXPECT_FALSE(run.heldOnce);
        }
        qndx::sim::Reset();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_TRUE(held) << "the window never held the present";
        ASSERT_EQ(plain.size(), direct.size());
        for (size_t i = 0; i < plain.size(); ++i) {
            if (plain[i] == direct[i]) continue;
            size_t at = 0;
            while (at < plain[i].size() && at < direct[i].size() && plain[i][at] == direct[i][at]) ++at;
            FAIL() << "seed " << seed << ": " << names[i] << " differs from byte " << at;
        }
    }
}

void IgnoreWrite(IDirectDrawSurface7*, const RECT*) {}

// A test listening to DirectDraw takes the presenter's place while the window
// holds part of the desktop: that part comes back into the primary first.
TEST_P(WindowPresenter, ReplacingThePresenterGivesHeldPixelsBack) {
    qndx::sim::SetDesktop(320, 240, static_cast<DWORD>(GetParam()));
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "QNDX_PRESENT_SWAP";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "QNDX_PRESENT_SWAP", "swap", WS_POPUP | WS_VISIBLE, 30, 20, 40, 30, nullptr,
                                nullptr, nullptr, nullptr);
    IDirectDraw7* dd = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr));
    ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(hwnd, DDSCL_NORMAL));
    DDSURFACEDESC2 d = NewDesc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7 *primary = nullptr, *back = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&d, &primary, nullptr));
    ASSERT_EQ(DD_OK, dd->CreateClipper(0, &clipper, nullptr));
    ASSERT_EQ(DD_OK, clipper->SetHWnd(0, hwnd));
    ASSERT_EQ(DD_OK, primary->SetClipper(clipper));
    d = NewDesc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = 40;
    d.dwHeight = 30;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&d, &back, nullptr));
    ASSERT_EQ(DD_OK, back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    const int bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
    std::vector<uint8_t> picture;
    std::mt19937 rng(7);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40 * bpp; ++x) {
            const uint8_t byte = static_cast<uint8_t>(rng());
            static_cast<uint8_t*>(d.lpSurface)[y * d.lPitch + x] = byte;
            picture.push_back(byte);
        }
    back->Unlock(nullptr);

    RECT client = {30, 20, 70, 50};
    ASSERT_EQ(DD_OK, primary->Blt(&client, back, nullptr, DDBLT_WAIT, nullptr));
    ASSERT_TRUE(SurfaceImpl::FromInterface(primary)->Held());
    qndx::platform::SetPrimaryWriteHook(&IgnoreWrite);
    EXPECT_FALSE(SurfaceImpl::FromInterface(primary)->Held());
    ASSERT_EQ(DD_OK, primary->Lock(&client, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr));
    std::vector<uint8_t> shown;
    for (int y = 0; y < 30; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(d.lpSurface) + y * d.lPitch;
        shown.insert(shown.end(), row, row + 40 * bpp);
    }
    primary->Unlock(&client);
    qndx::platform::SetPrimaryWriteHook(nullptr);
    EXPECT_TRUE(shown == picture) << "the primary lost what the window held";
    Drop(back);
    Drop(clipper);
    Drop(primary);
    Drop(dd);
    DestroyWindow(hwnd);
    qndx::sim::Reset();
}

INSTANTIATE_TEST_SUITE_P(DesktopBits, WindowPresenter, ::testing::Values(15, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& i) { return "Bpp" + std::to_string(i.param); });

}  // namespace
