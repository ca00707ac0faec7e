// The game manager: start-up in its fixed order, the main loop, the window's
// message handler, logging, the processor query, and shutdown through the
// static holder.
#include "GameManager.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "DefaultGameState.h"
#include "Defaults.h"
#include "GameState.h"
#include "GameStateManager.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "LogEngine/FileLog.h"
#include "SoundEngine/SoundEngine.h"
#include "SystemMessager.h"
#include "Time.h"
#include "Util/Window.h"
#include "platform/Kernel.h"

CQNDXGameManager* CQNDXGameManager::ms_pInstance = nullptr;

namespace {

// Constant-initialised, so a manager created during another module's static
// initialisation is still handed over and deleted at exit.
CQNDXGameManagerDestroyer s_Destroyer;

char* CopyRange(const char* begin, const char* end) {
    const size_t n = (size_t)(end - begin);
    char* copy = new char[n + 1];
    std::memcpy(copy, begin, n);
    copy[n] = '\0';
    return copy;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsAbsolutePath(const char* path) {
    if (path[0] == '\\' || path[0] == '/') return true;
    // A drive letter: the host refuses it, but it is not relative either.
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
}

}  // namespace

CQNDXGameManagerDestroyer::~CQNDXGameManagerDestroyer() {
    CQNDXGameManager* object = m_pObject;
    m_pObject = nullptr;
    delete object;
}

// Construction and start-up.

CQNDXGameManager::CQNDXGameManager()
    : m_pWindow(nullptr),
      m_bOwnsWindow(1),
      m_bRunning(0),
      m_bActive(1),
      m_pMessenger(nullptr),
      m_pVideoEngine(nullptr),
      m_pInputEngine(nullptr),
      m_pSoundEngine(nullptr),
      m_pLog(nullptr),
      m_hInstance(GetModuleHandleA(nullptr)),
      m_szAppName(nullptr),
      m_szAppPath(nullptr),
      m_szAppExtension(nullptr),
      m_pGameStateManager(new CQNDXGameStateManager()),
      m_bPauseWhenInactive(1),
      m_bQuitRequested(0),
      m_iFrameLimit(-1),
      m_iCPUFeatures(GetCPUFeatures()) {}

void CQNDXGameManager::__Fail(const char* text, const char* caption) {
    if (ms_pInstance) ms_pInstance->LogFatal(text, 1);
    MessageBoxA(nullptr, text, caption, MB_ICONHAND);
    ExitProcess((UINT)-1);
}

CQNDXGameManager* CQNDXGameManager::__Construct() {
    CQNDXGameManager* gm = new (std::nothrow) CQNDXGameManager();
    if (!gm) {
        __Fail("Could not allocate memory for the application. Try closing some applications and try again.",
               "Memory failure");
    }
    ms_pInstance = gm;
    s_Destroyer.SetObject(gm);
    gm->InitEnvironment();
    gm->InitLog();
    return gm;
}

void CQNDXGameManager::__StartEngines() {
    if (InitInput() < 0)
        __Fail("Could not initialize the input system. Check your DirectX instalation.", "Application failure");
    if (InitVideo() < 0)
        __Fail("Could not initialize the video system. Check your DirectX instalation.", "Application failure");
}

CQNDXGameManager* CQNDXGameManager::Create() { return Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW); }

CQNDXGameManager* CQNDXGameManager::Create(WNDCLASSEXA* windowClass, const char* title, DWORD style) {
    if (ms_pInstance) return ms_pInstance;
    CQNDXGameManager* gm = __Construct();
    const int result = gm->CreateMainWindow(windowClass, title, style);
    if (!gm->m_pWindow || result < 0)
        __Fail("Could not create a window for the application. Try closing some applications and try again.",
               "Application failure");
    gm->__StartEngines();
    return gm;
}

CQNDXGameManager* CQNDXGameManager::Create(CQNDXWindow* window) {
    if (!window) return Create();
    if (ms_pInstance) return ms_pInstance;
    CQNDXGameManager* gm = __Construct();
    gm->SetWindow(window, 0);
    gm->__StartEngines();
    return gm;
}

CQNDXGameManager* CQNDXGameManager::GetInstance() { return ms_pInstance; }

