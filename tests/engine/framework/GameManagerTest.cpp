// Game manager. The manager is a process singleton deleted at exit, so each
// scenario runs in a forked child that checks its own results and exits;
// what the child wrote (the log) is read back by the parent.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "FrameworkTestUtil.h"
#include "GameManager.h"
#include "GameState.h"
#include "GameStateManager.h"
#include "GraphicEngine/VideoEngine.h"
#include "LogEngine/FileLog.h"
#include "SystemMessager.h"
#include "Util/Window.h"
#include "platform/Kernel.h"
#include "platform/User.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Window.h"

using qndx_test::CountOf;
using qndx_test::CurrentDir;
using qndx_test::DirExists;
using qndx_test::FileExists;
using qndx_test::ReadAll;
using qndx::test::TempDir;

namespace {

// Takes whatever is waiting (creation and showing may leave messages) so a
// test starts the loop on an empty queue.
void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Records lifecycle calls, frames and the user messages it is sent.
class LoopState : public CQNDXGameState {
public:
    explicit LoopState(std::vector<std::string>* calls, const char* tag = "") : m_calls(calls), m_tag(tag) {
        SetWindowMessages(1);
    }
    void Initialize() override { Note("Initialize"); }
    void OnActivate() override { Note("OnActivate"); }
    void OnDeactivate() override { Note("OnDeactivate"); }
    void Release() override { Note("Release"); }
    int Render() override {
        ++frames;
        Note("F" + std::to_string(frames));
        if (onFrame) onFrame(frames);
        return 0;
    }
    int OnWindowMessage(HWND, UINT msg, WPARAM, LPARAM) override {
        if (msg >= WM_USER && msg < WM_USER + 100) Note("M" + std::to_string(msg - WM_USER));
        return windowResult;
    }
    int frames = 0;
    int windowResult = 1;
    std::function<void(int)> onFrame;

private:
    void Note(const std::string& s) { m_calls->push_back(m_tag + s); }
    std::vector<std::string>* m_calls;
    std::string m_tag;
};

std::string Join(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += x + " ";
    return s;
}

class GameManagerTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ProgramLine(const std::string& sub = "") const {
        return "\"" + dir.path() + sub + "/game.exe\" -windowed";
    }
};

// ---------------------------------------------------------------------------
// Command line, directories and the log's place.

TEST_F(GameManagerTest, QuotedPathWithBlankAndOption) {
    QNDX_IN_CHILD({
        QNDX_CHILD_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetCommandLine("\"C:\\Games\\My Game\\run.me.exe\" -opt");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(gm != nullptr);
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppName(), "run");
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppExtension(), ".me.exe");
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppPath(), "C:\\Games\\My Game");
        // The drive-letter directory does not exist here: the current
        // directory stays, and the directories are made in it.
        QNDX_CHILD_CHECK(CurrentDir() == dir.path());
        QNDX_CHILD_CHECK(DirExists(dir / "cfg"));
        QNDX_CHILD_CHECK(DirExists(dir / "sshots"));
        QNDX_CHILD_CHECK(DirExists(dir / "graphics"));
        QNDX_CHILD_CHECK(DirExists(dir / "debug"));
        QNDX_CHILD_CHECK_EQ_STR(gm->GetLog()->GetFileName(), "QNDX_0.57-run.log");
        QNDX_CHILD_CHECK_EQ_STR(gm->GetLog()->GetDirectory(), "C:\\Games\\My Game\\.\\debug\\");
        QNDX_CHILD_CHECK(gm->GetInstanceHandle() == GetModuleHandleA(nullptr));
    });
}

TEST_F(GameManagerTest, BareProgramNameKeepsTheCurrentDirectoryAndLogsInItsDebug) {
    QNDX_IN_CHILD({
        QNDX_CHILD_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetCommandLine("game.exe");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppName(), "game");
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppExtension(), ".exe");
        QNDX_CHILD_CHECK(gm->GetAppPath() == nullptr);
        QNDX_CHILD_CHECK(CurrentDir() == dir.path());
        QNDX_CHILD_CHECK_EQ_STR(gm->GetLog()->GetDirectory(), ".\\debug\\");
        QNDX_CHILD_CHECK(FileExists(dir / "debug/QNDX_0.57-game.log"));
        // The window takes the program's name as its title.
        char title[64] = {};
        GetWindowTextA(gm->GetWindow()->GetHWND(), title, sizeof(title));
        QNDX_CHILD_CHECK_EQ_STR(title, "game");
    });
    EXPECT_EQ(CountOf(ReadAll(dir / "debug/QNDX_0.57-game.log"), "Log Ends."), 1);
}

