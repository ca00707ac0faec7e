// Logging from the graphics engine: every message goes through the game
// manager at level 1, and nothing happens while there is no game manager.
#pragma once

#include "GameManager.h"

namespace qndx {
namespace gfx {

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
