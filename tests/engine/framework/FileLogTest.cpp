// File log: names and directories, the header, line and footer formats,
// appending across runs, and a Close/Open that really close and reopen.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "FrameworkTestUtil.h"
#include "LogEngine/FileLog.h"

using qndx_test::CountOf;
using qndx_test::ReadAll;
using qndx::test::TempDir;

namespace {

const std::string kDashes(80, '-');
// Hours, minutes, seconds, day and month without leading zeros.
const std::string kNum = "(0|[1-9][0-9]?)";
const std::string kHeader = "\n" + kDashes + "\nQuendrix Version 0\\.57  Build 1\nLog Start at " + kNum + ":" + kNum +
                            ":" + kNum + " " + kNum + "/" + kNum + "/[0-9]{4}\n" + kDashes + "\n";
const std::string kFooter = "\n" + kDashes + "\nLog Ends.\n" + kDashes + "\n";

TEST(FileLogNames, DefaultsAndSeparatorRules) {
    CQNDXFileLog plain;
    EXPECT_STREQ(plain.GetFileName(), "Quendrix.log");
    EXPECT_STREQ(plain.GetDirectory(), ".\\");

    CQNDXFileLog logs(nullptr, "logs");
    EXPECT_STREQ(logs.GetFileName(), "Quendrix.log");
    EXPECT_STREQ(logs.GetDirectory(), "logs\\");

    CQNDXFileLog ends("a.log", "logs\\");
    EXPECT_STREQ(ends.GetDirectory(), "logs\\");
    EXPECT_STREQ(ends.GetFileName(), "a.log");

    CQNDXFileLog named("b.log");
    EXPECT_STREQ(named.GetDirectory(), ".\\");

    named.SetFileName(nullptr);
    named.SetDirectory(nullptr);
    EXPECT_STREQ(named.GetFileName(), "b.log");
    EXPECT_STREQ(named.GetDirectory(), ".\\");

    // An empty directory names the current one instead of reading before
    // the string.
    named.SetDirectory("");
    EXPECT_STREQ(named.GetDirectory(), ".\\");
    named.SetDirectory("/x/y/");
    EXPECT_STREQ(named.GetDirectory(), "/x/y/\\");
}

TEST(FileLogFormat, HeaderLinesAndFooter) {
    TempDir dir;
    {
        CQNDXFileLog log("run.log", dir.path().c_str());
        ASSERT_EQ(log.Open(), 0);
        EXPECT_EQ(log.OnMessage("Creating a new window object... done.", 1, 1), 0);
        EXPECT_EQ(log.OnMessage("careful", 2, 7), 0);
        EXPECT_EQ(log.OnMessage(nullptr, 4, 1), 0);
        EXPECT_EQ(log.OnMessage("bad", 8, 2), 0);
        EXPECT_EQ(log.OnMessage("untyped", 16, 3), 0);
    }
    const std::string text = ReadAll(dir / "run.log");
    const std::string lines =
        "INFO[1]: Creating a new window object... done.\n"
        "WARNING[7]: careful\n"
        "ERROR[1]: NULL MESSAGE !!!\n"
        "FATAL[2]: bad\n"
        "[3]: untyped\n";
    std::smatch header;
    ASSERT_TRUE(std::regex_search(text, header, std::regex("^" + kHeader))) << text;
    EXPECT_EQ(text.substr(header.length(0)), lines + kFooter);
}

TEST(FileLogFormat, ReopeningAnExistingFileAppendsAFreshRun) {
    TempDir dir;
    qndx_test::WriteAll(dir / "old.log", "earlier content\n");
    for (int run = 0; run < 2; ++run) {
        CQNDXFileLog log("old.log", dir.path().c_str());
        ASSERT_EQ(log.Open(), 0);
        log.OnMessage(run == 0 ? "first" : "second", 1, 1);
    }
    const std::string text = ReadAll(dir / "old.log");
    EXPECT_EQ(text.rfind("earlier content\n", 0), 0u);
    EXPECT_EQ(CountOf(text, "Log Start at "), 2);
    EXPECT_EQ(CountOf(text, "Log Ends."), 2);
    EXPECT_LT(text.find("INFO[1]: first"), text.find("INFO[1]: second"));
}

// What is on disk while the log is still open, as a killed program leaves it.
TEST(FileLogFlush, WarningsErrorsAndFatalsReachTheFileAtOnceWithTheLinesBefore) {
    TempDir dir;
    CQNDXFileLog log("f.log", dir.path().c_str());
    ASSERT_EQ(log.Open(), 0);
    const struct {
        int type;
        const char* line;
    } worse[] = {{2, "WARNING[1]: bad\n"}, {4, "ERROR[1]: bad\n"}, {8, "FATAL[1]: bad\n"}};
    int round = 0;
    for (const auto& w : worse) {
        ++round;
        log.OnMessage("info", 1, 1);
        log.OnMessage("untyped", 16, 1);
        EXPECT_EQ(CountOf(ReadAll(dir / "f.log"), "info"), round - 1) << "information lines stay buffered";
        log.OnMessage("bad", w.type, 1);
        const std::string text = ReadAll(dir / "f.log");
        EXPECT_EQ(CountOf(text, w.line), 1) << text;
        EXPECT_EQ(CountOf(text, "INFO[1]: info\n[1]: untyped\n"), round) << text;
    }
}

TEST(FileLogOpenClose, CloseReallyClosesAndTheDestructorAddsNoSecondFooter) {
    TempDir dir;
    {
        CQNDXFileLog log("c.log", dir.path().c_str());
        ASSERT_EQ(log.Open(), 0);
        log.OnMessage("before", 1, 1);
        log.Close();
        EXPECT_EQ(log.IsOpen(), 0);
        EXPECT_EQ(log.OnMessage("after", 1, 1), 1);
        log.Close();
    }
    const std::string text = ReadAll(dir / "c.log");
    EXPECT_EQ(CountOf(text, "Log Ends."), 1);
    EXPECT_EQ(CountOf(text, "after"), 0);
    EXPECT_EQ(CountOf(text, "INFO[1]: before"), 1);
}

TEST(FileLogOpenClose, OpenOnAnOpenLogKeepsWriting) {
    TempDir dir;
    {
        CQNDXFileLog log("o.log", dir.path().c_str());
        ASSERT_EQ(log.Open(), 0);
        log.OnMessage("one", 1, 1);
        ASSERT_EQ(log.Open(), 0);
        EXPECT_EQ(log.OnMessage("two", 1, 1), 0);
    }
    const std::string text = ReadAll(dir / "o.log");
    EXPECT_EQ(CountOf(text, "Log Start at "), 2);
    EXPECT_EQ(CountOf(text, "Log Ends."), 2);
    EXPECT_EQ(CountOf(text, "INFO[1]: two\n"), 1);
}

TEST(FileLogOpenClose, ChangingNameOrDirectoryClosesWithoutFooter) {
    TempDir dir;
    {
        CQNDXFileLog log("a.log", dir.path().c_str());
        ASSERT_EQ(log.Open(), 0);
        log.OnMessage("in a", 1, 1);
        log.SetFileName("b.log");
        EXPECT_EQ(log.OnMessage("lost", 1, 1), 1);
        ASSERT_EQ(log.Open(), 0);
        log.OnMessage("in b", 1, 1);
    }
    const std::string a = ReadAll(dir / "a.log");
    const std::string b = ReadAll(dir / "b.log");
    EXPECT_EQ(CountOf(a, "Log Ends."), 0);
    EXPECT_EQ(CountOf(a, "in a"), 1);
    EXPECT_EQ(CountOf(b, "Log Start at "), 1);
    EXPECT_EQ(CountOf(b, "INFO[1]: in b"), 1);
    EXPECT_EQ(CountOf(b, "Log Ends."), 1);
    EXPECT_EQ(CountOf(a + b, "lost"), 0);
}

TEST(FileLogOpenClose, AFileThatCannotBeOpenedWritesNothing) {
    TempDir dir;
    CQNDXFileLog missingDir("x.log", (dir / "no\\such").c_str());
    EXPECT_EQ(missingDir.Open(), 1);
    EXPECT_EQ(missingDir.OnMessage("nowhere", 1, 1), 1);

    CQNDXFileLog driveLetter("x.log", "C:\\Games");
    EXPECT_EQ(driveLetter.Open(), 1);
    EXPECT_EQ(driveLetter.OnMessage("nowhere", 1, 1), 1);
    EXPECT_EQ(driveLetter.IsBad(), 0);

    CQNDXFileLog notOpened("x.log", dir.path().c_str());
    EXPECT_EQ(notOpened.OnMessage("never opened", 1, 1), 1);
}

}  // namespace