TEST_F(GameManagerTest, NameIsCutAtTheFirstDot) {
    QNDX_IN_CHILD({
        QNDX_CHILD_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetCommandLine("my.game.exe -x \"y z\"");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppName(), "my");
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppExtension(), ".game.exe");
        QNDX_CHILD_CHECK(gm->GetAppPath() == nullptr);
        QNDX_CHILD_CHECK_EQ_STR(gm->GetLog()->GetFileName(), "QNDX_0.57-my.log");
    });
    QNDX_IN_CHILD({
        QNDX_CHILD_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetCommandLine("noext");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppName(), "noext");
        QNDX_CHILD_CHECK(gm->GetAppExtension() == nullptr);
    });
}

TEST_F(GameManagerTest, AbsoluteProgramPathBecomesCurrentAndHoldsTheLog) {
    ASSERT_EQ(mkdir((dir / "My Dir").c_str(), 0755), 0);
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(("\"" + dir.path() + "/My Dir/game.exe\" -windowed").c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppPath(), dir / "My Dir");
        QNDX_CHILD_CHECK(CurrentDir() == dir / "My Dir");
        // The stored form of the directory is kept for absolute paths.
        QNDX_CHILD_CHECK_EQ_STR(gm->GetLog()->GetDirectory(), dir / "My Dir\\.\\debug\\");
    });
    EXPECT_TRUE(DirExists(dir / "My Dir/cfg"));
    EXPECT_TRUE(DirExists(dir / "My Dir/sshots"));
    EXPECT_TRUE(DirExists(dir / "My Dir/graphics"));
    EXPECT_FALSE(DirExists(dir / "My Dir/sounds"));
    EXPECT_TRUE(FileExists(dir / "My Dir/debug/QNDX_0.57-game.log"));
}

TEST_F(GameManagerTest, RelativeProgramPathStillLogsInTheProgramsDebugDirectory) {
    ASSERT_EQ(mkdir((dir / "bin").c_str(), 0755), 0);
    QNDX_IN_CHILD({
        QNDX_CHILD_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetCommandLine("bin\\game.exe");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(CurrentDir() == dir / "bin");
        QNDX_CHILD_CHECK_EQ_STR(gm->GetAppPath(), dir / "bin");
    });
    EXPECT_TRUE(FileExists(dir / "bin/debug/QNDX_0.57-game.log"));
    EXPECT_FALSE(DirExists(dir / "bin/bin"));
    EXPECT_FALSE(DirExists(dir / "debug"));
}

// ---------------------------------------------------------------------------
// Start-up, the log, shutdown.

TEST_F(GameManagerTest, LogHasHeaderWindowLineAndFooterAfterExit) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        gm->LogWarning("a warning", 1);
        gm->Log("custom", 8, 3);
        gm->LogInfo(nullptr, 1);  // nothing
        gm->Log("untyped", 16, 1);
        QNDX_CHILD_CHECK(gm->GetMessenger()->GetCount() == 1);
    });
    const std::string text = ReadAll(dir / "debug/QNDX_0.57-game.log");
    const std::string dashes(80, '-');
    EXPECT_TRUE(std::regex_search(text, std::regex("^\n" + dashes + "\nQuendrix Version 0\\.57  Build 1\nLog Start at "
                                                   "[0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2} [0-9]{1,2}/[0-9]{1,2}/[0-9]{4}\n" +
                                                   dashes + "\n")))
        << text;
    EXPECT_EQ(CountOf(text, "INFO[1]: Creating a new window object... done.\n"), 1);
    EXPECT_EQ(CountOf(text, "WARNING[1]: a warning\n"), 1);
    EXPECT_EQ(CountOf(text, "FATAL[3]: custom\n"), 1);
    EXPECT_EQ(CountOf(text, "untyped"), 0);
    EXPECT_EQ(CountOf(text, "NULL MESSAGE"), 0);
    const std::string footer = "\n" + dashes + "\nLog Ends.\n" + dashes + "\n";
    ASSERT_GE(text.size(), footer.size());
    EXPECT_EQ(text.substr(text.size() - footer.size()), footer);
    EXPECT_EQ(CountOf(text, "Log Ends."), 1);
}

