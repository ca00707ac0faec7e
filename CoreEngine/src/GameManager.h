// The one engine object of the process. Its first Create brings the engine up
// in a fixed order (directories, messenger and file log, window, input engine,
// video engine), it owns those objects and the game-state manager, runs the
// main loop, receives the window's messages, carries the log operations every
// subsystem uses, and is deleted by a static holder at process exit.
#pragma once

#include <ostream>

#include "platform/Types.h"
#include "platform/User.h"

class CQNDXWindow;
class CQNDXSystemMessagerControler;
class CQNDXVideoEngine;
class CQNDXInputEngine;
class CQNDXSoundEngine;
class CQNDXFileLog;
class CQNDXGameStateManager;
class CQNDXGameState;

// Processor features reported by GetCPUFeatures.
enum {
    QNDX_CPU_MMX = 1,
    QNDX_CPU_3DNOW = 2,
    QNDX_CPU_SSE = 4,
};

class CQNDXGameManager {
public:
    // Start-up with the default window (default class, the program's name as
    // title, WS_OVERLAPPEDWINDOW). A second call returns the same object and
    // repeats nothing. Fatal start-up failures show a message box and end the
    // process with -1 (status 255). A game calls this first, in WinMain: it
    // makes the program's folder the current directory, makes cfg, sshots,
    // graphics and debug there and opens the log debug/QNDX_0.57-NAME.log.
    // The manager owns its window, engines and log; the game never deletes it.
    static CQNDXGameManager* Create();
    static CQNDXGameManager* Create(WNDCLASSEXA* windowClass, const char* title, DWORD style);
    // Adopts a window the caller made (not owned, keeps its own handler);
    // none behaves as Create().
    static CQNDXGameManager* Create(CQNDXWindow* window);
    // The singleton or none (also none once it has been deleted); never creates.
    static CQNDXGameManager* GetInstance();
    static int IsCreated();

    virtual ~CQNDXGameManager();
    virtual void Dump(std::ostream& os) const;

    // The main loop; returns when WM_QUIT is taken. The video engine's
    // CreateWindowed and CreateFullScreen call it once the display exists, so
    // a game does not: a second call returns at once.
    void Run();
    // Posts the quit message and stops presenting; the argument has no effect.
    // Frames already under way still run until the message is taken, so a
    // game that quits from Render checks IsQuitRequested first.
    void Quit(int code);
    // On (1, the default): no frames while the window is inactive.
    void SetPauseWhenInactive(int pause) { m_bPauseWhenInactive = pause; }
    int GetPauseWhenInactive() const { return m_bPauseWhenInactive; }

    // Adds a state to the table and answers its index (0 for the first, which
    // is the current state), or -1 for null. The game keeps ownership: the
    // state must outlive the main loop (a local in WinMain is fine).
    int AddGameState(CQNDXGameState* state);
    // Calls the first state's Release and takes it out of the table.
    void RemoveFirstGameState();
    // Makes a state current: the old one gets OnDeactivate, the new one
    // OnActivate (while the loop runs). By index: the new state, or null for
    // the current index or one outside the table. By pointer: the state, or
    // null when it is not in the table.
    CQNDXGameState* SetGameState(int index);
    CQNDXGameState* SetGameState(CQNDXGameState* state);

    // A line in the log file: message types 1 INFO, 2 WARNING, 4 ERROR,
    // 8 FATAL; the engine logs at level 1. INFO lines are buffered, the others
    // written at once with everything before them. Nothing happens for a null
    // message or before the messenger.
    void Log(const char* msg, int type, int level);
    void LogInfo(const char* msg, int level);
    void LogWarning(const char* msg, int level);
    void LogError(const char* msg, int level);
    void LogFatal(const char* msg, int level);

    CQNDXWindow* GetWindow() const { return m_pWindow; }
    HINSTANCE GetInstanceHandle() const { return m_hInstance; }
    // Program file name up to its first '.'.
    const char* GetAppName() const { return m_szAppName; }
    // Program directory without a trailing separator; none when the command
    // line names no directory.
    const char* GetAppPath() const { return m_szAppPath; }
    // Program file name from its first '.' on, or none.
    const char* GetAppExtension() const { return m_szAppExtension; }
    CQNDXSystemMessagerControler* GetMessenger() const { return m_pMessenger; }
    CQNDXVideoEngine* GetVideoEngine() const { return m_pVideoEngine; }
    CQNDXInputEngine* GetInputEngine() const { return m_pInputEngine; }
    CQNDXGameStateManager* GetGameStateManager() const { return m_pGameStateManager; }
    CQNDXFileLog* GetLog() const { return m_pLog; }
    int GetFrameLimit() const { return m_iFrameLimit; }
    int IsRunning() const { return m_bRunning; }
    int IsActive() const { return m_bActive; }
    int IsQuitRequested() const { return m_bQuitRequested; }

