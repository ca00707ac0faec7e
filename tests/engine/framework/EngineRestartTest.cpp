// Engines torn down and brought up again while the application still holds
// what it made on them, as a settings screen or a restart does: surfaces (made,
// loaded, copied, a tileset, one whose creation failed), a cursor and fonts on
// the video engine; sounds and audio paths on the sound engine; the loop and
// the display on a missing input engine. Afterwards the manager hands out
// only an engine that exists, every call of an old object behaves as it does
// for an object that never had an engine, and nothing old reaches a new
// engine as if it were registered there. The sanitizer run checks that no
// call reaches freed memory. Each scenario runs in a forked child: the
// engines are process singletons.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FrameworkTestUtil.h"
#include "GameManager.h"
#include "GameState.h"
#include "GameStateManager.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/Tileset.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "SoundEngine/3DAudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/SoundEngine.h"
#include "SoundEngine/StereoAudioPath.h"
#include "platform/User.h"
#include "platform/sim/Audio.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Input.h"
#include "platform/sim/Kernel.h"

using qndx_test::ReadAll;
using qndx::test::TempDir;

namespace {

// A surface that never had an engine: what an old surface must behave like.
class NeverHadEngine : public CQNDXSurface {
public:
    NeverHadEngine() = default;
    NeverHadEngine(IDirectDrawSurface7* s, int w, int h) : CQNDXSurface(s) {
        m_iWidth = w;
        m_iHeight = h;
        RECT all = {0, 0, w, h};
        SetClipRect(&all);
    }
};

// A system-memory surface of the display's format from a DirectDraw object
// of its own, for the engine-less twins.
IDirectDrawSurface7* PlainSurface(int w, int h) {
    void* dd = nullptr;
    if (DirectDrawCreateEx(nullptr, &dd, IID_IDirectDraw7, nullptr) < 0 || !dd) return nullptr;
    IDirectDraw7* ddraw = static_cast<IDirectDraw7*>(dd);
    ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface7* s = CreateSystemSurface(ddraw, w, h);
    ddraw->Release();  // the surface keeps what it needs
    return s;
}

// A 4 x 4 24-bit BMP file in memory.
std::vector<BYTE> SmallBmp() {
    std::vector<BYTE> b(54 + 4 * 12, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 4);
    put32(22, 4);
    b[26] = 1;
    b[28] = 24;
    for (size_t i = 54; i < b.size(); ++i) b[i] = static_cast<BYTE>(i * 7);
    return b;
}

// Every public call of a surface, in order, with what each gave. The
// drawing leaves the same pixels on any two surfaces of one size and format
// that behave alike; SaveBMP writes them to `bmp`.
std::vector<long> Exercise(CQNDXSurface* s, CQNDXSurface* other, CQNDXFont* font, const std::string& bmp) {
    std::vector<long> r;
    const BYTE data[4] = {0, 0, 0, 0};
    r.push_back(s->GetID());
    r.push_back(s->GetVideoEngine() != nullptr);
    r.push_back(s->Create(nullptr, 4, 4));
    r.push_back(s->LoadFromMemory(nullptr, 4, data, 0));
    r.push_back(s->LoadFromFileObject(nullptr, 0, nullptr, 0));
    r.push_back(s->LoadFromFILE(nullptr, 0, nullptr, 0));
    r.push_back(s->Load(nullptr, "none.bmp", 0));
    const DWORD white = s->RGBToNative(0xFFFFFF), red = s->RGBToNative(0x0000FF);
    r.push_back(s->Clear(white));
    r.push_back(s->FillRect(1, 1, 5, 5, red));
    r.push_back(s->DrawRect(0, 0, 7, 7, red));
    r.push_back(s->BlendRect(2, 2, 6, 6, 128, red));
    r.push_back(s->DrawLine(0, 7, 7, 0, red));
    r.push_back(s->DrawLineAA(0, 3, 7, 4, red));
    r.push_back(s->DrawCircle(4, 4, 3, red));
    r.push_back(s->FillCircle(4, 4, 2, white));
    r.push_back(s->DrawRoundRect(0, 0, 7, 7, 2, red));
    r.push_back(s->DrawText(0, 0, "Hi", -1));
    r.push_back(s->DrawTextEx(0, 0, "Hi", 1));
    r.push_back(s->SaveBMP(bmp.c_str()));
    RECT rc = {-2, -2, 20, 20};
    int x = -3, y = 2;
    r.push_back(s->ClipRect(&rc));
    r.push_back(rc.left + rc.right);
    rc = {0, 0, 8, 8};
    r.push_back(s->ClipBlit(other, &x, &y, &rc));
    r.push_back(x + y + rc.left);
    rc = {0, 0, 8, 8};
    x = 5;
    y = 5;
    r.push_back(s->ClipToSurface(other, &x, &y, &rc));
    r.push_back(rc.right + rc.bottom);
    r.push_back(s->LoadAlphaMask("none.mask"));
    for (BOOL keyed : {FALSE, TRUE}) {
        r.push_back(s->Blit(other, 1, 1, nullptr, keyed));
        r.push_back(s->BlitClipToSurface(other, 1, 1, nullptr, keyed));
        r.push_back(s->BlitMirrorLeftRight(other, 1, 1, nullptr, keyed));
        r.push_back(s->BlitMirrorUpDown(other, 1, 1, nullptr, keyed));
        r.push_back(s->BlitAlpha(other, 1, 1, nullptr, 100, keyed));
        r.push_back(s->BlitAlpha(other, 1, 1, nullptr, 127, keyed));
        r.push_back(s->BlitTranslucent(other, 1, 1, nullptr, 30, keyed));
        r.push_back(s->BlitTranslucent(other, 1, 1, nullptr, 50, keyed));
        r.push_back(s->BlitScaled(other, 1, 1, nullptr, 1.5f, keyed));
        r.push_back(s->BlitStretched(other, 1, 1, nullptr, 3, 5, keyed));
    }
    r.push_back(s->BlitBlend(other, 0, 0, nullptr, 100));
    r.push_back(s->NotifyChanged());
    r.push_back(s->SetColorKeyNative(red));
    r.push_back(static_cast<long>(s->GetColorKey()));
    r.push_back(s->SetColorKeyRGB(0x00FF00));
    r.push_back(static_cast<long>(s->GetColorKey()));
    r.push_back(s->SetColorKeyFromFirstPixel());
    r.push_back(static_cast<long>(s->GetColorKey()));
    r.push_back(s->Restore());
    r.push_back(s->SetFont(nullptr));
    r.push_back(s->SetFont(font));
    r.push_back(s->GetFont() == font);
    r.push_back(s->DrawText(0, 0, "Hi", -1));
    r.push_back(s->Lock());
    r.push_back(static_cast<long>(s->GetPixel(1, 1)));
    r.push_back(s->PutPixel(0, 0, red));
    r.push_back(s->Lock());
    r.push_back(s->Unlock());
    r.push_back(s->Unlock());
    r.push_back(s->GetDC() != nullptr);
    r.push_back(s->ReleaseDC());
    s->SetTextureFlag(1);
    r.push_back(s->GetTextureFlag());
    s->SetTextureFlag(0);
    r.push_back(s->Reload(nullptr));
    r.push_back(s->NeedsReload());
    r.push_back(s->Reload("none.bmp"));
    s->SetCacheable(0);
    r.push_back(s->IsCacheable());
    s->SetCacheable(1);
    s->SetUserFlag(1);
    r.push_back(s->GetUserFlag());
    s->SetNeedsReload(0);
    r.push_back(static_cast<long>(s->GetLockedDesc()->dwWidth));
    r.push_back(static_cast<long>(s->RGBToNative(0x123456)));
    {
        CQNDXSurface copy(*s);
        r.push_back(copy.GetDDSurface() != nullptr);
        r.push_back(copy.GetID());
    }
    return r;
}

std::string Text(const std::vector<long>& v) {
    std::string t;
    for (long x : v) t += std::to_string(x) + " ";
    return t;
}

// Each old surface against an engine-less twin of its size (an empty one for
// a surface without pixels): the same results, and the same pixels.
void ExpectLikeNoEngine(const std::vector<CQNDXSurface*>& old, CQNDXSurface* other, CQNDXFont* font,
                        const TempDir& dir) {
    for (size_t i = 0; i < old.size(); ++i) {
        CQNDXSurface* s = old[i];
        NeverHadEngine* twin = s->GetDDSurface()
                                   ? new NeverHadEngine(PlainSurface(s->GetWidth(), s->GetHeight()), s->GetWidth(),
                                                        s->GetHeight())
                                   : new NeverHadEngine();
        const std::string mine = Text(Exercise(s, other, font, dir / "old.bmp"));
        const std::string twins = Text(Exercise(twin, other, font, dir / "twin.bmp"));
        if (mine != twins) std::fprintf(stderr, "surface %zu:\n  %s\nshould be\n  %s\n", i, mine.c_str(), twins.c_str());
        QNDX_CHILD_CHECK(mine == twins);
        QNDX_CHILD_CHECK(ReadAll(dir / "old.bmp") == ReadAll(dir / "twin.bmp"));
        std::remove((dir / "old.bmp").c_str());
        std::remove((dir / "twin.bmp").c_str());
        delete twin;
    }
}

// A state that ends the loop at its first frame, so a display can be made.
class OneFrame : public CQNDXGameState {
public:
    int Render() override {
        ++frames;
        GetGameManager()->Quit(0);
        return 0;
    }
    int frames = 0;
};

CQNDXGameManager* StartManager(const TempDir& dir) {
    qndx::sim::SetCommandLine(("\"" + dir.path() + "/game.exe\"").c_str());
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    QNDX_CHILD_CHECK(gm != nullptr);
    return gm;
}

}  // namespace

