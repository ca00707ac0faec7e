// The present of one desktop format on a real X server: the engine's Flip
// (800 x 600 windowed, vsync wait off, statistics shown) beside what an SDL
// program does to show the same frame, a blit of it onto its window's
// surface plus SDL_UpdateWindowSurface. Both windows live on the same server.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "GameManager.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "Util/Window.h"
#include "calls/Figures.h"
#include "calls/Rounds.h"
#include "calls/Scene.h"
#include "platform/User.h"
#include "sdl/SdlWindow.h"

namespace qndx {
namespace bench {
namespace {

// What the window shows equals the frame converted to its format (widening
// 5- and 6-bit channels may round the last bit either way).
bool Shows(SDL_Surface* window, const SDL_Surface* frame, int slack) {
    if (!window || window->w < frame->w || window->h < frame->h) return false;
    if (SDL_MUSTLOCK(window)) SDL_LockSurface(window);
    bool same = true;
    for (int y = 0; y < frame->h && same; ++y)
        for (int x = 0; x < frame->w && same; ++x) {
            Uint32 a = 0, b = 0;
            std::memcpy(&a, static_cast<const uint8_t*>(frame->pixels) + y * frame->pitch + x * frame->format->BytesPerPixel,
                        frame->format->BytesPerPixel);
            std::memcpy(&b, static_cast<const uint8_t*>(window->pixels) + y * window->pitch + x * window->format->BytesPerPixel,
                        window->format->BytesPerPixel);
            Uint8 c1[3], c2[3];
            SDL_GetRGB(a, frame->format, &c1[0], &c1[1], &c1[2]);
            SDL_GetRGB(b, window->format, &c2[0], &c2[1], &c2[2]);
            for (int k = 0; k < 3; ++k) same = same && std::abs(c1[k] - c2[k]) <= slack;
        }
    if (SDL_MUSTLOCK(window)) SDL_UnlockSurface(window);
    return same;
}

// The game's messages, as its main loop takes them between frames (a bounded
// number: an unpainted window's paint message never runs out).
void PumpMessages() {
    MSG msg;
    for (int i = 0; i < 32 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int RunPresentFigures(int bpp, const Options& opt, FILE* out) {
    std::string why;
    CQNDXVideoEngine* ve = StartEngine(&why);
    if (!ve) {
        std::fprintf(stderr, "bench_calls present %d bpp: %s\n", bpp, why.c_str());
        return 1;
    }
    ve->ShowStatistics(true);
    CQNDXSurface* back = ve->GetBackBuffer();
    const Uint32 format = SdlFormatOf(static_cast<int>(back->GetPixelKind()));
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    SDL_Window* gameWindow = qndx::platform::SdlWindowFor(gm->GetWindow()->GetHWND());
    SDL_Surface* frame = format ? MakeBackground(format) : nullptr;
    SDL_Window* peerWindow =
        SDL_CreateWindow("bench_calls peer", 0, 0, kScreenW, kScreenH, SDL_WINDOW_SHOWN);
    SDL_Surface* peerSurface = peerWindow ? SDL_GetWindowSurface(peerWindow) : nullptr;
    if (!gameWindow || !frame || !peerSurface || !CopyFromSdl(frame, back)) {
        std::fprintf(stderr, "bench_calls present %d bpp: no game window, frame or peer window (%s)\n", bpp,
                     SDL_GetError());
        return 1;
    }
    PumpMessages();

    auto flip = [&] { ve->Flip(); };
    auto peer = [&] {
        SDL_BlitSurface(frame, nullptr, peerSurface, nullptr);
        SDL_UpdateWindowSurface(peerWindow);
    };

    // Each side once: the window shows the whole frame (the game's with the
    // overlay and cursor the present drew into the back buffer).
    PresentFigure f;
    f.bpp = bpp;
    const int slack = bpp == 15 || bpp == 16 ? 2 : 0;
    const bool flipped = ve->Flip() == DD_OK;
    SDL_Surface* shown = CopyToSdl(back, format);
    const bool gameOk = flipped && shown && Shows(SDL_GetWindowSurface(gameWindow), shown, slack);
    SDL_FreeSurface(shown);
    peer();
    const bool peerOk = Shows(peerSurface, frame, slack);
    f.checked = gameOk && peerOk ? 1 : 0;
    if (!f.checked)
        std::fprintf(stderr, "bench_calls present %d bpp: check failed (%s window shows another picture)\n", bpp,
                     gameOk ? "the peer's" : "the game's");

    const SidePair t = AlternateRounds(flip, peer, opt.reps, opt.roundSeconds * 4, Clock::Wall);
    f.flip = t.project;
    f.peer = t.peer;
    Write(out, f);
    std::fflush(out);
    PumpMessages();
    SDL_DestroyWindow(peerWindow);
    SDL_FreeSurface(frame);
    return f.checked ? 0 : 1;
}

}  // namespace bench
}  // namespace qndx
