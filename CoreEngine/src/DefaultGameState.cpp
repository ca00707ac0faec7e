// The built-in stand-in state: Esc quits, and every frame it asks for a real
// state on the back buffer.
#include "DefaultGameState.h"

#include "GameManager.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"

namespace {
const char kMessage[] = "You must implement a new CQNDXGameState";
const int kEscape = 1;
}  // namespace

CQNDXDefaultGameState::CQNDXDefaultGameState() { SetKeyboardEvents(1); }

CQNDXDefaultGameState::~CQNDXDefaultGameState() {}

void CQNDXDefaultGameState::OnKeyDown(int key) {
    if (key != kEscape) return;
    if (CQNDXGameManager* gm = GetGameManager()) gm->Quit(0);
}

int CQNDXDefaultGameState::Render() {
    // Nothing to draw on until a display exists.
    CQNDXVideoEngine* video = GetVideoEngine();
    CQNDXSurface* back = video ? video->GetBackBuffer() : nullptr;
    if (!back) return 0;
    back->Clear(0);
    back->DrawText(280, 220, kMessage, -1);
    return 0;
}