TEST(EngineRestart, VideoObjectsMadeBeforeLetGoOfTheEngineAndNeverReachTheNextOne) {
    TempDir dir;
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir);
        CQNDXVideoEngine* first = gm->GetVideoEngine();
        OneFrame state;
        gm->AddGameState(&state);
        QNDX_CHILD_CHECK(first->CreateWindowed(64, 48, 0) == 0);
        QNDX_CHILD_CHECK(state.frames == 1);

        auto* made = new CQNDXSurface();
        QNDX_CHILD_CHECK(made->Create(first, 8, 8) == 0);
        QNDX_CHILD_CHECK(made->GetID() >= 0);
        const std::vector<BYTE> bmp = SmallBmp();
        auto* loaded = new CQNDXSurface();
        QNDX_CHILD_CHECK(loaded->LoadFromMemory(first, static_cast<int>(bmp.size()), bmp.data(), 0) == 1);
        auto* copy = new CQNDXSurface(*made);
        QNDX_CHILD_CHECK(copy->GetID() >= 0);
        auto* empty = new CQNDXSurface();  // its creation failed, yet it keeps the engine
        QNDX_CHILD_CHECK(empty->Create(first, 0, 0) < 0);
        QNDX_CHILD_CHECK(empty->GetVideoEngine() == first);
        auto* tiles = new CQNDXTileset();
        QNDX_CHILD_CHECK(tiles->CreateAndCutGrid(first, 8, 8, 4, 4) >= 0);
        QNDX_CHILD_CHECK(tiles->GetTileCount() == 4);
        auto* cursor = new CQNDXCursor(first, LoadCursorA(nullptr, IDC_ARROW));
        QNDX_CHILD_CHECK(cursor->GetImage() != nullptr);
        auto* bitmapFont = new CQNDXBitmapFont(first);
        auto* tileFont = new CQNDXTilesetFont(first);
        QNDX_CHILD_CHECK(tileFont->SetTileset(tiles, 'A', 4) == 0);
        // On the display: the surface gets a video-memory copy.
        QNDX_CHILD_CHECK(made->Blit(first->GetBackBuffer(), 0, 0, nullptr, FALSE) == 0);
        QNDX_CHILD_CHECK(first->GetCache()->IsCached(made));
        const std::vector<CQNDXSurface*> old = {made, loaded, copy, empty, tiles};

        CQNDXVideoEngine::Destroy();
        QNDX_CHILD_CHECK(gm->GetVideoEngine() == nullptr);
        QNDX_CHILD_CHECK(state.GetVideoEngine() == nullptr);
        QNDX_CHILD_CHECK(CQNDXVideoEngine::Exists() == 0);
        for (CQNDXSurface* s : old) QNDX_CHILD_CHECK(s->GetID() == -1 && s->GetVideoEngine() == nullptr);
        NeverHadEngine other(PlainSurface(16, 16), 16, 16);
        CQNDXGDIFont gdiFont;
        ExpectLikeNoEngine(old, &other, &gdiFont, dir);
        QNDX_CHILD_CHECK(tiles->DrawTile(&other, 2, 2, 1, FALSE) == -1);
        QNDX_CHILD_CHECK(cursor->GetVideoEngine() == nullptr);
        QNDX_CHILD_CHECK(cursor->Draw(&other, 3, 3) == -1);
        QNDX_CHILD_CHECK(cursor->SetFromHCURSOR(LoadCursorA(nullptr, IDC_ARROW)) == -1);
        QNDX_CHILD_CHECK(cursor->SetImage(tiles) == -1);
        QNDX_CHILD_CHECK(bitmapFont->DrawText(&other, 0, 0, "AB", -1) == -1);
        bitmapFont->SetTextColor(0x00FF00);  // would rebuild its glyphs on the engine
        QNDX_CHILD_CHECK(bitmapFont->CreateFont("Arial", 0, 10, 400, nullptr) == 0);
        QNDX_CHILD_CHECK(bitmapFont->DrawText(&other, 0, 0, "AB", -1) == -1);
        QNDX_CHILD_CHECK(tileFont->DrawText(&other, 0, 0, "AB", -1) == -1);
        QNDX_CHILD_CHECK(tileFont->LoadTileset("tiles.bmp", 4, 4, 'A', 4) == -1);
        QNDX_CHILD_CHECK(tileFont->SetTileset(tiles, 'A', 4) == -1);

        // A new engine, which the manager hands out; the old objects stay
        // out of it.
        CQNDXVideoEngine* second = CQNDXVideoEngine::Create(gm);
        QNDX_CHILD_CHECK(second != nullptr);
        QNDX_CHILD_CHECK(gm->GetVideoEngine() == second);
        QNDX_CHILD_CHECK(second->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK);
        auto* fresh = new CQNDXSurface();
        QNDX_CHILD_CHECK(fresh->Create(second, 8, 8) == 0);
        QNDX_CHILD_CHECK(fresh->GetID() == 0);
        for (CQNDXSurface* s : old) QNDX_CHILD_CHECK(s->GetID() == -1 && s->GetVideoEngine() == nullptr);
        ExpectLikeNoEngine(old, &other, &gdiFont, dir);
        QNDX_CHILD_CHECK(cursor->SetFromHCURSOR(LoadCursorA(nullptr, IDC_ARROW)) == -1);
        bitmapFont->SetTextColor(0xFF0000);
        QNDX_CHILD_CHECK(tileFont->LoadTileset("tiles.bmp", 4, 4, 'A', 4) == -1);
        QNDX_CHILD_CHECK(second->GetSurfaceManager()->GetCount() == 1);
        // An old surface may be drawn on as any surface: it is not told of
        // changes it is not registered for.
        QNDX_CHILD_CHECK(fresh->Blit(made, 0, 0, nullptr, FALSE) == 0);
        delete tileFont;
        delete bitmapFont;
        delete cursor;
        for (CQNDXSurface* s : old) delete s;
        QNDX_CHILD_CHECK(second->GetSurfaceManager()->GetCount() == 1);
        QNDX_CHILD_CHECK(second->GetSurfaceManager()->GetSurface(0) == fresh);
        delete fresh;
        QNDX_CHILD_CHECK(second->GetSurfaceManager()->GetCount() == 0);
    });
}

