// A small game started by the framework's signal test: it shows a window
// through the normal entry point and runs the main loop until it is told to
// stop. Its first frame logs a warning (written to the file at once), so the
// test knows when the loop is running.
#include "GameManager.h"
#include "GameState.h"
#include "GraphicEngine/VideoEngine.h"
#include "platform/Kernel.h"

namespace {

class WaitingState : public CQNDXGameState {
public:
    int Render() override {
        if (!m_started) GetGameManager()->LogWarning("first frame", 1);
        m_started = true;
        Sleep(2);  // the loop waits for a signal; no need to spin
        return 0;
    }

private:
    bool m_started = false;
};

}  // namespace

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    WaitingState state;
    gm->AddGameState(&state);
    gm->LogInfo("game state added", 1);
    const int display = gm->GetVideoEngine()->CreateWindowed(320, 240, 0);
    gm->LogInfo(display == 0 ? "main loop ended" : "no display", 1);
    return display == 0 ? 0 : 1;
}
