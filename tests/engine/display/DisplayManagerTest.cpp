// Displays inside a whole engine: the game manager's window, the main loop,
// its log. Each scenario runs in a forked child (the manager is a process
// singleton). Covers the log lines, full-screen creation with its flip chain
// and its failure codes, where the windowed present puts the back buffer in
// the window's client area (centred, cropped, stretched), restoring a lost
// primary, mode switches and their failure, and the fades.
#include "DisplayTestSupport.h"

#include "GameState.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/SurfaceManager.h"
#include "Util/Window.h"
#include "platform/User.h"
#include "platform/sim/Clock.h"

namespace display_test {
namespace {

RECT ClientOnScreen(HWND hwnd) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    POINT p = {0, 0};
    ClientToScreen(hwnd, &p);
    OffsetRect(&r, p.x, p.y);
    return r;
}

HWND GameWindow() { return CQNDXGameManager::GetInstance()->GetWindow()->GetHWND(); }

// Gives the game window a client area of w x h at (x, y) on the desktop.
void SetClient(int x, int y, int w, int h) {
    RECT r = {0, 0, w, h};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(GameWindow(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(GameWindow(), GWL_EXSTYLE)));
    MoveWindow(GameWindow(), x + r.left, y + r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

// The present draws the overlay at the top left and the cursor at the mouse
// (the display's centre); comparisons stay below and right of the overlay
// and away from the cursor.
bool Comparable(int x, int y, int w, int h) {
    if (x < 260 && y < 100) return false;
    if (x >= w / 2 - 2 && x < w / 2 + 40 && y >= h / 2 - 2 && y < h / 2 + 40) return false;
    return true;
}

// ---- log lines --------------------------------------------------------------

TEST(DisplayWithManager, WindowedCreationLogsItsStartAndEndAndRunsTheLoop) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CaptureLog log;
        CQNDXGameManager* gm = StartManager(&log);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateWindowed(640, 480, 0) == 0);
        QNDX_CHILD_CHECK(log.Has("1 START: CQNDXVideoManager::CreateWindowed(width:640, height:480)"));
        QNDX_CHILD_CHECK(log.Has("1 END: CQNDXVideoEngine::CreateWindowed"));
        QNDX_CHILD_CHECK(gm->IsRunning());
        QNDX_CHILD_CHECK(ve->CreateWindowed(640, 480, 0) == -3);
        QNDX_CHILD_CHECK(log.Has("4 Attempted to recreate windowed and the front buffer is not NULL"));
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 0) == -3);
        QNDX_CHILD_CHECK(log.Has("4 Attempted to recreate in Fullscreen and the front buffer is not NULL"));
        QNDX_CHILD_CHECK(log.Has("1 START: CQNDXVideoManager::CreateFullScreen(Width:640, Height:480 BBP:32 Refresh:0)"));
        // The window's client area is the display.
        RECT client = ClientOnScreen(GameWindow());
        QNDX_CHILD_CHECK(client.right - client.left == 640);
        QNDX_CHILD_CHECK(client.bottom - client.top == 480);
    });
}

TEST(DisplayWithManager, EightBitDesktopLogsNothing) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        qndx::sim::SetDesktop(1024, 768, 8);
        CaptureLog log;
        CQNDXGameManager* gm = StartManager(&log);
        const size_t before = log.lines.size();
        QNDX_CHILD_CHECK(gm->GetVideoEngine()->CreateWindowed(640, 480, 0) == -1);
        QNDX_CHILD_CHECK(log.lines.size() == before);
    });
}

TEST(DisplayWithManager, FailedCreationDoesNotRunTheLoop) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
        QNDX_CHILD_CHECK(gm->GetVideoEngine()->CreateWindowed(640, 480, 0) == -5);
        QNDX_CHILD_CHECK(!gm->IsRunning());
        qndx::sim::FailNext("IDirectDraw7::CreateClipper", 1, DDERR_GENERIC);
        QNDX_CHILD_CHECK(gm->GetVideoEngine()->CreateWindowed(640, 480, 0) == -8);
        QNDX_CHILD_CHECK(!gm->IsRunning());
    });
}

// ---- full screen --------------------------------------------------------------

