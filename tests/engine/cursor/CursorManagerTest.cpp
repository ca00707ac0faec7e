// The cursor manager: following the mouse, drawing while visible, ownership
// of cursors, and its default arrow cursor on a running game manager.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "GameManager.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Tileset.h"
#include "GraphicEngine/VideoEngine.h"
#include "engine/tileset/SheetTestSupport.h"
#include "platform/User.h"
#include "support/ChildProgram.h"
#include "support/TempDir.h"

using namespace sheettest;

namespace {

class CursorManager : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dest = NewSurface(300, 300);
        frames = Keep(new RecordingTileset());
        ASSERT_EQ(0, frames->Create(engine, 32, 32));
        frames->CutGrid(32, 32, -1);
    }
    CQNDXSurface* dest = nullptr;
    RecordingTileset* frames = nullptr;
};

}  // namespace

TEST_F(CursorManager, DrawsTheCursorWhereTheMouseLastMoved) {
    CQNDXCursor cursor(engine, frames);
    CQNDXCursorManager manager(&cursor);
    EXPECT_EQ(1, manager.IsVisible());
    EXPECT_EQ(&cursor, manager.GetCursor());
    EXPECT_EQ(0, manager.OwnsCursor());
    manager.OnMouseMove(120, 45, 3);
    int x = 0, y = 0;
    manager.GetPosition(&x, &y);
    EXPECT_EQ(120, x);
    EXPECT_EQ(45, y);
    ASSERT_EQ(0, manager.Draw(dest));
    ASSERT_EQ(1u, frames->calls.size());
    EXPECT_EQ(120, frames->calls[0].x);
    EXPECT_EQ(45, frames->calls[0].y);
    EXPECT_EQ(dest, frames->calls[0].dest);
}

TEST_F(CursorManager, AHiddenManagerDrawsNothingButStillFollowsTheMouse) {
    CQNDXCursor cursor(engine, frames);
    CQNDXCursorManager manager(&cursor);
    manager.SetVisible(0);
    manager.OnMouseMove(10, 20, 0);
    EXPECT_EQ(-1, manager.Draw(dest));
    EXPECT_TRUE(frames->calls.empty());
    int x, y;
    manager.GetPosition(&x, &y);
    EXPECT_EQ(10, x);
    EXPECT_EQ(20, y);
    manager.SetVisible(1);
    EXPECT_EQ(0, manager.Draw(dest));
    EXPECT_EQ(10, frames->calls.back().x);
    EXPECT_EQ(-1, manager.Draw(nullptr));
}

TEST_F(CursorManager, ACallersCursorOutlivesTheManager) {
    std::unique_ptr<CQNDXCursor> owner(new CQNDXCursor(engine, frames));
    CQNDXCursor* mine = owner.get();
    {
        CQNDXCursorManager manager;  // owns a cursor of its own
        ASSERT_NE(nullptr, manager.GetCursor());
        EXPECT_EQ(1, manager.OwnsCursor());
        EXPECT_EQ(-1, manager.SetCursor(nullptr));
        ASSERT_EQ(0, manager.SetCursor(mine));  // its own cursor is deleted here
        EXPECT_EQ(0, manager.OwnsCursor());
        ASSERT_EQ(0, manager.SetCursor(mine));
        EXPECT_EQ(mine, manager.GetCursor());
    }
    // Still usable: the manager did not delete it.
    EXPECT_EQ(0, mine->Draw(dest, 1, 1));
}

TEST_F(CursorManager, HandingBackItsOwnCursorKeepsIt) {
    CQNDXCursorManager manager;
    CQNDXCursor* own = manager.GetCursor();
    ASSERT_EQ(0, manager.SetCursor(own));
    EXPECT_EQ(own, manager.GetCursor());
    EXPECT_EQ(1, manager.OwnsCursor());
}

TEST_F(CursorManager, WithoutAGameManagerTheDefaultCursorHasNoImageAndDrawingFails) {
    CQNDXCursorManager manager;
    ASSERT_NE(nullptr, manager.GetCursor());
    EXPECT_EQ(nullptr, manager.GetCursor()->GetImage());
    int x = -1, y = -1;
    manager.GetPosition(&x, &y);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(-1, manager.Draw(dest));
}

// ---------------------------------------------------------------------------
// On a running game manager (in a child program, as the manager lives for
// the whole process).

QNDX_CHILD_PROGRAM(CursorManagerInGame, Body) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    ASSERT_NE(nullptr, gm);
    CQNDXVideoEngine* video = gm->GetVideoEngine();
    ASSERT_NE(nullptr, video);
    // The display creation sets the cooperative level before any surface.
    ASSERT_EQ(DD_OK, video->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL));

    CQNDXCursorManager manager;
    EXPECT_EQ(1, manager.IsVisible());
    EXPECT_EQ(1, manager.OwnsCursor());
    CQNDXCursor* cursor = manager.GetCursor();
    ASSERT_NE(nullptr, cursor);
    EXPECT_EQ(video, cursor->GetVideoEngine());
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), cursor->GetHCURSOR());
    ASSERT_NE(nullptr, cursor->GetImage());
    ASSERT_EQ(1, cursor->GetImage()->GetTileCount());
    EXPECT_TRUE(SameRect(RECT{0, 0, 32, 32}, *cursor->GetImage()->GetTile(0)->GetRect()));
    int hx = -1, hy = -1;
    cursor->GetHotSpot(&hx, &hy);
    EXPECT_EQ(0, hx);
    EXPECT_EQ(0, hy);
}

TEST(CursorManagerInGame, TheDefaultManagerOwnsAVisibleArrow) {
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(n, 0);
    const qndx::test::TempDir scratch("qndx-cursor");
    ASSERT_FALSE(scratch.path().empty());
    const std::string program = scratch / "game.exe";
    ASSERT_EQ(0, symlink(self, program.c_str()));

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        qndx::test::SelectChildProgram("CursorManagerInGame", "Body");
        const std::string filter = qndx::test::ChildProgramFilter("CursorManagerInGame", "Body");
        execl(program.c_str(), program.c_str(), filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}
