// End to end: this test program is started again as a game installed in a
// scratch directory (its path reached through a link named game.exe); that
// run creates the manager, adds a state, runs the loop for some frames under
// the dummy driver and quits. Its log must be complete, in debug/ beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "FrameworkTestUtil.h"
#include "GameManager.h"
#include "GameState.h"

using qndx_test::CountOf;
using qndx_test::ReadAll;
using qndx_test::ScratchDir;

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

// The game itself. Started only by the test below (disabled in normal runs).
TEST(FrameworkProgramBody, DISABLED_RunsTheGame) {
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
    ScratchDir dir;
    const std::string gameDir = dir / "Game Dir";
    ASSERT_EQ(mkdir(gameDir.c_str(), 0755), 0);
    const std::string program = gameDir + "/game.exe";
    ASSERT_EQ(symlink(self, program.c_str()), 0);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Started from elsewhere: the program must find its own directory.
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        execl(program.c_str(), program.c_str(), "--gtest_filter=FrameworkProgramBody.DISABLED_RunsTheGame",
              "--gtest_also_run_disabled_tests", (char*)nullptr);
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

}  // namespace