TEST(DisplayWithManager, FullScreenMakesAFlipChainAtTheModeSize) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateFullScreen(800, 600, 16, 0, 0) == 0);
        QNDX_CHILD_CHECK(ve->IsFullScreen() == 1);
        QNDX_CHILD_CHECK(qndx::sim::ExclusiveModeHeld());
        qndx::sim::SimDisplayMode mode = qndx::sim::CurrentDisplayMode();
        QNDX_CHILD_CHECK(mode.width == 800);
        QNDX_CHILD_CHECK(mode.height == 600);
        QNDX_CHILD_CHECK(mode.bitsPerPixel == 16);
        CQNDXSurface* front = ve->GetFrontSurface();
        CQNDXSurface* back = ve->GetBackBuffer();
        QNDX_CHILD_CHECK(front);
        QNDX_CHILD_CHECK(back);
        QNDX_CHILD_CHECK(front->GetID() == -8);
        QNDX_CHILD_CHECK(back->GetID() == -16);
        QNDX_CHILD_CHECK(front->GetWidth() == 800);
        QNDX_CHILD_CHECK(back->GetHeight() == 600);
        QNDX_CHILD_CHECK(back->GetPixelKind() == 16);
        QNDX_CHILD_CHECK(ve->GetBackBufferHwFlag() == 1);
        QNDX_CHILD_CHECK(gm->GetWindow()->IsFullScreen());

        // The present flips: what was drawn is on the front afterwards.
        back->Clear(back->RGBToNative(RGB(0, 0, 255)));
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectDrawSurface7::Flip") == 1);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectDrawSurface7::Blt(") == 0);
        Pixels p = Read(front->GetDDSurface());
        QNDX_CHILD_CHECK(p.At(700, 500) == 0x001F);
    });
}

TEST(DisplayWithManager, FullScreenFailureCodes) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        qndx::sim::FailNext("IDirectDraw7::SetCooperativeLevel", 1, DDERR_EXCLUSIVEMODEALREADYSET);
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 0) == -4);
        qndx::sim::FailNext("IDirectDraw7::SetDisplayMode", 1, DDERR_UNSUPPORTEDMODE);
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 0) == -9);
        qndx::sim::FailNext("IDirectDrawSurface7::GetAttachedSurface", 1, DDERR_NOTFOUND);
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 0) == -6);
        QNDX_CHILD_CHECK(!ve->GetFrontSurface());
        QNDX_CHILD_CHECK(!ve->GetBackBuffer());
        const int live = qndx::sim::LiveSurfaceCount();
        QNDX_CHILD_CHECK(live == 0 || live == 1);  // the cursor's image may exist
        // Video memory short: mode 1 fails, mode 0 falls back, mode 2 asks
        // for system memory and clears the flag.
        qndx::sim::SetVideoMemoryBudget(64 * 1024);
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 1) == -5);
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 0) == 0);
        QNDX_CHILD_CHECK(ve->GetBackBufferHwFlag() == 0);
    });
}

TEST(DisplayWithManager, FullScreenMemoryModeTwoClearsTheFlag) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateFullScreen(640, 480, 32, 0, 2) == 0);
        QNDX_CHILD_CHECK(ve->GetBackBufferHwFlag() == 0);
    });
}

// ---- windowed present -----------------------------------------------------------

// Back buffer 800 x 600 in a client area of cw x ch; checks the desktop
// (primary) against where the present puts each back-buffer pixel.
void CheckWindowedPresent(int cw, int ch, bool stretch) {
    qndx::sim::SetDesktop(1600, 1200, 32);
    CQNDXGameManager* gm = StartManager(nullptr);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    QNDX_CHILD_CHECK(ve->CreateWindowed(800, 600, 0) == 0);
    ve->SetWaitForVSync(false);
    ve->SetStretchToWindow(stretch);
    SetClient(100, 50, cw, ch);
    RECT client = ClientOnScreen(GameWindow());
    QNDX_CHILD_CHECK(client.right - client.left == cw);
    QNDX_CHILD_CHECK(client.bottom - client.top == ch);

    CQNDXSurface* front = ve->GetFrontSurface();
    CQNDXSurface* back = ve->GetBackBuffer();
    front->Clear(0x00123456);
    PaintPattern(back->GetDDSurface());
    const Pixels source = Read(back->GetDDSurface());
    QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
    const Pixels screen = Read(front->GetDDSurface());

    int checked = 0;
    for (int y = 0; y < ch; y += 3) {
        for (int x = 0; x < cw; x += 3) {
            int bx, by;
            bool inside;
            if (stretch) {
                bx = x * 800 / cw;
                by = y * 600 / ch;
                inside = true;
            } else {
                const int ox = cw > 800 ? (cw - 800) / 2 : 0;
                const int oy = ch > 600 ? (ch - 600) / 2 : 0;
                bx = x - ox;
                by = y - oy;
                inside = bx >= 0 && by >= 0 && bx < 800 && by < 600;
            }
            const uint32_t got = screen.At(client.left + x, client.top + y);
            if (!inside) {
                QNDX_CHILD_CHECK(got == 0x00123456)
                    << qndx::test::Printf("client (%d, %d) outside the picture was written", x, y);
                continue;
            }
            if (!Comparable(bx, by, 800, 600)) continue;
            QNDX_CHILD_CHECK(got == source.At(bx, by)) << qndx::test::Printf(
                "client (%d, %d) is 0x%x, expected back (%d, %d) = 0x%x", x, y, got, bx, by, source.At(bx, by));
            ++checked;
        }
    }
    QNDX_CHILD_CHECK(checked > 1000);
    // Nothing outside the client area.
    QNDX_CHILD_CHECK(screen.At(client.left - 1, client.top + 10) == 0x00123456);
    QNDX_CHILD_CHECK(screen.At(client.right, client.top + 10) == 0x00123456);
    QNDX_CHILD_CHECK(screen.At(client.left + 10, client.bottom) == 0x00123456);
}

