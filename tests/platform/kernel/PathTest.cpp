// Engine path translation at the host boundary.
#include <gtest/gtest.h>

#include "kernel/Path.h"

using qndx::platform::ToHostPath;

TEST(ToHostPath, BackslashesBecomeSlashes) {
    EXPECT_EQ(ToHostPath(".\\debug"), "./debug");
    EXPECT_EQ(ToHostPath(".\\cfg\\game.ini"), "./cfg/game.ini");
    EXPECT_EQ(ToHostPath("/games/run/.\\debug\\QNDX_0.57-run.log"), "/games/run/./debug/QNDX_0.57-run.log");
    EXPECT_EQ(ToHostPath("plain.txt"), "plain.txt");
}

TEST(ToHostPath, TrailingDotsOfASegmentAreDropped) {
    EXPECT_EQ(ToHostPath("dir.\\sounds"), "dir/sounds");
    EXPECT_EQ(ToHostPath("/games/bin.\\sounds"), "/games/bin/sounds");
    EXPECT_EQ(ToHostPath("a..\\b"), "a/b");
    EXPECT_EQ(ToHostPath("name."), "name");
    // Dots inside a name are part of it.
    EXPECT_EQ(ToHostPath("my.game\\run.me.exe"), "my.game/run.me.exe");
}

TEST(ToHostPath, DotSegmentsKeepTheirMeaning) {
    EXPECT_EQ(ToHostPath(".."), "..");
    EXPECT_EQ(ToHostPath("..\\graphics\\bk.jpg"), "../graphics/bk.jpg");
    EXPECT_EQ(ToHostPath("a\\.\\..\\b"), "a/./../b");
    EXPECT_EQ(ToHostPath("."), ".");
    EXPECT_EQ(ToHostPath(".\\"), "./");
}

TEST(ToHostPath, DriveLettersAndEmptyPathsAreRefused) {
    EXPECT_EQ(ToHostPath("C:\\x"), "");
    EXPECT_EQ(ToHostPath("c:/x"), "");
    EXPECT_EQ(ToHostPath("C:"), "");
    EXPECT_EQ(ToHostPath("C:x"), "");
    EXPECT_EQ(ToHostPath("C:\\Games\\My Game"), "");
    EXPECT_EQ(ToHostPath(""), "");
    EXPECT_EQ(ToHostPath(nullptr), "");
}

TEST(ToHostPath, AbsoluteAndMixedSeparatorsSurvive) {
    EXPECT_EQ(ToHostPath("/tmp/x\\y/z"), "/tmp/x/y/z");
    EXPECT_EQ(ToHostPath("\\tmp\\x"), "/tmp/x");
}