    // The field only; never creates.
    CQNDXSoundEngine* GetSoundEngine() const { return m_pSoundEngine; }
    // Creates and initialises the sound engine on first request (and again
    // after it was destroyed); pchannels is the number of MIDI performance
    // channels (64 is plenty). Null, with an ERROR line in the log, when sound
    // cannot start. Without a sound card sound still starts and plays on a
    // silent output that keeps time. The engine owns it; never delete it.
    CQNDXSoundEngine* GetSoundEngine(int pchannels);

    // Bit set of QNDX_CPU_MMX, QNDX_CPU_3DNOW, QNDX_CPU_SSE.
    int GetCPUFeatures();
    // The same bit set as read once when the manager was made: the overlay
    // prints it every frame, and the processor query is slow where a
    // hypervisor traps it.
    int GetCachedCPUFeatures() const { return m_iCPUFeatures; }

    // The window's message handler (a CQNDXMessageHandler).
    static int CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    friend class CQNDXGameManagerDestroyer;
    // The engines tell the manager when one of them is made or destroyed
    // outside its own start-up and shutdown, so it never hands out (or runs
    // the loop on) an engine that no longer exists.
    friend class CQNDXVideoEngine;
    friend class CQNDXInputEngine;
    friend class CQNDXSoundEngine;
    void __AdoptVideoEngine(CQNDXVideoEngine* engine) { m_pVideoEngine = engine; }
    void __AdoptInputEngine(CQNDXInputEngine* engine) { m_pInputEngine = engine; }
    // Clears whichever engine field holds `engine`.
    void __ForgetEngine(const void* engine);
    // An input engine made its devices. One that replaces the first while
    // the loop runs gets the listeners the loop and the display gave that.
    void __InputDevicesMade(CQNDXInputEngine* engine);
    // The game-state manager on the keyboard and the mouse.
    void __ListenToInput();

    CQNDXGameManager();
    CQNDXGameManager(const CQNDXGameManager&) = delete;
    CQNDXGameManager& operator=(const CQNDXGameManager&) = delete;

    // Steps 1 to 3 of start-up shared by the three Create forms.
    static CQNDXGameManager* __Construct();
    static void __Fail(const char* text, const char* caption);
    void __StartEngines();

    int InitEnvironment();
    int ParseCommandLine();
    int InitLog();
    int CreateMainWindow(WNDCLASSEXA* windowClass, const char* title, DWORD style);
    void SetWindow(CQNDXWindow* window, int owns);
    int InitInput();
    int InitVideo();

    CQNDXWindow* m_pWindow;
    int m_bOwnsWindow;
    int m_bRunning;
    int m_bActive;
    CQNDXSystemMessagerControler* m_pMessenger;
    CQNDXVideoEngine* m_pVideoEngine;
    CQNDXInputEngine* m_pInputEngine;
    CQNDXSoundEngine* m_pSoundEngine;
    CQNDXFileLog* m_pLog;
    HINSTANCE m_hInstance;
    char* m_szAppName;
    char* m_szAppPath;
    char* m_szAppExtension;
    CQNDXGameStateManager* m_pGameStateManager;
    int m_bPauseWhenInactive;
    int m_bQuitRequested;
    int m_iFrameLimit;
    int m_iCPUFeatures;

    static CQNDXGameManager* ms_pInstance;
};

// Deletes the game manager at process exit: one static object of this class
// holds it.
class CQNDXGameManagerDestroyer {
public:
    constexpr CQNDXGameManagerDestroyer() : m_pObject(nullptr) {}
    virtual ~CQNDXGameManagerDestroyer();
    void SetObject(CQNDXGameManager* object) { m_pObject = object; }
    // Lets go of the object when it is the one held (it is being deleted
    // elsewhere).
    void Release(CQNDXGameManager* object) {
        if (m_pObject == object) m_pObject = nullptr;
    }

private:
    CQNDXGameManager* m_pObject;
};