TEST_F(GameManagerTest, SecondCreateReturnsTheFirstAndRepeatsNothing) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        QNDX_CHILD_CHECK(CQNDXGameManager::IsCreated() == 0);
        QNDX_CHILD_CHECK(CQNDXGameManager::GetInstance() == nullptr);
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(CQNDXGameManager::IsCreated() == 1);
        const int windows = qndx::sim::WindowCount();
        CQNDXWindow* window = gm->GetWindow();
        QNDX_CHILD_CHECK(CQNDXGameManager::Create() == gm);
        QNDX_CHILD_CHECK(CQNDXGameManager::Create(nullptr, "other", WS_POPUP) == gm);
        QNDX_CHILD_CHECK(CQNDXGameManager::Create((CQNDXWindow*)nullptr) == gm);
        QNDX_CHILD_CHECK(qndx::sim::WindowCount() == windows);
        QNDX_CHILD_CHECK(gm->GetWindow() == window);
        QNDX_CHILD_CHECK(gm->GetMessenger()->GetCount() == 1);
    });
    const std::string text = ReadAll(dir / "debug/QNDX_0.57-game.log");
    EXPECT_EQ(CountOf(text, "Log Start at"), 1);
    EXPECT_EQ(CountOf(text, "Creating a new window object"), 1);
}

TEST_F(GameManagerTest, FieldsAfterStartUp) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(gm->IsRunning() == 0);
        QNDX_CHILD_CHECK(gm->IsActive() == 1);
        QNDX_CHILD_CHECK(gm->GetPauseWhenInactive() == 1);
        QNDX_CHILD_CHECK(gm->IsQuitRequested() == 0);
        QNDX_CHILD_CHECK(gm->GetFrameLimit() == -1);
        QNDX_CHILD_CHECK(gm->GetVideoEngine() != nullptr);
        QNDX_CHILD_CHECK(gm->GetInputEngine() != nullptr);
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == nullptr);
        CQNDXWindow* w = gm->GetWindow();
        QNDX_CHILD_CHECK(w != nullptr);
        QNDX_CHILD_CHECK(w->IsCreated());
        QNDX_CHILD_CHECK(w->IsVisible());
        QNDX_CHILD_CHECK(w->GetStyle() == (DWORD)WS_OVERLAPPEDWINDOW);
        QNDX_CHILD_CHECK(w->GetMessageHandler() == &CQNDXGameManager::WindowProc);
        RECT r;
        w->GetWindowRect(&r);
        QNDX_CHILD_CHECK(r.right - r.left == GetSystemMetrics(SM_CXSCREEN));
        std::ostringstream os;
        gm->Dump(os);
        QNDX_CHILD_CHECK(os.str().rfind("CQNDXGameManager@", 0) == 0);
    });
}

TEST_F(GameManagerTest, CallerWindowClassTitleAndStyle) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        WNDCLASSEXA wc = {};
        wc.cbSize = 48;
        wc.lpfnWndProc = &DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "GameClass";
        CQNDXGameManager* gm = CQNDXGameManager::Create(&wc, "My Title", WS_POPUP);
        CQNDXWindow* w = gm->GetWindow();
        QNDX_CHILD_CHECK(w->IsCreated());
        QNDX_CHILD_CHECK(w->GetStyle() == (DWORD)WS_POPUP);
        QNDX_CHILD_CHECK_EQ_STR(w->GetTitle(), "My Title");
        QNDX_CHILD_CHECK(w->GetMessageHandler() == &CQNDXGameManager::WindowProc);
    });
}

