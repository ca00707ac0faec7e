// Movable and fixed global memory blocks.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/Kernel.h"
#include "platform/sim/Sim.h"

TEST(GlobalMemory, MovableBlockLocksToItsBytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 16u);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), h);
    std::memset(p, 0xAB, 16);
    // Nested locks give the same address; the last unlock reports FALSE.
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(h))[15], 0xAB);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, FixedBlockIsItsOwnAddressAndZeroInitWorks) {
    HGLOBAL h = GlobalAlloc(GPTR, 32);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), h);
    auto* p = static_cast<unsigned char*>(h);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(GlobalFree(h), nullptr);
    HGLOBAL z = GlobalAlloc(GHND, 8);
    auto* q = static_cast<unsigned char*>(GlobalLock(z));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(q[i], 0) << i;
    GlobalUnlock(z);
    GlobalFree(z);
}

TEST(GlobalMemory, ForeignAndFreedHandlesAreRefused) {
    int local = 0;
    EXPECT_EQ(GlobalLock(&local), nullptr);
    EXPECT_EQ(GlobalSize(&local), 0u);
    EXPECT_EQ(GlobalFree(&local), static_cast<HGLOBAL>(&local));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);  // a second free is caught, not a double free
    EXPECT_EQ(GlobalLock(h), nullptr);
}

TEST(GlobalMemory, ReAllocGrowsKeepingContent) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(h), "abcd", 4);
    GlobalUnlock(h);
    HGLOBAL g = GlobalReAlloc(h, 4096, GMEM_ZEROINIT);
    ASSERT_EQ(g, h);  // a movable handle keeps its value
    auto* p = static_cast<unsigned char*>(GlobalLock(g));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    EXPECT_EQ(p[4095], 0);
    EXPECT_EQ(GlobalSize(g), 4096u);
    // Locked: may shrink in place, may not grow without permission to move.
    EXPECT_EQ(GlobalReAlloc(g, 8192, 0), nullptr);
    EXPECT_EQ(GlobalSize(g), 4096u);
    EXPECT_EQ(GlobalReAlloc(g, 100, 0), g);
    EXPECT_EQ(GlobalLock(g), p);
    GlobalUnlock(g);
    GlobalUnlock(g);
    GlobalFree(g);

    HGLOBAL f = GlobalAlloc(GMEM_FIXED, 4);
    EXPECT_EQ(GlobalReAlloc(f, 1 << 20, 0), nullptr);  // a fixed block cannot move unasked
    HGLOBAL moved = GlobalReAlloc(f, 1 << 20, GMEM_MOVEABLE);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(GlobalSize(moved), static_cast<SIZE_T>(1 << 20));
    GlobalFree(moved);
}

TEST(GlobalMemory, InjectedFailureAndEmptyBlock) {
    qndx::sim::FailNext("GlobalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 10), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);  // an empty movable block has no bytes
    GlobalFree(h);
}
