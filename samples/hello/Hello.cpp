// A first game: a square crosses a 640 x 480 window and the game ends when
// it reaches the far side, or on Esc. A chime plays on the way when
// sounds/chime.wav is there beside the program.
#include "GameManager.h"
#include "GameState.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "SoundEngine/AudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/SoundEngine.h"
#include "platform/Kernel.h"  // WinMain, which the engine's main() calls

namespace {

const int kKeyEscape = 0x01;  // keys are keyboard scan codes
const int kSize = 80;

class HelloState : public CQNDXGameState {
public:
    HelloState() { SetKeyboardEvents(1); }  // no key events unless asked for

    // Once, when the main loop starts; the display exists by then.
    void Initialize() override {
        // A sound plays only on an audio path, and the game makes that path.
        CQNDXSoundEngine* sounds = GetGameManager()->GetSoundEngine(64);
        CQNDXAudioPath* path = sounds ? sounds->CreateAudioPath(64) : nullptr;
        if (!path) return;
        m_chime = new CQNDXSound(sounds);
        if (m_chime->Load("chime.wav", 0) == 0 && m_chime->PlaySecondary(path, 0) >= 0)
            GetGameManager()->LogInfo("hello: the chime plays", 1);
    }

    void OnKeyDown(int key) override {
        if (key == kKeyEscape) GetGameManager()->Quit(0);
    }

    // Once a frame; the engine shows the back buffer afterwards.
    int Render() override {
        CQNDXVideoEngine* video = GetVideoEngine();
        CQNDXSurface* back = video->GetBackBuffer();
        back->Clear(video->ColorToNative(RGB(0, 0, 64), false));
        back->FillRect(m_x, 200, m_x + kSize, 200 + kSize, video->ColorToNative(RGB(255, 200, 0), false));
        if (m_x + kSize < video->GetWidth()) {
            m_x += 4;
        } else if (!GetGameManager()->IsQuitRequested()) {
            // Frames go on until the quit message is taken: quit only once.
            GetGameManager()->LogInfo("hello: the square reached the far side", 1);
            GetGameManager()->Quit(0);
        }
        return 0;
    }

    // When the main loop has ended.
    void Release() override {
        delete m_chime;
        m_chime = nullptr;
    }

private:
    CQNDXSound* m_chime = nullptr;
    int m_x = 0;
};

}  // namespace

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CQNDXGameManager* game = CQNDXGameManager::Create();  // log, window, input, video
    HelloState state;
    game->AddGameState(&state);
    // Makes the display, then runs the main loop: it returns when the game has
    // ended, and a non-zero result means the loop never ran.
    const int result = game->GetVideoEngine()->CreateWindowed(640, 480, 0);
    return result == 0 ? 0 : 1;
}