TEST_F(GameManagerTest, AdoptedWindowIsNeitherTakenOverNorDeleted) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXWindow* own = new CQNDXWindow("mine");
        RECT r = {0, 0, 200, 100};
        QNDX_CHILD_CHECK(own->Create(WS_OVERLAPPEDWINDOW, &r) == 1);
        // Input devices want a window of their own that is up front.
        own->Show(1);
        SetForegroundWindow(own->GetHWND());
        {
            CQNDXGameManagerDestroyer holder;
            CQNDXGameManager* gm = CQNDXGameManager::Create(own);
            holder.SetObject(gm);
            QNDX_CHILD_CHECK(gm->GetWindow() == own);
            QNDX_CHILD_CHECK(own->GetMessageHandler() == &CQNDXWindow::DefaultMessageHandler);
            QNDX_CHILD_CHECK(own->GetStyle() == (DWORD)WS_OVERLAPPEDWINDOW);
        }
        // The holder deleted the manager; the adopted window lives on.
        QNDX_CHILD_CHECK(CQNDXGameManager::GetInstance() == nullptr);
        QNDX_CHILD_CHECK(IsWindow(own->GetHWND()));
        delete own;
    });
}

TEST_F(GameManagerTest, DeletedManagerIsGoneForLateCallersAndNotDeletedTwice) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        {
            CQNDXGameManagerDestroyer holder;
            holder.SetObject(CQNDXGameManager::Create());
        }
        QNDX_CHILD_CHECK(CQNDXGameManager::GetInstance() == nullptr);
        QNDX_CHILD_CHECK(CQNDXGameManager::IsCreated() == 0);
        QNDX_CHILD_CHECK(qndx::sim::WindowCount() == 0);
        // A log outliving the manager shuts down on its own.
        CQNDXFileLog late("late.log", dir.path().c_str());
        QNDX_CHILD_CHECK(late.Open() == 0);
        // Exit runs the static holder, which must not delete the manager again.
    });
    const std::string text = ReadAll(dir / "debug/QNDX_0.57-game.log");
    EXPECT_EQ(CountOf(text, "Log Ends."), 1);
}

TEST_F(GameManagerTest, StatesTheApplicationDeletedAreNotCalledAtShutdown) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        auto* a = new LoopState(&calls, "a.");
        auto* b = new LoopState(&calls, "b.");
        gm->AddGameState(a);
        gm->AddGameState(b);
        delete a;
        delete b;
        QNDX_CHILD_CHECK(gm->GetGameStateManager()->GetStateCount() == 0);
        QNDX_CHILD_CHECK(gm->GetGameStateManager()->GetCurrentState() ==
                         (CQNDXGameState*)gm->GetGameStateManager()->GetDefaultState());
        // Exit deletes the manager, which must not reach a or b.
    });
}

TEST_F(GameManagerTest, StartUpFailuresShowTheirBoxAndExitWithMinusOne) {
    qndx::sim::SetCommandLine(ProgramLine().c_str());
    EXPECT_EXIT(
        {
            qndx::sim::FailNext("CreateWindowExA", 1, E_FAIL);
            CQNDXGameManager::Create();
        },
        ::testing::ExitedWithCode(255), "Could not create a window for the application. Try closing some "
                                        "applications and try again.");
    EXPECT_EXIT(
        {
            qndx::sim::FailNext("DirectInput8Create", 1, E_FAIL);
            CQNDXGameManager::Create();
        },
        ::testing::ExitedWithCode(255), "Could not initialize the input system. Check your DirectX instalation.");
    EXPECT_EXIT(
        {
            qndx::sim::FailNext("DirectDrawCreateEx", 1, E_FAIL);
            CQNDXGameManager::Create();
        },
        ::testing::ExitedWithCode(255), "Could not initialize the video system. Check your DirectX instalation.");
    // The log records why the program stopped.
    const std::string log = ReadAll(dir / "debug/QNDX_0.57-game.log");
    EXPECT_EQ(CountOf(log, "FATAL[1]: Could not initialize the input system."), 1);
}

// ---------------------------------------------------------------------------
// Window messages.

