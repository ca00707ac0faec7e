// The demonstration's one game state: it draws the background picture every
// frame, starts and stops two sounds with F and G and quits on Esc. Its
// objects are process-wide, made by Initialize and deleted by Release; they
// are declared here so that tests can look at them.
#pragma once

#include "GameState.h"

class CQNDXSurface;
class CQNDXAudioPath;
class CQNDXSound;

namespace ambrixo {

// None at start and again after Release.
extern CQNDXSurface* g_pBackground;
extern CQNDXAudioPath* g_pAudioPath;
extern CQNDXSound* g_pWater;
extern CQNDXSound* g_pBird;

}  // namespace ambrixo

class CDemoGameState : public CQNDXGameState {
public:
    CDemoGameState();
    ~CDemoGameState() override;

    void Initialize() override;
    void OnKeyDown(int key) override;
    int Render() override;
    void Release() override;
};