TEST(EngineRestart, SoundsAndPathsMadeBeforeFailCleanlyAndNeverReachTheNextEngine) {
    TempDir dir;
    QNDX_IN_CHILD({
        qndx::sim::SetAudioOffline(true);
        CQNDXGameManager* gm = StartManager(dir);
        CQNDXSoundEngine* first = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(first != nullptr);
        // One second of a constant wave at the mix rate.
        std::string wave;
        auto put = [&wave](uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) wave += static_cast<char>(v >> (8 * i));
        };
        wave += "RIFF";
        put(36 + 96000, 4);
        wave += "WAVEfmt ";
        put(16, 4);
        put(1, 2);
        put(1, 2);
        put(48000, 4);
        put(96000, 4);
        put(2, 2);
        put(16, 2);
        wave += "data";
        put(96000, 4);
        for (int i = 0; i < 48000; ++i) put(16384, 2);
        qndx_test::WriteAll(dir / "sounds/tone.wav", wave);

        auto* stereo = static_cast<CQNDXStereoAudioPath*>(first->CreateAudioPath(64));
        auto* spatial = static_cast<CQNDX3DAudioPath*>(first->Create3DAudioPath(64));
        auto* ownPath = new CQNDXStereoAudioPath(first);  // made by hand: never listed
        QNDX_CHILD_CHECK(stereo);
        QNDX_CHILD_CHECK(spatial);
        QNDX_CHILD_CHECK(ownPath->Create(64) >= 0);
        auto* playing = new CQNDXSound(first);
        auto* quiet = new CQNDXSound(first);
        auto* unlisted = new CQNDXSound(first);
        auto* empty = new CQNDXSound(first);
        for (CQNDXSound* s : {playing, quiet, unlisted}) QNDX_CHILD_CHECK(s->Load("tone.wav", 0) == 0);
        QNDX_CHILD_CHECK(first->RemoveSound(unlisted) == 0);
        QNDX_CHILD_CHECK(playing->PlaySecondary(stereo, 0) == 0);
        QNDX_CHILD_CHECK(unlisted->PlaySecondary(ownPath, 0) == 0);
        QNDX_CHILD_CHECK(quiet->Download(spatial) >= 0);
        QNDX_CHILD_CHECK(qndx::sim::RenderAudio(480)[200] != 0.0f);

        CQNDXSoundEngine::Destroy();
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == nullptr);
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 0);
        const std::vector<CQNDXSound*> sounds = {playing, quiet, unlisted, empty};
        const std::vector<CQNDXAudioPath*> paths = {stereo, spatial, ownPath};
        auto expectOldObjectsFail = [&]() {
            for (CQNDXSound* s : sounds) {
                const bool loaded = s != empty;
                QNDX_CHILD_CHECK(s->Load("tone.wav", 0) == -1);
                QNDX_CHILD_CHECK(s->LoadFromResource("TONE", "WAVE", 0) == -1);
                QNDX_CHILD_CHECK(s->IsPlaying() == -1);
                QNDX_CHILD_CHECK(s->Stop(0, 0) == -1);
                for (CQNDXAudioPath* p : paths) {
                    QNDX_CHILD_CHECK(s->Play(p, 0, 0) == -1);
                    QNDX_CHILD_CHECK(s->PlaySecondary(p, 0) == -1);
                    QNDX_CHILD_CHECK(s->PlayPrimary(p, 0) == -1);
                    QNDX_CHILD_CHECK(s->IsDownloadedTo(p) == 0);
                    QNDX_CHILD_CHECK(s->Download(p) < 0);
                    QNDX_CHILD_CHECK(s->Unload(p) == (loaded ? -2 : -1));
                }
                // What the sound holds itself still answers.
                DWORD repeats = 7;
                QNDX_CHILD_CHECK(s->SetRepeats(2) == (loaded ? 0 : -1));
                QNDX_CHILD_CHECK(s->GetRepeats(&repeats) == (loaded ? 0 : -1));
                QNDX_CHILD_CHECK(repeats == (loaded ? 2u : 7u));
            }
            for (CQNDXAudioPath* p : paths) {
                QNDX_CHILD_CHECK(p->GetAudioPath() == nullptr);
                QNDX_CHILD_CHECK(p->SetVolume(-100, 0) == -1);
                QNDX_CHILD_CHECK(p->Create(64) == -1);
            }
            for (CQNDXStereoAudioPath* p : {stereo, ownPath}) {
                long value = 5;
                QNDX_CHILD_CHECK(p->GetBuffer() == nullptr);
                QNDX_CHILD_CHECK(p->SetPan(100) == -1);
                QNDX_CHILD_CHECK(p->GetPan(&value) == -1);
                QNDX_CHILD_CHECK(p->GetVolume(&value) == -1);
                QNDX_CHILD_CHECK(value == 5);
            }
            float f = 0;
            long l = 0;
            int mode = 0;
            DWORD in = 0, out = 0;
            CQNDX3DAudioPath* p = spatial;
            QNDX_CHILD_CHECK(p->Get3DBuffer() == nullptr);
            QNDX_CHILD_CHECK(p->GetListener() == nullptr);
            const int results[] = {
                p->SetMode(1, 1), p->GetMode(&mode), p->SetMinDistance(1, 1), p->GetMinDistance(&f),
                p->SetMaxDistance(9, 1), p->GetMaxDistance(&f), p->SetPosition(1, 2, 3, 1), p->GetPosition(&f, &f, &f),
                p->SetConeAngles(10, 20, 1), p->GetConeAngles(&in, &out), p->SetConeOrientation(0, 0, 1, 1),
                p->GetConeOrientation(&f, &f, &f), p->SetConeOutsideVolume(-100, 1), p->GetConeOutsideVolume(&l),
                p->SetDistanceFactor(1, 1), p->GetDistanceFactor(&f), p->SetDopplerFactor(1, 1),
                p->GetDopplerFactor(&f), p->SetRolloffFactor(1, 1), p->GetRolloffFactor(&f),
                p->SetListenerVelocity(1, 1, 1, 1), p->GetListenerVelocity(&f, &f, &f),
                p->SetListenerOrientation(0, 0, 1, 0, 1, 0, 1), p->GetListenerOrientation(&f, &f, &f, &f, &f, &f),
                p->SetListenerPosition(1, 1, 1, 1), p->GetListenerPosition(&f, &f, &f),
                p->SetAllParameters(1, 1, 9, 0, 0, 0, 10, 20, 0, 0, 1, -100), p->CommitDeferredSettings()};
            for (int result : results) QNDX_CHILD_CHECK(result == -1);
        };
        expectOldObjectsFail();
        // A sound made on what the manager hands out now has no engine.
        auto* late = new CQNDXSound(gm->GetSoundEngine());
        QNDX_CHILD_CHECK(late->Load("tone.wav", 0) == -1);
        delete late;
        QNDX_CHILD_CHECK(qndx::sim::RenderAudio(480)[200] == 0.0f);

        // A new engine plays; the old objects still fail and stay out of it.
        CQNDXSoundEngine* second = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(second != nullptr);
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == second);
        QNDX_CHILD_CHECK(second->GetSoundCount() == 0);
        QNDX_CHILD_CHECK(second->GetAudioPathCount() == 0);
        CQNDXAudioPath* path = second->CreateAudioPath(64);
        auto* sound = new CQNDXSound(second);
        QNDX_CHILD_CHECK(path);
        QNDX_CHILD_CHECK(sound->Load("tone.wav", 0) == 0);
        QNDX_CHILD_CHECK(sound->PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(qndx::sim::RenderAudio(480)[200] != 0.0f);
        expectOldObjectsFail();
        for (CQNDXSound* s : sounds) {
            QNDX_CHILD_CHECK(s->Play(path, 0, 0) == -1);
            QNDX_CHILD_CHECK(s->IsDownloadedTo(path) == 0);
            delete s;
        }
        for (CQNDXAudioPath* p : paths) QNDX_CHILD_CHECK(p->Destroy() == 0);
        QNDX_CHILD_CHECK(second->GetSoundCount() == 1);
        QNDX_CHILD_CHECK(second->GetAudioPathCount() == 1);
        QNDX_CHILD_CHECK(sound->IsPlaying() == 1);
        delete sound;
        QNDX_CHILD_CHECK(path->Destroy() == 0);
    });
}