TEST_F(GameManagerTest, WindowProcActivationDestroyPaintAndStateResults) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        HWND hwnd = gm->GetWindow()->GetHWND();
        DrainQueue();

        CQNDXGameManager::WindowProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
        QNDX_CHILD_CHECK(gm->IsActive() == 0);
        CQNDXGameManager::WindowProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 0), 0);
        QNDX_CHILD_CHECK(gm->IsActive() == 1);
        // Activated but minimised counts as inactive.
        CQNDXGameManager::WindowProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);
        QNDX_CHILD_CHECK(gm->IsActive() == 0);
        SendMessageA(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
        QNDX_CHILD_CHECK(gm->IsActive() == 1);

        // Through the window layer's own events as well.
        QNDX_CHILD_CHECK(qndx::sim::InjectMinimise(hwnd, true));
        qndx::sim::PumpWindowEvents();
        DrainQueue();
        QNDX_CHILD_CHECK(gm->IsActive() == 0);
        QNDX_CHILD_CHECK(qndx::sim::InjectMinimise(hwnd, false));
        qndx::sim::PumpWindowEvents();
        DrainQueue();
        QNDX_CHILD_CHECK(gm->IsActive() == 1);

        // Without window messages switched on, the state is not asked.
        std::vector<std::string> calls;
        LoopState s(&calls);
        s.SetWindowMessages(0);
        gm->AddGameState(&s);
        QNDX_CHILD_CHECK(CQNDXGameManager::WindowProc(hwnd, WM_USER + 1, 0, 0) == 1);
        s.SetWindowMessages(1);
        s.windowResult = 0;
        QNDX_CHILD_CHECK(CQNDXGameManager::WindowProc(hwnd, WM_USER + 2, 0, 0) == 0);
        QNDX_CHILD_CHECK(SendMessageA(hwnd, WM_USER + 3, 0, 0) == 0);
        QNDX_CHILD_CHECK(Join(calls) == "M2 M3 ");

        // A state that handles WM_CLOSE keeps the window; one that leaves it
        // lets the default procedure destroy it, which posts the quit message.
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        QNDX_CHILD_CHECK(IsWindow(hwnd));
        QNDX_CHILD_CHECK(CQNDXGameManager::WindowProc(hwnd, WM_PAINT, 0, 0) == 0);
        s.windowResult = 1;
        DrainQueue();
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        QNDX_CHILD_CHECK(!IsWindow(hwnd));
        MSG msg;
        bool quit = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) quit = true;
        QNDX_CHILD_CHECK(quit);
    });
}

// ---------------------------------------------------------------------------
// The main loop.

TEST_F(GameManagerTest, LoopTakesOneMessagePerPassAndEndsOnQuit) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState s(&calls);
        gm->AddGameState(&s);
        DrainQueue();
        HWND hwnd = gm->GetWindow()->GetHWND();
        for (int i = 0; i < 4; ++i) PostMessageA(hwnd, WM_USER + i, 0, 0);
        s.onFrame = [gm](int frame) {
            if (frame == 7) gm->Quit(123);
        };
        gm->Run();
        QNDX_CHILD_CHECK(gm->IsRunning() == 1);
        QNDX_CHILD_CHECK(gm->IsQuitRequested() == 1);
        QNDX_CHILD_CHECK_EQ_STR(Join(calls).c_str(),
                                "Initialize OnActivate M0 F1 M1 F2 M2 F3 M3 F4 F5 F6 F7 Release ");
        // The first state left the table after the loop.
        QNDX_CHILD_CHECK(gm->GetGameStateManager()->GetStateCount() == 0);
        // A second Run returns at once.
        calls.clear();
        gm->Run();
        QNDX_CHILD_CHECK(calls.empty());
    });
}

TEST_F(GameManagerTest, QuitMessageTakenEndsThePassBeforeItsFrame) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState s(&calls);
        gm->AddGameState(&s);
        DrainQueue();
        PostQuitMessage(0);
        gm->Run();
        QNDX_CHILD_CHECK_EQ_STR(Join(calls).c_str(), "Initialize OnActivate Release ");
        QNDX_CHILD_CHECK(gm->IsQuitRequested() == 0);
    });
}

