// Stock cursors and icons, the pointer's display count, message boxes (always
// on standard error and in the record, never blocking here), and the
// rectangle helpers.
#include <gtest/gtest.h>

#include "platform/Kernel.h"
#include "platform/User.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Window.h"
#include "user/Icons.h"

namespace qp = qndx::platform;

namespace {

TEST(StockImages, SameHandleEachTimeAndDistinctPerKind) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), arrow);
    HICON app = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(app, nullptr);
    EXPECT_NE(static_cast<void*>(app), static_cast<void*>(arrow));  // same number, other kind

    const qp::StockImage* info = qp::LookupStockImage(arrow);
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->cursor);
    EXPECT_EQ(info->id, 32512);
    EXPECT_EQ(info->width, GetSystemMetrics(SM_CXCURSOR));
    EXPECT_FALSE(qp::LookupStockImage(app)->cursor);
    EXPECT_EQ(qp::LookupStockImage(&info), nullptr);
}

TEST(StockImages, UnknownNamesAndModuleResourcesGiveNull) {
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadIconA(nullptr, "APPICON"), nullptr);
    HINSTANCE module = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
    EXPECT_EQ(LoadCursorA(module, IDC_ARROW), nullptr);
}

TEST(Pointer, SetCursorAndShowCursorKeepTheirState) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_EQ(GetCursor(), arrow);  // the start cursor
    HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
    EXPECT_EQ(SetCursor(cross), arrow);
    EXPECT_EQ(SetCursor(nullptr), cross);
    EXPECT_EQ(qndx::sim::CurrentCursor(), nullptr);

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(ShowCursor(TRUE), 1);
    EXPECT_EQ(qndx::sim::CursorDisplayCount(), 1);
    qndx::sim::Reset();
    EXPECT_EQ(qndx::sim::CursorDisplayCount(), 0);
    EXPECT_EQ(GetCursor(), arrow);
}

TEST(Pointer, PositionStaysOnTheDesktop) {
    POINT p{-1, -1};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 512);
    EXPECT_EQ(p.y, 384);
    SetCursorPos(100, 50);
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 50);
    SetCursorPos(-20, 5000);
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 767);
    EXPECT_FALSE(GetCursorPos(nullptr));
}

TEST(MessageBoxes, AreWrittenToStderrRecordedAndAnsweredWithoutBlocking) {
    ::testing::internal::CaptureStderr();
    int answer = MessageBoxA(nullptr, "Could not create a window for the application.", "Application failure",
                             MB_ICONHAND);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDOK);
    EXPECT_NE(err.find("Application failure"), std::string::npos);
    EXPECT_NE(err.find("Could not create a window for the application."), std::string::npos);

    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    EXPECT_EQ(MessageBoxA(nullptr, "Continue?", "Question", MB_YESNO | MB_ICONQUESTION), IDYES);
    std::vector<qndx::sim::MessageBoxRecord> boxes = qndx::sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "Application failure");
    EXPECT_EQ(boxes[0].text, "Could not create a window for the application.");
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(boxes[0].flags, 0x10u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, "");
    qndx::sim::ClearMessageBoxes();
    EXPECT_TRUE(qndx::sim::MessageBoxes().empty());
    MessageBoxA(nullptr, "x", "y", MB_OK);
    qndx::sim::Reset();
    EXPECT_TRUE(qndx::sim::MessageBoxes().empty());
}

TEST(RectHelpers, SetOperations) {
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, out{};
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.right, 10);
    RECT far{30, 30, 40, 40};
    EXPECT_FALSE(IntersectRect(&out, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_EQ(out.right, 0);
    RECT edge{10, 0, 20, 10};  // touching is not overlapping
    EXPECT_FALSE(IntersectRect(&out, &a, &edge));

    EXPECT_TRUE(UnionRect(&out, &a, &far));
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.bottom, 40);
    RECT empty{3, 3, 3, 9};
    EXPECT_TRUE(UnionRect(&out, &empty, &b));
    EXPECT_TRUE(EqualRect(&out, &b));

    EXPECT_TRUE(PtInRect(&a, POINT{0, 0}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));  // right and bottom edges are outside
    OffsetRect(&a, 3, -2);
    EXPECT_EQ(a.left, 3);
    EXPECT_EQ(a.bottom, 8);
    InflateRect(&a, 1, 1);
    EXPECT_EQ(a.left, 2);
    EXPECT_EQ(a.bottom, 9);
    EXPECT_FALSE(OffsetRect(nullptr, 1, 1));
    EXPECT_TRUE(IsRectEmpty(nullptr));
}

}  // namespace
