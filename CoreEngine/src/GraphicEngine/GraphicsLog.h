// Logging from the graphics engine: every message goes through the game
// manager at level 1, and nothing happens while there is no game manager.
// Also the game manager's window and mouse as the engine reaches them.
#pragma once

#include "GameManager.h"

class CQNDXMouse;
class CQNDXWindow;

namespace qndx {
namespace gfx {

// The game manager's window, its handle and the input engine's mouse; null
// when a link on the way is missing (VideoEngineHelpers.cpp).
CQNDXWindow* GameWindow();
HWND GameWindowHandle();
CQNDXMouse* GameMouse();

inline void LogInfo(const char* msg) {
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->LogInfo(msg, 1);
}

inline void LogWarning(const char* msg) {
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->LogWarning(msg, 1);
}

inline void LogError(const char* msg) {
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->LogError(msg, 1);
}

}  // namespace gfx
}  // namespace qndx
