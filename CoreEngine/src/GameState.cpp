// Game-state base: flags and the shortcuts to the game manager's engines.
#include "GameState.h"

#include "GameManager.h"
#include "GameStateManager.h"

CQNDXGameState::CQNDXGameState()
    : m_bMouseEvents(0), m_bKeyboardEvents(0), m_bWindowMessages(0), m_bJoystickEvents(0) {}

CQNDXGameState::~CQNDXGameState() {
    // The application owns its states and may delete them before the engine
    // shuts down; no table may keep a pointer to a dead state.
    CQNDXGameStateManager::ForgetState(this);
}

CQNDXGameManager* CQNDXGameState::GetGameManager() const { return CQNDXGameManager::GetInstance(); }

CQNDXVideoEngine* CQNDXGameState::GetVideoEngine() const {
    CQNDXGameManager* gm = GetGameManager();
    return gm ? gm->GetVideoEngine() : nullptr;
}

CQNDXInputEngine* CQNDXGameState::GetInputEngine() const {
    CQNDXGameManager* gm = GetGameManager();
    return gm ? gm->GetInputEngine() : nullptr;
}

CQNDXSoundEngine* CQNDXGameState::GetSoundEngine() const {
    CQNDXGameManager* gm = GetGameManager();
    return gm ? gm->GetSoundEngine() : nullptr;
}
