// The whole program headless: the game manager, the default state and an
// 800 x 600 display, windowed and full screen, run by the main loop until
// the state ends it; what was presented is read back from the primary
// surface (the desktop in windowed mode, the flipped front in full screen)
// for desktops of every pixel kind.
#include "DemoRun.h"
#include "DisplayTestSupport.h"

#include "GraphicEngine/DDUtils.h"
#include "Util/Window.h"
#include "platform/User.h"

namespace display_test {
namespace {

Picture FromSurface(const Pixels& p, const DDPIXELFORMAT& format) {
    Picture pic;
    pic.width = p.width;
    pic.height = p.height;
    pic.rgb = [p, format](int x, int y) -> uint32_t {
        if (x < 0 || y < 0 || x >= p.width || y >= p.height) return 0;
        const COLORREF c = PixelToRGB(p.At(x, y), &format);
        return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
    };
    return pic;
}

DDPIXELFORMAT FormatOf(IDirectDrawSurface7* s) {
    DDPIXELFORMAT f{};
    f.dwSize = 32;
    s->GetPixelFormat(&f);
    return f;
}

// In the child: runs the program windowed and checks the desktop.
void RunWindowed(int bpp) {
    qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(bpp));
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    QNDX_CHILD_CHECK(gm);
    QNDX_CHILD_CHECK(gm->GetVideoEngine());
    EndingDefaultState state(20);
    gm->AddGameState(&state);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    QNDX_CHILD_CHECK(ve->CreateWindowed(800, 600, 0) == 0);
    QNDX_CHILD_CHECK(state.Frames() == 20);

    HWND hwnd = gm->GetWindow()->GetHWND();
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    QNDX_CHILD_CHECK(client.right == 800);
    QNDX_CHILD_CHECK(client.bottom == 600);
    IDirectDrawSurface7* primary = ve->GetFrontSurface()->GetDDSurface();
    const Picture desktop = FromSurface(Read(primary), FormatOf(primary));
    const std::string why = CheckDefaultFrame(desktop, origin.x, origin.y, 1.0);
    QNDX_CHILD_CHECK(why.empty()) << why;
}

// In the child: runs the program full screen and checks the flipped front.
void RunFullScreen(int bpp) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    QNDX_CHILD_CHECK(gm);
    QNDX_CHILD_CHECK(gm->GetVideoEngine());
    EndingDefaultState state(12);
    gm->AddGameState(&state);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    qndx::sim::EnableJournal(true);
    QNDX_CHILD_CHECK(ve->CreateFullScreen(800, 600, bpp, 0, 0) == 0);
    // One flip per frame until the state asked to quit.
    QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectDrawSurface7::Flip") == 11);
    IDirectDrawSurface7* front = ve->GetFrontSurface()->GetDDSurface();
    const Picture screen = FromSurface(Read(front), FormatOf(front));
    QNDX_CHILD_CHECK(screen.width == 800);
    QNDX_CHILD_CHECK(screen.height == 600);
    const std::string why = CheckDefaultFrame(screen, 0, 0, 1.0);
    QNDX_CHILD_CHECK(why.empty()) << why;
}

class DisplayLoop : public ::testing::TestWithParam<int> {};

TEST_P(DisplayLoop, WindowedRunShowsTheDefaultStateAndTheOverlayOnTheDesktop) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); RunWindowed(GetParam()));
}

TEST_P(DisplayLoop, FullScreenRunPresentsByFlipping) {
    // Full-screen modes are listed at 16 and 32 bits.
    const int bpp = GetParam() == 15 || GetParam() == 24 ? 16 : GetParam();
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); RunFullScreen(bpp));
}

INSTANTIATE_TEST_SUITE_P(DesktopBits, DisplayLoop, ::testing::Values(15, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& i) { return "Bpp" + std::to_string(i.param); });

}  // namespace
}  // namespace display_test