TEST_F(GameManagerTest, FramesGoOnAfterQuitUntilTheQuitMessageIsTaken) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState s(&calls);
        gm->AddGameState(&s);
        DrainQueue();
        HWND hwnd = gm->GetWindow()->GetHWND();
        s.onFrame = [&](int frame) {
            if (frame == 2) {
                // Three messages ahead of the quit message: three more frames.
                for (int i = 0; i < 3; ++i) PostMessageA(hwnd, WM_USER + i, 0, 0);
                gm->Quit(0);
            }
        };
        gm->Run();
        QNDX_CHILD_CHECK_EQ_STR(Join(calls).c_str(), "Initialize OnActivate F1 F2 M0 F3 M1 F4 M2 F5 Release ");
    });
}

TEST_F(GameManagerTest, QuitStopsPresentingAtOnceWhileFramesGoOn) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState s(&calls);
        gm->AddGameState(&s);
        HWND hwnd = gm->GetWindow()->GetHWND();
        int flipsAtQuit = -1;
        s.onFrame = [&](int frame) {
            if (frame == 3) {
                for (int i = 0; i < 3; ++i) PostMessageA(hwnd, WM_USER + i, 0, 0);
                flipsAtQuit = qndx::sim::JournalCount("IDirectDrawSurface7::Flip");
                gm->Quit(0);
            }
        };
        qndx::sim::EnableJournal(true);
        // The display creation runs the loop and returns when it ends.
        QNDX_CHILD_CHECK(gm->GetVideoEngine()->CreateFullScreen(640, 480, 16, 0, 0) == 0);
        // The two frames before the quit frame were presented, none after.
        QNDX_CHILD_CHECK(flipsAtQuit == 2);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectDrawSurface7::Flip") == 2);
        QNDX_CHILD_CHECK(s.frames >= 6);
    });
}

TEST_F(GameManagerTest, InactiveWindowPausesWithHundredMillisecondSleeps) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState s(&calls);
        gm->AddGameState(&s);
        DrainQueue();
        HWND hwnd = gm->GetWindow()->GetHWND();
        CQNDXGameManager::WindowProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
        qndx::sim::EnableFakeClock(true);
        qndx::sim::ClearSleepRecord();
        for (int i = 0; i < 3; ++i) PostMessageA(hwnd, WM_USER + i, 0, 0);
        PostQuitMessage(0);
        gm->Run();
        // Messages are still taken one per pass; no frame runs.
        QNDX_CHILD_CHECK_EQ_STR(Join(calls).c_str(), "Initialize OnActivate M0 M1 M2 Release ");
        QNDX_CHILD_CHECK(qndx::sim::SleepCount() == 3);
        QNDX_CHILD_CHECK(qndx::sim::TotalSleptMs() == 300);
        QNDX_CHILD_CHECK(qndx::sim::FakeTimeUs() == 300000);
    });
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState s(&calls);
        gm->AddGameState(&s);
        gm->SetPauseWhenInactive(0);
        DrainQueue();
        HWND hwnd = gm->GetWindow()->GetHWND();
        CQNDXGameManager::WindowProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
        qndx::sim::EnableFakeClock(true);
        qndx::sim::ClearSleepRecord();
        for (int i = 0; i < 2; ++i) PostMessageA(hwnd, WM_USER + i, 0, 0);
        PostQuitMessage(0);
        gm->Run();
        QNDX_CHILD_CHECK_EQ_STR(Join(calls).c_str(), "Initialize OnActivate M0 F1 M1 F2 Release ");
        QNDX_CHILD_CHECK(qndx::sim::SleepCount() == 0);
    });
}

