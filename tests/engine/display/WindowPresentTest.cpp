// What reaches the SDL window (SDL's dummy driver keeps real window surfaces):
// each windowed present copies the window's part of the desktop into the
// window once, converted from the desktop's pixel kind to the window's
// format; a full-screen flip shows the whole front; writes elsewhere on the
// desktop leave the window alone.
#include "DisplayTestSupport.h"

#include <SDL.h>

#include "GraphicEngine/DDUtils.h"
#include "Util/Window.h"
#include "ddraw/PrimaryPresent.h"
#include "platform/User.h"
#include "sdl/SdlWindow.h"

namespace display_test {
namespace {

// The window surface's pixel at (x, y) as 0xRRGGBB.
uint32_t WindowPixel(SDL_Surface* s, int x, int y) {
    const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t v = 0;
    std::memcpy(&v, p, s->format->BytesPerPixel);
    Uint8 r, g, b;
    SDL_GetRGB(v, s->format, &r, &g, &b);
    return static_cast<uint32_t>(r) << 16 | g << 8 | b;
}

// The desktop's pixel as 0xRRGGBB, 5- and 6-bit channels widened by bit
// replication (converters may round the last bit either way).
uint32_t DesktopPixel(const Pixels& p, int bits, int x, int y) {
    const uint32_t v = p.At(x, y);
    auto expand = [](uint32_t c, int width) {
        return width == 5 ? (c << 3 | c >> 2) : width == 6 ? (c << 2 | c >> 4) : c;
    };
    if (bits == 15) return expand(v >> 10 & 31, 5) << 16 | expand(v >> 5 & 31, 5) << 8 | expand(v & 31, 5);
    if (bits == 16) return expand(v >> 11 & 31, 5) << 16 | expand(v >> 5 & 63, 6) << 8 | expand(v & 31, 5);
    return v & 0xFFFFFF;
}

void RunWindowed(int bits) {
    qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(bits));
    CQNDXGameManager* gm = StartManager(nullptr);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    QNDX_CHILD_CHECK(ve->CreateWindowed(320, 200, 0) == 0);
    ve->SetWaitForVSync(false);
    HWND hwnd = gm->GetWindow()->GetHWND();
    SDL_Window* win = qndx::platform::SdlWindowFor(hwnd);
    QNDX_CHILD_CHECK(win != nullptr);

    PaintPattern(ve->GetBackBuffer()->GetDDSurface());
    qndx::platform::ResetPresenterStats();
    QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
    QNDX_CHILD_CHECK(qndx::platform::GetPresenterStats().presents == 1);
    const RECT shown = qndx::platform::GetPresenterStats().lastRect;
    QNDX_CHILD_CHECK(shown.left == 0);
    QNDX_CHILD_CHECK(shown.top == 0);
    QNDX_CHILD_CHECK(shown.right == 320);
    QNDX_CHILD_CHECK(shown.bottom == 200);

    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    SDL_Surface* surface = SDL_GetWindowSurface(win);
    QNDX_CHILD_CHECK(surface);
    QNDX_CHILD_CHECK(surface->w == 320);
    QNDX_CHILD_CHECK(surface->h == 200);
    const Pixels desktop = Read(ve->GetFrontSurface()->GetDDSurface());
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint32_t want = DesktopPixel(desktop, bits, origin.x + x, origin.y + y);
            const uint32_t got = WindowPixel(surface, x, y);
            const int slack = bits == 15 || bits == 16 ? 2 : 0;
            bool same = true;
            for (int c = 0; c < 24; c += 8) {
                const int d = static_cast<int>((want >> c) & 0xFF) - static_cast<int>((got >> c) & 0xFF);
                same = same && d <= slack && d >= -slack;
            }
            QNDX_CHILD_CHECK(same) << qndx::test::Printf("window (%d, %d) is 0x%06x, desktop 0x%06x", x, y, got, want);
        }

