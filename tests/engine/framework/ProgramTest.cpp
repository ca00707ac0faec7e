// End to end: this test program is started again as a game installed in a
// scratch directory (its path reached through a link named game.exe); that
// run creates the manager, adds a state, runs the loop for some frames under
// the dummy driver and quits. Its log must be complete, in debug/ beside it.
// A small game with the normal entry point is stopped by each termination
// signal and must end the same way.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "FrameworkTestUtil.h"
#include "GameManager.h"
#include "GameState.h"
#include "support/ChildProgram.h"

using qndx_test::CountOf;
using qndx_test::ReadAll;
using qndx::test::TempDir;

namespace {

const int kFrames = 12;

class CountingState : public CQNDXGameState {
public:
    void Initialize() override { ++initialised; }
    int Render() override {
        if (++frames == kFrames) GetGameManager()->Quit(0);
        return 0;
    }
    int initialised = 0;
    int frames = 0;
};

// The game itself, run only as the program the test below starts.
QNDX_CHILD_PROGRAM(FrameworkProgramBody, RunsTheGame) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    ASSERT_NE(gm, nullptr);
    CountingState state;
    ASSERT_EQ(gm->AddGameState(&state), 0);
    gm->LogInfo("game state added", 1);
    gm->Run();
    EXPECT_EQ(state.initialised, 1);
    EXPECT_EQ(state.frames, kFrames);
    gm->LogInfo("main loop ended", 1);
}

TEST(FrameworkProgram, WritesACompleteLogIntoDebugBesideTheProgram) {
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(n, 0);
    TempDir dir;
    const std::string gameDir = dir / "Game Dir";
    ASSERT_EQ(mkdir(gameDir.c_str(), 0755), 0);
    const std::string program = gameDir + "/game.exe";
    ASSERT_EQ(symlink(self, program.c_str()), 0);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Started from elsewhere: the program must find its own directory.
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        qndx::test::SelectChildProgram("FrameworkProgramBody", "RunsTheGame");
        const std::string filter = qndx::test::ChildProgramFilter("FrameworkProgramBody", "RunsTheGame");
        execl(program.c_str(), program.c_str(), filter.c_str(), (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    for (const char* sub : {"cfg", "sshots", "graphics", "debug"})
        EXPECT_TRUE(qndx_test::DirExists(gameDir + "/" + sub)) << sub;
    const std::string text = ReadAll(gameDir + "/debug/QNDX_0.57-game.log");
    const std::string dashes(80, '-');
    EXPECT_EQ(text.rfind("\n" + dashes + "\nQuendrix Version 0.57  Build 1\nLog Start at ", 0), 0u) << text;
    EXPECT_EQ(CountOf(text, "INFO[1]: Creating a new window object... done.\n"), 1) << text;
    EXPECT_EQ(CountOf(text, "INFO[1]: START: CQNDXVideoEngine::__InitVideoEngine\n"), 1) << text;
    EXPECT_EQ(CountOf(text, "INFO[1]: END: CQNDXVideoEngine::__InitVideoEngine\n"), 1) << text;
    EXPECT_LT(text.find("INFO[1]: game state added\n"), text.find("INFO[1]: main loop ended\n"));
    const std::string footer = "\n" + dashes + "\nLog Ends.\n" + dashes + "\n";
    ASSERT_GE(text.size(), footer.size());
    EXPECT_EQ(text.substr(text.size() - footer.size()), footer);
    EXPECT_EQ(CountOf(text, "Log Start at "), 1);
    EXPECT_EQ(CountOf(text, "Log Ends."), 1);
}

// Waits up to `seconds` for the child to end; false (child still running) otherwise.
bool WaitForExit(pid_t pid, int* status, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 || std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST(FrameworkProgram, TerminationSignalsCloseTheGameAndItsLogIsComplete) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        TempDir dir;
        const std::string program = dir / "game.exe";
        ASSERT_EQ(symlink(QNDX_STOP_SIGNAL_GAME, program.c_str()), 0);
        const std::string logPath = dir / "debug/QNDX_0.57-game.log";

        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Whatever this test inherited, the game starts with the defaults.
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            signal(sig, SIG_DFL);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            if (chdir(dir.path().c_str()) != 0) _exit(126);
            execl(program.c_str(), program.c_str(), (char*)nullptr);
            _exit(127);
        }
        // The first frame's warning is written at once: the loop runs.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        bool exited = false;
        while (CountOf(ReadAll(logPath), "WARNING[1]: first frame\n") == 0 && !exited &&
               std::chrono::steady_clock::now() < until) {
            exited = waitpid(pid, &status, WNOHANG) == pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(exited) << "the game ended before it was signalled:\n" << ReadAll(logPath);
        const std::string running = ReadAll(logPath);
        EXPECT_EQ(CountOf(running, "WARNING[1]: first frame\n"), 1) << running;
        EXPECT_EQ(CountOf(running, "Log Ends."), 0) << running;

        ASSERT_EQ(kill(pid, sig), 0);
        if (!WaitForExit(pid, &status, 60)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "the game did not end after the signal";
        }
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);

        const std::string text = ReadAll(logPath);
        const std::string dashes(80, '-');
        EXPECT_EQ(text.rfind("\n" + dashes + "\nQuendrix Version 0.57  Build 1\nLog Start at ", 0), 0u) << text;
        const size_t started = text.find("INFO[1]: Creating a new window object... done.\n");
        const size_t added = text.find("INFO[1]: game state added\n");
        const size_t ended = text.find("INFO[1]: main loop ended\n");
        EXPECT_LT(started, added) << text;
        EXPECT_LT(added, text.find("WARNING[1]: first frame\n")) << text;
        EXPECT_NE(ended, std::string::npos) << text;
        const std::string footer = "\n" + dashes + "\nLog Ends.\n" + dashes + "\n";
        ASSERT_GE(text.size(), footer.size());
        EXPECT_EQ(text.substr(text.size() - footer.size()), footer);
        EXPECT_EQ(CountOf(text, "Log Ends."), 1);
    }
}

}  // namespace
