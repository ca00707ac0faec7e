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

// Fails the child (exit code 1) with the message on stderr.
#define QNDX_CHILD_REQUIRE(cond)                                         \
    do {                                                                 \
        if (!(cond)) {                                                   \
            std::fprintf(stderr, "failed in child: %s\n", #cond);        \
            std::_Exit(1);                                               \
        }                                                                \
    } while (0)

// A directory the child works in (the manager makes its folders there); the
// parent removes it afterwards.
class ScratchDirectory {
public:
    ScratchDirectory() {
        m_path = qndx::test::MakeTempDir("qndx-gfx");
    }
    ~ScratchDirectory() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    void Enter() const {
        QNDX_CHILD_REQUIRE(!m_path.empty() && chdir(m_path.c_str()) == 0);
        qndx::sim::SetCommandLine("game.exe");  // no directory: the current one stays
    }

private:
    std::string m_path;
};

TEST(WithGameManager, StartUpCreatesTheVideoEngineAndItLogsThroughTheManager) {
    ScratchDirectory dir;
    EXPECT_EXIT(
        {
            dir.Enter();
            CQNDXGameManager* gm = CQNDXGameManager::Create();
            QNDX_CHILD_REQUIRE(gm != nullptr);
            CQNDXVideoEngine* ve = gm->GetVideoEngine();
            QNDX_CHILD_REQUIRE(ve != nullptr);
            QNDX_CHILD_REQUIRE(ve == CQNDXVideoEngine::GetInstance());
            QNDX_CHILD_REQUIRE(CQNDXVideoEngine::Create(gm) == ve);
            QNDX_CHILD_REQUIRE(ve->GetDirectDraw() != nullptr);
            QNDX_CHILD_REQUIRE(ve->GetModeCount(false) > 0);

            CaptureLog log;
            gm->GetMessenger()->Register(&log, 1, 1, 1, 1);
            QNDX_CHILD_REQUIRE(ve->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK);
            {
                CQNDXLRUCache cache(ve);
                cache.PrintPrioList();
                QNDX_CHILD_REQUIRE(log.Has("1 START: CQNDXLRUCache::PrintPrioList - ListNumElement: 0"));
                QNDX_CHILD_REQUIRE(log.Has("1 List Head is NULL"));
                QNDX_CHILD_REQUIRE(log.Has("1 List Tail is NULL"));
                QNDX_CHILD_REQUIRE(log.Has("1 END: CQNDXLRUCache::PrintPrioList"));

                std::vector<CQNDXSurface*> s;
                for (int i = 0; i < 8; ++i) {
                    s.push_back(new CQNDXSurface());
                    QNDX_CHILD_REQUIRE(s.back()->Create(ve, 4, 4) == 0);
                }
                QNDX_CHILD_REQUIRE(cache.Cache(s[5]) == 0);
                QNDX_CHILD_REQUIRE(cache.Cache(s[7]) == 0);
                log.lines.clear();
                cache.PrintPrioList();
                QNDX_CHILD_REQUIRE(log.lines.size() == 4);
                QNDX_CHILD_REQUIRE(log.lines[0] == "1 START: CQNDXLRUCache::PrintPrioList - ListNumElement: 2");
                QNDX_CHILD_REQUIRE(log.lines[1] == "1 7 5 ");
                QNDX_CHILD_REQUIRE(log.lines[2] == "1 5 7 ");
                QNDX_CHILD_REQUIRE(log.lines[3] == "1 END: CQNDXLRUCache::PrintPrioList");
                cache.Clear();
                for (CQNDXSurface* p : s) delete p;
            }

            log.lines.clear();
            CQNDXVideoEngine::Destroy();
            QNDX_CHILD_REQUIRE(log.Has("1 START: CQNDXVideoEngine::~CQNDXVideoEngine"));
            QNDX_CHILD_REQUIRE(log.Has("1 END: CQNDXVideoEngine::~CQNDXVideoEngine"));
            QNDX_CHILD_REQUIRE(CQNDXVideoEngine::Exists() == 0);
            gm->GetMessenger()->Unregister(&log);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(WithGameManager, EngineRefusesToStartWithoutDirectDraw) {
    ScratchDirectory dir;
    EXPECT_EXIT(
        {
            dir.Enter();
            qndx::sim::FailNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWSUPPORT);
            CQNDXGameManager::Create();  // the manager reports it and ends the process
            std::exit(0);
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace qndx_test
