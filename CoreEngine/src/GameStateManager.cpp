// The table of game states, the target rule and event forwarding.
#include "GameStateManager.h"

#include "DefaultGameState.h"
#include "GameManager.h"
#include "GameState.h"

CQNDXGameStateManager* CQNDXGameStateManager::ms_pFirstLive = nullptr;

CQNDXGameStateManager::CQNDXGameStateManager()
    : m_pDefaultState(nullptr), m_iCurrent(0), m_pNextLive(ms_pFirstLive) {
    ms_pFirstLive = this;
    m_pDefaultState = new CQNDXDefaultGameState();
}

CQNDXGameStateManager::~CQNDXGameStateManager() {
    delete m_pDefaultState;
    m_pDefaultState = nullptr;
    // Entries are live states: dead ones have left the table themselves.
    RemoveFirstState();
    m_States.clear();
    m_States.shrink_to_fit();
    for (CQNDXGameStateManager** link = &ms_pFirstLive; *link; link = &(*link)->m_pNextLive) {
        if (*link == this) {
            *link = m_pNextLive;
            break;
        }
    }
}

void CQNDXGameStateManager::ForgetState(CQNDXGameState* state) {
    for (CQNDXGameStateManager* m = ms_pFirstLive; m; m = m->m_pNextLive) m->__Forget(state);
}

void CQNDXGameStateManager::__Forget(CQNDXGameState* state) {
    // Keeps the same state current when entries before it go: count them
    // against the index as it was, not as it shrinks.
    const int current = m_iCurrent;
    int removedBefore = 0;
    int i = 0;
    for (auto it = m_States.begin(); it != m_States.end(); ++i) {
        if (*it == state) {
            if (i < current) ++removedBefore;
            it = m_States.erase(it);
        } else {
            ++it;
        }
    }
    m_iCurrent = current - removedBefore;
}

int CQNDXGameStateManager::AddState(CQNDXGameState* state) {
    if (!state) return -1;
    m_States.push_back(state);
    return (int)m_States.size() - 1;
}

void CQNDXGameStateManager::RemoveFirstState() {
    if (m_States.empty()) return;
    CQNDXGameState* first = m_States.front();
    first->Release();
    // Release may have deleted the state, which takes it out of the table.
    if (!m_States.empty() && m_States.front() == first) m_States.erase(m_States.begin());
}

CQNDXGameState* CQNDXGameStateManager::GetCurrentState() const {
    // After RemoveFirstState the index may name no entry; the default state
    // stands in then.
    if (m_iCurrent < 0 || m_iCurrent >= (int)m_States.size()) return m_pDefaultState;
    return m_States[m_iCurrent];
}

CQNDXGameState* CQNDXGameStateManager::__SwitchTo(int index) {
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    const bool running = gm && gm->IsRunning();
    if (running && m_iCurrent >= 0 && m_iCurrent < (int)m_States.size()) m_States[m_iCurrent]->OnDeactivate();
    m_iCurrent = index;
    // OnDeactivate may have changed the table.
    if (m_iCurrent >= (int)m_States.size()) return nullptr;
    CQNDXGameState* state = m_States[m_iCurrent];
    if (running) state->OnActivate();
    return state;
}

CQNDXGameState* CQNDXGameStateManager::SetCurrentState(int index) {
    if (index == m_iCurrent || index < 0 || index >= (int)m_States.size()) return nullptr;
    return __SwitchTo(index);
}

CQNDXGameState* CQNDXGameStateManager::SetCurrentState(CQNDXGameState* state) {
    for (int i = 0; i < (int)m_States.size(); ++i) {
        if (m_States[i] != state) continue;
        if (i == m_iCurrent) return state;
        __SwitchTo(i);
        return state;
    }
    return nullptr;
}

void CQNDXGameStateManager::Frame() { GetCurrentState()->Render(); }

void CQNDXGameStateManager::ForAllStates() {
    m_pDefaultState->Initialize();
    for (size_t i = 0; i < m_States.size(); ++i) m_States[i]->Initialize();
}

int CQNDXGameStateManager::MsgProc(CQNDXGameManager*, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CQNDXGameState* target = GetCurrentState();
    if (!target->GetWindowMessages()) return 1;
    return target->OnWindowMessage(hwnd, msg, wParam, lParam);
}

// Keyboard events.
void CQNDXGameStateManager::OnKeyDown(int key) {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetKeyboardEvents()) s->OnKeyDown(key);
}
void CQNDXGameStateManager::OnKeyUp(int key) {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetKeyboardEvents()) s->OnKeyUp(key);
}
void CQNDXGameStateManager::OnKeyboardReacquired() {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetKeyboardEvents()) s->OnKeyboardReacquired();
}

// Mouse events.
void CQNDXGameStateManager::OnMouseMove(int x, int y, int z) {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetMouseEvents()) s->OnMouseMove(x, y, z);
}
void CQNDXGameStateManager::OnMouseRawMove(int x, int y, int z) {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetMouseEvents()) s->OnMouseRawMove(x, y, z);
}
void CQNDXGameStateManager::OnMouseButtonDown(int button) {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetMouseEvents()) s->OnMouseButtonDown(button);
}
void CQNDXGameStateManager::OnMouseButtonUp(int button) {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetMouseEvents()) s->OnMouseButtonUp(button);
}
void CQNDXGameStateManager::OnMouseReacquired() {
    CQNDXGameState* s = GetCurrentState();
    if (s->GetMouseEvents()) s->OnMouseReacquired();
}

// Joystick events.
namespace {
template <typename... Params, typename... Args>
void ForwardJoystick(CQNDXGameState* target, void (CQNDXJoystickListener::*event)(Params...), Args... args) {
    if (target->GetJoystickEvents()) (target->*event)(args...);
}
}  // namespace

void CQNDXGameStateManager::OnJoystickAxes(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickAxes, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickRotation(CQNDXJoystick* j, LONG rx, LONG ry, LONG rz) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickRotation, j, rx, ry, rz);
}
void CQNDXGameStateManager::OnJoystickSliders(CQNDXJoystick* j, const LONG sliders[2]) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickSliders, j, sliders);
}
void CQNDXGameStateManager::OnJoystickPOV(CQNDXJoystick* j, const DWORD pov[4]) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickPOV, j, pov);
}
void CQNDXGameStateManager::OnJoystickButtonUp(CQNDXJoystick* j, int button) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickButtonUp, j, button);
}
void CQNDXGameStateManager::OnJoystickButtonDown(CQNDXJoystick* j, int button) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickButtonDown, j, button);
}
void CQNDXGameStateManager::OnJoystickVelocity(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickVelocity, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickAngularVelocity(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickAngularVelocity, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickVelocitySliders(CQNDXJoystick* j, const LONG sliders[2]) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickVelocitySliders, j, sliders);
}
void CQNDXGameStateManager::OnJoystickAcceleration(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickAcceleration, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickAngularAcceleration(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickAngularAcceleration, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickAccelerationSliders(CQNDXJoystick* j, const LONG sliders[2]) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickAccelerationSliders, j, sliders);
}
void CQNDXGameStateManager::OnJoystickForce(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickForce, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickTorque(CQNDXJoystick* j, LONG x, LONG y, LONG z) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickTorque, j, x, y, z);
}
void CQNDXGameStateManager::OnJoystickForceSliders(CQNDXJoystick* j, const LONG sliders[2]) {
    ForwardJoystick(GetCurrentState(), &CQNDXJoystickListener::OnJoystickForceSliders, j, sliders);
}

void CQNDXGameStateManager::OnJoystickAcquired(CQNDXJoystick*) {}
