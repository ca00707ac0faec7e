// The demonstration's game state: an 800 x 600 background picture, running
// water on F, a bird on G, both on one stereo audio path, and Esc to quit.
#include "DemoGameState.h"

#include "GameManager.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "SoundEngine/AudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/SoundEngine.h"

namespace ambrixo {

CQNDXSurface* g_pBackground = nullptr;
CQNDXAudioPath* g_pAudioPath = nullptr;
CQNDXSound* g_pWater = nullptr;
CQNDXSound* g_pBird = nullptr;

namespace {

const int kKeyEscape = 0x01;
const int kKeyF = 0x21;
const int kKeyG = 0x22;
// Default segment flags plus secondary: the two sounds play side by side.
const DWORD kPlayFlags = 0x4080;

void Toggle(CQNDXSound* sound) {
    if (!sound || !g_pAudioPath) return;
    if (sound->IsPlaying())
        sound->Stop(0, 0);
    else
        sound->Play(g_pAudioPath, kPlayFlags, 0);
}

}  // namespace
}  // namespace ambrixo

using namespace ambrixo;

CDemoGameState::CDemoGameState() { SetKeyboardEvents(1); }

CDemoGameState::~CDemoGameState() {}

void CDemoGameState::Initialize() {
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
    if (engine) g_pAudioPath = engine->CreateAudioPath(64);
    if (g_pAudioPath) {
        g_pWater = new CQNDXSound(engine);
        g_pBird = new CQNDXSound(engine);
    }
    if (g_pWater) {
        g_pWater->Load("water.wav", 0);
        g_pWater->SetRepeats(static_cast<DWORD>(-1));
    }
    if (g_pBird) g_pBird->Load("bird.wav", 0);
    g_pBackground = new CQNDXSurface;
    g_pBackground->Load(gm->GetVideoEngine(), "bkgrnd.jpg", 0);
    gm->GetVideoEngine()->SetCursorFlag(false);
}

void CDemoGameState::OnKeyDown(int key) {
    if (key == kKeyEscape) CQNDXGameManager::GetInstance()->Quit(0);
    if (key == kKeyF) Toggle(g_pWater);
    if (key == kKeyG) Toggle(g_pBird);
}

int CDemoGameState::Render() {
    CQNDXVideoEngine* video = CQNDXGameManager::GetInstance()->GetVideoEngine();
    if (g_pBackground && video) g_pBackground->Blit(video->GetBackBuffer(), 0, 0, nullptr, FALSE);
    return 0;
}

void CDemoGameState::Release() {
    delete g_pBackground;
    g_pBackground = nullptr;
    delete g_pWater;
    g_pWater = nullptr;
    delete g_pBird;
    g_pBird = nullptr;
}
