// The demonstration: an 800 x 600 window over a background picture; F starts
// and stops running water, G a bird, Esc quits. The game state lives in
// DemoGameState.cpp.
#include "DemoGameState.h"
#include "GameManager.h"
#include "GraphicEngine/VideoEngine.h"
#include "platform/Kernel.h"

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    CDemoGameState state;
    gm->AddGameState(&state);
    gm->GetVideoEngine()->CreateWindowed(800, 600, 0);
    return 0;
}