int CQNDXGameManager::IsCreated() { return ms_pInstance ? 1 : 0; }

int CQNDXGameManager::InitEnvironment() {
    m_hInstance = GetModuleHandleA(nullptr);
    ParseCommandLine();
    CreateDirectoryA(g_szConfigDir, nullptr);
    CreateDirectoryA(g_szScreenshotDir, nullptr);
    CreateDirectoryA(g_szGraphicsDir, nullptr);
    CreateDirectoryA(g_szDebugDir, nullptr);
    return 0;
}

int CQNDXGameManager::ParseCommandLine() {
    const char* line = GetCommandLineA();
    if (!line) line = "";

    const char* begin;
    const char* end;
    if (*line == '"') {
        begin = line + 1;
        end = std::strchr(begin, '"');
        if (!end) end = begin + std::strlen(begin);
    } else {
        begin = line;
        end = begin;
        while (*end && !IsBlank(*end)) ++end;
    }

    const char* separator = nullptr;
    for (const char* p = end; p > begin; --p) {
        if (p[-1] == '\\' || p[-1] == '/') {
            separator = p - 1;
            break;
        }
    }
    const char* fileName = separator ? separator + 1 : begin;

    delete[] m_szAppName;
    delete[] m_szAppExtension;
    delete[] m_szAppPath;
    m_szAppName = CopyRange(fileName, end);
    m_szAppExtension = nullptr;
    m_szAppPath = nullptr;
    if (char* dot = std::strchr(m_szAppName, '.')) {
        m_szAppExtension = CopyRange(dot, dot + std::strlen(dot));
        *dot = '\0';
    }

    if (!separator || separator - begin < 1) return 1;

    m_szAppPath = CopyRange(begin, separator);
    if (SetCurrentDirectoryA(m_szAppPath) && !IsAbsolutePath(m_szAppPath)) {
        // A relative program path named the directory from where we were; now
        // that it is current, keep its absolute form so that everything built
        // on the program's directory (log, images, sounds) still finds it.
        char buffer[4096];
        const DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
        if (n > 0 && n < sizeof(buffer)) {
            delete[] m_szAppPath;
            m_szAppPath = CopyRange(buffer, buffer + n);
        }
    }
    return 0;
}

int CQNDXGameManager::InitLog() {
    m_pMessenger = new (std::nothrow) CQNDXSystemMessagerControler(this);
    if (!m_pMessenger) return -1;

    std::string fileName = QNDX_ENGINE_SHORT_NAME "_" QNDX_ENGINE_VERSION "-";
    fileName += m_szAppName ? m_szAppName : "";
    fileName += ".log";

    std::string directory;
    if (m_szAppPath) {
        directory = m_szAppPath;
        directory += "\\";
    }
    directory += g_szDebugDir;

    m_pLog = new CQNDXFileLog(fileName.c_str(), directory.c_str());
    m_pLog->Open();
    m_pMessenger->Register(m_pLog, 1, 1, 1, 1);
    return 0;
}

int CQNDXGameManager::CreateMainWindow(WNDCLASSEXA* windowClass, const char* title, DWORD style) {
    const char* windowTitle = title;
    if (!windowTitle) windowTitle = (m_szAppName && *m_szAppName) ? m_szAppName : g_szDefaultWindowTitle;
    SetWindow(new (std::nothrow) CQNDXWindow(windowClass, windowTitle), 1);
    if (!m_pWindow) {
        LogError("Error creating a new window", 1);
        return -1;
    }
    LogInfo("Creating a new window object... done.", 1);
    if (!m_pWindow->Create(style, nullptr)) return -1;
    m_pWindow->ShowWindow(SW_SHOW);
    m_pWindow->SetMessageHandler(&CQNDXGameManager::WindowProc);
    return 0;
}

void CQNDXGameManager::SetWindow(CQNDXWindow* window, int owns) {
    m_pWindow = window;
    m_bOwnsWindow = owns;
}

int CQNDXGameManager::InitInput() {
    m_pInputEngine = CQNDXInputEngine::Create(this);
    if (!m_pInputEngine) return -1;
    return (int)m_pInputEngine->Init();
}

int CQNDXGameManager::InitVideo() {
    m_pVideoEngine = CQNDXVideoEngine::Create(this);
    return m_pVideoEngine ? 0 : -1;
}

