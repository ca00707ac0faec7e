// The built-in state that stands in while the application has added none:
// it asks the programmer for a real state on screen and quits on Esc.
#pragma once

#include "GameState.h"

class CQNDXDefaultGameState : public CQNDXGameState {
public:
    CQNDXDefaultGameState();
    void OnKeyDown(int key) override;
    ~CQNDXDefaultGameState() override;
    int Render() override;
};
