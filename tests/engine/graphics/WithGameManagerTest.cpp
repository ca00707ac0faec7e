// The video engine inside a whole engine: the game manager's start-up brings
// it up, and its log lines go through the manager. The manager is a process
// singleton, so each scenario runs in a forked child in a scratch directory.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "GameManager.h"
#include "GraphicsTestSupport.h"
#include "LogEngine/Log.h"
#include "SystemMessager.h"
#include "platform/sim/Kernel.h"
#include "support/ChildProgram.h"
#include "support/TempDir.h"

namespace qndx_test {
namespace {

class CaptureLog : public CQNDXLog {
public:
    int OnMessage(const char* msg, int type, int level) override {
        lines.push_back(std::to_string(type) + " " + msg);
        return 0;
    }
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::vector<std::string> lines;
};

// The manager makes its folders in the working directory; the program is
// named without one.
void EnterGameFolder(const qndx::test::TempDir& dir) {
    QNDX_CHILD_CHECK(dir.Enter());
    qndx::sim::SetCommandLine("game.exe");
}

TEST(WithGameManager, StartUpCreatesTheVideoEngineAndItLogsThroughTheManager) {
    qndx::test::TempDir dir("qndx-gfx");
    QNDX_IN_CHILD({
        EnterGameFolder(dir);
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(gm != nullptr);
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        QNDX_CHILD_CHECK(ve != nullptr);
        QNDX_CHILD_CHECK(ve == CQNDXVideoEngine::GetInstance());
        QNDX_CHILD_CHECK(CQNDXVideoEngine::Create(gm) == ve);
        QNDX_CHILD_CHECK(ve->GetDirectDraw() != nullptr);
        QNDX_CHILD_CHECK(ve->GetModeCount(false) > 0);

        CaptureLog log;
        gm->GetMessenger()->Register(&log, 1, 1, 1, 1);
        QNDX_CHILD_CHECK(ve->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK);
        {
            CQNDXLRUCache cache(ve);
            cache.PrintPrioList();
            QNDX_CHILD_CHECK(log.Has("1 START: CQNDXLRUCache::PrintPrioList - ListNumElement: 0"));
            QNDX_CHILD_CHECK(log.Has("1 List Head is NULL"));
            QNDX_CHILD_CHECK(log.Has("1 List Tail is NULL"));
            QNDX_CHILD_CHECK(log.Has("1 END: CQNDXLRUCache::PrintPrioList"));

            std::vector<CQNDXSurface*> s;
            for (int i = 0; i < 8; ++i) {
                s.push_back(new CQNDXSurface());
                QNDX_CHILD_CHECK(s.back()->Create(ve, 4, 4) == 0);
            }
            QNDX_CHILD_CHECK(cache.Cache(s[5]) == 0);
            QNDX_CHILD_CHECK(cache.Cache(s[7]) == 0);
            log.lines.clear();
            cache.PrintPrioList();
            QNDX_CHILD_CHECK(log.lines.size() == 4);
            QNDX_CHILD_CHECK(log.lines[0] == "1 START: CQNDXLRUCache::PrintPrioList - ListNumElement: 2");
            QNDX_CHILD_CHECK(log.lines[1] == "1 7 5 ");
            QNDX_CHILD_CHECK(log.lines[2] == "1 5 7 ");
            QNDX_CHILD_CHECK(log.lines[3] == "1 END: CQNDXLRUCache::PrintPrioList");
            cache.Clear();
            for (CQNDXSurface* p : s) delete p;
        }

        log.lines.clear();
        CQNDXVideoEngine::Destroy();
        QNDX_CHILD_CHECK(log.Has("1 START: CQNDXVideoEngine::~CQNDXVideoEngine"));
        QNDX_CHILD_CHECK(log.Has("1 END: CQNDXVideoEngine::~CQNDXVideoEngine"));
        QNDX_CHILD_CHECK(CQNDXVideoEngine::Exists() == 0);
        gm->GetMessenger()->Unregister(&log);
    });
}

TEST(WithGameManager, EngineRefusesToStartWithoutDirectDraw) {
    qndx::test::TempDir dir("qndx-gfx");
    EXPECT_EXIT(
        {
            EnterGameFolder(dir);
            qndx::sim::FailNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWSUPPORT);
            CQNDXGameManager::Create();  // the manager reports it and ends the process
            std::exit(0);
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace qndx_test