TEST(DisplayWithManager, SmallerBackBufferIsCentredAtOneToOne) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); CheckWindowedPresent(1024, 768, false));
}

TEST(DisplayWithManager, LargerBackBufferShowsItsTopLeftPart) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); CheckWindowedPresent(640, 480, false));
}

TEST(DisplayWithManager, StretchToWindowScalesToFill) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD(EnterGameFolder(dir); CheckWindowedPresent(400, 300, true));
}

TEST(DisplayWithManager, LostPrimaryIsRestoredByThePresent) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateWindowed(640, 480, 0) == 0);
        ve->SetWaitForVSync(false);
        QNDX_CHILD_CHECK(qndx::sim::MarkSurfaceLost(ve->GetFrontSurface()->GetDDSurface()));
        QNDX_CHILD_CHECK(ve->Flip() == 0);
        QNDX_CHILD_CHECK(ve->GetFrontSurface()->GetDDSurface()->IsLost() == DD_OK);
        QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
    });
}

// ---- switching modes ----------------------------------------------------------

TEST(DisplayWithManager, SwitchModeGoesToFullScreenAndBack) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateWindowed(640, 480, 0) == 0);
        QNDX_CHILD_CHECK(ve->RecreateSurfaces(0) == 0);
        CQNDXSurface sprite;
        QNDX_CHILD_CHECK(sprite.Create(ve, 16, 16) == 0);
        CQNDXCursorManager* cursors = ve->GetCursorManager();
        CQNDXFont* font = ve->GetDefaultFont();
        CQNDXCache* cache = ve->GetCache();

        QNDX_CHILD_CHECK(ve->SwitchMode(true, 800, 600, 16) == 0);
        QNDX_CHILD_CHECK(ve->IsFullScreen());
        QNDX_CHILD_CHECK(ve->GetWidth() == 800);
        QNDX_CHILD_CHECK(ve->GetBitsPerPixel() == 16);
        QNDX_CHILD_CHECK(ve->GetThirdSurface());
        QNDX_CHILD_CHECK(ve->GetThirdSurface()->GetWidth() == 800);
        QNDX_CHILD_CHECK(sprite.GetDDSurface());
        QNDX_CHILD_CHECK(sprite.GetPixelKind() == 16);
        QNDX_CHILD_CHECK(ve->GetCursorManager() == cursors);
        QNDX_CHILD_CHECK(ve->GetDefaultFont() == font);
        QNDX_CHILD_CHECK(ve->GetCache() == cache);
        QNDX_CHILD_CHECK(ve->Flip() == DD_OK);

        // Zeros keep the current values.
        QNDX_CHILD_CHECK(ve->SwitchMode(false, 0, 0, 0) == 0);
        QNDX_CHILD_CHECK(!ve->IsFullScreen());
        QNDX_CHILD_CHECK(ve->GetWidth() == 800);
        QNDX_CHILD_CHECK(ve->GetHeight() == 600);
        QNDX_CHILD_CHECK(!qndx::sim::ExclusiveModeHeld());
        QNDX_CHILD_CHECK(sprite.GetPixelKind() == 32);
        ve->SetWaitForVSync(false);
        QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
        QNDX_CHILD_CHECK(ve->SwitchMode(true, 1000, 700, 32) == -1);
        QNDX_CHILD_CHECK(ve->GetBackBuffer() != nullptr);
    });
}

TEST(DisplayWithManager, FailedSwitchGoesBackToTheOldDisplay) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateWindowed(640, 480, 0) == 0);
        ve->SetWaitForVSync(false);
        qndx::sim::FailNext("IDirectDraw7::SetDisplayMode", 1, DDERR_UNSUPPORTEDMODE);
        QNDX_CHILD_CHECK(ve->SwitchMode(true, 800, 600, 32) == -9);
        // The loop goes on presenting: the old windowed display is back.
        QNDX_CHILD_CHECK(ve->GetFrontSurface());
        QNDX_CHILD_CHECK(ve->GetBackBuffer());
        QNDX_CHILD_CHECK(!ve->IsFullScreen());
        QNDX_CHILD_CHECK(ve->GetWidth() == 640);
        QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
    });
}