// Shutdown.

CQNDXGameManager::~CQNDXGameManager() {
    delete[] m_szAppName;
    delete[] m_szAppPath;
    delete[] m_szAppExtension;
    m_szAppName = m_szAppPath = m_szAppExtension = nullptr;

    if (m_pVideoEngine) {
        CQNDXVideoEngine::Destroy();
        m_pVideoEngine = nullptr;
    }
    if (m_pMessenger) m_pMessenger->Unregister(m_pLog);
    delete m_pLog;
    m_pLog = nullptr;
    delete m_pMessenger;
    m_pMessenger = nullptr;
    if (m_pInputEngine) {
        CQNDXInputEngine::Destroy();
        m_pInputEngine = nullptr;
    }
    if (m_bOwnsWindow && m_pWindow) delete m_pWindow;
    m_pWindow = nullptr;
    delete m_pGameStateManager;
    m_pGameStateManager = nullptr;

    // Late destructors (static surfaces, a log) must find no manager rather
    // than freed memory; and a manager deleted directly is not deleted again.
    if (ms_pInstance == this) ms_pInstance = nullptr;
    s_Destroyer.Release(this);
}

void CQNDXGameManager::__ForgetEngine(const void* engine) {
    if (!engine) return;
    if (m_pVideoEngine == engine) m_pVideoEngine = nullptr;
    if (m_pInputEngine == engine) m_pInputEngine = nullptr;
    if (m_pSoundEngine == engine) m_pSoundEngine = nullptr;
}

void CQNDXGameManager::Dump(std::ostream& os) const {
    os << "CQNDXGameManager@" << static_cast<const void*>(this);
}

void CQNDXGameManager::__ListenToInput() {
    if (!m_pInputEngine) return;
    if (CQNDXKeyboard* keyboard = m_pInputEngine->GetKeyboard())
        keyboard->AddListener(static_cast<CQNDXKeyboardListener*>(m_pGameStateManager));
    if (CQNDXMouse* mouse = m_pInputEngine->GetMouse())
        mouse->AddListener(static_cast<CQNDXMouseListener*>(m_pGameStateManager));
}

void CQNDXGameManager::__InputDevicesMade(CQNDXInputEngine* engine) {
    // Before the loop starts, the display and the loop register themselves.
    if (!m_bRunning || !engine || engine != m_pInputEngine) return;
    // The display's part first, as at start-up: the cursor on the mouse,
    // which stays where the cursor was.
    CQNDXMouse* mouse = engine->GetMouse();
    CQNDXCursorManager* cursor = m_pVideoEngine ? m_pVideoEngine->GetCursorManager() : nullptr;
    if (mouse && cursor) {
        mouse->SetBounds(0, 0, m_pVideoEngine->GetWidth(), m_pVideoEngine->GetHeight());
        mouse->AddListener(cursor);
        int x = 0, y = 0;
        cursor->GetPosition(&x, &y);
        mouse->SetPosition(x, y, 0);
    }
    __ListenToInput();
}

// The main loop.

void CQNDXGameManager::Run() {
    if (m_bRunning) return;
    m_bRunning = 1;

    __ListenToInput();
    if (m_pGameStateManager) {
        m_pGameStateManager->ForAllStates();
        if (CQNDXGameState* current = m_pGameStateManager->GetCurrentState()) current->OnActivate();
    }

    CQNDXTime timer(1);
    timer.Start();
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }

        if (m_iFrameLimit > 0) {
            const float period = 1.0f / (float)(m_iFrameLimit + 1);
            if (timer.GetElapsed() < period) {
                float remaining = period - timer.GetElapsed();
                if (remaining < 0.0f) remaining = 0.0f;
                // One tenth of the remaining time in milliseconds.
                const DWORD ms = (DWORD)(remaining * 100.0f);
                if (ms != 0) Sleep(ms);
                continue;
            }
        }

        timer.Lap();
        if (m_bActive || !m_bPauseWhenInactive) {
            if (m_pInputEngine) m_pInputEngine->Update();
            if (m_pGameStateManager) m_pGameStateManager->Frame();
            if (!m_bQuitRequested && m_pVideoEngine) m_pVideoEngine->Flip();
        } else {
            Sleep(100);
        }
    }

    if (m_pGameStateManager) m_pGameStateManager->RemoveFirstState();
}