    // A write to the desktop away from the window does not reach it; one
    // across its corner updates only the covered part.
    qndx::platform::ResetPresenterStats();
    CQNDXSurface* front = ve->GetFrontSurface();
    DDBLTFX fx{};
    fx.dwSize = 100;
    fx.dwFillColor = 0;
    RECT away = {0, 0, 8, 8};
    QNDX_CHILD_CHECK(front->GetDDSurface()->Blt(&away, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DD_OK);
    QNDX_CHILD_CHECK(qndx::platform::GetPresenterStats().presents == 0);
    RECT corner = {origin.x - 5, origin.y - 5, origin.x + 7, origin.y + 9};
    QNDX_CHILD_CHECK(front->GetDDSurface()->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DD_OK);
    QNDX_CHILD_CHECK(qndx::platform::GetPresenterStats().presents == 1);
    const RECT part = qndx::platform::GetPresenterStats().lastRect;
    QNDX_CHILD_CHECK(part.left == 0);
    QNDX_CHILD_CHECK(part.top == 0);
    QNDX_CHILD_CHECK(part.right == 7);
    QNDX_CHILD_CHECK(part.bottom == 9);
    QNDX_CHILD_CHECK(WindowPixel(surface, 3, 3) == 0);
}

class WindowPresent : public ::testing::TestWithParam<int> {};

TEST_P(WindowPresent, WindowedPresentReachesTheWindowConvertedOnce) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); RunWindowed(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(DesktopBits, WindowPresent, ::testing::Values(15, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& i) { return "Bpp" + std::to_string(i.param); });

void RunFullScreen() {
    CQNDXGameManager* gm = StartManager(nullptr);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 16, 0, 0) == 0);
    HWND hwnd = gm->GetWindow()->GetHWND();
    // The exclusive window covers the new display and is shown full screen.
    RECT outer;
    GetWindowRect(hwnd, &outer);
    QNDX_CHILD_CHECK(outer.left == 0);
    QNDX_CHILD_CHECK(outer.top == 0);
    QNDX_CHILD_CHECK(outer.right == 640);
    QNDX_CHILD_CHECK(outer.bottom == 480);
    QNDX_CHILD_CHECK(GetSystemMetrics(SM_CXSCREEN) == 640);
    SDL_Window* win = qndx::platform::SdlWindowFor(hwnd);
    QNDX_CHILD_CHECK(win != nullptr);
    QNDX_CHILD_CHECK((SDL_GetWindowFlags(win) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0);

    CQNDXSurface* back = ve->GetBackBuffer();
    back->Clear(back->RGBToNative(RGB(0, 255, 0)));
    qndx::platform::ResetPresenterStats();
    QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
    QNDX_CHILD_CHECK(qndx::platform::GetPresenterStats().presents == 1);
    SDL_Surface* surface = SDL_GetWindowSurface(win);
    QNDX_CHILD_CHECK(surface != nullptr);
    QNDX_CHILD_CHECK(WindowPixel(surface, surface->w - 1, surface->h - 1) == 0x00FF00);
    QNDX_CHILD_CHECK(WindowPixel(surface, surface->w / 2, surface->h - 3) == 0x00FF00);

    // Back to the desktop: the mode size is given up.
    QNDX_CHILD_CHECK(ve->SwitchMode(false, 640, 480, 0) == 0);
    QNDX_CHILD_CHECK(GetSystemMetrics(SM_CXSCREEN) == 1024);
    QNDX_CHILD_CHECK((SDL_GetWindowFlags(win) & SDL_WINDOW_FULLSCREEN_DESKTOP) == 0);
}

TEST(WindowPresentFull, FlipShowsTheWholeFrontInTheFullScreenWindow) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); RunFullScreen());
}

// Without any SDL video the layer keeps windows in memory only and no window
// shows anything: a windowed present must still leave the whole frame in the
// primary at the window's place, and report nothing shown.
void RunWithoutDisplay() {
    CQNDXGameManager* gm = StartManager(nullptr);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    QNDX_CHILD_CHECK(ve->CreateWindowed(320, 200, 0) == 0);
    ve->SetWaitForVSync(false);
    HWND hwnd = gm->GetWindow()->GetHWND();
    QNDX_CHILD_CHECK(qndx::platform::SdlWindowFor(hwnd) == nullptr);

    IDirectDrawSurface7* back = ve->GetBackBuffer()->GetDDSurface();
    PaintPattern(back);
    qndx::platform::ResetPresenterStats();
    for (int i = 0; i < 3; ++i) QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
    QNDX_CHILD_CHECK(qndx::platform::GetPresenterStats().presents == 0);
    // The frame as presented: the statistics overlay is drawn into it first.
    const Pixels frame = Read(back);

    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    const Pixels desktop = Read(ve->GetFrontSurface()->GetDDSurface());
    QNDX_CHILD_CHECK(frame.width >= 320);
    QNDX_CHILD_CHECK(frame.height >= 200);
    QNDX_CHILD_CHECK(desktop.bpp == frame.bpp);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            QNDX_CHILD_CHECK(desktop.At(origin.x + x, origin.y + y) == frame.At(x, y))
                << qndx::test::Printf("desktop (%d, %d) is 0x%x, frame 0x%x", origin.x + x, origin.y + y,
                                      desktop.At(origin.x + x, origin.y + y), frame.At(x, y));
}

TEST(WindowPresentNoDisplay, WithoutVideoTheFrameStaysInThePrimary) {
    // The backend is chosen once per process: the child starts afresh, with
    // a video driver SDL does not have.
    const std::string style = ::testing::GTEST_FLAG(death_test_style);
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = driver ? driver : "";
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    setenv("SDL_VIDEODRIVER", "qndx-no-such-driver", 1);
    QNDX_IN_CHILD({
        qndx::test::TempDir dir("qndx-display");
        EnterGameFolder(dir);
        RunWithoutDisplay();
    });
    if (driver)
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");
    ::testing::GTEST_FLAG(death_test_style) = style;
}

}  // namespace
}  // namespace display_test