// Inside the main loop, as a game would: at its third frame the state asks
// for a switch that cannot succeed in any mode. The loop must end by itself
// instead of presenting without buffers for ever.
class SwitchingState : public CQNDXGameState {
public:
    int Render() override {
        ++frames;
        CQNDXVideoEngine* ve = CQNDXVideoEngine::GetInstance();
        if (frames == 3) {
            qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1000, DDERR_OUTOFMEMORY);
            result = ve->SwitchMode(true, 800, 600, 32);
        }
        if (frames > 3) presentsWithoutBuffers += ve->GetBackBuffer() ? 0 : 1;
        if (frames > 200) std::_Exit(3);  // the loop never ended
        return 0;
    }
    int frames = 0;
    int result = 0;
    int presentsWithoutBuffers = 0;
};

TEST(DisplayWithManager, SwitchThatCannotMakeAnyDisplayEndsTheLoop) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(gm);
        QNDX_CHILD_CHECK(gm->GetVideoEngine());
        SwitchingState state;
        gm->AddGameState(&state);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        ve->SetWaitForVSync(false);
        QNDX_CHILD_CHECK(ve->CreateWindowed(640, 480, 0) == 0);
        qndx::sim::ClearFaults();
        QNDX_CHILD_CHECK(state.result < 0);
        QNDX_CHILD_CHECK(gm->IsQuitRequested());
        QNDX_CHILD_CHECK(!ve->GetFrontSurface());
        QNDX_CHILD_CHECK(!ve->GetBackBuffer());
        QNDX_CHILD_CHECK(ve->Flip() < 0);
    });
}

// ---- fades ---------------------------------------------------------------------------

TEST(DisplayWithManager, FadeInEndsOnThePictureItStartedFrom) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        qndx::sim::EnableFakeClock(true);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateWindowed(320, 240, 0) == 0);
        ve->SetWaitForVSync(false);
        ve->SetCursorFlag(false);
        CQNDXSurface* back = ve->GetBackBuffer();
        PaintPattern(back->GetDDSurface());
        const Pixels before = Read(back->GetDDSurface());
        const int live = qndx::sim::LiveSurfaceCount();
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(ve->FadeIn(100) == 0);
        // No time passes on the fake clock: the level rises by 2 a frame.
        // Presents are the plain Blt calls (a clear is a colour-fill Blt).
        int presents = 0;
        for (const std::string& e : qndx::sim::JournalEntries())
            if (e.rfind("IDirectDrawSurface7::Blt(", 0) == 0 && e.find(" 0x1000000)") != std::string::npos) ++presents;
        QNDX_CHILD_CHECK(presents == 130);
        const Pixels after = Read(back->GetDDSurface());
        for (int y = 100; y < 240; ++y)
            for (int x = 0; x < 320; ++x) QNDX_CHILD_CHECK(after.At(x, y) == before.At(x, y));
        QNDX_CHILD_CHECK(qndx::sim::LiveSurfaceCount() == live);
    });
}

TEST(DisplayWithManager, FadeOutEndsBlack) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        qndx::sim::EnableFakeClock(true);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->CreateWindowed(320, 240, 0) == 0);
        ve->SetWaitForVSync(false);
        ve->SetCursorFlag(false);
        CQNDXSurface* back = ve->GetBackBuffer();
        back->Clear(back->RGBToNative(RGB(255, 255, 255)));
        QNDX_CHILD_CHECK(ve->Flip() == DD_OK);
        QNDX_CHILD_CHECK(ve->FadeOut(1000) == 0);
        const Pixels after = Read(back->GetDDSurface());
        for (int y = 100; y < 240; ++y)
            for (int x = 0; x < 320; ++x) QNDX_CHILD_CHECK(after.At(x, y) == 0);
        RECT client = ClientOnScreen(GameWindow());
        const Pixels screen = Read(ve->GetFrontSurface()->GetDDSurface());
        QNDX_CHILD_CHECK(screen.At(client.left + 200, client.top + 200) == 0);
    });
}

TEST(DisplayWithManager, FadesNeedABackBuffer) {
    qndx::test::TempDir dir("qndx-display");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = StartManager(nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve->FadeIn(10) == -1);
        QNDX_CHILD_CHECK(ve->FadeOut(10) == -1);
    });
}

}  // namespace
}  // namespace display_test