void CQNDXGameManager::Quit(int) {
    PostQuitMessage(0);
    m_bQuitRequested = 1;
}

// Game states.

int CQNDXGameManager::AddGameState(CQNDXGameState* state) {
    return m_pGameStateManager ? m_pGameStateManager->AddState(state) : -1;
}

void CQNDXGameManager::RemoveFirstGameState() {
    if (m_pGameStateManager) m_pGameStateManager->RemoveFirstState();
}

CQNDXGameState* CQNDXGameManager::SetGameState(int index) {
    return m_pGameStateManager ? m_pGameStateManager->SetCurrentState(index) : nullptr;
}

CQNDXGameState* CQNDXGameManager::SetGameState(CQNDXGameState* state) {
    return m_pGameStateManager ? m_pGameStateManager->SetCurrentState(state) : nullptr;
}

// Logging.

void CQNDXGameManager::Log(const char* msg, int type, int level) {
    if (msg && m_pMessenger) m_pMessenger->Post(msg, type, level);
}
void CQNDXGameManager::LogInfo(const char* msg, int level) {
    if (msg && m_pMessenger) m_pMessenger->PostInfo(msg, level);
}
void CQNDXGameManager::LogWarning(const char* msg, int level) {
    if (msg && m_pMessenger) m_pMessenger->PostWarning(msg, level);
}
void CQNDXGameManager::LogError(const char* msg, int level) {
    if (msg && m_pMessenger) m_pMessenger->PostError(msg, level);
}
void CQNDXGameManager::LogFatal(const char* msg, int level) {
    if (msg && m_pMessenger) m_pMessenger->PostFatal(msg, level);
}

// Sound engine and processor.

CQNDXSoundEngine* CQNDXGameManager::GetSoundEngine(int pchannels) {
    if (m_pSoundEngine) return m_pSoundEngine;
    m_pSoundEngine = CQNDXSoundEngine::Create(this);
    if (m_pSoundEngine) {
        const int result = m_pSoundEngine->Init((DWORD)pchannels);
        if (result < 0) {
            // The engine object stays; the next request tries Init again.
            m_pSoundEngine = nullptr;
            char text[96];
            std::snprintf(text, sizeof text, "The sound system could not be initialized (0x%08X)", (unsigned)result);
            LogError(text, 1);
        }
    }
    // Never destroyed here: the sound engine cleans itself up at exit.
    return m_pSoundEngine;
}

int CQNDXGameManager::GetCPUFeatures() {
    if (!QndxCpuidSupported()) return 0;
    int result = 0;
    int regs[4] = {0, 0, 0, 0};
    QndxCpuid(1, regs);
    const DWORD edx1 = (DWORD)regs[3];
    if (edx1 & (1u << 23)) result |= QNDX_CPU_MMX;
    if (edx1 & (1u << 25)) result |= QNDX_CPU_SSE;
    QndxCpuid((int)0x80000000u, regs);
    // The extended feature leaf exists only when the maximum extended leaf
    // reaches it; below that the processor answers with unrelated data.
    if ((DWORD)regs[0] >= 0x80000001u) {
        QndxCpuid((int)0x80000001u, regs);
        if ((DWORD)regs[3] & 0x80000000u) result |= QNDX_CPU_3DNOW;
    }
    return result;
}

// The window's message handler.

int CALLBACK CQNDXGameManager::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            RECT client;
            GetClientRect(hwnd, &client);
            ValidateRect(hwnd, &client);
            return 0;
        }
        case WM_ACTIVATE:
            if (ms_pInstance) ms_pInstance->m_bActive = (LOWORD(wParam) != 0 && HIWORD(wParam) == 0) ? 1 : 0;
            break;
        default:
            break;
    }
    CQNDXGameManager* gm = ms_pInstance;
    const int r = (gm && gm->m_pGameStateManager) ? gm->m_pGameStateManager->MsgProc(gm, hwnd, msg, wParam, lParam) : 1;
    // Not handled: the window's class procedure runs the platform's default
    // procedure once, with its own result.
    return r == 0 ? 0 : 1;
}