TEST(EngineRestart, WithoutAnInputEngineTheLoopAndTheDisplayGoOnAndANewOneIsPolled) {
    TempDir dir;
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir);
        QNDX_CHILD_CHECK(gm->GetInputEngine() != nullptr);
        CQNDXInputEngine::Destroy();
        QNDX_CHILD_CHECK(gm->GetInputEngine() == nullptr);
        OneFrame state;
        gm->AddGameState(&state);
        QNDX_CHILD_CHECK(state.GetInputEngine() == nullptr);
        // The display hooks its cursor to the mouse, and the loop polls
        // input: neither finds an engine.
        QNDX_CHILD_CHECK(gm->GetVideoEngine()->CreateWindowed(64, 48, 0) == 0);
        QNDX_CHILD_CHECK(state.frames == 1);
        CQNDXVideoEngine::Destroy();  // takes its cursor off the mouse, if any

        CQNDXInputEngine* input = CQNDXInputEngine::Create(gm);
        QNDX_CHILD_CHECK(input != nullptr);
        QNDX_CHILD_CHECK(gm->GetInputEngine() == input);
        QNDX_CHILD_CHECK(input->Init() >= 0);
        input->GetMouse()->SetPosition(10, 20, 0);
        CQNDXCursorManager manager;  // reads the new mouse's position
        int x = -1, y = -1;
        manager.GetPosition(&x, &y);
        int mx = -2, my = -2;
        input->GetMouse()->GetPosition(&mx, &my);
        QNDX_CHILD_CHECK(x == mx);
        QNDX_CHILD_CHECK(y == my);
        CQNDXVideoEngine* video = CQNDXVideoEngine::Create(gm);
        QNDX_CHILD_CHECK(video == gm->GetVideoEngine());
        QNDX_CHILD_CHECK(gm->GetVideoEngine() != nullptr);
    });
}