TEST_F(GameManagerTest, SwitchingStatesWhileRunningDeactivatesAndActivates) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        std::vector<std::string> calls;
        LoopState a(&calls, "a."), b(&calls, "b.");
        QNDX_CHILD_CHECK(gm->AddGameState(&a) == 0);
        QNDX_CHILD_CHECK(gm->AddGameState(&b) == 1);
        // Before the loop, switching calls neither side.
        QNDX_CHILD_CHECK(gm->SetGameState(1) == &b);
        QNDX_CHILD_CHECK(gm->SetGameState(&a) == &a);
        QNDX_CHILD_CHECK(gm->SetGameState(5) == nullptr);
        DrainQueue();
        a.onFrame = [gm, &b](int frame) {
            if (frame == 1) QNDX_CHILD_CHECK(gm->SetGameState(&b) == &b);
        };
        b.onFrame = [gm](int frame) {
            if (frame == 2) gm->Quit(0);
        };
        calls.clear();
        gm->Run();
        QNDX_CHILD_CHECK_EQ_STR(Join(calls).c_str(),
                                "a.Initialize b.Initialize a.OnActivate a.F1 a.OnDeactivate b.OnActivate b.F1 b.F2 "
                                "a.Release ");
        // b is now the first entry but the index (1) names none: the default
        // state is the target, and nothing outside the table is read.
        QNDX_CHILD_CHECK(gm->GetGameStateManager()->GetCurrentState() ==
                         (CQNDXGameState*)gm->GetGameStateManager()->GetDefaultState());
        gm->RemoveFirstGameState();
        QNDX_CHILD_CHECK(Join(calls).find("b.Release") != std::string::npos);
    });
}

TEST_F(GameManagerTest, EscapeReachesTheDefaultStateAndQuits) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        DrainQueue();
        CQNDXGameStateManager* states = gm->GetGameStateManager();
        states->OnKeyDown(0x21);
        QNDX_CHILD_CHECK(gm->IsQuitRequested() == 0);
        states->OnMouseButtonDown(0);
        states->OnKeyDown(1);
        QNDX_CHILD_CHECK(gm->IsQuitRequested() == 1);
        gm->Run();  // ends on the posted quit message
        QNDX_CHILD_CHECK(gm->IsRunning() == 1);
    });
}

// ---------------------------------------------------------------------------
// Sound engine and processor.

TEST_F(GameManagerTest, SoundEngineIsMadeOnceAndAFailedStartIsTriedAgain) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        // Reading the field never creates one.
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == nullptr);
        qndx::sim::FailNext("IDirectMusicPerformance8::InitAudio", 1, E_FAIL);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == nullptr);
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == nullptr);
        // The next request tries again, and its engine is kept from then on.
        CQNDXSoundEngine* sound = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(sound != nullptr);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == sound);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(8) == sound);
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == sound);
    });
}

TEST_F(GameManagerTest, ProcessorFeatures) {
    QNDX_IN_CHILD({
        qndx::sim::SetCommandLine(ProgramLine().c_str());
        const int mmx = 1 << 23, sse = 1 << 25;
        const int amd3dnow = (int)0x80000000u;
        // The copy the overlay prints each frame is read once, at start.
        qndx::sim::SetCpuidLeaf(1, 0, 0, 0, mmx);
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(gm->GetCachedCPUFeatures() == 1);

        qndx::sim::InjectCpu(true);
        qndx::sim::SetCpuidLeaf(1, 0, 0, 0, mmx | sse);
        QNDX_CHILD_CHECK(gm->GetCPUFeatures() == 5);

        // A maximum extended leaf below 0x80000001 means the feature leaf is
        // not there, whatever it would answer.
        qndx::sim::SetCpuidLeaf((int)0x80000000u, (int)0x80000000u, 0, 0, 0);
        qndx::sim::SetCpuidLeaf((int)0x80000001u, 0, 0, 0, amd3dnow);
        QNDX_CHILD_CHECK(gm->GetCPUFeatures() == 5);

        qndx::sim::SetCpuidLeaf((int)0x80000000u, (int)0x80000008u, 0, 0, 0);
        QNDX_CHILD_CHECK(gm->GetCPUFeatures() == 7);
        qndx::sim::SetCpuidLeaf(1, 0, 0, 0, sse);
        QNDX_CHILD_CHECK(gm->GetCPUFeatures() == 6);

        qndx::sim::InjectCpu(false);
        QNDX_CHILD_CHECK(gm->GetCPUFeatures() == 0);
        QNDX_CHILD_CHECK(gm->GetCachedCPUFeatures() == 1);
    });
}

}  // namespace