// A state that replaces the input engine at its first frame, as a settings
// screen would, and then presses F and pushes the mouse far down and right.
class ReplacesInput : public CQNDXGameState {
public:
    ReplacesInput() {
        SetKeyboardEvents(1);
        SetMouseEvents(1);
    }
    int Render() override {
        ++frames;
        qndx::sim::AdvanceFakeTimeMs(60);  // past every device's polling period
        if (frames == 1) {
            CQNDXInputEngine::Destroy();
            CQNDXInputEngine* input = CQNDXInputEngine::Create(GetGameManager());
            replaced = input && input->Init() >= 0 && input->AcquireAll() >= 0;
            qndx::sim::InjectKey(0x21, true);
            qndx::sim::InjectMouseMotion(5000, 5000);
        }
        if (!keys.empty() || frames == 20) GetGameManager()->Quit(0);
        return 0;
    }
    void OnKeyDown(int key) override { keys.push_back(key); }
    void OnMouseMove(int x, int y, int) override {
        lastX = x;
        lastY = y;
    }
    int frames = 0;
    bool replaced = false;
    std::vector<int> keys;
    int lastX = -1, lastY = -1;
};

TEST(EngineRestart, AnInputEngineReplacedWhileTheGameRunsFeedsTheStateAndTheCursor) {
    TempDir dir;
    QNDX_IN_CHILD({
        qndx::sim::EnableFakeClock(true);
        CQNDXGameManager* gm = StartManager(dir);
        ReplacesInput state;
        gm->AddGameState(&state);
        QNDX_CHILD_CHECK(gm->GetVideoEngine()->CreateWindowed(64, 48, 0) == 0);
        QNDX_CHILD_CHECK(state.replaced);
        QNDX_CHILD_CHECK(state.keys == std::vector<int>{0x21});
        // The new mouse is held to the 64 by 48 display, and the cursor and
        // the state both follow it.
        int x = -1, y = -1;
        gm->GetVideoEngine()->GetCursorManager()->GetPosition(&x, &y);
        QNDX_CHILD_CHECK(x == 63 && y == 47);
        QNDX_CHILD_CHECK(state.lastX == 63 && state.lastY == 47);
    });
}
